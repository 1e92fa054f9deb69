// The dialogs the main screen opens, at the sizes the screen takes: the journal shows all its
// columns when it first opens scaled, and every key an operator presses is a finger's height
// (34 pixels, about 9 mm) at the design's size and below it as well as above.
#include "catalogue/cdlgfind.h"
#include "journal/journal.h"
#include "journal/journalfile.h"
#include "labels/propertycfg.h"
#include "platform/clock.h"
#include "support/testdir.h"
#include "ui/appconfig.h"
#include "ui/screenfit.h"
#include "workstation/journaldlg.h"

#include <QApplication>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>

namespace {

const QDateTime kMorning(QDate(2026, 3, 14), QTime(9, 26));

// Every column of the table lies wholly in its visible part, without a scroll bar.
QString HiddenColumns(const QTableWidget& table) {
    const QHeaderView& header = *table.horizontalHeader();
    const int visible = table.viewport()->width();
    QStringList hidden;
    for (int c = 0; c < header.count(); ++c) {
        const int left = header.sectionViewportPosition(c);
        const QString name = table.horizontalHeaderItem(c)->text();
        if (left < 0 || left + header.sectionSize(c) > visible ||
            header.sectionSize(c) < QFontMetrics(table.font()).horizontalAdvance(name))
            hidden.append(name);
    }
    if (table.horizontalScrollBar()->isVisible())
        hidden.append(QStringLiteral("(a scroll bar)"));
    return hidden.join(QStringLiteral(", "));
}

// The keys of a shown dialog lower than a finger, by their texts; an editor inside a list's
// row has the row's height.
QString LowKeys(const QWidget& dialog) {
    QStringList low;
    for (const QPushButton* key : dialog.findChildren<QPushButton*>()) {
        bool inList = false;
        for (const QWidget* w = key->parentWidget(); w && !inList; w = w->parentWidget())
            inList = qobject_cast<const QAbstractItemView*>(w) != nullptr;
        if (!inList && key->isVisible() && key->height() < 34)
            low.append(QStringLiteral("%1 %2 px").arg(key->text()).arg(key->height()));
    }
    return low.join(QStringLiteral(", "));
}

} // namespace

class TstDialogFit : public QObject {
    Q_OBJECT

    std::unique_ptr<TestModuleDir> m_dir;
    std::unique_ptr<platform::ScopedFixedClock> m_clock;

private Q_SLOTS:
    void initTestCase() {
        m_dir = std::make_unique<TestModuleDir>();
        m_clock = std::make_unique<platform::ScopedFixedClock>(kMorning);
        // A day of labels as a counter prints them: names short and long, weighed and pieces.
        CJournalFile file;
        QVERIFY(file.Open(m_dir->File(CJournal::FileName())));
        QList<JournalRow> rows;
        const QStringList names{QStringLiteral("Филе куриное"),
                                QStringLiteral("Сыр «Российский» весовой, 45%"),
                                QStringLiteral("Колбаса варёная «Докторская» высшего сорта")};
        for (int i = 0; i < 12; ++i) {
            JournalRow r;
            r.id = JournalRow::NewId();
            r.moment = kMorning.addSecs(-60 * i);
            r.code = QString::number(12 + 1000 * i);
            r.name = names[i % names.size()];
            r.weighed = i % 3 != 2;
            r.quantity = r.weighed ? 1.234 : 3;
            r.price = 1899.9;
            r.sum = qRound64(r.quantity * r.price * 100) / 100.0;
            r.barcode = QStringLiteral("2700012012340");
            r.printer = QStringLiteral("VarnetZPL");
            r.jobId = 100 + i;
            r.reprint = i == 4;
            r.labelName = r.name;
            r.account = QStringLiteral("kassir-smena2");
            rows.append(r);
        }
        QVERIFY2(file.Append(rows), qPrintable(file.Error()));
    }

    void cleanupTestCase() {
        m_clock.reset();
        m_dir.reset();
    }

    // The screen's factor at the sizes of today's counter monitors; at 800 by 600 below a
    // title bar the design is shrunk.
    void journalColumnsAllVisible_data() {
        QTest::addColumn<double>("factor");
        QTest::newRow("800x600 below a title bar") << 0.9583;
        QTest::newRow("800x600") << 1.0;
        QTest::newRow("1366x768") << 1.28;
        QTest::newRow("1920x1080") << 1.8;
    }
    void journalColumnsAllVisible() {
        QFETCH(double, factor);
        ScaleProgramControls(factor);
        CJournalDlg dlg(AppJournal(), nullptr);
        FitDialogToScale(dlg, factor);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        // The fit waits for the dialog to be shown; what it does is in by the next events.
        QTest::qWait(50);
        QCOMPARE(dlg.RowsTable()->rowCount(), 12);
        QCOMPARE(HiddenColumns(*dlg.RowsTable()), QString());
        QCOMPARE(HiddenColumns(*dlg.TotalsTable()), QString());
        // The name keeps room to be read.
        QVERIFY(dlg.RowsTable()->columnWidth(2) > 100 * std::min(1.0, factor));
    }

    void keysFingerHigh_data() {
        QTest::addColumn<double>("factor");
        QTest::newRow("800x600 below a title bar") << 0.9583;
        QTest::newRow("800x600") << 1.0;
        QTest::newRow("1366x768") << 1.28;
    }
    void keysFingerHigh() {
        QFETCH(double, factor);
        ScaleProgramControls(factor);
        {
            CJournalDlg journal(AppJournal(), nullptr);
            FitDialogToScale(journal, factor);
            journal.show();
            QVERIFY(QTest::qWaitForWindowExposed(&journal));
            QCOMPARE(LowKeys(journal), QString());
        }
        {
            CDlgFind search;
            FitDialogToScale(search, factor);
            search.show();
            QVERIFY(QTest::qWaitForWindowExposed(&search));
            QCOMPARE(LowKeys(search), QString());
        }
        {
            QMessageBox box(QMessageBox::Critical, QStringLiteral("Ошибка"),
                            QStringLiteral("Принтер остановлен"), QMessageBox::Ok);
            box.show();
            QVERIFY(QTest::qWaitForWindowExposed(&box));
            QCOMPARE(LowKeys(box), QString());
        }
        {
            CAppConfig settings;
            FitDialogToScale(settings, factor);
            settings.show();
            QVERIFY(QTest::qWaitForWindowExposed(&settings));
            QCOMPARE(LowKeys(settings), QString());
            for (const QPushButton* key : settings.findChildren<QPushButton*>())
                QVERIFY(settings.rect().contains(key->geometry()));
        }
        {
            CPropertyCfg property(nullptr, factor);
            property.show();
            QVERIFY(QTest::qWaitForWindowExposed(&property));
            QCOMPARE(LowKeys(property), QString());
            for (const QPushButton* key : property.findChildren<QPushButton*>())
                QVERIFY(property.rect().contains(key->geometry()));
        }
    }
};

QTEST_MAIN(TstDialogFit)
#include "tst_dialogfit.moc"
