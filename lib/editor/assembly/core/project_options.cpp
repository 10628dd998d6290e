#include "editor/assembly/core/project_options.h"

#include "editor/assembly/core/engine_info.h"

#include "core/base/qt_enum_utility.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QtDebug>

namespace assembly {

std::unique_ptr<ProjectOptions> ProjectOptions::load()
{
    const QString exe_dir = getExeDir();
    if (exe_dir.isEmpty())
        return nullptr;
    return loadFrom(QDir::cleanPath(exe_dir + QStringLiteral("../")));
}

std::unique_ptr<ProjectOptions> ProjectOptions::loadFrom(const QString &project_folder)
{
    const QJsonDocument document = findProjectFile(project_folder);
    if (document.isNull())
        return nullptr;

    const QJsonObject root = document.object();
    const QJsonObject sdk = root.value(QLatin1String("sdk")).toObject();
    const QJsonObject settings = root.value(QLatin1String("project_settings")).toObject();

    auto options = std::make_unique<ProjectOptions>();
    options->sdk_path = sdk.value(QLatin1String("path")).toString();
    options->edition = editionFromString(sdk.value(QLatin1String("edition")).toString());
    options->name = settings.value(QLatin1String("name")).toString();

    const QString config_name = settings.value(QLatin1String("engine_binaries")).toString();
    if (config_name == QLatin1String("development")) {
        options->config = BuildConfiguration::Development;
    } else {
        if (settings.contains(QLatin1String("engine_binaries")) && config_name != QLatin1String("release"))
            qWarning() << "Build Tool: the project file names unknown engine binaries (" << config_name
                       << "), release binaries are used.";
        options->config = BuildConfiguration::Release;
    }

    // Note the project file's numbering: 0 is float precision.
    options->precision = settings.value(QLatin1String("precision")).toInt() == 0 ? Precision::Float : Precision::Double;
    const QJsonArray plugins = settings.value(QLatin1String("plugins")).toArray();
    for (const QJsonValue &plugin : plugins)
        options->plugins << plugin.toString();
    options->default_world = settings.value(QLatin1String("default_world")).toString();
    options->component_system = settings.value(QLatin1String("component_system")).toInt() != 0;
    return options;
}

QJsonDocument ProjectOptions::findProjectFile(const QString &folder)
{
    // Sorted by name, so that the choice between several files is stable.
    const QStringList names = QDir(folder).entryList({QStringLiteral("*.project")}, QDir::Files, QDir::Name);
    for (const QString &name : names) {
        QFile file(QDir(folder).filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
        if (error.error != QJsonParseError::NoError || !document.isObject())
            continue;
        const QJsonValue sdk = document.object().value(QLatin1String("sdk"));
        if (sdk.isObject() && !sdk.toObject().isEmpty())
            return document;
    }
    return QJsonDocument();
}

SDKEdition ProjectOptions::editionFromString(const QString &name)
{
    // The project file writes the edition key names in lower case.
    for (int value = 1; value <= 6; ++value) {
        const auto edition = static_cast<SDKEdition>(value);
        if (QString::fromLatin1(QtEnumUtility::toString(edition)).toLower() == name)
            return edition;
    }
    return SDKEdition::Unknown;
}

} // namespace assembly
