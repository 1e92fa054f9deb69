// The main screen of the workstation: the display fields and the keypad over the screen's
// state, the scale poller, and the hand-over to product search, printing, the settings and
// the layout editor. A modal dialog that closes only by the window's close command.
#pragma once

#include "app/varnetapp.h"
#include "scales/scalepoller.h"
#include "workstation/screenstate.h"

#include <QDialog>
#include <QMap>

#include <memory>

class CButtonCtrl;
class CLabel;

class CVarnetDlg : public QDialog, public IMainScreen {
    Q_OBJECT

public:
    explicit CVarnetDlg(QWidget* parent = nullptr);
    ~CVarnetDlg() override;

    // Replaces the scale and its polling thread with those of the settings.
    void ConnectScale() override;
    QWidget* Window() override { return this; }

    // The handlers of the keys, also reached from the keyboard.
    void AppendKey(const QString& text);
    void OnClearKey();
    void OnSettingsKey();
    void OnAutoPrintKey();
    void OnProductKey();
    void OnEditorKey();
    void PrintLabel();
    // "Журнал фасовки..." and "Повторить последнюю этикетку" in the context menu.
    void AddJournalActions();
    void OnWeightUpdate();

    const CScreenState& State() const { return m_state; }
    CScreenState& State() { return m_state; }
    CScalePoller& Poller() { return *m_pPoller; }
    CLabel* Field(int id) const { return m_fields.value(id); }
    CButtonCtrl* Key(int id) const { return m_keys.value(id); }
    CLabel* PageSizeField() const { return m_pPageSize; }
    CLabel* AutoPrintField() const { return m_pAutoPrint; }

    // What the main screen does with one key of the keyboard; false for keys it leaves to
    // the focused control.
    bool HandleKey(const QKeyEvent& event);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void reject() override;

private:
    void CreateControls();
    void SizeControls();
    void PlaceControls();
    void PlaceAtScreenCentre();
    void OnInitDialog();
    void UpdateDisplays();
    void UpdatePageSize();
    void SendPriceToScale();

    CScreenState m_state;
    std::unique_ptr<CScalePoller> m_pPoller;
    QMap<int, CLabel*> m_fields; // 10001 to 10005
    CLabel* m_pPageSize = nullptr;
    CLabel* m_pAutoPrint = nullptr;
    QMap<int, CButtonCtrl*> m_keys;
    bool m_bInitialised = false;
    bool m_bSized = false;
};
