#pragma once

#include <QElapsedTimer>
#include <QString>

class QCommandLineParser;

#include <vector>

namespace bench {

// Starts the engine for a benchmark on a data folder, with its binaries,
// cache and log kept under home (created as needed). The engine reads no
// guids.db. Prints why on stderr and returns false when it does not start.
bool startEngine(const char *program, const QString &home, const QString &data);

// Adds the options a benchmark on a project folder takes: --help, --data DIR
// and --repeat N (default 3, described as repeated).
void addDataAndRepeatOptions(QCommandLineParser &options, const QString &repeated);

// The --data folder as an absolute path, and the --repeat count (at least 1).
QString dataOption(const QCommandLineParser &options);
int repeatOption(const QCommandLineParser &options);

// Milliseconds since the timer started.
double msSince(const QElapsedTimer &timer);

// The process's peak resident memory in KiB.
long peakRssKb();

// The middle value (the mean of the two middle ones for an even count); 0 for none.
double median(std::vector<double> values);

} // namespace bench
