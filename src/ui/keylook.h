// How a keypad key looks: the rim, face, edge lines, focus mark and outline for each state,
// and where its icon and caption go. Plain QtGui code, checked in tests without a window.
#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <optional>
#include <vector>

class QPainter;

namespace ui {

// Placement of icon and caption on a key.
enum KeyIconAlign : int {
    KeyIconCentre = 0, // caption centred; an icon, if any, at the centre point
    KeyIconLeft = 1,
    KeyIconRight = 2,
    KeyIconAbove = 3,
    KeyIconBelow = 4,
    KeyIconOnly = 5,
};

struct KeyState {
    bool bPressed = false;
    bool bFocused = false;
    bool bHover = false;
    bool bEnabled = true;
};

struct KeyGradient {
    QRect rect;
    QColor top;
    QColor bottom;
};

struct KeyEdgeLine {
    QRect rect;
    QColor colour;
};

inline const QColor kKeyOutline{0, 60, 116};
inline const QColor kKeyDisabledText{150, 150, 150};

// A key is lit (shows a coloured rim) while the pointer is over it or it has the focus,
// unless it is pushed.
bool IsKeyLit(const KeyState& s);

// All rectangles below are in the key's own coordinates for a key of `size` pixels.
std::optional<KeyGradient> KeyRim(const KeyState& s, QSize size);
KeyGradient KeyFace(const KeyState& s, QSize size);
// The raised (or, pushed, sunken) lines along the top and bottom of an unlit key, in drawing
// order; a later line covers an earlier one where they overlap.
std::vector<KeyEdgeLine> KeyEdgeLines(const KeyState& s, QSize size);
std::optional<QRect> KeyFocusRect(const KeyState& s, QSize size);
QColor KeyCaptionColour(const KeyState& s, const QColor& crText);

// The caption's measured block: a line feed splits it into two lines that wrap by words.
struct KeyTextBlock {
    int nWidth = 0;
    int nHeight = 0;
    bool bTwoLines = false;
};
KeyTextBlock MeasureKeyCaption(const QString& caption, const QFont& font);

struct KeyPlacement {
    QPoint ptIcon;
    QRect rcText;
    int nTextFlags = 0; // Qt::AlignmentFlag | Qt::TextFlag
    bool bCaption = true;
};
KeyPlacement PlaceKeyContent(int nIconAlign, QSize size, int nIconSize, const KeyTextBlock& text);

// Everything a key needs to paint itself.
struct KeyLook {
    KeyState state;
    QColor crFace;
    QColor crText;
    QString strCaption;
    QFont font;
    QIcon icon; // the icon for the key's enabled state; null draws none
    int nIconSize = 0;
    int nIconAlign = KeyIconCentre;
};

void PaintKey(QPainter& painter, QSize size, const KeyLook& look);

} // namespace ui
