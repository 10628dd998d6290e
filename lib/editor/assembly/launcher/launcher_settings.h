#pragma once

#include "editor/assembly/core/assembly_enums.h"
#include "editor/assembly/launcher/command_line.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

namespace assembly::launcher {

// The content of the launcher settings file written beside the launcher
// executable. Paths are relative to the build folder.
struct Settings
{
    QString name;
    QString release;
    QString dev;
    QString debug;
    QString banner;
    CommandLine cmd;
    Binary binary = Binary::Development;
    SDKEdition sdk_edition = SDKEdition::Unknown;
    BuildConfiguration build = BuildConfiguration::Release;
    bool show = true;
};

// The file's bytes: {"main": {...}} in QJsonDocument's indented form.
QByteArray serializeSettings(const Settings &settings);
// Fills the "main" object.
void serializeMain(const Settings &settings, QJsonObject &main);
// Fills the "cmd" object: "args" always, "params" only when there are any.
void serializeCmd(const CommandLine &command_line, QJsonObject &cmd);

} // namespace assembly::launcher
