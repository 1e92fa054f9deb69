// The optional [Journal] section of the settings file: what it names, the connection string
// built from it, and a save of the other settings that neither adds nor changes it.
#include "app/varnetapp.h"
#include "support/messagerecorder.h"
#include "support/testdir.h"

#include <QFile>
#include <QTest>

namespace {
struct Screen : IMainScreen {
    void ConnectScale() override {}
    QWidget* Window() override { return nullptr; }
};

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}
} // namespace

class TstJournalSettings : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void connectionString_data() {
        QTest::addColumn<QByteArray>("section");
        QTest::addColumn<QString>("expected");
        QTest::newRow("none") << QByteArray() << QString();
        QTest::newRow("driver without server")
            << QByteArray("Driver=PostgreSQL Unicode\n") << QString();
        QTest::newRow("login") << QByteArray("Driver=SQL Server\nServer=hq,1433\nDatabase=Sklad\n"
                                             "User=varnet\nPassword=p@ss w=rd\n")
                               << QStringLiteral("Driver={SQL Server};SERVER=hq,1433;"
                                                 "DATABASE=Sklad;UID=varnet;PWD=p@ss w=rd;"
                                                 "TRUSTED_CONNECTION=No");
        QTest::newRow("trusted") << QByteArray("Driver=SQL Server\nServer=hq\nDatabase=Sklad\n")
                                 << QStringLiteral("Driver={SQL Server};SERVER=hq;DATABASE=Sklad;"
                                                   "TRUSTED_CONNECTION=Yes");
        QTest::newRow("full string wins")
            << QByteArray("Connect=Driver={PostgreSQL Unicode};Server=hq;Port=5433\n"
                          "Driver=SQL Server\nServer=other\n")
            << QStringLiteral("Driver={PostgreSQL Unicode};Server=hq;Port=5433");
    }
    void connectionString() {
        QFETCH(QByteArray, section);
        QFETCH(QString, expected);
        TestModuleDir dir;
        WriteAll(CVarnetApp::SettingsPath(),
                 "[SQL]\nDriver=SQLite3\n" +
                     (section.isEmpty() ? QByteArray() : "[Journal]\n" + section));
        CVarnetApp app;
        app.LoadSettings();
        QCOMPARE(app.m_settings.Journal.IsSet(), !expected.isEmpty());
        QCOMPARE(app.m_settings.Journal.ConnectionString(), expected);
        // The catalogue's keys are not taken for the journal's, nor the other way round.
        QCOMPARE(app.m_settings.Driver, QStringLiteral("SQLite3"));
    }

    // A save from the settings dialog keeps the section byte for byte and adds none.
    void saveKeepsTheSection_data() {
        QTest::addColumn<QByteArray>("journal");
        QTest::newRow("absent") << QByteArray();
        QTest::newRow("present") << QByteArray("[Journal]\r\nConnect=Driver={PostgreSQL Unicode};"
                                               "Server=hq\r\nPassword=p@ss\r\n");
    }
    void saveKeepsTheSection() {
        QFETCH(QByteArray, journal);
        TestModuleDir dir;
        WriteAll(CVarnetApp::SettingsPath(), "[Varnet]\r\nPrinterName=A\r\n" + journal);
        MessageRecorder messages;
        Screen screen;
        CVarnetApp app;
        app.SetMainScreen(&screen);
        app.LoadSettings();
        app.m_settings.PrinterName = QStringLiteral("B");
        app.SaveSettings();
        const QByteArray saved = ReadAll(CVarnetApp::SettingsPath());
        QVERIFY(saved.contains("PrinterName=B"));
        if (journal.isEmpty())
            QVERIFY(!saved.contains("[Journal]"));
        else
            QVERIFY2(saved.contains(journal), saved.constData());
        QCOMPARE(app.m_settings.Journal.Password,
                 journal.isEmpty() ? QString() : QStringLiteral("p@ss"));
    }
};

QTEST_GUILESS_MAIN(TstJournalSettings)
#include "tst_journalsettings.moc"
