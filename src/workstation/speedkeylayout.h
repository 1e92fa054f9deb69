// Where the speed keys, the pages over the keypad and the label's preview go. On a screen
// wider than the design's proportion the speed keys fill the free bands beside the scaled
// design, when keys a finger hits surely fit there; otherwise they open as a page over the
// keypad panel.
#pragma once

#include <QList>
#include <QRect>
#include <QSize>

// The keys in the bands left and right of the design (window coordinates), the first half
// on the left; empty when the bands are too narrow or too low for keys of minKey pixels.
QList<QRect> SpeedKeyBands(const QSize& window, const QRect& design, int count, int minKey);

// A grid of keys filling area with gaps of gap pixels: columns chosen so that the keys'
// shorter side is as long as it can be. Keys by rows, left to right.
QList<QRect> KeyGrid(const QRect& area, int count, int gap);

// The speed-key page over the keypad panel (in the panel's own coordinates): count keys in
// four columns, and a row below them for the key that closes the page.
QList<QRect> SpeedKeyPage(const QSize& panel, int count, QRect* closeKey);

// The copies page over the keypad panel (in the panel's own coordinates), on the keypad's
// grid of 4 by 5 keys.
struct PrintPagePlaces {
    QRect count;     // the number of copies, row 0 over three columns
    QRect backspace; // row 0, column 3
    QRect digits[10];
    QRect print;  // column 3, rows 1 and 2
    QRect repeat; // column 3, rows 3 and 4
    QRect close;  // row 4, columns 1 and 2
};
PrintPagePlaces PrintPage(const QSize& panel);

// The label's preview at the right end of the state strip's last-label line: as high as the
// line and as wide as a 58 x 40 mm label of that height. The line keeps what is left.
void PlaceLabelPreview(QRect* lastLabelLine, QRect* preview);
