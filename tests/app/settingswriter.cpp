// A helper process for the settings tests: loads the settings of the folder given, saves
// them the given number of times with a long password, and prints every operator message
// and then "alive" on standard output. The tests run it under real limits and kill it.
#include "app/varnetapp.h"
#include "platform/messages.h"
#include "platform/paths.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char** argv) {
    QCoreApplication qapp(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3)
        return 2;
    platform::SetModuleDirectoryOverride(args[1]);
    QTextStream out(stdout);
    platform::SetMessageSink([&out](const platform::OperatorMessage& m) {
        out << m.text << '\n';
        out.flush();
    });
    CVarnetApp app;
    app.LoadSettings();
    const int count = args[2].toInt();
    for (int i = 0; i < count; ++i) {
        app.m_settings.Password = QString(4000 + i % 100, QLatin1Char('p'));
        app.SaveSettings();
    }
    out << "alive\n";
    return 0;
}
