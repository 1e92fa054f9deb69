#include "workstation/dialoghooks.h"

#include "catalogue/cdlgplufind.h"
#include "catalogue/plusql.h"
#include "labels/varnetcfg.h"
#include "ui/appconfig.h"
#include "ui/screenfit.h"
#include "ui/touchscroll.h"
#include "workstation/productlookup.h"

#include <QPushButton>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace {
// The scale of the screen that opens the dialog: its width against the design's.
double OwnerScale(const QWidget* owner) {
    if (!owner)
        return 1.0;
    const QVariant scale = owner->property("varnetScale");
    return scale.isValid() ? scale.toDouble() : 1.0;
}

CurrentProduct ChosenProduct(const CDlgPluFind& dlg) {
    CurrentProduct p;
    p.m_strCode = dlg.m_strCode;
    p.m_strName = dlg.m_strName;
    p.m_strInfo = dlg.m_strInfo;
    p.m_dPrice = dlg.m_dPrice;
    p.m_bWeighed = dlg.m_dSq != 1.0;
    p.m_stBestBefore = dlg.m_stBestBefore;
    return p;
}
} // namespace

void RunSettingsDialog(QWidget* owner, std::function<void(QWidget*)> speedKeys) {
    CAppConfig dlg(owner);
    if (speedKeys)
        dlg.SetSpeedKeysEditor(std::move(speedKeys));
    FitDialogToScale(dlg, OwnerScale(owner));
    dlg.exec();
}

void RunLayoutEditor(QWidget* owner) {
    CVarnetCfg dlg(owner);
    // The editor places its controls by its own size: it grows with the screen as a whole, as
    // far as it fits on the screen with its title bar, which a full screen does not show.
    const double scale = OwnerScale(owner);
    const QScreen* screen = owner ? owner->screen() : nullptr;
    if (scale > 1.0 && screen) {
        // A window manager's frame as the screen's own window has it, or room for a usual
        // one where the screen is full: a full screen shows no frame, and what the window
        // system says of one it had before may be out of date.
        const QRect outer = owner->frameGeometry();
        const QRect inner = owner->geometry();
        QMargins frame(inner.left() - outer.left(), inner.top() - outer.top(),
                       outer.right() - inner.right(), outer.bottom() - inner.bottom());
        const int least = std::min({frame.left(), frame.right(), frame.bottom()});
        const int most = std::max({frame.left(), frame.top(), frame.right(), frame.bottom()});
        if (owner->isFullScreen() || frame.top() <= 0 || least < 0 || most > 100)
            frame = QMargins(8, 32, 8, 8);
        const ScaledWindowPlace place =
            PlaceScaledWindow(dlg.size(), scale, screen->availableGeometry(), frame);
        dlg.setFixedSize(place.size);
        dlg.move(place.framePos);
    }
    // The frame a window manager gives it once shown may still leave it too large for the
    // screen (an 800 by 600 one): it then shrinks to fit, as a whole.
    KeepOnScreenWhenFramed(dlg);
    dlg.exec();
}

std::optional<CurrentProduct>
RunProductSearch(QWidget* owner, CVarnetApp& app,
                 std::function<void(QWidget*, const CurrentProduct&)> toSpeedKey) {
    AppSettings& s = app.m_settings;
    // The list needs a live connection, and its filter the dialect and section switch that
    // connecting reads; a failure has been shown, and an empty dialog would only repeat it.
    if ((!app.m_db.IsOpen() || app.m_db.IsLost()) && !app.ConnectDatabase())
        return std::nullopt;
    CDlgPluFind dlg(owner);
    EnableSwipeScrolling(dlg.Grid());
    if (toSpeedKey) {
        QPushButton* button = dlg.AddButton(QStringLiteral("На быструю клавишу"));
        button->setObjectName(QStringLiteral("toSpeedKeyButton"));
        button->setShortcut(Qt::Key_F2);
        button->setToolTip(QStringLiteral("Поставить выбранный товар на быструю клавишу (F2)"));
        QObject::connect(button, &QPushButton::clicked, &dlg, [&dlg, &toSpeedKey] {
            if (dlg.TakeSelected())
                toSpeedKey(&dlg, ChosenProduct(dlg));
        });
    }
    FitDialogToScale(dlg, OwnerScale(owner));
    dlg.m_strBaseFilter = PluBaseFilter(app.DatabaseDialect(), s.WBarCodeMask, s.QBarCodeMask,
                                        app.m_bEnableSection, s.SectionID);
    if (dlg.exec() != QDialog::Accepted)
        return std::nullopt;
    CurrentProduct p = ChosenProduct(dlg);
    p.m_dTare = ReadPresetTare(app, p.m_strCode);
    return p;
}
