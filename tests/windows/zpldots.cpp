// Turns what CUPS's Zebra ZPL driver sent to the printer back into dots, as a PNG, so that the
// Wine tests can read the barcode of a label that the Windows workstation printed and compare
// its bars with the Linux build's drawing: zpldots JOB OUT.png
#include "support/driverdots.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication qapp(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: zpldots JOB OUT.png\n");
        return 2;
    }
    QFile job(args[1]);
    if (!job.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "zpldots: cannot read %s\n", qPrintable(args[1]));
        return 1;
    }
    QString error;
    const QImage dots = driverdots::DecodeZpl(job.readAll(), &error);
    if (dots.isNull()) {
        std::fprintf(stderr, "zpldots: %s\n", qPrintable(error));
        return 1;
    }
    return dots.save(args[2]) ? 0 : 1;
}
