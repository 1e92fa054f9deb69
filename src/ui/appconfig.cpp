#include "ui/appconfig.h"

#include "platform/paths.h"
#include "platform/serialport.h"

#include "app/errorboundary.h"
#include "app/varnetapp.h"
#include "platform/messages.h"
#include "platform/printer.h"
#include "ui/screenfit.h"
#include "ui/touchscroll.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QToolButton>

namespace {

// Dialog units: a quarter of the dialog font's average character width across, an eighth
// of its height down, so the labels fit whatever font the desktop gives the dialog.
int g_nBaseX = 6;
int g_nBaseY = 13;
void SetDialogUnits(const QFont& font) {
    const QFontMetrics fm(font);
    // The dialog's texts are Russian: Cyrillic letters run wider than Latin ones in most
    // desktop fonts, so the wider of the two averages sets the unit.
    const QString latin = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const QString cyrillic =
        QStringLiteral("АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯабвгдежзийклмнопрстуфхцчшщъыьэюя");
    const int average =
        std::max(fm.horizontalAdvance(latin) / 26, fm.horizontalAdvance(cyrillic) / 33);
    g_nBaseX = std::max(1, (average + 1) / 2);
    g_nBaseY = std::max(1, fm.height());
}
int DluX(int x) {
    return x * g_nBaseX / 4;
}
int DluY(int y) {
    return y * g_nBaseY / 8;
}
QRect DluRect(int x, int y, int w, int h) {
    return QRect(DluX(x), DluY(y), DluX(w), DluY(h));
}

QString LineText(const QWidget* w) {
    return static_cast<const QLineEdit*>(w)->text();
}

QString ChosenText(const QComboBox* box) {
    return box->currentIndex() < 0 ? QString() : box->currentText();
}

QStringList InstalledDriverEntries(const QString& stored) {
    try {
        return DriverEntries(platform::odbc::UsableDrivers(), stored);
    } catch (const platform::odbc::DatabaseError&) {
        // No driver manager environment: the list keeps only what the settings name.
        return DriverEntries({}, stored);
    }
}

constexpr int kPortMin = 0;
constexpr int kDeviceList = 1200;
constexpr int kPortMax = 255;

} // namespace

CAppConfig::CAppConfig(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Конфигурация"));
    SetDialogUnits(font());
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFixedSize(DluX(317), DluY(256));

    // The frames first, so the controls lie above them.
    for (const QRect& r : {DluRect(2, 0, 313, 88), DluRect(2, 88, 313, 42),
                           DluRect(2, 130, 313, 78), DluRect(2, 208, 313, 22)})
        (new QGroupBox(this))->setGeometry(r);

    AddStatic(QStringLiteral("Принтер:"), 7, 10, 32, 8);
    AddStatic(QStringLiteral("Маска весового штрих-кода:"), 7, 27, 100, 8);
    AddStatic(QStringLiteral("Маска штучного штрих-кода:"), 7, 43, 102, 8);
    AddStatic(QStringLiteral("Округлять сумму по матем. правилам до:"), 7, 59, 141, 8);
    AddStatic(QStringLiteral("Ед. изм. веса:"), 224, 28, 48, 8);
    AddStatic(QStringLiteral("Ед. изм. кол-ва:"), 216, 44, 56, 8);
    AddStatic(QStringLiteral("Ед. изм. валюты:"), 212, 59, 60, 8);
    AddStatic(QStringLiteral("Весы:"), 20, 99, 20, 8);
    AddStatic(QStringLiteral("COM порт:"), 239, 99, 37, 8);
    AddStatic(QStringLiteral("Устройство:"), 5, 116, 40, 8);
    AddStatic(QStringLiteral("Драйвер:"), 7, 140, 33, 8);
    AddStatic(QStringLiteral("SQL сервер:"), 17, 158, 42, 8);
    AddStatic(QStringLiteral("База данных:"), 174, 158, 47, 8);
    AddStatic(QStringLiteral("Пользователь:"), 7, 175, 52, 8);
    AddStatic(QStringLiteral("Пароль:"), 193, 175, 28, 8);
    AddStatic(QStringLiteral("ИД секции:"), 20, 193, 39, 8);
    AddStatic(QStringLiteral("Начальный поиск товара по:"), 122, 193, 99, 8);
    AddStatic(QStringLiteral("Вес вручную не больше, кг:"), 122, 217, 99, 8);

    // In tab order.
    m_pPrinters = AddList(IDC_PRINTER, 42, 8, 269);
    AddEdit(IDC_WMASK, 112, 25, 91, 13);
    AddEdit(IDC_EIWEIGHT, 277, 26, 34, 13);
    AddEdit(IDC_QMASK, 112, 41, 91, 13);
    AddEdit(IDC_EIQUANTITY, 277, 41, 34, 13);
    QLineEdit* round = AddEdit(IDC_ROUNDTO, 163, 57, 40, 13);
    round->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), round));
    AddEdit(IDC_EICURRENCY, 277, 57, 34, 13);
    m_pPrintEI = new QCheckBox(QStringLiteral("Печатать единицы измерения"), this);
    m_pPrintEI->setGeometry(DluRect(105, 73, 118, 10));
    m_controls[IDC_PRINTEI] = m_pPrintEI;
    connect(m_pPrintEI, &QCheckBox::clicked, this, &CAppConfig::OnPrintEIClicked);
    m_pPenny = new QCheckBox(QStringLiteral(" Копейки"), this);
    m_pPenny->setGeometry(DluRect(239, 73, 47, 10));
    m_controls[IDC_PENNY] = m_pPenny;
    m_pScales = AddList(IDC_SCALE, 42, 97, 167);
    QLineEdit* port = AddEdit(IDC_PORT, 278, 96, 24, 14);
    port->installEventFilter(this);
    {
        // The up-down beside the port: steps the port's number within 0 to 255.
        auto* spin = new QWidget(this);
        spin->setGeometry(DluRect(301, 96, 10, 14));
        auto* up = new QToolButton(spin);
        up->setArrowType(Qt::UpArrow);
        up->setGeometry(0, 0, spin->width(), spin->height() / 2);
        auto* down = new QToolButton(spin);
        down->setArrowType(Qt::DownArrow);
        down->setGeometry(0, spin->height() / 2, spin->width(),
                          spin->height() - spin->height() / 2);
        up->setFocusPolicy(Qt::NoFocus);
        down->setFocusPolicy(Qt::NoFocus);
        connect(up, &QToolButton::clicked, this, [this] { StepPort(1); });
        connect(down, &QToolButton::clicked, this, [this] { StepPort(-1); });
        m_controls[IDC_PORT_SPIN] = spin;
    }
    // The serial devices present; choosing one sets the port number whose COM<N> link
    // (made on confirming) names it, so the settings stay what a Windows counter reads.
    m_pDevices = AddList(kDeviceList, 48, 114, 263);
    m_pDevices->addItem(QString());
    for (const QString& device : platform::SerialDevices())
        m_pDevices->addItem(platform::SerialDeviceLabel(device), device);
    connect(m_pDevices, &QComboBox::activated, this, &CAppConfig::OnDeviceChosen);
    connect(port, &QLineEdit::textEdited, this, [this] { ShowPortDevice(); });
    m_pDrivers = AddList(IDC_DRIVER, 42, 138, 269);
    AddEdit(IDC_SERVER, 65, 156, 86, 13);
    AddEdit(IDC_DATABASE, 225, 156, 86, 13);
    AddEdit(IDC_USER, 65, 173, 86, 13);
    AddEdit(IDC_PASSWORD, 225, 173, 86, 13)->setEchoMode(QLineEdit::Password);
    AddEdit(IDC_SECTION, 65, 191, 35, 13);
    m_pFindOrder = AddList(IDC_FINDORDER, 225, 191, 86);
    // Keyed weights: none for weighed goods, or none heavier than the scale can weigh.
    m_pScaleOnly = new QCheckBox(QStringLiteral("Вес только с весов"), this);
    m_pScaleOnly->setGeometry(DluRect(7, 216, 110, 10));
    m_controls[IDC_SCALEONLY] = m_pScaleOnly;
    QLineEdit* capacity = AddEdit(IDC_CAPACITY, 225, 214, 40, 13);
    capacity->setPlaceholderText(QStringLiteral("весы / 30"));
    capacity->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]{0,5}([.,][0-9]{0,3})?")), capacity));

    m_pSound = new QCheckBox(QStringLiteral("Звук при печати"), this);
    m_pSound->setGeometry(DluRect(7, 237, 90, 10));
    m_controls[IDC_SOUND] = m_pSound;

    // The keys a finger's height at least, grown down into the dialog's bottom margin.
    const auto key = [](int x, int width = 50) {
        QRect r = DluRect(x, 234, width, 14);
        r.setHeight(std::max(r.height(), TouchRowHeight(1.0)));
        return r;
    };
    auto* ok = new QPushButton(QStringLiteral("ОК"), this);
    ok->setGeometry(key(103));
    ok->setDefault(true);
    m_controls[1] = ok;
    connect(ok, &QPushButton::clicked, this, &CAppConfig::accept);
    auto* cancel = new QPushButton(QStringLiteral("Отмена"), this);
    cancel->setGeometry(key(164));
    m_controls[2] = cancel;
    connect(cancel, &QPushButton::clicked, this, &CAppConfig::reject);
    auto* speedKeys = new QPushButton(QStringLiteral("Быстрые клавиши..."), this);
    speedKeys->setGeometry(key(225, 86));
    speedKeys->setAutoDefault(false);
    speedKeys->hide();
    m_controls[IDC_SPEEDKEYS] = speedKeys;
    connect(speedKeys, &QPushButton::clicked, this, [this] {
        if (m_pfnSpeedKeys)
            m_pfnSpeedKeys(this);
    });
    // The device list scrolls by a finger's swipe.
    EnableSwipeScrolling(m_pDevices->view());

    const CVarnetApp* app = CVarnetApp::Instance();
    const AppSettings settings = app ? app->m_settings : AppSettings();
    m_pPrinters->addItems(platform::PrinterNames());
    m_pScales->addItems(ScaleEntries());
    m_pDrivers->addItems(InstalledDriverEntries(settings.Driver));
    m_pFindOrder->addItems(SearchOrderEntries());
    PutValues(ConfigValuesFromSettings(settings));
    ShowPortDevice();
}

void CAppConfig::SetSpeedKeysEditor(std::function<void(QWidget*)> open) {
    m_pfnSpeedKeys = std::move(open);
    Control(IDC_SPEEDKEYS)->setVisible(bool(m_pfnSpeedKeys));
}

void CAppConfig::OnDeviceChosen(int index) {
    m_strLinkDevice.clear();
    const QString device = index > 0 ? DeviceAt(index) : QString();
    if (device.isEmpty())
        return;
    bool needsLink = false;
    const unsigned port = platform::PortForDevice(device, &needsLink);
    if (port == 0)
        return;
    static_cast<QLineEdit*>(Control(IDC_PORT))->setText(QString::number(port));
    if (needsLink)
        m_strLinkDevice = device;
}

void CAppConfig::ShowPortDevice() {
    // The device the typed port number reaches now, chosen in the list when it is there.
    m_strLinkDevice.clear();
    bool ok = false;
    const unsigned port = LineText(Control(IDC_PORT)).trimmed().toUInt(&ok);
    if (!ok || port == 0 || port > 255) {
        m_pDevices->setCurrentIndex(0);
        return;
    }
    const QString device = platform::SerialDeviceForPort(port);
    const QFileInfo link(device);
    const QString target = link.isSymLink() ? link.symLinkTarget() : link.absoluteFilePath();
    int index = -1;
    for (int i = 1; index < 0 && i < m_pDevices->count(); ++i)
        if (DeviceAt(i) == target || DeviceAt(i) == device)
            index = i;
    const QString canonical = QFileInfo(target).canonicalFilePath();
    for (int i = 1; index < 0 && !canonical.isEmpty() && i < m_pDevices->count(); ++i) {
        if (QFileInfo(DeviceAt(i)).canonicalFilePath() == canonical)
            index = i;
    }
    if (index < 0 && link.exists()) {
        m_pDevices->addItem(platform::SerialDeviceLabel(target), target);
        index = m_pDevices->count() - 1;
    }
    m_pDevices->setCurrentIndex(std::max(0, index));
}

QString CAppConfig::DeviceAt(int index) const {
    const QVariant device = m_pDevices->itemData(index);
    return device.isValid() ? device.toString() : m_pDevices->itemText(index);
}

bool CAppConfig::MakePortLink(const QString& portText) {
    if (m_strLinkDevice.isEmpty())
        return true;
    bool needsLink = false;
    const unsigned port = platform::PortForDevice(m_strLinkDevice, &needsLink);
    if (!needsLink || QString::number(port) != portText.trimmed())
        return true;
    const QString link =
        platform::ModuleDirectory() + QStringLiteral("/COM") + QString::number(port);
    if (QFile::link(m_strLinkDevice, link))
        return true;
    platform::ReportMessage(
        QStringLiteral("Не удалось создать ссылку COM%1 на %2").arg(port).arg(m_strLinkDevice),
        platform::ErrorCaption(), platform::MessageIcon::Stop, this);
    return false;
}

QLineEdit* CAppConfig::AddEdit(int id, int x, int y, int w, int h) {
    auto* edit = new QLineEdit(this);
    edit->setGeometry(DluRect(x, y, w, h));
    m_controls[id] = edit;
    return edit;
}

QComboBox* CAppConfig::AddList(int id, int x, int y, int w) {
    auto* box = new QComboBox(this);
    box->setEditable(false);
    box->setGeometry(DluRect(x, y, w, 13));
    m_controls[id] = box;
    return box;
}

void CAppConfig::AddStatic(const QString& text, int x, int y, int w, int h) {
    auto* label = new QLabel(text, this);
    // A little taller than its dialog-unit box, so descenders are not cut.
    label->setGeometry(DluX(x), DluY(y) - 2, DluX(w) + 4, DluY(h) + 4);
}

QWidget* CAppConfig::Control(int id) const {
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

void CAppConfig::PutValues(const AppConfigValues& v) {
    const auto setText = [this](int id, const QString& text) {
        auto* edit = static_cast<QLineEdit*>(Control(id));
        edit->setText(text);
        // The typing limit; a stored text that is longer already stays whole, so the
        // validation tells the operator instead of cutting it silently.
        if (const int limit = TextLimit(id); limit > 0)
            edit->setMaxLength(std::max(limit, int(text.size())));
    };
    m_pPrinters->setCurrentIndex(ChooseListEntry(
        [&] {
            QStringList entries;
            for (int i = 0; i < m_pPrinters->count(); ++i)
                entries.append(m_pPrinters->itemText(i));
            return entries;
        }(),
        v.PrinterName));
    setText(IDC_WMASK, v.WBarCodeMask);
    setText(IDC_QMASK, v.QBarCodeMask);
    m_pScales->setCurrentIndex(v.Type >= 0 && v.Type < m_pScales->count() ? v.Type : -1);
    setText(IDC_PORT, v.RS232Port);
    setText(IDC_SERVER, v.Server);
    setText(IDC_DATABASE, v.Database);
    setText(IDC_USER, v.User);
    setText(IDC_PASSWORD, v.Password);
    m_pPrintEI->setChecked(v.PrintEI);
    QStringList drivers;
    for (int i = 0; i < m_pDrivers->count(); ++i)
        drivers.append(m_pDrivers->itemText(i));
    m_pDrivers->setCurrentIndex(ChooseListEntry(drivers, v.Driver));
    setText(IDC_EIWEIGHT, v.EIWeight);
    setText(IDC_EIQUANTITY, v.EIQuantity);
    setText(IDC_EICURRENCY, v.EICurrency);
    setText(IDC_SECTION, v.SectionID);
    m_pFindOrder->setCurrentIndex(
        v.FindOrder >= 0 && v.FindOrder < m_pFindOrder->count() ? v.FindOrder : -1);
    setText(IDC_ROUNDTO, v.RoundTo);
    m_pPenny->setChecked(v.Penny);
    m_pScaleOnly->setChecked(v.WeightFromScaleOnly);
    setText(IDC_CAPACITY, v.Capacity);
    m_pSound->setChecked(v.Sound);
    for (int id : {IDC_EIWEIGHT, IDC_EIQUANTITY, IDC_EICURRENCY})
        Control(id)->setEnabled(v.PrintEI);
}

AppConfigValues CAppConfig::TakeValues() const {
    AppConfigValues v;
    v.PrinterName = ChosenText(m_pPrinters);
    v.WBarCodeMask = LineText(Control(IDC_WMASK));
    v.QBarCodeMask = LineText(Control(IDC_QMASK));
    v.Type = m_pScales->currentIndex();
    v.RS232Port = LineText(Control(IDC_PORT));
    v.Server = LineText(Control(IDC_SERVER));
    v.Database = LineText(Control(IDC_DATABASE));
    v.User = LineText(Control(IDC_USER));
    v.Password = LineText(Control(IDC_PASSWORD));
    v.PrintEI = m_pPrintEI->isChecked();
    v.Driver = ChosenText(m_pDrivers);
    v.EIWeight = LineText(Control(IDC_EIWEIGHT));
    v.EIQuantity = LineText(Control(IDC_EIQUANTITY));
    v.EICurrency = LineText(Control(IDC_EICURRENCY));
    v.SectionID = LineText(Control(IDC_SECTION));
    v.FindOrder = m_pFindOrder->currentIndex();
    v.RoundTo = LineText(Control(IDC_ROUNDTO));
    v.Penny = m_pPenny->isChecked();
    v.WeightFromScaleOnly = m_pScaleOnly->isChecked();
    v.Capacity = LineText(Control(IDC_CAPACITY));
    v.Sound = m_pSound->isChecked();
    return v;
}

bool CAppConfig::Validate(const AppConfigValues& v) {
    const std::optional<ConfigInputError> error = ValidateConfigValues(v);
    if (!error)
        return true;
    platform::ReportMessage(error->text, platform::ErrorCaption(),
                            platform::MessageIcon::Exclamation, this);
    if (QWidget* control = Control(error->nControl)) {
        control->setFocus();
        if (auto* edit = qobject_cast<QLineEdit*>(control))
            edit->selectAll();
    }
    return false;
}

void CAppConfig::OnPrintEIClicked() {
    // The click takes every value, as confirming would, so a wrong value is told at once;
    // the unit edits follow the check box either way.
    Validate(TakeValues());
    const bool on = m_pPrintEI->isChecked();
    for (int id : {IDC_EIWEIGHT, IDC_EIQUANTITY, IDC_EICURRENCY})
        Control(id)->setEnabled(on);
}

void CAppConfig::StepPort(int delta) {
    auto* edit = static_cast<QLineEdit*>(Control(IDC_PORT));
    bool ok = false;
    int value = edit->text().trimmed().toInt(&ok);
    if (!ok)
        value = kPortMin;
    edit->setText(QString::number(std::clamp(value + delta, kPortMin, kPortMax)));
}

bool CAppConfig::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Control(IDC_PORT) && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            StepPort(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CAppConfig::accept() {
    const AppConfigValues v = TakeValues();
    if (!Validate(v))
        return;
    if (!MakePortLink(v.RS232Port))
        return;
    if (CVarnetApp* app = CVarnetApp::Instance()) {
        StoreConfigValues(v, app->m_settings);
        // The settings are stored and written whatever the database says; a failing
        // configuration query is shown, and the dialog closes as confirmed.
        ReportDatabaseErrors(this, [app] { app->SaveSettings(); });
    }
    QDialog::accept();
}
