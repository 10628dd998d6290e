// The shader pass of an editor start on a (generated) project: the engine
// switches shader precompiling on and runs updates until every material it
// scheduled is compiled, as the editor does after it starts. The starts of
// one round share a cache folder: the first compiles every material, the
// later ones find them all in the cache. Each start is measured against the
// least any start has to do, done by plain code here on the same files: read
// the cache file once, resolve each material's declarations once and look
// its program line up in a set (the first start also writes the file once,
// synced). The two sides take turns at going first. Checked: after each start the cache holds every
// material's line exactly once, and a start that compiled nothing left the
// file's bytes and time as they were.
//
//   bench_shader_cache --data DIR [--starts 3] [--repeat 3] [--max-steps N]
//   bench_shader_cache --assets N ...   (writes a project of N assets first)
//
// --max-steps caps the engine updates of a pass (for a slow engine; the
// check of the cache is then left out). Prints the median of each start and
// a last line ("RESULT ...") for scripts/bench.

#include "bench_engine.h"
#include "project_generator.h"

#include <velmora/Engine.h>
#include <velmora/Materials.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace {

using bench::median;

double cpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Bytes this process has written so far ("wchar" of /proc/self/io).
long long bytesWritten()
{
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : io.readAll().split('\n')) {
        if (line.startsWith("wchar:"))
            return line.mid(6).trimmed().toLongLong();
    }
    return 0;
}

using Entries = Velmora::Vector<Velmora::Material::Entry>;

// One kind of a material's resolved declarations as "name=value;" text:
// names in order of first declaration from the top of the parent chain, each
// value from the nearest material that declares it (states as numbers).
void appendResolved(const std::vector<const Velmora::Material *> &chain,
                    const Entries &(Velmora::Material::*own)() const, bool numbers, std::string &text)
{
    std::unordered_map<std::string, const Velmora::Material::Entry *> nearest;
    for (auto material = chain.rbegin(); material != chain.rend(); ++material) {
        for (const Velmora::Material::Entry &entry : ((*material)->*own)())
            nearest[entry.name.std()] = &entry;
    }
    std::unordered_set<std::string> named;
    for (auto material = chain.rbegin(); material != chain.rend(); ++material) {
        for (const Velmora::Material::Entry &entry : ((*material)->*own)()) {
            if (!named.insert(entry.name.std()).second)
                continue;
            const Velmora::String &value = nearest[entry.name.std()]->value;
            text += entry.name.std() + "=" + (numbers ? std::to_string(std::atoi(value.get())) : value.std()) + ";";
        }
    }
}

// The line the engine keeps for a material's compiled program: its GUID, its
// name and the hash of its resolved declarations; each kind resolved once.
std::string programLine(const Velmora::Ptr<Velmora::Material> &material)
{
    std::vector<const Velmora::Material *> chain{material.get()};
    std::vector<Velmora::Ptr<Velmora::Material>> keep;
    for (Velmora::Ptr<Velmora::Material> parent = material->getParent(); parent && keep.size() < 64;
         parent = parent->getParent()) {
        if (std::find(chain.begin(), chain.end(), parent.get()) != chain.end())
            break;
        keep.push_back(parent);
        chain.push_back(parent.get());
    }
    std::string resolved;
    appendResolved(chain, &Velmora::Material::getOwnParameters, false, resolved);
    appendResolved(chain, &Velmora::Material::getOwnStates, true, resolved);
    appendResolved(chain, &Velmora::Material::getOwnTextures, false, resolved);
    std::string name = *material->getName() ? material->getName() : "-";
    std::replace_if(
            name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }, '?');
    return Velmora::String::format("%s %s %08x", material->getGUID().getString().get(), name.c_str(),
                                   Velmora::String(resolved).hash())
            .std();
}

std::vector<std::string> fileLines(const QString &path)
{
    QFile file(path);
    std::vector<std::string> lines;
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (!line.isEmpty())
            lines.push_back(line.toStdString());
    }
    return lines;
}

struct Pass
{
    double cpu_ms = 0;
    double wall_ms = 0;
    int compiled = 0;
    long long written = 0;
};

// What any start has to do: read the cache file once and look every
// material's program line up in a set; the milliseconds (processor time).
// Writes the lines of what is missing to a file of its own when some are,
// synced. The materials' lines go to lines.
double baseline(const QString &cache, const QString &scratch, std::vector<std::string> &lines, int *missing)
{
    const double start = cpuMs();
    lines.clear();
    for (int i = 0; i < Velmora::Materials::getNumMaterials(); ++i)
        lines.push_back(programLine(Velmora::Materials::getMaterial(i)));
    QFile file(cache);
    QByteArray data;
    if (file.open(QIODevice::ReadOnly))
        data = file.readAll();
    std::unordered_set<std::string> held;
    for (const QByteArray &line : data.split('\n'))
        held.insert(line.toStdString());
    *missing = 0;
    for (const std::string &line : lines) {
        if (!held.count(line)) {
            data.append(line.data(), int(line.size())).append('\n');
            ++*missing;
        }
    }
    if (*missing > 0) {
        const int fd = ::open(QFile::encodeName(scratch).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd >= 0) {
            const bool whole = ::write(fd, data.constData(), size_t(data.size())) == ssize_t(data.size());
            if (!whole || ::fsync(fd) != 0)
                std::fprintf(stderr, "bench_shader_cache: the baseline's write failed\n");
            ::close(fd);
        }
    }
    return cpuMs() - start;
}

Pass enginePass(int max_steps)
{
    Pass pass;
    const long long written = bytesWritten();
    QElapsedTimer timer;
    timer.start();
    const double start = cpuMs();
    Velmora::Materials::setPrecompileAllShaders(true);
    pass.compiled = Velmora::Materials::getNumPendingCompiles();
    Velmora::Engine *engine = Velmora::Engine::get();
    for (int step = 0; step < max_steps && Velmora::Materials::getNumPendingCompiles() > 0; ++step)
        engine->update();
    pass.cpu_ms = cpuMs() - start;
    pass.wall_ms = bench::msSince(timer);
    pass.written = bytesWritten() - written;
    return pass;
}

// The cache holds every material's line once.
bool cacheIsWhole(const QString &cache, const std::vector<std::string> &expected)
{
    const std::vector<std::string> lines = fileLines(cache);
    std::unordered_set<std::string> unique(lines.begin(), lines.end());
    if (unique.size() != lines.size()) {
        std::fprintf(stderr, "bench_shader_cache: the cache holds %zu lines, %zu of them distinct\n", lines.size(),
                     unique.size());
        return false;
    }
    for (size_t i = 0; i < expected.size(); ++i) {
        if (!unique.count(expected[i])) {
            std::fprintf(stderr, "bench_shader_cache: the cache lacks material %zu\n", i);
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser options;
    bench::addDataAndRepeatOptions(options, QStringLiteral("Measured rounds."));
    options.addOption({QStringLiteral("starts"), QStringLiteral("Starts on one cache."), QStringLiteral("n"),
                       QStringLiteral("3")});
    options.addOption(
            {QStringLiteral("assets"), QStringLiteral("Generate a project of n assets."), QStringLiteral("n")});
    options.addOption({QStringLiteral("max-steps"), QStringLiteral("Most engine updates of a pass."),
                       QStringLiteral("n"), QStringLiteral("2000000000")});
    options.process(app);
    QTemporaryDir work;
    QString data = bench::dataOption(options);
    if (options.isSet(QStringLiteral("assets"))) {
        depsbench::GeneratorOptions project;
        project.assets = std::max(100, options.value(QStringLiteral("assets")).toInt());
        data = work.path() + QStringLiteral("/data");
        QString error;
        if (!depsbench::ProjectGenerator(project).write(data, work.path() + QStringLiteral("/truth.tsv"), &error)) {
            std::fprintf(stderr, "bench_shader_cache: %s\n", qPrintable(error));
            return 1;
        }
    }
    if (!QFileInfo(data).isDir()) {
        std::fprintf(stderr, "bench_shader_cache: --data DIR or --assets N is needed\n");
        return 2;
    }
    const int starts = std::max(2, options.value(QStringLiteral("starts")).toInt());
    const int repeat = bench::repeatOption(options);
    const int max_steps = std::max(1, options.value(QStringLiteral("max-steps")).toInt());
    const bool capped = options.isSet(QStringLiteral("max-steps"));

    // [start] -> the measured values of every round.
    const size_t n = size_t(starts);
    std::vector<std::vector<double>> engine_ms(n), wall_ms(n), baseline_ms(n), written_kb(n);
    std::vector<int> compiled(n), materials(n);
    bool checked = true;
    for (int r = 0; r < repeat; ++r) {
        const QString home = work.path() + QStringLiteral("/round%1").arg(r);
        // The baseline starts from the same cache as the engine: a copy of
        // the cache as it was before the engine's pass.
        const QString before = home + QStringLiteral("/before.cache");
        const QString scratch = home + QStringLiteral("/baseline.cache");
        for (int s = 0; s < starts; ++s) {
            if (!bench::startEngine(argv[0], home, data))
                return 1;
            const int count = Velmora::Materials::loadMaterials();
            std::vector<std::string> lines;
            const bool debug = Velmora::Engine::get()->getBuildConfiguration() == 0;
            const QString cache = home + QStringLiteral("/cache/")
                    + (debug ? QStringLiteral("shader_gl_debug.cache") : QStringLiteral("shader_gl.cache"));
            QFile::remove(before);
            if (QFileInfo::exists(cache) && !QFile::copy(cache, before))
                return 1;
            const QDateTime old_time = QFileInfo(cache).lastModified();
            const QByteArray old_content = [&] {
                QFile file(cache);
                return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
            }();

            Pass pass;
            int missing = 0;
            double base = 0;
            for (int turn = 0; turn < 2; ++turn) {
                if ((turn == 0) == (r % 2 == 0))
                    base = baseline(before, scratch, lines, &missing);
                else
                    pass = enginePass(max_steps);
            }
            if (!capped) {
                if (pass.compiled != missing) {
                    std::fprintf(stderr, "bench_shader_cache: start %d compiled %d materials, %d were missing\n", s + 1,
                                 pass.compiled, missing);
                    checked = false;
                }
                checked = cacheIsWhole(cache, lines) && checked;
                if (pass.compiled == 0) {
                    QFile file(cache);
                    const bool same = file.open(QIODevice::ReadOnly) && file.readAll() == old_content
                            && QFileInfo(cache).lastModified() == old_time;
                    if (!same)
                        std::fprintf(stderr, "bench_shader_cache: start %d compiled nothing and wrote the cache\n",
                                     s + 1);
                    checked = checked && same;
                }
            }
            Velmora::Engine::shutdown();
            engine_ms[size_t(s)].push_back(pass.cpu_ms);
            wall_ms[size_t(s)].push_back(pass.wall_ms);
            baseline_ms[size_t(s)].push_back(base);
            written_kb[size_t(s)].push_back(double(pass.written) / 1024.0);
            compiled[size_t(s)] = pass.compiled;
            materials[size_t(s)] = count;
            std::printf("round %d (%s first), start %d: %d of %d materials compiled; engine %.1f ms processor "
                        "(%.1f ms wall, %.0f KiB written), baseline %.1f ms\n",
                        r + 1, r % 2 == 0 ? "baseline" : "engine", s + 1, pass.compiled, count, pass.cpu_ms,
                        pass.wall_ms, double(pass.written) / 1024.0, base);
        }
    }
    std::printf("RESULT shaders materials=%d", materials[0]);
    for (int s = 0; s < starts; ++s) {
        const double engine = median(engine_ms[size_t(s)]);
        const double base = median(baseline_ms[size_t(s)]);
        std::printf(" start%d_compiled=%d start%d_ms=%.1f start%d_wall_ms=%.1f start%d_written_kb=%.0f "
                    "start%d_baseline_ms=%.1f start%d_ratio=%.3f",
                    s + 1, compiled[size_t(s)], s + 1, engine, s + 1, median(wall_ms[size_t(s)]), s + 1,
                    median(written_kb[size_t(s)]), s + 1, base, s + 1, base > 0 ? engine / base : 0.0);
    }
    const char *check = checked ? "ok" : "FAILED";
    std::printf(" check=%s peak_mb=%.0f\n", capped ? "skipped" : check, double(bench::peakRssKb()) / 1024.0);
    return checked ? 0 : 1;
}
