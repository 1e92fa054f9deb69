#include "catalogue/cdlgplufind.h"

#include "app/errorboundary.h"
#include "app/varnetapp.h"
#include "platform/clock.h"

#include <QGroupBox>
#include <QHeaderView>

namespace {

// The years a best-before moment may lie in.
bool InRange(const QDateTime& t) {
    return t.isValid() && t.date().year() >= 1970 && t.date().year() <= 3000;
}

} // namespace

CDlgPluFind::CDlgPluFind(QWidget* parent) : CDlgFind(parent) {
    m_strTitle = QStringLiteral("Поиск товара");
    connect(Grid()->horizontalHeader(), &QHeaderView::sectionClicked, this,
            &CDlgPluFind::OnColumnClick);
}

CDlgPluFind::~CDlgPluFind() = default;

QString CDlgPluFind::BadBestBeforeText() {
    return QStringLiteral("Недопустимая дата срока годности товара.");
}

void CDlgPluFind::OnInitDialog() {
    CDlgFind::OnInitDialog();
    CVarnetApp* app = CVarnetApp::Instance();
    if (!app)
        return;
    auto table = std::make_unique<CTablePlu>(app->m_db, app->DatabaseDialect());
    m_pTablePlu = table.get();
    m_pTablePlu->m_strBaseFilter = m_strBaseFilter;
    int order = app->m_settings.FindOrder;
    if (order < 0 || order >= m_pTablePlu->SearchOrderCount())
        order = 0;
    OrderBox()->setTitle(m_pTablePlu->SetSearchOrder(order));
    CGrid* grid = Grid();
    // Opening may fail (no connection, a missing column): the operator sees why, and the
    // dialog stays with an empty list that the next keystroke tries to fill again.
    ReportDatabaseErrors(this, [&] { grid->AttachRowset(std::move(table)); });

    grid->AddColumn(0, QStringLiteral("Код товара"), DT_CENTER, 90, DT_RIGHT);
    tagColumn& code = grid->Column(0);
    code.nType = COL_TEXT;
    code.nParam = CTablePlu::kPluWidth + 1;
    code.ppTexts = &m_pTablePlu->m_plu;
    code.ppLengths = &m_pTablePlu->m_pluLength;

    grid->AddColumn(1, QStringLiteral("Наименование товара"), DT_CENTER, 358, DT_LEFT);
    tagColumn& name = grid->Column(1);
    name.nType = COL_TEXT;
    name.nParam = CTablePlu::kPluNameWidth + 1;
    name.ppTexts = &m_pTablePlu->m_pluName;
    name.ppLengths = &m_pTablePlu->m_pluNameLength;

    grid->AddColumn(2, QStringLiteral("Цена"), DT_CENTER, 71, DT_RIGHT);
    tagColumn& price = grid->Column(2);
    price.nType = COL_DOUBLE;
    price.nParam = 2;
    price.ppDoubles = &m_pTablePlu->m_price;
    price.ppLengths = &m_pTablePlu->m_priceLength;
    price.chThousands = QLatin1Char(' ');
    price.bTrimZeros = !app->m_settings.Penny;
    price.bBlankZero = false;

    grid->SelectFirstRow();
}

void CDlgPluFind::OnColumnClick(int column) {
    if (column >= 0 && column <= 2)
        SetSearchOrder(column);
}

void CDlgPluFind::OnOK() {
    if (TakeSelected())
        accept();
}

bool CDlgPluFind::TakeSelected() {
    CTablePlu* t = m_pTablePlu;
    const int i = Grid()->m_nSelected;
    if (!t || !t->IsOpen() || t->m_nRowCount <= 0 || i < 0)
        return false;
    if (!ReportDatabaseErrors(this, [&] {
            if (!t->IsRowCached(i))
                t->EnsureRowCached(i);
        }))
        return false;
    if (!t->IsRowCached(i))
        return false;
    const int k = i - t->m_nFirstRow;
    m_strCode = CTablePlu::TextAt(t->m_plu, t->m_pluLength, CTablePlu::kPluWidth, k);
    m_strName = CTablePlu::TextAt(t->m_pluName, t->m_pluNameLength, CTablePlu::kPluNameWidth, k);
    m_strInfo = CTablePlu::TextAt(t->m_info, t->m_infoLength, CTablePlu::kInfoWidth, k);
    m_dPrice = t->m_priceLength[k] == SQL_NULL_DATA ? 0.0 : t->m_price[k];
    m_dSq = t->m_sqLength[k] == SQL_NULL_DATA ? 0.0 : t->m_sq[k];

    m_stBestBefore = QDateTime();
    m_nShelfLifeHours = 0;
    const bool hasHours = t->m_bHoursLength[k] != SQL_NULL_DATA && t->m_bHours[k] != 0;
    if (hasHours) {
        // A shelf life that ends outside the years a label can show is refused as a fixed
        // date out of range is: a label would print a wrong year.
        const QDateTime best = platform::Now().addSecs(static_cast<qint64>(t->m_bHours[k]) * 3600);
        if (!InRange(best)) {
            platform::ReportMessage(BadBestBeforeText(), platform::ErrorCaption(),
                                    platform::MessageIcon::Stop, this);
            return false;
        }
        m_stBestBefore = best.toLocalTime();
        m_nShelfLifeHours = t->m_bHours[k];
    } else if (t->m_bDateLength[k] != SQL_NULL_DATA) {
        const SQL_TIMESTAMP_STRUCT& d = t->m_bDate[k];
        const QDateTime best(QDate(d.year, d.month, d.day), QTime(d.hour, d.minute, d.second),
                             Qt::LocalTime);
        if (!InRange(best) || !QTime::isValid(d.hour, d.minute, d.second)) {
            platform::ReportMessage(BadBestBeforeText(), platform::ErrorCaption(),
                                    platform::MessageIcon::Stop, this);
            return false;
        }
        m_stBestBefore = best;
    }
    return true;
}
