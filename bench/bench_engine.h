#pragma once

#include <QString>

namespace bench {

// Starts the engine for a benchmark on a data folder, with its binaries,
// cache and log kept under home (created as needed). The engine reads no
// guids.db. Prints why on stderr and returns false when it does not start.
bool startEngine(const char *program, const QString &home, const QString &data);

} // namespace bench
