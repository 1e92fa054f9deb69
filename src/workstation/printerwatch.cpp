#include "workstation/printerwatch.h"

#include "platform/printer.h"

#include <QCoreApplication>
#include <QEvent>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {
const QEvent::Type kAnswerEvent = static_cast<QEvent::Type>(QEvent::User + 2030);
}

// What the thread and the watch share; the thread keeps it alive when the watch is gone.
struct CPrinterWatch::Shared {
    std::mutex mutex;
    std::condition_variable wake;
    QObject* receiver = nullptr; // null once the watch is gone; mutex
    QString printer;             // mutex
    bool askNow = true;          // mutex
    bool stop = false;           // mutex
    bool finished = false;       // mutex
    PrinterStatus answer;        // mutex
    std::thread thread;
};

CPrinterWatch::CPrinterWatch(QObject* parent)
    : QObject(parent), m_shared(std::make_shared<Shared>()) {
    m_shared->receiver = this;
    std::shared_ptr<Shared> shared = m_shared;
    m_shared->thread = std::thread([shared] {
        std::unique_lock<std::mutex> lock(shared->mutex);
        for (;;) {
            shared->wake.wait_for(lock, std::chrono::milliseconds(kPeriodMs),
                                  [&] { return shared->stop || shared->askNow; });
            if (shared->stop)
                break;
            shared->askNow = false;
            const QString printer = shared->printer;
            lock.unlock();
            const PrinterStatus status = Ask(printer);
            lock.lock();
            if (shared->stop)
                break;
            // An answer about a printer that is no longer the configured one is stale.
            if (printer != shared->printer)
                continue;
            shared->answer = status;
            if (shared->receiver)
                QCoreApplication::postEvent(shared->receiver, new QEvent(kAnswerEvent));
        }
        shared->finished = true;
        shared->wake.notify_all();
    });
}

CPrinterWatch::~CPrinterWatch() {
    std::unique_lock<std::mutex> lock(m_shared->mutex);
    m_shared->stop = true;
    m_shared->receiver = nullptr;
    m_shared->wake.notify_all();
    // A thread in the middle of a question to a scheduler that hangs is left to finish by
    // itself: closing the screen never waits for the spooler.
    const bool finished = m_shared->wake.wait_for(lock, std::chrono::milliseconds(500),
                                                  [this] { return m_shared->finished; });
    lock.unlock();
    if (finished)
        m_shared->thread.join();
    else
        m_shared->thread.detach();
}

void CPrinterWatch::SetPrinter(const QString& name) {
    m_strPrinter = name;
    m_status = PrinterStatus();
    {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        m_shared->printer = name;
        m_shared->askNow = true;
    }
    m_shared->wake.notify_all();
    Q_EMIT StatusChanged();
}

void CPrinterWatch::AskNow() {
    {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        m_shared->askNow = true;
    }
    m_shared->wake.notify_all();
}

bool CPrinterWatch::event(QEvent* e) {
    if (e->type() != kAnswerEvent)
        return QObject::event(e);
    PrinterStatus status;
    {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        if (m_shared->printer != m_strPrinter)
            return true;
        status = m_shared->answer;
    }
    if (status != m_status) {
        m_status = status;
        Q_EMIT StatusChanged();
    }
    return true;
}

PrinterStatus CPrinterWatch::Ask(const QString& name) {
    PrinterStatus s;
    if (name.isEmpty()) {
        s.kind = PrinterStatus::NoPrinter;
        return s;
    }
    const platform::SpoolerState state = platform::QuerySpoolerState(name);
    s.kind = !state.exists   ? PrinterStatus::NotInstalled
             : state.stopped ? PrinterStatus::Stopped
                             : PrinterStatus::Ready;
    s.reason = state.reason;
    return s;
}
