// The rows of the element property list by the element's shape, how each row shows its
// value, and how the edited rows are read back into the element's fields.
#pragma once

#include "labels/labelinfo.h"

#include <QList>
#include <QStringList>

class QFont;

// The properties of one element as the property dialog edits them.
struct PropertyFields {
    int32_t m_bTextEditable = 0; // the element keeps its text in the layout: row "8. Текст"
    QString m_strText;
    int32_t m_bWordWrap = 0; // 0 off, -1 on once edited
    int32_t m_nShape = 0;    // 1 barcode, 2 text, 3 date
    double m_dOffsetX = 0;
    double m_dOffsetY = 0;
    double m_dWidth = 0;  // barcode: module width
    double m_dHeight = 0; // barcode: bar height
    int32_t m_nAngle = 0;
    LOGFONTW m_lfFont = DefaultLabelFont();
    int32_t m_nAlign = 0;
    int32_t m_nDateFormat = 0;
    QString m_strTitle;
};

enum class PropertyKind {
    Millimetres, // a number typed freely
    Choice,      // one of a fixed list
    YesNo,       // "True" or "False"
    Font,        // chosen in the font dialog
    Text,        // free text
};

struct PropertyRow {
    QString name; // shown in the first column; sorting by it keeps the table's order
    PropertyKind kind = PropertyKind::Text;
    QString value;       // the text shown in the second column
    QStringList options; // Choice and YesNo: the only values accepted
    LOGFONTW font;       // Font: the record the row carries
};

// The rows of f's shape, in the order they are added (which is also their sorted order).
QList<PropertyRow> BuildPropertyRows(const PropertyFields& f);

// Reads the rows back by their order into f. A millimetre row whose text is not a number
// keeps its field as it was and its name goes into badRows; a fixed-list row with a text
// outside its list keeps its field.
void ReadPropertyRows(const QList<PropertyRow>& rows, PropertyFields& f,
                      QStringList* badRows = nullptr);

// Millimetres with six decimals and "." as the decimal point.
QString FormatMillimetres(double mm);
// A whole text as a finite number of millimetres; "," is taken for the decimal point too.
bool ParseMillimetres(const QString& text, double& mm);

// The operator's message for a millimetre value that is not a number.
QString NotANumberText();

// The font dialog works with fonts at the screen resolution of layouts (96 dpi); these two
// convert between its fonts and the stored record. The record's character set, precisions,
// quality and pitch stay as they were; width, escapement and orientation come back as 0,
// as a font picked in a dialog has them.
QFont DialogFontFromLogFont(const LOGFONTW& lf);
LOGFONTW LogFontFromDialogFont(const QFont& font, const LOGFONTW& previous);
// What the font row shows: face name and size in points, "Arial(8)".
QString FontRowText(const LOGFONTW& lf);
