#include "support/messagerecorder.h"

MessageRecorder::MessageRecorder() {
    m_previous = platform::SetMessageSink(
        [this](const platform::OperatorMessage& m) { m_messages.append(m); });
}

MessageRecorder::~MessageRecorder() {
    platform::SetMessageSink(m_previous);
}

QStringList MessageRecorder::Texts() const {
    QStringList texts;
    for (const auto& m : m_messages)
        texts.append(m.text);
    return texts;
}
