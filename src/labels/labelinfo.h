// One label layout: fourteen positioned elements (barcode, texts, dates) in millimetres from
// the top-left corner of the printable area, plus the values of the label being drawn.
#pragma once

#include "labels/winrecords.h"

#include <QString>

#include <array>
#include <cstdint>

enum class LabelKind { Weight, Piece };

inline LabelKind KindFromFlag(bool bWeight) {
    return bWeight ? LabelKind::Weight : LabelKind::Piece;
}

enum class ElementShape { Barcode, Text, Date };

struct LabelElement {
    QString m_strText;
    double m_dOffsetX = 0;
    double m_dOffsetY = 0;
    double m_dWidth = 0;  // barcode: width of one module
    double m_dHeight = 0; // barcode: height of the bars
    int32_t m_nAngle = 0; // barcode only: 0, 90, 180 or 270 degrees
    LOGFONTW m_lfFont;
    int32_t m_nAlign = 0;      // 0 left, 1 centre, 2 right
    int32_t m_bWordWrap = 0;   // non-zero: break lines between words too
    SYSTEMTIME m_stValue;      // date elements
    int32_t m_nDateFormat = 0; // 0 date, 1 time, 2 date and time

    bool operator==(const LabelElement& o) const;
    bool operator!=(const LabelElement& o) const { return !(*this == o); }
};

// The values of one label, written into a layout by SetValues.
struct LabelData {
    uint64_t nBarcode = 0; // the twelve data digits as a number, without check digit
    QString strName;
    QString strInfo;
    int32_t bPrintUnits = 0;
    bool bWeight = true;
    double dPrice = 0;
    double dQuantity = 0;
    double dSum = 0; // already rounded by the caller
    SYSTEMTIME stExpiry;
};

// The font a new element gets. There is no platform GUI font to copy, so the attributes are
// fixed here once: they are stored in every layout file, and changing them would change the
// files and the look of every label laid out with the defaults.
LOGFONTW DefaultLabelFont();

class CBarCodeLabelInfo {
public:
    CBarCodeLabelInfo();
    virtual ~CBarCodeLabelInfo() = default;
    CBarCodeLabelInfo(const CBarCodeLabelInfo&) = default;
    CBarCodeLabelInfo& operator=(const CBarCodeLabelInfo&) = default;

    static constexpr int kElementCount = 14;

    void SetDefaults(bool bWeight);
    // Fills the value elements: barcode digits, name, information, price, weight or count,
    // amount, pack date (now) and expiry. Captions and the extra text stay as they are.
    void SetValues(const LabelData& d);

    // Setters of the editable properties, one per element group, as the editor uses them.
    void SetBarcode(double dOffsetX, double dOffsetY, double dWidth, double dHeight,
                    int32_t nAngle);
    // Name, information, price, weight/quantity, amount (value texts are not touched).
    void SetValueText(LabelElement& e, double dOffsetX, double dOffsetY, double dWidth,
                      double dHeight, const LOGFONTW& lfFont, int32_t nAlign, int32_t bWordWrap);
    // The five captions and the extra text.
    void SetCaptionText(LabelElement& e, const QString& strText, double dOffsetX, double dOffsetY,
                        double dWidth, double dHeight, const LOGFONTW& lfFont, int32_t nAlign,
                        int32_t bWordWrap);
    void SetDate(LabelElement& e, double dOffsetX, double dOffsetY, double dWidth, double dHeight,
                 const LOGFONTW& lfFont, int32_t nAlign, int32_t nDateFormat);

    // Element i (0 to 13) in member order, and its shape.
    LabelElement& Element(int i);
    const LabelElement& Element(int i) const;
    static ElementShape Shape(int i);
    // Whether element i keeps its text in the layout file (captions and the extra text).
    static bool IsTextBearing(int i);

    bool operator==(const CBarCodeLabelInfo& o) const;
    bool operator!=(const CBarCodeLabelInfo& o) const { return !(*this == o); }

    LabelElement m_Barcode;
    LabelElement m_Name;
    LabelElement m_Info;
    LabelElement m_PriceCaption;
    LabelElement m_Price;
    LabelElement m_WeightQtyCaption;
    LabelElement m_WeightQty;
    LabelElement m_SumCaption;
    LabelElement m_Sum;
    LabelElement m_DateCaption;
    LabelElement m_PackDate;
    LabelElement m_ExpiryCaption;
    LabelElement m_Expiry;
    LabelElement m_ExtraText;
};

// The local date and time as a SYSTEMTIME.
SYSTEMTIME ToSystemTime(const class QDateTime& dt);
