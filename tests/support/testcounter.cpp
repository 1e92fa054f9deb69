#include "support/testcounter.h"

#include "democatalogue.h"
#include "labels/labellayouts.h"
#include "labels/layoutfile.h"
#include "labels/samplelayout.h"

TestCounter::TestCounter(const TestCounterOptions& options) {
    const QString db = m_dir.File(QStringLiteral("catalogue.db"));
    {
        platform::odbc::Connection c;
        c.Open(QStringLiteral("Driver={SQLite3};DATABASE=") + db);
        democat::Options o;
        o.rows = options.products;
        democat::CreateDemoCatalogue(c, o);
        if (options.prepareCatalogue)
            options.prepareCatalogue(c);
    }
    m_dir.Write(QStringLiteral("Varnet.ini"),
                QStringLiteral("[Varnet]\nPrinterName=%1\nPenny=1\n[Scale]\nRS232Port=%2\n"
                               "Type=%3\n[SQL]\nDriver=SQLite3\nServer=localhost\n"
                               "Database=%4\nUser=sa\n")
                    .arg(options.printer)
                    .arg(options.scalePort)
                    .arg(options.scaleType)
                    .arg(db)
                    .toUtf8());
    labels::SaveLayout(m_dir.File(QStringLiteral("Varnet.cfg")), SampleLayout(true, 58, 40));
    labels::SaveLayout(m_dir.File(QStringLiteral("QLabel.cfg")), SampleLayout(false, 58, 40));

    m_app = std::make_unique<CVarnetApp>();
    m_app->SetLabelLayouts(std::make_unique<CLabelLayouts>());
    m_app->LoadSettings();
    m_app->LoadLabelLayouts();
}
