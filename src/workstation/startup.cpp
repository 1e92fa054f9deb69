#include "workstation/startup.h"

#include "app/varnetapp.h"
#include "journal/journal.h"
#include "labels/labellayouts.h"
#include "platform/atomicfile.h"
#include "platform/counterfiles.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "platform/printer.h"
#include "platform/programstart.h"
#include "platform/quitsignals.h"
#include "ui/messagebox.h"
#include "workstation/labelsound.h"
#include "workstation/varnetdlg.h"

#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

const char kUsage[] =
    "Usage: varnet [--full-screen] [--print-folder] [--version] [--help]\n"
    "The workstation of a pre-packing counter. It keeps its settings (Varnet.ini), label\n"
    "layouts (Varnet.cfg, QLabel.cfg) and packing journal (Journal.db) in the counter folder:\n"
    "the folder of the program, or for the installed package /var/lib/varnet (Windows:\n"
    "the folder the installer made, %ProgramData%\\Varnet)\n"
    "(VARNET_COUNTER_DIR in the environment points it elsewhere).\n"
    "  --full-screen   fill the screen (a counter's kiosk start)\n"
    "  --print-folder  print the counter folder and end\n"
    "  --version       print the version and end\n"
    "  --help          print this text and end\n"
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
    if (HasOption(argc, argv, "--help") || HasOption(argc, argv, "--version") ||
        HasOption(argc, argv, "--print-folder"))
        platform::UseParentConsole();
    if (HasOption(argc, argv, "--help")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (HasOption(argc, argv, "--version")) {
        std::printf("varnet %s\n", qPrintable(platform::ProgramVersion()));
        return 0;
    }
    if (HasOption(argc, argv, "--print-folder")) {
        std::printf("%s\n", qPrintable(QDir::toNativeSeparators(platform::ModuleDirectory())));
        return 0;
    }
    const bool bFullScreen = HasOption(argc, argv, "--full-screen");
    platform::PrepareRuntimeDirectory();
    ui::CVarnetApplication qapp(argc, argv);
    platform::RestrictPluginFolders();
    platform::UseUtf8Characters();
    // Qt's own dialogs and buttons speak the operator's language, whatever the system's.
    QTranslator qtRussian;
    if (qtRussian.load(QLocale(QLocale::Russian), QStringLiteral("qtbase"), QStringLiteral("_"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtRussian);
    QCoreApplication::setOrganizationName(QStringLiteral("Morvik"));
    QCoreApplication::setApplicationName(QStringLiteral("Varnet"));
    ui::InstallMessageBoxSink();
    // The platform's own sound: one beep for a label accepted, three for one refused.
    SetLabelSoundSink([](LabelSound sound) {
        QApplication::beep();
        if (sound == LabelSound::Refused)
            for (int i = 1; i <= 2; ++i)
                QTimer::singleShot(i * 180, qApp, [] { QApplication::beep(); });
    });
    // A logout, a shutdown or a kill closes the screen as its close button does; nothing
    // waits for an operator's answer on the way out. One that comes while a message of the
    // start waits (the screen not open yet) ends the program before its screen opens.
    bool bQuitting = false;
    const platform::CQuitSignals quitSignals([&bQuitting] {
        bQuitting = true;
        platform::SetMessageSink({});
        QApplication::closeAllWindows();
    });

    platform::InstallSpoolerPrinters();

    CVarnetApp theApp;
    theApp.SetLabelLayouts(std::make_unique<CLabelLayouts>());
    theApp.LoadSettings();
    // Files that another operator's account left closed to this one, named with their mends
    // (the settings file, first of the names, has had its look while the settings loaded).
    const QStringList closed = platform::CheckCounterFiles(CVarnetApp::GetModuleDirectory(),
                                                           platform::CounterFileNames().mid(1));
    if (!closed.isEmpty())
        platform::ReportMessage(closed.join(QStringLiteral("\n\n")));
    theApp.LoadLabelLayouts();
    // The journal is checked now, and labels that an earlier run of this account could not
    // write go into it.
    AppJournal().Prepare();
    // Rows go on to the chain's central journal, when one is named, from a thread of their own;
    // on an installed counter the journal service sends them, which alone may mark them sent.
    try {
        if (!AppJournal().IsServiced())
            AppJournal().SetCentral(theApp.m_settings.Journal.ConnectionString());
    } catch (const platform::odbc::DatabaseError& e) {
        // Nothing is sent on a connection that was refused; the rows wait in the journal.
        platform::ReportMessage(e.Text(), CJournal::Caption(), platform::MessageIcon::Exclamation);
    }
    {
        auto dlg = std::make_unique<CVarnetDlg>();
        if (bFullScreen)
            dlg->setWindowState(dlg->windowState() | Qt::WindowFullScreen);
        if (!bQuitting)
            dlg->exec();
    }
    // The outbox stops while the application object it posts to still exists; rows the journal
    // could not take are kept in the account's own file, and the operator hears of them once.
    AppJournal().SetCentral(QString());
    if (const QString kept = AppJournal().Close(); !kept.isEmpty())
        platform::ReportMessage(kept, CJournal::Caption(), platform::MessageIcon::Exclamation);
    // The settings and layouts are not written at shutdown.
    return 0;
}
