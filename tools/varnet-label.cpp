// varnet-label: renders, prints and writes label layouts without a window, for installers
// and tests.
//   render --out FILE.png (--printer NAME | --page WxH --dpi N) [values] [--layout FILE]
//          [--mono] [--now YYYY-MM-DDTHH:MM]
//   defaults --kind weight|piece --out FILE
//   sample --kind weight|piece --page WxH --out FILE
//   print --printer NAME [values] [--layout FILE] [--now YYYY-MM-DDTHH:MM]
// A label that is blank or whose barcode does not read back is reported and not printed.
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
#include <QGuiApplication>
#include <QRegularExpression>
#include <QTextStream>

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

bool ParseNumber(const QCommandLineParser& p, const QString& name, double& out) {
    if (!p.isSet(name))
        return true;
    bool ok = false;
    out = p.value(name).toDouble(&ok);
    return ok;
}

} // namespace

int main(int argc, char* argv[]) {
    // The tool draws into images and print jobs only: it needs no display.
    platform::UseWindowlessPlatform();
    platform::PrepareRuntimeDirectory();
    QGuiApplication qapp(argc, argv);
    platform::RestrictPluginFolders();
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

    // The label's values.
    LabelData d;
    d.bWeight = bWeight;
    const QString digits = p.value(QStringLiteral("barcode"));
    static const QRegularExpression digitsRe(QStringLiteral("^\\d{1,12}$"));
    if (!digitsRe.match(digits).hasMatch())
        return Fail(QStringLiteral("--barcode takes one to twelve digits, got \"%1\"").arg(digits));
    d.nBarcode = digits.toULongLong();
    d.strName = p.value(QStringLiteral("name"));
    d.strInfo = p.value(QStringLiteral("info"));
    d.bPrintUnits = p.isSet(QStringLiteral("units")) ? 1 : 0;
    if (!ParseNumber(p, QStringLiteral("price"), d.dPrice) ||
        !ParseNumber(p, QStringLiteral("quantity"), d.dQuantity) ||
        !ParseNumber(p, QStringLiteral("sum"), d.dSum))
        return Fail(QStringLiteral("--price, --quantity and --sum take numbers like 12.34"));
    if (p.isSet(QStringLiteral("expiry"))) {
        const QDateTime expiry = QDateTime::fromString(p.value(QStringLiteral("expiry")),
                                                       QStringLiteral("yyyy-MM-ddTHH:mm"));
        if (!expiry.isValid())
            return Fail(QStringLiteral("--expiry takes YYYY-MM-DDTHH:MM"));
        d.stExpiry = ToSystemTime(expiry);
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
    s.PrintEI = d.bPrintUnits != 0;
    s.EIWeight = QStringLiteral("кг");
    s.EIQuantity = QStringLiteral("шт");
    s.EICurrency = QStringLiteral("руб");

    // The layout: a given file, else the kind's file beside the program, else the defaults.
    CBarCodeLabelInfo layout;
    if (p.isSet(QStringLiteral("layout"))) {
        const QString path = p.value(QStringLiteral("layout"));
        const labels::LayoutFileRead read = labels::ReadLayoutFile(path, layout);
        if (platform::IsNotAFile(read.error))
            return Fail(platform::FileErrorText(read.error, path));
        if (!read.ok())
            return Fail(QStringLiteral("cannot read the layout file %1").arg(path));
    } else {
        labels::LoadLayout(CVarnetApp::GetModuleDirectory() + labels::LayoutFileName(bWeight),
                           bWeight, layout);
    }

    // The page: a printer's defaults, or a size and resolution.
    std::unique_ptr<CBarCodeLabel> label;
    const QString printer = p.value(QStringLiteral("printer"));
    if (p.isSet(QStringLiteral("printer"))) {
        platform::InstallSpoolerPrinters();
        s.PrinterName = printer;
        label = std::make_unique<CBarCodeLabel>();
        if (!label->m_bValid)
            return Fail(label->InvalidReason().isEmpty()
                            ? QStringLiteral("no printer named \"%1\"").arg(printer)
                            : label->InvalidReason());
    } else if (command == QLatin1String("print")) {
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
        label = std::make_unique<CBarCodeLabel>(page);
        if (!label->m_bValid)
            return Fail(QStringLiteral("the page is too large"));
    }

    layout.SetValues(d);
    if (!label->Draw(layout))
        return Fail(QStringLiteral("the label could not be drawn"));

    QString unreadable = label->CheckPage();
    // A layout that did not come from its file draws nothing: the file is what to name.
    if (!unreadable.isEmpty() && !p.isSet(QStringLiteral("layout"))) {
        const QString problem = labels::LayoutFileProblem(
            CVarnetApp::GetModuleDirectory() + labels::LayoutFileName(bWeight), bWeight);
        if (!problem.isEmpty())
            unreadable = problem;
    }
    if (command == QLatin1String("render")) {
        if (!p.isSet(QStringLiteral("out")))
            return Fail(QStringLiteral("--out FILE.png is required"));
        const QImage image = p.isSet(QStringLiteral("mono"))
                                 ? platform::ToMonochrome(label->m_bmpPage)
                                 : label->m_bmpPage;
        if (!image.save(p.value(QStringLiteral("out")), "PNG"))
            return Fail(QStringLiteral("cannot write %1").arg(p.value(QStringLiteral("out"))));
        // The picture is written all the same, to show what is wrong with the label.
        if (!unreadable.isEmpty())
            return Fail(unreadable);
        return 0;
    }
    if (!unreadable.isEmpty())
        return Fail(unreadable);
    QString error;
    if (!platform::PrintPageImage(printer, label->m_bmpPage, QStringLiteral("Pelgrin"), &error))
        return Fail(error);
    return 0;
}
