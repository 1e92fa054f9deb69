#include "platform/messages.h"

#include <cstdio>

namespace platform {

namespace {
void PrintToStderr(const OperatorMessage& m) {
    std::fprintf(stderr, "%s: %s\n", m.caption.toUtf8().constData(), m.text.toUtf8().constData());
}

MessageSink& Sink() {
    static MessageSink sink = PrintToStderr;
    return sink;
}

WithdrawSink& Withdrawals() {
    static WithdrawSink sink;
    return sink;
}
} // namespace

QString ErrorCaption() {
    return QStringLiteral("Ошибка");
}

void ReportMessage(const QString& text, const QString& caption, MessageIcon icon, QWidget* owner) {
    // Copy first: a sink may install another sink while it runs (a nested message loop).
    const MessageSink sink = Sink();
    sink(OperatorMessage{text, caption, icon, owner, QString()});
}

void ReportMessage(const OperatorMessage& message) {
    const MessageSink sink = Sink();
    sink(message);
}

void WithdrawMessages(const QString& topic) {
    const WithdrawSink sink = Withdrawals();
    if (sink)
        sink(topic);
}

MessageSink SetMessageSink(MessageSink sink) {
    MessageSink previous = Sink();
    Sink() = sink ? std::move(sink) : MessageSink(PrintToStderr);
    return previous;
}

WithdrawSink SetWithdrawSink(WithdrawSink sink) {
    WithdrawSink previous = Withdrawals();
    Withdrawals() = std::move(sink);
    return previous;
}

} // namespace platform
