// A PostgreSQL server restarted under a running counter: the product lookup that meets the cut
// connection connects again silently; the search that meets it reports it once, and the next
// ones connect again on their own.
#include "app/errorboundary.h"
#include "catalogue/cdlgplufind.h"
#include "catalogue/cgrid.h"
#include "catalogue/gridrowset.h"
#include "democatalogue.h"
#include "support/messagerecorder.h"
#include "support/privatepostgres.h"
#include "workstation/dialoghooks.h"
#include "workstation/productlookup.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

class TstReconnect : public QObject {
    Q_OBJECT
    PrivatePostgres m_server;
    AppSettings m_settings;

    // The product key with a typed code, as the main screen runs it: found or not, and the
    // messages it showed.
    static bool Lookup(CVarnetApp& app, CScreenState& state, const QString& code) {
        state.ClearProduct();
        bool found = false;
        ReportDatabaseErrors(nullptr, [&] { found = LookupProduct(app, state, code); });
        return found && state.m_product.m_strCode == code;
    }

    // Opens the search as the product key does, types text and reports how many rows the
    // list then holds (-1: the dialog never opened).
    static int Search(CVarnetApp& app, const QString& text) {
        int rows = -1;
        QTimer::singleShot(0, [&] {
            auto* dlg = qobject_cast<CDlgPluFind*>(QApplication::activeModalWidget());
            if (!dlg)
                return;
            dlg->Edit()->setText(text);
            CGridRowset* r = dlg->Grid()->m_pRowset;
            rows = r && r->IsOpen() ? r->m_nRowCount : 0;
            dlg->reject();
        });
        RunProductSearch(nullptr, app);
        return rows;
    }

private Q_SLOTS:
    void initTestCase() {
        if (!m_server.Start())
            QFAIL(qPrintable(m_server.Error()));
        // The connection string names no port: libpq takes it from here.
        qputenv("PGPORT", QByteArray::number(m_server.Port()));
        m_settings.Driver = QStringLiteral("PostgreSQL Unicode");
        m_settings.Server = QStringLiteral("127.0.0.1");
        m_settings.User = QStringLiteral("postgres");
        m_settings.Database = QStringLiteral("postgres");
        m_settings.WBarCodeMask = QStringLiteral("27PPPPPWWWWW");
        platform::odbc::Connection db;
        db.Open(CVarnetApp::ConnectionString(m_settings));
        democat::CreateSchema(db);
        democat::SetEnableSection(db, 0);
        QList<democat::PluRow> rows;
        for (int i = 1; i <= 3; ++i) {
            democat::PluRow r;
            r.pluId = i;
            r.plu = QString::number(10 + i);
            r.pluName = QStringLiteral("Товар %1").arg(i);
            r.price = 10.0 * i;
            r.sq = 0.0;
            r.sectionId = QStringLiteral("01");
            rows << r;
        }
        democat::InsertRows(db, rows);
    }

    void lookupAfterRestart() {
        CVarnetApp app;
        app.m_settings = m_settings;
        CScreenState state(app.m_settings);
        MessageRecorder messages;
        QVERIFY(Lookup(app, state, QStringLiteral("11")));
        QVERIFY(messages.Texts().isEmpty());

        // The first lookup on the cut connection connects again by itself and finds the
        // product; the operator hears nothing.
        QVERIFY2(m_server.Restart(), qPrintable(m_server.Error()));
        QVERIFY(Lookup(app, state, QStringLiteral("12")));
        QCOMPARE(state.m_product.m_strName, QStringLiteral("Товар 2"));
        QVERIFY(Lookup(app, state, QStringLiteral("13")));
        QCOMPARE(messages.Texts(), QStringList());
        QCOMPARE(app.m_settings.Database, m_settings.Database);

        // A server that is really gone is told, once per lookup, with the driver's words.
        m_server.Stop();
        QVERIFY(!Lookup(app, state, QStringLiteral("11")));
        QCOMPARE(messages.Texts().size(), 1);
        QVERIFY2(m_server.Resume(), qPrintable(m_server.Error()));
        messages.Clear();
        QVERIFY(Lookup(app, state, QStringLiteral("11")));
        QCOMPARE(messages.Texts(), QStringList());
    }

    void searchAfterRestart() {
        CVarnetApp app;
        app.m_settings = m_settings;
        MessageRecorder messages;
        QVERIFY(app.ConnectDatabase());
        QCOMPARE(Search(app, QStringLiteral("1")), 3);
        QVERIFY(messages.Texts().isEmpty());

        // The next search opens on the cut connection: one message, and its first keystroke
        // already finds the rows on a new connection.
        QVERIFY2(m_server.Restart(), qPrintable(m_server.Error()));
        QCOMPARE(Search(app, QStringLiteral("12")), 1);
        QCOMPARE(messages.Texts().size(), 1);

        messages.Clear();
        QCOMPARE(Search(app, QStringLiteral("1")), 3);
        QCOMPARE(messages.Texts(), QStringList());
    }

    void keystrokeAfterRestart() {
        // The server goes away while the search dialog is open.
        CVarnetApp app;
        app.m_settings = m_settings;
        MessageRecorder messages;
        QVERIFY(app.ConnectDatabase());
        CDlgPluFind dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        CGridRowset* rowset = dlg.Grid()->m_pRowset;
        QVERIFY(rowset && rowset->IsOpen());
        QCOMPARE(rowset->m_nRowCount, 3);

        QVERIFY2(m_server.Restart(), qPrintable(m_server.Error()));
        dlg.Edit()->setText(QStringLiteral("1"));
        // The list paints what it still has and reports nothing more.
        dlg.Grid()->viewport()->grab();
        QTest::qWait(50);
        QCOMPARE(messages.Texts().size(), 1);

        messages.Clear();
        dlg.Edit()->setText(QStringLiteral("12"));
        QCOMPARE(messages.Texts(), QStringList());
        QVERIFY(rowset->IsOpen());
        QCOMPARE(rowset->m_nRowCount, 1);
    }
};

QTEST_MAIN(TstReconnect)
#include "tst_reconnect.moc"
