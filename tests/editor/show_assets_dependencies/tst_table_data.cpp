// The table data of the result windows: random edit sequences against a
// plain reference model, and the display names of cells.

#include "analysis_fixture.h"

#include <editor/show_assets_dependencies/data/display_name.h>
#include <editor/show_assets_dependencies/data/used_data.h>
#include <editor/show_assets_dependencies/data/using_this_one_data.h>

#include <editor_core/editor/AssetManagerPrivate.h>

#include <QRandomGenerator>
#include <QtTest>

using inastest::AnalysisFixture;
using inastest::guid;

namespace {

// The table as a list of main rows, each with its sub-rows (empty: the
// placeholder only).
struct Model
{
    struct Sub
    {
        Velmora::UGUID guid;
        QString text;
        int id;
    };
    struct Main
    {
        Velmora::UGUID guid;
        QVector<Sub> subs;
    };
    QVector<Main> rows;

    void removeGuid(const Velmora::UGUID &g)
    {
        for (int i = rows.size() - 1; i >= 0; --i) {
            if (rows[i].guid == g)
                rows.remove(i);
        }
        for (Main &row : rows) {
            for (int j = row.subs.size() - 1; j >= 0; --j) {
                if (row.subs[j].guid == g)
                    row.subs.remove(j);
            }
        }
    }
};

// "main > sub text id" per table row, "main > -" for a placeholder.
QStringList render(const Model &model)
{
    QStringList lines;
    for (const Model::Main &row : model.rows) {
        const QString main = QString::fromLatin1(row.guid.getString().get());
        if (row.subs.isEmpty())
            lines << main + QStringLiteral(" > -");
        for (const Model::Sub &sub : row.subs)
            lines << QStringLiteral("%1 > %2 %3 %4")
                             .arg(main, QLatin1String(sub.guid.getString().get()), sub.text)
                             .arg(sub.id);
    }
    return lines;
}

QStringList render(const show_deps::UsingThisOneData &data)
{
    QStringList lines;
    for (int r = 0; r < data.getNumRows(); ++r) {
        const QString main = QString::fromLatin1(data.getMainRow(r).guid.getString().get());
        const show_deps::UsingThisOneSubRow &sub = data.getSubRow(r);
        if (sub.guid.isEmpty()) {
            // A placeholder holds nothing.
            const bool blank = sub.text.isEmpty() && sub.name.isEmpty() && sub.id == 0;
            lines << main + (blank ? QStringLiteral(" > -") : QStringLiteral(" > placeholder with content"));
        } else {
            lines << QStringLiteral("%1 > %2 %3 %4")
                             .arg(main, QLatin1String(sub.guid.getString().get()), sub.text)
                             .arg(sub.id);
        }
    }
    return lines;
}

} // namespace

class TableDataTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void random_edits_keep_the_table_equal_to_the_reference_data();
    void random_edits_keep_the_table_equal_to_the_reference();
    void removing_every_main_row_leaves_an_empty_table_that_takes_new_rows();
    void renaming_updates_every_cell_of_the_guid_and_only_those();
    void display_names_come_from_runtimes_then_files_then_the_guid_data();
    void display_names_come_from_runtimes_then_files_then_the_guid();

private:
    AnalysisFixture fixture_;
};

void TableDataTest::initTestCase()
{
    QVERIFY(fixture_.startWithCopyOf(inastest::staticDataFolder()));
}

void TableDataTest::random_edits_keep_the_table_equal_to_the_reference_data()
{
    QTest::addColumn<quint32>("seed");
    for (quint32 seed = 1; seed <= 12; ++seed)
        QTest::addRow("seed %u", seed) << seed;
}

void TableDataTest::random_edits_keep_the_table_equal_to_the_reference()
{
    QFETCH(quint32, seed);
    QRandomGenerator random(seed);
    // A few GUIDs, so that they repeat across main rows and sub-rows.
    auto pick = [&] { return guid('a', 110 + int(random.bounded(6))); };

    show_deps::UsingThisOneData data(fixture_.assets());
    Model model;
    for (int step = 0; step < 300; ++step) {
        const quint32 what = random.bounded(10);
        if (what < 3 || model.rows.isEmpty()) {
            const Velmora::UGUID g = pick();
            QCOMPARE(data.addRow(g), model.rows.size());
            model.rows.append({g, {}});
        } else if (what < 7) {
            // Sub-rows go to the last main row, as a combiner adds them.
            const Velmora::UGUID g = pick();
            const QString text = random.bounded(2) ? QStringLiteral("node") : QString();
            const int id = text.isEmpty() ? -1 : int(random.bounded(5));
            data.addSubRow(model.rows.size() - 1, g, text, id);
            model.rows.last().subs.append({g, text, id});
        } else if (what < 9) {
            const Velmora::UGUID g = pick();
            const bool present = render(model).join(QLatin1Char('\n')).contains(QLatin1String(g.getString().get()));
            QCOMPARE(data.removeGuid(g), present);
            model.removeGuid(g);
        } else {
            const Velmora::UGUID g = pick();
            const bool present = render(model).join(QLatin1Char('\n')).contains(QLatin1String(g.getString().get()));
            QCOMPARE(data.renameGuid(g), present);
        }

        QCOMPARE(render(data), render(model));
        QCOMPARE(data.getNumMainRows(), model.rows.size());
        // Main-row indexes run from 0 without gaps.
        int previous = 0;
        for (int r = 0; r < data.getNumRows(); ++r) {
            const int main = data.getMainRowIndex(r);
            QVERIFY(main == previous || (r > 0 && main == previous + 1));
            previous = main;
        }
        if (data.getNumRows() > 0)
            QCOMPARE(data.getMainRowIndex(data.getNumRows() - 1), data.getNumMainRows() - 1);
    }
}

void TableDataTest::removing_every_main_row_leaves_an_empty_table_that_takes_new_rows()
{
    show_deps::UsedData data(fixture_.assets());
    data.addRow(guid('a', 110));
    data.addSubRow(0, guid('a', 111));
    data.addRow(guid('a', 112));
    QVERIFY(data.removeGuid(guid('a', 110)));
    QVERIFY(data.removeGuid(guid('a', 112)));
    QCOMPARE(data.getNumRows(), 0);
    QCOMPARE(data.getNumMainRows(), 0);

    QCOMPARE(data.addRow(guid('a', 113)), 0);
    data.addSubRow(0, guid('a', 114));
    QCOMPARE(data.getNumRows(), 1);
    QCOMPARE(data.getSubRow(0).guid, guid('a', 114));
}

void TableDataTest::renaming_updates_every_cell_of_the_guid_and_only_those()
{
    show_deps::UsedData data(fixture_.assets());
    data.addRow(guid('a', 110));
    data.addSubRow(0, guid('a', 111));
    data.addRow(guid('a', 111));
    data.addSubRow(1, guid('a', 110));
    // Names as if they were stale.
    const QString before = data.getMainRow(0).name;
    QVERIFY(data.renameGuid(guid('a', 111)));
    QVERIFY(!data.renameGuid(guid('a', 999)));
    QCOMPARE(data.getSubRow(0).name, show_deps::getDisplayName(fixture_.assets(), guid('a', 111)));
    QCOMPARE(data.getMainRow(1).name, show_deps::getDisplayName(fixture_.assets(), guid('a', 111)));
    QCOMPARE(data.getMainRow(0).name, before);
}

void TableDataTest::display_names_come_from_runtimes_then_files_then_the_guid_data()
{
    QTest::addColumn<QByteArray>("guid_text");
    QTest::addColumn<QString>("name");

    QTest::newRow("an asset: its primary runtime") << inastest::guidText('a', 110) << "stone_d";
    QTest::newRow("a stored runtime") << inastest::guidText('b', 202) << "crate";
    QTest::newRow("an asset gone meanwhile: the GUID")
            << inastest::guidText('d', 901) << QString::fromLatin1(inastest::guidText('d', 901));
    QTest::newRow("the empty GUID") << QByteArray() << QString();
}

void TableDataTest::display_names_come_from_runtimes_then_files_then_the_guid()
{
    QFETCH(QByteArray, guid_text);
    QFETCH(QString, name);
    QCOMPARE(show_deps::getDisplayName(fixture_.assets(), Velmora::UGUID(guid_text.constData())), name);
}

QTEST_GUILESS_MAIN(TableDataTest)
#include "tst_table_data.moc"
