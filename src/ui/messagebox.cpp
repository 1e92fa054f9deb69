#include "ui/messagebox.h"

#include "app/errorboundary.h"
#include "platform/messages.h"

#include <QList>
#include <QMessageBox>
#include <QPointer>

namespace ui {

namespace {
QMessageBox::Icon BoxIcon(platform::MessageIcon icon) {
    switch (icon) {
    case platform::MessageIcon::Information:
        return QMessageBox::Information;
    case platform::MessageIcon::Exclamation:
        return QMessageBox::Warning;
    case platform::MessageIcon::Question:
        return QMessageBox::Question;
    case platform::MessageIcon::Stop:
        break;
    }
    return QMessageBox::Critical;
}

// The boxes open now that report a passing state, with their topic.
struct OpenBox {
    QPointer<QMessageBox> box;
    QString topic;
};
QList<OpenBox>& OpenBoxes() {
    static QList<OpenBox> boxes;
    return boxes;
}
} // namespace

void InstallMessageBoxSink() {
    platform::SetMessageSink([](const platform::OperatorMessage& m) {
        QWidget* owner = m.owner ? m.owner : QApplication::activeWindow();
        QMessageBox box(BoxIcon(m.icon), m.caption, m.text, QMessageBox::Ok, owner);
        if (!m.topic.isEmpty())
            OpenBoxes().append({&box, m.topic});
        box.exec();
        OpenBoxes().removeIf([&box](const OpenBox& b) { return b.box == &box || !b.box; });
    });
    platform::SetWithdrawSink([](const QString& topic) {
        // Closed as if confirmed: nested boxes unwind in their own order.
        for (const OpenBox& b : OpenBoxes()) {
            if (b.topic == topic && b.box)
                b.box->done(QMessageBox::Ok);
        }
    });
}

CVarnetApplication::CVarnetApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool CVarnetApplication::notify(QObject* receiver, QEvent* event) {
    // A database error must never unwind through the event loop: it ends the handler that
    // raised it and is shown like any other.
    bool handled = false;
    ReportDatabaseErrors(nullptr, [&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

} // namespace ui
