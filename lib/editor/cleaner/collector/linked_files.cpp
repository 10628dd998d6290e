#include "editor/cleaner/collector/linked_files.h"

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_set>

namespace cleaner {

namespace {

bool endsWith(const char *name, const char *suffix)
{
    const size_t length = std::strlen(name);
    const size_t suffix_length = std::strlen(suffix);
    return length >= suffix_length && std::strcmp(name + length - suffix_length, suffix) == 0;
}

// The resolved path (no link left in it), or empty with errno set.
std::string resolved(const std::string &path)
{
    char *real = ::realpath(path.c_str(), nullptr);
    if (!real)
        return std::string();
    std::string result(real);
    std::free(real);
    return result;
}

QString text(const std::string &bytes)
{
    return QFile::decodeName(QByteArray(bytes.data(), int(bytes.size())));
}

} // namespace

struct LinkedFiles::Walk
{
    std::string root; // as given, ending with "/"
    std::string real_root; // resolved, no "/" at the end
    std::vector<Entry> &out;
    // Resolved folders entered below links.
    std::unordered_set<std::string> entered;

    // Lists the folder opened by dir (ending with "/"), whose entries are
    // reached in the data folder as reached + name. below_link: the folder
    // lies below a linked folder.
    void list(const std::string &dir, const std::string &reached, bool below_link)
    {
        DIR *folder = ::opendir(dir.c_str());
        if (!folder)
            return;
        std::vector<std::string> folders;
        while (const dirent *entry = ::readdir(folder)) {
            const char *name = entry->d_name;
            if (name[0] == '.' || endsWith(name, ".meta"))
                continue;
            unsigned char type = entry->d_type;
            if (type == DT_UNKNOWN) {
                struct stat info;
                if (::fstatat(::dirfd(folder), name, &info, AT_SYMLINK_NOFOLLOW) != 0)
                    continue;
                type = S_ISLNK(info.st_mode) ? DT_LNK : S_ISDIR(info.st_mode) ? DT_DIR : DT_REG;
            }
            if (type == DT_LNK) {
                follow(root + reached + name, reached + name);
            } else if (type == DT_DIR) {
                folders.emplace_back(name);
            } else if (below_link) {
                // A FIFO, socket or device is listed as well: reading it
                // fails, and is told, as through a link of its own.
                Entry file;
                file.path = text(root + reached + name);
                file.relative = text(reached + name);
                file.target = text(dir + name);
                file.target_relative = text((dir + name).substr(real_root.size() + 1));
                file.target_as_reached = text(root + (dir + name).substr(real_root.size() + 1));
                file.kind = Kind::Inside;
                file.below_link = true;
                out.push_back(std::move(file));
            }
        }
        ::closedir(folder);
        for (const std::string &name : folders) {
            // Below a link the folders are the resolved ones: one that a
            // link inside leads to again is not listed twice.
            if (!below_link || entered.insert(dir + name).second)
                list(dir + name + "/", reached + name + "/", below_link);
        }
    }

    // A link at path, reached as the data-relative reached.
    void follow(const std::string &path, const std::string &reached)
    {
        Entry link;
        link.path = text(path);
        link.relative = text(reached);
        const std::string target = resolved(path);
        if (target.empty()) {
            link.kind = errno == ELOOP ? Kind::Loop : Kind::Nowhere;
            out.push_back(std::move(link));
            return;
        }
        struct stat info;
        if (::stat(target.c_str(), &info) != 0) {
            link.kind = Kind::Nowhere;
            out.push_back(std::move(link));
            return;
        }
        link.target = text(target);
        link.folder = S_ISDIR(info.st_mode);
        const bool inside = target == real_root
                || (target.size() > real_root.size() && target.compare(0, real_root.size(), real_root) == 0
                    && target[real_root.size()] == '/');
        if (!inside) {
            link.kind = Kind::Outside;
            out.push_back(std::move(link));
            return;
        }
        link.kind = Kind::Inside;
        link.target_relative = target.size() > real_root.size() ? text(target.substr(real_root.size() + 1)) : QString();
        link.target_as_reached = text(target.size() > real_root.size() ? root + target.substr(real_root.size() + 1)
                                                                       : root.substr(0, root.size() - 1));
        const bool walk_below = link.folder && isHidden(link.target_relative) && entered.insert(target).second;
        out.push_back(std::move(link));
        // A visible folder is listed by the scan (and here) on its own.
        if (walk_below)
            list(target + "/", reached + "/", true);
    }
};

LinkedFiles LinkedFiles::find(const QString &data_root)
{
    LinkedFiles result;
    std::string root = QFile::encodeName(data_root).toStdString();
    if (root.empty())
        return result;
    if (root.back() != '/')
        root += '/';
    const std::string real_root = resolved(root);
    if (real_root.empty())
        return result;
    Walk walk{root, real_root == "/" ? std::string() : real_root, result.entries_, {}};
    walk.list(root, std::string(), false);
    return result;
}

bool LinkedFiles::isHidden(const QString &relative)
{
    return relative.startsWith(QLatin1Char('.')) || relative.contains(QLatin1String("/."));
}

} // namespace cleaner
