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

class CScalePoller {
public:
    // pReceiver gets WM_WEIGHT_UPDATE and must outlive the poller; pOwner, when given, owns
    // the message boxes of port errors (the main screen).
    explicit CScalePoller(QObject* pReceiver, QWidget* pOwner = nullptr);
    ~CScalePoller();
    CScalePoller(const CScalePoller&) = delete;
    CScalePoller& operator=(const CScalePoller&) = delete;

    // Stops polling, closes and drops the current scale, creates the scale of nType on port
    // nPort and starts polling it when it opens. A port that does not open has shown its
    // message (port 0 shows none) and leaves a closed scale that is not polled.
    void ConnectScale(unsigned int nPort, int nType, const ScaleLine& line = ScaleLine());
    // Ends polling and waits for the thread, then closes and drops the scale.
    void Stop();
    // Hands a price to the polling thread, which sends it before its next exchange; a price
    // not yet sent is replaced by a newer one. Returns at once. Nothing is sent while no
    // scale is polled.
    void SetPrice(unsigned int nPrice);
    // The last weight read, in kilograms.
    double Weight() const { return m_dWeight.load(); }

    const IScale* Scale() const { return m_pScale.get(); }
    // Weight exchanges finished since the poller was made.
    int Exchanges() const { return m_nExchanges.load(); }
    // A polling thread exists and has not been asked to end or ended on an error.
    bool IsPolling() const { return m_pPollThread != nullptr && !m_bStopPolling.load(); }

private:
    void PollScaleThread();
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
    std::atomic<int> m_nExchanges{0};

    std::mutex m_csScale;                    // held by the polling thread for one exchange
    std::vector<QString> m_exchangeMessages; // port errors of the running call; m_csScale

    std::mutex m_mxWake; // with m_cvWake, lets a stop request or a price cut the pause short
    std::condition_variable m_cvWake;
    long long m_nPendingPrice = -1; // waiting for the thread; -1 none; m_mxWake

    std::mutex m_mxMessages;
    QStringList m_queuedMessages; // waiting for the user-interface thread; m_mxMessages
};
