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
