// varnet-democat: writes a demo product catalogue into a SQLite file or any ODBC database.
//   varnet-democat --sqlite FILE [--rows N] [--enable-section V|null|none] [--no-indexes]
//   varnet-democat --connect "ODBC connection string" [...]
#include "democatalogue.h"
#include "platform/programstart.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <cstdio>

int main(int argc, char** argv) {
    platform::PrepareRuntimeDirectory();
    QCoreApplication app(argc, argv);
    platform::RestrictPluginFolders();
    platform::UseUtf8Characters();
    QCoreApplication::setApplicationName(QStringLiteral("varnet-democat"));
    QCoreApplication::setApplicationVersion(platform::ProgramVersion());
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Writes a demo product catalogue.\n"
                       "Exit codes: 0 written; 1 the database refused (its message is on\n"
                       "standard error); 2 bad arguments."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({
        {QStringLiteral("sqlite"), QStringLiteral("SQLite file to (re)create."),
         QStringLiteral("file")},
        {QStringLiteral("connect"), QStringLiteral("ODBC connection string."),
         QStringLiteral("string")},
        {QStringLiteral("rows"), QStringLiteral("Number of products (default 300)."),
         QStringLiteral("n"), QStringLiteral("300")},
        {QStringLiteral("enable-section"),
         QStringLiteral("Value of config.enableSection: a number, null, or none for no row."),
         QStringLiteral("v"), QStringLiteral("0")},
        {QStringLiteral("no-indexes"), QStringLiteral("Do not create the search indexes.")},
    });
    // Not process(): an unknown option is a bad argument, exit code 2 like the others.
    if (!parser.parse(QCoreApplication::arguments())) {
        std::fprintf(stderr, "varnet-democat: %s\n", qPrintable(parser.errorText()));
        return 2;
    }
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();

    QString connection = parser.value(QStringLiteral("connect"));
    if (parser.isSet(QStringLiteral("sqlite"))) {
        const QString file = parser.value(QStringLiteral("sqlite"));
        QFile::remove(file);
        connection = QStringLiteral("Driver={SQLite3};DATABASE=") + file;
    }
    if (connection.isEmpty()) {
        std::fprintf(stderr, "varnet-democat: give --sqlite FILE or --connect STRING\n");
        return 2;
    }
    bool ok = false;
    democat::Options options;
    options.rows = parser.value(QStringLiteral("rows")).toInt(&ok);
    if (!ok || options.rows < 0 || options.rows > 10000000) {
        std::fprintf(stderr, "varnet-democat: --rows takes a number from 0 to 10000000\n");
        return 2;
    }
    const QString es = parser.value(QStringLiteral("enable-section"));
    if (es == QLatin1String("none"))
        options.enableSection.reset();
    else if (es == QLatin1String("null"))
        options.enableSection = std::optional<int>();
    else
        options.enableSection = std::optional<int>(es.toInt());
    options.indexes = !parser.isSet(QStringLiteral("no-indexes"));
    try {
        platform::odbc::Connection db;
        db.Open(connection);
        democat::CreateDemoCatalogue(db, options);
    } catch (const platform::odbc::DatabaseError& e) {
        std::fprintf(stderr, "varnet-democat: %s\n", e.what());
        return 1;
    }
    std::printf("varnet-democat: %d products written\n", options.rows);
    return 0;
}
