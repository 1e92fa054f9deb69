// The main screen's start: it comes up at 800 by 600 whatever the database does, connects
// the database last, and nothing but the close command ends it.
#include "app/varnetapp.h"
#include "democatalogue.h"
#include "support/messagerecorder.h"
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
