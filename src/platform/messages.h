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
    // A message about a passing state (a scale port that is gone) names that state here;
    // WithdrawMessages takes it back once the state is over. Empty: stays until confirmed.
    QString topic;
};

using MessageSink = std::function<void(const OperatorMessage&)>;
// Takes back the messages of a topic that are still shown.
using WithdrawSink = std::function<void(const QString& topic)>;

// The caption of ordinary error messages.
QString ErrorCaption();

// Shows one message through the installed sink.
void ReportMessage(const QString& text, const QString& caption = ErrorCaption(),
                   MessageIcon icon = MessageIcon::Stop, QWidget* owner = nullptr);

// Shows one message about a passing state; see OperatorMessage::topic.
void ReportMessage(const OperatorMessage& message);
// The state that the messages of topic reported is over: those still shown are closed.
void WithdrawMessages(const QString& topic);

// Installs a sink and returns the previous one; an empty sink restores the default, which
// writes the message to the standard error stream.
MessageSink SetMessageSink(MessageSink sink);
// The same for withdrawals; the default has nothing to close.
WithdrawSink SetWithdrawSink(WithdrawSink sink);

} // namespace platform
