#include "engine_runtime_fixture.h"

#include "velmora/Console.h"
#include "velmora/Editor.h"
#include "velmora/Light.h"
#include "velmora/Mesh.h"
#include "velmora/Object.h"
#include "velmora/Player.h"
#include "velmora/Render.h"
#include "velmora/World.h"
#include "velmora/Xml.h"

#include <QtTest>

using namespace enginetest;

namespace {

const QByteArray LEVEL = R"(<?xml version="1.0" encoding="utf-8"?>
<world version="1" author="level team">
	<settings>
		<render_settings>render/day.render</render_settings>
		<fog>0.5</fog>
	</settings>
	<weather preset="storm"><wind>3</wind></weather>
	<node type="NodeDummy" id="7" name="group">
		<transform>1 0 0 0  0 1 0 0  0 0 1 0  10 0 0 1</transform>
		<custom_tag a="1">kept text</custom_tag>
		<node type="ObjectMeshStatic" id="12" name="crate">
			<transform>2 0 0 0  0 2 0 0  0 0 2 0  0 5 0 1</transform>
			<enabled>0</enabled>
			<mesh_name>meshes/cube.mesh</mesh_name>
			<surface name="body" enabled="1" viewport_mask="4294967295" shadow_mask="3">
				<material>metal,rock</material>
				<lod>2</lod>
			</surface>
		</node>
	</node>
	<node type="PlayerDummy" id="3" name="camera">
		<fov>50</fov>
		<znear>0.25</znear>
		<zfar>500</zfar>
	</node>
	<node type="LightWorld" id="4" name="sun">
		<color>1 0.9 0.8 1</color>
		<shadow>1</shadow>
	</node>
	<node type="FutureNode" id="5" name="mystery">
		<future_setting>42</future_setting>
	</node>
</world>
)";

const QByteArray DAY_RENDER = "<render_settings><ambient_color>0.1 0.2 0.3</ambient_color>"
                              "<exposure>1.5</exposure></render_settings>";

bool hasElement(const Velmora::Xml *element, const char *name, const char *data)
{
    for (int i = 0; i < element->getNumChildren(); ++i) {
        const Velmora::Xml *child = element->getChild(i);
        if (QByteArray(child->getName()) == name && (!data || QByteArray(child->getData()) == data))
            return true;
        if (hasElement(child, name, data))
            return true;
    }
    return false;
}

} // namespace

class TestWorld : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void loading_builds_the_node_tree_with_types_and_transforms();
    void render_settings_of_the_world_are_applied();
    void save_and_load_round_trip_keeps_ids_and_unknown_elements();
    void a_file_that_is_not_a_world_leaves_no_world_and_writes_nothing_data();
    void a_file_that_is_not_a_world_leaves_no_world_and_writes_nothing();
    void a_world_that_is_a_fifo_or_a_device_is_refused_at_once();
    void clashing_ids_in_a_file_are_renumbered();
    void added_nodes_with_clashing_ids_are_renumbered();
    void removing_a_node_reports_it_and_its_children();
    void world_bound_box_covers_the_node_and_its_descendants();
    void node_references_show_their_file_but_are_saved_as_references();
    void load_node_wraps_several_roots_in_a_dummy();
    void orphans_nobody_holds_are_deleted_at_the_end_of_the_frame();
    void quitting_the_world_deletes_its_nodes();
    void editor_camera_looks_at_the_loaded_world();
    void mesh_text_is_parsed_into_surfaces_data();
    void mesh_text_is_parsed_into_surfaces();

private:
    Installation *installation_ = nullptr;
    RecordingLogic logic_;
};

void TestWorld::init()
{
    installation_ = new Installation;
    QVERIFY(installation_->writeData(QStringLiteral("meshes/cube.mesh"), cubeMesh()));
    QVERIFY(installation_->writeData(QStringLiteral("render/day.render"), DAY_RENDER));
    QVERIFY(installation_->writeData(QStringLiteral("levels/level.world"), LEVEL));
    logic_.calls.clear();
    logic_.updates = 0;
    QVERIFY(installation_->start({}, nullptr, &logic_));
}

void TestWorld::cleanup()
{
    delete installation_;
    installation_ = nullptr;
}

void TestWorld::loading_builds_the_node_tree_with_types_and_transforms()
{
    QVERIFY(Velmora::World::load("levels/level"));
    QCOMPARE(logic_.calls, QStringList{QStringLiteral("worldInit")});
    QCOMPARE(Velmora::World::getNumNodes(), 5);

    const Velmora::Ptr<Velmora::Node> crate = Velmora::World::getNodeById(12);
    QVERIFY(crate);
    QCOMPARE(crate->getType(), int(Velmora::Node::OBJECT_MESH_STATIC));
    QCOMPARE(QByteArray(crate->getParent()->getName()), QByteArray("group"));
    QVERIFY(!crate->isEnabled());
    QVERIFY(Velmora::Math::compare(crate->getWorldPosition(), Velmora::vec3(10.0f, 5.0f, 0.0f)));
    const Velmora::Ptr<Velmora::ObjectMeshStatic> object = crate.cast<Velmora::ObjectMeshStatic>();
    QVERIFY(object);
    QVERIFY(object->getMesh());
    QCOMPARE(object->getNumSurfaces(), 1);
    QCOMPARE(QByteArray(object->getMaterialName(0)), QByteArray("metal,rock"));
    QCOMPARE(object->getShadowMask(0), 3u);

    const Velmora::Ptr<Velmora::Player> camera = Velmora::World::getNodeByName("camera").cast<Velmora::Player>();
    QVERIFY(camera);
    QCOMPARE(camera->getFov(), 50.0f);
    QCOMPARE(camera->getCamera()->getZNear(), 0.25f);

    const Velmora::Ptr<Velmora::LightWorld> sun = Velmora::World::getNodeById(4).cast<Velmora::LightWorld>();
    QVERIFY(sun);
    QCOMPARE(sun->getColor(), Velmora::vec4(1.0f, 0.9f, 0.8f, 1.0f));
    QVERIFY(sun->getShadow());

    const Velmora::Ptr<Velmora::Node> mystery = Velmora::World::getNodeById(5);
    QCOMPARE(mystery->getType(), int(Velmora::Node::NODE_DUMMY));
    QCOMPARE(QByteArray(mystery->getTypeName()), QByteArray("FutureNode"));
}

void TestWorld::render_settings_of_the_world_are_applied()
{
    QVERIFY(Velmora::World::load("levels/level.world"));
    QCOMPARE(QByteArray(Velmora::World::getRenderSettingsPath()), QByteArray("render/day.render"));
    QCOMPARE(Velmora::Render::getAmbientColor(), Velmora::vec3(0.1f, 0.2f, 0.3f));
    QCOMPARE(QByteArray(Velmora::Render::getSetting("exposure")), QByteArray("1.5"));
    Velmora::World::quit();
    QCOMPARE(QByteArray(Velmora::Render::getSetting("exposure")), QByteArray());
}

void TestWorld::save_and_load_round_trip_keeps_ids_and_unknown_elements()
{
    QVERIFY(Velmora::World::load("levels/level"));
    Velmora::Ptr<Velmora::Node> crate = Velmora::World::getNodeById(12);
    crate->setName("big crate");
    const Velmora::mat4 transform = crate->getTransform() * Velmora::Math::rotateZ(33.0f);
    crate->setTransform(transform);
    QVERIFY(Velmora::World::save("levels/copy"));
    QCOMPARE(logic_.calls, (QStringList{QStringLiteral("worldInit"), QStringLiteral("worldSave")}));
    QCOMPARE(QByteArray(Velmora::World::getPath()), QByteArray("levels/copy.world"));
    // The original file was not touched.
    QCOMPARE(installation_->readData(QStringLiteral("levels/level.world")), LEVEL);

    Velmora::Xml saved;
    QVERIFY(saved.load((installation_->dataPath() + QStringLiteral("levels/copy.world")).toUtf8().constData()));
    QCOMPARE(QByteArray(saved.getArg("author")), QByteArray("level team"));
    QVERIFY(hasElement(&saved, "fog", "0.5"));
    QVERIFY(hasElement(&saved, "wind", "3"));
    QVERIFY(hasElement(&saved, "custom_tag", "kept text"));
    QVERIFY(hasElement(&saved, "lod", "2"));
    QVERIFY(hasElement(&saved, "future_setting", "42"));

    QVERIFY(Velmora::World::load("levels/copy"));
    QCOMPARE(Velmora::World::getNumNodes(), 5);
    crate = Velmora::World::getNodeById(12);
    QCOMPARE(QByteArray(crate->getName()), QByteArray("big crate"));
    // Transforms are written exactly, so they read back bit for bit.
    QCOMPARE(crate->getTransform(), transform);
    QCOMPARE(QByteArray(Velmora::World::getNodeById(5)->getTypeName()), QByteArray("FutureNode"));
    for (int id : {7, 12, 3, 4, 5})
        QVERIFY2(Velmora::World::getNodeById(id), qPrintable(QString::number(id)));
}

void TestWorld::a_file_that_is_not_a_world_leaves_no_world_and_writes_nothing_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("text") << QByteArray("this is not xml at all");
    QTest::newRow("broken xml") << QByteArray("<world><node type=\"NodeDummy\" id=\"1\"></world>");
    QTest::newRow("other root") << QByteArray("<nodes><node type=\"NodeDummy\" id=\"1\"/></nodes>");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("blank") << QByteArray(" \n\t\n");
    QTest::newRow("nested too deep") << QByteArray("<world>") + QByteArray("<node>").repeated(300)
                    + QByteArray("</node>").repeated(300) + QByteArray("</world>");
    QTest::newRow("nested 100,000 levels") << QByteArray("<world>") + QByteArray("<node>").repeated(100000)
                    + QByteArray("</node>").repeated(100000) + QByteArray("</world>");
}

void TestWorld::a_file_that_is_not_a_world_leaves_no_world_and_writes_nothing()
{
    QFETCH(QByteArray, content);
    QVERIFY(installation_->writeData(QStringLiteral("levels/broken.world"), content));
    QVERIFY(Velmora::World::load("levels/level"));
    const QStringList before = QDir(installation_->dataPath() + QStringLiteral("levels")).entryList(QDir::Files);

    LogCapture log;
    QVERIFY(!Velmora::World::load("levels/broken"));
    QVERIFY(!Velmora::World::isLoaded());
    QCOMPARE(log.count(QStringLiteral("levels/broken.world"), 2), 1);
    // The console command answers the same way.
    QVERIFY(Velmora::World::load("levels/level"));
    log.clear();
    Velmora::Console::run("world_load levels/broken");
    Velmora::Console::run("world_load levels/missing");
    Velmora::Console::flush();
    QCOMPARE(log.count(QStringLiteral("world_load: \"levels/broken\" is not loaded\n"), 1), 1);
    QCOMPARE(log.count(QStringLiteral("world_load: \"levels/missing\" is not loaded\n"), 1), 1);
    QVERIFY(!Velmora::World::isLoaded());
    QCOMPARE(installation_->readData(QStringLiteral("levels/broken.world")), content);
    QCOMPARE(QDir(installation_->dataPath() + QStringLiteral("levels")).entryList(QDir::Files), before);
    QVERIFY(!Velmora::World::save());
}

void TestWorld::a_world_that_is_a_fifo_or_a_device_is_refused_at_once()
{
    // Put in place of worlds the index knows, as a user would: never waited
    // on, never read for ever, and named.
    const QString data = installation_->dataPath();
    QVERIFY(installation_->writeData(QStringLiteral("levels/pipe.world"), "<world/>"));
    QVERIFY(installation_->writeData(QStringLiteral("levels/zero.world"), "<world/>"));
    QVERIFY(Velmora::World::load("levels/pipe"));
    QVERIFY(Velmora::World::load("levels/zero"));
    QVERIFY(test::makeFifo(data + QStringLiteral("levels/pipe.world")));
    QVERIFY(test::linkToDevice(data + QStringLiteral("levels/zero.world")));
    for (const char *name : {"levels/pipe", "levels/zero"}) {
        LogCapture log;
        QVERIFY(!Velmora::World::load(name));
        QVERIFY(!Velmora::World::isLoaded());
        QVERIFY2(log.text().contains(QString::fromLatin1(name) + QStringLiteral(".world")), qPrintable(log.text()));
    }
}

void TestWorld::clashing_ids_in_a_file_are_renumbered()
{
    QVERIFY(installation_->writeData(QStringLiteral("twins.world"),
                                     "<world><node type=\"NodeDummy\" id=\"4\" name=\"a\"/>"
                                     "<node type=\"NodeDummy\" id=\"4\" name=\"b\"/>"
                                     "<node type=\"NodeDummy\" id=\"9\" name=\"c\"/></world>"));
    LogCapture log;
    QVERIFY(Velmora::World::load("twins"));
    QCOMPARE(QByteArray(Velmora::World::getNodeById(4)->getName()), QByteArray("a"));
    QCOMPARE(QByteArray(Velmora::World::getNodeById(10)->getName()), QByteArray("b"));
    QCOMPARE(log.count(QStringLiteral("renumbered"), 1), 1);
}

void TestWorld::added_nodes_with_clashing_ids_are_renumbered()
{
    QVERIFY(Velmora::World::load("levels/level"));
    Velmora::Ptr<Velmora::Node> parent = Velmora::NodeDummy::create();
    parent->setID(3); // taken by the camera
    Velmora::Ptr<Velmora::Node> child = Velmora::NodeDummy::create();
    child->setID(20);
    child->setParent(parent);
    QVERIFY(!parent->isInWorld());
    QVERIFY(Velmora::World::addNode(parent));
    QVERIFY(child->isInWorld());
    QCOMPARE(parent->getID(), 21);
    QCOMPARE(child->getID(), 20);
    QCOMPARE(Velmora::World::getNodeById(3)->getType(), int(Velmora::Node::PLAYER_DUMMY));
    QCOMPARE(Velmora::World::getNumNodes(), 7);
    QCOMPARE(Velmora::World::getFreeId(), 22);
}

void TestWorld::removing_a_node_reports_it_and_its_children()
{
    QVERIFY(Velmora::World::load("levels/level"));
    logic_.calls.clear();
    Velmora::Ptr<Velmora::Node> group = Velmora::World::getNodeById(7);
    QVERIFY(Velmora::World::removeNode(group));
    QCOMPARE(logic_.calls, (QStringList{QStringLiteral("nodeRemoved 7"), QStringLiteral("nodeRemoved 12")}));
    QVERIFY(!Velmora::World::getNodeById(12));
    QVERIFY(!group->isInWorld());
    // The handle keeps the node alive through the frame's clean-up.
    Velmora::Engine::get()->update();
    QVERIFY(group);
    QCOMPARE(group->getNumChildren(), 1);
    // And it can come back.
    QVERIFY(Velmora::World::addNode(group));
    QVERIFY(Velmora::World::getNodeById(12));
    QVERIFY(!Velmora::World::removeNode(Velmora::Ptr<Velmora::Node>()));
}

void TestWorld::world_bound_box_covers_the_node_and_its_descendants()
{
    QVERIFY(Velmora::World::load("levels/level"));
    const Velmora::Ptr<Velmora::Node> group = Velmora::World::getNodeById(7);
    // The group draws nothing itself: the box is the crate's, a cube of side
    // 2 scaled by 2 around (10, 5, 0).
    const Velmora::BoundBox box = group->getWorldBoundBox();
    QVERIFY(box.isValid());
    QVERIFY(Velmora::Math::compare(box.getMin(), Velmora::vec3(8.0f, 3.0f, -2.0f)));
    QVERIFY(Velmora::Math::compare(box.getMax(), Velmora::vec3(12.0f, 7.0f, 2.0f)));
    const Velmora::BoundSphere sphere = group->getWorldBoundSphere();
    QVERIFY(Velmora::Math::compare(sphere.getRadius(), 2.0f * std::sqrt(3.0f), 1e-4f));
    QVERIFY(!Velmora::World::getNodeById(3)->getWorldBoundBox().isValid());
}

void TestWorld::node_references_show_their_file_but_are_saved_as_references()
{
    QVERIFY(installation_->writeData(QStringLiteral("nodes/house.node"),
                                     "<nodes version=\"1\"><node type=\"ObjectMeshStatic\" id=\"1\" name=\"wall\">"
                                     "<transform>1 0 0 0 0 1 0 0 0 0 1 0 0 0 3 1</transform>"
                                     "<mesh_name>meshes/cube.mesh</mesh_name></node></nodes>"));
    QVERIFY(installation_->writeData(QStringLiteral("town.world"),
                                     "<world><node type=\"NodeReference\" id=\"2\" name=\"house\">"
                                     "<transform>1 0 0 0 0 1 0 0 0 0 1 0 100 0 0 1</transform>"
                                     "<path>nodes/house.node</path></node></world>"));
    QVERIFY(Velmora::World::load("town"));
    const Velmora::Ptr<Velmora::NodeReference> house = Velmora::World::getNodeById(2).cast<Velmora::NodeReference>();
    QVERIFY(house);
    QVERIFY(house->getReference());
    QCOMPARE(QByteArray(house->getReference()->getName()), QByteArray("wall"));
    QVERIFY(Velmora::Math::compare(house->getReference()->getWorldPosition(), Velmora::vec3(100.0f, 0.0f, 3.0f)));
    // The contents are not world nodes, but they count for the bounds.
    QCOMPARE(Velmora::World::getNumNodes(), 1);
    QVERIFY(!Velmora::World::getNodeByName("wall"));
    QVERIFY(Velmora::Math::compare(house->getWorldBoundBox().getCenter(), Velmora::vec3(100.0f, 0.0f, 3.0f)));

    QVERIFY(Velmora::World::save());
    const QByteArray saved = installation_->readData(QStringLiteral("town.world"));
    QVERIFY(saved.contains("nodes/house.node"));
    QVERIFY(!saved.contains("wall"));
}

void TestWorld::load_node_wraps_several_roots_in_a_dummy()
{
    QVERIFY(installation_->writeData(QStringLiteral("nodes/pair.node"),
                                     "<nodes><node type=\"NodeDummy\" id=\"1\" name=\"left\"/>"
                                     "<node type=\"NodeDummy\" id=\"2\" name=\"right\"/></nodes>"));
    QVERIFY(installation_->writeData(QStringLiteral("nodes/one.node"),
                                     "<nodes><node type=\"LightWorld\" id=\"1\" name=\"lamp\"/></nodes>"));
    const Velmora::Ptr<Velmora::Node> pair = Velmora::World::loadNode("nodes/pair.node");
    QVERIFY(pair);
    QCOMPARE(pair->getType(), int(Velmora::Node::NODE_DUMMY));
    QCOMPARE(pair->getNumChildren(), 2);
    QVERIFY(!pair->isInWorld());
    const Velmora::Ptr<Velmora::Node> one = Velmora::World::loadNode("nodes/one.node");
    QCOMPARE(one->getType(), int(Velmora::Node::LIGHT_WORLD));
    LogCapture log;
    QVERIFY(!Velmora::World::loadNode("nodes/missing.node"));
    QCOMPARE(log.errors(), 1);
}

void TestWorld::orphans_nobody_holds_are_deleted_at_the_end_of_the_frame()
{
    Velmora::Ptr<Velmora::Node> child = Velmora::NodeDummy::create();
    {
        Velmora::Ptr<Velmora::Node> parent = Velmora::NodeDummy::create();
        child->setParent(parent);
    }
    // The parent is still alive until the frame ends.
    QVERIFY(child->getParent());
    Velmora::Engine::get()->update();
    QVERIFY(!child);
}

void TestWorld::quitting_the_world_deletes_its_nodes()
{
    QVERIFY(Velmora::World::load("levels/level"));
    Velmora::Ptr<Velmora::Node> crate = Velmora::World::getNodeById(12);
    QVERIFY(crate);
    Velmora::World::quit();
    QVERIFY(!crate);
    QCOMPARE(logic_.calls, (QStringList{QStringLiteral("worldInit"), QStringLiteral("worldShutdown")}));
    QVERIFY(!Velmora::World::isLoaded());
    QCOMPARE(QByteArray(Velmora::World::getPath()), QByteArray());
}

void TestWorld::editor_camera_looks_at_the_loaded_world()
{
    QVERIFY(Velmora::World::load("levels/level"));
    const Velmora::Ptr<Velmora::Player> player = Velmora::Editor::getPlayer();
    QVERIFY(player);
    QVERIFY(!player->isInWorld());
    const Velmora::Ptr<Velmora::Camera> camera = player->getCamera();
    // The crate (the only drawn node) lies straight ahead of the camera.
    const Velmora::vec3 to_crate = Velmora::Math::normalize(Velmora::vec3(10.0f, 5.0f, 0.0f) - camera->getPosition());
    QVERIFY(Velmora::Math::dot(to_crate, camera->getDirection()) > 0.999f);
}

void TestWorld::mesh_text_is_parsed_into_surfaces_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("surfaces");
    QTest::addColumn<QVector<int>>("triangles");
    QTest::addColumn<QString>("material");

    QTest::newRow("triangle") << QByteArray("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n")
                              << QStringList{QStringLiteral("default")} << QVector<int>{1} << QString();
    QTest::newRow("quad fan") << QByteArray("v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3 4\n")
                              << QStringList{QStringLiteral("default")} << QVector<int>{2} << QString();
    QTest::newRow("relative and slashed")
            << QByteArray("v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvn 0 0 1\nf -3/1/1 -2//1 -1/1\n")
            << QStringList{QStringLiteral("default")} << QVector<int>{1} << QString();
    QTest::newRow("groups and materials")
            << QByteArray("# two parts\nv 0 0 0\nv 1 0 0\nv 0 1 0\ng top\nusemtl metal\nf 1 2 3\no bottom\nf 3 2 1\n"
                          "g top\nf 1 3 2\n")
            << QStringList{QStringLiteral("top"), QStringLiteral("bottom")} << QVector<int>{2, 1}
            << QStringLiteral("metal");
    QTest::newRow("bad index skipped") << QByteArray("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 9\nf 1 2 3\n")
                                       << QStringList{QStringLiteral("default")} << QVector<int>{1} << QString();
    QTest::newRow("no faces") << QByteArray("v 0 0 0\n# nothing\n") << QStringList() << QVector<int>() << QString();
}

void TestWorld::mesh_text_is_parsed_into_surfaces()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, surfaces);
    QFETCH(QVector<int>, triangles);
    QFETCH(QString, material);
    Velmora::Ptr<Velmora::Mesh> mesh = Velmora::Mesh::create();
    QCOMPARE(mesh->parse(text.constData(), text.size()), !surfaces.isEmpty());
    QCOMPARE(mesh->getNumSurfaces(), surfaces.size());
    for (int i = 0; i < surfaces.size(); ++i) {
        QCOMPARE(QString::fromUtf8(mesh->getSurfaceName(i)), surfaces[i]);
        QCOMPARE(mesh->getNumTriangles(i), triangles[i]);
    }
    if (!surfaces.isEmpty()) {
        QCOMPARE(QString::fromUtf8(mesh->getSurface(0).material.get()), material);
        // Face normals point along +Z for the counter-clockwise triangle.
        QVERIFY(std::abs(mesh->getSurface(0).vertices[0].normal.z) > 0.99f);
        QVERIFY(mesh->getBoundBox().isValid());
    }
}

QTEST_GUILESS_MAIN(TestWorld)
#include "tst_world.moc"
