// The one way an operator message leaves the program: text, caption, icon and owner window.
// The program installs a sink that shows a modal message box; tools print to the standard
// error stream; tests install a recorder (see tests/support).
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace platform {

enum class MessageIcon {
    Information,
    Exclamation, // a warning: the operator should look, nothing is lost
    Stop,        // an error
    Question,
};

struct OperatorMessage {
    QString text;
    QString caption;
    MessageIcon icon = MessageIcon::Stop;
    QWidget* owner = nullptr;
};

using MessageSink = std::function<void(const OperatorMessage&)>;

// The caption of ordinary error messages.
QString ErrorCaption();

// Shows one message through the installed sink.
void ReportMessage(const QString& text, const QString& caption = ErrorCaption(),
                   MessageIcon icon = MessageIcon::Stop, QWidget* owner = nullptr);

// Installs a sink and returns the previous one; an empty sink restores the default, which
// writes the message to the standard error stream.
MessageSink SetMessageSink(MessageSink sink);

} // namespace platform
