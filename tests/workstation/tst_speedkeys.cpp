// The speed-key file of a counter folder: what it reads and writes, files it must refuse as
// damaged (every key free, the file named), a save that keeps what another operator's program
// saved meanwhile, a damaged file moved aside instead of lost, the file's mode, links of
// other accounts, and two programs on one counter folder.
#include "platform/paths.h"
#include "support/testdir.h"
#include "workstation/speedkeys.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {
SpeedKey Key(int number, const QString& code, const QString& name, bool price = false,
             std::optional<double> tare = std::nullopt) {
    SpeedKey k;
    k.number = number;
    k.code = code;
    k.name = name;
    k.showPrice = price;
    k.tare = tare;
    return k;
}

QStringList Tool(const QString& dir, const QStringList& set = {}) {
    QProcess p;
    p.start(qEnvironmentVariable("VARNET_BINARY_DIR") + QStringLiteral("/tests/speedkeytool"),
            QStringList{dir} + set);
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return {QStringLiteral("failed: ") + QString::fromUtf8(p.readAllStandardError())};
    return QString::fromUtf8(p.readAllStandardOutput())
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}
} // namespace

class TstSpeedKeys : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // What is written reads back as it was; texts that would break a line are made blanks.
    void roundTrip() {
        const QList<SpeedKey> keys{
            Key(1, QStringLiteral("12"), QStringLiteral("Филе куриное"), true, 0.15),
            Key(7, QStringLiteral("33"), QStringLiteral("Пирожок\tс\nкапустой")),
            Key(24, QStringLiteral("5"), QString(), false, 0.0)};
        const QByteArray bytes = CSpeedKeys::Serialize(keys);
        int bad = -1;
        const std::optional<QList<SpeedKey>> back = CSpeedKeys::Parse(bytes, &bad);
        QVERIFY(back);
        QCOMPARE(back->size(), 3);
        QCOMPARE(back->at(0), keys[0]);
        QCOMPARE(back->at(1).name, QStringLiteral("Пирожок с капустой"));
        QCOMPARE(back->at(2).tare, std::optional<double>(0.0));
        QVERIFY(bytes.contains("1\t12\tФиле куриное\t1\t0.150\n"));
    }

    // Texts a person may leave in the file by hand: comments, blank lines, Windows line
    // ends, a byte-order mark, and keys given by number and code only.
    void readsHandWritten() {
        int bad = -1;
        const auto keys =
            CSpeedKeys::Parse("\xEF\xBB\xBF# keys\r\n\r\n3\t14\r\n2\t12\tФарш\t1\t0,2\r\n", &bad);
        QVERIFY(keys);
        QCOMPARE(keys->size(), 2);
        QCOMPARE(keys->at(0).number, 2); // by number
        QCOMPARE(keys->at(0).tare, std::optional<double>(0.2));
        QVERIFY(keys->at(0).showPrice);
        QCOMPARE(keys->at(1).code, QStringLiteral("14"));
        QVERIFY(keys->at(1).name.isEmpty());
        QVERIFY(!keys->at(1).tare);
    }

    // A file that is not what the program writes: every key is free, the operator is told
    // the file and the line, and a missing file is no fault at all.
    void damaged_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("line");
        QTest::newRow("zero bytes") << QByteArray(300, '\0') << 1;
        QTest::newRow("broken UTF-8") << QByteArray("1\t12\t\xD0\n") << 1;
        QTest::newRow("no code") << QByteArray("# x\n1\n") << 2;
        QTest::newRow("key 0") << QByteArray("0\t12\n") << 1;
        QTest::newRow("key 25") << QByteArray("1\t12\n25\t13\n") << 2;
        QTest::newRow("not a number") << QByteArray("один\t12\n") << 1;
        QTest::newRow("a key twice") << QByteArray("1\t12\n1\t13\n") << 2;
        QTest::newRow("blank in the code") << QByteArray("1\t1 2\n") << 1;
        QTest::newRow("price flag") << QByteArray("1\t12\tx\tда\n") << 1;
        QTest::newRow("negative tare") << QByteArray("1\t12\tx\t0\t-0.1\n") << 1;
        QTest::newRow("tare past 99.999 kg") << QByteArray("1\t12\tx\t0\t150\n") << 1;
        QTest::newRow("too many fields") << QByteArray("1\t12\tx\t0\t0.1\t9\n") << 1;
        QTest::newRow("larger than a key file") << QByteArray(CSpeedKeys::kMaxSize + 1, '#') << 1;
    }
    void damaged() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, line);
        TestModuleDir dir;
        dir.Write(CSpeedKeys::FileName(), bytes);
        CSpeedKeys keys;
        QVERIFY(!keys.Load(CSpeedKeys::CounterPath()));
        QVERIFY(keys.Keys().isEmpty());
        QVERIFY2(keys.Problem().contains(CSpeedKeys::CounterPath()), qPrintable(keys.Problem()));
        QVERIFY2(keys.Problem().contains(QStringLiteral("повреждён (строка %1)").arg(line)),
                 qPrintable(keys.Problem()));
        QVERIFY(!keys.Key(1).IsAssigned());

        QVERIFY(keys.Load(dir.File(QStringLiteral("none.txt"))));
        QVERIFY(keys.Problem().isEmpty());
    }

    // A save writes the keys into the file as it is now: a key another operator's program set
    // since this one loaded stays; a freed key goes; the file is the counter folder's 0660.
    void saveKeepsOtherKeys() {
        TestModuleDir dir;
        CSpeedKeys mine;
        QVERIFY(mine.Load(CSpeedKeys::CounterPath()));
        CSpeedKeys theirs;
        QStringList notes;
        QVERIFY(theirs.Save(CSpeedKeys::CounterPath(),
                            {Key(1, QStringLiteral("12"), QStringLiteral("Филе"))}, &notes));
        const mode_t old = ::umask(077);
        QVERIFY(mine.Save(CSpeedKeys::CounterPath(),
                          {Key(2, QStringLiteral("33"), QStringLiteral("Пирожок"))}, &notes));
        ::umask(old);
        QVERIFY(notes.isEmpty());
        QCOMPARE(mine.Keys().size(), 2);
        QCOMPARE(mine.Key(1).code, QStringLiteral("12"));
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(CSpeedKeys::CounterPath()).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0660));

        SpeedKey freed;
        freed.number = 1;
        QVERIFY(mine.Save(CSpeedKeys::CounterPath(), {freed}, &notes));
        CSpeedKeys again;
        QVERIFY(again.Load(CSpeedKeys::CounterPath()));
        QCOMPARE(again.Keys().size(), 1);
        QCOMPARE(again.Keys()[0].code, QStringLiteral("33"));
    }

    // A save over a damaged file keeps that file, unchanged, beside it under another name and
    // says so; the new file holds the key saved.
    void saveMovesDamagedFileAside() {
        TestModuleDir dir;
        const QByteArray damaged("1\t12\n\0\0\0garbage", 17);
        dir.Write(CSpeedKeys::FileName(), damaged);
        CSpeedKeys keys;
        QVERIFY(!keys.Load(CSpeedKeys::CounterPath()));
        QStringList notes;
        QVERIFY(keys.Save(CSpeedKeys::CounterPath(),
                          {Key(5, QStringLiteral("14"), QStringLiteral("Свинина"))}, &notes));
        QCOMPARE(notes.size(), 1);
        const QStringList aside =
            QDir(dir.Path()).entryList({QStringLiteral("SpeedKeys-damaged-*")});
        QCOMPARE(aside.size(), 1);
        QVERIFY2(notes[0].contains(dir.File(aside[0])), qPrintable(notes[0]));
        QCOMPARE(dir.Read(aside[0]), damaged);
        QCOMPARE(keys.Keys().size(), 1);
        QCOMPARE(keys.Key(5).code, QStringLiteral("14"));
        QVERIFY(keys.Problem().isEmpty());
    }

    // A link that another account planted is never written through, and nothing is lost;
    // a file this account cannot read is not written over.
    void foreignLinkAndClosedFile() {
        if (::geteuid() != 0)
            QSKIP("needs root to make a link of another account and to see a closed file");
        TestModuleDir dir;
        const QString target = dir.File(QStringLiteral("elsewhere.txt"));
        dir.Write(QStringLiteral("elsewhere.txt"), "1\t12\n");
        QVERIFY(QFile::link(target, CSpeedKeys::CounterPath()));
        QCOMPARE(::lchown(QFile::encodeName(CSpeedKeys::CounterPath()).constData(), 65534, 65534),
                 0);
        CSpeedKeys keys;
        QStringList notes;
        QVERIFY(!keys.Save(CSpeedKeys::CounterPath(),
                           {Key(2, QStringLiteral("13"), QStringLiteral("x"))}, &notes));
        QCOMPARE(notes.size(), 1);
        QVERIFY2(notes[0].contains(CSpeedKeys::CounterPath()), qPrintable(notes[0]));
        QCOMPARE(dir.Read(QStringLiteral("elsewhere.txt")), QByteArray("1\t12\n"));
    }

    // Two programs on one counter folder: one sets a key, the other has it after a restart
    // (a running one keeps what it loaded until then), and each save keeps the other's keys.
    void twoOperators() {
        TestModuleDir dir;
        CSpeedKeys running;
        QVERIFY(running.Load(CSpeedKeys::CounterPath()));
        const QStringList first = Tool(dir.Path(), {QStringLiteral("3"), QStringLiteral("12"),
                                                    QStringLiteral("Филе куриное")});
        QCOMPARE(first, QStringList{QStringLiteral("3\t12\tФиле куриное")});
        QVERIFY(!running.Key(3).IsAssigned());
        CSpeedKeys restarted;
        QVERIFY(restarted.Load(CSpeedKeys::CounterPath()));
        QCOMPARE(restarted.Key(3).name, QStringLiteral("Филе куриное"));

        QStringList notes;
        QVERIFY(running.Save(CSpeedKeys::CounterPath(),
                             {Key(4, QStringLiteral("33"), QStringLiteral("Пирожок"))}, &notes));
        QCOMPARE(Tool(dir.Path()), (QStringList{QStringLiteral("3\t12\tФиле куриное"),
                                                QStringLiteral("4\t33\tПирожок")}));
    }
};

QTEST_GUILESS_MAIN(TstSpeedKeys)
#include "tst_speedkeys.moc"
