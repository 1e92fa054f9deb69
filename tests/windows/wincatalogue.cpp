// Looks a product up in the catalogue named by the driver and database given, through the
// workstation's own connection and lookup, and prints its name and price: under Wine the
// Windows build reaches unixODBC's SQLite driver through Wine's ODBC.
#include "app/varnetapp.h"
#include "platform/messages.h"
#include "workstation/productlookup.h"
#include "workstation/screenstate.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication qapp(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 4) {
        std::fprintf(stderr, "usage: wincatalogue DRIVER DATABASE CODE\n");
        return 2;
    }
    platform::SetMessageSink([](const platform::OperatorMessage& m) {
        std::fprintf(stderr, "message: %s\n", m.text.toUtf8().constData());
    });
    CVarnetApp app;
    app.m_settings.Driver = args[1];
    app.m_settings.Server = QStringLiteral("localhost");
    app.m_settings.Database = args[2];
    app.m_settings.Penny = true;
    CScreenState state(app.m_settings);
    try {
        if (!LookupProduct(app, state, args[3])) {
            std::printf("not found\n");
            return 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "database error: %s\n", e.what());
        return 3;
    }
    const CurrentProduct& p = state.m_product;
    std::printf("%s|%s|%.2f|%s\n", p.m_strCode.toUtf8().constData(),
                p.m_strName.toUtf8().constData(), p.m_dPrice, p.m_bWeighed ? "weight" : "piece");
    return 0;
}
