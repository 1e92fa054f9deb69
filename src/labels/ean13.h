// One EAN-13 symbol with its human-readable digits, drawn in device pixels at 0, 90, 180 or
// 270 degrees. The module pattern and the check digit are plain functions; drawing turns
// them into whole-pixel rectangles.
#pragma once

#include <QRect>
#include <QString>

class QPainter;

namespace ean13 {

// Whether text is exactly twelve decimal digits.
bool IsValidDigits(const QString& digits);
// The check digit of twelve data digits; -1 when the input is not twelve digits.
int CheckDigit(const QString& digits);

// One run of modules: 's' light, 'b' dark; guard runs get the longer bars.
struct Run {
    QString pattern;
    bool guard = false;
};
// The 113 modules of the symbol in drawing order (quiet zones included); empty when the
// input is not twelve digits.
QList<Run> ModuleRuns(const QString& digits);
// The same as one string of 113 letters.
QString ModulePattern(const QString& digits);

} // namespace ean13

class CEAN13 {
public:
    CEAN13() = default;
    virtual ~CEAN13() = default;

    QString m_strDigits; // twelve data digits, without the check digit
    int m_nModule = 1;
    int m_nBarHeight = 0;
    int m_nGuardExtension = 0; // computed by Draw
    int m_nDigitsDepth = 0;    // how far the digits reach below the bars; computed by Draw
    int m_nX = 0;
    int m_nY = 0;
    int m_nAngle = 0;

    // Draws the symbol and its digits in black on the existing background. dpiY is the
    // vertical logical resolution of the context drawn on, which sizes the guard extension
    // and the digits. Input that is not twelve digits, or an angle other than 0, 90, 180 or
    // 270, draws nothing.
    void Draw(QPainter& painter, int dpiY);
    int CheckDigit() const { return ean13::CheckDigit(m_strDigits); }
    // The rectangle of the bars and digits of the last Draw (quiet zones left out), in
    // device pixels.
    QRect SymbolBounds() const;

    // The three human-readable texts: first digit, digits 2 to 7, digits 8 to 12 and the
    // check digit.
    QStringList HumanReadableTexts() const;

private:
    void DrawPattern(QPainter& painter, const QString& pattern, bool guard, int& p) const;
    void DrawText(QPainter& painter, const QString& text, int a, int dpiY) const;
    int DigitsPixelSize(int dpiY) const;
};

// Integer a * b / c rounded to the nearest, halves away from zero, as the Windows MulDiv.
int MulDiv(int a, int b, int c);
