#pragma once

#include "editor/assembly/core/impl/file_processing/binary_traits.h"
#include "editor/assembly/core/source.h"

#include <QString>

namespace assembly {

// The engine library of one binary kind, from a source folder into "bin/".
// A missing library fails the build.
class EngineFilesSource : public fp::Source
{
public:
    EngineFilesSource(const QString &source_dir, const QString &output_dir, System system, Precision precision,
                      Binary binary);

    int getMaxProgress() const override { return 1; }
    bool process(const ProgressCallback &progress, post::OperationQueue &queue, fp::CopyItems &items) override;

    const QString &sourceDir() const { return source_dir_; }
    Binary binary() const { return traits_.binary(); }

private:
    QString source_dir_;
    QString output_dir_;
    BinaryTraits traits_;
};

} // namespace assembly
