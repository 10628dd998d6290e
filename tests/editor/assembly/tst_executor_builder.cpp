// What the executor builder composes from an options snapshot: pre-build
// actions, project sources in their order, launchers and user sources.

#include "assembly_test_support.h"

#include "editor/assembly/core/build_executor.h"
#include "editor/assembly/core/impl/file_processing/binary_launcher_files_source.h"
#include "editor/assembly/core/impl/file_processing/cfg_file_source.h"
#include "editor/assembly/core/impl/file_processing/content_files_source.h"
#include "editor/assembly/core/impl/file_processing/cs_files_source.h"
#include "editor/assembly/core/impl/file_processing/engine_files_source.h"
#include "editor/assembly/core/impl/file_processing/exe_combiner.h"
#include "editor/assembly/core/impl/file_processing/extra_engine_files_source.h"
#include "editor/assembly/core/impl/file_processing/main_exe_files_source.h"
#include "editor/assembly/core/impl/file_processing/plugin_files_source.h"
#include "editor/assembly/core/impl/file_processing/script_launcher_files_source.h"
#include "editor/assembly/core/impl/file_processing/sound_files_source.h"
#include "editor/assembly/core/impl/file_processing/source_combiner.h"
#include "editor/assembly/core/impl/file_processing/user_files_source.h"
#include "editor/assembly/core/impl/pre_processing/action_combiner.h"
#include "editor/assembly/core/impl/pre_processing/cs_builder.h"
#include "editor/assembly/core/impl/pre_processing/editor_stopper.h"
#include "editor/assembly/core/impl/pre_processing/output_dir_remover.h"
#include "editor/assembly/core/impl/pre_processing/precompile_shaders.h"
#include "editor/assembly/executor/build_paths.h"
#include "editor/assembly/executor/executor_builder.h"
#include "editor/assembly/executor/options.h"

#include <editor_core/editor/AssetManagerPrivate.h>

#include <QtTest>

Q_DECLARE_METATYPE(assembly::SelectedBinaries)

using namespace assembly;

namespace {

QString nameOf(const pre::Action *action)
{
    if (dynamic_cast<const EditorStopper *>(action))
        return "Stopper";
    if (dynamic_cast<const OutputDirRemover *>(action))
        return "Remover";
    if (dynamic_cast<const PrecompileShaders *>(action))
        return "Precompile";
    if (dynamic_cast<const CSBuilder *>(action))
        return "CSBuilder";
    return "?";
}

QString nameOf(const fp::Source *source)
{
    if (auto extra = dynamic_cast<const ExtraEngineFilesSource *>(source))
        return extra->binary() == Binary::Debug ? "ExtraEngine(debug)" : "ExtraEngine";
    if (auto engine = dynamic_cast<const EngineFilesSource *>(source))
        return QStringLiteral("Engine(%1%2)")
                .arg(engine->binary() == Binary::Debug ? "debug " : "", engine->sourceDir());
    if (dynamic_cast<const CfgFileSource *>(source))
        return "Cfg";
    if (dynamic_cast<const ContentFilesSource *>(source))
        return "Content";
    if (auto plugin = dynamic_cast<const PluginFilesSource *>(source))
        return plugin->binary() == Binary::Debug ? "Plugin(debug)" : "Plugin";
    if (dynamic_cast<const SoundFilesSource *>(source))
        return "Sound";
    if (dynamic_cast<const ExeCombiner *>(source))
        return "ExeCombiner";
    if (dynamic_cast<const UserFilesSource *>(source))
        return "User";
    if (dynamic_cast<const MainExeFilesSource *>(source))
        return "MainExe";
    if (dynamic_cast<const CSFilesSource *>(source))
        return "CS";
    return "?";
}

QString describe(const ExeCombiner &combiner)
{
    QStringList parts;
    const std::pair<const char *, const ExeProviderSource *> providers[]
            = {{"release", combiner.releaseExe()}, {"dev", combiner.devExe()}, {"debug", combiner.debugExe()}};
    for (const auto &provider : providers) {
        if (provider.second)
            parts << QStringLiteral("%1:%2").arg(provider.first, nameOf(provider.second));
    }
    if (combiner.allReceiver())
        parts << "launcher:" + combiner.allReceiver()->projectName();
    for (const ScriptLauncherFilesSource *script :
         {combiner.releaseReceiver(), combiner.devReceiver(), combiner.debugReceiver()}) {
        if (script)
            parts << "script:" + script->outputFileName();
    }
    return parts.join(' ');
}

} // namespace

class TestExecutorBuilder : public QObject
{
    Q_OBJECT

private slots:
    void the_build_is_composed_from_the_options_data();
    void the_build_is_composed_from_the_options();
    void script_names_follow_the_selected_kinds_data();
    void script_names_follow_the_selected_kinds();
};

void TestExecutorBuilder::the_build_is_composed_from_the_options_data()
{
    QTest::addColumn<SelectedBinaries>("binaries");
    QTest::addColumn<Launcher>("launcher");
    QTest::addColumn<bool>("precompile");
    QTest::addColumn<QStringList>("plugins");
    QTest::addColumn<bool>("rules");
    QTest::addColumn<QString>("sdk_dev");
    QTest::addColumn<QString>("actions");
    QTest::addColumn<QString>("sources");
    QTest::addColumn<QString>("executables");

    QTest::newRow("release, nothing else")
            << SelectedBinaries::releaseOnly() << Launcher::BinaryFile << false << QStringList() << false << ""
            << "Stopper Remover"
            << "ExtraEngine Engine(/bin/) Cfg Content Sound ExeCombiner"
            << "release:MainExe launcher:demo";
    QTest::newRow("development and debug with an SDK, scripts")
            << SelectedBinaries::developmentAndDebug(true, true) << Launcher::ScriptFile << true << QStringList{"Foo"}
            << true << "/sdk/bin/development/"
            << "Stopper Remover Precompile"
            << "ExtraEngine(debug) ExtraEngine Engine(/sdk/bin/development/) Engine(debug /bin/) Cfg Content Plugin "
               "Plugin(debug) Sound ExeCombiner | User"
            << "dev:MainExe debug:MainExe script:demo_development script:demo_debug";
    QTest::newRow("development without an SDK takes bin")
            << SelectedBinaries::developmentAndDebug(true, false) << Launcher::BinaryFile << false << QStringList()
            << false << ""
            << "Stopper Remover"
            << "ExtraEngine Engine(/bin/) Cfg Content Sound ExeCombiner"
            << "dev:MainExe launcher:demo";
    QTest::newRow("debug only, script")
            << SelectedBinaries::developmentAndDebug(false, true) << Launcher::ScriptFile << false << QStringList{"Foo"}
            << false << ""
            << "Stopper Remover"
            << "ExtraEngine(debug) Engine(debug /bin/) Cfg Content Plugin(debug) Sound ExeCombiner"
            << "debug:MainExe script:demo";
}

void TestExecutorBuilder::the_build_is_composed_from_the_options()
{
    QFETCH(SelectedBinaries, binaries);
    QFETCH(Launcher, launcher);
    QFETCH(bool, precompile);
    QFETCH(QStringList, plugins);
    QFETCH(bool, rules);
    QFETCH(QString, sdk_dev);
    QFETCH(QString, actions);
    QFETCH(QString, sources);
    QFETCH(QString, executables);

    Options options;
    options.setName("demo");
    options.setPath("/tmp/out");
    options.setLauncher(launcher);
    options.setPrecompile(precompile);
    if (rules)
        options.setRules({CopyRule{"/in/readme.txt", "docs"}});
    BuildPaths paths;
    paths.bin_dir = paths.exe_dir = "/bin/";
    paths.cache_dir = "/cache/";
    paths.data_dir = "/data/";
    paths.sdk_development_dir = sdk_dev;
    Editor::AssetManagerPrivate assets;

    QStringList action_names;
    const auto pre = ExecutorBuilder::createPreActions(options, nullptr);
    const auto combiner_action = dynamic_cast<const ActionCombiner *>(pre.get());
    QVERIFY(combiner_action);
    for (int i = 0; i < combiner_action->count(); ++i)
        action_names << nameOf(combiner_action->action(i));
    QCOMPARE(action_names.join(' '), actions);
    QCOMPARE(dynamic_cast<const OutputDirRemover *>(combiner_action->action(1))->path(), QStringLiteral("/tmp/out/"));

    // Content needs real managers only when it runs; building it is enough.
    const auto file_sources = ExecutorBuilder::createFileSources(
            options, binaries, paths, plugins, SDKEdition::Unknown, nullptr, &assets,
            reinterpret_cast<mat::Manager *>(1), reinterpret_cast<prop::Manager *>(1),
            [](const QString &, const QString &, const QString &) { return 0; });
    const auto combiner = dynamic_cast<const SourceCombiner *>(file_sources.get());
    QVERIFY(combiner);
    QStringList source_names;
    for (const auto &source : combiner->systemSources())
        source_names << nameOf(source.get());
    if (!combiner->userSources().empty())
        source_names << "|";
    for (const auto &source : combiner->userSources())
        source_names << nameOf(source.get());
    QCOMPARE(source_names.join(' '), sources);
    QCOMPARE(describe(*dynamic_cast<const ExeCombiner *>(combiner->systemSources().back().get())), executables);
}

void TestExecutorBuilder::script_names_follow_the_selected_kinds_data()
{
    QTest::addColumn<SelectedBinaries>("binaries");
    QTest::addColumn<Binary>("kind");
    QTest::addColumn<QString>("name");
    QTest::newRow("release") << SelectedBinaries::releaseOnly() << Binary::Release << "game";
    QTest::newRow("both, development") << SelectedBinaries::developmentAndDebug(true, true) << Binary::Development
                                       << "game_development";
    QTest::newRow("both, debug") << SelectedBinaries::developmentAndDebug(true, true) << Binary::Debug << "game_debug";
    QTest::newRow("debug alone") << SelectedBinaries::developmentAndDebug(false, true) << Binary::Debug << "game";
}

void TestExecutorBuilder::script_names_follow_the_selected_kinds()
{
    QFETCH(SelectedBinaries, binaries);
    QFETCH(Binary, kind);
    QFETCH(QString, name);
    QCOMPARE(ExecutorBuilder::scriptName("game", binaries, kind), name);
}

QTEST_GUILESS_MAIN(TestExecutorBuilder)
#include "tst_executor_builder.moc"
