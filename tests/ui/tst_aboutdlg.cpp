// The about box shows the version the program was built as, and the main window reaches it
// from its context menu.
#include "ui/aboutdlg.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

namespace {
// The version of the CMake project, read from the top CMakeLists.txt of the source tree.
QString ProjectVersion() {
    QFile file(qEnvironmentVariable("VARNET_SOURCE_DIR") + "/CMakeLists.txt");
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const QRegularExpression re(R"(project\(\s*Varnet\s+VERSION\s+([0-9.]+))");
    return re.match(QString::fromUtf8(file.readAll())).captured(1);
}
} // namespace

class TestAboutDlg : public QObject {
    Q_OBJECT

private slots:
    void versionText_data();
    void versionText();
    void showsTheBuiltVersion();
    void okCloses();
    void contextMenuOpensTheBox();
};

void TestAboutDlg::versionText_data() {
    QTest::addColumn<QList<unsigned>>("parts");
    QTest::addColumn<QString>("text");
    QTest::newRow("2.1.0.7") << QList<unsigned>{2, 1, 0, 7} << "Varnet v 2.1.0.7";
    QTest::newRow("all zero") << QList<unsigned>{0, 0, 0, 0} << "Varnet v 0.0.0.0";
    QTest::newRow("largest parts")
        << QList<unsigned>{65535, 65535, 65535, 65535} << "Varnet v 65535.65535.65535.65535";
}

void TestAboutDlg::versionText() {
    QFETCH(QList<unsigned>, parts);
    QTEST(AboutVersionText(parts[0], parts[1], parts[2], parts[3]), "text");
}

void TestAboutDlg::showsTheBuiltVersion() {
    const QString project = ProjectVersion();
    QVERIFY2(!project.isEmpty(), "the project version is readable");
    QStringList parts = project.split('.');
    while (parts.size() < 4)
        parts << "0";

    CAboutDlg dlg;
    QCOMPARE(dlg.windowTitle(), QStringLiteral("О проекте Varnet"));
    QCOMPARE(dlg.VersionText(), "Varnet v " + parts.join('.'));
    QCOMPARE(CompiledVersionText(), dlg.VersionText());
    auto* icon = dlg.findChild<QLabel*>("icon");
    QVERIFY(icon);
    QVERIFY(!icon->pixmap().isNull());
    QCOMPARE(icon->pixmap().size(), QSize(32, 32));
}

void TestAboutDlg::okCloses() {
    CAboutDlg dlg;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    auto* ok = dlg.findChild<QPushButton*>("ok");
    QVERIFY(ok);
    QCOMPARE(ok->text(), QStringLiteral("ОК"));
    QVERIFY(ok->isDefault());
    QTest::mouseClick(ok, Qt::LeftButton);
    QVERIFY(!dlg.isVisible());
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
}

void TestAboutDlg::contextMenuOpensTheBox() {
    QWidget window;
    window.resize(300, 200);
    AddAboutAction(&window);
    QCOMPARE(window.contextMenuPolicy(), Qt::ActionsContextMenu);
    QCOMPARE(window.actions().size(), 1);
    QAction* about = window.actions().first();
    QCOMPARE(about->text(), QStringLiteral("&О проекте Varnet..."));

    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    about->trigger();
    QPointer<CAboutDlg> dlg = window.findChild<CAboutDlg*>();
    QVERIFY(dlg);
    QTRY_VERIFY(dlg->isVisible());
    QVERIFY(dlg->isModal());
    QCOMPARE(dlg->VersionText(), CompiledVersionText());

    QTest::mouseClick(dlg->findChild<QPushButton*>("ok"), Qt::LeftButton);
    QTRY_VERIFY(dlg.isNull());
}

QTEST_MAIN(TestAboutDlg)
#include "tst_aboutdlg.moc"
