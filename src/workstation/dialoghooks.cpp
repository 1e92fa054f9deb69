#include "workstation/dialoghooks.h"

#include "catalogue/cdlgplufind.h"
#include "catalogue/plusql.h"
#include "labels/varnetcfg.h"
#include "ui/appconfig.h"
#include "ui/screenfit.h"

#include <QWidget>

namespace {
// The scale of the screen that opens the dialog: its width against the design's.
double OwnerScale(const QWidget* owner) {
    if (!owner)
        return 1.0;
    const QVariant scale = owner->property("varnetScale");
    return scale.isValid() ? scale.toDouble() : 1.0;
}
} // namespace

void RunSettingsDialog(QWidget* owner) {
    CAppConfig dlg(owner);
    FitDialogToScale(dlg, OwnerScale(owner));
    dlg.exec();
}

void RunLayoutEditor(QWidget* owner) {
    CVarnetCfg dlg(owner);
    // The editor places its controls by its own size: it grows with the screen as a whole.
    if (const double scale = OwnerScale(owner); scale > 1.0) {
        dlg.setFixedSize((QSizeF(dlg.size()) * scale).toSize());
        if (owner)
            dlg.move(owner->geometry().center() - dlg.rect().center());
    }
    dlg.exec();
}

std::optional<CurrentProduct> RunProductSearch(QWidget* owner, CVarnetApp& app) {
    AppSettings& s = app.m_settings;
    // The list needs a live connection, and its filter the dialect and section switch that
    // connecting reads; a failure has been shown, and an empty dialog would only repeat it.
    if ((!app.m_db.IsOpen() || app.m_db.IsLost()) && !app.ConnectDatabase())
        return std::nullopt;
    CDlgPluFind dlg(owner);
    FitDialogToScale(dlg, OwnerScale(owner));
    dlg.m_strBaseFilter = PluBaseFilter(app.DatabaseDialect(), s.WBarCodeMask, s.QBarCodeMask,
                                        app.m_bEnableSection, s.SectionID);
    if (dlg.exec() != QDialog::Accepted)
        return std::nullopt;
    CurrentProduct p;
    p.m_strCode = dlg.m_strCode;
    p.m_strName = dlg.m_strName;
    p.m_strInfo = dlg.m_strInfo;
    p.m_dPrice = dlg.m_dPrice;
    p.m_bWeighed = dlg.m_dSq != 1.0;
    p.m_stBestBefore = dlg.m_stBestBefore;
    return p;
}
