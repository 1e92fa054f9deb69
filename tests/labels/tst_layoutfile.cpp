// The layout file: exact bytes of what is written, and what damaged, foreign and odd files
// load as.
#include "app/varnetapp.h"
#include "labels/labellayouts.h"
#include "labels/layoutfile.h"
#include "platform/cp1251.h"
#include "support/messagerecorder.h"
#include "support/testdir.h"

#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

QByteArray Utf16String(const QString& s) {
    QByteArray out;
    labels::AppendArchiveString(out, s);
    return out;
}

QByteArray SingleByteString(const QString& s) {
    const QByteArray bytes = platform::EncodeCp1251(s);
    QByteArray out;
    if (bytes.size() < 255) {
        out.append(char(bytes.size()));
    } else {
        out.append(char(0xFF));
        out.append(char(bytes.size() & 0xFF));
        out.append(char(bytes.size() >> 8));
    }
    return out + bytes;
}

// A layout in which every field differs from the defaults, so a field read into the wrong
// member or not read at all shows.
CBarCodeLabelInfo Busy() {
    CBarCodeLabelInfo l;
    l.SetDefaults(false);
    for (int i = 0; i < CBarCodeLabelInfo::kElementCount; ++i) {
        LabelElement& e = l.Element(i);
        e.m_dOffsetX = 1.25 + i;
        e.m_dOffsetY = 2.5 + i;
        e.m_dWidth = 30.125 + i;
        e.m_dHeight = 4.75 + i;
        if (i == 0) {
            e.m_nAngle = 270;
            continue;
        }
        LOGFONTW& f = e.m_lfFont;
        f.lfHeight = -13 - i;
        f.lfWidth = 7 + i;
        f.lfEscapement = 900;
        f.lfOrientation = 450;
        f.lfWeight = 700;
        f.lfItalic = 1;
        f.lfUnderline = 2;
        f.lfStrikeOut = 3;
        f.lfCharSet = 204;
        f.lfOutPrecision = 4;
        f.lfClipPrecision = 5;
        f.lfQuality = 6;
        f.lfPitchAndFamily = 0x22;
        f.lfFaceName = QStringLiteral("Liberation Serif");
        e.m_nAlign = i % 3;
        e.m_bWordWrap = CBarCodeLabelInfo::Shape(i) == ElementShape::Date ? 0 : -1;
        e.m_nDateFormat = CBarCodeLabelInfo::Shape(i) == ElementShape::Date ? 2 : 0;
    }
    l.m_ExtraText.m_strText = QStringLiteral("Хранить при t от 0 до +6 °C");
    return l;
}

} // namespace

class TestLayoutFile : public QObject {
    Q_OBJECT

private slots:
    void defaultFiles_data();
    void defaultFiles();
    void archiveStringForms_data();
    void archiveStringForms();
    void roundTripKeepsLayoutButNotValues();
    void readsFiles_data();
    void readsFiles();
    void everyCutLengthLoadsDefaultsOfItsKind();
    void loadLabelLayoutsUsesKindFiles();
    void failedSaveKeepsOldFileAndReports();
    void linkedLayoutIsWrittenThrough();
};

void TestLayoutFile::defaultFiles_data() {
    QTest::addColumn<bool>("weight");
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("caption");
    QTest::newRow("weight") << true << 1243 << QStringLiteral("Вес:");
    QTest::newRow("piece") << false << 1249 << QStringLiteral("Кол-во:");
}

void TestLayoutFile::defaultFiles() {
    QFETCH(bool, weight);
    QFETCH(int, size);
    QFETCH(QString, caption);
    CBarCodeLabelInfo l;
    l.SetDefaults(weight);
    const QByteArray bytes = labels::SerializeLayout(l);
    QCOMPARE(bytes.size(), size);
    QCOMPARE(bytes.left(23), QByteArray::fromHex("FFFF01001100") + "CBarCodeLabelInfo");
    QCOMPARE(bytes.count(Utf16String(QStringLiteral("Arial"))), 13);
    QVERIFY(bytes.contains(Utf16String(caption)));
    // The first text record: the name, empty, at zero, in the default font.
    QCOMPARE(bytes.mid(59, 4), QByteArray::fromHex("FFFEFF00"));
}

void TestLayoutFile::archiveStringForms_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("prefix");
    QTest::addColumn<int>("lengthBytes"); // mark and length
    QTest::newRow("empty") << QString() << QByteArray::fromHex("FFFEFF00") << 4;
    QTest::newRow("Цена:") << QStringLiteral("Цена:")
                           << QByteArray::fromHex("FFFEFF05260435043D0430043A00") << 4;
    QTest::newRow("254") << QString(254, QLatin1Char('a')) << QByteArray::fromHex("FFFEFFFE") << 4;
    QTest::newRow("255") << QString(255, QLatin1Char('a')) << QByteArray::fromHex("FFFEFFFFFF00")
                         << 6;
    QTest::newRow("65533") << QString(65533, QLatin1Char('a'))
                           << QByteArray::fromHex("FFFEFFFFFDFF") << 6;
    QTest::newRow("65534") << QString(65534, QLatin1Char('a'))
                           << QByteArray::fromHex("FFFEFFFFFFFFFEFF0000") << 10;
}

void TestLayoutFile::archiveStringForms() {
    QFETCH(QString, text);
    QFETCH(QByteArray, prefix);
    QFETCH(int, lengthBytes);
    const QByteArray bytes = Utf16String(text);
    QVERIFY2(bytes.startsWith(prefix), bytes.left(12).toHex().constData());
    QCOMPARE(bytes.size(), lengthBytes + 2 * text.size());

    // The long forms read back through a whole file.
    CBarCodeLabelInfo l;
    l.m_ExtraText.m_strText = text;
    CBarCodeLabelInfo read;
    QVERIFY(labels::ParseLayout(labels::SerializeLayout(l), read));
    QCOMPARE(read.m_ExtraText.m_strText, text);
}

void TestLayoutFile::roundTripKeepsLayoutButNotValues() {
    CBarCodeLabelInfo l = Busy();
    LabelData d;
    d.nBarcode = 123456789012;
    d.strName = QStringLiteral("Сыр");
    d.strInfo = QStringLiteral("Инфо");
    d.dPrice = 5;
    d.stExpiry.wYear = 2030;
    CVarnetApp app;
    l.SetValues(d);
    l.m_PackDate.m_strText = QStringLiteral("01.01.2030");

    CBarCodeLabelInfo read;
    QVERIFY(labels::ParseLayout(labels::SerializeLayout(l), read));
    CBarCodeLabelInfo expected = Busy();
    QCOMPARE(read, expected);
    QVERIFY(read.m_Barcode.m_strText.isEmpty());
    QVERIFY(read.m_Price.m_strText.isEmpty());
    QCOMPARE(read.m_Expiry.m_stValue.wYear, uint16_t(0));
}

void TestLayoutFile::readsFiles_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("loads");
    QTest::addColumn<QString>("priceCaption");
    QTest::addColumn<QString>("face");
    QTest::addColumn<QString>("price");

    CBarCodeLabelInfo l;
    l.SetDefaults(true);
    const QByteArray base = labels::SerializeLayout(l);
    const QString arial = QStringLiteral("Arial");
    const QString caption = QStringLiteral("Цена:");

    QByteArray schema2 = base;
    schema2[2] = 2;
    QTest::newRow("schema 2") << schema2 << true << caption << arial << QString();

    QByteArray single = base;
    for (const QString& s :
         {QStringLiteral("Цена:"), QStringLiteral("Вес:"), QStringLiteral("Сумма:"),
          QStringLiteral("Дата:"), QStringLiteral("Годен до:"), QStringLiteral("Arial")})
        single.replace(Utf16String(s), SingleByteString(s));
    single.replace(Utf16String(QString()), QByteArray(1, '\0'));
    QCOMPARE(single.size(), base.size() - 172);
    QTest::newRow("single-byte strings") << single << true << caption << arial << QString();

    // The price caption in the long single-byte form (FF, uint16 length) and in the UTF-16
    // form with a uint32 length: both read, though we never write them.
    const QString longCaption = QStringLiteral("Цена за килограмм ").repeated(15);
    QByteArray longSingle = base;
    longSingle.replace(Utf16String(caption), SingleByteString(longCaption));
    QTest::newRow("long single-byte") << longSingle << true << longCaption << arial << QString();
    QByteArray wide32 = base;
    wide32.replace(Utf16String(caption),
                   QByteArray::fromHex("FFFEFFFFFFFF05000000") + Utf16String(caption).mid(4));
    QTest::newRow("uint32 length") << wide32 << true << caption << arial << QString();

    // A value element with a text of its own, written by another tool.
    QByteArray valueText = base;
    const int priceRecord = base.indexOf(Utf16String(caption)) + Utf16String(caption).size() +
                            82; // the price caption record's end
    QCOMPARE(valueText.mid(priceRecord, 4), QByteArray::fromHex("FFFEFF00"));
    valueText.replace(priceRecord, 4, Utf16String(QStringLiteral("77.00")));
    QTest::newRow("value text") << valueText << true << caption << arial << QStringLiteral("77.00");

    const QString face40 = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcd");
    QByteArray longFace = base;
    const int firstFace = base.indexOf(Utf16String(arial));
    longFace.replace(firstFace, Utf16String(arial).size(), Utf16String(face40));
    QTest::newRow("face of 40") << longFace << true << caption << face40.left(31) << QString();

    QByteArray trailing = base + QByteArray(100, 'x');
    QTest::newRow("bytes after the records") << trailing << true << caption << arial << QString();

    QByteArray badMark = base;
    badMark[0] = char(0xFE);
    QTest::newRow("no class mark") << badMark << false << QString() << QString() << QString();
    QByteArray badName = base;
    badName[10] = 'x';
    QTest::newRow("other class") << badName << false << QString() << QString() << QString();
    QByteArray longName = QByteArray::fromHex("FFFF01004000") + QByteArray(64, 'C') + base.mid(23);
    QTest::newRow("class name of 64") << longName << false << QString() << QString() << QString();
    // A length that promises far more than the file holds is a short file, not an allocation.
    QByteArray huge = base;
    huge.replace(firstFace, 4, QByteArray::fromHex("FFFEFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF7F"));
    QTest::newRow("huge length") << huge << false << QString() << QString() << QString();
    QByteArray hugeSingle = base;
    hugeSingle.replace(firstFace, 4, QByteArray::fromHex("FFFFFFFFFFFFFF"));
    QTest::newRow("huge single-byte length")
        << hugeSingle << false << QString() << QString() << QString();
    QTest::newRow("empty file") << QByteArray() << false << QString() << QString() << QString();
}

void TestLayoutFile::readsFiles() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, loads);
    QFETCH(QString, priceCaption);
    QFETCH(QString, face);
    QFETCH(QString, price);

    TestModuleDir dir;
    dir.Write(QStringLiteral("QLabel.cfg"), bytes);
    CLabelLayouts layouts;
    layouts.m_layoutPiece = Busy();
    layouts.LoadLabelLayouts(dir.Path());
    const CBarCodeLabelInfo& l = layouts.m_layoutPiece;
    if (!loads) {
        CBarCodeLabelInfo defaults;
        defaults.SetDefaults(false);
        QCOMPARE(l, defaults);
        return;
    }
    QCOMPARE(l.m_PriceCaption.m_strText, priceCaption);
    QCOMPARE(l.m_Name.m_lfFont.lfFaceName, face);
    QCOMPARE(l.m_ExpiryCaption.m_strText, QStringLiteral("Годен до:"));
    QCOMPARE(l.m_Expiry.m_lfFont.lfFaceName, QStringLiteral("Arial"));
    QCOMPARE(l.m_Price.m_strText, price);
    QCOMPARE(l.m_WeightQtyCaption.m_strText, QStringLiteral("Вес:")); // as the file says
}

void TestLayoutFile::everyCutLengthLoadsDefaultsOfItsKind() {
    const QByteArray full = labels::SerializeLayout(Busy());
    CBarCodeLabelInfo defaults;
    defaults.SetDefaults(false);
    for (int n = 0; n < full.size(); ++n) {
        CBarCodeLabelInfo l = Busy();
        QVERIFY2(!labels::ParseLayout(full.left(n), l), qPrintable(QString::number(n)));
        QCOMPARE(l, Busy()); // a failed read leaves the target untouched...
        TestModuleDir dir;
        dir.Write(QStringLiteral("QLabel.cfg"), full.left(n));
        labels::LoadLayout(dir.File(QStringLiteral("QLabel.cfg")), false, l);
        if (l != defaults) // ...and loading yields the whole defaults of the kind
            QFAIL(qPrintable(QStringLiteral("cut at %1 is not the piece defaults").arg(n)));
    }
    CBarCodeLabelInfo l;
    QVERIFY(labels::ParseLayout(full, l));
    QCOMPARE(l, Busy());
}

void TestLayoutFile::loadLabelLayoutsUsesKindFiles() {
    TestModuleDir dir;
    CVarnetApp app;
    CLabelLayouts& layouts = AppLayouts();
    QCOMPARE(&AppLayouts(), &layouts);
    QCOMPARE(app.LabelLayouts(), static_cast<ILabelLayouts*>(&layouts));

    // Missing files: the defaults of each kind.
    layouts.m_layoutPiece = Busy();
    app.LoadLabelLayouts();
    QCOMPARE(layouts.m_layoutWeight.m_WeightQtyCaption.m_strText, QStringLiteral("Вес:"));
    QCOMPARE(layouts.m_layoutPiece.m_WeightQtyCaption.m_strText, QStringLiteral("Кол-во:"));

    MessageRecorder messages;
    layouts.m_layoutWeight = Busy();
    QVERIFY(layouts.SaveLayout(true));
    QVERIFY(layouts.SaveLayout(false));
    QCOMPARE(dir.Read(QStringLiteral("Varnet.cfg")), labels::SerializeLayout(Busy()));
    QCOMPARE(dir.Read(QStringLiteral("QLabel.cfg")).size(), 1249);
    layouts.m_layoutWeight.SetDefaults(true);
    layouts.LoadLayout(true);
    QCOMPARE(layouts.m_layoutWeight, Busy());
    QVERIFY(messages.Texts().isEmpty());
}

void TestLayoutFile::failedSaveKeepsOldFileAndReports() {
    TestModuleDir dir;
    CVarnetApp app;
    CLabelLayouts& layouts = AppLayouts();
    QVERIFY(layouts.SaveLayout(true));
    const QByteArray old = dir.Read(QStringLiteral("Varnet.cfg"));
    QCOMPARE(old.size(), 1243);

    // The file size limit makes the write fail half-way with EFBIG, as a full disk would.
    layouts.m_layoutWeight = Busy();
    MessageRecorder messages;
    struct rlimit saved {};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 500;
    setrlimit(RLIMIT_FSIZE, &small);
    const bool saved1 = layouts.SaveLayout(true);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    QVERIFY(!saved1);
    const QString path = dir.Path() + QStringLiteral("/Varnet.cfg");
    QCOMPARE(messages.Texts(),
             QStringList{QStringLiteral("Нет места на диске при обращении к %1.").arg(path)});
    QCOMPARE(messages.Messages().first().caption, QStringLiteral("Ошибка"));
    QCOMPARE(dir.Read(QStringLiteral("Varnet.cfg")), old);
    QCOMPARE(QDir(dir.Path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Varnet.cfg"});
    QCOMPARE(layouts.m_layoutWeight, Busy()); // the edits stay in memory

    // A folder in the file's place is named as one, and stays.
    messages.Clear();
    QVERIFY(QDir(dir.Path()).mkdir(QStringLiteral("QLabel.cfg")));
    QVERIFY(!layouts.SaveLayout(false));
    QCOMPARE(messages.Texts(),
             QStringList{QStringLiteral("%1/QLabel.cfg — не файл, а папка.").arg(dir.Path())});
    QVERIFY(QFileInfo(dir.File(QStringLiteral("QLabel.cfg"))).isDir());
}

// An installer may link the layouts of several counters to one shared file: the link stays,
// the shared file gets the new layout, and its permissions stay as they were.
void TestLayoutFile::linkedLayoutIsWrittenThrough() {
    TestModuleDir dir;
    QTemporaryDir shared;
    const QString target = shared.filePath(QStringLiteral("fish.cfg"));
    CBarCodeLabelInfo defaults;
    defaults.SetDefaults(true);
    QVERIFY(labels::SaveLayout(target, defaults));
    const QByteArray targetName = QFile::encodeName(target);
    QCOMPARE(::chmod(targetName.constData(), 0644), 0);
    QVERIFY(QFile::link(target, dir.File(QStringLiteral("Varnet.cfg"))));
    CVarnetApp app;
    CLabelLayouts& layouts = AppLayouts();
    layouts.m_layoutWeight = Busy();
    MessageRecorder messages;
    QVERIFY(layouts.SaveLayout(true));
    QVERIFY(QFileInfo(dir.File(QStringLiteral("Varnet.cfg"))).isSymLink());
    QFile f(target);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), labels::SerializeLayout(Busy()));
    struct stat st {};
    QCOMPARE(::stat(targetName.constData(), &st), 0);
    QCOMPARE(st.st_mode & 0777, 0644u);
    QCOMPARE(QDir(shared.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("fish.cfg")});
}

QTEST_GUILESS_MAIN(TestLayoutFile)
#include "tst_layoutfile.moc"
