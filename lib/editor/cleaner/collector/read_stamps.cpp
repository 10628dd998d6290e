#include "editor/cleaner/collector/read_stamps.h"

#include "core/base/thread_group.h"
#include "core/base/worker_count.h"

#include <QFile>

#include <sys/stat.h>

#include <algorithm>
#include <atomic>

namespace cleaner {

ReadStamps::Stamp ReadStamps::stampOf(const QString &path)
{
    struct stat info;
    Stamp stamp;
    if (::stat(QFile::encodeName(path).constData(), &info) == 0) {
        stamp.size = qint64(info.st_size);
        stamp.modified = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
        stamp.changed = qint64(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
        stamp.node = quint64(info.st_ino);
    }
    return stamp;
}

void ReadStamps::add(const QString &path, const Velmora::UGUID &owner)
{
    entries_.push_back(Entry{path, owner, stampOf(path)});
}

void ReadStamps::restamp(const QString &path)
{
    for (Entry &entry : entries_) {
        if (entry.path == path) {
            entry.stamp = stampOf(path);
            return;
        }
    }
    add(path);
}

QString ReadStamps::firstChange(const QSet<Velmora::UGUID> &gone) const
{
    // Runs of entries go to the threads in turn; the earliest change any of
    // them finds is told, and all stop once one is found.
    constexpr size_t RUN = 512;
    constexpr size_t PARALLEL_FROM = 4096;
    const size_t count = entries_.size();
    std::atomic<size_t> next_run{0};
    std::atomic<size_t> found{count};
    auto work = [&] {
        for (;;) {
            const size_t begin = next_run.fetch_add(1) * RUN;
            if (begin >= count || found.load() < begin)
                return;
            const size_t end = std::min(count, begin + RUN);
            for (size_t i = begin; i < end; ++i) {
                const Entry &entry = entries_[i];
                if (!entry.owner.isEmpty() && gone.contains(entry.owner))
                    continue;
                if (stampOf(entry.path) != entry.stamp) {
                    size_t known = found.load();
                    while (i < known && !found.compare_exchange_weak(known, i)) {}
                    return;
                }
            }
        }
    };
    // Helpers the system refuses are done without: the runs are shared out
    // as they are asked for, so this thread reads what no helper takes.
    base::ThreadGroup helpers;
    if (count >= PARALLEL_FROM) {
        for (int i = 1; i < std::min(4, base::WorkerCount::ofMachine()); ++i) {
            if (!helpers.start(work))
                break;
        }
    }
    work();
    helpers.join();
    const size_t first = found.load();
    return first < count ? entries_[first].path : QString();
}

} // namespace cleaner
