#pragma once

#include "editor/assembly/core/assembly_enums.h"
#include "editor/assembly/core/source.h"
#include "editor/assembly/launcher/command_line.h"

#include <QString>

namespace assembly {

// The prebuilt launcher program, copied into the build folder under the
// project's name, with its settings file "<launcher file>.lconfig" and the
// Qt and runtime libraries and Qt plug-in folders it needs. The executable
// paths are set by the ExeCombiner before process().
class BinaryLauncherFilesSource : public fp::Source
{
public:
    // launcher_non_debug chooses the prebuilt launcher: the non-debug one
    // when a release or development build is selected.
    BinaryLauncherFilesSource(const CommandLine &command_line, System system, const QString &project_name,
                              BuildConfiguration build, Binary binary, SDKEdition sdk_edition, bool launcher_non_debug,
                              const QString &banner_path, const QString &src_bin_path, const QString &output_dir);

    void setExecutablePaths(const QString &debug, const QString &dev, const QString &release);

    int getMaxProgress() const override { return 1; }
    bool process(const ProgressCallback &progress, post::OperationQueue &queue, fp::CopyItems &items) override;

    const QString &projectName() const { return project_name_; }
    Binary launcherBinary() const { return launcher_binary_; }

private:
    bool addRequired(const QString &name, bool x64_fallback, fp::CopyItems &items) const;

    QString src_bin_path_;
    QString project_name_;
    QString output_dir_;
    QString debug_exe_;
    QString dev_exe_;
    QString release_exe_;
    QString banner_path_;
    QString launcher_name_;
    CommandLine command_line_;
    Binary launcher_binary_;
    Binary binary_;
    BuildConfiguration build_;
    System system_;
    SDKEdition sdk_edition_;
};

} // namespace assembly
