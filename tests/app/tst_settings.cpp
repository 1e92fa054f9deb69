// Loading and saving the settings file: defaults, limits, what a save keeps and writes, and
// a save that cannot write. The ODBC configuration seen here has no "SQL " driver, so the
// default driver is empty and every reconnect after a save fails with one message.
#include "app/varnetapp.h"
#include "platform/cp1251.h"
#include "platform/inifile.h"
#include "platform/paths.h"
#include "support/messagerecorder.h"
#include "support/notafile.h"
#include "support/testdir.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
struct CountingScreen : IMainScreen {
    int reconnects = 0;
    void ConnectScale() override { ++reconnects; }
    QWidget* Window() override { return nullptr; }
};

const QByteArray kFullFile = "; counter 3, fish department\r\n"
                             "[Varnet]\r\n"
                             "PrinterName=Godex G500\r\n"
                             "WBarCodeMask=22PPPPPWWWWW\r\n"
                             "QBarCodeMask=23PPPPPQQQQQ\r\n"
                             "PrintEI=1\r\n"
                             "EIWeight=\xd0\xba\xd0\xb3\r\n"
                             "EIQuantity=\xd1\x88\xd1\x82\r\n"
                             "EICurrency=\xd1\x80\xd1\x83\xd0\xb1\r\n"
                             "Penny=1\r\n"
                             "RoundTo=50\r\n"
                             "Installer=Morvik service\r\n"
                             "\r\n"
                             "[Scale]\r\n"
                             "RS232Port=2\r\n"
                             "Type=3\r\n"
                             "\r\n"
                             "[SQL]\r\n"
                             "Driver=SQLite3\r\n"
                             "Server=KASSA1\r\n"
                             "Database=/nonexistent/folder/catalogue.db\r\n"
                             "User=operator\r\n"
                             "Password=p@ss\r\n"
                             "SectionID= 01 \r\n"
                             "FindOrder=1\r\n";
// The settings writer helper, started in dir; limit, when not 0, is its file size limit.
// The signals are those of a plain program: a size limit kills unless the program says no.
void StartWriter(QProcess& p, const QString& dir, int saves, long long limit = 0) {
    p.setChildProcessModifier([limit] {
        ::signal(SIGXFSZ, SIG_DFL);
        if (limit > 0) {
            struct rlimit lim {};
            ::getrlimit(RLIMIT_FSIZE, &lim);
            lim.rlim_cur = static_cast<rlim_t>(limit);
            ::setrlimit(RLIMIT_FSIZE, &lim);
        }
    });
    p.start(qEnvironmentVariable("VARNET_BINARY_DIR") + QStringLiteral("/tests/settingswriter"),
            {dir, QString::number(saves)});
}

QStringList FilesIn(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System);
}
} // namespace

class TstSettings : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void defaultsWithoutAFile() {
        TestModuleDir dir;
        CVarnetApp app;
        app.LoadSettings();
        const AppSettings& s = app.m_settings;
        QCOMPARE(s.PrinterName, QString());
        QCOMPARE(s.WBarCodeMask, QStringLiteral("27PPPPPWWWWW"));
        QCOMPARE(s.QBarCodeMask, QStringLiteral("29PPPPPQQQQQ"));
        QCOMPARE(s.PrintEI, false);
        QCOMPARE(s.EIWeight, QStringLiteral("кг"));
        QCOMPARE(s.EIQuantity, QStringLiteral("шт"));
        QCOMPARE(s.EICurrency, QStringLiteral("руб"));
        QCOMPARE(s.Penny, false);
        QCOMPARE(s.RoundTo, 0u);
        QCOMPARE(s.RS232Port, 0);
        QCOMPARE(s.Type, 0);
        QCOMPARE(s.Driver, QString());
        QVERIFY(!platform::ComputerName().isEmpty());
        QCOMPARE(s.Server, platform::ComputerName());
        QCOMPARE(s.Database, QStringLiteral("Kestrada"));
        QCOMPARE(s.User, QStringLiteral("sa"));
        QCOMPARE(s.Password, QString());
        QCOMPARE(s.SectionID, QString());
        QCOMPARE(s.FindOrder, 0);
    }

    // Every key lands in its section, in order, even though none was in the file, and the
    // database and the scale are reconnected.
    void saveWritesEveryKey() {
        TestModuleDir dir;
        MessageRecorder messages;
        CountingScreen screen;
        CVarnetApp app;
        app.SetMainScreen(&screen);
        app.LoadSettings();
        app.SaveSettings();
        const QByteArray expected = "[Varnet]\nPrinterName=\nWBarCodeMask=27PPPPPWWWWW\n"
                                    "QBarCodeMask=29PPPPPQQQQQ\nPrintEI=0\n"
                                    "EIWeight=\xd0\xba\xd0\xb3\nEIQuantity=\xd1\x88\xd1\x82\n"
                                    "EICurrency=\xd1\x80\xd1\x83\xd0\xb1\nPenny=0\nRoundTo=0\n"
                                    "[Scale]\nRS232Port=0\nType=0\n"
                                    "[SQL]\nDriver=\nServer=" +
                                    platform::ComputerName().toUtf8() +
                                    "\nDatabase=Kestrada\nUser=sa\nPassword=\nSectionID=\n"
                                    "FindOrder=0\n";
        QCOMPARE(dir.Read(QStringLiteral("Varnet.ini")), expected);
        QCOMPARE(screen.reconnects, 1);
        // The reconnect tried the (empty) driver and said so once, as a warning.
        QCOMPARE(messages.Messages().size(), 1);
        QCOMPARE(messages.Messages()[0].icon, platform::MessageIcon::Exclamation);
        QVERIFY(!app.m_db.IsOpen());
    }

    // A full file with comments, blank lines and a key of its own goes through a load and a
    // save byte for byte: Cyrillic units, CR LF line ends, and a line whose value reads back
    // unchanged (SectionID with blanks around it) stays as it was written.
    void loadAndSaveKeepTheFile() {
        TestModuleDir dir;
        MessageRecorder messages;
        dir.Write(QStringLiteral("Varnet.ini"), kFullFile);
        CVarnetApp app;
        app.LoadSettings();
        QCOMPARE(app.m_settings.EIWeight, QStringLiteral("кг"));
        QCOMPARE(app.m_settings.RoundTo, 50u);
        QCOMPARE(app.m_settings.Type, 3);
        QCOMPARE(app.m_settings.SectionID, QStringLiteral("01"));
        QCOMPARE(app.m_settings.FindOrder, 1);
        app.SaveSettings();
        QCOMPARE(dir.Read(QStringLiteral("Varnet.ini")), kFullFile);
    }

    // The optional line keys of the Scale section: read when they hold a value a port can
    // take, written back only when set, in the file's own notation.
    void scaleLineKeys_data() {
        QTest::addColumn<QByteArray>("keys");
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("parity");
        QTest::addColumn<int>("dataBits");
        QTest::addColumn<int>("stopBits");
        QTest::addColumn<QByteArray>("saved");
        QTest::newRow("all set") << QByteArray("BaudRate=2400\nParity=E\nDataBits=7\nStopBits=2\n")
                                 << 2400 << 2 << 7 << 2
                                 << QByteArray("BaudRate=2400\nParity=E\nDataBits=7\nStopBits=2\n");
        QTest::newRow("small letter, one and a half")
            << QByteArray("Parity=o\nStopBits=1.5\n") << 0 << 1 << 0 << 1
            << QByteArray("Parity=O\nStopBits=1.5\n");
        // Values no port takes are not set, and their lines are left as the installer wrote them.
        QTest::newRow("unreadable")
            << QByteArray("BaudRate=fast\nParity=X\nDataBits=9\nStopBits=3\n") << 0 << -1 << 0 << -1
            << QByteArray("BaudRate=fast\nParity=X\nDataBits=9\nStopBits=3\n");
        QTest::newRow("none") << QByteArray() << 0 << -1 << 0 << -1 << QByteArray();
    }
    void scaleLineKeys() {
        QFETCH(QByteArray, keys);
        QFETCH(int, baud);
        QFETCH(int, parity);
        QFETCH(int, dataBits);
        QFETCH(int, stopBits);
        QFETCH(QByteArray, saved);
        TestModuleDir dir;
        MessageRecorder messages;
        dir.Write(QStringLiteral("Varnet.ini"), "[Scale]\nRS232Port=1\nType=5\n" + keys);
        CVarnetApp app;
        app.LoadSettings();
        const AppSettings& s = app.m_settings;
        QCOMPARE(int(s.BaudRate), baud);
        QCOMPARE(s.Parity, parity);
        QCOMPARE(s.DataBits, dataBits);
        QCOMPARE(s.StopBits, stopBits);
        app.SaveSettings();
        const QByteArray file = dir.Read(QStringLiteral("Varnet.ini"));
        QVERIFY2(file.startsWith("[Scale]\nRS232Port=1\nType=5\n" + saved + "["), file.constData());
    }

    // The bounds of keyed weights in the Scale section: read when they hold a value they can
    // take, written back only when set (or cleared where the file held one), else left as
    // the installer wrote them.
    void weighingKeys_data() {
        QTest::addColumn<QByteArray>("keys");
        QTest::addColumn<double>("capacity");
        QTest::addColumn<bool>("scaleOnly");
        QTest::addColumn<bool>("clear"); // the operator clears both before the save
        QTest::addColumn<QByteArray>("saved");
        QTest::newRow("both set") << QByteArray("Capacity=15\nWeightFromScaleOnly=1\n") << 15.0
                                  << true << false
                                  << QByteArray("Capacity=15\nWeightFromScaleOnly=1\n");
        QTest::newRow("grams of a kilogram") << QByteArray("Capacity=6.5\n") << 6.5 << false
                                             << false << QByteArray("Capacity=6.5\n");
        QTest::newRow("cleared") << QByteArray("Capacity=15\nWeightFromScaleOnly=1\n") << 15.0
                                 << true << true
                                 << QByteArray("Capacity=\nWeightFromScaleOnly=0\n");
        QTest::newRow("unreadable")
            << QByteArray("Capacity=heavy\nWeightFromScaleOnly=no\n") << 0.0 << false << true
            << QByteArray("Capacity=heavy\nWeightFromScaleOnly=no\n");
        QTest::newRow("none") << QByteArray() << 0.0 << false << false << QByteArray();
    }
    void weighingKeys() {
        QFETCH(QByteArray, keys);
        QFETCH(double, capacity);
        QFETCH(bool, scaleOnly);
        QFETCH(bool, clear);
        QFETCH(QByteArray, saved);
        TestModuleDir dir;
        MessageRecorder messages;
        dir.Write(QStringLiteral("Varnet.ini"), "[Scale]\nRS232Port=1\nType=3\n" + keys);
        CVarnetApp app;
        app.LoadSettings();
        QCOMPARE(app.m_settings.Capacity, capacity);
        QCOMPARE(app.m_settings.WeightFromScaleOnly, scaleOnly);
        if (clear) {
            app.m_settings.Capacity = 0;
            app.m_settings.WeightFromScaleOnly = false;
        }
        app.SaveSettings();
        const QByteArray file = dir.Read(QStringLiteral("Varnet.ini"));
        QVERIFY2(file.startsWith("[Scale]\nRS232Port=1\nType=3\n" + saved + "["), file.constData());
    }

    void loadedValues_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("loaded");
        QTest::addColumn<QByteArray>("saved"); // the key's line after a save

        QTest::newRow("Penny 5 is on") << QByteArray("[Varnet]\nPenny=5\n") << "Penny"
                                       << "1" << QByteArray("Penny=1");
        QTest::newRow("PrintEI text is off") << QByteArray("[Varnet]\nPrintEI=yes\n") << "PrintEI"
                                             << "0" << QByteArray("PrintEI=0");
        QTest::newRow("30-character mask cut to 19")
            << QByteArray("[Varnet]\nWBarCodeMask=27PPPPPWWWWW0123456789ABCDEFGH\n")
            << "WBarCodeMask"
            << "27PPPPPWWWWW0123456" << QByteArray("WBarCodeMask=27PPPPPWWWWW0123456");
        QTest::newRow("FindOrder 7") << QByteArray("[SQL]\nFindOrder=7\n") << "FindOrder"
                                     << "0" << QByteArray("FindOrder=0");
        QTest::newRow("FindOrder -1") << QByteArray("[SQL]\nFindOrder=-1\n") << "FindOrder"
                                      << "0" << QByteArray("FindOrder=0");
        QTest::newRow("FindOrder 2") << QByteArray("[SQL]\nFindOrder=2\n") << "FindOrder"
                                     << "2" << QByteArray("FindOrder=2");
        QTest::newRow("Windows-1251 unit")
            << QByteArray("[Varnet]\nEICurrency=\xf0\xf3\xe1.\n") << "EICurrency"
            << "руб." << QByteArray("EICurrency=\xf0\xf3\xe1.");
        QTest::newRow("empty key keeps no default")
            << QByteArray("[SQL]\nDatabase=\n") << "Database"
            << "" << QByteArray("Database=\n");
    }
    void loadedValues() {
        QFETCH(QByteArray, file);
        QFETCH(QString, field);
        QFETCH(QString, loaded);
        QFETCH(QByteArray, saved);
        TestModuleDir dir;
        MessageRecorder messages;
        dir.Write(QStringLiteral("Varnet.ini"), file);
        CVarnetApp app;
        app.LoadSettings();
        const AppSettings& s = app.m_settings;
        const QMap<QString, QString> values{
            {QStringLiteral("Penny"), QString::number(s.Penny)},
            {QStringLiteral("PrintEI"), QString::number(s.PrintEI)},
            {QStringLiteral("WBarCodeMask"), s.WBarCodeMask},
            {QStringLiteral("FindOrder"), QString::number(s.FindOrder)},
            {QStringLiteral("EICurrency"), s.EICurrency},
            {QStringLiteral("Database"), s.Database},
        };
        QCOMPARE(values.value(field), loaded);
        app.SaveSettings();
        QVERIFY2(dir.Read(QStringLiteral("Varnet.ini")).contains(saved),
                 dir.Read(QStringLiteral("Varnet.ini")).constData());
    }

    // A save that cannot write leaves the old file whole, says why, and the new values stay
    // in force for this run.
    void failedSaveKeepsTheOldFile() {
        TestModuleDir dir;
        MessageRecorder messages;
        dir.Write(QStringLiteral("Varnet.ini"), kFullFile);
        CVarnetApp app;
        app.LoadSettings();
        app.m_settings.RS232Port = 7;
        {
            ScopedFileSizeLimit limit(64);
            app.SaveSettings();
        }
        QCOMPARE(dir.Read(QStringLiteral("Varnet.ini")), kFullFile);
        QVERIFY(!messages.Texts().isEmpty());
        QCOMPARE(messages.Texts().first(), QStringLiteral("Нет места на диске при обращении к %1.")
                                               .arg(dir.File(QStringLiteral("Varnet.ini"))));
        QCOMPARE(app.m_settings.RS232Port, 7);
        QCOMPARE(QDir(dir.Path()).entryList(QDir::Files),
                 QStringList{QStringLiteral("Varnet.ini")});
    }

    // A real file size limit on the whole program: the save fails with the disk-full message
    // instead of the process dying of SIGXFSZ, and no temporary file stays behind.
    void fileSizeLimitInAChild() {
        TestModuleDir dir;
        dir.Write(QStringLiteral("Varnet.ini"), kFullFile);
        QProcess p;
        StartWriter(p, dir.Path(), 1, 256);
        QVERIFY(p.waitForFinished(60000));
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QVERIFY2(out.contains(QStringLiteral("Нет места на диске при обращении к %1.")
                                  .arg(dir.File(QStringLiteral("Varnet.ini")))),
                 qPrintable(out));
        QVERIFY(out.endsWith(QStringLiteral("alive\n")));
        QCOMPARE(dir.Read(QStringLiteral("Varnet.ini")), kFullFile);
        QCOMPARE(FilesIn(dir.Path()), QStringList{QStringLiteral("Varnet.ini")});
    }

    // Saves killed at random moments leave the file whole (old or new). A kill in the instant
    // between naming the new file and renaming it over the old one may leave that name behind;
    // the next save clears it, so nothing piles up in the counter folder.
    void killedSavesLeaveNothing() {
        TestModuleDir dir;
        dir.Write(QStringLiteral("Varnet.ini"), kFullFile);
        for (int round = 0; round < 40; ++round) {
            QProcess p;
            StartWriter(p, dir.Path(), 1000);
            QVERIFY(p.waitForStarted());
            QTest::qWait(20 + QRandomGenerator::global()->bounded(60));
            p.kill();
            QVERIFY(p.waitForFinished());
        }
        const QStringList left = FilesIn(dir.Path());
        QVERIFY(left.contains(QStringLiteral("Varnet.ini")));
        for (const QString& name : left)
            QVERIFY2(name == QStringLiteral("Varnet.ini") ||
                         name.startsWith(QStringLiteral("Varnet.ini.tmp-")),
                     qPrintable(name));
        CVarnetApp app;
        MessageRecorder messages;
        app.LoadSettings();
        QCOMPARE(app.m_settings.EIWeight, QStringLiteral("кг"));
        QVERIFY(messages.Texts().isEmpty());
        app.SaveSettings();
        QCOMPARE(FilesIn(dir.Path()), QStringList{QStringLiteral("Varnet.ini")});
    }

    // A settings file that is a link stays a link, and its target gets the new values.
    void linkedFileIsWrittenThrough() {
        TestModuleDir dir;
        QTemporaryDir elsewhere;
        const QString target = elsewhere.filePath(QStringLiteral("counter3.ini"));
        {
            QFile f(target);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(kFullFile);
        }
        QVERIFY(QFile::link(target, dir.File(QStringLiteral("Varnet.ini"))));
        MessageRecorder messages;
        CVarnetApp app;
        app.LoadSettings();
        app.m_settings.RS232Port = 5;
        app.SaveSettings();
        QVERIFY(QFileInfo(dir.File(QStringLiteral("Varnet.ini"))).isSymLink());
        QFile f(target);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().contains("RS232Port=5\r\n"));
    }

    // The file holds the database password: a save gives it to the counter's operators (the
    // folder's group) and takes it from everybody else.
    void saveGivesTheFileToTheGroupOnly() {
        TestModuleDir dir;
        dir.Write(QStringLiteral("Varnet.ini"), kFullFile);
        const QByteArray path = QFile::encodeName(dir.File(QStringLiteral("Varnet.ini")));
        QCOMPARE(::chmod(path.constData(), 0644), 0);
        MessageRecorder messages;
        CVarnetApp app;
        app.LoadSettings();
        app.SaveSettings();
        struct stat st {};
        QCOMPARE(::stat(path.constData(), &st), 0);
        QCOMPARE(st.st_mode & 07777, 0660u);
    }

    // Something in the settings file's place that is not a file is named for what it is at
    // load, and never waited on (a FIFO); the defaults are in force, and no save replaces it.
    void unreadableFileIsNeverOverwritten_data() {
        QTest::addColumn<QString>("kind");
        for (const QString& kind : notafile::Kinds())
            QTest::newRow(qPrintable(kind)) << kind;
    }
    void unreadableFileIsNeverOverwritten() {
        QFETCH(QString, kind);
        TestModuleDir dir;
        const QString path = dir.File(QStringLiteral("Varnet.ini"));
        QVERIFY(notafile::Make(kind, path));
        const QString reason = QStringLiteral("это не файл, а ") + notafile::Word(kind);
        const notafile::FifoRelease release(path, 10000);
        MessageRecorder messages;
        CVarnetApp app;
        app.LoadSettings();
        QCOMPARE(messages.Texts(),
                 QStringList{QStringLiteral("Файл настроек %1 не читается (%2). Пока он не станет "
                                            "доступен, программа работает с настройками по "
                                            "умолчанию, а сохранить настройки в этот файл нельзя.")
                                 .arg(path, reason)});
        QCOMPARE(app.m_settings.User, QStringLiteral("sa"));
        messages.Clear();
        app.SaveSettings();
        QVERIFY(!messages.Texts().isEmpty());
        QCOMPARE(messages.Texts().first(),
                 QStringLiteral("Файл настроек %1 не читается (%2), поэтому настройки в него не "
                                "сохранены: они действуют до закрытия программы.")
                     .arg(path, reason));
        QVERIFY(!release.Released());
        QVERIFY(QFileInfo(path).exists() && !QFileInfo(path).isFile());
        QCOMPARE(QFileInfo(path).isSymLink(), kind == QLatin1String("device"));
    }

    // The first operator's file, left 0600 by an earlier version, is what a second operator's
    // program finds: it names the file, its owner and the mend, and leaves it as it is.
    void anotherOperatorsClosedFile() {
        if (::geteuid() != 0)
            QSKIP("running as another account needs root");
        TestModuleDir dir;
        dir.Write(QStringLiteral("Varnet.ini"), kFullFile);
        const QString path = dir.File(QStringLiteral("Varnet.ini"));
        QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0600), 0);
        QCOMPARE(::chmod(QFile::encodeName(dir.Path()).constData(), 0777), 0);
        QProcess writer;
        writer.setChildProcessModifier([] {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(5);
        });
        writer.start(qEnvironmentVariable("VARNET_BINARY_DIR") +
                         QStringLiteral("/tests/settingswriter"),
                     {dir.Path(), QStringLiteral("1")});
        QVERIFY(writer.waitForFinished(30000));
        if (writer.exitCode() != 0)
            QSKIP("the settings writer cannot run as another account from this build folder");
        const QString out = QString::fromUtf8(writer.readAllStandardOutput());
        QVERIFY2(out.startsWith(
                     QStringLiteral(
                         "Файл настроек %1 не читается (нет доступа). Пока он не станет доступен, "
                         "программа работает с настройками по умолчанию, а сохранить настройки в "
                         "этот файл нельзя.\n\nФайл %1 принадлежит пользователю root и закрыт для "
                         "других операторов прилавка. Чтобы открыть его, выполните от имени "
                         "администратора:\nsudo chgrp root %1 && sudo chmod 660 %1\n")
                         .arg(path)),
                 qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("Файл настроек %1 не читается (нет доступа), поэтому "
                                             "настройки в него не сохранены")
                                  .arg(path)),
                 qPrintable(out));
        QVERIFY(out.endsWith(QStringLiteral("alive\n")));
        QCOMPARE(dir.Read(QStringLiteral("Varnet.ini")), QByteArray(kFullFile));
    }

    // Windows Notepad saves "Unicode" as UTF-16 LE with a byte-order mark; other editors
    // give UTF-16 BE or UTF-8 with a mark; the counters Varnet replaces wrote Windows-1251.
    // All load with their Cyrillic values, and a save writes the file back in its own
    // encoding: byte for byte as it was but for the changed value.
    void filesFromWindowsKeepTheirEncoding_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("saved");
        const QString text = QString::fromUtf8(kFullFile);
        QString changed = text;
        changed.replace(QStringLiteral("RS232Port=2"), QStringLiteral("RS232Port=4"));
        const auto utf16 = [](const QString& t, bool le) {
            QByteArray bytes(le ? "\xFF\xFE" : "\xFE\xFF", 2);
            for (const QChar c : t) {
                const char16_t u = c.unicode();
                if (le)
                    bytes.append(char(u & 0xFF)).append(char(u >> 8));
                else
                    bytes.append(char(u >> 8)).append(char(u & 0xFF));
            }
            return bytes;
        };
        QTest::newRow("UTF-16 LE, Notepad") << utf16(text, true) << utf16(changed, true);
        QTest::newRow("UTF-16 BE") << utf16(text, false) << utf16(changed, false);
        QTest::newRow("UTF-8 with a mark") << QByteArray("\xEF\xBB\xBF") + kFullFile
                                           << QByteArray("\xEF\xBB\xBF") + changed.toUtf8();
        QTest::newRow("Windows-1251")
            << platform::EncodeCp1251(text) << platform::EncodeCp1251(changed);
    }
    void filesFromWindowsKeepTheirEncoding() {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, saved);
        TestModuleDir dir;
        dir.Write(QStringLiteral("Varnet.ini"), bytes);
        MessageRecorder messages;
        CVarnetApp app;
        app.LoadSettings();
        QCOMPARE(app.m_settings.EIWeight, QStringLiteral("кг"));
        QCOMPARE(app.m_settings.EICurrency, QStringLiteral("руб"));
        QCOMPARE(app.m_settings.PrinterName, QStringLiteral("Godex G500"));
        QCOMPARE(app.m_settings.RoundTo, 50u);
        QCOMPARE(app.m_settings.Password, QStringLiteral("p@ss"));
        QCOMPARE(messages.Texts(), QStringList());
        app.m_settings.RS232Port = 4;
        app.SaveSettings();
        QCOMPARE(dir.Read(QStringLiteral("Varnet.ini")), saved);
    }

    // A Windows-1251 file cannot hold every character: a value with one it has no form for is
    // not saved as '?'; the operator is told which key, the file stays as it was, and the
    // values stay in force for this run.
    void characterOutsideWindows1251IsNotSaved() {
        TestModuleDir dir;
        const QByteArray old = platform::EncodeCp1251(QString::fromUtf8(kFullFile));
        dir.Write(QStringLiteral("Varnet.ini"), old);
        MessageRecorder messages;
        CVarnetApp app;
        app.LoadSettings();
        app.m_settings.EICurrency = QStringLiteral("₸");
        app.SaveSettings();
        QCOMPARE(dir.Read(QStringLiteral("Varnet.ini")), old);
        // The save's message comes first; the catalogue this file names cannot be reached.
        QVERIFY(!messages.Texts().isEmpty());
        QCOMPARE(messages.Texts().first(),
                 QStringLiteral("В значении EICurrency раздела [Varnet] есть знаки, которых нет в "
                                "кодировке Windows-1251 файла настроек %1. Настройки не "
                                "сохранены: замените эти знаки.")
                     .arg(dir.File(QStringLiteral("Varnet.ini"))));
        QCOMPARE(app.m_settings.EICurrency, QStringLiteral("₸"));
    }

    // A file that is no settings text, or far too large to be one, is reported at load and
    // never overwritten: the values stay in force for the run only.
    void damagedFileIsNeverOverwritten_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("UTF-16 cut in a character") << QByteArray("\xFF\xFE[\0S", 5);
        QTest::newRow("UTF-8 mark, then no UTF-8") << QByteArray("\xEF\xBB\xBF[SQL]\nUser=\xff\n");
        QTest::newRow("UTF-16 without a mark") << QByteArray("[\0S\0Q\0L\0]\0", 10);
        QByteArray big = kFullFile;
        big.append(QByteArray(platform::CIniFile::kMaxSize, ';'));
        QTest::newRow("over the size cap") << big;
    }
    void damagedFileIsNeverOverwritten() {
        QFETCH(QByteArray, bytes);
        TestModuleDir dir;
        dir.Write(QStringLiteral("Varnet.ini"), bytes);
        const QString damaged =
            platform::CIniFile::DamagedText(dir.File(QStringLiteral("Varnet.ini")));
        MessageRecorder messages;
        CVarnetApp app;
        app.LoadSettings();
        QCOMPARE(messages.Texts(), QStringList{damaged});
        QCOMPARE(app.m_settings.User, QStringLiteral("sa"));
        messages.Clear();
        app.m_settings.RS232Port = 9;
        app.SaveSettings();
        QVERIFY(!messages.Texts().isEmpty());
        QCOMPARE(messages.Texts().first(), damaged);
        QCOMPARE(app.m_settings.RS232Port, 9);
        QCOMPARE(dir.Read(QStringLiteral("Varnet.ini")), bytes);
    }

    // Values that reading would change (blanks at the ends, enclosing quotes) come back as
    // they were saved.
    void valuesRoundTrip_data() {
        QTest::addColumn<QString>("password");
        QTest::newRow("blanks inside and around") << " pa ss ";
        QTest::newRow("in double quotes") << "\"secret\"";
        QTest::newRow("in single quotes") << "'secret'";
        QTest::newRow("one quote") << "\"";
        QTest::newRow("blank only") << " ";
        QTest::newRow("plain") << "p@ss;}";
    }
    void valuesRoundTrip() {
        QFETCH(QString, password);
        TestModuleDir dir;
        MessageRecorder messages;
        CVarnetApp app;
        app.LoadSettings();
        app.m_settings.Password = password;
        app.SaveSettings();
        CVarnetApp again;
        again.LoadSettings();
        QCOMPARE(again.m_settings.Password, password);
    }
};

QTEST_GUILESS_MAIN(TstSettings)
#include "tst_settings.moc"
