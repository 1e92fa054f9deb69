#include "support/messagerecorder.h"

MessageRecorder::MessageRecorder() {
    m_previous = platform::SetMessageSink(
        [this](const platform::OperatorMessage& m) { m_messages.append(m); });
    m_previousWithdraw =
        platform::SetWithdrawSink([this](const QString& topic) { m_withdrawn.append(topic); });
}

MessageRecorder::~MessageRecorder() {
    platform::SetMessageSink(m_previous);
    platform::SetWithdrawSink(m_previousWithdraw);
}

QStringList MessageRecorder::Texts() const {
    QStringList texts;
    for (const auto& m : m_messages)
        texts.append(m.text);
    return texts;
}
