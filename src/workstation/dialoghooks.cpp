#include "workstation/dialoghooks.h"

#include "labels/varnetcfg.h"
#include "ui/appconfig.h"

void RunSettingsDialog(QWidget* owner) {
    CAppConfig dlg(owner);
    dlg.exec();
}

void RunLayoutEditor(QWidget* owner) {
    CVarnetCfg dlg(owner);
    dlg.exec();
}

std::optional<CurrentProduct> RunProductSearch(QWidget*, CVarnetApp&) {
    return std::nullopt;
}
