// The settings dialog: validation of its values, the entries of its lists, and the dialog
// itself on the CUPS test queue, the installed ODBC drivers, a SQLite catalogue and a CAS
// scale simulated on a pseudo-terminal linked as COM1.
#include "app/varnetapp.h"
#include "democatalogue.h"
#include "platform/inifile.h"
#include "platform/printer.h"
#include "scales/scalepoller.h"
#include "scalesimulator.h"
#include "support/messagerecorder.h"
#include "support/printcapture.h"
#include "support/testdir.h"
#include "ui/appconfig.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

#include <memory>
#include <termios.h>

Q_DECLARE_METATYPE(AppConfigValues)

namespace {

// The main screen as the settings see it: it owns the scale poller.
class CTestScreen : public QObject, public IMainScreen {
public:
    CTestScreen() : m_poller(this) {}
    void ConnectScale() override {
        const AppSettings& s = CVarnetApp::Instance()->m_settings;
        m_poller.ConnectScale(static_cast<unsigned>(s.RS232Port) & 0xFF, s.Type);
    }
    QWidget* Window() override { return nullptr; }
    bool event(QEvent* e) override { return e->type() == WM_WEIGHT_UPDATE || QObject::event(e); }
    CScalePoller m_poller;
};

AppConfigValues GoodValues() {
    AppSettings s;
    s.WBarCodeMask = QStringLiteral("27PPPPPWWWWW");
    s.QBarCodeMask = QStringLiteral("29PPPPPQQQQQ");
    s.EIWeight = QStringLiteral("кг");
    s.EIQuantity = QStringLiteral("шт");
    s.EICurrency = QStringLiteral("руб");
    s.RS232Port = 1;
    return ConfigValuesFromSettings(s);
}

QLineEdit* Edit(CAppConfig& dlg, int id) {
    return qobject_cast<QLineEdit*>(dlg.Control(id));
}
QComboBox* List(CAppConfig& dlg, int id) {
    return qobject_cast<QComboBox*>(dlg.Control(id));
}

speed_t LineSpeed(const CScaleSimulator& sim) {
    termios tio{};
    return sim.LineSettings(tio) ? ::cfgetospeed(&tio) : speed_t(0);
}

} // namespace

class TstAppConfig : public QObject {
    Q_OBJECT

    std::unique_ptr<TestModuleDir> m_dir;
    std::unique_ptr<CVarnetApp> m_app;

    void SetUpCounter(const QString& ini) {
        m_dir = std::make_unique<TestModuleDir>();
        m_dir->Write(QStringLiteral("Varnet.ini"), ini.toUtf8());
        m_app = std::make_unique<CVarnetApp>();
        m_app->LoadSettings();
    }

private Q_SLOTS:
    void initTestCase() { platform::InstallSpoolerPrinters(); }
    void cleanup() {
        m_app.reset();
        m_dir.reset();
    }

    void validation_data() {
        QTest::addColumn<AppConfigValues>("values");
        QTest::addColumn<int>("control");
        QTest::addColumn<QString>("message");
        const auto with = [](auto change) {
            AppConfigValues v = GoodValues();
            change(v);
            return v;
        };
        QTest::newRow("all good") << GoodValues() << 0 << "";
        QTest::newRow("port 255") << with([](auto& v) { v.RS232Port = "255"; }) << 0 << "";
        QTest::newRow("port 256") << with([](auto& v) { v.RS232Port = "256"; }) << int(IDC_PORT)
                                  << "Введите целое число от 0 до 255.";
        QTest::newRow("port -1") << with([](auto& v) { v.RS232Port = "-1"; }) << int(IDC_PORT)
                                 << "Введите целое число от 0 до 255.";
        QTest::newRow("port empty") << with([](auto& v) { v.RS232Port = ""; }) << int(IDC_PORT)
                                    << "Введите целое число от 0 до 255.";
        QTest::newRow("rounding 999999") << with([](auto& v) { v.RoundTo = "999999"; }) << 0 << "";
        QTest::newRow("rounding 1000000")
            << with([](auto& v) { v.RoundTo = "1000000"; }) << int(IDC_ROUNDTO)
            << "Введите целое число от 0 до 999999.";
        QTest::newRow("rounding past 64 bits")
            << with([](auto& v) { v.RoundTo = "99999999999999999999999"; }) << int(IDC_ROUNDTO)
            << "Введите целое число от 0 до 999999.";
        QTest::newRow("rounding empty") << with([](auto& v) { v.RoundTo = ""; }) << int(IDC_ROUNDTO)
                                        << "Введите положительное целое число.";
        QTest::newRow("mask of 13") << with([](auto& v) { v.QBarCodeMask = "29PPPPPQQQQQQ"; })
                                    << int(IDC_QMASK) << "Введите не более 12 знаков.";
        QTest::newRow("unit of 6") << with([](auto& v) { v.EICurrency = "рублей"; })
                                   << int(IDC_EICURRENCY) << "Введите не более 5 знаков.";
        QTest::newRow("section of 5") << with([](auto& v) { v.SectionID = "12345"; })
                                      << int(IDC_SECTION) << "Введите не более 4 знаков.";
        QTest::newRow("capacity empty: the scale's")
            << with([](auto& v) { v.Capacity = " "; }) << 0 << "";
        QTest::newRow("capacity 6,5") << with([](auto& v) { v.Capacity = "6,5"; }) << 0 << "";
        const QString capacity = QStringLiteral("Введите наибольший вес в килограммах (например, "
                                                "15 или 6.5) или оставьте поле пустым.");
        QTest::newRow("capacity 0")
            << with([](auto& v) { v.Capacity = "0"; }) << int(IDC_CAPACITY) << capacity;
        QTest::newRow("capacity of letters")
            << with([](auto& v) { v.Capacity = "30kg"; }) << int(IDC_CAPACITY) << capacity;
        QTest::newRow("capacity of 100 tonnes")
            << with([](auto& v) { v.Capacity = "100000"; }) << int(IDC_CAPACITY) << capacity;
        // The first failing value in exchange order wins.
        QTest::newRow("mask before port") << with([](auto& v) {
            v.RS232Port = "300";
            v.WBarCodeMask = "27PPPPPWWWWWW";
        }) << int(IDC_WMASK) << "Введите не более 12 знаков.";
    }
    void validation() {
        QFETCH(AppConfigValues, values);
        QFETCH(int, control);
        QFETCH(QString, message);
        const std::optional<ConfigInputError> error = ValidateConfigValues(values);
        QCOMPARE(error.has_value(), control != 0);
        if (error) {
            QCOMPARE(error->nControl, control);
            QCOMPARE(error->text, message);
        }
    }

    void listEntries() {
        const QStringList drivers{"PostgreSQL ANSI", "PostgreSQL Unicode", "SQLite3"};
        QCOMPARE(ChooseListEntry(drivers, "postgresql"), 0);
        QCOMPARE(ChooseListEntry(drivers, "PostgreSQL U"), 1);
        QCOMPARE(ChooseListEntry(drivers, "SQLite3 driver"), -1);
        QCOMPARE(ChooseListEntry(drivers, ""), -1);
        QCOMPARE(SearchOrderEntries(), (QStringList{"Коду", "Названию", "Цене"}));
        // The type numbers of the first four stay; the two later families follow them.
        QCOMPARE(ScaleEntries(),
                 (QStringList{"Не подключены", "Протокол \"ОКА\"", "Протокол \"Масса-К\"",
                              "Протокол \"CAS\"", "Протокол \"MT-SICS\"",
                              "Протокол \"Непрерывный вывод\""}));
        AppSettings stored;
        stored.Type = 5;
        QCOMPARE(ConfigValuesFromSettings(stored).Type, 5);
        stored.Type = 6;
        QCOMPARE(ConfigValuesFromSettings(stored).Type, -1);
        QList<platform::odbc::DriverInfo> installed;
        for (const QString& d : drivers)
            installed.append({d, {}});
        // Every driver is offered; a stored name none begins with stays as the last entry.
        QCOMPARE(DriverEntries(installed, "SQLite"), drivers);
        QCOMPARE(DriverEntries(installed, "ODBC Driver 18 for SQL Server"),
                 QStringList(drivers) << "ODBC Driver 18 for SQL Server");
        QCOMPARE(DriverEntries({}, ""), QStringList());
    }

    // A stored printer that no queue bears selects none, and OK stores an empty name; the
    // test queue is chosen by its name.
    void printerChoice_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("saved");
        const QStringList printers = platform::PrinterNames();
        QVERIFY(printers.contains(printcapture::Queue()));
        QTest::newRow("unknown") << "NoSuchQueue" << -1 << "";
        QTest::newRow("test queue")
            << printcapture::Queue() << int(printers.indexOf(printcapture::Queue()))
            << printcapture::Queue();
    }
    void printerChoice() {
        QFETCH(QString, stored);
        QFETCH(int, index);
        QFETCH(QString, saved);
        SetUpCounter(QStringLiteral("[Varnet]\nPrinterName=%1\n").arg(stored));
        MessageRecorder messages;
        CAppConfig dlg;
        QCOMPARE(List(dlg, IDC_PRINTER)->currentIndex(), index);
        dlg.accept();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(m_app->m_settings.PrinterName, saved);
        QCOMPARE(platform::CIniFile::Load(CVarnetApp::SettingsPath())
                     .ReadString("Varnet", "PrinterName", "-", 255),
                 saved);
    }

    // A port of 256 is told and nothing is stored; a rounding of 1000000 likewise.
    void invalidInputStoresNothing_data() {
        QTest::addColumn<int>("control");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("port") << int(IDC_PORT) << "256"
                              << "Введите целое число от 0 до 255.";
        QTest::newRow("rounding") << int(IDC_ROUNDTO) << "1000000"
                                  << "Введите целое число от 0 до 999999.";
    }
    void invalidInputStoresNothing() {
        QFETCH(int, control);
        QFETCH(QString, text);
        QFETCH(QString, message);
        SetUpCounter(QStringLiteral("[Varnet]\nEIWeight=кг\n"));
        const AppSettings before = m_app->m_settings;
        MessageRecorder messages;
        CAppConfig dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        Edit(dlg, IDC_SERVER)->setText("changed");
        Edit(dlg, control)->setText(text);
        dlg.accept();
        QCOMPARE(messages.Texts(), QStringList{message});
        QCOMPARE(messages.Messages().at(0).icon, platform::MessageIcon::Exclamation);
        QVERIFY(dlg.isVisible());
        QCOMPARE(QApplication::focusWidget(), dlg.Control(control));
        QCOMPARE(m_app->m_settings.Server, before.Server);
        QCOMPARE(m_dir->Read("Varnet.ini"), QByteArray("[Varnet]\nEIWeight=кг\n"));
    }

    // Unchecking 1056 disables the three unit edits at once; their texts are still stored.
    // The click takes the values with validation, so a wrong port is told then.
    void unitsFollowTheCheckBox() {
        SetUpCounter(QStringLiteral("[Varnet]\nPrintEI=1\nEIWeight=кг\nEIQuantity=шт\n"
                                    "EICurrency=руб\n"));
        MessageRecorder messages;
        CAppConfig dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        const QList<int> units{IDC_EIWEIGHT, IDC_EIQUANTITY, IDC_EICURRENCY};
        for (int id : units)
            QVERIFY(dlg.Control(id)->isEnabled());
        auto* check = qobject_cast<QCheckBox*>(dlg.Control(IDC_PRINTEI));
        QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(5, check->height() / 2));
        QVERIFY(!check->isChecked());
        for (int id : units)
            QVERIFY(!dlg.Control(id)->isEnabled());
        QVERIFY(messages.Texts().isEmpty());

        Edit(dlg, IDC_PORT)->setText("300");
        QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(5, check->height() / 2));
        QCOMPARE(messages.Texts(), QStringList{"Введите целое число от 0 до 255."});
        Edit(dlg, IDC_PORT)->setText("0");
        QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(5, check->height() / 2));
        QVERIFY(m_app->m_settings.PrintEI); // untouched until OK
        dlg.accept();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QVERIFY(!m_app->m_settings.PrintEI);
        QCOMPARE(m_app->m_settings.EIQuantity, QStringLiteral("шт"));
    }

    // The up-down and the arrow keys step the port within 0 to 255.
    void portUpDown_data() {
        QTest::addColumn<QString>("port");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("stepped");
        QTest::newRow("up") << "1" << int(Qt::Key_Up) << "2";
        QTest::newRow("down") << "1" << int(Qt::Key_Down) << "0";
        QTest::newRow("up at the top") << "255" << int(Qt::Key_Up) << "255";
        QTest::newRow("down at the bottom") << "0" << int(Qt::Key_Down) << "0";
        QTest::newRow("down from above the range") << "300" << int(Qt::Key_Down) << "255";
    }
    void portUpDown() {
        QFETCH(QString, port);
        QFETCH(int, key);
        QFETCH(QString, stepped);
        SetUpCounter(QString());
        CAppConfig dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QLineEdit* edit = Edit(dlg, IDC_PORT);
        edit->setText(port);
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key(key));
        QCOMPARE(edit->text(), stepped);
        // The up-down's buttons do the same.
        edit->setText(port);
        const QList<QToolButton*> arrows = dlg.Control(IDC_PORT_SPIN)->findChildren<QToolButton*>();
        QCOMPARE(arrows.size(), 2);
        QTest::mouseClick(arrows.at(key == Qt::Key_Up ? 0 : 1), Qt::LeftButton);
        QCOMPARE(edit->text(), stepped);
    }

    // OK writes all eighteen keys, closes and reopens the database (the section switch is
    // read anew) and reconnects the scale (its port is opened again and configured anew).
    // The device list: the port's device is shown; choosing another device that has no
    // link takes the first free port number, and confirming makes its COM<N> link, so the
    // settings keep a port number as a Windows counter has it, and the scale is read there.
    void deviceChoiceMakesThePortLink() {
        CScaleSimulator first(CScaleSimulator::Protocol::Cas);
        CScaleSimulator second(CScaleSimulator::Protocol::Cas);
        QVERIFY(first.Start() && second.Start());
        SetUpCounter(QStringLiteral("[Scale]\nRS232Port=1\nType=3\n"));
        QVERIFY(first.LinkAs(m_dir->File("COM1")));
        MessageRecorder messages;
        CTestScreen screen;
        m_app->SetMainScreen(&screen);

        CAppConfig dlg;
        QComboBox* devices = List(dlg, 1200);
        QVERIFY(devices);
        // The dialog was made before the link: typing the port number looks again.
        Edit(dlg, IDC_PORT)->setText(QStringLiteral("1"));
        Q_EMIT Edit(dlg, IDC_PORT)->textEdited(QStringLiteral("1"));
        QCOMPARE(devices->currentText(), first.DevicePath());

        devices->addItem(second.DevicePath());
        devices->setCurrentIndex(devices->count() - 1);
        Q_EMIT devices->activated(devices->count() - 1);
        QCOMPARE(Edit(dlg, IDC_PORT)->text(), QStringLiteral("2"));
        dlg.accept();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(QFileInfo(m_dir->File("COM2")).symLinkTarget(), second.DevicePath());
        QCOMPARE(QFileInfo(m_dir->File("COM1")).symLinkTarget(), first.DevicePath());
        const platform::CIniFile ini = platform::CIniFile::Load(CVarnetApp::SettingsPath());
        QCOMPARE(ini.ReadString("Scale", "RS232Port", "", 255), QStringLiteral("2"));
        QVERIFY(second.WaitForRequests(2, 5000));
        screen.m_poller.Stop();
        m_app->SetMainScreen(nullptr);
    }

    void okSavesAndReconnects() {
        m_dir = std::make_unique<TestModuleDir>();
        const QString db = m_dir->File("catalogue.db");
        platform::odbc::Connection writer;
        writer.Open("Driver={SQLite3};DATABASE=" + db);
        democat::Options o;
        o.rows = 5;
        democat::CreateDemoCatalogue(writer, o);

        CScaleSimulator sim(CScaleSimulator::Protocol::Cas);
        QString error;
        QVERIFY2(sim.Start(&error), qPrintable(error));
        QVERIFY2(sim.LinkAs(m_dir->File("COM1"), &error), qPrintable(error));
        m_dir->Write("Varnet.ini",
                     QStringLiteral("[Scale]\nRS232Port=1\nType=3\n[SQL]\nDriver=SQLite3\n"
                                    "Database=%1\nUser=\n")
                         .arg(db)
                         .toUtf8());
        m_app = std::make_unique<CVarnetApp>();
        m_app->LoadSettings();
        MessageRecorder messages;
        CTestScreen screen;
        m_app->SetMainScreen(&screen);
        screen.ConnectScale();
        QVERIFY(m_app->ConnectDatabase());
        QVERIFY(!m_app->m_bEnableSection);
        QVERIFY(sim.WaitForRequests(sim.Requests() + 2, 5000));
        const speed_t speed = LineSpeed(sim);
        QCOMPARE(speed, speed_t(B9600));

        // Someone else changes what only a new connection sees.
        democat::SetEnableSection(writer, 1);
        termios tio{};
        QVERIFY(sim.LineSettings(tio));
        ::cfsetispeed(&tio, B1200);
        ::cfsetospeed(&tio, B1200);
        QVERIFY(sim.SetLineSettings(tio));

        CAppConfig dlg;
        QCOMPARE(List(dlg, IDC_DRIVER)->currentText(), QStringLiteral("SQLite3"));
        QCOMPARE(List(dlg, IDC_SCALE)->currentIndex(), 3);
        QCOMPARE(List(dlg, IDC_FINDORDER)->currentIndex(), 0);
        dlg.accept();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QVERIFY2(messages.Texts().isEmpty(), qPrintable(messages.Texts().join('\n')));
        QVERIFY(m_app->m_bEnableSection);
        QCOMPARE(LineSpeed(sim), speed);
        const int seen = sim.Requests();
        QVERIFY(sim.WaitForRequests(seen + 2, 5000));

        const platform::CIniFile ini = platform::CIniFile::Load(CVarnetApp::SettingsPath());
        const QList<QPair<QString, QStringList>> keys{
            {"Varnet",
             {"PrinterName", "WBarCodeMask", "QBarCodeMask", "PrintEI", "EIWeight", "EIQuantity",
              "EICurrency", "Penny", "RoundTo"}},
            {"Scale", {"RS232Port", "Type"}},
            {"SQL",
             {"Driver", "Server", "Database", "User", "Password", "SectionID", "FindOrder"}}};
        int count = 0;
        for (const auto& [section, names] : keys)
            for (const QString& key : names) {
                QVERIFY2(ini.ReadString(section, key, "<missing>", 255) != "<missing>",
                         qPrintable(key));
                ++count;
            }
        QCOMPARE(count, 18);
        QCOMPARE(ini.ReadString("SQL", "Driver", "", 255), QStringLiteral("SQLite3"));
        screen.m_poller.Stop();
        m_app->SetMainScreen(nullptr);
    }

    // «Вес только с весов» and the heaviest keyed weight, set in the dialog by touch, are in
    // force and in the file once confirmed; opened again, the dialog shows them.
    void weighingSettings() {
        SetUpCounter(QStringLiteral("[Scale]\nRS232Port=0\nType=0\n"));
        MessageRecorder messages;
        {
            CAppConfig dlg;
            dlg.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dlg));
            auto* scaleOnly = qobject_cast<QCheckBox*>(dlg.Control(IDC_SCALEONLY));
            QVERIFY(scaleOnly && !scaleOnly->isChecked());
            QCOMPARE(Edit(dlg, IDC_CAPACITY)->text(), QString());
            QTest::mouseClick(scaleOnly, Qt::LeftButton, Qt::NoModifier,
                              QPoint(8, scaleOnly->height() / 2));
            QTest::keyClicks(Edit(dlg, IDC_CAPACITY), QStringLiteral("15,5"));
            dlg.accept();
            QCOMPARE(dlg.result(), int(QDialog::Accepted));
        }
        QVERIFY(m_app->m_settings.WeightFromScaleOnly);
        QCOMPARE(m_app->m_settings.Capacity, 15.5);
        const platform::CIniFile ini = platform::CIniFile::Load(CVarnetApp::SettingsPath());
        QCOMPARE(ini.ReadString("Scale", "Capacity", "", 255), QStringLiteral("15.5"));
        QCOMPARE(ini.ReadString("Scale", "WeightFromScaleOnly", "", 255), QStringLiteral("1"));
        CAppConfig again;
        QVERIFY(qobject_cast<QCheckBox*>(again.Control(IDC_SCALEONLY))->isChecked());
        QCOMPARE(Edit(again, IDC_CAPACITY)->text(), QStringLiteral("15.5"));
    }

    void screenshot() {
        SetUpCounter(QStringLiteral("[Varnet]\nPrinterName=%1\nPrintEI=1\nPenny=1\n"
                                    "EIWeight=кг\nEIQuantity=шт\nEICurrency=руб\n"
                                    "[Scale]\nRS232Port=1\nType=3\n[SQL]\nDriver=SQLite3\n")
                         .arg(printcapture::Queue()));
        CAppConfig dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        const QString folder = qEnvironmentVariable("VARNET_BINARY_DIR") + "/screenshots";
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(dlg.grab().save(folder + "/appconfig.png"));
    }
};

QTEST_MAIN(TstAppConfig)
#include "tst_appconfig.moc"
