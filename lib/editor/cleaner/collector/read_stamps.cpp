#include "editor/cleaner/collector/read_stamps.h"

#include "core/base/thread_group.h"
#include "core/base/worker_count.h"

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>

namespace cleaner {

namespace {

// What the link name in the folder open as dir holds; empty when it cannot
// be read.
QByteArray linkTarget(int dir, const char *name)
{
    QByteArray target(256, Qt::Uninitialized);
    for (;;) {
        const ssize_t length = ::readlinkat(dir, name, target.data(), size_t(target.size()));
        if (length < 0)
            return QByteArray();
        if (length < target.size()) {
            target.resize(int(length));
            return target;
        }
        target.resize(target.size() * 2);
    }
}

} // namespace

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

void ReadStamps::addFolders(const QString &root, const QSet<QString> &extensions, const QSet<QString> &asset_files)
{
    extensions_.clear();
    longest_extension_ = 0;
    for (const QString &extension : extensions) {
        extensions_.insert(extension.toLower().toStdString());
        longest_extension_ = std::max(longest_extension_, size_t(extension.size()));
    }
    QString folder = root;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    addTree(folder, asset_files);
}

void ReadStamps::addLinkedFolder(const QString &folder)
{
    addTree(folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/'), QSet<QString>());
}

void ReadStamps::addTree(const QString &folder, const QSet<QString> &asset_files)
{
    Listing listing;
    listing.folder = folder;
    // Stamped before it is listed: a file added meanwhile moves the stamp.
    listing.stamp = stampOf(folder);
    list(folder, listing.files, listing.links, listing.folders);
    listing.asset_file.reserve(listing.files.size());
    for (const QString &name : listing.files)
        listing.asset_file.push_back(asset_files.contains(folder + name));
    const std::vector<QString> folders = listing.folders;
    listings_.push_back(std::move(listing));
    for (const QString &name : folders)
        addTree(folder + name + QLatin1Char('/'), asset_files);
}

bool ReadStamps::list(const QString &folder, std::vector<QString> &files, std::vector<Link> &links,
                      std::vector<QString> &folders) const
{
    files.clear();
    links.clear();
    folders.clear();
    DIR *dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return false;
    while (const dirent *entry = ::readdir(dir)) {
        const char *name = entry->d_name;
        const size_t length = std::strlen(name);
        if (name[0] == '.' || (length > 5 && std::strcmp(name + length - 5, ".meta") == 0))
            continue;
        unsigned char type = entry->d_type;
        if (type == DT_UNKNOWN) {
            struct stat info;
            if (::fstatat(::dirfd(dir), name, &info, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            type = S_ISDIR(info.st_mode) ? DT_DIR : S_ISLNK(info.st_mode) ? DT_LNK : DT_REG;
        }
        if (type == DT_DIR) {
            folders.push_back(QFile::decodeName(name));
            continue;
        }
        if (type == DT_LNK) {
            // Whatever its name, a link is a user of what it leads to.
            links.push_back(Link{QFile::decodeName(name), linkTarget(::dirfd(dir), name)});
            continue;
        }
        // Any other kind, a FIFO included, is a file the engine may be given.
        const char *dot = std::strrchr(name, '.');
        if (!dot || dot[1] == '\0' || std::strlen(dot + 1) > longest_extension_)
            continue;
        std::string extension(dot + 1);
        for (char &c : extension)
            c = c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
        if (extensions_.count(extension))
            files.push_back(QFile::decodeName(name));
    }
    ::closedir(dir);
    std::sort(files.begin(), files.end());
    std::sort(links.begin(), links.end());
    std::sort(folders.begin(), folders.end());
    return true;
}

QString ReadStamps::firstWatchedBelow(const QString &folder) const
{
    std::vector<QString> files;
    std::vector<Link> links;
    std::vector<QString> folders;
    if (!list(folder, files, links, folders))
        return QString();
    if (!files.empty())
        return folder + files.front();
    if (!links.empty())
        return folder + links.front().name;
    for (const QString &name : folders) {
        const QString found = firstWatchedBelow(folder + name + QLatin1Char('/'));
        if (!found.isEmpty())
            return found;
    }
    return QString();
}

QString ReadStamps::listingChange(const Listing &listing) const
{
    std::vector<QString> files;
    std::vector<Link> links;
    std::vector<QString> folders;
    list(listing.folder, files, links, folders);
    // A link added, removed or pointed elsewhere.
    const auto differ = std::mismatch(links.begin(), links.end(), listing.links.begin(), listing.links.end());
    if (differ.first != links.end() || differ.second != listing.links.end()) {
        // Both sorted by name: the first to differ is the earlier name.
        const bool now = differ.second == listing.links.end()
                || (differ.first != links.end() && !(differ.second->name < differ.first->name));
        return listing.folder + (now ? differ.first->name : differ.second->name);
    }
    for (const QString &name : files) {
        if (!std::binary_search(listing.files.begin(), listing.files.end(), name))
            return listing.folder + name;
    }
    for (size_t i = 0; i < listing.files.size(); ++i) {
        if (!listing.asset_file[i] && !std::binary_search(files.begin(), files.end(), listing.files[i]))
            return listing.folder + listing.files[i];
    }
    // A folder gone is told by its own listing; a new one by what it holds.
    for (const QString &name : folders) {
        if (!std::binary_search(listing.folders.begin(), listing.folders.end(), name)) {
            const QString found = firstWatchedBelow(listing.folder + name + QLatin1Char('/'));
            if (!found.isEmpty())
                return found;
        }
    }
    return QString();
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
    if (first < count)
        return entries_[first].path;
    // Only a folder whose stamp moved is listed again.
    for (const Listing &listing : listings_) {
        if (stampOf(listing.folder) == listing.stamp)
            continue;
        const QString change = listingChange(listing);
        if (!change.isEmpty())
            return change;
    }
    return QString();
}

} // namespace cleaner
