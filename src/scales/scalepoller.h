// Polls the current scale on a thread of its own about every 100 ms plus one exchange, keeps
// the last weight and tells the main screen about each new one with a posted event. The main
// screen owns one poller; everything here but the thread runs on the user-interface thread,
// which never waits for the serial line: prices are handed to the thread.
#pragma once

#include "scales/iscale.h"
#include "scales/scalefactory.h"

#include <QEvent>
#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class QObject;
class QWidget;

// Posted to the receiver after a new weight has been stored; the weight itself is read with
// CScalePoller::Weight(), which may already hold a newer value.
constexpr QEvent::Type WM_WEIGHT_UPDATE = static_cast<QEvent::Type>(QEvent::User + 2024);
// Posted when the scale's state changed without a new weight (no answer, port lost or back);
// read it with CScalePoller::State().
constexpr QEvent::Type WM_SCALE_STATE = static_cast<QEvent::Type>(QEvent::User + 2026);

class CScalePoller {
public:
    // pReceiver gets WM_WEIGHT_UPDATE and must outlive the poller; pOwner, when given, owns
    // the message boxes of port errors (the main screen).
    explicit CScalePoller(QObject* pReceiver, QWidget* pOwner = nullptr);
    ~CScalePoller();
    CScalePoller(const CScalePoller&) = delete;
    CScalePoller& operator=(const CScalePoller&) = delete;

    // Stops polling, closes and drops the current scale, creates the scale of nType on port
    // nPort and starts polling it. A port that does not open has shown its message (port 0
    // shows none and is never polled); it is tried again every kReopenMs, silently, and
    // polled as soon as it opens. A port that goes away while polled is told once and
    // reopened the same way.
    void ConnectScale(unsigned int nPort, int nType, const ScaleLine& line = ScaleLine());
    // Ends polling and waits for the thread, then closes and drops the scale.
    void Stop();
    // Hands a price to the polling thread, which sends it before its next exchange; a price
    // not yet sent is replaced by a newer one. Returns at once. Nothing is sent while no
    // scale is polled.
    void SetPrice(unsigned int nPrice);
    // The last weight read, in kilograms.
    double Weight() const { return m_dWeight.load(); }
    // What the scale said with its last exchange, or that its port is not open.
    ScaleState State() const { return m_nState.load(); }
    // The port in messages and on the screen: "COM3 (/dev/ttyUSB0)"; empty without a scale.
    QString PortName() const;

    // How often a missing port is tried again.
    static constexpr int kReopenMs = 3000;
    // The topic of the scale's messages: a box still open when the scale answers again is
    // withdrawn (platform::WithdrawMessages), since what it reported is over.
    static QString MessageTopic();

    const IScale* Scale() const { return m_pScale.get(); }
    // Weight exchanges finished since the poller was made.
    int Exchanges() const { return m_nExchanges.load(); }
    // A polling thread exists and has not been asked to end or ended on an error.
    bool IsPolling() const { return m_pPollThread != nullptr && !m_bStopPolling.load(); }
    // The scale's port is open and being read (not waiting for a missing port to return).
    bool IsReading() const { return IsPolling() && m_bPortOpen.load(); }

private:
    void PollScaleThread();
    // One attempt to open a missing port, on the polling thread; silent either way.
    void TryReopen();
    void SetState(ScaleState state);
    void SetPortName(const QString& name);
    // An exchange got an answer: messages about the scale are over.
    void ScaleAnswered();
    bool Pause(int ms, long long& price);
    void StartThread();
    void RequestStop();
    void JoinThread();
    // Hands messages from the polling thread to the user-interface thread.
    void QueueMessages(const std::vector<QString>& texts);
    void Report(const QString& text) const;
    void ReportQueuedMessages();

    class CMessageRelay;

    QObject* m_pReceiver;
    QWidget* m_pOwner;
    std::unique_ptr<CMessageRelay> m_pRelay; // lives on the user-interface thread
    std::unique_ptr<IScale> m_pScale;        // replaced only while no thread runs
    std::unique_ptr<std::thread> m_pPollThread;
    std::atomic<bool> m_bStopPolling{false};
    std::atomic<double> m_dWeight{0.0};
    std::atomic<ScaleState> m_nState{ScaleState::Unknown};
    std::atomic<bool> m_bPortOpen{false};
    mutable std::mutex m_mxPortName;
    QString m_strPortName; // m_mxPortName; the thread renames it when the port comes back
    std::atomic<int> m_nExchanges{0};

    std::mutex m_csScale;                    // held by the polling thread for one exchange
    std::vector<QString> m_exchangeMessages; // port errors of the running call; m_csScale

    std::mutex m_mxWake; // with m_cvWake, lets a stop request or a price cut the pause short
    std::condition_variable m_cvWake;
    long long m_nPendingPrice = -1; // waiting for the thread; -1 none; m_mxWake

    std::mutex m_mxMessages;
    QStringList m_queuedMessages; // waiting for the user-interface thread; m_mxMessages
    // A message was handed over since the scale last answered: the next answer withdraws it.
    std::atomic<bool> m_bMessageOut{false};
};
