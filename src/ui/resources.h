// The program's own icons, kept as SVG drawings in the compiled-in resources and addressed by
// their resource numbers (128 the program, 145 printer, 147 settings, ...).
#pragma once

#include <QIcon>
#include <QString>

// Registers the compiled-in resources; safe to call any number of times.
void InitVarnetResources();

// The resource path of icon nIconId, such as ":/icons/145.svg".
QString VarnetIconPath(int nIconId);

// Icon nIconId, registering the resources first; a null icon for a number we do not have.
// The same icon every time (user-interface thread only).
QIcon VarnetIcon(int nIconId);
