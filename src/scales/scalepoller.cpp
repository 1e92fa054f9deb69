#include "scales/scalepoller.h"

#include "platform/messages.h"
#include "scales/scalefactory.h"

#include <QCoreApplication>
#include <QObject>

#include <chrono>
#include <system_error>

namespace {

const QEvent::Type kScaleMessageEvent = static_cast<QEvent::Type>(QEvent::User + 2025);
const QEvent::Type kScaleAnsweredEvent = static_cast<QEvent::Type>(QEvent::User + 2027);

QString ThreadErrorText() {
    return QStringLiteral("Ошибка чтения веса. Поток прерван");
}

} // namespace

// Receives the "messages waiting" events on the user-interface thread. The messages are
// shown there, never on the polling thread, so a message box that waits for the operator
// holds neither the scale lock nor the thread that Stop() joins.
class CScalePoller::CMessageRelay : public QObject {
public:
    explicit CMessageRelay(CScalePoller* poller) : m_poller(poller) {}

    bool event(QEvent* e) override {
        if (e->type() == kScaleAnsweredEvent) {
            platform::WithdrawMessages(MessageTopic());
            return true;
        }
        if (e->type() != kScaleMessageEvent)
            return QObject::event(e);
        m_poller->ReportQueuedMessages();
        return true;
    }

private:
    CScalePoller* m_poller;
};

CScalePoller::CScalePoller(QObject* pReceiver, QWidget* pOwner)
    : m_pReceiver(pReceiver), m_pOwner(pOwner), m_pRelay(std::make_unique<CMessageRelay>(this)) {}

QString CScalePoller::MessageTopic() {
    return QStringLiteral("scale");
}

void CScalePoller::Report(const QString& text) const {
    platform::ReportMessage(platform::OperatorMessage{
        text, platform::ErrorCaption(), platform::MessageIcon::Stop, m_pOwner, MessageTopic()});
}

CScalePoller::~CScalePoller() {
    Stop();
}

void CScalePoller::RequestStop() {
    {
        std::lock_guard<std::mutex> lock(m_mxWake);
        m_bStopPolling.store(true);
    }
    m_cvWake.notify_all();
}

void CScalePoller::JoinThread() {
    if (!m_pPollThread)
        return;
    RequestStop();
    m_pPollThread->join();
    m_pPollThread.reset();
}

void CScalePoller::ConnectScale(unsigned int nPort, int nType, const ScaleLine& line) {
    JoinThread();
    // A port whose link was seen stays that link for the scale that replaces this one.
    const bool keepToLink =
        m_pScale && m_pScale->KeepsToLink() && m_pScale->m_nPortNumber == (nPort & 0xFFu);
    if (m_pScale) {
        m_pScale->Close();
        m_pScale.reset();
    }
    ReportQueuedMessages();

    {
        // A price for the scale that is going away means nothing to the next one.
        std::lock_guard<std::mutex> lock(m_mxWake);
        m_nPendingPrice = -1;
    }
    SetPortName(QString());
    m_bPortOpen.store(false);
    m_nState.store(ScaleState::Unknown);
    m_pScale = CreateScale(nType, nPort, line);
    if (!m_pScale)
        return;
    // The bound of a keyed weight, where the scale can say it.
    m_pScale->AskCapacity();
    if (keepToLink)
        m_pScale->KeepToLink();
    // Port errors are collected and shown on the user-interface thread from its event loop,
    // also this first one: the box is then withdrawn when the port comes back meanwhile.
    m_pScale->SetMessageHandler(
        [this](const QString& text) { m_exchangeMessages.push_back(text); });
    const bool opened = m_pScale->Open();
    SetPortName(m_pScale->PortName());
    if (m_pScale->m_nPortNumber == 0)
        return; // no port configured: nothing to wait for
    m_bPortOpen.store(opened);
    m_nState.store(opened ? ScaleState::Unknown : ScaleState::PortClosed);
    if (!m_exchangeMessages.empty()) {
        std::vector<QString> messages;
        messages.swap(m_exchangeMessages);
        QueueMessages(messages);
    }
    StartThread();
}

void CScalePoller::StartThread() {
    m_bStopPolling.store(false);
    try {
        m_pPollThread = std::make_unique<std::thread>(&CScalePoller::PollScaleThread, this);
    } catch (const std::system_error&) {
        m_bStopPolling.store(true);
        Report(ThreadErrorText());
    }
}

QString CScalePoller::PortName() const {
    std::lock_guard<std::mutex> lock(m_mxPortName);
    return m_strPortName;
}

void CScalePoller::SetPortName(const QString& name) {
    std::lock_guard<std::mutex> lock(m_mxPortName);
    m_strPortName = name;
}

void CScalePoller::ScaleAnswered() {
    if (m_bMessageOut.exchange(false))
        QCoreApplication::postEvent(m_pRelay.get(), new QEvent(kScaleAnsweredEvent));
}

void CScalePoller::Stop() {
    RequestStop();
    JoinThread();
    if (m_pScale) {
        m_pScale->Close();
        m_pScale.reset();
    }
    m_bPortOpen.store(false);
    ReportQueuedMessages();
}

void CScalePoller::SetPrice(unsigned int nPrice) {
    if (!m_pPollThread)
        return; // no scale, or a closed one: nothing would be sent anyway
    {
        std::lock_guard<std::mutex> lock(m_mxWake);
        m_nPendingPrice = nPrice;
    }
    m_cvWake.notify_all();
}

void CScalePoller::SetState(ScaleState state) {
    if (m_nState.exchange(state) != state && m_pReceiver)
        QCoreApplication::postEvent(m_pReceiver, new QEvent(WM_SCALE_STATE));
}

bool CScalePoller::Pause(int ms, long long& price) {
    std::unique_lock<std::mutex> lock(m_mxWake);
    m_cvWake.wait_for(lock, std::chrono::milliseconds(ms),
                      [this] { return m_bStopPolling.load() || m_nPendingPrice >= 0; });
    price = m_nPendingPrice;
    m_nPendingPrice = -1;
    return !m_bStopPolling.load();
}

void CScalePoller::TryReopen() {
    bool opened = false;
    {
        std::lock_guard<std::mutex> lock(m_csScale);
        // While the port is missing every attempt fails the same way: the operator heard
        // of the outage once, and its end is the weight coming back.
        opened = m_pScale->Open();
        m_exchangeMessages.clear();
        // The device behind the link may be another one now.
        SetPortName(m_pScale->PortName());
    }
    if (opened) {
        m_bPortOpen.store(true);
        SetState(ScaleState::Unknown);
    }
}

void CScalePoller::PollScaleThread() {
    try {
        using Clock = std::chrono::steady_clock;
        Clock::time_point nextReopen = Clock::now() + std::chrono::milliseconds(kReopenMs);
        for (;;) {
            if (!m_bPortOpen.load()) {
                // Waits for the port to come back; a price asked for meanwhile stays pending
                // for the scale once it answers again.
                {
                    std::unique_lock<std::mutex> lock(m_mxWake);
                    m_cvWake.wait_until(lock, nextReopen, [this] { return m_bStopPolling.load(); });
                }
                if (m_bStopPolling.load())
                    break;
                nextReopen = Clock::now() + std::chrono::milliseconds(kReopenMs);
                TryReopen();
                continue;
            }

            long long price = -1;
            // A scale that talks by itself is read again at once: its exchange waits for
            // the next line, which is the pause.
            if (!Pause(m_pScale && m_pScale->TalksByItself() ? 0 : 100, price))
                break;
            double weight = 0.0;
            ScaleState state = ScaleState::Unknown;
            bool lost = false;
            std::vector<QString> messages;
            {
                // Between two exchanges, so the scale always sees whole messages.
                std::lock_guard<std::mutex> lock(m_csScale);
                if (m_pScale && price >= 0)
                    m_pScale->SetPrice(static_cast<unsigned int>(price));
                if (m_pScale) {
                    weight = m_pScale->GetWeight();
                    state = m_pScale->State();
                    lost = m_pScale->PortLost();
                    if (lost) {
                        // One message for the whole outage: the exchange's own, or this.
                        if (m_exchangeMessages.empty())
                            m_exchangeMessages.push_back(m_pScale->LostPortMessage());
                        m_pScale->Close();
                    }
                }
                messages.swap(m_exchangeMessages);
            }
            m_nExchanges.fetch_add(1);
            const bool told = !messages.empty();
            if (told)
                QueueMessages(messages);
            if (lost) {
                m_bPortOpen.store(false);
                nextReopen = Clock::now() + std::chrono::milliseconds(kReopenMs);
                SetState(ScaleState::PortClosed);
                continue; // the weight of a vanished port is no reading
            }
            if (weight == -1.0) {
                SetState(state); // no reading: the last weight stays
                continue;
            }
            // An exchange that raised a message of its own does not end it.
            if (state != ScaleState::NoAnswer && !told)
                ScaleAnswered();
            // Stored before the stop flag is looked at: a stop during the exchange keeps its
            // weight but posts nothing.
            m_dWeight.store(weight);
            m_nState.store(state);
            if (m_bStopPolling.load())
                break;
            if (m_pReceiver)
                QCoreApplication::postEvent(m_pReceiver, new QEvent(WM_WEIGHT_UPDATE));
        }
    } catch (const std::exception&) {
        // Nothing may leave the thread; the screen goes on without weights.
        m_bStopPolling.store(true);
        QueueMessages({ThreadErrorText()});
    }
}

void CScalePoller::QueueMessages(const std::vector<QString>& texts) {
    m_bMessageOut.store(true);
    {
        std::lock_guard<std::mutex> lock(m_mxMessages);
        for (const QString& text : texts)
            m_queuedMessages.append(text);
    }
    QCoreApplication::postEvent(m_pRelay.get(), new QEvent(kScaleMessageEvent));
}

void CScalePoller::ReportQueuedMessages() {
    QStringList texts;
    {
        std::lock_guard<std::mutex> lock(m_mxMessages);
        texts.swap(m_queuedMessages);
    }
    for (const QString& text : texts)
        Report(text);
}
