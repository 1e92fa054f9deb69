// A counter that several operator accounts share: where its files are, what the programs may
// load (only what root alone can change), files made for the whole group, and links that
// another account planted in the shared folder, never written through.
#include "platform/atomicfile.h"
#include "platform/counterfiles.h"
#include "platform/inifile.h"
#include "platform/odbc.h"
#include "platform/paths.h"
#include "platform/trustedpath.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The account that owns the planted links and files: a stranger to the test's own account.
constexpr uid_t kStranger = 65534;

unsigned ModeOf(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

bool Write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray Read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A driver library of the system: root's, in root's folders (the SQLite ODBC driver, which
// the tests install).
QString SystemLibrary() {
    for (const char* p : {"/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so",
                          "/usr/lib/aarch64-linux-gnu/odbc/libsqlite3odbc.so"})
        if (QFile::exists(QString::fromLatin1(p)))
            return QString::fromLatin1(p);
    return QString();
}

// The text of a refused connection string, or empty when it was taken.
QString Refusal(const QString& cs, QString* result = nullptr) {
    try {
        const QString trusted = platform::odbc::TrustedConnectionString(cs);
        if (result)
            *result = trusted;
        return QString();
    } catch (const platform::odbc::DatabaseError& e) {
        return e.Text();
    }
}

} // namespace

class TestCounterFolder : public QObject {
    Q_OBJECT

private slots:
    void counterFolderOfAnExecutable_data() {
        QTest::addColumn<QString>("exeDir");
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("counter");
        QTest::addColumn<QString>("expected");
        const QString opt = QStringLiteral("/opt/varnet");
        const QString var = QStringLiteral("/var/lib/varnet");
        QTest::newRow("installed") << opt << opt << var << var;
        QTest::newRow("installed, slashes")
            << QStringLiteral("/opt/varnet/") << opt << QStringLiteral("/var/lib/varnet/") << var;
        QTest::newRow("a build folder") << QStringLiteral("/home/dev/varnet/build/bin") << opt
                                        << var << QStringLiteral("/home/dev/varnet/build/bin");
        QTest::newRow("a copy beside the installed one")
            << QStringLiteral("/opt/varnet2") << opt << var << QStringLiteral("/opt/varnet2");
        QTest::newRow("no installed layout") << opt << QString() << QString() << opt;
    }
    void counterFolderOfAnExecutable() {
        QFETCH(QString, exeDir);
        QFETCH(QString, program);
        QFETCH(QString, counter);
        QFETCH(QString, expected);
        QCOMPARE(platform::CounterDirectoryFor(exeDir, program, counter), expected);
    }

    // A program that is not installed keeps its files beside itself; the account's own
    // environment and a test's override point elsewhere, the override first.
    void counterFolderOfThisProgram() {
        QCOMPARE(platform::ModuleDirectory(), platform::ExecutableDirectory());
        qputenv("VARNET_COUNTER_DIR", "/srv/counter/");
        QCOMPARE(platform::ModuleDirectory(), QStringLiteral("/srv/counter"));
        platform::SetModuleDirectoryOverride(QStringLiteral("/tmp/x"));
        QCOMPARE(platform::ModuleDirectory(), QStringLiteral("/tmp/x"));
        platform::SetModuleDirectoryOverride(QString());
        qunsetenv("VARNET_COUNTER_DIR");
        QCOMPARE(platform::ModuleDirectory(), platform::ExecutableDirectory());
    }

    void loadedCodeMustBeRootsAlone() {
        const QString system = SystemLibrary();
        if (system.isEmpty())
            QSKIP("the SQLite ODBC driver is not installed");
        const platform::TrustedPath ok = platform::CheckTrustedFile(system);
        QVERIFY2(ok.trusted, qPrintable(ok.reason));
        QCOMPARE(ok.resolved, QFileInfo(system).canonicalFilePath());

        QTemporaryDir dir;
        const QString planted = dir.filePath(QStringLiteral("driver.so"));
        QVERIFY(QFile::copy(system, planted));
        const platform::TrustedPath inTmp = platform::CheckTrustedFile(planted);
        QVERIFY(!inTmp.trusted);
        // The test's folder is this account's, or, for root, lies in /tmp, which anybody writes.
        QVERIFY2(inTmp.reason.contains(QStringLiteral("а не root")) ||
                     inTmp.reason == QStringLiteral("в /tmp может писать не только root"),
                 qPrintable(inTmp.reason));
        // A link from a folder anybody writes to root's own library: the link could be turned.
        const QString link = dir.filePath(QStringLiteral("link.so"));
        QVERIFY(QFile::link(system, link));
        QVERIFY(!platform::CheckTrustedFile(link).trusted);

        const platform::TrustedPath relative = platform::CheckTrustedFile(QStringLiteral("a.so"));
        QVERIFY(!relative.trusted);
        QCOMPARE(relative.reason, QStringLiteral("путь a.so не полный"));
        const platform::TrustedPath missing =
            platform::CheckTrustedFile(QStringLiteral("/usr/lib/no-such-driver.so"));
        QVERIFY(!missing.trusted);
        QCOMPARE(missing.reason, QStringLiteral("/usr/lib/no-such-driver.so не найден"));
    }

    void connectionStringsNamingCode_data() {
        QTest::addColumn<QString>("cs");
        QTest::addColumn<QString>("refusal"); // start of the text; empty: taken as it is
        const QString t = QDir::tempPath();
        QTest::newRow("registered name")
            << QStringLiteral("Driver={SQLite3};Database=/tmp/x.db") << QString();
        QTest::newRow("name with a slash in a value that loads nothing")
            << QStringLiteral("Driver=SQLite3;Database=/tmp/a;b.db") << QString();
        QTest::newRow("driver path")
            << QStringLiteral("Driver=%1/evil.so;Server=x").arg(t)
            << QStringLiteral("Драйвер ODBC %1/evil.so не будет загружен: ").arg(t);
        QTest::newRow("braced driver path, key in any case")
            << QStringLiteral("SERVER=x;dRiVeR={%1/a;b}}.so};UID=u").arg(t)
            << QStringLiteral("Драйвер ODBC %1/a;b}.so не будет загружен: ").arg(t);
        QTest::newRow("file data source")
            << QStringLiteral("FILEDSN=%1/shop.dsn").arg(t)
            << QStringLiteral("Файл источника данных ODBC %1/shop.dsn не будет прочитан: ").arg(t);
        QTest::newRow("second SQLite extension")
            << QStringLiteral("Driver=SQLite3;LoadExt=%1,%2/x.so").arg(SystemLibrary(), t)
            << QStringLiteral("Расширение SQLite %1/x.so не будет загружено: ").arg(t);
    }
    void connectionStringsNamingCode() {
        QFETCH(QString, cs);
        QFETCH(QString, refusal);
        if (SystemLibrary().isEmpty())
            QSKIP("the SQLite ODBC driver is not installed");
        QString taken;
        const QString text = Refusal(cs, &taken);
        if (refusal.isEmpty()) {
            QVERIFY2(text.isEmpty(), qPrintable(text));
            QCOMPARE(taken, cs);
        } else {
            QVERIFY2(text.startsWith(refusal), qPrintable(text));
            QVERIFY(text.endsWith(QStringLiteral(". Укажите драйвер, зарегистрированный в "
                                                 "odbcinst.ini, или файл, который может изменять "
                                                 "только root.")));
        }
    }

    // A trusted path goes to the driver manager resolved, so that no link on the way can be
    // turned after the check; the program's own extension is taken as it is.
    void trustedPathsAreResolved() {
        const QString system = SystemLibrary();
        if (system.isEmpty())
            QSKIP("the SQLite ODBC driver is not installed");
        const QString real = QFileInfo(system).canonicalFilePath();
        QString taken;
        QCOMPARE(Refusal(QStringLiteral("Driver=%1;Database=x").arg(system), &taken), QString());
        QCOMPARE(taken, QStringLiteral("Driver=%1;Database=x").arg(real));
        QTemporaryDir dir;
        const QString own = dir.filePath(QStringLiteral("libvarnet_sqlite.so"));
        QCOMPARE(platform::odbc::TrustedConnectionString(
                     QStringLiteral("Driver=SQLite3;LoadExt=%1").arg(own), own),
                 QStringLiteral("Driver=SQLite3;LoadExt=%1").arg(own));
    }

    void parsedAttributes() {
        const QList<platform::odbc::ConnectionAttribute> a = platform::odbc::ParseConnectionString(
            QStringLiteral("Driver={A}}B;C};;noequals;PWD={x=y};Server= host "));
        QCOMPARE(a.size(), 3);
        QCOMPARE(a[0].key, QStringLiteral("Driver"));
        QCOMPARE(a[0].value, QStringLiteral("A}B;C"));
        QCOMPARE(a[1].value, QStringLiteral("x=y"));
        QCOMPARE(a[2].key, QStringLiteral("Server"));
        QCOMPARE(a[2].value, QStringLiteral(" host "));
    }

    // Whatever the account's umask, the counter's files are the group's: made 0660, and the
    // settings stay so when saved again.
    void filesForTheWholeGroup() {
        QTemporaryDir dir;
        const mode_t old = ::umask(077);
        const QString journal = dir.filePath(QStringLiteral("Journal.db"));
        QCOMPARE(platform::PrepareCounterFile(journal), platform::FileError::None);
        QCOMPARE(ModeOf(journal), 0660u);
        const QString ini = dir.filePath(QStringLiteral("Varnet.ini"));
        platform::CIniFile settings = platform::CIniFile::Load(ini);
        settings.WriteString(QStringLiteral("SQL"), QStringLiteral("Password"),
                             QStringLiteral("p"));
        QVERIFY(settings.Save(ini).ok());
        QCOMPARE(ModeOf(ini), 0660u);
        ::umask(old);
        // A file this account left closed (an earlier version made them 0600) is opened to the
        // group when the program looks at the folder; nothing is reported for it.
        const QString layout = dir.filePath(QStringLiteral("Varnet.cfg"));
        QVERIFY(Write(layout, "x"));
        QVERIFY(QFile::setPermissions(layout, QFile::ReadOwner | QFile::WriteOwner));
        QCOMPARE(platform::CheckCounterFiles(dir.path()), QStringList());
        QCOMPARE(ModeOf(layout), 0660u);
    }

    // A file that another account left closed cannot be opened by this one: it is named with
    // its owner and the command that opens it. Seen from a child that runs as a stranger.
    void closedFileOfAnotherAccount() {
        if (::geteuid() != 0)
            QSKIP("running as another account needs root");
        QTemporaryDir dir;
        QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                      QFile::ExeOwner | QFile::ReadOther |
                                                      QFile::ExeOther));
        const QString ini = dir.filePath(QStringLiteral("Varnet.ini"));
        QVERIFY(Write(ini, "[SQL]\nPassword=secret\n"));
        QCOMPARE(::chmod(QFile::encodeName(ini).constData(), 0600), 0);
        int fds[2];
        QCOMPARE(::pipe(fds), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(fds[0]);
            if (::setgid(kStranger) != 0 || ::setuid(kStranger) != 0)
                ::_exit(2);
            const QByteArray text = platform::CheckCounterFiles(dir.path()).join('|').toUtf8();
            const ssize_t n = ::write(fds[1], text.constData(), size_t(text.size()));
            ::_exit(n == text.size() ? 0 : 3);
        }
        ::close(fds[1]);
        QByteArray text;
        char buf[4096];
        ssize_t n;
        while ((n = ::read(fds[0], buf, sizeof buf)) > 0)
            text.append(buf, n);
        ::close(fds[0]);
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        QCOMPARE(QString::fromUtf8(text),
                 QStringLiteral("Файл %1 принадлежит пользователю root и закрыт для других "
                                "операторов прилавка. Чтобы открыть его, выполните от имени "
                                "администратора:\nsudo chgrp root %1 && sudo chmod 660 %1")
                     .arg(ini));
        QCOMPARE(ModeOf(ini), 0600u); // not the stranger's to change
    }

    // A link that another account planted in the shared folder is never written through, by
    // root neither; this account's own link is, as the installer's are.
    void linksOfOtherAccounts_data() {
        QTest::addColumn<bool>("foreign");
        QTest::newRow("own link") << false;
        QTest::newRow("planted by another account") << true;
    }
    void linksOfOtherAccounts() {
        QFETCH(bool, foreign);
        if (foreign && ::geteuid() != 0)
            QSKIP("a link of another account can only be made by root");
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("bashrc"));
        QVERIFY(Write(target, "alias ls='ls -F'\n"));
        const unsigned targetMode = ModeOf(target);
        const QString link = dir.filePath(QStringLiteral("Varnet.ini"));
        QVERIFY(QFile::link(target, link));
        if (foreign)
            QCOMPARE(::lchown(QFile::encodeName(link).constData(), kStranger, kStranger), 0);
        QCOMPARE(platform::IsOwnLink(link), !foreign);
        platform::CIniFile ini = platform::CIniFile::Load(link);
        ini.WriteString(QStringLiteral("SQL"), QStringLiteral("User"), QStringLiteral("u"));
        const platform::WriteResult result = ini.Save(link);
        QVERIFY(QFileInfo(link).isSymLink());
        if (!foreign) {
            QVERIFY(result.ok());
            QVERIFY(Read(target).contains("User=u"));
            return;
        }
        QCOMPARE(result.error, platform::FileError::ForeignLink);
        QCOMPARE(platform::FileErrorText(result.error, link),
                 QStringLiteral("%1 — ссылка, созданная другим пользователем. Запись через "
                                "чужую ссылку запрещена; файл не сохранён.")
                     .arg(link));
        QCOMPARE(Read(target), QByteArray("alias ls='ls -F'\n"));
        QCOMPARE(ModeOf(target), targetMode);
        QCOMPARE(platform::PrepareCounterFile(link), platform::FileError::ForeignLink);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestCounterFolder)
#include "tst_counterfolder.moc"
