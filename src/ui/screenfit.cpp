#include "ui/screenfit.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFont>
#include <QHeaderView>
#include <QMenu>
#include <QPointer>
#include <QTableView>
#include <QTimer>

#include <algorithm>
#include <optional>

namespace {
// About 9 mm on a monitor of 96 dpi, the size of a fingertip.
constexpr int kTouchRow = 34;
} // namespace

int TouchRowHeight(double factor) {
    return qRound(kTouchRow * std::max(1.0, factor));
}

void ScaleProgramFont(double factor) {
    static std::optional<QFont> design;
    static double current = 1.0;
    if (factor <= 0.0 || factor == current)
        return;
    if (!design)
        design = QApplication::font();
    current = factor;
    QFont font = *design;
    if (design->pixelSize() > 0)
        font.setPixelSize(std::max(1, qRound(design->pixelSize() * factor)));
    else
        font.setPointSizeF(design->pointSizeF() * factor);
    QApplication::setFont(font);
}

void FitMenuForTouch(QMenu& menu, double factor) {
    const int height = TouchRowHeight(factor);
    const int text = QFontMetrics(menu.font()).height();
    const int padding = std::max(2, (height - text) / 2);
    menu.setStyleSheet(QStringLiteral("QMenu::item { padding: %1px %2px %1px %3px; }")
                           .arg(padding)
                           .arg(2 * padding)
                           .arg(3 * padding));
}

void FitDialogToScale(QWidget& dialog, double factor) {
    const bool fixed = dialog.minimumSize() == dialog.maximumSize();
    if (!fixed && factor > 1.0)
        dialog.resize((QSizeF(dialog.size()) * factor).toSize());
    for (QTableView* view : dialog.findChildren<QTableView*>()) {
        view->verticalHeader()->setMinimumSectionSize(TouchRowHeight(factor));
        view->verticalHeader()->setDefaultSectionSize(TouchRowHeight(factor));
    }
    if (fixed || factor <= 1.0)
        return;
    // Columns set up in pixels keep their share of the grown list; a dialog may add them
    // only as it is shown, so this waits for that.
    QPointer<QWidget> guard(&dialog);
    QTimer::singleShot(0, &dialog, [guard, factor] {
        if (!guard)
            return;
        for (QTableView* view : guard->findChildren<QTableView*>()) {
            if (!view->model())
                continue;
            for (int c = 0; c < view->model()->columnCount(); ++c)
                view->setColumnWidth(c, qRound(view->columnWidth(c) * factor));
        }
    });
}
