// The screen's scale carried over to what the main screen opens: the program's font (which
// sizes the dialogs, their controls and message boxes), menus with items a finger can hit,
// and dialogs and list rows grown with the scale.
#pragma once

class QMenu;
class QWidget;

// Sets the program's font to the design's font times factor; the font the program started
// with is the design's. Nothing happens while the factor stays the same.
void ScaleProgramFont(double factor);
// Gives the menu's items the height of a fingertip at the screen's scale.
void FitMenuForTouch(QMenu& menu, double factor);
// Grows a dialog that sizes itself by its own figures with the scale (one that sizes itself
// by the program's font already has), and makes the rows of its lists a finger's height.
void FitDialogToScale(QWidget& dialog, double factor);
// The height of a row or item that a finger hits surely, at the screen's scale.
int TouchRowHeight(double factor);
