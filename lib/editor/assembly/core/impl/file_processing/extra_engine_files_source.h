#pragma once

#include "editor/assembly/core/assembly_enums.h"
#include "editor/assembly/core/source.h"

#include <QString>

namespace assembly {

// What the engine needs beside its library: the Windows runtime libraries,
// the texture cache, "core" and "scripts" (as a package or as a folder), the
// shader caches of the chosen video API, and the engine's and editor's cache
// files (always stored as "velmora.cache" and "editor.cache").
class ExtraEngineFilesSource : public fp::Source
{
public:
    ExtraEngineFilesSource(const QString &bin_dir, const QString &data_dir, const QString &cache_dir,
                           const QString &system_cache_file_path, const QString &editor_cache_file_path,
                           const QString &output_bin_dir, const QString &output_data_dir, System system, Binary binary,
                           VideoAPI vapi);

    int getMaxProgress() const override { return 1; }
    bool process(const ProgressCallback &progress, post::OperationQueue &queue, fp::CopyItems &items) override;

    Binary binary() const { return binary_; }

private:
    bool addRuntimeLibraries(fp::CopyItems &items) const;
    void addPackageOrFolder(const QString &name, fp::CopyItems &items) const;
    void addShaderCaches(fp::CopyItems &items) const;
    static void addIfExists(const QString &path, const QString &dest, fp::CopyItems &items);

    QString bin_dir_;
    QString data_dir_;
    QString cache_dir_;
    QString system_cache_file_path_;
    QString editor_cache_file_path_;
    QString output_bin_dir_;
    QString output_data_dir_;
    System system_;
    Binary binary_;
    VideoAPI vapi_;
};

} // namespace assembly
