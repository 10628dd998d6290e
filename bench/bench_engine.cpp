#include "bench_engine.h"

#include <velmora/Engine.h>
#include <velmora/GlobalPoolThreads.h>

#include <QCommandLineParser>
#include <QDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <sys/resource.h>

namespace bench {

int secureThreads(const char *program, int needed, int pool)
{
    int available = 0;
    int kept = 0;
    if (pool > 0) {
        kept = Velmora::GlobalPoolThreads::secure(needed, pool, &available);
    } else {
        available = Velmora::GlobalPoolThreads::available(needed);
        kept = available >= needed ? 1 : 0;
    }
    if (kept > 0)
        return 0;
    std::fprintf(stderr,
                 "%s: the system gives this process %d more thread(s); the benchmark needs at least %d. Raise the "
                 "limit on processes (ulimit -u) and run it again.\n",
                 program, kept < 0 ? 0 : available, needed);
    std::fflush(stderr);
    // Qt's pool waits for the thread it was refused: it cannot be shut down.
    if (kept < 0)
        std::_Exit(EXIT_TOO_FEW_THREADS);
    return EXIT_TOO_FEW_THREADS;
}

bool startEngine(const char *program, const QString &home, const QString &data)
{
    QDir().mkpath(home + QStringLiteral("/bin"));
    const QString data_folder = data.endsWith(QLatin1Char('/')) ? data : data + QLatin1Char('/');
    std::vector<std::string> arguments{program,
                                       "-binaries_path",
                                       (home + QStringLiteral("/bin/")).toStdString(),
                                       "-data_path",
                                       data_folder.toStdString(),
                                       "-cache_path",
                                       (home + QStringLiteral("/cache/")).toStdString(),
                                       "-log_path",
                                       (home + QStringLiteral("/log.txt")).toStdString(),
                                       "-skip_guidsdb"};
    std::vector<char *> argv;
    for (std::string &argument : arguments)
        argv.push_back(&argument[0]);
    if (!Velmora::Engine::init(Velmora::ENGINE_VERSION, nullptr, int(argv.size()), argv.data())) {
        std::fprintf(stderr, "%s: the engine does not start\n", program);
        return false;
    }
    return true;
}

void addDataAndRepeatOptions(QCommandLineParser &options, const QString &repeated)
{
    options.addHelpOption();
    options.addOption({QStringLiteral("data"), QStringLiteral("Data folder."), QStringLiteral("dir")});
    options.addOption({QStringLiteral("repeat"), repeated, QStringLiteral("n"), QStringLiteral("3")});
}

QString dataOption(const QCommandLineParser &options)
{
    return QDir(options.value(QStringLiteral("data"))).absolutePath();
}

int repeatOption(const QCommandLineParser &options)
{
    return std::max(1, options.value(QStringLiteral("repeat")).toInt());
}

double msSince(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

long peakRssKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

} // namespace bench
