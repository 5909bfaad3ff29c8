#include "commandline.h"

#include "udevrule.h"

#include <QCommandLineParser>

namespace commandline {

EarlyRequest earlyRequest(const QStringList &rawArguments)
{
    EarlyRequest request = EarlyRequest::None;
    for (qsizetype i = 1; i < rawArguments.size(); ++i) {
        const QString &arg = rawArguments.at(i);
        if (arg == QLatin1String("--"))
            break;
        if (arg == QLatin1String("-h") || arg == QLatin1String("--help") || arg == QLatin1String("-?"))
            return EarlyRequest::Help;
        if (arg == QLatin1String("-v") || arg == QLatin1String("--version"))
            request = EarlyRequest::Version;
    }
    return request;
}

QString helpText()
{
    return QStringLiteral(
        "Usage: colorimeter [options]\n"
        "The desktop companion of the USB colorimeter: measures CIELAB colour and judges a\n"
        "sample against a standard.\n"
        "\n"
        "Options:\n"
        "  --demo             Use the built-in virtual instrument instead of the USB instrument.\n"
        "  --quit-after <ms>  End by itself <ms> milliseconds after start-up (scripted runs).\n"
        "  -h, --help         Show this help and end.\n"
        "  -v, --version      Show the version and end.\n"
        "\n"
        "The toolkit's own options work as well, for example: -platform offscreen\n"
        "\n"
        "Environment:\n"
        "  QT_LOGGING_RULES=\"colorimeter.*.debug=true\"  diagnostics on the standard error,\n"
        "      every frame to and from the instrument among them.\n"
        "  COLORIMETER_TEST_AUTOANSWER=1  message boxes answer themselves (scripted runs).\n"
        "\n"
        "The USB instrument (vendor %1, product %2) needs the udev rule\n"
        "%3 for an ordinary user to open it.\n")
        .arg(udevrule::kVendorId, 4, 16, QLatin1Char('0'))
        .arg(udevrule::kProductId, 4, 16, QLatin1Char('0'))
        .arg(udevrule::fileName());
}

QString versionText()
{
    return QStringLiteral("colorimeter %1\n").arg(QStringLiteral(COLORIMETER_VERSION));
}

bool parse(const QStringList &arguments, Options *options, QString *error)
{
    QCommandLineParser parser;
    const QCommandLineOption demo(QStringLiteral("demo"));
    const QCommandLineOption quitAfter(QStringLiteral("quit-after"), QString(), QStringLiteral("ms"));
    // Answered before the GUI existed; accepted here so they are not "unknown".
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help"), QStringLiteral("?")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    parser.addOptions({demo, quitAfter, help, version});
    if (!parser.parse(arguments)) {
        *error = parser.errorText();
        return false;
    }
    if (!parser.positionalArguments().isEmpty()) {
        *error = QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().first());
        return false;
    }
    Options result;
    result.demo = parser.isSet(demo);
    if (parser.isSet(quitAfter)) {
        bool ok = false;
        const int ms = parser.value(quitAfter).toInt(&ok);
        if (!ok || ms < 0) {
            *error = QStringLiteral("--quit-after needs a number of milliseconds, not '%1'.")
                         .arg(parser.value(quitAfter));
            return false;
        }
        result.quitAfterMs = ms;
    }
    *options = result;
    return true;
}

} // namespace commandline
