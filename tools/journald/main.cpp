// varnet-journald: the journal service of an installed counter. Under a system account of its
// own it alone writes the packing journal; the programs of the counter's operators hand it the
// rows of their labels over a local socket (systemd's socket, or --listen), and each row gets
// the account that the socket reports for the program that sent it. With a [Journal] section
// in a settings file that only root can change (/etc/varnet/central.ini), it also sends the rows
// to the chain's central journal.
#include "journal/centralsettings.h"
#include "journal/journal.h"
#include "journal/journaloutbox.h"
#include "journal/journalservice.h"
#include "platform/inifile.h"
#include "platform/messages.h"
#include "platform/odbc.h"
#include "platform/paths.h"
#include "platform/programstart.h"
#include "platform/trustedpath.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {

// A request holds at most CJournalService::kMaxRows rows of a few kilobytes each.
constexpr qsizetype kMaxRequest = 4 * 1024 * 1024;
// Programs that hold more connections than this wait for the next free one.
constexpr size_t kMaxClients = 64;
// A program that says nothing for this long is let go.
constexpr int kIdleMs = 30000;

volatile std::sig_atomic_t g_stop = 0;

void Log(const QString& text) {
    std::fprintf(stderr, "varnet-journald: %s\n", qPrintable(text));
    std::fflush(stderr);
}

struct Client {
    int fd = -1;
    QString account;
    QByteArray in;
    QByteArray out;
    qint64 idleSince = 0;
};

qint64 NowMs() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// The socket systemd passed (socket activation), or -1.
int ActivatedSocket() {
    const QByteArray pid = qgetenv("LISTEN_PID");
    const QByteArray fds = qgetenv("LISTEN_FDS");
    if (pid.isEmpty() || fds.toInt() != 1 || pid.toLongLong() != ::getpid())
        return -1;
    ::fcntl(3, F_SETFD, FD_CLOEXEC);
    return 3;
}

// A socket of our own at path, for the programs of the group that owns its folder.
int Listen(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (name.isEmpty() || static_cast<size_t>(name.size()) >= sizeof address.sun_path)
        return -1;
    std::memcpy(address.sun_path, name.constData(), static_cast<size_t>(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::lstat(name.constData(), &st) == 0 && S_ISSOCK(st.st_mode))
        ::unlink(name.constData());
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::chmod(name.constData(), 0660) != 0 || ::listen(fd, 64) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

QString PeerAccount(int fd) {
    ucred cred{};
    socklen_t len = sizeof cred;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0)
        return QString();
    return platform::AccountNameOf(cred.uid);
}

// The chain's central journal from a file that only root can change; empty otherwise, said why.
QString CentralConnection(const QString& ini) {
    if (!QFileInfo::exists(ini))
        return QString();
    const platform::TrustedPath trust = platform::CheckTrustedFile(ini);
    if (!trust.trusted) {
        Log(QStringLiteral("%1 is not used for the central journal: %2").arg(ini, trust.reason));
        return QString();
    }
    try {
        return CentralJournalSettings::Load(platform::CIniFile::Load(ini)).ConnectionString();
    } catch (const platform::odbc::DatabaseError& e) {
        Log(e.Text());
        return QString();
    }
}

// Reads what the client sent and answers every complete line; false when it is to be closed.
bool Serve(Client& c, CJournalService& service, CJournalOutbox* outbox) {
    char buf[65536];
    for (;;) {
        const ssize_t n = ::recv(c.fd, buf, sizeof buf, MSG_DONTWAIT);
        if (n == 0)
            return false;
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                break;
            if (errno == EINTR)
                continue;
            return false;
        }
        c.in.append(buf, n);
        if (c.in.size() > kMaxRequest)
            return false;
    }
    for (qsizetype end; (end = c.in.indexOf('\n')) >= 0;) {
        const QByteArray line = c.in.left(end);
        c.in.remove(0, end + 1);
        c.out += service.Handle(line, c.account) + '\n';
        if (outbox)
            outbox->Nudge();
    }
    return true;
}

// Writes what waits for the client; false when it is to be closed.
bool Flush(Client& c) {
    while (!c.out.isEmpty()) {
        const ssize_t n = ::send(c.fd, c.out.constData(), static_cast<size_t>(c.out.size()),
                                 MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n > 0) {
            c.out.remove(0, n);
            continue;
        }
        return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR);
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    platform::PrepareRuntimeDirectory();
    QCoreApplication app(argc, argv);
    platform::RestrictPluginFolders();
    platform::UseUtf8Characters();
    QCoreApplication::setApplicationName(QStringLiteral("varnet-journald"));
    QCoreApplication::setApplicationVersion(platform::ProgramVersion());
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "The journal service of an installed counter: writes the packing journal for the\n"
        "counter's programs, which reach it through a local socket (systemd's, or --listen).\n"
        "Exit codes: 0 stopped by a signal; 1 the journal or the socket could not be opened;\n"
        "2 bad arguments."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption journalOption(
        QStringLiteral("journal"),
        QStringLiteral("The journal file (default: Journal.db in %1).")
            .arg(platform::JournalDirectory()),
        QStringLiteral("path"));
    const QCommandLineOption listenOption(
        QStringLiteral("listen"),
        QStringLiteral("Listen on this socket (without systemd's socket activation)."),
        QStringLiteral("path"));
    const QCommandLineOption centralOption(
        QStringLiteral("central"),
        QStringLiteral("Settings file whose [Journal] names the central journal; used only when "
                       "root alone can change it (default /etc/varnet/central.ini)."),
        QStringLiteral("path"), QStringLiteral("/etc/varnet/central.ini"));
    parser.addOptions({journalOption, listenOption, centralOption});
    parser.process(app);

    // Nobody answers message boxes here: every message goes to the service's log.
    platform::SetMessageSink([](const platform::OperatorMessage& m) { Log(m.text); });
    const QString path = parser.isSet(journalOption) ? parser.value(journalOption)
                                                     : platform::JournalDirectory() +
                                                           QLatin1Char('/') + CJournal::FileName();
    int listener = ActivatedSocket();
    if (listener < 0 && parser.isSet(listenOption))
        listener = Listen(parser.value(listenOption));
    if (listener < 0) {
        Log(parser.isSet(listenOption)
                ? QStringLiteral("cannot listen on %1: %2")
                      .arg(parser.value(listenOption), QString::fromLocal8Bit(std::strerror(errno)))
                : QStringLiteral("no socket: start it through varnet-journald.socket, or give "
                                 "--listen"));
        return 1;
    }
    CJournalService service(path);
    if (!service.Open()) {
        Log(QStringLiteral("cannot open the journal %1: %2").arg(path, service.Error()));
        return 1;
    }
    std::unique_ptr<CJournalOutbox> outbox;
    if (const QString central = CentralConnection(parser.value(centralOption)); !central.isEmpty())
        outbox = std::make_unique<CJournalOutbox>(path, central);

    struct sigaction stop {};
    stop.sa_handler = [](int) { g_stop = 1; };
    ::sigaction(SIGTERM, &stop, nullptr);
    ::sigaction(SIGINT, &stop, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    std::vector<Client> clients;
    while (!g_stop) {
        std::vector<pollfd> fds;
        fds.push_back({listener, static_cast<short>(clients.size() < kMaxClients ? POLLIN : 0), 0});
        for (const Client& c : clients)
            fds.push_back({c.fd, static_cast<short>(POLLIN | (c.out.isEmpty() ? 0 : POLLOUT)), 0});
        if (::poll(fds.data(), fds.size(), 1000) < 0 && errno != EINTR)
            break;
        // What the sender to the central journal posts (an outage, a row set aside) goes to
        // the service's log.
        QCoreApplication::processEvents();
        const qint64 now = NowMs();
        for (size_t i = clients.size(); i-- > 0;) {
            Client& c = clients[i];
            const short got = fds[i + 1].revents;
            bool keep = true;
            if (got & (POLLIN | POLLHUP | POLLERR)) {
                keep = Serve(c, service, outbox.get());
                c.idleSince = now;
            }
            if (keep)
                keep = Flush(c) && now - c.idleSince < kIdleMs;
            if (!keep) {
                ::close(c.fd);
                clients.erase(clients.begin() + static_cast<std::ptrdiff_t>(i));
            }
        }
        if (fds[0].revents & POLLIN) {
            const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (fd >= 0) {
                Client c;
                c.fd = fd;
                c.account = PeerAccount(fd);
                c.idleSince = now;
                if (c.account.isEmpty())
                    ::close(fd);
                else
                    clients.push_back(std::move(c));
            }
        }
    }
    for (const Client& c : clients)
        ::close(c.fd);
    // The outbox stops within its own limit; rows it did not send wait in the journal.
    outbox.reset();
    return 0;
}
