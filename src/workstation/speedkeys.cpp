#include "workstation/speedkeys.h"

#include "platform/atomicfile.h"
#include "platform/clock.h"
#include "platform/cp1251.h"
#include "platform/numbers.h"
#include "platform/paths.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace {
const char kHeader[] = "# Быстрые клавиши: номер, код товара, надпись на клавише, цена на "
                       "клавише (1 да, 0 нет), тара в кг (пусто: нет); поля через табуляцию\n";
constexpr double kMaxTare = 99.999;
constexpr int kMaxCode = 18; // the catalogue's plu column
constexpr int kMaxName = 100;

// A text that goes into one field: no tabs or line breaks, no blanks at its ends.
QString FieldText(QString text, int limit) {
    for (QChar& c : text)
        if (c == QLatin1Char('\t') || c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            c = QLatin1Char(' ');
    return text.trimmed().left(limit);
}

bool IsCode(const QString& code) {
    if (code.isEmpty() || code.size() > kMaxCode)
        return false;
    return std::all_of(code.begin(), code.end(),
                       [](QChar c) { return c.isPrint() && !c.isSpace(); });
}

enum class ReadState { Missing, Read, Unreadable, TooLarge };

ReadState ReadFile(const QString& path, QByteArray* bytes) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (!f.exists() && !QFileInfo(path).isSymLink())
            return ReadState::Missing;
        // A link to a file still to be made reads as a missing file: saving makes it.
        if (QFileInfo(path).isSymLink() && !QFileInfo::exists(path))
            return ReadState::Missing;
        return ReadState::Unreadable;
    }
    if (!QFileInfo(path).isFile())
        return ReadState::Unreadable;
    *bytes = f.read(CSpeedKeys::kMaxSize + 1);
    if (f.error() != QFileDevice::NoError)
        return ReadState::Unreadable;
    return bytes->size() > CSpeedKeys::kMaxSize ? ReadState::TooLarge : ReadState::Read;
}

QString DamagedText(const QString& path, int line) {
    return QStringLiteral("Файл быстрых клавиш %1 повреждён (строка %2), поэтому быстрые клавиши "
                          "пусты. При первом назначении клавиши он будет сохранён рядом под "
                          "другим именем.")
        .arg(path)
        .arg(line);
}

QString UnreadableText(const QString& path) {
    return QStringLiteral("Файл быстрых клавиш %1 не читается (нет доступа), поэтому быстрые "
                          "клавиши пусты.")
        .arg(path);
}
} // namespace

QString CSpeedKeys::CounterPath() {
    return platform::ModuleDirectory() + QLatin1Char('/') + FileName();
}

QString CSpeedKeys::TareText(const std::optional<double>& tare) {
    return tare ? platform::FormatFixed(*tare, 3) : QString();
}

std::optional<double> CSpeedKeys::ParseTare(const QString& text, bool* ok) {
    const QString t = text.trimmed();
    *ok = true;
    if (t.isEmpty())
        return std::nullopt;
    bool number = false;
    QString dotted = t;
    dotted.replace(QLatin1Char(','), QLatin1Char('.'));
    const double kg = dotted.toDouble(&number);
    if (!number || !std::isfinite(kg) || kg < 0.0 || kg > kMaxTare) {
        *ok = false;
        return std::nullopt;
    }
    return std::round(kg * 1000.0) / 1000.0;
}

std::optional<QList<SpeedKey>> CSpeedKeys::Parse(const QByteArray& bytes, int* badLine) {
    *badLine = 0;
    QByteArray body = bytes;
    if (body.startsWith("\xEF\xBB\xBF"))
        body.remove(0, 3);
    // Zero bytes and broken UTF-8 are no text of this file: the whole file is suspect.
    if (body.contains('\0') || !platform::IsValidUtf8(body)) {
        *badLine = 1;
        return std::nullopt;
    }
    QList<SpeedKey> keys;
    const QStringList lines = QString::fromUtf8(body).split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.trimmed().isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList f = line.split(QLatin1Char('\t'));
        SpeedKey key;
        bool ok = f.size() >= 2 && f.size() <= 5;
        if (ok)
            key.number = f[0].trimmed().toInt(&ok);
        ok = ok && key.number >= 1 && key.number <= kCount;
        if (ok) {
            key.code = f[1].trimmed();
            ok = IsCode(key.code);
        }
        if (ok && f.size() > 2)
            key.name = f[2].trimmed().left(kMaxName);
        if (ok && f.size() > 3) {
            const QString price = f[3].trimmed();
            ok = price.isEmpty() || price == QLatin1String("0") || price == QLatin1String("1");
            key.showPrice = price == QLatin1String("1");
        }
        if (ok && f.size() > 4)
            key.tare = ParseTare(f[4], &ok);
        ok = ok && std::none_of(keys.begin(), keys.end(),
                                [&key](const SpeedKey& k) { return k.number == key.number; });
        if (!ok) {
            *badLine = i + 1;
            return std::nullopt;
        }
        keys.append(key);
    }
    std::sort(keys.begin(), keys.end(),
              [](const SpeedKey& a, const SpeedKey& b) { return a.number < b.number; });
    return keys;
}

QByteArray CSpeedKeys::Serialize(const QList<SpeedKey>& keys) {
    QByteArray bytes(kHeader);
    for (const SpeedKey& k : keys) {
        if (!k.IsAssigned())
            continue;
        bytes += QStringLiteral("%1\t%2\t%3\t%4\t%5\n")
                     .arg(k.number)
                     .arg(FieldText(k.code, kMaxCode), FieldText(k.name, kMaxName),
                          k.showPrice ? QStringLiteral("1") : QStringLiteral("0"), TareText(k.tare))
                     .toUtf8();
    }
    return bytes;
}

bool CSpeedKeys::Load(const QString& path) {
    m_keys.clear();
    m_strProblem.clear();
    QByteArray bytes;
    switch (ReadFile(path, &bytes)) {
    case ReadState::Missing:
        return true;
    case ReadState::Unreadable:
        m_strProblem = UnreadableText(path);
        return false;
    case ReadState::TooLarge:
        m_strProblem = DamagedText(path, 1);
        return false;
    case ReadState::Read:
        break;
    }
    int badLine = 0;
    const std::optional<QList<SpeedKey>> keys = Parse(bytes, &badLine);
    if (!keys) {
        m_strProblem = DamagedText(path, badLine);
        return false;
    }
    m_keys = *keys;
    return true;
}

SpeedKey CSpeedKeys::Key(int number) const {
    for (const SpeedKey& k : m_keys)
        if (k.number == number)
            return k;
    SpeedKey free;
    free.number = number;
    return free;
}

bool CSpeedKeys::Save(const QString& path, const QList<SpeedKey>& changes, QStringList* notes) {
    QByteArray bytes;
    QList<SpeedKey> keys;
    switch (ReadFile(path, &bytes)) {
    case ReadState::Missing:
        break;
    case ReadState::Unreadable:
        notes->append(QStringLiteral("Файл быстрых клавиш %1 не читается (нет доступа), поэтому "
                                     "клавиши в него не сохранены.")
                          .arg(path));
        return false;
    case ReadState::TooLarge:
    case ReadState::Read: {
        int badLine = 0;
        const std::optional<QList<SpeedKey>> current =
            bytes.size() > kMaxSize ? std::nullopt : Parse(bytes, &badLine);
        if (current) {
            keys = *current;
            break;
        }
        // What the damaged file holds is kept for whoever can still read it.
        const QFileInfo info(path);
        const QString aside =
            info.absolutePath() + QLatin1Char('/') + info.completeBaseName() +
            platform::Now().toString(QStringLiteral("'-damaged-'yyyyMMdd'-'HHmmss'.'")) +
            info.suffix();
        if (!QFile::rename(path, aside)) {
            notes->append(QStringLiteral("Файл быстрых клавиш %1 повреждён и не может быть "
                                         "переименован, поэтому клавиши в него не сохранены.")
                              .arg(path));
            return false;
        }
        notes->append(
            QStringLiteral("Повреждённый файл быстрых клавиш сохранён как %1.").arg(aside));
        break;
    }
    }
    for (const SpeedKey& change : changes) {
        if (change.number < 1 || change.number > kCount)
            continue;
        keys.erase(
            std::remove_if(keys.begin(), keys.end(),
                           [&change](const SpeedKey& k) { return k.number == change.number; }),
            keys.end());
        if (!change.IsAssigned())
            continue;
        SpeedKey key = change;
        key.code = key.code.trimmed();
        if (!IsCode(key.code)) {
            notes->append(
                QStringLiteral("Код товара «%1» не годится для быстрой клавиши.").arg(key.code));
            continue;
        }
        keys.append(key);
    }
    std::sort(keys.begin(), keys.end(),
              [](const SpeedKey& a, const SpeedKey& b) { return a.number < b.number; });
    const platform::WriteResult written = platform::WriteFileAtomically(
        path, Serialize(keys), platform::kCounterFileMode, platform::FileMode::LinkTargetKeeps);
    if (!written.ok()) {
        notes->append(platform::FileErrorText(written.error, path));
        return false;
    }
    // What the file now holds, read back as every other operator will read it.
    int badLine = 0;
    m_keys = Parse(Serialize(keys), &badLine).value_or(QList<SpeedKey>());
    m_strProblem.clear();
    return true;
}
