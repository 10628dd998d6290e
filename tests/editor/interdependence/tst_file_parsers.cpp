// The file parsers and the items they fill, on small documents read from
// text, with the managers and the resolver of the static test data folder.

#include "analysis_fixture.h"
#include "project_builder.h"

#include <editor/interdependence/parser/generic_item_builder.h>
#include <editor/interdependence/parser/guid_processor.h>
#include <editor/interdependence/parser/items/hierarchy.h>
#include <editor/interdependence/parser/items/node.h>
#include <editor/interdependence/parser/material_fesk_parser.h>
#include <editor/interdependence/parser/material_xml_parser.h>
#include <editor/interdependence/parser/node_parser.h>
#include <editor/interdependence/parser/property_parser.h>
#include <editor/interdependence/parser/render_settings_parser.h>
#include <editor/interdependence/parser/track_parser.h>
#include <editor/interdependence/parser/xml_generic_parser.h>

#include <editor_core/AssetType.h>
#include <editor_core/as/Asset.h>
#include <editor_core/editor/AssetManagerPrivate.h>
#include <editor_core/mat/Manager.h>
#include <editor_core/prop/Manager.h>

#include <velmora/Fesk.h>
#include <velmora/Material.h>
#include <velmora/Property.h>
#include <velmora/Xml.h>

#include <QtTest>

using inas::parser::GenericItemBuilder;
using inas::parser::ItemPtr;
using inastest::AnalysisFixture;
using inastest::guid;

class FileParsersTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void the_builder_picks_the_item_kind_by_asset_type_data();
    void the_builder_picks_the_item_kind_by_asset_type();

    void material_xml_rules_data();
    void material_xml_rules();
    void material_fesk_rules_data();
    void material_fesk_rules();
    void property_rules_data();
    void property_rules();
    void node_rules_data();
    void node_rules();
    void render_settings_rules_data();
    void render_settings_rules();
    void track_rules_data();
    void track_rules();
    void generic_xml_offers_every_data_text_and_attribute_value();

private:
    // The document with {xNNN} expanded and %name% replaced by the material
    // (or, failing that, property) GUID of that name.
    QByteArray document(const QString &text) const;
    // The item text without its head and file lines.
    QStringList references(const inas::parser::Item &item) const;
    ItemPtr item(int type, const Velmora::UGUID &id = guid('a', 203)) const;
    QStringList parseXml(int type, const QString &text, const Velmora::UGUID &id = guid('a', 203)) const;

    AnalysisFixture fixture_;
    std::shared_ptr<inas::parser::GuidProcessor> resolver_;
};

void FileParsersTest::initTestCase()
{
    QVERIFY(fixture_.startWithCopyOf(inastest::staticDataFolder()));
    resolver_ = std::make_shared<inas::parser::GuidProcessor>(fixture_.assets());
}

void FileParsersTest::cleanupTestCase()
{
    resolver_.reset();
    fixture_.stop();
}

QByteArray FileParsersTest::document(const QString &text) const
{
    QString result = test::ProjectBuilder::expandGuids(text);
    static const QRegularExpression NAME(QStringLiteral("%(\\w+)%"));
    QRegularExpressionMatch match;
    while ((match = NAME.match(result)).hasMatch()) {
        const QByteArray name = match.captured(1).toUtf8();
        Velmora::UGUID g;
        if (const auto material = fixture_.materials()->find(name.constData()))
            g = material->getGUID();
        else if (const auto property = fixture_.properties()->find(name.constData()))
            g = property->getGUID();
        result.replace(match.capturedStart(), match.capturedLength(), QString::fromLatin1(g.getString().get()));
    }
    return result.toUtf8();
}

QStringList FileParsersTest::references(const inas::parser::Item &item) const
{
    return fixture_.describeItem(item).mid(2);
}

ItemPtr FileParsersTest::item(int type, const Velmora::UGUID &id) const
{
    return GenericItemBuilder().build(id, type);
}

QStringList FileParsersTest::parseXml(int type, const QString &text, const Velmora::UGUID &id) const
{
    const QByteArray bytes = document(text);
    Velmora::Xml xml;
    if (!xml.parse(bytes.constData(), bytes.size()))
        return {QStringLiteral("(not XML)")};
    const ItemPtr target = item(type, id);
    const mat::Manager *materials = fixture_.materials();
    const prop::Manager *properties = fixture_.properties();
    switch (type) {
    case AssetType::MATERIAL:
        inas::parser::MaterialXmlParser(materials, resolver_.get(), target.get()).parse(xml);
        break;
    case AssetType::PROPERTY:
        inas::parser::PropertyParser(properties, resolver_.get(), target.get()).parse(xml);
        break;
    case AssetType::NODE:
    case AssetType::WORLD:
        inas::parser::NodeParser(materials, resolver_.get(), target.get()).parse(xml);
        break;
    case AssetType::RENDER_SETTINGS:
        inas::parser::RenderSettingsParser(materials, resolver_.get(), target.get()).parse(xml);
        break;
    case AssetType::TRACK:
        inas::parser::TrackParser(materials, properties, resolver_.get(), target.get()).parse(xml);
        break;
    default:
        inas::parser::XmlGenericParser(resolver_.get(), target.get()).parse(xml);
        break;
    }
    return references(*target);
}

void FileParsersTest::the_builder_picks_the_item_kind_by_asset_type_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("kind");
    QTest::newRow("node") << 1 << "node item";
    QTest::newRow("world") << 18 << "node item";
    QTest::newRow("material") << 4 << "hierarchy item";
    QTest::newRow("property") << 5 << "hierarchy item";
    QTest::newRow("image") << 6 << "item";
    QTest::newRow("plain file") << 21 << "item";
    QTest::newRow("BEGIN") << 0 << "item";
    QTest::newRow("SIZE") << 24 << "item";
    QTest::newRow("negative") << -1 << "item";
}

void FileParsersTest::the_builder_picks_the_item_kind_by_asset_type()
{
    QFETCH(int, type);
    QFETCH(QString, kind);
    const ItemPtr built = item(type, guid('a', 110));
    QVERIFY(built);
    QCOMPARE(built->getId(), guid('a', 110));
    QCOMPARE(fixture_.describeItem(*built).first(), QStringLiteral("textures/stone_d.png: ") + kind);
    if (auto *hierarchy = dynamic_cast<inas::parser::items::Hierarchy *>(built.get()))
        QVERIFY(hierarchy->getParentId().isEmpty());

    // The cleaner builds from an asset record.
    as::Asset asset = fixture_.assets()->asset(guid('a', 110));
    QCOMPARE(fixture_.describeItem(*GenericItemBuilder().build(asset, type)), fixture_.describeItem(*built));
}

void FileParsersTest::material_xml_rules_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("result");

    // The item is metal.mat's ({a203}); "%name%" is a material GUID.
    QTest::newRow("parent GUID wins over parent_name")
            << "<material parent=\"%rock%\" parent_name=\"glass\" base_material=\"chrome\"/>"
            << QStringList{"  parent: materials/rock.mat#material"};
    QTest::newRow("parent by the GUID of the material's file")
            << "<material parent=\"guid://{a204}\"/>" << QStringList{"  parent: materials/glass.mat#material"};
    QTest::newRow("the first parent attribute decides, also when it names nothing")
            << "<material parent=\"{d999}\" parent_name=\"glass\"/>" << QStringList();
    QTest::newRow("parent_name before base_material") << "<material parent_name=\"glass\" base_material=\"chrome\"/>"
                                                      << QStringList{"  parent: materials/glass.mat#material"};
    QTest::newRow("base_material") << "<brush_material base_material=\"chrome\"/>"
                                   << QStringList{"  parent: materials/chrome.mat#material"};
    QTest::newRow("root attributes are not references")
            << "<material name=\"x\" materials=\"rock\" texture=\"textures/sky.png\" lost=\"{d950}\">sky.png</material>"
            << QStringList();
    QTest::newRow("texture by path, by GUID and by suffix")
            << "<material><texture>textures/sky.png</texture><texture>{a113}</texture>"
               "<texture>rock_d.png</texture><texture name=\"empty\"/></material>"
            << QStringList{"  dependents: textures/sky.png, textures/metal_d.png, textures/rock_d.png"};
    QTest::newRow("a suffix counts only in texture elements")
            << "<material><parameter>rock_d.png</parameter></material>" << QStringList();
    QTest::newRow("material lists are not trimmed")
            << "<material><layer materials=\"rock, glass\"/><layer materials=\"chrome,,rock\"/></material>"
            << QStringList{"  dependents: materials/rock.mat#material, materials/chrome.mat#material"};
    QTest::newRow("the material itself by name and by GUID, and its parent, are dropped from lists")
            << "<material parent_name=\"glass\"><o overlay_material=\"metal,%metal%,glass,{a203},rock\"/></material>"
            << QStringList{"  parent: materials/glass.mat#material", "  dependents: materials/rock.mat#material"};
    QTest::newRow("a lone GUID goes to the resolver before the list rule")
            << "<material><o overlay_material=\"%metal%\" base_material=\"{a203}\"/></material>"
            << QStringList{"  dependents: materials/metal.mat#material, materials/metal.mat"};
    QTest::newRow("an attribute named Material is no list")
            << "<material><o Material=\"rock\"/></material>" << QStringList();
    QTest::newRow("lost and repeated references")
            << "<material><p>guid://{d950}</p><p>{d950}</p><t>textures/sky.png</t><t>textures/sky.png</t></material>"
            << QStringList{"  dependents: textures/sky.png", "  lost: {d950}"};
}

void FileParsersTest::material_xml_rules()
{
    QFETCH(QString, text);
    QFETCH(QStringList, result);
    QCOMPARE(parseXml(AssetType::MATERIAL, text), result);
}

void FileParsersTest::material_fesk_rules_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("result");

    QTest::newRow("an Expression node searches its value")
            << "Material { Expression(name=\"e\") = \"mix(textures/sky.png, textures/decal.png)\"; }"
            << QStringList{"  dependents: textures/decal.png, textures/sky.png"};
    QTest::newRow("the same value in another node is only resolved")
            << "Material { Parameter(name=\"e\") = \"mix(textures/sky.png, textures/decal.png)\"; }" << QStringList();
    QTest::newRow("an expression argument that is true")
            << "Material { Parameter(expression=true) = \"textures/sky.png*2\"; "
               "Parameter(expression=\"1\") = \"textures/wet.png*2\"; Parameter(expression=0) = "
               "\"textures/mask.png*2\"; }"
            << QStringList{"  dependents: textures/sky.png, textures/wet.png"};
    QTest::newRow("an array goes element by element, then as one text")
            << "Material { Expression = [\"textures/sky.png\", \"1 + textures/decal.png\"]; "
               "Parameter = [\"textures/mask.png\", \"textures/wet.png*2\"]; }"
            << QStringList{"  dependents: textures/sky.png, textures/decal.png, textures/mask.png"};
    QTest::newRow("arguments and conditions are resolved")
            << "Material { Texture(file=\"textures/sky.png\") ? \"guid://{d950}\"; Define(x=[a, {a113}]); }"
            << QStringList{"  dependents: textures/sky.png, textures/metal_d.png", "  lost: {d950}"};
    // The parent is one of the assets a FESK material uses: it stays a
    // dependency and is no hierarchy parent.
    QTest::newRow("the parent arguments of the material are references")
            << "Material(name=\"m\", parent=\"guid://{a204}\") { Texture = \"textures/sky.png\"; }\n"
               "Material(parent=\"%rock%\");"
            << QStringList{"  dependents: materials/glass.mat, textures/sky.png, materials/rock.mat#material"};
}

void FileParsersTest::material_fesk_rules()
{
    QFETCH(QString, text);
    QFETCH(QStringList, result);
    const QByteArray bytes = document(text);
    Velmora::FeskNode root;
    QVERIFY(root.parse(bytes.constData(), bytes.size()));
    const ItemPtr target = item(AssetType::MATERIAL);
    inas::parser::MaterialFeskParser(fixture_.materials(), resolver_.get(), target.get()).parse(root);
    QCOMPARE(references(*target), result);
}

void FileParsersTest::property_rules_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("result");
    QTest::newRow("parent GUID before parent_name") << "<property parent=\"%vehicle%\" parent_name=\"car\"/>"
                                                    << QStringList{"  parent: properties/vehicle.prop#property"};
    QTest::newRow("parent_name; root attributes are no references")
            << "<property parent_name=\"car\" decal=\"textures/sky.png\"><decal>textures/decal.png</decal></property>"
            << QStringList{"  parent: properties/car.prop#property", "  dependents: textures/decal.png"};
    QTest::newRow("base_material is no parent of a property")
            << "<property base_material=\"truck\"><p v=\"guid://{d950}\"/></property>" << QStringList{"  lost: {d950}"};
}

void FileParsersTest::property_rules()
{
    QFETCH(QString, text);
    QFETCH(QStringList, result);
    QCOMPARE(parseXml(AssetType::PROPERTY, text, guid('a', 302)), result);
}

void FileParsersTest::node_rules_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("result");

    QTest::newRow("nested nodes give records inner first")
            << "<nodes><node name=\"outer\" id=\"1\"><mesh>textures/sky.png</mesh>"
               "<node name=\"inner\" id=\"2\"><mesh>textures/wet.png</mesh></node></node></nodes>"
            << QStringList{"  dependents: textures/sky.png, textures/wet.png", "  record inner 2: textures/wet.png",
                           "  record outer 1: textures/sky.png"};
    QTest::newRow("a node without references has no record; one without a name opens none")
            << "<nodes><node name=\"a\" id=\"1\"/><node id=\"2\"><m>textures/sky.png</m></node></nodes>"
            << QStringList{"  dependents: textures/sky.png", "  root dependents: textures/sky.png"};
    QTest::newRow("references outside nodes are root references")
            << "<world r=\"textures/sky.png\"><lost>{d950}</lost><node name=\"n\"><x>{d951}</x></node></world>"
            << QStringList{"  dependents: textures/sky.png", "  lost: {d950}, {d951}",
                           "  root dependents: textures/sky.png", "  root lost: {d950}", "  record n -1: lost {d951}"};
    QTest::newRow("a path is kept only when it does not resolve")
            << "<nodes><node name=\"n\" id=\"x\"><path>nodes/house.node</path><path>nodes/roads/road_lod1.mesh</path>"
               "<path>gone/file.node</path><path>gone/file.node</path></node></nodes>"
            << QStringList{"  dependents: nodes/house.node", "  paths: nodes/roads/road_lod1.mesh, gone/file.node",
                           "  record n 0: nodes/house.node"};
    QTest::newRow("an expression finds embedded asset paths")
            << "<nodes><node name=\"e\" id=\"3\"><expression>f(textures/sky.png) + "
               "g(\"textures/decal.png\")</expression>"
               "</node></nodes>"
            << QStringList{"  dependents: textures/decal.png, textures/sky.png",
                           "  record e 3: textures/decal.png, textures/sky.png"};
    QTest::newRow("material lists go to the current record")
            << "<nodes><surface_material>rock</surface_material><node name=\"s\" id=\"4\">"
               "<surface><material>metal, glass,%chrome%</material></surface></node></nodes>"
            << QStringList{"  dependents: materials/rock.mat#material, materials/metal.mat#material, "
                           "materials/chrome.mat#material",
                           "  root dependents: materials/rock.mat#material",
                           "  record s 4: materials/metal.mat#material, materials/chrome.mat#material"};
    QTest::newRow("a GUID in upper case is the same reference")
            << "<nodes><node name=\"u\" id=\"5\"><a>guid://AAAAA00000000000000000000000000000000110</a>"
               "<b>{a110}</b></node></nodes>"
            << QStringList{"  dependents: textures/stone_d.png", "  record u 5: textures/stone_d.png"};
}

void FileParsersTest::node_rules()
{
    QFETCH(QString, text);
    QFETCH(QStringList, result);
    QCOMPARE(parseXml(AssetType::NODE, text, guid('a', 601)), result);
}

void FileParsersTest::render_settings_rules_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("result");
    QTest::newRow("material lists in element data")
            << "<render_settings><postprocess_materials>rock,metal</postprocess_materials>"
               "<environment>textures/sky.png</environment></render_settings>"
            << QStringList{"  dependents: materials/rock.mat#material, materials/metal.mat#material, textures/sky.png"};
    QTest::newRow("material attributes are plain values")
            << "<render_settings><post materials=\"rock\" t=\"{a120}\"/></render_settings>"
            << QStringList{"  dependents: textures/sky.png"};
}

void FileParsersTest::render_settings_rules()
{
    QFETCH(QString, text);
    QFETCH(QStringList, result);
    QCOMPARE(parseXml(AssetType::RENDER_SETTINGS, text, guid('a', 401)), result);
}

void FileParsersTest::track_rules_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("result");
    QTest::newRow("material and property parameters by name")
            << "<track><parameter type=\"material.albedo\" name=\"metal\"/><parameter type=\"property.mass\" "
               "name=\"car\"/>"
               "<parameter type=\"material.x\" name=\"%rock%\"/></track>"
            << QStringList{"  dependents: materials/metal.mat#material, properties/car.prop#property, "
                           "materials/rock.mat#material"};
    QTest::newRow("object materials and properties by direct keys")
            << "<track><parameter type=\"node.object.material\"><key>rock</key><key>glass</key>"
               "<group><key>chrome</key></group></parameter>"
               "<parameter type=\"node.object.property\"><key>truck</key><key>nothing</key></parameter></track>"
            << QStringList{"  dependents: materials/rock.mat#material, materials/glass.mat#material, "
                           "properties/truck.prop#property"};
    QTest::newRow("no name, another type, another case, no type")
            << "<track><parameter type=\"material.x\"><key>rock</key></parameter>"
               "<parameter type=\"node.position\" name=\"metal\"/><parameter type=\"Material.x\" name=\"metal\"/>"
               "<parameter name=\"metal\"/><param type=\"material.x\" name=\"metal\"/></track>"
            << QStringList();
    QTest::newRow("the subtree is resolved first")
            << "<track><parameter type=\"node.transform\" node=\"crate\"><key>{d950}</key></parameter></track>"
            << QStringList{"  lost: {d950}"};
}

void FileParsersTest::track_rules()
{
    QFETCH(QString, text);
    QFETCH(QStringList, result);
    QCOMPARE(parseXml(AssetType::TRACK, text, guid('a', 501)), result);
}

void FileParsersTest::generic_xml_offers_every_data_text_and_attribute_value()
{
    const QString text = QStringLiteral("<layer a=\"textures/sky.png\" material=\"rock\"><x>{a113}</x><item "
                                        "ref=\"{d950}\">textures/decal.png</item>"
                                        "<c> <![CDATA[textures/wet.png]]> </c><m>{a120}<!-- between -->x</m></layer>");
    QCOMPARE(parseXml(AssetType::LAYER, text, guid('a', 951)),
             (QStringList{"  dependents: textures/sky.png, textures/metal_d.png, textures/decal.png, textures/wet.png",
                          "  lost: {d950}"}));
}

QTEST_GUILESS_MAIN(FileParsersTest)
#include "tst_file_parsers.moc"
