#include "editor/assembly/launcher/launcher_settings.h"

#include "editor/assembly/launcher/serialization.h"

#include "core/base/qt_enum_utility.h"

#include <QJsonDocument>

namespace assembly::launcher {

namespace {

// Keys of the launcher settings file.
const QLatin1String KEY_MAIN("main");
const QLatin1String KEY_NAME("name");
const QLatin1String KEY_BUILD("build");
const QLatin1String KEY_SHOW("show");
const QLatin1String KEY_SDK_EDITION("sdk_edition");
const QLatin1String KEY_BINARY("binary");
const QLatin1String KEY_PATHS("paths");
const QLatin1String KEY_RELEASE("release");
const QLatin1String KEY_DEV("dev");
const QLatin1String KEY_DEBUG("debug");
const QLatin1String KEY_BANNER("banner");
const QLatin1String KEY_CMD("cmd");
const QLatin1String KEY_ARGS("args");
const QLatin1String KEY_PARAMS("params");

template<typename Enum>
QString keyName(Enum value)
{
    return QString::fromLatin1(QtEnumUtility::toString(value));
}

} // namespace

QByteArray serializeSettings(const Settings &settings)
{
    QJsonObject main;
    serializeMain(settings, main);
    QJsonObject root;
    root.insert(KEY_MAIN, main);
    return QJsonDocument(root).toJson();
}

void serializeMain(const Settings &settings, QJsonObject &main)
{
    using serialization::setValue;
    setValue(KEY_NAME, settings.name, main);
    setValue(KEY_BUILD, keyName(settings.build), main);
    setValue(KEY_SDK_EDITION, keyName(settings.sdk_edition), main);
    setValue(KEY_BINARY, keyName(settings.binary), main);
    main.insert(KEY_SHOW, settings.show);

    QJsonObject paths;
    setValue(KEY_RELEASE, settings.release, paths);
    setValue(KEY_DEV, settings.dev, paths);
    setValue(KEY_DEBUG, settings.debug, paths);
    setValue(KEY_BANNER, settings.banner, paths);
    main.insert(KEY_PATHS, paths);

    QJsonObject cmd;
    serializeCmd(settings.cmd, cmd);
    main.insert(KEY_CMD, cmd);
}

void serializeCmd(const CommandLine &command_line, QJsonObject &cmd)
{
    cmd.insert(KEY_ARGS, serialization::toJsonArray(command_line.args));
    if (!command_line.params.isEmpty())
        cmd.insert(KEY_PARAMS, serialization::serializeParameters(command_line.params));
}

} // namespace assembly::launcher
