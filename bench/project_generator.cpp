#include "project_generator.h"

#include <velmora/UGUID.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QSaveFile>
#include <QSet>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <tuple>

namespace depsbench {

bool Edge::operator<(const Edge &other) const
{
    return std::tie(user, target, node, node_id) < std::tie(other.user, other.target, other.node, other.node_id);
}

bool Edge::operator==(const Edge &other) const
{
    return user == other.user && target == other.target && node == other.node && node_id == other.node_id;
}

namespace {

enum class Kind {
    Image,
    Mesh,
    Model,
    Material,
    Node,
    World,
    Property,
    Render,
    Layer,
    Sound,
    Script,
    NodePathScript, // "uts" and "utsh" files
    Terrain,
    PlainFile,
};

struct Asset
{
    Kind kind = Kind::PlainFile;
    int type = 21;
    QByteArray guid;
    QString path; // data-relative
    QByteArray content;
    // Materials.
    QByteArray name;
    QByteArray material_guid;
    bool fesk = false;
    int parent = -1;
    // Models: the stored runtimes.
    QByteArray node_runtime;
    QByteArray mesh_runtime;
};

// Draws ranks 0 .. n-1 with probability proportional to 1 / (rank + 1).
class Zipf
{
public:
    explicit Zipf(int n)
    {
        double sum = 0;
        cdf_.reserve(size_t(n));
        for (int i = 0; i < n; ++i) {
            sum += 1.0 / (i + 1);
            cdf_.push_back(sum);
        }
    }
    int draw(std::mt19937_64 &random) const
    {
        if (cdf_.empty())
            return -1;
        std::uniform_real_distribution<double> uniform(0.0, cdf_.back());
        const auto it = std::lower_bound(cdf_.begin(), cdf_.end(), uniform(random));
        return int(std::min<size_t>(size_t(it - cdf_.begin()), cdf_.size() - 1));
    }

private:
    std::vector<double> cdf_;
};

// A set of assets that references are drawn from, most popular first.
struct Pool
{
    std::vector<int> assets;
    std::unique_ptr<Zipf> zipf;

    void finish(std::mt19937_64 &random)
    {
        std::shuffle(assets.begin(), assets.end(), random);
        zipf = std::make_unique<Zipf>(int(assets.size()));
    }
    bool empty() const { return assets.empty(); }
    int draw(std::mt19937_64 &random) const { return assets.empty() ? -1 : assets[size_t(zipf->draw(random))]; }
};

const char *const SKIN_FILES[]
        = {"font.ttf",         "gui_mouse.png",  "gui_background.png", "gui_border.png", "gui_button.png",
           "gui_checkbox.png", "gui_window.png", "gui_hslider.png",    "gui_editor.png", "gui_white.png"};

QByteArray pngBytes()
{
    QImage image(2, 2, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// A triangle: the content of every mesh file and of every model's mesh
// runtime.
const QByteArray &meshText()
{
    static const QByteArray MESH = "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 0 1\nf 1/1 2/2 3/3\n";
    return MESH;
}

QByteArray xmlText(const QByteArray &text)
{
    QByteArray out = text;
    out.replace('&', "&amp;").replace('<', "&lt;").replace('>', "&gt;").replace('"', "&quot;");
    return out;
}

QByteArray fileName(const QString &path)
{
    return QFileInfo(path).fileName().toUtf8();
}

// UTF-8 text as UTF-16, little-endian, after a byte order mark.
QByteArray utf16WithByteOrderMark(const QByteArray &text)
{
    const QString wide = QString::fromUtf8(text);
    QByteArray utf16("\xFF\xFE", 2);
    for (const QChar c : wide) {
        utf16 += char(c.unicode() & 0xFF);
        utf16 += char(c.unicode() >> 8);
    }
    return utf16;
}

// How many assets of each kind a project has.
struct Mix
{
    int materials = 0;
    int nodes = 0;
    int worlds = 0;
    int world_scripts = 0;
    int meshes = 0;
    int models = 0;
    int properties = 0;
    int renders = 0;
    int layers = 0;
    int sounds = 0;
    int scripts = 0;
    int node_path_scripts = 0;
    int terrains = 0;
    int images = 0;
    int big = 0; // images in the big folder
    int nested = 0; // copies of images planned under "nest/"
    int plain = 0;
};

} // namespace

class ProjectGenerator::Impl
{
public:
    explicit Impl(const GeneratorOptions &options)
        : options_(options)
        , random_(options.seed)
    {}

    bool generate(QString *error);
    bool writeFiles(const QString &folder, QString *error) const;
    bool writeSources(const QString &folder, QString *error) const;
    // The cleaner's truth: candidates that nothing uses, by path.
    std::vector<QByteArray> unusedForCleaner() const;

    std::vector<Asset> assets_;
    std::set<Edge> edges_;
    // Stored runtime files: data-relative path -> content.
    std::vector<std::pair<QString, QByteArray>> runtime_files_;
    // Source files: path below the "source" folder -> content.
    std::vector<std::pair<QString, QByteArray>> source_files_;

private:
    // The mix of asset kinds for the number of assets asked for; false
    // with a reason when it is too small.
    bool planMix(Mix &mix, QString *error) const;
    // The assets of each kind, called in this order (the seeded draws of
    // folders and GUIDs follow it), with the uses that follow from where
    // their files lie.
    void addFolders(const Mix &mix);
    void addImages(Mix &mix);
    void addMeshesMaterialsAndNodes(const Mix &mix);
    void addWorlds(const Mix &mix);
    void addSettingsAndSounds(const Mix &mix);
    void addScripts(const Mix &mix);
    void addTerrains(int count);
    void addGuiSkins();
    void addPlainFiles(int count);
    // The materials' parents, then their texts, parents first.
    void writeMaterials(int num_materials);
    // The files' contents that the kinds above did not give them, with the
    // uses they write.
    void writeContents();
    void writeModel(Asset &asset);
    void writeProperty(int index);
    void writeRenderSettings(int index);
    void writeLayer(int index);

    // The cleaner's evidence besides references in asset files (see
    // GeneratorOptions::cleaner_evidence) and the uses only it sees.
    void addCleanerEvidence();
    int pickNamedFile();
    void writeCleanerScripts();
    void makeUiFiles();
    // Path below the "source" folder and content of source file number f.
    std::pair<QString, QByteArray> makeSourceFile(int f);
    // A material's text holds the path of target: the cleaner's search of
    // material texts also finds the path of the image a nested copy
    // copies, since it is part of the copy's path.
    void noteMaterialPath(int target)
    {
        if (nested_of_.contains(target))
            cleaner_used_.insert(nested_of_.value(target));
    }
    // Every asset whose file name is name (a nested copy shares its
    // original's).
    void markBasename(const QByteArray &name, bool skip_materials_and_properties, int user);
    QByteArray filler(int bytes);

    QByteArray newGuid();
    int addAsset(Kind kind, int type, const QString &path);
    QString folderFor();
    void addEdge(int user, int target, const QByteArray &node = QByteArray(), int node_id = -1);
    bool chance(double p) { return std::uniform_real_distribution<double>(0, 1)(random_) < p; }
    int uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random_); }
    QByteArray lostGuid() { return "guid://" + newGuid(); }
    QByteArray pathOf(int asset) const { return assets_[size_t(asset)].path.toUtf8(); }
    // The asset that a suffix match of text finds when texture is the one
    // meant: its original when texture is a nested copy.
    int suffixMatch(int texture, const QByteArray &text) const
    {
        if (!text.endsWith(fileName(assets_[size_t(texture)].path)) || text.startsWith("guid://") || text.contains('/'))
            return texture;
        return nested_of_.value(texture, texture);
    }
    // An expression naming the path of texture also contains the path of
    // the image a nested copy copies.
    void addExpressionEdges(int user, int texture, const QByteArray &node = QByteArray(), int node_id = -1)
    {
        addEdge(user, texture, node, node_id);
        if (nested_of_.contains(texture))
            addEdge(user, nested_of_.value(texture), node, node_id);
    }

    void writeMaterial(int index);
    void writeNodeFile(int index, bool world);
    // One node element (and, sometimes, nested ones) with references.
    void writeNode(int user, QByteArray &xml, int depth, int &next_id, int max_nodes, int &written);
    void writeReference(int user, QByteArray &xml, const QByteArray &node, int node_id);

    GeneratorOptions options_;
    std::mt19937_64 random_;
    QSet<QByteArray> used_guids_;
    QStringList folders_;
    QHash<QString, std::vector<int>> node_path_scripts_; // folder -> uts/utsh assets
    QStringList script_folders_;
    // Material -> the textures its own slot_lines give the engine.
    QHash<int, std::vector<int>> engine_textures_;
    std::vector<int> renders_;
    // Nested copy -> the image whose path it ends with.
    QHash<int, int> nested_of_;
    std::vector<int> nested_;
    // Uses only the cleaner sees (script and source texts, inheritance).
    std::set<int> cleaner_used_;
    QHash<QByteArray, std::vector<int>> by_basename_;
    Pool textures_, meshes_, materials_, nodes_, sounds_;
};

QByteArray ProjectGenerator::Impl::newGuid()
{
    static const char HEX[] = "0123456789abcdef";
    for (;;) {
        QByteArray text(40, '0');
        for (int i = 0; i < 40; ++i)
            text[i] = HEX[random_() & 15];
        if (Velmora::UGUID::isUsableText(text.constData()) && !used_guids_.contains(text)) {
            used_guids_.insert(text);
            return text;
        }
    }
}

int ProjectGenerator::Impl::addAsset(Kind kind, int type, const QString &path)
{
    Asset asset;
    asset.kind = kind;
    asset.type = type;
    asset.guid = newGuid();
    asset.path = path;
    assets_.push_back(asset);
    return int(assets_.size()) - 1;
}

QString ProjectGenerator::Impl::folderFor()
{
    return folders_[uniform(0, folders_.size() - 1)];
}

void ProjectGenerator::Impl::addEdge(int user, int target, const QByteArray &node, int node_id)
{
    if (user == target)
        return;
    edges_.insert(Edge{assets_[size_t(user)].guid, assets_[size_t(target)].guid, node, node.isEmpty() ? -1 : node_id});
}

bool ProjectGenerator::Impl::generate(QString *error)
{
    Mix mix;
    if (!planMix(mix, error))
        return false;
    addFolders(mix);
    addImages(mix);
    addMeshesMaterialsAndNodes(mix);
    addWorlds(mix);
    addSettingsAndSounds(mix);
    addScripts(mix);
    addTerrains(mix.terrains);
    addGuiSkins();
    addPlainFiles(mix.plain);
    if (int(assets_.size()) != options_.assets) {
        *error = QStringLiteral("planned %1 assets instead of %2").arg(assets_.size()).arg(options_.assets);
        return false;
    }

    textures_.finish(random_);
    meshes_.finish(random_);
    materials_.finish(random_);
    nodes_.finish(random_);
    sounds_.finish(random_);

    writeMaterials(mix.materials);
    if (options_.cleaner_evidence)
        addCleanerEvidence();
    writeContents();
    return true;
}

bool ProjectGenerator::Impl::planMix(Mix &mix, QString *error) const
{
    const int n = options_.assets;
    if (n < 100) {
        *error = QStringLiteral("a project needs at least 100 assets");
        return false;
    }
    auto share = [n](double fraction, int minimum) { return std::max(minimum, int(std::lround(n * fraction))); };
    mix.materials = share(0.10, 4);
    mix.nodes = share(0.10, 3);
    mix.worlds = share(0.01, 1);
    mix.meshes = share(0.12, 2);
    mix.models = share(0.02, 1);
    mix.properties = share(0.02, 1);
    mix.renders = share(0.01, 1);
    mix.layers = share(0.02, 1);
    mix.sounds = share(0.05, 1);
    mix.scripts = share(0.02, 1);
    mix.node_path_scripts = share(0.02, 2);
    mix.terrains = share(0.005, 1);
    const int num_skin_assets = 2 + 11 + 5; // two "gui.rc", their skin files and one extra image
    mix.world_scripts = (mix.worlds + 1) / 2;
    int fixed = mix.materials + mix.nodes + mix.worlds + mix.meshes + mix.models + mix.properties + mix.renders
            + mix.layers + mix.sounds + mix.scripts + mix.node_path_scripts + mix.terrains * 3 + 1 + num_skin_assets
            + mix.world_scripts;
    mix.images = std::max(1, int(std::lround(n * 0.40)));
    mix.plain = n - fixed - mix.images;
    if (mix.plain < 0) {
        mix.images += mix.plain;
        mix.plain = 0;
    }
    if (mix.images < 2) {
        *error = QStringLiteral("too few assets for the mix");
        return false;
    }
    mix.big = std::min(options_.big_folder_files, mix.images);
    // Copies of a few images under "nest/": their paths end with, and
    // contain, the path of the image they copy, so that suffix and
    // contained matches have more than one candidate.
    mix.nested = std::min(mix.plain, std::max(2, n / 500));
    mix.plain -= mix.nested;
    return true;
}

void ProjectGenerator::Impl::addFolders(const Mix &mix)
{
    const int num_folders = std::max(1, (options_.assets - mix.big) / std::max(1, options_.files_per_folder));
    for (int i = 0; i < num_folders; ++i)
        folders_ << QStringLiteral("d_%1/").arg(i, 4, 10, QLatin1Char('0'));
}

void ProjectGenerator::Impl::addImages(Mix &mix)
{
    // Images: the big folder first, then spread.
    for (int i = 0; i < mix.images; ++i) {
        const QString folder = i < mix.big ? QStringLiteral("big/") : folderFor();
        textures_.assets.push_back(
                addAsset(Kind::Image, 6, folder + QStringLiteral("img_%1.png").arg(i, 6, 10, QLatin1Char('0'))));
    }
    for (int i = 0; i < mix.nested && mix.images > mix.big; ++i) {
        const int original = textures_.assets[size_t(uniform(mix.big, mix.images - 1))];
        if (nested_of_.key(original, -1) >= 0)
            continue;
        const int copy = addAsset(Kind::Image, 6, QStringLiteral("nest/") + assets_[size_t(original)].path);
        nested_of_.insert(copy, original);
        nested_.push_back(copy);
        textures_.assets.push_back(copy);
    }
    // The copies that were not made are plain files instead.
    mix.plain += mix.nested - int(nested_of_.size());
}

void ProjectGenerator::Impl::addMeshesMaterialsAndNodes(const Mix &mix)
{
    for (int i = 0; i < mix.meshes; ++i)
        meshes_.assets.push_back(
                addAsset(Kind::Mesh, 2, folderFor() + QStringLiteral("m_%1.mesh").arg(i, 6, 10, QLatin1Char('0'))));
    for (int i = 0; i < mix.models; ++i) {
        const int model = addAsset(Kind::Model, 7,
                                   folderFor() + QStringLiteral("mdl_%1.model").arg(i, 6, 10, QLatin1Char('0')));
        assets_[size_t(model)].node_runtime = newGuid();
        assets_[size_t(model)].mesh_runtime = newGuid();
        meshes_.assets.push_back(model);
    }
    for (int i = 0; i < mix.materials; ++i) {
        const int material = addAsset(Kind::Material, 4,
                                      folderFor() + QStringLiteral("mat_%1.mat").arg(i, 6, 10, QLatin1Char('0')));
        Asset &asset = assets_[size_t(material)];
        asset.name = QByteArray("mat_") + QByteArray::number(i).rightJustified(6, '0');
        asset.material_guid
                = Velmora::UGUID::derive(Velmora::UGUID(asset.guid.constData()), "material").getString().get();
        asset.fesk = (i % 2) == 1;
        materials_.assets.push_back(material);
    }
    for (int i = 0; i < mix.nodes; ++i)
        nodes_.assets.push_back(
                addAsset(Kind::Node, 1, folderFor() + QStringLiteral("n_%1.node").arg(i, 6, 10, QLatin1Char('0'))));
}

void ProjectGenerator::Impl::addWorlds(const Mix &mix)
{
    for (int i = 0; i < mix.worlds; ++i) {
        const QString folder = folderFor();
        const QString base = folder + QStringLiteral("w_%1").arg(i, 6, 10, QLatin1Char('0'));
        const int world = addAsset(Kind::World, 18, base + QStringLiteral(".world"));
        if (i < mix.world_scripts) {
            const int script = addAsset(Kind::Script, 20, base + QStringLiteral(".usc"));
            assets_[size_t(script)].content = "// world script\n";
            addEdge(world, script);
        }
    }
}

void ProjectGenerator::Impl::addSettingsAndSounds(const Mix &mix)
{
    for (int i = 0; i < mix.properties; ++i)
        addAsset(Kind::Property, 5, folderFor() + QStringLiteral("p_%1.prop").arg(i, 6, 10, QLatin1Char('0')));
    for (int i = 0; i < mix.renders; ++i)
        renders_.push_back(addAsset(Kind::Render, 14,
                                    folderFor() + QStringLiteral("r_%1.render").arg(i, 6, 10, QLatin1Char('0'))));
    for (int i = 0; i < mix.layers; ++i)
        addAsset(Kind::Layer, 8, folderFor() + QStringLiteral("l_%1.layer").arg(i, 6, 10, QLatin1Char('0')));
    for (int i = 0; i < mix.sounds; ++i) {
        const int sound
                = addAsset(Kind::Sound, 11, folderFor() + QStringLiteral("s_%1.wav").arg(i, 6, 10, QLatin1Char('0')));
        assets_[size_t(sound)].content = QByteArray("RIFF\0\0\0\0WAVE", 12);
        sounds_.assets.push_back(sound);
    }
}

void ProjectGenerator::Impl::addScripts(const Mix &mix)
{
    for (int i = 0; i < mix.scripts; ++i) {
        const int script
                = addAsset(Kind::Script, 20, folderFor() + QStringLiteral("sc_%1.usc").arg(i, 6, 10, QLatin1Char('0')));
        assets_[size_t(script)].content = "// script\n";
    }
    // "uts"/"utsh" files in about a tenth of the folders, and a few in the
    // big one.
    const int num_script_folders = std::max(1, folders_.size() / 10);
    for (int i = 0; i < mix.node_path_scripts; ++i) {
        const QString folder = (i < 3 && mix.big > 0) ? QStringLiteral("big/") : folders_[i % num_script_folders];
        const QString extension = (i % 2) ? QStringLiteral("utsh") : QStringLiteral("uts");
        const int script = addAsset(Kind::NodePathScript, 21,
                                    folder + QStringLiteral("u_%1.").arg(i, 6, 10, QLatin1Char('0')) + extension);
        assets_[size_t(script)].content = "// node path script\n";
        node_path_scripts_[folder].push_back(script);
    }
    script_folders_ = node_path_scripts_.keys();
    std::sort(script_folders_.begin(), script_folders_.end());
}

void ProjectGenerator::Impl::addTerrains(int count)
{
    // Landscape files with their side files; the first also has a backup
    // whose long suffix does not make it a side file.
    for (int i = 0; i < count; ++i) {
        const QString base = folderFor() + QStringLiteral("t_%1.ter").arg(i, 6, 10, QLatin1Char('0'));
        const int terrain = addAsset(Kind::Terrain, 17, base);
        assets_[size_t(terrain)].content = "terrain\n";
        for (const char *suffix : {"1", "2"}) {
            const int side = addAsset(Kind::PlainFile, 21, base + QLatin1String(suffix));
            assets_[size_t(side)].content = "side\n";
            addEdge(terrain, side);
        }
        if (i == 0)
            assets_[size_t(addAsset(Kind::PlainFile, 21, base + QStringLiteral("rain_backup")))].content = "backup\n";
    }
}

void ProjectGenerator::Impl::addGuiSkins()
{
    // Two GUI skins: "gui.rc" and "GUI.RC" (the name is compared ignoring
    // case), each with skin files beside it and one file that is not one.
    const int skin = addAsset(Kind::PlainFile, 21, QStringLiteral("skin_a/gui.rc"));
    assets_[size_t(skin)].content = "skin\n";
    for (const char *name : SKIN_FILES) {
        const QString file = QStringLiteral("skin_a/") + QLatin1String(name);
        const int asset = addAsset(file.endsWith(QLatin1String(".ttf")) ? Kind::PlainFile : Kind::Image,
                                   file.endsWith(QLatin1String(".ttf")) ? 10 : 6, file);
        addEdge(skin, asset);
    }
    addAsset(Kind::Image, 6, QStringLiteral("skin_a/gui_extra.png"));
    const int other = addAsset(Kind::PlainFile, 21, QStringLiteral("skin_b/GUI.RC"));
    assets_[size_t(other)].content = "skin\n";
    for (int i = 0; i < 5; ++i)
        addEdge(other, addAsset(Kind::Image, 6, QStringLiteral("skin_b/") + QLatin1String(SKIN_FILES[i + 1])));
}

void ProjectGenerator::Impl::addPlainFiles(int count)
{
    for (int i = 0; i < count; ++i) {
        const int plain = addAsset(Kind::PlainFile, 21,
                                   folderFor() + QStringLiteral("o_%1.json").arg(i, 6, 10, QLatin1Char('0')));
        assets_[size_t(plain)].content = "{}\n";
    }
}

void ProjectGenerator::Impl::writeMaterials(int num_materials)
{
    // A fifth of the materials inherit from one of the others.
    const int num_children = num_materials / 5;
    std::vector<int> order = materials_.assets;
    std::sort(order.begin(), order.end());
    for (int i = 0; i < num_children; ++i) {
        const int child = order[size_t(num_materials - 1 - i)];
        assets_[size_t(child)].parent = order[size_t(uniform(0, num_materials - num_children - 1))];
    }
    // Parents first: a child inherits what its parent's slot_lines resolve to.
    std::vector<int> material_order = order;
    std::stable_sort(material_order.begin(), material_order.end(), [this](int a, int b) {
        return (assets_[size_t(a)].parent < 0) > (assets_[size_t(b)].parent < 0);
    });
    for (const int material : material_order)
        writeMaterial(material);
}

void ProjectGenerator::Impl::writeContents()
{
    static const QByteArray PNG = pngBytes();
    for (size_t i = 0; i < assets_.size(); ++i) {
        Asset &asset = assets_[i];
        switch (asset.kind) {
        case Kind::Image:
            asset.content = PNG;
            break;
        case Kind::Mesh:
            asset.content = meshText();
            break;
        case Kind::Model:
            writeModel(asset);
            break;
        case Kind::Node:
            writeNodeFile(int(i), false);
            break;
        case Kind::World:
            writeNodeFile(int(i), true);
            break;
        case Kind::Property:
            writeProperty(int(i));
            break;
        case Kind::Render:
            writeRenderSettings(int(i));
            break;
        case Kind::Layer:
            writeLayer(int(i));
            break;
        default:
            break;
        }
    }
}

void ProjectGenerator::Impl::writeModel(Asset &asset)
{
    asset.content = meshText();
    const QByteArray node = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<nodes version=\"1\">\n"
                            "\t<node type=\"ObjectMeshStatic\" id=\"1\" name=\""
            + fileName(asset.path) + "\">\n\t\t<mesh_name>guid://" + asset.mesh_runtime
            + "</mesh_name>\n\t</node>\n</nodes>\n";
    runtime_files_.push_back(
            {QStringLiteral(".runtimes/%1/%2.node")
                     .arg(QString::fromLatin1(asset.node_runtime.left(2)), QString::fromLatin1(asset.node_runtime)),
             node});
    runtime_files_.push_back(
            {QStringLiteral(".runtimes/%1/%2.mesh")
                     .arg(QString::fromLatin1(asset.mesh_runtime.left(2)), QString::fromLatin1(asset.mesh_runtime)),
             meshText()});
}

void ProjectGenerator::Impl::writeProperty(int index)
{
    Asset &asset = assets_[size_t(index)];
    const int texture = textures_.draw(random_);
    asset.content = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<property name=\""
            + fileName(asset.path).replace(".prop", "") + "\">\n\t<parameter name=\"mass\">1200</parameter>\n"
            + "\t<decal>" + pathOf(texture) + "</decal>\n</property>\n";
    addEdge(index, texture);
}

void ProjectGenerator::Impl::writeRenderSettings(int index)
{
    Asset &asset = assets_[size_t(index)];
    const int texture = textures_.draw(random_);
    const int a = materials_.draw(random_);
    const int b = materials_.draw(random_);
    asset.content = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<render_settings>\n"
                    "\t<ambient_color>0.30 0.30 0.35</ambient_color>\n\t<environment>"
            + pathOf(texture) + "</environment>\n\t<postprocess_materials>" + assets_[size_t(a)].name + ","
            + assets_[size_t(b)].name + "</postprocess_materials>\n\t<exposure>1.0</exposure>\n</render_settings>\n";
    addEdge(index, texture);
    addEdge(index, a);
    addEdge(index, b);
}

void ProjectGenerator::Impl::writeLayer(int index)
{
    Asset &asset = assets_[size_t(index)];
    const int first = meshes_.draw(random_);
    const int second = textures_.draw(random_);
    asset.content = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<layer>\n\t<object>" + pathOf(first)
            + "</object>\n\t<object>" + assets_[size_t(second)].guid + "</object>\n</layer>\n";
    addEdge(index, first);
    addEdge(index, second);
}

void ProjectGenerator::Impl::markBasename(const QByteArray &name, bool skip_materials_and_properties, int user)
{
    for (const int asset : by_basename_.value(name)) {
        const int type = assets_[size_t(asset)].type;
        if (asset == user || (skip_materials_and_properties && (type == 4 || type == 5)))
            continue;
        cleaner_used_.insert(asset);
    }
}

QByteArray ProjectGenerator::Impl::filler(int bytes)
{
    // Text that names nothing: no file name, no quote.
    static const char *const LINES[] = {"    int value = compute(index, 42);\n",
                                        "    // keep the frame time steady\n",
                                        "    for (int i = 0; i < count; ++i)\n",
                                        "        total += weights[i] * 0.5f;\n",
                                        "    return value;\n",
                                        "}\n\nvoid update(float ifps)\n{\n"};
    QByteArray text;
    while (text.size() < bytes)
        text += LINES[uniform(0, 5)];
    return text;
}

void ProjectGenerator::Impl::addCleanerEvidence()
{
    for (size_t i = 0; i < assets_.size(); ++i)
        by_basename_[fileName(assets_[i].path)].push_back(int(i));
    // A base material is used by the materials that inherit from it.
    for (const Asset &asset : assets_) {
        if (asset.parent >= 0)
            cleaner_used_.insert(asset.parent);
    }
    // Landscape files are used by their side files.
    for (size_t i = 0; i < assets_.size(); ++i) {
        if (assets_[i].kind == Kind::Terrain)
            cleaner_used_.insert(int(i));
    }
    writeCleanerScripts();
    makeUiFiles();
    for (int f = 0; f < options_.source_files; ++f)
        source_files_.push_back(makeSourceFile(f));
}

int ProjectGenerator::Impl::pickNamedFile()
{
    // What a text may name: a file name of an image, mesh, sound or node.
    switch (uniform(0, 3)) {
    case 0:
        return meshes_.draw(random_);
    case 1:
        return sounds_.draw(random_);
    case 2:
        return nodes_.draw(random_);
    default:
        return textures_.draw(random_);
    }
}

void ProjectGenerator::Impl::writeCleanerScripts()
{
    // Scripts: quoted material names and file names; one line in ten is
    // longer than a read buffer of 2048 bytes, with the name across it.
    for (size_t i = 0; i < assets_.size(); ++i) {
        Asset &script = assets_[i];
        if (script.kind != Kind::Script || !script.path.contains(QLatin1String("/sc_")))
            continue;
        QByteArray text = "// script\n";
        const int lines = uniform(1, 6);
        for (int l = 0; l < lines; ++l) {
            if (chance(0.5) && !materials_.empty()) {
                const int material = materials_.draw(random_);
                text += "material_set(\"" + assets_[size_t(material)].name + "\");\n";
                cleaner_used_.insert(material);
            } else {
                const int target = pickNamedFile();
                const QByteArray name = fileName(assets_[size_t(target)].path);
                if (chance(0.1))
                    text += QByteArray(2040 - uniform(0, 12), 'x');
                text += "load(\"" + name + "\");\n";
                markBasename(name, true, int(i));
            }
        }
        script.content = text;
    }
}

void ProjectGenerator::Impl::makeUiFiles()
{
    // A third of the plain files become "ui" files that name a file.
    for (size_t i = 0; i < assets_.size(); ++i) {
        Asset &plain = assets_[i];
        if (plain.kind != Kind::PlainFile || !plain.path.endsWith(QLatin1String(".json")) || !chance(0.33))
            continue;
        by_basename_[fileName(plain.path)].erase(std::remove(by_basename_[fileName(plain.path)].begin(),
                                                             by_basename_[fileName(plain.path)].end(), int(i)),
                                                 by_basename_[fileName(plain.path)].end());
        plain.path.replace(QLatin1String(".json"), QLatin1String(".ui"));
        by_basename_[fileName(plain.path)].push_back(int(i));
        const int target = pickNamedFile();
        const QByteArray name = fileName(assets_[size_t(target)].path);
        plain.content = "<window>\n\t<image>" + name + "</image>\n</window>\n";
        markBasename(name, true, int(i));
    }
}

std::pair<QString, QByteArray> ProjectGenerator::Impl::makeSourceFile(int f)
{
    // Source files: names of materials in quotes (some after an escaped
    // quote or a quote character literal) and file names anywhere.
    static const char *const EXTENSIONS[] = {"cpp", "h", "hpp", "cxx", "hxx", "cs", "ucs", "usc"};
    const QByteArray extension = EXTENSIONS[f % 8];
    const QString path = QStringLiteral("module_%1/file_%2.").arg(f / 100).arg(f, 6, 10, QLatin1Char('0'))
            + QString::fromLatin1(extension);
    QByteArray text = "// generated source\n#include <engine.h>\n\n";
    const int size = uniform(5000, 30000);
    while (text.size() < size) {
        text += filler(uniform(200, 2000));
        const int kind = uniform(0, 9);
        if (kind < 3 && !materials_.empty()) {
            const int material = materials_.draw(random_);
            if (kind == 1)
                text += "    const char *say = \"a \\\"quoted\\\" word\";\n";
            else if (kind == 2)
                text += "    const char quote = '\"';\n";
            text += "    set_material(\"" + assets_[size_t(material)].name + "\");\n";
            cleaner_used_.insert(material);
        } else if (kind < 5) {
            const int target = pickNamedFile();
            const QByteArray name = fileName(assets_[size_t(target)].path);
            text += "    // loads " + name + " on start\n";
            markBasename(name, false, -1);
        }
    }
    if (extension == "cs" && (f / 8) % 2 == 0)
        text = utf16WithByteOrderMark(text);
    return {path, text};
}

bool ProjectGenerator::Impl::writeSources(const QString &folder, QString *error) const
{
    for (const auto &file : source_files_) {
        const QString path = folder + QLatin1Char('/') + file.first;
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly) || out.write(file.second) != file.second.size()) {
            *error = QStringLiteral("cannot write %1").arg(path);
            return false;
        }
    }
    return true;
}

std::vector<QByteArray> ProjectGenerator::Impl::unusedForCleaner() const
{
    // What the default ignore list keeps, and the extensions the asset
    // types of a generated project register.
    static const QSet<QString> IGNORED{"prop",  "ttf", "otf", "track", "render", "spline", "curve",
                                       "world", "usc", "txt", "cs",    "preset", "brush"};
    static const QSet<QString> REGISTERED{"node", "mesh", "model",  "mat", "prop",  "png", "layer",
                                          "ttf",  "wav",  "render", "ter", "world", "usc"};
    std::set<int> used = cleaner_used_;
    QHash<QByteArray, int> by_guid;
    for (size_t i = 0; i < assets_.size(); ++i)
        by_guid.insert(assets_[i].guid, int(i));
    for (const Edge &edge : edges_)
        used.insert(by_guid.value(edge.target));
    std::vector<int> unused;
    for (size_t i = 0; i < assets_.size(); ++i) {
        const Asset &asset = assets_[i];
        const QString extension = QFileInfo(asset.path).suffix().toLower();
        if (asset.type == 21 || used.count(int(i)) || IGNORED.contains(extension) || !REGISTERED.contains(extension))
            continue;
        unused.push_back(int(i));
    }
    std::sort(unused.begin(), unused.end(), [this](int a, int b) {
        return QString::compare(assets_[size_t(a)].path, assets_[size_t(b)].path, Qt::CaseSensitive) < 0;
    });
    std::vector<QByteArray> guids;
    for (const int i : unused)
        guids.push_back(assets_[size_t(i)].guid);
    return guids;
}

void ProjectGenerator::Impl::writeMaterial(int index)
{
    Asset &material = assets_[size_t(index)];
    const bool child = material.parent >= 0;
    const char *const BASE_SLOTS[] = {"albedo", "normal"};
    const char *const CHILD_SLOTS[] = {"detail", "overlay"};
    const int num_slots = uniform(1, 2);
    QByteArray slot_lines;
    std::vector<int> &engine_textures = engine_textures_[index];
    for (int s = 0; s < num_slots; ++s) {
        const char *slot = child ? CHILD_SLOTS[s] : BASE_SLOTS[s];
        int texture = textures_.draw(random_);
        const double kind = std::uniform_real_distribution<double>(0, 1)(random_);
        QByteArray value;
        bool found = true;
        if (kind < options_.lost_fraction * 5) {
            value = lostGuid();
            found = false;
        } else if (kind < 0.55) {
            value = pathOf(texture);
            engine_textures.push_back(texture);
            noteMaterialPath(texture);
        } else if (kind < 0.8 || material.fesk) {
            value = "guid://" + assets_[size_t(texture)].guid;
            engine_textures.push_back(texture);
        } else {
            // Found by its suffix: the first asset (by path) whose path ends
            // with the file name, which for a nested copy is its original.
            // Half of these name an image that has a copy.
            if (!nested_.empty() && chance(0.5)) {
                const int copy = nested_[size_t(uniform(0, int(nested_.size()) - 1))];
                texture = chance(0.5) ? copy : nested_of_.value(copy);
            }
            value = fileName(assets_[size_t(texture)].path);
        }
        if (found)
            addEdge(index, suffixMatch(texture, value));
        if (material.fesk)
            slot_lines += "\tTexture(name=\"" + QByteArray(slot) + "\") = \"" + value + "\";\n";
        else
            slot_lines += "\t<texture name=\"" + QByteArray(slot) + "\">" + xmlText(value) + "</texture>\n";
    }
    // The engine gives a child its parent's slot_lines too.
    if (child) {
        for (const int texture : engine_textures_[material.parent])
            addEdge(index, texture);
    }
    if (material.fesk) {
        QByteArray text = "# material\nMaterial(name=\"" + material.name + "\"";
        if (child)
            text += ", parent_name=\"" + assets_[size_t(material.parent)].name + "\"";
        text += ") {\n" + slot_lines + "\tParameter(name=\"roughness\") = \"0.5\";\n";
        if (chance(0.3)) {
            const int a = textures_.draw(random_);
            const int b = textures_.draw(random_);
            text += "\tExpression(name=\"blend\") = \"mix(" + pathOf(a) + ", " + pathOf(b) + ") * 0.5\";\n";
            noteMaterialPath(a);
            noteMaterialPath(b);
            addExpressionEdges(index, a);
            addExpressionEdges(index, b);
        }
        text += "\tState(name=\"depth_map\") = \"1\";\n\tOptions(transparent=0);\n}\n";
        material.content = text;
    } else {
        QByteArray text = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<material name=\"" + material.name + "\"";
        if (child)
            text += " parent=\"" + assets_[size_t(material.parent)].material_guid + "\"";
        text += ">\n" + slot_lines + "\t<parameter name=\"roughness\">0.4</parameter>\n"
                + "\t<state name=\"depth_map\">1</state>\n\t<options transparent=\"0\" blend_src=\"0\" "
                  "blend_dest=\"0\"/>\n"
                + "</material>\n";
        material.content = text;
    }
}

void ProjectGenerator::Impl::writeNodeFile(int index, bool world)
{
    Asset &asset = assets_[size_t(index)];
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";
    xml += world ? "<world version=\"1\">\n" : "<nodes version=\"1\">\n";
    if (world) {
        xml += "\t<settings>\n";
        if (chance(0.7) && !renders_.empty()) {
            const int render = renders_[size_t(uniform(0, int(renders_.size()) - 1))];
            xml += "\t\t<render_settings>" + pathOf(render) + "</render_settings>\n";
            addEdge(index, render);
        }
        xml += "\t</settings>\n";
    }
    const int max_nodes = world ? uniform(10, 30) : uniform(2, 6);
    int next_id = 1;
    int written = 0;
    while (written < max_nodes)
        writeNode(index, xml, 1, next_id, max_nodes, written);
    xml += world ? "</world>\n" : "</nodes>\n";
    asset.content = xml;
}

void ProjectGenerator::Impl::writeNode(int user, QByteArray &xml, int depth, int &next_id, int max_nodes, int &written)
{
    const int id = next_id++;
    ++written;
    const QByteArray name = "n" + QByteArray::number(id);
    const QByteArray indent(depth, '\t');
    static const char *const TYPES[]
            = {"ObjectMeshStatic", "NodeDummy", "NodeReference", "WorldExpression", "ObjectMeshClutter"};
    xml += indent + "<node type=\"" + TYPES[id % 5] + "\" id=\"" + QByteArray::number(id) + "\" name=\"" + name
            + "\">\n";
    xml += indent + "\t<transform>1 0 0 0  0 1 0 0  0 0 1 0  " + QByteArray::number(id * 2) + " "
            + QByteArray::number(depth) + " 0 1</transform>\n";
    xml += indent + "\t<enabled>1</enabled>\n";
    const int refs = uniform(0, 3);
    for (int r = 0; r < refs; ++r)
        writeReference(user, xml, name, id);
    if (depth < 3 && written < max_nodes && chance(0.3))
        writeNode(user, xml, depth + 1, next_id, max_nodes, written);
    xml += indent + "</node>\n";
}

void ProjectGenerator::Impl::writeReference(int user, QByteArray &xml, const QByteArray &node, int node_id)
{
    const QByteArray indent = "\t\t";
    if (chance(options_.lost_fraction)) {
        xml += indent + "<mesh_name>guid://" + newGuid() + "</mesh_name>\n";
        return;
    }
    const int kind = uniform(0, 99);
    if (kind < 40) {
        const int mesh = meshes_.draw(random_);
        const Asset &target = assets_[size_t(mesh)];
        QByteArray text;
        if (target.kind == Kind::Model)
            text = "guid://" + target.mesh_runtime;
        else if (chance(0.3))
            text = chance(0.5) ? target.guid : "guid://" + target.guid;
        else
            text = pathOf(mesh);
        xml += indent + "<mesh_name>" + text + "</mesh_name>\n";
        addEdge(user, mesh, node, node_id);
    } else if (kind < 65) {
        const int a = materials_.draw(random_);
        QByteArray list = assets_[size_t(a)].name;
        addEdge(user, a, node, node_id);
        if (chance(0.4)) {
            const int b = materials_.draw(random_);
            list += "," + assets_[size_t(b)].name;
            addEdge(user, b, node, node_id);
        }
        xml += indent + "<surface name=\"body\" enabled=\"1\">\n" + indent + "\t<material>" + list + "</material>\n"
                + indent + "</surface>\n";
    } else if (kind < 75) {
        const int texture = textures_.draw(random_);
        xml += indent + "<mask_image>" + pathOf(texture) + "</mask_image>\n";
        addEdge(user, texture, node, node_id);
    } else if (kind < 80) {
        const int a = textures_.draw(random_);
        const int b = textures_.draw(random_);
        xml += indent + "<expression>fade(" + pathOf(a) + ", " + pathOf(b) + ") * 0.5</expression>\n";
        addExpressionEdges(user, a, node, node_id);
        addExpressionEdges(user, b, node, node_id);
    } else if (kind < 90) {
        const int target = nodes_.draw(random_);
        if (target == user)
            return;
        xml += indent + "<path>" + pathOf(target) + "</path>\n";
        addEdge(user, target, node, node_id);
    } else if (kind < 95) {
        const int sound = sounds_.draw(random_);
        xml += indent + "<sound>" + pathOf(sound) + "</sound>\n";
        addEdge(user, sound, node, node_id);
    } else {
        // A path that names no file: the node uses the "uts"/"utsh" files of
        // its folder (mostly folders that have some).
        const QString folder = chance(0.8) && !script_folders_.isEmpty()
                ? script_folders_[uniform(0, script_folders_.size() - 1)]
                : folderFor();
        xml += indent + "<path>" + folder.toUtf8() + "lod_missing_" + QByteArray::number(uniform(0, 999999))
                + ".mesh</path>\n";
        for (const int script : node_path_scripts_.value(folder))
            addEdge(user, script);
    }
}

bool ProjectGenerator::Impl::writeFiles(const QString &folder, QString *error) const
{
    QSet<QString> made;
    auto write = [&](const QString &relative, const QByteArray &content) {
        const QString path = folder + QLatin1Char('/') + relative;
        const QString dir = QFileInfo(path).absolutePath();
        if (!made.contains(dir)) {
            QDir().mkpath(dir);
            made.insert(dir);
        }
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) {
            *error = QStringLiteral("cannot write %1").arg(path);
            return false;
        }
        return true;
    };
    for (const Asset &asset : assets_) {
        QByteArray meta = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<asset version=\"1\" guid=\"" + asset.guid
                + "\" type=\"" + QByteArray::number(asset.type) + "\" excluded=\"0\"";
        if (asset.kind == Kind::Model) {
            meta += ">\n\t<runtime guid=\"" + asset.node_runtime + "\" kind=\"3\" name=\"" + fileName(asset.path)
                    + "\" ext=\"node\"/>\n\t<runtime guid=\"" + asset.mesh_runtime + "\" kind=\"1\" name=\""
                    + fileName(asset.path) + "\" ext=\"mesh\"/>\n</asset>\n";
        } else {
            meta += "/>\n";
        }
        if (!write(asset.path, asset.content) || !write(asset.path + QStringLiteral(".meta"), meta))
            return false;
        if (asset.kind == Kind::Model) {
            for (const auto &runtime : {std::make_pair(asset.node_runtime, 3), std::make_pair(asset.mesh_runtime, 1)}) {
                const QByteArray side = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<runtime version=\"1\" guid=\""
                        + runtime.first + "\" asset=\"" + asset.guid + "\" kind=\"" + QByteArray::number(runtime.second)
                        + "\"/>\n";
                const QString file
                        = QStringLiteral(".runtimes/%1/%2.%3")
                                  .arg(QString::fromLatin1(runtime.first.left(2)), QString::fromLatin1(runtime.first),
                                       runtime.second == 3 ? QStringLiteral("node") : QStringLiteral("mesh"));
                if (!write(file + QStringLiteral(".meta"), side))
                    return false;
            }
        }
    }
    for (const auto &file : runtime_files_) {
        if (!write(file.first, file.second))
            return false;
    }
    return true;
}

ProjectGenerator::ProjectGenerator(const GeneratorOptions &options)
    : options_(options)
{}

ProjectGenerator::~ProjectGenerator() = default;

bool ProjectGenerator::write(const QString &data_folder, const QString &truth_file, QString *error)
{
    const QString target = QDir::cleanPath(QDir(data_folder).absolutePath());
    const QString partial = target + QStringLiteral(".partial");
    if (QFileInfo::exists(target) || QFileInfo::exists(partial)) {
        *error = QStringLiteral("%1 (or %2) exists already; choose a new folder").arg(target, partial);
        return false;
    }
    Impl impl(options_);
    if (!impl.generate(error))
        return false;
    if (!QDir().mkpath(partial)) {
        *error = QStringLiteral("cannot make %1").arg(partial);
        return false;
    }
    if (!impl.writeFiles(partial, error))
        return false;
    if (!QDir().rename(partial, target)) {
        *error = QStringLiteral("cannot rename %1 to %2").arg(partial, target);
        return false;
    }
    if (options_.cleaner_evidence) {
        const QString source = QFileInfo(target).absolutePath() + QStringLiteral("/source");
        if (QFileInfo::exists(source)) {
            *error = QStringLiteral("%1 exists already; choose a new folder").arg(source);
            return false;
        }
        if (!impl.writeSources(source, error))
            return false;
        unused_ = impl.unusedForCleaner();
    }
    edges_.assign(impl.edges_.begin(), impl.edges_.end());
    asset_guids_.clear();
    for (const Asset &asset : impl.assets_)
        asset_guids_.push_back(asset.guid);
    return writeTruth(truth_file, edges_, error);
}

QByteArray ProjectGenerator::mostUsedAsset() const
{
    std::map<QByteArray, std::set<QByteArray>> users;
    for (const Edge &edge : edges_)
        users[edge.target].insert(edge.user);
    QByteArray best;
    size_t count = 0;
    for (const auto &entry : users) {
        if (entry.second.size() > count) {
            count = entry.second.size();
            best = entry.first;
        }
    }
    return best;
}

bool ProjectGenerator::writeTruth(const QString &path, const std::vector<Edge> &edges, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("cannot write %1").arg(path);
        return false;
    }
    QByteArray text = "# user asset\tused asset\tnode name (empty: the whole asset)\tnode id\n";
    for (const Edge &edge : edges)
        text += edge.user + '\t' + edge.target + '\t' + edge.node + '\t' + QByteArray::number(edge.node_id) + '\n';
    file.write(text);
    if (!file.commit()) {
        *error = QStringLiteral("cannot write %1").arg(path);
        return false;
    }
    return true;
}

bool ProjectGenerator::readTruth(const QString &path, std::vector<Edge> *edges, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1").arg(path);
        return false;
    }
    edges->clear();
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() != 4) {
            *error = QStringLiteral("%1: a line without four fields").arg(path);
            return false;
        }
        edges->push_back(Edge{fields[0], fields[1], fields[2], fields[3].toInt()});
    }
    std::sort(edges->begin(), edges->end());
    return true;
}

} // namespace depsbench
