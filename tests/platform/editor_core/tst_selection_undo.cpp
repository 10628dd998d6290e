#include "installation.h"

#include <editor_core/WorldControls.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/NodesAction.h>
#include <editor_core/editor/Selection.h>
#include <editor_core/editor/SelectionAction.h>
#include <editor_core/editor/Undo.h>

#include <editor_core/EditorLogic.h>

#include <velmora/Engine.h>
#include <velmora/Node.h>
#include <velmora/World.h>

#include <QSignalSpy>
#include <QtTest>

using Velmora::Node;
using Velmora::NodeDummy;
using Velmora::Ptr;
using Velmora::UGUID;
using Velmora::Vector;

namespace {

UGUID guid(char letter, int number)
{
    const QString text = QString(5, QLatin1Char(letter)) + QString(32, QLatin1Char('0'))
            + QStringLiteral("%1").arg(number, 3, 10, QLatin1Char('0'));
    return UGUID(text.toLatin1().constData());
}

// Sets an int and can put it back: the smallest real undoable change. While
// *refused is true, its undo and redo change nothing and say why.
class SetValueAction : public Editor::Action
{
public:
    SetValueAction(int &target, int value, const bool *refused = nullptr)
        : target_(target)
        , value_(value)
        , refused_(refused)
    {}
    void apply() override
    {
        before_ = target_;
        target_ = value_;
    }
    void captureAfter() override { after_ = target_; }
    void undo() override { target_ = unchangedBecause().isEmpty() ? before_ : target_; }
    void redo() override { target_ = unchangedBecause().isEmpty() ? after_ : target_; }
    QString unchangedBecause() const override
    {
        return refused_ && *refused_ ? QStringLiteral("No space left on device") : QString();
    }

private:
    int &target_;
    int value_;
    const bool *refused_;
    int before_ = 0;
    int after_ = 0;
};

// A running engine over a temporary installation with one world, the editor
// logic installed and registered.
class RunningEngine
{
public:
    RunningEngine()
    {
        installation_.writeData(QStringLiteral("levels/test.world"),
                                "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<world version=\"1\">\n"
                                "\t<node type=\"NodeDummy\" id=\"1\" name=\"ground\"/>\n</world>\n");
        engine_ = installation_.start({QStringLiteral("-log_path"), installation_.root() + QStringLiteral("log.txt")},
                                      nullptr, &logic_);
        if (engine_)
            depr::g.editor = &logic_;
    }
    ~RunningEngine() { depr::g.editor = nullptr; }
    bool isRunning() const { return engine_ != nullptr; }
    EditorLogic &logic() { return logic_; }

private:
    EditorLogic logic_;
    test::Installation installation_;
    Velmora::Engine *engine_ = nullptr;
};

QList<UGUID> selectedGUIDs()
{
    QList<UGUID> result;
    if (Editor::SelectorGUIDs *selector = Editor::Selection::getSelectorGUIDs()) {
        for (const UGUID &g : selector->getGUIDs())
            result << g;
    }
    return result;
}

} // namespace

class TestSelectionUndo : public QObject
{
    Q_OBJECT

private slots:
    void init() { Editor::SelectionAction::resetLastApplied(); }

    void the_node_selector_extends_and_excludes_without_duplicates()
    {
        Ptr<Node> a = NodeDummy::create();
        Ptr<Node> b = NodeDummy::create();
        Ptr<Node> c = NodeDummy::create();
        std::unique_ptr<Editor::SelectorNodes> selector(Editor::SelectorNodes::createObjectsSelector({a, b}));
        QCOMPARE(selector->type(), int(Editor::Selector::TYPE_NODES));
        selector->extend(Vector<Ptr<Node>>{b, c});
        QCOMPARE(selector->getNodes(), (Vector<Ptr<Node>>{a, b, c}));
        QVERIFY(selector->exclude(b));
        QVERIFY(!selector->exclude(b));
        QCOMPARE(selector->getNodes(), (Vector<Ptr<Node>>{a, c}));

        std::unique_ptr<Editor::SelectorNodes> copy(selector->clone());
        QVERIFY(copy->equals(*selector));
        // A destroyed node drops out of every selector that held it.
        c.destroy();
        QCOMPARE(selector->getNodes(), (Vector<Ptr<Node>>{a}));
    }

    void the_guid_selector_keeps_order_and_drops_empty_and_repeated_guids()
    {
        std::unique_ptr<Editor::SelectorGUIDs> selector(
                Editor::SelectorGUIDs::createRuntimesSelector({guid('a', 2), UGUID(), guid('a', 1), guid('a', 2)}));
        QCOMPARE(selector->type(), int(Editor::Selector::TYPE_GUIDS));
        QCOMPARE(selector->getGUIDs(), (Vector<UGUID>{guid('a', 2), guid('a', 1)}));
    }

    void the_selection_reports_changes_and_the_newest_selection_is_the_instance()
    {
        QVERIFY(!Editor::Selection::instance());
        QVERIFY(!Editor::Selection::getSelector());
        Editor::Selection::clear(); // harmless without a selection
        {
            Editor::Selection selection;
            QCOMPARE(Editor::Selection::instance(), &selection);
            QSignalSpy changed(&selection, &Editor::Selection::changed);
            Ptr<Node> node = NodeDummy::create();
            selection.setSelector(Editor::SelectorNodes::createObjectsSelector({node}));
            QCOMPARE(changed.count(), 1);
            QVERIFY(Editor::Selection::getSelectorNodes());
            QVERIFY(!Editor::Selection::getSelectorGUIDs());
            selection.setSelector(Editor::SelectorNodes::createObjectsSelector({node}));
            QCOMPARE(changed.count(), 1); // the same selection again
            Editor::Selection::clear();
            QCOMPARE(changed.count(), 2);
            QVERIFY(!Editor::Selection::getSelector());
            Editor::Selection::clear();
            QCOMPARE(changed.count(), 2);
        }
        QVERIFY(!Editor::Selection::instance());
    }

    void one_group_is_one_step_and_undo_redo_walk_the_stack()
    {
        Editor::Undo undo;
        QCOMPARE(depr::g.undo, undo.get());
        int x = 0;
        int y = 0;
        Editor::Undo::begin();
        Editor::Undo::apply(new SetValueAction(x, 1));
        Editor::Undo::apply(new SetValueAction(y, 2));
        QVERIFY(Editor::Undo::commit());
        Editor::Undo::apply(new SetValueAction(x, 5)); // outside a group: a step of its own
        QCOMPARE(Editor::Undo::count(), 2);
        QCOMPARE(x, 5);

        QVERIFY(Editor::Undo::undo());
        QCOMPARE(x, 1);
        QVERIFY(Editor::Undo::undo());
        QCOMPARE(x, 0);
        QCOMPARE(y, 0);
        QVERIFY(!Editor::Undo::undo());
        QVERIFY(Editor::Undo::redo());
        QCOMPARE(x, 1);
        QCOMPARE(y, 2);

        // A new step drops what could be redone.
        Editor::Undo::apply(new SetValueAction(y, 9));
        QVERIFY(!Editor::Undo::redo());
        Editor::Undo::reset();
        QCOMPARE(Editor::Undo::count(), 0);
        QVERIFY(!Editor::Undo::undo());
    }

    void a_step_keeps_changes_made_after_apply_inside_the_group()
    {
        Editor::Undo undo;
        int x = 0;
        Editor::Undo::begin();
        Editor::Undo::apply(new SetValueAction(x, 1));
        x = 7; // edited further before the group ends
        Editor::Undo::commit();
        Editor::Undo::undo();
        QCOMPARE(x, 0);
        Editor::Undo::redo();
        QCOMPARE(x, 7);
    }

    void empty_and_nested_groups_and_a_stray_commit()
    {
        Editor::Undo undo;
        int x = 0;
        QVERIFY(!Editor::Undo::commit());
        Editor::Undo::begin();
        QVERIFY(Editor::Undo::commit());
        QCOMPARE(Editor::Undo::count(), 0);

        Editor::Undo::begin();
        Editor::Undo::apply(new SetValueAction(x, 1));
        Editor::Undo::begin();
        Editor::Undo::apply(new SetValueAction(x, 2));
        QVERIFY(Editor::Undo::commit());
        QVERIFY(Editor::Undo::isRecording());
        QVERIFY(!Editor::Undo::undo()); // not while a group is open
        QVERIFY(Editor::Undo::commit());
        QCOMPARE(Editor::Undo::count(), 1);
        Editor::Undo::undo();
        QCOMPARE(x, 0);
    }

    void a_step_that_changes_nothing_stays_where_it_was_data()
    {
        QTest::addColumn<bool>("undoing");
        QTest::addColumn<int>("refusing"); // which of the step's three actions
        QTest::newRow("undo refused by the action undone first") << true << 2;
        QTest::newRow("undo refused half way: the actions undone are redone") << true << 1;
        QTest::newRow("undo refused by the action undone last") << true << 0;
        QTest::newRow("redo refused by the action redone first") << false << 0;
        QTest::newRow("redo refused half way: the actions redone are undone") << false << 1;
        QTest::newRow("redo refused by the action redone last") << false << 2;
    }

    void a_step_that_changes_nothing_stays_where_it_was()
    {
        QFETCH(bool, undoing);
        QFETCH(int, refusing);
        Editor::Undo undo;
        int values[3] = {0, 0, 0};
        bool refused[3] = {false, false, false};
        Editor::Undo::begin();
        for (int i = 0; i < 3; ++i)
            Editor::Undo::apply(new SetValueAction(values[i], i + 1, &refused[i]));
        Editor::Undo::commit();
        Editor::Undo::apply(new SetValueAction(values[0], 7)); // a step below stays below
        QVERIFY(Editor::Undo::undo());
        if (!undoing)
            QVERIFY(Editor::Undo::undo());
        const QVector<int> before{values[0], values[1], values[2]};
        QSignalSpy done(undo.get(), &Editor::UndoPrivate::stepDone);

        refused[refusing] = true;
        for (int attempt = 0; attempt < 2; ++attempt) {
            QVERIFY(!(undoing ? Editor::Undo::undo() : Editor::Undo::redo()));
            QCOMPARE((QVector<int>{values[0], values[1], values[2]}), before);
            QCOMPARE(undo.get()->count(), undoing ? 1 : 0);
            QCOMPARE(undo.get()->redoCount(), undoing ? 1 : 2);
            QCOMPARE(undo.get()->lastRefusal(), QStringLiteral("No space left on device"));
        }
        QCOMPARE(done.count(), 0);

        // Tried again once it can be made: the step moves as a whole.
        refused[refusing] = false;
        QVERIFY(undoing ? Editor::Undo::undo() : Editor::Undo::redo());
        QCOMPARE((QVector<int>{values[0], values[1], values[2]}),
                 (undoing ? QVector<int>{0, 0, 0} : QVector<int>{1, 2, 3}));
        QCOMPARE(undo.get()->lastRefusal(), QString());
        QCOMPARE(done.count(), 1);
    }

    void without_an_undo_store_actions_still_apply()
    {
        QVERIFY(!depr::g.undo);
        int x = 0;
        Editor::Undo::begin();
        Editor::Undo::apply(new SetValueAction(x, 3));
        QCOMPARE(x, 3);
        QVERIFY(!Editor::Undo::commit());
        QCOMPARE(Editor::Undo::count(), 0);
    }

    void applying_a_selection_records_it_only_inside_a_group()
    {
        Editor::Undo undo;
        Editor::Selection selection;

        Editor::SelectionAction::applySelection(Editor::SelectorGUIDs::createRuntimesSelector({guid('a', 1)}));
        QCOMPARE(selectedGUIDs(), QList<UGUID>{guid('a', 1)});
        QCOMPARE(Editor::Undo::count(), 0);
        QVERIFY(Editor::SelectionAction::lastApplied());
        QCOMPARE(Editor::SelectionAction::lastApplied()->type(), int(Editor::Selector::TYPE_GUIDS));

        Editor::Undo::begin();
        Editor::SelectionAction::applySelection(
                Editor::SelectorGUIDs::createRuntimesSelector({guid('a', 2), guid('a', 3)}));
        Editor::Undo::commit();
        QCOMPARE(Editor::Undo::count(), 1);
        QCOMPARE(selectedGUIDs(), (QList<UGUID>{guid('a', 2), guid('a', 3)}));

        Editor::Undo::undo();
        QCOMPARE(selectedGUIDs(), QList<UGUID>{guid('a', 1)});
        Editor::Undo::redo();
        QCOMPARE(selectedGUIDs(), (QList<UGUID>{guid('a', 2), guid('a', 3)}));

        // Null means an empty selection.
        Editor::SelectionAction::applySelection(nullptr);
        QVERIFY(!Editor::Selection::getSelector());
        QVERIFY(!Editor::SelectionAction::lastApplied());
        QCOMPARE(Editor::SelectionAction::applyCount(), 3);
    }

    void reparenting_and_transforming_nodes_is_one_step_that_undo_reverts()
    {
        Editor::Undo undo;
        Ptr<Node> parent = NodeDummy::create();
        parent->setWorldTransform(Velmora::Math::translate(10, 0, 0));
        Ptr<Node> a = NodeDummy::create();
        Ptr<Node> b = NodeDummy::create();
        a->setWorldTransform(Velmora::Math::translate(1, 2, 3));
        const QVector<Ptr<Node>> nodes{a, b};

        Editor::Undo::begin();
        Editor::Undo::apply(new Editor::ReparentNodesAction(nodes, parent, -1));
        Editor::Undo::apply(new TransformNodesAction(nodes, Velmora::Math::translate(0, 0, 5), 0));
        Editor::Undo::commit();

        QCOMPARE(a->getParent(), parent);
        QCOMPARE(b->getParent(), parent);
        QCOMPARE(parent->getNumChildren(), 2);
        QVERIFY(Velmora::Math::compare(a->getWorldTransform(), Velmora::Math::translate(1, 2, 8)));
        QVERIFY(Velmora::Math::compare(a->getTransform(), Velmora::Math::translate(-9, 2, 8)));

        QVERIFY(Editor::Undo::undo());
        QVERIFY(!a->getParent());
        QVERIFY(!b->getParent());
        QCOMPARE(parent->getNumChildren(), 0);
        QVERIFY(Velmora::Math::compare(a->getWorldTransform(), Velmora::Math::translate(1, 2, 3)));

        QVERIFY(Editor::Undo::redo());
        QCOMPARE(a->getParent(), parent);
        QVERIFY(Velmora::Math::compare(a->getWorldTransform(), Velmora::Math::translate(1, 2, 8)));
    }

    void an_identity_transform_records_later_edits_of_the_group()
    {
        Editor::Undo undo;
        Ptr<Node> node = NodeDummy::create();
        Editor::Undo::begin();
        Editor::Undo::apply(new TransformNodesAction({node}, Velmora::mat4(), 0));
        QVERIFY(Velmora::Math::compare(node->getTransform(), Velmora::mat4()));
        node->setWorldTransform(Velmora::Math::translate(4, 0, 0) * Velmora::Math::rotateZ(90));
        Editor::Undo::commit();
        Editor::Undo::undo();
        QVERIFY(Velmora::Math::compare(node->getTransform(), Velmora::mat4()));
        Editor::Undo::redo();
        QVERIFY(Velmora::Math::compare(node->getTransform(),
                                       Velmora::Math::translate(4, 0, 0) * Velmora::Math::rotateZ(90)));

        Editor::Undo::apply(new TransformNodesAction({node}, Velmora::Math::translate(1, 1, 1), 1));
        QVERIFY(Velmora::Math::compare(node->getWorldTransform(), Velmora::Math::translate(1, 1, 1)));
        Editor::Undo::undo();
        QVERIFY(Velmora::Math::compare(node->getTransform(),
                                       Velmora::Math::translate(4, 0, 0) * Velmora::Math::rotateZ(90)));
    }

    void creating_and_removing_world_nodes_undo_and_redo_in_the_loaded_world()
    {
        RunningEngine engine;
        QVERIFY(engine.isRunning());
        QVERIFY(Velmora::World::load("levels/test"));
        Editor::Undo undo;
        Editor::Selection selection;
        QSignalSpy removed(&engine.logic(), &EditorLogic::onNodeRemoved);
        const int before = Velmora::World::getNumNodes();

        Ptr<Node> created = NodeDummy::create();
        Ptr<Node> child = NodeDummy::create();
        child->setParent(created);
        QVERIFY(!created->isInWorld());
        Editor::Undo::begin();
        Editor::Undo::apply(new CreateNodesAction({created}, true));
        Editor::Undo::commit();
        QVERIFY(created->isInWorld());
        QVERIFY(child->isInWorld());
        QCOMPARE(Velmora::World::getNumNodes(), before + 2);
        QVERIFY(Editor::Selection::getSelectorNodes());
        QVERIFY(Editor::Selection::getSelectorNodes()->contains(created));

        QVERIFY(Editor::Undo::undo());
        QVERIFY(!created->isInWorld());
        QCOMPARE(Velmora::World::getNumNodes(), before);
        QVERIFY(removed.count() >= 1);
        QVERIFY(Editor::Undo::redo());
        QVERIFY(created->isInWorld());
        QCOMPARE(child->getParent(), created);

        // A node given its parent before the action still leaves on undo.
        Ptr<Node> late = NodeDummy::create();
        late->setParent(created);
        Editor::Undo::apply(new CreateNodesAction({late}, false));
        QVERIFY(Editor::Undo::undo());
        QVERIFY(!late->isInWorld());
        QVERIFY(!late->getParent());
        QVERIFY(Editor::Undo::redo());
        QCOMPARE(late->getParent(), created);

        Ptr<Node> ground = Velmora::World::getNodeByName("ground");
        QVERIFY(ground);
        Editor::Undo::apply(new Editor::RemoveNodesAction({ground, child}));
        QVERIFY(!ground->isInWorld());
        QVERIFY(!child->isInWorld());
        QVERIFY(!child->getParent());
        Editor::Undo::undo();
        QVERIFY(ground->isInWorld());
        QCOMPARE(child->getParent(), created);
        QCOMPARE(Velmora::World::getNodeById(ground->getID()), ground);
    }

    void the_world_controls_follow_the_loaded_world()
    {
        RunningEngine engine;
        QVERIFY(engine.isRunning());
        Editor::Undo undo;
        WorldControls controls;
        controls.init();
        QVERIFY(Velmora::World::load("levels/test"));
        QCOMPARE(controls.getWorldName(), QStringLiteral("test"));
        QVERIFY(!controls.worldAssetGUID().isEmpty());

        Ptr<Node> node = NodeDummy::create();
        Editor::Undo::apply(new CreateNodesAction({node}));
        QVERIFY(controls.isDirty());
        QSignalSpy saved(&engine.logic(), &EditorLogic::onWorldSave);
        QVERIFY(controls.saveWorld());
        QCOMPARE(saved.count(), 1);
        QVERIFY(!controls.isDirty());

        Editor::Undo::apply(new TransformNodesAction({node}, Velmora::Math::translate(1, 0, 0), 0));
        QVERIFY(controls.isDirty());
        QVERIFY(Velmora::World::load("levels/test"));
        QVERIFY(!controls.isDirty());
        QCOMPARE(Velmora::World::getNumNodes(), 2); // the saved world has the created node
        Velmora::World::quit();
        QVERIFY(controls.getWorldName().isEmpty());
        QVERIFY(controls.worldAssetGUID().isEmpty());
        controls.shutdown();
    }

    void committed_steps_make_the_world_dirty_once()
    {
        Editor::Undo undo;
        WorldControls controls;
        controls.init();
        QSignalSpy dirty(&controls, &WorldControls::dirtyStateChanged);
        int x = 0;
        Editor::Undo::begin();
        Editor::Undo::apply(new SetValueAction(x, 1));
        QCOMPARE(dirty.count(), 0); // nothing until the step is committed
        Editor::Undo::commit();
        Editor::Undo::apply(new SetValueAction(x, 2));
        QVERIFY(controls.isDirty());
        QCOMPARE(dirty.count(), 1);
        QCOMPARE(dirty.first().at(0).toBool(), true);
        controls.setDirty(false);
        QCOMPARE(dirty.count(), 2);
        Editor::Undo::undo();
        QVERIFY(controls.isDirty());
        // No world is loaded here.
        QVERIFY(controls.getWorldName().isEmpty());
        QVERIFY(controls.worldAssetGUID().isEmpty());
        QVERIFY(!controls.saveWorld());
        controls.shutdown();
    }
};

QTEST_GUILESS_MAIN(TestSelectionUndo)
#include "tst_selection_undo.moc"
