// varnet-label: renders, prints and writes label layouts without a window, for installers
// and tests.
//   render --out FILE.png (--printer NAME | --page WxH --dpi N) [values] [--layout FILE]
//          [--mono] [--now YYYY-MM-DDTHH:MM]
//   defaults --kind weight|piece --out FILE
//   sample --kind weight|piece --page WxH --out FILE
//   print --printer NAME [values] [--layout FILE] [--now YYYY-MM-DDTHH:MM]
//   render --batch FILE --out FOLDER ..., print --batch FILE ...: one label per row of a CSV
//          file or of JSON lines, in one process; the command line gives the values a row
//          leaves out
// A label that is blank or whose barcode does not read back is reported and not printed.
#include "labelbatch.h"

#include "app/varnetapp.h"
#include "labels/barcodelabel.h"
#include "labels/labelinfo.h"
#include "labels/layoutfile.h"
#include "labels/pagelimit.h"
#include "labels/samplelayout.h"
#include "platform/clock.h"
#include "platform/printer.h"
#include "platform/programstart.h"
#include "platform/rasterpage.h"

#include <QCommandLineParser>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImageWriter>
#include <QRegularExpression>
#include <QTextStream>

#include <functional>
#include <map>
#include <memory>

namespace {

int Fail(const QString& message) {
    QTextStream(stderr) << "varnet-label: " << message << '\n';
    return 1;
}

bool ParsePage(const QString& text, double& w, double& h) {
    static const QRegularExpression re(QStringLiteral("^(\\d+(?:\\.\\d+)?)x(\\d+(?:\\.\\d+)?)$"));
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch())
        return false;
    w = m.captured(1).toDouble();
    h = m.captured(2).toDouble();
    return w > 0 && h > 0 && w <= 2000 && h <= 2000;
}

bool ParseKind(const QString& text, bool& bWeight) {
    if (text == QLatin1String("weight") || text.isEmpty())
        bWeight = true;
    else if (text == QLatin1String("piece"))
        bWeight = false;
    else
        return false;
    return true;
}

// The values of one label by name, as text: the command line's, or a batch row's over them.
using LabelValues = QHash<QString, QString>;
const QStringList& ValueNames() {
    static const QStringList names{"barcode", "name",   "info", "price", "quantity",
                                   "sum",     "expiry", "kind", "out"};
    return names;
}

// The label's values, with the kind; the reason when they make no label. field names a value
// as the reason calls it (the option, or the batch's column).
QString ReadValues(const LabelValues& v, bool decimalComma,
                   const std::function<QString(const QString&)>& field, LabelData& d) {
    d = LabelData();
    bool bWeight = true;
    if (!ParseKind(v.value(QStringLiteral("kind")), bWeight))
        return QStringLiteral("%1 is weight or piece").arg(field(QStringLiteral("kind")));
    d.bWeight = bWeight;
    const QString digits = v.value(QStringLiteral("barcode")).trimmed();
    static const QRegularExpression digitsRe(QStringLiteral("^\\d{1,12}$"));
    if (!digitsRe.match(digits).hasMatch())
        return QStringLiteral("%1 takes one to twelve digits, got \"%2\"")
            .arg(field(QStringLiteral("barcode")), digits);
    d.nBarcode = digits.toULongLong();
    d.strName = v.value(QStringLiteral("name"));
    d.strInfo = v.value(QStringLiteral("info"));
    for (const auto& [name, out] : {std::pair<QString, double*>{QStringLiteral("price"), &d.dPrice},
                                    {QStringLiteral("quantity"), &d.dQuantity},
                                    {QStringLiteral("sum"), &d.dSum}}) {
        QString text = v.value(name).trimmed();
        if (text.isEmpty())
            continue;
        if (decimalComma)
            text.replace(QLatin1Char(','), QLatin1Char('.'));
        bool ok = false;
        *out = text.toDouble(&ok);
        if (!ok)
            return QStringLiteral("%1 takes numbers like 12.34, got \"%2\"")
                .arg(field(name), v.value(name));
    }
    const QString expiryText = v.value(QStringLiteral("expiry")).trimmed();
    if (!expiryText.isEmpty()) {
        const QDateTime expiry =
            QDateTime::fromString(expiryText, QStringLiteral("yyyy-MM-ddTHH:mm"));
        if (!expiry.isValid())
            return QStringLiteral("%1 takes YYYY-MM-DDTHH:MM").arg(field(QStringLiteral("expiry")));
        d.stExpiry = ToSystemTime(expiry);
    }
    return QString();
}

// What every label of a run shares: the command, the page, the layouts.
struct LabelRun {
    bool print = false;
    bool mono = false;
    bool units = false;
    QString printer;
    platform::PrinterPage page;
    QString layoutFile; // given by --layout; empty: each kind's file in the counter folder
    std::map<bool, CBarCodeLabelInfo> layouts;
    // zlib's level for the pictures written; -1 its default.
    int pngLevel = -1;

    // The layout of a kind, read once.
    bool Layout(bool bWeight, CBarCodeLabelInfo& layout, QString* error) {
        const auto it = layouts.find(bWeight);
        if (it != layouts.end()) {
            layout = it->second;
            return true;
        }
        if (!layoutFile.isEmpty()) {
            const labels::LayoutFileRead read = labels::ReadLayoutFile(layoutFile, layout);
            if (platform::IsNotAFile(read.error)) {
                *error = platform::FileErrorText(read.error, layoutFile);
                return false;
            }
            if (!read.ok()) {
                *error = QStringLiteral("cannot read the layout file %1").arg(layoutFile);
                return false;
            }
        } else {
            labels::LoadLayout(CVarnetApp::GetModuleDirectory() + labels::LayoutFileName(bWeight),
                               bWeight, layout);
        }
        layouts[bWeight] = layout;
        return true;
    }

    // Draws one label and writes it to out (render) or prints it as one job; the reason
    // when it could not.
    QString Label(const LabelData& d, const QString& out) {
        CBarCodeLabelInfo layout;
        QString error;
        if (!Layout(d.bWeight, layout, &error))
            return error;
        CBarCodeLabel label(page);
        if (!label.m_bValid)
            return QStringLiteral("the page is too large");
        LabelData values = d;
        values.bPrintUnits = units ? 1 : 0;
        layout.SetValues(values);
        if (!label.Draw(layout))
            return QStringLiteral("the label could not be drawn");
        QString unreadable = label.CheckPage();
        // A layout that did not come from its file draws nothing: the file is what to name.
        if (!unreadable.isEmpty() && layoutFile.isEmpty()) {
            const QString problem = labels::LayoutFileProblem(
                CVarnetApp::GetModuleDirectory() + labels::LayoutFileName(d.bWeight), d.bWeight);
            if (!problem.isEmpty())
                unreadable = problem;
        }
        if (!print) {
            const QImage image = mono ? platform::ToMonochrome(label.m_bmpPage) : label.m_bmpPage;
            QImageWriter writer(out, "png");
            // Qt's PNG writer takes zlib's level as a quality: 100 is level 0, 0 is level 9.
            if (pngLevel >= 0)
                writer.setQuality(100 - (pngLevel * 91 + 8) / 9);
            if (!writer.write(image))
                return QStringLiteral("cannot write %1").arg(out);
            // The picture is written all the same, to show what is wrong with the label.
            return unreadable;
        }
        if (!unreadable.isEmpty())
            return unreadable;
        if (!platform::PrintPageImage(printer, label.m_bmpPage, QStringLiteral("Pelgrin"), &error))
            return error;
        return QString();
    }
};

// One label per row of the batch; a row that makes no label is named on standard error and
// the others go on. The exit code: 1 when any row failed.
int RunBatch(LabelRun& run, const LabelBatch& batch, const LabelValues& defaults,
             const QString& batchFile, const QString& outFolder) {
    QTextStream err(stderr);
    QStringList failed;
    for (const LabelBatchRow& row : batch.rows) {
        QString problem = row.error;
        LabelValues values = defaults;
        for (auto it = row.values.begin(); it != row.values.end(); ++it)
            values.insert(it.key(), it.value());
        LabelData d;
        if (problem.isEmpty())
            problem = ReadValues(
                values, batch.decimalComma, [](const QString& name) { return name; }, d);
        QString out;
        if (problem.isEmpty() && !run.print) {
            QString name = row.values.value(QStringLiteral("out")).trimmed();
            if (name.isEmpty())
                name = QStringLiteral("label-%1.png").arg(row.number, 4, 10, QLatin1Char('0'));
            if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) ||
                name == QLatin1String(".") || name == QLatin1String(".."))
                problem = QStringLiteral("out names a file in the folder, not \"%1\"").arg(name);
            out = QDir(outFolder).filePath(name);
        }
        if (problem.isEmpty())
            problem = run.Label(d, out);
        if (!problem.isEmpty()) {
            err << "varnet-label: " << batchFile << ": row " << row.number << " (line " << row.line
                << "): " << problem << '\n';
            err.flush();
            failed.append(QString::number(row.number));
        }
    }
    if (!failed.isEmpty()) {
        err << "varnet-label: " << failed.size() << " of " << batch.rows.size() << " labels not "
            << (run.print ? "printed" : "written") << " (rows " << failed.join(QStringLiteral(", "))
            << ")\n";
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    // The tool draws into images and print jobs only: it needs no display.
    platform::UseWindowlessPlatform();
    platform::PrepareRuntimeDirectory();
    QGuiApplication qapp(argc, argv);
    platform::RestrictPluginFolders();
    platform::UseUtf8Characters();
    QGuiApplication::setApplicationName(QStringLiteral("varnet-label"));
    QGuiApplication::setApplicationVersion(platform::ProgramVersion());
    CVarnetApp app;

    QCommandLineParser p;
    p.setApplicationDescription(
        QStringLiteral("Renders, prints and writes label layouts.\n"
                       "Exit codes: 0 done; 1 bad arguments, or the layout, picture or label\n"
                       "could not be read, written, drawn or printed (the reason is on\n"
                       "standard error)."));
    p.addHelpOption();
    p.addVersionOption();
    p.addPositionalArgument(QStringLiteral("command"),
                            QStringLiteral("render, print, defaults or sample"));
    const auto opt = [&p](const char* name, const char* help, const char* value = nullptr) {
        p.addOption(value
                        ? QCommandLineOption(QString::fromLatin1(name), QString::fromLatin1(help),
                                             QString::fromLatin1(value))
                        : QCommandLineOption(QString::fromLatin1(name), QString::fromLatin1(help)));
    };
    opt("out", "Output file.", "file");
    opt("kind", "Label kind: weight or piece.", "kind");
    opt("page", "Page size in millimetres, for example 58x40.", "WxH");
    opt("dpi", "Printer pixels per inch.", "n");
    opt("printer", "Spooler name of the printer.", "name");
    opt("layout", "Layout file to use.", "file");
    opt("barcode", "The twelve data digits (a number below 10^12).", "digits");
    opt("name", "Product name.", "text");
    opt("info", "Product information.", "text");
    opt("price", "Price.", "number");
    opt("quantity", "Weight or count.", "number");
    opt("sum", "Amount.", "number");
    opt("expiry", "Best-before moment, YYYY-MM-DDTHH:MM.", "moment");
    opt("units", "Print the unit names.");
    opt("penny", "Money has hundredths.");
    opt("mono", "render: write the dots a black-and-white printer prints.");
    opt("now", "The pack moment, YYYY-MM-DDTHH:MM (default: the clock).", "moment");
    opt("batch",
        "render, print: one label per row of FILE, a CSV whose first line names the columns "
        "(barcode, name, info, price, quantity, sum, expiry, kind, out) or JSON lines with "
        "those keys; the options give what a row leaves out. render writes each label into "
        "the folder --out, as the row's out or label-NNNN.png. A row that makes no label is "
        "named on standard error and the others go on.",
        "file");
    opt("png-level",
        "render: zlib's compression level of the pictures, 0 (fastest) to 9 (smallest); "
        "default 6, or 1 with --batch, whose pictures are for printing.",
        "n");
    opt("print-folder", "Print the counter folder (where the layouts are) and end.");
    p.process(qapp);
    if (p.isSet(QStringLiteral("print-folder"))) {
        QTextStream(stdout) << CVarnetApp::GetModuleDirectory() << '\n';
        return 0;
    }

    const QStringList args = p.positionalArguments();
    if (args.size() != 1)
        return Fail(QStringLiteral("give one command: render, print, defaults or sample"));
    const QString command = args.first();

    bool bWeight = true;
    if (!ParseKind(p.value(QStringLiteral("kind")), bWeight))
        return Fail(QStringLiteral("--kind is weight or piece"));

    if (command == QLatin1String("defaults") || command == QLatin1String("sample")) {
        if (!p.isSet(QStringLiteral("out")))
            return Fail(QStringLiteral("--out FILE is required"));
        CBarCodeLabelInfo layout;
        layout.SetDefaults(bWeight);
        if (command == QLatin1String("sample")) {
            double w = 0, h = 0;
            if (!ParsePage(p.value(QStringLiteral("page")), w, h))
                return Fail(QStringLiteral("--page WxH in millimetres is required, e.g. 58x40"));
            layout = SampleLayout(bWeight, w, h);
        }
        if (!labels::SaveLayout(p.value(QStringLiteral("out")), layout))
            return 1; // the file error was reported on stderr
        return 0;
    }
    if (command != QLatin1String("render") && command != QLatin1String("print"))
        return Fail(QStringLiteral("unknown command \"%1\"").arg(command));

    // The label's values, from the command line: for a batch, what its rows leave out.
    LabelValues values;
    for (const QString& name : ValueNames())
        if (p.isSet(name))
            values.insert(name, p.value(name));
    const bool batch = p.isSet(QStringLiteral("batch"));
    LabelData d;
    if (!batch) {
        const QString problem = ReadValues(
            values, false, [](const QString& name) { return QStringLiteral("--") + name; }, d);
        if (!problem.isEmpty())
            return Fail(problem);
    }
    std::unique_ptr<platform::ScopedFixedClock> fixedNow;
    if (p.isSet(QStringLiteral("now"))) {
        const QDateTime now = QDateTime::fromString(p.value(QStringLiteral("now")),
                                                    QStringLiteral("yyyy-MM-ddTHH:mm"));
        if (!now.isValid())
            return Fail(QStringLiteral("--now takes YYYY-MM-DDTHH:MM"));
        fixedNow = std::make_unique<platform::ScopedFixedClock>(now);
    }
    AppSettings& s = app.m_settings;
    s.Penny = p.isSet(QStringLiteral("penny"));
    s.PrintEI = p.isSet(QStringLiteral("units"));
    s.EIWeight = QStringLiteral("кг");
    s.EIQuantity = QStringLiteral("шт");
    s.EICurrency = QStringLiteral("руб");

    LabelRun run;
    run.print = command == QLatin1String("print");
    run.mono = p.isSet(QStringLiteral("mono"));
    run.units = s.PrintEI;
    run.layoutFile = p.value(QStringLiteral("layout"));
    if (p.isSet(QStringLiteral("png-level"))) {
        bool ok = false;
        run.pngLevel = p.value(QStringLiteral("png-level")).toInt(&ok);
        if (!ok || run.pngLevel < 0 || run.pngLevel > 9)
            return Fail(QStringLiteral("--png-level takes 0 to 9"));
    } else if (batch) {
        // Pictures of a batch go on to be printed: written fast, a few per cent larger.
        run.pngLevel = 1;
    }
    if (!batch) {
        // The layout is read before the page is asked for, as it always was.
        CBarCodeLabelInfo layout;
        QString error;
        if (!run.Layout(d.bWeight, layout, &error))
            return Fail(error);
    }

    // The page: a printer's defaults, or a size and resolution.
    const QString printer = p.value(QStringLiteral("printer"));
    if (p.isSet(QStringLiteral("printer"))) {
        platform::InstallSpoolerPrinters();
        s.PrinterName = printer;
        const CBarCodeLabel label;
        if (!label.m_bValid)
            return Fail(label.InvalidReason().isEmpty()
                            ? QStringLiteral("no printer named \"%1\"").arg(printer)
                            : label.InvalidReason());
        run.printer = printer;
        run.page = label.PageFigures();
    } else if (run.print) {
        return Fail(QStringLiteral("print needs --printer NAME"));
    } else {
        double w = 0, h = 0;
        bool ok = ParsePage(p.value(QStringLiteral("page")), w, h);
        const int dpi = p.value(QStringLiteral("dpi")).toInt();
        if (!ok || dpi <= 0 || dpi > 2400)
            return Fail(QStringLiteral("give --printer NAME or --page WxH --dpi N"));
        const platform::PrinterPage page = platform::PageFromSize(w, h, dpi, dpi);
        // Refused before the page bitmap is allocated.
        if (!labels::IsDrawablePage(page.m_nPageWidth, page.m_nPageHeight))
            return Fail(QStringLiteral("the page of %1 x %2 dots is too large (at most %3 dots)")
                            .arg(page.m_nPageWidth)
                            .arg(page.m_nPageHeight)
                            .arg(labels::kMaxPageDots));
        run.page = page;
    }
    if (!run.print && !p.isSet(QStringLiteral("out")))
        return Fail(batch ? QStringLiteral("--out FOLDER is required")
                          : QStringLiteral("--out FILE.png is required"));

    if (batch) {
        const QString file = p.value(QStringLiteral("batch"));
        LabelBatch rows;
        QString error;
        if (!ReadLabelBatch(file, ValueNames(), rows, &error))
            return Fail(error);
        const QString folder = p.value(QStringLiteral("out"));
        if (!run.print && !QDir().mkpath(folder))
            return Fail(QStringLiteral("cannot make the folder %1").arg(folder));
        return RunBatch(run, rows, values, file, folder);
    }
    const QString problem = run.Label(d, p.value(QStringLiteral("out")));
    if (!problem.isEmpty())
        return Fail(problem);
    return 0;
}
