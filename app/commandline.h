#pragma once

#include <QString>
#include <QStringList>

// The program's own command line. --help and --version are answered from the raw arguments,
// before any GUI object exists, so they work without a display; the other options are read
// once the application object has taken out the toolkit's own (-platform, -style, ...).
namespace commandline {

enum class EarlyRequest { None, Help, Version };

struct Options
{
    bool demo = false;     // the virtual instrument instead of the USB one
    int quitAfterMs = -1;  // end by itself this long after start-up; -1: run until closed
};

// Looks for -h/--help/-?, -v/--version among the raw arguments (argv[0] first), up to "--".
// Help wins over version when both are given.
EarlyRequest earlyRequest(const QStringList &rawArguments);

QString helpText();
QString versionText();

// Reads the arguments left after the toolkit's (argv[0] first). False with a one-line message in
// *error for an unknown option, a stray argument or a bad value.
bool parse(const QStringList &arguments, Options *options, QString *error);

} // namespace commandline
