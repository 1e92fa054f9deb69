// Fonts asked for by their character cell height, as the screen's key and field fonts are
// given: the height covers ascent and descent, so "Arial" 70 is a 70-pixel line.
#pragma once

#include <QFont>
#include <QString>

// A normal-weight sans-serif-family font of face `face` whose line height (ascent + descent)
// is nHeight pixels, as close as whole pixel sizes allow.
QFont CellHeightFont(int nHeight, bool bItalic, const QString& face);
