// The printed label in sight: beside the state strip, the page of the last label as it went to
// the printer (the same dots, never drawn a second time), or why the last label was refused; a
// tap opens it large. After each label it flashes green (printed) or red (refused).
#pragma once

#include "workstation/statusstrip.h"

#include <QDialog>
#include <QImage>
#include <QTimer>
#include <QWidget>

class CLabelPreview : public QWidget {
    Q_OBJECT

public:
    explicit CLabelPreview(QWidget* parent = nullptr);

    void SetLabel(const LastLabel& label);
    const LastLabel& Label() const { return m_label; }
    // A short flash of the frame in the colour of the label's fate.
    void Flash(bool printed);
    bool IsFlashing() const { return m_flash.isActive(); }

Q_SIGNALS:
    void Tapped();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    LastLabel m_label;
    QTimer m_flash;
    QColor m_crFlash;
    bool m_bPressed = false;
};

// The last label large: the page at a whole multiple of its dots (so a scanner reads its bars
// off the screen as off the paper), as large as fits in area; or the reason of a refusal. A
// tap anywhere or Escape closes it.
class CLabelView : public QDialog {
    Q_OBJECT

public:
    CLabelView(const LastLabel& label, const QSize& area, QWidget* parent = nullptr);

    // The picture shown: the page scaled, or null for a refusal.
    const QImage& Shown() const { return m_shown; }
    // How many screen pixels a dot of the page takes across (below 1 for a page larger
    // than the area).
    static double PageFactor(const QSize& page, const QSize& area);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QImage m_shown;
};
