#include "bench_engine.h"

#include <velmora/Engine.h>

#include <QCommandLineParser>
#include <QDir>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <sys/resource.h>

namespace bench {

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
