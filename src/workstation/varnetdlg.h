// The main screen of the workstation: the display fields and the keypad over the screen's
// state, the scale poller, and the hand-over to product search, printing, the settings and
// the layout editor. A modal dialog that closes only by the window's close command.
#pragma once

#include "app/varnetapp.h"
#include "scales/scalepoller.h"
#include "workstation/mainlayout.h"
#include "workstation/printflow.h"
#include "workstation/screenstate.h"
#include "workstation/speedkeypad.h"
#include "workstation/speedkeys.h"

#include <QDialog>
#include <QMap>
#include <QMenu>
#include <QPointer>
#include <QTimer>

#include <memory>

class CButtonCtrl;
class CLabel;
class CLabelPreview;
class CPrintPage;
class CPrinterWatch;
class CSpeedKeyPad;

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
    // The tare key: the weight shown becomes the tare, or an empty pan clears it.
    void OnTareKey();
    void PrintLabel();
    // "Журнал фасовки..." and "Повторить последнюю этикетку" in the context menu.
    void AddJournalActions();
    // "Итоги смены..." in the context menu.
    void AddShiftAction();
    void OnWeightUpdate();

    // A speed key: its product becomes current (with its preset tare), fresh from the
    // catalogue; a free key or a product gone from the catalogue says so.
    void OnSpeedKey(int number);
    // The speed keys as a page over the keypad (the 4:3 screens' way to them; also by a
    // long press on «Товар», Insert, or the menu).
    void ShowSpeedKeyPage();
    // The page of copies and the repeat (a long press on «Печать», or the menu).
    void ShowPrintPage();
    void ClosePages();
    // Identical labels of the current piece product, each journalled.
    void PrintCopies(int copies);
    // The last label again, for its product and weight, while the scale shows that weight.
    void RepeatLabel();
    // The last label large, as printed.
    void ShowLastLabel();
    // Puts a product on a speed key chosen over owner, and saves the keys.
    void AssignSpeedKey(QWidget* owner, const CurrentProduct& product);
    // The speed keys' editor over owner (from the settings).
    void RunSpeedKeyEditor(QWidget* owner);
    const CSpeedKeys& SpeedKeys() const { return m_speedKeys; }
    // The bands of keys beside the design (0 left, 1 right) and the pages over the keypad.
    CSpeedKeyPad* SpeedKeyBand(int side) const { return side == 0 ? m_pBandLeft : m_pBandRight; }
    CSpeedKeyPad* SpeedKeyPage() const { return m_pSpeedPage; }
    CPrintPage* PrintPage() const { return m_pPrintPage; }
    CLabelPreview* LabelPreview() const { return m_pPreview; }

    const CScreenState& State() const { return m_state; }
    CScreenState& State() { return m_state; }
    CScalePoller& Poller() { return *m_pPoller; }
    CLabel* Field(int id) const { return m_fields.value(id); }
    CButtonCtrl* Key(int id) const { return m_keys.value(id); }
    CLabel* PageSizeField() const { return m_pPageSize; }
    CLabel* AutoPrintField() const { return m_pAutoPrint; }
    CLabel* ScaleStateField() const { return m_pScaleState; }
    CLabel* PrinterStateField() const { return m_pPrinterState; }
    CLabel* LastLabelField() const { return m_pLastLabel; }
    CLabel* NetSign() const { return m_pNetSign; }
    CButtonCtrl* TareKey() const { return m_pTareKey; }
    CPrinterWatch& PrinterWatch() const { return *m_pPrinterWatch; }
    // The screen's scale: the design's factor and where it stands in the window.
    const CScreenScale& ScreenScale() const { return m_scale; }
    // The menu of the right button and of a long press, while it is open.
    QMenu* OpenMenu() const { return m_pMenu; }
    // Opens the screen's menu at a point on the screen, with items a finger can hit.
    void ShowScreenMenu(const QPoint& globalPos);
    // How long a press must last to open the menu.
    static constexpr int kLongPressMs = 700;

    // What the main screen does with one key of the keyboard; false for keys it leaves to
    // the focused control.
    bool HandleKey(const QKeyEvent& event);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void reject() override;

private:
    void CreateControls();
    void SizeControls();
    void PlaceControls();
    void PlaceAtScreenCentre();
    // Shrinks a window whose frame puts part of it off the screen's free area to the room
    // there is; the design scales down with it.
    void KeepWholeOnScreen();
    void OnInitDialog();
    void UpdateDisplays();
    void UpdatePageSize();
    void UpdateStrip();
    void OnPrinterStatus();
    // A print by the key or by auto-print, with the scale's state as it is now.
    void Print(PrintBy by, int copies = 1);
    void SendPriceToScale();
    void AddTouchActions();
    // The keys shown anew; askCatalogue: with their products' names and prices read afresh.
    void ShowSpeedKeys(bool askCatalogue);
    void SaveSpeedKeys(const QList<SpeedKey>& changes, QWidget* owner);
    void PlaceSpeedKeys();
    // After a label was tried: the strip, the preview, its flash and the sound.
    void AfterLabel(const LastLabel& before);
    void HideKeypad(bool hide);
    // Long press: a press that stays put for kLongPressMs opens the menu.
    void WatchPress(QObject* watched, QEvent* event);
    void OnLongPress();

    CScreenState m_state;
    std::unique_ptr<CScalePoller> m_pPoller;
    QMap<int, CLabel*> m_fields; // 10001 to 10005
    CLabel* m_pPageSize = nullptr;
    CLabel* m_pAutoPrint = nullptr;
    CLabel* m_pScaleState = nullptr;
    CLabel* m_pPrinterState = nullptr;
    CLabel* m_pLastLabel = nullptr;
    CLabel* m_pNetSign = nullptr;
    CButtonCtrl* m_pTareKey = nullptr;
    CPrinterWatch* m_pPrinterWatch = nullptr;
    CSpeedKeys m_speedKeys;
    QMap<QString, SpeedKeyProduct> m_speedKeyProducts; // the catalogue's, by product code
    CSpeedKeyPad* m_pBandLeft = nullptr;
    CSpeedKeyPad* m_pBandRight = nullptr;
    CSpeedKeyPad* m_pSpeedPage = nullptr;
    CPrintPage* m_pPrintPage = nullptr;
    CLabelPreview* m_pPreview = nullptr;
    QMap<int, CButtonCtrl*> m_keys;
    MainLayout m_layout;  // the design, for the frame the window had when first shown
    QSize m_szDesign;     // the client size the design is made for
    CScreenScale m_scale; // the design in the window as it is now
    QTimer m_longPress;
    QPoint m_ptPress; // global position of the press being watched
    QPointer<QWidget> m_pPressed;
    QPointer<QMenu> m_pMenu;
    bool m_bInitialised = false;
    bool m_bSized = false;
    bool m_bKeepingOnScreen = false;
};
