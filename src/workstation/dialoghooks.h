// The dialogs the main screen opens: the settings dialog, the layout editor and the product
// search. Each returns when the operator closes it.
#pragma once

#include "app/varnetapp.h"
#include "workstation/screenstate.h"

#include <functional>
#include <optional>

class QWidget;

// Shows the settings dialog modally; when confirmed it has saved the settings and
// reconnected the database and the scale. speedKeys, when given, opens the speed keys'
// editor over it.
void RunSettingsDialog(QWidget* owner, std::function<void(QWidget*)> speedKeys = {});
// Shows the layout editor modally.
void RunLayoutEditor(QWidget* owner);
// Shows the product search over the catalogue with the codes that fit the barcode masks
// (and the counter's section); the chosen product with its preset tare, or nothing when
// closed without a choice. Database errors of the tare's lookup propagate. The list scrolls by
// swipes. toSpeedKey, when given, is what the key «На быструю клавишу» (or F2) does with the
// selected product; the search stays open.
std::optional<CurrentProduct>
RunProductSearch(QWidget* owner, CVarnetApp& app,
                 std::function<void(QWidget*, const CurrentProduct&)> toSpeedKey = {});
