#include "delaylink.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <memory>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Piece {
    Clock::time_point due;
    std::vector<char> bytes;
    std::size_t sent = 0;
};

// One relayed connection: from[0] client to server, from[1] server to client.
struct Pair {
    int fd[2] = {-1, -1}; // client, server
    std::deque<Piece> queue[2];
    bool eof[2] = {false, false};
    int lastSpeaker = -1;
};

int Connect(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        return fd;
    }
    if (fd >= 0)
        ::close(fd);
    return -1;
}

} // namespace

CDelayLink::CDelayLink(int serverPort, int oneWayMs)
    : m_nServerPort(serverPort), m_nDelayMs(oneWayMs) {
    m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (m_listen < 0 || ::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(m_listen, 8) != 0 ||
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len) != 0 ||
        ::pipe(m_wake) != 0) {
        if (m_listen >= 0)
            ::close(m_listen);
        m_listen = -1;
        return;
    }
    m_nPort = ntohs(addr.sin_port);
    m_thread = std::thread([this] { Run(); });
}

CDelayLink::~CDelayLink() {
    if (m_listen < 0)
        return;
    m_bStop = true;
    const char c = 0;
    [[maybe_unused]] const ssize_t n = ::write(m_wake[1], &c, 1);
    m_thread.join();
    ::close(m_listen);
    ::close(m_wake[0]);
    ::close(m_wake[1]);
}

void CDelayLink::Run() {
    std::vector<std::unique_ptr<Pair>> pairs;
    const auto delay = std::chrono::milliseconds(m_nDelayMs);
    while (!m_bStop) {
        std::vector<pollfd> fds{{m_listen, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        Clock::time_point next = Clock::time_point::max();
        for (const auto& p : pairs)
            for (int side = 0; side < 2; ++side) {
                short events = p->eof[side] ? 0 : POLLIN;
                const std::deque<Piece>& q = p->queue[side];
                if (!q.empty())
                    next = std::min(next, q.front().due);
                fds.push_back({p->fd[side], events, 0});
            }
        int timeoutMs = -1;
        if (next != Clock::time_point::max())
            timeoutMs = static_cast<int>(std::max<long long>(
                0,
                std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now()).count() +
                    1));
        ::poll(fds.data(), fds.size(), timeoutMs);
        if (fds[0].revents & POLLIN) {
            const int client = ::accept(m_listen, nullptr, nullptr);
            const int server = client >= 0 ? Connect(m_nServerPort) : -1;
            if (server >= 0) {
                const int one = 1;
                ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
                auto p = std::make_unique<Pair>();
                p->fd[0] = client;
                p->fd[1] = server;
                pairs.push_back(std::move(p));
            } else if (client >= 0) {
                ::close(client);
            }
        }
        std::size_t at = 2;
        for (auto& p : pairs) {
            for (int side = 0; side < 2; ++side, ++at) {
                if (at >= fds.size() || !(fds[at].revents & (POLLIN | POLLHUP | POLLERR)))
                    continue;
                char buffer[65536];
                const ssize_t got = ::read(p->fd[side], buffer, sizeof buffer);
                if (got <= 0) {
                    p->eof[side] = true;
                    continue;
                }
                if (side == 0 && p->lastSpeaker != 0)
                    ++m_roundTrips;
                p->lastSpeaker = side;
                p->queue[side].push_back({Clock::now() + delay, {buffer, buffer + got}, 0});
            }
        }
        // What is due goes on, in order.
        for (auto& p : pairs)
            for (int side = 0; side < 2; ++side) {
                std::deque<Piece>& q = p->queue[side];
                while (!q.empty() && q.front().due <= Clock::now()) {
                    Piece& piece = q.front();
                    const ssize_t n = ::write(p->fd[1 - side], piece.bytes.data() + piece.sent,
                                              piece.bytes.size() - piece.sent);
                    if (n <= 0) {
                        q.clear();
                        p->eof[0] = p->eof[1] = true;
                        break;
                    }
                    piece.sent += static_cast<std::size_t>(n);
                    if (piece.sent < piece.bytes.size())
                        break;
                    q.pop_front();
                }
            }
        // A connection that one side ended and whose data is delivered is closed.
        pairs.erase(std::remove_if(pairs.begin(), pairs.end(),
                                   [](const std::unique_ptr<Pair>& p) {
                                       const bool done = (p->eof[0] || p->eof[1]) &&
                                                         p->queue[0].empty() && p->queue[1].empty();
                                       if (done) {
                                           ::close(p->fd[0]);
                                           ::close(p->fd[1]);
                                       }
                                       return done;
                                   }),
                    pairs.end());
    }
    for (auto& p : pairs) {
        ::close(p->fd[0]);
        ::close(p->fd[1]);
    }
}
