#include "asset_files.h"
#include "editor/tools/randomizer_weights.h"
#include "editor/tools/randomizer_widget.h"
#include "installation.h"

#include <editor_core/AssetWidget.h>
#include <editor_core/AssetsMimeDataHandler.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/AssetManagerPrivate.h>
#include <editor_core/editor/Selection.h>
#include <editor_core/editor/Undo.h>

#include <velmora/Game.h>
#include <velmora/Math.h>
#include <velmora/Object.h>
#include <velmora/World.h>

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLayout>
#include <QMimeData>
#include <QSignalSpy>
#include <QSpinBox>
#include <QToolButton>
#include <QtTest>

#include <memory>

using Velmora::Node;
using Velmora::Ptr;
using Velmora::UGUID;

namespace {

const UGUID NODE_ASSET = test::guid('a', 101);
const UGUID MESH_ASSET = test::guid('a', 102);
const UGUID MODEL_ASSET = test::guid('a', 103);
const UGUID BROKEN_ASSET = test::guid('a', 104);
const UGUID IMAGE_ASSET = test::guid('a', 105);
const UGUID STALE_ASSET = test::guid('a', 199);

// Three root nodes ("a" turned 90 degrees about X, "c" scaled 3) and a node
// under a parent.
const QByteArray WORLD = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<world version=\"1\">\n"
                         "<node type=\"NodeDummy\" id=\"1\" name=\"a\">"
                         "<transform>1 0 0 0  0 0 1 0  0 -1 0 0  0 0 0 1</transform></node>\n"
                         "<node type=\"NodeDummy\" id=\"2\" name=\"b\">"
                         "<transform>1 0 0 0  0 1 0 0  0 0 1 0  10 0 0 1</transform></node>\n"
                         "<node type=\"NodeDummy\" id=\"3\" name=\"c\">"
                         "<transform>3 0 0 0  0 3 0 0  0 0 3 0  20 0 0 1</transform></node>\n"
                         "<node type=\"NodeDummy\" id=\"4\" name=\"group\">"
                         "<transform>1 0 0 0  0 1 0 0  0 0 1 0  0 5 0 1</transform>\n"
                         "  <node type=\"NodeDummy\" id=\"5\" name=\"child\">"
                         "<transform>1 0 0 0  0 1 0 0  0 0 1 0  1 2 3 1</transform></node>\n"
                         "</node>\n</world>\n";
const QByteArray ROCK = "<?xml version=\"1.0\"?>\n<nodes><node type=\"ObjectMeshStatic\" id=\"1\" name=\"rock\">"
                        "<mesh_name>meshes/box.mesh</mesh_name></node></nodes>\n";
const QByteArray MESH = "o body\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";

// The world and the node, mesh, model, broken node and image assets, with
// the engine and the asset manager running on them.
class Fixture : public test::Installation
{
public:
    bool start()
    {
        const bool written = writeAsset(QStringLiteral("levels/test.world"), WORLD, test::guidText('f', 100), 18)
                && writeAsset(QStringLiteral("nodes/rock.node"), ROCK, NODE_ASSET.getString().get(), 1)
                && writeAsset(QStringLiteral("meshes/box.mesh"), MESH, MESH_ASSET.getString().get(), 2)
                && writeAsset(QStringLiteral("models/crate.model"), MESH, MODEL_ASSET.getString().get(), 7)
                && writeAsset(QStringLiteral("nodes/broken.node"), "<nodes><node type=", BROKEN_ASSET.getString().get(),
                              1)
                && writeAsset(QStringLiteral("textures/t.png"), "x", IMAGE_ASSET.getString().get(), 6);
        if (!written || !Installation::start({QStringLiteral("-skip_guidsdb")}))
            return false;
        assets_ = std::make_unique<Editor::AssetManagerPrivate>();
        depr::g.asset_manager = assets_.get();
        QSignalSpy scanned(assets_.get(), &Editor::AssetManagerPrivate::pipeline_ended);
        assets_->init();
        return scanned.wait(10000);
    }

    ~Fixture() override
    {
        depr::g.asset_manager = nullptr;
        if (assets_)
            assets_->shutdown();
    }

private:
    std::unique_ptr<Editor::AssetManagerPrivate> assets_;
};

Ptr<Node> node(const char *name)
{
    return Velmora::World::getNodeByName(name);
}

void select(const QVector<Ptr<Node>> &nodes)
{
    Velmora::Vector<Ptr<Node>> list;
    for (const Ptr<Node> &n : nodes)
        list.append(n);
    Editor::Selection::instance()->setSelector(Editor::SelectorNodes::createObjectsSelector(list));
}

QStringList selectedNames()
{
    QStringList names;
    if (Editor::SelectorNodes *selector = Editor::Selection::getSelectorNodes()) {
        for (const Ptr<Node> &n : selector->getNodes())
            names << QString::fromUtf8(n->getName());
    }
    return names;
}

QDoubleSpinBox *spin(RandomizerWidget &window, const QString &name)
{
    auto *box = window.findChild<QDoubleSpinBox *>(name);
    if (!box)
        qFatal("no spin box %s", qPrintable(name));
    return box;
}

// name: "offset_x", "rot_z", "scale_y", ...
void setRange(RandomizerWidget &window, const char *name, double from, double to)
{
    spin(window, QStringLiteral("spin_from_") + QLatin1String(name))->setValue(from);
    spin(window, QStringLiteral("spin_to_") + QLatin1String(name))->setValue(to);
}

// Replays a fixed list of unit values (then 0) and counts the draws.
struct ScriptedRandom
{
    QVector<double> values;
    int draws = 0;

    void install()
    {
        Velmora::Game::setRandomSource([this] {
            const double value = draws < values.size() ? values[draws] : 0.0;
            ++draws;
            return value;
        });
    }
};

} // namespace

class tst_Randomizer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void the_weighted_pick_follows_the_cumulative_shares_data();
    void the_weighted_pick_follows_the_cumulative_shares();
    void an_empty_list_transforms_the_selection_in_draw_order_as_one_undo_step();
    void a_fixed_seed_gives_a_fixed_result_even_with_from_above_to();
    void each_asset_kind_makes_its_node_in_place_of_the_old_one_data();
    void each_asset_kind_makes_its_node_in_place_of_the_old_one();
    void an_entry_that_cannot_be_placed_leaves_its_node_alone_data();
    void an_entry_that_cannot_be_placed_leaves_its_node_alone();
    void a_parent_and_its_child_replaced_together_stay_in_the_world_together();
    void dropped_assets_become_entries_by_kind_and_other_drops_are_refused();

private:
    std::unique_ptr<Fixture> fixture_;
    std::unique_ptr<Editor::Undo> undo_;
    std::unique_ptr<Editor::Selection> selection_;
};

void tst_Randomizer::initTestCase()
{
    fixture_ = std::make_unique<Fixture>();
    QVERIFY(fixture_->start());
    undo_ = std::make_unique<Editor::Undo>();
    selection_ = std::make_unique<Editor::Selection>();
}

void tst_Randomizer::init()
{
    Editor::Undo::reset();
    Editor::Selection::clear();
    Velmora::Game::setRandomSource(nullptr);
    QVERIFY(Velmora::World::load("levels/test"));
}

void tst_Randomizer::cleanup()
{
    Velmora::Game::setRandomSource(nullptr);
}

void tst_Randomizer::cleanupTestCase()
{
    selection_.reset();
    undo_.reset();
    fixture_.reset();
}

void tst_Randomizer::the_weighted_pick_follows_the_cumulative_shares_data()
{
    QTest::addColumn<QVector<int>>("weights");
    QTest::addColumn<float>("r");
    QTest::addColumn<int>("index");
    QTest::newRow("1:3, r just below a quarter") << QVector<int>{1, 3} << 0.2499f << 0;
    QTest::newRow("1:3, r at a quarter") << QVector<int>{1, 3} << 0.25f << 1;
    QTest::newRow("weight 0 in the middle, below") << QVector<int>{1, 0, 1} << 0.4999f << 0;
    QTest::newRow("weight 0 in the middle, at its share") << QVector<int>{1, 0, 1} << 0.5f << 2;
    QTest::newRow("weight 0 first is never drawn") << QVector<int>{0, 1} << 0.0f << 1;
    QTest::newRow("r at the top end takes the last entry") << QVector<int>{1, 1, 1} << 1.0f << 2;
    QTest::newRow("top end skips trailing zero weights") << QVector<int>{1, 1, 0} << 1.0f << 1;
    QTest::newRow("all weights 0 draw nothing") << QVector<int>{0, 0} << 0.0f << -1;
    QTest::newRow("an empty list draws nothing") << QVector<int>{} << 0.5f << -1;
}

void tst_Randomizer::the_weighted_pick_follows_the_cumulative_shares()
{
    QFETCH(QVector<int>, weights);
    QFETCH(float, r);
    QFETCH(int, index);
    const RandomizerWeights table(weights);
    QCOMPARE(table.pick(r), index);
    QCOMPARE(table.canDraw(), index >= 0);
}

void tst_Randomizer::an_empty_list_transforms_the_selection_in_draw_order_as_one_undo_step()
{
    RandomizerWidget window;
    const QVector<Ptr<Node>> nodes{node("a"), node("b"), node("c")};
    QVector<Velmora::mat4> before;
    for (const Ptr<Node> &n : nodes)
        before << n->getTransform();

    // Nothing selected: nothing happens, not even a draw.
    ScriptedRandom random;
    random.install();
    window.replace();
    QCOMPARE(random.draws, 0);
    QCOMPARE(Editor::Undo::count(), 0);

    setRange(window, "offset_x", 0.0, 10.0);
    setRange(window, "rot_z", 0.0, 100.0);
    setRange(window, "scale_x", 2.0, 2.0);
    setRange(window, "scale_y", 5.0, 5.0);
    setRange(window, "scale_z", 5.0, 5.0);
    window.findChild<QCheckBox *>(QStringLiteral("uniform_scale"))->click();
    QVERIFY(spin(window, QStringLiteral("spin_from_scale_x"))->isEnabled());
    QVERIFY(!spin(window, QStringLiteral("spin_to_scale_z"))->isEnabled());

    // One float per node first, then nine values per kept node: offset x of
    // node k is drawn as 0.1 * (k + 1), its rotation about Z as 0.9.
    random.values = {0.5, 0.5, 0.5};
    for (int k = 0; k < 3; ++k)
        random.values << 0.1 * (k + 1) << 0 << 0 << 0 << 0 << 0.9 << 0 << 0 << 0;
    select(nodes);
    window.replace();
    QCOMPARE(random.draws, 30);

    QVector<Velmora::mat4> after;
    for (int k = 0; k < 3; ++k) {
        const Ptr<Node> &n = nodes[k];
        QVERIFY(n->isInWorld());
        const Velmora::vec3 expected_position = before[k].getTranslate() + Velmora::vec3(float(k + 1), 0.0f, 0.0f);
        QVERIFY2(Velmora::Math::compare(n->getPosition(), expected_position, 1e-4f), n->getName());
        // The new turn is applied after (to the right of) the node's own.
        const Velmora::quat expected_rotation(Velmora::mat4(before[k].getRotate()) * Velmora::Math::rotateZ(90.0f));
        QVERIFY2(Velmora::Math::compare(n->getRotation(), expected_rotation, 1e-4f), n->getName());
        QVERIFY2(Velmora::Math::compare(n->getScale(), Velmora::vec3(2.0f, 2.0f, 2.0f), 1e-4f), n->getName());
        after << n->getTransform();
    }
    QCOMPARE(selectedNames(), (QStringList{"a", "b", "c"}));
    QCOMPARE(Editor::Undo::count(), 1);

    select({node("b")});
    QVERIFY(Editor::Undo::undo());
    for (int k = 0; k < 3; ++k)
        QVERIFY(nodes[k]->getTransform() == before[k]);
    QCOMPARE(selectedNames(), (QStringList{"a", "b", "c"}));
    QVERIFY(Editor::Undo::redo());
    for (int k = 0; k < 3; ++k)
        QVERIFY(nodes[k]->getTransform() == after[k]);
    QCOMPARE(selectedNames(), (QStringList{"a", "b", "c"}));
}

void tst_Randomizer::a_fixed_seed_gives_a_fixed_result_even_with_from_above_to()
{
    RandomizerWidget window;
    window.addRow()->asset->setGUID(NODE_ASSET);
    window.addRow()->asset->setGUID(MESH_ASSET);
    setRange(window, "offset_x", 5.0, -5.0);
    setRange(window, "rot_z", 30.0, 10.0);
    setRange(window, "scale_x", 2.0, 1.0);

    const QVector<Ptr<Node>> originals{node("a"), node("b"), node("c")};
    auto run = [&] {
        select(originals);
        Velmora::Game::setRandomSeed(1234);
        window.replace();
        QStringList result;
        const Editor::SelectorNodes *selector = Editor::Selection::getSelectorNodes();
        if (!selector)
            return result;
        for (const Ptr<Node> &n : selector->getNodes()) {
            const Velmora::mat4 &m = n->getTransform();
            QString line = QStringLiteral("%1 %2:").arg(QString::fromUtf8(n->getName())).arg(n->getType());
            for (int i = 0; i < 16; ++i)
                line += QLatin1Char(' ') + QString::number(double(m[i]), 'g', 9);
            result << line;
        }
        return result;
    };

    const QStringList first = run();
    QCOMPARE(first.size(), 3);
    for (const Ptr<Node> &original : originals)
        QVERIFY(!original->isInWorld());
    for (const char *name : {"a", "b", "c"}) {
        const Ptr<Node> n = node(name);
        const float offset = n->getPosition().x - (*name == 'a' ? 0.0f : *name == 'b' ? 10.0f : 20.0f);
        QVERIFY2(offset >= -5.0f && offset <= 5.0f, name);
        QVERIFY2(n->getScale().x >= 1.0f - 1e-5f && n->getScale().x <= 2.0f + 1e-5f, name);
        QVERIFY(n->getType() == Node::NODE_REFERENCE || n->getType() == Node::OBJECT_MESH_STATIC);
    }

    QVERIFY(Editor::Undo::undo());
    for (const Ptr<Node> &original : originals)
        QVERIFY(original->isInWorld());
    QCOMPARE(first, run());
}

void tst_Randomizer::each_asset_kind_makes_its_node_in_place_of_the_old_one_data()
{
    QTest::addColumn<UGUID>("asset");
    QTest::addColumn<bool>("use_reference");
    QTest::addColumn<int>("type");
    QTest::newRow("node, references on") << NODE_ASSET << true << int(Node::NODE_REFERENCE);
    QTest::newRow("node, references off") << NODE_ASSET << false << int(Node::OBJECT_MESH_STATIC);
    QTest::newRow("mesh stays a mesh with references on") << MESH_ASSET << true << int(Node::OBJECT_MESH_STATIC);
}

void tst_Randomizer::each_asset_kind_makes_its_node_in_place_of_the_old_one()
{
    QFETCH(UGUID, asset);
    QFETCH(bool, use_reference);
    QFETCH(int, type);
    RandomizerWidget window;
    window.addRow()->asset->setGUID(asset);
    window.findChild<QCheckBox *>(QStringLiteral("use_node_reference"))->setChecked(use_reference);

    const Ptr<Node> group = node("group");
    const Ptr<Node> old_node = node("child");
    const Velmora::mat4 old_transform = old_node->getTransform();
    select({old_node});
    window.replace();

    QVERIFY(!old_node->isInWorld());
    QCOMPARE(group->getNumChildren(), 1);
    const Ptr<Node> created = group->getChild(0);
    QCOMPARE(created->getType(), type);
    QCOMPARE(QByteArray(created->getName()), QByteArray("child"));
    QVERIFY(created->getTransform() == old_transform);
    QCOMPARE(selectedNames(), QStringList{"child"});
    if (type == Node::OBJECT_MESH_STATIC && asset == MESH_ASSET) {
        const Ptr<Velmora::Object> object = created.cast<Velmora::Object>();
        QVERIFY(object->getNumSurfaces() > 0);
        QCOMPARE(QByteArray(object->getMaterialName(0)), QByteArray("mesh_base"));
    }
    if (type == Node::NODE_REFERENCE)
        QVERIFY(created.cast<Velmora::NodeReference>()->getReference());

    QCOMPARE(Editor::Undo::count(), 1);
    QVERIFY(Editor::Undo::undo());
    QVERIFY(!created->isInWorld());
    QVERIFY(!created->getParent());
    QCOMPARE(group->getNumChildren(), 1);
    QCOMPARE(group->getChild(0), old_node);
    QVERIFY(old_node->getTransform() == old_transform);
    QCOMPARE(selectedNames(), QStringList{"child"});
    QCOMPARE(Editor::Selection::getSelectorNodes()->getNodes().first(), old_node);

    QVERIFY(Editor::Undo::redo());
    QVERIFY(!old_node->isInWorld());
    QCOMPARE(group->getNumChildren(), 1);
    QCOMPARE(group->getChild(0), created);
    QCOMPARE(Editor::Selection::getSelectorNodes()->getNodes().first(), created);
}

void tst_Randomizer::an_entry_that_cannot_be_placed_leaves_its_node_alone_data()
{
    QTest::addColumn<UGUID>("asset");
    QTest::addColumn<QString>("warning");
    QTest::newRow("no asset chosen") << UGUID() << QString();
    QTest::newRow("asset no longer there") << STALE_ASSET << QString();
    QTest::newRow("node file that does not load") << BROKEN_ASSET << "Can't open node \"broken\"";
}

void tst_Randomizer::an_entry_that_cannot_be_placed_leaves_its_node_alone()
{
    QFETCH(UGUID, asset);
    QFETCH(QString, warning);
    RandomizerWidget window;
    RandomizerWidget::Row *row = window.addRow();
    row->asset->setGUID(asset);
    window.findChild<QCheckBox *>(QStringLiteral("use_node_reference"))->setChecked(false);
    setRange(window, "offset_x", 1.0, 2.0);

    const Ptr<Node> b = node("b");
    const Ptr<Node> c = node("c");
    const Velmora::mat4 b_before = b->getTransform();
    select({b, c});
    if (!warning.isEmpty()) {
        QTest::ignoreMessage(QtWarningMsg, qPrintable(warning));
        QTest::ignoreMessage(QtWarningMsg, qPrintable(warning));
    }
    window.replace();

    for (const Ptr<Node> &n : {b, c})
        QVERIFY(n->isInWorld());
    QVERIFY(b->getTransform() == b_before);
    QVERIFY(!Editor::Selection::getSelectorNodes());
    // The selection change is still one step, and undo gives it back.
    QCOMPARE(Editor::Undo::count(), 1);
    QVERIFY(Editor::Undo::undo());
    QCOMPARE(selectedNames(), (QStringList{"b", "c"}));
}

void tst_Randomizer::a_parent_and_its_child_replaced_together_stay_in_the_world_together()
{
    RandomizerWidget window;
    window.addRow()->asset->setGUID(NODE_ASSET);
    const Ptr<Node> group = node("group");
    const Ptr<Node> child = node("child");
    const Velmora::mat4 child_local = child->getTransform();
    // The child first: the order of the selection must not matter.
    select({child, group});
    window.replace();

    const Ptr<Node> new_group = node("group");
    const Ptr<Node> new_child = node("child");
    QVERIFY(new_group && new_group != group);
    QVERIFY(new_child && new_child != child);
    QVERIFY(new_child->isInWorld());
    QCOMPARE(new_child->getParent(), new_group);
    QVERIFY(new_child->getTransform() == child_local);

    QVERIFY(Editor::Undo::undo());
    QCOMPARE(node("group"), group);
    QCOMPARE(child->getParent(), group);
    QVERIFY(!new_child->isInWorld());
    QVERIFY(Editor::Undo::redo());
    QCOMPARE(node("child"), new_child);
    QCOMPARE(new_child->getParent(), new_group);
}

void tst_Randomizer::dropped_assets_become_entries_by_kind_and_other_drops_are_refused()
{
    RandomizerWidget window;
    window.resize(424, 573);
    window.show();

    const QVector<UGUID> dragged{IMAGE_ASSET, MODEL_ASSET, MESH_ASSET, NODE_ASSET};
    std::unique_ptr<QMimeData> images(AssetsMimeDataHandler::createMimeData({IMAGE_ASSET}));
    std::unique_ptr<QMimeData> mixed(AssetsMimeDataHandler::createMimeData(dragged));
    QMimeData plain;
    plain.setText(QStringLiteral("nodes/rock.node"));

    auto entered = [&](const QMimeData *data) {
        QDragEnterEvent event(QPoint(10, 10), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &event);
        return event.isAccepted();
    };
    // A drop reaches the widget that took the drag's enter, as in a real drag.
    auto drop = [&](const QMimeData *data) {
        entered(data);
        QDropEvent event(QPointF(10, 10), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &event);
    };
    QVERIFY(!entered(images.get()));
    QVERIFY(!entered(&plain));
    QVERIFY(entered(mixed.get()));
    drop(images.get());
    drop(&plain);
    QCOMPARE(window.getRows().size(), 0);

    drop(mixed.get());
    QCOMPARE(window.getRows().size(), 3);
    QCOMPARE(window.getRows()[0]->asset->getGUID(), NODE_ASSET);
    QCOMPARE(window.getRows()[1]->asset->getGUID(), MESH_ASSET);
    QCOMPARE(window.getRows()[2]->asset->getGUID(), MODEL_ASSET);
    for (RandomizerWidget::Row *row : window.getRows())
        QCOMPARE(row->weight->value(), 1);
    // An entry's own field takes node, mesh and model drops only.
    QVERIFY(!window.getRows()[0]->asset->dropMimeData(images.get()));
    std::unique_ptr<QMimeData> mesh(AssetsMimeDataHandler::createMimeData({MESH_ASSET}));
    QVERIFY(window.getRows()[0]->asset->dropMimeData(mesh.get()));
    QCOMPARE(window.getRows()[0]->asset->getGUID(), MESH_ASSET);
    window.getRows()[0]->asset->setGUID(NODE_ASSET);
    // Entries show at their full height; a long list scrolls.
    for (RandomizerWidget::Row *row : window.getRows()) {
        QTRY_VERIFY(row->container->isVisible());
        QTRY_VERIFY(row->container->height() >= row->container->minimumSizeHint().height());
    }
    const QString shot = qEnvironmentVariable("VELMORA_TEST_HOME") + QStringLiteral("/randomizer.png");
    QVERIFY(window.grab().save(shot));
    // Docked under other tools the form scrolls rather than stretching the
    // editor's window beyond the screen.
    QVERIFY2(window.minimumSizeHint().height() < 200, qPrintable(QString::number(window.minimumSizeHint().height())));

    // The clear button removes its entry and the list closes the gap.
    QTest::mouseClick(window.getRows()[1]->clear, Qt::LeftButton);
    QCOMPARE(window.getRows().size(), 2);
    QCOMPARE(window.getRows()[1]->asset->getGUID(), MODEL_ASSET);
    QCOMPARE(window.findChild<QLayout *>(QStringLiteral("layout_nodes"))->count(), 3);
}

QTEST_MAIN(tst_Randomizer)
#include "tst_randomizer.moc"
