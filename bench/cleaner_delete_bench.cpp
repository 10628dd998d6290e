// The Cleaner window's "Delete Listed" on generated projects: N unused
// textures listed in the window, deleted with one click, until the table is
// empty (the asset manager's removal plus every table update it causes).
// The baseline, in the same run and process, is the asset manager's removal
// of another N textures of the same project that the table does not list.
// Both start with the project's files written out to the disk.
//
//   cleaner_delete_bench [--assets 5000,50000]
//
// Prints per size the two times, their ratio, and the growth between sizes
// (linear work grows like the size). Exit code 0 when every listed asset was
// deleted and nothing else.

#include "bench_engine.h"

#include <editor/cleaner/ignore_list/ignore_list.h>
#include <editor/cleaner/model/unused_assets_table_model.h>
#include <editor/cleaner/ui/cleaner_window.h>

#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/AssetManagerPrivate.h>
#include <editor_core/mat/Manager.h>
#include <editor_core/tbb/Queue.h>

#include <velmora/Engine.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

using bench::msSince;

bool writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// Every texture of set letter ('a' listed, 'b' not), 100 per folder.
bool writeSet(const QString &data, char letter, int count)
{
    for (int i = 0; i < count; ++i) {
        const QString path = QStringLiteral("%1/%2/%3/t%4.png")
                                     .arg(data)
                                     .arg(QLatin1Char(letter))
                                     .arg(i / 100, 4, 10, QLatin1Char('0'))
                                     .arg(i, 6, 10, QLatin1Char('0'));
        const QByteArray guid = QByteArray(1, letter).repeated(5) + QByteArray::number(i).rightJustified(35, '0');
        const QByteArray meta = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<asset version=\"1\" guid=\"" + guid
                + "\" type=\"6\" excluded=\"0\">\n</asset>\n";
        if (!writeFile(path, "png\n") || !writeFile(path + QStringLiteral(".meta"), meta))
            return false;
    }
    return true;
}

template<typename Predicate>
bool spinUntil(Predicate done, int timeout_ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeout_ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

struct Times
{
    double baseline_ms = 0;
    double window_ms = 0;
};

bool runSize(int count, Times &times)
{
    QTemporaryDir dir;
    const QString data = dir.path() + QStringLiteral("/data");
    if (!writeSet(data, 'a', count) || !writeSet(data, 'b', count)) {
        std::fprintf(stderr, "cleaner_delete_bench: cannot write the project\n");
        return false;
    }
    if (!bench::startEngine("cleaner_delete_bench", dir.path(), data))
        return false;
    bool ok = false;
    {
        auto assets = std::make_unique<Editor::AssetManagerPrivate>();
        depr::g.asset_manager = assets.get();
        QEventLoop loop;
        QObject::connect(assets.get(), &Editor::AssetManagerPrivate::initialized, &loop, &QEventLoop::quit);
        assets->init();
        loop.exec();
        auto materials = std::make_unique<mat::Manager>(nullptr);
        depr::g.mat_manager = materials.get();
        cleaner::IgnoreList::save(cleaner::IgnoreList::defaultPatterns() << QStringLiteral("/b/*"));

        auto window = std::make_unique<cleaner::CleanerWindow>();
        window->setAsk([](const QString &, const QString &, const QString &) { return true; });
        window->setTell([](const QString &, const QString &text) {
            std::fprintf(stderr, "cleaner_delete_bench: %s\n", qPrintable(text));
        });
        window->resize(600, 400);
        window->show();
        window->startCollect();
        spinUntil([&] { return !window->isCollecting(); }, 1200000);
        const int listed = window->unusedModel()->rowCount();

        Velmora::Vector<Velmora::UGUID> unlisted;
        for (const as::Asset &asset : assets->assets()) {
            if (assets->filePath(asset).startsWith(data + QStringLiteral("/b/")))
                unlisted.append(asset.getGUID());
        }
        bool ended = false;
        auto connection = QObject::connect(assets.get(), &Editor::AssetManagerPrivate::end, [&ended] { ended = true; });
        // Each side deletes files that are on the disk, as a project's files
        // are: files written moments ago and still in the page cache are
        // deleted in memory, several times faster, and whichever side came
        // first took that.
        ::sync();
        QElapsedTimer timer;
        timer.start();
        const bool removed = assets->remove(unlisted);
        spinUntil([&] { return ended; }, 1200000);
        times.baseline_ms = msSince(timer);

        ended = false;
        ::sync();
        timer.restart();
        window->findChild<QPushButton *>(QStringLiteral("deleteListed"))->click();
        spinUntil([&] { return ended && window->unusedModel()->rowCount() == 0; }, 1200000);
        times.window_ms = msSince(timer);
        QObject::disconnect(connection);

        ok = removed && listed == count && unlisted.size() == count && assets->getNumAssets() == 0;
        if (!ok) {
            std::fprintf(stderr, "cleaner_delete_bench: listed %d, unlisted %d, left %d\n", listed, unlisted.size(),
                         assets->getNumAssets());
        }
        window.reset();
        depr::g.mat_manager = nullptr;
        depr::g.asset_manager = nullptr;
        materials.reset();
        assets->shutdown();
    }
    Velmora::Engine::shutdown();
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    // Qt's global pool and the job queue's worker, as in the editor.
    if (const int code = bench::secureThreads("cleaner_delete_bench", 2, 2))
        return code;
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    QCommandLineOption sizes_option(QStringLiteral("assets"), QStringLiteral("Listed assets per run, comma-separated."),
                                    QStringLiteral("sizes"), QStringLiteral("5000,50000"));
    parser.addOption(sizes_option);
    parser.process(app);

    bool ok = true;
    double previous_size = 0;
    double previous_ms = 0;
    for (const QString &size_text : parser.value(sizes_option).split(QLatin1Char(','))) {
        const int size = size_text.toInt();
        if (size <= 0)
            continue;
        Times times;
        ok = runSize(size, times) && ok;
        std::printf("%6d rows: Delete Listed %.1f ms, removal alone %.1f ms, ratio %.2f", size, times.window_ms,
                    times.baseline_ms, times.baseline_ms > 0 ? times.window_ms / times.baseline_ms : 0.0);
        if (previous_ms > 0)
            std::printf(", growth x%.1f for x%.0f rows", times.window_ms / previous_ms, size / previous_size);
        std::printf("\n");
        previous_size = size;
        previous_ms = times.window_ms;
    }
    tbb::Queue::instance()->shutdown();
    return ok ? 0 : 1;
}
