// The scale finder: tries every protocol on a device at its usual line settings and names the
// first that answers, with the lines an installer puts in the settings file. It sends only
// weight requests (MT-SICS: SI), never a command that could change a scale's setup.
#pragma once

#include "scales/scalefactory.h"

#include <QString>
#include <QStringList>

#include <functional>

class CScaleFinder {
public:
    struct Found {
        QString strProtocol; // the --protocol name
        int nType = kScaleNone;
        ScaleLine line;  // only what differs from the protocol's usual settings
        QString strLine; // "9600 8N1"
        double dWeight = 0.0;
    };

    // progress gets one line per try, for an installer who watches.
    explicit CScaleFinder(std::function<void(const QString&)> progress = {});

    // False when nothing answered; an open failure ends the search with openError set.
    bool Find(const QString& device, Found& found, QString* openError = nullptr);

    // The lines of the Scale section for what was found; the port number when the device
    // is the usual one of a port (/dev/ttyS<N-1>).
    static QStringList IniLines(const Found& found, const QString& device);

private:
    bool Try(const QString& device, const QString& protocol, int type, const ScaleLine& line,
             int attempts, Found& found, bool& heardBytes, QString* openError);

    std::function<void(const QString&)> m_fnProgress;
};
