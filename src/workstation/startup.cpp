#include "workstation/startup.h"

#include "app/varnetapp.h"
#include "journal/journal.h"
#include "labels/labellayouts.h"
#include "platform/atomicfile.h"
#include "platform/printer.h"
#include "ui/messagebox.h"
#include "workstation/varnetdlg.h"

#include <memory>

int RunVarnet(int argc, char** argv) {
    // A file-size limit must fail a save with a message, not kill the counter mid-write.
    platform::IgnoreFileSizeSignal();
    ui::CVarnetApplication qapp(argc, argv);
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
        dlg->exec();
    }
    // The outbox stops while the application object it posts to still exists.
    AppJournal().SetCentral(QString());
    // The settings and layouts are not written at shutdown.
    return 0;
}
