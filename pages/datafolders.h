#pragma once

#include <QStringList>

// The folders where an installed program keeps the files it only reads (the translations and
// the meter-number table): first the data folder relative to the executable, so a package
// installed under any prefix finds its files, then the folder the build was configured for.
// Existing folders only, without repeats.
QStringList installedDataFolders();
