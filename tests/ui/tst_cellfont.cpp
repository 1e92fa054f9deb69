// Key and field fonts are asked for by their line height; the screen's layout relies on a
// 70-pixel "Arial" filling a 70-pixel line, whatever face the system substitutes.
#include "ui/cellfont.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QTest>

class TestCellFont : public QObject {
    Q_OBJECT

private slots:
    void lineHeight_data();
    void lineHeight();
};

void TestCellFont::lineHeight_data() {
    QTest::addColumn<QString>("face");
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("italic");
    QTest::newRow("weight digits") << "Arial" << 70 << false;
    QTest::newRow("keypad digits") << "Arial" << 50 << false;
    QTest::newRow("product name") << "Times New Roman" << 40 << true;
    QTest::newRow("key captions") << "Arial" << 15 << false;
    QTest::newRow("field captions") << "MS Sans Serif" << 12 << false;
}

void TestCellFont::lineHeight() {
    QFETCH(QString, face);
    QFETCH(int, height);
    QFETCH(bool, italic);
    const QFont font = CellHeightFont(height, italic, face);
    const QFontMetrics fm(font);
    QVERIFY2(qAbs(fm.height() - height) <= 1,
             qPrintable(QStringLiteral("%1 %2 gives a line of %3 pixels (%4)")
                            .arg(face)
                            .arg(height)
                            .arg(fm.height())
                            .arg(QFontInfo(font).family())));
    QCOMPARE(QFontInfo(font).italic(), italic);
    QCOMPARE(font.weight(), QFont::Normal);
}

QTEST_MAIN(TestCellFont)
#include "tst_cellfont.moc"
