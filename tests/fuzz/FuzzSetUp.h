#pragma once

// What every fuzz target sets up once: a Qt application object and a temporary HOME and
// XDG_CONFIG_HOME for the whole run, so that nothing touches the user's own files. Put the
// temporary folders on a RAM disk (TMPDIR=/dev/shm) for speed: the readers write files.

#include <QString>

namespace cvxfuzz {

// From LLVMFuzzerInitialize. Returns the temporary home folder.
QString setUp(int *argc, char ***argv);

// Writes bytes to a file as they are, creating its folder; false when that fails.
bool writeFile(const QString &path, const char *data, qsizetype size);

}  // namespace cvxfuzz
