#include "labels/labelinfo.h"

#include "app/varnetapp.h"
#include "platform/clock.h"
#include "platform/numbers.h"

#include <QDateTime>

#include <charconv>

bool LOGFONTW::operator==(const LOGFONTW& o) const {
    return lfHeight == o.lfHeight && lfWidth == o.lfWidth && lfEscapement == o.lfEscapement &&
           lfOrientation == o.lfOrientation && lfWeight == o.lfWeight && lfItalic == o.lfItalic &&
           lfUnderline == o.lfUnderline && lfStrikeOut == o.lfStrikeOut &&
           lfCharSet == o.lfCharSet && lfOutPrecision == o.lfOutPrecision &&
           lfClipPrecision == o.lfClipPrecision && lfQuality == o.lfQuality &&
           lfPitchAndFamily == o.lfPitchAndFamily && lfFaceName == o.lfFaceName;
}

bool SYSTEMTIME::operator==(const SYSTEMTIME& o) const {
    return wYear == o.wYear && wMonth == o.wMonth && wDayOfWeek == o.wDayOfWeek && wDay == o.wDay &&
           wHour == o.wHour && wMinute == o.wMinute && wSecond == o.wSecond &&
           wMilliseconds == o.wMilliseconds;
}

bool LabelElement::operator==(const LabelElement& o) const {
    return m_strText == o.m_strText && m_dOffsetX == o.m_dOffsetX && m_dOffsetY == o.m_dOffsetY &&
           m_dWidth == o.m_dWidth && m_dHeight == o.m_dHeight && m_nAngle == o.m_nAngle &&
           m_lfFont == o.m_lfFont && m_nAlign == o.m_nAlign && m_bWordWrap == o.m_bWordWrap &&
           m_stValue == o.m_stValue && m_nDateFormat == o.m_nDateFormat;
}

LOGFONTW DefaultLabelFont() {
    // The message font of a Russian Windows desktop: 8 points at 96 dpi (11 pixels of
    // character height), normal weight, Cyrillic character set, everything else left to
    // the font machinery.
    LOGFONTW lf;
    lf.lfHeight = -11;
    lf.lfWidth = 0;
    lf.lfEscapement = 0;
    lf.lfOrientation = 0;
    lf.lfWeight = 400;
    lf.lfItalic = 0;
    lf.lfUnderline = 0;
    lf.lfStrikeOut = 0;
    lf.lfCharSet = 204;
    lf.lfOutPrecision = 0;
    lf.lfClipPrecision = 0;
    lf.lfQuality = 0;
    lf.lfPitchAndFamily = 0;
    lf.lfFaceName = QStringLiteral("Arial");
    return lf;
}

CBarCodeLabelInfo::CBarCodeLabelInfo() {
    SetDefaults(true);
}

void CBarCodeLabelInfo::SetDefaults(bool bWeight) {
    for (int i = 0; i < kElementCount; ++i) {
        LabelElement e;
        if (Shape(i) != ElementShape::Barcode)
            e.m_lfFont = DefaultLabelFont();
        Element(i) = e;
    }
    m_PriceCaption.m_strText = QStringLiteral("Цена:");
    m_WeightQtyCaption.m_strText = bWeight ? QStringLiteral("Вес:") : QStringLiteral("Кол-во:");
    m_SumCaption.m_strText = QStringLiteral("Сумма:");
    m_DateCaption.m_strText = QStringLiteral("Дата:");
    m_ExpiryCaption.m_strText = QStringLiteral("Годен до:");
}

SYSTEMTIME ToSystemTime(const QDateTime& dt) {
    SYSTEMTIME st;
    const QDate d = dt.date();
    const QTime t = dt.time();
    st.wYear = static_cast<uint16_t>(d.year());
    st.wMonth = static_cast<uint16_t>(d.month());
    st.wDayOfWeek = static_cast<uint16_t>(d.dayOfWeek() % 7); // Sunday is 0
    st.wDay = static_cast<uint16_t>(d.day());
    st.wHour = static_cast<uint16_t>(t.hour());
    st.wMinute = static_cast<uint16_t>(t.minute());
    st.wSecond = static_cast<uint16_t>(t.second());
    st.wMilliseconds = static_cast<uint16_t>(t.msec());
    return st;
}

namespace {
// printf's "%.*f": the exact binary value rounded, halves to even, and "." as the decimal
// point whatever the locale.
QString Fixed(double value, int decimals) {
    char buf[400];
    const std::to_chars_result r =
        std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    if (r.ec != std::errc())
        return QString::number(value, 'f', decimals);
    return QString::fromLatin1(buf, r.ptr - buf);
}

QString WithUnit(const QString& number, bool bUnits, const QString& unit) {
    return bUnits ? number + QLatin1Char(' ') + unit : number;
}
} // namespace

void CBarCodeLabelInfo::SetValues(const LabelData& d) {
    AppSettings defaults;
    const CVarnetApp* app = CVarnetApp::Instance();
    const AppSettings& s = app ? app->m_settings : defaults;
    const bool units = d.bPrintUnits != 0;

    m_Barcode.m_strText = QStringLiteral("%1").arg(d.nBarcode, 12, 10, QLatin1Char('0'));
    m_Name.m_strText = d.strName;
    m_Info.m_strText = d.strInfo;
    m_Price.m_strText = WithUnit(platform::FormatMoney(d.dPrice, s.Penny), units, s.EICurrency);
    if (d.bWeight)
        m_WeightQty.m_strText = WithUnit(Fixed(d.dQuantity, 3), units, s.EIWeight);
    else
        m_WeightQty.m_strText = WithUnit(Fixed(d.dQuantity, 0), units, s.EIQuantity);
    m_Sum.m_strText = WithUnit(platform::FormatMoney(d.dSum, s.Penny), units, s.EICurrency);
    m_PackDate.m_stValue = ToSystemTime(platform::Now());
    m_Expiry.m_stValue = d.stExpiry;
}

void CBarCodeLabelInfo::SetBarcode(double dOffsetX, double dOffsetY, double dWidth, double dHeight,
                                   int32_t nAngle) {
    m_Barcode.m_dOffsetX = dOffsetX;
    m_Barcode.m_dOffsetY = dOffsetY;
    m_Barcode.m_dWidth = dWidth;
    m_Barcode.m_dHeight = dHeight;
    m_Barcode.m_nAngle = nAngle;
}

void CBarCodeLabelInfo::SetValueText(LabelElement& e, double dOffsetX, double dOffsetY,
                                     double dWidth, double dHeight, const LOGFONTW& lfFont,
                                     int32_t nAlign, int32_t bWordWrap) {
    e.m_dOffsetX = dOffsetX;
    e.m_dOffsetY = dOffsetY;
    e.m_dWidth = dWidth;
    e.m_dHeight = dHeight;
    e.m_lfFont = lfFont;
    e.m_lfFont.lfFaceName.truncate(LOGFONTW::LF_FACESIZE - 1);
    e.m_nAlign = nAlign;
    e.m_bWordWrap = bWordWrap;
}

void CBarCodeLabelInfo::SetCaptionText(LabelElement& e, const QString& strText, double dOffsetX,
                                       double dOffsetY, double dWidth, double dHeight,
                                       const LOGFONTW& lfFont, int32_t nAlign, int32_t bWordWrap) {
    SetValueText(e, dOffsetX, dOffsetY, dWidth, dHeight, lfFont, nAlign, bWordWrap);
    e.m_strText = strText;
}

void CBarCodeLabelInfo::SetDate(LabelElement& e, double dOffsetX, double dOffsetY, double dWidth,
                                double dHeight, const LOGFONTW& lfFont, int32_t nAlign,
                                int32_t nDateFormat) {
    SetValueText(e, dOffsetX, dOffsetY, dWidth, dHeight, lfFont, nAlign, 0);
    e.m_nDateFormat = nDateFormat;
}

LabelElement& CBarCodeLabelInfo::Element(int i) {
    return const_cast<LabelElement&>(static_cast<const CBarCodeLabelInfo*>(this)->Element(i));
}

const LabelElement& CBarCodeLabelInfo::Element(int i) const {
    switch (i) {
    case 0:
        return m_Barcode;
    case 1:
        return m_Name;
    case 2:
        return m_Info;
    case 3:
        return m_PriceCaption;
    case 4:
        return m_Price;
    case 5:
        return m_WeightQtyCaption;
    case 6:
        return m_WeightQty;
    case 7:
        return m_SumCaption;
    case 8:
        return m_Sum;
    case 9:
        return m_DateCaption;
    case 10:
        return m_PackDate;
    case 11:
        return m_ExpiryCaption;
    case 12:
        return m_Expiry;
    default:
        return m_ExtraText;
    }
}

ElementShape CBarCodeLabelInfo::Shape(int i) {
    if (i == 0)
        return ElementShape::Barcode;
    if (i == 10 || i == 12)
        return ElementShape::Date;
    return ElementShape::Text;
}

bool CBarCodeLabelInfo::IsTextBearing(int i) {
    return i == 3 || i == 5 || i == 7 || i == 9 || i == 11 || i == 13;
}

bool CBarCodeLabelInfo::operator==(const CBarCodeLabelInfo& o) const {
    for (int i = 0; i < kElementCount; ++i)
        if (Element(i) != o.Element(i))
            return false;
    return true;
}
