// A helper process for the speed-key tests, standing for a second operator's program on the
// same counter folder: loads the speed keys of the folder given, sets one key when asked
// ("NUMBER CODE NAME"), and prints the keys it holds, one "number<TAB>code<TAB>name" a line,
// after any problem with the file.
#include "platform/paths.h"
#include "workstation/speedkeys.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char** argv) {
    QCoreApplication qapp(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2 && args.size() != 5)
        return 2;
    platform::SetModuleDirectoryOverride(args[1]);
    QTextStream out(stdout);
    CSpeedKeys keys;
    if (!keys.Load(CSpeedKeys::CounterPath()))
        out << "problem: " << keys.Problem() << '\n';
    if (args.size() == 5) {
        SpeedKey key;
        key.number = args[2].toInt();
        key.code = args[3];
        key.name = args[4];
        QStringList notes;
        if (!keys.Save(CSpeedKeys::CounterPath(), {key}, &notes))
            out << "not saved: " << notes.join(QLatin1Char(' ')) << '\n';
    }
    for (const SpeedKey& k : keys.Keys())
        out << k.number << '\t' << k.code << '\t' << k.name << '\n';
    return 0;
}
