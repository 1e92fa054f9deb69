// Records operator messages instead of showing them, for the lifetime of the object.
#pragma once

#include "platform/messages.h"

#include <QList>
#include <QStringList>

class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    const QList<platform::OperatorMessage>& Messages() const { return m_messages; }
    QStringList Texts() const;
    void Clear() { m_messages.clear(); }

private:
    QList<platform::OperatorMessage> m_messages;
    platform::MessageSink m_previous;
};
