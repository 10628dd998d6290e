// The asset manager's flat lookup: entries hold positions only and keys are
// read from the records, so removals that move later slots back (also
// across the end of the slots) and growth must keep every key reachable.

#include <editor_core/as/IndexTable.h>

#include <QtTest>

#include <map>
#include <random>
#include <vector>

class TestIndexTable : public QObject
{
    Q_OBJECT

private slots:
    // Keys share hashes in pairs; the table grows from empty and then stays
    // between three fifths and three quarters full while random keys are
    // set, replaced and removed. Checked against a plain map at every step.
    void colliding_keys_stay_reachable_through_growth_and_removals()
    {
        std::vector<int> records; // position -> key
        for (int key = 0; key < 4000; ++key)
            records.push_back(key);
        auto hashOf = [](int key) { return unsigned(key % 2000) * 0x01000193u; };
        auto same = [&records](int key) { return [&records, key](int position) { return records[position] == key; }; };

        as::IndexTable<int> table;
        std::map<int, int> model; // key -> position
        std::mt19937 random(7);
        for (int step = 0; step < 20000; ++step) {
            int key = int(random() % records.size());
            const bool add = model.size() < 370 && (model.size() < 300 || random() % 2 == 0);
            if (add) {
                table.insert(hashOf(key), same(key), key);
                model[key] = key;
            } else {
                auto present = model.lower_bound(key);
                key = present == model.end() ? model.begin()->first : present->first;
                // Now and then a removal that declines.
                const bool keep = random() % 4 == 0;
                QCOMPARE(table.remove(hashOf(key), same(key), [keep](int) { return keep; }), !keep);
                if (!keep)
                    model.erase(key);
                QCOMPARE(table.contains(hashOf(key), same(key)), keep);
            }
            QCOMPARE(table.size(), int(model.size()));
            for (const auto &entry : model) {
                const int *found = table.find(hashOf(entry.first), same(entry.first));
                QVERIFY(found);
                QCOMPARE(*found, entry.second);
            }
        }
        table.reserve(2000); // places what is there again
        for (const auto &entry : model)
            QVERIFY(table.contains(hashOf(entry.first), same(entry.first)));
        table.clear();
        QVERIFY(!table.contains(hashOf(3), same(3)));
    }
};

QTEST_GUILESS_MAIN(TestIndexTable)
#include "tst_index_table.moc"
