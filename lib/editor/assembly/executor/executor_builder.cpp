#include "editor/assembly/executor/executor_builder.h"

#include "editor/assembly/core/resolution.h"
#include "editor/assembly/executor/build_paths.h"
#include "editor/assembly/executor/options.h"

#include "core/base/qt_enum_utility.h"

#include <editor_core/base/Arguments.h>
#include <editor_core/base/Assert.h>
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

} // namespace assembly
