// The product search dialog driven by keys and mouse under the offscreen platform, on the
// real drivers: the initial order, filtering as the operator types, key routing between
// the edit box and the list, Tab cycling, column clicks, and what Enter and Escape return.
#include "catalogfixture.h"
#include "catalogue/cdlgplufind.h"
#include "catalogue/plusql.h"
#include "platform/clock.h"
#include "support/messagerecorder.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QTest>

#include <map>
#include <memory>

class TstDlgPluFind : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    std::map<QString, AppSettings> m_settings;
    std::unique_ptr<CVarnetApp> m_app;
    std::unique_ptr<CDlgPluFind> m_dlg;

    static void Backends() {
        catfix::AddBackends();
        for (const QString& b : testdb::Backends())
            QTest::newRow(b.toUtf8()) << b;
    }

    // The application on the back end's catalogue and a search dialog shown on it.
    CDlgPluFind& Open(const QString& backend, int findOrder = 0,
                      const QString& mask = QStringLiteral("PPPPP")) {
        m_dlg.reset();
        m_app = std::make_unique<CVarnetApp>();
        m_app->m_settings = m_settings.at(backend);
        m_app->m_settings.FindOrder = findOrder;
        m_app->m_settings.Penny = true;
        if (!m_app->ConnectDatabase())
            qFatal("no connection");
        m_dlg = std::make_unique<CDlgPluFind>();
        m_dlg->m_strBaseFilter = PluBaseFilter(m_app->DatabaseDialect(), mask, QString(), false,
                                               m_app->m_settings.SectionID);
        m_dlg->show();
        if (!QTest::qWaitForWindowActive(m_dlg.get()))
            qFatal("dialog not active");
        return *m_dlg;
    }

    // Key presses with text beyond ASCII, which QTest::keyClicks cannot type.
    static void Type(QWidget* w, const QString& text) {
        for (const QChar ch : text) {
            QTest::sendKeyEvent(QTest::Press, w, Qt::Key(ch.toUpper().unicode()), QString(ch), {});
            QTest::sendKeyEvent(QTest::Release, w, Qt::Key(ch.toUpper().unicode()), QString(ch),
                                {});
        }
    }

    static QStringList Codes(CDlgPluFind& dlg) {
        QStringList codes;
        for (int r = 0; r < dlg.Grid()->model()->rowCount(); ++r)
            codes.append(dlg.Grid()->CellTextAt(r, 0));
        return codes;
    }

private Q_SLOTS:
    void initTestCase() {
        QList<democat::PluRow> rows = catfix::Numbered(150);
        democat::PluRow hours =
            catfix::Row(500, QStringLiteral("500"), QStringLiteral("Яблоки"), 99.9);
        hours.bHours = 24;
        hours.bDate = QDateTime(QDate(2027, 1, 1), QTime(0, 0));
        hours.info = QStringLiteral("Сорт Антоновка");
        democat::PluRow date =
            catfix::Row(501, QStringLiteral("501"), QStringLiteral("Ящик"), 1234.5);
        date.bHours = 0;
        date.bDate = QDateTime(QDate(2027, 3, 1), QTime(10, 30, 15));
        date.sq = 1.0;
        democat::PluRow none = catfix::Row(502, QStringLiteral("502"), QStringLiteral("Ягоды"), 0);
        none.price.reset();
        democat::PluRow old = catfix::Row(503, QStringLiteral("503"), QStringLiteral("Ячмень"), 5);
        old.bDate = QDateTime(QDate(1960, 5, 1), QTime(0, 0));
        democat::PluRow longLife =
            catfix::Row(506, QStringLiteral("506000"), QStringLiteral("Ячменная"), 5);
        longLife.bHours = 2147483647;
        democat::PluRow longAgo =
            catfix::Row(507, QStringLiteral("507000"), QStringLiteral("Яшма"), 5);
        longAgo.bHours = -2147483647;
        rows << hours << date << none << old << longLife << longAgo
             << catfix::Row(504, QStringLiteral("123456"), QStringLiteral("Длинный код"), 1)
             << catfix::Row(505, QStringLiteral("654321"),
                            QStringLiteral("Я") + QString(69, QChar(0x044F)), 1);
        for (const QString& b : testdb::Backends()) {
            CVarnetApp app;
            QVERIFY(catfix::Open(app, b, QStringLiteral("dialog"), m_dir, rows));
            m_settings[b] = app.m_settings;
        }
    }
    void cleanup() {
        m_dlg.reset();
        m_app.reset();
    }

    void opensWithFindOrder_data() { Backends(); }
    void opensWithFindOrder() {
        QFETCH(QString, backend);
        CDlgPluFind& dlg = Open(backend, 1);
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Поиск товара"));
        QCOMPARE(dlg.OrderBox()->title(), QStringLiteral("По названию"));
        // The code longer than five characters is not offered.
        QTRY_COMPARE(dlg.Grid()->model()->rowCount(), 154);
        QCOMPARE(dlg.Grid()->CellTextAt(0, 1), QStringLiteral("Товар 0001"));
        QCOMPARE(dlg.Grid()->CellTextAt(153, 1), QStringLiteral("Ящик"));
        QCOMPARE(dlg.Grid()->m_nSelected, 0);
        QVERIFY(dlg.Edit()->hasFocus());
        QCOMPARE(dlg.Grid()->model()->headerData(0, Qt::Horizontal).toString(),
                 QStringLiteral("Код товара"));
        // Prices with the separator; two decimals while Penny is on.
        QCOMPARE(dlg.Grid()->CellTextAt(153, 2), QStringLiteral("1 234.50"));
        QCOMPARE(dlg.Grid()->CellTextAt(151, 2), QStringLiteral("0.00")); // NULL
    }

    void typingFilters_data() { Backends(); }
    void typingFilters() {
        QFETCH(QString, backend);
        CDlgPluFind& dlg = Open(backend);
        QTest::keyClicks(dlg.Edit(), QStringLiteral("12"));
        QCOMPARE(Codes(dlg), QStringList({"12", "120", "121", "122", "123", "124", "125", "126",
                                          "127", "128", "129"}));
        QCOMPARE(dlg.Grid()->m_nSelected, 0);
        QTest::keyClick(dlg.Edit(), Qt::Key_Backspace);
        QCOMPARE(dlg.Grid()->model()->rowCount(), 62); // 1, 10-19, 100-150
    }

    // Typing goes to the edit box and the navigation keys to the list, wherever the focus is.
    void keyRouting_data() { Backends(); }
    void keyRouting() {
        QFETCH(QString, backend);
        CDlgPluFind& dlg = Open(backend, 1);
        QTest::keyClick(dlg.Edit(), Qt::Key_Down);
        QTRY_VERIFY(dlg.Grid()->hasFocus());
        QTRY_COMPARE(dlg.Grid()->m_nSelected, 1);
        QTest::keyClick(dlg.Grid(), Qt::Key_PageDown);
        QVERIFY(dlg.Grid()->m_nSelected > 1);
        Type(dlg.Grid(), QStringLiteral("Я"));
        QTRY_COMPARE(dlg.Edit()->text(), QStringLiteral("Я"));
        QVERIFY(dlg.Edit()->hasFocus());
        QCOMPARE(Codes(dlg), QStringList({"500", "502", "503", "501"}));
        QCOMPARE(dlg.Grid()->m_nSelected, 0);
    }

    void tabCycles_data() { Backends(); }
    void tabCycles() {
        QFETCH(QString, backend);
        CDlgPluFind& dlg = Open(backend, 2);
        QCOMPARE(dlg.OrderBox()->title(), QStringLiteral("По цене"));
        QTest::keyClick(dlg.Edit(), Qt::Key_Tab);
        QCOMPARE(dlg.OrderBox()->title(), QStringLiteral("По штрих-коду"));
        QTest::keyClick(dlg.Edit(), Qt::Key_Tab);
        QCOMPARE(dlg.OrderBox()->title(), QStringLiteral("По коду"));
        QVERIFY(dlg.Edit()->hasFocus());
        QTest::keyClick(dlg.Edit(), Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(dlg.OrderBox()->title(), QStringLiteral("По штрих-коду"));
        // The text already typed applies to the new column.
        QTest::keyClick(dlg.Edit(), Qt::Key_Backtab, Qt::ShiftModifier);
        QTest::keyClicks(dlg.Edit(), QStringLiteral("99"));
        QCOMPARE(Codes(dlg), QStringList({"89", "500"})); // 99.00 and 99.90
        QTest::keyClick(dlg.Edit(), Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(dlg.OrderBox()->title(), QStringLiteral("По названию"));
        QCOMPARE(dlg.Grid()->model()->rowCount(), 0);
        QCOMPARE(dlg.Grid()->m_nSelected, -1);
    }

    void columnClick_data() { Backends(); }
    void columnClick() {
        QFETCH(QString, backend);
        CDlgPluFind& dlg = Open(backend);
        QHeaderView* header = dlg.Grid()->horizontalHeader();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(2) + 10, header->height() / 2));
        QCOMPARE(dlg.OrderBox()->title(), QStringLiteral("По цене"));
        // A NULL price does not match as text, as on SQL Server.
        QCOMPARE(dlg.Grid()->CellTextAt(0, 2), QStringLiteral("5.00"));
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(1) + 10, header->height() / 2));
        QCOMPARE(dlg.OrderBox()->title(), QStringLiteral("По названию"));
    }

    void enterReturnsProduct_data() {
        catfix::AddBackends();
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("name");
        QTest::addColumn<double>("price");
        QTest::addColumn<double>("sq");
        QTest::addColumn<QString>("info");
        QTest::addColumn<QDateTime>("bestBefore");
        const QDateTime now(QDate(2026, 3, 1), QTime(10, 0));
        for (const QString& b : testdb::Backends()) {
            const QByteArray n = b.toUtf8();
            QTest::newRow(n + " hours win over the date")
                << b << "500"
                << "Яблоки" << 99.9 << 0.0 << "Сорт Антоновка"
                << QDateTime(QDate(2026, 3, 2), QTime(10, 0));
            QTest::newRow(n + " fixed date")
                << b << "501"
                << "Ящик" << 1234.5 << 1.0 << "" << QDateTime(QDate(2027, 3, 1), QTime(10, 30, 15));
            QTest::newRow(n + " none, NULL price") << b << "502"
                                                   << "Ягоды" << 0.0 << 0.0 << "" << QDateTime();
        }
    }
    void enterReturnsProduct() {
        QFETCH(QString, backend);
        QFETCH(QString, typed);
        QFETCH(QString, name);
        QFETCH(double, price);
        QFETCH(double, sq);
        QFETCH(QString, info);
        QFETCH(QDateTime, bestBefore);
        const platform::ScopedFixedClock clock(QDateTime(QDate(2026, 3, 1), QTime(10, 0)));
        CDlgPluFind& dlg = Open(backend);
        QTest::keyClicks(dlg.Edit(), typed);
        QTest::keyClick(dlg.Edit(), Qt::Key_Return);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.m_strCode, typed);
        QCOMPARE(dlg.m_strName, name);
        QCOMPARE(dlg.m_dPrice, price);
        QCOMPARE(dlg.m_dSq, sq);
        QCOMPARE(dlg.m_strInfo, info);
        QCOMPARE(dlg.m_stBestBefore, bestBefore);
    }

    // A fixed date before 1970, or a shelf life in hours that ends tens of thousands of
    // years away, cannot be a best-before moment: the operator is told, the dialog stays
    // open and nothing is returned.
    void dateOutOfRange_data() {
        QTest::addColumn<QString>("backend");
        QTest::addColumn<QString>("code");
        for (const QString& b : testdb::Backends()) {
            QTest::newRow(qPrintable(b + QStringLiteral(" date 1960"))) << b << "503";
            QTest::newRow(qPrintable(b + QStringLiteral(" bHours max"))) << b << "506000";
            QTest::newRow(qPrintable(b + QStringLiteral(" bHours min"))) << b << "507000";
        }
    }
    void dateOutOfRange() {
        QFETCH(QString, backend);
        QFETCH(QString, code);
        MessageRecorder messages;
        CDlgPluFind& dlg = Open(backend, 0, QStringLiteral("PPPPPP"));
        QTest::keyClicks(dlg.Edit(), code);
        QTest::keyClick(dlg.Grid(), Qt::Key_Enter);
        QCOMPARE(messages.Texts(), QStringList{CDlgPluFind::BadBestBeforeText()});
        QVERIFY(dlg.isVisible());
        QCOMPARE(dlg.result(), 0);
    }

    void escapeReturnsNothing_data() { Backends(); }
    void escapeReturnsNothing() {
        QFETCH(QString, backend);
        CDlgPluFind& dlg = Open(backend);
        QTest::keyClicks(dlg.Edit(), QStringLiteral("500"));
        QTest::keyClick(dlg.Grid(), Qt::Key_Escape);
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QVERIFY(!dlg.isVisible());
        QVERIFY(dlg.m_strCode.isEmpty());
        QVERIFY(!dlg.m_stBestBefore.isValid());
    }

    // Enter on an empty list does nothing; a double click confirms as Enter does.
    void emptyListAndDoubleClick_data() { Backends(); }
    void emptyListAndDoubleClick() {
        QFETCH(QString, backend);
        CDlgPluFind& dlg = Open(backend);
        QTest::keyClicks(dlg.Edit(), QStringLiteral("9999"));
        QTest::keyClick(dlg.Edit(), Qt::Key_Return);
        QVERIFY(dlg.isVisible());
        QTest::keyClick(dlg.Edit(), Qt::Key_Backspace);
        QTest::keyClick(dlg.Edit(), Qt::Key_Backspace);
        QTest::keyClick(dlg.Edit(), Qt::Key_Backspace); // "9": 9, 90-99
        CGrid* grid = dlg.Grid();
        const QRect row2 = grid->visualRect(grid->model()->index(2, 1));
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, row2.center());
        QTRY_VERIFY(!dlg.isVisible());
        QCOMPARE(dlg.m_strCode, QStringLiteral("91"));
    }

    // Scrolling to the end moves the block there; the selection follows a shrinking list.
    void scrollingAndRefresh_data() { Backends(); }
    void scrollingAndRefresh() {
        QFETCH(QString, backend);
        CDlgPluFind& dlg = Open(backend);
        CGrid* grid = dlg.Grid();
        // The first rows come before the count: the list is as long as the rows known, then
        // grows when the count is in, keeping the selection.
        grid->m_pRowset->m_strFilterParam = QStringLiteral("%");
        QVERIFY(grid->Refresh());
        QCOMPARE(grid->model()->rowCount(), 100);
        QVERIFY(!grid->m_pRowset->CountKnown());
        grid->selectRow(50);
        QTRY_COMPARE(grid->model()->rowCount(), 154);
        QCOMPARE(grid->m_nSelected, 50);
        QVERIFY(grid->selectionModel()->isRowSelected(50, QModelIndex()));
        QTest::keyClick(grid, Qt::Key_End);
        QCOMPARE(grid->m_nSelected, 153);
        grid->viewport()->grab();
        QVERIFY(grid->m_pRowset->m_nFirstRow >= 100);
        QCOMPARE(grid->CellTextAt(153, 0), QStringLiteral("503"));
        grid->selectRow(10);
        QCOMPARE(grid->m_nSelected, 10);
        grid->m_pRowset->m_strFilterParam = QStringLiteral("50%");
        QVERIFY(grid->Refresh());
        QCOMPARE(grid->model()->rowCount(), 5); // 50, 500-503
        QCOMPARE(grid->m_nSelected, 4);
        QVERIFY(grid->selectionModel()->isRowSelected(4, QModelIndex()));
        QCOMPARE(grid->currentIndex().row(), 4);
        QCOMPARE(grid->RowColor(4, true), QColor(150, 200, 255));
        QCOMPARE(grid->RowColor(3, false), QColor(255, 255, 255));
    }

    // Six-digit codes appear once the longer mask has six "P" places; a name longer than its
    // width is shown cut.
    void longCodeAndName_data() { Backends(); }
    void longCodeAndName() {
        QFETCH(QString, backend);
        CDlgPluFind& dlg = Open(backend, 0, QStringLiteral("PPPPPP"));
        QTest::keyClicks(dlg.Edit(), QStringLiteral("6543"));
        QCOMPARE(Codes(dlg), QStringList{QStringLiteral("654321")});
        QCOMPARE(dlg.Grid()->CellTextAt(0, 1), QStringLiteral("Я") + QString(59, QChar(0x044F)));
        QTest::keyClick(dlg.Edit(), Qt::Key_Return);
        QCOMPARE(dlg.m_strName.size(), 60);
    }

    // Without a connection the operator sees why; the dialog stays open and usable.
    void noConnection() {
        MessageRecorder messages;
        m_app = std::make_unique<CVarnetApp>();
        CDlgPluFind dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        QCOMPARE(messages.Texts(), QStringList{QStringLiteral("Нет соединения с базой данных.")});
        QCOMPARE(dlg.Grid()->model()->rowCount(), 0);
        QTest::keyClicks(dlg.Edit(), QStringLiteral("1"));
        QCOMPARE(messages.Texts().size(), 2);
        QTest::keyClick(dlg.Edit(), Qt::Key_Return);
        QVERIFY(dlg.isVisible());
        QTest::keyClick(dlg.Edit(), Qt::Key_Escape);
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
    }
};

QTEST_MAIN(TstDlgPluFind)
#include "tst_dlgplufind.moc"
