// The resolver's path index and path table against plain scans of the path
// list, on seeded random paths built from a few pieces so that suffixes and
// substrings overlap a lot.

#include <editor/interdependence/parser/path_index.h>
#include <editor/interdependence/parser/path_table.h>

#include <QRandomGenerator>
#include <QtTest>

#include <set>
#include <string>

namespace {

struct Paths
{
    std::vector<std::string> list;
    std::vector<std::string_view> views;
};

Paths randomPaths(QRandomGenerator &random, int count, int most_pieces = 5)
{
    static const char *const PIECES[] = {"a", "b", "ab", "ba", "/", ".png", "x", "aa", "b/a", "é"};
    std::set<std::string> unique;
    while (int(unique.size()) < count) {
        std::string path;
        const int pieces = 1 + int(random.bounded(most_pieces));
        for (int i = 0; i < pieces; ++i)
            path += PIECES[random.bounded(10)];
        unique.insert(path);
    }
    Paths paths;
    paths.list.assign(unique.begin(), unique.end());
    // Not sorted: the list order decides between matches.
    for (size_t i = paths.list.size(); i > 1; --i)
        std::swap(paths.list[i - 1], paths.list[random.bounded(quint32(i))]);
    for (const std::string &path : paths.list)
        paths.views.emplace_back(path);
    return paths;
}

std::string randomText(QRandomGenerator &random, const Paths &paths)
{
    std::string text;
    const int parts = int(random.bounded(4));
    for (int i = 0; i < parts; ++i) {
        if (random.bounded(2))
            text += paths.list[random.bounded(quint32(paths.list.size()))];
        else
            text += "(+ ";
    }
    return text;
}

} // namespace

class PathIndexTest : public QObject
{
    Q_OBJECT

private slots:
    void the_index_answers_as_a_scan_of_the_list_data();
    void the_index_answers_as_a_scan_of_the_list();
    void the_table_finds_exactly_the_paths_it_holds();
    void staged_paths_go_in_as_they_would_one_by_one();
};

void PathIndexTest::the_index_answers_as_a_scan_of_the_list_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("most_pieces");
    QTest::addColumn<int>("longest_suffix");
    for (quint32 seed = 1; seed <= 8; ++seed)
        QTest::addRow("seed %u", seed) << seed << int(20 + seed * 40) << 5 << 5;
    QTest::newRow("one path") << 99u << 1 << 5 << 5;
    // Ranges of many whole blocks of the index.
    QTest::newRow("many paths") << 11u << 6000 << 5 << 5;
    // Enough paths to be sorted in parts on several threads and merged (an
    // odd number of parts on eight cores).
    QTest::newRow("paths sorted in parts") << 31u << 41000 << 8 << 9;
    // Paths and suffixes well past the characters the index keeps packed.
    QTest::newRow("long paths") << 23u << 3000 << 12 << 40;
}

void PathIndexTest::the_index_answers_as_a_scan_of_the_list()
{
    QFETCH(quint32, seed);
    QFETCH(int, count);
    QFETCH(int, most_pieces);
    QFETCH(int, longest_suffix);
    QRandomGenerator random(seed);
    const Paths paths = randomPaths(random, count, most_pieces);
    const inas::parser::PathIndex index(paths.views);

    for (int round = 0; round < 400; ++round) {
        const std::string text = randomText(random, paths);
        const std::string suffix
                = text.substr(text.size() - std::min<size_t>(text.size(), random.bounded(longest_suffix + 1)));

        int first = -1;
        for (size_t i = 0; i < paths.list.size() && first < 0; ++i) {
            const std::string &path = paths.list[i];
            if (!suffix.empty() && path.size() >= suffix.size()
                && path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0)
                first = int(i);
        }
        QCOMPARE(index.firstEndingWith(suffix), first);

        std::vector<int> contained;
        for (size_t i = 0; i < paths.list.size(); ++i) {
            if (text.find(paths.list[i]) != std::string::npos)
                contained.push_back(int(i));
        }
        QCOMPARE(index.containedIn(text), contained);
    }
}

void PathIndexTest::the_table_finds_exactly_the_paths_it_holds()
{
    QRandomGenerator random(7);
    const Paths paths = randomPaths(random, 3000);
    inas::parser::PathTable table;
    for (size_t i = 0; i < paths.list.size(); ++i)
        QVERIFY(table.add(paths.list[i], Velmora::UGUID::derive(Velmora::UGUID(), std::to_string(i).c_str())));
    QVERIFY(!table.add(paths.list.front(), Velmora::UGUID()));
    QCOMPARE(table.size(), int(paths.list.size()));
    for (size_t i = 0; i < paths.list.size(); ++i) {
        const int position = table.find(paths.list[i]);
        QCOMPARE(position, int(i));
        QCOMPARE(std::string(table.path(position)), paths.list[i]);
    }
    // Near misses: a path with a character more or less.
    for (const std::string &path : paths.list) {
        if (table.find(path + "~") >= 0 || table.find(path.substr(1)) == table.find(path))
            QFAIL(path.c_str());
    }
}

void PathIndexTest::staged_paths_go_in_as_they_would_one_by_one()
{
    // Paths with repeats, some of a path added before the staging began,
    // some of a path staged before; each with a GUID of its own.
    QRandomGenerator random(11);
    const Paths paths = randomPaths(random, 2000);
    std::vector<std::string> sequence;
    for (int i = 0; i < 3000; ++i)
        sequence.push_back(paths.list[random.bounded(quint32(paths.list.size()))]);
    const auto guidOf = [](size_t i) { return Velmora::UGUID::derive(Velmora::UGUID(), std::to_string(i).c_str()); };

    inas::parser::PathTable one_by_one;
    std::vector<std::string> refused;
    for (size_t i = 0; i < sequence.size(); ++i) {
        if (!one_by_one.add(sequence[i], guidOf(i)))
            refused.push_back(sequence[i]);
    }
    inas::parser::PathTable staged;
    std::vector<std::string> repeated;
    for (size_t i = 0; i < 500; ++i) {
        if (!staged.add(sequence[i], guidOf(i)))
            repeated.push_back(sequence[i]);
    }
    for (size_t i = 500; i < sequence.size(); ++i)
        staged.stage(sequence[i], guidOf(i));
    staged.addStaged([&](std::string_view path) { repeated.emplace_back(path); });

    QVERIFY(!refused.empty());
    QCOMPARE(repeated, refused);
    QCOMPARE(staged.size(), one_by_one.size());
    for (int i = 0; i < one_by_one.size(); ++i) {
        QCOMPARE(staged.path(i), one_by_one.path(i));
        QVERIFY(staged.guid(i) == one_by_one.guid(i));
        QCOMPARE(staged.find(one_by_one.path(i)), i);
    }
}

QTEST_GUILESS_MAIN(PathIndexTest)
#include "tst_path_index.moc"
