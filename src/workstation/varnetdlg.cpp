#include "workstation/varnetdlg.h"

#include "app/errorboundary.h"
#include "journal/journal.h"
#include "platform/messages.h"
#include "platform/printerpage.h"
#include "ui/aboutdlg.h"
#include "ui/buttonctrl.h"
#include "ui/labelctrl.h"
#include "ui/resources.h"
#include "workstation/dialoghooks.h"
#include "workstation/journaldlg.h"
#include "workstation/mainlayout.h"
#include "workstation/printflow.h"
#include "workstation/productlookup.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QTimer>

namespace {
constexpr int kScreenWidth = 800;
constexpr int kScreenHeight = 600;
enum FieldId { IDC_NAME = 10001, IDC_PRICE, IDC_SUM, IDC_WEIGHT, IDC_PANEL };
const QColor kCaptionColour(0, 100, 220);

const AppSettings& Settings() {
    static const AppSettings none;
    const CVarnetApp* app = CVarnetApp::Instance();
    return app ? app->m_settings : none;
}
} // namespace

CVarnetDlg::CVarnetDlg(QWidget* parent) : QDialog(parent), m_state(Settings()) {
    InitVarnetResources();
    if (CVarnetApp* app = CVarnetApp::Instance())
        app->SetMainScreen(this);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);

    m_pPoller = std::make_unique<CScalePoller>(this, this);
    ConnectScale();

    AddAboutAction(this);
    AddJournalActions();
    setWindowIcon(VarnetIcon(128));
    setWindowTitle(QStringLiteral("Ведант"));
    CreateControls();
    resize(kScreenWidth, kScreenHeight);
}

CVarnetDlg::~CVarnetDlg() {
    m_pPoller->Stop();
    if (CVarnetApp* app = CVarnetApp::Instance(); app && app->MainScreen() == this)
        app->SetMainScreen(nullptr);
}

void CVarnetDlg::ConnectScale() {
    const AppSettings& s = Settings();
    ScaleLine line;
    line.nBaudRate = s.BaudRate;
    line.nParity = s.Parity;
    line.nByteSize = s.DataBits;
    line.nStopBits = s.StopBits;
    m_pPoller->ConnectScale(static_cast<unsigned>(s.RS232Port) & 0xFF, s.Type, line);
}

void CVarnetDlg::CreateControls() {
    const QColor frame = CLabel::GrayTextColor();
    const auto field = [&](const QString& caption, int height, bool italic, const QString& face,
                           Qt::Alignment captionAlign, Qt::Alignment textAlign) {
        auto* f = new CLabel(this);
        f->SetCaption(caption, kCaptionColour, frame);
        f->SetTextFont(height, italic, face);
        f->SetCaptionAlign(captionAlign);
        f->SetTextAlign(textAlign);
        f->SetWordWrap(true);
        return f;
    };
    const QString arial = QStringLiteral("Arial");
    m_fields[IDC_NAME] =
        field(QStringLiteral("Название товара"), 40, true, QStringLiteral("Times New Roman"),
              Qt::AlignHCenter, Qt::AlignHCenter);
    m_fields[IDC_NAME]->SetTextColor(QColor(0, 0, 200));
    m_fields[IDC_NAME]->SetBackColor(palette().color(QPalette::Button));
    m_fields[IDC_PRICE] =
        field(QStringLiteral("Цена"), 70, false, arial, Qt::AlignLeft, Qt::AlignRight);
    m_fields[IDC_SUM] =
        field(QStringLiteral("Сумма"), 70, false, arial, Qt::AlignLeft, Qt::AlignRight);
    m_fields[IDC_WEIGHT] =
        field(QStringLiteral("Вес"), 70, false, arial, Qt::AlignLeft, Qt::AlignRight);
    auto* panel = new CLabel(this);
    panel->SetFrameOnly(true);
    panel->SetCaption(QString(), kCaptionColour, frame);
    m_fields[IDC_PANEL] = panel;
    m_pPageSize =
        field(QStringLiteral("Этикетка"), 40, false, arial, Qt::AlignLeft, Qt::AlignHCenter);
    m_pAutoPrint =
        field(QStringLiteral("Автопечать"), 40, false, arial, Qt::AlignLeft, Qt::AlignHCenter);

    struct KeyDef {
        int id;
        const char* caption;
        int fontHeight;
        const char* face;
    };
    static const KeyDef kKeys[] = {
        {IDC_KEY_CLEAR, "C", 50, "Times New Roman"},
        {IDC_KEY_EDITOR, "", 15, "Arial"},
        {IDC_KEY_SETTINGS, "", 15, "Arial"},
        {IDC_KEY_AUTOPRINT, "", 15, "Arial"},
        {IDC_KEY_7, "7", 50, "Arial"},
        {IDC_KEY_8, "8", 50, "Arial"},
        {IDC_KEY_9, "9", 50, "Arial"},
        {IDC_KEY_PRODUCT, "Товар", 20, "Arial"},
        {IDC_KEY_4, "4", 50, "Arial"},
        {IDC_KEY_5, "5", 50, "Arial"},
        {IDC_KEY_6, "6", 50, "Arial"},
        {IDC_KEY_1, "1", 50, "Arial"},
        {IDC_KEY_2, "2", 50, "Arial"},
        {IDC_KEY_3, "3", 50, "Arial"},
        {IDC_KEY_PRINT, "Печать", 20, "Arial"},
        {IDC_KEY_0, "0", 50, "Arial"},
        {IDC_KEY_00, "00", 50, "Arial"},
        {IDC_KEY_POINT, ".", 50, "Arial"},
    };
    for (const KeyDef& k : kKeys) {
        auto* key = new CButtonCtrl(QString::fromUtf8(k.caption), this);
        key->SetFont(k.fontHeight, QString::fromUtf8(k.face));
        key->installEventFilter(this);
        m_keys[k.id] = key;
    }
    m_keys[IDC_KEY_CLEAR]->SetTextColor(QColor(180, 0, 0));
    m_keys[IDC_KEY_EDITOR]->SetIcon(148, 148, 32, ui::KeyIconOnly);
    m_keys[IDC_KEY_SETTINGS]->SetIcon(147, 147, 32, ui::KeyIconOnly);
    m_keys[IDC_KEY_AUTOPRINT]->SetIcon(150, 150, 32, ui::KeyIconOnly);
    m_keys[IDC_KEY_PRODUCT]->SetIcon(151, 151, 48, ui::KeyIconAbove);
    m_keys[IDC_KEY_PRINT]->SetIcon(145, 145, 48, ui::KeyIconAbove);

    for (const int id : {IDC_KEY_0, IDC_KEY_1, IDC_KEY_2, IDC_KEY_3, IDC_KEY_4, IDC_KEY_5,
                         IDC_KEY_6, IDC_KEY_7, IDC_KEY_8, IDC_KEY_9, IDC_KEY_00, IDC_KEY_POINT}) {
        CButtonCtrl* key = m_keys[id];
        connect(key, &CButtonCtrl::clicked, this, [this, key] { AppendKey(key->text()); });
    }
    connect(m_keys[IDC_KEY_CLEAR], &CButtonCtrl::clicked, this, &CVarnetDlg::OnClearKey);
    connect(m_keys[IDC_KEY_EDITOR], &CButtonCtrl::clicked, this, &CVarnetDlg::OnEditorKey);
    connect(m_keys[IDC_KEY_SETTINGS], &CButtonCtrl::clicked, this, &CVarnetDlg::OnSettingsKey);
    connect(m_keys[IDC_KEY_AUTOPRINT], &CButtonCtrl::clicked, this, &CVarnetDlg::OnAutoPrintKey);
    connect(m_keys[IDC_KEY_PRODUCT], &CButtonCtrl::clicked, this, &CVarnetDlg::OnProductKey);
    connect(m_keys[IDC_KEY_PRINT], &CButtonCtrl::clicked, this, &CVarnetDlg::PrintLabel);
    for (CLabel* f : m_fields)
        f->installEventFilter(this);

    UpdatePageSize();
    UpdateDisplays();
}

void CVarnetDlg::SizeControls() {
    // The frame's share of the window, as the window system reports it once shown.
    const QSize extra = frameGeometry().size() - geometry().size();
    const MainLayout l = ComputeMainLayout(extra.width(), extra.height());
    m_fields[IDC_NAME]->resize(l.name.size());
    m_fields[IDC_PRICE]->resize(l.price.size());
    m_fields[IDC_SUM]->resize(l.sum.size());
    m_fields[IDC_WEIGHT]->resize(l.weight.size());
    m_fields[IDC_PANEL]->resize(l.panel.size());
    m_pPageSize->resize(l.pageSize.size());
    m_pAutoPrint->resize(l.autoPrint.size());
    for (auto it = l.keys.begin(); it != l.keys.end(); ++it)
        m_keys[it.key()]->resize(it.value().size());
    m_bSized = true;
}

void CVarnetDlg::PlaceControls() {
    // Positions follow from the controls' own sizes, so a size report while minimised
    // leaves everything where it was.
    CLabel* name = m_fields[IDC_NAME];
    CLabel* price = m_fields[IDC_PRICE];
    CLabel* weight = m_fields[IDC_WEIGHT];
    CLabel* sum = m_fields[IDC_SUM];
    CLabel* panel = m_fields[IDC_PANEL];
    name->move(8, 4);
    int y = name->height() + 8;
    price->move(8, y);
    weight->move(price->width() + 18, y);
    y += weight->height() + 4;
    sum->move(8, y);
    panel->move(sum->width() + 18, y + 6);
    y = panel->y() + panel->height();
    const QMap<int, QRect> keys = KeypadKeys(panel->geometry());
    for (auto it = keys.begin(); it != keys.end(); ++it)
        m_keys[it.key()]->move(it.value().topLeft());
    m_pPageSize->move(8, y - m_pPageSize->height());
    m_pAutoPrint->move(8, m_pPageSize->y() - m_pAutoPrint->height() - 10);
}

void CVarnetDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (m_bSized)
        PlaceControls();
}

void CVarnetDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_bInitialised)
        return;
    m_bInitialised = true;
    SizeControls();
    PlaceAtScreenCentre();
    PlaceControls();
    // The database comes last, once the screen is up: a server that cannot be reached
    // costs one message box over the screen and nothing else.
    QTimer::singleShot(0, this, &CVarnetDlg::OnInitDialog);
}

void CVarnetDlg::OnInitDialog() {
    if (CVarnetApp* app = CVarnetApp::Instance())
        ReportDatabaseErrors(this, [app] { app->ConnectDatabase(); });
}

void CVarnetDlg::PlaceAtScreenCentre() {
    // The window with its frame takes 800 by 600 pixels; it keeps that size.
    const QSize extra = frameGeometry().size() - geometry().size();
    setFixedSize(kScreenWidth - extra.width(), kScreenHeight - extra.height());
    if (const QScreen* screen =
            this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - kScreenWidth) / 2,
             area.y() + (area.height() - kScreenHeight) / 2);
    }
}

void CVarnetDlg::UpdateDisplays() {
    const CScreenState::Displays& d = m_state.GetDisplays();
    m_fields[IDC_NAME]->setText(d.name);
    m_fields[IDC_PRICE]->setText(d.price);
    m_fields[IDC_SUM]->setText(d.sum);
    m_fields[IDC_WEIGHT]->setText(d.weight);
    if (m_fields[IDC_WEIGHT]->Caption() != d.weightHeader)
        m_fields[IDC_WEIGHT]->SetCaption(d.weightHeader, kCaptionColour, CLabel::GrayTextColor());
    m_pAutoPrint->setText(d.autoPrint);
}

void CVarnetDlg::UpdatePageSize() {
    const std::optional<platform::PrinterPage> page =
        platform::QueryPrinterPage(Settings().PrinterName);
    m_pPageSize->setText(page ? QStringLiteral("%1 x %2 мм")
                                    .arg(static_cast<unsigned>(page->m_nPageWidthMM))
                                    .arg(static_cast<unsigned>(page->m_nPageHeightMM))
                              : QStringLiteral("Нет"));
}

void CVarnetDlg::SendPriceToScale() {
    const long long price = m_state.ScalePrice();
    m_pPoller->SetPrice(static_cast<unsigned>(qMax(0LL, qMin(price, 0xFFFFFFFFLL))));
}

void CVarnetDlg::AppendKey(const QString& text) {
    m_state.AppendKey(text);
    UpdateDisplays();
}

void CVarnetDlg::OnClearKey() {
    if (m_state.OnClearKey())
        SendPriceToScale();
    UpdateDisplays();
}

void CVarnetDlg::OnSettingsKey() {
    // The settings dialog saves and reconnects by itself when it is confirmed.
    RunSettingsDialog(this);
    UpdatePageSize();
    OnClearKey();
}

void CVarnetDlg::OnAutoPrintKey() {
    m_state.OnAutoPrintKey();
    const int icon = m_state.m_bAutoPrint ? 149 : 150;
    m_keys[IDC_KEY_AUTOPRINT]->SetIcon(icon, icon, 32, ui::KeyIconOnly);
    m_keys[IDC_KEY_AUTOPRINT]->update();
    UpdateDisplays();
}

void CVarnetDlg::OnEditorKey() {
    RunLayoutEditor(this);
}

void CVarnetDlg::OnProductKey() {
    CVarnetApp* app = CVarnetApp::Instance();
    if (!app)
        return;
    ReportDatabaseErrors(this, [&] {
        bool shown = false;
        if (m_state.m_bEntryActive) {
            shown = OnTypedProductKey(*app, m_state);
        } else if (std::optional<CurrentProduct> chosen = RunProductSearch(this, *app)) {
            m_state.ShowProduct(*chosen);
            shown = true;
        }
        if (shown)
            SendPriceToScale();
    });
    UpdateDisplays();
}

void CVarnetDlg::PrintLabel() {
    ::PrintLabel(m_state, this);
}

void CVarnetDlg::OnWeightUpdate() {
    if (m_state.OnWeightUpdate(m_pPoller->Weight())) {
        UpdateDisplays();
        PrintLabel();
        m_state.AfterAutoPrint(m_pPoller->Weight());
    }
    UpdateDisplays();
}

bool CVarnetDlg::event(QEvent* event) {
    if (event->type() == WM_WEIGHT_UPDATE) {
        OnWeightUpdate();
        return true;
    }
    return QDialog::event(event);
}

bool CVarnetDlg::HandleKey(const QKeyEvent& event) {
    switch (event.key()) {
    case Qt::Key_Escape:
        OnClearKey();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        PrintLabel();
        return true;
    default:
        break;
    }
    // Characters by their whole code: letters of any alphabet never act as keys.
    const QString text = event.text();
    if (text.size() != 1)
        return false;
    const char16_t c = text[0].unicode();
    if ((c >= u'0' && c <= u'9') || c == u'.')
        AppendKey(text);
    else if (c == u'+')
        OnProductKey();
    else if (c == u'-')
        OnAutoPrintKey();
    else if (c == u'*')
        OnSettingsKey();
    else if (c == u'/')
        OnEditorKey();
    else
        return false;
    return true;
}

bool CVarnetDlg::eventFilter(QObject* watched, QEvent* event) {
    // The screen takes its keys before the focused control does.
    if (event->type() == QEvent::KeyPress && HandleKey(static_cast<QKeyEvent&>(*event)))
        return true;
    return QDialog::eventFilter(watched, event);
}

void CVarnetDlg::keyPressEvent(QKeyEvent* event) {
    if (HandleKey(*event)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CVarnetDlg::reject() {
    // Only the window's close command ends the screen (see closeEvent).
}

void CVarnetDlg::closeEvent(QCloseEvent* event) {
    // Weight messages still queued no longer touch the displays.
    m_state.m_bEntryActive = true;
    m_pPoller->Stop();
    event->accept();
    done(QDialog::Rejected);
}

void CVarnetDlg::AddJournalActions() {
    auto* journal = new QAction(QStringLiteral("&Журнал фасовки..."), this);
    journal->setObjectName(QStringLiteral("journalAction"));
    connect(journal, &QAction::triggered, this, [this] {
        auto* dlg = new CJournalDlg(
            AppJournal(),
            [this](const JournalRow& row) { return ReprintLabel(m_state, row, this); }, this);
        dlg->setAttribute(Qt::WA_DeleteOnClose);
        dlg->open();
    });
    addAction(journal);
    auto* last = new QAction(QStringLiteral("&Повторить последнюю этикетку"), this);
    last->setObjectName(QStringLiteral("reprintLastAction"));
    connect(last, &QAction::triggered, this, [this] {
        JournalRow row;
        if (AppJournal().LastRow(&row))
            ReprintLabel(m_state, row, this);
        else
            platform::ReportMessage(QStringLiteral("В журнале фасовки нет этикеток"),
                                    CJournal::Caption(), platform::MessageIcon::Information, this);
    });
    addAction(last);
}
