// Where the main screen puts its display fields and keypad keys: the design of an 800 by 600
// window (sizes from the frame's share of it, positions from the controls' own sizes), and
// that design scaled as a whole to the space the window really has.
#pragma once

#include <QMap>
#include <QPoint>
#include <QRect>
#include <QSize>

// The keypad keys by their control numbers.
enum KeyId {
    IDC_KEY_CLEAR = 1010,
    IDC_KEY_EDITOR = 1011,
    IDC_KEY_SETTINGS = 1012,
    IDC_KEY_AUTOPRINT = 1014,
    IDC_KEY_7 = 1016,
    IDC_KEY_8 = 1018,
    IDC_KEY_9 = 1020,
    IDC_KEY_PRODUCT = 1022,
    IDC_KEY_4 = 1024,
    IDC_KEY_5 = 1025,
    IDC_KEY_6 = 1027,
    IDC_KEY_1 = 1029,
    IDC_KEY_2 = 1031,
    IDC_KEY_3 = 1034,
    IDC_KEY_0 = 1036,
    IDC_KEY_POINT = 1039,
    IDC_KEY_PRINT = 1043,
    IDC_KEY_00 = 1046,
};

struct MainLayout {
    QRect name;      // 10001
    QRect price;     // 10002
    QRect sum;       // 10003
    QRect weight;    // 10004
    QRect panel;     // 10005
    QRect pageSize;  // 10006 "Этикетка"
    QRect autoPrint; // 10006 "Автопечать"
    // The state strip in the free area between "Сумма" and "Автопечать", and the tare key
    // at its right.
    QRect scaleState;
    QRect printerState;
    QRect lastLabel;
    QRect tareKey;
    // The sign «НЕТТО» inside the weight field, at its left under the caption.
    QRect netSign;
    QMap<int, QRect> keys;
};

// FW and FH: the window's width and height less its client area's.
MainLayout ComputeMainLayout(int frameWidth, int frameHeight);

// The design scaled as a whole into an area: one factor for both directions, the largest
// with which the design fits, and the design centred in what is left. At the design's own
// size it is the identity.
class CScreenScale {
public:
    CScreenScale() = default;
    CScreenScale(QSize design, QSize area);

    double Factor() const { return m_dFactor; }
    QPoint Offset() const { return m_ptOffset; }
    // Where a rectangle of the design lands: its edges are scaled and rounded each, so
    // neighbours keep their gaps and the proportions stay.
    QRect Map(const QRect& designRect) const;
    // The whole design, scaled and centred.
    QRect Design() const { return Map(QRect(QPoint(0, 0), m_szDesign)); }

private:
    QSize m_szDesign;
    double m_dFactor = 1.0;
    QPoint m_ptOffset;
};

// The eighteen keys inside the keypad panel: a grid of 4 by 5 keys with gaps of 4 pixels,
// the product and print keys two rows high.
QMap<int, QRect> KeypadKeys(const QRect& panel);
