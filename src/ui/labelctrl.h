// A display field of the main screen: a rounded frame with a caption set into its top edge
// and a value text (name, price, weight, ...) in its own font, colour and alignment. The
// frame-only variant groups other controls and leaves its inside alone.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QWidget>

class CLabel : public QWidget {
    Q_OBJECT

public:
    explicit CLabel(QWidget* parent = nullptr);

    void SetCaption(const QString& caption, const QColor& crCaption, const QColor& crFrame);
    QString Caption() const { return m_strCaption; }
    QColor CaptionColor() const { return m_crCaption; }
    QColor FrameColor() const { return m_crFrame; }

    // The value text font by its character cell height.
    void SetTextFont(int nHeight, bool bItalic, const QString& face);
    const QFont& TextFont() const { return m_fontText; }
    const QFont& CaptionFont() const { return m_fontCaption; }

    // The value text.
    void setText(const QString& text);
    QString text() const { return m_strText; }

    void SetTextColor(const QColor& crText);
    QColor TextColor() const { return m_crText; }
    void SetBackColor(const QColor& crBack);
    QColor BackColor() const { return m_crBack; }
    // Left, centre or right (the horizontal part of the alignment counts).
    void SetCaptionAlign(Qt::Alignment align);
    Qt::Alignment CaptionAlign() const { return m_nCaptionAlign; }
    void SetTextAlign(Qt::Alignment align);
    Qt::Alignment TextAlign() const { return m_nTextAlign; }
    void SetWordWrap(bool bWordWrap);
    bool WordWrap() const { return m_bWordWrap; }
    void SetFrameOnly(bool bFrameOnly);
    bool FrameOnly() const { return m_bFrameOnly; }

    // The size the field is designed at; shown at another size (the screen's scale) it is
    // drawn as its design stretched to fit, rasterised at the size shown, so text, frame and
    // corners stay crisp. Empty: drawn at its own size.
    void SetDesignSize(const QSize& design);
    QSize DesignSize() const { return m_szDesign; }

    // The default frame colour: the colour of greyed-out text.
    static QColor GrayTextColor();

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_bFrameOnly = false;
    QString m_strCaption;
    QFont m_fontCaption;
    QColor m_crCaption{Qt::black};
    QColor m_crFrame;
    QFont m_fontText;
    QColor m_crText{Qt::black};
    QColor m_crBack;
    Qt::Alignment m_nCaptionAlign = Qt::AlignLeft;
    Qt::Alignment m_nTextAlign = Qt::AlignLeft;
    bool m_bWordWrap = true;
    QString m_strText;
    QSize m_szDesign;
};
