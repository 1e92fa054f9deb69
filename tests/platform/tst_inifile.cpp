// The settings file conventions: how values are read, how one key is written without
// disturbing the rest of the file, encodings, and writes that fail.
#include "platform/cp1251.h"
#include "platform/inifile.h"
#include "support/testdir.h"

#include <QFile>
#include <QProcess>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <QDir>

#include <sys/stat.h>

using platform::CIniFile;

class TstIniFile : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString Write(const QByteArray& bytes) {
        const QString path = m_dir.filePath(QStringLiteral("Varnet.ini"));
        QFile f(path);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(bytes);
        return path;
    }

private Q_SLOTS:
    void readString_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("limit");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << QByteArray("[SQL]\nServer=KASSA1\n") << 255 << "KASSA1";
        QTest::newRow("names ignore case")
            << QByteArray("[sql]\nSERVER = KASSA1 \n") << 255 << "KASSA1";
        QTest::newRow("cut to the limit")
            << QByteArray("[SQL]\nServer=27PPPPPWWWWW123456789012345\n") << 19
            << "27PPPPPWWWWW1234567";
        QTest::newRow("quotes stripped") << QByteArray("[SQL]\nServer=\"a b\"\n") << 255 << "a b";
        QTest::newRow("missing key") << QByteArray("[SQL]\nUser=sa\n") << 255 << "default";
        QTest::newRow("key of another section")
            << QByteArray("[Varnet]\nServer=X\n[SQL]\n") << 255 << "default";
        QTest::newRow("comment is no key") << QByteArray("[SQL]\n;Server=X\n") << 255 << "default";
        QTest::newRow("present but empty") << QByteArray("[SQL]\nServer=\n") << 255 << "";
        QTest::newRow("crlf") << QByteArray("[SQL]\r\nServer=KASSA1\r\n") << 255 << "KASSA1";
        QTest::newRow("utf-8 cyrillic")
            << QByteArray("[SQL]\nServer=\xd0\xba\xd0\xb3\n") << 255 << QStringLiteral("кг");
        QTest::newRow("windows-1251 cyrillic")
            << QByteArray("[SQL]\nServer=\xea\xe3\n") << 255 << QStringLiteral("кг");
    }
    void readString() {
        QFETCH(QByteArray, file);
        QFETCH(int, limit);
        QFETCH(QString, expected);
        const CIniFile ini = CIniFile::Load(Write(file));
        QCOMPARE(ini.ReadString(QStringLiteral("SQL"), QStringLiteral("Server"),
                                QStringLiteral("default"), limit),
                 expected);
    }

    void readInt_data() {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<long long>("expected");
        QTest::newRow("number") << QByteArray("FindOrder=2") << 2LL;
        QTest::newRow("leading digits") << QByteArray("FindOrder=12abc") << 12LL;
        QTest::newRow("no number") << QByteArray("FindOrder=abc") << 0LL;
        QTest::newRow("empty") << QByteArray("FindOrder=") << 0LL;
        QTest::newRow("negative") << QByteArray("FindOrder=-1") << -1LL;
        QTest::newRow("missing") << QByteArray("Other=1") << 77LL;
    }
    void readInt() {
        QFETCH(QByteArray, value);
        QFETCH(long long, expected);
        const CIniFile ini = CIniFile::Load(Write("[SQL]\n" + value + "\n"));
        QCOMPARE(ini.ReadInt(QStringLiteral("SQL"), QStringLiteral("FindOrder"), 77), expected);
    }

    void writeKeepsTheRest_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QByteArray>("after");
        const QByteArray base("; counter 3\n[Varnet]\nPenny=0\nMine=x\n\n[SQL]\nUser=sa\n");
        QTest::newRow("replace in place")
            << base << "Varnet"
            << "Penny" << QByteArray("; counter 3\n[Varnet]\nPenny=V\nMine=x\n\n[SQL]\nUser=sa\n");
        QTest::newRow("add to the end of its section")
            << base << "Varnet"
            << "RoundTo"
            << QByteArray("; counter 3\n[Varnet]\nPenny=0\nMine=x\nRoundTo=V\n\n[SQL]\nUser=sa\n");
        QTest::newRow("add a section")
            << base << "Scale"
            << "Type"
            << QByteArray(
                   "; counter 3\n[Varnet]\nPenny=0\nMine=x\n\n[SQL]\nUser=sa\n[Scale]\nType=V\n");
        QTest::newRow("crlf file stays crlf") << QByteArray("[SQL]\r\nUser=sa\r\n") << "SQL"
                                              << "User" << QByteArray("[SQL]\r\nUser=V\r\n");
        QTest::newRow("new file") << QByteArray() << "SQL"
                                  << "User" << QByteArray("[SQL]\nUser=V\n");
    }
    void writeKeepsTheRest() {
        QFETCH(QByteArray, before);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QByteArray, after);
        CIniFile ini = CIniFile::Load(Write(before));
        ini.WriteString(section, key, QStringLiteral("V"));
        QCOMPARE(ini.ToBytes(), after);
    }

    void lineBreakInValueCannotAddKeys() {
        CIniFile ini = CIniFile::Load(Write("[SQL]\n"));
        ini.WriteString(QStringLiteral("SQL"), QStringLiteral("Password"),
                        QStringLiteral("a\nUser=root"));
        QCOMPARE(ini.ToBytes(), QByteArray("[SQL]\nPassword=a User=root\n"));
    }

    // A file keeps the encoding it was read in: written back, only the changed value and the
    // added key differ, every other byte stays (a Windows-1251 byte without a character, 0x98,
    // included); a new file is UTF-8.
    void encodingIsKept_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<int>("encoding");
        const QString old = QStringLiteral("[Varnet]\r\nEIWeight=кг\r\n; \uFFFD\r\n");
        const QString changed =
            QStringLiteral("[Varnet]\r\nEIWeight=гр\r\n; \uFFFD\r\nPenny=1\r\n");
        const auto utf16 = [](const QString& text, bool le) {
            QStringEncoder encoder(le ? QStringConverter::Utf16LE : QStringConverter::Utf16BE);
            return QByteArray(le ? "\xFF\xFE" : "\xFE\xFF") + QByteArray(encoder.encode(text));
        };
        QTest::newRow("Windows-1251")
            << platform::EncodeCp1251(old) << platform::EncodeCp1251(changed)
            << int(CIniFile::Encoding::Cp1251);
        QTest::newRow("UTF-8") << old.toUtf8() << changed.toUtf8() << int(CIniFile::Encoding::Utf8);
        QTest::newRow("UTF-8 with its mark")
            << "\xEF\xBB\xBF" + old.toUtf8() << "\xEF\xBB\xBF" + changed.toUtf8()
            << int(CIniFile::Encoding::Utf8WithMark);
        QTest::newRow("UTF-16 LE")
            << utf16(old, true) << utf16(changed, true) << int(CIniFile::Encoding::Utf16LE);
        QTest::newRow("UTF-16 BE")
            << utf16(old, false) << utf16(changed, false) << int(CIniFile::Encoding::Utf16BE);
        QTest::newRow("new file") << QByteArray()
                                  << QStringLiteral("[Varnet]\nEIWeight=гр\nPenny=1\n").toUtf8()
                                  << int(CIniFile::Encoding::Utf8);
    }
    void encodingIsKept() {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        QFETCH(int, encoding);
        const QString path = Write(before);
        if (before.isEmpty())
            QFile::remove(path);
        CIniFile ini = CIniFile::Load(path);
        QCOMPARE(int(ini.TextEncoding()), encoding);
        ini.WriteString(QStringLiteral("Varnet"), QStringLiteral("EIWeight"), QStringLiteral("гр"));
        ini.WriteString(QStringLiteral("Varnet"), QStringLiteral("Penny"), QStringLiteral("1"));
        QVERIFY(ini.UnencodableKey().isEmpty());
        QVERIFY(ini.Save(path).ok());
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), after);
    }

    // A character that Windows-1251 has no form for is not written into such a file as '?':
    // the save is refused and the key named, and the file stays as it was.
    void characterOutsideWindows1251IsRefused() {
        const QByteArray old("[Varnet]\r\nEICurrency=\xf0\xf3\xe1\r\n");
        const QString path = Write(old);
        CIniFile ini = CIniFile::Load(path);
        ini.WriteString(QStringLiteral("Varnet"), QStringLiteral("EIWeight"), QStringLiteral("кг"));
        ini.WriteString(QStringLiteral("Varnet"), QStringLiteral("EICurrency"),
                        QStringLiteral("₸"));
        ini.WriteString(QStringLiteral("SQL"), QStringLiteral("User"), QStringLiteral("ⅻ"));
        QCOMPARE(ini.UnencodableKey(), QStringLiteral("Varnet/EICurrency"));
        QCOMPARE(ini.UnencodableText(),
                 QStringLiteral("В значении EICurrency раздела [Varnet] есть знаки, которых нет "
                                "в кодировке Windows-1251 файла настроек %1. Настройки не "
                                "сохранены: замените эти знаки.")
                     .arg(path));
        QVERIFY(!ini.Save(path).ok());
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), old);
    }

    // The password is the counter operators' (the folder's group) and nobody else's.
    void newFileIsTheGroups() {
        const QString path = m_dir.filePath(QStringLiteral("new.ini"));
        CIniFile ini = CIniFile::Load(path);
        ini.WriteString(QStringLiteral("SQL"), QStringLiteral("Password"), QStringLiteral("p"));
        QVERIFY(ini.Save(path).ok());
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, 0660u);
    }

    // A write that runs out of room (here: past the process's file size limit, which holds
    // for root too) leaves the old file whole and says why.
    void failedSaveLeavesTheOldFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Varnet.ini"));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("[SQL]\nUser=old\n");
        }
        CIniFile ini = CIniFile::Load(path);
        ini.WriteString(QStringLiteral("SQL"), QStringLiteral("User"),
                        QString(64, QLatin1Char('n')));

        platform::WriteResult result;
        {
            ScopedFileSizeLimit limit(32);
            result = ini.Save(path);
        }

        QCOMPARE(result.error, platform::FileError::DiskFull);
        QCOMPARE(platform::FileErrorText(result.error, path),
                 QStringLiteral("Нет места на диске при обращении к %1.").arg(path));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("[SQL]\nUser=old\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files),
                 QStringList{QStringLiteral("Varnet.ini")});
    }

    // Where no unnamed temporary file can be made, a killed save leaves a named one; the
    // next save clears those of processes that are gone and keeps everything else.
    void leftoversOfGoneSavesAreCleared() {
        QTemporaryDir dir;
        QProcess gone;
        gone.start(QStringLiteral("true"), {});
        QVERIFY(gone.waitForStarted());
        const qint64 deadPid = gone.processId();
        QVERIFY(gone.waitForFinished());
        const QStringList names{QStringLiteral("Varnet.ini.tmp-%1-aB3dE9").arg(deadPid),
                                QStringLiteral("Varnet.ini.tmp-1-aB3dE9"),
                                QStringLiteral("Varnet.ini.backup"),
                                QStringLiteral("Varnet.ini.tmp-1-notours")};
        for (const QString& n : names) {
            QFile f(dir.filePath(n));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        CIniFile ini = CIniFile::Load(dir.filePath(QStringLiteral("Varnet.ini")));
        ini.WriteString(QStringLiteral("SQL"), QStringLiteral("User"), QStringLiteral("u"));
        QVERIFY(ini.Save(dir.filePath(QStringLiteral("Varnet.ini"))).ok());
        QStringList expected = names.mid(1) << QStringLiteral("Varnet.ini");
        expected.sort();
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files, QDir::Name), expected);
    }

    void utf8Validation_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("valid");
        QTest::newRow("ascii") << QByteArray("abc") << true;
        QTest::newRow("cyrillic") << QByteArray("\xd0\xba") << true;
        QTest::newRow("cp1251") << QByteArray("\xea\xe3") << false;
        QTest::newRow("cut sequence") << QByteArray("\xd0") << false;
        QTest::newRow("overlong") << QByteArray("\xc0\xaf") << false;
        QTest::newRow("surrogate") << QByteArray("\xed\xa0\x80") << false;
    }
    void utf8Validation() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, valid);
        QCOMPARE(platform::IsValidUtf8(bytes), valid);
    }
};

QTEST_GUILESS_MAIN(TstIniFile)
#include "tst_inifile.moc"
