// Imports into a large project: the cost of each synchronous import of a new
// file (a captured frame, a saved impostor texture) on top of a project of
// many assets, with the engine's file system running.
//
//   bench_asset_import [--assets 20000] [--imports 100] [--repeat 3] [--work DIR] [--data DIR]
//
// Without --data a project of --assets texture assets (1,000 a folder) is
// generated in a new folder under --work (the system's temporary folder when
// not given), removed at the end. Each round makes --imports new files in a
// folder of its own inside the data folder and times two sides, taking turns
// at going first:
//   import    AssetManagerPrivate::importSync of each new file;
//   baseline  the same meta file written whole on its own (a temporary file,
//             synced, renamed: what every import has to pay), into a folder
//             beside the data folder on the same disk.
// Reports the medians over the rounds, the re-imports of the last round's
// files and one sorted listing after them; the last line ("RESULT ...") is
// for scripts.

#include "bench_engine.h"

#include <editor_core/EditorCore.h>
#include <editor_core/as/AssetTypes.h>
#include <editor_core/editor/AssetManagerPrivate.h>

#include <velmora/UGUID.h>
#include <velmora/Xml.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <vector>

#include <unistd.h>

namespace {

// Writes a small file; on failure says which and why on stderr.
bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(content) == content.size() && file.flush())
        return true;
    std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(path), qPrintable(file.errorString()));
    return false;
}

bool makeFolder(const QString &path)
{
    if (QDir().mkpath(path))
        return true;
    std::fprintf(stderr, "cannot make the folder %s\n", qPrintable(path));
    return false;
}

bool generate(const QString &data, int assets)
{
    for (int i = 0; i < assets; ++i) {
        const QString folder = data + QStringLiteral("textures_%1/").arg(i / 1000, 3, 10, QLatin1Char('0'));
        if (i % 1000 == 0 && !makeFolder(folder))
            return false;
        const QString file = folder + QStringLiteral("t%1.png").arg(i, 6, 10, QLatin1Char('0'));
        const QByteArray meta = "<asset version=\"1\" guid=\""
                + QByteArray(Velmora::UGUID::generate().getString().get()) + "\" type=\"6\"/>\n";
        if (!writeFile(file, "x") || !writeFile(file + QStringLiteral(".meta"), meta))
            return false;
    }
    return true;
}

QString frameName(int i)
{
    return QStringLiteral("frame_%1.png").arg(i, 4, 10, QLatin1Char('0'));
}

// The import side: every new file of the folder imported.
bool importAll(Editor::AssetManagerPrivate &manager, const QString &folder, int imports, double *ms)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < imports; ++i) {
        if (manager.importSync(folder + frameName(i)).isEmpty()) {
            std::fprintf(stderr, "import of %s failed\n", qPrintable(folder + frameName(i)));
            return false;
        }
    }
    *ms = bench::msSince(timer);
    return true;
}

// The baseline side: the meta file an import writes, written on its own.
bool writeMetasAlone(const QString &folder, int imports, double *ms)
{
    const int type = int(as::typeByExtension(QStringLiteral("png")));
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < imports; ++i) {
        Velmora::Xml xml("asset");
        xml.setIntArg("version", 1);
        xml.setArg("guid", Velmora::UGUID::generate().getString().get());
        xml.setIntArg("type", type);
        xml.setIntArg("excluded", 0);
        const QString path = folder + frameName(i) + QStringLiteral(".meta");
        if (!xml.save(path.toUtf8().constData())) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return false;
        }
    }
    *ms = bench::msSince(timer);
    return true;
}

struct Rounds
{
    std::vector<double> import_ms;
    std::vector<double> baseline_ms;
    QString last_frames; // the folder of the last round's imported files
};

// Runs the rounds; each makes its new files first and leaves its folders
// behind only for the last round's re-imports.
bool runRounds(Editor::AssetManagerPrivate &manager, const QString &data, const QString &baseline_root, int imports,
               int repeat, Rounds *rounds)
{
    const qint64 pid = QCoreApplication::applicationPid();
    for (int round = 0; round < repeat; ++round) {
        const QString frames = data + QStringLiteral("bench_frames_%1_%2/").arg(pid).arg(round);
        const QString baseline = baseline_root + QStringLiteral("round_%1/").arg(round);
        if (!makeFolder(frames) || !makeFolder(baseline))
            return false;
        for (int i = 0; i < imports; ++i) {
            if (!writeFile(frames + frameName(i), "x"))
                return false;
        }
        double import_ms = 0.0;
        double baseline_ms = 0.0;
        const bool baseline_first = round % 2 == 0;
        // Each side starts on a written-out disk: the first sync of a side
        // would otherwise also write out the new files and the other side's.
        ::sync();
        if (baseline_first && !writeMetasAlone(baseline, imports, &baseline_ms))
            return false;
        ::sync();
        if (!importAll(manager, frames, imports, &import_ms))
            return false;
        ::sync();
        if (!baseline_first && !writeMetasAlone(baseline, imports, &baseline_ms))
            return false;
        rounds->import_ms.push_back(import_ms);
        rounds->baseline_ms.push_back(baseline_ms);
        QDir(baseline).removeRecursively();
        if (!rounds->last_frames.isEmpty())
            QDir(rounds->last_frames).removeRecursively();
        rounds->last_frames = frames;
    }
    return true;
}

struct Arguments
{
    int assets = 20000;
    int imports = 100;
    int repeat = 3;
    QString work;
    QString data;
};

bool parseArguments(QCoreApplication &app, Arguments *arguments)
{
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({QStringLiteral("assets"), QStringLiteral("Assets of the generated project."), QStringLiteral("n"),
                      QStringLiteral("20000")});
    parser.addOption({QStringLiteral("imports"), QStringLiteral("Files imported in each round."), QStringLiteral("n"),
                      QStringLiteral("100")});
    parser.addOption({QStringLiteral("repeat"), QStringLiteral("Rounds of both sides."), QStringLiteral("n"),
                      QStringLiteral("3")});
    parser.addOption({QStringLiteral("work"), QStringLiteral("Folder for the generated project and the baseline."),
                      QStringLiteral("dir"), QDir::tempPath()});
    parser.addOption({QStringLiteral("data"), QStringLiteral("An existing data folder (it gets a frames folder)."),
                      QStringLiteral("dir")});
    parser.process(app);
    arguments->assets = parser.value(QStringLiteral("assets")).toInt();
    arguments->imports = parser.value(QStringLiteral("imports")).toInt();
    arguments->repeat = parser.value(QStringLiteral("repeat")).toInt();
    arguments->work = parser.value(QStringLiteral("work"));
    arguments->data = parser.value(QStringLiteral("data"));
    if (arguments->assets < 0 || arguments->imports < 1 || arguments->repeat < 1 || arguments->work.isEmpty()) {
        std::fprintf(stderr, "--assets needs a number, --imports and --repeat a positive one, --work a folder\n");
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Arguments arguments;
    if (!parseArguments(app, &arguments))
        return 2;

    // The run's own folder: nothing is ever written outside it, or the data
    // folder that was given.
    if (!makeFolder(arguments.work))
        return 1;
    QTemporaryDir temp(QDir(arguments.work).absoluteFilePath(QStringLiteral("bench_asset_import-XXXXXX")));
    if (!temp.isValid()) {
        std::fprintf(stderr, "cannot make a folder under %s: %s\n", qPrintable(arguments.work),
                     qPrintable(temp.errorString()));
        return 1;
    }
    QString data = arguments.data;
    if (data.isEmpty()) {
        data = temp.path() + QStringLiteral("/data/");
        std::printf("generating %d assets...\n", arguments.assets);
        std::fflush(stdout);
        if (!makeFolder(data) || !generate(data, arguments.assets)) {
            std::fprintf(stderr, "cannot write the project under %s\n", qPrintable(temp.path()));
            return 1;
        }
    }
    if (!data.endsWith(QLatin1Char('/')))
        data += QLatin1Char('/');

    if (!bench::startEngine(argv[0], temp.path() + QStringLiteral("/home"), data))
        return 1;
    EditorCore::registerMetaTypes();
    Editor::AssetManagerPrivate manager;
    QSignalSpy initialized(&manager, &Editor::AssetManagerPrivate::initialized);
    manager.init();
    if (!initialized.wait(600000)) {
        std::fprintf(stderr, "the scan did not end\n");
        return 1;
    }
    const int before = manager.getNumAssets();

    Rounds rounds;
    const bool ran = runRounds(manager, data, temp.path() + QStringLiteral("/baseline/"), arguments.imports,
                               arguments.repeat, &rounds);
    double reimport_ms = 0.0;
    if (ran) {
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < arguments.imports; ++i)
            manager.importSync(rounds.last_frames + frameName(i));
        reimport_ms = bench::msSince(timer);
    }
    QElapsedTimer timer;
    timer.start();
    const int listed = manager.assets().size();
    const double list_ms = bench::msSince(timer);
    if (!rounds.last_frames.isEmpty())
        QDir(rounds.last_frames).removeRecursively();
    if (!ran)
        return 1;
    const int expected = before + arguments.imports * arguments.repeat;
    if (listed != expected) {
        std::fprintf(stderr, "%d assets listed after the imports, expected %d\n", listed, expected);
        return 1;
    }

    const double import_each = bench::median(rounds.import_ms) / arguments.imports;
    const double baseline_each = bench::median(rounds.baseline_ms) / arguments.imports;
    const double ratio = baseline_each > 0.0 ? import_each / baseline_each : 0.0;
    std::printf("%d assets; an import of a new file: %.3f ms, the synced meta file alone: %.3f ms (ratio %.2f; "
                "median of %d rounds of %d); re-imports: %.1f ms; one sorted listing of %d: %.1f ms\n",
                before, import_each, baseline_each, ratio, arguments.repeat, arguments.imports, reimport_ms, listed,
                list_ms);
    std::printf("RESULT assets=%d imports=%d import_ms_each=%.3f baseline_ms_each=%.3f ratio=%.2f "
                "reimport_ms=%.1f list_ms=%.1f peak_mb=%ld\n",
                before, arguments.imports, import_each, baseline_each, ratio, reimport_ms, list_ms,
                bench::peakRssKb() / 1024);
    return 0;
}
