// A keypad key of the main screen: a button that paints itself (gradient face, coloured rim
// under the pointer or with the focus, rounded outline, icon and caption) and handles its own
// keys: Tab and the arrows move the focus, Enter pushes and clicks, Space does nothing.
#pragma once

#include "ui/keylook.h"

#include <QAbstractButton>
#include <QColor>
#include <QFont>
#include <QIcon>

class CButtonCtrl : public QAbstractButton {
    Q_OBJECT

public:
    explicit CButtonCtrl(QWidget* parent = nullptr);
    explicit CButtonCtrl(const QString& caption, QWidget* parent = nullptr);

    // The caption font by its character cell height; the widget's own font() is not used.
    void SetFont(int nHeight, const QString& face);
    const QFont& CaptionFont() const { return m_font; }

    // The icon drawn while the key is enabled, the one drawn while it is disabled (a null
    // icon draws none), their size in pixels and the placement of icon and caption
    // (ui::KeyIconAlign).
    void SetIcon(const QIcon& icon, const QIcon& iconDisabled, int nSize, int nAlign);
    // The same with the program's own icons by resource number.
    void SetIcon(int nIconId, int nIconDisabledId, int nSize, int nAlign);

    void SetTextColor(const QColor& crText);
    QColor TextColor() const { return m_crText; }

    // The size the key is designed at; shown at another size (the screen's scale) it is
    // drawn as its design stretched to fit, rasterised at the size shown, icons included.
    // Empty: drawn at its own size.
    void SetDesignSize(const QSize& design);
    QSize DesignSize() const { return m_szDesign; }

    bool IsHover() const { return m_bHover; }
    // The state the key paints itself in right now.
    ui::KeyState State() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void SetHover(bool bHover);

    bool m_bHover = false;
    QColor m_crText{Qt::black};
    QIcon m_hIcon;
    QIcon m_hIconDisabled;
    int m_nIconSize = 0;
    int m_nIconAlign = ui::KeyIconCentre;
    QFont m_font;
    QSize m_szDesign;
};
