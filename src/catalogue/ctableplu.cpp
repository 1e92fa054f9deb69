#include "catalogue/ctableplu.h"

#include "catalogue/plusql.h"

CTablePlu::CTablePlu(platform::odbc::Connection& db, platform::odbc::Dialect dialect)
    : CGridRowset(db) {
    const PluSql& sql = PluStatements(dialect);
    m_nFields = 18;
    m_strSort = sql.defaultSort;
    m_strTable = sql.table;
    m_columns = sql.columns;
    SetBlockStatements(sql.blockStatements);
    if (sql.blockStatements)
        SetKeyColumn(sql.columns.first()); // pluId, unique, and the sorts' last term
    m_aOrderNames.clear();
    m_aOrderColumns.clear();
    m_aOrderSorts.clear();
    m_aOrderConditions.clear();
    m_aOrderArms.clear();
    m_aOrderArmsPatterns.clear();
    m_aOrderAnchored.clear();
    SetArmsCompound(sql.armsCompound);
    SetAnchorSpacing(sql.anchorSpacing);
    for (const PluSearchOrder& o : sql.orders) {
        AddSearchOrder(o.name, o.column, o.sort, o.condition, o.arms, o.armsPattern);
        m_aOrderAnchored.append(o.anchored);
    }
}

CTablePlu::~CTablePlu() {
    Close();
}

void CTablePlu::DoBulkFieldExchange(CFieldExchange& fx) {
    const QStringList& c = m_columns;
    fx.Long(c[0], &m_pluId, &m_pluIdLength);
    fx.Text(c[1], kSectionIdWidth, &m_sectionId, &m_sectionIdLength);
    fx.Text(c[2], kPluWidth, &m_plu, &m_pluLength);
    fx.Text(c[3], kBarCodeWidth, &m_barCode, &m_barCodeLength);
    fx.Text(c[4], kPluNameWidth, &m_pluName, &m_pluNameLength);
    fx.Double(c[5], &m_price, &m_priceLength);
    fx.Byte(c[6], &m_department, &m_departmentLength);
    fx.Double(c[7], &m_discount, &m_discountLength);
    fx.Double(c[8], &m_q, &m_qLength);
    fx.Double(c[9], &m_sq, &m_sqLength);
    fx.Double(c[10], &m_dq, &m_dqLength);
    fx.Text(c[11], kInfoWidth, &m_info, &m_infoLength);
    fx.Long(c[12], &m_bHours, &m_bHoursLength);
    fx.Timestamp(c[13], &m_bDate, &m_bDateLength);
    fx.Byte(c[14], &m_taxGroup, &m_taxGroupLength);
    fx.Long(c[15], &m_pluGroup, &m_pluGroupLength);
    fx.Long(c[16], &m_lockPlu, &m_lockPluLength);
    fx.Text(c[17], kAtrWidth, &m_atr, &m_atrLength);
}

QString CTablePlu::TextAt(const SQLWCHAR* block, const SQLLEN* lengths, int width, int k) {
    if (!block || !lengths || lengths[k] == SQL_NULL_DATA)
        return QString();
    const SQLWCHAR* text = block + static_cast<qsizetype>(k) * (width + 1);
    qsizetype n = 0;
    while (n < width && text[n])
        ++n;
    return platform::odbc::FromSqlWChar(text, n);
}
