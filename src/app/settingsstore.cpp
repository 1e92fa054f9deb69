// Loading and saving the settings file, and the choice of the default ODBC driver.
#include "app/varnetapp.h"

#include "platform/counterfiles.h"
#include "platform/inifile.h"
#include "platform/messages.h"
#include "platform/numbers.h"
#include "platform/paths.h"

using platform::CIniFile;

namespace {
const QString kVarnet = QStringLiteral("Varnet");
const QString kScale = QStringLiteral("Scale");
const QString kSql = QStringLiteral("SQL");
constexpr int kLongText = 255;
constexpr int kMaskText = 19;

QString Unsigned(long long value) {
    return QString::number(static_cast<uint32_t>(value));
}

const QString kParityLetters = QStringLiteral("NOEMS");
const QStringList kStopBitTexts{QStringLiteral("1"), QStringLiteral("1.5"), QStringLiteral("2")};

// The optional line keys of the Scale section; each is set only by a value it can take.
void LoadScaleLine(const CIniFile& ini, AppSettings& s) {
    const auto text = [&](const char* key) {
        return ini.ReadString(kScale, QLatin1String(key), QString(), kLongText).trimmed();
    };
    bool ok = false;
    const uint baud = text("BaudRate").toUInt(&ok);
    s.BaudRate = ok ? baud : 0;
    const QString parity = text("Parity").toUpper();
    s.Parity = parity.size() == 1 ? static_cast<int>(kParityLetters.indexOf(parity)) : -1;
    const int bits = text("DataBits").toInt(&ok);
    s.DataBits = ok && bits >= 5 && bits <= 8 ? bits : 0;
    s.StopBits = static_cast<int>(kStopBitTexts.indexOf(text("StopBits")));
}

// The optional bounds of keyed weights. Read when set to a value they can take; written when
// set, and cleared where the file has a value the settings no longer hold. A line of a value
// that could not be taken is left as the installer wrote it.
double Capacity(const CIniFile& ini) {
    bool ok = false;
    const double kg = ini.ReadString(kScale, QStringLiteral("Capacity"), QString(), kLongText)
                          .trimmed()
                          .toDouble(&ok);
    return ok && kg > 0 && kg < 100000 ? kg : 0;
}

void LoadWeighing(const CIniFile& ini, AppSettings& s) {
    s.Capacity = Capacity(ini);
    s.WeightFromScaleOnly = ini.ReadInt(kScale, QStringLiteral("WeightFromScaleOnly"), 0) != 0;
}

void SaveWeighing(CIniFile& ini, const AppSettings& s) {
    if (s.Capacity > 0 || Capacity(ini) > 0)
        ini.WriteString(kScale, QStringLiteral("Capacity"),
                        s.Capacity > 0 ? platform::FormatShort(s.Capacity, 3) : QString());
    const QString scaleOnly = QStringLiteral("WeightFromScaleOnly");
    if (s.WeightFromScaleOnly || ini.ReadInt(kScale, scaleOnly, 0) != 0)
        ini.WriteString(kScale, scaleOnly,
                        s.WeightFromScaleOnly ? QStringLiteral("1") : QStringLiteral("0"));
}

void SaveScaleLine(CIniFile& ini, const AppSettings& s) {
    if (s.BaudRate > 0)
        ini.WriteString(kScale, QStringLiteral("BaudRate"), QString::number(s.BaudRate));
    if (s.Parity >= 0 && s.Parity < kParityLetters.size())
        ini.WriteString(kScale, QStringLiteral("Parity"), kParityLetters.at(s.Parity));
    if (s.DataBits > 0)
        ini.WriteString(kScale, QStringLiteral("DataBits"), QString::number(s.DataBits));
    if (s.StopBits >= 0 && s.StopBits < kStopBitTexts.size())
        ini.WriteString(kScale, QStringLiteral("StopBits"), kStopBitTexts.at(s.StopBits));
}
} // namespace

QString CVarnetApp::SettingsPath() {
    return GetModuleDirectory() + QStringLiteral("/Varnet.ini");
}

void CVarnetApp::LoadSettings() {
    // A file this account left closed to the counter's other operators is opened to them;
    // one that another account left closed gets the command that opens it.
    const QStringList closed =
        platform::CheckCounterFiles(GetModuleDirectory(), {QStringLiteral("Varnet.ini")});
    const CIniFile ini = CIniFile::Load(SettingsPath());
    if (ini.IsDamaged()) {
        QStringList texts{ini.ProblemText()};
        if (ini.IsUnreadable())
            texts += closed;
        platform::ReportMessage(texts.join(QStringLiteral("\n\n")), platform::ErrorCaption(),
                                platform::MessageIcon::Stop,
                                m_pMainWnd ? m_pMainWnd->Window() : nullptr);
    }
    AppSettings& s = m_settings;

    s.PrinterName = ini.ReadString(kVarnet, QStringLiteral("PrinterName"), QString(), kLongText);
    s.WBarCodeMask = ini.ReadString(kVarnet, QStringLiteral("WBarCodeMask"),
                                    QStringLiteral("27PPPPPWWWWW"), kMaskText);
    s.QBarCodeMask = ini.ReadString(kVarnet, QStringLiteral("QBarCodeMask"),
                                    QStringLiteral("29PPPPPQQQQQ"), kMaskText);
    s.PrintEI = ini.ReadInt(kVarnet, QStringLiteral("PrintEI"), 0) != 0;
    s.EIWeight =
        ini.ReadString(kVarnet, QStringLiteral("EIWeight"), QStringLiteral("кг"), kLongText);
    s.EIQuantity =
        ini.ReadString(kVarnet, QStringLiteral("EIQuantity"), QStringLiteral("шт"), kLongText);
    s.EICurrency =
        ini.ReadString(kVarnet, QStringLiteral("EICurrency"), QStringLiteral("руб"), kLongText);
    s.Penny = ini.ReadInt(kVarnet, QStringLiteral("Penny"), 0) != 0;
    s.RoundTo = static_cast<uint32_t>(ini.ReadInt(kVarnet, QStringLiteral("RoundTo"), 0));
    s.Sound = ini.ReadInt(kVarnet, QStringLiteral("Sound"), 1) != 0;

    s.RS232Port = static_cast<int>(ini.ReadInt(kScale, QStringLiteral("RS232Port"), 0));
    s.Type = static_cast<int>(ini.ReadInt(kScale, QStringLiteral("Type"), 0));
    LoadScaleLine(ini, s);
    LoadWeighing(ini, s);

    const QString defaultDriver = FindDefaultOdbcDriver();
    s.Driver = ini.ReadString(kSql, QStringLiteral("Driver"), defaultDriver, kLongText);
    s.Server = ini.ReadString(kSql, QStringLiteral("Server"), platform::ComputerName(), kLongText);
    s.Database =
        ini.ReadString(kSql, QStringLiteral("Database"), QStringLiteral("Kestrada"), kLongText);
    s.User = ini.ReadString(kSql, QStringLiteral("User"), QStringLiteral("sa"), kLongText);
    s.Password = ini.ReadString(kSql, QStringLiteral("Password"), QString(), kLongText);
    s.SectionID = ini.ReadString(kSql, QStringLiteral("SectionID"), QString(), kLongText);
    const long long order = ini.ReadInt(kSql, QStringLiteral("FindOrder"), 0);
    s.FindOrder = order < 0 || order > 2 ? 0 : static_cast<int>(order);

    s.Journal = CentralJournalSettings::Load(ini);
}

void CVarnetApp::SaveSettings() {
    const QString path = SettingsPath();
    CIniFile ini = CIniFile::Load(path);
    const AppSettings& s = m_settings;
    const auto flag = [](bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); };

    ini.WriteString(kVarnet, QStringLiteral("PrinterName"), s.PrinterName);
    ini.WriteString(kVarnet, QStringLiteral("WBarCodeMask"), s.WBarCodeMask);
    ini.WriteString(kVarnet, QStringLiteral("QBarCodeMask"), s.QBarCodeMask);
    ini.WriteString(kVarnet, QStringLiteral("PrintEI"), flag(s.PrintEI));
    ini.WriteString(kVarnet, QStringLiteral("EIWeight"), s.EIWeight);
    ini.WriteString(kVarnet, QStringLiteral("EIQuantity"), s.EIQuantity);
    ini.WriteString(kVarnet, QStringLiteral("EICurrency"), s.EICurrency);
    ini.WriteString(kVarnet, QStringLiteral("Penny"), flag(s.Penny));
    ini.WriteString(kVarnet, QStringLiteral("RoundTo"), QString::number(s.RoundTo));
    // A file without the key keeps its bytes while the sound stays on, as it always was.
    if (!s.Sound || ini.HasKey(kVarnet, QStringLiteral("Sound")))
        ini.WriteString(kVarnet, QStringLiteral("Sound"), flag(s.Sound));

    ini.WriteString(kScale, QStringLiteral("RS232Port"), Unsigned(s.RS232Port));
    ini.WriteString(kScale, QStringLiteral("Type"), Unsigned(s.Type));
    SaveScaleLine(ini, s);
    SaveWeighing(ini, s);

    ini.WriteString(kSql, QStringLiteral("Driver"), s.Driver);
    ini.WriteString(kSql, QStringLiteral("Server"), s.Server);
    ini.WriteString(kSql, QStringLiteral("Database"), s.Database);
    ini.WriteString(kSql, QStringLiteral("User"), s.User);
    ini.WriteString(kSql, QStringLiteral("Password"), s.Password);
    ini.WriteString(kSql, QStringLiteral("SectionID"), s.SectionID);
    ini.WriteString(kSql, QStringLiteral("FindOrder"), Unsigned(s.FindOrder));
    // The Journal section is left as the loaded file has it.

    // The settings stay in force for this run either way; the operator must know that the
    // next start will not have them. A file that could not be read is kept as it is: the
    // operator or an installer may still recover what it holds.
    QWidget* owner = m_pMainWnd ? m_pMainWnd->Window() : nullptr;
    if (ini.IsDamaged()) {
        platform::ReportMessage(ini.ProblemText(true), platform::ErrorCaption(),
                                platform::MessageIcon::Stop, owner);
    } else if (const QString unencodable = ini.UnencodableText(); !unencodable.isEmpty()) {
        platform::ReportMessage(unencodable, platform::ErrorCaption(), platform::MessageIcon::Stop,
                                owner);
    } else if (const platform::WriteResult written = ini.Save(path); !written.ok()) {
        platform::ReportMessage(platform::FileErrorText(written.error, path),
                                platform::ErrorCaption(), platform::MessageIcon::Stop, owner);
    }

    m_db.Close();
    ConnectDatabase();
    if (m_pMainWnd)
        m_pMainWnd->ConnectScale();
}

QString CVarnetApp::FindDefaultOdbcDriver() {
    try {
        return ChooseDefaultOdbcDriver(platform::odbc::UsableDrivers());
    } catch (const platform::odbc::DatabaseError&) {
        return QString();
    }
}

QString CVarnetApp::ChooseDefaultOdbcDriver(const QList<platform::odbc::DriverInfo>& drivers) {
    QString result;
    double best = 0.0;
    for (const auto& driver : drivers) {
        if (!driver.description.startsWith(QLatin1String("SQL "), Qt::CaseSensitive))
            continue;
        for (const QString& entry : driver.attributes) {
            const qsizetype eq = entry.indexOf(QLatin1Char('='));
            if (!entry.contains(QLatin1String("DriverODBCVer")) || eq < 0)
                continue;
            const double version = platform::ParseLeadingDouble(entry.mid(eq + 1));
            if (version > best) {
                best = version;
                result = driver.description;
            }
        }
    }
    return result;
}
