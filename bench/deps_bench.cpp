// The dependency analysis benchmark. On a generated project (see
// project_generator.h) it measures, in one run:
//   - the baseline: reading exactly the files the analysis reads (each
//     parsed asset's file, the meta files of worlds and landscape maps, the
//     files of node runtimes) and parsing each with the XML library alone
//     (pugixml) on one thread, as the least any analysis that reads the
//     files has to do;
//   - the whole "Assets Using This One" analysis (settings, parser, analyzer,
//     combiner, as the viewer runs it) for the most used asset and for a
//     seeded pick of 1,000 assets, and "Assets Used" for the same 1,000;
// checks every result against the project's true dependency graph (every
// queried asset must be in the result), and reports the ratios to the
// baseline, the processor time of each query (all threads; on a busy
// machine it says more than the elapsed time) and the peak memory of the
// process (the truth is read for each check and dropped after it, so that
// the benchmark's own tables do not count in it). The baseline and the
// queries take turns at going first, so that neither always finds the
// files fresher in the page cache. The last line ("RESULT ...") is for
// scripts/bench.
//
//   deps_bench --data DIR [--truth FILE] [--queries 1000] [--seed S] [--repeat 3]
//   deps_bench --data DIR --growth N
//   deps_bench --generate --assets N [--seed S] [--data DIR]
//
// --growth runs only the large "Assets Using This One" query N times in a
// row and prints the process's resident memory (after giving free heap
// memory back to the system) after each, to show what queries leave behind.
// --generate writes the project first (into DIR, which must not exist, or
// into a temporary folder that is removed at exit). The exit code is 0 when
// every result matches the truth.

#include "bench_engine.h"
#include "editor_managers.h"
#include "project_generator.h"

#include <editor/interdependence/analysis_executor.h>
#include <editor/interdependence/custom_settings.h>
#include <editor/show_assets_dependencies/data/used_data.h>
#include <editor/show_assets_dependencies/data/using_this_one_data.h>
#include <editor/show_assets_dependencies/show_dependencies.h>
#include <editor/show_assets_dependencies/used_result_data.h>
#include <editor/show_assets_dependencies/using_this_one_result_data.h>

#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/AssetManagerPrivate.h>
#include <editor_core/mat/Manager.h>
#include <editor_core/prop/Manager.h>

#include <velmora/Base.h>
#include <velmora/Engine.h>
#include <velmora/HeapTuning.h>

#include <pugixml.hpp>

#include <QCommandLineParser>
#include <QCoreApplication>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#ifdef VELMORA_TUNE_GLIBC_HEAP
#include <malloc.h>
#endif
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <random>
#include <set>

namespace {

using bench::median;
using bench::msSince;
using bench::peakRssKb;

using depsbench::Edge;

struct Timing
{
    double total_ms = 0; // until the result is there and the executor is gone
    double setup_ms = 0; // building the executor (the resolver's path table)
    double parse_ms = 0;
    double analyze_ms = 0;
    double combine_ms = 0;
    double teardown_ms = 0; // the items' freeing, in the background after the executor is gone
    double cpu_ms = 0; // processor time of every thread of the process (teardown included)
};

// Processor time (user and system) the process has used so far.
double cpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0
            + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

// The files the analysis reads, in its order: the file of every asset of a
// type that has a parser module, the meta file of a world (parsed besides
// its file) and of a landscape map (parsed instead of it), and the file of
// every node runtime.
std::vector<std::string> analysedFiles(Editor::AssetManagerPrivate *assets)
{
    static const std::set<int> parsed{1, 4, 5, 8, 13, 14, 15, 16, 18};
    std::vector<std::string> files;
    const QString root = assets->rootPath();
    for (const as::Asset &asset : assets->assets()) {
        const int type = asset.getType();
        // Not asset.getFilePath(), which would make and keep every record's
        // absolute path and so weigh on the analysis's measured peak.
        const std::string file
                = (asset.isFilePathIn(root) ? root + asset.getRelativePath() : asset.getFilePath()).toStdString();
        if (parsed.count(type))
            files.push_back(file);
        if (type == 9 || type == 18)
            files.push_back(file + ".meta");
        for (const as::Runtime &runtime : asset.getRuntimes()) {
            if (runtime.getKind() == as::Runtime::KIND_NODE && runtime.getGUID() != asset.getGUID())
                files.push_back(assets->filePath(runtime.getGUID()).toStdString());
        }
    }
    return files;
}

// Reads and parses every file with pugixml alone (its own file reading);
// returns the milliseconds.
double baseline(const std::vector<std::string> &files, int *parsed)
{
    QElapsedTimer timer;
    timer.start();
    int ok = 0;
    for (const std::string &path : files) {
        pugi::xml_document document;
        if (document.load_file(path.c_str(), pugi::parse_default, pugi::encoding_utf8))
            ++ok;
    }
    *parsed = ok;
    return msSince(timer);
}

std::unique_ptr<inas::ResultData> runAnalysis(const Velmora::Vector<Velmora::UGUID> &guids, bool used, Timing *timing)
{
    const double cpu_before = cpuMs();
    QElapsedTimer timer;
    timer.start();
    std::unique_ptr<inas::Executor> executor = show_deps::createExecutor(guids, used);
    timing->setup_ms = msSince(timer);
    const int parser_end = 1 + std::max(1, executor->getSettings()->getAssets().size() / 2);
    const int analyzer_end = parser_end + 5;
    double parsed_at = 0;
    double analyzed_at = 0;
    std::unique_ptr<inas::ResultData> result = executor->execute([&](int, int value) {
        if (value == parser_end && parsed_at == 0)
            parsed_at = msSince(timer);
        if (value == analyzer_end && analyzed_at == 0)
            analyzed_at = msSince(timer);
        return true;
    });
    // The viewer has its result here, but the executor goes with the job on
    // the GUI thread, right after the result window is opened and before it
    // paints: what its destructor waits for counts for the user. The items
    // are freed after it, in the background; that is waited for here (and
    // counted apart), so that nothing measured next overlaps it.
    const double result_ms = msSince(timer);
    executor.reset();
    timing->total_ms = msSince(timer);
    inas::Executor::waitForFreedMemory();
    timing->teardown_ms = msSince(timer) - timing->total_ms;
    timing->cpu_ms = cpuMs() - cpu_before;
    timing->parse_ms = parsed_at - timing->setup_ms;
    timing->analyze_ms = analyzed_at - parsed_at;
    timing->combine_ms = result_ms - analyzed_at;
    return result;
}

// Resident memory of the process now, once free heap memory is given back.
double residentMbAfterTrim()
{
#ifdef VELMORA_TUNE_GLIBC_HEAP
    malloc_trim(0);
#endif
    long pages = 0;
    long resident = 0;
    if (FILE *statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

QByteArray text(const Velmora::UGUID &guid)
{
    return QByteArray(guid.getString().get());
}

// One use the result must show, in a compact form (the truth of a large
// project is large: kept as text in node-based containers it would weigh
// more than the analysis that is measured). For "Assets Used" the node
// fields stay 0 and -1.
struct Use
{
    Velmora::UGUID key; // the target ("Assets Using This One") or the user
    Velmora::UGUID other;
    int node = 0; // index of the node name in Truth::names; 0 for none
    int node_id = -1;

    bool operator<(const Use &o) const
    {
        if (key != o.key)
            return key < o.key;
        if (other != o.other)
            return other < o.other;
        return node != o.node ? node < o.node : node_id < o.node_id;
    }
    bool operator==(const Use &o) const
    {
        return key == o.key && other == o.other && node == o.node && node_id == o.node_id;
    }
};

// The project's true uses, sorted and without repeats: by target for
// "Assets Using This One", by user for "Assets Used".
struct Truth
{
    std::vector<QByteArray> names{QByteArray()};
    QHash<QByteArray, int> name_index{{QByteArray(), 0}};
    std::vector<Use> using_rows;
    std::vector<Use> used_rows;

    int nameIndex(const QByteArray &name)
    {
        const auto it = name_index.constFind(name);
        if (it != name_index.constEnd())
            return it.value();
        names.push_back(name);
        return name_index[name] = int(names.size() - 1);
    }
};

void sortUnique(std::vector<Use> &uses)
{
    std::sort(uses.begin(), uses.end());
    uses.erase(std::unique(uses.begin(), uses.end()), uses.end());
    uses.shrink_to_fit();
}

// Takes the edges over (they are dropped).
Truth makeTruth(std::vector<Edge> &edges)
{
    Truth truth;
    truth.using_rows.reserve(edges.size());
    truth.used_rows.reserve(edges.size());
    for (const Edge &edge : edges) {
        const Velmora::UGUID user(edge.user.constData());
        const Velmora::UGUID target(edge.target.constData());
        truth.using_rows.push_back(Use{target, user, truth.nameIndex(edge.node), edge.node_id});
        truth.used_rows.push_back(Use{user, target, 0, -1});
    }
    std::vector<Edge>().swap(edges);
    sortUnique(truth.using_rows);
    sortUnique(truth.used_rows);
    return truth;
}

// The target with the most distinct users (the first in text order among
// equals).
Velmora::UGUID mostUsed(const Truth &truth)
{
    Velmora::UGUID best;
    size_t best_users = 0;
    for (size_t i = 0; i < truth.using_rows.size();) {
        const Velmora::UGUID &target = truth.using_rows[i].key;
        size_t users = 0;
        const Velmora::UGUID *last_user = nullptr;
        for (; i < truth.using_rows.size() && truth.using_rows[i].key == target; ++i) {
            if (!last_user || *last_user != truth.using_rows[i].other)
                ++users;
            last_user = &truth.using_rows[i].other;
        }
        if (users > best_users) {
            best = target;
            best_users = users;
        }
    }
    return best;
}

// Compares the uses a result shows (keys: every main row, whether it has
// sub-rows or not) with the truth; prints the first differences. Counts a
// key whose uses differ or repeat, and a queried key without a main row.
int compare(std::vector<Use> actual, std::vector<Velmora::UGUID> keys, const std::vector<Use> &expected,
            const Velmora::Vector<Velmora::UGUID> &queried, const char *what)
{
    std::sort(actual.begin(), actual.end());
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    auto byKey = [](const std::vector<Use> &uses, const Velmora::UGUID &key) {
        return std::equal_range(uses.begin(), uses.end(), Use{key, Velmora::UGUID(), INT_MIN, INT_MIN},
                                [](const Use &a, const Use &b) { return a.key < b.key; });
    };
    int errors = 0;
    for (const Velmora::UGUID &key : keys) {
        const auto shown = byKey(actual, key);
        const auto wanted = byKey(expected, key);
        const bool repeats = std::adjacent_find(shown.first, shown.second) != shown.second;
        if (repeats || !std::equal(shown.first, shown.second, wanted.first, wanted.second)) {
            if (++errors <= 5)
                std::fprintf(stderr, "  mismatch for %s: %td %s, %td expected\n", text(key).constData(),
                             shown.second - shown.first, what, wanted.second - wanted.first);
        }
    }
    for (const Velmora::UGUID &guid : queried) {
        if (!std::binary_search(keys.begin(), keys.end(), guid)) {
            if (++errors <= 5)
                std::fprintf(stderr, "  %s was asked for and is missing from the result\n", text(guid).constData());
        }
    }
    return errors;
}

int checkUsing(const show_deps::UsingThisOneData &data, Truth &truth, const Velmora::Vector<Velmora::UGUID> &queried)
{
    std::vector<Use> actual;
    std::vector<Velmora::UGUID> keys;
    for (int r = 0; r < data.getNumRows(); ++r) {
        const Velmora::UGUID &target = data.getMainRow(r).guid;
        keys.push_back(target);
        const show_deps::UsingThisOneSubRow &sub_row = data.getSubRow(r);
        // The truth holds no edge from an asset to itself (a model's node
        // runtime naming the model), which the viewer lists.
        if (sub_row.guid.isEmpty() || sub_row.guid == target)
            continue;
        actual.push_back(Use{target, sub_row.guid, truth.nameIndex(sub_row.text.toUtf8()), sub_row.id});
    }
    return compare(std::move(actual), std::move(keys), truth.using_rows, queried, "rows");
}

int checkUsed(const show_deps::UsedData &data, const Truth &truth, const Velmora::Vector<Velmora::UGUID> &queried)
{
    std::vector<Use> actual;
    std::vector<Velmora::UGUID> keys;
    for (int r = 0; r < data.getNumRows(); ++r) {
        const Velmora::UGUID &user = data.getMainRow(r).guid;
        keys.push_back(user);
        const Velmora::UGUID &sub_guid = data.getSubRow(r).guid;
        if (!sub_guid.isEmpty() && sub_guid != user)
            actual.push_back(Use{user, sub_guid, 0, -1});
    }
    // Several rows may show one use ("Assets Used" lists an asset once per
    // path to it); the truth has it once.
    std::sort(actual.begin(), actual.end());
    actual.erase(std::unique(actual.begin(), actual.end()), actual.end());
    return compare(std::move(actual), std::move(keys), truth.used_rows, queried, "used");
}

bool waitForScan(Editor::AssetManagerPrivate *assets)
{
    QEventLoop loop;
    QObject::connect(assets, &Editor::AssetManagerPrivate::initialized, &loop, &QEventLoop::quit);
    QTimer::singleShot(600000, &loop, &QEventLoop::quit);
    assets->init();
    loop.exec();
    return assets->getNumAssets() > 0;
}

// The run with the median total; the ratio of the medians and of the best
// runs to the baseline's.
void report(const char *what, const std::vector<Timing> &runs, const std::vector<double> &baselines)
{
    std::vector<double> totals;
    for (const Timing &run : runs)
        totals.push_back(run.total_ms);
    const double middle = median(totals);
    const Timing *typical = &runs.front();
    for (const Timing &run : runs) {
        if (std::abs(run.total_ms - middle) < std::abs(typical->total_ms - middle))
            typical = &run;
    }
    const double best = *std::min_element(totals.begin(), totals.end());
    const double best_baseline = *std::min_element(baselines.begin(), baselines.end());
    std::printf("%-34s median %6.0f ms, ratio %.2f; best %6.0f ms, ratio %.2f  (setup %.0f, parse %.0f, analyze "
                "%.0f, combine %.0f ms, then teardown %.0f ms; processor %.0f ms)\n",
                what, middle, middle / median(baselines), best, best / best_baseline, typical->setup_ms,
                typical->parse_ms, typical->analyze_ms, typical->combine_ms, typical->teardown_ms, typical->cpu_ms);
}

// What the command line asks for.
struct Settings
{
    quint64 seed = 1;
    QString data_path;
    QString truth_path;
    bool generate = false;
    int assets = 0;
    int queries = 0;
    int repeat = 1;
    int growth = 0;
};

// Reads the command line (exits on --help or a bad option); the paths are
// still as given.
Settings parseCommandLine(const QCoreApplication &app)
{
    QCommandLineParser options;
    options.addHelpOption();
    options.addOption({QStringLiteral("data"), QStringLiteral("Data folder of the project."), QStringLiteral("dir")});
    options.addOption({QStringLiteral("truth"), QStringLiteral("Truth file (default: beside the data folder)."),
                       QStringLiteral("file")});
    options.addOption({QStringLiteral("generate"), QStringLiteral("Generate the project first.")});
    options.addOption({QStringLiteral("assets"), QStringLiteral("Assets to generate."), QStringLiteral("n"),
                       QStringLiteral("10000")});
    options.addOption({QStringLiteral("seed"), QStringLiteral("Seed of the generator and of the query pick."),
                       QStringLiteral("n"), QStringLiteral("1")});
    options.addOption({QStringLiteral("queries"), QStringLiteral("Assets of the large query."), QStringLiteral("n"),
                       QStringLiteral("1000")});
    options.addOption({QStringLiteral("repeat"), QStringLiteral("Measured repetitions."), QStringLiteral("n"),
                       QStringLiteral("3")});
    options.addOption({QStringLiteral("growth"),
                       QStringLiteral("Only run the large query N times, printing resident memory after each."),
                       QStringLiteral("n"), QStringLiteral("0")});
    options.process(app);

    Settings settings;
    settings.seed = options.value(QStringLiteral("seed")).toULongLong();
    settings.data_path = options.value(QStringLiteral("data"));
    settings.truth_path = options.value(QStringLiteral("truth"));
    settings.generate = options.isSet(QStringLiteral("generate"));
    settings.assets = options.value(QStringLiteral("assets")).toInt();
    settings.queries = options.value(QStringLiteral("queries")).toInt();
    settings.repeat = std::max(1, options.value(QStringLiteral("repeat")).toInt());
    settings.growth = options.value(QStringLiteral("growth")).toInt();
    return settings;
}

// The data folder defaults to one in scratch, the truth file to one beside
// the data folder.
void resolvePaths(Settings &settings, const QString &scratch)
{
    if (settings.data_path.isEmpty())
        settings.data_path = scratch + QStringLiteral("/data");
    settings.data_path = QDir(settings.data_path).absolutePath();
    if (settings.truth_path.isEmpty())
        settings.truth_path = QFileInfo(settings.data_path).absolutePath() + QStringLiteral("/truth.tsv");
}

bool generateProject(const Settings &settings)
{
    depsbench::GeneratorOptions generator_options;
    generator_options.assets = settings.assets;
    generator_options.seed = settings.seed;
    generator_options.big_folder_files = std::min(5000, generator_options.assets / 2);
    QElapsedTimer timer;
    timer.start();
    QString error;
    if (!depsbench::ProjectGenerator(generator_options).write(settings.data_path, settings.truth_path, &error)) {
        std::fprintf(stderr, "deps_bench: %s\n", qPrintable(error));
        return false;
    }
    std::printf("generated %d assets in %.1f s\n", generator_options.assets, msSince(timer) / 1000);
    return true;
}

// The truth is read for each check and dropped after it: kept through
// the queries, it would count in the peak memory measured for them.
class TruthFile
{
public:
    explicit TruthFile(const QString &path)
        : path_(path)
    {}

    bool read(Truth &truth, size_t *true_uses) const
    {
        std::vector<Edge> edges;
        QString error;
        if (!depsbench::ProjectGenerator::readTruth(path_, &edges, &error)) {
            std::fprintf(stderr, "deps_bench: %s\n", qPrintable(error));
            return false;
        }
        if (true_uses)
            *true_uses = edges.size();
        truth = makeTruth(edges);
        return true;
    }

    // A check of a result against the truth: the number of mismatches.
    template<class Check>
    int check(const Check &check) const
    {
        Truth truth;
        return read(truth, nullptr) ? check(truth) : 1;
    }

private:
    QString path_;
};

// The editor's side: engine, asset manager, materials and properties.
struct EditorSide
{
    std::unique_ptr<Editor::AssetManagerPrivate> assets;
    std::unique_ptr<mat::Manager> materials;
    std::unique_ptr<prop::Manager> properties;

    // Starts the engine with its home below home and scans the project;
    // false (said on stderr) when that fails.
    bool start(const QString &home, const QString &data_path)
    {
        if (!bench::startEngine("deps_bench", home, data_path))
            return false;
        assets = std::make_unique<Editor::AssetManagerPrivate>();
        depr::g.asset_manager = assets.get();
        if (!waitForScan(assets.get())) {
            std::fprintf(stderr, "deps_bench: no assets in %s\n", qPrintable(data_path));
            return false;
        }
        materials = std::make_unique<mat::Manager>(nullptr);
        properties = std::make_unique<prop::Manager>(nullptr);
        depr::g.mat_manager = materials.get();
        depr::g.prop_manager = properties.get();
        return true;
    }
    void stop() { bench::stopEditorManagers(assets, materials, properties); }
};

// Queries: the most used asset, and a seeded pick of assets.
struct Queries
{
    Velmora::Vector<Velmora::UGUID> one;
    Velmora::Vector<Velmora::UGUID> many;
    int num_many = 0;
};

Queries pickQueries(const Velmora::UGUID &most_used, Editor::AssetManagerPrivate *assets, const Settings &settings)
{
    Queries queries;
    queries.one.append(most_used);
    // A copy of every record: gone before the queries.
    Velmora::Vector<as::Asset> all = assets->assets();
    std::mt19937_64 random(settings.seed);
    std::shuffle(all.begin(), all.end(), random);
    queries.num_many = std::min(settings.queries, all.size());
    for (int i = 0; i < queries.num_many; ++i)
        queries.many.append(all[i].getGUID());
    return queries;
}

// The large "Assets Using This One" query growth times in a row, with the
// resident memory after each; the number of mismatches and failures.
int runGrowth(int growth, const Velmora::Vector<Velmora::UGUID> &many, const TruthFile &truth)
{
    std::printf("resident memory before the queries: %.1f MB\n", residentMbAfterTrim());
    int growth_errors = 0;
    for (int q = 1; q <= growth; ++q) {
        Timing timing;
        std::unique_ptr<inas::ResultData> result = runAnalysis(many, false, &timing);
        auto *using_result = dynamic_cast<show_deps::UsingThisOneResultData *>(result.get());
        if (!using_result) {
            std::fprintf(stderr, "deps_bench: no result for the large query\n");
            ++growth_errors;
            break;
        }
        if (q == 1)
            growth_errors += truth.check([&](Truth &t) { return checkUsing(*using_result->data(), t, many); });
        result.reset();
        std::printf("after query %2d: resident %.1f MB (%.0f ms, then teardown %.0f ms; processor %.0f ms)\n", q,
                    residentMbAfterTrim(), timing.total_ms, timing.teardown_ms, timing.cpu_ms);
    }
    std::printf("peak memory: %.0f MB\n", peakRssKb() / 1024.0);
    return growth_errors;
}

// What the repetitions measured, and what the first one checked.
struct Measurements
{
    std::vector<double> baselines;
    std::vector<Timing> using_one, using_many, used_many;
    int parsed = 0; // files the baseline parsed as XML
    int errors = 0;
    int rows_one = 0;
    int rows_many = 0;
};

// The typed result of a query, or null (said on stderr) when there is none.
template<class Result>
Result *resultAs(const std::unique_ptr<inas::ResultData> &result, const char *what)
{
    auto *typed = dynamic_cast<Result *>(result.get());
    if (!typed)
        std::fprintf(stderr, "deps_bench: no result for %s\n", what);
    return typed;
}

// One repetition: the baseline (first in even ones, last in odd ones) and
// the three queries; the first one also checks the results. A result is
// freed when the next query's result takes its place. False when a query
// has no result.
bool measureRepetition(int r, const Queries &queries, const std::vector<std::string> &files, const TruthFile &truth,
                       Measurements &m)
{
    if (r % 2 == 0)
        m.baselines.push_back(baseline(files, &m.parsed));

    Timing timing;
    std::unique_ptr<inas::ResultData> result = runAnalysis(queries.one, false, &timing);
    auto *using_result = resultAs<show_deps::UsingThisOneResultData>(result, "the most used asset");
    if (!using_result)
        return false;
    m.using_one.push_back(timing);
    if (r == 0) {
        m.rows_one = using_result->data()->getNumRows();
        m.errors += truth.check([&](Truth &t) { return checkUsing(*using_result->data(), t, queries.one); });
    }

    result = runAnalysis(queries.many, false, &timing);
    using_result = resultAs<show_deps::UsingThisOneResultData>(result, "the large query");
    if (!using_result)
        return false;
    m.using_many.push_back(timing);
    if (r == 0) {
        m.rows_many = using_result->data()->getNumRows();
        m.errors += truth.check([&](Truth &t) { return checkUsing(*using_result->data(), t, queries.many); });
    }

    result = runAnalysis(queries.many, true, &timing);
    auto *used_result = resultAs<show_deps::UsedResultData>(result, "\"Assets Used\"");
    if (!used_result)
        return false;
    m.used_many.push_back(timing);
    if (r == 0)
        m.errors += truth.check([&](Truth &t) { return checkUsed(*used_result->data(), t, queries.many); });
    if (r % 2 == 1)
        m.baselines.push_back(baseline(files, &m.parsed));
    return true;
}

void printSummary(const Measurements &m, int num_assets, size_t num_files, int num_queries, int repeat)
{
    const double baseline_ms = median(m.baselines);
    std::printf("baseline: %zu files the analysis reads, %d parsed as XML: median %.0f ms, best %.0f ms of %d runs\n",
                num_files, m.parsed, baseline_ms, *std::min_element(m.baselines.begin(), m.baselines.end()), repeat);
    report("Assets Using This One, 1 asset:", m.using_one, m.baselines);
    std::printf("%-34s %d rows\n", "", m.rows_one);
    report(qPrintable(QStringLiteral("Assets Using This One, %1 assets:").arg(num_queries)), m.using_many, m.baselines);
    std::printf("%-34s %d rows\n", "", m.rows_many);
    report(qPrintable(QStringLiteral("Assets Used, %1 assets:").arg(num_queries)), m.used_many, m.baselines);
    std::printf("peak memory: %.0f MB\n", peakRssKb() / 1024.0);
    std::printf("check against the truth: %s\n", m.errors == 0 ? "all results match" : "MISMATCHES");
    std::vector<double> many_totals;
    for (const Timing &run : m.using_many)
        many_totals.push_back(run.total_ms);
    std::printf("RESULT deps assets=%d files=%zu baseline_ms=%.1f using_many_ms=%.1f ratio=%.3f peak_mb=%.0f "
                "check=%s\n",
                num_assets, num_files, baseline_ms, median(many_totals), median(many_totals) / baseline_ms,
                peakRssKb() / 1024.0, m.errors == 0 ? "ok" : "MISMATCH");
}

} // namespace

int main(int argc, char **argv)
{
    // As the editor's main does, before any thread runs.
    Velmora::HeapTuning::boundArenaTops();
    QCoreApplication app(argc, argv);
    Settings settings = parseCommandLine(app);
    QTemporaryDir scratch;
    resolvePaths(settings, scratch.path());
    if (settings.generate && !generateProject(settings))
        return 2;
    const TruthFile truth(settings.truth_path);
    size_t true_uses = 0;
    Velmora::UGUID most_used;
    {
        Truth first;
        if (!truth.read(first, &true_uses))
            return 2;
        most_used = mostUsed(first);
    }

    QTemporaryDir home;
    QElapsedTimer startup;
    startup.start();
    EditorSide editor;
    if (!editor.start(home.path(), settings.data_path))
        return 2;
    const int num_assets = editor.assets->getNumAssets();
    std::printf("project: %d assets, %zu true uses; editor start-up %.1f s, memory %.0f MB\n", num_assets, true_uses,
                msSince(startup) / 1000, peakRssKb() / 1024.0);

    // Baseline, with the files in the page cache as they will be for the
    // analysis: one reading pass first, then the measured ones.
    const std::vector<std::string> files = analysedFiles(editor.assets.get());
    Measurements measurements;
    baseline(files, &measurements.parsed);
    const Queries queries = pickQueries(most_used, editor.assets.get(), settings);

    if (settings.growth > 0) {
        const int growth_errors = runGrowth(settings.growth, queries.many, truth);
        editor.stop();
        return growth_errors == 0 ? 0 : 1;
    }
    // Each repetition measures the baseline and the three queries one after
    // the other, so that a load change of the machine touches all of them.
    for (int r = 0; r < settings.repeat; ++r) {
        if (!measureRepetition(r, queries, files, truth, measurements))
            return 1;
    }
    printSummary(measurements, num_assets, files.size(), queries.num_many, settings.repeat);
    editor.stop();
    return measurements.errors == 0 ? 0 : 1;
}
