#pragma once

#include "editor/assembly/core/assembly_enums.h"

#include <QJsonDocument>
#include <QString>
#include <QStringList>

#include <memory>

namespace assembly {

// The settings the build tool reads from the project file ("*.project" in the
// folder above the engine's binaries folder): the SDK the project was made
// with and the project's own settings.
class ProjectOptions
{
public:
    QString sdk_path;
    QString name;
    QStringList plugins;
    QString default_world;
    SDKEdition edition = SDKEdition::Unknown;
    BuildConfiguration config = BuildConfiguration::Release;
    Precision precision = Precision::Float;
    bool component_system = false;

    // The project file of the folder above the running engine's binaries
    // folder; null when there is no usable one.
    static std::unique_ptr<ProjectOptions> load();
    // The same for a given project folder.
    static std::unique_ptr<ProjectOptions> loadFrom(const QString &project_folder);
    // The first "*.project" of the folder, by file name, that parses as JSON
    // and has a non-empty "sdk" object; an empty document when none does.
    static QJsonDocument findProjectFile(const QString &folder);
    // The lower-case edition names ("edition1" ... "edition6"), matched
    // exactly; anything else is Unknown.
    static SDKEdition editionFromString(const QString &name);
};

} // namespace assembly
