// A whole build of the sample project, as the build window starts it but
// without a window: a temporary installation is laid out from the programs
// of this build tree, the executor builder composes the pipeline from an
// options snapshot, the build job runs it on the job queue's worker, and the
// build folder's launcher (program or script) then starts the player in its
// test mode. A second run goes through the build window's presenter as a
// user does, with the shaders precompiled.

#include "assembly_test_support.h"
#include "build_window_test_support.h"

#include "editor/assembly/build_presenter.h"
#include "editor/assembly/core/build_executor.h"
#include "editor/assembly/core/engine_info.h"
#include "editor/assembly/core/path_utils.h"
#include "editor/assembly/executor/build_executor_job.h"
#include "editor/assembly/executor/build_paths.h"
#include "editor/assembly/executor/executor_builder.h"
#include "editor/assembly/executor/options.h"
#include "editor/assembly/executor/options_file.h"
#include "editor/assembly/ui/diff_files_prompt.h"

#include <editor_core/EditorLogic.h>
#include <editor_core/View.h>
#include <editor_core/core/UrlOpener.h>
#include <editor_core/cs/Manager.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/AssetManagerPrivate.h>
#include <editor_core/editor/WindowManager.h>
#include <editor_core/editor/WindowManagerPrivate.h>
#include <editor_core/mat/Manager.h>
#include <editor_core/prop/Manager.h>
#include <editor_core/tbb/Queue.h>
#include <velmora/FileSystem.h>
#include <velmora/Materials.h>

#include <QDirIterator>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLibraryInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

using namespace assembly;
using assemblytest::Installation;

namespace {

bool copyTree(const QString &from, const QString &to)
{
    QDirIterator it(from, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = to + source.mid(from.size());
        QDir().mkpath(QFileInfo(target).absolutePath());
        if (!QFile::copy(source, target))
            return false;
    }
    return true;
}

bool sameBytes(const QString &a, const QString &b)
{
    return QFileInfo(a).isFile() && Installation::read(a) == Installation::read(b);
}

QJsonObject readJson(const QString &path)
{
    return QJsonDocument::fromJson(Installation::read(path)).object();
}

} // namespace

class TestBuildEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void the_sample_project_builds_into_a_folder_that_runs_data();
    void the_sample_project_builds_into_a_folder_that_runs();
    void the_build_window_builds_the_sample_project_with_precompiled_shaders();

private:
    QString layOutInstallation();
    // The parts of one build on the job queue; each records its failures
    // through QTest, so the caller stops at the first.
    void buildOnTheQueue(Launcher launcher, const QString &output, const QString &state_file, const BuildPaths &paths);
    void checkBuildFolderLayout(const QString &output, bool script);
    void checkGuidsTable(const QString &output, const QString &data_dir, int *entries);
    void checkBuildRuns(const QString &output, bool script, const QString &state_file, int guids_db_entries);

    Installation installation_;
    QTemporaryDir outputs_;
    std::unique_ptr<EditorLogic> logic_;
    std::unique_ptr<Editor::AssetManagerPrivate> assets_;
    std::unique_ptr<mat::Manager> materials_;
    std::unique_ptr<prop::Manager> properties_;
    std::unique_ptr<cs::Manager> components_;
    QString debug_suffix_;
};

QString TestBuildEndToEnd::layOutInstallation()
{
    const QString bin = installation_.binPath();
    const QString player = QStringLiteral(VELMORA_PLAYER_FILE);
    const QString launcher = QStringLiteral(VELMORA_LAUNCHER_FILE);
    const QString engine = QStringLiteral(VELMORA_ENGINE_FILE);
    debug_suffix_ = QFileInfo(engine).completeBaseName().endsWith(QLatin1Char('d')) ? QStringLiteral("d") : QString();

    if (!QFile::copy(engine, bin + QFileInfo(engine).fileName())
        || !QFile::copy(player, bin + QStringLiteral("sample_x64") + debug_suffix_)
        || !QFile::copy(launcher, bin + QFileInfo(launcher).fileName()))
        return QStringLiteral("programs not copied");
    installation_.write(QStringLiteral("bin/libopenal.so"), QByteArray());
    installation_.write(QStringLiteral("bin/libpng12.so.0"), QByteArray());
    installation_.write(QStringLiteral("bin/velmora.cfg"), "render_streaming_destroy_duration 600\n");
    const QString qt_libs = QLibraryInfo::location(QLibraryInfo::LibrariesPath) + QLatin1Char('/');
    for (const char *module : {"Core", "Gui", "Widgets", "XcbQpa", "DBus"}) {
        const QString name = QStringLiteral("libQt5%1.so.5").arg(QLatin1String(module));
        if (!QFile::link(qt_libs + name, bin + name))
            return QStringLiteral("no link to ") + name;
    }
    const QString offscreen
            = QLibraryInfo::location(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms/libqoffscreen.so");
    QDir().mkpath(bin + QStringLiteral("platforms"));
    QFile::copy(offscreen, bin + QStringLiteral("platforms/libqoffscreen.so"));

    const QString project = QStringLiteral(VELMORA_SAMPLE_PROJECT);
    if (!copyTree(project + QStringLiteral("/data"), installation_.root() + QStringLiteral("data"))
        || !copyTree(QStringLiteral(VELMORA_ENGINE_DATA), installation_.root() + QStringLiteral("data"))
        || !QFile::copy(project + QStringLiteral("/sample.project"),
                        installation_.root() + QStringLiteral("sample.project")))
        return QStringLiteral("project not copied");
    return QString();
}

void TestBuildEndToEnd::initTestCase()
{
    QVERIFY(outputs_.isValid());
    const QString problem = layOutInstallation();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));

    QVERIFY(installation_.start());
    logic_ = std::make_unique<EditorLogic>();
    assets_ = std::make_unique<Editor::AssetManagerPrivate>();
    depr::g.editor = logic_.get();
    depr::g.asset_manager = assets_.get();
    QSignalSpy initialized(assets_.get(), &Editor::AssetManagerPrivate::initialized);
    assets_->init();
    QVERIFY(initialized.wait(20000));
    QVERIFY(assets_->getNumAssets() > 10);
    materials_ = std::make_unique<mat::Manager>(logic_.get());
    properties_ = std::make_unique<prop::Manager>(logic_.get());
    components_ = std::make_unique<cs::Manager>(assets_.get(), properties_.get());
    components_->init();
    QVERIFY(!components_->active());
    depr::g.mat_manager = materials_.get();
    depr::g.prop_manager = properties_.get();
    depr::g.cs_manager = components_.get();
}

void TestBuildEndToEnd::cleanupTestCase()
{
    tbb::Queue::instance()->shutdown();
    depr::clearGlobals();
    components_.reset();
    properties_.reset();
    materials_.reset();
    if (assets_)
        assets_->shutdown();
    assets_.reset();
    logic_.reset();
    Installation::stop();
}

void TestBuildEndToEnd::the_sample_project_builds_into_a_folder_that_runs_data()
{
    QTest::addColumn<Launcher>("launcher");
    QTest::newRow("launcher program") << Launcher::BinaryFile;
    QTest::newRow("launcher script") << Launcher::ScriptFile;
}

void TestBuildEndToEnd::the_sample_project_builds_into_a_folder_that_runs()
{
    QFETCH(Launcher, launcher);
    const bool script = launcher == Launcher::ScriptFile;
    // Blanks, "$" and backticks in a path on the command line must reach the
    // player as they are.
    const QString tag = script ? QStringLiteral("script") : QStringLiteral("program");
    const QString output = outputs_.path() + QStringLiteral("/build ") + tag + QLatin1Char('/');
    const QString state_dir = outputs_.path() + QStringLiteral("/state $HOME `true` ") + tag;
    QVERIFY(QDir().mkpath(state_dir));
    const QString state_file = state_dir + QStringLiteral("/player state.json");

    BuildPaths paths;
    paths.bin_dir = paths.exe_dir = getExeDir();
    paths.cache_dir = getCacheDir();
    paths.system_cache_file_path = getSystemCacheFilePath();
    paths.editor_cache_file_path = getEditorCacheFilePath();
    paths.data_dir = getDataDir();
    QCOMPARE(paths.bin_dir, installation_.binPath());

    buildOnTheQueue(launcher, output, state_file, paths);
    if (QTest::currentTestFailed())
        return;
    checkBuildFolderLayout(output, script);
    if (QTest::currentTestFailed())
        return;
    int entries = 0;
    checkGuidsTable(output, paths.data_dir, &entries);
    if (QTest::currentTestFailed())
        return;
    checkBuildRuns(output, script, state_file, entries);
}

void TestBuildEndToEnd::buildOnTheQueue(Launcher launcher, const QString &output, const QString &state_file,
                                        const BuildPaths &paths)
{
    const Binary kind = EngineInfo::getBinary();
    const SelectedBinaries binaries{kind == Binary::Release, kind == Binary::Development, kind == Binary::Debug};
    const QString player = installation_.binPath() + QStringLiteral("sample_x64") + debug_suffix_;
    const QString user_file = outputs_.path() + QStringLiteral("/README for players.txt");
    QVERIFY(Installation::writeFile(user_file, "have fun\n"));

    Options options;
    options.setName(QStringLiteral("sample"));
    options.setPath(output);
    options.setLauncher(launcher);
    options.setConfig(kind == Binary::Release ? BuildConfiguration::Release : BuildConfiguration::Development);
    options.setBinary(kind);
    options.setPrecision(Precision::Float);
    options.setVideoAPI(VideoAPI::OpenGL);
    options.setPrecompile(false);
    options.setMainRelease(player);
    options.setMainDev(player);
    options.setMainDebug(player);
    options.setWorld(Velmora::FileSystem::getGUID("worlds/level1.world"));
    options.setArgs(QStringLiteral("-quit_after_frames 2 -state_file \"%1\"").arg(state_file));
    options.setRules({CopyRule{user_file, QStringLiteral("docs")}});
    QVERIFY(options.getWorld().isValid());

    auto job = std::make_shared<ExecutorJob>();
    job->setExecutor(ExecutorBuilder::build(options, binaries, paths, {}, SDKEdition::Unknown, components_.get(),
                                            assets_.get(), materials_.get(), properties_.get(),
                                            &DiffFilesPrompt::showDiffWidget));
    QList<int> percents;
    connect(job.get(), &ExecutorJob::progress, this,
            [&percents](int max, int value) { percents << value * 100 / max; });
    QEventLoop loop;
    connect(job.get(), &tbb::QJob::done, &loop, [&loop]() { loop.exit(0); });
    QTimer::singleShot(120000, &loop, [&loop]() { loop.exit(1); });
    QVERIFY(tbb::Queue::instance()->enqueue(job));
    QCOMPARE(loop.exec(), 0);
    QVERIFY2(job->isSuccess(), "the build failed");
    QCOMPARE(percents.last(), 100);
}

void TestBuildEndToEnd::checkBuildFolderLayout(const QString &output, bool script)
{
    const QString engine_library = QStringLiteral("bin/libVelmora_x64") + debug_suffix_ + QStringLiteral(".so");
    QStringList expected{engine_library,
                         QStringLiteral("bin/velmora.cfg"),
                         QStringLiteral("bin/libopenal.so"),
                         QStringLiteral("bin/sample_x64") + debug_suffix_,
                         QStringLiteral("data/guids.db"),
                         QStringLiteral("data/velmora.cache"),
                         QStringLiteral("data/editor.cache"),
                         QStringLiteral("docs/README for players.txt")};
    if (script)
        expected << QStringLiteral("sample.sh");
    else
        expected << QStringLiteral("sample") << QStringLiteral("sample.lconfig") << QStringLiteral("libQt5Core.so.5")
                 << QStringLiteral("libQt5Widgets.so.5") << QStringLiteral("libpng12.so.0")
                 << QStringLiteral("platforms/libqoffscreen.so");
    for (const QString &file : qAsConst(expected))
        QVERIFY2(QFileInfo(output + file).isFile(), qPrintable(file));
    QVERIFY(!QFileInfo::exists(output + (script ? QStringLiteral("sample") : QStringLiteral("sample.sh"))));
    QVERIFY(sameBytes(output + engine_library, installation_.root() + engine_library));

    const QFileDevice::Permissions data_mode
            = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
    const QFileDevice::Permissions mask = data_mode | QFileDevice::ExeOwner | QFileDevice::ExeGroup
            | QFileDevice::ExeOther | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    QCOMPARE(QFile::permissions(output + QStringLiteral("data/guids.db")) & mask, data_mode);
    if (script)
        QCOMPARE(QFile::permissions(output + QStringLiteral("sample.sh")) & mask,
                 mask & ~(QFileDevice::WriteGroup | QFileDevice::WriteOther));
    else
        QCOMPARE(QFile::permissions(output + QStringLiteral("sample.lconfig")) & mask, data_mode);
}

void TestBuildEndToEnd::checkGuidsTable(const QString &output, const QString &data_dir, int *entries)
{
    // guids.db maps every file GUID to its path, and every file the content
    // needs is there byte for byte.
    const QJsonObject table = readJson(output + QStringLiteral("data/guids.db"));
    *entries = table.size();
    QVERIFY(table.size() > 10);
    for (auto it = table.constBegin(); it != table.constEnd(); ++it) {
        const QString path = it.value().toString();
        QVERIFY2(sameBytes(output + QStringLiteral("data/") + path, data_dir + path), qPrintable(path));
        QCOMPARE(QString::fromUtf8(Velmora::FileSystem::getGUID(path.toUtf8().constData()).getString().get()),
                 it.key());
    }
    int stored = 0;
    for (const as::Asset &asset : assets_->assets()) {
        if (asset.isExcluded() || asset.getType() == AssetType(22))
            continue;
        const QString key = QString::fromUtf8(asset.getGUID().getString().get());
        QVERIFY2(table.value(key).toString() == asset.getRelativePath(), qPrintable(asset.getRelativePath()));
        for (const as::Runtime &runtime : asset.getRuntimes()) {
            if (!runtime.isStored())
                continue;
            const QString path = table.value(QString::fromUtf8(runtime.getGUID().getString().get())).toString();
            QVERIFY(path.startsWith(QLatin1String(".runtimes/")));
            QVERIFY(sameBytes(output + QStringLiteral("data/") + path + QStringLiteral(".meta"),
                              data_dir + path + QStringLiteral(".meta")));
            ++stored;
        }
    }
    QVERIFY(stored >= 2);
    QDirIterator core(data_dir + QStringLiteral("core"), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (core.hasNext()) {
        const QString file = core.next();
        const QString relative = file.mid(data_dir.size());
        QVERIFY2(sameBytes(output + QStringLiteral("data/") + relative, file), qPrintable(relative));
    }
}

void TestBuildEndToEnd::checkBuildRuns(const QString &output, bool script, const QString &state_file,
                                       int guids_db_entries)
{
    // The build runs: the launcher starts the player, which finds its data
    // and the start world.
    QProcess run;
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.setWorkingDirectory(outputs_.path());
    if (script)
        run.start(output + QStringLiteral("sample.sh"), QStringList());
    else
        run.start(output + QStringLiteral("sample"), QStringList{QStringLiteral("--run")});
    QVERIFY(run.waitForFinished(120000));
    const QByteArray log = run.readAll();
    QVERIFY2(run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0, log.constData());

    const QJsonObject state = readJson(state_file);
    QVERIFY2(!state.isEmpty(), log.constData());
    QCOMPARE(state.value(QStringLiteral("world")).toString(), QStringLiteral("worlds/level1.world"));
    QVERIFY(state.value(QStringLiteral("nodes")).toInt() > 0);
    QCOMPARE(state.value(QStringLiteral("guids_db_entries")).toInt(), guids_db_entries);
    QCOMPARE(state.value(QStringLiteral("guids_db_missing")).toInt(), 0);
    QCOMPARE(state.value(QStringLiteral("failed")).toBool(), false);
    QCOMPARE(QDir::cleanPath(state.value(QStringLiteral("data_path")).toString()),
             QDir::cleanPath(output + QStringLiteral("data")));
}

void TestBuildEndToEnd::the_build_window_builds_the_sample_project_with_precompiled_shaders()
{
    const QString output = outputs_.path() + QStringLiteral("/from the window/");
    const QString state_file = outputs_.path() + QStringLiteral("/window state.json");
    const Velmora::UGUID world = Velmora::FileSystem::getGUID("worlds/level1.world");
    QVERIFY(world.isValid());

    // The main window and window manager the presenter docks its window in.
    auto *main = new View;
    depr::gui.main_window = main;
    auto *window_manager = new Editor::WindowManager;
    main->setCentralWidget(depr::g.window_manager);
    main->show();
    QStringList opened;
    core::setUrlOpener([&opened](const QUrl &url) {
        opened << QDir::cleanPath(url.toLocalFile());
        return true;
    });
    const auto restore = qScopeGuard([main, window_manager] {
        core::setUrlOpener({});
        delete window_manager;
        delete main;
        depr::gui.main_window = nullptr;
        depr::g.window_manager = nullptr;
    });

    // What the user set in the window last time; the rest comes from the
    // project and the engine.
    Options stored;
    stored.setName(QStringLiteral("sample"));
    stored.setPath(output);
    stored.setLauncher(Launcher::ScriptFile);
    stored.setPrecompile(true);
    stored.setWorld(world);
    stored.setArgs(QStringLiteral("-quit_after_frames 2 -state_file \"%1\"").arg(state_file));
    // The program the user picked in the application rows.
    const QString player = installation_.binPath() + QStringLiteral("sample_x64") + debug_suffix_;
    stored.setMainRelease(player);
    stored.setMainDev(player);
    stored.setMainDebug(player);
    QVERIFY(OptionsFile::save(stored.serialize()));

    Presenter presenter;
    presenter.init(main);
    QSignalSpy finished(&presenter, &Presenter::buildFinished);
    buildtest::MessageBoxes boxes;
    presenter.make_build();
    QVERIFY2(boxes.texts().isEmpty(), qPrintable(boxes.texts().join('|')));
    QCOMPARE(finished.count(), 1);
    QVERIFY(finished.at(0).at(0).toBool());
    QCOMPARE(opened, QStringList{QDir::cleanPath(output)});

    // The shader cache of the running engine's configuration is in the build,
    // copied as it is, with a line for every material, each line once.
    const QString cache = output + QStringLiteral("data/") + Installation::shaderCacheName();
    const QByteArray shaders = Installation::read(cache);
    QVERIFY2(!shaders.isEmpty(), qPrintable(cache));
    QCOMPARE(shaders, Installation::read(installation_.cachePath() + QFileInfo(cache).fileName()));
    const QList<QByteArray> lines = shaders.trimmed().split('\n');
    QCOMPARE(QSet<QByteArray>(lines.begin(), lines.end()).size(), lines.size());
    QVERIFY(Velmora::Materials::getNumMaterials() > 3);
    for (int i = 0; i < Velmora::Materials::getNumMaterials(); ++i) {
        const QByteArray guid = Velmora::Materials::getMaterial(i)->getGUID().getString().get();
        QVERIFY2(shaders.contains(guid + ' '), guid.constData());
    }

    // The player runs from the folder with the start world.
    QProcess run;
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.setWorkingDirectory(outputs_.path());
    run.start(output + QStringLiteral("sample.sh"), QStringList());
    QVERIFY(run.waitForFinished(120000));
    const QByteArray log = run.readAll();
    QVERIFY2(run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0, log.constData());
    const QJsonObject state = readJson(state_file);
    QVERIFY2(!state.isEmpty(), log.constData());
    QCOMPARE(state.value(QStringLiteral("world")).toString(), QStringLiteral("worlds/level1.world"));
    QVERIFY(state.value(QStringLiteral("nodes")).toInt() > 0);
    QCOMPARE(state.value(QStringLiteral("guids_db_missing")).toInt(), 0);
    QCOMPARE(state.value(QStringLiteral("failed")).toBool(), false);
}

QTEST_MAIN(TestBuildEndToEnd)
#include "tst_build_end_to_end.moc"
