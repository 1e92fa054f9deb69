// Records operator messages instead of showing them, and the topics withdrawn, for the
// lifetime of the object.
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
    // The topics withdrawn, in order.
    const QStringList& Withdrawn() const { return m_withdrawn; }
    void Clear() {
        m_messages.clear();
        m_withdrawn.clear();
    }

private:
    QList<platform::OperatorMessage> m_messages;
    QStringList m_withdrawn;
    platform::MessageSink m_previous;
    platform::WithdrawSink m_previousWithdraw;
};
