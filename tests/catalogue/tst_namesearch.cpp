// Name search as a Russian shop expects it: typed texts select the same names in the same
// order on SQLite and PostgreSQL, blind to the case of Cyrillic letters, with Ё beside Е in
// the order, a backslash taken as itself and "%" and "_" as wildcards; and the matching and
// key rules of the SQLite extension on their own.
#include "catalogfixture.h"
#include "catalogue/ctableplu.h"
#include "numbertext.h"
#include "russiantext.h"

#include <QTest>

#include <map>
#include <memory>

class TstNameSearch : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    std::map<QString, std::unique_ptr<CVarnetApp>> m_apps;

    // The names the search by name lists for the typed text, and the count it shows.
    QStringList Names(const QString& backend, const QString& typed, int& count) {
        CVarnetApp& app = *m_apps.at(backend);
        CTablePlu t(app.m_db, app.DatabaseDialect());
        t.SetSearchOrder(1);
        t.m_strFilterParam = typed + QLatin1Char('%');
        t.SetRowsetSize(100);
        t.Open();
        count = t.m_nRowCount;
        QStringList names;
        for (int r = 0; r < t.m_nRowCount; ++r) {
            t.EnsureRowCached(r);
            names.append(CTablePlu::TextAt(t.m_pluName, t.m_pluNameLength, CTablePlu::kPluNameWidth,
                                           r - t.m_nFirstRow));
        }
        return names;
    }

    static QStringList Utf8List(std::initializer_list<const char*> list) {
        QStringList out;
        for (const char* s : list)
            out.append(QString::fromUtf8(s));
        return out;
    }

private Q_SLOTS:
    void initTestCase() {
        const QStringList names =
            Utf8List({"Белый налив", "БЕЛУГА", "белёк", "Ежевика", "Ёжик", "ёж морской", "Жмых",
                      "Сыр \\ особый", "Сыр особый", "50 на 50 смесь", "500 г орехов", "a", "a_b",
                      "Ab", "O'Брайен"});
        QList<democat::PluRow> rows;
        for (int i = 0; i < names.size(); ++i)
            rows << catfix::Row(i + 1, QString::number(i + 1), names[i], 100.0 + i);
        // A product without a name matches nothing, not even "%", as on SQL Server.
        rows << catfix::Row(100, QStringLiteral("100"), QString(), 1.0);
        rows.last().pluName.reset();
        for (const QString& b : testdb::Backends()) {
            auto app = std::make_unique<CVarnetApp>();
            QVERIFY(catfix::Open(*app, b, QStringLiteral("names"), m_dir, rows));
            m_apps[b] = std::move(app);
        }
    }

    void typedTexts_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("names");
        const QStringList bel = Utf8List({"белёк", "БЕЛУГА", "Белый налив"});
        QTest::newRow("бел") << QStringLiteral("бел") << bel;
        QTest::newRow("БЕЛ") << QStringLiteral("БЕЛ") << bel;
        // Ё is its own letter when matched, blind to case like the others.
        const QStringList hedgehog = Utf8List({"ёж морской", "Ёжик"});
        QTest::newRow("ёж") << QStringLiteral("ёж") << hedgehog;
        QTest::newRow("Ёж") << QStringLiteral("Ёж") << hedgehog;
        QTest::newRow("еж") << QStringLiteral("еж") << Utf8List({"Ежевика"});
        QTest::newRow("сыр \\") << QStringLiteral("сыр \\") << Utf8List({"Сыр \\ особый"});
        QTest::newRow("50%") << QStringLiteral("50%")
                             << Utf8List({"50 на 50 смесь", "500 г орехов"});
        QTest::newRow("a_") << QStringLiteral("a_") << Utf8List({"a_b", "Ab"});
        QTest::newRow("O'") << QStringLiteral("O'") << Utf8List({"O'Брайен"});
        QTest::newRow("%ОСОБ") << QStringLiteral("%ОСОБ")
                               << Utf8List({"Сыр \\ особый", "Сыр особый"});
        QTest::newRow("nothing") << QStringLiteral("юг") << QStringList();
        // Nothing typed: every name, Ё-words among the Е-words.
        QTest::newRow("all") << QString()
                             << Utf8List({"50 на 50 смесь", "500 г орехов", "a", "a_b", "Ab",
                                          "O'Брайен", "белёк", "БЕЛУГА", "Белый налив",
                                          "ёж морской", "Ежевика", "Ёжик", "Жмых", "Сыр \\ особый",
                                          "Сыр особый"});
    }
    void typedTexts() {
        QFETCH(QString, typed);
        QFETCH(QStringList, names);
        for (const QString& b : testdb::Backends()) {
            int count = -1;
            const QStringList listed = Names(b, typed, count);
            QVERIFY2(listed == names, qPrintable(b + QStringLiteral(": ") + listed.join(" | ")));
            QCOMPARE(count, names.size());
        }
    }

    void like_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("matches");
        QTest::newRow("case") << "ЁЖИК%"
                              << "ёжик колючий" << true;
        QTest::newRow("ё is not е") << "еж%"
                                    << "Ёжик" << false;
        QTest::newRow("Latin and Greek case") << "straße ΣΟΦΙΑ"
                                              << "STRASSE σοφια" << false;
        QTest::newRow("Greek case") << "ΣΟΦΙΑ"
                                    << "σοφια" << true;
        QTest::newRow("_ is one character") << "к_т"
                                            << "кот" << true;
        QTest::newRow("_ needs a character") << "кот_"
                                             << "кот" << false;
        QTest::newRow("% backs up") << "%аб%ав"
                                    << "абабав" << true;
        QTest::newRow("% at the end only") << "аб%"
                                           << "xаб" << false;
        QTest::newRow("backslash is itself") << "a\\%"
                                             << "a\\b" << true;
        QTest::newRow("backslash escapes nothing") << "a\\%"
                                                   << "a%" << false;
        QTest::newRow("empty pattern") << ""
                                       << "" << true;
    }
    void like() {
        QFETCH(QString, pattern);
        QFETCH(QString, text);
        QFETCH(bool, matches);
        QCOMPARE(russiantext::Like(pattern.toStdU32String(), text.toStdU32String()), matches);
    }

    // The quick test of a price may only turn away prices whose text cannot match; SQLite
    // writes a price with 15 significant digits, so a carry changes its first digits.
    void priceMayMatch_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<double>("price");
        QTest::addColumn<bool>("may");
        QTest::newRow("12 in 12.5") << "12%" << 12.5 << true;
        QTest::newRow("12 in 1250") << "12%" << 1250.0 << true;
        QTest::newRow("12 not in 1.25") << "12%" << 1.25 << false;
        QTest::newRow("12 not in 13") << "12%" << 13.0 << false;
        QTest::newRow("12 not in -12") << "12%" << -12.0 << false;
        QTest::newRow("1000 in 999.99999999999994") << "1000%" << 999.99999999999994 << true;
        QTest::newRow("123456789012346 carried")
            << "123456789012346%" << 123456789012345.67 << true;
        QTest::newRow("below 1 left to LIKE") << "5%" << 0.00005 << true;
        QTest::newRow("no digits first") << "%5" << 13.0 << true;
        QTest::newRow("digits then a point") << "12.5%" << 12.5 << true;
        QTest::newRow("Cyrillic first") << "Ц%" << 12.0 << true;
    }
    void priceMayMatch() {
        QFETCH(QString, pattern);
        QFETCH(double, price);
        QFETCH(bool, may);
        QCOMPARE(russiantext::NumberTextMayMatch(pattern.toStdU32String(), price), may);
        const QByteArray utf8 = pattern.toUtf8();
        QCOMPARE(russiantext::NumberTextMayMatch(
                     reinterpret_cast<const unsigned char*>(utf8.constData()),
                     static_cast<int>(utf8.size()), price),
                 may);
    }

    // The range of keys a typed start selects holds every name it matches, also at the end
    // of the code space and next to the surrogates, which UTF-8 text cannot hold.
    void keyRange() {
        std::u32string above;
        QVERIFY(!russiantext::KeyAbove(std::u32string(), above));
        QVERIFY(russiantext::KeyAbove(U"аб", above));
        QVERIFY(above == U"ав");
        QVERIFY(russiantext::KeyAbove(std::u32string(U"а") + char32_t(0x10FFFF), above));
        QVERIFY(above == U"б");
        QVERIFY(russiantext::KeyAbove(std::u32string(1, char32_t(0xD7FF)), above));
        QVERIFY(above == std::u32string(1, char32_t(0xE000)));
        QVERIFY(russiantext::PrefixKey(U"ЁЖ%ик") == U"еж");
        QVERIFY(russiantext::PrefixKey(U"%ЁЖ").empty());
        // Bytes that are not UTF-8 turn into replacement characters, never into a read past
        // the end.
        const unsigned char cut[] = {'a', 0xD0};
        QVERIFY(russiantext::FromUtf8(cut, 2) == std::u32string(U"a\uFFFD"));
        const unsigned char stray[] = {0x80, 'b'};
        QVERIFY(russiantext::FromUtf8(stray, 2) == std::u32string(U"\uFFFDb"));
        QVERIFY(russiantext::FromUtf8(reinterpret_cast<const unsigned char*>("ёж"), 4) == U"ёж");
        QCOMPARE(QString::fromStdString(russiantext::ToUtf8(U"Ёж €𝄞")), QStringLiteral("Ёж €𝄞"));
    }
};

QTEST_GUILESS_MAIN(TstNameSearch)
#include "tst_namesearch.moc"
