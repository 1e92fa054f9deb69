// The product search: the find dialog over the product table. When the operator confirms a
// row it holds the product's code, name, information, price, unit-of-sale marker and
// best-before moment for the main screen.
#pragma once

#include "catalogue/cdlgfind.h"
#include "catalogue/ctableplu.h"

#include <QDateTime>

class CDlgPluFind : public CDlgFind {
    Q_OBJECT

public:
    explicit CDlgPluFind(QWidget* parent = nullptr);
    ~CDlgPluFind() override;

    CTablePlu* m_pTablePlu = nullptr; // owned by the grid
    QString m_strCode;
    QString m_strName;
    QString m_strInfo;
    double m_dPrice = 0.0;
    double m_dSq = 0.0;
    // Local date and time; invalid means the product has no best-before moment.
    QDateTime m_stBestBefore;
    // The shelf life in hours when the best-before moment counts from now; 0 for a fixed
    // date or none.
    qint64 m_nShelfLifeHours = 0;

    // Takes the selected row into the members above, as confirming does; false when there
    // is none or it cannot be taken (the operator has been told why).
    bool TakeSelected();

    // The message when a product's fixed best-before date cannot be taken.
    static QString BadBestBeforeText();

protected:
    void OnInitDialog() override;
    void OnOK() override;

private:
    void OnColumnClick(int column);
};
