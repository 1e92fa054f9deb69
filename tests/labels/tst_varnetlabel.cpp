// The command-line tool varnet-label: layout files, rendering to a picture, and its errors;
// a FIFO or the like in a layout file's place is named, never waited on.
#include "labels/layoutfile.h"
#include "support/notafile.h"

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Run {
    int code = -1;
    QString err;
};

// counterDir, when given, is the tool's counter folder.
Run Tool(const QStringList& args, const QString& counterDir = QString()) {
    QProcess p;
    if (!counterDir.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VARNET_COUNTER_DIR"), counterDir);
        p.setProcessEnvironment(env);
    }
    p.start(qEnvironmentVariable("VARNET_BINARY_DIR") + QStringLiteral("/bin/varnet-label"), args);
    Run r;
    if (!p.waitForFinished(60000))
        return r;
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QString ReadBarcode(const QString& file) {
    QProcess zbar;
    zbar.start(QStringLiteral("zbarimg"), {QStringLiteral("-q"), QStringLiteral("--raw"), file});
    zbar.waitForFinished(30000);
    return QString::fromUtf8(zbar.readAllStandardOutput()).trimmed();
}

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestVarnetLabel : public QObject {
    Q_OBJECT

private slots:
    void defaults_data();
    void defaults();
    void sampleRendersAndReadsBack();
    void errors_data();
    void errors();
    void layoutIsNoFile_data();
    void layoutIsNoFile();

private:
    QTemporaryDir m_dir;
};

void TestVarnetLabel::defaults_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("size");
    QTest::newRow("weight") << "weight" << 1243;
    QTest::newRow("piece") << "piece" << 1249;
}

void TestVarnetLabel::defaults() {
    QFETCH(QString, kind);
    QFETCH(int, size);
    const QString out = m_dir.filePath(kind + QStringLiteral(".cfg"));
    const Run r = Tool(
        {QStringLiteral("defaults"), QStringLiteral("--kind"), kind, QStringLiteral("--out"), out});
    QCOMPARE(r.code, 0);
    const QByteArray bytes = ReadFile(out);
    QCOMPARE(bytes.size(), size);
    CBarCodeLabelInfo expected;
    expected.SetDefaults(kind == QLatin1String("weight"));
    QCOMPARE(bytes, labels::SerializeLayout(expected));
}

void TestVarnetLabel::sampleRendersAndReadsBack() {
    const QString layout = m_dir.filePath(QStringLiteral("sample.cfg"));
    QCOMPARE(Tool({"sample", "--kind", "piece", "--page", "58x40", "--out", layout}).code, 0);
    CBarCodeLabelInfo l;
    QVERIFY(labels::ParseLayout(ReadFile(layout), l));
    QCOMPARE(l.m_WeightQtyCaption.m_strText, QStringLiteral("Кол-во:"));
    for (int i = 0; i < CBarCodeLabelInfo::kElementCount; ++i) {
        if (i == 13)
            continue; // the extra text stays empty
        QVERIFY2(l.Element(i).m_dWidth > 0 && l.Element(i).m_dHeight > 0,
                 qPrintable(QString::number(i)));
    }

    const QString png = m_dir.filePath(QStringLiteral("label.png"));
    const Run r = Tool({"render",
                        "--layout",
                        layout,
                        "--kind",
                        "piece",
                        "--page",
                        "58x40",
                        "--dpi",
                        "203",
                        "--barcode",
                        "290001200003",
                        "--name",
                        "Булочка",
                        "--price",
                        "25",
                        "--quantity",
                        "3",
                        "--sum",
                        "75",
                        "--units",
                        "--expiry",
                        "2026-12-20T18:00",
                        "--out",
                        png});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    const QImage image(png);
    QCOMPARE(image.size(), QSize(464, 320));
    QCOMPARE(ReadBarcode(png), QStringLiteral("2900012000037"));
}

void TestVarnetLabel::errors_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    const QStringList page{"--page", "58x40", "--dpi", "203", "--out", "/tmp/x.png"};
    QTest::newRow("letters in digits")
        << (QStringList{"render", "--barcode", "12a"} + page) << "--barcode";
    QTest::newRow("thirteen digits")
        << (QStringList{"render", "--barcode", "1234567890123"} + page) << "--barcode";
    QTest::newRow("no digits") << (QStringList{"render"} + page) << "--barcode";
    QTest::newRow("unreadable layout")
        << (QStringList{"render", "--barcode", "1", "--layout", "/etc/hostname"} + page)
        << "cannot read the layout file /etc/hostname";
    QTest::newRow("missing layout")
        << (QStringList{"render", "--barcode", "1", "--layout", "/nonexistent.cfg"} + page)
        << "cannot read the layout file";
    QTest::newRow("no page") << QStringList{"render", "--barcode", "1", "--out", "/tmp/x.png"}
                             << "--page WxH --dpi N";
    QTest::newRow("bad page") << QStringList{"render", "--barcode", "1",  "--page",
                                             "58",     "--dpi",     "203"}
                              << "--page WxH --dpi N";
    // Refused before the page bitmap (2.2 billion dots) is allocated.
    QTest::newRow("huge page") << QStringList{"render", "--barcode", "1",
                                              "--page", "2000x2000", "--dpi",
                                              "600",    "--out",     "/tmp/x.png"}
                               << "too large";
    QTest::newRow("bad number") << (QStringList{"render", "--barcode", "1", "--price", "1,5"} +
                                    page)
                                << "numbers";
    QTest::newRow("unknown printer")
        << QStringList{"print", "--barcode", "1", "--printer", "NoSuchPrinter"}
        << "no printer named \"NoSuchPrinter\"";
    // No layout file in the counter folder (the tool's): the defaults draw nothing, nothing
    // may print, and the message names the missing file.
    QTest::newRow("blank label") << (QStringList{"render", "--barcode", "1"} + page)
                                 << "Нет файла макета этикетки ";
    QTest::newRow("blank label, mono")
        << (QStringList{"render", "--mono", "--barcode", "1"} + page)
        << "/Varnet.cfg, поэтому этикетка пуста. Создайте макет в редакторе этикеток или "
           "образец 58 × 40 мм командой\nvarnet-label sample --kind weight --page 58x40 --out ";
    QTest::newRow("blank piece label")
        << (QStringList{"render", "--kind", "piece", "--barcode", "1"} + page)
        << "/QLabel.cfg, поэтому этикетка пуста.";
    // A given layout that draws nothing is no missing file.
    QTest::newRow("blank given layout")
        << (QStringList{"render", "--barcode", "1", "--layout", "%defaults"} + page)
        << "Этикетка пуста";
    QTest::newRow("bad kind") << QStringList{"defaults", "--kind", "box", "--out", "/tmp/x"}
                              << "--kind";
    QTest::newRow("unknown command") << QStringList{"frobnicate"} << "unknown command";
    QTest::newRow("unwritable") << QStringList{"defaults", "--out", "/nonexistent/dir/x.cfg"}
                                << "/nonexistent/dir/x.cfg";
}

void TestVarnetLabel::errors() {
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    // "%defaults": a layout file of the defaults, which draw nothing.
    QTemporaryDir dir;
    const QString defaults = dir.filePath(QStringLiteral("defaults.cfg"));
    if (args.contains(QStringLiteral("%defaults"))) {
        QCOMPARE(Tool({QStringLiteral("defaults"), QStringLiteral("--out"), defaults}).code, 0);
        args.replaceInStrings(QStringLiteral("%defaults"), defaults);
    }
    const Run r = Tool(args);
    QVERIFY(r.code > 0);
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
}

void TestVarnetLabel::layoutIsNoFile_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("given"); // --layout, or the weight label's file of the counter
    for (const QString& kind : notafile::Kinds()) {
        QTest::addRow("%s given", qPrintable(kind)) << kind << true;
        QTest::addRow("%s in the counter folder", qPrintable(kind)) << kind << false;
    }
}

void TestVarnetLabel::layoutIsNoFile() {
    QFETCH(QString, kind);
    QFETCH(bool, given);
    QTemporaryDir dir;
    const QString layout = dir.filePath(QStringLiteral("Varnet.cfg"));
    QVERIFY(notafile::Make(kind, layout));
    const QString picture = dir.filePath(QStringLiteral("label.png"));
    QStringList args{"render", "--barcode", "1",     "--page", "58x40",
                     "--dpi",  "203",       "--out", picture};
    if (given)
        args << QStringLiteral("--layout") << layout;
    const Run r = Tool(args, dir.path());
    QCOMPARE(r.code, 1);
    const QString named = given ? QStringLiteral("%1 — не файл, а %2.")
                                : QStringLiteral("Файл макета этикетки %1 не читается (это не "
                                                 "файл, а %2), поэтому этикетка пуста.");
    QVERIFY2(r.err.contains(named.arg(layout, notafile::Word(kind))), qPrintable(r.err));
    QCOMPARE(r.err.count(QLatin1Char('\n')), 1);
    // The blank label is drawn all the same, to show what is wrong.
    QCOMPARE(QFile::exists(picture), !given);
}

QTEST_GUILESS_MAIN(TestVarnetLabel)
#include "tst_varnetlabel.moc"
