#pragma once

#include "editor/assembly/core/copy_rule.h"
#include "editor/assembly/core/source.h"

#include <QString>
#include <QVector>

namespace assembly {

// The files the user's copy rules name. A rule's "from" is a file, a folder,
// or a folder followed by a wildcard pattern; its "to" is relative to the
// build folder. Rules that name nothing, or whose destination would leave the
// build folder (a ".." segment, an absolute path), are skipped with a
// warning; the source never fails except by cancel.
class UserFilesSource : public fp::Source
{
public:
    explicit UserFilesSource(const QVector<CopyRule> &rules);

    int getMaxProgress() const override { return 1; }
    bool process(const ProgressCallback &progress, post::OperationQueue &queue, fp::CopyItems &items) override;

    // The rules as process() uses them.
    const QVector<CopyRule> &rules() const { return rules_; }

    static QString normalizeFrom(const QString &from);
    static QString normalizeTo(const QString &to);

    // Appends the items of one normalised rule.
    static void expandRule(const CopyRule &rule, fp::CopyItems &items);

private:
    static void addFile(const QString &source, const QString &to, fp::CopyItems &items);
    static int addFolder(const QString &folder, const QString &pattern, const QString &to, fp::CopyItems &items);

    QVector<CopyRule> rules_;
};

} // namespace assembly
