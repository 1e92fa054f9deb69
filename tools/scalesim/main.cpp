// varnet-scale-sim: a CAS, Massa-K, OKA, MT-SICS or continuous-output scale on a
// pseudo-terminal (on Windows: on a COM port of a null-modem pair), for the demo, the tests and
// installers without a scale at hand. Commands on standard input change the weight and the
// misbehaviour while it runs.
#include "platform/programstart.h"
#include "scalesimulator.h"
#include "stopwait.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <QTextStream>

#include <cstdio>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>

namespace {

std::mutex g_outMutex;

void Say(const QString& line) {
    std::lock_guard<std::mutex> lock(g_outMutex);
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

bool ToDouble(const QString& text, double& value) {
    bool ok = false;
    value = text.toDouble(&ok); // QString::toDouble always reads '.' as the decimal point
    return ok;
}

// Applies one command line of standard input; false for an unknown command.
bool Apply(const QString& line, CScaleSimulator& sim, CScaleSimulator::Faults& faults) {
    const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty())
        return true;
    const QString& cmd = words[0];
    const QString arg = words.value(1);
    double kg = 0.0;
    if (words.size() == 1 && ToDouble(cmd, kg)) {
        sim.SetWeight(kg);
        return true;
    }
    if (cmd == QLatin1String("readings")) {
        // KG:C with C a status letter, one per exchange (or line); the last stays.
        std::vector<CScaleSimulator::Reading> readings;
        for (int i = 1; i < words.size(); ++i) {
            const QStringList parts = words[i].split(QLatin1Char(':'));
            if (parts.size() != 2 || parts[1].size() != 1 || !ToDouble(parts[0], kg))
                return false;
            readings.push_back({kg, parts[1].at(0).toLatin1()});
        }
        sim.SetReadings(readings);
        return true;
    }
    if (cmd == QLatin1String("timeline")) {
        // KG:C:MS, each held for MS milliseconds from now; the last stays.
        std::vector<CScaleSimulator::Step> steps;
        for (int i = 1; i < words.size(); ++i) {
            const QStringList parts = words[i].split(QLatin1Char(':'));
            bool okMs = false;
            const int ms = parts.value(2).toInt(&okMs);
            if (parts.size() != 3 || parts[1].size() != 1 || !ToDouble(parts[0], kg) || !okMs ||
                ms < 0)
                return false;
            steps.push_back({{kg, parts[1].at(0).toLatin1()}, ms});
        }
        sim.SetTimeline(steps);
        return true;
    }
    if (cmd == QLatin1String("weights")) {
        std::vector<double> kgs;
        for (int i = 1; i < words.size(); ++i) {
            if (!ToDouble(words[i], kg))
                return false;
            kgs.push_back(kg);
        }
        sim.SetWeights(kgs);
        return true;
    }
    bool ok = true;
    if (cmd == QLatin1String("silent"))
        faults.bSilent = arg == QLatin1String("on");
    else if (cmd == QLatin1String("cut"))
        faults.nCutAfter = arg == QLatin1String("off") ? -1 : arg.toInt(&ok);
    else if (cmd == QLatin1String("naks"))
        faults.nNaks = arg.toInt(&ok);
    else if (cmd == QLatin1String("bcc"))
        faults.bWrongBcc = arg == QLatin1String("bad");
    else if (cmd == QLatin1String("status") && arg.size() == 1)
        faults.cStatus = arg.at(0).toLatin1();
    else if (cmd == QLatin1String("digit"))
        faults.nBadDigit = arg == QLatin1String("off") ? -1 : arg.toInt(&ok);
    else if (cmd == QLatin1String("delay"))
        faults.nDelayMs = arg.toInt(&ok);
    else if (cmd == QLatin1String("pace"))
        sim.SetPacing(arg == QLatin1String("on"));
    else if (cmd == QLatin1String("gap"))
        faults.nByteGapMs = arg.toInt(&ok);
    else if (cmd == QLatin1String("unit") && !arg.isEmpty())
        faults.unit = arg.toStdString();
    else if (cmd == QLatin1String("mode"))
        faults.cMode = arg == QLatin1String("none") ? '\0' : arg.at(0).toLatin1();
    else if (cmd == QLatin1String("burst"))
        faults.nBurst = arg.toInt(&ok);
    else if (cmd == QLatin1String("garbage"))
        faults.bGarbage = arg == QLatin1String("on");
    else if (cmd == QLatin1String("period"))
        faults.nPeriodMs = arg.toInt(&ok);
    else if (cmd == QLatin1String("baud")) {
        const int baud = arg.toInt(&ok);
        if (ok)
            sim.SetBaudRate(baud);
    } else if (cmd == QLatin1String("normal"))
        faults = CScaleSimulator::Faults();
    else
        return false;
    if (ok)
        sim.SetFaults(faults);
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    platform::PrepareRuntimeDirectory();
    QCoreApplication app(argc, argv);
    platform::RestrictPluginFolders();
    platform::UseUtf8Characters();
    QCoreApplication::setApplicationName(QStringLiteral("varnet-scale-sim"));
    QCoreApplication::setApplicationVersion(platform::ProgramVersion());
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "A scale on a pseudo-terminal (Windows: on the COM port --device, one end of a\n"
        "null-modem pair). Standard input takes one command a line:\n"
        "  KG | weights KG... | readings KG:C... | timeline KG:C:MS... |\n"
        "  silent on|off | cut N|off |\n"
        "  naks N | bcc good|bad |\n"
        "  status C | digit I|off | delay MS | pace on|off | gap MS | unit U |\n"
        "  mode G|N|none | burst N | garbage on|off | period MS | baud N | normal | quit\n"
        "Status letters: S stable, D or U not stable, I busy, + overload, - underload.\n"
        "At the end of standard input it goes on answering until SIGINT or SIGTERM\n"
        "(Windows: Ctrl+C).\n"
        "Exit codes: 0 stopped by quit or a signal; 1 bad arguments; 2 the\n"
        "pseudo-terminal could not be made or linked, or the port not opened."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption protocolOpt(QStringLiteral("protocol"),
                                         QStringLiteral("cas, massa, oka, mtsics or continuous."),
                                         QStringLiteral("name"));
    const QCommandLineOption weightOpt(
        QStringLiteral("weight"),
        QStringLiteral("Weight in kg; given more than once, one per exchange, the last stays."),
        QStringLiteral("kg"));
    const QCommandLineOption paceOpt(QStringLiteral("pace"),
                                     QStringLiteral("Send and take bytes at the line speed."));
    const QCommandLineOption deviceOpt(
        QStringLiteral("device"),
        QStringLiteral("Windows: the COM port to answer on, for example COM8."),
        QStringLiteral("port"));
    const QCommandLineOption linkDirOpt(QStringLiteral("link-dir"),
                                        QStringLiteral("Link the device as DIR/COM<port>."),
                                        QStringLiteral("dir"));
    const QCommandLineOption portOpt(QStringLiteral("port"),
                                     QStringLiteral("Port number of the link (default 1)."),
                                     QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption silentOpt(QStringLiteral("silent"), QStringLiteral("Answer nothing."));
    const QCommandLineOption cutOpt(QStringLiteral("cut"),
                                    QStringLiteral("Stop each weight reply after N bytes."),
                                    QStringLiteral("n"));
    const QCommandLineOption naksOpt(QStringLiteral("naks"),
                                     QStringLiteral("CAS: N NAKs before each ACK."),
                                     QStringLiteral("n"));
    const QCommandLineOption badBccOpt(QStringLiteral("bad-bcc"),
                                       QStringLiteral("CAS: send a wrong BCC."));
    const QCommandLineOption statusOpt(QStringLiteral("status"),
                                       QStringLiteral("CAS: status byte (default S)."),
                                       QStringLiteral("c"));
    const QCommandLineOption badDigitOpt(QStringLiteral("bad-digit"),
                                         QStringLiteral("OKA: send digit I (0 units .. 5) as 10."),
                                         QStringLiteral("i"));
    const QCommandLineOption delayOpt(QStringLiteral("delay"),
                                      QStringLiteral("Wait MS before each weight reply."),
                                      QStringLiteral("ms"));
    const QCommandLineOption baudOpt(
        QStringLiteral("baud"),
        QStringLiteral("Line speed of the simulated scale (default: its protocol's usual)."),
        QStringLiteral("n"));
    const QCommandLineOption unitOpt(QStringLiteral("unit"),
                                     QStringLiteral("MT-SICS, continuous: unit sent (kg)."),
                                     QStringLiteral("u"));
    const QCommandLineOption periodOpt(QStringLiteral("period"),
                                       QStringLiteral("Continuous: ms between lines (100)."),
                                       QStringLiteral("ms"));
    const QCommandLineOption gapOpt(QStringLiteral("gap"),
                                    QStringLiteral("Send reply bytes MS apart (a slow scale)."),
                                    QStringLiteral("ms"));
    const QCommandLineOption priceLogOpt(QStringLiteral("price-log"),
                                         QStringLiteral("Append each price received to FILE."),
                                         QStringLiteral("file"));
    parser.addOptions({protocolOpt, weightOpt, paceOpt, deviceOpt, linkDirOpt, portOpt, silentOpt,
                       cutOpt, naksOpt, badBccOpt, statusOpt, badDigitOpt, delayOpt, baudOpt,
                       unitOpt, periodOpt, gapOpt, priceLogOpt});
    parser.process(app);

    CScaleSimulator::Protocol protocol;
    if (!CScaleSimulator::ParseProtocol(parser.value(protocolOpt), protocol)) {
        std::fprintf(
            stderr, "varnet-scale-sim: --protocol must be cas, massa, oka, mtsics or continuous\n");
        return 1;
    }
    CScaleSimulator sim(protocol);
    std::vector<double> weights;
    for (const QString& w : parser.values(weightOpt)) {
        double kg = 0.0;
        if (!ToDouble(w, kg)) {
            std::fprintf(stderr, "varnet-scale-sim: bad weight %s\n", qPrintable(w));
            return 1;
        }
        weights.push_back(kg);
    }
    sim.SetWeights(weights);
    CScaleSimulator::Faults faults;
    faults.bSilent = parser.isSet(silentOpt);
    faults.nCutAfter = parser.isSet(cutOpt) ? parser.value(cutOpt).toInt() : -1;
    faults.nNaks = parser.value(naksOpt).toInt();
    faults.bWrongBcc = parser.isSet(badBccOpt);
    if (parser.isSet(statusOpt) && !parser.value(statusOpt).isEmpty())
        faults.cStatus = parser.value(statusOpt).at(0).toLatin1();
    faults.nBadDigit = parser.isSet(badDigitOpt) ? parser.value(badDigitOpt).toInt() : -1;
    faults.nDelayMs = parser.value(delayOpt).toInt();
    faults.nByteGapMs = parser.value(gapOpt).toInt();
    if (parser.isSet(unitOpt))
        faults.unit = parser.value(unitOpt).toStdString();
    if (parser.isSet(periodOpt))
        faults.nPeriodMs = parser.value(periodOpt).toInt();
    sim.SetFaults(faults);
    if (parser.isSet(baudOpt))
        sim.SetBaudRate(parser.value(baudOpt).toInt());
    sim.SetPacing(parser.isSet(paceOpt));

    const QString priceLog = parser.value(priceLogOpt);
    sim.SetPriceCallback([priceLog](unsigned int price) {
        const QString line = QStringLiteral("price %1").arg(price, 6, 10, QLatin1Char('0'));
        // The log is written and closed before the price is reported, so whoever reads the
        // report finds the price in the file.
        if (!priceLog.isEmpty()) {
            QFile f(priceLog);
            if (f.open(QIODevice::WriteOnly | QIODevice::Append))
                f.write(line.toUtf8() + '\n');
        }
        Say(line);
    });

    PrepareStopWait();
    if (parser.isSet(deviceOpt))
        sim.UseDevice(parser.value(deviceOpt));
    QString error;
    if (!sim.Start(&error)) {
        std::fprintf(stderr, "varnet-scale-sim: %s\n", qPrintable(error));
        return 2;
    }
    QString link;
    if (parser.isSet(linkDirOpt)) {
        link = parser.value(linkDirOpt) + QStringLiteral("/COM") + parser.value(portOpt);
        if (!sim.LinkAs(link, &error)) {
            std::fprintf(stderr, "varnet-scale-sim: cannot link %s\n", qPrintable(error));
            return 2;
        }
    }
    Say(QStringLiteral("device %1").arg(sim.DevicePath()));
    if (!link.isEmpty())
        Say(QStringLiteral("link %1").arg(link));

    std::thread input([&sim, faults]() mutable {
        std::string line;
        while (std::getline(std::cin, line)) {
            const QString text = QString::fromStdString(line).trimmed();
            if (text == QLatin1String("quit")) {
                RequestStop();
                return;
            }
            if (!Apply(text, sim, faults))
                Say(QStringLiteral("? %1").arg(text));
        }
    });
    input.detach(); // may stay blocked in a read of standard input until the process ends

    WaitForStop();
    sim.Stop();
    if (!link.isEmpty())
        QFile::remove(link);
    return 0;
}
