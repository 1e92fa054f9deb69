// The counter's speed keys: product keys that the shop sets up, one tap choosing a product.
// They live in the counter file SpeedKeys.txt, shared by the counter's operators as the label
// layouts are: UTF-8 text, one key a line, fields separated by tabs (number, product code, the
// text on the key, 1 when the key shows the price, a preset tare in kilograms or nothing).
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

struct SpeedKey {
    int number = 0; // 1 to CSpeedKeys::kCount
    QString code;   // the product's code in the catalogue; empty: the key is free
    QString name;   // the text on the key
    bool showPrice = false;
    std::optional<double> tare; // kilograms; none unless the shop sets one

    bool IsAssigned() const { return !code.isEmpty(); }
    bool operator==(const SpeedKey& o) const {
        return number == o.number && code == o.code && name == o.name && showPrice == o.showPrice &&
               tare == o.tare;
    }
};

class CSpeedKeys {
public:
    static constexpr int kCount = 24;
    // A file of 24 keys is about two kilobytes; one past this is not ours.
    static constexpr qint64 kMaxSize = 64 * 1024;

    static QString FileName() { return QStringLiteral("SpeedKeys.txt"); }
    // The file in the counter folder.
    static QString CounterPath();

    // Reads the keys of the file at path. A missing file holds no keys. A file that cannot be
    // read or is damaged leaves every key free and yields false; Problem() then names the file
    // and says what is wrong with it.
    bool Load(const QString& path);
    const QString& Problem() const { return m_strProblem; }

    // The key of a number (a free key when none is set).
    SpeedKey Key(int number) const;
    // The keys that are set, by number.
    QList<SpeedKey> Keys() const { return m_keys; }

    // Writes the given keys (a key with an empty code is freed) into the file at path as the
    // file is now, so that keys another operator set meanwhile stay; this object then holds
    // the file's keys. A damaged file is first moved aside, unchanged, beside itself; a file
    // that cannot be read is not written over. Written atomically, mode 0660. False when the
    // keys could not be written; notes gets the operator's texts (also of a file moved aside).
    bool Save(const QString& path, const QList<SpeedKey>& changes, QStringList* notes);

    // The file's text of a set of keys, and back; parsing gives nothing for a damaged text,
    // with the number of the first bad line in *badLine.
    static QByteArray Serialize(const QList<SpeedKey>& keys);
    static std::optional<QList<SpeedKey>> Parse(const QByteArray& bytes, int* badLine);
    // A tare as the file and the editor write it ("0.150"), and read back; nothing for text
    // that is no tare (empty, not a number, negative, over 99.999 kg).
    static QString TareText(const std::optional<double>& tare);
    static std::optional<double> ParseTare(const QString& text, bool* ok);

private:
    QList<SpeedKey> m_keys;
    QString m_strProblem;
};
