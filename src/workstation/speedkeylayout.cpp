#include "workstation/speedkeylayout.h"

#include "workstation/mainlayout.h"

#include <algorithm>

QList<QRect> KeyGrid(const QRect& area, int count, int gap) {
    QList<QRect> keys;
    if (count <= 0 || area.isEmpty())
        return keys;
    int best = 1;
    int bestSide = -1;
    for (int columns = 1; columns <= count; ++columns) {
        const int rows = (count + columns - 1) / columns;
        const int w = (area.width() - (columns + 1) * gap) / columns;
        const int h = (area.height() - (rows + 1) * gap) / rows;
        if (std::min(w, h) > bestSide) {
            bestSide = std::min(w, h);
            best = columns;
        }
    }
    const int rows = (count + best - 1) / best;
    const int w = (area.width() - (best + 1) * gap) / best;
    const int h = (area.height() - (rows + 1) * gap) / rows;
    for (int i = 0; i < count; ++i)
        keys.append(QRect(area.left() + gap + (i % best) * (w + gap),
                          area.top() + gap + (i / best) * (h + gap), w, h));
    return keys;
}

QList<QRect> SpeedKeyBands(const QSize& window, const QRect& design, int count, int minKey) {
    const int gap = 6;
    const QRect left(0, 0, design.left(), window.height());
    const QRect right(design.right() + 1, 0, window.width() - design.right() - 1, window.height());
    const QList<QRect> a = KeyGrid(left, count / 2, gap);
    const QList<QRect> b = KeyGrid(right, count - count / 2, gap);
    if (a.size() + b.size() != count)
        return {};
    for (const QList<QRect>* band : {&a, &b})
        for (const QRect& key : *band)
            if (key.width() < minKey || key.height() < minKey)
                return {};
    return a + b;
}

QList<QRect> SpeedKeyPage(const QSize& panel, int count, QRect* closeKey) {
    // The keypad's margins and gaps; one row more than the keys need, for closing.
    const int columns = 4;
    const int rows = (count + columns - 1) / columns + 1;
    const int w = (panel.width() - 16 - (columns - 1) * 4) / columns;
    const int h = (panel.height() - 16 - (rows - 1) * 4) / rows;
    QList<QRect> keys;
    for (int i = 0; i < count; ++i)
        keys.append(QRect(8 + (i % columns) * (w + 4), 8 + (i / columns) * (h + 4), w, h));
    *closeKey = QRect(8, 8 + (rows - 1) * (h + 4), columns * w + (columns - 1) * 4, h);
    return keys;
}

PrintPagePlaces PrintPage(const QSize& panel) {
    const QMap<int, QRect> k = KeypadKeys(QRect(QPoint(0, 0), panel));
    PrintPagePlaces p;
    p.count = k[IDC_KEY_CLEAR].united(k[IDC_KEY_SETTINGS]);
    p.backspace = k[IDC_KEY_AUTOPRINT];
    const int digitKeys[10] = {IDC_KEY_0, IDC_KEY_1, IDC_KEY_2, IDC_KEY_3, IDC_KEY_4,
                               IDC_KEY_5, IDC_KEY_6, IDC_KEY_7, IDC_KEY_8, IDC_KEY_9};
    for (int d = 0; d < 10; ++d)
        p.digits[d] = k[digitKeys[d]];
    p.print = k[IDC_KEY_PRODUCT];
    p.repeat = k[IDC_KEY_PRINT];
    p.close = k[IDC_KEY_00].united(k[IDC_KEY_POINT]);
    return p;
}

void PlaceLabelPreview(QRect* line, QRect* preview) {
    const int h = line->height();
    const int w = std::min(line->width() / 3, h * 58 / 40);
    *preview = QRect(line->right() + 1 - w, line->top(), w, h);
    line->setWidth(line->width() - w - 4);
}
