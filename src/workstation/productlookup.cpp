#include "workstation/productlookup.h"

#include "platform/clock.h"
#include "platform/numbers.h"

QString SectionCondition(CVarnetApp& app) {
    if (!app.m_bEnableSection)
        return QString();
    QString& section = app.m_settings.SectionID;
    section = section.trimmed();
    QString quoted = section;
    quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QStringLiteral(" AND sectionId = '%1'").arg(quoted);
}

namespace {
QString Quoted(QString text) {
    text.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}

QString ByCode(CVarnetApp& app, const QString& columns, const QString& code) {
    return QStringLiteral("SELECT %1 FROM plu WHERE plu = ").arg(columns) + Quoted(code) +
           SectionCondition(app);
}
} // namespace

QString LookupStatement(CVarnetApp& app, const QString& code) {
    return ByCode(app, QStringLiteral("pluName, price, sq, info, bHours, bDate"), code);
}

QMap<QString, CatalogueEntry> LookupEntries(CVarnetApp& app, const QStringList& codes) {
    QMap<QString, CatalogueEntry> entries;
    if (codes.isEmpty() || !app.m_db.IsOpen() || app.m_db.IsLost())
        return entries;
    QStringList quoted;
    for (const QString& code : codes)
        quoted.append(Quoted(code));
    platform::odbc::Statement query(app.m_db);
    query.SetReadOnly();
    query.ExecDirect(QStringLiteral("SELECT plu, pluName, price FROM plu WHERE plu IN (%1)")
                         .arg(quoted.join(QLatin1Char(','))) +
                     SectionCondition(app));
    while (query.Fetch()) {
        CatalogueEntry entry;
        const QString code = query.GetText(1).value_or(QString()).trimmed();
        entry.name = query.GetText(2).value_or(QString());
        entry.price = platform::ParseLeadingDouble(query.GetText(3).value_or(QString()));
        entries.insert(code, entry);
    }
    query.CloseCursor();
    return entries;
}

QString TareStatement(CVarnetApp& app, const QString& code) {
    return ByCode(app, QStringLiteral("tare"), code);
}

double ReadPresetTare(CVarnetApp& app, const QString& code) {
    if (!app.CatalogueHasTare())
        return 0.0;
    platform::odbc::Statement query(app.m_db);
    query.SetReadOnly();
    query.ExecDirect(TareStatement(app, code));
    const double tare = query.Fetch() ? query.GetDouble(1).value_or(0.0) : 0.0;
    query.CloseCursor();
    return tare > 0 ? tare : 0.0;
}

namespace {
// The lookup on the connection as it is; database errors propagate.
bool ReadProduct(CVarnetApp& app, CScreenState& state, const QString& code) {
    platform::odbc::Statement query(app.m_db);
    query.SetReadOnly();
    query.ExecDirect(LookupStatement(app, code));
    if (!query.Fetch())
        return false;
    CurrentProduct p;
    p.m_strCode = code;
    p.m_strName = query.GetText(1).value_or(QString());
    p.m_dPrice = platform::ParseLeadingDouble(query.GetText(2).value_or(QString()));
    p.m_bWeighed = platform::ParseLeadingInt(query.GetText(3).value_or(QString())) != 1;
    p.m_strInfo = query.GetText(4).value_or(QString());
    const int64_t hours = platform::ParseLeadingInt(query.GetText(5).value_or(QString()));
    const std::optional<QDateTime> date = query.GetTimestamp(6);
    if (hours != 0) {
        p.m_stBestBefore = platform::Now().addSecs(hours * 3600);
        p.m_nShelfLifeHours = hours;
    } else if (date)
        p.m_stBestBefore = *date;
    query.CloseCursor();
    p.m_dTare = ReadPresetTare(app, code);
    state.m_product = p;
    return true;
}
} // namespace

bool LookupProduct(CVarnetApp& app, CScreenState& state, const QString& code) {
    state.ClearProduct();
    // A server restarted since the last use has cut the connection, which only a statement
    // finds out: the lookup connects again once, silently, and only a failure of that is
    // the operator's business.
    for (bool retried = false;; retried = true) {
        if (!app.ConnectDatabase())
            return false;
        try {
            return ReadProduct(app, state, code);
        } catch (const platform::odbc::DatabaseError&) {
            if (retried || !app.m_db.IsLost())
                throw;
        }
    }
}

bool OnTypedProductKey(CVarnetApp& app, CScreenState& state) {
    if (!LookupProduct(app, state, state.TypedCode())) {
        state.ShowProductNotFound();
        return false;
    }
    state.ShowProduct(state.m_product);
    return true;
}
