#include "workstation/varnetdlg.h"

#include "app/errorboundary.h"
#include "journal/journal.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "platform/printerpage.h"
#include "ui/aboutdlg.h"
#include "ui/buttonctrl.h"
#include "ui/labelctrl.h"
#include "ui/resources.h"
#include "ui/screenfit.h"
#include "ui/touchkeyboard.h"
#include "workstation/dialoghooks.h"
#include "workstation/journaldlg.h"
#include "workstation/labelpreview.h"
#include "workstation/labelsound.h"
#include "workstation/mainlayout.h"
#include "workstation/printerwatch.h"
#include "workstation/printflow.h"
#include "workstation/printpage.h"
#include "workstation/productlookup.h"
#include "workstation/shiftdlg.h"
#include "workstation/speedkeydlg.h"
#include "workstation/speedkeylayout.h"
#include "workstation/speedkeypad.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
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
                   Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint);

    m_pPoller = std::make_unique<CScalePoller>(this, this);
    ConnectScale();

    AddAboutAction(this);
    AddJournalActions();
    AddShiftAction();
    AddTouchActions();
    // The dialogs' text fields get the on-screen keyboard when a finger presses them.
    CTouchKeyboard::Install();
    // The menu opens by the right button and by a long press, with items a finger can hit.
    setContextMenuPolicy(Qt::DefaultContextMenu);
    m_longPress.setSingleShot(true);
    m_longPress.setInterval(kLongPressMs);
    connect(&m_longPress, &QTimer::timeout, this, &CVarnetDlg::OnLongPress);
    setWindowIcon(VarnetIcon(128));
    setWindowTitle(QStringLiteral("Ведант"));
    CreateControls();
    m_pPrinterWatch = new CPrinterWatch(this);
    connect(m_pPrinterWatch, &CPrinterWatch::StatusChanged, this, &CVarnetDlg::OnPrinterStatus);
    m_pPrinterWatch->SetPrinter(Settings().PrinterName);
    // The counter's speed keys; a file that cannot be used is named, and the keys stay free.
    if (!m_speedKeys.Load(CSpeedKeys::CounterPath()))
        platform::ReportMessage(m_speedKeys.Problem(), platform::ErrorCaption(),
                                platform::MessageIcon::Exclamation, this);
    ShowSpeedKeys(false);
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
    // The state strip: plain frames without captions, the line says what it is about.
    m_pScaleState = field(QString(), 17, false, arial, Qt::AlignLeft, Qt::AlignLeft);
    m_pPrinterState = field(QString(), 17, false, arial, Qt::AlignLeft, Qt::AlignLeft);
    m_pLastLabel = field(QString(), 15, false, arial, Qt::AlignLeft, Qt::AlignLeft);
    for (CLabel* f : {m_pScaleState, m_pPrinterState, m_pLastLabel}) {
        f->SetBackColor(palette().color(QPalette::Button));
        f->installEventFilter(this);
    }
    // «НЕТТО» over the weight field while a tare is taken off the scale's weight.
    m_pNetSign = field(QString(), 20, false, arial, Qt::AlignLeft, Qt::AlignHCenter);
    m_pNetSign->SetBackColor(QColor(180, 0, 0));
    m_pNetSign->SetTextColor(Qt::white);
    m_pNetSign->setText(QStringLiteral("НЕТТО"));
    m_pNetSign->installEventFilter(this);
    m_pNetSign->hide();

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
    m_pTareKey = new CButtonCtrl(QStringLiteral("Тара"), this);
    m_pTareKey->setObjectName(QStringLiteral("tareKey"));
    m_pTareKey->SetFont(20, arial);
    m_pTareKey->installEventFilter(this);
    connect(m_pTareKey, &CButtonCtrl::clicked, this, &CVarnetDlg::OnTareKey);
    for (CLabel* f : m_fields)
        f->installEventFilter(this);

    // The label in sight, beside the strip.
    m_pPreview = new CLabelPreview(this);
    connect(m_pPreview, &CLabelPreview::Tapped, this, &CVarnetDlg::ShowLastLabel);
    // The speed keys: bands beside the design on a wide screen, a page over the keypad.
    m_pBandLeft = new CSpeedKeyPad(1, CSpeedKeys::kCount / 2, false, this);
    m_pBandLeft->setObjectName(QStringLiteral("speedKeysLeft"));
    m_pBandRight =
        new CSpeedKeyPad(CSpeedKeys::kCount / 2 + 1, CSpeedKeys::kCount / 2, false, this);
    m_pBandRight->setObjectName(QStringLiteral("speedKeysRight"));
    m_pSpeedPage = new CSpeedKeyPad(1, CSpeedKeys::kCount, true, this);
    m_pSpeedPage->setObjectName(QStringLiteral("speedKeysPage"));
    for (CSpeedKeyPad* pad : {m_pBandLeft, m_pBandRight, m_pSpeedPage}) {
        pad->hide();
        connect(pad, &CSpeedKeyPad::KeyTapped, this, &CVarnetDlg::OnSpeedKey);
    }
    connect(m_pSpeedPage, &CSpeedKeyPad::CloseTapped, this, &CVarnetDlg::ClosePages);
    m_pPrintPage = new CPrintPage(this);
    m_pPrintPage->hide();
    connect(m_pPrintPage, &CPrintPage::PrintCopies, this, &CVarnetDlg::PrintCopies);
    connect(m_pPrintPage, &CPrintPage::Repeat, this, &CVarnetDlg::RepeatLabel);
    connect(m_pPrintPage, &CPrintPage::CloseTapped, this, &CVarnetDlg::ClosePages);

    UpdatePageSize();
    UpdateDisplays();
}

void CVarnetDlg::SizeControls() {
    // The frame's share of the window, as the window system reports it once shown; a
    // full screen has none.
    const QSize extra = isFullScreen() ? QSize(0, 0) : frameGeometry().size() - geometry().size();
    m_layout = ComputeMainLayout(extra.width(), extra.height());
    m_szDesign = QSize(kScreenWidth - extra.width(), kScreenHeight - extra.height());
    m_bSized = true;
}

void CVarnetDlg::PlaceControls() {
    // A size report while minimised leaves everything where it was.
    if (width() <= 0 || height() <= 0)
        return;
    m_scale = CScreenScale(m_szDesign, size());
    const double s = m_scale.Factor();
    const auto place = [&](auto* control, const QRect& design) {
        control->setGeometry(m_scale.Map(design));
        control->SetDesignSize(design.size());
    };
    place(m_fields[IDC_NAME], m_layout.name);
    place(m_fields[IDC_PRICE], m_layout.price);
    place(m_fields[IDC_WEIGHT], m_layout.weight);
    place(m_fields[IDC_SUM], m_layout.sum);
    place(m_fields[IDC_PANEL], m_layout.panel);
    place(m_pPageSize, m_layout.pageSize);
    place(m_pAutoPrint, m_layout.autoPrint);
    place(m_pScaleState, m_layout.scaleState);
    place(m_pPrinterState, m_layout.printerState);
    QRect lastLabel = m_layout.lastLabel;
    QRect preview;
    PlaceLabelPreview(&lastLabel, &preview);
    place(m_pLastLabel, lastLabel);
    m_pPreview->setGeometry(m_scale.Map(preview));
    place(m_pTareKey, m_layout.tareKey);
    place(m_pNetSign, m_layout.netSign);
    m_pNetSign->raise();
    for (auto it = m_layout.keys.begin(); it != m_layout.keys.end(); ++it)
        place(m_keys[it.key()], it.value());
    PlaceSpeedKeys();
    // The dialogs opened from the screen take the same scale through the program's font.
    ScaleProgramControls(s);
    setProperty("varnetScale", s);
}

void CVarnetDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (m_bSized)
        PlaceControls();
    KeepWholeOnScreen();
}

void CVarnetDlg::moveEvent(QMoveEvent* event) {
    QDialog::moveEvent(event);
    // A window manager frames the window after it is shown: its title bar may then push the
    // window's bottom off a screen of the window's own size.
    KeepWholeOnScreen();
}

void CVarnetDlg::KeepWholeOnScreen() {
    if (!m_bSized || m_bKeepingOnScreen)
        return;
    m_bKeepingOnScreen = true;
    KeepWindowOnScreen(*this);
    m_bKeepingOnScreen = false;
}

void CVarnetDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_bInitialised)
        return;
    m_bInitialised = true;
    SizeControls();
    PlaceAtScreenCentre();
    PlaceControls();
    KeepWholeOnScreen();
    // The database comes last, once the screen is up: a server that cannot be reached
    // costs one message box over the screen and nothing else.
    QTimer::singleShot(0, this, &CVarnetDlg::OnInitDialog);
}

void CVarnetDlg::OnInitDialog() {
    if (CVarnetApp* app = CVarnetApp::Instance())
        ReportDatabaseErrors(this, [app] { app->ConnectDatabase(); });
    ShowSpeedKeys(true);
}

void CVarnetDlg::PlaceAtScreenCentre() {
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (isFullScreen()) {
        // Also without a window manager, which would otherwise leave the window as it was.
        if (screen)
            setGeometry(screen->geometry());
        return;
    }
    // The window with its frame takes 800 by 600 pixels at first; it may be resized, and
    // the design scales with it.
    const QSize extra = frameGeometry().size() - geometry().size();
    setMinimumSize(kScreenWidth / 4, kScreenHeight / 4);
    resize(kScreenWidth - extra.width(), kScreenHeight - extra.height());
    if (screen) {
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
    m_pNetSign->setVisible(d.net);
    if (m_pTareKey->text() != d.tareKey) {
        m_pTareKey->setText(d.tareKey);
        m_pTareKey->update();
    }
    UpdateStrip();
}

void CVarnetDlg::UpdateStrip() {
    if (!m_pScaleState)
        return;
    const auto show = [](CLabel* field, const StripLine& line) {
        field->setText(line.text);
        if (field->TextColor() != line.Colour())
            field->SetTextColor(line.Colour());
    };
    show(m_pScaleState,
         ScaleStateLine(m_pPoller->Scale() != nullptr && m_pPoller->Scale()->m_nPortNumber != 0,
                        m_pPoller->State(), m_pPoller->PortName()));
    if (m_pPrinterWatch)
        show(m_pPrinterState,
             PrinterStateLine(m_pPrinterWatch->Printer(), m_pPrinterWatch->Status()));
    show(m_pLastLabel, LastLabelLine(m_state.m_lastLabel));
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
    RunSettingsDialog(this, [this](QWidget* owner) { RunSpeedKeyEditor(owner); });
    ShowSpeedKeys(true);
    UpdatePageSize();
    m_pPrinterWatch->SetPrinter(Settings().PrinterName);
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

void CVarnetDlg::OnTareKey() {
    const QString refused = m_state.OnTareKey();
    UpdateDisplays();
    if (!refused.isEmpty())
        platform::ReportMessage(refused, QStringLiteral("Тара"), platform::MessageIcon::Information,
                                this);
}

void CVarnetDlg::OnProductKey() {
    CVarnetApp* app = CVarnetApp::Instance();
    if (!app)
        return;
    ReportDatabaseErrors(this, [&] {
        bool shown = false;
        if (m_state.m_bEntryActive) {
            shown = OnTypedProductKey(*app, m_state);
        } else if (std::optional<CurrentProduct> chosen = RunProductSearch(
                       this, *app, [this](QWidget* owner, const CurrentProduct& product) {
                           AssignSpeedKey(owner, product);
                       })) {
            m_state.ShowProduct(*chosen);
            shown = true;
        }
        if (shown)
            SendPriceToScale();
    });
    UpdateDisplays();
}

void CVarnetDlg::PrintLabel() {
    PrintCopies(1);
}

void CVarnetDlg::Print(PrintBy by, int copies) {
    // The print takes the weight only while the scale still gives it.
    const IScale* scale = m_pPoller->Scale();
    m_state.m_scale.bConnected = scale != nullptr && scale->m_nPortNumber != 0;
    m_state.m_scale.state = m_pPoller->State();
    m_state.m_scale.port = m_pPoller->PortName();
    const LastLabel before = m_state.m_lastLabel;
    ::PrintLabel(m_state, this, by, copies);
    AfterLabel(before);
}

void CVarnetDlg::AfterLabel(const LastLabel& before) {
    const LastLabel& now = m_state.m_lastLabel;
    if (now.moment == before.moment && now.kind == before.kind && now.barcode == before.barcode &&
        now.reason == before.reason)
        return;
    UpdateStrip();
    m_pPreview->SetLabel(now);
    const bool printed = now.kind == LastLabel::Printed;
    m_pPreview->Flash(printed);
    SignalLabel(Settings().Sound, printed ? LabelSound::Accepted : LabelSound::Refused);
    // A label tried is a good moment to hear the spooler again.
    m_pPrinterWatch->AskNow();
}

void CVarnetDlg::OnPrinterStatus() {
    // A printer seen ready again ends the stop that auto-print told of.
    if (m_pPrinterWatch->Status().kind == PrinterStatus::Ready)
        m_state.m_bPrinterStopTold = false;
    UpdateStrip();
}

void CVarnetDlg::OnWeightUpdate() {
    if (const IScale* scale = m_pPoller->Scale())
        m_state.m_dScaleCapacity = scale->Capacity();
    if (m_state.OnWeightUpdate(m_pPoller->Weight(), m_pPoller->State())) {
        UpdateDisplays();
        Print(PrintBy::AutoPrint);
        m_state.AfterAutoPrint(m_pPoller->Weight());
    }
    UpdateDisplays();
}

bool CVarnetDlg::event(QEvent* event) {
    if (event->type() == WM_WEIGHT_UPDATE) {
        OnWeightUpdate();
        return true;
    }
    if (event->type() == WM_SCALE_STATE) {
        UpdateStrip();
        return true;
    }
    return QDialog::event(event);
}

bool CVarnetDlg::HandleKey(const QKeyEvent& event) {
    // An open page takes the keys it knows first.
    if (m_pPrintPage->isVisible() && m_pPrintPage->HandleKey(event))
        return true;
    if (m_pSpeedPage->isVisible() && event.key() == Qt::Key_Escape) {
        ClosePages();
        return true;
    }
    // F1 to F12 are the speed keys 1 to 12, with Shift 13 to 24; Insert opens their page.
    if (event.key() >= Qt::Key_F1 && event.key() <= Qt::Key_F12) {
        OnSpeedKey(event.key() - Qt::Key_F1 + 1 + (event.modifiers() & Qt::ShiftModifier ? 12 : 0));
        return true;
    }
    if (event.key() == Qt::Key_Insert) {
        ShowSpeedKeyPage();
        return true;
    }
    // The menu key opens the menu of a long press, in the middle of the design.
    if (event.key() == Qt::Key_Menu) {
        ShowScreenMenu(mapToGlobal(m_scale.Design().center()));
        return true;
    }
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
    WatchPress(watched, event);
    return QDialog::eventFilter(watched, event);
}

void CVarnetDlg::mousePressEvent(QMouseEvent* event) {
    WatchPress(this, event);
    QDialog::mousePressEvent(event);
}

void CVarnetDlg::WatchPress(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton)
            return;
        m_ptPress = mouse->globalPosition().toPoint();
        m_pPressed = qobject_cast<QWidget*>(watched);
        m_longPress.start();
        return;
    }
    case QEvent::MouseMove: {
        // A finger that slides off is no long press; a little tremble is.
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const int slack = qRound(16 * m_scale.Factor());
        if ((mouse->globalPosition().toPoint() - m_ptPress).manhattanLength() > slack)
            m_longPress.stop();
        return;
    }
    case QEvent::MouseButtonRelease:
    case QEvent::Hide:
        m_longPress.stop();
        return;
    default:
        return;
    }
}

void CVarnetDlg::OnLongPress() {
    // The key under the finger must not click when it is lifted over the menu.
    if (auto* key = qobject_cast<QAbstractButton*>(m_pPressed.data()))
        key->setDown(false);
    // Behind «Товар» are the speed keys, behind «Печать» the copies and the repeat.
    if (m_pPressed == m_keys[IDC_KEY_PRODUCT])
        ShowSpeedKeyPage();
    else if (m_pPressed == m_keys[IDC_KEY_PRINT])
        ShowPrintPage();
    else
        ShowScreenMenu(m_ptPress);
}

void CVarnetDlg::contextMenuEvent(QContextMenuEvent* event) {
    ShowScreenMenu(event->globalPos());
    event->accept();
}

void CVarnetDlg::ShowScreenMenu(const QPoint& globalPos) {
    if (m_pMenu)
        return;
    QMenu menu(this);
    menu.addActions(actions());
    FitMenuForTouch(menu, m_scale.Factor());
    m_pMenu = &menu;
    menu.exec(globalPos);
    m_pMenu = nullptr;
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
            [this](const JournalRow& row) {
                const LastLabel before = m_state.m_lastLabel;
                const bool printed = ReprintLabel(m_state, row, this);
                AfterLabel(before);
                return printed;
            },
            this);
        dlg->setAttribute(Qt::WA_DeleteOnClose);
        FitDialogToScale(*dlg, m_scale.Factor());
        dlg->open();
    });
    addAction(journal);
    auto* last = new QAction(QStringLiteral("&Повторить последнюю этикетку"), this);
    last->setObjectName(QStringLiteral("reprintLastAction"));
    connect(last, &QAction::triggered, this, [this] {
        JournalRow row;
        if (AppJournal().LastRow(&row)) {
            const LastLabel before = m_state.m_lastLabel;
            ReprintLabel(m_state, row, this);
            AfterLabel(before);
        } else
            platform::ReportMessage(QStringLiteral("В журнале фасовки нет этикеток"),
                                    CJournal::Caption(), platform::MessageIcon::Information, this);
    });
    addAction(last);
}

void CVarnetDlg::AddShiftAction() {
    auto* shift = new QAction(QStringLiteral("&Итоги смены..."), this);
    shift->setObjectName(QStringLiteral("shiftAction"));
    connect(shift, &QAction::triggered, this, [this] {
        auto* dlg = new CShiftDlg(AppJournal(), platform::AccountName(), this);
        dlg->setAttribute(Qt::WA_DeleteOnClose);
        FitDialogToScale(*dlg, m_scale.Factor());
        for (QPushButton* key : dlg->findChildren<QPushButton*>())
            key->setMinimumHeight(TouchRowHeight(m_scale.Factor()));
        dlg->open();
    });
    addAction(shift);
}

void CVarnetDlg::AddTouchActions() {
    const auto add = [this](const QString& text, const char* name, void (CVarnetDlg::*slot)()) {
        auto* action = new QAction(text, this);
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, this, slot);
        addAction(action);
    };
    add(QStringLiteral("Быстрые &клавиши"), "speedKeysAction", &CVarnetDlg::ShowSpeedKeyPage);
    add(QStringLiteral("&Копии и повтор этикетки"), "printPageAction", &CVarnetDlg::ShowPrintPage);
    add(QStringLiteral("Последняя &этикетка крупно"), "labelViewAction",
        &CVarnetDlg::ShowLastLabel);
}

void CVarnetDlg::ShowSpeedKeys(bool askCatalogue) {
    if (askCatalogue) {
        m_speedKeyProducts.clear();
        QStringList codes;
        for (const SpeedKey& key : m_speedKeys.Keys())
            codes.append(key.code);
        CVarnetApp* app = CVarnetApp::Instance();
        try {
            const QMap<QString, CatalogueEntry> entries =
                app ? LookupEntries(*app, codes) : QMap<QString, CatalogueEntry>();
            for (auto it = entries.begin(); it != entries.end(); ++it)
                m_speedKeyProducts.insert(
                    it.key(), {it.value().name, m_state.MoneyText(it.value().price).trimmed()});
        } catch (const platform::odbc::DatabaseError&) {
            // The keys show their own texts and no prices; a tap on one tells the operator
            // what the catalogue says.
        }
    }
    for (CSpeedKeyPad* pad : {m_pBandLeft, m_pBandRight, m_pSpeedPage})
        pad->SetKeys(m_speedKeys, m_speedKeyProducts);
}

void CVarnetDlg::PlaceSpeedKeys() {
    constexpr int half = CSpeedKeys::kCount / 2;
    const QRect design = m_scale.Design();
    const QList<QRect> band =
        SpeedKeyBands(size(), design, CSpeedKeys::kCount, qRound(TouchRowHeight(1.0) * 1.25));
    const bool bands = !band.isEmpty();
    if (bands) {
        const QRect left(0, 0, design.left(), height());
        const QRect right(design.right() + 1, 0, width() - design.right() - 1, height());
        m_pBandLeft->setGeometry(left);
        m_pBandRight->setGeometry(right);
        QList<QRect> inLeft;
        QList<QRect> inRight;
        for (int i = 0; i < band.size(); ++i) {
            if (i < half)
                inLeft.append(band[i].translated(-left.topLeft()));
            else
                inRight.append(band[i].translated(-right.topLeft()));
        }
        m_pBandLeft->PlaceKeys(inLeft);
        m_pBandRight->PlaceKeys(inRight);
    }
    m_pBandLeft->setVisible(bands);
    m_pBandRight->setVisible(bands);

    // The pages lie over the keypad panel, their keys on grids of the design.
    const QRect panel = m_scale.Map(m_layout.panel);
    const auto map = [this, panel](const QRect& r) {
        return m_scale.Map(r.translated(m_layout.panel.topLeft())).translated(-panel.topLeft());
    };
    m_pSpeedPage->setGeometry(panel);
    m_pPrintPage->setGeometry(panel);
    QRect close;
    QList<QRect> page;
    for (const QRect& r : ::SpeedKeyPage(m_layout.panel.size(), CSpeedKeys::kCount, &close))
        page.append(map(r));
    m_pSpeedPage->PlaceKeys(page, map(close));
    m_pSpeedPage->CloseKey()->SetDesignSize(close.size());
    m_pPrintPage->Place(::PrintPage(m_layout.panel.size()), map);
}

void CVarnetDlg::HideKeypad(bool hide) {
    for (CButtonCtrl* key : m_keys)
        key->setVisible(!hide);
}

void CVarnetDlg::ShowSpeedKeyPage() {
    ClosePages();
    HideKeypad(true);
    m_pSpeedPage->show();
    m_pSpeedPage->raise();
    m_pSpeedPage->KeyButton(1)->setFocus();
}

void CVarnetDlg::ShowPrintPage() {
    ClosePages();
    HideKeypad(true);
    m_pPrintPage->Open();
}

void CVarnetDlg::ClosePages() {
    if (!m_pSpeedPage->isVisible() && !m_pPrintPage->isVisible())
        return;
    m_pSpeedPage->hide();
    m_pPrintPage->hide();
    HideKeypad(false);
    m_keys[IDC_KEY_PRINT]->setFocus();
}

void CVarnetDlg::OnSpeedKey(int number) {
    ClosePages();
    if (number < 1 || number > CSpeedKeys::kCount)
        return;
    const SpeedKey key = m_speedKeys.Key(number);
    if (!key.IsAssigned()) {
        platform::ReportMessage(
            QStringLiteral("Быстрая клавиша %1 не назначена. Назначьте её в поиске товара "
                           "(«На быструю клавишу») или в настройках («Быстрые клавиши...»).")
                .arg(number),
            QStringLiteral("Быстрые клавиши"), platform::MessageIcon::Information, this);
        return;
    }
    CVarnetApp* app = CVarnetApp::Instance();
    if (!app)
        return;
    bool shown = false;
    bool vanished = false;
    ReportDatabaseErrors(this, [&] {
        if (LookupProduct(*app, m_state, key.code)) {
            CurrentProduct product = m_state.m_product;
            // The key's own tare goes before the catalogue's.
            if (key.tare)
                product.m_dTare = *key.tare;
            m_state.ShowProduct(product);
            shown = true;
            m_speedKeyProducts.insert(
                key.code, {product.m_strName, m_state.MoneyText(product.m_dPrice).trimmed()});
        } else {
            m_state.ShowProductNotFound();
            vanished = app->m_db.IsOpen() && !app->m_db.IsLost();
        }
    });
    UpdateDisplays();
    if (vanished)
        platform::ReportMessage(
            QStringLiteral("Товара «%1» (код %2) с быстрой клавиши %3 больше нет в каталоге. "
                           "Назначьте клавише другой товар.")
                .arg(key.name, key.code)
                .arg(number),
            platform::ErrorCaption(), platform::MessageIcon::Exclamation, this);
    if (!shown)
        return;
    SendPriceToScale();
    ShowSpeedKeys(false);
    // With auto-print on, goods already settled on the pan print now rather than at the
    // next reading, by the same rule.
    OnWeightUpdate();
}

void CVarnetDlg::PrintCopies(int copies) {
    ClosePages();
    Print(PrintBy::Key, copies);
}

void CVarnetDlg::RepeatLabel() {
    ClosePages();
    const QString code = m_state.m_product.m_strCode;
    const double price = m_state.m_product.m_dPrice;
    if (const QString why = m_state.PrepareRepeat(m_pPoller->Weight()); !why.isEmpty()) {
        platform::ReportMessage(why, platform::ErrorCaption(), platform::MessageIcon::Exclamation,
                                this);
        return;
    }
    if (m_state.m_product.m_strCode != code || m_state.m_product.m_dPrice != price)
        SendPriceToScale();
    UpdateDisplays();
    PrintCopies(1);
}

void CVarnetDlg::ShowLastLabel() {
    const QSize area = (QSizeF(m_scale.Design().size()) * 0.8).toSize();
    auto* view = new CLabelView(m_state.m_lastLabel, area, this);
    view->setAttribute(Qt::WA_DeleteOnClose);
    view->open();
}

void CVarnetDlg::AssignSpeedKey(QWidget* owner, const CurrentProduct& product) {
    CSpeedKeyChooser dlg(m_speedKeys, product.m_strName, owner);
    FitDialogToScale(dlg, m_scale.Factor());
    if (dlg.exec() != QDialog::Accepted || dlg.Chosen() == 0)
        return;
    SpeedKey key = m_speedKeys.Key(dlg.Chosen());
    if (key.code != product.m_strCode) {
        key.code = product.m_strCode;
        key.name = product.m_strName;
        key.showPrice = true;
        key.tare.reset();
    }
    SaveSpeedKeys({key}, owner);
}

void CVarnetDlg::RunSpeedKeyEditor(QWidget* owner) {
    const auto search = [](QWidget* over) {
        std::optional<CurrentProduct> product;
        if (CVarnetApp* app = CVarnetApp::Instance())
            ReportDatabaseErrors(over, [&] { product = RunProductSearch(over, *app); });
        return product;
    };
    CSpeedKeyEditor dlg(m_speedKeys, search, owner);
    FitDialogToScale(dlg, m_scale.Factor());
    if (dlg.exec() == QDialog::Accepted && !dlg.Changes().isEmpty())
        SaveSpeedKeys(dlg.Changes(), owner);
}

void CVarnetDlg::SaveSpeedKeys(const QList<SpeedKey>& changes, QWidget* owner) {
    QStringList notes;
    const bool saved = m_speedKeys.Save(CSpeedKeys::CounterPath(), changes, &notes);
    if (!notes.isEmpty())
        platform::ReportMessage(
            notes.join(QStringLiteral("\n\n")),
            saved ? QStringLiteral("Быстрые клавиши") : platform::ErrorCaption(),
            saved ? platform::MessageIcon::Information : platform::MessageIcon::Stop, owner);
    ShowSpeedKeys(true);
}
