// The speed keys on the screen. A key shows its number, the text set for it and, when the key
// asks for it, the product's price; a free key shows its number only. A pad holds a run of
// keys that its owner places: a band beside the scaled design, a page over the keypad (with
// a key that closes it), or the grid of a dialog that assigns keys.
#pragma once

#include "ui/buttonctrl.h"
#include "workstation/speedkeys.h"

#include <QList>
#include <QMap>
#include <QRect>
#include <QWidget>

// What the catalogue says of a key's product: its name (shown when the key has no text of its
// own) and its price as the screen shows money (shown when the key asks for it).
struct SpeedKeyProduct {
    QString name;
    QString price;
};

class CSpeedKeyButton : public CButtonCtrl {
    Q_OBJECT

public:
    explicit CSpeedKeyButton(int number, QWidget* parent = nullptr);

    // The key as set, with what the catalogue says of its product.
    void SetKey(const SpeedKey& key, const SpeedKeyProduct& product);
    int Number() const { return m_nNumber; }
    const SpeedKey& Key() const { return m_key; }
    const QString& PriceText() const { return m_strPrice; }
    // Marks the key chosen in a dialog that assigns keys.
    void SetChosen(bool chosen);
    // The size of the name's letters in pixels (0: the largest that fits this key).
    void SetNamePixels(int pixels);
    int LargestNamePixels() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect NameBox() const;

    int m_nNumber;
    SpeedKey m_key;
    QString m_strPrice;
    bool m_bChosen = false;
    int m_nNamePixels = 0;
};

class CSpeedKeyPad : public QWidget {
    Q_OBJECT

public:
    // Keys first to first + count - 1; a page has a background of its own and a key that
    // closes it.
    CSpeedKeyPad(int first, int count, bool page, QWidget* parent = nullptr);

    // The keys as set, with what the catalogue says of their products, by product code.
    void SetKeys(const CSpeedKeys& keys, const QMap<QString, SpeedKeyProduct>& products);
    // Places the keys (in this widget's coordinates, in their order) and the close key.
    void PlaceKeys(const QList<QRect>& keys, const QRect& close = QRect());
    // Places the keys as a grid filling the pad, now and whenever it is resized.
    void PlaceAsGrid(int gap);
    CSpeedKeyButton* KeyButton(int number) const;
    QList<CSpeedKeyButton*> KeyButtons() const { return m_keys; }
    CButtonCtrl* CloseKey() const { return m_pClose; }

Q_SIGNALS:
    void KeyTapped(int number);
    void CloseTapped();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void EvenNames();

    int m_nFirst;
    bool m_bPage;
    int m_nGridGap = 0; // a grid filling the pad, when not 0
    QList<CSpeedKeyButton*> m_keys;
    CButtonCtrl* m_pClose = nullptr;
};
