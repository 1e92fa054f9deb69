#include "journal/centralsettings.h"

#include "platform/inifile.h"
#include "platform/odbc.h"

using platform::odbc::ConnectionValue;

namespace {
constexpr int kLongText = 1024;
}

QString CentralJournalSettings::Section() {
    return QStringLiteral("Journal");
}

CentralJournalSettings CentralJournalSettings::Load(const platform::CIniFile& ini) {
    const auto text = [&](const char* key) {
        return ini.ReadString(Section(), QLatin1String(key), QString(), kLongText).trimmed();
    };
    CentralJournalSettings s;
    s.Connect = text("Connect");
    s.Driver = text("Driver");
    s.Server = text("Server");
    s.Database = text("Database");
    s.User = text("User");
    s.Password = text("Password");
    return s;
}

bool CentralJournalSettings::IsSet() const {
    return !Connect.isEmpty() || (!Driver.isEmpty() && !Server.isEmpty());
}

QString CentralJournalSettings::ConnectionString() const {
    if (!Connect.isEmpty())
        return Connect;
    if (!IsSet())
        return QString();
    QString driver = Driver;
    driver.replace(QLatin1Char('}'), QLatin1String("}}"));
    QString cs = QStringLiteral("Driver={") + driver + QStringLiteral("};SERVER=") +
                 ConnectionValue(Server) + QStringLiteral(";DATABASE=") + ConnectionValue(Database);
    if (!User.isEmpty() || !Password.isEmpty())
        cs += QStringLiteral(";UID=") + ConnectionValue(User) + QStringLiteral(";PWD=") +
              ConnectionValue(Password) + QStringLiteral(";TRUSTED_CONNECTION=No");
    else
        cs += QStringLiteral(";TRUSTED_CONNECTION=Yes");
    return cs;
}
