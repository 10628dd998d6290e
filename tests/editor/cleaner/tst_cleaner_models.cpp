// The cleaner's table models and the Delete All bookkeeping, without an
// asset manager: removals reported one by one leave the tables together and
// in order (also through a view's selection), and the rounds of Delete All
// stop wherever going on could loop forever or delete on incomplete
// evidence.

#include <editor/cleaner/model/delete_all_rounds.h>
#include <editor/cleaner/model/lost_assets_table_model.h>
#include <editor/cleaner/model/unused_assets_table_model.h>

#include <asset_files.h>

#include <QItemSelectionModel>
#include <QSignalSpy>
#include <QtTest>

using cleaner::DeleteAllRounds;
using test::guid;

// One collection of a Delete All run: the unused numbers, read failures,
// stale, then what its removal removed (-1: no removal).
struct Round
{
    QList<int> unused;
    int failures;
    bool stale;
    int removed;
};

Q_DECLARE_METATYPE(DeleteAllRounds::Step)
Q_DECLARE_METATYPE(QVector<Round>)

namespace {

Velmora::Vector<Velmora::UGUID> guids(const QList<int> &numbers)
{
    Velmora::Vector<Velmora::UGUID> list;
    for (int number : numbers)
        list.append(guid('a', number));
    return list;
}

QList<int> numbersOf(const std::vector<Velmora::UGUID> &rows)
{
    QList<int> numbers;
    for (const Velmora::UGUID &row : rows)
        numbers << QString::fromLatin1(row.getString().get()).right(3).toInt();
    return numbers;
}

} // namespace

class CleanerModelsTest : public QObject
{
    Q_OBJECT

private slots:
    void removed_rows_leave_the_unused_table_together_and_in_order_data();
    void removed_rows_leave_the_unused_table_together_and_in_order();
    void a_removed_asset_takes_all_its_lost_rows_and_only_them();
    void delete_all_rounds_stop_where_going_on_is_unsafe_data();
    void delete_all_rounds_stop_where_going_on_is_unsafe();
};

void CleanerModelsTest::removed_rows_leave_the_unused_table_together_and_in_order_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<QList<int>>("removed"); // row numbers (the GUID's number is the row + 1)
    QTest::addColumn<bool>("reset"); // taken out by a reset instead of row removals
    QTest::newRow("one row") << 5 << QList<int>{2} << false;
    QTest::newRow("first, a run and last") << 8 << QList<int>{0, 3, 4, 5, 7} << false;
    QTest::newRow("every row") << 6 << QList<int>{0, 1, 2, 3, 4, 5} << false;
    QList<int> every_other;
    for (int row = 0; row < 400; row += 2)
        every_other << row;
    QTest::newRow("200 scattered rows") << 400 << every_other << true;
}

void CleanerModelsTest::removed_rows_leave_the_unused_table_together_and_in_order()
{
    QFETCH(int, rows);
    QFETCH(QList<int>, removed);
    QFETCH(bool, reset);

    cleaner::UnusedAssetsTableModel model(nullptr);
    QList<int> all;
    for (int row = 0; row < rows; ++row)
        all << row + 1;
    model.setAssets(guids(all + QList<int>{1})); // a repeated GUID is listed once
    QCOMPARE(model.rowCount(), rows);
    QItemSelectionModel selection(&model);
    const int kept_row = [&] {
        for (int row = rows - 1; row >= 0; --row) {
            if (!removed.contains(row))
                return row;
        }
        return -1;
    }();
    if (kept_row >= 0)
        selection.select(model.index(kept_row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);

    QSignalSpy removals(&model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    for (int row : removed)
        model.asset_removed(guid('a', row + 1));
    model.asset_removed(guid('a', 999)); // not listed
    QCOMPARE(model.rowCount(), rows); // until the batch ends
    QVERIFY(model.isPendingRemoval(guid('a', removed.first() + 1)));
    model.flushRemovals();

    QList<int> expected;
    for (int row = 0; row < rows; ++row) {
        if (!removed.contains(row))
            expected << row + 1;
    }
    QCOMPARE(numbersOf(model.assets()), expected);
    QCOMPARE(resets.size(), reset ? 1 : 0);
    QVERIFY(reset || !removals.isEmpty());
    for (int row = 0; row < model.rowCount(); ++row)
        QCOMPARE(model.indexOf(model.guidAt(row)).row(), row);
    QVERIFY(!model.indexOf(guid('a', removed.first() + 1)).isValid());
    if (kept_row >= 0 && !reset) {
        QCOMPARE(selection.selectedRows().size(), 1);
        QCOMPARE(selection.selectedRows()
                         .first()
                         .data(cleaner::UnusedAssetsTableModel::GUID_ROLE)
                         .value<Velmora::UGUID>(),
                 guid('a', kept_row + 1));
    }
}

void CleanerModelsTest::a_removed_asset_takes_all_its_lost_rows_and_only_them()
{
    cleaner::LostMap lost;
    cleaner::LostEntry house;
    house.lost_ids.append(guid('d', 2));
    cleaner::NodeInfo inner;
    inner.name = "inner";
    inner.id = 2;
    inner.lost_ids_ = {guid('d', 1), guid('d', 7)};
    house.nodes.append(inner);
    lost.insert(guid('a', 1), house);
    cleaner::LostEntry world;
    world.lost_ids.append(guid('a', 1)); // the house itself, lost for the world
    lost.insert(guid('a', 2), world);

    cleaner::LostAssetsTableModel model(nullptr);
    model.setAssets(cleaner::LostAssetsTableModel::rowsOf(lost));
    QCOMPARE(model.rowCount(), 4);
    QStringList house_rows;
    for (const cleaner::LostAssetRow &row : model.rows()) {
        if (row.asset_guid == guid('a', 1))
            house_rows << QString::fromUtf8(row.lost_guid.getString().get()).right(3) + QLatin1Char(' ') + row.node_name
                            + QLatin1Char(' ') + QString::number(row.node_id);
    }
    QCOMPARE(house_rows, QStringList({"002  -1", "001 inner 2", "007 inner 2"}));
    const QModelIndex cell = model.index(1, 0);
    QCOMPARE(cell.data(cleaner::LostAssetsTableModel::NODE_ID_ROLE), model.rows()[1].node_id);

    // The house goes: its three rows go; the world's row about the house
    // (its lost GUID) stays.
    model.asset_removed(guid('a', 1));
    model.flushRemovals();
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.rows()[0].asset_guid, guid('a', 2));
    QCOMPARE(model.indexesOf(guid('a', 1)), QModelIndexList());
    QCOMPARE(model.indexesOf(guid('a', 2)).size(), 3);
}

void CleanerModelsTest::delete_all_rounds_stop_where_going_on_is_unsafe_data()
{
    QTest::addColumn<QVector<Round>>("rounds");
    QTest::addColumn<QList<DeleteAllRounds::Step>>("steps");
    QTest::addColumn<bool>("active"); // after the last round
    using S = DeleteAllRounds::Step;
    QTest::newRow("a cascade that ends") << QVector<Round>{{{1, 2}, 0, false, 2},
                                                           {{3}, 0, false, 1},
                                                           {{}, 0, false, -1}}
                                         << QList<S>{S::Remove, S::Remove, S::Finished} << false;
    QTest::newRow("an asset that survives")
            << QVector<Round>{{{1, 2}, 0, false, 1}, {{2}, 0, false, -1}} << QList<S>{S::Remove, S::Repeated} << false;
    QTest::newRow("a removal of nothing") << QVector<Round>{{{1}, 0, false, 0}} << QList<S>{S::Remove} << false;
    QTest::newRow("unread files") << QVector<Round>{{{1, 2}, 0, false, 2}, {{3}, 1, false, -1}}
                                  << QList<S>{S::Remove, S::Incomplete} << false;
    QTest::newRow("a change, then calm") << QVector<Round>{{{1}, 0, true, -1}, {{1}, 0, false, 1}}
                                         << QList<S>{S::Recollect, S::Remove} << true;
    QTest::newRow("changing every time") << QVector<Round>(4, Round{{1}, 0, true, -1})
                                         << QList<S>{S::Recollect, S::Recollect, S::Recollect, S::KeptChanging}
                                         << false;
}

void CleanerModelsTest::delete_all_rounds_stop_where_going_on_is_unsafe()
{
    QFETCH(QVector<Round>, rounds);
    QFETCH(QList<DeleteAllRounds::Step>, steps);
    QFETCH(bool, active);

    DeleteAllRounds run;
    run.start();
    QList<DeleteAllRounds::Step> taken;
    int total = 0;
    for (const Round &round : rounds) {
        QVERIFY(run.isActive());
        taken << run.judge(guids(round.unused), round.failures, round.stale);
        if (round.removed >= 0) {
            run.roundRemoved(round.removed);
            total += round.removed;
        }
    }
    QCOMPARE(taken, steps);
    QCOMPARE(run.isActive(), active);
    QCOMPARE(run.removedTotal(), total);
    if (steps.last() == DeleteAllRounds::Step::Repeated)
        QCOMPARE(run.repeatedGuid(), guid('a', 2));
}

QTEST_MAIN(CleanerModelsTest)
#include "tst_cleaner_models.moc"
