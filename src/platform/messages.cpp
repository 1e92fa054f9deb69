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
} // namespace

QString ErrorCaption() {
    return QStringLiteral("Ошибка");
}

void ReportMessage(const QString& text, const QString& caption, MessageIcon icon, QWidget* owner) {
    // Copy first: a sink may install another sink while it runs (a nested message loop).
    const MessageSink sink = Sink();
    sink(OperatorMessage{text, caption, icon, owner});
}

MessageSink SetMessageSink(MessageSink sink) {
    MessageSink previous = Sink();
    Sink() = sink ? std::move(sink) : MessageSink(PrintToStderr);
    return previous;
}

} // namespace platform
