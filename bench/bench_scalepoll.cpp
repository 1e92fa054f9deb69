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
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
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
        return true;
    }
};

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

struct Case {
    const char* name;
    CScaleSimulator::Protocol protocol;
    int type;
    int exchangeBytes; // both directions
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int periods = argc > 1 ? std::max(5, std::atoi(argv[1])) : 40;
    QTemporaryDir dir;
    platform::SetModuleDirectoryOverride(dir.path());

    const Case cases[] = {
        {"CAS 9600 8N1", CScaleSimulator::Protocol::Cas, kScaleCas, 1 + 1 + 1 + 15},
        {"Massa-K 4800 8E1", CScaleSimulator::Protocol::Massa, kScaleMassa, 1 + 2},
        {"OKA 4800 8E2", CScaleSimulator::Protocol::Oka, kScaleOka, 18 + 18},
        // "SI" CR LF and "S S      1.234 kg" CR LF.
        {"MT-SICS 9600 8N1", CScaleSimulator::Protocol::MtSics, kScaleMtSics, 4 + 19},
        // One line "ST,GS,+00001.234kg" CR LF; the indicator sends one every 100 ms, so the
        // wait for the next line (up to a period) comes on top of this floor.
        {"continuous 9600", CScaleSimulator::Protocol::Continuous, kScaleContinuous, 20},
    };
    std::printf("polling period, %d periods each, simulator pacing at line speed\n", periods);
    std::printf("%-18s %9s %9s %9s %9s %9s %9s %8s %9s\n", "scale", "floor ms", "mean ms", "median",
                "p95", "min", "max", "over %", "stop ms");
    for (const Case& c : cases) {
        CScaleSimulator sim(c.protocol);
        sim.SetWeight(1.234);
        sim.SetPacing(true);
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
        while (receiver.m_stamps.size() < static_cast<std::size_t>(periods) + 3)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
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
        const double floor = 100.0 + wire;
        std::printf("%-18s %9.2f %9.2f %9.2f %9.2f %9.2f %9.2f %8.2f %9.2f\n", c.name, floor, mean,
                    median, p95, d.front(), d.back(), 100.0 * (mean - floor) / floor, stopMs);
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
        while (receiver.m_stamps.empty())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
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
