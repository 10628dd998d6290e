// The editor's selection shown where the user looks: selected nodes in the
// nodes window, selected assets and runtimes in the asset browser.

#include "installation.h"

#include <editor_core/as/Browser.h>
#include <editor_core/as/Presenter.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/AssetManagerPrivate.h>
#include <editor_core/editor/Selection.h>
#include <editor_core/editor/SelectionAction.h>
#include <editor_core/world/Presenter.h>

#include <velmora/Engine.h>
#include <velmora/World.h>

#include <QSignalSpy>
#include <QTreeWidget>
#include <QtTest>

#include <string>

namespace {

Velmora::UGUID guid(int number)
{
    return Velmora::UGUID(("aaaaa" + std::string(32, '0') + std::to_string(number)).c_str());
}

void write(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
}

QStringList selectedTexts(const QTreeWidget &tree)
{
    QStringList texts;
    for (const QTreeWidgetItem *item : tree.selectedItems())
        texts << item->text(0);
    return texts;
}

} // namespace

class SelectionViewsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void selected_nodes_are_selected_in_the_nodes_window();
    void rows_selected_in_the_nodes_window_become_the_selection();
    void selected_assets_and_runtimes_are_selected_in_the_asset_browser_data();
    void selected_assets_and_runtimes_are_selected_in_the_asset_browser();
    void a_selection_of_nodes_leaves_the_asset_browser_alone();

private:
    test::Installation installation_;
    std::unique_ptr<Editor::AssetManagerPrivate> assets_;
    std::unique_ptr<Editor::Selection> selection_;
    std::unique_ptr<world::Presenter> nodes_;
    std::unique_ptr<as::Presenter> browser_;
};

void SelectionViewsTest::initTestCase()
{
    const QString data = installation_.dataPath();
    write(data + "levels/test.world",
          "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<world version=\"1\">\n"
          "\t<node type=\"NodeDummy\" id=\"1\" name=\"yard\">\n"
          "\t\t<node type=\"NodeDummy\" id=\"2\" name=\"crate\"/>\n\t</node>\n"
          "\t<node type=\"NodeDummy\" id=\"3\" name=\"lamp\"/>\n</world>\n");
    write(data + "levels/test.world.meta", "<asset version=\"1\" guid=\"aaaaa00000000000000000000000000000000101\"/>");
    write(data + "materials/wood.mat", "<material name=\"wood\"/>");
    write(data + "materials/wood.mat.meta", "<asset version=\"1\" guid=\"aaaaa00000000000000000000000000000000102\"/>");
    write(data + "textures/wood.png", "png");
    write(data + "textures/wood.png.meta", "<asset version=\"1\" guid=\"aaaaa00000000000000000000000000000000103\"/>");
    QVERIFY(installation_.start({QStringLiteral("-log_path"), installation_.root() + QStringLiteral("log.txt")}));
    assets_ = std::make_unique<Editor::AssetManagerPrivate>();
    depr::g.asset_manager = assets_.get();
    QSignalSpy initialized(assets_.get(), &Editor::AssetManagerPrivate::initialized);
    assets_->init();
    QVERIFY(initialized.wait(5000));
    QVERIFY(Velmora::World::load("levels/test"));

    // As the editor makes them: the selection first, then the windows.
    selection_ = std::make_unique<Editor::Selection>();
    nodes_ = std::make_unique<world::Presenter>();
    nodes_->initGUI(nullptr);
    browser_ = std::make_unique<as::Presenter>(assets_.get(), false, nullptr);
    browser_->initGUI(nullptr);
    browser_->browser()->refresh();
}

void SelectionViewsTest::cleanupTestCase()
{
    browser_.reset();
    nodes_.reset();
    selection_.reset();
    depr::g.asset_manager = nullptr;
    assets_->shutdown();
    assets_.reset();
    Velmora::Engine::shutdown();
}

void SelectionViewsTest::selected_nodes_are_selected_in_the_nodes_window()
{
    QTreeWidget &tree = *nodes_->nodesWindow();
    QVERIFY(!tree.topLevelItem(0)->isExpanded());
    Editor::SelectionAction::applySelection(Editor::SelectorNodes::createObjectsSelector(
            {Velmora::World::getNodeById(2), Velmora::World::getNodeById(3)}));
    QCOMPARE(selectedTexts(tree), (QStringList{"crate", "lamp"}));
    QVERIFY(tree.topLevelItem(0)->isExpanded());

    // A refill keeps showing the selection; an empty one clears the tree's.
    nodes_->refresh();
    QCOMPARE(selectedTexts(tree).size(), 2);
    Editor::SelectionAction::applySelection(nullptr);
    QVERIFY(tree.selectedItems().isEmpty());
}

void SelectionViewsTest::rows_selected_in_the_nodes_window_become_the_selection()
{
    QTreeWidget &tree = *nodes_->nodesWindow();
    Editor::SelectionAction::applySelection(nullptr);
    nodes_->refresh();
    QTreeWidgetItem *crate = tree.topLevelItem(0)->child(0);
    QTreeWidgetItem *lamp = tree.topLevelItem(1);
    lamp->setSelected(true);
    crate->setSelected(true);

    const Editor::SelectorNodes *selector = Editor::Selection::getSelectorNodes();
    QVERIFY(selector);
    QStringList names;
    for (const Velmora::Ptr<Velmora::Node> &node : selector->getNodes())
        names << QString::fromUtf8(node->getName());
    names.sort();
    QCOMPARE(names, (QStringList{"crate", "lamp"}));
    // Showing the selection again does not change it.
    nodes_->refresh();
    QCOMPARE(Editor::Selection::getSelectorNodes()->getNodes().size(), 2);

    tree.clearSelection();
    QVERIFY(!Editor::Selection::getSelector());
}

void SelectionViewsTest::selected_assets_and_runtimes_are_selected_in_the_asset_browser_data()
{
    QTest::addColumn<QList<Velmora::UGUID>>("selected");
    QTest::addColumn<QStringList>("rows");
    const Velmora::UGUID material = Velmora::UGUID::derive(guid(102), "material");
    QTest::newRow("an asset") << QList<Velmora::UGUID>{guid(103)} << QStringList{"wood.png"};
    QTest::newRow("a runtime: its asset") << QList<Velmora::UGUID>{material} << QStringList{"wood.mat"};
    QTest::newRow("two") << QList<Velmora::UGUID>{guid(103), guid(101)} << QStringList{"test.world", "wood.png"};
}

void SelectionViewsTest::selected_assets_and_runtimes_are_selected_in_the_asset_browser()
{
    QFETCH(QList<Velmora::UGUID>, selected);
    QFETCH(QStringList, rows);
    Velmora::Vector<Velmora::UGUID> guids;
    for (const Velmora::UGUID &g : selected)
        guids.append(g);
    Editor::SelectionAction::applySelection(Editor::SelectorGUIDs::createRuntimesSelector(guids));
    QCOMPARE(selectedTexts(*browser_->browser()->tree()), rows);
}

void SelectionViewsTest::a_selection_of_nodes_leaves_the_asset_browser_alone()
{
    Editor::SelectionAction::applySelection(Editor::SelectorGUIDs::createRuntimesSelector({guid(103)}));
    Editor::SelectionAction::applySelection(
            Editor::SelectorNodes::createObjectsSelector({Velmora::World::getNodeById(3)}));
    QCOMPARE(selectedTexts(*browser_->browser()->tree()), QStringList{"wood.png"});
}

QTEST_MAIN(SelectionViewsTest)
#include "tst_selection_views.moc"
