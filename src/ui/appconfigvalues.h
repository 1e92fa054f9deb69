// The values of the settings dialog as its controls hold them, their validation with the
// operator's messages, the way they come from and go back into the settings, and the
// entries of its lists.
#pragma once

#include "app/settings.h"
#include "platform/odbc.h"

#include <QString>
#include <QStringList>

#include <optional>

// Control identifiers of the settings dialog.
enum AppConfigControl {
    IDC_PRINTER = 1038,
    IDC_WMASK = 1041,
    IDC_QMASK = 1042,
    IDC_SCALE = 1045,
    IDC_PORT = 1050,
    IDC_PORT_SPIN = 1051,
    IDC_SERVER = 1052,
    IDC_DATABASE = 1053,
    IDC_USER = 1054,
    IDC_PASSWORD = 1055,
    IDC_PRINTEI = 1056,
    IDC_DRIVER = 1048,
    IDC_EIWEIGHT = 1060,
    IDC_EIQUANTITY = 1064,
    IDC_EICURRENCY = 1061,
    IDC_SECTION = 1058,
    IDC_FINDORDER = 1066,
    IDC_ROUNDTO = 1069,
    IDC_PENNY = 1071,
    IDC_SCALEONLY = 1072,
    IDC_CAPACITY = 1073,
    IDC_SOUND = 1074,
    IDC_SPEEDKEYS = 1075,
};

struct AppConfigValues {
    QString PrinterName; // the chosen printer entry; empty when none is chosen
    QString WBarCodeMask;
    QString QBarCodeMask;
    int Type = -1;     // index of the chosen scale entry, -1 for none
    QString RS232Port; // as typed
    QString Server;
    QString Database;
    QString User;
    QString Password;
    bool PrintEI = false;
    QString Driver; // the chosen driver entry; empty when none is chosen
    QString EIWeight;
    QString EIQuantity;
    QString EICurrency;
    QString SectionID;
    int FindOrder = -1; // index of the chosen search-order entry, -1 for none
    QString RoundTo;    // as typed
    bool Penny = false;
    bool WeightFromScaleOnly = false;
    QString Capacity; // kilograms as typed; empty: the scale's own, else 30 kg
    bool Sound = true;
};

// The typing limit of a text control, 0 for none.
int TextLimit(int control);

struct ConfigInputError {
    int nControl; // the control that gets the focus
    QString text; // the validation message
};

// The first value that fails its validation, in the order the controls are exchanged.
std::optional<ConfigInputError> ValidateConfigValues(const AppConfigValues& v);

// The dialog's values for the settings: the port as its low 8 bits, the lists' choices left
// to ChooseListEntry.
AppConfigValues ConfigValuesFromSettings(const AppSettings& s);
// Stores values that passed validation into the settings.
void StoreConfigValues(const AppConfigValues& v, AppSettings& s);

// The entry chosen for a stored text: the first that begins with it, ignoring case; -1 when
// none does or the text is empty.
int ChooseListEntry(const QStringList& entries, const QString& text);

// The scale protocols at the indexes of the scale types.
QStringList ScaleEntries();
// The search orders at the indexes of the product search's orders (already sorted).
QStringList SearchOrderEntries();
// Every installed driver, in the driver manager's order. No driver of this platform for SQL
// Server, PostgreSQL or SQLite has a description beginning with "SQL ", so none is left
// out. A stored driver that no entry begins with is listed last, so confirming the dialog
// keeps the name the connection works with.
QStringList DriverEntries(const QList<platform::odbc::DriverInfo>& drivers,
                          const QString& storedDriver);
