#include "journal/centralsettings.h"

#include "platform/connectionstring.h"
#include "platform/inifile.h"
#include "platform/odbc.h"

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
    s.File = ini.Path();
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
    if (!IsSet())
        return QString();
    const QString where = platform::odbc::ConnectionSourceOf(Section(), File);
    if (!Connect.isEmpty())
        return platform::odbc::CheckedConnectionString(Connect, where);
    const QString password =
        platform::odbc::CheckConnectionFields({Driver, Server, Database, User, Password}, where);
    QString cs = QStringLiteral("Driver={") + Driver + QStringLiteral("};SERVER=") + Server +
                 QStringLiteral(";DATABASE=") + Database;
    if (!User.isEmpty() || !Password.isEmpty())
        cs += QStringLiteral(";UID=") + User + QStringLiteral(";PWD=") + password +
              QStringLiteral(";TRUSTED_CONNECTION=No");
    else
        cs += QStringLiteral(";TRUSTED_CONNECTION=Yes");
    return cs;
}
