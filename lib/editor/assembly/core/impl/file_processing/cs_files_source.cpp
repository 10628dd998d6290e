#include "editor/assembly/core/impl/file_processing/cs_files_source.h"

#include "editor/assembly/core/impl/file_processing/binary_traits.h"
#include "editor/assembly/core/impl/file_processing/list_files_recursive.h"
#include "editor/assembly/core/impl/file_processing/tool_output.h"
#include "editor/assembly/core/output_folder_guard.h"

#include <velmora/UGUID.h>
#include <velmora/Xml.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QtDebug>

namespace assembly {

namespace {

// Deletes the working copy of the project file on every way out.
class WorkingCopy
{
public:
    explicit WorkingCopy(const QString &path)
        : path_(path)
    {}
    ~WorkingCopy()
    {
        if (!path_.isEmpty() && QFileInfo(path_).isFile() && !QFile::remove(path_))
            qWarning() << "Build Tool: can't remove the working copy of the csproj file (" << path_ << ").";
    }
    WorkingCopy(const WorkingCopy &) = delete;
    WorkingCopy &operator=(const WorkingCopy &) = delete;

private:
    QString path_;
};

// The apostrophe-delimited pieces of a Condition, blank ones left out:
// " '$(Configuration)|$(Platform)' == 'Debug|AnyCPU' " gives
// "$(Configuration)|$(Platform)", "==", "Debug|AnyCPU".
QStringList conditionPieces(const Velmora::Xml &element)
{
    QStringList pieces;
    const QStringList parts = QString::fromUtf8(element.getArg("Condition")).split(QLatin1Char('\''));
    for (const QString &part : parts) {
        if (!part.trimmed().isEmpty())
            pieces << part.trimmed();
    }
    return pieces;
}

} // namespace

CSFilesSource::CSFilesSource(const QString &cs_file, const QString &cs_binpath, System system, bool release,
                             Precision precision, const QString &wrapper_path, const QString &sharp_core_path,
                             const QString &output_dir)
    : cs_file_(cs_file)
    , cs_binpath_(cs_binpath)
    , wrapper_path_(wrapper_path)
    , sharp_core_path_(sharp_core_path)
    , output_dir_(output_dir)
    , precision_(precision)
    , system_(system)
    , binary_(BinaryTraits::kindOf(release))
{}

QString CSFilesSource::runtimeIdentifier(System system)
{
    return system == System::Windows ? QStringLiteral("win-x64") : QStringLiteral("linux-x64");
}

QStringList CSFilesSource::configurations(const Velmora::Xml &project)
{
    QStringList names;
    for (int i = 0; i < project.getNumChildren(); ++i) {
        const Velmora::Xml *child = project.getChild(i);
        if (qstrcmp(child->getName(), "PropertyGroup") != 0 || !child->isArg("Condition"))
            continue;
        const QStringList pieces = conditionPieces(*child);
        if (pieces.isEmpty() || !pieces.first().contains(QLatin1String("Configuration")))
            continue;
        const QString name = pieces.last();
        if (name.contains(QLatin1String("release"), Qt::CaseInsensitive)
            || name.contains(QLatin1String("debug"), Qt::CaseInsensitive))
            names << name;
        else
            qWarning() << "Build Tool: csproj configuration" << name
                       << "is neither a release nor a debug configuration and is ignored.";
    }
    return names;
}

QString CSFilesSource::chooseConfiguration(const QStringList &names, Binary binary, Precision precision)
{
    const QString key = binary == Binary::Debug ? QStringLiteral("debug") : QStringLiteral("release");
    if (names.size() != 2 && names.size() != 4) {
        qCritical() << "Build Tool: csproj file contains unknown configuration parameters - '" << names << "'.";
        return QString();
    }
    for (const QString &name : names) {
        if (!name.contains(key, Qt::CaseInsensitive))
            continue;
        const bool is_double = name.contains(QLatin1String("double"), Qt::CaseInsensitive);
        if (names.size() == 2 || is_double == (precision == Precision::Double))
            return name;
    }
    qCritical() << "Build Tool: csproj file contains wrong configuration parameters - '" << names << "'.";
    return QString();
}

bool CSFilesSource::process(const ProgressCallback &progress, post::OperationQueue &queue, fp::CopyItems &items)
{
    executable_path_.clear();
    if (cs_file_.isEmpty() || cs_binpath_.isEmpty() || wrapper_path_.isEmpty() || sharp_core_path_.isEmpty()) {
        qCritical() << "Build Tool: the C# project or its folders are not set.";
        return false;
    }
    if (!addEngineLibraries(items))
        return false;

    QString project;
    if (!readProject(project))
        return false;
    const WorkingCopy working_copy(project);

    if (!progress(4, 1))
        return false;
    QString publish_dir;
    if (!buildAndPublish(progress, queue, project, publish_dir))
        return false;

    if (!QFileInfo(publish_dir + executable_name_).isFile()) {
        qCritical() << "Build Tool: main CS executable file not found.";
        return false;
    }
    const int first = items.size();
    fs::listFilesRecursive(publish_dir, output_dir_, true, items);
    for (int i = first; i < items.size(); ++i) {
        if (items.at(i).relative_dest == output_dir_ + executable_name_)
            executable_path_ = items.at(i).relative_dest;
    }
    if (executable_path_.isEmpty()) {
        qCritical() << "Build Tool: main CS executable file not found.";
        return false;
    }
    return progress(4, 4);
}

bool CSFilesSource::addEngineLibraries(fp::CopyItems &items) const
{
    const QString wrapper = BinaryTraits(system_, binary_, precision_).libraryName(QStringLiteral("VelmoraWrapper"));
    // The managed core library carries the Windows name on every system.
    const QString core
            = BinaryTraits(System::Windows, binary_, precision_).libraryName(QStringLiteral("VelmoraSharpCore"));
    const std::pair<QString, QString> libraries[] = {{wrapper_path_, wrapper}, {sharp_core_path_, core}};
    for (const auto &library : libraries) {
        const QString path = library.first + library.second;
        if (!QFileInfo(path).isFile()) {
            qCritical() << "Build Tool: necessary file not found (" << path << ").";
            return false;
        }
        items.append(fp::CopyItem{path, output_dir_ + library.second});
    }
    return true;
}

bool CSFilesSource::readProject(QString &working_copy)
{
    Velmora::Xml xml;
    if (!xml.load(cs_file_.toUtf8().constData())) {
        qCritical() << "Build Tool: can't read csproj file (" << cs_file_ << ").";
        return false;
    }
    for (int i = 0; i < xml.getNumChildren(); ++i) {
        const Velmora::Xml *child = xml.getChild(i);
        if (qstrcmp(child->getName(), "Target") == 0 && qstrcmp(child->getArg("Name"), "PostBuild") == 0) {
            xml.removeChild(i);
            break;
        }
    }

    configuration_ = chooseConfiguration(configurations(xml), binary_, precision_);
    if (configuration_.isEmpty())
        return false;

    executable_name_.clear();
    for (int i = 0; i < xml.getNumChildren() && executable_name_.isEmpty(); ++i) {
        const Velmora::Xml *child = xml.getChild(i);
        if (qstrcmp(child->getName(), "PropertyGroup") != 0 || !child->isArg("Condition"))
            continue;
        const QStringList pieces = conditionPieces(*child);
        if (pieces.isEmpty() || pieces.last() != configuration_)
            continue;
        if (const Velmora::Xml *name = child->findChild("AssemblyName"))
            executable_name_ = QString::fromUtf8(name->getData());
        break;
    }
    if (executable_name_.isEmpty()) {
        qCritical() << "Build Tool: csproj file doesn't contain the key Project->PropertyGroup->AssemblyName for the "
                       "requested configuration - '"
                    << configuration_ << "'.";
        return false;
    }
    if (system_ == System::Windows) {
        if (executable_name_.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive)) {
            qCritical() << "Build Tool: csproj AssemblyName must not end with \".exe\" (" << executable_name_ << ").";
            return false;
        }
        executable_name_ += QStringLiteral(".exe");
    }

    const QFileInfo info(cs_file_);
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    const QString copy = uniqueName(info.absolutePath() + QLatin1Char('/'), info.completeBaseName(), suffix);
    if (!xml.save(copy.toUtf8().constData())) {
        qCritical() << "Build Tool: can't copy csproj file.";
        return false;
    }
    working_copy = copy;
    return true;
}

bool CSFilesSource::buildAndPublish(const ProgressCallback &progress, post::OperationQueue &queue,
                                    const QString &project, QString &publish_dir)
{
    const QString rid = runtimeIdentifier(system_);
    const QString output = cs_binpath_ + rid;
    if (QFileInfo::exists(output) && !removeToolFolder(output))
        return false;
    queue.add([this, output]() {
        if (QFileInfo::exists(output))
            removeToolFolder(output);
    });

    if (!runTool({QStringLiteral("build"), QStringLiteral("-c"), configuration_, QStringLiteral("-r"), rid, project})) {
        qCritical() << "Build Tool: CS build failed.";
        return false;
    }
    if (!progress(4, 2))
        return false;
    if (!runTool({QStringLiteral("publish"), project, QStringLiteral("-c"), configuration_, QStringLiteral("-r"), rid,
                  QStringLiteral("--no-build"), QStringLiteral("--self-contained")})) {
        qCritical() << "Build Tool: CS publishing failed.";
        return false;
    }
    if (!progress(4, 3))
        return false;

    const QString moved = uniqueName(cs_binpath_, rid, QString());
    if (!QDir(cs_binpath_).rename(rid, QFileInfo(moved).fileName())) {
        qCritical() << "Build Tool: CS publishing failed. Internal error: folder cannot be renamed.";
        return false;
    }
    queue.add([this, moved]() {
        if (QFileInfo::exists(moved))
            removeToolFolder(moved);
    });
    publish_dir = moved + QStringLiteral("/publish/");
    if (!QFileInfo(publish_dir).isDir()) {
        qCritical() << "Build Tool: CS publishing failed: no publish folder (" << publish_dir << ").";
        return false;
    }
    return true;
}

bool CSFilesSource::runTool(const QStringList &arguments) const
{
    ToolOutput output;
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    QObject::connect(&process, &QProcess::readyRead,
                     [&process, &output]() { output.append(QString::fromLocal8Bit(process.readAll())); });
    process.start(program_, arguments, QIODevice::ReadWrite);
    if (!process.waitForStarted(-1)) {
        qCritical() << "Build Tool: can't start dotnet (" << program_ << "):" << process.errorString();
        return false;
    }
    process.closeWriteChannel();
    process.waitForFinished(-1);
    output.append(QString::fromLocal8Bit(process.readAll()));
    output.finish();
    if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return true;
    output.log();
    return false;
}

bool CSFilesSource::removeToolFolder(const QString &folder) const
{
    // Only folders the tool made below the C# binaries folder are removed.
    OutputFolderGuard guard;
    guard.protectFolder(cs_binpath_, QStringLiteral("C# binaries folder"));
    guard.protectFolder(QDir::homePath(), QStringLiteral("home folder"));
    guard.protectFolder(QDir::rootPath(), QStringLiteral("file-system root"));
    if (!guard.clear(folder) || !QDir().rmdir(folder)) {
        qCritical() << "Build Tool: can't remove the folder (" << folder << ").";
        return false;
    }
    return true;
}

QString CSFilesSource::uniqueName(const QString &folder, const QString &prefix, const QString &suffix) const
{
    for (;;) {
        const QString candidate = folder + prefix + QString::number(Velmora::UGUID::generate().hash()) + suffix;
        if (!QFileInfo::exists(candidate))
            return candidate;
    }
}

} // namespace assembly
