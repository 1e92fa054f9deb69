// The record set of the product search: all eighteen columns of the plu table fetched in
// blocks, with the four search orders (code, name, price, barcode).
#pragma once

#include "catalogue/gridrowset.h"

class CTablePlu : public CGridRowset {
public:
    // Text widths in characters; a longer value is cut to its width when fetched.
    enum : int {
        kSectionIdWidth = 4,
        kPluWidth = 18,
        kBarCodeWidth = 18,
        kPluNameWidth = 60,
        kInfoWidth = 1024,
        kAtrWidth = 13,
    };

    CTablePlu(platform::odbc::Connection& db, platform::odbc::Dialect dialect);
    // Closes while the block pointers below still exist, so closing can reset them.
    ~CTablePlu() override;

    // Block arrays, one entry per block row (the text arrays width + 1 characters per row),
    // and their length indicators; all null while the record set is closed.
    SQLINTEGER* m_pluId = nullptr;
    SQLWCHAR* m_sectionId = nullptr;
    SQLWCHAR* m_plu = nullptr;
    SQLWCHAR* m_barCode = nullptr;
    SQLWCHAR* m_pluName = nullptr;
    SQLDOUBLE* m_price = nullptr;
    SQLCHAR* m_department = nullptr;
    SQLDOUBLE* m_discount = nullptr;
    SQLDOUBLE* m_q = nullptr;
    SQLDOUBLE* m_sq = nullptr;
    SQLDOUBLE* m_dq = nullptr;
    SQLWCHAR* m_info = nullptr;
    SQLINTEGER* m_bHours = nullptr;
    SQL_TIMESTAMP_STRUCT* m_bDate = nullptr;
    SQLCHAR* m_taxGroup = nullptr;
    SQLINTEGER* m_pluGroup = nullptr;
    SQLINTEGER* m_lockPlu = nullptr;
    SQLWCHAR* m_atr = nullptr;

    SQLLEN* m_pluIdLength = nullptr;
    SQLLEN* m_sectionIdLength = nullptr;
    SQLLEN* m_pluLength = nullptr;
    SQLLEN* m_barCodeLength = nullptr;
    SQLLEN* m_pluNameLength = nullptr;
    SQLLEN* m_priceLength = nullptr;
    SQLLEN* m_departmentLength = nullptr;
    SQLLEN* m_discountLength = nullptr;
    SQLLEN* m_qLength = nullptr;
    SQLLEN* m_sqLength = nullptr;
    SQLLEN* m_dqLength = nullptr;
    SQLLEN* m_infoLength = nullptr;
    SQLLEN* m_bHoursLength = nullptr;
    SQLLEN* m_bDateLength = nullptr;
    SQLLEN* m_taxGroupLength = nullptr;
    SQLLEN* m_pluGroupLength = nullptr;
    SQLLEN* m_lockPluLength = nullptr;
    SQLLEN* m_atrLength = nullptr;

    // The text of a text column at block row k; empty for NULL.
    static QString TextAt(const SQLWCHAR* block, const SQLLEN* lengths, int width, int k);

protected:
    void DoBulkFieldExchange(CFieldExchange& fx) override;

private:
    QStringList m_columns;
};
