// varnet-label batches: many labels in one process from a CSV file or JSON lines, one picture
// or one print job per row, each read back as every label is. A row that makes no label is
// named with its reason, and the rows after it still make theirs.
#include "support/driverdots.h"
#include "support/printcapture.h"
#include "support/privatecups.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

namespace {

struct Run {
    int code = -1;
    QString err;
};

Run Tool(const QStringList& args) {
    QProcess p;
    p.start(qEnvironmentVariable("VARNET_BINARY_DIR") + QStringLiteral("/bin/varnet-label"), args);
    Run r;
    if (!p.waitForFinished(120000))
        return r;
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

bool Write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QString ReadBarcode(const QString& png) {
    QProcess zbar;
    zbar.start(QStringLiteral("zbarimg"), {QStringLiteral("-q"), QStringLiteral("--raw"), png});
    zbar.waitForFinished(30000);
    return QString::fromUtf8(zbar.readAllStandardOutput()).trimmed();
}

// The digits of a batch's good rows as printed under the bars, with their check digit.
const QStringList kPrinted{QStringLiteral("2700100005001"), QStringLiteral("2700200012503"),
                           QStringLiteral("2700400000010")};

} // namespace

class TestLabelBatch : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_layout;

private slots:
    void initTestCase() {
        m_layout = m_dir.filePath(QStringLiteral("Varnet.cfg"));
        QCOMPARE(Tool({"sample", "--kind", "weight", "--page", "58x40", "--out", m_layout}).code,
                 0);
    }

    // The third label of four has letters in its barcode: it is named by its row and line,
    // and the fourth is drawn all the same.
    void renderWithOneBadRow_data() {
        QTest::addColumn<QByteArray>("batch");
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QString>("badRow");
        QTest::addColumn<QStringList>("files");
        const QStringList numbered{"label-0001.png", "label-0002.png", "label-0004.png"};
        QTest::newRow("CSV") << QByteArray(
                                    "barcode,name,price,quantity,sum\n"
                                    "270010000500,\"Филе, охлаждённое\",389.90,0.512,199.63\n"
                                    "270020001250,\"Сыр \"\"Российский\"\"\",612,1.25,765\n"
                                    "27003x000000,Хлеб,30,1,30\n"
                                    "270040000001,Молоко,89.9,1,89.9\n")
                             << ".csv"
                             << "row 3 (line 4): barcode takes one to twelve digits, got "
                                "\"27003x000000\""
                             << numbered;
        // As Excel on a Russian Windows saves it: a byte order mark, ";" and decimal commas,
        // CR LF, and a name that runs over two lines.
        QTest::newRow("CSV from Excel")
            << QByteArray("\xEF\xBB\xBFname;barcode;price;quantity;sum\r\n"
                          "\"Филе\r\nохлаждённое\";270010000500;389,90;0,512;199,63\r\n"
                          "Сыр;270020001250;612;1,25;765\r\n"
                          "Хлеб;270030000000;30;один;30\r\n"
                          "Молоко;270040000001;89,9;1;89,9\r\n")
            << ".csv"
            << "row 3 (line 5): quantity takes numbers like 12.34, got \"один\"" << numbered;
        QTest::newRow("JSON lines")
            << QByteArray("{\"barcode\": \"270010000500\", \"name\": \"Филе\", \"sum\": 199.63}\n"
                          "{\"barcode\": 270020001250, \"name\": \"Сыр\", \"price\": 612}\n"
                          "{\"barcode\": \"270030000000\", \"name\": \"Хлеб\"\n"
                          "\n"
                          "{\"barcode\": \"270040000001\", \"name\": \"Молоко\", "
                          "\"out\": \"milk.png\"}\n")
            << ".jsonl"
            << "row 3 (line 3): not JSON"
            << QStringList{"label-0001.png", "label-0002.png", "milk.png"};
    }
    void renderWithOneBadRow() {
        QFETCH(QByteArray, batch);
        QFETCH(QString, suffix);
        QFETCH(QString, badRow);
        QFETCH(QStringList, files);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("labels") + suffix);
        QVERIFY(Write(file, batch));
        const QString out = dir.filePath(QStringLiteral("out"));
        const Run r = Tool({"render", "--batch", file, "--layout", m_layout, "--page", "58x40",
                            "--dpi", "203", "--penny", "--out", out});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(file + QStringLiteral(": ") + badRow), qPrintable(r.err));
        QVERIFY2(r.err.contains(QStringLiteral("1 of 4 labels not written (rows 3)")),
                 qPrintable(r.err));
        QCOMPARE(QDir(out).entryList(QDir::Files), files);
        for (int i = 0; i < files.size(); ++i) {
            const QString png = QDir(out).filePath(files[i]);
            QCOMPARE(QImage(png).size(), QSize(464, 320));
            QCOMPARE(ReadBarcode(png), kPrinted[i]);
        }
    }

    // What cannot make any label stops the batch before it starts: a misspelt column would
    // otherwise print every label without its value.
    void refusedBatches_data() {
        QTest::addColumn<QByteArray>("batch");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown column")
            << QByteArray("barcode,prise\n270010000500,5\n") << "unknown column \"prise\"";
        QTest::newRow("column twice")
            << QByteArray("barcode,name,barcode\n1,a,2\n") << "a column is named twice";
    }
    void refusedBatches() {
        QFETCH(QByteArray, batch);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("labels.csv"));
        QVERIFY(Write(file, batch));
        const Run r = Tool({"render", "--batch", file, "--layout", m_layout, "--page", "58x40",
                            "--dpi", "203", "--out", dir.filePath(QStringLiteral("out"))});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QVERIFY(QDir(dir.filePath(QStringLiteral("out"))).entryList(QDir::Files).isEmpty());
    }

    // Printed through CUPS's Zebra ZPL driver on a scheduler of the test's own: one job per
    // good row, in the rows' order, each with the row's barcode; the bad row is named.
    void printWithOneBadRow() {
        PrivateScheduler cups;
        QString error;
        QVERIFY2(cups.Start(&error), qPrintable(error));
        QVERIFY2(cups.AddZebraQueue(QStringLiteral("BatchZPL"), &error), qPrintable(error));
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("labels.csv"));
        QVERIFY(Write(file, "barcode,name,quantity\n"
                            "270010000500,Филе,0.512\n"
                            "270020001250,Сыр,1.25\n"
                            "2700300000001,Хлеб,1\n"
                            "270040000001,Молоко,1\n"));
        const Run r = Tool({"print", "--batch", file, "--layout", m_layout, "--printer", "BatchZPL",
                            "--price", "100", "--sum", "100"});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(file + QStringLiteral(": row 3 (line 4): barcode takes one to "
                                                      "twelve digits, got \"2700300000001\"")),
                 qPrintable(r.err));
        QStringList jobs;
        for (int waited = 0; waited < 60000 && jobs.size() < 3; waited += 200) {
            QTest::qWait(200);
            jobs = cups.CapturedJobs();
        }
        QTest::qWait(500);
        jobs = cups.CapturedJobs();
        QCOMPARE(jobs.size(), 3);
        std::sort(jobs.begin(), jobs.end(), [](const QString& a, const QString& b) {
            return a.section(QLatin1Char('-'), 1, 1).toInt() <
                   b.section(QLatin1Char('-'), 1, 1).toInt();
        });
        for (int i = 0; i < jobs.size(); ++i) {
            QFile job(cups.CaptureFolder() + QLatin1Char('/') + jobs[i]);
            QVERIFY(job.open(QIODevice::ReadOnly));
            const QImage dots = driverdots::DecodeZpl(job.readAll(), &error);
            QVERIFY2(!dots.isNull(), qPrintable(error));
            QCOMPARE(printcapture::ReadBarcode(dots), kPrinted[i]);
        }
    }
};

QTEST_GUILESS_MAIN(TestLabelBatch)
#include "tst_labelbatch.moc"
