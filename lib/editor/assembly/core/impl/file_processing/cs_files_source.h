#pragma once

#include "editor/assembly/core/assembly_enums.h"
#include "editor/assembly/core/exe_provider_source.h"

#include <QString>
#include <QStringList>

namespace Velmora {
class Xml;
}

namespace assembly {

// The executable of a C# project: builds and publishes a working copy of
// the project file (without its "PostBuild" target) with the dotnet tool
// for one binary kind, lists every published file into "bin/" and reports
// the published executable. The project file itself is never changed, and
// the working copy is gone when process() returns.
class CSFilesSource : public ExeProviderSource
{
public:
    CSFilesSource(const QString &cs_file, const QString &cs_binpath, System system, bool release, Precision precision,
                  const QString &wrapper_path, const QString &sharp_core_path, const QString &output_dir);

    int getMaxProgress() const override { return 4; }
    bool process(const ProgressCallback &progress, post::OperationQueue &queue, fp::CopyItems &items) override;
    QString getExecutablePath() const override { return executable_path_; }

    // The tool started; "dotnet" (found through PATH) unless a test says
    // otherwise.
    void setProgram(const QString &program) { program_ = program; }
    const QString &projectFile() const { return cs_file_; }
    Binary binary() const { return binary_; }

    // "win-x64" or "linux-x64".
    static QString runtimeIdentifier(System system);
    // The configuration names of a project (root's PropertyGroup elements
    // whose Condition names a Configuration); names with neither "release"
    // nor "debug" are left out with a warning.
    static QStringList configurations(const Velmora::Xml &project);
    // The configuration to build for a binary kind and precision; "" (with
    // a critical line) when none fits.
    static QString chooseConfiguration(const QStringList &names, Binary binary, Precision precision);

private:
    bool addEngineLibraries(fp::CopyItems &items) const;
    bool readProject(QString &working_copy);
    bool buildAndPublish(const ProgressCallback &progress, post::OperationQueue &queue, const QString &project,
                         QString &publish_dir);
    bool runTool(const QStringList &arguments) const;
    bool removeToolFolder(const QString &folder) const;
    QString uniqueName(const QString &folder, const QString &prefix, const QString &suffix) const;

    QString cs_file_;
    QString cs_binpath_;
    QString executable_path_;
    QString wrapper_path_;
    QString sharp_core_path_;
    QString output_dir_;
    Precision precision_;
    System system_;
    Binary binary_;
    QString program_ = QStringLiteral("dotnet");

    // State of one process() call.
    QString configuration_;
    QString executable_name_;
};

} // namespace assembly
