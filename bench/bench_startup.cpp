// Start-up of the editor on a (generated) project, against the least that
// any start-up has to do: one single-threaded read of every .meta file of
// the data folder.
//
//   bench_startup --data DIR --editor PROGRAM [--repeat 3]
//
// The editor runs offscreen with "-quit_after_frames 1"; its time is the
// time from starting the process to the moment its first frame is done (the
// engine's "frames done" log line). It starts in three ways: with the editor
// setting "precompile all shaders" on (the default) and a shader cache that
// holds every material, with it on and no shader cache, and with it off.
// Precompiling runs behind the frames, so the first frame should come as
// soon with it on as with it off. Each round runs the read and the three
// editor starts once, in an order that shifts by one every round, after one
// untimed run of each has filled the page cache. Reports the median times,
// the ratio against the read, the median of the rounds' ratios of the starts
// with the setting on against the one with it off, and the editor's peak
// memory; the last line ("RESULT ...") is for scripts/bench.

#include "bench_engine.h"

#include <velmora/Engine.h>
#include <velmora/Materials.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using bench::median;

std::vector<std::string> metaFiles(const QString &data)
{
    std::vector<std::string> files;
    QDirIterator it(data, {QStringLiteral("*.meta")}, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files.push_back(QFile::encodeName(it.next()).toStdString());
    std::sort(files.begin(), files.end());
    return files;
}

// Opens and reads every file once, on this thread; the milliseconds.
double readAll(const std::vector<std::string> &files, long long *bytes)
{
    QElapsedTimer timer;
    timer.start();
    std::vector<char> buffer(1 << 16);
    long long total = 0;
    for (const std::string &path : files) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        ssize_t n = 0;
        while ((n = ::read(fd, buffer.data(), buffer.size())) > 0)
            total += n;
        ::close(fd);
    }
    *bytes = total;
    return double(timer.nsecsElapsed()) / 1e6;
}

// How an editor run starts: its home folder (settings and cache) and,
// with the setting on, the shader cache it finds.
struct EditorSide
{
    const char *name;
    QString home;
    bool precompile;
    QByteArray shader_cache; // with precompile: what the cache file holds before the run; empty: no file
};

// Writes the shader cache of every material of the data folder with the
// engine in this process, as a start that compiled them all leaves it; its
// name and contents, or false.
bool fullShaderCache(const char *program, const QString &scratch, const QString &data, QString *name,
                     QByteArray *contents)
{
    if (!bench::startEngine(program, scratch, data))
        return false;
    Velmora::Materials::loadMaterials();
    Velmora::Vector<Velmora::Ptr<Velmora::Material>> all;
    for (int i = 0; i < Velmora::Materials::getNumMaterials(); ++i)
        all.append(Velmora::Materials::getMaterial(i));
    Velmora::Materials::compileShaders(all);
    const bool debug = Velmora::Engine::get()->getBuildConfiguration() == 0;
    Velmora::Engine::shutdown();
    *name = debug ? QStringLiteral("shader_gl_debug.cache") : QStringLiteral("shader_gl.cache");
    QFile file(scratch + QStringLiteral("/cache/") + *name);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    *contents = file.readAll();
    return !contents->isEmpty() || all.isEmpty();
}

// Puts the side's settings and shader cache in place.
bool prepare(const EditorSide &side, const QString &cache_name)
{
    const QString config = side.home + QStringLiteral("/config/Velmora");
    const QString cache = side.home + QStringLiteral("/cache/") + cache_name;
    QDir().mkpath(config);
    QDir().mkpath(side.home + QStringLiteral("/cache"));
    QFile settings(config + QStringLiteral("/Editor.conf"));
    if (!settings.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    settings.write(side.precompile ? "[editor]\nprecompile_all_shaders=true\n"
                                   : "[editor]\nprecompile_all_shaders=false\n");
    settings.close();
    QFile::remove(cache);
    if (side.shader_cache.isEmpty())
        return true;
    QFile file(cache);
    return file.open(QIODevice::WriteOnly) && file.write(side.shader_cache) == side.shader_cache.size();
}

// One editor run; the milliseconds to its first frame, or a negative value
// when it did not get there.
double runEditor(const QString &editor, const QString &data, const QString &home)
{
    QDir().mkpath(home + QStringLiteral("/config"));
    QDir().mkpath(home + QStringLiteral("/runtime"));
    QFile::setPermissions(home + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home + QStringLiteral("/runtime"));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer timer;
    timer.start();
    process.start(editor,
                  {QStringLiteral("-data_path"), data + QLatin1Char('/'), QStringLiteral("-quit_after_frames"),
                   QStringLiteral("1"), QStringLiteral("-log_path"), home + QStringLiteral("/log.txt"),
                   QStringLiteral("-cache_path"), home + QStringLiteral("/cache/")});
    if (!process.waitForStarted(30000))
        return -1;
    QByteArray output;
    double first_frame = -1;
    while (first_frame < 0 && process.state() != QProcess::NotRunning) {
        process.waitForReadyRead(100);
        output += process.readAll();
        if (output.contains("frames done, quitting"))
            first_frame = double(timer.nsecsElapsed()) / 1e6;
        if (timer.elapsed() > 600000)
            break;
    }
    if (!process.waitForFinished(600000))
        process.kill();
    output += process.readAll();
    if (first_frame < 0)
        std::fprintf(stderr, "bench_startup: the editor did not draw its first frame:\n%s\n",
                     output.right(2000).constData());
    return first_frame;
}

} // namespace

int main(int argc, char **argv)
{
    // The editor it starts, and the two threads the editor needs besides.
    if (const int code = bench::secureThreads("bench_startup", 3))
        return code;
    QCoreApplication app(argc, argv);
    QCommandLineParser options;
    bench::addDataAndRepeatOptions(options, QStringLiteral("Measured rounds."));
    options.addOption({QStringLiteral("editor"), QStringLiteral("Editor program."), QStringLiteral("file")});
    options.process(app);
    const QString data = bench::dataOption(options);
    const QString editor = options.value(QStringLiteral("editor"));
    if (!QFileInfo(data).isDir() || !QFileInfo(editor).isExecutable()) {
        std::fprintf(stderr, "bench_startup: --data DIR and --editor PROGRAM are needed\n");
        return 2;
    }
    const int repeat = bench::repeatOption(options);
    QTemporaryDir work;

    QString cache_name;
    QByteArray full_cache;
    if (!fullShaderCache(argv[0], work.path() + QStringLiteral("/filler"), data, &cache_name, &full_cache)) {
        std::fprintf(stderr, "bench_startup: the shader cache of the project cannot be made\n");
        return 1;
    }
    std::vector<EditorSide> sides{
            {"on, full cache", work.path() + QStringLiteral("/on-full"), true, full_cache},
            {"on, no cache", work.path() + QStringLiteral("/on-new"), true, QByteArray()},
            {"off", work.path() + QStringLiteral("/off"), false, QByteArray()},
    };

    const std::vector<std::string> files = metaFiles(data);
    long long bytes = 0;
    readAll(files, &bytes);
    for (const EditorSide &side : sides) {
        if (!prepare(side, cache_name) || runEditor(editor, data, side.home) < 0)
            return 1;
    }

    // Turn 0 is the read, turn k the start of sides[k - 1].
    const size_t turns = sides.size() + 1;
    std::vector<std::vector<double>> times(turns);
    bool checked = true;
    for (int r = 0; r < repeat; ++r) {
        for (size_t t = 0; t < turns; ++t) {
            const size_t turn = (t + size_t(r)) % turns;
            if (turn == 0) {
                times[0].push_back(readAll(files, &bytes));
                continue;
            }
            const EditorSide &side = sides[turn - 1];
            if (!prepare(side, cache_name))
                return 1;
            const double ms = runEditor(editor, data, side.home);
            if (ms < 0)
                return 1;
            times[turn].push_back(ms);
            // A start on a full cache compiles and writes nothing.
            QFile cache(side.home + QStringLiteral("/cache/") + cache_name);
            if (!side.shader_cache.isEmpty()
                && (!cache.open(QIODevice::ReadOnly) || cache.readAll() != side.shader_cache)) {
                std::fprintf(stderr, "bench_startup: a start on a full shader cache changed it\n");
                checked = false;
            }
        }
        std::printf("round %d: read %.0f ms", r + 1, times[0].back());
        for (size_t k = 0; k < sides.size(); ++k)
            std::printf(", %s %.0f ms", sides[k].name, times[k + 1].back());
        std::printf(" (first: %s)\n", r % int(turns) == 0 ? "read" : sides[size_t(r) % turns - 1].name);
    }
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    // On against off round by round: the pairs keep the ratio when the
    // machine's speed drifts between rounds.
    const auto against_off = [&times](size_t side) {
        std::vector<double> ratios;
        for (size_t r = 0; r < times[side].size(); ++r)
            ratios.push_back(times[side][r] / times[3][r]);
        return median(ratios);
    };
    const double baseline = median(times[0]);
    const double on_full = median(times[1]);
    const double on_new = median(times[2]);
    const double off = median(times[3]);
    std::printf("%zu meta files (%.1f MB), %d rounds: one read of each %.0f ms; editor to its first frame with "
                "precompiling on %.0f ms (full shader cache), %.0f ms (none), off %.0f ms; on against the read "
                "%.2f; on against off, median of the rounds %.3f (full cache), %.3f (none); editor peak memory "
                "%.0f MB; check %s\n",
                files.size(), double(bytes) / 1048576.0, repeat, baseline, on_full, on_new, off, on_full / baseline,
                against_off(1), against_off(2), usage.ru_maxrss / 1024.0, checked ? "ok" : "FAILED");
    std::printf(
            "RESULT startup metas=%zu rounds=%d baseline_ms=%.1f editor_ms=%.1f ratio=%.3f editor_new_cache_ms=%.1f "
            "editor_off_ms=%.1f ratio_on_off=%.3f ratio_new_cache_off=%.3f check=%s peak_mb=%.0f\n",
            files.size(), repeat, baseline, on_full, on_full / baseline, on_new, off, against_off(1), against_off(2),
            checked ? "ok" : "FAILED", usage.ru_maxrss / 1024.0);
    return checked ? 0 : 1;
}
