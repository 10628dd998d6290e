#include "editor/assembly/core/impl/file_processing/source_combiner.h"

#include "editor/assembly/core/path_utils.h"

#include <editor_core/base/Assert.h>

#include <QFile>
#include <QFileInfo>
#include <QtDebug>

#include <utility>

namespace assembly {

SourceCombiner::SourceCombiner(Sources system_sources, Sources user_sources, CollisionChooser chooser)
    : system_sources_(std::move(system_sources))
    , user_sources_(std::move(user_sources))
    , chooser_(std::move(chooser))
{
    EC_ASSERT(!system_sources_.empty());
    EC_ASSERT(chooser_);
}

SourceCombiner::~SourceCombiner() = default;

int SourceCombiner::getMaxProgress() const
{
    int sum = 0;
    for (const Sources *sources : {&system_sources_, &user_sources_}) {
        for (const auto &s : *sources) {
            EC_ASSERT(s->getMaxProgress() > 0);
            sum += s->getMaxProgress();
        }
    }
    return sum;
}

bool SourceCombiner::process(const ProgressCallback &progress, post::OperationQueue &queue, fp::CopyItems &out)
{
    const int max_progress = getMaxProgress();
    int current_progress = 0;
    const int first_item = out.size();
    Index system_index;
    Index user_index;
    fp::CopyItems scratch;
    scratch.reserve(RESERVED_ITEMS);

    const ProgressCallback inner = [&](int /*max*/, int value) {
        EC_ASSERT(current_progress + value <= max_progress);
        return progress(max_progress, current_progress + value);
    };

    for (const auto &source : system_sources_) {
        if (!source->process(inner, queue, scratch)) {
            out.resize(first_item);
            return false;
        }
        for (const fp::CopyItem &item : qAsConst(scratch))
            checkSameFiles(item, out, system_index);
        current_progress += source->getMaxProgress();
        scratch.clear();
    }
    for (const auto &source : user_sources_) {
        if (!source->process(inner, queue, scratch)) {
            out.resize(first_item);
            return false;
        }
        for (const fp::CopyItem &item : qAsConst(scratch))
            checkUserConflicts(item, out, system_index, user_index);
        current_progress += source->getMaxProgress();
        scratch.clear();
    }
    EC_ASSERT(current_progress == max_progress);
    return progress(max_progress, max_progress);
}

bool SourceCombiner::validateItem(const fp::CopyItem &item)
{
    if (!isSafeRelativePath(item.relative_dest)) {
        qWarning() << "Build Tool: a file can't be copied to" << item.relative_dest
                   << "(not a path inside the build folder); it is skipped (" << item.source_path << ").";
        return false;
    }
    if (!QFileInfo(item.source_path).isFile()) {
        qWarning() << "Build Tool: source file not found, it is skipped (" << item.source_path << ").";
        return false;
    }
    return true;
}

bool SourceCombiner::itemsEqual(const fp::CopyItem &first, const fp::CopyItem &second)
{
    if (first.source_path == second.source_path)
        return true;
    return filesEqual(first.source_path, second.source_path);
}

void SourceCombiner::checkSameFiles(const fp::CopyItem &item, fp::CopyItems &out, Index &system_index) const
{
    if (!validateItem(item))
        return;
    const QString key = item.relative_dest.toLower();
    const auto found = system_index.constFind(key);
    if (found == system_index.constEnd()) {
        system_index.insert(key, out.size());
        out.append(item);
        return;
    }
    const fp::CopyItem &listed = out.at(found.value());
    if (itemsEqual(item, listed))
        return;
    qWarning() << "Build Tool: [internal warning] "
               << "files are different, must be same.";
    qWarning() << "\tFile 1: " << item.source_path;
    qWarning() << "\tFile 2: " << listed.source_path;
    qWarning() << "\tOutput file: " << item.relative_dest;
}

void SourceCombiner::checkUserConflicts(const fp::CopyItem &item, fp::CopyItems &out, const Index &system_index,
                                        Index &user_index) const
{
    if (!validateItem(item))
        return;
    const QString key = item.relative_dest.toLower();
    const auto system = system_index.constFind(key);
    if (system != system_index.constEnd()) {
        if (itemsEqual(item, out.at(system.value())))
            return;
        qWarning() << "Build Tool: user file can't be copied to the build output folder, as it conflicts with one of "
                      "project files";
        qWarning() << "\tUser file: " << item.source_path;
        qWarning() << "\tProject file: " << item.relative_dest;
        return;
    }
    const auto user = user_index.constFind(key);
    if (user == user_index.constEnd()) {
        user_index.insert(key, out.size());
        out.append(item);
        return;
    }
    fp::CopyItem &listed = out[user.value()];
    if (itemsEqual(item, listed))
        return;
    if (chooser_(listed.source_path, item.source_path, listed.relative_dest) == 1)
        listed = item;
}

bool SourceCombiner::filesEqual(const QString &first, const QString &second)
{
    const QFileInfo a(first);
    const QFileInfo b(second);
    if (a.size() != b.size())
        return false;
    QFile file_a(first);
    QFile file_b(second);
    if (!file_a.open(QIODevice::ReadOnly) || !file_b.open(QIODevice::ReadOnly))
        return false;
    for (;;) {
        const QByteArray block_a = file_a.read(COMPARE_BLOCK_SIZE);
        const QByteArray block_b = file_b.read(COMPARE_BLOCK_SIZE);
        if (block_a != block_b)
            return false;
        if (block_a.isEmpty())
            return true;
    }
}

} // namespace assembly
