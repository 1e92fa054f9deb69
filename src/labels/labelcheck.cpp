#include "labels/labelcheck.h"

#include "platform/rasterpage.h"

#include <QTransform>

namespace {

BarcodeAreaReader& Reader() {
    static BarcodeAreaReader reader = DefaultBarcodeAreaReader();
    return reader;
}

bool IsBlank(const QImage& page) {
    for (int y = 0; y < page.height(); ++y) {
        const uchar* line = page.constScanLine(y);
        for (int x = 0; x < page.width(); ++x)
            if (line[x] < platform::kBlackThreshold)
                return false;
    }
    return true;
}

// The digits of the EAN-13 symbols found in the area of the barcode, turned so that its
// bars stand upright; empty when none reads.
QString ReadBack(const QImage& page, const DrawnBarcode& b) {
    // A margin of ten modules around the bars keeps the quiet zones and the digits in view.
    const int margin = 10 * b.module;
    QRect area = b.bounds.adjusted(-margin, -margin, margin, margin).intersected(page.rect());
    if (area.isEmpty())
        return QString();
    QImage crop = page.copy(area);
    if (b.angle == 90 || b.angle == 270)
        crop = crop.transformed(QTransform().rotate(90));
    return Reader()(crop);
}

} // namespace

BarcodeAreaReader SetBarcodeAreaReader(BarcodeAreaReader reader) {
    std::swap(Reader(), reader);
    return reader;
}

QString CheckLabelPage(const QImage& image, const DrawnBarcode& barcode) {
    const QImage page = image.format() == QImage::Format_Grayscale8
                            ? image
                            : image.convertToFormat(QImage::Format_Grayscale8);
    if (IsBlank(page))
        return QStringLiteral("Этикетка пуста: на ней ничего не нарисовано. Проверьте макет "
                              "этикетки");
    if (!barcode.drawn)
        return QString();
    // Bars cut short still scan, but the label would lose its digits or its quiet zone.
    if (!page.rect().contains(barcode.bounds))
        return QStringLiteral("Штрих-код выходит за край этикетки");
    const QString read = barcode.digits.isEmpty() ? QString() : ReadBack(page, barcode);
    if (read.isEmpty())
        return QStringLiteral("Штрих-код на этикетке не читается");
    if (read != barcode.digits)
        return QStringLiteral("Штрих-код на этикетке читается как %1 вместо %2")
            .arg(read, barcode.digits);
    return QString();
}
