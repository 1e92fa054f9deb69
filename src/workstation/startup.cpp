#include "workstation/startup.h"

#include "app/varnetapp.h"
#include "ui/messagebox.h"
#include "workstation/varnetdlg.h"

#include <memory>

int RunVarnet(int argc, char** argv) {
    ui::CVarnetApplication qapp(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Morvik"));
    QCoreApplication::setApplicationName(QStringLiteral("Varnet"));
    ui::InstallMessageBoxSink();

    CVarnetApp theApp;
    theApp.LoadSettings();
    theApp.LoadLabelLayouts();
    {
        auto dlg = std::make_unique<CVarnetDlg>();
        dlg->exec();
    }
    // The settings and layouts are not written at shutdown.
    return 0;
}
