#pragma once

#include <QElapsedTimer>
#include <QString>

class QCommandLineParser;

#include <vector>

namespace bench {

// The exit code of a benchmark the system gives too few threads.
constexpr int EXIT_TOO_FEW_THREADS = 4;

// As the editor's main does, before anything else starts a thread: makes
// sure the system gives `needed` more threads or processes (a job queue's
// worker, a program the benchmark starts: under a limit on the user's
// processes both count), and with pool > 0 gives Qt's global pool up to that
// many of them for the whole run (Qt's image conversions and the atlas saves
// wait for its threads; its own thread is one of `needed`). Returns 0, or
// EXIT_TOO_FEW_THREADS after telling why.
int secureThreads(const char *program, int needed, int pool = 0);

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
