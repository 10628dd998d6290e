#pragma once

#include "editor/cleaner/parser/asset_info.h"
#include "editor/cleaner/parser/file_guids_parser.h"
#include "editor/cleaner/parser/read_failure.h"

#include <editor_core/as/Asset.h>

#include <velmora/Vector.h>

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

    // Files that could not be read or parsed by the last createItems.
    const ReadFailures &readFailures() const { return failures_; }

private:
    void parseXmlAsset(const as::Asset &asset, AssetInfo &info);
    bool parseXmlFile(const QString &path, int type, const FileGUIDsParser::Result &result,
                      Velmora::Xml *root = nullptr);
    void parseRuntimes(const as::Asset &asset, AssetInfo &info);
    void parseModuleAsset(const as::Asset &asset, AssetInfo &info);
    void copyModuleItem(const inas::parser::Item &item, AssetInfo &info);
    Velmora::UGUID parseMaterialParent(const Velmora::Xml &root);
    void parseMetaAndScripts(const as::Asset &asset, AssetInfo &info);
    void addScript(const QString &path, AssetInfo &info);
    void makeGuidProcessor();
    void addFailure(const QString &path, const QString &reason);

    Editor::AssetManagerPrivate *as_manager_ = nullptr;
    const mat::Manager *materials_ = nullptr;
    std::shared_ptr<inas::parser::GuidProcessor> guid_processor_;
    // Builds the module items of one createItems (one arena for all).
    std::unique_ptr<inas::parser::GenericItemBuilder> builder_;
    QVector<as::Asset> assets_;
    ReadFailures failures_;
};

} // namespace cleaner
