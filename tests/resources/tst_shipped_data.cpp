// The data that ships with the editor: the engine's core/ and tamsel2/
// folders and the sample project. Every asset has a well-formed meta file with
// a fixed GUID, every reference between files resolves, and the sample
// worlds are set up so that their cameras see the scene.

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>

#include <pugixml.hpp>

#include <cmath>

namespace {

QString sourceDir()
{
    const QString env = qEnvironmentVariable("VELMORA_SOURCE_DIR");
    return env.isEmpty() ? QStringLiteral(VELMORA_SOURCE_DIR_DEFAULT) : env;
}

QString sampleData()
{
    return sourceDir() + QStringLiteral("/examples/sample_project/data/");
}

QString engineData()
{
    return sourceDir() + QStringLiteral("/resources/engine_data/");
}

// The asset type of each registered extension; anything else is a plain file (21).
int typeOfExtension(const QString &ext)
{
    static const QHash<QString, int> types
            = {{QStringLiteral("node"), 1},    {QStringLiteral("mesh"), 2},    {QStringLiteral("anim"), 3},
               {QStringLiteral("mat"), 4},     {QStringLiteral("prop"), 5},    {QStringLiteral("png"), 6},
               {QStringLiteral("jpg"), 6},     {QStringLiteral("jpeg"), 6},    {QStringLiteral("tga"), 6},
               {QStringLiteral("dds"), 6},     {QStringLiteral("psd"), 6},     {QStringLiteral("exr"), 6},
               {QStringLiteral("model"), 7},   {QStringLiteral("layer"), 8},   {QStringLiteral("lmap"), 9},
               {QStringLiteral("ttf"), 10},    {QStringLiteral("otf"), 10},    {QStringLiteral("wav"), 11},
               {QStringLiteral("ogg"), 11},    {QStringLiteral("shader"), 12}, {QStringLiteral("track"), 13},
               {QStringLiteral("render"), 14}, {QStringLiteral("spline"), 15}, {QStringLiteral("curve"), 16},
               {QStringLiteral("ter"), 17},    {QStringLiteral("world"), 18},  {QStringLiteral("mask"), 19},
               {QStringLiteral("usc"), 20},    {QStringLiteral("txt"), 20},    {QStringLiteral("cs"), 22},
               {QStringLiteral("preset"), 23}};
    return types.value(ext.toLower(), 21);
}

bool isShorthandGuid(const QString &guid)
{
    static const QRegularExpression re(QStringLiteral("^([a-f])\\1{4}0{32}[0-9]{3}$"));
    return re.match(guid).hasMatch();
}

// Visible files of a data folder, data-relative, sorted; meta files left out.
QStringList visibleFiles(const QString &root, const QString &prefix = QString())
{
    QStringList files;
    QDirIterator it(root + prefix, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = QDir(root).relativeFilePath(it.next());
        if (!path.endsWith(QLatin1String(".meta")))
            files.append(path);
    }
    files.sort();
    return files;
}

// Stored runtimes share one GUID range whatever their kind.
constexpr int STORED_RUNTIME = -1;

struct Record
{
    QString path; // absolute
    int type = 0; // asset type, or STORED_RUNTIME
};

// Every GUID of the shipped data (assets and stored runtimes) with its file.
struct Catalogue
{
    QHash<QString, Record> by_guid;
    QStringList duplicates;
    QSet<QString> material_names;

    QString resolve(const QString &reference) const
    {
        if (reference.startsWith(QLatin1String("guid://")))
            return by_guid.value(reference.mid(7)).path;
        if (QFile::exists(sampleData() + reference))
            return sampleData() + reference;
        if (QFile::exists(engineData() + reference))
            return engineData() + reference;
        return QString();
    }
};

// GUIDs in text order, so that data rows come in a stable order.
QStringList sortedGuids(const Catalogue &c)
{
    QStringList guids = c.by_guid.keys();
    guids.sort();
    return guids;
}

QString fileText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The material's name and parent as the engine reads them from XML or FESK.
struct MaterialHead
{
    QString name;
    QString parent_name;
    QString base_material;
    QStringList textures; // paths
};

MaterialHead readMaterial(const QString &path)
{
    MaterialHead head;
    const QString text = fileText(path);
    pugi::xml_document doc;
    if (text.trimmed().startsWith(QLatin1Char('<'))) {
        if (doc.load_string(text.toUtf8().constData())) {
            const pugi::xml_node root = doc.document_element();
            head.name = QString::fromUtf8(root.attribute("name").value());
            head.parent_name = QString::fromUtf8(root.attribute("parent_name").value());
            head.base_material = QString::fromUtf8(root.attribute("base_material").value());
            for (pugi::xml_node t = root.child("texture"); t; t = t.next_sibling("texture"))
                head.textures.append(QString::fromUtf8(t.child_value()).trimmed());
        }
    } else {
        static const QRegularExpression material(QStringLiteral("Material\\s*\\(([^)]*)\\)"));
        static const QRegularExpression arg(QStringLiteral("(\\w+)\\s*=\\s*\"([^\"]*)\""));
        static const QRegularExpression texture(QStringLiteral("Texture\\s*\\([^)]*\\)\\s*=\\s*\"([^\"]*)\""));
        const QString args = material.match(text).captured(1);
        for (auto it = arg.globalMatch(args); it.hasNext();) {
            const auto m = it.next();
            if (m.captured(1) == QLatin1String("name"))
                head.name = m.captured(2);
            else if (m.captured(1) == QLatin1String("parent_name"))
                head.parent_name = m.captured(2);
        }
        for (auto it = texture.globalMatch(text); it.hasNext();)
            head.textures.append(it.next().captured(1));
    }
    if (head.name.isEmpty())
        head.name = QFileInfo(path).completeBaseName();
    return head;
}

// Surface names of a mesh or model file ("g" and "o" lines).
QSet<QString> meshSurfaces(const QString &path)
{
    QSet<QString> surfaces;
    const QStringList lines = fileText(path).split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        if (line.startsWith(QLatin1String("g ")) || line.startsWith(QLatin1String("o ")))
            surfaces.insert(line.mid(2).trimmed());
    }
    return surfaces;
}

QVector<float> floats(const char *text)
{
    QVector<float> values;
    const QStringList parts = QString::fromUtf8(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString &p : parts) {
        bool ok = false;
        values.append(p.toFloat(&ok));
        if (!ok)
            return {};
    }
    return values;
}

Catalogue buildCatalogue(QString *error)
{
    Catalogue c;
    auto add = [&](const QString &guid, const QString &path, int type) {
        if (c.by_guid.contains(guid))
            c.duplicates.append(guid);
        c.by_guid.insert(guid, {path, type});
    };
    const QList<QPair<QString, QString>> roots = {{sampleData(), QString()}, {engineData(), QStringLiteral("core")}};
    for (const auto &root : roots) {
        const QStringList files = visibleFiles(root.first, root.second);
        for (const QString &rel : files) {
            const QString file = root.first + rel;
            pugi::xml_document doc;
            if (!doc.load_file(QFile::encodeName(file + QStringLiteral(".meta")).constData())) {
                *error = QStringLiteral("no readable meta file for ") + rel;
                return c;
            }
            const pugi::xml_node asset = doc.child("asset");
            add(QString::fromUtf8(asset.attribute("guid").value()), file, asset.attribute("type").as_int());
            for (pugi::xml_node r = asset.child("runtime"); r; r = r.next_sibling("runtime")) {
                const QString guid = QString::fromUtf8(r.attribute("guid").value());
                const QString ext = QString::fromUtf8(r.attribute("ext").value());
                add(guid, root.first + QStringLiteral(".runtimes/%1/%2.%3").arg(guid.left(2), guid, ext),
                    STORED_RUNTIME);
            }
            if (file.endsWith(QLatin1String(".mat")))
                c.material_names.insert(readMaterial(file).name);
        }
    }
    return c;
}

QVector<double> column(const QVector<float> &m, int i)
{
    return {m[4 * i], m[4 * i + 1], m[4 * i + 2]};
}

double dot(const QVector<double> &a, const QVector<double> &b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

QVector<double> normalised(QVector<double> v)
{
    const double l = std::sqrt(dot(v, v));
    for (double &x : v)
        x /= l;
    return v;
}

} // namespace

class TestShippedData : public QObject
{
    Q_OBJECT

private:
    Catalogue catalogue_;

    // Checks one node element and its children of a world or node file.
    void checkNode(const pugi::xml_node &node, const QString &file, QSet<int> &ids)
    {
        const QString where = file + QLatin1Char(':') + QString::fromUtf8(node.attribute("name").value());
        const int id = node.attribute("id").as_int(-1);
        QVERIFY2(id >= 0 && !ids.contains(id), qPrintable(where + QStringLiteral(": id missing or repeated")));
        ids.insert(id);
        QCOMPARE(floats(node.child_value("transform")).size(), 16);

        const QString type = QString::fromUtf8(node.attribute("type").value());
        static const QSet<QString> known
                = {QStringLiteral("NodeDummy"), QStringLiteral("NodeReference"), QStringLiteral("PlayerDummy"),
                   QStringLiteral("LightWorld"), QStringLiteral("ObjectMeshStatic")};
        QVERIFY2(known.contains(type), qPrintable(where + QStringLiteral(": type ") + type));
        if (type == QLatin1String("NodeReference")) {
            const QString target = catalogue_.resolve(QString::fromUtf8(node.child_value("path")).trimmed());
            QVERIFY2(target.endsWith(QLatin1String(".node")), qPrintable(where + QStringLiteral(": reference")));
        }
        if (type == QLatin1String("ObjectMeshStatic")) {
            const QString mesh = catalogue_.resolve(QString::fromUtf8(node.child_value("mesh_name")).trimmed());
            QVERIFY2(!mesh.isEmpty(), qPrintable(where + QStringLiteral(": mesh not found")));
            const QSet<QString> surfaces = meshSurfaces(mesh);
            int count = 0;
            for (pugi::xml_node s = node.child("surface"); s; s = s.next_sibling("surface"), ++count) {
                const QString name = QString::fromUtf8(s.attribute("name").value());
                QVERIFY2(surfaces.contains(name), qPrintable(where + QStringLiteral(": no surface ") + name));
                const QStringList materials = QString::fromUtf8(s.child_value("material")).split(QLatin1Char(','));
                for (const QString &m : materials)
                    QVERIFY2(catalogue_.material_names.contains(m.trimmed()),
                             qPrintable(where + QStringLiteral(": no material ") + m));
            }
            QCOMPARE(count, surfaces.size());
        }
        for (pugi::xml_node child = node.child("node"); child; child = child.next_sibling("node")) {
            checkNode(child, file, ids);
            if (QTest::currentTestFailed())
                return;
        }
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QDir(sampleData()).exists(), qPrintable(sampleData()));
        QString error;
        catalogue_ = buildCatalogue(&error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }

    void every_meta_file_is_a_well_formed_asset_record_data()
    {
        QTest::addColumn<QString>("root");
        QTest::addColumn<QString>("file");
        for (const QString &root : {sampleData(), engineData()}) {
            const QStringList files = visibleFiles(root, root == engineData() ? QStringLiteral("core") : QString());
            for (const QString &rel : files)
                QTest::newRow(qPrintable(rel)) << root << root + rel;
        }
    }

    void every_meta_file_is_a_well_formed_asset_record()
    {
        QFETCH(QString, root);
        QFETCH(QString, file);
        pugi::xml_document doc;
        QVERIFY(doc.load_file(QFile::encodeName(file + QStringLiteral(".meta")).constData()));
        const pugi::xml_node asset = doc.document_element();
        QCOMPARE(QString::fromUtf8(asset.name()), QStringLiteral("asset"));
        QCOMPARE(asset.attribute("version").as_int(), 1);
        QCOMPARE(asset.attribute("excluded").as_int(-1), 0);
        QVERIFY(isShorthandGuid(QString::fromUtf8(asset.attribute("guid").value())));
        QCOMPARE(asset.attribute("type").as_int(), typeOfExtension(QFileInfo(file).suffix()));

        // Stored runtimes: the file and its side meta naming the owner.
        for (pugi::xml_node r = asset.child("runtime"); r; r = r.next_sibling("runtime")) {
            const QString guid = QString::fromUtf8(r.attribute("guid").value());
            QVERIFY(isShorthandGuid(guid));
            const int kind = r.attribute("kind").as_int();
            QVERIFY(kind == 1 || kind == 3);
            const QString stored = root
                    + QStringLiteral(".runtimes/%1/%2.%3")
                              .arg(guid.left(2), guid, QString::fromUtf8(r.attribute("ext").value()));
            QVERIFY2(QFile::exists(stored), qPrintable(stored));
            pugi::xml_document side;
            QVERIFY(side.load_file(QFile::encodeName(stored + QStringLiteral(".meta")).constData()));
            const pugi::xml_node runtime = side.child("runtime");
            QCOMPARE(QString::fromUtf8(runtime.attribute("guid").value()), guid);
            QCOMPARE(runtime.attribute("asset").value(), asset.attribute("guid").value());
            QCOMPARE(runtime.attribute("kind").as_int(), kind);
        }
    }

    void guids_are_unique_and_each_range_holds_one_asset_type()
    {
        QVERIFY2(catalogue_.duplicates.isEmpty(), qPrintable(catalogue_.duplicates.join(QLatin1Char(' '))));
        QHash<QString, int> range_type;
        for (auto it = catalogue_.by_guid.cbegin(); it != catalogue_.by_guid.cend(); ++it) {
            const QString range = it.key().left(1) + it.key().right(3).left(1);
            const int type = it.value().type;
            QVERIFY2(range_type.value(range, type) == type, qPrintable(it.key()));
            range_type.insert(range, type);
        }
    }

    void editor_data_has_no_meta_files_and_holds_what_the_editor_loads()
    {
        const QString tamsel2 = engineData() + QStringLiteral("tamsel2/");
        QDirIterator it(tamsel2, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            QVERIFY2(!it.next().endsWith(QLatin1String(".meta")), qPrintable(it.filePath()));
        QVERIFY(fileText(tamsel2 + QStringLiteral("editor.usc")).contains(QLatin1String("HAS_TAMSEL2")));
        QVERIFY(!QImage(tamsel2 + QStringLiteral("gui/nodes_icons_big.png")).isNull());
    }

    void impostor_base_materials_declare_their_slots_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("grass") << engineData() + QStringLiteral("core/materials/grass_impostor_base.mat");
        QTest::newRow("billboards") << engineData() + QStringLiteral("core/materials/billboards_impostor_base.mat");
    }

    void impostor_base_materials_declare_their_slots()
    {
        QFETCH(QString, file);
        pugi::xml_document doc;
        QVERIFY(doc.load_file(QFile::encodeName(file).constData()));
        const pugi::xml_node root = doc.document_element();
        QCOMPARE(QString::fromUtf8(root.attribute("name").value()), QFileInfo(file).completeBaseName());
        QStringList textures, parameters, states;
        for (pugi::xml_node n : root.children()) {
            const QString name = QString::fromUtf8(n.attribute("name").value());
            if (QLatin1String(n.name()) == QLatin1String("texture"))
                textures.append(name);
            else if (QLatin1String(n.name()) == QLatin1String("parameter"))
                parameters.append(name);
            else if (QLatin1String(n.name()) == QLatin1String("state"))
                states.append(name);
        }
        QCOMPARE(textures, (QStringList{"albedo", "normal", "shading", "ambient_occlusion", "translucent", "depth"}));
        QCOMPARE(parameters,
                 (QStringList{"metalness", "roughness", "specular", "microfiber", "translucent", "phi", "theta", "size",
                              "aspect", "pivot_offset"}));
        QCOMPARE(states, QStringList{"depth_map"});
        QCOMPARE(root.find_child_by_attribute("parameter", "name", "pivot_offset").attribute("expression").as_int(), 1);
    }

    void materials_name_existing_textures_and_parents()
    {
        int checked = 0;
        for (const QString &guid : sortedGuids(catalogue_)) {
            if (catalogue_.by_guid.value(guid).type != 4)
                continue;
            const MaterialHead head = readMaterial(catalogue_.by_guid.value(guid).path);
            for (const QString &texture : head.textures)
                QVERIFY2(texture.isEmpty() || !catalogue_.resolve(texture).isEmpty(), qPrintable(texture));
            QVERIFY2(head.parent_name.isEmpty() || catalogue_.material_names.contains(head.parent_name),
                     qPrintable(head.parent_name));
            QVERIFY2(head.base_material.isEmpty() || head.base_material == QLatin1String("mesh_base"),
                     qPrintable(head.base_material));
            ++checked;
        }
        QVERIFY(checked >= 10);
    }

    void every_texture_decodes_data()
    {
        QTest::addColumn<QString>("file");
        for (const QString &guid : sortedGuids(catalogue_)) {
            const Record r = catalogue_.by_guid.value(guid);
            if (r.type == 6)
                QTest::newRow(qPrintable(QFileInfo(r.path).fileName())) << r.path;
        }
    }

    void every_texture_decodes()
    {
        QFETCH(QString, file);
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        const QString ext = QFileInfo(file).suffix();
        if (ext == QLatin1String("tga")) {
            // Uncompressed true colour, top-left origin, size matching the pixels.
            QCOMPARE(int(bytes[2]), 2);
            QVERIFY(uchar(bytes[17]) & 0x20);
            const int w = uchar(bytes[12]) | uchar(bytes[13]) << 8, h = uchar(bytes[14]) | uchar(bytes[15]) << 8;
            QCOMPARE(bytes.size(), 18 + w * h * uchar(bytes[16]) / 8);
        } else if (ext == QLatin1String("psd")) {
            QVERIFY(bytes.startsWith("8BPS"));
            QCOMPARE(int(bytes[5]), 1);
        } else {
            QImage image;
            QVERIFY(image.loadFromData(bytes));
            QVERIFY(image.width() >= 4 && image.height() >= 4);
        }
    }

    void worlds_and_nodes_reference_existing_meshes_surfaces_and_materials_data()
    {
        QTest::addColumn<QString>("file");
        for (const char *f : {"worlds/level1.world", "worlds/courtyard.world", "nodes/house.node",
                              "nodes/crate_stack.node", "nodes/lamp_post.node"})
            QTest::newRow(f) << sampleData() + QLatin1String(f);
        const QString node = catalogue_.by_guid.value(QStringLiteral("bbbbb00000000000000000000000000000000301")).path;
        QTest::newRow("watchtower node runtime") << node;
    }

    void worlds_and_nodes_reference_existing_meshes_surfaces_and_materials()
    {
        QFETCH(QString, file);
        pugi::xml_document doc;
        QVERIFY(doc.load_file(QFile::encodeName(file).constData()));
        const pugi::xml_node root = doc.document_element();
        const bool world = file.endsWith(QLatin1String(".world"));
        QCOMPARE(QString::fromUtf8(root.name()), world ? QStringLiteral("world") : QStringLiteral("nodes"));
        if (world) {
            const QString render = QString::fromUtf8(root.child("settings").child_value("render_settings"));
            QVERIFY(catalogue_.resolve(render).endsWith(QLatin1String(".render")));
        }
        QSet<int> ids;
        int count = 0;
        for (pugi::xml_node node = root.child("node"); node; node = node.next_sibling("node"), ++count) {
            checkNode(node, QFileInfo(file).fileName(), ids);
            if (QTest::currentTestFailed())
                return;
        }
        QVERIFY(count > 0);
    }

    void player_camera_of_each_world_looks_at_its_scene_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QVector<double>>("target");
        QTest::newRow("level1: the house") << "worlds/level1.world" << QVector<double>{0, 6, 1.5};
        QTest::newRow("courtyard: the crates") << "worlds/courtyard.world" << QVector<double>{0, 1, 0.5};
    }

    void player_camera_of_each_world_looks_at_its_scene()
    {
        QFETCH(QString, file);
        QFETCH(QVector<double>, target);
        pugi::xml_document doc;
        QVERIFY(doc.load_file(QFile::encodeName(sampleData() + file).constData()));
        const pugi::xml_node camera = doc.document_element().find_child_by_attribute("node", "type", "PlayerDummy");
        QVERIFY(camera);
        QVERIFY(doc.document_element().find_child_by_attribute("node", "type", "LightWorld"));
        const QVector<float> m = floats(camera.child_value("transform"));
        QCOMPARE(m.size(), 16);
        const QVector<double> eye = column(m, 3);
        QVERIFY(eye[2] > 1.0);
        // Cameras look down their -Z with +Y up on screen; Z is up in the world.
        const QVector<double> back = column(m, 2), up = column(m, 1);
        const QVector<double> to_target = normalised({target[0] - eye[0], target[1] - eye[1], target[2] - eye[2]});
        QVERIFY(-dot(back, to_target) > 0.95);
        QVERIFY(up[2] > 0.8);
        QVERIFY(std::abs(dot(back, back) - 1) < 1e-3 && std::abs(dot(up, back)) < 1e-3);
    }

    void meshes_index_only_what_they_define_data()
    {
        QTest::addColumn<QString>("file");
        for (const QString &guid : sortedGuids(catalogue_)) {
            const Record r = catalogue_.by_guid.value(guid);
            const QString ext = QFileInfo(r.path).suffix();
            if (ext == QLatin1String("mesh") || ext == QLatin1String("model"))
                QTest::newRow(qPrintable(QFileInfo(r.path).fileName())) << r.path;
        }
    }

    void meshes_index_only_what_they_define()
    {
        QFETCH(QString, file);
        int v = 0, vt = 0, vn = 0, faces = 0;
        double min_z = 1e9;
        const QStringList lines = fileText(file).split(QLatin1Char('\n'));
        for (const QString &line : lines) {
            const QStringList parts = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            if (parts.isEmpty())
                continue;
            if (parts[0] == QLatin1String("v")) {
                ++v;
                min_z = std::min(min_z, parts.value(3).toDouble());
            } else if (parts[0] == QLatin1String("vt")) {
                ++vt;
            } else if (parts[0] == QLatin1String("vn")) {
                ++vn;
            } else if (parts[0] == QLatin1String("f")) {
                QVERIFY2(parts.size() >= 4, qPrintable(line));
                for (int i = 1; i < parts.size(); ++i) {
                    const QStringList idx = parts[i].split(QLatin1Char('/'));
                    QCOMPARE(idx.size(), 3);
                    QVERIFY2(idx[0].toInt() >= 1 && idx[0].toInt() <= v, qPrintable(line));
                    QVERIFY2(idx[1].toInt() >= 1 && idx[1].toInt() <= vt, qPrintable(line));
                    QVERIFY2(idx[2].toInt() >= 1 && idx[2].toInt() <= vn, qPrintable(line));
                }
                ++faces;
            }
        }
        QVERIFY(faces > 0);
        QVERIFY(!meshSurfaces(file).isEmpty());
        QVERIFY2(std::abs(min_z) < 1e-6, "every object stands on z = 0");
    }

    void stored_mesh_runtime_is_the_model_unchanged()
    {
        const QString model = catalogue_.by_guid.value(QStringLiteral("bbbbb00000000000000000000000000000000201")).path;
        const QString mesh = catalogue_.by_guid.value(QStringLiteral("bbbbb00000000000000000000000000000000302")).path;
        QVERIFY(model.endsWith(QLatin1String(".model")));
        QCOMPARE(fileText(mesh), fileText(model));
    }

    void sample_properties_render_settings_and_track_name_existing_things()
    {
        pugi::xml_document doc;
        QVERIFY(doc.load_file(
                QFile::encodeName(sampleData() + QStringLiteral("properties/crate_pickup.prop")).constData()));
        QVERIFY(!catalogue_.resolve(QString::fromUtf8(doc.child("property").child_value("decal"))).isEmpty());
        QCOMPARE(QString::fromUtf8(doc.child("property").attribute("parent_name").value()), QStringLiteral("pickup"));

        for (const char *render : {"render/default.render", "render/evening.render"}) {
            QVERIFY(doc.load_file(QFile::encodeName(sampleData() + QLatin1String(render)).constData()));
            QVERIFY(!catalogue_.resolve(QString::fromUtf8(doc.child("render_settings").child_value("environment")))
                             .isEmpty());
            QCOMPARE(floats(doc.child("render_settings").child_value("ambient_color")).size(), 3);
        }

        pugi::xml_document world;
        QVERIFY(world.load_file(QFile::encodeName(sampleData() + QStringLiteral("worlds/level1.world")).constData()));
        QVERIFY(doc.load_file(
                QFile::encodeName(sampleData() + QStringLiteral("tracks/camera_flyby.track")).constData()));
        const pugi::xml_node track = doc.child("track");
        QVERIFY(track.attribute("max_time").as_double() > 0);
        int keys = 0;
        for (pugi::xml_node p = track.child("parameter"); p; p = p.next_sibling("parameter")) {
            const char *node = p.attribute("node").value();
            QVERIFY2(world.select_node((QByteArray("//node[@name='") + node + "']").constData()), node);
            const bool transform = QLatin1String(p.attribute("type").value()) == QLatin1String("node.transform");
            for (pugi::xml_node k = p.child("key"); k; k = k.next_sibling("key"), ++keys) {
                QVERIFY(k.attribute("time").as_double() <= track.attribute("max_time").as_double());
                if (transform)
                    QCOMPARE(floats(k.child_value()).size(), 16);
                else
                    QVERIFY(catalogue_.material_names.contains(QString::fromUtf8(k.child_value())));
            }
        }
        QVERIFY(keys >= 3);
    }

    void project_file_is_one_the_build_tool_and_the_editor_accept()
    {
        QFile file(sourceDir() + QStringLiteral("/examples/sample_project/sample.project"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
        const QJsonObject sdk = doc.object().value(QStringLiteral("sdk")).toObject();
        const QJsonObject settings = doc.object().value(QStringLiteral("project_settings")).toObject();
        QVERIFY(!sdk.isEmpty());
        QCOMPARE(settings.value(QStringLiteral("name")).toString(), QStringLiteral("sample"));
        QCOMPARE(settings.value(QStringLiteral("component_system")).toInt(-1), 0);
        const QString binaries = settings.value(QStringLiteral("engine_binaries")).toString();
        QVERIFY(binaries == QLatin1String("development") || binaries == QLatin1String("release"));
        QVERIFY(settings.value(QStringLiteral("plugins")).isArray());
        const QString world = settings.value(QStringLiteral("default_world")).toString();
        QVERIFY(QFile::exists(sampleData() + world + QStringLiteral(".world")));
    }
};

QTEST_GUILESS_MAIN(TestShippedData)
#include "tst_shipped_data.moc"
