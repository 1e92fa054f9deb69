// The layout editor: a live preview of the label on the configured printer, the label kind,
// one button per element opening its property dialog, "Сохранить", "Отмена" and a close key.
// It edits the application's two layouts in place; closing it reloads both from their files.
#pragma once

#include "labels/editorlogic.h"

#include <QDialog>
#include <QFrame>
#include <QImage>

#include <functional>
#include <map>

class QComboBox;
class QPushButton;

// The picture area with a border; shows its picture centred. Before it paints it asks its
// owner to rebuild the picture, so the preview follows every repaint.
class CPreviewArea : public QFrame {
    Q_OBJECT

public:
    explicit CPreviewArea(QWidget* parent);
    void SetBeforePaint(std::function<void()> beforePaint) {
        m_beforePaint = std::move(beforePaint);
    }
    void SetPicture(const QImage& picture);
    // From within its own paint: stores the picture that this paint then shows.
    void SetPictureQuietly(const QImage& picture) { m_picture = picture; }
    const QImage& Picture() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::function<void()> m_beforePaint;
    QImage m_picture;
};

class CVarnetCfg : public QDialog {
    Q_OBJECT

public:
    explicit CVarnetCfg(QWidget* parent = nullptr);

    QComboBox* KindList() const { return m_pKind; }
    QPushButton* Button(int id) const;
    // The key that closes the editor as its window's close command does.
    QPushButton* CloseKey() const { return m_pClose; }
    CPreviewArea* Preview() const { return m_pPreview; }

    // Draws the sample label of the kind being edited and shows it; bRealChange: after a
    // change of the operator's rather than a repaint (see CPrinterWarning).
    void RebuildPreview(bool bRealChange);

    bool m_bWeight = true;

public Q_SLOTS:
    void reject() override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // How far the editor has grown beyond its 800 by 600 design with a scaled screen (or shrunk
    // below it to fit a small one).
    double Scale() const;
    void OnKindChanged(int index);
    void OnElementButton(const EditorButton& b);
    void OnSave();
    void OnRevert();
    // reason: the printer's bad page, or empty for a printer that is not there.
    void TellNoPrinter(const QString& reason);

    QComboBox* m_pKind = nullptr;
    std::map<int, QPushButton*> m_buttons;
    QPushButton* m_pSave = nullptr;
    QPushButton* m_pRevert = nullptr;
    QPushButton* m_pClose = nullptr;
    CPreviewArea* m_pPreview = nullptr;
    CPrinterWarning m_printerWarning;
    bool m_bRebuilding = false;
};
