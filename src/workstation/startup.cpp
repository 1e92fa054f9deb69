#include "workstation/startup.h"

#include "app/varnetapp.h"
#include "journal/journal.h"
#include "labels/labellayouts.h"
#include "platform/atomicfile.h"
#include "platform/printer.h"
#include "platform/programstart.h"
#include "ui/messagebox.h"
#include "workstation/varnetdlg.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

const char kUsage[] =
    "Usage: varnet [--full-screen] [--version] [--help]\n"
    "The workstation of a pre-packing counter. It keeps its settings (Varnet.ini) and label\n"
    "layouts (Varnet.cfg, QLabel.cfg) in the folder of the program.\n"
    "  --full-screen  fill the screen (a counter's kiosk start)\n"
    "  --version      print the version and end\n"
    "  --help         print this text and end\n"
    "Exit codes: 0 the main screen was closed. A program that cannot open its window (no\n"
    "display) is stopped by Qt with its message (SIGABRT).\n";

// The program's own options, answered before the window system is reached, so that --version
// and --help work without a display; Qt's own options (-platform ...) are left to Qt.
bool HasOption(int argc, char** argv, const char* name) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], name) == 0)
            return true;
    return false;
}

} // namespace

int RunVarnet(int argc, char** argv) {
    // A file-size limit must fail a save with a message, not kill the counter mid-write.
    platform::IgnoreFileSizeSignal();
    if (HasOption(argc, argv, "--help")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (HasOption(argc, argv, "--version")) {
        std::printf("varnet %s\n", qPrintable(platform::ProgramVersion()));
        return 0;
    }
    const bool bFullScreen = HasOption(argc, argv, "--full-screen");
    platform::PrepareRuntimeDirectory();
    ui::CVarnetApplication qapp(argc, argv);
    // Qt's own dialogs and buttons speak the operator's language, whatever the system's.
    QTranslator qtRussian;
    if (qtRussian.load(QLocale(QLocale::Russian), QStringLiteral("qtbase"), QStringLiteral("_"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtRussian);
    QCoreApplication::setOrganizationName(QStringLiteral("Morvik"));
    QCoreApplication::setApplicationName(QStringLiteral("Varnet"));
    ui::InstallMessageBoxSink();

    platform::InstallSpoolerPrinters();

    CVarnetApp theApp;
    theApp.SetLabelLayouts(std::make_unique<CLabelLayouts>());
    theApp.LoadSettings();
    theApp.LoadLabelLayouts();
    // Rows go on to the chain's central journal, when one is named, from a thread of their own.
    AppJournal().SetCentral(theApp.m_settings.Journal.ConnectionString());
    {
        auto dlg = std::make_unique<CVarnetDlg>();
        if (bFullScreen)
            dlg->setWindowState(dlg->windowState() | Qt::WindowFullScreen);
        dlg->exec();
    }
    // The outbox stops while the application object it posts to still exists.
    AppJournal().SetCentral(QString());
    // The settings and layouts are not written at shutdown.
    return 0;
}
