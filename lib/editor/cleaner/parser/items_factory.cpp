#include "editor/cleaner/parser/items_factory.h"

#include "editor/cleaner/cleaner_common.h"

#include "core/base/regular_file.h"

#include <editor/interdependence/parser/generic_item_builder.h>
#include <editor/interdependence/parser/guid_processor.h>
#include <editor/interdependence/parser/items/hierarchy.h>
#include <editor/interdependence/parser/modules/landscape_map_module.h>
#include <editor/interdependence/parser/modules/material_module.h>
#include <editor/interdependence/parser/parser_item.h>

#include <editor_core/AssetType.h>
#include <editor_core/as/AssetTypes.h>
#include <editor_core/base/Assert.h>
#include <editor_core/editor/AssetManagerPrivate.h>

#include <velmora/FileSystem.h>
#include <velmora/Log.h>
#include <velmora/Materials.h>
#include <velmora/Properties.h>
#include <velmora/Xml.h>

#include <QFileInfo>
#include <QSet>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace cleaner {

namespace {

bool isXmlType(int type)
{
    switch (type) {
    case AssetType::NODE:
    case AssetType::PROPERTY:
    case AssetType::LAYER:
    case AssetType::TRACK:
    case AssetType::RENDER_SETTINGS:
    case AssetType::SPLINE:
    case AssetType::CURVE:
    case AssetType::WORLD:
    case AssetType::PRESET:
        return true;
    default:
        return false;
    }
}

// Why a file that exists cannot be read as XML; empty when it is empty (an
// empty file names nothing, so nothing is hidden).
QString whyUnreadable(const QString &path, const QString &malformed = QStringLiteral("is not well-formed XML"))
{
    QString reason;
    const int fd = base::RegularFile::open(path, &reason);
    if (fd < 0)
        return QStringLiteral("cannot be opened: ") + reason;
    struct stat info;
    const qint64 size = ::fstat(fd, &info) == 0 ? qint64(info.st_size) : 0;
    ::close(fd);
    if (size == 0)
        return QString();
    if (size > Velmora::Xml::MAX_FILE_SIZE)
        return QStringLiteral("is larger than %1 bytes").arg(Velmora::Xml::MAX_FILE_SIZE);
    return malformed;
}

} // namespace

ItemsFactory::ItemsFactory() = default;

ItemsFactory::~ItemsFactory() = default;

void ItemsFactory::init(Editor::AssetManagerPrivate *as_manager, const mat::Manager *materials)
{
    EC_ASSERT(as_manager && materials);
    as_manager_ = as_manager;
    materials_ = materials;
    // The records move out of the manager's copy: one copy in all.
    Velmora::Vector<as::Asset> all = as_manager_->assets();
    assets_.clear();
    assets_.reserve(all.size());
    for (as::Asset &asset : all)
        assets_.append(std::move(asset));
    // The copies the scan left out, found through the kept files' paths.
    left_out_.clear();
    QSet<QString> kept;
    for (const as::DuplicateGuid &duplicate : as_manager_->duplicates())
        kept.insert(duplicate.kept);
    if (!kept.isEmpty()) {
        for (const as::Asset &asset : qAsConst(assets_)) {
            if (!kept.contains(asset.getRelativePath()))
                continue;
            const QStringList files = as_manager_->leftOutFiles(asset.getGUID());
            if (!files.isEmpty())
                left_out_.insert(asset.getGUID(), files);
        }
    }
    makeGuidProcessor();
}

void ItemsFactory::makeGuidProcessor()
{
    guid_processor_ = std::make_shared<inas::parser::GuidProcessor>(as_manager_, assets_);
}

void ItemsFactory::addFailure(const QString &path, const QString &reason)
{
    if (failures_.add(path, reason)) {
        Velmora::Log::warning("Cleaner: \"%s\" %s; the assets it may use can be listed as unused\n",
                              qUtf8Printable(path), qUtf8Printable(reason));
    }
}

bool ItemsFactory::createItems(const Progress &progress, Velmora::Vector<AssetInfo> &out)
{
    failures_.clear();
    builder_ = std::make_unique<inas::parser::GenericItemBuilder>();
    const int count = assets_.size();
    const int first = out.size();
    out.reserve(first + count);
    for (int i = 0; i < count; ++i) {
        if (!progress(count, i)) {
            out.clear();
            builder_.reset();
            return false;
        }
        AssetInfo info;
        if (createItem(assets_.at(i), info))
            out.append(std::move(info));
    }
    builder_.reset();
    return true;
}

bool ItemsFactory::createItem(const as::Asset &asset, AssetInfo &info)
{
    if (!info.init(asset))
        return false;
    const int type = info.getAssetType();
    const QString path = as_manager_->filePath(asset);
    if (unread_.isEmpty() || !unread_.contains(path))
        parseFiles(path, type, asset, info, Sink{&info.lost_ids, &info.nodes, false});
    const auto left_out = left_out_.constFind(asset.getGUID());
    if (left_out != left_out_.constEnd()) {
        std::set<Velmora::UGUID> ignored_lost;
        for (const QString &path : left_out.value()) {
            const int by_extension = int(as::typeByExtension(QFileInfo(path).suffix()));
            const int copy_type
                    = by_extension >= AssetType::NODE && by_extension < AssetType::SIZE ? by_extension : type;
            parseFiles(path, copy_type, asset, info, Sink{&ignored_lost, nullptr, true});
        }
    }
    parseRuntimes(asset, info);

    const Velmora::UGUID &self = info.getAssetId();
    info.getChildrenRuntimeIds().erase(self);
    info.getDependentRuntimeIds().erase(self);
    info.lost_ids.erase(self);
    const Velmora::UGUID parent = info.getParentAssetId();
    if (!parent.isEmpty()) {
        info.getChildrenRuntimeIds().erase(parent);
        info.getDependentRuntimeIds().erase(parent);
        info.lost_ids.erase(parent);
    }
    info.getDependentRuntimeIds().erase(Velmora::UGUID());
    return true;
}

void ItemsFactory::createFileItem(const QString &path, int type, AssetInfo &info)
{
    info.initFile(type);
    std::set<Velmora::UGUID> ignored_lost;
    parseFiles(path, type, as::Asset(), info, Sink{&ignored_lost, nullptr, true});
    info.getDependentRuntimeIds().erase(Velmora::UGUID());
}

void ItemsFactory::parseFiles(const QString &path, int type, const as::Asset &asset, AssetInfo &info, const Sink &sink)
{
    if (isXmlType(type))
        parseXmlAsset(path, type, info, sink);
    else if (type == AssetType::MATERIAL || type == AssetType::LANDSCAPE_MAP)
        parseModuleAsset(path, type, asset, info, sink);
}

void ItemsFactory::addParent(const Velmora::UGUID &parent, AssetInfo &info, const Sink &sink)
{
    if (parent.isEmpty())
        return;
    if (sink.left_out)
        info.getDependentRuntimeIds().insert(parent);
    else
        info.setParentAssetId(parent);
}

bool ItemsFactory::parseXmlFile(const QString &path, int type, const FileGUIDsParser::Result &result,
                                Velmora::Xml *root)
{
    if (path.isEmpty())
        return false;
    // An empty file names nothing (and is not worth a reader's complaint).
    const QFileInfo file(path);
    if (file.isFile() && file.size() == 0)
        return false;
    Velmora::Ptr<Velmora::Xml> owned;
    if (!root) {
        owned = Velmora::Xml::create();
        root = owned.get();
    }
    if (!root->load(path.toUtf8().constData())) {
        const QString reason = whyUnreadable(path);
        if (!reason.isEmpty())
            addFailure(path, reason);
        return false;
    }
    const FileGUIDsParser::Context context{as_manager_, type, guid_processor_.get()};
    FileGUIDsParser::parse(context, *root, result);
    return true;
}

void ItemsFactory::parseXmlAsset(const QString &path, int type, AssetInfo &info, const Sink &sink)
{
    const FileGUIDsParser::Result result{&info.getDependentRuntimeIds(), sink.lost, sink.nodes, &info.paths};
    const Velmora::Ptr<Velmora::Xml> root = Velmora::Xml::create();
    if (!parseXmlFile(path, type, result, root.get()))
        return;
    if (type == AssetType::PROPERTY)
        addParent(parseMaterialParent(*root), info, sink);
    else if (type == AssetType::WORLD)
        parseMetaAndScripts(path, info, sink);
}

Velmora::UGUID ItemsFactory::parseMaterialParent(const Velmora::Xml &root)
{
    const char *name = root.getName();
    if (std::strcmp(name, "material") != 0 && std::strcmp(name, "base_material") != 0
        && std::strcmp(name, "property") != 0) {
        Velmora::Log::warning("Cleaner: a property file has the root element <%s>; its parent is not read\n", name);
        return Velmora::UGUID();
    }
    if (root.findArg("parent") != -1) {
        const char *value = root.getArg("parent");
        if (!doesLookLikeGuid(value))
            return Velmora::UGUID();
        const Velmora::UGUID guid(value);
        bool is_asset = false;
        if (!isAliveGuid(as_manager_, guid, &is_asset)) {
            base::printAssertMessage("verified", __FILE__, __LINE__);
            Velmora::Log::warning("Cleaner: the parent %s of a property is not an asset the project has\n", value);
            return Velmora::UGUID();
        }
        if (is_asset)
            return guid;
        return as_manager_->assetGUIDByRuntimeGUID(guid);
    }
    if (root.findArg("parent_name") != -1) {
        const char *value = root.getArg("parent_name");
        Velmora::UGUID runtime;
        if (std::strstr(name, "material")) {
            if (const Velmora::Ptr<Velmora::Material> material = Velmora::Materials::findMaterial(value))
                runtime = material->getGUID();
        } else if (const Velmora::Ptr<Velmora::Property> property = Velmora::Properties::findProperty(value)) {
            runtime = property->getGUID();
        }
        return runtime.isEmpty() ? Velmora::UGUID() : as_manager_->assetGUIDByRuntimeGUID(runtime);
    }
    return Velmora::UGUID();
}

void ItemsFactory::parseMetaAndScripts(const QString &file, AssetInfo &info, const Sink &sink)
{
    const FileGUIDsParser::Result result{&info.getDependentRuntimeIds(), sink.lost, nullptr, &info.paths};
    const QString meta = file + QLatin1Char('.') + QLatin1String(as::ASSET_EXTENSION);
    // A world that is no asset (one reached through a link) may have none.
    if (!sink.left_out || QFileInfo::exists(meta))
        parseXmlFile(meta, AssetType::WORLD, result);
    const QFileInfo world(file);
    const QString base = world.path() + QLatin1Char('/') + world.completeBaseName();
    addScript(base + QStringLiteral(".usc"), info);
    addScript(base + QStringLiteral(".cpp"), info);
}

void ItemsFactory::addScript(const QString &path, AssetInfo &info)
{
    const QByteArray utf8 = path.toUtf8();
    if (!Velmora::FileSystem::isFileExist(utf8.constData()))
        return;
    const Velmora::UGUID guid = Velmora::FileSystem::getGUID(utf8.constData());
    if (as_manager_->hasAsset(guid))
        info.getDependentRuntimeIds().insert(guid);
}

void ItemsFactory::parseModuleAsset(const QString &path, int type, const as::Asset &asset, AssetInfo &info,
                                    const Sink &sink)
{
    const QByteArray utf8 = path.toUtf8();
    if (!builder_)
        builder_ = std::make_unique<inas::parser::GenericItemBuilder>();
    const std::shared_ptr<inas::parser::Item> item = builder_->build(asset, type);
    if (type == AssetType::MATERIAL) {
        inas::parser::MaterialModule module(materials_, guid_processor_);
        if (!module.processFile(utf8.constData(), *item)) {
            if (!QFileInfo::exists(path)) {
                addFailure(path, QStringLiteral("is missing"));
            } else {
                const QString reason = whyUnreadable(path, QStringLiteral("is neither a FESK nor an XML material"));
                if (!reason.isEmpty())
                    addFailure(path, reason);
            }
        }
    } else {
        inas::parser::LandscapeMapModule module(as_manager_, guid_processor_);
        module.process(utf8.constData(), *item);
    }
    copyModuleItem(*item, info, sink);
}

void ItemsFactory::copyModuleItem(const inas::parser::Item &item, AssetInfo &info, const Sink &sink)
{
    if (const auto *hierarchy = dynamic_cast<const inas::parser::items::Hierarchy *>(&item)) {
        // The parent is recorded as its asset, whatever the module named.
        const Velmora::UGUID &parent = hierarchy->getParentId();
        if (!parent.isEmpty()) {
            Velmora::UGUID owner = as_manager_->assetGUIDByRuntimeGUID(parent);
            if (owner.isEmpty() && as_manager_->hasAsset(parent))
                owner = parent;
            addParent(owner, info, sink);
        }
    }
    // Every found reference that names an asset or a runtime counts,
    // including the asset GUIDs that paths, suffixes and expressions give.
    for (const Velmora::UGUID &guid : item.getDependents()) {
        if (isAliveGuid(as_manager_, guid))
            info.getDependentRuntimeIds().insert(guid);
    }
    if (sink.lost) {
        for (const Velmora::UGUID &guid : item.getLost())
            sink.lost->insert(guid);
    }
}

void ItemsFactory::parseRuntimes(const as::Asset &asset, AssetInfo &info)
{
    for (const as::Runtime &runtime : asset.getRuntimes()) {
        if (!runtime.hasFile())
            continue;
        info.getChildrenRuntimeIds().insert(runtime.getGUID());
        if (runtime.getKind() != as::Runtime::KIND_NODE)
            continue;
        const Velmora::String path = Velmora::FileSystem::getAbsolutePath(runtime.getGUID());
        if (path.isEmpty()) {
            const QString expected = as_manager_->filePath(runtime.getGUID());
            addFailure(expected.isEmpty() ? QString::fromLatin1(runtime.getGUID().getString().get()) : expected,
                       QStringLiteral("(a node runtime of \"%1\") is missing").arg(asset.getRelativePath()));
            continue;
        }
        const size_t before = info.nodes.size();
        const FileGUIDsParser::Result result{&info.getDependentRuntimeIds(), &info.lost_ids, &info.nodes, &info.paths};
        parseXmlFile(QString::fromUtf8(path.get()), AssetType::NODE, result);
        for (size_t i = before; i < info.nodes.size(); ++i)
            info.nodes[i].guid = runtime.getGUID();
    }
}

} // namespace cleaner
