// The dialogs the main screen opens: the settings dialog, the layout editor and the product
// search. Each returns when the operator closes it.
#pragma once

#include "app/varnetapp.h"
#include "workstation/screenstate.h"

#include <optional>

class QWidget;

// Shows the settings dialog modally; when confirmed it has saved the settings and
// reconnected the database and the scale.
void RunSettingsDialog(QWidget* owner);
// Shows the layout editor modally.
void RunLayoutEditor(QWidget* owner);
// Shows the product search over the catalogue with the codes that fit the barcode masks
// (and the counter's section); the chosen product with its preset tare, or nothing when
// closed without a choice. Database errors of the tare's lookup propagate.
std::optional<CurrentProduct> RunProductSearch(QWidget* owner, CVarnetApp& app);
