// A TCP relay on loopback that holds every piece of data for a fixed time in each direction:
// a long link to a server, for a kernel without a network emulator. It counts the round
// trips of each connection as the turns of its conversation: every time the client speaks
// again after the server answered.
#pragma once

#include <atomic>
#include <thread>

class CDelayLink {
public:
    // Relays to 127.0.0.1:serverPort with oneWayMs in each direction; Port() is where to
    // connect instead.
    CDelayLink(int serverPort, int oneWayMs);
    ~CDelayLink();
    CDelayLink(const CDelayLink&) = delete;
    CDelayLink& operator=(const CDelayLink&) = delete;

    bool IsListening() const { return m_listen >= 0; }
    int Port() const { return m_nPort; }
    // Round trips of every connection so far, and sets the count back to 0.
    long long TakeRoundTrips() { return m_roundTrips.exchange(0); }

private:
    void Run();

    int m_nServerPort;
    int m_nDelayMs;
    int m_listen = -1;
    int m_nPort = 0;
    int m_wake[2] = {-1, -1};
    std::atomic<long long> m_roundTrips{0};
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
};
