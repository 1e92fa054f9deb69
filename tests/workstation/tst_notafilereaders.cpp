// A FIFO, a socket, a folder or a link to a device where the workstation expects one of the
// counter's files (settings, layouts, the journal with its -wal and -shm, the operator's own
// file of labels waiting for the journal): each reader runs in a process of its own, which
// is stopped if it waits. None waits; the operator hears of it in one message that names the
// path and what stands there, and the program goes on as without the file.
#include "journal/journal.h"
#include "platform/fileopen.h"
#include "support/notafile.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {
// Far beyond what reading a few small files takes: only a reader that waits gets there.
constexpr int kWaitingMs = 10000;
} // namespace

class TstNotAFileReaders : public QObject {
    Q_OBJECT
    QTemporaryDir m_data; // the operators' own data folder (XDG_DATA_HOME)

private Q_SLOTS:
    void initTestCase() { qputenv("XDG_DATA_HOME", QFile::encodeName(m_data.path())); }

    void readerGoesOn_data() {
        QTest::addColumn<QString>("file"); // in the counter folder, or "pending"
        QTest::addColumn<QString>("reader");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("wentOn");
        struct File {
            const char* name;
            const char* reader;
            const char* wentOn;
        };
        const File files[] = {
            {"Varnet.ini", "settings", "user sa"},
            {"Varnet.cfg", "weight", "the kind's defaults"},
            {"QLabel.cfg", "piece", "the kind's defaults"},
            {"Journal.db", "journal", "1 kept aside"},
            {"Journal.db-wal", "journal", "1 kept aside"},
            {"Journal.db-shm", "journal", "1 kept aside"},
            {"pending", "pending", "1 written"},
        };
        for (const QString& kind : notafile::Kinds())
            for (const File& f : files)
                QTest::addRow("%s as %s", qPrintable(kind), f.name)
                    << QString::fromLatin1(f.name) << QString::fromLatin1(f.reader) << kind
                    << QString::fromLatin1(f.wentOn);
    }
    void readerGoesOn() {
        QFETCH(QString, file);
        QFETCH(QString, reader);
        QFETCH(QString, kind);
        QFETCH(QString, wentOn);
        QTemporaryDir dir;
        const QString journal = dir.filePath(CJournal::FileName());
        const QString target =
            file == QLatin1String("pending") ? CJournal(journal).PendingPath() : dir.filePath(file);
        QVERIFY(QDir().mkpath(QFileInfo(target).path()));
        QVERIFY(notafile::Make(kind, target));
        const platform::FileError was = platform::CheckIsFile(target);

        QProcess p;
        p.start(qEnvironmentVariable("VARNET_BINARY_DIR") +
                    QStringLiteral("/tests/counterfilereader"),
                {reader, dir.path()});
        if (!p.waitForFinished(kWaitingMs)) {
            p.kill();
            p.waitForFinished();
            QFAIL("the reader waits on what stands in the file's place");
        }
        QCOMPARE(p.exitCode(), 0);
        const QStringList lines =
            QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'));
        const QStringList messages = lines.filter(QRegularExpression(QStringLiteral("^message: ")));
        QCOMPARE(messages.size(), 1);
        const QString named =
            QStringLiteral("%1 — не файл, а %2").arg(target, notafile::Word(kind));
        const QString said =
            QStringLiteral("%1 не читается (это не файл, а %2)").arg(target, notafile::Word(kind));
        QVERIFY2(messages.first().contains(named) || messages.first().contains(said),
                 qPrintable(messages.first()));
        QVERIFY2(lines.contains(QStringLiteral("went on: ") + wentOn),
                 qPrintable(lines.join('\n')));
        // The journal dialog's line says it too.
        if (reader == QLatin1String("journal"))
            QVERIFY2(lines.contains(QStringLiteral("dialog: Журнал фасовки не читается: ") + named +
                                    QLatin1Char('.')),
                     qPrintable(lines.join('\n')));
        // What stood there still does.
        QCOMPARE(platform::CheckIsFile(target), was);
    }
};

QTEST_GUILESS_MAIN(TstNotAFileReaders)
#include "tst_notafilereaders.moc"
