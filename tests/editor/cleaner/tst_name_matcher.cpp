// The all-names-at-once search against the plain one-name-at-a-time search
// on random names and texts: overlapping names, names inside names, repeats,
// empty names and NUL bytes.

#include <editor/cleaner/collector/name_matcher.h>

#include <QtTest>

#include <random>
#include <set>
#include <string>
#include <vector>

class NameMatcherTest : public QObject
{
    Q_OBJECT

private slots:
    void finds_exactly_the_names_a_plain_search_finds_data();
    void finds_exactly_the_names_a_plain_search_finds();
    void reports_each_name_once_in_the_order_it_first_ends();
};

void NameMatcherTest::finds_exactly_the_names_a_plain_search_finds_data()
{
    QTest::addColumn<int>("alphabet");
    QTest::addColumn<int>("max_name");
    // A small alphabet makes names overlap and nest all the time.
    QTest::newRow("two letters, short names") << 2 << 4;
    QTest::newRow("four letters") << 4 << 8;
    QTest::newRow("all bytes, NUL included") << 256 << 12;
}

void NameMatcherTest::finds_exactly_the_names_a_plain_search_finds()
{
    QFETCH(int, alphabet);
    QFETCH(int, max_name);
    for (unsigned seed = 1; seed <= 300; ++seed) {
        std::mt19937 random(seed);
        auto byte = [&] {
            return char(std::uniform_int_distribution<int>(0, alphabet - 1)(random) + (alphabet < 256 ? 'a' : 0));
        };
        std::vector<std::string> names(size_t(std::uniform_int_distribution<int>(1, 40)(random)));
        for (std::string &name : names) {
            name.resize(size_t(std::uniform_int_distribution<int>(0, max_name)(random)));
            for (char &c : name)
                c = byte();
        }
        names.push_back(names.front()); // a repeated name keeps both ids
        cleaner::NameMatcher matcher;
        for (const std::string &name : names)
            matcher.add(name);
        matcher.build();
        for (int t = 0; t < 5; ++t) {
            std::string text(size_t(std::uniform_int_distribution<int>(0, 200)(random)), ' ');
            for (char &c : text)
                c = byte();
            std::set<int> expected;
            for (size_t i = 0; i < names.size(); ++i) {
                if (!names[i].empty() && text.find(names[i]) != std::string::npos)
                    expected.insert(int(i));
            }
            std::vector<int> found;
            matcher.search(text, [&found](int id) {
                found.push_back(id);
                return true;
            });
            QCOMPARE(std::set<int>(found.begin(), found.end()), expected);
            QCOMPARE(found.size(), expected.size());
        }
    }
}

void NameMatcherTest::reports_each_name_once_in_the_order_it_first_ends()
{
    cleaner::NameMatcher matcher;
    const int he = matcher.add("he");
    const int she = matcher.add("she");
    const int hers = matcher.add("hers");
    const int never = matcher.add("xyz");
    matcher.build();
    std::vector<int> found;
    matcher.search("ushers and she", [&found](int id) {
        found.push_back(id);
        return true;
    });
    QCOMPARE(found, (std::vector<int>{she, he, hers}));
    Q_UNUSED(never);
    // A search may stop at its first find.
    found.clear();
    matcher.search("hers", [&found](int id) {
        found.push_back(id);
        return false;
    });
    QCOMPARE(found, std::vector<int>{he});
}

QTEST_GUILESS_MAIN(NameMatcherTest)
#include "tst_name_matcher.moc"
