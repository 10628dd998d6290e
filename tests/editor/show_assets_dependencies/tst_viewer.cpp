// The dependency viewer as the editor runs it: queries on the real job queue
// under the progress dialog, refusal and cancel, the result windows, the
// selection they hand to the editor, their context menu and their updates
// from the asset manager.

#include "analysis_fixture.h"
#include "message_boxes.h"

#include <editor/interdependence/analysis_executor.h>
#include <editor/show_assets_dependencies/data/used_data.h>
#include <editor/show_assets_dependencies/data/using_this_one_data.h>
#include <editor/show_assets_dependencies/model/roles.h>
#include <editor/show_assets_dependencies/model/using_this_one_model.h>
#include <editor/show_assets_dependencies/show_dependencies.h>
#include <editor/show_assets_dependencies/ui/used_window.h>
#include <editor/show_assets_dependencies/ui/using_this_one_window.h>
#include <editor/show_assets_dependencies/using_this_one_result_data.h>

#include <editor_core/core/ProgressDialog.h>
#include <editor_core/editor/AssetManagerPrivate.h>
#include <editor_core/editor/Selection.h>
#include <editor_core/editor/SelectionAction.h>
#include <editor_core/tbb/QJob.h>
#include <editor_core/tbb/Queue.h>

#include <velmora/World.h>

#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest>

using inastest::AnalysisFixture;
using inastest::guid;

namespace {

// Holds the job queue's worker until released, so that what is queued after
// it waits.
class BlockingJob : public tbb::QJob
{
public:
    void run(const tbb::JobPtr &) override { gate.acquire(); }
    QSemaphore gate;
};

// The same, released by a cancel (as a queue shutdown sends).
class CancellableBlockingJob : public BlockingJob
{
public:
    void cancel() override { gate.release(); }
};

// A visible result window of that object name, other than except.
template<typename WindowT>
WindowT *findWindow(const char *object_name, const QWidget *except = nullptr)
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *window = qobject_cast<WindowT *>(widget)) {
            if (window->objectName() == QLatin1String(object_name) && window->isVisible() && window != except)
                return window;
        }
    }
    return nullptr;
}

// The table row whose sub-row is guid with node text.
int rowOf(const show_deps::UsingThisOneData &data, const Velmora::UGUID &guid, const QString &text)
{
    for (int r = 0; r < data.getNumRows(); ++r) {
        if (data.getSubRow(r).guid == guid && data.getSubRow(r).text == text)
            return r;
    }
    return -1;
}

std::unique_ptr<show_deps::UsingThisOneData> usersOf(const Velmora::Vector<Velmora::UGUID> &guids)
{
    auto result = show_deps::createExecutor(guids, false)->execute([](int, int) { return true; });
    auto *data = dynamic_cast<show_deps::UsingThisOneResultData *>(result.get());
    return data ? data->takeData() : nullptr;
}

} // namespace

class ViewerTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void cleanupTestCase();
    void a_request_without_a_known_asset_opens_nothing_data();
    void a_request_without_a_known_asset_opens_nothing();
    void a_query_opens_its_window_once_the_analysis_ends_data();
    void a_query_opens_its_window_once_the_analysis_ends();
    void a_second_query_while_one_runs_is_refused();
    void cancelling_the_dialog_opens_no_window();
    void a_job_queue_shut_down_mid_query_closes_the_dialog();
    void a_selected_cell_becomes_the_editors_selection();
    void a_node_cell_selects_a_node_of_the_world_it_belongs_to_data();
    void a_node_cell_selects_a_node_of_the_world_it_belongs_to();
    void the_context_menu_starts_a_query_on_the_selected_asset_data();
    void the_context_menu_starts_a_query_on_the_selected_asset();
    void a_removed_asset_leaves_the_tables_and_the_table_selection_only();
    void a_changed_asset_is_renamed_in_every_open_window();
    void a_window_without_data_stays_empty();

private:
    AnalysisFixture fixture_;
    Editor::Selection selection_;
};

void ViewerTest::initTestCase()
{
    QVERIFY(fixture_.startWithCopyOf(inastest::staticDataFolder()));
}

void ViewerTest::cleanup()
{
    QTRY_VERIFY(!show_deps::progressDialog());
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->testAttribute(Qt::WA_DeleteOnClose))
            widget->close();
    }
    Velmora::World::quit();
    Editor::SelectionAction::resetLastApplied();
}

void ViewerTest::cleanupTestCase()
{
    tbb::Queue::instance()->shutdown();
    fixture_.stop();
}

void ViewerTest::a_request_without_a_known_asset_opens_nothing_data()
{
    QTest::addColumn<QList<int>>("guids");
    QTest::newRow("empty") << QList<int>{};
    QTest::newRow("only GUIDs nothing has") << QList<int>{998, 999};
}

void ViewerTest::a_request_without_a_known_asset_opens_nothing()
{
    QFETCH(QList<int>, guids);
    Velmora::Vector<Velmora::UGUID> request;
    for (const int n : guids)
        request.append(guid('d', n));
    QVERIFY(!show_deps::showDependencies(request));
    QVERIFY(!show_deps::showDependents(request));
    QVERIFY(!show_deps::progressDialog());
}

void ViewerTest::a_query_opens_its_window_once_the_analysis_ends_data()
{
    QTest::addColumn<bool>("used");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QSize>("minimum");
    QTest::addColumn<int>("rows");
    QTest::newRow("Assets Used") << true << "Assets Used" << QSize(200, 60) << 9;
    QTest::newRow("Assets Using This One") << false << "Assets Using This One" << QSize(300, 60) << 7;
}

void ViewerTest::a_query_opens_its_window_once_the_analysis_ends()
{
    QFETCH(bool, used);
    QFETCH(QString, title);
    QFETCH(QSize, minimum);
    QFETCH(int, rows);

    // house.node uses nine assets; stone_d.png is used in seven places.
    const Velmora::UGUID asset = used ? guid('a', 601) : guid('a', 110);
    // The percentages the bar goes through: value * 100 / max of the
    // analysis's reports, truncated, each as it changes.
    QList<int> percentages{0};
    show_deps::createExecutor({asset}, used)->execute([&percentages](int max, int value) {
        const int percent = value * 100 / max;
        if (percent != percentages.last())
            percentages << percent;
        return true;
    });
    percentages.removeFirst();
    QCOMPARE(percentages.last(), 100);

    QVERIFY(show_deps::showAssets({asset}, used));
    QPointer<core::ProgressDialog> dialog = show_deps::progressDialog();
    QVERIFY(dialog);
    QCOMPARE(dialog->windowTitle(), title);
    QCOMPARE(dialog->text(),
             QStringLiteral("Analyzing assets in your project. Please wait.\nThis process may take "
                            "some time depending on the project's size."));
    QVERIFY(dialog->isModal());
    QCOMPARE(dialog->progress(), 0);
    QSignalSpy bar(dialog->findChild<QProgressBar *>(), &QProgressBar::valueChanged);

    QWidget *window = nullptr;
    QTRY_VERIFY((window = used ? static_cast<QWidget *>(findWindow<show_deps::UsedWindow>("AssetsUsed"))
                               : findWindow<show_deps::UsingThisOneWindow>("AssetsUsingThisOne")));
    QTRY_VERIFY(!dialog);
    QList<int> shown;
    for (const QList<QVariant> &change : bar)
        shown << change.at(0).toInt();
    QCOMPARE(shown, percentages);
    QCOMPARE(window->windowTitle(), title);
    QCOMPARE(window->minimumSize(), minimum);
    QCOMPARE(window->size(), QSize(600, 400));
    QVERIFY(window->testAttribute(Qt::WA_DeleteOnClose));
    QVERIFY(window->windowFlags().testFlag(Qt::Dialog));
    auto *table = window->findChild<QTableView *>();
    QCOMPARE(table->model()->rowCount(), rows);
    QCOMPARE(table->rowSpan(0, 0), rows);
}

void ViewerTest::a_second_query_while_one_runs_is_refused()
{
    // The worker is held, so the first query cannot end meanwhile.
    auto blocker = std::make_shared<BlockingJob>();
    QVERIFY(tbb::Queue::instance()->enqueue(blocker));
    QVERIFY(show_deps::showDependents({guid('a', 110)}));
    QTest::ignoreMessage(QtInfoMsg, "Progress dialog is still open.");
    QVERIFY(!show_deps::showDependencies({guid('a', 601)}));
    blocker->gate.release();

    QTRY_VERIFY(findWindow<show_deps::UsingThisOneWindow>("AssetsUsingThisOne"));
    QTRY_VERIFY(!show_deps::progressDialog());
    QVERIFY(show_deps::showDependencies({guid('a', 601)}));
    QTRY_VERIFY(findWindow<show_deps::UsedWindow>("AssetsUsed"));
}

void ViewerTest::a_job_queue_shut_down_mid_query_closes_the_dialog()
{
    auto blocker = std::make_shared<CancellableBlockingJob>();
    QVERIFY(tbb::Queue::instance()->enqueue(blocker));
    QVERIFY(show_deps::showDependents({guid('a', 110)}));
    QPointer<core::ProgressDialog> dialog = show_deps::progressDialog();
    QVERIFY(dialog);
    tbb::Queue::instance()->shutdown();

    // The dialog goes, no window opens, and the next query runs on a fresh
    // queue instead of being refused for a dialog that never closes.
    QTRY_VERIFY(!dialog);
    QVERIFY(!findWindow<show_deps::UsingThisOneWindow>("AssetsUsingThisOne"));
    QVERIFY(show_deps::showDependencies({guid('a', 601)}));
    QTRY_VERIFY(findWindow<show_deps::UsedWindow>("AssetsUsed"));
}

void ViewerTest::cancelling_the_dialog_opens_no_window()
{
    auto blocker = std::make_shared<BlockingJob>();
    QVERIFY(tbb::Queue::instance()->enqueue(blocker));
    QVERIFY(show_deps::showDependents({guid('a', 110)}));
    QPointer<core::ProgressDialog> dialog = show_deps::progressDialog();
    dialog->cancelButton()->click();
    QVERIFY(dialog->isVisible()); // until the job has ended
    blocker->gate.release();

    QTRY_VERIFY(!dialog);
    QTest::qWait(50);
    QVERIFY(!findWindow<show_deps::UsingThisOneWindow>("AssetsUsingThisOne"));
}

void ViewerTest::a_selected_cell_becomes_the_editors_selection()
{
    show_deps::UsingThisOneWindow *window
            = show_deps::showUsingThisOneWindow(usersOf({guid('a', 110), guid('a', 605)}));
    QTableView *table = window->table();
    const int house = rowOf(*window->tableData(), guid('a', 601), QStringLiteral("walls"));
    QVERIFY(house >= 0);

    // A click on the user cell selects that asset.
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                      table->visualRect(table->model()->index(house, 1)).center());
    auto *selector = dynamic_cast<const Editor::SelectorGUIDs *>(Editor::SelectionAction::lastApplied());
    QVERIFY(selector);
    QCOMPARE(selector->getGUIDs(), (Velmora::Vector<Velmora::UGUID>{guid('a', 601)}));

    // The empty cells of road.png (nothing uses it) cannot be selected.
    const int count = Editor::SelectionAction::applyCount();
    const QModelIndexList before = table->selectionModel()->selectedIndexes();
    const int road = table->model()->rowCount() - 1;
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                      table->visualRect(table->model()->index(road, 1)).center());
    QCOMPARE(table->selectionModel()->selectedIndexes(), before);
    QCOMPARE(Editor::SelectionAction::applyCount(), count);
}

void ViewerTest::a_node_cell_selects_a_node_of_the_world_it_belongs_to_data()
{
    QTest::addColumn<bool>("world_loaded");
    QTest::addColumn<int>("owner");
    QTest::addColumn<QString>("node");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<QString>("selected");

    const int none = QMessageBox::NoButton;
    // The world is loaded: its node by id.
    QTest::newRow("a node of the loaded world") << true << 801 << "crate" << none << false << "crate 2";
    // A node of the model's own node file has id 1, which in the loaded
    // world is house_ref: never taken; the nodes of that name are offered.
    QTest::newRow("a node of another file, by name")
            << true << 701 << "crate" << int(QMessageBox::Yes) << true << "crate 2";
    QTest::newRow("by name declined") << true << 701 << "crate" << int(QMessageBox::No) << true << "";
    QTest::newRow("no world loaded") << false << 801 << "crate" << none << false << "";
}

void ViewerTest::a_node_cell_selects_a_node_of_the_world_it_belongs_to()
{
    QFETCH(bool, world_loaded);
    QFETCH(int, owner);
    QFETCH(QString, node);
    QFETCH(int, answer);
    QFETCH(bool, asked);
    QFETCH(QString, selected);

    if (world_loaded)
        QVERIFY(Velmora::World::load("worlds/level1"));
    // metal.mat is used by level1.world in node "crate" 2 and by the node
    // runtime of crate.model in its node "crate" 1.
    show_deps::UsingThisOneWindow *window = show_deps::showUsingThisOneWindow(usersOf({guid('a', 203)}));
    const int row = rowOf(*window->tableData(), guid('a', owner), node);
    QVERIFY(row >= 0);
    test::MessageBoxes boxes;
    boxes.answer(QMessageBox::StandardButton(answer));

    window->table()->selectionModel()->select(window->model()->index(row, 2), QItemSelectionModel::ClearAndSelect);
    QCOMPARE(!boxes.boxes().isEmpty(), asked);
    QCOMPARE(Editor::SelectionAction::applyCount(), 1);
    const auto *nodes = dynamic_cast<const Editor::SelectorNodes *>(Editor::SelectionAction::lastApplied());
    QStringList names;
    if (nodes) {
        for (const Velmora::Ptr<Velmora::Node> &n : nodes->getNodes())
            names << QStringLiteral("%1 %2").arg(QString::fromUtf8(n->getName())).arg(n->getID());
    }
    QCOMPARE(names.join(QLatin1Char(',')), selected);
}

void ViewerTest::the_context_menu_starts_a_query_on_the_selected_asset_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("title");
    QTest::newRow("assets using it") << 1 << "Show Assets Using This One"
                                     << "Assets Using This One";
    QTest::newRow("assets it uses") << 0 << "Show Assets Used"
                                    << "Assets Used";
    QTest::newRow("no menu on a node cell") << 2 << ""
                                            << "";
}

void ViewerTest::the_context_menu_starts_a_query_on_the_selected_asset()
{
    QFETCH(int, column);
    QFETCH(QString, action);
    QFETCH(QString, title);

    show_deps::UsingThisOneWindow *window = show_deps::showUsingThisOneWindow(usersOf({guid('a', 110)}));
    const int row = rowOf(*window->tableData(), guid('a', 601), QStringLiteral("walls"));
    window->table()->selectionModel()->select(window->model()->index(row, column), QItemSelectionModel::ClearAndSelect);

    const int windows = QApplication::topLevelWidgets().size();
    QStringList offered;
    QTimer::singleShot(50, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu)
            return;
        for (QAction *item : menu->actions()) {
            offered << item->text();
            if (item->text() == action)
                item->trigger();
        }
        menu->close();
    });
    const QRect cell = window->table()->visualRect(window->model()->index(row, column));
    emit window->table()->customContextMenuRequested(cell.center());
    QTest::qWait(100);

    if (action.isEmpty()) {
        QVERIFY(offered.isEmpty());
        QVERIFY(!show_deps::progressDialog());
        QCOMPARE(QApplication::topLevelWidgets().size(), windows);
        return;
    }
    QCOMPARE(offered, (QStringList{"Show Assets Using This One", "Show Assets Used"}));
    // The new query opens its own window.
    QTRY_VERIFY(QApplication::topLevelWidgets().size() > windows);
    QWidget *opened = nullptr;
    QTRY_VERIFY((opened = title == QLatin1String("Assets Used")
                         ? static_cast<QWidget *>(findWindow<show_deps::UsedWindow>("AssetsUsed"))
                         : findWindow<show_deps::UsingThisOneWindow>("AssetsUsingThisOne", window)));
    QCOMPARE(opened->windowTitle(), title);
}

void ViewerTest::a_removed_asset_leaves_the_tables_and_the_table_selection_only()
{
    show_deps::UsingThisOneWindow *window
            = show_deps::showUsingThisOneWindow(usersOf({guid('a', 110), guid('a', 601)}));
    QTableView *table = window->table();
    // stone_d.png has seven rows, three of them house.node's; house.node one.
    QCOMPARE(table->rowSpan(0, 0), 7);
    const int house = rowOf(*window->tableData(), guid('a', 601), QString());
    table->selectionModel()->select(window->model()->index(house, 1), QItemSelectionModel::ClearAndSelect);
    const int applied = Editor::SelectionAction::applyCount();

    emit fixture_.assets()->removed(guid('a', 601));
    QCOMPARE(table->model()->rowCount(), 4);
    QCOMPARE(table->rowSpan(0, 0), 4);
    QVERIFY(table->selectionModel()->selectedIndexes().isEmpty());
    QCOMPARE(Editor::SelectionAction::applyCount(), applied);
    for (int r = 0; r < 4; ++r)
        QVERIFY(window->tableData()->getSubRow(r).guid != guid('a', 601));
}

void ViewerTest::a_changed_asset_is_renamed_in_every_open_window()
{
    show_deps::UsingThisOneWindow *first = show_deps::showUsingThisOneWindow(usersOf({guid('a', 110)}));
    show_deps::UsingThisOneWindow *second = show_deps::showUsingThisOneWindow(usersOf({guid('a', 120)}));
    QSignalSpy first_changed(first->model(), &QAbstractItemModel::dataChanged);
    QSignalSpy second_changed(second->model(), &QAbstractItemModel::dataChanged);
    emit fixture_.assets()->moved(guid('a', 110));
    QCOMPARE(first_changed.count(), first->model()->rowCount());
    QCOMPARE(second_changed.count(), 0);
    emit fixture_.assets()->changed(guid('a', 601));
    QCOMPARE(first_changed.count(), first->model()->rowCount() + 3);
}

void ViewerTest::a_window_without_data_stays_empty()
{
    inastest::LogCapture log;
    show_deps::UsedWindow used(nullptr);
    show_deps::UsingThisOneWindow using_this_one(nullptr);
    QCOMPARE(log.lines().filter(QStringLiteral("SOFT ASSERT")),
             (QStringList{"SOFT ASSERT: \"data_\" in file lib/editor/show_assets_dependencies/ui/UsedWindow, line 47",
                          "SOFT ASSERT: \"data_\" in file lib/editor/show_assets_dependencies/ui/UsingThisOneWindow, "
                          "line 54"}));
    for (QWidget *window : {static_cast<QWidget *>(&used), static_cast<QWidget *>(&using_this_one)}) {
        QVERIFY(window->windowTitle().isEmpty());
        QVERIFY(!window->layout());
    }
    used.assetRemoved(guid('a', 110));
    used.assetChanged(guid('a', 110));
    using_this_one.assetRemoved(guid('a', 110));
    using_this_one.assetChanged(guid('a', 110));
}

QTEST_MAIN(ViewerTest)
#include "tst_viewer.moc"
