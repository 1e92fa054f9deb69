#include "workstation/mainlayout.h"

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
    return l;
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
