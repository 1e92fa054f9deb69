// Products whose label would be wrong never reach the spooler: a price that is missing, not
// a number, infinite, zero, negative or beyond what the journals hold, a code with a point, and a
// shelf life in hours that ends tens of thousands of years away. The operator is told which product
// it was.
#include "democatalogue.h"
#include "platform/clock.h"
#include "platform/printer.h"
#include "support/messagerecorder.h"
#include "support/testcounter.h"
#include "workstation/printflow.h"
#include "workstation/productlookup.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {
bool Run(const QStringList& args, QString* out = nullptr) {
    QProcess p;
    p.start(args.first(), args.mid(1));
    const bool ok = p.waitForFinished(30000) && p.exitCode() == 0;
    if (out)
        *out = QString::fromUtf8(p.readAllStandardOutput());
    return ok;
}
} // namespace

class TstBadProducts : public QObject {
    Q_OBJECT
    std::unique_ptr<TestCounter> m_counter;
    // A label queue of this run alone: the shared test queue takes jobs from every test on
    // the machine, so only a queue nobody else prints to can show that no job came.
    const QString m_queue =
        QStringLiteral("VarnetBadProducts%1").arg(QCoreApplication::applicationPid());
    QTemporaryDir m_capture;

    // The jobs the spooler ever took for the queue, finished or not.
    int Jobs() const {
        QString out;
        Run({QStringLiteral("lpstat"), QStringLiteral("-W"), QStringLiteral("all"),
             QStringLiteral("-o"), m_queue},
            &out);
        return int(out.split(QLatin1Char('\n'), Qt::SkipEmptyParts).size());
    }

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
        QVERIFY(Run({QStringLiteral("lpadmin"), QStringLiteral("-p"), m_queue, QStringLiteral("-v"),
                     QStringLiteral("varnet-jobs:") + m_capture.path(), QStringLiteral("-P"),
                     qEnvironmentVariable("VARNET_SOURCE_DIR") +
                         QStringLiteral("/scripts/cups/varnet-label.ppd"),
                     QStringLiteral("-E")}));
        platform::InstallSpoolerPrinters();
        TestCounterOptions o;
        o.printer = m_queue;
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
            Insert(c, 910, QStringLiteral("910"), QStringLiteral("1e13"));
            Insert(c, 911, QStringLiteral("911"), QStringLiteral("1000000000000"));
        };
        m_counter = std::make_unique<TestCounter>(o);
    }
    void cleanupTestCase() {
        m_counter.reset();
        Run({QStringLiteral("lpadmin"), QStringLiteral("-x"), m_queue});
    }

    void refused_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("message");
        const QString price = QStringLiteral("Недопустимая цена товара «Товар %1» (код %1).");
        QTest::newRow("price NULL") << "901" << price.arg(QStringLiteral("901"));
        QTest::newRow("price not a number") << "902" << price.arg(QStringLiteral("902"));
        QTest::newRow("price infinite") << "903" << price.arg(QStringLiteral("903"));
        QTest::newRow("price zero") << "904" << price.arg(QStringLiteral("904"));
        QTest::newRow("price negative") << "905" << price.arg(QStringLiteral("905"));
        // The central journal keeps prices and sums as NUMERIC(14, 2).
        QTest::newRow("price 1e13") << "910" << price.arg(QStringLiteral("910"));
        QTest::newRow("price just past the journals") << "911" << price.arg(QStringLiteral("911"));
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
        const int before = Jobs();
        PrintLabel(state, nullptr);
        QCOMPARE(messages.Texts(), QStringList{message});
        QVERIFY(!state.m_bPrinting);
        QCOMPARE(state.m_product.m_strCode, code);
        // A job is handed to the spooler before PrintLabel returns.
        QCOMPARE(Jobs(), before);
    }

    // The same fixture prints a sound product, with the leading zero of its code.
    void soundProductPrints() {
        CVarnetApp& app = m_counter->App();
        CScreenState state(app.m_settings);
        for (const QChar c : QStringLiteral("0909"))
            state.AppendKey(QString(c));
        MessageRecorder messages;
        QVERIFY(OnTypedProductKey(app, state));
        const int before = Jobs();
        PrintLabel(state, nullptr);
        QCOMPARE(messages.Texts(), QStringList());
        QCOMPARE(Jobs(), before + 1);
    }
};

QTEST_MAIN(TstBadProducts)
#include "tst_badproducts.moc"
