// Writes a counter's files into the folder given: Varnet.ini with settings that use every
// kind of value (Cyrillic texts, numbers, switches, a password) and the two sample layouts,
// through the program's own writers. With --resave, loads the folder's Varnet.ini, changes
// the currency's unit to "руб." and saves it. Built for Linux and for Windows, so that the
// files of the two builds can be compared byte for byte.
#include "app/varnetapp.h"
#include "labels/layoutfile.h"
#include "labels/samplelayout.h"
#include "platform/messages.h"
#include "platform/paths.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication qapp(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const bool resave = args.size() == 3 && args[1] == QLatin1String("--resave");
    if (args.size() != 2 && !resave) {
        std::fprintf(stderr, "usage: writecounterfiles [--resave] FOLDER\n");
        return 2;
    }
    const QString dir = QDir::fromNativeSeparators(args.back());
    platform::SetModuleDirectoryOverride(dir);
    // Saving reconnects the database, which this counter has none of.
    platform::SetMessageSink([](const platform::OperatorMessage&) {});
    CVarnetApp app;
    if (resave) {
        app.LoadSettings();
        app.m_settings.EICurrency = QStringLiteral("руб.");
        app.SaveSettings();
        return 0;
    }
    AppSettings& s = app.m_settings;
    s.PrinterName = QStringLiteral("Этикетки Zebra 58×40");
    s.WBarCodeMask = QStringLiteral("27CCCCCWWWWW");
    s.QBarCodeMask = QStringLiteral("28CCCCCQQQQQ");
    s.PrintEI = true;
    s.EIWeight = QStringLiteral("кг");
    s.EIQuantity = QStringLiteral("шт");
    s.EICurrency = QStringLiteral("руб.");
    s.Penny = true;
    s.RoundTo = 5;
    s.RS232Port = 3;
    s.Type = 3;
    s.Server = QStringLiteral("Склад-1");
    s.Database = QStringLiteral("Магазин №2");
    s.User = QStringLiteral("кассир");
    s.Password = QStringLiteral("пароль;с}скобкой");
    s.SectionID = QStringLiteral("Мясо");
    s.FindOrder = 1;
    app.SaveSettings();
    const bool ok =
        labels::SaveLayout(dir + QStringLiteral("/Varnet.cfg"), SampleLayout(true, 58, 40)) &&
        labels::SaveLayout(dir + QStringLiteral("/QLabel.cfg"), SampleLayout(false, 58, 40));
    return ok && QFile::exists(CVarnetApp::SettingsPath()) ? 0 : 1;
}
