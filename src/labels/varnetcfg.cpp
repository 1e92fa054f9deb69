#include "labels/varnetcfg.h"

#include "app/varnetapp.h"
#include "labels/barcodelabel.h"
#include "labels/labellayouts.h"
#include "labels/propertycfg.h"
#include "platform/clock.h"
#include "platform/messages.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <algorithm>

CPreviewArea::CPreviewArea(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
}

void CPreviewArea::SetPicture(const QImage& picture) {
    m_picture = picture;
    update();
}

void CPreviewArea::paintEvent(QPaintEvent* event) {
    if (m_beforePaint)
        m_beforePaint();
    QFrame::paintEvent(event);
    if (m_picture.isNull())
        return;
    QPainter painter(this);
    const QRect area = contentsRect();
    const QPoint at(area.left() + (area.width() - m_picture.width()) / 2,
                    area.top() + (area.height() - m_picture.height()) / 2);
    painter.drawImage(at, m_picture);
}

CVarnetCfg::CVarnetCfg(QWidget* parent) : QDialog(parent) {
    {
        const CBarCodeLabel probe;
        setWindowTitle(
            EditorCaption(probe.m_bValid != 0, probe.m_nPageWidthMM, probe.m_nPageHeightMM));
    }
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFixedSize(800, 600);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(EditorWindowPosition(screen->size()));

    m_pPreview = new CPreviewArea(this);
    m_pPreview->SetBeforePaint([this] { RebuildPreview(false); });

    m_pKind = new QComboBox(this);
    m_pKind->addItems({QStringLiteral("Весовая этикетка"), QStringLiteral("Штучная этикетка")});
    m_pKind->setCurrentIndex(0);
    connect(m_pKind, &QComboBox::currentIndexChanged, this, &CVarnetCfg::OnKindChanged);

    for (const EditorButton& b : EditorButtons()) {
        auto* button = new QPushButton(ButtonCaption(b, true), this);
        connect(button, &QPushButton::clicked, this, [this, &b] { OnElementButton(b); });
        m_buttons[b.nId] = button;
    }
    m_pSave = new QPushButton(QStringLiteral("Сохранить"), this);
    m_pSave->setDefault(true);
    connect(m_pSave, &QPushButton::clicked, this, &CVarnetCfg::OnSave);
    m_pRevert = new QPushButton(QStringLiteral("Отмена"), this);
    connect(m_pRevert, &QPushButton::clicked, this, &CVarnetCfg::OnRevert);
    // A kiosk without a window manager has no title bar: a finger closes the editor here.
    m_pClose = new QPushButton(QStringLiteral("✕"), this);
    m_pClose->setObjectName(QStringLiteral("closeKey"));
    m_pClose->setToolTip(QStringLiteral("Закрыть"));
    m_pClose->setAccessibleName(QStringLiteral("Закрыть"));
    m_pClose->setAutoDefault(false);
    connect(m_pClose, &QPushButton::clicked, this, &CVarnetCfg::reject);
}

QPushButton* CVarnetCfg::Button(int id) const {
    const auto it = m_buttons.find(id);
    return it == m_buttons.end() ? nullptr : it->second;
}

double CVarnetCfg::Scale() const {
    const double scale = std::min(width() / 800.0, height() / 600.0);
    return scale > 0.0 ? scale : 1.0;
}

void CVarnetCfg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    // Grown with a scaled main screen, or shrunk to fit below a title bar, the editor keeps
    // the placement of its 800 by 600 design, scaled as a whole; at its own size it is placed
    // as designed.
    const double f = Scale();
    const auto at = [f](const QRect& r) {
        if (f == 1.0)
            return r;
        const int left = qRound(r.left() * f);
        const int top = qRound(r.top() * f);
        return QRect(left, top, qRound((r.left() + r.width()) * f) - left,
                     qRound((r.top() + r.height()) * f) - top);
    };
    const EditorPlacement p = PlaceEditorControls(qRound(width() / f), qRound(height() / f));
    m_pPreview->setGeometry(at(p.preview));
    m_pKind->setGeometry(at(p.kindList));
    m_pClose->setGeometry(at(p.close));
    for (std::size_t i = 0; i < EditorButtons().size(); ++i)
        m_buttons[EditorButtons()[i].nId]->setGeometry(at(p.buttons[i]));
    m_pSave->setGeometry(at(p.save));
    m_pRevert->setGeometry(at(p.cancel));
}

void CVarnetCfg::RebuildPreview(bool bRealChange) {
    // Drawing a preview never paints the dialog itself, but a message box shown from here
    // runs events; a rebuild that they cause must not start another one.
    if (m_bRebuilding)
        return;
    m_bRebuilding = true;
    CBarCodeLabel label;
    if (!label.m_bValid) {
        if (bRealChange)
            m_pPreview->SetPicture(QImage());
        else
            m_pPreview->SetPictureQuietly(QImage());
        m_bRebuilding = false;
        if (m_printerWarning.ShouldTell(bRealChange)) {
            // A repaint cannot open a modal box; it is told right after the paint.
            const QString reason = label.InvalidReason();
            if (bRealChange)
                TellNoPrinter(reason);
            else
                QTimer::singleShot(0, this, [this, reason] { TellNoPrinter(reason); });
        }
        return;
    }
    CBarCodeLabelInfo& layout = AppLayouts().Layout(m_bWeight);
    const CVarnetApp* app = CVarnetApp::Instance();
    layout.SetValues(
        SampleLabelData(m_bWeight, app ? app->m_settings : AppSettings(), platform::Now()));
    if (label.Draw(layout)) {
        const QSize size = PreviewPictureSize(m_pPreview->contentsRect().size(), label.m_nPageWidth,
                                              label.m_nPageHeight);
        QImage picture(size, QImage::Format_RGB32);
        if (!picture.isNull()) {
            picture.fill(Qt::white);
            QPainter dc(&picture);
            label.DrawTo(dc, size.width(), size.height());
        }
        // Setting the picture from a repaint of the area only stores it; it is painted now.
        if (bRealChange)
            m_pPreview->SetPicture(picture);
        else
            m_pPreview->SetPictureQuietly(picture);
    }
    m_bRebuilding = false;
}

void CVarnetCfg::TellNoPrinter(const QString& reason) {
    // A printer that is there but whose page no label fits is named with what is wrong, as
    // printing names it; only a printer that is not there is "not installed".
    platform::ReportMessage(reason.isEmpty() ? QStringLiteral("Принтер не установлен") : reason,
                            platform::ErrorCaption(), platform::MessageIcon::Stop, this);
}

void CVarnetCfg::OnKindChanged(int index) {
    m_bWeight = index == 0;
    for (const EditorButton& b : EditorButtons())
        m_buttons[b.nId]->setText(ButtonCaption(b, m_bWeight));
    RebuildPreview(true);
}

void CVarnetCfg::OnElementButton(const EditorButton& b) {
    CBarCodeLabelInfo& layout = AppLayouts().Layout(m_bWeight);
    CPropertyCfg dlg(this, Scale());
    static_cast<PropertyFields&>(dlg) =
        FieldsFromElement(layout, b.nElement, PropertyTitle(b, m_bWeight));
    if (dlg.exec() != QDialog::Accepted)
        return;
    ApplyFields(layout, b.nElement, dlg);
    RebuildPreview(true);
}

void CVarnetCfg::OnSave() {
    AppLayouts().SaveLayout(m_bWeight);
}

void CVarnetCfg::OnRevert() {
    AppLayouts().LoadLayout(m_bWeight);
    RebuildPreview(true);
}

void CVarnetCfg::reject() {
    AppLayouts().LoadLayout(true);
    AppLayouts().LoadLayout(false);
    QDialog::reject();
}
