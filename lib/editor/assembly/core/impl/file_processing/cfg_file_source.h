#pragma once

#include "editor/assembly/core/source.h"

#include <QString>

namespace assembly {

// The engine configuration "velmora.cfg" of the running engine's binaries
// folder; a missing file is only a warning.
class CfgFileSource : public fp::Source
{
public:
    CfgFileSource(const QString &exe_dir, const QString &output_dir);

    int getMaxProgress() const override { return 1; }
    bool process(const ProgressCallback &progress, post::OperationQueue &queue, fp::CopyItems &items) override;

private:
    QString exe_dir_;
    QString output_dir_;
};

} // namespace assembly
