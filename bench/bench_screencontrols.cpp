// Paint cost of the screen controls: a keypad key (repainted as the pointer crosses it) and
// the weight field (repainted with every weight, up to ten times a second). Prints the mean
// time per paint.
#include "ui/buttonctrl.h"
#include "ui/labelctrl.h"
#include "ui/resources.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>

#include <cstdio>

namespace {
template <typename Paint> double MicrosecondsPerPaint(int rounds, Paint paint) {
    paint(); // warm up glyph caches and the icon's rendering
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < rounds; ++i)
        paint();
    return timer.nsecsElapsed() / 1000.0 / rounds;
}
} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    InitVarnetResources();
    const int rounds = 2000;

    CButtonCtrl digit(QStringLiteral("7"));
    digit.SetFont(50, QStringLiteral("Arial"));
    digit.resize(89, 63);
    CButtonCtrl product(QStringLiteral("Товар"));
    product.SetFont(20, QStringLiteral("Arial"));
    product.SetIcon(151, 151, 48, ui::KeyIconAbove);
    product.resize(89, 130);
    CLabel weight;
    weight.SetCaption(QStringLiteral("Вес"), QColor(0, 100, 220), CLabel::GrayTextColor());
    weight.SetTextFont(70, false, QStringLiteral("Arial"));
    weight.SetTextAlign(Qt::AlignRight);
    weight.resize(384, 90);

    QImage target(400, 140, QImage::Format_RGB32);
    auto render = [&](QWidget& w) {
        QPainter p(&target);
        w.render(&p);
    };
    int n = 0;
    const double key = MicrosecondsPerPaint(rounds, [&] { render(digit); });
    const double iconKey = MicrosecondsPerPaint(rounds, [&] { render(product); });
    const double field = MicrosecondsPerPaint(rounds, [&] {
        weight.setText(QStringLiteral("%1 ").arg(0.001 * (++n % 5000), 0, 'f', 3));
        render(weight);
    });
    std::printf("digit key 89x63:            %8.1f us per paint\n", key);
    std::printf("product key 89x130 + icon:  %8.1f us per paint\n", iconKey);
    std::printf("weight field 384x90, new text each time: %8.1f us per paint\n", field);
    return 0;
}
