// The asset cleaner benchmark. On generated projects (see
// project_generator.h, with the cleaner's evidence: scripts, "ui" files and
// a "source" folder) it measures, in one run:
//   - the baseline: reading every file of the data and source folders once;
//   - the whole collection (counting pass, items, links, scripts, sources),
//     as the Cleaner window runs it, without the job queue;
// checks the unused list against the generator's truth, and reports the
// ratio to the baseline, the growth between project sizes and the peak
// memory of the process.
//
//   cleaner_bench [--assets 10000,100000] [--files 10000] [--seed S] [--repeat 3] [--naive]
//
// --assets takes one or more sizes; the number of source and script files
// grows with the size, reaching --files at the largest. Projects are
// written into a temporary folder that is removed at exit. --naive also
// times the plain one-name-at-a-time search (minutes on large projects).
// The exit code is 0 when every result matches the truth.

#include "bench_engine.h"
#include "editor_managers.h"
#include "project_generator.h"

#include <editor/cleaner/collector/collector.h>

#include <editor_core/AssetType.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/AssetManagerPrivate.h>
#include <editor_core/mat/Manager.h>
#include <editor_core/prop/Manager.h>

#include <velmora/Engine.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

using bench::median;
using bench::msSince;
using bench::peakRssKb;

// Reads every file below the folders once; returns the bytes read.
qint64 readEverything(const QStringList &folders)
{
    qint64 bytes = 0;
    for (const QString &folder : folders) {
        QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            if (file.open(QIODevice::ReadOnly))
                bytes += file.readAll().size();
        }
    }
    return bytes;
}

struct Measurement
{
    int assets = 0;
    int source_files = 0;
    double baseline_ms = 0;
    double collect_ms = 0;
    double naive_ms = 0;
    qint64 bytes = 0;
    bool matches = false;
};

// Generates one project, starts the editor's side on it and measures.
bool measure(int num_assets, int num_files, quint64 seed, int repeat, bool naive, Measurement &out)
{
    QTemporaryDir dir;
    const QString data = dir.path() + QStringLiteral("/project/data");
    depsbench::GeneratorOptions options;
    options.assets = num_assets;
    options.seed = seed;
    options.big_folder_files = std::min(5000, num_assets / 5);
    options.cleaner_evidence = true;
    // Scripts are 2 % of the assets (and half the worlds have one).
    const int scripts = num_assets / 50 + num_assets / 200;
    options.source_files = std::max(10, num_files - scripts);
    depsbench::ProjectGenerator generator(options);
    QString error;
    QElapsedTimer timer;
    timer.start();
    if (!generator.write(data, dir.path() + QStringLiteral("/truth.txt"), &error)) {
        std::fprintf(stderr, "cleaner_bench: %s\n", qPrintable(error));
        return false;
    }
    std::printf("%d assets, %d source files: generated in %.1f s\n", num_assets, options.source_files,
                msSince(timer) / 1000);

    if (!bench::startEngine("cleaner_bench", dir.path(), data))
        return false;
    auto assets = std::make_unique<Editor::AssetManagerPrivate>();
    depr::g.asset_manager = assets.get();
    QEventLoop loop;
    QObject::connect(assets.get(), &Editor::AssetManagerPrivate::initialized, &loop, &QEventLoop::quit);
    QTimer::singleShot(1200000, &loop, &QEventLoop::quit);
    assets->init();
    loop.exec();
    auto materials = std::make_unique<mat::Manager>(nullptr);
    auto properties = std::make_unique<prop::Manager>(nullptr);
    depr::g.mat_manager = materials.get();
    depr::g.prop_manager = properties.get();

    const QStringList folders{data, dir.path() + QStringLiteral("/project/source")};
    readEverything(folders); // the same warm file cache for everything below
    std::vector<double> baselines, collections, naive_runs;
    cleaner::CollectorResult result;
    // Where the time goes: the first report at or past each step's end.
    int scripts_and_materials = 0;
    for (const as::Asset &asset : assets->assets())
        scripts_and_materials += asset.getType() == AssetType::SCRIPT || asset.getType() == AssetType::MATERIAL;
    const std::vector<std::pair<const char *, int>> steps{
            {"counting pass", 1},
            {"asset files", 1 + assets->getNumAssets() / 2},
            {"items and ignore list", 2 + assets->getNumAssets() / 2},
            {"indexes, local files, GUI skin", 5 + assets->getNumAssets() / 2},
            {"scripts and materials as text", 5 + assets->getNumAssets() / 2 + 5 * scripts_and_materials},
            {"source files", INT_MAX}};
    std::vector<double> step_ms(steps.size(), 0);
    for (int r = 0; r < repeat; ++r) {
        timer.restart();
        out.bytes = readEverything(folders);
        baselines.push_back(msSince(timer));
        size_t step = 0;
        double step_start = 0;
        timer.restart();
        cleaner::Collector::collect(result, assets.get(), materials.get(), [&](int max, int value) {
            if (max > 1 && step < steps.size() && value >= steps[step].second && value < max) {
                step_ms[step] = msSince(timer) - step_start;
                step_start = msSince(timer);
                ++step;
            }
            return true;
        });
        collections.push_back(msSince(timer));
        if (step < steps.size())
            step_ms[step] = msSince(timer) - step_start;
    }
    for (size_t i = 0; i < steps.size(); ++i)
        std::printf("    %-32s %7.0f ms\n", steps[i].first, step_ms[i]);
    if (naive) {
        cleaner::CollectorResult plain;
        cleaner::Collector::Options slow;
        slow.naive_search = true;
        timer.restart();
        cleaner::Collector::collect(
                plain, assets.get(), materials.get(), [](int, int) { return true; }, slow);
        naive_runs.push_back(msSince(timer));
        if (plain.unused.size() != result.unused.size())
            std::printf("  the plain search gives %d unused assets, the automaton %d\n", plain.unused.size(),
                        result.unused.size());
    }

    std::vector<QByteArray> found;
    for (const Velmora::UGUID &guid : result.unused)
        found.push_back(QByteArray(guid.getString().get()));
    out.assets = assets->getNumAssets();
    out.source_files = options.source_files;
    out.baseline_ms = median(baselines);
    out.collect_ms = median(collections);
    out.naive_ms = naive_runs.empty() ? 0 : naive_runs.front();
    out.matches = result.success && found == generator.unusedAssets();
    std::printf("  read every file once: %.0f ms (%.0f MB); collection: %.0f ms (%.2fx); %d unused, truth %s\n",
                out.baseline_ms, out.bytes / 1048576.0, out.collect_ms, out.collect_ms / out.baseline_ms,
                result.unused.size(), out.matches ? "matches" : "DIFFERS");
    if (naive)
        std::printf("  plain search: %.0f ms (%.1fx the automaton)\n", out.naive_ms, out.naive_ms / out.collect_ms);

    bench::stopEditorManagers(assets, materials, properties);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({QStringLiteral("assets"), QStringLiteral("Project sizes, comma-separated."), QStringLiteral("N"),
                      QStringLiteral("10000,100000")});
    parser.addOption({QStringLiteral("files"), QStringLiteral("Source and script files of the largest project."),
                      QStringLiteral("N"), QStringLiteral("10000")});
    parser.addOption(
            {QStringLiteral("seed"), QStringLiteral("Generator seed."), QStringLiteral("S"), QStringLiteral("1")});
    parser.addOption({QStringLiteral("repeat"), QStringLiteral("Timed runs per size."), QStringLiteral("N"),
                      QStringLiteral("3")});
    parser.addOption({QStringLiteral("naive"), QStringLiteral("Also time the plain search.")});
    parser.process(app);

    std::vector<int> sizes;
    for (const QString &size : parser.value(QStringLiteral("assets")).split(QLatin1Char(',')))
        sizes.push_back(size.toInt());
    std::sort(sizes.begin(), sizes.end());
    const int files = parser.value(QStringLiteral("files")).toInt();
    std::vector<Measurement> results;
    bool ok = true;
    for (const int size : sizes) {
        if (size < 100) {
            std::fprintf(stderr, "cleaner_bench: a project needs at least 100 assets\n");
            return 2;
        }
        Measurement measurement;
        const int size_files = int(qint64(files) * size / sizes.back());
        if (!measure(size, size_files, parser.value(QStringLiteral("seed")).toULongLong(),
                     std::max(1, parser.value(QStringLiteral("repeat")).toInt()), parser.isSet(QStringLiteral("naive")),
                     measurement))
            return 2;
        ok = ok && measurement.matches;
        results.push_back(measurement);
    }
    if (results.size() > 1)
        std::printf("growth from %d to %d assets: %.1fx (baseline %.1fx)\n", results.front().assets,
                    results.back().assets, results.back().collect_ms / results.front().collect_ms,
                    results.back().baseline_ms / results.front().baseline_ms);
    std::printf("peak memory: %.0f MB\n", peakRssKb() / 1024.0);
    std::printf("check against the truth: %s\n", ok ? "all results match" : "MISMATCHES");
    return ok ? 0 : 1;
}
