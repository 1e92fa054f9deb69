// Loading and saving the settings file: defaults, limits, what a save keeps and writes, and
// a save that cannot write. The ODBC configuration seen here has no "SQL " driver, so the
// default driver is empty and every reconnect after a save fails with one message.
#include "app/varnetapp.h"
#include "platform/paths.h"
#include "support/messagerecorder.h"
#include "support/testdir.h"

#include <QTest>

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
    // save byte for byte: Cyrillic units, CR LF line ends and all.
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
        app.m_settings.SectionID = QStringLiteral(" 01 ");
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
            << "руб." << QByteArray("EICurrency=\xd1\x80\xd1\x83\xd0\xb1.");
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
};

QTEST_GUILESS_MAIN(TstSettings)
#include "tst_settings.moc"
