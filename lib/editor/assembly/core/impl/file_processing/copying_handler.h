#pragma once

#include "editor/assembly/core/copier.h"

#include <QString>

namespace assembly {

// The build's copier: creates the folders the items need under the build
// folder, then copies every item. A file is written under its final name
// only by this copy (an existing file is never overwritten) and is removed
// again when its copy fails, so no half-written file is left behind.
// Copies keep the source's permission bits, except that ".sh" scripts are
// made executable. A file that cannot be copied does not stop the others,
// but fails the build with its path in the log. Cancel is noticed between
// two files. The files are copied on a few threads, but reports, messages
// and cancel follow the items' order as a copy one after the other would:
// files copied ahead of a cancel are removed again, and of two items with
// the same destination the earlier one gets it.
class CopyingHandler : public fp::Copier
{
public:
    // output_path: absolute, ending with '/'.
    explicit CopyingHandler(const QString &output_path);

    int getMaxProgress(int item_count) const override { return item_count + 1; }
    bool copy(const ProgressCallback &progress, const fp::CopyItems &items, post::OperationQueue &queue) override;

    const QString &outputPath() const { return output_path_; }

    // Copies one file to a destination that must not exist yet (kernel copy
    // or reflink where the file system offers it). On failure the reason is
    // returned in error and nothing is left at the destination.
    static bool copyFile(const QString &source, const QString &destination, QString &error);

private:
    QString output_path_;
};

} // namespace assembly
