// varnet-journal: the packing journal for managers and scripts. With no arguments, today's
// totals per product from the journal beside the program; --central reads the chain's.
#include "journal/centraljournal.h"
#include "journal/centralsettings.h"
#include "journal/journalcsv.h"
#include "journal/journalfile.h"
#include "journal/journalsender.h"
#include "journal/journaltotals.h"
#include "platform/inifile.h"
#include "platform/paths.h"
#include "platform/programstart.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QTextStream>

#include <cstdio>

namespace {

QDate ParseDay(const QString& text, bool* ok) {
    const QDate d = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    *ok = d.isValid();
    return d;
}

// A cell on one line of the table: a line break or a tab in a name becomes a space.
QString OneLine(const QString& text) {
    QString line = text;
    line.replace(QLatin1String("\r\n"), QLatin1String(" "));
    for (QChar& c : line)
        if (c.unicode() < 0x20 || c == QChar(0x2028) || c == QChar(0x2029))
            c = QLatin1Char(' ');
    return line;
}

// Columns padded to their widest cell; numbers to the right.
QString Table(QList<QStringList> lines, const QList<bool>& rightAligned) {
    for (QStringList& line : lines)
        for (QString& cell : line)
            cell = OneLine(cell);
    QList<qsizetype> widths;
    for (const QStringList& line : lines)
        for (qsizetype i = 0; i < line.size(); ++i) {
            if (widths.size() <= i)
                widths.append(0);
            widths[i] = std::max(widths[i], line[i].size());
        }
    QString out;
    for (const QStringList& line : lines) {
        QStringList cells;
        for (qsizetype i = 0; i < line.size(); ++i)
            cells.append(rightAligned.value(i) ? line[i].rightJustified(widths[i])
                                               : line[i].leftJustified(widths[i]));
        out += cells.join(QStringLiteral("  ")).trimmed() + QLatin1Char('\n');
    }
    return out;
}

QString Fixed(double v, int decimals) {
    return QString::number(v, 'f', decimals);
}

// The central journal's connection string: --connect, or [Journal] of --ini or the counter's
// Varnet.ini; empty with the reason when none is named.
QString CentralConnection(const QCommandLineParser& parser, QString* error) {
    QString connect = parser.value(QStringLiteral("connect"));
    if (connect.isEmpty()) {
        const QString ini =
            parser.isSet(QStringLiteral("ini"))
                ? parser.value(QStringLiteral("ini"))
                : QDir(platform::ModuleDirectory()).filePath(QStringLiteral("Varnet.ini"));
        connect = CentralJournalSettings::Load(platform::CIniFile::Load(ini)).ConnectionString();
        if (connect.isEmpty())
            *error = QStringLiteral("%1 names no central journal ([Journal] Connect, or Driver "
                                    "and Server); or give --connect")
                         .arg(ini);
    }
    return connect;
}

// The journal file: --file, else Journal.db in the counter folder.
QString JournalPath(const QCommandLineParser& parser) {
    return parser.isSet(QStringLiteral("file"))
               ? parser.value(QStringLiteral("file"))
               : QDir(platform::ModuleDirectory()).filePath(QStringLiteral("Journal.db"));
}

// The rows of [from, to) from the local file or the central journal; false with the reason.
bool ReadRows(const QCommandLineParser& parser, const QDate& from, const QDate& to,
              QList<JournalRow>* rows, QString* error) {
    if (!parser.isSet(QStringLiteral("central"))) {
        const QString path = JournalPath(parser);
        CJournalFile file;
        bool ok = file.OpenReadOnly(path);
        if (ok)
            *rows = file.Rows(from.startOfDay(), to.addDays(1).startOfDay(), &ok);
        if (!ok)
            *error = file.Error();
        else if (file.IsDamaged())
            // The labels that could be read are listed all the same.
            QTextStream(stderr) << "varnet-journal: " << path
                                << " is damaged; only the labels that can be read are counted ("
                                << file.Error() << ")\n";
        return ok;
    }
    const QString connect = CentralConnection(parser, error);
    if (connect.isEmpty())
        return false;
    try {
        CCentralJournal central;
        central.SetTimeout(parser.value(QStringLiteral("timeout")).toInt());
        central.Open(connect);
        *rows = central.Rows(from.startOfDay(), to.addDays(1).startOfDay(),
                             parser.value(QStringLiteral("counter")));
        return true;
    } catch (const platform::odbc::DatabaseError& e) {
        *error = e.Text();
        return false;
    }
}

// The rows the central journal refused, with the server's words; the exit code.
int ListRefused(const QCommandLineParser& parser) {
    const QString path = JournalPath(parser);
    CJournalFile file;
    bool ok = file.OpenReadOnly(path);
    const QList<SetAsideRow> refused = ok ? file.SetAsideRows(&ok) : QList<SetAsideRow>();
    if (!ok) {
        QTextStream(stderr) << "varnet-journal: " << file.Error() << '\n';
        return 1;
    }
    QList<QStringList> lines{{QStringLiteral("Время"), QStringLiteral("Код"),
                              QStringLiteral("Товар"), QStringLiteral("Цена"),
                              QStringLiteral("Сумма"), QStringLiteral("Идентификатор"),
                              QStringLiteral("Ошибка сервера")}};
    for (const SetAsideRow& r : refused)
        lines.append({r.row.moment.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), r.row.code,
                      r.row.name, Fixed(r.row.price, 2), Fixed(r.row.sum, 2), r.row.id, r.error});
    QTextStream out(stdout);
    out.setEncoding(QStringConverter::Utf8);
    out << Table(lines, {false, true, false, true, true, false, false});
    return 0;
}

// Sends the rows of the journal file that the central journal lacks and ends; the exit code.
int Send(const QCommandLineParser& parser) {
    QString error;
    const QString connect = CentralConnection(parser, &error);
    if (connect.isEmpty()) {
        QTextStream(stderr) << "varnet-journal: " << error << '\n';
        return 1;
    }
    const CJournalSender::Result r = CJournalSender::SendUnsent(
        JournalPath(parser), connect, parser.value(QStringLiteral("timeout")).toInt());
    // What went before a failure went, and is said so.
    QTextStream out(stdout);
    out.setEncoding(QStringConverter::Utf8);
    out << QStringLiteral("Передано записей: %1 (новых для сервера: %2), отложено: %3\n")
               .arg(r.counts.sent)
               .arg(r.counts.inserted)
               .arg(r.counts.setAside);
    out.flush();
    if (!r.ok) {
        QTextStream(stderr) << "varnet-journal: " << r.error << '\n';
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    platform::PrepareRuntimeDirectory();
    QCoreApplication app(argc, argv);
    platform::RestrictPluginFolders();
    QCoreApplication::setApplicationName(QStringLiteral("varnet-journal"));
    QCoreApplication::setApplicationVersion(platform::ProgramVersion());
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Totals of the packing journal (today's, per product, by default).\n"
                       "Exit codes: 0 done; 1 the journal could not be read (with --send: or\n"
                       "not every label could be sent); 2 bad arguments."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption folderOption(QStringLiteral("print-folder"),
                                          QStringLiteral("Print the counter folder and end."));
    const QCommandLineOption fileOption(
        QStringLiteral("file"),
        QStringLiteral("Journal file (default: Journal.db in the counter folder)."),
        QStringLiteral("path"));
    const QCommandLineOption dateOption(QStringLiteral("date"), QStringLiteral("One day."),
                                        QStringLiteral("yyyy-mm-dd"));
    const QCommandLineOption fromOption(QStringLiteral("from"),
                                        QStringLiteral("First day of a range."),
                                        QStringLiteral("yyyy-mm-dd"));
    const QCommandLineOption toOption(QStringLiteral("to"),
                                      QStringLiteral("Last day of a range (included)."),
                                      QStringLiteral("yyyy-mm-dd"));
    const QCommandLineOption byOption(QStringLiteral("by"),
                                      QStringLiteral("product (default) or hour."),
                                      QStringLiteral("product|hour"), QStringLiteral("product"));
    const QCommandLineOption labelsOption(QStringLiteral("labels"),
                                          QStringLiteral("Every label instead of totals."));
    const QCommandLineOption csvOption(
        QStringLiteral("csv"),
        QStringLiteral("CSV for Excel and 1C (UTF-8 with BOM, ';', decimal comma)."));
    const QCommandLineOption centralOption(
        QStringLiteral("central"),
        QStringLiteral(
            "The chain's central journal that [Journal] of the counter's Varnet.ini names."));
    const QCommandLineOption iniOption(QStringLiteral("ini"),
                                       QStringLiteral("Settings file for --central."),
                                       QStringLiteral("path"));
    const QCommandLineOption connectOption(QStringLiteral("connect"),
                                           QStringLiteral("ODBC connection string for --central."),
                                           QStringLiteral("string"));
    const QCommandLineOption counterOption(
        QStringLiteral("counter"), QStringLiteral("With --central: one counter (host name) only."),
        QStringLiteral("name"));
    const QCommandLineOption timeoutOption(
        QStringLiteral("timeout"),
        QStringLiteral("With --central: the longest the server may take, in seconds (30)."),
        QStringLiteral("seconds"), QStringLiteral("30"));
    const QCommandLineOption refusedOption(
        QStringLiteral("refused"),
        QStringLiteral("The labels the central journal refused, with the server's error."));
    const QCommandLineOption sendOption(
        QStringLiteral("send"),
        QStringLiteral("Send the labels the central journal does not have yet (as the "
                       "workstation does), print how many went and how many were set aside, "
                       "and end."));
    parser.addOptions({folderOption, fileOption, dateOption, fromOption, toOption, byOption,
                       labelsOption, csvOption, centralOption, iniOption, connectOption,
                       counterOption, timeoutOption, refusedOption, sendOption});
    parser.process(app);
    if (parser.isSet(folderOption)) {
        std::printf("%s\n", qPrintable(platform::ModuleDirectory()));
        return 0;
    }

    QTextStream err(stderr);
    QDate from = QDate::currentDate();
    QDate to = from;
    bool ok = true;
    if (parser.isSet(dateOption))
        from = to = ParseDay(parser.value(dateOption), &ok);
    if (ok && parser.isSet(fromOption))
        from = ParseDay(parser.value(fromOption), &ok);
    if (ok && parser.isSet(toOption))
        to = ParseDay(parser.value(toOption), &ok);
    if (!ok || from > to) {
        err << "varnet-journal: dates are yyyy-mm-dd, and --from not after --to\n";
        return 2;
    }
    const QString by = parser.value(byOption);
    if (by != QLatin1String("product") && by != QLatin1String("hour")) {
        err << "varnet-journal: --by takes product or hour\n";
        return 2;
    }
    if (parser.isSet(centralOption) && parser.isSet(fileOption)) {
        err << "varnet-journal: --file and --central exclude each other\n";
        return 2;
    }
    bool seconds = false;
    if (parser.value(timeoutOption).toInt(&seconds) <= 0 || !seconds) {
        err << "varnet-journal: --timeout takes a number of seconds\n";
        return 2;
    }
    if (parser.isSet(sendOption)) {
        if (parser.isSet(centralOption) || parser.isSet(refusedOption)) {
            err << "varnet-journal: --send excludes --central and --refused\n";
            return 2;
        }
        return Send(parser);
    }
    if (parser.isSet(refusedOption)) {
        if (parser.isSet(centralOption)) {
            err << "varnet-journal: --refused reads the counter's own journal, not --central\n";
            return 2;
        }
        return ListRefused(parser);
    }
    QList<JournalRow> rows;
    QString error;
    if (!ReadRows(parser, from, to, &rows, &error)) {
        err << "varnet-journal: " << error << '\n';
        return 1;
    }
    const bool byHour = by == QLatin1String("hour");
    const QList<JournalTotal> totals = byHour ? TotalsByHour(rows) : TotalsByProduct(rows);
    const JournalTotal grand = GrandTotal(rows);

    if (parser.isSet(csvOption)) {
        const QByteArray bytes = parser.isSet(labelsOption)
                                     ? journalcsv::Rows(rows)
                                     : journalcsv::Totals(totals, grand, byHour);
        fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
        return 0;
    }

    QTextStream out(stdout);
    out.setEncoding(QStringConverter::Utf8);
    QList<QStringList> lines;
    if (parser.isSet(labelsOption)) {
        lines.append({QStringLiteral("Время"), QStringLiteral("Код"), QStringLiteral("Товар"),
                      QStringLiteral("Количество"), QStringLiteral("Сумма"),
                      QStringLiteral("Штрих-код"), QStringLiteral("Повтор"),
                      QStringLiteral("Оператор")});
        for (const JournalRow& r : rows)
            lines.append({r.moment.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), r.code, r.name,
                          Fixed(r.quantity, r.weighed ? 3 : 0), Fixed(r.sum, 2), r.barcode,
                          r.reprint ? QStringLiteral("да") : QString(), r.account});
        out << Table(lines, {false, true, false, true, true, false, false, false});
        return 0;
    }
    const QStringList figuresHeader{QStringLiteral("Этикеток"), QStringLiteral("Кг"),
                                    QStringLiteral("Шт"), QStringLiteral("Сумма")};
    const auto figures = [](const JournalTotal& t) {
        return QStringList{QString::number(t.labels), Fixed(t.kilograms, 3), Fixed(t.pieces, 0),
                           Fixed(t.sum, 2)};
    };
    if (byHour)
        lines.append(QStringList{QStringLiteral("Час")} + figuresHeader);
    else
        lines.append(QStringList{QStringLiteral("Код"), QStringLiteral("Товар")} + figuresHeader);
    for (const JournalTotal& t : totals)
        lines.append((byHour ? QStringList{t.key} : QStringList{t.key, t.name}) + figures(t));
    lines.append((byHour ? QStringList{QStringLiteral("Итого")}
                         : QStringList{QStringLiteral("Итого"), QString()}) +
                 figures(grand));
    out << Table(lines, byHour ? QList<bool>{false, true, true, true, true}
                               : QList<bool>{true, false, true, true, true, true});
    return 0;
}
