// A scale on the far end of a pseudo-terminal (on Windows: on a COM port, one end of a
// null-modem pair): answers CAS, Massa-K, OKA or MT-SICS requests byte by byte, or sends
// continuous output lines by itself; can pace its bytes at the line speed and can misbehave on
// request. It hears only an opener whose line speed matches its own, as a UART would. The
// program opens DevicePath() (or a COM<N> link to it; on Windows the pair's other port) as it
// would open a real port.
#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct termios;
namespace platform {
class CSerialPort;
}

class CScaleSimulator {
public:
    enum class Protocol { Cas, Massa, Oka, MtSics, Continuous };

    // One weight with its state, in the letters of MT-SICS: 'S' stable, 'D' dynamic (not yet
    // stable), 'I' busy, '+' overload, '-' underload; 0 takes the status of the faults.
    struct Reading {
        double kg = 0.0;
        char status = 0;
    };

    // A reading that stays on the pan for a time.
    struct Step {
        Reading reading;
        int nMs = 0;
    };

    // Ways to misbehave; the default answers every request correctly.
    struct Faults {
        bool bSilent = false;   // answers nothing at all
        int nCutAfter = -1;     // the weight reply stops after this many bytes; -1: whole
        int nNaks = 0;          // CAS: NAKs before the ACK of each exchange
        bool bWrongBcc = false; // CAS: the record's BCC is off by one bit
        char cStatus = 'S';     // CAS: the status byte; text protocols: the Reading status
        int nBadDigit = -1;     // OKA: index (0 units to 5) of a digit sent as 10; -1: none
        int nDelayMs = 0;       // waits this long before each weight reply
        int nByteGapMs = 0;     // sends the bytes of a reply this far apart (a slow scale)
        // Text protocols: the unit sent. A plain string: the faults are copied between
        // threads, and a shared Qt array would only make ThreadSanitizer guess.
        std::string unit = "kg";
        char cMode = 'G';      // continuous: 'G' gross, 'N' net, 0 field left out
        int nBurst = 1;        // text protocols: lines sent at once, each with the next weight
        bool bGarbage = false; // text protocols: a line of noise before each line
        int nPeriodMs = 100;   // continuous: time between two lines
    };

    explicit CScaleSimulator(Protocol protocol);
    ~CScaleSimulator();
    CScaleSimulator(const CScaleSimulator&) = delete;
    CScaleSimulator& operator=(const CScaleSimulator&) = delete;

    static bool ParseProtocol(const QString& name, Protocol& protocol);

    // The port to answer on, a COM port on Windows; elsewhere the simulator makes its own
    // pseudo-terminal and Start refuses a given device.
    void UseDevice(const QString& device) { m_strGivenDevice = device; }
    // Opens the pseudo-terminal pair (or the given port) and starts answering.
    bool Start(QString* error = nullptr);
    // Stops answering and closes the pair: an open port on it sees the device hang up, like
    // an adapter pulled out.
    void Stop();
    // The slave side, the device a scale opens.
    QString DevicePath() const { return m_strDevice; }
    // Makes linkPath (for example DIR/COM1) a symbolic link to the device.
    bool LinkAs(const QString& linkPath, QString* error = nullptr);

    // The weight of the following exchanges, in kilograms.
    void SetWeight(double kg);
    // One weight per exchange; the last one stays.
    void SetWeights(const std::vector<double>& kgs);
    void SetReadings(const std::vector<Reading>& readings);
    // Readings that follow the clock, not the exchanges, as goods at a counter do: from now
    // on each step holds for its time, however often the scale is asked, and the last one
    // stays. Replaced by the next SetWeight, SetWeights or SetReadings.
    void SetTimeline(const std::vector<Step>& steps);
    // The time the steps before the last one take.
    static int TimelineMs(const std::vector<Step>& steps);
    // The line speed the simulated scale is set to (its protocol's usual one by default); an
    // opener at another speed is not heard, and hears only noise.
    void SetBaudRate(int baud);
    int BaudRate() const;
    void SetFaults(const Faults& faults);
    // Sends each byte only after the time it takes on the line at the protocol's speed and
    // framing, and takes each received byte only after its own time on the line.
    void SetPacing(bool on);
    // CAS: the answers to the ENQs of one exchange, in turn; once all are used the next ENQ
    // starts again at the first. Empty: the faults decide.
    void SetHandshake(const QByteArray& answers);
    // The exact reply to a weight request (CAS: to DC1; continuous: each line sent); empty:
    // built from the weight.
    void SetReply(const QByteArray& reply);
    // Called on the simulator's thread for every price message received (OKA).
    void SetPriceCallback(std::function<void(unsigned int)> callback);

    // The terminal settings the opener of the device has given it (pseudo-terminals only).
    bool LineSettings(termios& tio) const;
    // Changes them, as another program using the terminal before might have.
    bool SetLineSettings(const termios& tio);

    // Every byte received so far, in order.
    QByteArray Received() const;
    // Prices shown on the display, in order (OKA).
    std::vector<unsigned int> Prices() const;
    // Weight requests answered (or left unanswered when silent).
    int Requests() const;
    bool WaitForRequests(int count, int timeoutMs) const;
    bool WaitForPrices(std::size_t count, int timeoutMs) const;

    // The bytes of a correct weight reply for kg, as this protocol sends it.
    static QByteArray WeightReply(Protocol protocol, double kg, const Faults& faults);
    static QByteArray WeightReply(Protocol protocol, double kg);
    // Time of one character on the protocol's line: start bit, data, parity and stop bits.
    static std::chrono::nanoseconds ByteTime(Protocol protocol);
    static int UsualBaudRate(Protocol protocol);
    // A text line of the protocol for one reading, with CR LF.
    static QByteArray TextLine(Protocol protocol, const Reading& reading, const Faults& faults);

private:
    void Run();
    // The line's own side: waits up to timeoutMs (-1: without end) for bytes and takes up to
    // capacity of them; 0 when none came, -1 when the simulator is to stop.
    int ReadLine(std::uint8_t* buffer, int capacity, int timeoutMs);
    void WriteLine(const char* bytes, int count);
    void TakeByte(std::uint8_t byte, std::chrono::steady_clock::time_point arrival);
    void Send(const QByteArray& bytes);
    void AnswerWeightRequest();
    Reading NextReading();
    void SendContinuousLine();
    bool HeardAtOurSpeed() const;
    std::chrono::nanoseconds OwnByteTime() const;

    const Protocol m_protocol;
    QString m_strDevice;
    QString m_strGivenDevice;
    std::unique_ptr<platform::CSerialPort> m_port; // Windows: the COM port answered on
    int m_fdMaster = -1;
    int m_fdSlave = -1; // kept open so the master never sees a hang-up between openers
    int m_wakePipe[2] = {-1, -1};
    std::thread m_thread;
    std::atomic<bool> m_bStop{false};

    using Clock = std::chrono::steady_clock;
    Clock::time_point m_rxFree; // when the receive line is next idle (pacing)
    Clock::time_point m_txFree; // when the send line is next idle (pacing)

    // Protocol state, simulator thread only.
    QByteArray m_message;         // OKA: the message being received; MT-SICS: the command line
    int m_nEnqInExchange = 0;     // CAS
    Clock::time_point m_nextLine; // continuous
    QByteArray m_trickle;         // bytes still to send one by one (Faults::nByteGapMs)
    Clock::time_point m_nextTrickle;

    mutable std::mutex m_mutex; // guards everything below
    mutable std::condition_variable m_changed;
    std::vector<Reading> m_readings{Reading()};
    std::vector<Step> m_timeline; // when not empty, in place of m_readings
    Clock::time_point m_timelineStart;
    int m_nBaud = 0;
    Faults m_faults;
    bool m_bPacing = false;
    QByteArray m_handshake;
    QByteArray m_reply;
    QByteArray m_received;
    std::vector<unsigned int> m_prices;
    int m_nRequests = 0;
    std::function<void(unsigned int)> m_onPrice;
};
