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

// A project with the cleaner's evidence, with as many source files as
// make num_files together with its scripts.
depsbench::GeneratorOptions projectOptions(int num_assets, int num_files, quint64 seed)
{
    depsbench::GeneratorOptions options;
    options.assets = num_assets;
    options.seed = seed;
    options.big_folder_files = std::min(5000, num_assets / 5);
    options.cleaner_evidence = true;
    // Scripts are 2 % of the assets (and half the worlds have one).
    const int scripts = num_assets / 50 + num_assets / 200;
    options.source_files = std::max(10, num_files - scripts);
    return options;
}

// The editor's managers over the started engine's data folder.
struct EditorManagers
{
    std::unique_ptr<Editor::AssetManagerPrivate> assets;
    std::unique_ptr<mat::Manager> materials;
    std::unique_ptr<prop::Manager> properties;
};

// Registers the managers as the editor does, once the asset manager's
// first scan is done.
EditorManagers startEditorManagers()
{
    EditorManagers editor;
    editor.assets = std::make_unique<Editor::AssetManagerPrivate>();
    depr::g.asset_manager = editor.assets.get();
    QEventLoop loop;
    QObject::connect(editor.assets.get(), &Editor::AssetManagerPrivate::initialized, &loop, &QEventLoop::quit);
    QTimer::singleShot(1200000, &loop, &QEventLoop::quit);
    editor.assets->init();
    loop.exec();
    editor.materials = std::make_unique<mat::Manager>(nullptr);
    editor.properties = std::make_unique<prop::Manager>(nullptr);
    depr::g.mat_manager = editor.materials.get();
    depr::g.prop_manager = editor.properties.get();
    return editor;
}

using Steps = std::vector<std::pair<const char *, int>>;

// Where the time goes: the first report at or past each step's end.
Steps collectionSteps(Editor::AssetManagerPrivate *assets)
{
    int scripts_and_materials = 0;
    for (const as::Asset &asset : assets->assets())
        scripts_and_materials += asset.getType() == AssetType::SCRIPT || asset.getType() == AssetType::MATERIAL;
    return {{"counting pass", 1},
            {"asset files", 1 + assets->getNumAssets() / 2},
            {"items and ignore list", 2 + assets->getNumAssets() / 2},
            {"indexes, local files, GUI skin", 5 + assets->getNumAssets() / 2},
            {"scripts and materials as text", 5 + assets->getNumAssets() / 2 + 5 * scripts_and_materials},
            {"source files", INT_MAX}};
}

// What the timed runs of one project give.
struct Runs
{
    std::vector<double> baselines;
    std::vector<double> collections;
    std::vector<double> step_ms; // of the last run
    qint64 bytes = 0; // read by the baseline
};

// Each run reads every file once, then collects into result.
Runs timeRuns(int repeat, const QStringList &folders, const EditorManagers &editor, const Steps &steps,
              cleaner::CollectorResult &result)
{
    Runs runs;
    runs.step_ms.assign(steps.size(), 0);
    QElapsedTimer timer;
    for (int r = 0; r < repeat; ++r) {
        timer.start();
        runs.bytes = readEverything(folders);
        runs.baselines.push_back(msSince(timer));
        size_t step = 0;
        double step_start = 0;
        timer.start();
        cleaner::Collector::collect(result, editor.assets.get(), editor.materials.get(), [&](int max, int value) {
            if (max > 1 && step < steps.size() && value >= steps[step].second && value < max) {
                runs.step_ms[step] = msSince(timer) - step_start;
                step_start = msSince(timer);
                ++step;
            }
            return true;
        });
        runs.collections.push_back(msSince(timer));
        if (step < steps.size())
            runs.step_ms[step] = msSince(timer) - step_start;
    }
    return runs;
}

// One collection with the plain one-name-at-a-time search; its time.
double timeNaiveSearch(const EditorManagers &editor, const cleaner::CollectorResult &result)
{
    cleaner::CollectorResult plain;
    cleaner::Collector::Options slow;
    slow.naive_search = true;
    QElapsedTimer timer;
    timer.start();
    cleaner::Collector::collect(
            plain, editor.assets.get(), editor.materials.get(), [](int, int) { return true; }, slow);
    const double ms = msSince(timer);
    if (plain.unused.size() != result.unused.size())
        std::printf("  the plain search gives %d unused assets, the automaton %d\n", plain.unused.size(),
                    result.unused.size());
    return ms;
}

// Generates one project, starts the editor's side on it and measures.
bool measure(int num_assets, int num_files, quint64 seed, int repeat, bool naive, Measurement &out)
{
    QTemporaryDir dir;
    const QString data = dir.path() + QStringLiteral("/project/data");
    const depsbench::GeneratorOptions options = projectOptions(num_assets, num_files, seed);
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
    EditorManagers editor = startEditorManagers();
    const QStringList folders{data, dir.path() + QStringLiteral("/project/source")};
    readEverything(folders); // the same warm file cache for everything below
    cleaner::CollectorResult result;
    const Steps steps = collectionSteps(editor.assets.get());
    const Runs runs = timeRuns(repeat, folders, editor, steps, result);
    for (size_t i = 0; i < steps.size(); ++i)
        std::printf("    %-32s %7.0f ms\n", steps[i].first, runs.step_ms[i]);
    out.naive_ms = naive ? timeNaiveSearch(editor, result) : 0;

    std::vector<QByteArray> found;
    for (const Velmora::UGUID &guid : result.unused)
        found.push_back(QByteArray(guid.getString().get()));
    out.assets = editor.assets->getNumAssets();
    out.source_files = options.source_files;
    out.bytes = runs.bytes;
    out.baseline_ms = median(runs.baselines);
    out.collect_ms = median(runs.collections);
    out.matches = result.success && found == generator.unusedAssets();
    std::printf("  read every file once: %.0f ms (%.0f MB); collection: %.0f ms (%.2fx); %d unused, truth %s\n",
                out.baseline_ms, out.bytes / 1048576.0, out.collect_ms, out.collect_ms / out.baseline_ms,
                result.unused.size(), out.matches ? "matches" : "DIFFERS");
    if (naive)
        std::printf("  plain search: %.0f ms (%.1fx the automaton)\n", out.naive_ms, out.naive_ms / out.collect_ms);

    bench::stopEditorManagers(editor.assets, editor.materials, editor.properties);
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
