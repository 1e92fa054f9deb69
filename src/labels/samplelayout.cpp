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
    // Drawn for 58 x 40 mm inside a margin that stays the same on a label of any size: 1.5 mm
    // clear at every edge once rounded to whole dots, so that a page a dot or two short, or a
    // printer's own placement a millimetre off, cuts nothing. Fonts follow the height.
    // The design's figures keep 1.5 mm of its 58 x 40 mm; the label's margin is a little more.
    constexpr double kMargin = 1.6;
    constexpr double kDesignMargin = 1.5;
    const double sx = (widthMM - 2 * kMargin) / (58.0 - 2 * kDesignMargin);
    const double sy = (heightMM - 2 * kMargin) / (40.0 - 2 * kDesignMargin);
    const double fy = heightMM / 40.0;
    const double s = std::min(widthMM / 58.0, heightMM / 40.0);
    const auto x = [&](double design) { return kMargin + (design - kDesignMargin) * sx; };
    const auto y = [&](double design) { return kMargin + (design - kDesignMargin) * sy; };
    auto font = [fy](int height, int weight) {
        return Font(std::min(-1, static_cast<int>(height * fy)), weight);
    };
    auto text = [&](LabelElement& e, double left, double top, double w, double h, const LOGFONTW& f,
                    int align, int wrap) {
        l.SetValueText(e, x(left), y(top), w * sx, h * sy, f, align, wrap);
    };
    const LOGFONTW small = font(-9, 400);
    const LOGFONTW normal = font(-11, 400);
    const LOGFONTW bold = font(-11, 700);

    text(l.m_Name, 1.5, 1.5, 55, 7, font(-12, 700), 1, -1);
    text(l.m_Info, 1.5, 8.5, 55, 3, small, 0, -1);
    text(l.m_PriceCaption, 1.5, 11.5, 10.5, 3.5, normal, 0, 0);
    text(l.m_Price, 12, 11.5, 18, 3.5, bold, 0, 0);
    text(l.m_WeightQtyCaption, 1.5, 15, 10.5, 3.5, normal, 0, 0);
    text(l.m_WeightQty, 12, 15, 18, 3.5, bold, 0, 0);
    text(l.m_SumCaption, 1.5, 18.5, 10.5, 3.5, normal, 0, 0);
    text(l.m_Sum, 12, 18.5, 18, 3.5, bold, 0, 0);
    text(l.m_DateCaption, 31, 11.5, 25.5, 3.5, normal, 0, 0);
    l.SetDate(l.m_PackDate, x(31), y(15), 25.5 * sx, 3.5 * sy, normal, 0, 2);
    text(l.m_ExpiryCaption, 31, 18.5, 25.5, 3.5, normal, 0, 0);
    l.SetDate(l.m_Expiry, x(31), y(22), 25.5 * sx, 3.5 * sy, bold, 0, 2);
    // 113 modules of 0.25 mm are 28.25 mm, centred. The bars end where the digits below them
    // (twelve modules deep, a module rounded up to a whole dot at 203 dpi) still end inside
    // the margin.
    const double module = 0.25 * s;
    const double top = y(26);
    const double digits = 12 * module + 0.75;
    const double bars = std::max(module, heightMM - kMargin - top - digits);
    l.SetBarcode((widthMM - 113 * module) / 2, top, module, bars, 0);
    return l;
}
