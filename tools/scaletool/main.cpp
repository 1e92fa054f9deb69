// varnet-scale: checks a scale on a port for installers. Opens the device with the
// protocol's line settings, optionally shows a price, then prints one weight a line; or finds
// out which scale is on a port.
#include "platform/messages.h"
#include "platform/paths.h"
#include "platform/programstart.h"
#include "platform/serialport.h"
#include "scalefinder.h"
#include "scales/scalefactory.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

// Tries each device in turn; the first scale that answers is found.
// Tries each device in turn; the first scale that answers is found. A device that does not
// open is told and skipped; openFailed says whether any did not.
bool FindOnDevices(const QStringList& devices, CScaleFinder& finder, QString& device,
                   CScaleFinder::Found& found, bool& openFailed) {
    openFailed = false;
    for (const QString& d : devices) {
        QString error;
        if (finder.Find(d, found, &error)) {
            device = d;
            return true;
        }
        if (!error.isEmpty()) {
            openFailed = true;
            std::fprintf(stderr, "varnet-scale: %s\n", error.toUtf8().constData());
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    platform::PrepareRuntimeDirectory();
    QCoreApplication app(argc, argv);
    platform::RestrictPluginFolders();
    platform::UseUtf8Characters();
    QCoreApplication::setApplicationName(QStringLiteral("varnet-scale"));
    QCoreApplication::setApplicationVersion(platform::ProgramVersion());
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Reads a scale: prints each weight in kg with three decimals, -1.000 for no reading.\n"
        "Exit codes: 0 done; 1 bad arguments; 2 the device could not be opened or\n"
        "searched; 3 --detect: no scale answered."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption protocolOpt(QStringLiteral("protocol"),
                                         QStringLiteral("cas, massa, oka, mtsics or continuous."),
                                         QStringLiteral("name"));
    const QCommandLineOption deviceOpt(QStringLiteral("device"),
                                       QStringLiteral("The serial device, e.g. /dev/ttyS0."),
                                       QStringLiteral("path"));
    const QCommandLineOption countOpt(QStringLiteral("count"),
                                      QStringLiteral("Number of exchanges (default 1)."),
                                      QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption priceOpt(QStringLiteral("price"),
                                      QStringLiteral("Show this price on the scale first."),
                                      QStringLiteral("n"));
    const QCommandLineOption baudOpt(
        QStringLiteral("baud"),
        QStringLiteral("mtsics, continuous: line speed when the scale is set otherwise."),
        QStringLiteral("n"));
    const QCommandLineOption detectOpt(
        QStringLiteral("detect"),
        QStringLiteral("Find out which scale answers on the device and print the settings."));
    const QCommandLineOption devRootOpt(
        QStringLiteral("dev-root"),
        QStringLiteral("--detect without --device: look for serial devices under DIR (/dev)."),
        QStringLiteral("dir"));
    const QCommandLineOption folderOpt(
        QStringLiteral("print-folder"),
        QStringLiteral("Print the counter folder (where the COM<N> links are) and end."));
    parser.addOptions(
        {protocolOpt, deviceOpt, countOpt, priceOpt, baudOpt, detectOpt, devRootOpt, folderOpt});
    parser.process(app);
    if (parser.isSet(folderOpt)) {
        std::printf("%s\n", platform::ModuleDirectory().toUtf8().constData());
        return 0;
    }

    if (parser.isSet(detectOpt)) {
        // The finder's own failed tries are no news to the installer.
        platform::SetMessageSink([](const platform::OperatorMessage&) {});
        CScaleFinder finder([](const QString& line) {
            std::fprintf(stderr, "varnet-scale: %s\n", line.toUtf8().constData());
        });
        const QStringList devices =
            parser.isSet(deviceOpt)
                ? QStringList{parser.value(deviceOpt)}
                : platform::SerialDevices(parser.isSet(devRootOpt) ? parser.value(devRootOpt)
                                                                   : QStringLiteral("/dev"));
        if (devices.isEmpty()) {
            std::printf("no serial device found\n");
            return 3;
        }
        CScaleFinder::Found found;
        QString device;
        bool openFailed = false;
        if (!FindOnDevices(devices, finder, device, found, openFailed)) {
            if (openFailed && parser.isSet(deviceOpt))
                return 2;
            std::printf("nothing answered on %s\n",
                        devices.join(QStringLiteral(", ")).toUtf8().constData());
            return 3;
        }
        std::printf("%s %s answered on %s, weight %s kg\n", found.strProtocol.toUtf8().constData(),
                    found.strLine.toUtf8().constData(), device.toUtf8().constData(),
                    QString::number(found.dWeight, 'f', 3).toUtf8().constData());
        std::printf("Put in Varnet.ini:\n");
        for (const QString& line : CScaleFinder::IniLines(found, device))
            std::printf("%s\n", line.toUtf8().constData());
        bool needsLink = false;
        const unsigned port = platform::PortForDevice(device, &needsLink);
        if (needsLink)
            std::printf("and make the link: ln -sfn %s %s/COM%u\n", device.toUtf8().constData(),
                        platform::ModuleDirectory().toUtf8().constData(), port);
        return 0;
    }

    const QString protocol = parser.value(protocolOpt);
    int type = kScaleNone;
    if (protocol == QLatin1String("cas"))
        type = kScaleCas;
    else if (protocol == QLatin1String("massa"))
        type = kScaleMassa;
    else if (protocol == QLatin1String("oka"))
        type = kScaleOka;
    else if (protocol == QLatin1String("mtsics"))
        type = kScaleMtSics;
    else if (protocol == QLatin1String("continuous"))
        type = kScaleContinuous;
    ScaleLine line;
    bool baudOk = true;
    if (parser.isSet(baudOpt)) {
        line.nBaudRate = parser.value(baudOpt).toUInt(&baudOk);
        // The older protocols have fixed line settings.
        baudOk = baudOk && line.nBaudRate > 0 && (type == kScaleMtSics || type == kScaleContinuous);
    }
    bool countOk = false;
    const int count = parser.value(countOpt).toInt(&countOk);
    bool priceOk = true;
    const unsigned int price = parser.isSet(priceOpt) ? parser.value(priceOpt).toUInt(&priceOk) : 0;
    if (type == kScaleNone || !parser.isSet(deviceOpt) || !countOk || count < 0 || !priceOk ||
        !baudOk) {
        std::fprintf(stderr,
                     "usage: varnet-scale --protocol cas|massa|oka|mtsics|continuous --device PATH "
                     "[--count N] [--price N] [--baud N (mtsics, continuous)]\n"
                     "       varnet-scale --detect [--device PATH | --dev-root DIR]\n");
        return 1;
    }

    // The port number is only a placeholder: the device is named directly.
    const std::unique_ptr<IScale> scale = CreateScale(type, 0, line);
    const QString device = parser.value(deviceOpt);
    QString failure;
    platform::SetMessageSink([&](const platform::OperatorMessage& m) { failure = m.text; });
    if (!scale->OpenDevice(device)) {
        // The message names the device and the system's reason.
        std::fprintf(stderr, "varnet-scale: %s\n", failure.toUtf8().constData());
        return 2;
    }
    platform::SetMessageSink([](const platform::OperatorMessage& m) {
        std::fprintf(stderr, "varnet-scale: %s\n", m.text.toUtf8().constData());
    });

    if (parser.isSet(priceOpt)) {
        if (type != kScaleOka)
            std::fprintf(stderr, "varnet-scale: this protocol has no price display\n");
        scale->SetPrice(price);
    }
    for (int i = 0; i < count; ++i) {
        if (i > 0) // the same pause as between two exchanges of the workstation
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const double kg = scale->GetWeight();
        std::printf("%s\n", QString::number(kg, 'f', 3).toUtf8().constData());
        std::fflush(stdout);
    }
    scale->Close();
    return 0;
}
