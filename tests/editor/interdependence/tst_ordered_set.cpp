// The reference set against a plain vector model, on seeded random inserts
// and removals that take it back and forth across the size from which it
// keeps an index.

#include <editor/interdependence/parser/guid_hash_set.h>
#include <editor/interdependence/parser/ordered_set.h>

#include <velmora/UGUID.h>

#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>
#include <set>
#include <vector>

class TestOrderedSet : public QObject
{
    Q_OBJECT

private slots:
    void matchesAPlainVector_data();
    void matchesAPlainVector();
    void theIdTableMatchesAPlainSetThroughErasures();
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

QTEST_GUILESS_MAIN(TestOrderedSet)
#include "tst_ordered_set.moc"
