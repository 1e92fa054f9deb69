// The single application object: the settings, the database connection with its section
// switch, and the two label layouts. Every part of the program reaches it through
// CVarnetApp::Instance().
#pragma once

#include "app/settings.h"
#include "platform/odbc.h"

#include <QString>

#include <memory>

class QWidget;

// The two label layouts belong to the application but are defined by the labels library,
// which builds on this one; it plugs them in through this interface.
class ILabelLayouts {
public:
    virtual ~ILabelLayouts() = default;
    // Loads the weight layout, then the piece layout, from their files in dir; a layout
    // whose file is missing or damaged gets the defaults of its kind, silently.
    virtual void LoadLabelLayouts(const QString& dir) = 0;
};

// What SaveSettings asks of the main screen once the new settings are in force.
class IMainScreen {
public:
    virtual ~IMainScreen() = default;
    virtual void ConnectScale() = 0;
    // The window that owns the messages of the application object.
    virtual QWidget* Window() = 0;
};

class CVarnetApp {
public:
    CVarnetApp();
    virtual ~CVarnetApp();
    CVarnetApp(const CVarnetApp&) = delete;
    CVarnetApp& operator=(const CVarnetApp&) = delete;

    // The living application object; null before one is created and after it is gone.
    static CVarnetApp* Instance();

    static QString GetModuleDirectory();
    static QString SettingsPath();

    // Settings (file "Varnet.ini" beside the executable).
    void LoadSettings();
    // Writes every setting, then reconnects the database and the scale. A database error
    // of the configuration query propagates to the caller after the file has been written.
    void SaveSettings();
    // The best installed driver whose description begins with "SQL " (by the version in its
    // DriverODBCVer attribute; the first listed wins a tie); empty when none qualifies.
    static QString FindDefaultOdbcDriver();
    static QString ChooseDefaultOdbcDriver(const QList<platform::odbc::DriverInfo>& drivers);

    // Database.
    // The settings' connection string; for the SQLite driver it asks not to create a
    // missing database file. Throws platform::odbc::DatabaseError naming the key when a value
    // could add an attribute, and, given the settings file, when the program runs as root and
    // others may change that file.
    static QString ConnectionString(const AppSettings& settings, const QString& file = QString());
    static bool IsSQLiteDriver(const QString& driver);
    // Why no connection can be made with the driver the settings name, among the installed
    // drivers: none chosen, one not installed, or one whose library is not there; empty when
    // the driver is there. The operator's message for it says how to open the settings.
    static QString CatalogueSetupProblem(const QString& driver,
                                         const QList<platform::odbc::DriverInfo>& installed);
    static QString CatalogueNotSetUpText(const QString& problem);
    // Opens the connection when it is not open yet, or again when an earlier call found the
    // link to the server lost, and reads the section switch. A failed
    // open is shown to the operator and yields false; a failure of the configuration query
    // raises platform::odbc::DatabaseError with the connection left open.
    bool ConnectDatabase();
    platform::odbc::Dialect DatabaseDialect() const { return m_dialect; }
    // The catalogue's plu table has a column tare (a preset tare per product, kilograms):
    // looked at once per connection, by ConnectDatabase.
    bool CatalogueHasTare() const { return m_bCatalogueTare; }

    // Amounts rounded to a whole multiple of the step RoundTo (hundredths with Penny on,
    // whole units otherwise; 0 means one such unit), halves away from zero. A remainder
    // within about 1e-9 below the half counts as the half, so 2.675 rounds to 2.68.
    double RoundAmount(double amount) const { return RoundAmount(amount, m_settings); }
    static double RoundAmount(double amount, const AppSettings& settings);

    // Layouts.
    void SetLabelLayouts(std::unique_ptr<ILabelLayouts> layouts);
    ILabelLayouts* LabelLayouts() const { return m_pLayouts.get(); }
    void LoadLabelLayouts();

    void SetMainScreen(IMainScreen* screen) { m_pMainWnd = screen; }
    IMainScreen* MainScreen() const { return m_pMainWnd; }

    AppSettings m_settings;
    platform::odbc::Connection m_db;
    bool m_bEnableSection = false;

private:
    std::unique_ptr<ILabelLayouts> m_pLayouts;
    IMainScreen* m_pMainWnd = nullptr;
    platform::odbc::Dialect m_dialect = platform::odbc::Dialect::Other;
    bool m_bCatalogueTare = false;
};
