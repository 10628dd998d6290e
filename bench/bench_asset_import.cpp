// Imports into a large project: the cost of each synchronous import of a new
// file (a captured frame, a saved impostor texture) on top of a project of
// many assets, with the engine's file system running.
//
//   bench_asset_import [--assets 100000] [--imports 100] [--data DIR]
//
// Without --data a project of --assets texture assets (1,000 a folder) is
// generated in a temporary folder. Reports the time of the imports of new
// files, of re-importing the same files, and of one sorted listing after
// them; the last line ("RESULT ...") is for scripts.

#include "bench_engine.h"

#include <editor_core/EditorCore.h>
#include <editor_core/editor/AssetManagerPrivate.h>

#include <velmora/UGUID.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <cstdio>

namespace {

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

bool generate(const QString &data, int assets)
{
    for (int i = 0; i < assets; ++i) {
        const QString folder = data + QStringLiteral("textures_%1/").arg(i / 1000, 3, 10, QLatin1Char('0'));
        if (i % 1000 == 0 && !QDir().mkpath(folder))
            return false;
        const QString file = folder + QStringLiteral("t%1.png").arg(i, 6, 10, QLatin1Char('0'));
        const QByteArray meta = "<asset version=\"1\" guid=\""
                + QByteArray(Velmora::UGUID::generate().getString().get()) + "\" type=\"6\"/>\n";
        if (!writeFile(file, "x") || !writeFile(file + QStringLiteral(".meta"), meta))
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({QStringLiteral("assets"), QStringLiteral("Assets of the generated project."), QStringLiteral("n"),
                      QStringLiteral("100000")});
    parser.addOption(
            {QStringLiteral("imports"), QStringLiteral("Files imported."), QStringLiteral("n"), QStringLiteral("100")});
    parser.addOption({QStringLiteral("data"), QStringLiteral("An existing data folder (it gets a frames folder)."),
                      QStringLiteral("dir")});
    parser.process(app);
    const int imports = parser.value(QStringLiteral("imports")).toInt();

    QTemporaryDir temp;
    QString data = parser.value(QStringLiteral("data"));
    if (data.isEmpty()) {
        data = temp.path() + QStringLiteral("/data/");
        const int assets = parser.value(QStringLiteral("assets")).toInt();
        std::printf("generating %d assets...\n", assets);
        if (!generate(data, assets)) {
            std::fprintf(stderr, "cannot write the project under %s\n", qPrintable(temp.path()));
            return 1;
        }
    }
    if (!data.endsWith(QLatin1Char('/')))
        data += QLatin1Char('/');
    const QString frames = data + QStringLiteral("bench_frames_%1/").arg(QCoreApplication::applicationPid());
    QDir().mkpath(frames);
    for (int i = 0; i < imports; ++i)
        writeFile(frames + QStringLiteral("frame_%1.png").arg(i, 4, 10, QLatin1Char('0')), "x");

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

    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < imports; ++i) {
        if (manager.importSync(frames + QStringLiteral("frame_%1.png").arg(i, 4, 10, QLatin1Char('0'))).isEmpty()) {
            std::fprintf(stderr, "import %d failed\n", i);
            return 1;
        }
    }
    const double import_ms = bench::msSince(timer);
    timer.restart();
    for (int i = 0; i < imports; ++i)
        manager.importSync(frames + QStringLiteral("frame_%1.png").arg(i, 4, 10, QLatin1Char('0')));
    const double reimport_ms = bench::msSince(timer);
    timer.restart();
    const int listed = manager.assets().size();
    const double list_ms = bench::msSince(timer);
    QDir(frames).removeRecursively();

    std::printf("%d assets; %d imports of new files: %.1f ms (%.3f ms each); re-imports: %.1f ms; one sorted "
                "listing of %d: %.1f ms\n",
                before, imports, import_ms, import_ms / imports, reimport_ms, listed, list_ms);
    std::printf("RESULT assets=%d imports=%d import_ms=%.1f reimport_ms=%.1f list_ms=%.1f\n", before, imports,
                import_ms, reimport_ms, list_ms);
    return 0;
}
