// The two dialogs that set speed keys up. "На быструю клавишу" (from the product search): the
// keys as they are, a tap puts the product on one. "Быстрые клавиши" (from the settings): a
// key chosen on the grid gets its product, the text on it, whether it shows the price and a
// preset tare; OK hands the changed keys over. Both work by touch and by keyboard (Tab and
// the arrows move between keys, Enter takes one, Escape leaves).
#pragma once

#include "workstation/screenstate.h"
#include "workstation/speedkeys.h"

#include <QDialog>
#include <QMap>

#include <functional>
#include <optional>

class CSpeedKeyPad;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

class CSpeedKeyChooser : public QDialog {
    Q_OBJECT

public:
    CSpeedKeyChooser(const CSpeedKeys& keys, const QString& productName, QWidget* parent = nullptr);

    // The number of the key tapped; 0 before one was.
    int Chosen() const { return m_nChosen; }
    CSpeedKeyPad* Pad() const { return m_pPad; }

private:
    CSpeedKeyPad* m_pPad;
    int m_nChosen = 0;
};

class CSpeedKeyEditor : public QDialog {
    Q_OBJECT

public:
    // search opens the product search over the editor and gives the product chosen.
    CSpeedKeyEditor(const CSpeedKeys& keys,
                    std::function<std::optional<CurrentProduct>(QWidget*)> search,
                    QWidget* parent = nullptr);

    // The keys changed, as they are to be saved (a freed key with an empty code).
    QList<SpeedKey> Changes() const;
    void Choose(int number);
    int Current() const { return m_nCurrent; }
    CSpeedKeyPad* Pad() const { return m_pPad; }
    QLineEdit* NameEdit() const { return m_pName; }
    QLineEdit* TareEdit() const { return m_pTare; }
    QCheckBox* PriceBox() const { return m_pPrice; }

public Q_SLOTS:
    void accept() override;

private:
    // Takes the fields into the current key; false (told) when the tare is no weight.
    bool TakeFields();
    void ShowFields();
    void ChooseProduct();
    void FreeKey();
    void ShowKeys();

    CSpeedKeys m_original;
    QMap<int, SpeedKey> m_keys; // every key, by number
    std::function<std::optional<CurrentProduct>(QWidget*)> m_search;
    CSpeedKeyPad* m_pPad;
    QLabel* m_pProduct;
    QLineEdit* m_pName;
    QCheckBox* m_pPrice;
    QLineEdit* m_pTare;
    QPushButton* m_pFree;
    int m_nCurrent = 0;
};
