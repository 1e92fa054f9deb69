// The main screen's start: it comes up at 800 by 600 whatever the database does, connects
// the database last, and nothing but the close command ends it; a FIFO in the settings
// file's place holds nothing up.
#include "app/varnetapp.h"
#include "democatalogue.h"
#include "journal/journal.h"
#include "labels/labellayouts.h"
#include "platform/counterfiles.h"
#include "support/messagerecorder.h"
#include "support/notafile.h"
#include "support/testdb.h"
#include "support/testdir.h"
#include "workstation/varnetdlg.h"

#include <QTest>

class TstMainScreenStart : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

    // Shows the screen and lets its initialisation run to the end.
    static void ShowAndSettle(CVarnetDlg& dlg) {
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QCoreApplication::processEvents();
    }

private Q_SLOTS:
    void unreachableServer() {
        MessageRecorder messages;
        CVarnetApp app;
        app.m_settings = testdb::UnreachableServer();
        CVarnetDlg dlg;
        ShowAndSettle(dlg);
        QCOMPARE(messages.Messages().size(), 1);
        QVERIFY2(messages.Texts()[0].contains(QLatin1String("127.0.0.2")),
                 qPrintable(messages.Texts()[0]));
        QCOMPARE(messages.Messages()[0].icon, platform::MessageIcon::Exclamation);
        QCOMPARE(messages.Messages()[0].owner, &dlg);
        QVERIFY(dlg.isVisible());
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Ведант"));
        QCOMPARE(dlg.frameGeometry().size(), QSize(800, 600));
        // The next occasion tries again.
        QVERIFY(!app.ConnectDatabase());
        QCOMPARE(messages.Messages().size(), 2);
    }

    // A database without the config table: the connection is made, the query's error is
    // shown with a stop icon, and the screen runs on.
    void configQueryFails() {
        MessageRecorder messages;
        CVarnetApp app;
        app.m_settings =
            testdb::FreshDatabase(QStringLiteral("sqlite"), QStringLiteral("bare"), m_dir);
        CVarnetDlg dlg;
        ShowAndSettle(dlg);
        QCOMPARE(messages.Messages().size(), 1);
        QCOMPARE(messages.Messages()[0].icon, platform::MessageIcon::Stop);
        QVERIFY2(messages.Texts()[0].contains(QLatin1String("config")),
                 qPrintable(messages.Texts()[0]));
        QVERIFY(dlg.isVisible());
        QVERIFY(app.m_db.IsOpen());
    }

    // Another operator left a FIFO as the settings file. The program starts as it does on a
    // counter: the settings with their defaults, the layouts, the journal, then the screen,
    // which comes up; the operator is told once what stands in the file's place.
    void settingsFileIsAFifo() {
        TestModuleDir dir;
        const QString path = dir.File(QStringLiteral("Varnet.ini"));
        QVERIFY(notafile::Make(QStringLiteral("FIFO"), path));
        const notafile::FifoRelease release(path, 10000);
        MessageRecorder messages;
        {
            CVarnetApp app;
            app.SetLabelLayouts(std::make_unique<CLabelLayouts>());
            app.LoadSettings();
            QVERIFY(platform::CheckCounterFiles(dir.Path()).isEmpty());
            app.LoadLabelLayouts();
            AppJournal().Prepare();
            CVarnetDlg dlg;
            ShowAndSettle(dlg);
            QVERIFY(!release.Released());
            QVERIFY(dlg.isVisible());
            QCOMPARE(dlg.windowTitle(), QStringLiteral("Ведант"));
            QCOMPARE(app.m_settings.User, QStringLiteral("sa"));
        }
        AppJournal().Close();
        QVERIFY(!messages.Texts().isEmpty());
        QCOMPARE(messages.Texts().first(),
                 QStringLiteral("Файл настроек %1 не читается (это не файл, а канал FIFO). Пока "
                                "он не станет доступен, программа работает с настройками по "
                                "умолчанию, а сохранить настройки в этот файл нельзя.")
                     .arg(path));
        // The rest is the database that the defaults name, which is not there.
        QCOMPARE(messages.Texts().filter(QStringLiteral("FIFO")).size(), 1);
        QVERIFY(QFileInfo(path).exists() && !QFileInfo(path).isFile());
    }

    void onlyTheCloseCommandCloses_data() {
        QTest::addColumn<int>("key");
        QTest::newRow("Escape") << int(Qt::Key_Escape);
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
    }
    void onlyTheCloseCommandCloses() {
        QFETCH(int, key);
        MessageRecorder messages;
        CVarnetApp app;
        app.m_settings =
            testdb::FreshDatabase(QStringLiteral("sqlite"), QStringLiteral("keys"), m_dir);
        {
            platform::odbc::Connection db;
            db.Open(CVarnetApp::ConnectionString(app.m_settings));
            democat::CreateSchema(db);
            democat::SetEnableSection(db, 1);
        }
        CVarnetDlg dlg;
        ShowAndSettle(dlg);
        QVERIFY(messages.Texts().isEmpty());
        QVERIFY(app.m_bEnableSection);
        QTest::keyClick(&dlg, Qt::Key(key));
        QVERIFY(dlg.isVisible());
        QVERIFY(dlg.close());
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
    }
};

QTEST_MAIN(TstMainScreenStart)
#include "tst_mainscreen_start.moc"
