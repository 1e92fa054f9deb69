// Our own decoders of what label-printer drivers send to the printer, back to dots: Zebra
// ZPL (a ~DG graphic in ZPL's compressed hex), Zebra EPL2 (GW lines), DYMO (ESC commands
// and SYN lines) and PWG raster. Each gives an 8-bit grey image, 0 for a black dot and 255
// for a white one, or a null image with the reason in error.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace driverdots {

QImage DecodeZpl(const QByteArray& data, QString* error);
// EPL2 and DYMO data do not carry the page's height: the caller gives the page size.
QImage DecodeEpl(const QByteArray& data, const QSize& page, QString* error);
QImage DecodeDymo(const QByteArray& data, const QSize& page, QString* error);
QImage DecodePwg(const QString& file, QString* error);

// The first place where two images differ, for a test's message; empty when they are the
// same size and every dot matches.
QString FirstDifference(const QImage& got, const QImage& expected);

} // namespace driverdots
