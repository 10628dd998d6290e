#include "editor_core/as/Asset.h"

#include <mutex>

namespace as {

Runtime::Runtime(const Velmora::UGUID &guid, const QString &name, int kind, const Velmora::UGUID &asset, bool stored,
                 const QString &extension)
    : guid_(guid)
    , name_(name)
    , kind_(kind)
    , asset_(asset)
    , stored_(stored)
    , extension_(extension)
{}

bool Runtime::operator==(const Runtime &other) const
{
    return guid_ == other.guid_ && name_ == other.name_ && kind_ == other.kind_ && asset_ == other.asset_
            && stored_ == other.stored_ && extension_ == other.extension_;
}

void Asset::FilePath::set(const QString &absolute)
{
    folder_.clear();
    path_ = absolute;
    made_.store(true, std::memory_order_release);
}

void Asset::FilePath::setIn(const QString &folder)
{
    folder_ = folder;
    path_.clear();
    made_.store(false, std::memory_order_release);
}

const QString &Asset::FilePath::get(const QString &relative) const
{
    if (!made_.load(std::memory_order_acquire)) {
        // Rare (once per record) and short: one lock for all records.
        static std::mutex mutex;
        std::lock_guard<std::mutex> locker(mutex);
        if (!made_.load(std::memory_order_relaxed)) {
            path_ = folder_ + relative;
            made_.store(true, std::memory_order_release);
        }
    }
    return path_;
}

bool Asset::FilePath::startsWith(const QString &prefix, const QString &relative) const
{
    if (made_.load(std::memory_order_acquire))
        return path_.startsWith(prefix);
    // Not made yet: the folder is all that is set, and a reader making the
    // path meanwhile does not change it.
    if (folder_.size() >= prefix.size())
        return folder_.startsWith(prefix);
    return prefix.startsWith(folder_)
            && QStringRef(&relative).startsWith(QStringRef(&prefix, folder_.size(), prefix.size() - folder_.size()));
}

void Asset::FilePath::assign(const FilePath &other)
{
    // Once made, other's path never changes; until then only its folder
    // is read (which a reader making the path does not change).
    if (other.made_.load(std::memory_order_acquire)) {
        folder_.clear();
        path_ = other.path_;
        made_.store(true, std::memory_order_release);
    } else {
        folder_ = other.folder_;
        path_.clear();
        made_.store(false, std::memory_order_release);
    }
}

void Asset::setFilePath(const QString &absolute, const QString &relative)
{
    file_path_.set(absolute);
    relative_path_ = relative;
}

void Asset::setFilePathIn(const QString &folder, const QString &relative)
{
    file_path_.setIn(folder);
    relative_path_ = relative;
}

const Velmora::Vector<Runtime> &Asset::noRuntimes()
{
    static const Velmora::Vector<Runtime> none;
    return none;
}

void Asset::setRuntimes(const Velmora::Vector<Runtime> &runtimes)
{
    if (runtimes.empty())
        runtimes_.reset();
    else
        runtimes_ = std::make_shared<const Velmora::Vector<Runtime>>(runtimes);
}

void Asset::setRuntimes(Velmora::Vector<Runtime> &&runtimes)
{
    if (runtimes.empty())
        runtimes_.reset();
    else
        runtimes_ = std::make_shared<const Velmora::Vector<Runtime>>(std::move(runtimes));
}

Runtime Asset::findRuntime(const Velmora::UGUID &guid) const
{
    for (const Runtime &runtime : getRuntimes()) {
        if (runtime.getGUID() == guid)
            return runtime;
    }
    return Runtime();
}

Runtime Asset::findPRuntime() const
{
    for (const Runtime &runtime : getRuntimes()) {
        if (runtime.getKind() == Runtime::KIND_PRIMARY)
            return runtime;
    }
    return Runtime();
}

Runtime Asset::findSRuntime() const
{
    int wanted = -1;
    if (type_ == AssetType::MODEL)
        wanted = Runtime::KIND_NODE;
    else if (type_ == AssetType::MATERIAL)
        wanted = Runtime::KIND_MATERIAL;
    else if (type_ == AssetType::PROPERTY)
        wanted = Runtime::KIND_PROPERTY;
    if (wanted != -1) {
        for (const Runtime &runtime : getRuntimes()) {
            if (runtime.getKind() == wanted)
                return runtime;
        }
    }
    return findPRuntime();
}

bool Asset::operator==(const Asset &other) const
{
    return guid_ == other.guid_ && type_ == other.type_ && getFilePath() == other.getFilePath()
            && relative_path_ == other.relative_path_ && core_ == other.core_ && excluded_ == other.excluded_
            && getRuntimes() == other.getRuntimes() && import_params_ == other.import_params_
            && mappers_ == other.mappers_;
}

FileInfo::FileInfo(const QString &file_path, unsigned char flags)
    : file_path_(file_path)
    , flags_(flags)
{}

QString FileInfo::path() const
{
    const int slash = file_path_.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QString();
    return slash == 0 ? QStringLiteral("/") : file_path_.left(slash);
}

QString FileInfo::fileName() const
{
    return file_path_.mid(file_path_.lastIndexOf(QLatin1Char('/')) + 1);
}

QString FileInfo::extension() const
{
    const QString name = fileName();
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.mid(dot + 1) : QString();
}

} // namespace as
