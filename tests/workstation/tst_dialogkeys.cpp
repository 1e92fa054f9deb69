// The main screen's keys "/" and "*" open the layout editor and the settings dialog.
#include "labels/labellayouts.h"
#include "labels/varnetcfg.h"
#include "support/messagerecorder.h"
#include "support/testdir.h"
#include "ui/appconfig.h"
#include "workstation/varnetdlg.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

class TstDialogKeys : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void keysOpenTheirDialogs_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("dialog");
        QTest::newRow("/") << "/"
                           << "CVarnetCfg";
        QTest::newRow("*") << "*"
                           << "CAppConfig";
    }
    void keysOpenTheirDialogs() {
        QFETCH(QString, key);
        QFETCH(QString, dialog);
        TestModuleDir dir;
        CVarnetApp app;
        app.SetLabelLayouts(std::make_unique<CLabelLayouts>());
        MessageRecorder messages; // no database, no printer: told, not shown
        CVarnetDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QString opened;
        QTimer::singleShot(100, &dlg, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal)
                return;
            opened = QString::fromLatin1(modal->metaObject()->className());
            static_cast<QDialog*>(modal)->reject();
        });
        QTest::keyClicks(&dlg, key);
        QCOMPARE(opened, dialog);
        dlg.close();
    }
};

QTEST_MAIN(TstDialogKeys)
#include "tst_dialogkeys.moc"
