#pragma once

#include "editor/assembly/core/source.h"

#include <QHash>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace assembly {

// The one file source the executor sees: runs the system sources (what the
// project and the engine need), then the user sources (the copy rules), each
// within its own share of the progress, and merges their items so that every
// output path (compared without regard to letter case) occurs once:
//   - two system items: the first stays (a warning when the files differ);
//   - a user item never replaces a system item (a warning when they differ);
//   - two different user files: the collision chooser that the combiner is
//     given decides (in the editor, the user in the collision dialog, while
//     the build's worker waits).
// Identical files are merged silently. Items whose destination would leave
// the build folder are dropped with a warning; items whose source is gone
// are dropped.
class SourceCombiner : public fp::Source
{
public:
    using Sources = std::vector<std::unique_ptr<fp::Source>>;
    // Answers a collision of two user files: 0 keeps the first, 1 takes the
    // second. Called on the worker thread; the caller that composes the build
    // provides it (the build tool's UI asks the user).
    using CollisionChooser = std::function<int(const QString &first, const QString &second, const QString &output)>;

    static constexpr int RESERVED_ITEMS = 1501;
    static constexpr int COMPARE_BLOCK_SIZE = 8192;

    SourceCombiner(Sources system_sources, Sources user_sources, CollisionChooser chooser);
    ~SourceCombiner() override;

    int getMaxProgress() const override;
    bool process(const ProgressCallback &progress, post::OperationQueue &queue, fp::CopyItems &items) override;

    const Sources &systemSources() const { return system_sources_; }
    const Sources &userSources() const { return user_sources_; }

    // Same size and same bytes; two empty files are equal, unreadable files
    // are not.
    static bool filesEqual(const QString &first, const QString &second);

private:
    using Index = QHash<QString, int>;

    static bool validateItem(const fp::CopyItem &item);
    static bool itemsEqual(const fp::CopyItem &first, const fp::CopyItem &second);
    void checkSameFiles(const fp::CopyItem &item, fp::CopyItems &out, Index &system_index) const;
    void checkUserConflicts(const fp::CopyItem &item, fp::CopyItems &out, const Index &system_index,
                            Index &user_index) const;

    Sources system_sources_;
    Sources user_sources_;
    CollisionChooser chooser_;
};

} // namespace assembly
