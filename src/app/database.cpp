// The connection to the product database and the section switch read from it.
#include "app/varnetapp.h"

#include "platform/messages.h"

using platform::odbc::ConnectionValue;
using platform::odbc::DatabaseError;

QString CVarnetApp::ConnectionString(const AppSettings& s) {
    QString driver = s.Driver;
    driver.replace(QLatin1Char('}'), QLatin1String("}}"));
    QString cs = QStringLiteral("Driver={") + driver + QStringLiteral("};SERVER=") +
                 ConnectionValue(s.Server);
    if (!s.User.isEmpty() || !s.Password.isEmpty()) {
        cs += QStringLiteral(";UID=") + ConnectionValue(s.User) + QStringLiteral(";PWD=") +
              ConnectionValue(s.Password) + QStringLiteral(";DATABASE=") +
              ConnectionValue(s.Database) + QStringLiteral(";TRUSTED_CONNECTION=No");
    } else {
        cs += QStringLiteral(";DATABASE=") + ConnectionValue(s.Database) +
              QStringLiteral(";TRUSTED_CONNECTION=Yes");
    }
    return cs;
}

bool CVarnetApp::ConnectDatabase() {
    if (m_db.IsOpen())
        return true;
    try {
        m_db.Open(ConnectionString(m_settings));
        m_dialect = m_db.GetDialect();
    } catch (const DatabaseError& e) {
        m_db.Close();
        platform::ReportMessage(e.Text(), platform::ErrorCaption(),
                                platform::MessageIcon::Exclamation,
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
    return true;
}
