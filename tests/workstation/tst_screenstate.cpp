// The main screen's decisions without a window: keypad entry and its limits, the clear key,
// the weight display, the auto-print rule, the price sent to the scale and the tare.
#include "workstation/screenstate.h"

#include <QTest>

namespace {
CurrentProduct Product(bool weighed, double price = 12.99) {
    CurrentProduct p;
    p.m_strCode = QStringLiteral("123");
    p.m_strName = QStringLiteral("Сыр Российский");
    p.m_dPrice = price;
    p.m_bWeighed = weighed;
    return p;
}

// Runs keys: digits, "00", "." append; "C" clears; "W" and "Q" make a weighed or a piece
// product current; "P" is a label printed of what the weight field shows.
void Run(CScreenState& s, const QStringList& keys, int* productClears = nullptr) {
    for (const QString& k : keys) {
        if (k == QLatin1String("C")) {
            if (s.OnClearKey() && productClears)
                ++*productClears;
        } else if (k == QLatin1String("P")) {
            s.OnLabelPrinted(s.m_product.m_bWeighed, s.Quantity());
        } else if (k == QLatin1String("W") || k == QLatin1String("Q")) {
            s.ShowProduct(Product(k == QLatin1String("W")));
        } else {
            s.AppendKey(k);
        }
    }
}
} // namespace

class TstScreenState : public QObject {
    Q_OBJECT
    AppSettings m_settings;

private Q_SLOTS:
    void init() { m_settings = AppSettings(); }

    void keypad_data() {
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QString>("display");
        QTest::addColumn<bool>("entryActive");
        const auto keys = [](const char* s) {
            return QString::fromLatin1(s).split(QLatin1Char(' '));
        };
        QTest::newRow("start") << QStringList{} << "0.000 " << false;
        QTest::newRow("six digits, the seventh ignored")
            << keys("1 2 3 4 5 6 7") << "123456 " << true;
        QTest::newRow("00 makes a seventh digit") << keys("1 2 3 4 5 00") << "1234500 " << true;
        QTest::newRow("00 after six digits ignored") << keys("1 2 3 4 5 6 00") << "123456 " << true;
        QTest::newRow("point starts with 0.") << keys(".") << "0. " << true;
        QTest::newRow("second point ignored") << keys(". 5 .") << "0.5 " << true;
        QTest::newRow("three decimals at most") << keys(". 5 5 5 5") << "0.555 " << true;
        QTest::newRow("00 makes a fourth decimal") << keys(". 5 5 00") << "0.5500 " << true;
        QTest::newRow("weighed product takes a point") << keys("W 1 . 5") << "1.5 " << true;
        QTest::newRow("piece product ignores the point") << keys("Q .") << "1 " << false;
        QTest::newRow("first digit replaces the piece default") << keys("Q 3") << "3 " << true;
        QTest::newRow("first key replaces a weight") << keys("W 7") << "7 " << true;
        QTest::newRow("C while typing, weighed") << keys("W 1 2 C") << "0.000 " << false;
        QTest::newRow("C while typing, piece") << keys("Q 1 2 C") << "1 " << false;
        QTest::newRow("C twice") << keys("Q 1 2 C C") << "0.000 " << false;
        QTest::newRow("typing after C starts afresh") << keys("1 2 C 3") << "3 " << true;
        // A typed number that went on a label stays shown, for another label of it; the
        // next key starts a new number instead of growing it.
        QTest::newRow("printed number stays") << keys("Q 2 P") << "2 " << true;
        QTest::newRow("key after a label starts afresh") << keys("Q 2 P 3") << "3 " << true;
        QTest::newRow("then it grows again") << keys("Q 2 P 3 4") << "34 " << true;
        QTest::newRow("point after a label") << keys("W 1 . 5 P .") << "0. " << true;
        QTest::newRow("ignored key after a label") << keys("Q 2 P . 3") << "3 " << true;
    }
    void keypad() {
        QFETCH(QStringList, keys);
        QFETCH(QString, display);
        QFETCH(bool, entryActive);
        CScreenState s(m_settings);
        Run(s, keys);
        QCOMPARE(s.GetDisplays().weight, display);
        QCOMPARE(s.m_bEntryActive, entryActive);
    }

    // The first C ends the entry and keeps the product; the second clears it, resets the
    // fields and asks for the scale price 0.
    void clearTwice() {
        m_settings.Penny = true;
        CScreenState s(m_settings);
        int clears = 0;
        Run(s, {QStringLiteral("Q"), QStringLiteral("5"), QStringLiteral("C")}, &clears);
        QCOMPARE(clears, 0);
        QCOMPARE(s.m_product.m_strCode, QStringLiteral("123"));
        QCOMPARE(s.GetDisplays().weightHeader, QStringLiteral("Количество"));
        Run(s, {QStringLiteral("C")}, &clears);
        QCOMPARE(clears, 1);
        QVERIFY(s.m_product.m_strCode.isEmpty());
        QVERIFY(s.m_product.m_bWeighed);
        QCOMPARE(s.GetDisplays().weightHeader, QStringLiteral("Вес"));
        QCOMPARE(s.GetDisplays().name, QString());
        QCOMPARE(s.GetDisplays().price, QStringLiteral("0.00 "));
        QCOMPARE(s.GetDisplays().sum, QStringLiteral("0.00 "));
        QCOMPARE(s.ScalePrice(), 0LL);
    }

    // Readings as a scale gives them, "KG:C" with C the state: S settled (stable, zero or
    // below zero by the weight), D moving (a CAS scale then reads 0), + overload.
    void autoPrint_data() {
        QTest::addColumn<QString>("product"); // "", "W" or "Q"
        QTest::addColumn<QString>("readings");
        QTest::addColumn<QList<double>>("printedAt");
        QTest::newRow("one label per pack")
            << "W"
            << "0:S 0.512:S 0.512:S 0:S 0.512:S" << QList<double>{0.512, 0.512};
        QTest::newRow("three equal packs, the pan empty between")
            << "W"
            << "0:S 0:D 0.5:S 0:D 0:S 0:D 0.5:S 0.5:S 0:D 0:S 0:D 0.5:S"
            << QList<double>{0.5, 0.5, 0.5};
        QTest::newRow("one pack nudged on the pan")
            << "W"
            << "0:S 0:D 0.512:S 0:D 0.514:S 0:D 0.511:S" << QList<double>{0.512};
        QTest::newRow("a weight change without an empty pan")
            << "W"
            << "0.512:S 0.3:S 0.7:S" << QList<double>{0.512};
        QTest::newRow("crumbs below the threshold count as an empty pan")
            << "W"
            << "0.5:S 0.004:S 0.5:S 0.003:S" << QList<double>{0.5, 0.5};
        QTest::newRow("the threshold itself is a pack") << "W"
                                                        << "0:S 0.005:S" << QList<double>{0.005};
        QTest::newRow("moving and overloaded weights never print")
            << "W"
            << "0:S 0.3:D 0:+ 0.4:D" << QList<double>{};
        QTest::newRow("below zero re-arms") << "W"
                                            << "0.5:S -0.1:S 0.5:S" << QList<double>{0.5, 0.5};
        QTest::newRow("piece product never") << "Q"
                                             << "0.512:S 0:S 0.7:S" << QList<double>{};
        QTest::newRow("no product never") << ""
                                          << "0.512:S 0:S 0.7:S" << QList<double>{};
    }
    void autoPrint() {
        QFETCH(QString, product);
        QFETCH(QString, readings);
        QFETCH(QList<double>, printedAt);
        CScreenState s(m_settings);
        if (!product.isEmpty())
            s.ShowProduct(Product(product == QLatin1String("W")));
        s.OnAutoPrintKey();
        QCOMPARE(s.GetDisplays().autoPrint, QStringLiteral("Вкл"));
        QList<double> printed;
        for (const QString& r : readings.split(QLatin1Char(' '))) {
            const double w = r.section(QLatin1Char(':'), 0, 0).toDouble();
            const QChar c = r.section(QLatin1Char(':'), 1).at(0);
            const ScaleState state = c == QLatin1Char('D')   ? ScaleState::Moving
                                     : c == QLatin1Char('+') ? ScaleState::Overload
                                                             : SettledState(w);
            if (s.OnWeightUpdate(w, state)) {
                // The print flow prints nothing without a product.
                if (!s.m_product.m_strCode.isEmpty())
                    printed.append(w);
                s.AfterAutoPrint(w);
            }
        }
        QCOMPARE(printed, printedAt);
    }

    // Without a product a pack still has its turn (the print flow prints nothing), so
    // choosing a weighed product while the same goods stay on the scale prints nothing until
    // the pan has been emptied. A label by the print key is the pack's label too.
    void autoPrintWaitsForAnEmptyPan() {
        CScreenState s(m_settings);
        s.OnAutoPrintKey();
        QVERIFY(s.OnWeightUpdate(0.512));
        s.AfterAutoPrint(0.512);
        QCOMPARE(s.GetDisplays().weight, QStringLiteral("0.512 "));
        s.ShowProduct(Product(true));
        QVERIFY(!s.OnWeightUpdate(0.512));
        QVERIFY(!s.OnWeightUpdate(0.7));
        QVERIFY(!s.OnWeightUpdate(0.0));
        // A print running (a message box open) turns the pack into nothing for now; it
        // prints at its next weight once the print is over.
        s.m_bPrinting = true;
        QVERIFY(!s.OnWeightUpdate(0.7));
        s.m_bPrinting = false;
        QVERIFY(s.OnWeightUpdate(0.7));
        s.AfterAutoPrint(0.7);
        QVERIFY(!s.OnWeightUpdate(0.0));
        // The print key labelled this pack: auto-print leaves it alone.
        QVERIFY(!s.OnWeightUpdate(0.3, ScaleState::Moving));
        s.OnAutoPrintKey();
        QVERIFY(!s.OnWeightUpdate(0.3));
        s.OnLabelPrinted(true, 0.3);
        s.OnAutoPrintKey();
        QVERIFY(!s.OnWeightUpdate(0.3));
        s.OnAutoPrintKey();
        QVERIFY(!s.OnWeightUpdate(0.0));
        QVERIFY(!s.OnWeightUpdate(0.9));
        QCOMPARE(s.GetDisplays().autoPrint, QStringLiteral("Выкл"));
    }

    // Why the print key gives no label, before any printer is asked: said on the strip,
    // and in a box only for a weight the scale no longer gives.
    void nothingToPrint_data() {
        QTest::addColumn<QStringList>("keys"); // as in Run; "N" is a code not found
        QTest::addColumn<int>("scale");        // ScaleState; -1: no scale configured
        QTest::addColumn<double>("weight");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<bool>("box");
        const auto keys = [](const char* s) {
            return QString::fromLatin1(s).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        };
        const int stable = int(ScaleState::Stable);
        QTest::newRow("no product") << keys("") << stable << 0.5 << "товар не выбран" << false;
        QTest::newRow("after a code not found")
            << keys("N") << stable << 0.5 << "товар не найден" << false;
        QTest::newRow("cleared after not found")
            << keys("N C") << stable << 0.5 << "товар не выбран" << false;
        QTest::newRow("nothing on the pan")
            << keys("W") << int(ScaleState::Zero) << 0.0 << "на весах нет товара" << false;
        QTest::newRow("moving") << keys("W") << int(ScaleState::Moving) << 0.0 << "вес не стабилен"
                                << false;
        QTest::newRow("overload") << keys("W") << int(ScaleState::Overload) << 0.0
                                  << "перегруз весов" << false;
        QTest::newRow("port gone, last weight shown")
            << keys("W") << int(ScaleState::PortClosed) << 0.45 << "весы не передают вес" << true;
        QTest::newRow("scale silent, last weight shown")
            << keys("W") << int(ScaleState::NoAnswer) << 0.45 << "весы не отвечают" << true;
        QTest::newRow("port back, nothing read yet")
            << keys("W") << int(ScaleState::Unknown) << 0.45 << "весы ещё не передали вес" << false;
        QTest::newRow("a typed weight needs no scale")
            << keys("W 1 . 5") << int(ScaleState::PortClosed) << 0.45 << "" << false;
        QTest::newRow("a typed zero") << keys("W 0") << stable << 0.45 << "вес равен нулю" << false;
        QTest::newRow("a piece product needs no scale")
            << keys("Q") << int(ScaleState::PortClosed) << 0.45 << "" << false;
        QTest::newRow("a typed count of zero")
            << keys("Q 0") << stable << 0.0 << "количество равно нулю" << false;
        QTest::newRow("a stable weight prints") << keys("W") << stable << 0.45 << "" << false;
        QTest::newRow("no scale configured, weight 0")
            << keys("W") << -1 << 0.0 << "на весах нет товара" << false;
    }
    void nothingToPrint() {
        QFETCH(QStringList, keys);
        QFETCH(int, scale);
        QFETCH(double, weight);
        QFETCH(QString, reason);
        QFETCH(bool, box);
        CScreenState s(m_settings);
        s.m_scale.bConnected = scale >= 0;
        s.m_scale.state = ScaleState::Stable;
        s.m_scale.port = QStringLiteral("COM1 (/dev/ttyUSB0)");
        for (const QString& k : keys) {
            if (k == QLatin1String("N"))
                s.ShowProductNotFound();
            else
                Run(s, {k});
            if (k == QLatin1String("W"))
                s.OnWeightUpdate(weight);
        }
        if (scale >= 0)
            s.m_scale.state = ScaleState(scale);
        const NoLabel no = s.NothingToPrint();
        QCOMPARE(no.reason, reason);
        QCOMPARE(!no.message.isEmpty(), box);
        if (box)
            QVERIFY2(no.message.endsWith(QStringLiteral("Этикетка не напечатана.")),
                     qPrintable(no.message));
    }

    // A piece product's sum is the count times the price, on the screen as on its label.
    void pieceSum_data() {
        QTest::addColumn<bool>("penny");
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QString>("sum");
        const auto keys = [](const char* s) {
            return QString::fromLatin1(s).split(QLatin1Char(' '));
        };
        QTest::newRow("one piece when shown") << true << keys("Q") << "493.51 ";
        QTest::newRow("three typed") << true << keys("Q 3") << "1480.53 ";
        QTest::newRow("thirty typed") << true << keys("Q 3 0") << "14805.30 ";
        QTest::newRow("C ends the entry: one piece again") << true << keys("Q 3 C") << "493.51 ";
        QTest::newRow("whole units") << false << keys("Q 3") << "1481 ";
        QTest::newRow("weighed product keeps its weight sum") << true << keys("W 3") << "0.00 ";
        QTest::newRow("no product") << true << keys("3") << "0.00 ";
    }
    void pieceSum() {
        QFETCH(bool, penny);
        QFETCH(QStringList, keys);
        QFETCH(QString, sum);
        m_settings.Penny = penny;
        CScreenState s(m_settings);
        for (const QString& k : keys) {
            if (k == QLatin1String("C"))
                s.OnClearKey();
            else if (k == QLatin1String("W") || k == QLatin1String("Q"))
                s.ShowProduct(Product(k == QLatin1String("W"), 493.51));
            else
                s.AppendKey(k);
        }
        QCOMPARE(s.GetDisplays().sum, sum);
    }

    void weightDisplays_data() {
        QTest::addColumn<bool>("penny");
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<double>("weight");
        QTest::addColumn<QString>("display");
        QTest::addColumn<QString>("sum");
        QTest::newRow("weighed, penny")
            << true << QStringList{QStringLiteral("W")} << 0.512 << "0.512 "
            << "6.65 ";
        QTest::newRow("weighed, no penny")
            << false << QStringList{QStringLiteral("W")} << 0.512 << "0.512 "
            << "7 ";
        QTest::newRow("typing keeps the displays")
            << true << QStringList{QStringLiteral("W"), QStringLiteral("2")} << 0.512 << "2 "
            << "0.00 ";
        QTest::newRow("piece keeps the displays")
            << true << QStringList{QStringLiteral("Q")} << 0.512 << "1 "
            << "12.99 ";
        QTest::newRow("no product shows the weight, amount 0")
            << true << QStringList{} << 1.25 << "1.250 "
            << "0.00 ";
        QTest::newRow("negative weight")
            << true << QStringList{QStringLiteral("W")} << -0.1 << "-0.100 "
            << "-1.30 ";
    }
    void weightDisplays() {
        QFETCH(bool, penny);
        QFETCH(QStringList, keys);
        QFETCH(double, weight);
        QFETCH(QString, display);
        QFETCH(QString, sum);
        m_settings.Penny = penny;
        CScreenState s(m_settings);
        Run(s, keys);
        s.OnWeightUpdate(weight);
        QCOMPARE(s.GetDisplays().weight, display);
        QCOMPARE(s.GetDisplays().sum, sum);
    }

    void scalePrice_data() {
        QTest::addColumn<double>("price");
        QTest::addColumn<bool>("penny");
        QTest::addColumn<long long>("expected");
        QTest::newRow("12.345 in hundredths") << 12.345 << true << 1235LL;
        QTest::newRow("12.5 whole units") << 12.5 << false << 13LL;
        QTest::newRow("12.49 whole units") << 12.49 << false << 12LL;
        QTest::newRow("689.99 in hundredths") << 689.99 << true << 68999LL;
        QTest::newRow("negative half away from zero") << -2.5 << false << -3LL;
    }
    void scalePrice() {
        QFETCH(double, price);
        QFETCH(bool, penny);
        QFETCH(long long, expected);
        QCOMPARE(CScreenState::ScalePrice(price, penny), expected);
    }

    void productShown_data() {
        QTest::addColumn<bool>("weighed");
        QTest::addColumn<QString>("header");
        QTest::addColumn<QString>("display");
        QTest::newRow("by weight") << true << "Вес"
                                   << "0.000 ";
        QTest::newRow("by the piece") << false << "Количество"
                                      << "1 ";
    }
    void productShown() {
        QFETCH(bool, weighed);
        QFETCH(QString, header);
        QFETCH(QString, display);
        m_settings.Penny = true;
        CScreenState s(m_settings);
        s.AppendKey(QStringLiteral("7"));
        s.ShowProduct(Product(weighed, 689.9));
        QCOMPARE(s.GetDisplays().weightHeader, header);
        QCOMPARE(s.GetDisplays().weight, display);
        QCOMPARE(s.GetDisplays().price, QStringLiteral("689.90 "));
        QCOMPARE(s.GetDisplays().sum,
                 weighed ? QStringLiteral("0.00 ") : QStringLiteral("689.90 "));
        QCOMPARE(s.GetDisplays().name, QStringLiteral("Сыр Российский"));
        QVERIFY(!s.m_bEntryActive);
    }

    // Tare: the product's preset tare or the tare key's, taken off the scale's weight, with
    // the sign and the header saying so. Steps: "W" or "Q" (":0.2" a preset tare) make a
    // product current, "w0.5" is a weight from the scale, "T" the tare key, a digit is typed.
    void tare_data() {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("display");
        QTest::addColumn<QString>("sum");
        QTest::addColumn<bool>("net");
        QTest::addColumn<QString>("header");
        QTest::addColumn<QString>("tareKey");
        QTest::addColumn<bool>("refused"); // the last tare key said why it did nothing
        QTest::newRow("the key takes the weight on the pan")
            << "W w0.150 T w0.662"
            << "0.512 "
            << "6.65 " << true << "Вес нетто, тара 0.150 кг"
            << "Тара\n0.150" << false;
        QTest::newRow("an empty pan's press clears it") << "W w0.150 T w0 T w0.5"
                                                        << "0.500 "
                                                        << "6.50 " << false << "Вес"
                                                        << "Тара" << false;
        QTest::newRow("the product's preset tare") << "W:0.2 w0.712"
                                                   << "0.512 "
                                                   << "6.65 " << true << "Вес нетто, тара 0.200 кг"
                                                   << "Тара" << false;
        QTest::newRow("the key's tare before the preset one")
            << "W:0.2 w0.1 T w0.612"
            << "0.512 "
            << "6.65 " << true << "Вес нетто, тара 0.100 кг"
            << "Тара\n0.100" << false;
        QTest::newRow("the key's tare stays for the next product")
            << "W w0.15 T W:0.2 w0.662"
            << "0.512 "
            << "6.65 " << true << "Вес нетто, тара 0.150 кг"
            << "Тара\n0.150" << false;
        QTest::newRow("the tray alone: a net below zero")
            << "W:0.2 w0.15"
            << "-0.050 "
            << "-0.65 " << true << "Вес нетто, тара 0.200 кг"
            << "Тара" << false;
        QTest::newRow("a typed number is the goods' own") << "W:0.2 w0.7 5"
                                                          << "5 "
                                                          << "6.50 " << false << "Вес"
                                                          << "Тара" << false;
        QTest::newRow("goods by the piece carry no tare") << "Q:0.2 w0.7"
                                                          << "1 "
                                                          << "12.99 " << false << "Количество"
                                                          << "Тара" << false;
        QTest::newRow("the key with nothing on the pan") << "W w0 T"
                                                         << "0.000 "
                                                         << "0.00 " << false << "Вес"
                                                         << "Тара" << true;
    }
    void tare() {
        QFETCH(QString, steps);
        QFETCH(QString, display);
        QFETCH(QString, sum);
        QFETCH(bool, net);
        QFETCH(QString, header);
        QFETCH(QString, tareKey);
        QFETCH(bool, refused);
        m_settings.Penny = true;
        CScreenState s(m_settings);
        QString message;
        for (const QString& step : steps.split(QLatin1Char(' '))) {
            if (step.startsWith(QLatin1Char('W')) || step.startsWith(QLatin1Char('Q'))) {
                CurrentProduct p = Product(step.startsWith(QLatin1Char('W')));
                p.m_dTare = step.mid(2).toDouble();
                s.ShowProduct(p);
            } else if (step.startsWith(QLatin1Char('w'))) {
                s.OnWeightUpdate(step.mid(1).toDouble());
            } else if (step == QLatin1String("T")) {
                message = s.OnTareKey();
            } else {
                s.AppendKey(step);
            }
        }
        const CScreenState::Displays& d = s.GetDisplays();
        QCOMPARE(d.weight, display);
        QCOMPARE(d.sum, sum);
        QCOMPARE(d.net, net);
        QCOMPARE(d.weightHeader, header);
        QCOMPARE(d.tareKey, tareKey);
        QCOMPARE(!message.isEmpty(), refused);
    }

    // With a tare in force the tray alone on the pan is nothing to label: auto-print waits
    // for goods on it.
    void autoPrintWithTare() {
        CScreenState s(m_settings);
        CurrentProduct p = Product(true);
        p.m_dTare = 0.2;
        s.ShowProduct(p);
        s.OnAutoPrintKey();
        QList<double> printed;
        for (double w : {0.2, 0.15, 0.712, 0.0, 0.2, 0.5}) {
            if (s.OnWeightUpdate(w)) {
                printed.append(w);
                s.AfterAutoPrint(w);
            }
        }
        QCOMPARE(printed, (QList<double>{0.712, 0.5}));
    }
};

QTEST_GUILESS_MAIN(TstScreenState)
#include "tst_screenstate.moc"
