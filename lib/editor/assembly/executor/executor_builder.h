#pragma once

#include "editor/assembly/core/assembly_enums.h"
#include "editor/assembly/core/impl/file_processing/source_combiner.h"
#include "editor/assembly/core/pre_action.h"
#include "editor/assembly/core/source.h"
#include "editor/assembly/executor/selected_binaries.h"
#include "editor/assembly/launcher/command_line.h"

#include <velmora/UGUID.h>

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace Editor {
class AssetManagerPrivate;
}
namespace cs {
class Manager;
}
namespace mat {
class Manager;
}
namespace prop {
class Manager;
}

namespace assembly {

class Executor;
class ExeCombiner;
class Options;
struct BuildPaths;

// Composes a build from an options snapshot: the pre-build actions, the file
// sources in their fixed order (engine, configuration, content, plug-ins,
// sound, executables with the launcher; then the user's copy rules) combined
// with the collision check, and the copier into the build folder. It also
// makes the launcher's command line: the fixed engine arguments, the start
// world, the data folder, the user's arguments, and the launcher parameters
// (VR mode, resolution, full screen, video debugging). Collisions of two
// user files are settled by the chooser that the caller hands in.
class ExecutorBuilder
{
public:
    using Sources = std::vector<std::unique_ptr<fp::Source>>;
    using CollisionChooser = SourceCombiner::CollisionChooser;

    // The managers are not owned; the sources use them on the build's
    // worker thread.
    static std::unique_ptr<Executor> build(const Options &options, const SelectedBinaries &binaries,
                                           const BuildPaths &paths, const QStringList &plugins, SDKEdition sdk_edition,
                                           cs::Manager *cs_manager, Editor::AssetManagerPrivate *asset_manager,
                                           mat::Manager *mat_manager, prop::Manager *prop_manager,
                                           CollisionChooser chooser);

    static std::unique_ptr<pre::Action> createPreActions(const Options &options, cs::Manager *cs_manager);
    static Sources createEngineSources(const Options &options, const SelectedBinaries &binaries,
                                       const BuildPaths &paths);
    static Sources createPluginSources(const Options &options, const SelectedBinaries &binaries,
                                       const BuildPaths &paths, const QStringList &plugins);
    static std::unique_ptr<ExeCombiner> createLauncherSources(const Options &options, const SelectedBinaries &binaries,
                                                              const BuildPaths &paths, SDKEdition sdk_edition);
    static void createMainExeSources(const Options &options, const SelectedBinaries &binaries, const BuildPaths &paths,
                                     ExeCombiner &combiner);
    static void createCSSources(const Options &options, const SelectedBinaries &binaries, const BuildPaths &paths,
                                const cs::Manager &cs_manager, ExeCombiner &combiner);
    // The whole source: project sources first, the user's rules second.
    static std::unique_ptr<fp::Source> createFileSources(const Options &options, const SelectedBinaries &binaries,
                                                         const BuildPaths &paths, const QStringList &plugins,
                                                         SDKEdition sdk_edition, cs::Manager *cs_manager,
                                                         Editor::AssetManagerPrivate *asset_manager,
                                                         mat::Manager *mat_manager, prop::Manager *prop_manager,
                                                         CollisionChooser chooser);
    // Script names: the project name for release or a single kind,
    // name + "_development" and name + "_debug" when both are selected.
    static QString scriptName(const QString &name, const SelectedBinaries &binaries, Binary kind);

    static CommandLine launcherCommand(const Options &options, const BuildPaths &paths);
    static QStringList launcherCommandLine(VideoAPI vapi, const Velmora::UGUID &world, const QString &args,
                                           const BuildPaths &paths);
    static LauncherParameters launcherParameters(const Options &options);
    // "world_load \"<data-relative path without extension>\""; "" when the
    // GUID is empty or names no file.
    static QString worldLoadCommand(const Velmora::UGUID &world);
    // "../" per level of output_bin_dir, then output_data_dir.
    static QString dataPathArgument(const BuildPaths &paths);
    // prefix + the data-relative path of the file behind the GUID (an asset's
    // file); "" when there is none.
    static QString assetDataPath(const Velmora::UGUID &guid, const QString &prefix);
    // The engine plug-in that provides a VR mode ("" for Disabled).
    static QString vrPluginName(VRMode mode);
};

} // namespace assembly
