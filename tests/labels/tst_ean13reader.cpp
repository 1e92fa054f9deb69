// The program's own EAN-13 reader (the read-back of the Windows build) against ZXing-C++ on
// the same images: symbols that read, and symbols that a scanner must refuse (quiet zones
// cut by a neighbour, a wrong check digit, bars missing, a single row, grey at the
// threshold, speckles). On a build without ZXing-C++ both readers are the program's own.
#include "labels/ean13.h"
#include "labels/ean13reader.h"
#include "labels/labelcheck.h"

#include <QPainter>
#include <QRandomGenerator>
#include <QtTest>

#include <cmath>
#include <vector>

namespace {

const QString kData = QStringLiteral("460123456789");
const QString kDigits = kData + QString::number(ean13::CheckDigit(kData));

// The modules of the symbol with quiet zones of left and right modules, and a dark block
// of four modules beyond each (a neighbouring text or frame).
QString Modules(const QString& pattern, int left, int right) {
    const QString core = pattern.mid(9, 95);
    return QString(4, QLatin1Char('b')) + QString(left, QLatin1Char('s')) + core +
           QString(right, QLatin1Char('s')) + QString(4, QLatin1Char('b'));
}

QImage Draw(const QString& modules, int module, int height, int dark = 0) {
    const int margin = 20;
    QImage image(modules.size() * module + 2 * margin, height, QImage::Format_Grayscale8);
    image.fill(255);
    for (int y = 0; y < height; ++y) {
        uchar* line = image.scanLine(y);
        for (int i = 0; i < modules.size(); ++i)
            if (modules[i] == QLatin1Char('b'))
                std::fill_n(line + margin + i * module, module, uchar(dark));
    }
    return image;
}

// One symbol as a printer may put it on paper: modules of module dots, every dark run gain
// dots wider (narrower when negative) at its right edge, the row stretched by stretch
// (nearest dot) and blurred by a Gaussian of sigma dots; twelve equal rows.
QImage Degraded(const QString& data, int module, int gain, double stretch, double sigma) {
    const QString modules = QString(10, QLatin1Char('s')) + ean13::ModulePattern(data).mid(9, 95) +
                            QString(10, QLatin1Char('s'));
    std::vector<double> dots;
    for (const QChar m : modules)
        dots.insert(dots.end(), size_t(module), m == QLatin1Char('b') ? 0.0 : 255.0);
    std::vector<double> gained = dots;
    for (size_t x = 1; x + 1 < dots.size(); ++x) {
        if (gain > 0 && dots[x - 1] == 0 && dots[x] == 255)
            std::fill_n(gained.begin() + long(x), std::min<size_t>(size_t(gain), dots.size() - x),
                        0);
        if (gain < 0 && dots[x] == 0 && dots[x + 1] == 255)
            std::fill_n(gained.begin() + long(x) + 1 + gain, -gain, 255);
    }
    std::vector<double> stretched(size_t(std::lround(double(dots.size()) * stretch)));
    for (size_t x = 0; x < stretched.size(); ++x)
        stretched[x] = gained[std::min(gained.size() - 1, size_t(double(x) / stretch))];
    std::vector<double> row = stretched;
    if (sigma > 0) {
        const int reach = int(std::ceil(3 * sigma));
        for (size_t x = 0; x < row.size(); ++x) {
            double sum = 0, weight = 0;
            for (int d = -reach; d <= reach; ++d) {
                const long at = long(x) + d;
                const double w = std::exp(-d * d / (2 * sigma * sigma));
                sum += w * (at < 0 || at >= long(row.size()) ? 255.0 : stretched[size_t(at)]);
                weight += w;
            }
            row[x] = sum / weight;
        }
    }
    QImage image(int(row.size()), 12, QImage::Format_Grayscale8);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.scanLine(y)[x] = uchar(std::lround(row[size_t(x)]));
    return image;
}

} // namespace

class TestEan13Reader : public QObject {
    Q_OBJECT

private slots:
    void sameVerdicts_data() {
        QTest::addColumn<QImage>("image");
        QTest::addColumn<QString>("expected"); // "?" where only the agreement matters
        const QString pattern = ean13::ModulePattern(kData);
        const QString whole = Modules(pattern, 9, 9);
        for (int m : {1, 2, 3, 4})
            QTest::addRow("module of %d dots", m) << Draw(whole, m, 80) << kDigits;
        QTest::addRow("turned half round") << Draw(whole, 2, 80).mirrored(true, true) << kDigits;
        for (int q = 0; q <= 9; ++q) {
            QTest::addRow("left quiet zone of %d modules", q)
                << Draw(Modules(pattern, q, 9), 2, 60) << "?";
            QTest::addRow("right quiet zone of %d modules", q)
                << Draw(Modules(pattern, 9, q), 2, 60) << "?";
        }
        QTest::addRow("symbol at the image edges")
            << Draw(pattern.mid(9, 95), 2, 60).copy(20, 0, 190, 60) << kDigits;
        // The last digit drawn as another one: the check digit no longer fits.
        QString wrong = whole;
        wrong.replace(4 + 9 + 95 - 3 - 7, 7, QStringLiteral("bbsbbss"));
        QTest::addRow("wrong check digit") << Draw(wrong, 2, 60) << QString();
        QImage gap = Draw(whole, 2, 60);
        QPainter(&gap).fillRect(QRect(20 + 2 * (4 + 9 + 20), 0, 6, 60), Qt::white);
        QTest::addRow("bars wiped out in every row") << gap << QString();
        QImage half = Draw(whole, 2, 60);
        QPainter(&half).fillRect(QRect(20 + 2 * (4 + 9 + 20), 0, 6, 30), Qt::white);
        QTest::addRow("bars wiped out in half the rows") << half << kDigits;
        QTest::addRow("one row") << Draw(whole, 2, 1) << QString();
        QTest::addRow("two rows") << Draw(whole, 2, 2) << "?";
        QTest::addRow("bars one grey level below the threshold")
            << Draw(whole, 2, 40, 127) << kDigits;
        QTest::addRow("bars at the threshold") << Draw(whole, 2, 40, 128) << QString();
        // Speckles shift bar edges by a dot and split runs: rows read or fail on the limits of
        // each run's and each guard's tolerance, where the two readers must fall alike.
        for (int percent : {1, 3, 4, 5, 10})
            for (quint32 seed = 1; seed <= 8; ++seed) {
                QImage speckled = Draw(whole, 2, 60);
                QRandomGenerator random{seed * 100 + quint32(percent)};
                for (int y = 0; y < speckled.height(); ++y)
                    for (int x = 0; x < speckled.width(); ++x)
                        if (int(random.bounded(100)) < percent)
                            speckled.scanLine(y)[x] ^= 0xFF;
                QTest::addRow("%d%% of the dots flipped, %u", percent, seed) << speckled << "?";
            }
        QImage thin = Draw(whole, 3, 60);
        for (int y = 0; y < 60; ++y) // every dark run one dot narrower on its right
            for (int x = thin.width() - 1; x > 0; --x)
                if (thin.scanLine(y)[x - 1] == 0 && thin.scanLine(y)[x] == 255)
                    thin.scanLine(y)[x - 1] = 255;
        QTest::addRow("bars one dot thinner") << thin << "?";
    }

    // Printed symbols degrade: bars grow or shrink by a dot (ink spread, a hot or cold head),
    // the page is stretched, edges blur. A reader may then refuse a symbol, but never give
    // another valid number: neither the program's own reader nor the read-back's. The counts
    // of good readings that are lost show how much each refuses.
    void noWrongNumber_data() {
        QTest::addColumn<int>("module");
        QTest::addColumn<int>("gain");
        QTest::addColumn<double>("stretch");
        QTest::addColumn<double>("sigma");
        for (int m : {2, 3}) {
            QTest::addRow("%d-dot modules", m) << m << 0 << 1.0 << 0.0;
            for (int gain : {1, -1})
                QTest::addRow("%d-dot modules, bars %+d dot", m, gain) << m << gain << 1.0 << 0.0;
            for (double stretch : {0.9, 1.1, 1.25})
                QTest::addRow("%d-dot modules stretched by %.2f", m, stretch)
                    << m << 0 << stretch << 0.0;
            for (double sigma : {0.6, 1.0})
                QTest::addRow("%d-dot modules blurred, sigma %.1f dot", m, sigma)
                    << m << 0 << 1.0 << sigma;
            QTest::addRow("%d-dot modules, bars +1 dot, blurred", m) << m << 1 << 1.0 << 0.6;
        }
    }
    void noWrongNumber() {
        QFETCH(int, module);
        QFETCH(int, gain);
        QFETCH(double, stretch);
        QFETCH(double, sigma);
        const int codes = qEnvironmentVariableIntValue("VARNET_READER_CODES") > 0
                              ? qEnvironmentVariableIntValue("VARNET_READER_CODES")
                              : 200;
        QRandomGenerator random(20261211);
        const BarcodeAreaReader readers[] = {ean13::ReadSymbol, DefaultBarcodeAreaReader()};
        int good[2] = {}, refused[2] = {}, wrong[2] = {};
        QStringList wrongOnes;
        for (int i = 0; i < codes; ++i) {
            const QString data =
                QString::number(random.bounded(Q_INT64_C(1000000000000))).rightJustified(12, '0');
            const QString digits = data + QString::number(ean13::CheckDigit(data));
            const QImage image = Degraded(data, module, gain, stretch, sigma);
            for (int r = 0; r < 2; ++r) {
                const QString read = readers[r](image);
                if (read == digits)
                    ++good[r];
                else if (read.isEmpty())
                    ++refused[r];
                else
                    ++wrong[r], wrongOnes << digits + QStringLiteral(" as ") + read;
            }
        }
        qInfo("%d codes: own reader %d read, %d refused, %d wrong; read-back %d read, %d "
              "refused, %d wrong",
              codes, good[0], refused[0], wrong[0], good[1], refused[1], wrong[1]);
        QVERIFY2(wrongOnes.isEmpty(), qPrintable(wrongOnes.join(QStringLiteral(", "))));
    }

    void sameVerdicts() {
        QFETCH(QImage, image);
        QFETCH(QString, expected);
        const QString theirs = DefaultBarcodeAreaReader()(image);
        const QString ours = ean13::ReadSymbol(image);
        QCOMPARE(ours, theirs);
        if (expected != QLatin1String("?"))
            QCOMPARE(ours, expected);
    }
};

QTEST_MAIN(TestEan13Reader)
#include "tst_ean13reader.moc"
