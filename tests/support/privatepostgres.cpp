#include "support/privatepostgres.h"

#include <QDir>
#include <QProcess>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A port nobody listens on right now, as the kernel hands out for an ephemeral bind.
int FreeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return 0;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        port = ntohs(addr.sin_port);
    ::close(fd);
    return port;
}

} // namespace

PrivatePostgres::PrivatePostgres()
    : m_dir(QDir::tempPath() + QStringLiteral("/varnet-pgx-XXXXXX")) {
    for (const QString& d :
         QDir(QStringLiteral("/usr/lib/postgresql"))
             .entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::Reversed)) {
        const QString bin = QStringLiteral("/usr/lib/postgresql/") + d + QStringLiteral("/bin");
        if (QFile::exists(bin + QStringLiteral("/pg_ctl"))) {
            m_strBin = bin;
            break;
        }
    }
}

PrivatePostgres::~PrivatePostgres() {
    Stop();
}

QString PrivatePostgres::Bin(const QString& program) const {
    return m_strBin + QLatin1Char('/') + program;
}

bool PrivatePostgres::Run(const QString& program, const QStringList& arguments) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    // The server refuses to run as root: root runs it as the postgres login.
    if (::geteuid() == 0)
        p.start(QStringLiteral("runuser"),
                QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"),
                            Bin(program)} +
                    arguments);
    else
        p.start(Bin(program), arguments);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        m_strError = program + QStringLiteral(": ") + QString::fromLocal8Bit(p.readAll());
        return false;
    }
    return true;
}

bool PrivatePostgres::Start() {
    if (m_strBin.isEmpty() || !m_dir.isValid()) {
        m_strError = QStringLiteral("no PostgreSQL server installed");
        return false;
    }
    if (::geteuid() == 0) {
        const passwd* pw = ::getpwnam("postgres");
        if (!pw ||
            ::chown(QFile::encodeName(m_dir.path()).constData(), pw->pw_uid, pw->pw_gid) != 0) {
            m_strError = QStringLiteral("no postgres login to run the server as");
            return false;
        }
    }
    const QString data = m_dir.filePath(QStringLiteral("data"));
    if (!Run(QStringLiteral("initdb"),
             {QStringLiteral("-D"), data, QStringLiteral("-U"), QStringLiteral("postgres"),
              QStringLiteral("--auth=trust"), QStringLiteral("-E"), QStringLiteral("UTF8"),
              QStringLiteral("--locale=C.UTF-8")}))
        return false;
    m_nPort = FreeLoopbackPort();
    return Launch();
}

bool PrivatePostgres::Resume() {
    return m_bRunning || Launch();
}

bool PrivatePostgres::Launch() {
    const QString data = m_dir.filePath(QStringLiteral("data"));
    const QString options =
        QStringLiteral("-c listen_addresses=127.0.0.1 -c port=%1 -c unix_socket_directories=%2 "
                       "-c fsync=off")
            .arg(QString::number(m_nPort), m_dir.path());
    m_bRunning = Run(QStringLiteral("pg_ctl"),
                     {QStringLiteral("-D"), data, QStringLiteral("-l"),
                      m_dir.filePath(QStringLiteral("server.log")), QStringLiteral("-o"), options,
                      QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("60"),
                      QStringLiteral("start")});
    return m_bRunning;
}

bool PrivatePostgres::Restart() {
    // pg_ctl keeps the options the server was started with (postmaster.opts).
    return Run(QStringLiteral("pg_ctl"),
               {QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data")), QStringLiteral("-l"),
                m_dir.filePath(QStringLiteral("server.log")), QStringLiteral("-m"),
                QStringLiteral("fast"), QStringLiteral("-w"), QStringLiteral("-t"),
                QStringLiteral("60"), QStringLiteral("restart")});
}

void PrivatePostgres::Stop() {
    if (!m_bRunning)
        return;
    m_bRunning = false;
    Run(QStringLiteral("pg_ctl"),
        {QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data")), QStringLiteral("-m"),
         QStringLiteral("immediate"), QStringLiteral("-w"), QStringLiteral("stop")});
}
