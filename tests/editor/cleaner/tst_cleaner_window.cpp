// The Cleaner window driven offscreen over a copy of the cleaner's test
// project: Refresh and its tables, the selection hand-over, every deletion
// with its confirmation answered both ways, and the guards that keep it from
// deleting what is still needed, or half of it (the ignore list saved after a
// Refresh, files that could not be read, a change on disk after the Refresh,
// a refused or failing removal, a collection cancelled or outlived by its
// window, and the Delete All rounds).

#include "cleaner_fixture.h"

#include <editor/cleaner/collector/collector_job.h>
#include <editor/cleaner/ignore_list/ignore_list.h>
#include <editor/cleaner/model/lost_assets_table_model.h>
#include <editor/cleaner/model/unused_assets_table_model.h>
#include <editor/cleaner/ui/cleaner_window.h>

#include <editor_core/WorldControls.h>
#include <editor_core/core/ProgressDialog.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/AssetManagerPrivate.h>
#include <editor_core/editor/Selection.h>
#include <editor_core/editor/SelectionAction.h>
#include <editor_core/tbb/Queue.h>

#include <log_capture.h>
#include <thread_refusal.h>

#include <velmora/World.h>

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using inastest::guid;

namespace {

class BlockingJob : public tbb::QJob
{
public:
    void run(const tbb::JobPtr &) override { gate.acquire(); }
    QSemaphore gate;
};

int progressDialogCount()
{
    int count = 0;
    for (QWidget *widget : QApplication::allWidgets())
        count += qobject_cast<core::ProgressDialog *>(widget) ? 1 : 0;
    return count;
}

} // namespace

class CleanerWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void cleanupTestCase();
    void refresh_fills_sorted_tables_and_the_buttons_and_selection_follow();
    void a_lost_row_selects_its_node_only_in_the_loaded_world_data();
    void a_lost_row_selects_its_node_only_in_the_loaded_world();
    void delete_selected_and_delete_listed_remove_only_the_confirmed_files();
    void a_saved_ignore_list_protects_its_rows_before_delete_listed();
    void unread_files_or_a_changed_project_block_delete_all_and_warn_before_deleting_data();
    void unread_files_or_a_changed_project_block_delete_all_and_warn_before_deleting();
    void a_row_that_turned_into_a_link_to_outside_is_skipped_with_a_note();
    void a_linked_world_outside_is_named_before_deleting_and_stops_delete_all();
    void a_cancelled_or_abandoned_collection_shows_nothing_and_reaches_no_window();
    void delete_all_removes_round_after_round_until_none_is_left_data();
    void delete_all_removes_round_after_round_until_none_is_left();
    void delete_all_stops_when_an_asset_cannot_be_deleted();
    void a_change_on_disk_after_refresh_warns_before_deleting_data();
    void a_change_on_disk_after_refresh_warns_before_deleting();
    void an_edit_in_place_with_size_and_times_put_back_still_warns_data();
    void an_edit_in_place_with_size_and_times_put_back_still_warns();
    void an_asset_that_fails_to_delete_stays_whole_and_is_marked_data();
    void an_asset_that_fails_to_delete_stays_whole_and_is_marked();
    void an_unused_asset_leading_outside_is_not_listed_and_blocks_nothing();

private:
    // A fresh window with the test's answers: confirmations answered from
    // answers_ (true when it runs out), messages recorded in told_.
    std::unique_ptr<cleaner::CleanerWindow> makeWindow();
    void refresh(cleaner::CleanerWindow &window);
    QStringList unusedRows(const cleaner::CleanerWindow &window) const;
    QMap<QString, QByteArray> checksums() const;
    // The files of assets (their file and meta) by data-relative path.
    QStringList filesOf(const QStringList &asset_paths) const;

    QTemporaryDir dir_;
    inastest::AnalysisFixture fixture_;
    Editor::Selection selection_;
    WorldControls world_controls_;
    QList<bool> answers_;
    QStringList asked_;
    QStringList told_;
};

void CleanerWindowTest::init()
{
    const QString root = dir_.path() + QStringLiteral("/") + QTest::currentTestFunction()
            + QString::fromLatin1(QTest::currentDataTag());
    QVERIFY(cleanertest::copyFolder(cleanertest::testDataPath(QStringLiteral("project")), root));
    // A world whose nodes hold lost references.
    QVERIFY(test::writeAsset(root + QStringLiteral("/data/"), QStringLiteral("worlds/lamps.world"),
                             test::guidText('a', 901), 18,
                             "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<world version=\"1\">\n"
                             "\t<node type=\"NodeDummy\" id=\"7\" name=\"lamp\">\n"
                             "\t\t<lost>ddddd00000000000000000000000000000000009</lost>\n\t</node>\n"
                             "\t<lost>ddddd00000000000000000000000000000000008</lost>\n</world>\n"));
    QVERIFY(fixture_.start(root + QStringLiteral("/data")));
    depr::g.world_controls = &world_controls_;
    answers_.clear();
    asked_.clear();
    told_.clear();
    Editor::SelectionAction::resetLastApplied();
}

void CleanerWindowTest::cleanup()
{
    fixture_.assets()->setRemovalFaultForTests(nullptr);
    Velmora::World::quit();
    depr::g.world_controls = nullptr;
}

void CleanerWindowTest::cleanupTestCase()
{
    tbb::Queue::instance()->shutdown();
    fixture_.stop();
}

std::unique_ptr<cleaner::CleanerWindow> CleanerWindowTest::makeWindow()
{
    auto window = std::make_unique<cleaner::CleanerWindow>();
    window->setAsk([this](const QString &title, const QString &text, const QString &accept) {
        asked_ << title + QStringLiteral(" | ") + accept + QStringLiteral(" | ") + text;
        return answers_.isEmpty() ? true : answers_.takeFirst();
    });
    window->setTell([this](const QString &, const QString &text) { told_ << text; });
    window->show();
    return window;
}

void CleanerWindowTest::refresh(cleaner::CleanerWindow &window)
{
    window.findChild<QPushButton *>(QStringLiteral("refresh"))->click();
    QVERIFY(window.isCollecting());
    QTRY_VERIFY_WITH_TIMEOUT(!window.isCollecting(), 30000);
}

QStringList CleanerWindowTest::unusedRows(const cleaner::CleanerWindow &window) const
{
    QStringList rows;
    for (const Velmora::UGUID &guid : window.unusedModel()->assets())
        rows << fixture_.describe(guid);
    return rows;
}

QMap<QString, QByteArray> CleanerWindowTest::checksums() const
{
    return test::folderChecksums(fixture_.dataPath(), {QStringLiteral(".tamsel2/")});
}

QStringList CleanerWindowTest::filesOf(const QStringList &asset_paths) const
{
    QStringList files;
    for (const QString &path : asset_paths)
        files << path << path + QStringLiteral(".meta");
    files.sort();
    return files;
}

// What disappeared from the folder between two listings; empty when a file
// that stayed changed (then the test fails on the list).
static QStringList gone(const QMap<QString, QByteArray> &before, const QMap<QString, QByteArray> &after)
{
    QStringList removed;
    for (auto it = before.constBegin(); it != before.constEnd(); ++it) {
        if (!after.contains(it.key()))
            removed << it.key();
        else if (after.value(it.key()) != it.value())
            removed << QStringLiteral("changed: ") + it.key();
    }
    for (auto it = after.constBegin(); it != after.constEnd(); ++it) {
        if (!before.contains(it.key()))
            removed << QStringLiteral("added: ") + it.key();
    }
    removed.sort();
    return removed;
}

void CleanerWindowTest::refresh_fills_sorted_tables_and_the_buttons_and_selection_follow()
{
    auto window = makeWindow();
    auto *delete_selected = window->findChild<QPushButton *>(QStringLiteral("deleteSelected"));
    auto *delete_listed = window->findChild<QPushButton *>(QStringLiteral("deleteListed"));
    QVERIFY(!delete_selected->isEnabled());
    QVERIFY(!delete_listed->isEnabled());
    refresh(*window);

    // Every unused asset, ordered by pretty type name, then by file name.
    QStringList rows = unusedRows(*window);
    QVector<QPair<QString, QString>> keys;
    for (int row = 0; row < window->unusedModel()->rowCount(); ++row) {
        keys << qMakePair(window->unusedModel()->index(row, 1).data().toString(),
                          window->unusedModel()->index(row, 0).data().toString());
    }
    QVERIFY(std::is_sorted(keys.begin(), keys.end()));
    rows.sort();
    QStringList expected = cleanertest::readLines(cleanertest::testDataPath(QStringLiteral("expected_unused.txt")));
    expected.sort();
    QCOMPARE(rows, expected);

    // Per asset: references outside nodes first, then those of its nodes.
    QStringList lost;
    for (const cleaner::LostAssetRow &row : window->lostModel()->rows()) {
        lost << fixture_.describe(row.asset_guid) + QLatin1Char(' ') + fixture_.describe(row.lost_guid)
                        + QLatin1Char(' ') + row.node_name + QLatin1Char(' ') + QString::number(row.node_id);
    }
    QCOMPARE(lost.size(), 7);
    QVERIFY(lost.indexOf(QStringLiteral("nodes/house.node {d002}  -1"))
            < lost.indexOf(QStringLiteral("nodes/house.node {d001} inner 2")));
    QVERIFY(lost.indexOf(QStringLiteral("worlds/lamps.world {d008}  -1"))
            < lost.indexOf(QStringLiteral("worlds/lamps.world {d009} lamp 7")));
    QVERIFY(delete_listed->isEnabled());
    QVERIFY(!delete_selected->isEnabled());
    QVERIFY(window->statusText().contains(QStringLiteral("8 unused asset(s)")));

    // A selected row becomes the editor's selection; none clears it.
    window->unusedView()->selectRow(2);
    QVERIFY(delete_selected->isEnabled());
    const auto *selector = dynamic_cast<const Editor::SelectorGUIDs *>(Editor::SelectionAction::lastApplied());
    QVERIFY(selector);
    QCOMPARE(selector->getGUIDs().size(), 1);
    QCOMPARE(selector->getGUIDs().first(), window->unusedModel()->guidAt(2));
    window->unusedView()->clearSelection();
    QVERIFY(!delete_selected->isEnabled());
    QVERIFY(!Editor::Selection::getSelector() || Editor::Selection::getSelector()->isEmpty());
}

void CleanerWindowTest::a_lost_row_selects_its_node_only_in_the_loaded_world_data()
{
    QTest::addColumn<QString>("loaded");
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("selected");
    // What changed in the loaded world since it was saved: "id", "both".
    QTest::addColumn<QString>("changed");
    const QString lamp = QStringLiteral("worlds/lamps.world {d009} lamp 7");
    QTest::newRow("node of the loaded world") << "worlds/lamps" << lamp << "node lamp 7" << QString();
    QTest::newRow("node found by name") << "worlds/lamps" << lamp << "node lamp 8"
                                        << "id";
    QTest::newRow("node found neither by id nor by name") << "worlds/lamps" << lamp << "asset worlds/lamps.world"
                                                          << "both";
    QTest::newRow("node of a world not loaded") << "worlds/level" << lamp << "asset worlds/lamps.world" << QString();
    QTest::newRow("no world loaded") << "" << lamp << "asset worlds/lamps.world" << QString();
    QTest::newRow("outside nodes") << "worlds/lamps"
                                   << "worlds/lamps.world {d008}  -1"
                                   << "asset worlds/lamps.world" << QString();
    QTest::newRow("node of another asset") << "worlds/lamps"
                                           << "nodes/house.node {d001} inner 2"
                                           << "asset nodes/house.node" << QString();
}

void CleanerWindowTest::a_lost_row_selects_its_node_only_in_the_loaded_world()
{
    QFETCH(QString, loaded);
    QFETCH(QString, row);
    QFETCH(QString, selected);
    QFETCH(QString, changed);
    if (!loaded.isEmpty())
        QVERIFY(Velmora::World::load(loaded.toUtf8().constData()));
    if (!changed.isEmpty()) {
        const Velmora::Ptr<Velmora::Node> node = Velmora::World::getNodeById(7);
        QVERIFY(node);
        node->setID(8);
        if (changed == QLatin1String("both"))
            node->setName("lantern");
    }
    auto window = makeWindow();
    refresh(*window);
    int index = -1;
    const std::vector<cleaner::LostAssetRow> &rows = window->lostModel()->rows();
    for (int i = 0; i < int(rows.size()); ++i) {
        const QString text = fixture_.describe(rows[size_t(i)].asset_guid) + QLatin1Char(' ')
                + fixture_.describe(rows[size_t(i)].lost_guid) + QLatin1Char(' ') + rows[size_t(i)].node_name
                + QLatin1Char(' ') + QString::number(rows[size_t(i)].node_id);
        if (text == row)
            index = i;
    }
    QVERIFY(index >= 0);
    window->lostView()->selectRow(index);

    QString what;
    const Editor::Selector *applied = Editor::SelectionAction::lastApplied();
    if (const auto *nodes = dynamic_cast<const Editor::SelectorNodes *>(applied)) {
        for (const Velmora::Ptr<Velmora::Node> &node : nodes->getNodes())
            what += QStringLiteral("node %1 %2").arg(QString::fromUtf8(node->getName())).arg(node->getID());
    } else if (const auto *guids = dynamic_cast<const Editor::SelectorGUIDs *>(applied)) {
        for (const Velmora::UGUID &guid : guids->getGUIDs())
            what += QStringLiteral("asset ") + fixture_.describe(guid);
    }
    QCOMPARE(what, selected);
}

void CleanerWindowTest::delete_selected_and_delete_listed_remove_only_the_confirmed_files()
{
    auto window = makeWindow();
    refresh(*window);
    const QMap<QString, QByteArray> before = checksums();
    const int row = unusedRows(*window).indexOf(QStringLiteral("sounds/unused.wav"));
    window->unusedView()->selectRow(row);

    // "Cancel" deletes nothing.
    answers_ << false;
    window->findChild<QPushButton *>(QStringLiteral("deleteSelected"))->click();
    QCOMPARE(asked_.size(), 1);
    QVERIFY(asked_.first().startsWith(QStringLiteral("Delete Assets | Delete | Are you sure")));
    QTest::qWait(20);
    QCOMPARE(checksums(), before);
    QCOMPARE(window->unusedModel()->rowCount(), 8);

    // "Delete": the file and its meta go, and so do the row and the selection.
    answers_ << true;
    window->findChild<QPushButton *>(QStringLiteral("deleteSelected"))->click();
    QTRY_COMPARE(window->unusedModel()->rowCount(), 7);
    QVERIFY(!unusedRows(*window).contains(QStringLiteral("sounds/unused.wav")));
    QVERIFY(!window->unusedView()->selectionModel()->hasSelection());
    QVERIFY2(window->statusText().startsWith(QStringLiteral("7 unused asset(s)")), qPrintable(window->statusText()));
    QCOMPARE(gone(before, checksums()), filesOf({QStringLiteral("sounds/unused.wav")}));
    QVERIFY(fixture_.assets()->asset(fixture_.dataPath() + QStringLiteral("sounds/unused.wav")).isNull());

    // Delete Listed: everything still listed, nothing else.
    const QStringList listed = unusedRows(*window);
    window->findChild<QPushButton *>(QStringLiteral("deleteListed"))->click();
    QTRY_COMPARE(window->unusedModel()->rowCount(), 0);
    QVERIFY(!window->findChild<QPushButton *>(QStringLiteral("deleteListed"))->isEnabled());
    QCOMPARE(gone(before, checksums()), filesOf(listed + QStringList{QStringLiteral("sounds/unused.wav")}));
    for (const QString &path : listed)
        QVERIFY2(fixture_.assets()->asset(fixture_.dataPath() + path).isNull(), qPrintable(path));
}

void CleanerWindowTest::a_saved_ignore_list_protects_its_rows_before_delete_listed()
{
    auto window = makeWindow();
    refresh(*window);
    window->setIgnoreListRunner([] {
        return cleaner::IgnoreList::save(cleaner::IgnoreList::defaultPatterns() << QStringLiteral("/textures/*"));
    });
    window->findChild<QPushButton *>(QStringLiteral("showIgnoreList"))->click();
    QCOMPARE(unusedRows(*window).filter(QStringLiteral("textures/")), QStringList());
    QCOMPARE(window->unusedModel()->rowCount(), 6);
    QVERIFY2(window->statusText().startsWith(QStringLiteral("6 unused asset(s)")), qPrintable(window->statusText()));

    const QMap<QString, QByteArray> before = checksums();
    const QStringList listed = unusedRows(*window);
    window->findChild<QPushButton *>(QStringLiteral("deleteListed"))->click();
    QTRY_COMPARE(window->unusedModel()->rowCount(), 0);
    QCOMPARE(gone(before, checksums()), filesOf(listed));
    QVERIFY(QFile::exists(fixture_.dataPath() + QStringLiteral("textures/unused.png")));
}

void CleanerWindowTest::unread_files_or_a_changed_project_block_delete_all_and_warn_before_deleting_data()
{
    // Files made in the data folder, and their link targets ("-> target").
    QTest::addColumn<QStringList>("made");
    // A node file cut short: its references cannot be read.
    QTest::newRow("node file cut short") << QStringList{QStringLiteral("nodes/half.node")};
    // One FIFO reached through two material links, each read twice.
    QTest::newRow("FIFO linked twice as a material")
            << QStringList{QStringLiteral(".shared/mpipe"), QStringLiteral("materials/pipe.mat -> ../.shared/mpipe"),
                           QStringLiteral("materials/pipe2.mat -> ../.shared/mpipe")};
}

void CleanerWindowTest::unread_files_or_a_changed_project_block_delete_all_and_warn_before_deleting()
{
    QFETCH(QStringList, made);
    const QString data = fixture_.dataPath();
    for (const QString &file : made) {
        const QStringList link = file.split(QStringLiteral(" -> "));
        if (link.size() == 2)
            QVERIFY(::symlink(link.last().toUtf8().constData(), (data + link.first()).toUtf8().constData()) == 0);
        else if (file.endsWith(QLatin1String("pipe")))
            QVERIFY(QDir().mkpath(QFileInfo(data + file).path()) && test::makeFifo(data + file));
        else
            QVERIFY(test::writeAsset(data, file, test::guidText('a', 950), 1,
                                     "<nodes><node name=\"n\" id=\"1\"><mesh>textures/unused.png"));
    }
    QVERIFY(fixture_.rescan());

    auto window = makeWindow();
    refresh(*window);
    QCOMPARE(window->readFailures().size(), 1);
    QVERIFY(window->findChild<QLabel *>(QStringLiteral("warning"))->isVisible());

    // Delete All refuses without asking or collecting.
    window->findChild<QPushButton *>(QStringLiteral("deleteAll"))->click();
    QCOMPARE(asked_, QStringList());
    QCOMPARE(told_.size(), 1);
    QVERIFY2(told_.first().contains(QStringLiteral(" 1 file(s) could not be read")), qPrintable(told_.first()));
    QVERIFY(!window->isCollecting());

    // Gone before the folder is read again (a FIFO would make that wait);
    // the list still stands on the collection that could not read them.
    for (const QString &file : made) {
        const QString path = data + file.split(QStringLiteral(" -> ")).first();
        QVERIFY(QFile::remove(path));
        QFile::remove(path + QStringLiteral(".meta"));
    }

    // Delete Listed asks with the reason; declined, nothing happens.
    const QMap<QString, QByteArray> before = checksums();
    answers_ << false;
    window->findChild<QPushButton *>(QStringLiteral("deleteListed"))->click();
    QCOMPARE(asked_.size(), 1);
    QVERIFY(asked_.first().contains(QStringLiteral("1 file(s) could not be read")));
    QCOMPARE(checksums(), before);

    // Without read failures, a change after the Refresh is the reason.
    QVERIFY(fixture_.rescan());
    refresh(*window);
    QCOMPARE(window->readFailures().size(), 0);
    QCOMPARE(window->doubts(), QStringList());
    world_controls_.setDirty(true);
    QVERIFY(window->doubts().join(QLatin1Char(' ')).contains(QStringLiteral("unsaved changes")));
    world_controls_.setDirty(false);
    emit fixture_.assets()->changed(guid('a', 101));
    answers_ << false;
    window->findChild<QPushButton *>(QStringLiteral("deleteListed"))->click();
    QCOMPARE(asked_.size(), 2);
    QVERIFY(asked_.last().contains(QStringLiteral("The project changed after the list was made")));
}

void CleanerWindowTest::a_row_that_turned_into_a_link_to_outside_is_skipped_with_a_note()
{
    auto window = makeWindow();
    refresh(*window);
    // One listed file turns into a link to a file outside the data folder:
    // the asset manager would refuse it, so it is left out and the rest go.
    QTemporaryDir outside;
    const QString target = outside.path() + QStringLiteral("/precious.wav");
    QVERIFY(QFile::copy(fixture_.dataPath() + QStringLiteral("sounds/unused.wav"), target));
    QVERIFY(QFile::remove(fixture_.dataPath() + QStringLiteral("sounds/unused.wav")));
    QVERIFY(QFile::link(target, fixture_.dataPath() + QStringLiteral("sounds/unused.wav")));
    const QMap<QString, QByteArray> before = checksums();
    QStringList listed = unusedRows(*window);
    listed.removeOne(QStringLiteral("sounds/unused.wav"));

    window->findChild<QPushButton *>(QStringLiteral("deleteListed"))->click();
    QCOMPARE(asked_.size(), 1);
    QVERIFY2(asked_.first().contains(QStringLiteral("Changed: \"sounds/unused.wav\"")), qPrintable(asked_.first()));
    QCOMPARE(told_.size(), 1);
    QVERIFY2(told_.first().startsWith(QStringLiteral("1 asset(s) could not be deleted"))
                     && told_.first().contains(QStringLiteral("unused.wav: ")),
             qPrintable(told_.first()));
    QTRY_COMPARE(unusedRows(*window), QStringList{QStringLiteral("sounds/unused.wav")});
    QVERIFY(window->unusedModel()->note(window->unusedModel()->guidAt(0)).contains(QStringLiteral("outside")));
    QCOMPARE(gone(before, checksums()), filesOf(listed));
    QVERIFY(QFile::exists(target));
    QVERIFY(QFileInfo(fixture_.dataPath() + QStringLiteral("sounds/unused.wav")).isSymLink());
}

void CleanerWindowTest::a_linked_world_outside_is_named_before_deleting_and_stops_delete_all()
{
    // A world kept outside the data folder, reached through a link inside
    // it, names a listed texture; it is never read.
    QTemporaryDir outside;
    const QString target = outside.path() + QStringLiteral("/far.world");
    QFile far(target);
    QVERIFY(far.open(QIODevice::WriteOnly)
            && far.write("<world version=\"1\"><texture>textures/unused.png</texture></world>\n") > 0);
    far.close();
    QVERIFY(QFile::link(target, fixture_.dataPath() + QStringLiteral("worlds/far.world")));

    auto window = makeWindow();
    refresh(*window);
    QVERIFY2(window->statusText().contains(QStringLiteral("1 symbolic link(s) in the data folder")),
             qPrintable(window->statusText()));
    QCOMPARE(window->readFailures().size(), 1);
    const QMap<QString, QByteArray> before = checksums();
    answers_ << false;
    window->findChild<QPushButton *>(QStringLiteral("deleteListed"))->click();
    QCOMPARE(asked_.size(), 1);
    QVERIFY2(asked_.first().contains(QStringLiteral("The first: \"worlds/far.world\" is a symbolic link that leads "
                                                    "outside the data folder")),
             qPrintable(asked_.first()));
    window->findChild<QPushButton *>(QStringLiteral("deleteAll"))->click();
    QCOMPARE(told_.size(), 1);
    QVERIFY(!window->isCollecting());
    QCOMPARE(checksums(), before);
}

void CleanerWindowTest::a_cancelled_or_abandoned_collection_shows_nothing_and_reaches_no_window()
{
    // Cancelled: both tables stay empty and the window says so.
    auto window = makeWindow();
    auto blocker = std::make_shared<BlockingJob>();
    QVERIFY(tbb::Queue::instance()->enqueue(blocker));
    window->startCollect();
    QPointer<core::ProgressDialog> dialog = window->progressDialog();
    QVERIFY(dialog);
    dialog->cancelButton()->click();
    blocker->gate.release();
    QTRY_VERIFY_WITH_TIMEOUT(!window->isCollecting(), 30000);
    QVERIFY(!dialog);
    QCOMPARE(window->unusedModel()->rowCount(), 0);
    QCOMPARE(window->lostModel()->rowCount(), 0);
    QCOMPARE(window->statusText(), QStringLiteral("The collection was cancelled."));

    // Cancelled in the middle of Delete All: the loop ends, nothing removed.
    const QMap<QString, QByteArray> before = checksums();
    auto blocker2 = std::make_shared<BlockingJob>();
    QVERIFY(tbb::Queue::instance()->enqueue(blocker2));
    window->deleteAll();
    QVERIFY(window->isDeletingAll());
    window->progressDialog()->cancelButton()->click();
    blocker2->gate.release();
    QTRY_VERIFY_WITH_TIMEOUT(!window->isCollecting(), 30000);
    QVERIFY(!window->isDeletingAll());
    QCOMPARE(checksums(), before);

    // The window closed while its collection waits: the job is cancelled.
    auto blocker_close = std::make_shared<BlockingJob>();
    QVERIFY(tbb::Queue::instance()->enqueue(blocker_close));
    window->startCollect();
    std::shared_ptr<cleaner::CollectorJob> closed_job = window->currentJob();
    QVERIFY(closed_job);
    window->close();
    blocker_close->gate.release();
    QTRY_VERIFY_WITH_TIMEOUT(!window->isCollecting(), 30000);
    QCOMPARE(closed_job->getStatus(), tbb::JobInterface::STATUS_CANCELLED);
    QCOMPARE(window->unusedModel()->rowCount(), 0);

    // The window destroyed while its collection waits: the job is cancelled
    // and its end reaches nothing.
    auto blocker3 = std::make_shared<BlockingJob>();
    QVERIFY(tbb::Queue::instance()->enqueue(blocker3));
    window->startCollect();
    dialog = window->progressDialog();
    std::shared_ptr<cleaner::CollectorJob> job = window->currentJob();
    QVERIFY(job);
    QSignalSpy done(job.get(), &tbb::QJob::done);
    window.reset();
    QVERIFY(!dialog);
    blocker3->gate.release();
    QVERIFY(done.wait(30000));
    QCOMPARE(job->getStatus(), tbb::JobInterface::STATUS_CANCELLED);
    QTest::qWait(20);

    // Refused, the system giving the job queue no thread: the window tells
    // the cause, and the tables stay those the last collection made.
    window = makeWindow();
    refresh(*window);
    const QStringList rows = unusedRows(*window);
    QVERIFY(!rows.isEmpty());
    tbb::Queue::instance()->shutdown();
    {
        test::ThreadRefusal refusal;
        QVERIFY(refusal.isActive());
        window->startCollect();
    }
    QVERIFY(!window->isCollecting());
    QVERIFY2(window->statusText().startsWith(QLatin1String("The collection could not be started: the system gives "
                                                           "the editor no thread")),
             qPrintable(window->statusText()));
    QCOMPARE(unusedRows(*window), rows);
}

void CleanerWindowTest::delete_all_removes_round_after_round_until_none_is_left_data()
{
    QTest::addColumn<bool>("end_inside_remove");
    QTest::newRow("end after remove") << false;
    QTest::newRow("end inside remove") << true;
}

void CleanerWindowTest::delete_all_removes_round_after_round_until_none_is_left()
{
    QFETCH(bool, end_inside_remove);
    auto window = makeWindow();
    Editor::AssetManagerPrivate *assets = fixture_.assets();
    QHash<Velmora::UGUID, QString> paths;
    for (const as::Asset &asset : assets->assets())
        paths.insert(asset.getGUID(), QDir(fixture_.dataPath()).relativeFilePath(assets->filePath(asset)));
    const QMap<QString, QByteArray> before = checksums();

    // Every removal happens with no progress dialog left, and an end that a
    // removal emits from inside itself must not start the next round there.
    QStringList removed;
    int dialogs_during_removal = 0;
    connect(assets, &Editor::AssetManagerPrivate::removed, this, [&](const Velmora::UGUID &guid) {
        removed << paths.value(guid);
        dialogs_during_removal += progressDialogCount();
        if (end_inside_remove)
            emit assets->end();
    });
    window->findChild<QPushButton *>(QStringLiteral("deleteAll"))->click();
    QCOMPARE(asked_.size(), 1);
    QVERIFY(asked_.first().startsWith(QStringLiteral("Delete All Unused Assets | Start | This operation")));
    QTRY_VERIFY_WITH_TIMEOUT(!window->isDeletingAll() && !window->isCollecting(), 60000);
    disconnect(assets, &Editor::AssetManagerPrivate::removed, this, nullptr);

    QCOMPARE(told_, QStringList());
    QCOMPARE(dialogs_during_removal, 0);
    QCOMPARE(progressDialogCount(), 0);
    // The base material goes in the round after its only inheritor.
    const cleaner::DeleteAllRounds &rounds = window->deleteAllRounds();
    QVERIFY2(rounds.rounds() >= 2, qPrintable(QString::number(rounds.rounds())));
    QCOMPARE(rounds.removedTotal(), removed.size());
    QVERIFY(removed.indexOf(QStringLiteral("materials/child.mat"))
            < removed.indexOf(QStringLiteral("materials/clean_base.mat")));
    QVERIFY(window->statusText().contains(QStringLiteral("removed in %1 round(s)").arg(rounds.rounds())));
    QCOMPARE(window->unusedModel()->rowCount(), 0);

    // Exactly the removed assets' files are gone; a last Refresh finds none.
    removed.sort();
    QCOMPARE(gone(before, checksums()), filesOf(removed));
    refresh(*window);
    QCOMPARE(window->unusedModel()->rowCount(), 0);
}

void CleanerWindowTest::delete_all_stops_when_an_asset_cannot_be_deleted()
{
    // A folder that cannot be written to: its file is never deleted.
    const QString sounds = fixture_.dataPath() + QStringLiteral("sounds");
    QVERIFY(::chmod(sounds.toUtf8().constData(), 0555) == 0);
    auto window = makeWindow();
    window->deleteAll();
    QTRY_VERIFY_WITH_TIMEOUT(!window->isDeletingAll() && !window->isCollecting(), 60000);
    ::chmod(sounds.toUtf8().constData(), 0755);

    QCOMPARE(told_.size(), 1);
    QVERIFY2(told_.first().contains(QStringLiteral("could not be deleted in round 1"))
                     && told_.first().contains(QStringLiteral("unused.wav: cannot delete")),
             qPrintable(told_.first()));
    QVERIFY(QFile::exists(sounds + QStringLiteral("/unused.wav")));
    QVERIFY(window->deleteAllRounds().rounds() >= 1);
}

void CleanerWindowTest::a_change_on_disk_after_refresh_warns_before_deleting_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("named");
    // Each change makes a listed asset used (or protected) without the asset
    // manager hearing of it.
    QTest::newRow("world saved with a listed texture placed in it")
            << "data/worlds/level.world"
            << QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<world version=\"1\">\n"
                          "\t<texture>textures/unused.png</texture>\n</world>\n")
            << "worlds/level.world";
    QTest::newRow("source file naming a listed sound added")
            << "source/code/extra.cpp" << QByteArray("const char *s = \"unused.wav\";\n") << "/source/code";
    QTest::newRow("ignore list written") << "data/.tamsel2/.cleanerignore" << QByteArray("/sounds/*\n")
                                         << ".tamsel2/.cleanerignore";
    // Files that appeared (a copy, a pull) were never read.
    const QByteArray user("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<world version=\"1\">\n"
                          "\t<texture>textures/unused.png</texture>\n</world>\n");
    QTest::newRow("world using a listed texture added") << "data/worlds/added.world" << user << "worlds/added.world";
    QTest::newRow("world using a listed texture added in a new folder")
            << "data/levels/pulled/added.world" << user << "levels/pulled/added.world";
    // Content "-> target": a link made. The data folder holds .stash/, with
    // a world using a listed texture, and worlds/shared -> ../.shared/worlds
    // (which holds the empty folder deep/).
    QTest::newRow("link to a hidden folder holding a world added")
            << "data/worlds/more" << QByteArray("-> ../.stash") << "worlds/more";
    QTest::newRow("world using a listed texture added in a hidden folder a link leads to")
            << "data/.shared/worlds/deep/added.world" << user << "worlds/shared/deep/added.world";
}

void CleanerWindowTest::a_change_on_disk_after_refresh_warns_before_deleting()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, content);
    QFETCH(QString, named);
    const QString data = fixture_.dataPath();
    QVERIFY(QDir().mkpath(data + QStringLiteral(".shared/worlds/deep"))
            && QDir().mkpath(data + QStringLiteral(".stash")));
    QFile stashed(data + QStringLiteral(".stash/uses.world"));
    QVERIFY(stashed.open(QIODevice::WriteOnly)
            && stashed.write("<world version=\"1\"><texture>textures/unused.png</texture></world>") > 0);
    stashed.close();
    QVERIFY(QFile::link(QStringLiteral("../.shared/worlds"), data + QStringLiteral("worlds/shared")));
    auto window = makeWindow();
    refresh(*window);

    // The cleaner's own deletions change nothing it read.
    window->unusedView()->selectRow(0);
    window->findChild<QPushButton *>(QStringLiteral("deleteSelected"))->click();
    QTRY_COMPARE(window->unusedModel()->rowCount(), 7);
    answers_ << false;
    window->findChild<QPushButton *>(QStringLiteral("deleteListed"))->click();
    QCOMPARE(asked_.size(), 2);
    QVERIFY2(!asked_.last().contains(QStringLiteral("Warning")), qPrintable(asked_.last()));

    // A change on disk: both deletions warn with the stale-table reason.
    const QString path = data + QStringLiteral("../") + file;
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile changed(path);
    if (content.startsWith("-> ")) {
        QVERIFY(QFile::link(QString::fromUtf8(content.mid(3)), path));
    } else {
        QVERIFY(changed.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(changed.write(content), qint64(content.size()));
        changed.close();
    }
    const QMap<QString, QByteArray> before = checksums();
    for (const QString &name : {QStringLiteral("deleteListed"), QStringLiteral("deleteSelected")}) {
        window->unusedView()->selectRow(0);
        answers_ << false;
        window->findChild<QPushButton *>(name)->click();
        QVERIFY2(asked_.last().contains(QStringLiteral("| Warning:\nThe project changed after the list was made"))
                         && asked_.last().contains(named),
                 qPrintable(asked_.last()));
    }
    QCOMPARE(asked_.size(), 4);
    QTest::qWait(20);
    QCOMPARE(checksums(), before);
    QCOMPARE(window->unusedModel()->rowCount(), 7);
}

void CleanerWindowTest::an_edit_in_place_with_size_and_times_put_back_still_warns_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    // The new text is padded to the old size with line ends.
    QTest::newRow("world") << "worlds/level.world" << QByteArray()
                           << QByteArray("<world version=\"1\"><texture>textures/unused.png</texture></world>");
    QTest::newRow("ignore list") << ".tamsel2/.cleanerignore" << QByteArray("/nothing/*\n") << QByteArray("/sounds/*");
}

void CleanerWindowTest::an_edit_in_place_with_size_and_times_put_back_still_warns()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    const QString path = fixture_.dataPath() + file;
    if (!before.isEmpty()) {
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QFile written(path);
        QVERIFY(written.open(QIODevice::WriteOnly) && written.write(before) == before.size());
    }
    auto window = makeWindow();
    refresh(*window);
    QVERIFY(window->unusedModel()->rowCount() > 0);
    QCOMPARE(window->doubts(), QStringList());

    // Rewritten in place (same inode, same size), then its times put back
    // as cp -p, rsync --inplace -t or touch -r do.
    struct stat old_info;
    QVERIFY(::stat(QFile::encodeName(path).constData(), &old_info) == 0);
    QTest::qWait(20); // past the clock's step, so that the change time moves
    QVERIFY(after.size() <= old_info.st_size);
    after.append(QByteArray(int(old_info.st_size) - after.size(), '\n'));
    QFile rewritten(path);
    QVERIFY(rewritten.open(QIODevice::ReadWrite) && rewritten.write(after) == after.size());
    rewritten.close();
    const struct timespec times[2] = {old_info.st_atim, old_info.st_mtim};
    QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0);

    const QMap<QString, QByteArray> files = checksums();
    for (const QString &name : {QStringLiteral("deleteSelected"), QStringLiteral("deleteListed")}) {
        window->unusedView()->selectRow(0);
        answers_ << false;
        window->findChild<QPushButton *>(name)->click();
        QVERIFY2(asked_.last().contains(QStringLiteral("| Warning:\nThe project changed after the list was made"))
                         && asked_.last().contains(QStringLiteral("Changed: \"") + file + QLatin1Char('"')),
                 qPrintable(asked_.last()));
    }
    QCOMPARE(asked_.size(), 2);
    QCOMPARE(checksums(), files);
}

void CleanerWindowTest::an_asset_that_fails_to_delete_stays_whole_and_is_marked_data()
{
    QTest::addColumn<bool>("delete_all");
    QTest::newRow("Delete Listed") << false;
    QTest::newRow("Delete All") << true;
}

void CleanerWindowTest::an_asset_that_fails_to_delete_stays_whole_and_is_marked()
{
    QFETCH(bool, delete_all);
    // The second file of the sound (its meta file) fails as a busy file
    // would.
    const QString sound = fixture_.dataPath() + QStringLiteral("sounds/unused.wav");
    fixture_.assets()->setRemovalFaultForTests(
            [sound](const QString &file) { return file == sound + QStringLiteral(".meta"); });
    const QMap<QString, QByteArray> before = checksums();
    auto window = makeWindow();
    if (delete_all) {
        window->findChild<QPushButton *>(QStringLiteral("deleteAll"))->click();
        QTRY_VERIFY_WITH_TIMEOUT(!window->isDeletingAll() && !window->isCollecting(), 60000);
    } else {
        refresh(*window);
        window->findChild<QPushButton *>(QStringLiteral("deleteListed"))->click();
    }

    // Told, listed and marked with why; the others are gone.
    QCOMPARE(told_.size(), 1);
    QVERIFY2(told_.first().contains(QStringLiteral("1 asset(s) could not be deleted"))
                     && told_.first().contains(QStringLiteral("unused.wav: cannot delete \"") + sound
                                               + QStringLiteral(".meta\"")),
             qPrintable(told_.first()));
    QTRY_COMPARE(unusedRows(*window), QStringList{QStringLiteral("sounds/unused.wav")});
    const Velmora::UGUID sound_guid = window->unusedModel()->guidAt(0);
    QVERIFY(window->unusedModel()->note(sound_guid).startsWith(QStringLiteral("Not deleted: ")));
    QCOMPARE(window->unusedModel()->index(0, 0).data(Qt::ToolTipRole).toString(),
             window->unusedModel()->note(sound_guid));
    QVERIFY2(window->statusText().contains(QStringLiteral("1 asset(s) could not be deleted")),
             qPrintable(window->statusText()));
    const QString screenshots = qEnvironmentVariable("VELMORA_SCREENSHOT_DIR");
    if (!screenshots.isEmpty() && !delete_all) {
        window->resize(640, 420);
        QVERIFY(window->grab().save(screenshots + QStringLiteral("/cleaner_not_deleted.png")));
    }

    // The sound is whole, on disk and in the asset manager, also after a
    // rescan: no orphan is left.
    const QMap<QString, QByteArray> after = checksums();
    for (const QString &name : {QStringLiteral("sounds/unused.wav"), QStringLiteral("sounds/unused.wav.meta")})
        QCOMPARE(after.value(name), before.value(name));
    QCOMPARE(after.keys().filter(QStringLiteral(".removing")), QStringList());
    QVERIFY(fixture_.rescan());
    QCOMPARE(fixture_.assets()->filePath(sound_guid), sound);
}

void CleanerWindowTest::an_unused_asset_leading_outside_is_not_listed_and_blocks_nothing()
{
    // The sound's file becomes a link to a file outside the data folder.
    QTemporaryDir outside;
    const QString target = outside.path() + QStringLiteral("/precious.wav");
    const QString sound = fixture_.dataPath() + QStringLiteral("sounds/unused.wav");
    QVERIFY(QFile::copy(sound, target));
    QVERIFY(QFile::remove(sound));
    QVERIFY(QFile::link(target, sound));
    test::LogCapture log;

    auto window = makeWindow();
    refresh(*window);
    QVERIFY(!unusedRows(*window).contains(QStringLiteral("sounds/unused.wav")));
    QCOMPARE(window->unusedModel()->rowCount(), 7);
    QVERIFY2(window->statusText().contains(QStringLiteral("1 unused asset(s) are not listed")),
             qPrintable(window->statusText()));
    QVERIFY2(log.text().contains("\"sounds/unused.wav\" is not listed as unused"), qPrintable(log.text()));

    // Delete All goes to its end; the link and what it leads to stay.
    window->findChild<QPushButton *>(QStringLiteral("deleteAll"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(!window->isDeletingAll() && !window->isCollecting(), 60000);
    QCOMPARE(told_, QStringList());
    QCOMPARE(window->unusedModel()->rowCount(), 0);
    QVERIFY(window->deleteAllRounds().removedTotal() >= 7);
    QVERIFY(QFileInfo(sound).isSymLink());
    QVERIFY(QFile::exists(target));
}

QTEST_MAIN(CleanerWindowTest)
#include "tst_cleaner_window.moc"
