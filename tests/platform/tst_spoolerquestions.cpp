// Questions to the spooler leave nothing behind in the temporary folder: the scheduler hands
// an account that may read the queue's PPD (root, group lp) a link to it for every question,
// also when its answer is "not modified", and the printer watch asks every 3 seconds.
#include "platform/printer.h"
#include "support/printcapture.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

class TestSpoolerQuestions : public QObject {
    Q_OBJECT

private slots:
    void nothingLeftInTheTemporaryFolder() {
        if (geteuid() != 0)
            QSKIP("only an account that may read the scheduler's PPDs gets links to them");
        // The temporary folder of this process's CUPS calls: its own, so that what other
        // programs put into /tmp meanwhile does not count.
        QTemporaryDir tmp;
        QVERIFY(tmp.isValid());
        const QByteArray before = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(tmp.path()));
        const QDir folder(tmp.path());
        const auto entries = [&folder] {
            return folder.entryList(QDir::AllEntries | QDir::System | QDir::Hidden |
                                    QDir::NoDotAndDotDot);
        };
        QVERIFY(entries().isEmpty());
        // Asked as the printer watch does, and as each label asks for its page: the first
        // fetch of the PPD, then "not modified" ever after.
        int answered = 0;
        for (int i = 0; i < 150; ++i) {
            answered += platform::QuerySpoolerState(QLatin1String(printcapture::kZpl)).exists;
            answered += platform::OpenPrinter(QLatin1String(printcapture::kZpl)).has_value();
        }
        if (before.isNull())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", before);
        QCOMPARE(answered, 300);
        const QStringList left = entries();
        QVERIFY2(left.isEmpty(), qPrintable(QStringLiteral("%1 entries left, such as %2")
                                                .arg(left.size())
                                                .arg(left.mid(0, 3).join(QLatin1Char(' ')))));
    }
};

QTEST_GUILESS_MAIN(TestSpoolerQuestions)
#include "tst_spoolerquestions.moc"
