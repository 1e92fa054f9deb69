// Products whose label would be wrong never reach the spooler: a price that is missing, not
// a number, infinite, zero or negative, a code with a point, and a shelf life in hours that
// ends tens of thousands of years away. The operator is told which product it was.
#include "democatalogue.h"
#include "platform/clock.h"
#include "platform/printer.h"
#include "support/messagerecorder.h"
#include "support/printcapture.h"
#include "support/testcounter.h"
#include "workstation/printflow.h"
#include "workstation/productlookup.h"

#include <QTest>

#include <memory>

class TstBadProducts : public QObject {
    Q_OBJECT
    std::unique_ptr<TestCounter> m_counter;

    // A product by the piece, so the screen shows one piece and a label would print at once.
    static void Insert(platform::odbc::Connection& c, int id, const QString& code,
                       const QString& price, int hours = 0) {
        democat::Exec(c, QStringLiteral("INSERT INTO plu (pluId, sectionId, plu, pluName, price, "
                                        "sq, bHours) VALUES (%1, '01', %2, %3, %4, 1, %5)")
                             .arg(id)
                             .arg(democat::Literal(code),
                                  democat::Literal(QStringLiteral("Товар ") + code), price)
                             .arg(hours));
    }

private Q_SLOTS:
    void initTestCase() {
        platform::InstallSpoolerPrinters();
        TestCounterOptions o;
        o.printer = printcapture::Queue();
        o.prepareCatalogue = [](platform::odbc::Connection& c) {
            Insert(c, 901, QStringLiteral("901"), QStringLiteral("NULL"));
            Insert(c, 902, QStringLiteral("902"), QStringLiteral("'abc'"));
            Insert(c, 903, QStringLiteral("903"), QStringLiteral("1e999"));
            Insert(c, 904, QStringLiteral("904"), QStringLiteral("0"));
            Insert(c, 905, QStringLiteral("905"), QStringLiteral("-5"));
            Insert(c, 906, QStringLiteral("12.5"), QStringLiteral("10"));
            Insert(c, 907, QStringLiteral("907"), QStringLiteral("10"), 2147483647);
            Insert(c, 908, QStringLiteral("908"), QStringLiteral("10"), -2147483647);
            Insert(c, 909, QStringLiteral("0909"), QStringLiteral("10"), 24);
        };
        m_counter = std::make_unique<TestCounter>(o);
    }
    void cleanupTestCase() { m_counter.reset(); }

    void refused_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("message");
        const QString price = QStringLiteral("Недопустимая цена товара «Товар %1» (код %1).");
        QTest::newRow("price NULL") << "901" << price.arg(QStringLiteral("901"));
        QTest::newRow("price not a number") << "902" << price.arg(QStringLiteral("902"));
        QTest::newRow("price infinite") << "903" << price.arg(QStringLiteral("903"));
        QTest::newRow("price zero") << "904" << price.arg(QStringLiteral("904"));
        QTest::newRow("price negative") << "905" << price.arg(QStringLiteral("905"));
        QTest::newRow("code with a point")
            << "12.5" << QStringLiteral("Недопустимый код товара «12.5» (Товар 12.5).");
        const QString date = QStringLiteral("Недопустимая дата срока годности товара.");
        QTest::newRow("bHours max") << "907" << date;
        QTest::newRow("bHours min") << "908" << date;
    }
    void refused() {
        QFETCH(QString, code);
        QFETCH(QString, message);
        CVarnetApp& app = m_counter->App();
        CScreenState state(app.m_settings);
        for (const QChar c : code)
            state.AppendKey(QString(c));
        MessageRecorder messages;
        QVERIFY(OnTypedProductKey(app, state));
        const QStringList before = printcapture::Jobs();
        PrintLabel(state, nullptr);
        QCOMPARE(messages.Texts(), QStringList{message});
        QVERIFY(!state.m_bPrinting);
        QCOMPARE(state.m_product.m_strCode, code);
        // A job would have been handed to the spooler before PrintLabel returned.
        QCOMPARE(printcapture::WaitForNewJob(before, 2000), QString());
    }

    // The same fixture prints a sound product, with the leading zero of its code.
    void soundProductPrints() {
        CVarnetApp& app = m_counter->App();
        CScreenState state(app.m_settings);
        for (const QChar c : QStringLiteral("0909"))
            state.AppendKey(QString(c));
        MessageRecorder messages;
        QVERIFY(OnTypedProductKey(app, state));
        const QStringList before = printcapture::Jobs();
        PrintLabel(state, nullptr);
        QCOMPARE(messages.Texts(), QStringList());
        QVERIFY(!printcapture::WaitForNewJob(before).isEmpty());
    }
};

QTEST_MAIN(TstBadProducts)
#include "tst_badproducts.moc"
