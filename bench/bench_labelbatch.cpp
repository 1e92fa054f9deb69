// Benchmark: varnet-label drawing labels to pictures, one process per label beside batches of
// one process for many labels, at three PNG compression levels: what one more label of a batch
// costs, and how much of it is the picture's compression. The figures are processor time (user
// and system) of the tool's process, which other work on the machine disturbs less than the
// time on the clock.
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

QString g_tool;
QString g_layout;

// Runs varnet-label with args; its processor time in milliseconds, or -1.
double Run(const QStringList& args) {
    std::vector<QByteArray> bytes{g_tool.toLocal8Bit()};
    for (const QString& a : args)
        bytes.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage u{};
    wait4(pid, &status, 0, &u);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "varnet-label failed (%d)\n", WEXITSTATUS(status));
        return -1;
    }
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0 +
           (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

QStringList Page() {
    return {"--layout", g_layout, "--page", "58x40", "--dpi", "203", "--penny", "--units"};
}

// The batch of rows labels, with barcodes and names that differ from label to label.
QString Batch(const QTemporaryDir& dir, int rows) {
    const QString path = dir.filePath(QStringLiteral("batch-%1.csv").arg(rows));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write("barcode,name,price,quantity,sum\n");
    for (int i = 0; i < rows; ++i)
        f.write(QStringLiteral("2700%1%2,Филе куриное охлаждённое %3,389.90,0.%4,%5\n")
                    .arg(100 + i % 900)
                    .arg(i % 100000, 5, 10, QLatin1Char('0'))
                    .arg(i)
                    .arg(100 + i % 900)
                    .arg(389.9 * (100 + i % 900) / 1000, 0, 'f', 2)
                    .toUtf8());
    return path;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int extra = argc > 1 ? std::max(10, std::atoi(argv[1])) : 200;
    const int passes = 5;
    g_tool = QCoreApplication::applicationDirPath() + QStringLiteral("/varnet-label");
    QTemporaryDir dir;
    g_layout = dir.filePath(QStringLiteral("Varnet.cfg"));
    if (Run({"sample", "--kind", "weight", "--page", "58x40", "--out", g_layout}) < 0)
        return 1;
    const QString one = Batch(dir, 1);
    const QString many = Batch(dir, 1 + extra);
    const QString out = dir.filePath(QStringLiteral("out"));

    std::vector<double> single;
    for (int i = 0; i < 5; ++i)
        single.push_back(Run(QStringList{"render", "--barcode", "270010000500", "--name", "Филе",
                                         "--out", dir.filePath(QStringLiteral("one.png"))} +
                             Page()));
    std::printf("58 x 40 mm weight labels at 203 dpi, processor ms, median of %d passes\n", passes);
    std::printf("%-46s %10.2f ms\n", "one process per label (render)", Median(single));
    std::printf("\n%-22s %12s %14s %16s %12s\n", "batch", "1 label ms", "1+N labels ms",
                "each extra ms", "PNG bytes");
    for (const QString& level : {QStringLiteral("6"), QStringLiteral("1"), QStringLiteral("0")}) {
        std::vector<double> first, all;
        for (int i = 0; i < passes; ++i) {
            first.push_back(
                Run(QStringList{"render", "--batch", one, "--out", out, "--png-level", level} +
                    Page()));
            all.push_back(
                Run(QStringList{"render", "--batch", many, "--out", out, "--png-level", level} +
                    Page()));
        }
        const double a = Median(first), b = Median(all);
        std::printf("%-22s %12.2f %14.2f %16.3f %12lld\n",
                    qPrintable(QStringLiteral("PNG level %1, N = %2").arg(level).arg(extra)), a, b,
                    (b - a) / extra, QFile(out + QStringLiteral("/label-0001.png")).size());
    }
    return 0;
}
