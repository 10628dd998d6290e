#pragma once

#include "editor/assembly/core/assembly_enums.h"
#include "editor/assembly/core/source.h"

#include <QString>

namespace assembly {

// The OpenAL library, from the binaries folder or its "x64/" subfolder; a
// missing library fails the build.
class SoundFilesSource : public fp::Source
{
public:
    SoundFilesSource(const QString &bin_dir, const QString &output_dir, System system);

    int getMaxProgress() const override { return 1; }
    bool process(const ProgressCallback &progress, post::OperationQueue &queue, fp::CopyItems &items) override;

private:
    QString bin_dir_;
    QString output_dir_;
    System system_;
};

} // namespace assembly
