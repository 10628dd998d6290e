#pragma once

#include "editor/assembly/core/impl/file_processing/binary_traits.h"
#include "editor/assembly/core/source.h"

#include <QString>
#include <QStringList>

namespace assembly {

// The engine plug-in libraries the project lists, by base name; a missing
// one is only a warning.
class PluginFilesSource : public fp::Source
{
public:
    PluginFilesSource(const QString &bin_dir, const QString &output_dir, const QStringList &plugins, System system,
                      Precision precision, Binary binary);

    int getMaxProgress() const override { return 1; }
    bool process(const ProgressCallback &progress, post::OperationQueue &queue, fp::CopyItems &items) override;

    Binary binary() const { return traits_.binary(); }

private:
    QString bin_dir_;
    QString output_dir_;
    QStringList plugins_;
    BinaryTraits traits_;
};

} // namespace assembly
