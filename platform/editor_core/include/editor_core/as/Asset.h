#pragma once

#include "editor_core/AssetType.h"

#include <velmora/UGUID.h>
#include <velmora/Vector.h>

#include <QMetaType>
#include <QPair>
#include <QString>
#include <QVariantMap>
#include <QVector>

#include <atomic>
#include <memory>
#include <utility>

namespace as {

// Landscape-map mappers of a meta file: mapper name -> ordered (key, data
// path) pairs.
using MapperFiles = QVector<QPair<QString, QString>>;
using Mappers = QVector<QPair<QString, MapperFiles>>;

// A loadable object of an asset. Kinds: 0 primary (the asset file itself,
// GUID = asset GUID), 1 mesh and 3 node (stored under .runtimes/ by an
// import), 4 material and 5 property (virtual, GUID derived from the asset).
class Runtime
{
public:
    enum Kind {
        KIND_PRIMARY = 0,
        KIND_MESH = 1,
        KIND_NODE = 3,
        KIND_MATERIAL = 4,
        KIND_PROPERTY = 5,
    };

    Runtime() = default;
    Runtime(const Velmora::UGUID &guid, const QString &name, int kind, const Velmora::UGUID &asset, bool stored,
            const QString &extension = QString());

    bool isNull() const { return guid_.isEmpty(); }
    const Velmora::UGUID &getGUID() const { return guid_; }
    const QString &getName() const { return name_; }
    int getKind() const { return kind_; }
    int getType() const { return kind_; }
    const Velmora::UGUID &getAssetGUID() const { return asset_; }
    // Stored runtimes have a file of their own under .runtimes/.
    bool isStored() const { return stored_; }
    bool hasFile() const { return stored_ || kind_ == KIND_PRIMARY; }
    // File extension of a stored runtime ("node", "mesh"), else empty.
    const QString &getExtension() const { return extension_; }

    bool operator==(const Runtime &other) const;
    bool operator!=(const Runtime &other) const { return !(*this == other); }

private:
    Velmora::UGUID guid_;
    QString name_;
    int kind_ = KIND_PRIMARY;
    Velmora::UGUID asset_;
    bool stored_ = false;
    QString extension_;
};

// The record of one asset: a data file with a meta file beside it.
class Asset
{
public:
    Asset() = default;

    bool isNull() const { return guid_.isEmpty(); }
    const Velmora::UGUID &getGUID() const { return guid_; }
    AssetType getType() const { return type_; }
    // Absolute path of the asset file ("/" separators).
    const QString &getFilePath() const { return file_path_.get(relative_path_); }
    // Data-relative path of the asset file.
    const QString &getRelativePath() const { return relative_path_; }
    // Whether the absolute path begins with folder, told without making the
    // absolute path when it is still kept as a folder and a relative path
    // (a walk over every record then leaves them as small as they were).
    bool isFilePathIn(const QString &folder) const { return file_path_.startsWith(folder, relative_path_); }
    // Core assets live under core/ in the data folder.
    bool isCore() const { return core_; }
    bool isExcluded() const { return excluded_; }
    // Import parameters of the meta file (param elements by name).
    const QVariantMap &getImportParams() const { return import_params_; }
    const Mappers &getMappers() const { return mappers_; }

    int getNumRuntimes() const { return getRuntimes().size(); }
    // Runtimes: the primary first, then the stored ones in meta order, then
    // the virtual material or property runtime.
    const Runtime &getRuntime(int index) const { return getRuntimes()[index]; }
    const Velmora::Vector<Runtime> &getRuntimes() const { return runtimes_ ? *runtimes_ : noRuntimes(); }
    Runtime findRuntime(const Velmora::UGUID &guid) const;
    // The primary runtime (kind 0, GUID = asset GUID).
    Runtime findPRuntime() const;
    // The runtime that stands for the asset where it is used: a model's node
    // runtime, a material's material runtime, a property's property runtime,
    // else the primary runtime.
    Runtime findSRuntime() const;

    bool operator==(const Asset &other) const;
    bool operator!=(const Asset &other) const { return !(*this == other); }

    // Building a record (the asset manager's scan and imports).
    void setGUID(const Velmora::UGUID &guid) { guid_ = guid; }
    void setType(AssetType type) { type_ = type; }
    void setFilePath(const QString &absolute, const QString &relative);
    // The same for absolute = folder + relative (folder ending with "/"):
    // the absolute path is made the first time it is asked for, and until
    // then the records of one folder share its text.
    void setFilePathIn(const QString &folder, const QString &relative);
    void setCore(bool core) { core_ = core; }
    void setExcluded(bool excluded) { excluded_ = excluded; }
    void setImportParams(const QVariantMap &params) { import_params_ = params; }
    void setMappers(const Mappers &mappers) { mappers_ = mappers; }
    void setRuntimes(const Velmora::Vector<Runtime> &runtimes);
    void setRuntimes(Velmora::Vector<Runtime> &&runtimes);

private:
    // An absolute path given whole or as a folder and a relative path; made
    // once when first read, also when several threads read it at once.
    class FilePath
    {
    public:
        FilePath() = default;
        FilePath(const FilePath &other) { assign(other); }
        FilePath(FilePath &&other) noexcept { take(other); }
        FilePath &operator=(const FilePath &other)
        {
            if (this != &other)
                assign(other);
            return *this;
        }
        FilePath &operator=(FilePath &&other) noexcept
        {
            if (this != &other)
                take(other);
            return *this;
        }
        void set(const QString &absolute);
        void setIn(const QString &folder);
        const QString &get(const QString &relative) const;
        bool startsWith(const QString &prefix, const QString &relative) const;

    private:
        void assign(const FilePath &other);
        // Moving is for records nobody else reads meanwhile: no reader can
        // be making other's path.
        void take(FilePath &other)
        {
            folder_ = std::move(other.folder_);
            path_ = std::move(other.path_);
            made_.store(other.made_.load(std::memory_order_relaxed), std::memory_order_relaxed);
        }

        QString folder_;
        mutable QString path_;
        mutable std::atomic<bool> made_{true};
    };

    static const Velmora::Vector<Runtime> &noRuntimes();

    // Ordered so that the flags share one word: a large project has many
    // records.
    Velmora::UGUID guid_;
    AssetType type_ = AssetType::BEGIN;
    FilePath file_path_;
    QString relative_path_;
    // Never changed once set, so copies of a record share it (a copy of every
    // record then allocates nothing for the runtimes); null when empty.
    std::shared_ptr<const Velmora::Vector<Runtime>> runtimes_;
    QVariantMap import_params_;
    Mappers mappers_;
    bool core_ = false;
    bool excluded_ = false;
};

// File facts of a GUID: absolute file path, folder (no trailing "/"),
// extension (no dot) and a flag byte.
class FileInfo
{
public:
    // Flag bits.
    static constexpr unsigned char FLAG_READ_ONLY = 1 << 0; // read-only or core
    static constexpr unsigned char FLAG_IN_DATA = 1 << 2; // own file present in the data folder

    FileInfo() = default;
    FileInfo(const QString &file_path, unsigned char flags);

    bool isNull() const { return file_path_.isEmpty(); }
    const QString &filePath() const { return file_path_; }
    QString path() const;
    QString fileName() const;
    QString extension() const;
    unsigned char flags() const { return flags_; }
    bool hasFlag(unsigned char flag) const { return (flags_ & flag) != 0; }

private:
    QString file_path_;
    unsigned char flags_ = 0;
};

} // namespace as

Q_DECLARE_METATYPE(as::Asset)
Q_DECLARE_METATYPE(as::Runtime)
