// Prints the entries of the settings dialog's list of serial devices, one a line, as the
// dialog shows them: the ports the Wine tests map must be there.
#include "app/varnetapp.h"
#include "platform/messages.h"
#include "ui/appconfig.h"

#include <QApplication>
#include <QComboBox>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    platform::SetMessageSink([](const platform::OperatorMessage&) {});
    CVarnetApp app;
    const CAppConfig dialog;
    const auto* devices = qobject_cast<QComboBox*>(dialog.Control(1200));
    if (!devices)
        return 1;
    for (int i = 1; i < devices->count(); ++i)
        std::printf("%s\t%s\n", qPrintable(devices->itemText(i)),
                    qPrintable(devices->itemData(i).toString()));
    return 0;
}
