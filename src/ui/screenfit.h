// The screen's scale carried over to what the main screen opens: the program's font (which
// sizes the dialogs, their controls and message boxes), menus with items a finger can hit,
// and dialogs and list rows grown with the scale.
#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

class QMenu;
class QWidget;

// Sets the program's font to the design's font times factor, and grows the parts of its
// controls that the font does not size (check boxes, scroll bars, arrows, icons) with it; the
// font the program started with is the design's. Keys, lists and spin boxes that a layout
// sizes are a finger's height from the first call on, at any factor. Nothing happens while the
// factor stays the same.
void ScaleProgramControls(double factor);
// The factor the program's controls have now (1 until the screen is first scaled).
double ProgramControlsScale();
// Gives the menu's items the height of a fingertip at the screen's scale.
void FitMenuForTouch(QMenu& menu, double factor);
// Grows a dialog that sizes itself by its own figures with the scale (one that sizes itself
// by the program's font already has), and makes the rows of its lists a finger's height.
void FitDialogToScale(QWidget& dialog, double factor);
// The height of a row or item that a finger hits surely, at the screen's scale.
int TouchRowHeight(double factor);

// Where a window of the design's size grown by factor goes on a screen whose free area is
// available, its frame (title bar and borders) around it: the factor shrinks until the window
// and its frame fit, below the design's own size too (a title bar on an 800 by 600 screen),
// and the framed window is centred there.
struct ScaledWindowPlace {
    double factor = 1.0;
    QSize size;      // the window without its frame
    QPoint framePos; // the top-left corner of its frame
};
ScaledWindowPlace PlaceScaledWindow(const QSize& design, double factor, const QRect& available,
                                    const QMargins& frame);

// Shrinks a window whose frame (title bar and borders, which a window manager adds once the
// window is shown) puts part of it off its screen's free area to the size that fits, keeping
// its proportions, and centres the framed window there; a window that fits, or fills the
// screen, is left as it is. True when it changed the window.
bool KeepWindowOnScreen(QWidget& window);
// Does that whenever the window is shown, moved or resized: a dialog that sizes itself by the
// design's figures stays whole below a window manager's title bar.
void KeepOnScreenWhenFramed(QWidget& window);
