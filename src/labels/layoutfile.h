// The binary layout file of a label kind ("/Varnet.cfg" for the weight label, "/QLabel.cfg"
// for the piece label): little-endian records in the archive format of Windows counters, so
// files move between counters unchanged.
#pragma once

#include "labels/labelinfo.h"
#include "platform/atomicfile.h"

#include <QByteArray>
#include <QString>

namespace labels {

// "/Varnet.cfg" or "/QLabel.cfg".
QString LayoutFileName(bool bWeight);

// An archive string: FF FE FF, the length in UTF-16 code units in its shortest form, the
// code units.
void AppendArchiveString(QByteArray& out, const QString& text);

// The whole file: the class header and the fourteen element records.
QByteArray SerializeLayout(const CBarCodeLabelInfo& layout);

// Reads a whole file into layout. On any fault returns false and leaves layout untouched.
bool ParseLayout(const QByteArray& bytes, CBarCodeLabelInfo& layout);

// What reading a layout file found.
struct LayoutFileRead {
    // Why the file could not be read: NotFound, a read error, or something that is not a file
    // in its place (a FIFO, a socket, a device or a folder, never waited on).
    platform::FileError error = platform::FileError::None;
    bool bDamaged = false; // read, but no layout: too long, cut short or damaged
    bool ok() const { return error == platform::FileError::None && !bDamaged; }
};

// Reads the file at path into layout; on any fault layout stays untouched.
LayoutFileRead ReadLayoutFile(const QString& path, CBarCodeLabelInfo& layout);

// Reads the file at path; a missing, unreadable, short or damaged file, or something that is
// not a file, gives the defaults of the kind, silently.
void LoadLayout(const QString& path, bool bWeight, CBarCodeLabelInfo& layout);

// Why the kind's layout did not come from its file at path, for the operator (the file is
// missing, cannot be read, is no file or is damaged), with how to make one; empty when the
// file reads as a layout.
QString LayoutFileProblem(const QString& path, bool bWeight);

// Writes the layout over the file at path atomically; a failure leaves the old file whole,
// is reported to the operator with the file error text and returns false.
bool SaveLayout(const QString& path, const CBarCodeLabelInfo& layout);

} // namespace labels
