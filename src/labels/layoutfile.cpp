#include "labels/layoutfile.h"

#include "platform/atomicfile.h"
#include "platform/cp1251.h"
#include "platform/fileopen.h"
#include "platform/messages.h"

#include <QFile>
#include <QtEndian>

#include <cstring>

namespace {
// A layout file is under 2 KB; anything far larger is not one of ours.
constexpr qint64 kMaxLayoutSize = 16 * 1024 * 1024;
} // namespace

namespace labels {

namespace {

const char kClassName[] = "CBarCodeLabelInfo";

class Writer {
public:
    explicit Writer(QByteArray& out) : m_out(out) {}
    template <typename T> void Put(T v) {
        char buf[sizeof(T)];
        qToLittleEndian(v, buf);
        m_out.append(buf, sizeof(T));
    }
    void PutDouble(double d) {
        uint64_t bits;
        std::memcpy(&bits, &d, sizeof bits);
        Put<uint64_t>(bits);
    }

private:
    QByteArray& m_out;
};

// Reads little-endian fields from a byte buffer; the first read past the end marks the
// reader failed and every later read yields zero.
class Reader {
public:
    explicit Reader(const QByteArray& in) : m_in(in) {}
    bool Ok() const { return m_ok; }
    template <typename T> T Get() {
        if (!Need(sizeof(T)))
            return T();
        const T v = qFromLittleEndian<T>(m_in.constData() + m_pos);
        m_pos += static_cast<qsizetype>(sizeof(T));
        return v;
    }
    double GetDouble() {
        const uint64_t bits = Get<uint64_t>();
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }
    QString GetString() {
        bool wide = false;
        uint64_t len = Get<uint8_t>();
        if (len == 0xFF) {
            uint16_t w = Get<uint16_t>();
            if (w == 0xFFFE) {
                wide = true;
                len = Get<uint8_t>();
                if (len == 0xFF)
                    w = Get<uint16_t>();
            }
            if (len == 0xFF) {
                len = w;
                if (w == 0xFFFF) {
                    len = Get<uint32_t>();
                    if (len == 0xFFFFFFFFu)
                        len = Get<uint64_t>();
                }
            }
        }
        if (!m_ok)
            return QString();
        // The length is checked against the bytes left before anything is allocated, so a
        // damaged length cannot ask for gigabytes.
        const uint64_t left = static_cast<uint64_t>(m_in.size() - m_pos);
        if ((wide && len > left / 2) || (!wide && len > left)) {
            m_ok = false;
            return QString();
        }
        const char* p = m_in.constData() + m_pos;
        if (wide) {
            QString s(static_cast<qsizetype>(len), Qt::Uninitialized);
            for (qsizetype i = 0; i < static_cast<qsizetype>(len); ++i)
                s[i] = QChar(qFromLittleEndian<uint16_t>(p + 2 * i));
            m_pos += static_cast<qsizetype>(len * 2);
            return s;
        }
        m_pos += static_cast<qsizetype>(len);
        return platform::DecodeCp1251(p, static_cast<qsizetype>(len));
    }
    QByteArray GetBytes(qsizetype n) {
        if (!Need(static_cast<size_t>(n)))
            return QByteArray();
        const QByteArray b = m_in.mid(m_pos, n);
        m_pos += n;
        return b;
    }

private:
    bool Need(size_t n) {
        if (!m_ok || static_cast<size_t>(m_in.size() - m_pos) < n) {
            m_ok = false;
            return false;
        }
        return true;
    }
    const QByteArray& m_in;
    qsizetype m_pos = 0;
    bool m_ok = true;
};

void WriteTextRecord(QByteArray& out, const LabelElement& e, bool storeText) {
    Writer w(out);
    AppendArchiveString(out, storeText ? e.m_strText : QString());
    w.PutDouble(e.m_dOffsetX);
    w.PutDouble(e.m_dOffsetY);
    w.PutDouble(e.m_dWidth);
    w.PutDouble(e.m_dHeight);
    // The font fields go in the alphabetical order of their names.
    const LOGFONTW& f = e.m_lfFont;
    w.Put<uint8_t>(f.lfCharSet);
    w.Put<uint8_t>(f.lfClipPrecision);
    w.Put<int32_t>(f.lfEscapement);
    AppendArchiveString(out, f.lfFaceName.left(LOGFONTW::LF_FACESIZE - 1));
    w.Put<int32_t>(f.lfHeight);
    w.Put<uint8_t>(f.lfItalic);
    w.Put<int32_t>(f.lfOrientation);
    w.Put<uint8_t>(f.lfOutPrecision);
    w.Put<uint8_t>(f.lfPitchAndFamily);
    w.Put<uint8_t>(f.lfQuality);
    w.Put<uint8_t>(f.lfStrikeOut);
    w.Put<uint8_t>(f.lfUnderline);
    w.Put<int32_t>(f.lfWeight);
    w.Put<int32_t>(f.lfWidth);
    w.Put<int32_t>(e.m_nAlign);
    w.Put<int32_t>(e.m_bWordWrap);
}

void ReadTextRecord(Reader& r, LabelElement& e) {
    e.m_strText = r.GetString();
    e.m_dOffsetX = r.GetDouble();
    e.m_dOffsetY = r.GetDouble();
    e.m_dWidth = r.GetDouble();
    e.m_dHeight = r.GetDouble();
    LOGFONTW& f = e.m_lfFont;
    f.lfCharSet = r.Get<uint8_t>();
    f.lfClipPrecision = r.Get<uint8_t>();
    f.lfEscapement = r.Get<int32_t>();
    // A longer name does not fit the font record; its first 31 characters are kept.
    f.lfFaceName = r.GetString().left(LOGFONTW::LF_FACESIZE - 1);
    f.lfHeight = r.Get<int32_t>();
    f.lfItalic = r.Get<uint8_t>();
    f.lfOrientation = r.Get<int32_t>();
    f.lfOutPrecision = r.Get<uint8_t>();
    f.lfPitchAndFamily = r.Get<uint8_t>();
    f.lfQuality = r.Get<uint8_t>();
    f.lfStrikeOut = r.Get<uint8_t>();
    f.lfUnderline = r.Get<uint8_t>();
    f.lfWeight = r.Get<int32_t>();
    f.lfWidth = r.Get<int32_t>();
    e.m_nAlign = r.Get<int32_t>();
    e.m_bWordWrap = r.Get<int32_t>();
}

} // namespace

QString LayoutFileName(bool bWeight) {
    return bWeight ? QStringLiteral("/Varnet.cfg") : QStringLiteral("/QLabel.cfg");
}

void AppendArchiveString(QByteArray& out, const QString& text) {
    Writer w(out);
    w.Put<uint8_t>(0xFF);
    w.Put<uint16_t>(0xFFFE);
    const uint64_t len = static_cast<uint64_t>(text.size());
    if (len < 0xFF) {
        w.Put<uint8_t>(static_cast<uint8_t>(len));
    } else {
        w.Put<uint8_t>(0xFF);
        if (len < 0xFFFE) {
            w.Put<uint16_t>(static_cast<uint16_t>(len));
        } else {
            w.Put<uint16_t>(0xFFFF);
            if (len < 0xFFFFFFFFu) {
                w.Put<uint32_t>(static_cast<uint32_t>(len));
            } else {
                w.Put<uint32_t>(0xFFFFFFFFu);
                w.Put<uint64_t>(len);
            }
        }
    }
    for (const QChar c : text)
        w.Put<uint16_t>(c.unicode());
}

QByteArray SerializeLayout(const CBarCodeLabelInfo& layout) {
    QByteArray out;
    out.reserve(2048);
    Writer w(out);
    w.Put<uint16_t>(0xFFFF);
    w.Put<uint16_t>(1);
    w.Put<uint16_t>(static_cast<uint16_t>(sizeof kClassName - 1));
    out.append(kClassName, sizeof kClassName - 1);

    const LabelElement& b = layout.m_Barcode;
    w.PutDouble(b.m_dOffsetX);
    w.PutDouble(b.m_dOffsetY);
    w.PutDouble(b.m_dWidth);
    w.PutDouble(b.m_dHeight);
    w.Put<int32_t>(b.m_nAngle);
    for (int i = 1; i < CBarCodeLabelInfo::kElementCount; ++i) {
        const LabelElement& e = layout.Element(i);
        if (CBarCodeLabelInfo::Shape(i) == ElementShape::Date)
            w.Put<int32_t>(e.m_nDateFormat);
        // Value texts belong to the label being printed, never to the stored layout.
        WriteTextRecord(out, e, CBarCodeLabelInfo::IsTextBearing(i));
    }
    return out;
}

bool ParseLayout(const QByteArray& bytes, CBarCodeLabelInfo& layout) {
    Reader r(bytes);
    if (r.Get<uint16_t>() != 0xFFFF)
        return false;
    r.Get<uint16_t>(); // any schema number is accepted
    const uint16_t nameLength = r.Get<uint16_t>();
    if (!r.Ok() || nameLength >= 64 || r.GetBytes(nameLength) != QByteArray(kClassName))
        return false;

    // Read into a fresh layout so that nothing of a partly read file survives a failure.
    CBarCodeLabelInfo read;
    LabelElement& b = read.m_Barcode;
    b.m_strText.clear();
    b.m_dOffsetX = r.GetDouble();
    b.m_dOffsetY = r.GetDouble();
    b.m_dWidth = r.GetDouble();
    b.m_dHeight = r.GetDouble();
    b.m_nAngle = r.Get<int32_t>();
    for (int i = 1; i < CBarCodeLabelInfo::kElementCount && r.Ok(); ++i) {
        LabelElement& e = read.Element(i);
        if (CBarCodeLabelInfo::Shape(i) == ElementShape::Date)
            e.m_nDateFormat = r.Get<int32_t>();
        ReadTextRecord(r, e);
    }
    if (!r.Ok())
        return false;
    layout = read;
    return true;
}

LayoutFileRead ReadLayoutFile(const QString& path, CBarCodeLabelInfo& layout) {
    LayoutFileRead read;
    QFile f;
    read.error = platform::OpenFileToRead(path, f);
    if (read.error == platform::FileError::None)
        read.bDamaged = f.size() > kMaxLayoutSize || !ParseLayout(f.read(kMaxLayoutSize), layout);
    return read;
}

void LoadLayout(const QString& path, bool bWeight, CBarCodeLabelInfo& layout) {
    if (!ReadLayoutFile(path, layout).ok())
        layout.SetDefaults(bWeight);
}

QString LayoutFileProblem(const QString& path, bool bWeight) {
    const QString hint =
        QStringLiteral("Создайте макет в редакторе этикеток или образец 58 × 40 мм командой\n"
                       "varnet-label sample --kind %1 --page 58x40 --out %2")
            .arg(bWeight ? QStringLiteral("weight") : QStringLiteral("piece"), path);
    CBarCodeLabelInfo layout;
    const LayoutFileRead read = ReadLayoutFile(path, layout);
    if (read.error == platform::FileError::NotFound)
        return QStringLiteral("Нет файла макета этикетки %1, поэтому этикетка пуста. ").arg(path) +
               hint;
    if (read.error != platform::FileError::None)
        return QStringLiteral("Файл макета этикетки %1 не читается (%2), поэтому этикетка пуста.")
            .arg(path, platform::IsNotAFile(read.error)
                           ? QStringLiteral("это ") + platform::NotAFileText(read.error)
                           : QStringLiteral("нет доступа"));
    if (read.bDamaged)
        return QStringLiteral("Файл макета этикетки %1 повреждён, поэтому этикетка пуста. ")
                   .arg(path) +
               hint;
    return QString();
}

bool SaveLayout(const QString& path, const CBarCodeLabelInfo& layout) {
    const platform::WriteResult result =
        platform::WriteFileAtomically(path, SerializeLayout(layout), platform::kCounterFileMode,
                                      platform::FileMode::LinkTargetKeeps);
    if (result.ok())
        return true;
    platform::ReportMessage(platform::FileErrorText(result.error, path));
    return false;
}

} // namespace labels
