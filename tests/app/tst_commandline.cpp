// The command line: --help and --version answer without a display (the GUI is never built for
// them), the options are read strictly, and a scripted run with --quit-after ends by itself
// without leaving anything in its working directory.
#include "commandline.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// No display of any kind: a program that built its GUI here would fail to start.
QProcessEnvironment noDisplay()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    return env;
}

} // namespace

class tst_CommandLine : public QObject
{
    Q_OBJECT
private slots:
    void earlyRequest_data();
    void earlyRequest();
    void parse_data();
    void parse();
    void answersWithoutADisplay_data();
    void answersWithoutADisplay();
    void refusesAWrongCommandLine_data();
    void refusesAWrongCommandLine();
    void scriptedRunEndsByItself();
};

void tst_CommandLine::earlyRequest_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("expected");
    using R = commandline::EarlyRequest;
    QTest::newRow("nothing") << QStringList{"colorimeter"} << int(R::None);
    QTest::newRow("demo only") << QStringList{"colorimeter", "--demo"} << int(R::None);
    QTest::newRow("--help") << QStringList{"colorimeter", "--help"} << int(R::Help);
    QTest::newRow("-h after others") << QStringList{"colorimeter", "--demo", "-h"} << int(R::Help);
    QTest::newRow("-?") << QStringList{"colorimeter", "-?"} << int(R::Help);
    QTest::newRow("--version") << QStringList{"colorimeter", "--version"} << int(R::Version);
    QTest::newRow("-v") << QStringList{"colorimeter", "-v"} << int(R::Version);
    QTest::newRow("help wins over version")
        << QStringList{"colorimeter", "--version", "--help"} << int(R::Help);
    QTest::newRow("after -- is not an option") << QStringList{"colorimeter", "--", "--help"} << int(R::None);
    QTest::newRow("argv[0] is not an option") << QStringList{"--help"} << int(R::None);
    QTest::newRow("a toolkit option's value")
        << QStringList{"colorimeter", "-platform", "offscreen", "--version"} << int(R::Version);
}

void tst_CommandLine::earlyRequest()
{
    QFETCH(QStringList, args);
    QFETCH(int, expected);
    QCOMPARE(int(commandline::earlyRequest(args)), expected);
}

void tst_CommandLine::parse_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<bool>("demo");
    QTest::addColumn<int>("quitAfterMs");
    QTest::addColumn<QString>("errorPart");
    QTest::newRow("no options") << QStringList{"colorimeter"} << true << false << -1 << QString();
    QTest::newRow("--demo") << QStringList{"colorimeter", "--demo"} << true << true << -1 << QString();
    QTest::newRow("--quit-after 0") << QStringList{"colorimeter", "--quit-after", "0"} << true << false
                                    << 0 << QString();
    QTest::newRow("--quit-after=2500 with demo")
        << QStringList{"colorimeter", "--quit-after=2500", "--demo"} << true << true << 2500 << QString();
    QTest::newRow("unknown option") << QStringList{"colorimeter", "--demoo"} << false << false << -1
                                    << QStringLiteral("demoo");
    QTest::newRow("stray argument") << QStringList{"colorimeter", "file.xls"} << false << false << -1
                                    << QStringLiteral("file.xls");
    QTest::newRow("negative time") << QStringList{"colorimeter", "--quit-after", "-5"} << false << false
                                   << -1 << QStringLiteral("-5");
    QTest::newRow("not a number") << QStringList{"colorimeter", "--quit-after", "soon"} << false << false
                                  << -1 << QStringLiteral("soon");
    QTest::newRow("time missing") << QStringList{"colorimeter", "--quit-after"} << false << false << -1
                                  << QStringLiteral("quit-after");
}

void tst_CommandLine::parse()
{
    QFETCH(QStringList, args);
    QFETCH(bool, ok);
    QFETCH(bool, demo);
    QFETCH(int, quitAfterMs);
    QFETCH(QString, errorPart);
    commandline::Options options;
    options.quitAfterMs = 12345; // untouched on failure
    QString error;
    QCOMPARE(commandline::parse(args, &options, &error), ok);
    if (ok) {
        QVERIFY(error.isEmpty());
        QCOMPARE(options.demo, demo);
        QCOMPARE(options.quitAfterMs, quitAfterMs);
    } else {
        QVERIFY2(error.contains(errorPart), qPrintable(error));
        QCOMPARE(options.quitAfterMs, 12345);
    }
}

void tst_CommandLine::answersWithoutADisplay_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("expected");
    const QStringList help = {"Usage: colorimeter", "--demo", "--quit-after", "--version", "70-colorimeter.rules"};
    const QStringList version = {QStringLiteral("colorimeter " COLORIMETER_VERSION "\n")};
    QTest::newRow("--help") << QStringList{"--help"} << help;
    QTest::newRow("-h") << QStringList{"-h"} << help;
    QTest::newRow("--demo --help") << QStringList{"--demo", "--help"} << help;
    QTest::newRow("--version") << QStringList{"--version"} << version;
    QTest::newRow("-v") << QStringList{"-v"} << version;
}

void tst_CommandLine::answersWithoutADisplay()
{
    QFETCH(QStringList, args);
    QFETCH(QStringList, expected);
    QProcess process;
    process.setProcessEnvironment(noDisplay());
    process.start(QStringLiteral(COLORIMETER_EXE), args);
    QVERIFY(process.waitForFinished(10000));
    const QByteArray out = process.readAllStandardOutput();
    const QByteArray err = process.readAllStandardError();
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QVERIFY2(process.exitCode() == 0, err.constData());
    for (const QString &part : expected)
        QVERIFY2(out.contains(part.toUtf8()), out.constData());
    QVERIFY2(err.isEmpty(), err.constData());
}

void tst_CommandLine::refusesAWrongCommandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("unknown option") << QStringList{"--demoo"} << QByteArray("demoo");
    QTest::newRow("bad time") << QStringList{"--demo", "--quit-after", "x"} << QByteArray("--quit-after");
}

void tst_CommandLine::refusesAWrongCommandLine()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, message);
    QTemporaryDir tmp;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("TMPDIR"), tmp.path());
    env.insert(QStringLiteral("COLORIMETER_TEST_AUTOANSWER"), QStringLiteral("1"));
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(COLORIMETER_EXE), args);
    QVERIFY(process.waitForFinished(10000));
    const QByteArray err = process.readAllStandardError();
    QCOMPARE(process.exitCode(), 2);
    QVERIFY2(err.contains(message) && err.contains("--help"), err.constData());
    QVERIFY2(!err.contains("hidDevice Open"), "a refused command line must not touch the instrument");
}

void tst_CommandLine::scriptedRunEndsByItself()
{
    QTemporaryDir tmp;
    QTemporaryDir work; // the working directory: the program must leave it as it found it
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("TMPDIR"), tmp.path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), tmp.path());
    env.insert(QStringLiteral("HOME"), tmp.path());
    env.insert(QStringLiteral("COLORIMETER_TEST_AUTOANSWER"), QStringLiteral("1"));
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("colorimeter.*.debug=true"));
    QProcess process;
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(work.path());
    process.start(QStringLiteral(COLORIMETER_EXE), {QStringLiteral("--demo"), QStringLiteral("--quit-after"),
                                                    QStringLiteral("1500")});
    QVERIFY(process.waitForFinished(30000));
    const QByteArray err = process.readAllStandardError();
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QVERIFY2(process.exitCode() == 0, err.constData());
    QVERIFY2(err.contains("hidDevice Open success!"), err.constData());
    QVERIFY2(err.contains("--quit-after: time is up"), err.constData());
    QVERIFY2(QDir(work.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             qPrintable(QDir(work.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)
                            .join(QLatin1Char(' '))));
}

QTEST_GUILESS_MAIN(tst_CommandLine)
#include "tst_commandline.moc"
