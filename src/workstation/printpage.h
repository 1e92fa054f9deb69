// The page over the keypad behind a long press on «Печать»: a number of identical labels of a
// piece product, typed on the page's own keys and printed at once; the repeat of the last
// label; and the key that closes the page. Digits, Backspace, Enter and Escape work from the
// keyboard as well.
#pragma once

#include "workstation/speedkeylayout.h"

#include <QMap>
#include <QRect>
#include <QWidget>

#include <functional>

class CButtonCtrl;
class CLabel;
class QKeyEvent;

class CPrintPage : public QWidget {
    Q_OBJECT

public:
    static constexpr int kMaxCopies = 99;

    explicit CPrintPage(QWidget* parent = nullptr);

    // Shows the page with one copy, the next digit typed replacing it.
    void Open();
    int Copies() const;
    CLabel* CountField() const { return m_pCount; }
    // The keys by their captions: "0" to "9", "⌫", "Копии", "Повтор", "Закрыть".
    CButtonCtrl* Key(const QString& caption) const { return m_keys.value(caption); }
    // Places the page's controls at the places of the design, mapped to where they show in
    // the page.
    void Place(const PrintPagePlaces& design, const std::function<QRect(const QRect&)>& map);
    // A key of the keyboard while the page is open; false for keys it leaves alone.
    bool HandleKey(const QKeyEvent& event);

Q_SIGNALS:
    void PrintCopies(int copies);
    void Repeat();
    void CloseTapped();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void Type(const QString& digit);
    void Erase();
    void ShowCount();

    CLabel* m_pCount;
    QMap<QString, CButtonCtrl*> m_keys;
    QString m_strCount;
    bool m_bFresh = true;
};
