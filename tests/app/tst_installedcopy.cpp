// The program laid out as a package installs it (bin/ beside share/colorimeter/), its data
// files read-only and owned by someone else, started by an ordinary user from an unrelated
// working directory: it finds its translations and its meter-number table there, opens the
// virtual instrument, ends by itself and writes nothing into the data or working folders.
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uid_t kNobody = 65534;

bool copyFile(const QString &from, const QString &to, QFile::Permissions permissions)
{
    return QFile::copy(from, to) && QFile::setPermissions(to, permissions);
}

const QFile::Permissions kReadOnly = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
const QFile::Permissions kReadExec = kReadOnly | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;

// Everything under a folder, with sizes, to see that nothing was added or changed.
QStringList listing(const QString &folder)
{
    QStringList entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        entries << it.filePath() + QLatin1Char(' ') + QString::number(it.fileInfo().size());
    }
    entries.sort();
    return entries;
}

} // namespace

class tst_InstalledCopy : public QObject
{
    Q_OBJECT
private slots:
    void runsAsAnOrdinaryUserFromAnywhere();
};

void tst_InstalledCopy::runsAsAnOrdinaryUserFromAnywhere()
{
    // Run by root (as in CI), the program is started as "nobody": root could write anything,
    // and a read-only file would prove nothing.
    const bool asRoot = ::geteuid() == 0;

    QTemporaryDir root;
    QVERIFY(root.isValid());
    QVERIFY(QFile::setPermissions(root.path(), kReadExec | QFile::WriteOwner));
    QDir prefix(root.path());
    QVERIFY(prefix.mkpath(QStringLiteral("bin")) && prefix.mkpath(QStringLiteral("share/colorimeter")));
    const QString exe = prefix.filePath(QStringLiteral("bin/colorimeter"));
    QVERIFY(copyFile(QStringLiteral(COLORIMETER_EXE), exe, kReadExec));
    const QString built = QFileInfo(QStringLiteral(COLORIMETER_EXE)).absolutePath();
    const QString data = prefix.filePath(QStringLiteral("share/colorimeter"));
    for (const char *name : {"meterno.xls", "Pelmo_en.qm", "Pelmo_zh.qm"}) {
        const QString file = QString::fromLatin1(name);
        QVERIFY2(copyFile(built + QLatin1Char('/') + file, data + QLatin1Char('/') + file, kReadOnly), name);
    }
    for (const QString &dir : {data, prefix.filePath(QStringLiteral("share")), prefix.filePath(QStringLiteral("bin"))})
        QVERIFY(QFile::setPermissions(dir, kReadExec));

    // The user's own folders: temporary files, home and the working directory.
    for (const char *name : {"tmp", "home", "work"}) {
        QVERIFY(prefix.mkpath(QString::fromLatin1(name)));
        if (asRoot)
            QCOMPARE(::chown(QFile::encodeName(prefix.filePath(QString::fromLatin1(name))).constData(),
                             kNobody, kNobody),
                     0);
    }
    const QStringList dataBefore = listing(prefix.filePath(QStringLiteral("share")));

    QProcessEnvironment env;
    env.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
    env.insert(QStringLiteral("HOME"), prefix.filePath(QStringLiteral("home")));
    env.insert(QStringLiteral("TMPDIR"), prefix.filePath(QStringLiteral("tmp")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("COLORIMETER_TEST_AUTOANSWER"), QStringLiteral("1"));
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("colorimeter.*.debug=true"));
    QProcess process;
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(prefix.filePath(QStringLiteral("work")));
    if (asRoot) {
        process.setChildProcessModifier([] {
            if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
                ::_exit(125);
        });
    }
    process.start(exe, {QStringLiteral("--demo"), QStringLiteral("--quit-after"), QStringLiteral("1500")});
    QVERIFY2(process.waitForFinished(30000), "the program did not end by itself");
    const QByteArray err = process.readAllStandardError();
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QVERIFY2(process.exitCode() == 0, err.constData());

    QVERIFY2(err.contains("hidDevice Open success!"), err.constData());
    const QByteArray table = "meter-number table \"" + QFile::encodeName(data) + "/meterno.xls\" read:";
    QVERIFY2(err.contains(table), err.constData());
    QVERIFY2(!err.contains("Can't open file"), err.constData());
    const QByteArray translation = "translation \"Pelmo_zh\" loaded from \"" + QFile::encodeName(data) + '"';
    QVERIFY2(err.contains(translation), err.constData());

    QCOMPARE(listing(prefix.filePath(QStringLiteral("share"))), dataBefore);
    QCOMPARE(listing(prefix.filePath(QStringLiteral("work"))), QStringList());

    // Let QTemporaryDir remove what it made.
    for (const QString &dir : {data, prefix.filePath(QStringLiteral("share")), prefix.filePath(QStringLiteral("bin"))})
        QFile::setPermissions(dir, kReadExec | QFile::WriteOwner);
}

QTEST_GUILESS_MAIN(tst_InstalledCopy)
#include "tst_installedcopy.moc"
