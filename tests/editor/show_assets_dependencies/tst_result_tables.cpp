// The result tables over the static test data folder, compared whole with
// tests/data/interdependence/expected_tables.txt: "Assets Used" and "Assets
// Using This One" for every asset at once, as their windows show them
// (rows, order, node column, spans).

#include "analysis_fixture.h"
#include "thread_refusal.h"

#include <editor/interdependence/analysis_executor.h>
#include <editor/show_assets_dependencies/data/used_data.h>
#include <editor/show_assets_dependencies/data/using_this_one_data.h>
#include <editor/show_assets_dependencies/model/roles.h>
#include <editor/show_assets_dependencies/show_dependencies.h>
#include <editor/show_assets_dependencies/ui/used_window.h>
#include <editor/show_assets_dependencies/ui/using_this_one_window.h>
#include <editor/show_assets_dependencies/used_result_data.h>
#include <editor/show_assets_dependencies/using_this_one_result_data.h>

#include <editor_core/editor/AssetManagerPrivate.h>

#include <QFile>
#include <QTableView>
#include <QtTest>

#include <optional>
#include <system_error>
#include <thread>

using inastest::AnalysisFixture;
using inastest::guid;

namespace {

std::unique_ptr<inas::ResultData> analyse(const Velmora::Vector<Velmora::UGUID> &guids, bool used)
{
    return show_deps::createExecutor(guids, used)->execute([](int, int) { return true; });
}

// One line per table row: the cells separated by " | ", a cell that a span
// covers as '"', a span's first cell followed by {rows}. GUIDs are written
// as asset paths, node cells as "name id" ("-" for a whole-asset use).
QStringList render(const AnalysisFixture &fixture, const QTableView &table)
{
    QStringList lines;
    const QAbstractItemModel &model = *table.model();
    QVector<int> covered(model.columnCount(), 0);
    for (int row = 0; row < model.rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < model.columnCount(); ++column) {
            if (covered[column] > 0) {
                --covered[column];
                cells << QStringLiteral("\"");
                continue;
            }
            const QModelIndex index = model.index(row, column);
            const Velmora::UGUID g = index.data(show_deps::GUID_ROLE).value<Velmora::UGUID>();
            QString cell;
            if (g.isEmpty())
                cell = QStringLiteral("-");
            else if (column < 2)
                cell = fixture.describe(g);
            else if (index.data(show_deps::NODE_ID_ROLE).toInt() == -1)
                cell = QStringLiteral("-");
            else
                cell = index.data().toString() + QLatin1Char(' ') + index.data(show_deps::NODE_ID_ROLE).toString();
            const int span = table.rowSpan(row, column);
            if (span > 1) {
                cell += QStringLiteral(" {%1}").arg(span);
                covered[column] = span - 1;
            }
            cells << cell;
        }
        lines << cells.join(QStringLiteral(" | "));
    }
    return lines;
}

// The expected file's sections, by their "== " headings.
QMap<QString, QStringList> readExpected()
{
    QFile file(inastest::staticDataFolder() + QStringLiteral("/../expected_tables.txt"));
    QMap<QString, QStringList> sections;
    if (!file.open(QIODevice::ReadOnly))
        return sections;
    QString section;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1String("== ")))
            section = line.mid(3);
        else
            sections[section] << line;
    }
    return sections;
}

void compareLines(const QStringList &actual, const QStringList &expected)
{
    for (int i = 0; i < qMin(actual.size(), expected.size()); ++i) {
        if (actual[i] != expected[i])
            QFAIL(qPrintable(QStringLiteral("line %1 differs\n  actual:   %2\n  expected: %3")
                                     .arg(i + 1)
                                     .arg(actual[i], expected[i])));
    }
    QCOMPARE(actual.size(), expected.size());
}

} // namespace

class ResultTablesTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void every_asset_gives_the_expected_tables_data();
    void every_asset_gives_the_expected_tables();
    void scripts_beside_a_world_and_in_a_node_path_folder_are_used_by_it_in_both_directions_data();
    void scripts_beside_a_world_and_in_a_node_path_folder_are_used_by_it_in_both_directions();
    void repeated_and_unknown_guids_of_a_request_are_taken_once_or_dropped();

private:
    AnalysisFixture fixture_;
    Velmora::Vector<Velmora::UGUID> all_;
};

void ResultTablesTest::initTestCase()
{
    QVERIFY(fixture_.startWithCopyOf(inastest::staticDataFolder()));
    for (const as::Asset &asset : fixture_.assets()->assets())
        all_.append(asset.getGUID());
}

void ResultTablesTest::cleanupTestCase()
{
    fixture_.stop();
}

void ResultTablesTest::every_asset_gives_the_expected_tables_data()
{
    QTest::addColumn<bool>("used");
    QTest::addColumn<bool>("threads_refused");
    QTest::newRow("Assets Used") << true << false;
    QTest::newRow("Assets Using This One") << false << false;
    // A process at its thread limit: every step does the work of the threads
    // it cannot start itself, and the tables are the same.
    QTest::newRow("Assets Used, no thread can start") << true << true;
    QTest::newRow("Assets Using This One, no thread can start") << false << true;
}

void ResultTablesTest::every_asset_gives_the_expected_tables()
{
    QFETCH(bool, used);
    QFETCH(bool, threads_refused);
    const QStringList expected
            = readExpected().value(used ? QStringLiteral("Assets Used") : QStringLiteral("Assets Using This One"));
    QVERIFY(!expected.isEmpty());

    std::unique_ptr<inas::ResultData> result;
    {
        std::optional<test::ThreadRefusal> refusal;
        if (threads_refused) {
            refusal.emplace();
            QVERIFY(refusal->isActive());
            QVERIFY_EXCEPTION_THROWN(std::thread([] {}).join(), std::system_error);
        }
        result = analyse(all_, used);
    }
    QVERIFY(result);
    QStringList actual;
    if (used) {
        auto *data = dynamic_cast<show_deps::UsedResultData *>(result.get());
        QVERIFY(data);
        show_deps::UsedWindow window(data->takeData());
        actual = render(fixture_, *window.table());
    } else {
        auto *data = dynamic_cast<show_deps::UsingThisOneResultData *>(result.get());
        QVERIFY(data);
        show_deps::UsingThisOneWindow window(data->takeData());
        actual = render(fixture_, *window.table());
    }
    compareLines(actual, expected);
}

void ResultTablesTest::scripts_beside_a_world_and_in_a_node_path_folder_are_used_by_it_in_both_directions_data()
{
    QTest::addColumn<int>("user");
    QTest::addColumn<int>("script");
    QTest::newRow("world script") << 801 << 802;
    QTest::newRow("uts file of a node path") << 601 << 603;
}

void ResultTablesTest::scripts_beside_a_world_and_in_a_node_path_folder_are_used_by_it_in_both_directions()
{
    QFETCH(int, user);
    QFETCH(int, script);

    const auto used = analyse({guid('a', user)}, true);
    const show_deps::UsedData &used_data = *dynamic_cast<show_deps::UsedResultData &>(*used).data();
    bool listed = false;
    for (int r = 0; r < used_data.getNumRows(); ++r)
        listed = listed || used_data.getSubRow(r).guid == guid('a', script);
    QVERIFY(listed);

    // The other way round the user is listed as a whole: no node element
    // names the script.
    const auto users = analyse({guid('a', script)}, false);
    const show_deps::UsingThisOneData &data = *dynamic_cast<show_deps::UsingThisOneResultData &>(*users).data();
    QCOMPARE(data.getNumRows(), 1);
    QCOMPARE(data.getSubRow(0).guid, guid('a', user));
    QCOMPARE(data.getSubRow(0).id, -1);
}

void ResultTablesTest::repeated_and_unknown_guids_of_a_request_are_taken_once_or_dropped()
{
    // stone_d twice, the material runtime of rock.mat, a GUID nothing has.
    const as::Asset rock = fixture_.assets()->asset(QStringLiteral("materials/rock.mat"));
    const auto result = analyse({guid('a', 110), guid('a', 110), rock.findSRuntime().getGUID(), guid('d', 999)}, false);
    QVERIFY(result);
    const show_deps::UsingThisOneData &data = *dynamic_cast<show_deps::UsingThisOneResultData &>(*result).data();
    QStringList mains;
    for (int r = 0; r < data.getNumRows(); ++r) {
        if (r == 0 || data.getMainRowIndex(r) != data.getMainRowIndex(r - 1))
            mains << fixture_.describe(data.getMainRow(r).guid);
    }
    QCOMPARE(mains, (QStringList{"textures/stone_d.png", "textures/stone_d.png", "materials/rock.mat"}));
}

QTEST_MAIN(ResultTablesTest)
#include "tst_result_tables.moc"
