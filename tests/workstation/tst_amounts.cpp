// Money and barcodes: the rounding of amounts, the one money text of the screen, the label
// and the scale, and the composition of the twelve barcode digits under the masks, with
// every message.
#include "app/varnetapp.h"
#include "labels/editorlogic.h"
#include "labels/labelinfo.h"
#include "workstation/barcode.h"
#include "workstation/screenstate.h"

#include <QTest>

class TstAmounts : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void roundAmount_data() {
        QTest::addColumn<bool>("penny");
        QTest::addColumn<uint>("roundTo");
        QTest::addColumn<double>("amount");
        QTest::addColumn<double>("expected");
        QTest::newRow("12.99 x 0.512") << true << 0u << 12.99 * 0.512 << 6.65;
        QTest::newRow("2.675 up") << true << 0u << 2.675 << 2.68;
        QTest::newRow("1.005 up") << true << 0u << 1.005 << 1.01;
        QTest::newRow("1.004 down") << true << 0u << 1.004 << 1.0;
        QTest::newRow("1224 step 50") << false << 50u << 1224.0 << 1200.0;
        QTest::newRow("1225 step 50") << false << 50u << 1225.0 << 1250.0;
        QTest::newRow("1234 step 50") << false << 50u << 1234.0 << 1250.0;
        QTest::newRow("6.65088 step 0.05") << true << 5u << 6.65088 << 6.65;
        QTest::newRow("6.675 step 0.05") << true << 5u << 6.675 << 6.70;
        QTest::newRow("-3.7 step 1") << false << 0u << -3.7 << -4.0;
        QTest::newRow("-1.005 penny") << true << 0u << -1.005 << -1.01;
        QTest::newRow("zero") << true << 0u << 0.0 << 0.0;
    }
    void roundAmount() {
        QFETCH(bool, penny);
        QFETCH(uint, roundTo);
        QFETCH(double, amount);
        QFETCH(double, expected);
        AppSettings s;
        s.Penny = penny;
        s.RoundTo = roundTo;
        const double r = CVarnetApp::RoundAmount(amount, s);
        QVERIFY2(qAbs(r - expected) < 1e-9, qPrintable(QString::number(r, 'g', 17)));
    }

    // A half-way figure reads the same wherever money shows: on the screen, on the printed
    // label and in the editor's preview (both filled by SetValues), and on the scale.
    void oneMoneyText_data() {
        QTest::addColumn<bool>("penny");
        QTest::addColumn<double>("amount");
        QTest::addColumn<QString>("text");
        QTest::newRow("12.5 whole") << false << 12.5 << "13";
        QTest::newRow("2.5 whole") << false << 2.5 << "3";
        QTest::newRow("-2.5 whole") << false << -2.5 << "-3";
        QTest::newRow("0.125 penny") << true << 0.125 << "0.13";
        QTest::newRow("2.675 penny") << true << 2.675 << "2.68";
        QTest::newRow("-0.125 penny") << true << -0.125 << "-0.13";
        QTest::newRow("0.004 penny") << true << 0.004 << "0.00";
        QTest::newRow("99999.99 penny") << true << 99999.99 << "99999.99";
        QTest::newRow("9999999 whole") << false << 9999999.0 << "9999999";
    }
    void oneMoneyText() {
        QFETCH(bool, penny);
        QFETCH(double, amount);
        QFETCH(QString, text);
        CVarnetApp app;
        app.m_settings.Penny = penny;
        app.m_settings.PrintEI = false;

        CScreenState screen(app.m_settings);
        CurrentProduct product;
        product.m_strCode = QStringLiteral("1");
        product.m_dPrice = amount;
        screen.ShowProduct(product);
        QCOMPARE(screen.GetDisplays().price, text + QLatin1Char(' '));
        QCOMPARE(screen.MoneyText(amount), text + QLatin1Char(' '));
        QCOMPARE(screen.ScalePrice(), QString(text).remove(QLatin1Char('.')).toLongLong());

        CBarCodeLabelInfo label;
        LabelData d = SampleLabelData(true, app.m_settings, QDateTime::currentDateTime());
        d.dPrice = amount;
        d.dSum = amount;
        label.SetValues(d);
        QCOMPARE(label.m_Price.m_strText, text);
        QCOMPARE(label.m_Sum.m_strText, text);
    }

    void barcode_data() {
        QTest::addColumn<QString>("wmask");
        QTest::addColumn<QString>("qmask");
        QTest::addColumn<qulonglong>("code");
        QTest::addColumn<bool>("weighed");
        QTest::addColumn<double>("value");
        QTest::addColumn<qulonglong>("expected");
        QTest::addColumn<QString>("error");
        const QString w = QStringLiteral("27PPPPPWWWWW");
        const QString q = QStringLiteral("29PPPPPQQQQQ");
        QTest::newRow("weight 0.512") << w << q << 123ull << true << 0.512 << 270012300512ull << "";
        QTest::newRow("count 3") << w << q << 4567ull << false << 3.0 << 290456700003ull << "";
        QTest::newRow("code 0") << w << q << 0ull << true << 1.0 << 270000001000ull << "";
        QTest::newRow("99.999 kg fits")
            << w << q << 7ull << true << 99.999 << 270000799999ull << "";
        QTest::newRow("code too long") << w << q << 123456ull << true << 0.5 << 0ull
                                       << "Неверный штрих-код для заданной весовой маски";
        QTest::newRow("weight too long") << w << q << 1ull << true << 123.456 << 0ull
                                         << "Неверный вес для заданной весовой маски";
        QTest::newRow("count too long") << w << q << 1ull << false << 100000.0 << 0ull
                                        << "Неверное количество для заданной штучной маски";
        QTest::newRow("small letters: the code does not fit")
            << "27pppppwwwww" << q << 123ull << true << 0.5 << 0ull
            << "Неверный штрих-код для заданной весовой маски";
        QTest::newRow("wrong character") << "27PPPPPWWWWX" << q << 123ull << true << 0.5 << 0ull
                                         << "Неверный маска весового штрих-кода";
        QTest::newRow("wrong character, piece") << w << "29PPPPP-QQQQ" << 123ull << false << 5.0
                                                << 0ull << "Неверный маска штучного штрих-кода";
        QTest::newRow("eleven characters") << "27PPPPPWWWW" << q << 123ull << true << 0.5 << 0ull
                                           << "Неверная маска весового штрих-кода";
        QTest::newRow("empty piece mask")
            << w << "" << 123ull << false << 1.0 << 0ull << "Неверная маска штучного штрих-кода";
        QTest::newRow("Q positions of a weight mask are 0")
            << "2PPPPPQWWWWW" << q << 123ull << true << 0.512 << 200123000512ull << "";
        QTest::newRow("W positions of a piece mask are 0")
            << w << "2PPPPPWQQQQQ" << 123ull << false << 12.0 << 200123000012ull << "";
        QTest::newRow("positions need not be adjacent")
            << "2P1W3P4W5PWP" << q << 1234ull << true << 0.056 << 211032455364ull << "";
        QTest::newRow("negative weight is refused") << w << q << 123ull << true << -0.012 << 0ull
                                                    << "Неверный вес для заданной весовой маски";
    }
    void barcode() {
        QFETCH(QString, wmask);
        QFETCH(QString, qmask);
        QFETCH(qulonglong, code);
        QFETCH(bool, weighed);
        QFETCH(double, value);
        QFETCH(qulonglong, expected);
        QFETCH(QString, error);
        AppSettings s;
        s.WBarCodeMask = wmask;
        s.QBarCodeMask = qmask;
        const BarcodeResult r = ComposeBarcode(s, code, weighed, value);
        QCOMPARE(r.error, error);
        QCOMPARE(qulonglong(r.value), expected);
    }
};

QTEST_GUILESS_MAIN(TstAmounts)
#include "tst_amounts.moc"
