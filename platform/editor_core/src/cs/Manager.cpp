#include "editor_core/cs/Manager.h"

#include "editor_core/editor/AssetManagerPrivate.h"
#include "editor_core/fs/FileSystem.h"

#include <velmora/Log.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace cs {

Manager::Manager(Editor::AssetManagerPrivate *assets, prop::Manager *properties, QObject *parent)
    : QObject(parent)
    , assets_(assets)
    , properties_(properties)
{}

Manager::~Manager() = default;

bool Manager::init()
{
    log_.record(QStringLiteral("init"));
    active_ = false;
    project_file_.clear();
    project_name_.clear();

    const QString data = assets_ ? assets_->rootPath() : fs::dataPath();
    if (data.isEmpty()) {
        Velmora::Log::warning("Component system: no data folder, so no project file\n");
        return false;
    }
    QDir project_dir(data);
    project_dir.cdUp();
    const QStringList candidates
            = project_dir.entryList(QStringList{QStringLiteral("*.project")}, QDir::Files, QDir::Name);
    for (const QString &name : candidates) {
        QFile file(project_dir.absoluteFilePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
        if (error.error != QJsonParseError::NoError || !document.isObject()) {
            Velmora::Log::warning("Component system: the project file \"%s\" is not a JSON object; it is skipped\n",
                                  qUtf8Printable(file.fileName()));
            continue;
        }
        const QJsonObject settings = document.object().value(QStringLiteral("project_settings")).toObject();
        project_file_ = file.fileName();
        project_name_ = settings.value(QStringLiteral("name")).toString();
        active_ = settings.value(QStringLiteral("component_system")).toInt(0) != 0;
        break;
    }
    if (project_file_.isEmpty())
        Velmora::Log::warning("Component system: no project file in \"%s\"; the component system is off\n",
                              qUtf8Printable(project_dir.absolutePath()));
    if (project_path_.isEmpty() && !project_name_.isEmpty())
        project_path_ = project_dir.absoluteFilePath(project_name_ + QStringLiteral(".csproj"));
    if (binary_path_.isEmpty())
        binary_path_ = project_dir.absolutePath() + QStringLiteral("/cs_bin/");
    return active_;
}

void Manager::postInit()
{
    log_.record(QStringLiteral("postInit"));
}

void Manager::shutdown()
{
    log_.record(QStringLiteral("shutdown"));
}

void Manager::flush()
{
    log_.record(QStringLiteral("flush"));
}

QString Manager::getProjectPath() const
{
    return project_path_;
}

QString Manager::getBinaryPath() const
{
    return binary_path_;
}

void Manager::setProjectPath(const QString &path)
{
    project_path_ = path;
}

void Manager::setBinaryPath(const QString &path)
{
    binary_path_ = path;
}

namespace {
QString guidText(const Velmora::UGUID &guid)
{
    return QString::fromLatin1(guid.getString().get());
}
} // namespace

void Manager::componentAdded(const Velmora::UGUID &guid, const QString &path)
{
    log_.record(QStringLiteral("componentAdded %1 %2").arg(guidText(guid), path));
}

void Manager::componentRemoved(const Velmora::UGUID &guid)
{
    log_.record(QStringLiteral("componentRemoved %1").arg(guidText(guid)));
}

void Manager::componentMoved(const Velmora::UGUID &guid, const QString &path)
{
    log_.record(QStringLiteral("componentMoved %1 %2").arg(guidText(guid), path));
}

void Manager::componentChanged(const Velmora::UGUID &guid)
{
    log_.record(QStringLiteral("componentChanged %1").arg(guidText(guid)));
}

void Manager::presetAdded(const Velmora::UGUID &guid, const QString &path)
{
    log_.record(QStringLiteral("presetAdded %1 %2").arg(guidText(guid), path));
}

void Manager::presetRemoved(const Velmora::UGUID &guid)
{
    log_.record(QStringLiteral("presetRemoved %1").arg(guidText(guid)));
}

void Manager::presetMoved(const Velmora::UGUID &guid, const QString &path)
{
    log_.record(QStringLiteral("presetMoved %1 %2").arg(guidText(guid), path));
}

void Manager::presetChanged(const Velmora::UGUID &guid, const QString &path)
{
    log_.record(QStringLiteral("presetChanged %1 %2").arg(guidText(guid), path));
}

void Manager::dirRemoved(const QFileInfo &info)
{
    log_.record(QStringLiteral("dirRemoved %1").arg(info.filePath()));
}

void Manager::dirMoved(const QString &from, const QString &to)
{
    log_.record(QStringLiteral("dirMoved %1 %2").arg(from, to));
}

bool Manager::createComponent(const QString &folder, const QString &name)
{
    log_.record(QStringLiteral("createComponent %1 %2").arg(folder, name));
    Velmora::Log::warning("Component system: components cannot be created here (no .NET tool chain)\n");
    return false;
}

void Manager::setDirtyBuild()
{
    log_.record(QStringLiteral("setDirtyBuild"));
}

} // namespace cs
