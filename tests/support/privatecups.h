// A CUPS scheduler of a test's own, on a socket in a temporary folder, so that a test can
// stop, kill and restart it, and remove or stop its queues, while other tests print to the
// shared one. Needs root (cupsd) and the capture backend of the cups service. While it
// runs, this process's CUPS calls (ours and Qt's) go to it.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class PrivateScheduler {
public:
    PrivateScheduler();
    ~PrivateScheduler();
    PrivateScheduler(const PrivateScheduler&) = delete;
    PrivateScheduler& operator=(const PrivateScheduler&) = delete;

    bool Start(QString* error);
    // Ends the scheduler as an administrator would, or at once (SIGKILL) as a crash would.
    void Stop();
    void Kill();

    QString Socket() const;
    // A folder for captured jobs that the backend accepts (root's alone, mode 0700).
    QString CaptureFolder() const;
    // A queue of CUPS's sample Zebra ZPL driver for a 58 x 40 mm label at 203 dpi that
    // stores its jobs in the capture folder.
    bool AddZebraQueue(const QString& name, QString* error, const QString& folder = QString());
    // Runs a CUPS command-line tool against this scheduler; false with error set when it
    // fails.
    bool Run(const QString& tool, const QStringList& args, QString* error = nullptr,
             QString* output = nullptr) const;
    // The jobs stored in the capture folder.
    QStringList CapturedJobs() const;
    // The digits zbarimg reads from the newest job's dots (the Zebra ZPL graphic decoded), or
    // why there are none.
    QString LastJobBarcode() const;

private:
    QTemporaryDir m_dir;
    QProcess m_cupsd;
};
