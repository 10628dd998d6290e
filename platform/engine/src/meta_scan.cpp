#include "velmora/MetaScan.h"

#include "velmora/LogHold.h"
#include "velmora/Xml.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>

namespace Velmora {

namespace {

const char RUNTIMES_FOLDER[] = ".runtimes";

int64_t changeTime(const struct stat &info)
{
    return int64_t(info.st_mtim.tv_sec) * 1000000000 + int64_t(info.st_mtim.tv_nsec);
}

bool isMeta(const std::string &path)
{
    return path.size() >= 5 && path.compare(path.size() - 5, 5, ".meta") == 0;
}

bool hasNonAscii(const char *name)
{
    for (; *name; ++name)
        if (static_cast<unsigned char>(*name) >= 0x80)
            return true;
    return false;
}

// Lists the data folder: files outside hidden folders (the top-level
// ".runtimes" excepted), never following a link to a folder.
void listFolder(const std::string &root, MetaScan &scan, std::vector<std::string> &links)
{
    std::vector<std::string> pending{std::string()};
    while (!pending.empty()) {
        const std::string folder = pending.back();
        pending.pop_back();
        DIR *dir = ::opendir((root + folder).c_str());
        if (!dir)
            continue;
        struct stat folder_info;
        if (::fstat(::dirfd(dir), &folder_info) == 0)
            scan.folders.emplace_back(folder, changeTime(folder_info));
        while (const dirent *entry = ::readdir(dir)) {
            const char *name = entry->d_name;
            if (!std::strcmp(name, ".") || !std::strcmp(name, ".."))
                continue;
            const std::string relative = folder + name;
            if (name[0] != '.' && hasNonAscii(name))
                scan.non_ascii_names.push_back(relative);
            unsigned char type = entry->d_type;
            bool link = type == DT_LNK;
            if (type == DT_UNKNOWN || type == DT_LNK) {
                struct stat info;
                if (::fstatat(::dirfd(dir), name, &info, AT_SYMLINK_NOFOLLOW) != 0)
                    continue;
                link = S_ISLNK(info.st_mode);
                if (link && ::fstatat(::dirfd(dir), name, &info, 0) != 0)
                    continue; // a dangling link
                type = S_ISDIR(info.st_mode) ? DT_DIR : S_ISREG(info.st_mode) ? DT_REG : DT_UNKNOWN;
            }
            if (type == DT_DIR) {
                if (link)
                    continue; // never follow links out of (or around) the data folder
                if (name[0] == '.' && !(folder.empty() && !std::strcmp(name, RUNTIMES_FOLDER)))
                    continue;
                pending.push_back(relative + "/");
            } else if (type == DT_REG) {
                scan.files.push_back(relative);
                if (link)
                    links.push_back(relative);
            }
        }
        ::closedir(dir);
    }
    std::sort(scan.files.begin(), scan.files.end());
    std::sort(links.begin(), links.end());
    std::sort(scan.folders.begin(), scan.folders.end());
    std::sort(scan.non_ascii_names.begin(), scan.non_ascii_names.end());
}

bool visiblePath(const std::string &path)
{
    if (!path.empty() && path[0] == '.')
        return false;
    return path.find("/.") == std::string::npos;
}

} // namespace

void MetaScan::readRecord(const std::string &root, MetaRecord &record)
{
    Xml xml;
    if (!xml.load((root + record.path + ".meta").c_str()))
        return;
    record.loaded = true;
    record.root = xml.getName();
    record.guid = xml.getArg("guid");
    record.owner = xml.getArg("asset");
    record.has_type = xml.isArg("type");
    record.type = xml.getIntArg("type", 0);
    record.type_text = xml.getArg("type");
    record.excluded = xml.getIntArg("excluded", 0);
    for (int i = 0; i < xml.getNumChildren(); ++i) {
        const Xml *child = xml.getChild(i);
        if (!std::strcmp(child->getName(), "runtime")) {
            record.runtimes.push_back(MetaRuntime{child->getArg("guid"), child->getIntArg("kind", 0),
                                                  child->getArg("name"), child->getArg("ext")});
        } else if (!std::strcmp(child->getName(), "import")) {
            for (int p = 0; p < child->getNumChildren(); ++p) {
                const Xml *param = child->getChild(p);
                if (!std::strcmp(param->getName(), "param")) {
                    record.params.emplace_back(param->getArg("name"), param->getData());
                } else if (!std::strcmp(param->getName(), "mapper")) {
                    MetaMapper mapper;
                    mapper.name = param->getArg("name");
                    for (int f = 0; f < param->getNumChildren(); ++f) {
                        const Xml *file = param->getChild(f);
                        if (!std::strcmp(file->getName(), "file"))
                            mapper.files.emplace_back(file->getArg("key"), file->getData());
                    }
                    record.mappers.push_back(std::move(mapper));
                }
            }
        }
    }
}

std::shared_ptr<MetaScan> MetaScan::read(const std::string &data_path)
{
    auto scan = std::make_shared<MetaScan>();
    scan->data_path = data_path;
    std::vector<std::string> links;
    listFolder(data_path, *scan, links);

    // A record for every file that has its meta file listed beside it.
    const std::vector<std::string> &files = scan->files;
    for (size_t i = 0; i < files.size(); ++i) {
        const std::string &path = files[i];
        if (isMeta(path))
            continue;
        // The meta file sorts after the file itself and before any other
        // name that starts with the file's name and a character after ".".
        const std::string meta = path + ".meta";
        if (!std::binary_search(files.begin() + long(i), files.end(), meta))
            continue;
        MetaRecord record;
        record.path = path;
        record.visible = visiblePath(path);
        record.link = std::binary_search(links.begin(), links.end(), path);
        scan->metas.push_back(std::move(record));
    }

    // Read on several threads; the log lines of each file are held and
    // written afterwards in the order of the files.
    std::vector<LogHold::Lines> lines(scan->metas.size());
    std::atomic<size_t> next{0};
    constexpr size_t CHUNK = 64;
    auto work = [&] {
        for (;;) {
            const size_t begin = next.fetch_add(CHUNK);
            if (begin >= scan->metas.size())
                return;
            const size_t end = std::min(scan->metas.size(), begin + CHUNK);
            for (size_t i = begin; i < end; ++i) {
                LogHold hold(&lines[i]);
                readRecord(data_path, scan->metas[i]);
            }
        }
    };
    const unsigned cores = std::thread::hardware_concurrency();
    const size_t threads
            = std::min<size_t>(std::max(1u, std::min(8u, cores == 0 ? 2u : cores)), scan->metas.size() / CHUNK + 1);
    std::vector<std::thread> pool;
    for (size_t t = 1; t < threads; ++t)
        pool.emplace_back(work);
    work();
    for (std::thread &thread : pool)
        thread.join();
    for (LogHold::Lines &held : lines)
        LogHold::release(held);
    return scan;
}

bool MetaScan::isCurrent() const
{
    for (const auto &folder : folders) {
        struct stat info;
        if (::stat((data_path + folder.first).c_str(), &info) != 0 || changeTime(info) != folder.second)
            return false;
    }
    return !folders.empty();
}

} // namespace Velmora
