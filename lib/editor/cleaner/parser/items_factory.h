#pragma once

#include "editor/cleaner/parser/asset_info.h"
#include "editor/cleaner/parser/file_guids_parser.h"
#include "editor/cleaner/parser/read_failure.h"

#include <editor_core/as/Asset.h>

#include <velmora/Vector.h>

#include <QHash>
#include <QSet>
#include <QStringList>
#include <QVector>

#include <functional>
#include <memory>

namespace Editor {
class AssetManagerPrivate;
}
namespace mat {
class Manager;
}
namespace inas {
namespace parser {
class GenericItemBuilder;
class GuidProcessor;
class Item;
} // namespace parser
} // namespace inas

namespace cleaner {

// Turns every asset of a snapshot of the asset manager into an AssetInfo:
// XML asset files through FileGUIDsParser, materials and landscape maps
// through the dependency analysis's modules, stored node runtimes with the
// node rules. Files that exist and cannot be read or parsed are collected
// as read failures.
class ItemsFactory
{
public:
    ItemsFactory();
    ~ItemsFactory();

    using Progress = std::function<bool(int count, int value)>;

    // Both must be set. Takes the snapshot of every asset record.
    void init(Editor::AssetManagerPrivate *as_manager, const mat::Manager *materials);
    int size() const { return assets_.size(); }
    const QVector<as::Asset> &assets() const { return assets_; }

    // One record per asset whose type is 1..23, in snapshot order. Calls
    // progress(count, i) before asset i; when it answers false, out is left
    // empty and the result is false.
    bool createItems(const Progress &progress, Velmora::Vector<AssetInfo> &out);
    bool createItem(const as::Asset &asset, AssetInfo &info);
    // The record of a file that is no asset (one reached through a link),
    // read by the rules of type: what it uses, its parent as a use, none of
    // its lost references or nodes. Failures to read it are added to
    // readFailures().
    void createFileItem(const QString &path, int type, AssetInfo &info);

    // Asset files not to read: symbolic links that lead outside the data
    // folder or nowhere (made after the scan, which lists no link).
    void setUnread(const QSet<QString> &paths) { unread_ = paths; }

    // Files that could not be read or parsed since the last createItems
    // began (each file once, however often it was reached).
    const ReadFailureList &readFailures() const { return failures_; }

    // The files of the snapshot that claim this asset's GUID but were left
    // out by the scan (copies made together with their meta files). What
    // they reference counts as the asset's; their lost references do not.
    QStringList leftOutFiles(const Velmora::UGUID &asset) const { return left_out_.value(asset); }

private:
    // Where the references of one file go: a left-out copy adds only what
    // it uses (its parent becomes a use), never lost references or nodes.
    struct Sink
    {
        std::set<Velmora::UGUID> *lost = nullptr;
        std::vector<NodeInfo> *nodes = nullptr;
        bool left_out = false;
    };

    void parseFiles(const QString &path, int type, const as::Asset &asset, AssetInfo &info, const Sink &sink);
    void parseXmlAsset(const QString &path, int type, AssetInfo &info, const Sink &sink);
    bool parseXmlFile(const QString &path, int type, const FileGUIDsParser::Result &result,
                      Velmora::Xml *root = nullptr);
    void parseRuntimes(const as::Asset &asset, AssetInfo &info);
    void parseModuleAsset(const QString &path, int type, const as::Asset &asset, AssetInfo &info, const Sink &sink);
    void copyModuleItem(const inas::parser::Item &item, AssetInfo &info, const Sink &sink);
    void addParent(const Velmora::UGUID &parent, AssetInfo &info, const Sink &sink);
    Velmora::UGUID parseMaterialParent(const Velmora::Xml &root);
    void parseMetaAndScripts(const QString &path, AssetInfo &info, const Sink &sink);
    void addScript(const QString &path, AssetInfo &info);
    void makeGuidProcessor();
    void addFailure(const QString &path, const QString &reason);

    Editor::AssetManagerPrivate *as_manager_ = nullptr;
    const mat::Manager *materials_ = nullptr;
    std::shared_ptr<inas::parser::GuidProcessor> guid_processor_;
    // Builds the module items of one createItems (one arena for all).
    std::unique_ptr<inas::parser::GenericItemBuilder> builder_;
    QVector<as::Asset> assets_;
    QHash<Velmora::UGUID, QStringList> left_out_;
    QSet<QString> unread_;
    ReadFailureList failures_;
};

} // namespace cleaner
