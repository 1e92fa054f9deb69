#include "workstation/startup.h"

#include "app/varnetapp.h"
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
    {
        auto dlg = std::make_unique<CVarnetDlg>();
        dlg->exec();
    }
    // The settings and layouts are not written at shutdown.
    return 0;
}
