// varnet-scale: checks a scale on a port for installers. Opens the device with the
// protocol's line settings, optionally shows a price, then prints one weight a line.
#include "platform/messages.h"
#include "scales/scalefactory.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

QString OpenFailureReason(int err) {
    switch (err) {
    case ENOENT:
        return QStringLiteral("no such device");
    case EBUSY:
    case EWOULDBLOCK:
        return QStringLiteral("the port is busy: another program has it open");
    case EACCES:
    case EPERM:
        return QStringLiteral("no permission to open the device");
    case 0:
        return QString();
    default:
        return QString::fromLocal8Bit(std::strerror(err));
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("varnet-scale"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Reads a scale: prints each weight in kg with three decimals, -1.000 for no reading."));
    parser.addHelpOption();
    const QCommandLineOption protocolOpt(
        QStringLiteral("protocol"), QStringLiteral("cas, massa or oka."), QStringLiteral("name"));
    const QCommandLineOption deviceOpt(QStringLiteral("device"),
                                       QStringLiteral("The serial device, e.g. /dev/ttyS0."),
                                       QStringLiteral("path"));
    const QCommandLineOption countOpt(QStringLiteral("count"),
                                      QStringLiteral("Number of exchanges (default 1)."),
                                      QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption priceOpt(QStringLiteral("price"),
                                      QStringLiteral("Show this price on the scale first."),
                                      QStringLiteral("n"));
    parser.addOptions({protocolOpt, deviceOpt, countOpt, priceOpt});
    parser.process(app);

    const QString protocol = parser.value(protocolOpt);
    int type = kScaleNone;
    if (protocol == QLatin1String("cas"))
        type = kScaleCas;
    else if (protocol == QLatin1String("massa"))
        type = kScaleMassa;
    else if (protocol == QLatin1String("oka"))
        type = kScaleOka;
    bool countOk = false;
    const int count = parser.value(countOpt).toInt(&countOk);
    bool priceOk = true;
    const unsigned int price = parser.isSet(priceOpt) ? parser.value(priceOpt).toUInt(&priceOk) : 0;
    if (type == kScaleNone || !parser.isSet(deviceOpt) || !countOk || count < 0 || !priceOk) {
        std::fprintf(stderr, "usage: varnet-scale --protocol cas|massa|oka --device PATH "
                             "[--count N] [--price N]\n");
        return 1;
    }

    // The port number is only a placeholder: the device is named directly.
    const std::unique_ptr<IScale> scale = CreateScale(type, 0);
    const QString device = parser.value(deviceOpt);
    QString failure;
    platform::SetMessageSink([&](const platform::OperatorMessage& m) { failure = m.text; });
    if (!scale->OpenDevice(device)) {
        const QString reason = OpenFailureReason(scale->LastErrno());
        std::fprintf(stderr, "varnet-scale: %s: %s%s%s\n", qPrintable(device),
                     failure.toUtf8().constData(), reason.isEmpty() ? "" : " - ",
                     reason.toUtf8().constData());
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
