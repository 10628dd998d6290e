#pragma once

#include "editor/assembly/core/exe_provider_source.h"

#include <QString>

namespace assembly {

// One prebuilt project executable, copied into "bin/" under its own name.
class MainExeFilesSource : public ExeProviderSource
{
public:
    MainExeFilesSource(const QString &src_file_path, const QString &output_dir);

    int getMaxProgress() const override { return 1; }
    bool process(const ProgressCallback &progress, post::OperationQueue &queue, fp::CopyItems &items) override;
    QString getExecutablePath() const override { return executable_path_; }

    const QString &sourceFilePath() const { return src_file_path_; }

private:
    QString src_file_path_;
    QString output_dir_;
    QString executable_path_;
};

} // namespace assembly
