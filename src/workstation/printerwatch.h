// Keeps the configured printer's state in sight: a thread of its own asks the spooler every
// few seconds (and at once when asked to), and the answer reaches the user-interface thread
// as a signal. The screen never waits for the spooler: a scheduler that hangs holds only
// this thread, and closing does not wait for it.
#pragma once

#include "workstation/statusstrip.h"

#include <QObject>
#include <QString>

#include <memory>

class CPrinterWatch : public QObject {
    Q_OBJECT

public:
    explicit CPrinterWatch(QObject* parent = nullptr);
    ~CPrinterWatch() override;

    // The printer to watch; asks at once.
    void SetPrinter(const QString& name);
    // Asks again at once (after a label, or when the operator looks).
    void AskNow();
    const QString& Printer() const { return m_strPrinter; }
    const PrinterStatus& Status() const { return m_status; }

    // How often the spooler is asked when nothing else asks.
    static constexpr int kPeriodMs = 3000;

    // The spooler's answer for one printer, as the thread gets it (also for tests).
    static PrinterStatus Ask(const QString& name);

Q_SIGNALS:
    void StatusChanged();

protected:
    bool event(QEvent* event) override;

private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
    QString m_strPrinter;
    PrinterStatus m_status;
};
