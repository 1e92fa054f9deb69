// Test fixture: a scale simulator on a real pseudo-terminal, linked as COM<N> in a private
// program folder, so a scale object opens it by port number exactly as it opens a real port.
#pragma once

#include "scalesimulator.h"
#include "support/testdir.h"

#include <QByteArray>
#include <QString>

#include <initializer_list>

inline bool LinkSimulator(CScaleSimulator& sim, const TestModuleDir& dir, unsigned int port) {
    return sim.Start() && sim.LinkAs(dir.File(QStringLiteral("COM%1").arg(port)));
}

inline QByteArray Bytes(std::initializer_list<int> values) {
    QByteArray bytes;
    for (int v : values)
        bytes.append(static_cast<char>(v));
    return bytes;
}

// A CAS weight record around a 7-character weight text, with its BCC (plus bccError).
inline QByteArray CasRecord(char status, const QByteArray& text, int bccError = 0,
                            const QByteArray& units = "kg") {
    QByteArray record = Bytes({0x01, 0x02}) + status + text + units;
    char bcc = 0;
    for (int i = 2; i <= 11; ++i)
        bcc = static_cast<char>(bcc ^ record[i]);
    record += static_cast<char>(bcc ^ bccError);
    record += Bytes({0x03, 0x04});
    return record;
}
