// Something other than a file where a counter file should be: it is looked at, never opened
// to wait on, and named for what it is; a save never replaces it. A file, or a link to one,
// reads as before.
#include "platform/atomicfile.h"
#include "platform/fileopen.h"
#include "platform/inifile.h"
#include "support/notafile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using platform::FileError;
Q_DECLARE_METATYPE(platform::FileError)

class TestNotAFile : public QObject {
    Q_OBJECT

private slots:
    void kinds_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<FileError>("error");
        QTest::newRow("FIFO") << "FIFO" << FileError::Fifo;
        QTest::newRow("socket") << "socket" << FileError::Socket;
        QTest::newRow("folder") << "folder" << FileError::Folder;
        QTest::newRow("link to a device") << "device" << FileError::Device;
    }
    void kinds() {
        QFETCH(QString, kind);
        QFETCH(FileError, error);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Varnet.ini"));
        QVERIFY(notafile::Make(kind, path));
        const QString text = QStringLiteral("%1 — не файл, а %2.").arg(path, notafile::Word(kind));

        QCOMPARE(platform::CheckIsFile(path), error);
        QFile f;
        QCOMPARE(platform::OpenFileToRead(path, f), error);
        QVERIFY(!f.isOpen());
        QCOMPARE(platform::FileErrorText(error, path), text);

        // The settings reader goes on with an empty document and says what stands there.
        const platform::CIniFile ini = platform::CIniFile::Load(path);
        QVERIFY(ini.IsUnreadable());
        QCOMPARE(ini.ReadError(), error);
        QVERIFY2(ini.ProblemText().contains(
                     QStringLiteral("(это не файл, а %1)").arg(notafile::Word(kind))),
                 qPrintable(ini.ProblemText()));

        // A save leaves it as it was. (Not tried through the link to /dev/null: a save that
        // went wrong would replace the machine's own device; deviceNodeIsNeverReplaced tries a
        // node of the test's.)
        if (kind == QLatin1String("device"))
            return;
        struct stat before {};
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &before), 0);
        QCOMPARE(platform::WriteFileAtomically(path, "[Varnet]\n").error, error);
        struct stat after {};
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &after), 0);
        QCOMPARE(after.st_ino, before.st_ino);
        QCOMPARE(after.st_mode, before.st_mode);
        QCOMPARE(
            QDir(dir.path())
                .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden),
            QStringList{QStringLiteral("Varnet.ini")});
    }

    // A device node in the counter folder itself (only root can make one): a save as root
    // would otherwise put a file in its place.
    void deviceNodeIsNeverReplaced() {
        if (::geteuid() != 0)
            QSKIP("making a device node needs root");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Varnet.cfg"));
        const QByteArray name = QFile::encodeName(path);
        QCOMPARE(::mknod(name.constData(), S_IFCHR | 0660, makedev(1, 3)), 0); // as /dev/null
        QCOMPARE(platform::WriteFileAtomically(path, "layout").error, FileError::Device);
        struct stat st {};
        QCOMPARE(::lstat(name.constData(), &st), 0);
        QVERIFY(S_ISCHR(st.st_mode));
    }

    // Files and links to files read as they always did; nothing at all reads as missing.
    void filesStillRead() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Varnet.ini"));
        QCOMPARE(platform::CheckIsFile(path), FileError::NotFound);
        QFile missing;
        QCOMPARE(platform::OpenFileToRead(path, missing), FileError::NotFound);
        QVERIFY(QFile::link(path, dir.filePath(QStringLiteral("link.ini"))));
        QCOMPARE(platform::CheckIsFile(dir.filePath(QStringLiteral("link.ini"))),
                 FileError::NotFound);
        QVERIFY(platform::WriteFileAtomically(path, "[Varnet]\nPenny=1\n").ok());
        for (const QString& name : {QStringLiteral("Varnet.ini"), QStringLiteral("link.ini")}) {
            QFile f;
            QCOMPARE(platform::OpenFileToRead(dir.filePath(name), f), FileError::None);
            QCOMPARE(f.readAll(), QByteArray("[Varnet]\nPenny=1\n"));
            QCOMPARE(platform::CIniFile::Load(dir.filePath(name)).ReadInt("Varnet", "Penny", 0),
                     1LL);
        }
    }
};

QTEST_GUILESS_MAIN(TestNotAFile)
#include "tst_notafile.moc"
