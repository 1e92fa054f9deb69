#include "workstation/mainlayout.h"

#include <algorithm>

MainLayout ComputeMainLayout(int frameWidth, int frameHeight) {
    const int a = 800 - frameWidth; // client width of the 800-pixel window
    MainLayout l;
    // Sizes, fixed once.
    l.name.setSize({a - 15, 100});
    l.price.setSize({a / 2 - 18, 90});
    l.sum.setSize({a / 2 - 18, 90});
    l.weight.setSize({a / 2 - 8, 90});
    l.panel.setSize({a / 2 - 8, 385 - frameHeight});
    l.pageSize.setSize({a / 2 - 18, 70});
    l.autoPrint.setSize({a / 2 - 18, 70});

    // Positions, from the sizes.
    l.name.moveTopLeft({8, 4});
    int y = l.name.height() + 8;
    l.price.moveTopLeft({8, y});
    l.weight.moveTopLeft({l.price.width() + 18, y});
    y += l.weight.height() + 4;
    l.sum.moveTopLeft({8, y});
    l.panel.moveTopLeft({l.sum.width() + 18, y + 6});
    y = l.panel.top() + l.panel.height();

    l.keys = KeypadKeys(l.panel);

    l.pageSize.moveTopLeft({8, y - l.pageSize.height()});
    l.autoPrint.moveTopLeft({8, l.pageSize.top() - l.autoPrint.height() - 10});

    // The state strip fills the left column between the sum and auto-print, with the gaps
    // the column already has; the tare key, as wide as a key of the keypad, takes its right
    // end at its whole height.
    const int top = l.sum.bottom() + 1 + 4;
    const int bottom = l.autoPrint.top() - 6;
    const int gap = 3;
    const int line = (bottom - top - 2 * gap) * 2 / 7;
    const int keyWidth = l.keys[IDC_KEY_7].width();
    const int width = l.sum.width() - keyWidth - 4;
    l.scaleState = QRect(8, top, width, line);
    l.printerState = QRect(8, l.scaleState.bottom() + 1 + gap, width, line);
    l.lastLabel = QRect(8, l.printerState.bottom() + 1 + gap, width,
                        bottom - (l.printerState.bottom() + 1 + gap));
    l.tareKey = QRect(l.sum.right() + 1 - keyWidth, top, keyWidth, bottom - top);
    l.netSign = QRect(l.weight.left() + 8, l.weight.top() + 14, 84, 26);
    return l;
}

CScreenScale::CScreenScale(QSize design, QSize area) : m_szDesign(design) {
    if (design.isEmpty() || area.isEmpty())
        return;
    m_dFactor =
        std::min(double(area.width()) / design.width(), double(area.height()) / design.height());
    const QSize used(qRound(design.width() * m_dFactor), qRound(design.height() * m_dFactor));
    m_ptOffset = QPoint((area.width() - used.width()) / 2, (area.height() - used.height()) / 2);
}

QRect CScreenScale::Map(const QRect& r) const {
    const auto at = [this](int v) { return qRound(v * m_dFactor); };
    const int left = at(r.left());
    const int top = at(r.top());
    const int right = at(r.left() + r.width());
    const int bottom = at(r.top() + r.height());
    return QRect(left, top, right - left, bottom - top).translated(m_ptOffset);
}

QMap<int, QRect> KeypadKeys(const QRect& panel) {
    QMap<int, QRect> keys;
    const int gx = panel.left() + 8;
    const int gy = panel.top() + 8;
    const int bw = (panel.width() - 26) / 4;
    const int bh = (panel.height() - 30) / 5;
    const auto key = [&](int id, int row, int column, int rows = 1) {
        keys.insert(id, QRect(gx + column * (bw + 4), gy + row * (bh + 4), bw,
                              rows == 1 ? bh : 2 * bh + 4));
    };
    key(IDC_KEY_CLEAR, 0, 0);
    key(IDC_KEY_EDITOR, 0, 1);
    key(IDC_KEY_SETTINGS, 0, 2);
    key(IDC_KEY_AUTOPRINT, 0, 3);
    key(IDC_KEY_7, 1, 0);
    key(IDC_KEY_8, 1, 1);
    key(IDC_KEY_9, 1, 2);
    key(IDC_KEY_PRODUCT, 1, 3, 2);
    key(IDC_KEY_4, 2, 0);
    key(IDC_KEY_5, 2, 1);
    key(IDC_KEY_6, 2, 2);
    key(IDC_KEY_1, 3, 0);
    key(IDC_KEY_2, 3, 1);
    key(IDC_KEY_3, 3, 2);
    key(IDC_KEY_PRINT, 3, 3, 2);
    key(IDC_KEY_0, 4, 0);
    key(IDC_KEY_00, 4, 1);
    key(IDC_KEY_POINT, 4, 2);
    return keys;
}
