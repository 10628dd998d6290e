#include "editor/assembly/executor/executor_builder.h"

#include "editor/assembly/core/build_executor.h"
#include "editor/assembly/core/impl/file_processing/binary_launcher_files_source.h"
#include "editor/assembly/core/impl/file_processing/binary_traits.h"
#include "editor/assembly/core/impl/file_processing/cfg_file_source.h"
#include "editor/assembly/core/impl/file_processing/content_files_source.h"
#include "editor/assembly/core/impl/file_processing/copying_handler.h"
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
#include "editor/assembly/core/path_utils.h"
#include "editor/assembly/core/resolution.h"
#include "editor/assembly/executor/build_paths.h"
#include "editor/assembly/executor/options.h"

#include "core/base/qt_enum_utility.h"

#include <editor_core/base/Arguments.h>
#include <editor_core/base/Assert.h>
#include <editor_core/cs/Manager.h>
#include <editor_core/fs/FileSystem.h>
#include <velmora/FileSystem.h>

#include <QObject>
#include <QtDebug>

#include <algorithm>

namespace assembly {

namespace {

bool isUsableDataPath(const QString &path)
{
    return !path.isEmpty() && !Velmora::FileSystem::isGUIDPath(path.toUtf8().constData());
}

LauncherParameter vrModeParameter(const QVector<VRMode> &modes)
{
    LauncherParameter parameter;
    parameter.type = LauncherParameterType::Choice;
    parameter.choice.label = QObject::tr("VR Mode");
    parameter.choice.items.append(ChoiceItem{QObject::tr("Disabled"), {}});
    const QVector<QPair<VRMode, QString>> entries = {{VRMode::Oculus, QObject::tr("Oculus")},
                                                     {VRMode::OpenVR, QObject::tr("OpenVR")},
                                                     {VRMode::Varjo, QObject::tr("Varjo")}};
    for (const auto &entry : entries) {
        if (!modes.contains(entry.first))
            continue;
        parameter.choice.items.append(ChoiceItem{
                entry.second, {QStringLiteral("-extern_plugin"), ExecutorBuilder::vrPluginName(entry.first)}});
    }
    parameter.choice.value = 1;
    return parameter;
}

LauncherParameter resolutionParameter(const QVector<Resolution> &resolutions, int selected)
{
    LauncherParameter parameter;
    parameter.type = LauncherParameterType::Choice;
    parameter.choice.label = QObject::tr("Resolution");
    for (const Resolution &resolution : resolutions) {
        parameter.choice.items.append(
                ChoiceItem{resolutionLabel(resolution),
                           {QStringLiteral("-video_mode"), QStringLiteral("-1"), QStringLiteral("-video_width"),
                            QString::number(resolution.width), QStringLiteral("-video_height"),
                            QString::number(resolution.height())}});
    }
    // A stored index may point past the list; the launcher then starts with
    // the first entry.
    const int count = resolutions.size();
    parameter.choice.value = (selected >= -1 && selected < count) ? selected : 0;
    return parameter;
}

LauncherParameter fullscreenParameter(bool fullscreen)
{
    LauncherParameter parameter;
    parameter.type = LauncherParameterType::Check;
    parameter.check.label = QObject::tr("Fullscreen");
    parameter.check.value = fullscreen ? 1 : 0;
    parameter.check.off_args = QStringList{QStringLiteral("-video_fullscreen"), QStringLiteral("0")};
    parameter.check.on_args = QStringList{QStringLiteral("-video_fullscreen"), QStringLiteral("1")};
    return parameter;
}

LauncherParameter videoDebugParameter(VideoDebug selected)
{
    LauncherParameter parameter;
    parameter.type = LauncherParameterType::Choice;
    parameter.choice.label = QObject::tr("Video Debug");
    for (const VideoDebug level : {VideoDebug::Disabled, VideoDebug::Messages, VideoDebug::Asserts}) {
        parameter.choice.items.append(
                ChoiceItem{QString::fromLatin1(QtEnumUtility::toString(level)),
                           {QStringLiteral("-video_debug"), QString::number(static_cast<int>(level))}});
    }
    parameter.choice.value = static_cast<int>(selected);
    return parameter;
}

} // namespace

CommandLine ExecutorBuilder::launcherCommand(const Options &options, const BuildPaths &paths)
{
    CommandLine command_line;
    command_line.args = launcherCommandLine(options.getVideoAPI(), options.getWorld(), options.getArgs(), paths);
    command_line.params = launcherParameters(options);
    return command_line;
}

QStringList ExecutorBuilder::launcherCommandLine(VideoAPI vapi, const Velmora::UGUID &world, const QString &args,
                                                 const BuildPaths &paths)
{
    QStringList result;
    result << QStringLiteral("-video_app");
    switch (vapi) {
    case VideoAPI::DX11:
        result << QStringLiteral("direct3d11");
        break;
    case VideoAPI::OpenGL:
        result << QStringLiteral("opengl");
        break;
    default:
        result << QStringLiteral("auto");
        break;
    }
    result << QStringLiteral("-sound_app") << QStringLiteral("auto");

    const QString world_load = worldLoadCommand(world);
    if (!world_load.isEmpty())
        result << QStringLiteral("-console_command") << world_load;
    const QString data_path = dataPathArgument(paths);
    if (!data_path.isEmpty())
        result << QStringLiteral("-data_path") << data_path;
    result << base::stringToArgumentList(args);
    return result;
}

LauncherParameters ExecutorBuilder::launcherParameters(const Options &options)
{
    LauncherParameters result = options.getExtraParams();
    const QVector<VRMode> &modes = options.getVRModes();
    const bool contains_valid_vrmode = std::any_of(modes.cbegin(), modes.cend(), [](VRMode mode) {
        return mode == VRMode::Oculus || mode == VRMode::OpenVR || mode == VRMode::Varjo;
    });
    if (contains_valid_vrmode)
        result.append(vrModeParameter(modes));
    if (!options.getResolutions().isEmpty())
        result.append(resolutionParameter(options.getResolutions(), options.getSelectedRes()));
    result.append(fullscreenParameter(options.getFullscreen()));
    if (options.getConfig() == BuildConfiguration::Development)
        result.append(videoDebugParameter(options.getVideoDebug()));
    return result;
}

QString ExecutorBuilder::worldLoadCommand(const Velmora::UGUID &world)
{
    if (world.isEmpty())
        return QString();
    const QString path = ::fs::relDataPath(world);
    if (!isUsableDataPath(path))
        return QString();
    const QString stem = ::fs::setExtension(path, QString());
    if (stem.isEmpty())
        return QString();
    return QStringLiteral("world_load \"%1\"").arg(stem);
}

QString ExecutorBuilder::dataPathArgument(const BuildPaths &paths)
{
    EC_ASSERT(!paths.output_bin_dir.contains(QLatin1String("//")));
    return QStringLiteral("../").repeated(paths.output_bin_dir.count(QLatin1Char('/'))) + paths.output_data_dir;
}

QString ExecutorBuilder::assetDataPath(const Velmora::UGUID &guid, const QString &prefix)
{
    if (guid.isEmpty())
        return QString();
    const Velmora::UGUID file_guid
            = Velmora::FileSystemAssets::isAsset(guid) ? Velmora::FileSystemAssets::getAssetGUID(guid) : guid;
    if (!file_guid.isValid()) {
        EC_SOFT_ASSERT(file_guid.isValid());
        return QString();
    }
    const QString path = ::fs::relDataPath(file_guid);
    if (!isUsableDataPath(path))
        return QString();
    return prefix + path;
}

QString ExecutorBuilder::vrPluginName(VRMode mode)
{
    switch (mode) {
    case VRMode::Oculus:
        return QStringLiteral("VROculus");
    case VRMode::OpenVR:
        return QStringLiteral("VROpenVR");
    case VRMode::Varjo:
        return QStringLiteral("VRVarjo");
    default:
        return QString();
    }
}

std::unique_ptr<Executor> ExecutorBuilder::build(const Options &options, const SelectedBinaries &binaries,
                                                 const BuildPaths &paths, const QStringList &plugins,
                                                 SDKEdition sdk_edition, cs::Manager *cs_manager,
                                                 Editor::AssetManagerPrivate *asset_manager, mat::Manager *mat_manager,
                                                 prop::Manager *prop_manager, CollisionChooser chooser)
{
    // The window keeps the build folder as the user typed it; the pipeline
    // works with its normal form (cleaned, ending with '/'), and an unusable
    // path stays empty so that the stages refuse it.
    const QString output = options.getPath().isEmpty() ? QString() : normalizePath(options.getPath());
    auto pre_actions = createPreActions(options, cs_manager);
    auto sources = createFileSources(options, binaries, paths, plugins, sdk_edition, cs_manager, asset_manager,
                                     mat_manager, prop_manager, std::move(chooser));
    return std::make_unique<Executor>(std::move(pre_actions), std::move(sources),
                                      std::make_unique<CopyingHandler>(output));
}

std::unique_ptr<pre::Action> ExecutorBuilder::createPreActions(const Options &options, cs::Manager *cs_manager)
{
    const QString output = options.getPath().isEmpty() ? QString() : normalizePath(options.getPath());
    std::vector<std::unique_ptr<pre::Action>> actions;
    actions.push_back(std::make_unique<EditorStopper>());
    actions.push_back(std::make_unique<OutputDirRemover>(output));
    if (options.getPrecompile())
        actions.push_back(std::make_unique<PrecompileShaders>());
    if (cs_manager && cs_manager->active())
        actions.push_back(std::make_unique<CSBuilder>(cs_manager));
    return std::make_unique<ActionCombiner>(std::move(actions));
}

ExecutorBuilder::Sources ExecutorBuilder::createEngineSources(const Options &options, const SelectedBinaries &binaries,
                                                              const BuildPaths &paths)
{
    Sources sources;
    auto extra = [&](bool non_debug) {
        return std::make_unique<ExtraEngineFilesSource>(
                paths.bin_dir, paths.data_dir, paths.cache_dir, paths.system_cache_file_path,
                paths.editor_cache_file_path, paths.output_bin_dir, paths.output_data_dir, options.getSystem(),
                BinaryTraits::kindOf(non_debug), options.getVideoAPI());
    };
    auto engine = [&](bool non_debug, const QString &source_dir) {
        return std::make_unique<EngineFilesSource>(source_dir, paths.output_bin_dir, options.getSystem(),
                                                   options.getPrecision(), BinaryTraits::kindOf(non_debug));
    };
    if (binaries.debug)
        sources.push_back(extra(false));
    if (binaries.development || binaries.release) {
        sources.push_back(extra(true));
        if (binaries.release)
            sources.push_back(engine(true, paths.bin_dir));
    }
    if (binaries.development)
        sources.push_back(
                engine(true, paths.sdk_development_dir.isEmpty() ? paths.bin_dir : paths.sdk_development_dir));
    if (binaries.debug)
        sources.push_back(engine(false, paths.bin_dir));
    return sources;
}

ExecutorBuilder::Sources ExecutorBuilder::createPluginSources(const Options &options, const SelectedBinaries &binaries,
                                                              const BuildPaths &paths, const QStringList &plugins)
{
    Sources sources;
    if (plugins.isEmpty())
        return sources;
    auto plugin = [&](bool non_debug) {
        return std::make_unique<PluginFilesSource>(paths.bin_dir, paths.output_bin_dir, plugins, options.getSystem(),
                                                   options.getPrecision(), BinaryTraits::kindOf(non_debug));
    };
    if (binaries.development || binaries.release)
        sources.push_back(plugin(true));
    if (binaries.debug)
        sources.push_back(plugin(false));
    return sources;
}

QString ExecutorBuilder::scriptName(const QString &name, const SelectedBinaries &binaries, Binary kind)
{
    if (binaries.development && binaries.debug) {
        if (kind == Binary::Development)
            return name + QStringLiteral("_development");
        if (kind == Binary::Debug)
            return name + QStringLiteral("_debug");
    }
    return name;
}

std::unique_ptr<ExeCombiner> ExecutorBuilder::createLauncherSources(const Options &options,
                                                                    const SelectedBinaries &binaries,
                                                                    const BuildPaths &paths, SDKEdition sdk_edition)
{
    const CommandLine command_line = launcherCommand(options, paths);
    if (options.getLauncher() == Launcher::ScriptFile) {
        auto script = [&](bool selected, Binary kind) -> std::unique_ptr<ScriptLauncherFilesSource> {
            if (!selected)
                return nullptr;
            return std::make_unique<ScriptLauncherFilesSource>(options.getSystem(), command_line,
                                                               scriptName(options.getName(), binaries, kind),
                                                               paths.output_bin_dir, QString());
        };
        return std::make_unique<ExeCombiner>(script(binaries.release, Binary::Release),
                                             script(binaries.development, Binary::Development),
                                             script(binaries.debug, Binary::Debug));
    }
    EC_ASSERT(options.getLauncher() == Launcher::BinaryFile);
    auto launcher = std::make_unique<BinaryLauncherFilesSource>(
            command_line, options.getSystem(), options.getName(), options.getConfig(), options.getBinary(), sdk_edition,
            binaries.release || binaries.development, assetDataPath(options.getBanner(), paths.output_data_dir),
            paths.bin_dir, QString());
    return std::make_unique<ExeCombiner>(std::move(launcher));
}

void ExecutorBuilder::createMainExeSources(const Options &options, const SelectedBinaries &binaries,
                                           const BuildPaths &paths, ExeCombiner &combiner)
{
    if (binaries.release)
        combiner.setReleaseExe(std::make_unique<MainExeFilesSource>(options.getMainRelease(), paths.output_bin_dir));
    if (binaries.development)
        combiner.setDevExe(std::make_unique<MainExeFilesSource>(options.getMainDev(), paths.output_bin_dir));
    if (binaries.debug)
        combiner.setDebugExe(std::make_unique<MainExeFilesSource>(options.getMainDebug(), paths.output_bin_dir));
}

void ExecutorBuilder::createCSSources(const Options &options, const SelectedBinaries &binaries, const BuildPaths &paths,
                                      const cs::Manager &cs_manager, ExeCombiner &combiner)
{
    auto cs_source = [&](bool release, const QString &kind_dir) {
        return std::make_unique<CSFilesSource>(cs_manager.getProjectPath(), cs_manager.getBinaryPath(),
                                               options.getSystem(), release, options.getPrecision(), paths.bin_dir,
                                               kind_dir, paths.output_bin_dir);
    };
    if (binaries.release)
        combiner.setReleaseExe(cs_source(true, paths.bin_dir));
    if (binaries.development)
        combiner.setDevExe(
                cs_source(true, paths.sdk_development_dir.isEmpty() ? paths.bin_dir : paths.sdk_development_dir));
    if (binaries.debug)
        combiner.setDebugExe(cs_source(false, paths.bin_dir));
}

std::unique_ptr<fp::Source> ExecutorBuilder::createFileSources(const Options &options, const SelectedBinaries &binaries,
                                                               const BuildPaths &paths, const QStringList &plugins,
                                                               SDKEdition sdk_edition, cs::Manager *cs_manager,
                                                               Editor::AssetManagerPrivate *asset_manager,
                                                               mat::Manager *mat_manager, prop::Manager *prop_manager,
                                                               CollisionChooser chooser)
{
    EC_ASSERT(binaries.release || binaries.development || binaries.debug);

    Sources project = createEngineSources(options, binaries, paths);
    project.push_back(std::make_unique<CfgFileSource>(paths.exe_dir, paths.output_bin_dir));
    project.push_back(std::make_unique<ContentFilesSource>(asset_manager, mat_manager, prop_manager, paths.cache_dir,
                                                           paths.output_data_dir));
    for (auto &plugin : createPluginSources(options, binaries, paths, plugins))
        project.push_back(std::move(plugin));
    project.push_back(std::make_unique<SoundFilesSource>(paths.bin_dir, paths.output_bin_dir, options.getSystem()));

    std::unique_ptr<ExeCombiner> executables = createLauncherSources(options, binaries, paths, sdk_edition);
    if (cs_manager && cs_manager->active())
        createCSSources(options, binaries, paths, *cs_manager, *executables);
    else
        createMainExeSources(options, binaries, paths, *executables);
    project.push_back(std::move(executables));

    Sources user;
    if (!options.getRules().isEmpty())
        user.push_back(std::make_unique<UserFilesSource>(options.getRules()));
    return std::make_unique<SourceCombiner>(std::move(project), std::move(user), std::move(chooser));
}

} // namespace assembly
