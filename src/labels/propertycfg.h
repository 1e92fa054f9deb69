// The element property dialog: a two-column property list ("Параметр", "Значение") with the
// rows of one element's shape, and "ОК" / "Отмена". It edits a copy of the element's
// properties; the editor reads them back after "ОК".
#pragma once

#include "labels/propertyrows.h"

#include <QDialog>

#include <vector>

class QTreeWidget;
class QTreeWidgetItem;
class QPushButton;

class CPropertyCfg : public QDialog, public PropertyFields {
    Q_OBJECT

public:
    // scale: the editor's own, by which the dialog grows with it (1 at the design's size).
    explicit CPropertyCfg(QWidget* parent = nullptr, double scale = 1.0);
    ~CPropertyCfg() override;
    CPropertyCfg(const CPropertyCfg&) = delete;
    CPropertyCfg& operator=(const CPropertyCfg&) = delete;

    // Builds the rows from the fields; done when the dialog is shown, callable earlier.
    void InitRows();
    // The number of rows, and the editor of row i in the order the rows were added.
    int RowCount() const { return int(m_rows.size()); }
    QWidget* ValueEditor(int i) const { return m_rows.at(std::size_t(i)).editor; }
    QString RowName(int i) const { return m_rows.at(std::size_t(i)).row.name; }
    // Opens the font dialog of the font row, as a click on it does.
    void ChooseFont();

    QTreeWidget* m_wndPropList = nullptr;

public Q_SLOTS:
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct Row {
        PropertyRow row;
        QString initial; // to mark the value in bold once it differs
        LOGFONTW initialFont;
        QString lastGood; // millimetres: the last text that was a number
        QTreeWidgetItem* item = nullptr;
        QWidget* editor = nullptr;
    };
    QWidget* CreateEditor(Row& r);
    void ValueChanged(Row& r, const QString& value);
    void MarkChanged(Row& r, bool changed);
    // A millimetre row that holds no number goes back to its last value, with a message.
    bool CommitMillimetres(Row& r);

    std::vector<Row> m_rows;
    QPushButton* m_pOk = nullptr;
    QPushButton* m_pCancel = nullptr;
};
