// The weight a label carries, printed on a scheduler of the test's own: a keyed weight is
// marked in the journal and its CSV and bounded by what the scale can weigh, «Вес только с
// весов» refuses keyed weights of weighed goods, and a tare (the catalogue's tare column or
// the tare key) gives a label whose barcode, weight and amount are the net ones, read back
// from the printed page; a catalogue without the column gives the labels it always gave.
#include "democatalogue.h"
#include "journal/journal.h"
#include "journal/journalcsv.h"
#include "labels/barcodelabel.h"
#include "labels/labellayouts.h"
#include "platform/clock.h"
#include "platform/printer.h"
#include "platform/rasterpage.h"
#include "support/driverdots.h"
#include "support/messagerecorder.h"
#include "support/printcapture.h"
#include "support/privatecups.h"
#include "support/testcounter.h"
#include "workstation/printflow.h"
#include "workstation/productlookup.h"
#include "workstation/weighing.h"

#include <QApplication>
#include <QtTest>

#include <memory>

namespace {

const QString kQueue = QStringLiteral("Weighing");
const QDateTime kPacked(QDate(2026, 3, 5), QTime(10, 15, 30));
constexpr double kPrice = 389.9;

CurrentProduct Product(bool weighed) {
    CurrentProduct p;
    p.m_strCode = weighed ? QStringLiteral("12") : QStringLiteral("7");
    p.m_strName = weighed ? QStringLiteral("Филе куриное") : QStringLiteral("Сырок глазированный");
    p.m_dPrice = kPrice;
    p.m_bWeighed = weighed;
    return p;
}

} // namespace

class TestWeighing : public QObject {
    Q_OBJECT

    QTemporaryDir m_data;
    PrivateScheduler m_cups;
    std::unique_ptr<TestCounter> m_counter;

    CVarnetApp& App() { return m_counter->App(); }
    QList<JournalRow> Rows() { return AppJournal().Rows(kPacked.addDays(-1), kPacked.addDays(1)); }

    // Prints the state's label: the operator's messages, and the journal row it made (none
    // when refused); waits for the job of a printed one to reach the capture folder.
    QStringList Print(CScreenState& state, std::optional<JournalRow>* row) {
        const int rows = int(Rows().size());
        const int jobs = int(m_cups.CapturedJobs().size());
        MessageRecorder recorder;
        PrintLabel(state, nullptr);
        const QList<JournalRow> now = Rows();
        row->reset();
        if (now.size() > rows) {
            *row = now.last();
            if (!QTest::qWaitFor([&] { return m_cups.CapturedJobs().size() > jobs; }, 30000))
                return {QStringLiteral("the job never reached the capture folder")};
        }
        return recorder.Texts();
    }

    // The newest job as the printer's dots.
    QImage LastJobDots() {
        QFile f(m_cups.CaptureFolder() + QLatin1Char('/') + m_cups.CapturedJobs().last());
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QString error;
        return driverdots::DecodeZpl(f.readAll(), &error);
    }

    // The dots of the weight label of product 12 with these figures, as the printer prints it.
    QImage ExpectedDots(const JournalRow& row, double quantity, double sum, const QString& digits) {
        LabelData data;
        data.strName = row.labelName;
        data.strInfo = row.labelInfo;
        data.nBarcode = digits.left(12).toULongLong();
        data.bWeight = true;
        data.dPrice = row.price;
        data.dQuantity = quantity;
        data.dSum = sum;
        if (row.bestBefore.isValid())
            data.stExpiry = ToSystemTime(row.bestBefore);
        CBarCodeLabelInfo& layout = AppLayouts().Layout(true);
        {
            platform::ScopedFixedClock clock(row.moment);
            layout.SetValues(data);
        }
        CBarCodeLabel label;
        if (!label.m_bValid || !label.Draw(layout))
            return {};
        return platform::ToMonochrome(label.m_bmpPage);
    }

private slots:
    void initTestCase() {
        QVERIFY(m_data.isValid());
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_data.path()));
        platform::InstallSpoolerPrinters();
        QString error;
        QVERIFY2(m_cups.Start(&error), qPrintable(error));
        QVERIFY2(m_cups.AddZebraQueue(kQueue, &error), qPrintable(error));
        TestCounterOptions o;
        o.printer = kQueue;
        o.prepareCatalogue = [](platform::odbc::Connection& c) {
            democat::Exec(c, QStringLiteral("UPDATE plu SET sq = 0, price = %1, info = NULL "
                                            "WHERE plu = '12'")
                                 .arg(kPrice));
        };
        m_counter = std::make_unique<TestCounter>(o);
    }

    void cleanupTestCase() { m_counter.reset(); }

    void cleanup() {
        App().m_settings.Capacity = 0;
        App().m_settings.WeightFromScaleOnly = false;
    }

    // Keyed weights against the scale's capacity (the setting, else what the scale says,
    // else 30 kg) and «Вес только с весов»; weights from the scale and piece counts go on.
    void keyedWeights_data() {
        QTest::addColumn<bool>("weighed");
        QTest::addColumn<QString>("typed"); // empty: the scale's 0.512 kg
        QTest::addColumn<double>("setting");
        QTest::addColumn<double>("reported");
        QTest::addColumn<bool>("scaleOnly");
        QTest::addColumn<QString>("refused"); // the message; empty when it prints
        const auto above = [](const char* weight, const char* capacity) {
            return QStringLiteral("Введённый вес %1 кг больше, чем могут взвесить весы (%2 кг): "
                                  "этикетка не напечатана")
                .arg(QLatin1String(weight), QLatin1String(capacity));
        };
        const QString scaleOnly = QStringLiteral("Вес товара берётся только с весов (настройка "
                                                 "«Вес только с весов»): положите товар на весы");
        QTest::newRow("keyed 5 kg, within the usual 30")
            << true << "5" << 0.0 << 0.0 << false << "";
        QTest::newRow("keyed 30 kg, the usual bound itself")
            << true << "30" << 0.0 << 0.0 << false << "";
        QTest::newRow("keyed 30.001 kg, above the usual 30")
            << true << "30.001" << 0.0 << 0.0 << false << above("30.001", "30.000");
        QTest::newRow("keyed 25 kg, above the scale's own 6.1")
            << true << "25" << 0.0 << 6.1 << false << above("25.000", "6.100");
        QTest::newRow("keyed 8 kg, within the setting over the scale's own")
            << true << "8" << 10.0 << 6.1 << false << "";
        QTest::newRow("keyed 15.5 kg, above the setting of 15")
            << true << "15.5" << 15.0 << 0.0 << false << above("15.500", "15.000");
        QTest::newRow("scale only: a keyed weight refused")
            << true << "0.5" << 0.0 << 0.0 << true << scaleOnly;
        QTest::newRow("scale only: the scale's weight printed")
            << true << "" << 0.0 << 0.0 << true << "";
        QTest::newRow("scale only: a piece count printed")
            << false << "3" << 0.0 << 0.0 << true << "";
    }

    void keyedWeights() {
        QFETCH(bool, weighed);
        QFETCH(QString, typed);
        QFETCH(double, setting);
        QFETCH(double, reported);
        QFETCH(bool, scaleOnly);
        QFETCH(QString, refused);
        platform::ScopedFixedClock clock(kPacked);
        App().m_settings.Capacity = setting;
        App().m_settings.WeightFromScaleOnly = scaleOnly;
        CScreenState state(App().m_settings);
        state.ShowProduct(Product(weighed));
        state.m_dScaleCapacity = reported;
        state.OnWeightUpdate(0.512);
        for (const QChar c : typed)
            state.AppendKey(QString(c));
        std::optional<JournalRow> row;
        const QStringList messages = Print(state, &row);
        if (!refused.isEmpty()) {
            QCOMPARE(messages, QStringList{refused});
            QVERIFY(!row);
            QCOMPARE(state.m_lastLabel.kind, LastLabel::Refused);
            return;
        }
        QVERIFY2(messages.isEmpty(), qPrintable(messages.join('\n')));
        QVERIFY(row);
        const bool keyed = !typed.isEmpty();
        QCOMPARE(row->quantity, keyed ? typed.toDouble() : 0.512);
        QCOMPARE(row->keyed, std::optional<bool>(keyed));
        // The CSV a manager exports says so.
        const QStringList lines = QString::fromUtf8(journalcsv::Rows({*row})).split("\r\n");
        QCOMPARE(lines[0].split(';').value(14), QStringLiteral("Ввод"));
        QCOMPARE(lines[1].split(';').value(14),
                 keyed ? QStringLiteral("вручную") : QStringLiteral("весы"));
    }

    // 0.512 kg of goods on the pan, by three ways: a catalogue without a tare column (the
    // pan holds the goods alone), the catalogue's tare column, and the tare key. Each label
    // is read back from the printed page: the barcode carries the net grams, and the page is,
    // dot for dot, the label of the net weight and its amount (and not that of the gross).
    void netLabels_data() {
        QTest::addColumn<QString>("tare"); // none, catalogue or key
        QTest::addColumn<double>("gross");
        QTest::addColumn<double>("expectedTare");
        QTest::newRow("a catalogue without a tare column") << "none" << 0.512 << 0.0;
        QTest::newRow("the catalogue's tare column") << "catalogue" << 0.662 << 0.15;
        QTest::newRow("the tare key, before the catalogue's") << "key" << 0.712 << 0.2;
    }

    void netLabels() {
        QFETCH(QString, tare);
        QFETCH(double, gross);
        QFETCH(double, expectedTare);
        platform::ScopedFixedClock clock(kPacked);
        if (tare != QLatin1String("none") && !App().CatalogueHasTare()) {
            // A column the shop adds: seen by the next connection.
            platform::odbc::Connection db;
            db.Open(App().m_db.ConnectionString());
            democat::Exec(db, QStringLiteral("ALTER TABLE plu ADD COLUMN tare REAL"));
            democat::Exec(db, QStringLiteral("UPDATE plu SET tare = 0.15 WHERE plu = '12'"));
            QVERIFY(!App().CatalogueHasTare());
            App().m_db.Close();
        }
        QVERIFY(App().ConnectDatabase());
        QCOMPARE(App().CatalogueHasTare(), tare != QLatin1String("none"));
        CScreenState state(App().m_settings);
        QVERIFY(LookupProduct(App(), state, QStringLiteral("12")));
        state.ShowProduct(state.m_product);
        QCOMPARE(state.m_product.m_dPrice, kPrice);
        QCOMPARE(state.m_product.m_dTare, tare == QLatin1String("none") ? 0.0 : 0.15);
        if (tare == QLatin1String("key")) {
            state.OnWeightUpdate(0.2);
            QVERIFY(state.OnTareKey().isEmpty());
        }
        state.OnWeightUpdate(gross);
        QCOMPARE(state.GetDisplays().weight, QStringLiteral("0.512 "));
        QCOMPARE(state.GetDisplays().net, tare != QLatin1String("none"));

        std::optional<JournalRow> row;
        const QStringList messages = Print(state, &row);
        QVERIFY2(messages.isEmpty(), qPrintable(messages.join('\n')));
        QVERIFY(row);
        const double sum = App().RoundAmount(0.512 * kPrice);
        QCOMPARE(row->quantity, 0.512);
        QCOMPARE(row->tare, expectedTare);
        QCOMPARE(row->sum, sum);
        QCOMPARE(row->keyed, std::optional<bool>(false));
        const QString digits = QStringLiteral("2700012005120");
        QCOMPARE(row->barcode, digits);

        QCOMPARE(m_cups.LastJobBarcode(), digits);
        const QImage printed = LastJobDots();
        QVERIFY(!printed.isNull());
        const QString difference =
            driverdots::FirstDifference(printed, ExpectedDots(*row, 0.512, sum, digits));
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
        if (expectedTare > 0)
            QVERIFY(
                !driverdots::FirstDifference(
                     printed, ExpectedDots(*row, gross, App().RoundAmount(gross * kPrice), digits))
                     .isEmpty());
    }

    // The tray alone, or less, on the pan: nothing prints and the operator is told why.
    void netOfZeroOrBelow_data() {
        QTest::addColumn<double>("gross");
        QTest::addColumn<QString>("message");
        QTest::newRow("the tray alone") << 0.2
                                        << "Вес нетто 0.000 кг: на весах не больше тары (0.200 "
                                           "кг), этикетка не напечатана";
        QTest::newRow("less than the tray") << 0.15
                                            << "Вес нетто -0.050 кг: на весах не больше тары "
                                               "(0.200 кг), этикетка не напечатана";
    }

    void netOfZeroOrBelow() {
        QFETCH(double, gross);
        QFETCH(QString, message);
        CScreenState state(App().m_settings);
        state.ShowProduct(Product(true));
        state.OnWeightUpdate(0.2);
        QVERIFY(state.OnTareKey().isEmpty());
        state.OnWeightUpdate(gross);
        std::optional<JournalRow> row;
        QCOMPARE(Print(state, &row), QStringList{message});
        QVERIFY(!row);
        QCOMPARE(state.m_lastLabel.kind, LastLabel::Refused);
        QCOMPARE(state.m_lastLabel.reason, message);
    }
};

QTEST_MAIN(TestWeighing)
#include "tst_weighing.moc"
