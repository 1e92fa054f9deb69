#include "platform/connectionstring.h"

#include "platform/odbc.h"
#include "platform/trustedpath.h"

namespace platform::odbc {

namespace {

const QString kState = QStringLiteral("HY000");

QString Where(const QString& where) {
    return where.isEmpty() ? QStringLiteral("Строка подключения") : where;
}

// The character as the operator can find it in the file: itself when it can be seen.
QString Shown(QChar c) {
    if (c.isPrint() && !c.isSpace())
        return QStringLiteral("«%1»").arg(c);
    return QStringLiteral("U+") +
           QString::number(c.unicode(), 16).toUpper().rightJustified(4, u'0');
}

} // namespace

const QStringList& AllowedConnectionKeys() {
    // A server and a login, and the few switches the README documents: encryption for
    // PostgreSQL and SQL Server, the SQLite driver's refusal to create a missing file, and
    // psqlODBC's protocol (the central journal's sender sets it to do without savepoints).
    static const QStringList keys{QStringLiteral("Driver"),
                                  QStringLiteral("DSN"),
                                  QStringLiteral("Server"),
                                  QStringLiteral("Port"),
                                  QStringLiteral("Database"),
                                  QStringLiteral("UID"),
                                  QStringLiteral("PWD"),
                                  QStringLiteral("Trusted_Connection"),
                                  QStringLiteral("SSLmode"),
                                  QStringLiteral("Encrypt"),
                                  QStringLiteral("TrustServerCertificate"),
                                  QStringLiteral("NoCreat"),
                                  QStringLiteral("Protocol")};
    return keys;
}

namespace {
bool Splits(QChar c) {
    return c == QLatin1Char(';') || c == QLatin1Char('{') || c == QLatin1Char('}');
}

[[noreturn]] void RefuseCharacter(const QString& key, QChar c, const QString& where) {
    throw DatabaseError(QStringLiteral("%1: значение ключа «%2» содержит символ %3. По символам "
                                       "; { } и управляющим символам ODBC-драйвер может "
                                       "разделить строку подключения, поэтому она не будет "
                                       "использована. Уберите этот символ (пароль с ним "
                                       "смените).")
                            .arg(Where(where), key, Shown(c)),
                        kState);
}
} // namespace

void CheckConnectionValue(const QString& key, const QString& value, const QString& where) {
    for (const QChar c : value)
        if (Splits(c) || c.category() == QChar::Other_Control)
            RefuseCharacter(key, c, where);
}

bool DriverHonoursBraces(const QString& driver) {
    QString library;
    if (driver.contains(QLatin1Char('/')) || driver.contains(QLatin1Char('\\'))) {
        library = driver;
    } else {
        try {
            for (const DriverInfo& d : InstalledDrivers()) {
                if (d.description.compare(driver, Qt::CaseInsensitive) != 0)
                    continue;
                for (const QString& a : d.attributes)
                    if (a.startsWith(QLatin1String("Driver="), Qt::CaseInsensitive))
                        library = a.mid(7);
            }
        } catch (const DatabaseError&) {
        }
    }
    return !library.isEmpty() && !library.contains(QLatin1String("sqlite"), Qt::CaseInsensitive);
}

QString PasswordValue(const QString& driver, const QString& password, const QString& key,
                      const QString& where) {
    bool braced = false;
    for (const QChar c : password) {
        if (c.category() == QChar::Other_Control)
            RefuseCharacter(key, c, where);
        if (Splits(c)) {
            if (!braced && !DriverHonoursBraces(driver))
                RefuseCharacter(key, c, where);
            braced = true;
        }
    }
    if (!braced)
        return password;
    QString v = password;
    v.replace(QLatin1Char('}'), QLatin1String("}}"));
    return QLatin1Char('{') + v + QLatin1Char('}');
}

QString CheckedConnectionString(const QString& cs, const QString& where) {
    QStringList parts;
    QStringList seen;
    // The password is passed in braces only to a driver that reads them: the driver is named
    // first, whatever the order of the string.
    const QList<ConnectionAttribute> attributes = ParseConnectionString(cs);
    QString driver;
    for (const ConnectionAttribute& a : attributes)
        if (a.key.trimmed().compare(QLatin1String("Driver"), Qt::CaseInsensitive) == 0)
            driver = a.value;
    for (const ConnectionAttribute& a : attributes) {
        const QString key = a.key.trimmed();
        QString allowed;
        for (const QString& k : AllowedConnectionKeys())
            if (key.compare(k, Qt::CaseInsensitive) == 0)
                allowed = k;
        if (allowed.isEmpty())
            throw DatabaseError(
                QStringLiteral("%1: ключ «%2» не допускается в строке подключения. "
                               "Допустимые ключи: %3.")
                    .arg(Where(where), key, AllowedConnectionKeys().join(QStringLiteral(", "))),
                kState);
        if (seen.contains(allowed))
            throw DatabaseError(QStringLiteral("%1: ключ «%2» указан в строке подключения дважды.")
                                    .arg(Where(where), allowed),
                                kState);
        seen.append(allowed);
        if (allowed == QLatin1String("PWD")) {
            parts.append(
                QStringLiteral("%1=%2").arg(key, PasswordValue(driver, a.value, key, where)));
            continue;
        }
        CheckConnectionValue(key, a.value, where);
        if (allowed == QLatin1String("Driver"))
            driver = a.value;
        // The driver's name may hold spaces; the driver manager takes it in braces.
        parts.append(allowed == QLatin1String("Driver")
                         ? QStringLiteral("%1={%2}").arg(key, a.value)
                         : QStringLiteral("%1=%2").arg(key, a.value));
    }
    return parts.join(QLatin1Char(';'));
}

QString CheckConnectionFields(const ConnectionFields& f, const QString& where) {
    CheckConnectionValue(QStringLiteral("Driver"), f.Driver, where);
    CheckConnectionValue(QStringLiteral("Server"), f.Server, where);
    CheckConnectionValue(QStringLiteral("Database"), f.Database, where);
    CheckConnectionValue(QStringLiteral("User"), f.User, where);
    return PasswordValue(f.Driver, f.Password, QStringLiteral("Password"), where);
}

void CheckConnectionSource(const QString& file) {
    const QString reason = RootMustNotTrust(file);
    if (reason.isEmpty())
        return;
    throw DatabaseError(
        QStringLiteral("Программа запущена от имени root и не берёт строку подключения из файла "
                       "%1: его могут изменить другие пользователи (%2). Запустите программу от "
                       "имени оператора прилавка или укажите ей файл, который может изменять "
                       "только root (varnet-journal: --ini ФАЙЛ).")
            .arg(file, reason),
        kState);
}

QString ConnectionSourceOf(const QString& section, const QString& file) {
    if (file.isEmpty())
        return QStringLiteral("Раздел [%1]").arg(section);
    CheckConnectionSource(file);
    return QStringLiteral("Раздел [%1] файла %2").arg(section, file);
}

} // namespace platform::odbc
