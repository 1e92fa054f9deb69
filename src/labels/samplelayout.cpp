#include "labels/samplelayout.h"

#include <algorithm>

namespace {
LOGFONTW Font(int height, int weight) {
    LOGFONTW lf = DefaultLabelFont();
    lf.lfHeight = height;
    lf.lfWeight = weight;
    return lf;
}
} // namespace

CBarCodeLabelInfo SampleLayout(bool bWeight, double widthMM, double heightMM) {
    CBarCodeLabelInfo l;
    l.SetDefaults(bWeight);
    // Drawn for 58 x 40 mm and scaled to the label; fonts follow the height.
    const double sx = widthMM / 58.0;
    const double sy = heightMM / 40.0;
    const double s = std::min(sx, sy);
    auto font = [sy](int height, int weight) {
        return Font(std::min(-1, static_cast<int>(height * sy)), weight);
    };
    auto text = [&](LabelElement& e, double x, double y, double w, double h, const LOGFONTW& f,
                    int align, int wrap) {
        l.SetValueText(e, x * sx, y * sy, w * sx, h * sy, f, align, wrap);
    };
    const LOGFONTW small = font(-9, 400);
    const LOGFONTW normal = font(-11, 400);
    const LOGFONTW bold = font(-11, 700);

    text(l.m_Name, 1, 0.5, 56, 7, font(-12, 700), 1, -1);
    text(l.m_Info, 1, 7.5, 56, 3.5, small, 0, -1);
    text(l.m_PriceCaption, 1, 11, 11, 3.5, normal, 0, 0);
    text(l.m_Price, 12, 11, 18, 3.5, bold, 0, 0);
    text(l.m_WeightQtyCaption, 1, 14.5, 11, 3.5, normal, 0, 0);
    text(l.m_WeightQty, 12, 14.5, 18, 3.5, bold, 0, 0);
    text(l.m_SumCaption, 1, 18, 11, 3.5, normal, 0, 0);
    text(l.m_Sum, 12, 18, 18, 3.5, bold, 0, 0);
    text(l.m_DateCaption, 31, 11, 26, 3.5, normal, 0, 0);
    l.SetDate(l.m_PackDate, 31 * sx, 14.5 * sy, 26 * sx, 3.5 * sy, normal, 0, 2);
    text(l.m_ExpiryCaption, 31, 18, 26, 3.5, normal, 0, 0);
    l.SetDate(l.m_Expiry, 31 * sx, 21.5 * sy, 26 * sx, 3.5 * sy, bold, 0, 2);
    // 113 modules of 0.25 mm are 28.25 mm: centred, with room for the digits below.
    const double module = 0.25 * s;
    l.SetBarcode((widthMM - 113 * module) / 2, 25.5 * sy, module, 10 * sy, 0);
    return l;
}
