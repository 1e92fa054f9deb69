// Benchmark: the weight polling period against a simulated scale that sends and takes its
// bytes at the real line speed, next to the physical floor of 100 ms plus the wire time of
// one exchange; how long closing waits for the polling thread; and, with a scale that sends
// one byte every 0.9 s, how long the user-interface thread spends handing over a price and
// closing.
#include "platform/paths.h"
#include "scales/scalefactory.h"
#include "scales/scalepoller.h"
#include "scalesimulator.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <numeric>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

class CStampReceiver : public QObject {
public:
    std::vector<Clock::time_point> m_stamps;
    bool event(QEvent* e) override {
        if (e->type() != WM_WEIGHT_UPDATE)
            return QObject::event(e);
        m_stamps.push_back(Clock::now());
        if (m_pLoop && m_stamps.size() >= m_nWanted)
            m_pLoop->quit();
        return true;
    }

    // Sleeps in an event loop until count stamps are there: the thread being measured gets
    // the processor to itself, as it would beside an idle screen.
    bool WaitFor(std::size_t count, int timeoutMs) {
        if (m_stamps.size() >= count)
            return true;
        QEventLoop loop;
        m_pLoop = &loop;
        m_nWanted = count;
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        loop.exec();
        m_pLoop = nullptr;
        return m_stamps.size() >= count;
    }

private:
    QEventLoop* m_pLoop = nullptr;
    std::size_t m_nWanted = 0;
};

// Processor time of the calling thread.
double ThreadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

struct Case {
    const char* name;
    CScaleSimulator::Protocol protocol;
    int type;
    int exchangeBytes; // both directions
    int linePeriodMs;  // a scale that talks by itself: its own line period, 0 otherwise
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int periods = argc > 1 ? std::max(5, std::atoi(argv[1])) : 40;
    QTemporaryDir dir;
    platform::SetModuleDirectoryOverride(dir.path());

    const Case cases[] = {
        {"CAS 9600 8N1", CScaleSimulator::Protocol::Cas, kScaleCas, 1 + 1 + 1 + 15, 0},
        {"Massa-K 4800 8E1", CScaleSimulator::Protocol::Massa, kScaleMassa, 1 + 2, 0},
        {"OKA 4800 8E2", CScaleSimulator::Protocol::Oka, kScaleOka, 18 + 18, 0},
        // "SI" CR LF and "S S      1.234 kg" CR LF.
        {"MT-SICS 9600 8N1", CScaleSimulator::Protocol::MtSics, kScaleMtSics, 4 + 19, 0},
        // One line "ST,GS,+00001.234kg" CR LF every 121 ms, as an indicator sends them: its
        // floor is the line period, each line read as it arrives.
        {"continuous 9600", CScaleSimulator::Protocol::Continuous, kScaleContinuous, 20, 121},
    };
    std::printf("polling period, %d periods each, simulator pacing at line speed\n", periods);
    std::printf("%-18s %9s %9s %9s %9s %9s %9s %8s %9s %8s\n", "scale", "floor ms", "mean ms",
                "median", "p95", "min", "max", "over %", "stop ms", "own cpu%");
    for (const Case& c : cases) {
        CScaleSimulator sim(c.protocol);
        sim.SetWeight(1.234);
        sim.SetPacing(true);
        if (c.linePeriodMs > 0) {
            CScaleSimulator::Faults f;
            f.nPeriodMs = c.linePeriodMs;
            sim.SetFaults(f);
        }
        QString error;
        if (!sim.Start(&error) || !sim.LinkAs(dir.filePath(QStringLiteral("COM1")), &error)) {
            std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
            return 1;
        }
        CStampReceiver receiver;
        CScalePoller poller(&receiver);
        poller.ConnectScale(1, c.type);
        if (!poller.IsPolling()) {
            std::fprintf(stderr, "%s: the port did not open\n", c.name);
            return 1;
        }
        // Two periods to settle, then the measured ones.
        receiver.WaitFor(3, 10000);
        const double cpuStart = ThreadCpuMs();
        const Clock::time_point wallStart = Clock::now();
        if (!receiver.WaitFor(static_cast<std::size_t>(periods) + 3, 60000)) {
            std::fprintf(stderr, "%s: too few weights\n", c.name);
            return 1;
        }
        const double ownCpu = 100.0 * (ThreadCpuMs() - cpuStart) / Ms(Clock::now() - wallStart);
        // Closing right after a weight arrived: the thread is in its pause.
        const Clock::time_point stopStart = Clock::now();
        poller.Stop();
        const double stopMs = Ms(Clock::now() - stopStart);

        std::vector<double> d;
        for (std::size_t i = 3; i < receiver.m_stamps.size(); ++i)
            d.push_back(Ms(receiver.m_stamps[i] - receiver.m_stamps[i - 1]));
        std::sort(d.begin(), d.end());
        const double mean = std::accumulate(d.begin(), d.end(), 0.0) / d.size();
        const double median = d[d.size() / 2];
        const double p95 = d[std::min(d.size() - 1, d.size() * 95 / 100)];
        const double wire = c.exchangeBytes * Ms(CScaleSimulator::ByteTime(c.protocol));
        const double floor = c.linePeriodMs > 0 ? c.linePeriodMs : 100.0 + wire;
        std::printf("%-18s %9.2f %9.2f %9.2f %9.2f %9.2f %9.2f %8.2f %9.2f %8.2f\n", c.name, floor,
                    mean, median, p95, d.front(), d.back(), 100.0 * (mean - floor) / floor, stopMs,
                    ownCpu);
        sim.Stop();
    }

    // The slow scale: one byte every 0.9 s. The figures are what a key press or the close
    // command can wait at most on the user-interface thread.
    {
        CScaleSimulator sim(CScaleSimulator::Protocol::Oka);
        sim.SetWeight(1.234);
        QString error;
        if (!sim.Start(&error) || !sim.LinkAs(dir.filePath(QStringLiteral("COM1")), &error)) {
            std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
            return 1;
        }
        CStampReceiver receiver;
        CScalePoller poller(&receiver);
        poller.ConnectScale(1, kScaleOka);
        receiver.WaitFor(1, 10000);
        CScaleSimulator::Faults slow;
        slow.nByteGapMs = 900;
        sim.SetFaults(slow);
        double worstPrice = 0.0;
        double worstStop = 0.0;
        const int rounds = std::max(3, periods / 10);
        for (int i = 0; i < rounds; ++i) {
            sim.WaitForRequests(sim.Requests() + 1, 5000); // an exchange is running
            for (unsigned int price = 0; price < 20; ++price) {
                const Clock::time_point t = Clock::now();
                poller.SetPrice(1000 + price);
                worstPrice = std::max(worstPrice, Ms(Clock::now() - t));
            }
            if (i + 1 == rounds) {
                const Clock::time_point t = Clock::now();
                poller.Stop();
                worstStop = std::max(worstStop, Ms(Clock::now() - t));
            }
        }
        // Closing right after an exchange began waits for that exchange's deadline.
        CScalePoller again(&receiver);
        again.ConnectScale(1, kScaleOka);
        sim.WaitForRequests(sim.Requests() + 1, 5000);
        const Clock::time_point t = Clock::now();
        again.Stop();
        worstStop = std::max(worstStop, Ms(Clock::now() - t));
        std::printf("\nslow OKA scale, one byte every 900 ms (deadline %d ms)\n",
                    CreateScale(kScaleOka, 1)->ExchangeDeadlineMs());
        std::printf("%-40s %9.3f\n", "SetPrice on the UI thread, worst ms", worstPrice);
        std::printf("%-40s %9.2f\n", "closing during an exchange, worst ms", worstStop);
        sim.Stop();
    }
    platform::SetModuleDirectoryOverride(QString());
    return 0;
}
