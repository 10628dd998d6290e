#pragma once

#include "editor/assembly/core/assembly_enums.h"
#include "editor/assembly/launcher/command_line.h"

#include <velmora/UGUID.h>

#include <QString>
#include <QStringList>

namespace assembly {

class Options;
struct BuildPaths;

// Composes a build from an options snapshot. This part makes the launcher's
// command line: the fixed engine arguments, the start world, the data
// folder, the user's arguments, and the launcher parameters (VR mode,
// resolution, full screen, video debugging).
class ExecutorBuilder
{
public:
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
