// The whole analysis on generated projects: the indexed resolver and
// combiner give exactly the tables of the plain scans that they replace,
// and both give the generator's true dependency graph.

#include "analysis_fixture.h"
#include "project_generator.h"

#include <editor/interdependence/analysis_executor.h>
#include <editor/interdependence/analyzer/analyzer_driver.h>
#include <editor/interdependence/analyzer/analyzer_output.h>
#include <editor/interdependence/parser/generic_item_builder.h>
#include <editor/interdependence/parser/guid_processor.h>
#include <editor/interdependence/parser/parser_driver.h>
#include <editor/interdependence/parser/utils.h>
#include <editor/show_assets_dependencies/data/used_data.h>
#include <editor/show_assets_dependencies/data/using_this_one_data.h>
#include <editor/show_assets_dependencies/show_assets_settings.h>
#include <editor/show_assets_dependencies/show_dependencies.h>
#include <editor/show_assets_dependencies/used_combiner.h>
#include <editor/show_assets_dependencies/used_result_data.h>
#include <editor/show_assets_dependencies/using_this_one_combiner.h>
#include <editor/show_assets_dependencies/using_this_one_result_data.h>

#include <editor_core/editor/AssetManagerPrivate.h>

#include <QRandomGenerator>
#include <QtTest>

#include <set>
#include <string_view>

using inastest::AnalysisFixture;

namespace {

// The resolver with the suffix and contained matches as scans of its table.
class ScanningGuidProcessor : public inas::parser::GuidProcessor
{
public:
    using GuidProcessor::GuidProcessor;
    bool matchSuffix(const char *text, const inas::parser::FoundCallback &found) const override
    {
        const std::string_view suffix(text ? text : "");
        if (suffix.empty())
            return false;
        for (int i = 0; i < getPaths().size(); ++i) {
            const std::string_view path = getPaths().path(i);
            if (path.size() >= suffix.size() && path.substr(path.size() - suffix.size()) == suffix) {
                found(getPaths().guid(i));
                return true;
            }
        }
        return false;
    }
    bool matchContained(const char *text, const inas::parser::FoundCallback &found) const override
    {
        const std::string_view haystack(text ? text : "");
        if (haystack.empty())
            return false;
        bool any = false;
        for (int i = 0; i < getPaths().size(); ++i) {
            if (haystack.find(getPaths().path(i)) != std::string_view::npos) {
                found(getPaths().guid(i));
                any = true;
            }
        }
        return any;
    }
};

// The combiner that offers every item of the map as a possible user.
class ScanningUsingThisOneCombiner : public show_deps::UsingThisOneCombiner
{
protected:
    QHash<Velmora::UGUID, Users> findUsers(const inas::analyzer::Output &output,
                                           const QSet<Velmora::UGUID> &targets) const override
    {
        Users everything;
        for (const inas::analyzer::ItemMap::Entry &entry : output.item_map)
            everything.push_back(&entry);
        QHash<Velmora::UGUID, Users> users;
        for (const Velmora::UGUID &target : targets)
            users.insert(target, everything);
        return users;
    }
};

// The combiner with its search for users reachable.
class OpenUsingThisOneCombiner : public show_deps::UsingThisOneCombiner
{
public:
    using UsingThisOneCombiner::findUsers;
};

std::unique_ptr<inas::ResultData> analyse(const Velmora::Vector<Velmora::UGUID> &guids, bool used, bool scanning)
{
    if (!scanning)
        return show_deps::createExecutor(guids, used)->execute([](int, int) { return true; });
    auto executor = std::make_unique<inas::Executor>();
    auto settings = std::make_unique<show_deps::ShowAssetsSettings>(guids, used);
    auto parser = std::make_unique<inas::parser::Driver>();
    parser->setItemBuilder(std::make_unique<inas::parser::GenericItemBuilder>());
    inas::parser::utils::setupParser(settings.get(), parser.get(),
                                     std::make_shared<ScanningGuidProcessor>(settings->getAssetManager()));
    executor->setParser(std::move(parser));
    executor->setSettings(std::move(settings));
    executor->setAnalyzer(std::make_unique<inas::analyzer::Driver>());
    if (used)
        executor->setCombiner(std::make_unique<show_deps::UsedCombiner>());
    else
        executor->setCombiner(std::make_unique<ScanningUsingThisOneCombiner>());
    return executor->execute([](int, int) { return true; });
}

QString text(const Velmora::UGUID &guid)
{
    return QString::fromLatin1(guid.getString().get());
}

// Every table row in order: "main > sub [node id]".
QStringList rows(const inas::ResultData &result)
{
    QStringList lines;
    if (const auto *used = dynamic_cast<const show_deps::UsedResultData *>(&result)) {
        const show_deps::UsedData &data = *used->data();
        for (int r = 0; r < data.getNumRows(); ++r)
            lines << text(data.getMainRow(r).guid) + QStringLiteral(" > ") + text(data.getSubRow(r).guid);
    } else if (const auto *users = dynamic_cast<const show_deps::UsingThisOneResultData *>(&result)) {
        const show_deps::UsingThisOneData &data = *users->data();
        for (int r = 0; r < data.getNumRows(); ++r) {
            const show_deps::UsingThisOneSubRow &sub = data.getSubRow(r);
            lines << QStringLiteral("%1 > %2 %3 %4")
                             .arg(text(data.getMainRow(r).guid), text(sub.guid), sub.text)
                             .arg(sub.id);
        }
    }
    return lines;
}

} // namespace

class IndexedAnalysisTest : public QObject
{
    Q_OBJECT

private slots:
    void the_indexed_analysis_gives_the_tables_of_the_scans_and_the_truth_data();
    void the_indexed_analysis_gives_the_tables_of_the_scans_and_the_truth();
    void the_users_in_a_large_map_come_in_map_order();
};

void IndexedAnalysisTest::the_indexed_analysis_gives_the_tables_of_the_scans_and_the_truth_data()
{
    QTest::addColumn<quint64>("seed");
    QTest::addColumn<int>("assets");
    QTest::newRow("2,000 assets, seed 1") << quint64(1) << 2000;
    QTest::newRow("1,200 assets, seed 2") << quint64(2) << 1200;
}

void IndexedAnalysisTest::the_indexed_analysis_gives_the_tables_of_the_scans_and_the_truth()
{
    QFETCH(quint64, seed);
    QFETCH(int, assets);

    QTemporaryDir dir;
    depsbench::GeneratorOptions options;
    options.assets = assets;
    options.seed = seed;
    options.big_folder_files = assets / 5;
    depsbench::ProjectGenerator generator(options);
    QString error;
    QVERIFY2(generator.write(dir.path() + QStringLiteral("/data"), dir.path() + QStringLiteral("/truth.tsv"), &error),
             qPrintable(error));
    AnalysisFixture fixture;
    QVERIFY(fixture.start(dir.path() + QStringLiteral("/data")));
    QCOMPARE(fixture.assets()->getNumAssets(), assets);

    // Every asset for the truth; a seeded pick for the scans, which are slow.
    Velmora::Vector<Velmora::UGUID> all;
    for (const as::Asset &asset : fixture.assets()->assets())
        all.append(asset.getGUID());
    Velmora::Vector<Velmora::UGUID> pick{Velmora::UGUID(generator.mostUsedAsset().constData())};
    QRandomGenerator random{quint32(seed)};
    for (int i = 0; i < 300; ++i)
        pick.append(all[int(random.bounded(quint32(all.size())))]);

    for (const bool used : {true, false}) {
        const auto indexed = analyse(pick, used, false);
        const auto scanned = analyse(pick, used, true);
        QVERIFY(indexed && scanned);
        const QStringList indexed_rows = rows(*indexed);
        QCOMPARE(indexed_rows.size(), rows(*scanned).size());
        QCOMPARE(indexed_rows, rows(*scanned));
    }

    // The truth: per target, the users as a whole ("-1") and per node.
    std::map<QString, std::set<QString>> expected_users;
    std::map<QString, std::set<QString>> expected_used;
    for (const depsbench::Edge &edge : generator.edges()) {
        expected_users[QString::fromLatin1(edge.target)].insert(
                QStringLiteral("%1 %2 %3")
                        .arg(QString::fromLatin1(edge.user), QString::fromUtf8(edge.node))
                        .arg(edge.node_id));
        expected_used[QString::fromLatin1(edge.user)].insert(QString::fromLatin1(edge.target));
    }
    const auto users = analyse(all, false, false);
    const auto used = analyse(all, true, false);
    // The generator records no edge from an asset to itself; a model's node
    // runtime names the model's mesh runtime, so each model lists itself in
    // both tables. Those rows are compared apart.
    std::map<QString, std::set<QString>> actual_users;
    std::map<QString, std::set<QString>> actual_used;
    std::set<QString> self_users;
    std::set<QString> self_used;
    const show_deps::UsingThisOneData &users_data = *dynamic_cast<show_deps::UsingThisOneResultData &>(*users).data();
    for (int r = 0; r < users_data.getNumRows(); ++r) {
        const show_deps::UsingThisOneSubRow &sub = users_data.getSubRow(r);
        if (sub.guid == users_data.getMainRow(r).guid)
            self_users.insert(text(sub.guid));
        else if (!sub.guid.isEmpty())
            actual_users[text(users_data.getMainRow(r).guid)].insert(
                    QStringLiteral("%1 %2 %3").arg(text(sub.guid), sub.text).arg(sub.id));
    }
    const show_deps::UsedData &used_data = *dynamic_cast<show_deps::UsedResultData &>(*used).data();
    for (int r = 0; r < used_data.getNumRows(); ++r) {
        if (used_data.getSubRow(r).guid == used_data.getMainRow(r).guid)
            self_used.insert(text(used_data.getSubRow(r).guid));
        else if (!used_data.getSubRow(r).guid.isEmpty())
            actual_used[text(used_data.getMainRow(r).guid)].insert(text(used_data.getSubRow(r).guid));
    }
    QCOMPARE(actual_users.size(), expected_users.size());
    QVERIFY(actual_users == expected_users);
    QCOMPARE(actual_used.size(), expected_used.size());
    QVERIFY(actual_used == expected_used);
    QVERIFY(!self_used.empty());
    QVERIFY(self_used == self_users);
    for (const QString &self : self_used)
        QCOMPARE(int(fixture.assets()->asset(Velmora::UGUID(self.toLatin1().constData())).getType()),
                 int(AssetType::MODEL));
}

void IndexedAnalysisTest::the_users_in_a_large_map_come_in_map_order()
{
    // Enough items that the search is split up; every third uses a, every
    // fifth b, and each uses one GUID nobody looks for.
    const auto id = [](char letter, int number) {
        return Velmora::UGUID(
                (QByteArray(2, letter) + QByteArray::number(number, 16).rightJustified(38, '0')).constData());
    };
    const Velmora::UGUID a = id('a', 1);
    const Velmora::UGUID b = id('b', 1);
    inas::analyzer::Output output;
    std::vector<const inas::analyzer::ItemMap::Entry *> expected_a;
    std::vector<const inas::analyzer::ItemMap::Entry *> expected_b;
    const int count = 40000;
    output.item_map.reserve(count);
    for (int i = 0; i < count; ++i) {
        auto item = std::make_shared<inas::parser::Item>(id('e', i));
        item->addDependent(id('c', i));
        if (i % 3 == 0)
            item->addDependent(a);
        if (i % 5 == 0)
            item->addDependent(b);
        QVERIFY(output.item_map.insert(item->getId(), std::make_shared<inas::analyzer::Item>(item)));
    }
    for (const inas::analyzer::ItemMap::Entry &entry : output.item_map) {
        if (entry.data->getParserData()->getDependents().contains(a))
            expected_a.push_back(&entry);
        if (entry.data->getParserData()->getDependents().contains(b))
            expected_b.push_back(&entry);
    }
    const auto users = OpenUsingThisOneCombiner().findUsers(output, {a, b, id('d', 1)});
    QCOMPARE(users.size(), 2);
    QVERIFY(users.value(a) == expected_a);
    QVERIFY(users.value(b) == expected_b);
}

QTEST_GUILESS_MAIN(IndexedAnalysisTest)
#include "tst_indexed_analysis.moc"
