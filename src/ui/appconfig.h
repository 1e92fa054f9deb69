// The settings dialog "Конфигурация": every setting of the counter on one page. "ОК" takes
// the values with validation, stores them and saves the settings, which reconnects the
// database and the scale; "Отмена" changes nothing.
#pragma once

#include "ui/appconfigvalues.h"

#include <QDialog>

#include <functional>
#include <map>

class QCheckBox;
class QComboBox;
class QLineEdit;

class CAppConfig : public QDialog {
    Q_OBJECT

public:
    explicit CAppConfig(QWidget* parent = nullptr);

    // The control of an identifier of the dialog (edits, lists, check boxes, buttons).
    QWidget* Control(int id) const;
    // The values the controls hold now, without validation.
    AppConfigValues TakeValues() const;
    // Shows the key "Быстрые клавиши..." (hidden until then), which runs open with this
    // dialog as the owner.
    void SetSpeedKeysEditor(std::function<void(QWidget*)> open);

public Q_SLOTS:
    void accept() override;

private:
    QLineEdit* AddEdit(int id, int x, int y, int w, int h);
    QComboBox* AddList(int id, int x, int y, int w);
    void AddStatic(const QString& text, int x, int y, int w, int h);
    void PutValues(const AppConfigValues& v);
    // Reports the first failing value and moves the focus to its control; false then.
    bool Validate(const AppConfigValues& v);
    void OnPrintEIClicked();
    void StepPort(int delta);
    void OnDeviceChosen(int index);
    // Chooses in the device list the device that the port number reaches.
    void ShowPortDevice();
    // The device of the list's entry (its data; an entry added without one is its text).
    QString DeviceAt(int index) const;
    // Makes the COM<N> link for a chosen device that has none; false (told) on failure.
    bool MakePortLink(const QString& portText);
    bool eventFilter(QObject* watched, QEvent* event) override;

    std::map<int, QWidget*> m_controls;
    QComboBox* m_pPrinters = nullptr;
    QComboBox* m_pScales = nullptr;
    QComboBox* m_pDevices = nullptr;
    QString m_strLinkDevice; // chosen, its COM<N> link still to be made
    QComboBox* m_pDrivers = nullptr;
    QComboBox* m_pFindOrder = nullptr;
    QCheckBox* m_pPrintEI = nullptr;
    QCheckBox* m_pPenny = nullptr;
    QCheckBox* m_pScaleOnly = nullptr;
    QCheckBox* m_pSound = nullptr;
    std::function<void(QWidget*)> m_pfnSpeedKeys;
};
