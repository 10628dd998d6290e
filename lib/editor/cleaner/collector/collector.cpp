#include "editor/cleaner/collector/collector.h"

#include "editor/cleaner/cleaner_common.h"
#include "editor/cleaner/collector/linked_files.h"
#include "editor/cleaner/collector/name_matcher.h"
#include "editor/cleaner/ignore_list/ignore_key.h"
#include "editor/cleaner/ignore_list/ignore_list.h"
#include "editor/cleaner/ignore_list/ignore_list_file.h"
#include "editor/cleaner/parser/items_factory.h"

#include "core/base/regular_file.h"

#include <editor_core/AssetType.h>
#include <editor_core/as/AssetTypes.h>
#include <editor_core/base/Assert.h>
#include <editor_core/editor/AssetManagerPrivate.h>
#include <editor_core/fs/FileSystem.h>

#include <velmora/Log.h>
#include <velmora/Materials.h>
#include <velmora/Properties.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QtDebug>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <array>
#include <deque>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace cleaner {

namespace {

const char *const SKIN_FILES[]
        = {"font.ttf",           "fontb.ttf",         "fonti.ttf",       "fontbi.ttf",      "gui_mouse.png",
           "gui_background.png", "gui_selection.png", "gui_tooltip.png", "gui_vpaned.png",  "gui_hpaned.png",
           "gui_border.png",     "gui_tabbox.png",    "gui_window.png",  "gui_button.png",  "gui_checkbox.png",
           "gui_combobox.png",   "gui_treebox.png",   "gui_vspacer.png", "gui_hspacer.png", "gui_vslider.png",
           "gui_hslider.png",    "gui_vscroll.png",   "gui_hscroll.png", "gui_spinbox.png", "gui_editor.png",
           "gui_white.png"};

// Engine source files; "*.usc" beside "*.ucs" because scripts carry that
// extension everywhere else.
const char *const SOURCE_FILTERS[] = {"*.cpp", "*.h", "*.hpp", "*.cxx", "*.hxx", "*.cs", "*.ucs", "*.usc"};

std::string utf8(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), size_t(bytes.size()));
}

bool startsWith(const std::string &text, const std::string &prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

std::string lower(std::string text)
{
    for (char &c : text) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return text;
}

// Whether the collection reads files of this type (and extension, lower
// case) for what they use.
bool readsReferences(int type, const std::string &extension)
{
    switch (type) {
    case AssetType::NODE:
    case AssetType::MATERIAL:
    case AssetType::PROPERTY:
    case AssetType::LAYER:
    case AssetType::LANDSCAPE_MAP:
    case AssetType::TRACK:
    case AssetType::RENDER_SETTINGS:
    case AssetType::SPLINE:
    case AssetType::CURVE:
    case AssetType::WORLD:
    case AssetType::SCRIPT:
    case AssetType::PRESET:
        return true;
    case AssetType::AFILE:
        return extension == "ui";
    default:
        return false;
    }
}

// Calls visit(token) for every text between two neighbouring double quotes
// and for every string when a backslash escapes the next byte; a token may
// come more than once. Empty texts are left out.
template<typename Visit>
void forEachQuoted(std::string_view text, Visit &&visit)
{
    size_t open = text.find('"');
    while (open != std::string_view::npos) {
        const size_t close = text.find('"', open + 1);
        if (close == std::string_view::npos)
            break;
        if (close > open + 1)
            visit(text.substr(open + 1, close - open - 1));
        open = close;
    }
    bool inside = false;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inside && c == '\\') {
            ++i;
        } else if (c == '"') {
            if (inside && i > start)
                visit(text.substr(start, i - start));
            inside = !inside;
            start = i + 1;
        }
    }
}

// Engine names (materials or properties) to their runtime GUIDs, looked up
// with views into a text, so that a token costs no copy.
class NameTable
{
public:
    void clear()
    {
        map_.clear();
        storage_.clear();
        max_length_ = 0;
    }
    // A later name replaces the GUID of an earlier equal one.
    void insert(const char *name, const Velmora::UGUID &guid)
    {
        const std::string_view key(name);
        const auto it = map_.find(key);
        if (it != map_.end()) {
            it->second = guid;
            return;
        }
        storage_.emplace_back(key);
        map_.emplace(std::string_view(storage_.back()), guid);
        max_length_ = std::max(max_length_, key.size());
    }
    const Velmora::UGUID *find(std::string_view token) const
    {
        if (token.size() > max_length_)
            return nullptr;
        const auto it = map_.find(token);
        return it == map_.end() ? nullptr : &it->second;
    }
    void erase(std::string_view token) { map_.erase(token); }
    bool empty() const { return map_.empty(); }

private:
    std::deque<std::string> storage_;
    std::unordered_map<std::string_view, Velmora::UGUID> map_;
    size_t max_length_ = 0;
};

} // namespace

struct Collector::Item
{
    // Items with no repeats: a list in insertion order and, once it grows,
    // a hash set for the repeat test.
    struct UniqueList
    {
        std::vector<Item *> list;
        std::unique_ptr<std::unordered_set<Item *>> index;

        bool add(Item *item)
        {
            if (index) {
                if (!index->insert(item).second)
                    return false;
            } else if (std::find(list.begin(), list.end(), item) != list.end()) {
                return false;
            } else if (list.size() >= 16) {
                index = std::make_unique<std::unordered_set<Item *>>(list.begin(), list.end());
                index->insert(item);
            }
            list.push_back(item);
            return true;
        }
        bool empty() const { return list.empty(); }
    };

    AssetInfo item;
    std::string absolute_path;
    std::string directory; // cleaned, no trailing "/"
    std::string relative_path;
    std::string basename;
    std::string extension; // lower case, no dot
    bool is_candidate = false;
    bool is_ignored = false;
    Item *parent = nullptr;
    UniqueList children;
    UniqueList inheritors;
    UniqueList roots;
    bool is_used = false;
    unsigned visit = 0;
};

struct Collector::Context
{
    bool keep_matches = false;
    int pass = 0;
    Editor::AssetManagerPrivate *asset_manager = nullptr;
    const mat::Manager *materials = nullptr;
    ItemsFactory factory;
    int max_progress_value = 0;
    int progress_value = 0;
    Progress progress;
    Options options;

    // Items in the asset manager's order; items_map finds them by asset.
    std::vector<std::unique_ptr<Item>> items;
    QHash<Velmora::UGUID, Item *> items_map;
    NameTable material_names;
    NameTable property_names;
    // Index type + 1, for the types -1 .. 24.
    std::array<std::vector<Item *>, 26> items_by_type;
    std::unordered_map<std::string, std::vector<Item *>> items_by_extension;
    int script_budget = 0;

    // The snapshot's view of ownership and folders, so that the whole run
    // sees one state of the asset database.
    QHash<Velmora::UGUID, Velmora::UGUID> owner_of;
    std::unordered_map<std::string, std::vector<Item *>> items_by_folder;
    std::unordered_set<std::string> registered_extensions;
    // What the real pass read, noted just before it read it.
    std::shared_ptr<ReadStamps> stamps;
    quint64 revision = 0;
    // Every file that could not be read, once, whichever step or name
    // reached it (the items factory's own are added to it).
    ReadFailureList failures;
    // The data folder's links, and those of them that are not read.
    LinkedFiles links;
    QSet<QString> unread_links;
    QVector<LinkNote> link_notes;
    unsigned visit = 0;

    bool report() { return progress(max_progress_value, progress_value); }
    void addFailure(const QString &path, const QString &reason)
    {
        if (!failures.add(path, reason))
            return;
        Velmora::Log::warning("Cleaner: \"%s\" %s; the assets it may use can be listed as unused\n",
                              qUtf8Printable(path), qUtf8Printable(reason));
    }
    Item *find(const Velmora::UGUID &guid) const { return items_map.value(guid, nullptr); }
    Velmora::UGUID ownerOf(const Velmora::UGUID &guid) const
    {
        const Velmora::UGUID owner = owner_of.value(guid);
        return owner.isEmpty() ? guid : owner;
    }
    const std::vector<Item *> &inFolder(const std::string &folder) const
    {
        static const std::vector<Item *> NONE;
        const auto it = items_by_folder.find(folder);
        return it == items_by_folder.end() ? NONE : it->second;
    }
};

// The pipeline's steps, in the order they run.
class CollectorSteps
{
public:
    using Context = Collector::Context;
    using Item = Collector::Item;

    static bool buildItems(Context &context);
    static void addItem(Context &context, Velmora::Vector<AssetInfo> &infos);
    static void findLinks(Context &context);
    static void addLinkUsers(Context &context);
    static QString useLink(Context &context, const LinkedFiles::Entry &entry,
                           std::vector<std::unique_ptr<Item>> &users);
    static bool linkItems(Context &context);
    static void indexItemsByName(Context &context);
    static bool addRoot(Context &context, const Velmora::UGUID &target, Item *user);
    static void linkLocalFiles(Context &context);
    static void markGuiSkinFiles(Context &context);
    static bool processScripts(Context &context);
    static void findInScript(Context &context, const std::string &text, int type, const std::vector<Item *> &candidates,
                             const NameMatcher &matcher, const std::vector<int> &matcher_ids, Item *script);
    static void linkParents(Context &context);
    static bool scanSourceFolder(Context &context);
    static bool walkFolder(const QDir &dir, const QStringList &filters, const QString &project_root,
                           QSet<QString> &visited, ReadStamps *stamps,
                           const std::function<bool(const QString &)> &visit);
    static std::vector<Item *> unusedCandidates(Context &context);
    static bool ownsUsedItem(Context &context, Item *item);
    static Velmora::Vector<Velmora::UGUID> makeUnusedResult(Context &context, CollectorResult &result);
    static LostMap makeLostResult(Context &context);
    static void markNamesUsed(Context &context, std::string_view text);
    static void stampAssetFiles(Context &context);
    static void leaveOutRefused(Context &context, std::vector<Item *> &unused, CollectorResult &result);
    static bool checkStale(Context &context);
};

bool CollectorSteps::buildItems(Context &context)
{
    if (context.pass == 0) {
        context.factory.init(context.asset_manager, context.materials);
        context.revision = context.asset_manager->revision();
        context.max_progress_value += context.factory.size() / 2 + 1;
        return linkItems(context);
    }

    // The listings, links included, are noted before the links are
    // followed.
    stampAssetFiles(context);
    findLinks(context);

    const int start = context.progress_value;
    Velmora::Vector<AssetInfo> infos;
    const bool created = context.factory.createItems(
            [&context, start](int, int i) { return context.progress(context.max_progress_value, start + i / 2); },
            infos);
    if (!created)
        return false;
    context.failures.add(context.factory.readFailures());
    context.progress_value += context.factory.size() / 2;
    addItem(context, infos);
    infos.clear();
    addLinkUsers(context);
    context.progress_value += 1;
    if (!context.report())
        return false;
    return linkItems(context);
}

void CollectorSteps::stampAssetFiles(Context &context)
{
    // The files the items factory reads, as they look before any is read,
    // so that a save while the collection runs, or after it, is noticed:
    // every asset file, the meta files of worlds and landscape maps, stored
    // node runtimes and the copies the scan left out.
    const QVector<as::Asset> &assets = context.factory.assets();
    ReadStamps &stamps = *context.stamps;
    stamps.reserve(assets.size() + assets.size() / 8);
    for (const as::Asset &asset : assets) {
        const Velmora::UGUID &guid = asset.getGUID();
        stamps.add(asset.getFilePath(), guid);
        if (asset.getType() == AssetType::WORLD || asset.getType() == AssetType::LANDSCAPE_MAP)
            stamps.add(asset.getFilePath() + QLatin1Char('.') + QLatin1String(as::ASSET_EXTENSION), guid);
        for (const as::Runtime &runtime : asset.getRuntimes()) {
            if (runtime.isStored() && runtime.getKind() == as::Runtime::KIND_NODE) {
                const QString path = context.asset_manager->filePath(runtime.getGUID());
                if (!path.isEmpty())
                    stamps.add(path, guid);
            }
        }
        for (const QString &copy : context.factory.leftOutFiles(guid))
            stamps.add(copy, guid);
    }
    // A file that could use assets and appears later (a copy, a pull from
    // version control) was never read: the folders tell it.
    QSet<QString> extensions{QStringLiteral("ui"), QStringLiteral("rc")};
    for (int type = AssetType::BEGIN + 1; type < AssetType::SIZE; ++type) {
        if (readsReferences(type, std::string())) {
            for (const QString &extension : as::getRegisteredExtensions(AssetType(type)))
                extensions.insert(extension);
        }
    }
    QSet<QString> asset_files;
    for (const as::Asset &asset : assets) {
        const QString &path = asset.getFilePath();
        const int dot = path.lastIndexOf(QLatin1Char('.'));
        if (dot > path.lastIndexOf(QLatin1Char('/')) && extensions.contains(path.mid(dot + 1).toLower()))
            asset_files.insert(path);
    }
    stamps.addFolders(fs::absDataPath(QString()), extensions, asset_files);
}

void CollectorSteps::addItem(Context &context, Velmora::Vector<AssetInfo> &infos)
{
    context.stamps->add(IgnoreListFile::filePath());
    QString ignore_error;
    IgnoreList ignore;
    ignore.setPatterns(IgnoreList::load(&ignore_error));
    if (!ignore_error.isEmpty())
        context.failures.add(IgnoreListFile::filePath(), ignore_error);

    context.items.clear();
    context.items_map.clear();
    context.items.reserve(size_t(infos.size()));
    context.items_map.reserve(infos.size());

    // Ownership and files as the snapshot has them.
    QHash<Velmora::UGUID, const as::Asset *> records;
    const QVector<as::Asset> &assets = context.factory.assets();
    records.reserve(assets.size());
    context.owner_of.clear();
    for (const as::Asset &asset : assets) {
        records.insert(asset.getGUID(), &asset);
        for (const as::Runtime &runtime : asset.getRuntimes())
            context.owner_of.insert(runtime.getGUID(), asset.getGUID());
    }

    for (AssetInfo &info : infos) {
        const Velmora::UGUID guid = info.getAssetId();
        const as::Asset *record = records.value(guid, nullptr);
        auto item = std::make_unique<Item>();
        item->item = std::move(info);
        const as::FileInfo file = context.asset_manager->fileInfo(guid);
        const QString path = record ? record->getFilePath() : file.filePath();
        if (path.isEmpty())
            continue;
        item->absolute_path = utf8(path);
        item->directory = utf8(QDir::cleanPath(QFileInfo(path).path()));
        item->relative_path = utf8(fs::relDataPath(path));
        const int slash = path.lastIndexOf(QLatin1Char('/'));
        item->basename = utf8(path.mid(slash + 1));
        const size_t dot = item->basename.rfind('.');
        item->extension = dot == std::string::npos ? std::string() : lower(item->basename.substr(dot + 1));
        // An asset the database dropped since the snapshot is never listed.
        if (!file.isNull() && file.filePath() == path) {
            item->is_candidate = isCandidateType(item->item.getAssetType(), item->item.is_core,
                                                 file.hasFlag(as::FileInfo::FLAG_IN_DATA),
                                                 file.hasFlag(as::FileInfo::FLAG_READ_ONLY));
        }
        if (item->is_candidate)
            item->is_ignored = ignore.matches(ignoreKey(context.asset_manager, file));
        Item *raw = item.get();
        if (Item *earlier = context.find(guid)) {
            // A later record of the same asset replaces the earlier item.
            *earlier = std::move(*raw);
            continue;
        }
        context.items_map.insert(guid, raw);
        context.items.push_back(std::move(item));
    }
    context.items_by_folder.clear();
    for (const auto &item : context.items)
        context.items_by_folder[item->directory].push_back(item.get());
}

void CollectorSteps::findLinks(Context &context)
{
    // An asset file replaced by a link since the scan is still an asset; one
    // that leads outside the data folder or nowhere is not read either.
    context.links = LinkedFiles::find(fs::absDataPath(QString()));
    context.unread_links.clear();
    for (const LinkedFiles::Entry &entry : context.links.entries()) {
        if (entry.kind != LinkedFiles::Kind::Inside)
            context.unread_links.insert(entry.path);
    }
    context.factory.setUnread(context.unread_links);
    // A hidden folder that a link leads to is walked only through it: what is
    // added there is told too.
    QSet<QString> linked_folders;
    for (const LinkedFiles::Entry &entry : context.links.entries()) {
        if (entry.kind == LinkedFiles::Kind::Inside && entry.folder && LinkedFiles::isHidden(entry.target_relative)
            && !linked_folders.contains(entry.target)) {
            linked_folders.insert(entry.target);
            context.stamps->addLinkedFolder(entry.path);
        }
    }
}

void CollectorSteps::addLinkUsers(Context &context)
{
    // The scan lists no link, but the engine loads what links lead to: each
    // link inside the data folder is a user of what it leads to, and a file
    // reached through one that is no asset is read as a user of what it
    // names. Nothing outside the data folder is read.
    std::vector<std::unique_ptr<Item>> users;
    for (const LinkedFiles::Entry &entry : context.links.entries()) {
        // A link to a folder inside is watched by the listings: of its own
        // folder (where it leads) and of the folder it leads to, which name
        // what is added there rather than the link.
        if (entry.kind != LinkedFiles::Kind::Inside || !entry.folder)
            context.stamps->add(entry.path);
        const QString note = useLink(context, entry, users);
        if (note.isEmpty())
            continue;
        Velmora::Log::message("Cleaner: \"%s\" is a symbolic link %s\n", qUtf8Printable(entry.relative),
                              qUtf8Printable(note));
        context.link_notes.append(LinkNote{entry.relative, note});
    }
    // What the factory could not read through the links.
    context.failures.add(context.factory.readFailures());
    for (std::unique_ptr<Item> &user : users) {
        context.items_by_folder[user->directory].push_back(user.get());
        context.items.push_back(std::move(user));
    }
}

QString CollectorSteps::useLink(Context &context, const LinkedFiles::Entry &entry,
                                std::vector<std::unique_ptr<Item>> &users)
{
    const int slash = entry.relative.lastIndexOf(QLatin1Char('/'));
    const QString name = entry.relative.mid(slash + 1);
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    const QString suffix = dot < 0 ? QString() : name.mid(dot + 1);
    const int type = entry.folder ? AssetType::BEGIN : int(as::typeByExtension(suffix));
    const std::string extension = lower(utf8(suffix));
    switch (entry.kind) {
    case LinkedFiles::Kind::Nowhere:
        return QStringLiteral("that leads nowhere; nothing is read through it");
    case LinkedFiles::Kind::Loop:
        return QStringLiteral("in a loop of links; nothing is read through it");
    case LinkedFiles::Kind::Outside:
        if (entry.folder || readsReferences(type, extension)) {
            context.addFailure(entry.path,
                               QStringLiteral("is a symbolic link that leads outside the data folder "
                                              "(to \"%1\"), so it is not read")
                                       .arg(entry.target));
            return QStringLiteral("that leads outside the data folder (to \"%1\"); it is not read, so what it "
                                  "uses may be listed as unused")
                    .arg(entry.target);
        }
        return QStringLiteral("that leads outside the data folder (to \"%1\"); it is not read (a file of its kind "
                              "names no assets)")
                .arg(entry.target);
    case LinkedFiles::Kind::Inside:
        break;
    }

    auto user = std::make_unique<Item>();
    Item *raw = user.get();
    user->absolute_path = utf8(entry.target_as_reached);
    user->directory = utf8(QDir::cleanPath(QFileInfo(entry.path).path()));
    user->relative_path = utf8(entry.relative);
    user->basename = utf8(name);
    user->extension = extension;
    users.push_back(std::move(user));
    const QString shown = entry.target_relative.isEmpty() ? QStringLiteral("the data folder")
                                                          : QLatin1Char('"') + entry.target_relative + QLatin1Char('"');
    if (entry.folder) {
        // Whatever lies there may be named through the link's path.
        raw->item.initFile(AssetType::BEGIN);
        const std::string prefix = entry.target_relative.isEmpty() ? std::string() : utf8(entry.target_relative) + '/';
        for (const auto &item : context.items) {
            if (startsWith(item->relative_path, prefix))
                addRoot(context, item->item.getAssetId(), raw);
        }
        return QStringLiteral("to the folder %1: the assets in it count as used%2")
                .arg(shown,
                     LinkedFiles::isHidden(entry.target_relative)
                             ? QStringLiteral(", and the files in it are read for what they use")
                             : QString());
    }
    const as::Asset self = context.asset_manager->asset(entry.path);
    const as::Asset target = context.asset_manager->asset(entry.target_relative);
    if (!target.isNull() || !self.isNull()) {
        // An asset is read as one already.
        raw->item.initFile(type);
        if (!target.isNull())
            addRoot(context, target.getGUID(), raw);
        if (entry.below_link || !self.isNull())
            return QString();
        return QStringLiteral("to the asset %1, which counts as used").arg(shown);
    }
    context.factory.createFileItem(entry.target_as_reached, type, raw->item);
    if (entry.below_link)
        return QString();
    return readsReferences(type, extension)
            ? QStringLiteral("to %1, which is no asset: it is read for what it uses").arg(shown)
            : QStringLiteral("to %1, which is no asset").arg(shown);
}

bool CollectorSteps::linkItems(Context &context)
{
    const bool real = context.pass == 1;
    auto step = [&context, real](const std::function<void()> &work) {
        if (!real) {
            context.max_progress_value += 1;
            return true;
        }
        work();
        context.progress_value += 1;
        return context.report();
    };
    if (!step([&context] { indexItemsByName(context); }))
        return false;
    if (!step([&context] { linkLocalFiles(context); }))
        return false;
    if (!step([&context] { markGuiSkinFiles(context); }))
        return false;
    if (!processScripts(context))
        return false;
    if (!step([] {}))
        return false;
    return scanSourceFolder(context);
}

void CollectorSteps::indexItemsByName(Context &context)
{
    auto usable = [&context](const Velmora::UGUID &runtime) {
        if (!context.owner_of.contains(runtime))
            return false;
        if (context.keep_matches)
            return true;
        const Item *owner = context.find(context.ownerOf(runtime));
        return owner && owner->is_candidate && !owner->is_ignored;
    };
    context.material_names.clear();
    const int num_materials = Velmora::Materials::getNumMaterials();
    for (int i = 0; i < num_materials; ++i) {
        const Velmora::Ptr<Velmora::Material> material = Velmora::Materials::getMaterial(i);
        if (!material || !*material->getName() || !usable(material->getGUID()))
            continue;
        context.material_names.insert(material->getName(), material->getGUID());
    }
    context.property_names.clear();
    const int num_properties = Velmora::Properties::getNumProperties();
    for (int i = 0; i < num_properties; ++i) {
        const Velmora::Ptr<Velmora::Property> property = Velmora::Properties::getProperty(i);
        if (!property || !*property->getName() || !usable(property->getGUID()))
            continue;
        context.property_names.insert(property->getName(), property->getGUID());
    }

    for (std::vector<Item *> &list : context.items_by_type)
        list.clear();
    context.items_by_extension.clear();
    for (const auto &item : context.items) {
        const int type = item->item.getAssetType();
        if (type >= -1 && type <= AssetType::SIZE)
            context.items_by_type[size_t(type + 1)].push_back(item.get());
        if (type == AssetType::AFILE && item->extension == "ui")
            context.items_by_type[size_t(AssetType::SCRIPT + 1)].push_back(item.get());
        context.items_by_extension[item->extension].push_back(item.get());
    }
}

bool CollectorSteps::addRoot(Context &context, const Velmora::UGUID &target, Item *user)
{
    const Velmora::UGUID owner = context.ownerOf(target);
    if (owner == user->item.getAssetId() || owner == user->item.getParentAssetId())
        return false;
    Item *used = context.find(owner);
    if (!used || used == user)
        return false;
    return used->roots.add(user);
}

void CollectorSteps::linkLocalFiles(Context &context)
{
    // Folder references: the "uts" and "utsh" files beside a path a node
    // names.
    for (const auto &item : context.items) {
        for (const Velmora::String &path : item->item.paths) {
            const QString folder = QDir::cleanPath(fs::pathname(fs::absDataPath(QString::fromUtf8(path.get()))));
            for (Item *file : context.inFolder(utf8(folder))) {
                if (file == item.get())
                    continue;
                if (file->extension == "uts" || file->extension == "utsh")
                    addRoot(context, file->item.getAssetId(), item.get());
            }
        }
    }
    // Local files of a landscape: beside the main file, named like it with
    // an extension that starts with "ter".
    const auto mains = context.items_by_extension.find("ter");
    if (mains == context.items_by_extension.end())
        return;
    for (Item *main : mains->second) {
        if (main->item.getAssetId().isEmpty())
            continue;
        for (Item *local : context.inFolder(main->directory)) {
            if (local == main)
                continue;
            if (startsWith(local->relative_path, main->relative_path) && startsWith(local->extension, "ter")) {
                local->item.setParentAssetId(main->item.getAssetId());
                main->item.getChildrenRuntimeIds().insert(local->item.getAssetId());
            }
        }
    }
}

void CollectorSteps::markGuiSkinFiles(Context &context)
{
    static const std::unordered_set<std::string> SKIN(std::begin(SKIN_FILES), std::end(SKIN_FILES));
    const auto rcs = context.items_by_extension.find("rc");
    if (rcs == context.items_by_extension.end())
        return;
    for (Item *gui : rcs->second) {
        if (lower(gui->basename) != "gui.rc")
            continue;
        for (Item *file : context.inFolder(gui->directory)) {
            if (file != gui && SKIN.count(file->basename))
                addRoot(context, file->item.getAssetId(), gui);
        }
    }
}

void CollectorSteps::linkParents(Context &context)
{
    for (const auto &holder : context.items) {
        Item *item = holder.get();
        const Velmora::UGUID &self = item->item.getAssetId();
        const Velmora::UGUID &parent = item->item.getParentAssetId();
        for (const Velmora::UGUID &runtime : item->item.getChildrenRuntimeIds()) {
            const Velmora::UGUID owner = context.ownerOf(runtime);
            if (owner == self || owner == parent)
                continue;
            Item *child = context.find(owner);
            if (!child || child == item)
                continue;
            item->children.add(child);
            child->parent = item;
        }
        for (const Velmora::UGUID &guid : item->item.getDependentRuntimeIds())
            addRoot(context, guid, item);
        if (!parent.isEmpty()) {
            if (Item *base = context.find(parent)) {
                if (base != item)
                    base->inheritors.add(item);
            }
        }
    }
}

bool CollectorSteps::ownsUsedItem(Context &context, Item *item)
{
    // Depth first through what the item owns; a malformed database may
    // make ownership circular, so every item is entered once.
    const unsigned visit = ++context.visit;
    item->visit = visit;
    std::vector<Item *> stack(item->children.list.rbegin(), item->children.list.rend());
    while (!stack.empty()) {
        Item *child = stack.back();
        stack.pop_back();
        if (child->visit == visit)
            continue;
        child->visit = visit;
        if (child->is_used || !child->roots.empty())
            return true;
        stack.insert(stack.end(), child->children.list.rbegin(), child->children.list.rend());
    }
    return false;
}

std::vector<Collector::Item *> CollectorSteps::unusedCandidates(Context &context)
{
    std::vector<Item *> result;
    for (const auto &holder : context.items) {
        Item *item = holder.get();
        if (!item->is_candidate || item->is_ignored || item->is_used || !item->roots.empty())
            continue;
        if (item->parent && !item->parent->item.is_core)
            continue;
        if (!item->inheritors.empty() || !context.registered_extensions.count(item->extension))
            continue;
        if (ownsUsedItem(context, item))
            continue;
        result.push_back(item);
    }
    return result;
}

void CollectorSteps::findInScript(Context &context, const std::string &text, int type,
                                  const std::vector<Item *> &candidates, const NameMatcher &matcher,
                                  const std::vector<int> &matcher_ids, Item *script)
{
    if (type == AssetType::SCRIPT && (!context.material_names.empty() || !context.property_names.empty())) {
        forEachQuoted(text, [&](std::string_view token) {
            for (NameTable *table : {&context.material_names, &context.property_names}) {
                const Velmora::UGUID *guid = table->find(token);
                if (guid && addRoot(context, *guid, script) && !context.keep_matches)
                    table->erase(token);
            }
        });
    }

    const Velmora::UGUID &script_asset = script->item.getAssetId();
    const Velmora::UGUID &script_parent = script->item.getParentAssetId();
    auto consider = [&](Item *candidate) {
        if (!context.keep_matches && !candidate->roots.empty())
            return false;
        const int candidate_type = candidate->item.getAssetType();
        if (type == AssetType::SCRIPT
            && (candidate_type == AssetType::MATERIAL || candidate_type == AssetType::PROPERTY))
            return false;
        if (type == AssetType::MATERIAL && candidate_type != AssetType::IMAGE)
            return false;
        const Velmora::UGUID &id = candidate->item.getAssetId();
        return candidate != script && (script_asset.isEmpty() || candidate->item.getParentAssetId() != script_asset)
                && (script_parent.isEmpty() || id != script_parent);
    };
    auto needle = [type](const Item *candidate) -> const std::string & {
        return type == AssetType::SCRIPT ? candidate->basename : candidate->relative_path;
    };

    if (context.options.naive_search) {
        for (Item *candidate : candidates) {
            if (consider(candidate) && text.find(needle(candidate)) != std::string::npos)
                addRoot(context, candidate->item.getAssetId(), script);
        }
        return;
    }
    matcher.search(text, [&](int id) {
        Item *candidate = candidates[size_t(matcher_ids[size_t(id)])];
        if (consider(candidate))
            addRoot(context, candidate->item.getAssetId(), script);
        return true;
    });
}

bool CollectorSteps::processScripts(Context &context)
{
    if (context.pass == 0) {
        for (const as::Asset &asset : context.factory.assets()) {
            if (asset.getType() == AssetType::SCRIPT || asset.getType() == AssetType::MATERIAL) {
                context.max_progress_value += 5;
                context.script_budget += 5;
            }
        }
        return context.report();
    }

    linkParents(context);
    const std::vector<Item *> candidates = unusedCandidates(context);
    // One automaton per kind of search: file names for scripts, image paths
    // for materials.
    NameMatcher by_basename;
    NameMatcher by_path;
    std::vector<int> basename_ids;
    std::vector<int> path_ids;
    if (!context.options.naive_search) {
        for (size_t i = 0; i < candidates.size(); ++i) {
            const int type = candidates[i]->item.getAssetType();
            if (type != AssetType::MATERIAL && type != AssetType::PROPERTY) {
                by_basename.add(candidates[i]->basename);
                basename_ids.push_back(int(i));
            }
            if (type == AssetType::IMAGE) {
                by_path.add(candidates[i]->relative_path);
                path_ids.push_back(int(i));
            }
        }
        by_basename.build();
        by_path.build();
    }

    const int end = context.script_budget + context.progress_value;
    int step = 5;
    for (const int type : {int(AssetType::SCRIPT), int(AssetType::MATERIAL)}) {
        for (Item *script : context.items_by_type[size_t(type + 1)]) {
            if (context.progress_value >= end)
                step = 0;
            context.progress_value += step;
            if (!context.report())
                return false;
            // A copy left out by the scan is searched as this script's text.
            QStringList paths = context.factory.leftOutFiles(script->item.getAssetId());
            paths.prepend(QString::fromStdString(script->absolute_path));
            for (const QString &path : qAsConst(paths)) {
                if (!context.unread_links.isEmpty() && context.unread_links.contains(path))
                    continue;
                std::string text;
                QString failure;
                if (!Collector::readScriptFile(path, text, &failure)) {
                    context.addFailure(path, failure);
                    continue;
                }
                if (!text.empty())
                    findInScript(context, text, type, candidates, type == AssetType::SCRIPT ? by_basename : by_path,
                                 type == AssetType::SCRIPT ? basename_ids : path_ids, script);
            }
        }
    }
    return true;
}

void CollectorSteps::markNamesUsed(Context &context, std::string_view text)
{
    forEachQuoted(text, [&context](std::string_view token) {
        for (const NameTable *table : {&context.material_names, &context.property_names}) {
            const Velmora::UGUID *guid = table->find(token);
            if (!guid)
                continue;
            const Velmora::UGUID owner = context.owner_of.value(*guid);
            if (Item *item = owner.isEmpty() ? nullptr : context.find(owner))
                item->is_used = true;
        }
    });
}

bool CollectorSteps::walkFolder(const QDir &dir, const QStringList &filters, const QString &project_root,
                                QSet<QString> &visited, ReadStamps *stamps,
                                const std::function<bool(const QString &)> &visit)
{
    // A file added to, removed from or renamed in a folder changes the
    // folder's stamp.
    if (stamps)
        stamps->add(dir.absolutePath());
    // Links are followed when they stay inside the project; a folder is
    // entered once, whatever the links that lead to it.
    auto inside = [&project_root](const QFileInfo &entry) {
        const QString target = entry.canonicalFilePath();
        return !target.isEmpty() && target.startsWith(project_root);
    };
    // FIFOs, sockets and devices too: read, each fails and is told, as it
    // is through a link.
    const QFileInfoList files
            = dir.entryInfoList(filters, QDir::Files | QDir::System | QDir::NoDotAndDotDot, QDir::NoSort);
    for (const QFileInfo &file : files) {
        if (file.isSymLink() && !inside(file))
            continue;
        if (!visit(file.absoluteFilePath()))
            return false;
    }
    const QFileInfoList folders = dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::NoSort);
    for (const QFileInfo &folder : folders) {
        if (folder.isSymLink() && !inside(folder))
            continue;
        const QString canonical = folder.canonicalFilePath();
        if (canonical.isEmpty() || visited.contains(canonical))
            continue;
        visited.insert(canonical);
        QDir sub(dir.absolutePath());
        if (!sub.cd(folder.fileName()))
            continue;
        if (!walkFolder(sub, filters, project_root, visited, stamps, visit))
            return false;
    }
    return true;
}

bool CollectorSteps::scanSourceFolder(Context &context)
{
    const std::vector<Item *> candidates = context.pass == 1 ? unusedCandidates(context) : std::vector<Item *>();
    QDir data(fs::absDataPath(QString()));
    if (!data.cdUp())
        return true;
    const QDir folder(data.absoluteFilePath(QStringLiteral("source")));
    ReadStamps *stamps = context.pass == 1 ? context.stamps.get() : nullptr;
    if (!folder.exists()) {
        // A source folder made later is a change too.
        if (stamps)
            stamps->add(folder.absolutePath());
        return true;
    }
    QStringList filters;
    for (const char *filter : SOURCE_FILTERS)
        filters << QLatin1String(filter);
    const QString project_root = QFileInfo(data.absolutePath()).canonicalFilePath() + QLatin1Char('/');

    NameMatcher matcher;
    std::vector<bool> pending(candidates.size(), true);
    if (context.pass == 1 && !context.options.naive_search) {
        for (Item *candidate : candidates)
            matcher.add(candidate->basename);
        matcher.build();
    }

    QSet<QString> visited{folder.canonicalPath()};
    return walkFolder(folder, filters, project_root, visited, stamps, [&](const QString &path) {
        context.progress_value += context.pass == 1 ? 2 : 0;
        if (context.pass == 0) {
            context.max_progress_value += 2;
            return true;
        }
        if (!context.report())
            return false;
        stamps->add(path);
        std::string text;
        QString failure;
        if (!Collector::readScriptFile(path, text, &failure)) {
            context.addFailure(path, failure);
            return true;
        }
        if (text.empty())
            return true;
        markNamesUsed(context, text);
        if (context.options.naive_search) {
            for (size_t i = 0; i < candidates.size(); ++i) {
                if (pending[i] && text.find(candidates[i]->basename) != std::string::npos) {
                    candidates[i]->is_used = true;
                    pending[i] = context.keep_matches;
                }
            }
        } else {
            matcher.search(text, [&](int id) {
                candidates[size_t(id)]->is_used = true;
                return true;
            });
        }
        return true;
    });
}

void CollectorSteps::leaveOutRefused(Context &context, std::vector<Item *> &unused, CollectorResult &result)
{
    // What the asset manager would refuse to remove (a file that leads out
    // of the data folder, a core asset) is not offered for deletion: one
    // such row would make every deletion that includes it fail.
    Velmora::Vector<Velmora::UGUID> guids;
    guids.reserve(int(unused.size()));
    for (const Item *item : unused)
        guids.append(item->item.getAssetId());
    const QHash<Velmora::UGUID, QString> refused = context.asset_manager->removalRefusals(guids);
    if (refused.isEmpty())
        return;
    auto kept = std::remove_if(unused.begin(), unused.end(), [&](const Item *item) {
        const auto why = refused.constFind(item->item.getAssetId());
        if (why == refused.constEnd())
            return false;
        Velmora::Log::warning("Cleaner: \"%s\" is not listed as unused, since it cannot be deleted safely: %s\n",
                              item->relative_path.c_str(), qUtf8Printable(why.value()));
        result.refused.append(
                RefusedAsset{item->item.getAssetId(), QString::fromStdString(item->relative_path), why.value()});
        return true;
    });
    unused.erase(kept, unused.end());
}

Velmora::Vector<Velmora::UGUID> CollectorSteps::makeUnusedResult(Context &context, CollectorResult &result)
{
    std::vector<Item *> items = unusedCandidates(context);
    leaveOutRefused(context, items, result);
    Velmora::Vector<Velmora::UGUID> unused;
    unused.reserve(int(items.size()));
    for (Item *item : items)
        unused.append(item->item.getAssetId());
    return unused;
}

LostMap CollectorSteps::makeLostResult(Context &context)
{
    LostMap lost;
    for (const auto &item : context.items) {
        const AssetInfo &info = item->item;
        if (info.getAssetId().isEmpty() || (info.lost_ids.empty() && info.nodes.empty()))
            continue;
        LostEntry entry;
        for (const Velmora::UGUID &guid : info.lost_ids)
            entry.lost_ids.append(guid);
        for (const NodeInfo &node : info.nodes)
            entry.nodes.append(node);
        lost.insert(info.getAssetId(), entry);
    }
    return lost;
}

bool CollectorSteps::checkStale(Context &context)
{
    return context.asset_manager->revision() != context.revision || !context.stamps->firstChange().isEmpty();
}

bool Collector::collect(CollectorResult &result, Editor::AssetManagerPrivate *as_manager, const mat::Manager *materials,
                        const Progress &progress, const Options &options)
{
    result.clear();
    if (progress(1, 0) && as_manager && materials) {
        auto context = std::make_unique<Context>();
        context->asset_manager = as_manager;
        context->materials = materials;
        context->progress = progress;
        context->options = options;
        context->stamps = std::make_shared<ReadStamps>();
        for (const QString &extension : as::getRegisteredExtensions())
            context->registered_extensions.insert(utf8(extension));

        context->max_progress_value += 2;
        bool ok = CollectorSteps::buildItems(*context);
        if (ok) {
            context->progress_value += 1;
            ok = context->report();
        }
        if (ok) {
            context->pass = 1;
            ok = CollectorSteps::buildItems(*context);
        }
        if (ok) {
            result.unused = CollectorSteps::makeUnusedResult(*context, result);
            result.lost = CollectorSteps::makeLostResult(*context);
            result.read_failures = context->failures.failures();
            result.stale = CollectorSteps::checkStale(*context);
            result.stamps = context->stamps;
            result.links = context->link_notes;
            if (result.stale)
                Velmora::Log::warning("Cleaner: the project changed while its assets were examined; the result may "
                                      "be out of date\n");
            context->progress_value += 1;
            if (context->progress_value != context->max_progress_value)
                base::printAssertMessage("context.progress_value == context.max_progress_value", __FILE__, __LINE__);
            context->progress_value = context->max_progress_value;
            if (context->report())
                result.success = true;
        }
    }
    if (!result.success)
        result.clear();
    return result.success;
}

std::set<std::string> Collector::quotedStrings(std::string_view text)
{
    std::set<std::string> tokens;
    forEachQuoted(text, [&tokens](std::string_view token) { tokens.emplace(token); });
    return tokens;
}

bool Collector::readScriptFile(const QString &path, std::string &text, QString *failure)
{
    text.clear();
    QString reason;
    const int fd = base::RegularFile::open(path, &reason);
    if (fd < 0) {
        if (failure)
            *failure = QStringLiteral("cannot be opened: ") + reason;
        return false;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0 || info.st_size > MAX_SCRIPT_FILE_SIZE) {
        const int error = errno;
        ::close(fd);
        if (failure)
            *failure = info.st_size > MAX_SCRIPT_FILE_SIZE
                    ? QStringLiteral("is larger than %1 bytes and is not searched").arg(MAX_SCRIPT_FILE_SIZE)
                    : QStringLiteral("cannot be read: ") + qt_error_string(error);
        return false;
    }
    std::string raw(size_t(info.st_size), '\0');
    size_t done = 0;
    while (done < raw.size()) {
        const ssize_t n = ::read(fd, &raw[done], raw.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            if (failure)
                *failure = QStringLiteral("cannot be read: ") + qt_error_string(error);
            return false;
        }
        if (n == 0)
            break;
        done += size_t(n);
    }
    ::close(fd);
    raw.resize(done);
    const bool utf16_le = raw.compare(0, 2, "\xFF\xFE") == 0;
    const bool utf16_be = raw.compare(0, 2, "\xFE\xFF") == 0;
    if (utf16_le || utf16_be) {
        QString decoded;
        decoded.reserve(int(raw.size() / 2));
        for (size_t i = 2; i + 1 < raw.size(); i += 2) {
            const uchar a = uchar(raw[i]);
            const uchar b = uchar(raw[i + 1]);
            decoded.append(QChar(utf16_le ? ushort(a | b << 8) : ushort(b | a << 8)));
        }
        text = utf8(decoded);
    } else {
        text = std::move(raw);
    }
    return true;
}

} // namespace cleaner
