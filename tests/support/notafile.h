// Things that are not files, made where a program expects one of the counter's files: a FIFO
// (which a careless reader waits on for ever), a bound socket, a folder, and a link to a
// device. Each comes with the word the operator's message uses for it.
#pragma once

#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace notafile {

// The kinds, by the names the test rows use: "FIFO", "socket", "folder", "device".
QStringList Kinds();

// How the operator's messages call the kind: «канал FIFO», «сокет», «папка», «устройство».
QString Word(const QString& kind);

// Makes the kind at path (a device is a link to /dev/null, as an installer's link could be);
// false when it could not be made.
bool Make(const QString& kind, const QString& path);

// Lets a reader that waits on the FIFO at path go on after a while, so that a test whose
// reader runs in the test's own process fails instead of hanging: after the time given, a writer
// opens the FIFO and closes it again (the reader then reads an empty file), and Released() says so.
// Anything else at the path is left alone.
class FifoRelease {
public:
    FifoRelease(const QString& path, int afterMs);
    ~FifoRelease();
    FifoRelease(const FifoRelease&) = delete;
    FifoRelease& operator=(const FifoRelease&) = delete;

    bool Released() const { return m_bReleased; }

private:
    std::mutex m_mutex;
    std::condition_variable m_stop;
    bool m_bStopping = false;
    std::atomic<bool> m_bReleased{false};
    std::thread m_thread;
};

} // namespace notafile
