// The connection to the product database and the section switch read from it.
#include "app/varnetapp.h"

#include "platform/atomicfile.h"
#include "platform/connectionstring.h"
#include "platform/messages.h"

#include <QFileInfo>

using platform::odbc::DatabaseError;

QString CVarnetApp::ConnectionString(const AppSettings& s, const QString& file) {
    // Each value is checked under its key in the settings file, so that the operator finds it.
    const QString password = platform::odbc::CheckConnectionFields(
        {s.Driver, s.Server, s.Database, s.User, s.Password},
        platform::odbc::ConnectionSourceOf(QStringLiteral("SQL"), file));
    QString cs = QStringLiteral("Driver={") + s.Driver + QStringLiteral("};SERVER=") + s.Server;
    if (!s.User.isEmpty() || !s.Password.isEmpty()) {
        cs += QStringLiteral(";UID=") + s.User + QStringLiteral(";PWD=") + password +
              QStringLiteral(";DATABASE=") + s.Database + QStringLiteral(";TRUSTED_CONNECTION=No");
    } else {
        cs += QStringLiteral(";DATABASE=") + s.Database + QStringLiteral(";TRUSTED_CONNECTION=Yes");
    }
    // The SQLite driver would create a missing file: a mistyped path must fail instead of
    // opening an empty catalogue.
    if (IsSQLiteDriver(s.Driver))
        cs += QStringLiteral(";NoCreat=1");
    return cs;
}

namespace {
// Whether the catalogue's plu table has a tare column. A catalogue without the table at all
// is told of by the lookups that need it, not here.
bool PluHasTare(const platform::odbc::Connection& db) {
    try {
        platform::odbc::Statement st(db);
        st.SetReadOnly();
        st.ExecDirect(QStringLiteral("SELECT * FROM plu WHERE 1 = 0"));
        const bool has = st.ColumnNames().contains(QStringLiteral("tare"), Qt::CaseInsensitive);
        st.CloseCursor();
        return has;
    } catch (const DatabaseError&) {
        return false;
    }
}
} // namespace

bool CVarnetApp::IsSQLiteDriver(const QString& driver) {
    return driver.contains(QLatin1String("SQLite"), Qt::CaseInsensitive);
}

QString CVarnetApp::CatalogueSetupProblem(const QString& driver,
                                          const QList<platform::odbc::DriverInfo>& installed) {
    if (driver.trimmed().isEmpty())
        return QStringLiteral("не выбран драйвер ODBC");
    // A driver given as a file is checked, with its owner, as the connection opens.
    if (driver.contains(QLatin1Char('/')))
        return QString();
    for (const platform::odbc::DriverInfo& d : installed) {
        if (d.description.compare(driver, Qt::CaseInsensitive) != 0)
            continue;
        if (platform::odbc::DriverLibraryPresent(d))
            return QString();
        return QStringLiteral("у драйвера ODBC «%1» не установлена его библиотека %2")
            .arg(driver, platform::odbc::DriverLibrary(d));
    }
    return QStringLiteral("драйвер ODBC «%1» не установлен").arg(driver);
}

QString CVarnetApp::CatalogueNotSetUpText(const QString& problem) {
    return QStringLiteral("Каталог товаров не настроен: %1.\n\nОткройте настройки клавишей с "
                          "шестерёнкой (или клавишей «*»), выберите драйвер ODBC, сервер и базу "
                          "данных каталога и нажмите «ОК».")
        .arg(problem);
}

bool CVarnetApp::ConnectDatabase() {
    if (m_db.IsOpen() && !m_db.IsLost())
        return true;
    // A connection whose server went away (restarted, network dropped) stays unusable;
    // the failure has been shown once, and this use connects afresh.
    m_db.Close();
    m_bCatalogueTare = false;
    // With no driver chosen (a first start) the driver manager would take any driver it has,
    // and the SQLite one would make an empty file: the operator hears how to set it up.
    if (m_settings.Driver.trimmed().isEmpty()) {
        platform::ReportMessage(CatalogueNotSetUpText(CatalogueSetupProblem(QString(), {})),
                                platform::ErrorCaption(), platform::MessageIcon::Exclamation,
                                m_pMainWnd ? m_pMainWnd->Window() : nullptr);
        return false;
    }
    try {
        m_db.Open(ConnectionString(m_settings, SettingsPath()));
        m_dialect = m_db.GetDialect();
    } catch (const DatabaseError& e) {
        m_db.Close();
        // The driver only says that it cannot open "the database"; the operator needs the
        // path that is wrong.
        const bool missingFile = IsSQLiteDriver(m_settings.Driver) &&
                                 !m_settings.Database.isEmpty() &&
                                 !QFileInfo::exists(m_settings.Database);
        // A catalogue not set up yet (a first start) is told as such, in the operator's words
        // rather than the driver manager's.
        QList<platform::odbc::DriverInfo> installed;
        try {
            installed = platform::odbc::InstalledDrivers();
        } catch (const DatabaseError&) {
        }
        const QString problem = CatalogueSetupProblem(m_settings.Driver, installed);
        QString text = e.Text();
        if (!problem.isEmpty())
            text = CatalogueNotSetUpText(problem);
        else if (missingFile)
            text = platform::FileErrorText(platform::FileError::NotFound, m_settings.Database);
        platform::ReportMessage(text, platform::ErrorCaption(), platform::MessageIcon::Exclamation,
                                m_pMainWnd ? m_pMainWnd->Window() : nullptr);
        return false;
    }
    platform::odbc::Statement query(m_db);
    query.SetReadOnly();
    query.ExecDirect(QStringLiteral("SELECT enableSection FROM config"));
    if (!query.Fetch()) {
        m_bEnableSection = false;
    } else {
        const std::optional<long long> value = query.GetInt(1);
        m_bEnableSection = value.has_value() && (*value & 0xFF) == 1;
    }
    query.CloseCursor();
    m_bCatalogueTare = PluHasTare(m_db);
    return true;
}
