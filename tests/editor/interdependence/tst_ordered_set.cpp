// The reference set against a plain vector model, on seeded random inserts
// and removals that take it back and forth across the size from which it
// keeps an index; and sets whose memory lies in the items' arenas.

#include <editor/interdependence/item_arena.h>
#include <editor/interdependence/parser/generic_item_builder.h>
#include <editor/interdependence/parser/guid_hash_set.h>
#include <editor/interdependence/parser/ordered_set.h>
#include <editor/interdependence/parser/parser_item.h>

#include <velmora/String.h>
#include <velmora/UGUID.h>

#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>
#include <set>
#include <thread>
#include <vector>

class TestOrderedSet : public QObject
{
    Q_OBJECT

private slots:
    void matchesAPlainVector_data();
    void matchesAPlainVector();
    void theIdTableMatchesAPlainSetThroughErasures();
    void setsFilledInAnArenaOutliveTheirThreadAndBuilder();
};

void TestOrderedSet::matchesAPlainVector_data()
{
    QTest::addColumn<int>("values"); // distinct values drawn from
    QTest::addColumn<int>("removePercent");
    QTest::newRow("few values, scans only") << 12 << 30;
    QTest::newRow("grows past the scan") << 200 << 10;
    QTest::newRow("shrinks back below it") << 40 << 55;
    QTest::newRow("many values, many removals") << 3000 << 45;
}

void TestOrderedSet::matchesAPlainVector()
{
    QFETCH(int, values);
    QFETCH(int, removePercent);
    QRandomGenerator random(quint32(values * 31 + removePercent));
    auto guidOf = [](int n) {
        Velmora::UGUID guid;
        guid.setWord(0, quint32(n) * 2654435761u);
        guid.setWord(4, quint32(n));
        return guid;
    };

    inas::parser::OrderedSet<Velmora::UGUID> set;
    std::vector<Velmora::UGUID> model;
    for (int step = 0; step < values * 20; ++step) {
        const Velmora::UGUID guid = guidOf(int(random.bounded(quint32(values))));
        const bool present = std::find(model.begin(), model.end(), guid) != model.end();
        if (int(random.bounded(100u)) < removePercent) {
            QCOMPARE(set.remove(guid), present);
            model.erase(std::remove(model.begin(), model.end(), guid), model.end());
        } else {
            QCOMPARE(set.insert(guid), !present);
            if (!present)
                model.push_back(guid);
        }
        QCOMPARE(set.size(), int(model.size()));
        // Membership of values in and out of the set, after every change.
        const Velmora::UGUID probe = guidOf(int(random.bounded(quint32(values))));
        QCOMPARE(set.contains(probe), std::find(model.begin(), model.end(), probe) != model.end());
    }
    QVERIFY(set.values() == model);
    for (const Velmora::UGUID &guid : model)
        QVERIFY(set.contains(guid));
}

// The parser's table of ids made: erasing must leave every other value
// reachable however the probe runs overlap and wrap around the table's end.
void TestOrderedSet::theIdTableMatchesAPlainSetThroughErasures()
{
    QRandomGenerator random(7);
    auto guidOf = [](int n) {
        Velmora::UGUID guid;
        guid.setWord(1, quint32(n) * 40503u);
        guid.setWord(4, quint32(n));
        return guid;
    };
    const int values = 600;
    inas::parser::GuidHashSet table;
    table.reserve(size_t(values) / 2); // grows while filled
    std::set<int> model;
    for (int step = 0; step < values * 40; ++step) {
        const int n = int(random.bounded(quint32(values)));
        if (random.bounded(100u) < 45) {
            table.erase(guidOf(n));
            model.erase(n);
        } else {
            QCOMPARE(table.insert(guidOf(n)), model.insert(n).second);
        }
        QCOMPARE(table.size(), model.size());
        if (step % 50 == 0) {
            for (int m = 0; m < values; ++m)
                QCOMPARE(table.contains(guidOf(m)), model.count(m) == 1);
        }
    }
}

// The parser's threads fill items' sets from arenas that go with the items:
// sets filled side by side (each growing past the other's memory), then
// copied, moved, grown and thinned on a thread without an arena, must keep
// their values; and the items' values must stay readable once the thread
// and the item factory are gone.
void TestOrderedSet::setsFilledInAnArenaOutliveTheirThreadAndBuilder()
{
    auto guidOf = [](int n) {
        Velmora::UGUID guid;
        guid.setWord(2, quint32(n) * 2246822519u);
        guid.setWord(4, quint32(n));
        return guid;
    };
    using Paths = inas::parser::OrderedSet<Velmora::String>;
    auto builder = std::make_unique<inas::parser::GenericItemBuilder>();
    inas::parser::ItemPtr item = builder->build(guidOf(-1), 0);
    Paths paths;
    inas::parser::OrderedSet<Velmora::UGUID> lost;
    std::vector<Velmora::UGUID> uses;
    std::vector<Velmora::UGUID> lost_model;
    std::vector<Velmora::String> path_model;
    std::thread filler([&, arena = builder->arena()->side()] {
        inas::ItemArena::Scope scope(arena);
        for (int n = 0; n < 400; ++n) {
            // Three sets growing in turns, one of them by every other value.
            uses.push_back(guidOf(n));
            item->addDependent(guidOf(n));
            item->addDependent(guidOf(n / 2)); // already there
            if (n % 2 == 0) {
                lost.insert(guidOf(1000 + n));
                lost_model.push_back(guidOf(1000 + n));
            }
            const Velmora::String path(("textures/a_long_enough_name_" + std::to_string(n) + ".png").c_str());
            paths.insert(path);
            path_model.push_back(path);
        }
    });
    filler.join();
    QVERIFY(item->getDependents().values() == uses);

    // Away from the arena's thread: a copy, a move, growth and removals.
    inas::parser::OrderedSet<Velmora::UGUID> copy = lost;
    inas::parser::OrderedSet<Velmora::UGUID> moved = std::move(lost);
    for (int n = 0; n < 200; n += 3) {
        QVERIFY(moved.remove(guidOf(1000 + 2 * n)));
        lost_model.erase(std::find(lost_model.begin(), lost_model.end(), guidOf(1000 + 2 * n)));
        QVERIFY(moved.insert(guidOf(5000 + n)));
        lost_model.push_back(guidOf(5000 + n));
    }
    Paths paths_copy;
    paths_copy = paths;
    paths.clear();
    QVERIFY(paths.empty() && !paths.contains(path_model.front()));

    builder.reset();
    QVERIFY(item->getDependents().values() == uses);
    QCOMPARE(copy.size(), 200);
    QVERIFY(copy.contains(guidOf(1000)) && !copy.contains(guidOf(5000)));
    QVERIFY(moved.values() == lost_model);
    for (const Velmora::UGUID &guid : lost_model)
        QVERIFY(moved.contains(guid));
    QVERIFY(paths_copy.values() == path_model);
    QVERIFY(paths_copy.contains(path_model[123]));
}

QTEST_GUILESS_MAIN(TestOrderedSet)
#include "tst_ordered_set.moc"
