#include "editor_core/EditorCore.h"
#include "editor_core/View.h"
#include "editor_core/as/Browser.h"
#include "editor_core/as/Presenter.h"
#include "editor_core/depr/EditorGlobals.h"
#include "editor_core/editor/AssetManagerPrivate.h"
#include "editor_core/editor/WindowManager.h"
#include "editor_core/editor/WindowManagerPrivate.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

using Velmora::UGUID;
using GUIDs = Velmora::Vector<Velmora::UGUID>;

namespace {

// The fixture shorthand {xNNN}: five x, 32 zeros, three digits.
UGUID shorthand(char letter, int number)
{
    const QByteArray text
            = QByteArray(5, letter) + QByteArray(32, '0') + QByteArray::number(number).rightJustified(3, '0');
    return UGUID(text.constData());
}

QString text(const UGUID &guid)
{
    return QString::fromLatin1(guid.getString().get());
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

bool writeAsset(const QString &path, const UGUID &guid, int type, const QByteArray &data)
{
    const QByteArray meta = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<asset version=\"1\" guid=\""
            + text(guid).toLatin1() + "\" type=\"" + QByteArray::number(type) + "\" excluded=\"0\"/>\n";
    return writeFile(path, data) && writeFile(path + ".meta", meta);
}

QStringList childNames(const QTreeWidgetItem *item)
{
    QStringList names;
    for (int i = 0; i < item->childCount(); ++i)
        names.append(item->child(i)->text(0));
    return names;
}

} // namespace

class TestAssetBrowser : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void assets_are_listed_by_folder_folders_first();
    void dependency_commands_emit_the_selected_assets_in_tree_order_data();
    void dependency_commands_emit_the_selected_assets_in_tree_order();
    void dependency_commands_are_off_without_a_selected_asset();
    void create_requests_carry_the_folder_of_the_current_row_data();
    void create_requests_carry_the_folder_of_the_current_row();
    void component_creation_is_offered_only_with_components();
    void visible_guid_of_assets_runtimes_and_strangers_data();
    void visible_guid_of_assets_runtimes_and_strangers();
    void filter_hides_other_assets_and_empty_folders();
    void state_round_trip_restores_folders_and_filter();
    void foreign_state_is_refused_and_changes_nothing();
    void new_assets_appear_after_a_rescan_and_selection_survives_data();
    void new_assets_appear_after_a_rescan_and_selection_survives();
    void presenter_docks_the_browser_at_the_bottom_and_registers_it();

private:
    as::Browser *browser() const { return presenter_->browser(); }
    void select(const QList<UGUID> &guids);

    QTemporaryDir dir_;
    QString data_;
    Editor::AssetManagerPrivate *manager_ = nullptr;
    as::Presenter *presenter_ = nullptr;
    View *main_ = nullptr;
};

void TestAssetBrowser::initTestCase()
{
    EditorCore::registerMetaTypes();
    QVERIFY(dir_.isValid());
    data_ = dir_.filePath("data") + "/";
    QVERIFY(writeAsset(data_ + "materials/metal.mat", shorthand('a', 101), 4, "<material name=\"metal\"/>\n"));
    QVERIFY(writeAsset(data_ + "materials/rock.mat", shorthand('a', 102), 4, "<material name=\"rock\"/>\n"));
    QVERIFY(writeAsset(data_ + "textures/wood.png", shorthand('b', 201), 6, "png"));
    QVERIFY(writeAsset(data_ + "worlds/level1.world", shorthand('c', 301), 18, "<world version=\"1\"/>\n"));
    QVERIFY(writeAsset(data_ + "intro.usc", shorthand('d', 401), 20, "// intro\n"));
    // Not assets: a file without a meta file and a hidden folder.
    QVERIFY(writeFile(data_ + "readme.txt", "notes"));
    QVERIFY(writeAsset(data_ + ".thumbnails/hidden.png", shorthand('e', 501), 6, "png"));
}

void TestAssetBrowser::init()
{
    main_ = new View;
    depr::gui.main_window = main_;
    manager_ = new Editor::AssetManagerPrivate;
    manager_->setRootPath(data_);
    depr::g.asset_manager = manager_;
    QSignalSpy initialized(manager_, &Editor::AssetManagerPrivate::initialized);
    manager_->init();
    QVERIFY(initialized.wait(5000));
    presenter_ = new as::Presenter(manager_, false, nullptr);
    presenter_->initGUI(main_);
    QVERIFY(browser());
}

void TestAssetBrowser::cleanup()
{
    delete presenter_;
    presenter_ = nullptr;
    manager_->shutdown();
    delete manager_;
    manager_ = nullptr;
    delete main_;
    main_ = nullptr;
    depr::clearGlobals();
    depr::clearGui();
    QFile::remove(data_ + "materials/glass.mat");
    QFile::remove(data_ + "materials/glass.mat.meta");
}

void TestAssetBrowser::select(const QList<UGUID> &guids)
{
    browser()->tree()->clearSelection();
    for (const UGUID &guid : guids) {
        QTreeWidgetItem *item = browser()->findItem(guid);
        QVERIFY(item);
        item->setSelected(true);
    }
}

void TestAssetBrowser::assets_are_listed_by_folder_folders_first()
{
    QTreeWidgetItem *root = browser()->tree()->invisibleRootItem();
    QCOMPARE(childNames(root), (QStringList{"materials", "textures", "worlds", "intro.usc"}));
    // A folder's asset rows are made when it opens.
    QCOMPARE(root->child(0)->childCount(), 0);
    root->child(0)->setExpanded(true);
    QCOMPARE(childNames(root->child(0)), (QStringList{"metal.mat", "rock.mat"}));

    QTreeWidgetItem *metal = browser()->findItem(shorthand('a', 101));
    QVERIFY(metal);
    QCOMPARE(metal->text(1), QStringLiteral("Material"));
    QCOMPARE(browser()->findItem(shorthand('c', 301))->text(1), QStringLiteral("World"));
    QVERIFY(!browser()->findItem(shorthand('e', 501)));
    QVERIFY(!browser()->tree()->findItems("readme.txt", Qt::MatchRecursive).size());
}

void TestAssetBrowser::dependency_commands_emit_the_selected_assets_in_tree_order_data()
{
    QTest::addColumn<bool>("dependencies");
    QTest::newRow("Show Dependencies") << true;
    QTest::newRow("Show Dependents") << false;
}

void TestAssetBrowser::dependency_commands_emit_the_selected_assets_in_tree_order()
{
    QFETCH(bool, dependencies);
    QSignalSpy deps(presenter_, &as::Presenter::showDependencies);
    QSignalSpy users(presenter_, &as::Presenter::showDependents);

    // Selected in a different order than shown, with a folder among them.
    select({shorthand('c', 301), shorthand('a', 102), shorthand('a', 101)});
    browser()->findFolderItem("textures")->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    browser()->findFolderItem("textures")->setSelected(true);

    QAction *action = dependencies ? browser()->showDependenciesAction() : browser()->showDependentsAction();
    QCOMPARE(action->text(), dependencies ? QStringLiteral("Show Dependencies") : QStringLiteral("Show Dependents"));
    QVERIFY(action->isEnabled());
    action->trigger();

    QSignalSpy &fired = dependencies ? deps : users;
    QCOMPARE(fired.count(), 1);
    QCOMPARE((dependencies ? users : deps).count(), 0);
    const GUIDs guids = fired.first().first().value<GUIDs>();
    QCOMPARE(guids, (GUIDs{shorthand('a', 101), shorthand('a', 102), shorthand('c', 301)}));
}

void TestAssetBrowser::dependency_commands_are_off_without_a_selected_asset()
{
    QSignalSpy deps(presenter_, &as::Presenter::showDependencies);
    select({shorthand('a', 101)});
    QVERIFY(browser()->showDependenciesAction()->isEnabled());
    browser()->tree()->clearSelection();
    QVERIFY(!browser()->showDependenciesAction()->isEnabled());
    QVERIFY(!browser()->showDependentsAction()->isEnabled());
    browser()->showDependenciesAction()->activate(QAction::Trigger);
    QCOMPARE(deps.count(), 0);
}

void TestAssetBrowser::create_requests_carry_the_folder_of_the_current_row_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("folder");
    QTest::newRow("material beside an asset") << "material"
                                              << "materials/rock.mat"
                                              << "materials/";
    QTest::newRow("property in a folder") << "property"
                                          << "textures"
                                          << "textures/";
    QTest::newRow("script at the root") << "usc"
                                        << "intro.usc"
                                        << "";
    QTest::newRow("world, nothing current") << "world"
                                            << ""
                                            << "";
}

void TestAssetBrowser::create_requests_carry_the_folder_of_the_current_row()
{
    QFETCH(QString, command);
    QFETCH(QString, current);
    QFETCH(QString, folder);

    QTreeWidget *tree = browser()->tree();
    tree->setCurrentItem(nullptr);
    if (!current.isEmpty()) {
        QTreeWidgetItem *item = browser()->findFolderItem(current);
        if (!item)
            item = browser()->findItem(manager_->asset(current).getGUID());
        QVERIFY(item);
        tree->setCurrentItem(item);
    }

    QSignalSpy material(presenter_, &as::Presenter::createMaterialRequest);
    QSignalSpy property(presenter_, &as::Presenter::createPropertyRequest);
    QSignalSpy usc(presenter_, &as::Presenter::createUSCRequest);
    QSignalSpy world(presenter_, &as::Presenter::createWorldRequest);
    QSignalSpy *fired = nullptr;
    if (command == "material") {
        browser()->createMaterialAction()->trigger();
        fired = &material;
    } else if (command == "property") {
        browser()->createPropertyAction()->trigger();
        fired = &property;
    } else if (command == "usc") {
        browser()->createUSCAction()->trigger();
        fired = &usc;
    } else {
        browser()->createWorldAction()->trigger();
        fired = &world;
    }
    QCOMPARE(material.count() + property.count() + usc.count() + world.count(), 1);
    QCOMPARE(fired->count(), 1);
    QCOMPARE(fired->first().first().toString(), manager_->rootPath() + folder);
}

void TestAssetBrowser::component_creation_is_offered_only_with_components()
{
    QVERIFY(!browser()->createComponentAction()->isVisible());
    as::Browser with_components(manager_, true);
    QVERIFY(with_components.createComponentAction()->isVisible());
    QSignalSpy component(&with_components, &as::Browser::createComponentRequest);
    with_components.createComponentAction()->trigger();
    QCOMPARE(component.count(), 1);
}

void TestAssetBrowser::visible_guid_of_assets_runtimes_and_strangers_data()
{
    QTest::addColumn<UGUID>("guid");
    QTest::addColumn<UGUID>("visible");
    const UGUID metal = shorthand('a', 101);
    QTest::newRow("asset") << metal << metal;
    QTest::newRow("material runtime") << UGUID::derive(metal, "material") << metal;
    QTest::newRow("unknown") << shorthand('f', 999) << UGUID();
    QTest::newRow("empty") << UGUID() << UGUID();
}

void TestAssetBrowser::visible_guid_of_assets_runtimes_and_strangers()
{
    QFETCH(UGUID, guid);
    QFETCH(UGUID, visible);
    QCOMPARE(as::Presenter::convertToVisible(guid), visible);
}

void TestAssetBrowser::filter_hides_other_assets_and_empty_folders()
{
    browser()->setFilter("ROCK");
    QVERIFY(!browser()->findItem(shorthand('a', 102))->isHidden());
    QVERIFY(browser()->findItem(shorthand('a', 101))->isHidden());
    QVERIFY(browser()->findFolderItem("textures")->isHidden());
    QVERIFY(!browser()->findFolderItem("materials")->isHidden());

    browser()->setFilter(QString());
    QVERIFY(!browser()->findItem(shorthand('a', 101))->isHidden());
    QVERIFY(!browser()->findFolderItem("textures")->isHidden());
}

void TestAssetBrowser::state_round_trip_restores_folders_and_filter()
{
    browser()->findFolderItem("textures")->setExpanded(true);
    browser()->findFolderItem("materials")->setExpanded(false);
    browser()->setFilter("wood");
    const QByteArray state = browser()->saveState();

    browser()->findFolderItem("textures")->setExpanded(false);
    browser()->findFolderItem("materials")->setExpanded(true);
    browser()->setFilter(QString());

    QVERIFY(browser()->restoreState(state));
    QVERIFY(browser()->findFolderItem("textures")->isExpanded());
    QVERIFY(!browser()->findFolderItem("materials")->isExpanded());
    QVERIFY(browser()->findItem(shorthand('a', 101))->isHidden());
    QVERIFY(!browser()->findItem(shorthand('b', 201))->isHidden());
}

void TestAssetBrowser::foreign_state_is_refused_and_changes_nothing()
{
    browser()->findFolderItem("worlds")->setExpanded(true);
    const QByteArray before = browser()->saveState();
    QVERIFY(!browser()->restoreState(QByteArray()));
    QVERIFY(!browser()->restoreState(QByteArray("some other widget's state")));
    QCOMPARE(browser()->saveState(), before);
}

void TestAssetBrowser::new_assets_appear_after_a_rescan_and_selection_survives_data()
{
    QTest::addColumn<bool>("import");
    QTest::newRow("rescan") << false;
    // An import appends its record after the sorted ones.
    QTest::newRow("import") << true;
}

void TestAssetBrowser::new_assets_appear_after_a_rescan_and_selection_survives()
{
    QFETCH(bool, import);
    browser()->findFolderItem("materials")->setExpanded(true);
    select({shorthand('a', 102)});
    UGUID glass = shorthand('a', 103);
    if (import) {
        QVERIFY(writeFile(data_ + "materials/glass.mat", "<material name=\"glass\"/>\n"));
        glass = manager_->importSync(data_ + "materials/glass.mat");
        QVERIFY(glass.isValid());
    } else {
        QVERIFY(writeAsset(data_ + "materials/glass.mat", glass, 4, "<material name=\"glass\"/>\n"));
        manager_->rescan();
    }
    QTRY_VERIFY(browser()->findItem(glass));
    QCOMPARE(childNames(browser()->findFolderItem("materials")), (QStringList{"glass.mat", "metal.mat", "rock.mat"}));
    QVERIFY(browser()->findFolderItem("materials")->isExpanded());
    QCOMPARE(browser()->selectedAssets(), GUIDs{shorthand('a', 102)});
}

void TestAssetBrowser::presenter_docks_the_browser_at_the_bottom_and_registers_it()
{
    delete presenter_;
    presenter_ = nullptr;
    QVERIFY(!depr::gui.asset_browser);

    Editor::WindowManager wm;
    main_->setCentralWidget(depr::g.window_manager);
    as::Presenter presenter(manager_, false, nullptr);
    presenter.initGUI(main_);
    QPointer<as::Browser> shown = presenter.browser();
    QCOMPARE(depr::gui.asset_browser, shown.data());
    QCOMPARE(shown->objectName(), QStringLiteral("AssetBrowser"));
    QDockWidget *dock = Editor::WindowManager::getDock(shown);
    QVERIFY(dock);
    QCOMPARE(dock->objectName(), QStringLiteral("AssetBrowser_dock"));
    QCOMPARE(main_->dockWidgetArea(dock), Qt::BottomDockWidgetArea);

    presenter.shutdownGUI();
    QVERIFY(shown.isNull());
    QVERIFY(!depr::gui.asset_browser);
    QVERIFY(!Editor::WindowManager::getDock(shown));
    presenter_ = new as::Presenter(manager_, false, nullptr);
    presenter_->initGUI(main_);
}

QTEST_MAIN(TestAssetBrowser)
#include "tst_asset_browser.moc"
