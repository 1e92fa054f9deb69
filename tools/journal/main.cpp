// varnet-journal: the packing journal for managers and scripts. With no arguments, today's
// totals per product from the journal beside the program; --central reads the chain's.
#include "journal/centraljournal.h"
#include "journal/centralsettings.h"
#include "journal/journal.h"
#include "journal/journalcsv.h"
#include "journal/journalfile.h"
#include "journal/journalsender.h"
#include "journal/journalshift.h"
#include "journal/journaltotals.h"
#include "platform/inifile.h"
#include "platform/paths.h"
#include "platform/programstart.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QTextStream>

#include <cstdio>

#ifndef Q_OS_WIN
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

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
        // Only the end of the line is trimmed: a column padded on its left keeps the columns
        // after it in line.
        QString text = cells.join(QStringLiteral("  "));
        while (text.endsWith(QLatin1Char(' ')))
            text.chop(1);
        out += text + QLatin1Char('\n');
    }
    return out;
}

QString Fixed(double v, int decimals) {
    return QString::number(v, 'f', decimals);
}

// The central journal's connection string: --connect, or [Journal] of --ini or the counter's
// Varnet.ini; empty with the reason when none is named or the file cannot be read.
QString CentralConnection(const QCommandLineParser& parser, QString* error) {
    QString connect = parser.value(QStringLiteral("connect"));
    if (!connect.isEmpty())
        return connect;
    const QString ini =
        parser.isSet(QStringLiteral("ini"))
            ? parser.value(QStringLiteral("ini"))
            : QDir(platform::ModuleDirectory()).filePath(QStringLiteral("Varnet.ini"));
    const platform::CIniFile settings = platform::CIniFile::Load(ini);
    if (settings.IsUnreadable()) {
        *error = platform::FileErrorText(settings.ReadError(), ini);
        return QString();
    }
    try {
        // Root refuses a connection named in a file that others may change.
        connect = CentralJournalSettings::Load(settings).ConnectionString();
    } catch (const platform::odbc::DatabaseError& e) {
        *error = e.Text();
        return QString();
    }
    if (connect.isEmpty())
        *error = QStringLiteral("%1 names no central journal ([Journal] Connect, or Driver "
                                "and Server); or give --connect")
                     .arg(ini);
    return connect;
}

// The journal file: --file, else the counter's journal.
QString JournalPath(const QCommandLineParser& parser) {
    return parser.isSet(QStringLiteral("file"))
               ? parser.value(QStringLiteral("file"))
               : QDir(platform::JournalDirectory()).filePath(CJournal::FileName());
}

// The rows of [from, to) from the local file or the central journal, and the closes of
// shifts from `from` on (the central journal keeps none); false with the reason.
bool ReadRows(const QCommandLineParser& parser, const QDateTime& from, const QDateTime& to,
              QList<JournalRow>* rows, QList<ShiftClose>* closes, QString* error) {
    if (!parser.isSet(QStringLiteral("central"))) {
        const QString path = JournalPath(parser);
        CJournalFile file;
        bool ok = file.OpenReadOnly(path);
        if (ok)
            *rows = file.Rows(from, to, &ok);
        if (ok)
            *closes = file.ShiftCloses(from, &ok);
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
        *rows = central.Rows(from, to, parser.value(QStringLiteral("counter")));
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
    // Rows that the journal service kept apart from the labels: no label could have printed them.
    const QList<RefusedRow> apart = file.RefusedRows(&ok);
    QTextStream out(stdout);
    out.setEncoding(QStringConverter::Utf8);
    out << Table(lines, {false, true, false, true, true, false, false});
    if (ok && !apart.isEmpty()) {
        QList<QStringList> kept{{QStringLiteral("Получено"), QStringLiteral("Оператор"),
                                 QStringLiteral("Идентификатор"), QStringLiteral("Причина")}};
        for (const RefusedRow& r : apart)
            kept.append({r.received.left(19), r.account, r.id, r.reason});
        out << '\n'
            << QStringLiteral("Не приняты службой журнала:") << '\n'
            << Table(kept, {false, false, false, false});
    }
    return 0;
}

QStringList FiguresHeader() {
    return {QStringLiteral("Этикеток"), QStringLiteral("Кг"), QStringLiteral("Шт"),
            QStringLiteral("Сумма")};
}

QStringList Figures(const JournalTotal& t) {
    return {QString::number(t.labels), Fixed(t.kilograms, 3), Fixed(t.pieces, 0), Fixed(t.sum, 2)};
}

// A table of totals per product, or per hour, with the grand total last.
QString TotalsTable(const QList<JournalTotal>& totals, const JournalTotal& grand, bool byHour) {
    const QStringList first = byHour ? QStringList{QStringLiteral("Час")}
                                     : QStringList{QStringLiteral("Код"), QStringLiteral("Товар")};
    QList<QStringList> lines{first + FiguresHeader()};
    for (const JournalTotal& t : totals)
        lines.append((byHour ? QStringList{t.key} : QStringList{t.key, t.name}) + Figures(t));
    lines.append((byHour ? QStringList{QStringLiteral("Итого")}
                         : QStringList{QStringLiteral("Итого"), QString()}) +
                 Figures(grand));
    return Table(lines, byHour ? QList<bool>{false, true, true, true, true}
                               : QList<bool>{true, false, true, true, true, true});
}

// --shift: the account's current shift and the counter's day, as «Итоги смены» shows them.
int PrintShift(const QCommandLineParser& parser) {
    QTextStream err(stderr);
    QDateTime now = QDateTime::currentDateTime();
    if (parser.isSet(QStringLiteral("now"))) {
        const QString text = parser.value(QStringLiteral("now"));
        now = QDateTime::fromString(text, QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
        if (!now.isValid())
            now = QDateTime::fromString(text, QStringLiteral("yyyy-MM-ddTHH:mm"));
        if (!now.isValid()) {
            err << "varnet-journal: --now is yyyy-mm-ddThh:mm[:ss]\n";
            return 2;
        }
    }
    const QString account = parser.isSet(QStringLiteral("account"))
                                ? parser.value(QStringLiteral("account"))
                                : platform::AccountName();
    QList<JournalRow> rows;
    QList<ShiftClose> closes;
    QString error;
    if (!ReadRows(parser, ShiftReport::WindowStart(now), QDateTime(QDate(10000, 1, 1), QTime(0, 0)),
                  &rows, &closes, &error)) {
        err << "varnet-journal: " << error << '\n';
        return 1;
    }
    const ShiftReport report = ShiftReport::Make(rows, closes, account, now);
    if (parser.isSet(QStringLiteral("csv"))) {
        const QByteArray bytes = journalcsv::Totals(report.totals, report.grand, false);
        fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
        return 0;
    }
    QTextStream out(stdout);
    out.setEncoding(QStringConverter::Utf8);
    out << report.Heading() << '\n'
        << TotalsTable(report.totals, report.grand, false) << '\n'
        << QStringLiteral("Весь прилавок за %1")
               .arg(report.day.toString(QStringLiteral("dd.MM.yyyy")))
        << '\n'
        << TotalsTable(report.dayTotals, report.dayGrand, false);
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
    const QString path = JournalPath(parser);
#ifndef Q_OS_WIN
    // Marking rows as sent writes the journal and makes its -wal and -shm files: done by root
    // in a journal of another account (the journal service's), they would be root's and the
    // owner could no longer write its own journal.
    struct stat st {};
    if (geteuid() == 0 && ::stat(QFile::encodeName(path).constData(), &st) == 0 && st.st_uid != 0) {
        const passwd* owner = getpwuid(st.st_uid);
        QTextStream(stderr) << "varnet-journal: " << path << " belongs to "
                            << (owner ? QString::fromLocal8Bit(owner->pw_name)
                                      : QString::number(st.st_uid))
                            << "; --send writes it, so run it as that account, not as root\n";
        return 1;
    }
#endif
    const CJournalSender::Result r =
        CJournalSender::SendUnsent(path, connect, parser.value(QStringLiteral("timeout")).toInt());
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
    platform::UseUtf8Characters();
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
        QStringLiteral("Journal file (default: Journal.db in the journal's folder: the counter "
                       "folder, or for the installed package /var/lib/varnet-journal)."),
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
        QStringLiteral("The labels the central journal refused, with the server's error, and the "
                       "rows the journal service kept apart."));
    const QCommandLineOption shiftOption(
        QStringLiteral("shift"),
        QStringLiteral("The current shift of an account per product, and the counter's day."));
    const QCommandLineOption accountOption(
        QStringLiteral("account"),
        QStringLiteral("With --shift: whose shift (default: the account running the tool)."),
        QStringLiteral("name"));
    const QCommandLineOption nowOption(
        QStringLiteral("now"),
        QStringLiteral("With --shift: the shift at this moment (default: now)."),
        QStringLiteral("yyyy-mm-ddThh:mm"));
    const QCommandLineOption sendOption(
        QStringLiteral("send"),
        QStringLiteral("Send the labels the central journal does not have yet (as the "
                       "workstation does), print how many went and how many were set aside, "
                       "and end."));
    parser.addOptions({folderOption, fileOption, dateOption, fromOption, toOption, byOption,
                       labelsOption, csvOption, centralOption, iniOption, connectOption,
                       counterOption, timeoutOption, refusedOption, shiftOption, accountOption,
                       nowOption, sendOption});
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
    if (parser.isSet(shiftOption)) {
        if (parser.isSet(dateOption) || parser.isSet(fromOption) || parser.isSet(toOption) ||
            parser.isSet(labelsOption) || parser.isSet(byOption)) {
            err << "varnet-journal: --shift takes --now, not dates, --labels or --by\n";
            return 2;
        }
        return PrintShift(parser);
    }
    QList<JournalRow> rows;
    QList<ShiftClose> closes;
    QString error;
    // The labels are read from before the first day too, for the shifts begun before it.
    const QDateTime first = from.startOfDay();
    const QDateTime readFrom = parser.isSet(labelsOption) ? journalshift::ReadFrom(first) : first;
    if (!ReadRows(parser, readFrom, to.addDays(1).startOfDay(), &rows, &closes, &error)) {
        err << "varnet-journal: " << error << '\n';
        return 1;
    }
    const journalshift::RowsWithShifts labels = journalshift::From(rows, closes, first);
    rows = labels.rows;
    const bool byHour = by == QLatin1String("hour");
    const QList<JournalTotal> totals = byHour ? TotalsByHour(rows) : TotalsByProduct(rows);
    const JournalTotal grand = GrandTotal(rows);

    if (parser.isSet(csvOption)) {
        const QByteArray bytes = parser.isSet(labelsOption)
                                     ? journalcsv::Rows(rows, labels.shifts)
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
                      QStringLiteral("Оператор"), QStringLiteral("Ввод"), QStringLiteral("Тара")});
        for (const JournalRow& r : rows)
            lines.append({r.moment.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), r.code, r.name,
                          Fixed(r.quantity, r.weighed ? 3 : 0), Fixed(r.sum, 2), r.barcode,
                          r.reprint ? QStringLiteral("да") : QString(), r.account, r.EntryText(),
                          r.tare > 0 ? Fixed(r.tare, 3) : QString()});
        out << Table(lines, {false, true, false, true, true, false, false, false, false, true});
        return 0;
    }
    out << TotalsTable(totals, grand, byHour);
    return 0;
}
