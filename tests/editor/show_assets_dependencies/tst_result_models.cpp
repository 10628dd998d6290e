// The two table models of the result windows: Qt's model checks, the roles
// of each cell, which cells can be selected, headers, and the change signals
// of a renamed GUID.

#include "analysis_fixture.h"

#include <editor/show_assets_dependencies/data/used_data.h>
#include <editor/show_assets_dependencies/data/using_this_one_data.h>
#include <editor/show_assets_dependencies/model/roles.h>
#include <editor/show_assets_dependencies/model/used_model.h>
#include <editor/show_assets_dependencies/model/using_this_one_model.h>

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

using inastest::AnalysisFixture;
using inastest::guid;

class ResultModelsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void both_models_pass_qt_model_checks_with_and_without_data();
    void cells_give_their_text_guid_and_node_id_data();
    void cells_give_their_text_guid_and_node_id();
    void empty_cells_cannot_be_selected_data();
    void empty_cells_cannot_be_selected();
    void headers_name_the_columns_horizontally_only();
    void a_renamed_guid_changes_each_table_row_that_shows_it_once();

private:
    // Rows: stone_d (whole-asset use by house.node, then its node "walls" 11),
    // sky with nothing found (a placeholder), then house.node used by
    // stone_d in node "a" 1 (no whole-asset use), three times stone_d.
    void fill(show_deps::UsingThisOneData &data) const;
    AnalysisFixture fixture_;
};

void ResultModelsTest::initTestCase()
{
    QVERIFY(fixture_.startWithCopyOf(inastest::staticDataFolder()));
}

void ResultModelsTest::fill(show_deps::UsingThisOneData &data) const
{
    data.addRow(guid('a', 110));
    data.addSubRow(0, guid('a', 601), QString(), -1);
    data.addSubRow(0, guid('a', 601), QStringLiteral("walls"), 11);
    data.addRow(guid('a', 120));
    data.addRow(guid('a', 601));
    data.addSubRow(2, guid('a', 110), QStringLiteral("a"), 1);
    data.addRow(guid('a', 110));
    data.addRow(guid('a', 110));
}

void ResultModelsTest::both_models_pass_qt_model_checks_with_and_without_data()
{
    show_deps::UsedModel used;
    QAbstractItemModelTester used_tester(&used, QAbstractItemModelTester::FailureReportingMode::QtTest);
    show_deps::UsingThisOneModel using_model;
    QAbstractItemModelTester using_tester(&using_model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(used.rowCount(), 0);
    QVERIFY(!used.data(used.index(0, 0)).isValid());

    show_deps::UsedData used_data(fixture_.assets());
    used_data.addRow(guid('a', 110));
    used_data.addSubRow(0, guid('a', 120));
    used_data.addRow(guid('a', 120));
    used.resetData(&used_data);
    QCOMPARE(used.rowCount(), 2);
    QCOMPARE(used.columnCount(), 2);

    show_deps::UsingThisOneData using_data(fixture_.assets());
    fill(using_data);
    using_model.resetData(&using_data);
    QCOMPARE(using_model.rowCount(), 6);
    QCOMPARE(using_model.columnCount(), 3);
    using_model.resetData(nullptr);
    QCOMPARE(using_model.rowCount(), 0);
}

void ResultModelsTest::cells_give_their_text_guid_and_node_id_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("guid");
    QTest::addColumn<QVariant>("node_id");

    QTest::newRow("main row") << 1 << 0 << "stone_d" << 110 << QVariant();
    QTest::newRow("user") << 0 << 1 << "house" << 601 << QVariant();
    QTest::newRow("whole-asset node cell") << 0 << 2 << "" << 601 << QVariant(-1);
    QTest::newRow("node cell") << 1 << 2 << "walls" << 601 << QVariant(11);
    QTest::newRow("placeholder") << 2 << 1 << "" << 0 << QVariant();
}

void ResultModelsTest::cells_give_their_text_guid_and_node_id()
{
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QString, text);
    QFETCH(int, guid);
    QFETCH(QVariant, node_id);

    show_deps::UsingThisOneData data(fixture_.assets());
    fill(data);
    show_deps::UsingThisOneModel model;
    model.resetData(&data);
    const QModelIndex index = model.index(row, column);
    QCOMPARE(index.data().toString(), text);
    const QVariant value = index.data(show_deps::GUID_ROLE);
    QCOMPARE(value.userType(), qMetaTypeId<Velmora::UGUID>());
    QCOMPARE(value.value<Velmora::UGUID>(), guid ? inastest::guid('a', guid) : Velmora::UGUID());
    QCOMPARE(index.data(show_deps::NODE_ID_ROLE), node_id);
}

void ResultModelsTest::empty_cells_cannot_be_selected_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("selectable");

    QTest::newRow("main row of a placeholder") << 2 << 0 << true;
    QTest::newRow("placeholder user") << 2 << 1 << false;
    QTest::newRow("placeholder node") << 2 << 2 << false;
    QTest::newRow("node cell of a whole-asset use") << 0 << 2 << false;
    QTest::newRow("user of a whole-asset use") << 0 << 1 << true;
    QTest::newRow("node cell") << 1 << 2 << true;
    QTest::newRow("past the last row") << 6 << 0 << false;
}

void ResultModelsTest::empty_cells_cannot_be_selected()
{
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(bool, selectable);

    show_deps::UsingThisOneData data(fixture_.assets());
    fill(data);
    show_deps::UsingThisOneModel model;
    model.resetData(&data);
    const QModelIndex index = model.index(row, column);
    QCOMPARE(model.flags(index).testFlag(Qt::ItemIsSelectable), selectable);
    QCOMPARE(model.flags(index) == Qt::NoItemFlags, !selectable);
}

void ResultModelsTest::headers_name_the_columns_horizontally_only()
{
    show_deps::UsedModel used;
    show_deps::UsingThisOneModel using_model;
    QCOMPARE(used.headerData(0, Qt::Horizontal).toString(), QStringLiteral("These Assets"));
    QCOMPARE(used.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Use These Assets"));
    QCOMPARE(using_model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("These Assets"));
    QCOMPARE(using_model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Are Used In These Assets"));
    QCOMPARE(using_model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("Are Used In These Nodes"));
    QVERIFY(!using_model.headerData(0, Qt::Vertical).isValid());
    QVERIFY(!using_model.headerData(0, Qt::Horizontal, Qt::ToolTipRole).isValid());
    QVERIFY(!using_model.headerData(3, Qt::Horizontal).isValid());
}

void ResultModelsTest::a_renamed_guid_changes_each_table_row_that_shows_it_once()
{
    show_deps::UsingThisOneData data(fixture_.assets());
    fill(data);
    show_deps::UsingThisOneModel model;
    model.resetData(&data);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    // stone_d: the main row of rows 0, 1, 4 and 5, a user in row 3.
    model.updateGuid(guid('a', 110));
    QCOMPARE(changed.count(), 5);
    QList<int> rows;
    for (const QList<QVariant> &signal : qAsConst(changed)) {
        const QModelIndex left = signal[0].toModelIndex();
        const QModelIndex right = signal[1].toModelIndex();
        QCOMPARE(left.row(), right.row());
        QCOMPARE(left.column(), 0);
        QCOMPARE(right.column(), 2);
        QCOMPARE(signal[2].value<QVector<int>>(), QVector<int>{Qt::DisplayRole});
        rows << left.row();
    }
    QCOMPARE(rows, (QList<int>{0, 1, 3, 4, 5}));
    changed.clear();
    model.updateGuid(Velmora::UGUID());
    model.updateGuid(guid('a', 999));
    QCOMPARE(changed.count(), 0);
}

QTEST_GUILESS_MAIN(ResultModelsTest)
#include "tst_result_models.moc"
