#include "core/base/flat_index.h"

#include <QtTest>

#include <cstdint>
#include <random>
#include <unordered_map>
#include <vector>

namespace {

// The index over a list of keys kept here, as a caller keeps its entries.
struct Keyed
{
    std::vector<uint64_t> keys;
    base::FlatIndex index;
    // Few hash bits, so that many keys share a hash and a probe must tell
    // them apart by the key.
    uint32_t hash_bits = 32;

    uint32_t hashOf(uint64_t key) const
    {
        const uint32_t full = uint32_t(key * 0xD6E8FEB86659FD93ull >> 32);
        return hash_bits >= 32 ? full : full & ((uint32_t(1) << hash_bits) - 1);
    }
    bool add(uint64_t key)
    {
        keys.push_back(key);
        const size_t position = keys.size() - 1;
        if (index.insert(hashOf(key), position, [&](size_t p) { return keys[p] == key; }))
            return true;
        keys.pop_back();
        return false;
    }
    size_t find(uint64_t key) const
    {
        return index.find(hashOf(key), [&](size_t p) { return keys[p] == key; });
    }
};

} // namespace

class TestFlatIndex : public QObject
{
    Q_OBJECT

private slots:
    void every_position_is_found_by_its_key_through_growth_data();
    void every_position_is_found_by_its_key_through_growth();
    void a_cleared_or_reserved_index_finds_only_what_is_added_after();
};

void TestFlatIndex::every_position_is_found_by_its_key_through_growth_data()
{
    QTest::addColumn<int>("hash_bits");
    QTest::addColumn<bool>("reserved");
    QTest::newRow("full hashes, growing") << 32 << false;
    QTest::newRow("full hashes, reserved") << 32 << true;
    QTest::newRow("hashes shared by many keys") << 6 << false;
    QTest::newRow("one hash for every key") << 0 << false;
}

void TestFlatIndex::every_position_is_found_by_its_key_through_growth()
{
    QFETCH(int, hash_bits);
    QFETCH(bool, reserved);
    Keyed keyed;
    keyed.hash_bits = uint32_t(hash_bits);
    const int count = hash_bits == 32 ? 20000 : 1000;
    if (reserved)
        keyed.index.reserve(size_t(count));

    // Random keys, some of them repeated: a repeat is turned away and
    // changes nothing.
    std::mt19937_64 random(7);
    std::unordered_map<uint64_t, size_t> expected;
    for (int i = 0; i < count; ++i) {
        const uint64_t key = random() % uint64_t(count * 3 / 2);
        const bool fresh = expected.find(key) == expected.end();
        QCOMPARE(keyed.add(key), fresh);
        if (fresh)
            expected.emplace(key, keyed.keys.size() - 1);
        QCOMPARE(keyed.index.size(), expected.size());
    }
    for (const auto &[key, position] : expected)
        QCOMPARE(keyed.find(key), position);
    // Keys never added, with hashes the index holds too.
    for (uint64_t key = uint64_t(count * 3 / 2); key < uint64_t(count * 2); ++key)
        QCOMPARE(keyed.find(key), base::FlatIndex::NOT_FOUND);
}

void TestFlatIndex::a_cleared_or_reserved_index_finds_only_what_is_added_after()
{
    Keyed keyed;
    QCOMPARE(keyed.find(1), base::FlatIndex::NOT_FOUND);
    keyed.index.prefetch(keyed.hashOf(1));

    for (uint64_t key = 0; key < 100; ++key)
        QVERIFY(keyed.add(key));
    keyed.index.clear();
    keyed.keys.clear();
    QCOMPARE(keyed.index.size(), size_t(0));
    QCOMPARE(keyed.find(0), base::FlatIndex::NOT_FOUND);
    QCOMPARE(keyed.find(99), base::FlatIndex::NOT_FOUND);

    // Growing past what was there before, after a reserve smaller than the
    // positions already held.
    for (uint64_t key = 1000; key < 1300; ++key)
        QVERIFY(keyed.add(key));
    keyed.index.reserve(10);
    for (uint64_t key = 1300; key < 1400; ++key)
        QVERIFY(keyed.add(key));
    QVERIFY(!keyed.add(1000));
    QCOMPARE(keyed.index.size(), size_t(400));
    for (uint64_t key = 1000; key < 1400; ++key)
        QCOMPARE(keyed.find(key), size_t(key - 1000));
    QCOMPARE(keyed.find(0), base::FlatIndex::NOT_FOUND);
}

QTEST_APPLESS_MAIN(TestFlatIndex)
#include "tst_flat_index.moc"
