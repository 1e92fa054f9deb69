// Benchmark: what a polled CAS scale costs when nothing else happens: the processor time and
// the wake-ups (voluntary context switches) per second of the workstation's polling thread
// (the poller of the scales library, in this process) and of the polling tool varnet-scale,
// against a simulated scale in a process of its own that sends its bytes at the line's speed.
// VARNET_BENCH_BEFORE names the bin folder of another build, whose varnet-scale is measured
// beside this one's (an earlier version's, for a before and after in one run).
#include "platform/paths.h"
#include "scales/scalefactory.h"
#include "scales/scalepoller.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Cost {
    double cpuMsPerS = 0;
    double wakeupsPerS = 0;
    double weightsPerS = 0;
};

double CpuMs(const rusage& u) {
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0 +
           (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
}

class CCounter : public QObject {
public:
    int m_nWeights = 0;
    bool event(QEvent* e) override {
        if (e->type() != WM_WEIGHT_UPDATE)
            return QObject::event(e);
        ++m_nWeights;
        return true;
    }
};

// This process while its poller polls for seconds; the event loop only counts the weights.
Cost Poller(double seconds) {
    CCounter counter;
    CScalePoller poller(&counter);
    poller.ConnectScale(1, kScaleCas);
    if (!poller.IsPolling())
        return {};
    QEventLoop settle;
    QTimer::singleShot(1000, &settle, &QEventLoop::quit);
    settle.exec();
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    const int weights = counter.m_nWeights;
    const auto start = std::chrono::steady_clock::now();
    QEventLoop loop;
    QTimer::singleShot(int(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    const double s =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    poller.Stop();
    return {(CpuMs(after) - CpuMs(before)) / s, (after.ru_nvcsw - before.ru_nvcsw) / s,
            (counter.m_nWeights - weights) / s};
}

// varnet-scale --count n as a process of its own, measured by the kernel's account of it.
Cost Tool(const QString& program, const QString& device, int count) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        dup2(null, 1);
        const QByteArray p = program.toLocal8Bit(), d = device.toLocal8Bit(),
                         n = QByteArray::number(count);
        execl(p.constData(), p.constData(), "--protocol", "cas", "--device", d.constData(),
              "--count", n.constData(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage u{};
    wait4(pid, &status, 0, &u);
    const double s =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return {};
    return {CpuMs(u) / s, u.ru_nvcsw / s, count / s};
}

void Print(const char* what, const Cost& c) {
    std::printf("%-44s %10.3f %12.1f %10.2f\n", what, c.cpuMsPerS, c.wakeupsPerS, c.weightsPerS);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? std::max(2.0, std::atof(argv[1])) : 20.0;
    QTemporaryDir dir;
    platform::SetModuleDirectoryOverride(dir.path());
    const QString bin = QCoreApplication::applicationDirPath();
    // The scale: a process of its own, so that its work is not counted here.
    QProcess sim;
    sim.start(bin + QStringLiteral("/varnet-scale-sim"),
              {QStringLiteral("--protocol"), QStringLiteral("cas"), QStringLiteral("--weight"),
               QStringLiteral("1.234"), QStringLiteral("--pace"), QStringLiteral("--link-dir"),
               dir.path()});
    const QString device = dir.filePath(QStringLiteral("COM1"));
    for (int i = 0; i < 100 && !QFile::exists(device); ++i)
        QThread::msleep(50);
    if (!QFile::exists(device)) {
        std::fprintf(stderr, "no simulated scale at %s\n", qPrintable(device));
        return 1;
    }
    std::printf("a CAS scale at 9600 baud polled for %.0f s (18 bytes an exchange)\n", seconds);
    std::printf("%-44s %10s %12s %10s\n", "", "cpu ms/s", "wake-ups/s", "weights/s");
    Print("polling thread (this process)", Poller(seconds));
    const int count = int(seconds * 1000 / 135);
    Print("varnet-scale (this build)", Tool(bin + QStringLiteral("/varnet-scale"), device, count));
    const QString before = qEnvironmentVariable("VARNET_BENCH_BEFORE");
    if (!before.isEmpty())
        Print("varnet-scale (VARNET_BENCH_BEFORE)",
              Tool(before + QStringLiteral("/varnet-scale"), device, count));
    sim.terminate();
    sim.waitForFinished(5000);
    platform::SetModuleDirectoryOverride(QString());
    return 0;
}
