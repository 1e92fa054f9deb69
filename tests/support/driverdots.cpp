#include "support/driverdots.h"

#include <cups/raster.h>

#include <fcntl.h>
#include <unistd.h>

namespace driverdots {

namespace {

QImage Fail(QString* error, const QString& why) {
    if (error)
        *error = why;
    return QImage();
}

// Sets the dots of one packed line (a set bit is black when blackIsOne).
void PutLine(QImage& img, int y, int xByte, const uchar* bytes, int n, bool blackIsOne) {
    if (y < 0 || y >= img.height())
        return;
    uchar* line = img.scanLine(y);
    for (int i = 0; i < n; ++i) {
        for (int bit = 0; bit < 8; ++bit) {
            const int x = (xByte + i) * 8 + bit;
            if (x >= img.width())
                return;
            const bool set = (bytes[i] & (0x80 >> bit)) != 0;
            line[x] = set == blackIsOne ? 0 : 255;
        }
    }
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

QImage DecodeZpl(const QByteArray& data, QString* error) {
    // ~DGR:name,total bytes,bytes per row,data
    const int dg = data.indexOf("~DG");
    if (dg < 0)
        return Fail(error, QStringLiteral("no ~DG graphic"));
    const QList<QByteArray> head = data.mid(dg + 3, 64).split(',');
    if (head.size() < 4)
        return Fail(error, QStringLiteral("a short ~DG header"));
    const int total = head[1].toInt();
    const int perRow = head[2].toInt();
    if (perRow <= 0 || total <= 0 || total % perRow != 0)
        return Fail(
            error,
            QStringLiteral("a ~DG graphic of %1 bytes in rows of %2").arg(total).arg(perRow));
    const int rows = total / perRow;
    int pos = dg + 3 + head[0].size() + head[1].size() + head[2].size() + 3;
    // ^PW gives the width of the label in dots.
    int width = perRow * 8;
    const int pw = data.indexOf("^PW");
    if (pw >= 0)
        width = std::min(width, data.mid(pw + 3, 8).split('\n').first().toInt());
    QImage img(width, rows, QImage::Format_Grayscale8);
    img.fill(255);

    const int nibbles = perRow * 2;
    QByteArray row(nibbles, '0');
    QByteArray previous(nibbles, '0');
    int col = 0;
    int y = 0;
    int count = 0;
    const auto finishRow = [&]() {
        QByteArray bytes = QByteArray::fromHex(row);
        PutLine(img, y, 0, reinterpret_cast<const uchar*>(bytes.constData()), perRow, true);
        previous = row;
        row.fill('0');
        col = 0;
        ++y;
    };
    for (; pos < data.size() && y < rows; ++pos) {
        const char c = data.at(pos);
        if (c == '^' || c == '~')
            break;
        if (c >= 'G' && c <= 'Y') {
            count += c - 'G' + 1;
        } else if (c >= 'g' && c <= 'z') {
            count += (c - 'g' + 1) * 20;
        } else if (c == ',' || c == '!') {
            // The rest of the row is 0 (white) or F (black).
            for (; col < nibbles; ++col)
                row[col] = c == ',' ? '0' : 'F';
            count = 0;
            finishRow();
        } else if (c == ':') {
            if (col != 0)
                return Fail(error, QStringLiteral("':' in the middle of row %1").arg(y));
            row = previous;
            count = 0;
            finishRow();
        } else if (HexValue(c) >= 0) {
            const int n = count == 0 ? 1 : count;
            count = 0;
            for (int i = 0; i < n; ++i) {
                if (col >= nibbles)
                    return Fail(error, QStringLiteral("row %1 runs over its width").arg(y));
                row[col++] = c;
            }
            if (col == nibbles)
                finishRow();
        } else if (c != '\r' && c != '\n') {
            return Fail(
                error,
                QStringLiteral("unknown character '%1' in the graphic").arg(QChar::fromLatin1(c)));
        }
    }
    if (y != rows)
        return Fail(error, QStringLiteral("the graphic ends after %1 of %2 rows").arg(y).arg(rows));
    return img;
}

QImage DecodeEpl(const QByteArray& data, const QSize& page, QString* error) {
    // q<width>, then GWx,y,bytes,lines and the binary bytes of each line (0 is black).
    int width = page.width();
    const int q = data.indexOf("\nq");
    if (q >= 0)
        width = data.mid(q + 2, 8).split('\n').first().toInt();
    if (width != page.width())
        return Fail(
            error,
            QStringLiteral("the label is %1 dots wide, not %2").arg(width).arg(page.width()));
    QImage img(page, QImage::Format_Grayscale8);
    img.fill(255);
    int pos = 0;
    while ((pos = data.indexOf("GW", pos)) >= 0) {
        const int eol = data.indexOf('\n', pos);
        if (eol < 0)
            return Fail(error, QStringLiteral("a GW command without its data"));
        const QList<QByteArray> f = data.mid(pos + 2, eol - pos - 2).split(',');
        if (f.size() != 4)
            return Fail(error, QStringLiteral("a GW command of %1 fields").arg(f.size()));
        const int x = f[0].toInt(), y = f[1].toInt(), n = f[2].toInt(), lines = f[3].toInt();
        if (x % 8 != 0 || n <= 0 || lines <= 0 || eol + 1 + n * lines > data.size())
            return Fail(error, QStringLiteral("a GW command that does not fit its data"));
        for (int i = 0; i < lines; ++i)
            PutLine(img, y + i, x / 8,
                    reinterpret_cast<const uchar*>(data.constData()) + eol + 1 + i * n, n, false);
        pos = eol + 1 + n * lines;
    }
    return img;
}

QImage DecodeDymo(const QByteArray& data, const QSize& page, QString* error) {
    QImage img(page, QImage::Format_Grayscale8);
    img.fill(255);
    const auto* d = reinterpret_cast<const uchar*>(data.constData());
    const int size = int(data.size());
    int bytesPerLine = 0;
    int dotTab = 0;
    int y = 0;
    int i = 0;
    while (i < size) {
        const uchar c = d[i];
        if (c == 0x16) { // SYN: one line of dots
            if (bytesPerLine <= 0 || i + 1 + bytesPerLine > size)
                return Fail(error, QStringLiteral("a line before its width or past the end"));
            PutLine(img, y++, dotTab, d + i + 1, bytesPerLine, true);
            i += 1 + bytesPerLine;
        } else if (c == 0x1b && i + 1 < size) {
            const uchar cmd = d[i + 1];
            if (cmd == 0x1b || cmd == '@' || cmd == 'e' || cmd == 'g' || cmd == 'h' || cmd == 'i' ||
                cmd == 'E' || cmd == 'G') {
                i += cmd == 0x1b ? 1 : 2;
            } else if (cmd == 'D' && i + 2 < size) {
                bytesPerLine = d[i + 2];
                i += 3;
            } else if (cmd == 'B' && i + 2 < size) {
                dotTab = d[i + 2];
                i += 3;
            } else if (cmd == 'q' && i + 2 < size) {
                i += 3;
            } else if (cmd == 'L' && i + 3 < size) {
                i += 4;
            } else if (cmd == 'f' && i + 3 < size) { // ESC f 1 n: skip n blank lines
                y += d[i + 3];
                i += 4;
            } else {
                return Fail(error, QStringLiteral("unknown command ESC 0x%1 at %2")
                                       .arg(cmd, 2, 16, QLatin1Char('0'))
                                       .arg(i));
            }
        } else {
            return Fail(
                error,
                QStringLiteral("unknown byte 0x%1 at %2").arg(c, 2, 16, QLatin1Char('0')).arg(i));
        }
    }
    return img;
}

QImage DecodePwg(const QString& file, QString* error) {
    const int fd = ::open(file.toLocal8Bit().constData(), O_RDONLY);
    if (fd < 0)
        return Fail(error, QStringLiteral("cannot open %1").arg(file));
    cups_raster_t* r = cupsRasterOpen(fd, CUPS_RASTER_READ);
    cups_page_header2_t h;
    QImage img;
    if (r && cupsRasterReadHeader2(r, &h)) {
        if (h.cupsBitsPerColor == 1 || h.cupsBitsPerColor == 8) {
            img = QImage(int(h.cupsWidth), int(h.cupsHeight), QImage::Format_Grayscale8);
            QByteArray line(int(h.cupsBytesPerLine), 0);
            auto* bytes = reinterpret_cast<uchar*>(line.data());
            const bool whiteHigh = h.cupsColorSpace != CUPS_CSPACE_K;
            for (int y = 0; y < int(h.cupsHeight); ++y) {
                if (cupsRasterReadPixels(r, bytes, h.cupsBytesPerLine) != h.cupsBytesPerLine) {
                    img = QImage();
                    break;
                }
                if (h.cupsBitsPerColor == 1) {
                    PutLine(img, y, 0, bytes, int(h.cupsBytesPerLine), !whiteHigh);
                } else {
                    uchar* out = img.scanLine(y);
                    for (int x = 0; x < img.width(); ++x)
                        out[x] = whiteHigh ? bytes[x] : uchar(255 - bytes[x]);
                }
            }
        }
    }
    if (r)
        cupsRasterClose(r);
    ::close(fd);
    if (img.isNull())
        return Fail(error, QStringLiteral("%1 is no PWG raster page of 1 or 8 bits").arg(file));
    return img;
}

QString FirstDifference(const QImage& got, const QImage& expected) {
    if (got.size() != expected.size())
        return QStringLiteral("%1x%2 dots where %3x%4 were drawn")
            .arg(got.width())
            .arg(got.height())
            .arg(expected.width())
            .arg(expected.height());
    const QImage a = got.convertToFormat(QImage::Format_Grayscale8);
    const QImage b = expected.convertToFormat(QImage::Format_Grayscale8);
    int differ = 0;
    QString first;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.constScanLine(y)[x] != b.constScanLine(y)[x] && differ++ == 0)
                first = QStringLiteral("(%1, %2)").arg(x).arg(y);
    if (differ == 0)
        return QString();
    return QStringLiteral("%1 of %2 dots differ, the first at %3")
        .arg(differ)
        .arg(a.width() * a.height())
        .arg(first);
}

} // namespace driverdots
