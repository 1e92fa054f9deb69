#include "labelbatch.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QSet>
#include <QStringList>

#include <cmath>

namespace {

// One record of a CSV text from pos on: its fields, and pos moved past its line end. A quoted
// field may hold separators, doubled quotes and line breaks; lines counts the line breaks
// passed.
QStringList CsvRecord(const QString& text, qsizetype& pos, QChar separator, int& lines) {
    QStringList fields;
    QString field;
    bool quoted = false;
    while (pos < text.size()) {
        const QChar c = text.at(pos++);
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (pos < text.size() && text.at(pos) == QLatin1Char('"')) {
                    field += c;
                    ++pos;
                } else {
                    quoted = false;
                }
            } else {
                if (c == QLatin1Char('\n'))
                    ++lines;
                field += c;
            }
        } else if (c == QLatin1Char('"') && field.isEmpty()) {
            quoted = true;
        } else if (c == separator) {
            fields.append(field);
            field.clear();
        } else if (c == QLatin1Char('\n')) {
            ++lines;
            break;
        } else if (c != QLatin1Char('\r')) {
            field += c;
        }
    }
    fields.append(field);
    return fields;
}

bool IsBlank(const QStringList& fields) {
    return fields.size() == 1 && fields.first().trimmed().isEmpty();
}

QString JsonText(const QJsonValue& v, bool* ok) {
    *ok = true;
    switch (v.type()) {
    case QJsonValue::String:
        return v.toString();
    case QJsonValue::Double: {
        const double d = v.toDouble();
        // Whole numbers as digits: a barcode given as a number must not become 2.7e+11.
        if (std::floor(d) == d && std::fabs(d) < 1e15)
            return QString::number(static_cast<qint64>(d));
        return QString::number(d, 'g', 17);
    }
    case QJsonValue::Bool:
        return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QJsonValue::Null:
        return QString();
    default:
        *ok = false;
        return QString();
    }
}

void ReadJsonLines(const QString& text, const QStringList& known, LabelBatch& batch) {
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        if (lines[i].trimmed().isEmpty())
            continue;
        LabelBatchRow row;
        row.number = int(batch.rows.size()) + 1;
        row.line = i + 1;
        QJsonParseError parse{};
        const QJsonDocument doc = QJsonDocument::fromJson(lines[i].toUtf8(), &parse);
        if (!doc.isObject()) {
            row.error = parse.error != QJsonParseError::NoError
                            ? QStringLiteral("not JSON (%1)").arg(parse.errorString())
                            : QStringLiteral("not a JSON object");
            batch.rows.append(row);
            continue;
        }
        const QJsonObject object = doc.object();
        for (auto it = object.begin(); it != object.end() && row.error.isEmpty(); ++it) {
            bool ok = false;
            const QString value = JsonText(it.value(), &ok);
            if (!known.contains(it.key()))
                row.error = QStringLiteral("unknown key \"%1\" (known: %2)")
                                .arg(it.key(), known.join(QStringLiteral(", ")));
            else if (!ok)
                row.error = QStringLiteral("%1 is neither a text nor a number").arg(it.key());
            else if (!it.value().isNull())
                row.values.insert(it.key(), value);
        }
        if (!row.error.isEmpty())
            row.values.clear();
        batch.rows.append(row);
    }
}

bool ReadCsv(const QString& text, const QStringList& known, LabelBatch& batch, QString* error) {
    qsizetype pos = 0;
    int line = 1;
    const qsizetype firstEnd = text.indexOf(QLatin1Char('\n'));
    const QString first = text.left(firstEnd < 0 ? text.size() : firstEnd);
    const QChar separator = first.count(QLatin1Char(';')) > first.count(QLatin1Char(','))
                                ? QLatin1Char(';')
                                : QLatin1Char(',');
    batch.decimalComma = separator == QLatin1Char(';');
    QStringList header = CsvRecord(text, pos, separator, line);
    for (QString& name : header) {
        name = name.trimmed().toLower();
        if (!known.contains(name)) {
            *error = QStringLiteral("unknown column \"%1\" (known: %2)")
                         .arg(name, known.join(QStringLiteral(", ")));
            return false;
        }
    }
    if (header.size() != QSet<QString>(header.begin(), header.end()).size()) {
        *error = QStringLiteral("a column is named twice");
        return false;
    }
    while (pos < text.size()) {
        const int start = line;
        const QStringList fields = CsvRecord(text, pos, separator, line);
        if (IsBlank(fields))
            continue;
        LabelBatchRow row;
        row.number = int(batch.rows.size()) + 1;
        row.line = start;
        if (fields.size() != header.size())
            row.error = QStringLiteral("%1 fields where the first line names %2")
                            .arg(fields.size())
                            .arg(header.size());
        else
            for (int i = 0; i < header.size(); ++i)
                row.values.insert(header[i], fields[i]);
        batch.rows.append(row);
    }
    return true;
}

} // namespace

bool ReadLabelBatch(const QString& path, const QStringList& known, LabelBatch& batch,
                    QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    QByteArray bytes = file.readAll();
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    const QString text = QString::fromUtf8(bytes);
    batch = LabelBatch();
    if (text.trimmed().startsWith(QLatin1Char('{'))) {
        ReadJsonLines(text, known, batch);
        return true;
    }
    if (!ReadCsv(text, known, batch, error)) {
        *error = path + QStringLiteral(": ") + *error;
        return false;
    }
    return true;
}
