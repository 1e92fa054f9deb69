// The decisions of the layout editor without its window: which button edits which element
// under which title, the property fields of an element and their way back, the sample
// label of the preview, the placement of the controls, and when the missing printer is
// told to the operator.
#pragma once

#include "labels/propertyrows.h"

#include <QRect>
#include <QSize>
#include <QString>

#include <array>

struct AppSettings;
class QDateTime;

struct EditorButton {
    int nId;      // control identifier
    int nElement; // element index, 0 to 13, in member order
    const char* weightCaption;
    const char* pieceCaption;
    const char* weightTitle; // of the property dialog
    const char* pieceTitle;
};

// The fourteen element buttons in the order they stand in the editor (element order).
const std::array<EditorButton, 14>& EditorButtons();
QString ButtonCaption(const EditorButton& b, bool bWeight);
QString PropertyTitle(const EditorButton& b, bool bWeight);

// The editable properties of element i of layout, as the property dialog gets them.
PropertyFields FieldsFromElement(const CBarCodeLabelInfo& layout, int i, const QString& title);
// Puts the dialog's fields back into element i through the element's setter.
void ApplyFields(CBarCodeLabelInfo& layout, int i, const PropertyFields& f);

// The values the preview shows: the longest values the label must hold.
LabelData SampleLabelData(bool bWeight, const AppSettings& settings, const QDateTime& now);

// "Конфигурация этикетки", with " (W x H)" in millimetres when the printer has a page.
QString EditorCaption(bool bPrinter, int widthMM, int heightMM);

struct EditorPlacement {
    QRect preview;
    QRect kindList;
    QRect close;
    std::array<QRect, 14> buttons;
    QRect save;
    QRect cancel;
};
// Control rectangles for a client area of W x H pixels: the square preview on the left and
// a 190-pixel column of keys a finger can hit centred in the space right of it.
EditorPlacement PlaceEditorControls(int W, int H);
// The top-left corner of the 800 x 600 editor centred on a screen.
QPoint EditorWindowPosition(const QSize& screen);
// The picture of a page of pw x ph pixels scaled to fit area, keeping its proportions.
QSize PreviewPictureSize(const QSize& area, int pw, int ph);

// The preview is rebuilt on every repaint, and a message box over the dialog causes
// repaints; so "Принтер не установлен" is told once, and again only after a real change
// (a property, the kind, a revert).
class CPrinterWarning {
public:
    // Whether a rebuild that found no printer tells the operator; bRealChange: the rebuild
    // follows a change of the operator's rather than a repaint.
    bool ShouldTell(bool bRealChange);

private:
    bool m_bTold = false;
};
