// The analyzer: its progress and cancel, and the uses it links because of
// where files lie (node paths, landscape side files, GUI skins) and what the
// engine's materials name, over a project made for it.

#include "analysis_fixture.h"
#include "project_builder.h"

#include <editor/interdependence/analyzer/analyzer_driver.h>
#include <editor/interdependence/item_arena.h>
#include <editor/interdependence/parser/generic_item_builder.h>
#include <editor/interdependence/parser/items/hierarchy.h>
#include <editor/interdependence/parser/items/node.h>

#include <editor_core/AssetType.h>
#include <editor_core/editor/AssetManagerPrivate.h>

#include <velmora/UGUID.h>

#include <QtTest>

using inastest::AnalysisFixture;
using inastest::guid;
using inastest::LogCapture;

namespace {

// The analyzer with its protected steps reachable.
class OpenDriver : public inas::analyzer::Driver
{
public:
    using Driver::addRuntimeDependency;
};

// Dependents of every item, by item id.
QHash<Velmora::UGUID, std::vector<Velmora::UGUID>> dependentsOf(const inas::parser::Output &output)
{
    QHash<Velmora::UGUID, std::vector<Velmora::UGUID>> all;
    for (const inas::parser::ItemPtr &item : output.getItems())
        all.insert(item->getId(), item->getDependents().values());
    return all;
}

// An item no file stands behind, of a file with that extension; a node names
// the path "maps/a/x.mesh".
inas::parser::ItemPtr filler(int number, const char *extension)
{
    const Velmora::UGUID id(("ee" + QByteArray::number(number, 16).rightJustified(38, '0')).constData());
    inas::parser::ItemPtr item;
    if (qstrcmp(extension, "node") == 0) {
        auto node = std::make_shared<inas::parser::items::Node>(id);
        node->getPaths().insert(Velmora::String("maps/a/x.mesh"));
        item = node;
    } else {
        item = std::make_shared<inas::parser::Item>(id);
    }
    const QByteArray path = "/nowhere/filler/" + QByteArray::number(number) + "." + extension;
    item->setAbsolutePath(Velmora::String(path.constData(), path.size()));
    return item;
}

} // namespace

class AnalyzerTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void progress_has_one_step_for_the_items_and_one_per_link_step_data();
    void progress_has_one_step_for_the_items_and_one_per_link_step();
    void implicit_uses_follow_from_where_files_lie_data();
    void implicit_uses_follow_from_where_files_lie();
    void a_file_that_only_looks_like_a_side_file_is_skipped_with_a_warning();
    void a_material_adds_each_texture_asset_of_its_slots_once_data();
    void a_material_adds_each_texture_asset_of_its_slots_once();
    void a_material_the_engine_does_not_know_is_skipped_with_a_warning();
    void material_lines_follow_the_earlier_steps_and_a_cancel_drops_the_material_step_data();
    void material_lines_follow_the_earlier_steps_and_a_cancel_drops_the_material_step();
    void a_runtime_dependency_is_never_the_item_itself_nor_its_parent_data();
    void a_runtime_dependency_is_never_the_item_itself_nor_its_parent();
    void init_makes_the_driver_ready_for_another_run();
    void a_large_run_links_and_logs_as_a_small_one();
    void the_uses_linked_into_items_stay_with_their_own_items();

private:
    QTemporaryDir dir_;
    AnalysisFixture fixture_;
};

void AnalyzerTest::initTestCase()
{
    test::ProjectBuilder project(dir_.path());
    project
            // Node paths: every "uts"/"utsh" file of the folder, whatever its
            // name; extensions compare with their letter case.
            .asset("maps/a/road.uts", "//", "{a101}", 21)
            .asset("maps/a/road.utsh", "//", "{a102}", 21)
            .asset("maps/a/road.png", "png", "{a103}", 6)
            .asset("maps/a/lane.uts", "//", "{a104}", 21)
            .asset("maps/a/CAPS.UTS", "//", "{a105}", 21)
            .asset("nodes/crossing.node",
                   "<nodes><node name=\"sign\" id=\"1\"><path>maps/a/x.mesh</path></node></nodes>", "{a110}", 1)
            .asset("nodes/plain.node", "<nodes><node name=\"box\" id=\"1\"/></nodes>", "{a111}", 1)
            // A path whose name leads out of the folder named before it.
            .asset("nodes/up.node", "<nodes><node name=\"up\" id=\"1\"><path>maps/a/..</path></node></nodes>", "{a112}",
                   1)
            // Landscapes and their side files.
            .asset("terrain/land.ter", "ter", "{a120}", 17)
            .asset("terrain/land.ter1", "side", "{a121}", 21)
            .asset("terrain/land.terrain_backup", "backup", "{a122}", 21)
            .asset("terrain/other.ter", "ter", "{a123}", 17)
            // Extensions in capitals; a name that extends the landscape's
            // but ends in another extension.
            .asset("terrain2/HILL.TER", "ter", "{a124}", 17)
            .asset("terrain2/HILL.TER2", "side", "{a125}", 21)
            .asset("terrain2/HILL.TER.png", "png", "{a126}", 6)
            .asset("terrain2/HILL.TERx", "side", "{a127}", 21)
            // GUI skins: the name "gui.rc" in any letter case.
            .asset("skin/gui.rc", "rc", "{a130}", 21)
            .asset("skin/font.ttf", "ttf", "{a131}", 10)
            .asset("skin/gui_white.png", "png", "{a132}", 6)
            .asset("skin/gui_extra.png", "png", "{a133}", 6)
            .asset("skin/skin.rc", "rc", "{a134}", 21)
            .asset("skin2/GUI.RC", "rc", "{a135}", 21)
            .asset("skin2/gui_mouse.png", "png", "{a136}", 6)
            .asset("lonely/gui.rc", "rc", "{a137}", 21)
            // Materials: slots with a texture asset (twice), nothing, a file
            // nobody has and an engine texture without an asset.
            .asset("textures/wall.png", "png", "{a140}", 6)
            .file("core/textures/white.png", "png")
            .asset("materials/wall.mat",
                   "<material name=\"wall\"><texture name=\"albedo\">textures/wall.png</texture>"
                   "<texture name=\"normal\"></texture><texture name=\"rough\">textures/missing.png</texture>"
                   "<texture name=\"ao\">core/textures/white.png</texture>"
                   "<texture name=\"detail\">textures/wall.png</texture></material>",
                   "{a150}", 4)
            // Inherited slots: the parent's names first, each with the
            // nearest material's path.
            .asset("textures/a.png", "png", "{a141}", 6)
            .asset("textures/b.png", "png", "{a142}", 6)
            .asset("textures/c.png", "png", "{a143}", 6)
            .asset("textures/d.png", "png", "{a144}", 6)
            .asset("materials/base.mat",
                   "<material name=\"base\"><texture name=\"albedo\">textures/a.png</texture>"
                   "<texture name=\"normal\">textures/b.png</texture></material>",
                   "{a151}", 4)
            .asset("materials/child.mat",
                   "<material name=\"child\" parent_name=\"base\"><texture name=\"detail\">textures/d.png</texture>"
                   "<texture name=\"normal\">textures/c.png</texture></material>",
                   "{a152}", 4);
    QVERIFY(project.ok());
    QVERIFY(fixture_.start(project.dataPath()));
}

void AnalyzerTest::cleanupTestCase()
{
    fixture_.stop();
}

void AnalyzerTest::progress_has_one_step_for_the_items_and_one_per_link_step_data()
{
    QTest::addColumn<int>("stop_at");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<bool>("has_output");
    QTest::addColumn<bool>("node_paths_linked");
    QTest::addColumn<bool>("skins_linked");

    const QStringList all{"5 1", "5 2", "5 3", "5 4", "5 5"};
    QTest::newRow("to the end") << 0 << all << true << true << true;
    QTest::newRow("cancel after the items") << 1 << QStringList(all.mid(0, 1)) << false << false << false;
    QTest::newRow("cancel after the node paths") << 3 << QStringList(all.mid(0, 3)) << false << true << false;
    QTest::newRow("cancel in the last report") << 5 << all << false << true << true;
}

void AnalyzerTest::progress_has_one_step_for_the_items_and_one_per_link_step()
{
    QFETCH(int, stop_at);
    QFETCH(QStringList, calls);
    QFETCH(bool, has_output);
    QFETCH(bool, node_paths_linked);
    QFETCH(bool, skins_linked);

    const auto parsed = fixture_.parseAll();
    QVERIFY(parsed);
    inas::analyzer::Driver analyzer;
    QVERIFY(analyzer.init(fixture_.assets()));
    QCOMPARE(analyzer.getMaxIterations(), 5);
    QStringList seen;
    const auto output = analyzer.run(*parsed, [&](int max, int value) {
        seen << QStringLiteral("%1 %2").arg(max).arg(value);
        return seen.size() != stop_at;
    });
    analyzer.reset();

    QCOMPARE(seen, calls);
    QCOMPARE(bool(output), has_output);
    QCOMPARE(AnalysisFixture::findItem(*parsed, guid('a', 110))->getDependents().contains(guid('a', 101)),
             node_paths_linked);
    QCOMPARE(AnalysisFixture::findItem(*parsed, guid('a', 130))->getDependents().contains(guid('a', 131)),
             skins_linked);
}

void AnalyzerTest::implicit_uses_follow_from_where_files_lie_data()
{
    QTest::addColumn<int>("user");
    QTest::addColumn<QList<int>>("linked");

    QTest::newRow("node: the scripts of the folder its path points into") << 110 << QList<int>{104, 101, 102};
    QTest::newRow("node without paths") << 111 << QList<int>{};
    QTest::newRow("node whose path leaves the folder") << 112 << QList<int>{};
    QTest::newRow("landscape: its side file only") << 120 << QList<int>{121};
    QTest::newRow("landscape without side files") << 123 << QList<int>{};
    QTest::newRow("landscape in capitals: its side files only") << 124 << QList<int>{125, 127};
    QTest::newRow("gui.rc: the skin files beside it") << 130 << QList<int>{131, 132};
    QTest::newRow("another rc file") << 134 << QList<int>{};
    QTest::newRow("GUI.RC in capitals") << 135 << QList<int>{136};
    QTest::newRow("gui.rc without skin files") << 137 << QList<int>{};
}

void AnalyzerTest::implicit_uses_follow_from_where_files_lie()
{
    QFETCH(int, user);
    QFETCH(QList<int>, linked);

    const auto parsed = fixture_.parseAll();
    QVERIFY(parsed);
    const auto before = dependentsOf(*parsed);
    inas::analyzer::Driver analyzer;
    analyzer.init(fixture_.assets());
    QVERIFY(analyzer.run(*parsed, [](int, int) { return true; }));
    analyzer.reset();

    const std::vector<Velmora::UGUID> after
            = AnalysisFixture::findItem(*parsed, guid('a', user))->getDependents().values();
    const std::vector<Velmora::UGUID> had = before.value(guid('a', user));
    std::vector<Velmora::UGUID> added(after.begin() + std::ptrdiff_t(had.size()), after.end());
    std::vector<Velmora::UGUID> expected;
    for (const int n : linked)
        expected.push_back(guid('a', n));
    QCOMPARE(fixture_.describe(added), fixture_.describe(expected));
}

void AnalyzerTest::a_file_that_only_looks_like_a_side_file_is_skipped_with_a_warning()
{
    const auto parsed = fixture_.parseAll();
    LogCapture log;
    inas::analyzer::Driver analyzer;
    analyzer.init(fixture_.assets());
    QVERIFY(analyzer.run(*parsed, [](int, int) { return true; }));
    QVERIFY(!AnalysisFixture::findItem(*parsed, guid('a', 120))->getDependents().contains(guid('a', 122)));
    QCOMPARE(log.count(QStringLiteral("land.terrain_backup\" is not taken as a side file"), 1), 1);
}

void AnalyzerTest::a_material_adds_each_texture_asset_of_its_slots_once_data()
{
    QTest::addColumn<int>("material");
    QTest::addColumn<QString>("textures");
    // Not the empty slot, the unknown file or the engine's own texture.
    QTest::newRow("own slots") << 150 << QStringLiteral("textures/wall.png");
    QTest::newRow("inherited slots") << 152 << QStringLiteral("textures/a.png, textures/c.png, textures/d.png");
}

void AnalyzerTest::a_material_adds_each_texture_asset_of_its_slots_once()
{
    QFETCH(int, material);
    QFETCH(QString, textures);
    // Items as the parser makes them, without what the parser found, so that
    // only the analyzer's additions show.
    inas::parser::Output parsed;
    const as::Asset asset = fixture_.assets()->asset(guid('a', material));
    auto item = std::make_shared<inas::parser::items::Hierarchy>(asset.getGUID());
    auto runtime = std::make_shared<inas::parser::Item>(asset.findSRuntime().getGUID());
    item->getDescendants().insert(runtime->getId());
    // The material runtime has no file of its own: both items carry the
    // material file.
    item->setAbsolutePath(asset.getFilePath().toUtf8().constData());
    runtime->setAbsolutePath(item->getAbsolutePath());
    parsed.getItems() = {item, runtime};

    inas::analyzer::Driver analyzer;
    analyzer.init(fixture_.assets());
    QVERIFY(analyzer.run(parsed, [](int, int) { return true; }));

    QCOMPARE(fixture_.describe(item->getDependents().values()), textures);
    QCOMPARE(fixture_.describe(runtime->getDependents().values()), textures);
}

void AnalyzerTest::a_material_the_engine_does_not_know_is_skipped_with_a_warning()
{
    // A material asset's item without its one runtime: the engine material
    // cannot be found from it.
    inas::parser::Output parsed;
    auto item = std::make_shared<inas::parser::items::Hierarchy>(guid('a', 150));
    item->setAbsolutePath(fixture_.assets()->asset(guid('a', 150)).getFilePath().toUtf8().constData());
    parsed.getItems() = {item};
    LogCapture log;
    inas::analyzer::Driver analyzer;
    analyzer.init(fixture_.assets());
    QVERIFY(analyzer.run(parsed, [](int, int) { return true; }));
    QVERIFY(item->getDependents().empty());
    QCOMPARE(log.count(QStringLiteral("the engine has no material for"), 1), 1);
}

void AnalyzerTest::material_lines_follow_the_earlier_steps_and_a_cancel_drops_the_material_step_data()
{
    QTest::addColumn<int>("stop_at");
    QTest::addColumn<QStringList>("warnings");
    QTest::addColumn<QString>("textures");

    const QString side = QStringLiteral("is not taken as a side file");
    const QString unknown = QStringLiteral("the engine has no material for");
    QTest::newRow("to the end") << 0 << QStringList{side, unknown}
                                << QStringLiteral("textures/a.png, textures/c.png, textures/d.png");
    QTest::newRow("cancel after the skins") << 4 << QStringList{side} << QString();
    QTest::newRow("cancel after the items") << 1 << QStringList{} << QString();
}

void AnalyzerTest::material_lines_follow_the_earlier_steps_and_a_cancel_drops_the_material_step()
{
    QFETCH(int, stop_at);
    QFETCH(QStringList, warnings);
    QFETCH(QString, textures);

    // A landscape with a long-named side file (a warning of the node path
    // step), a material asset without its runtime (a warning of the
    // material step) and a material with textures, listed material first.
    const auto withFile = [this](const std::shared_ptr<inas::parser::Item> &item, int number) {
        item->setAbsolutePath(fixture_.assets()->asset(guid('a', number)).getFilePath().toUtf8().constData());
        return item;
    };
    const as::Asset child = fixture_.assets()->asset(guid('a', 152));
    auto material = withFile(std::make_shared<inas::parser::items::Hierarchy>(child.getGUID()), 152);
    auto runtime = withFile(std::make_shared<inas::parser::Item>(child.findSRuntime().getGUID()), 152);
    material->getDescendants().insert(runtime->getId());
    inas::parser::Output parsed;
    parsed.getItems() = {withFile(std::make_shared<inas::parser::items::Hierarchy>(guid('a', 150)), 150), material,
                         runtime, withFile(std::make_shared<inas::parser::Item>(guid('a', 120)), 120)};

    LogCapture log;
    inas::analyzer::Driver analyzer;
    analyzer.init(fixture_.assets());
    int calls = 0;
    const auto output = analyzer.run(parsed, [&](int, int) { return ++calls != stop_at; });
    analyzer.reset();
    QCOMPARE(bool(output), stop_at == 0);

    QStringList seen;
    for (const QString &line : log.lines(1)) {
        for (const QString &warning :
             {QStringLiteral("is not taken as a side file"), QStringLiteral("the engine has no material for")}) {
            if (line.contains(warning))
                seen << warning;
        }
    }
    QCOMPARE(seen, warnings);
    QCOMPARE(fixture_.describe(material->getDependents().values()), textures);
}

void AnalyzerTest::a_runtime_dependency_is_never_the_item_itself_nor_its_parent_data()
{
    QTest::addColumn<int>("dependency");
    QTest::addColumn<bool>("added");
    QTest::addColumn<QString>("warning");

    QTest::newRow("another asset") << 140 << true << QString();
    QTest::newRow("the item itself") << 150 << false << QString();
    QTest::newRow("its parent") << 132 << false << QString();
    QTest::newRow("no asset any more") << 999 << false << QStringLiteral("is no longer an asset");
}

void AnalyzerTest::a_runtime_dependency_is_never_the_item_itself_nor_its_parent()
{
    QFETCH(int, dependency);
    QFETCH(bool, added);
    QFETCH(QString, warning);

    auto parser_item = std::make_shared<inas::parser::items::Hierarchy>(guid('a', 150));
    parser_item->setParentId(guid('a', 132));
    inas::analyzer::Item item(parser_item);
    OpenDriver analyzer;
    analyzer.init(fixture_.assets());
    LogCapture log;
    analyzer.addRuntimeDependency(guid('a', dependency), item);
    analyzer.addRuntimeDependency(guid('a', dependency), item);
    QCOMPARE(parser_item->getDependents().size(), added ? 1 : 0);
    if (!warning.isEmpty())
        QCOMPARE(log.count(warning, 1), 2);
}

void AnalyzerTest::init_makes_the_driver_ready_for_another_run()
{
    inas::analyzer::Driver analyzer;
    for (int run = 0; run < 2; ++run) {
        const auto parsed = fixture_.parseAll();
        QVERIFY(analyzer.init(fixture_.assets()));
        QVERIFY(analyzer.run(*parsed, [](int, int) { return true; }));
        analyzer.reset();
        QCOMPARE(analyzer.getMaxIterations(), 0);
        QVERIFY(AnalysisFixture::findItem(*parsed, guid('a', 120))->getDependents().contains(guid('a', 121)));
    }
}

void AnalyzerTest::a_large_run_links_and_logs_as_a_small_one()
{
    // The project's items with one filler node, and then spread among
    // enough fillers (nodes, materials, landscapes, images) that the
    // analyzer splits its work, with a repeated id far from the first.
    const auto run = [this](const inas::parser::Output &parsed, QStringList &lines) {
        inas::analyzer::Driver analyzer;
        analyzer.init(fixture_.assets());
        LogCapture log;
        std::unique_ptr<inas::analyzer::Output> output = analyzer.run(parsed, [](int, int) { return true; });
        lines = log.lines();
        return output;
    };
    const auto small = fixture_.parseAll();
    small->getItems().push_back(filler(0, "node"));
    QStringList small_lines;
    QVERIFY(run(*small, small_lines));
    const std::vector<Velmora::UGUID> script_uses = small->getItems().back()->getDependents().values();
    QVERIFY(!script_uses.empty());

    const auto large = fixture_.parseAll();
    const std::vector<inas::parser::ItemPtr> own = large->getItems();
    const char *extensions[] = {"node", "node", "node", "mat", "mat", "ter", "png"};
    const int fillers = 30000;
    std::vector<inas::parser::ItemPtr> &items = large->getItems();
    items.clear();
    for (int i = 0, next = 0; i < fillers; ++i) {
        if (next < int(own.size()) && i == next * fillers / int(own.size()))
            items.push_back(own[size_t(next++)]);
        items.push_back(filler(i + 1, extensions[i % 7]));
    }
    const std::vector<inas::parser::ItemPtr> listed = items;
    auto repeat = std::make_shared<inas::parser::items::Node>(guid('a', 110));
    items.insert(items.begin() + fillers / 2 + 7, repeat);
    QStringList large_lines;
    const std::unique_ptr<inas::analyzer::Output> output = run(*large, large_lines);
    QVERIFY(output);

    // The map: the parser's order, the first item of the repeated id.
    QCOMPARE(output->item_map.size(), int(listed.size()));
    for (size_t i = 0; i < listed.size(); ++i)
        QVERIFY((output->item_map.begin() + std::ptrdiff_t(i))->data->getParserData() == listed[i]);
    QCOMPARE(large_lines.filter(QStringLiteral("is listed twice")).size(), 1);
    large_lines.removeAll(large_lines.filter(QStringLiteral("is listed twice")).value(0));
    QCOMPARE(repeat->getDependents().size(), 0);
    // The uses and the lines: as in the small run.
    QCOMPARE(large_lines, small_lines);
    const auto expected = dependentsOf(*small);
    for (const inas::parser::ItemPtr &item : own)
        QCOMPARE(item->getDependents().values(), expected.value(item->getId()));
    for (const inas::parser::ItemPtr &item : listed) {
        if (item->getAbsolutePath().std().find(".node") != std::string::npos
            && item->getAbsolutePath().std().find("/nowhere/") == 0)
            QCOMPARE(item->getDependents().values(), script_uses);
    }
}

// Items of two origins in one analysis, each made as the parser makes them:
// the uses linked into an item's sets must stay readable for as long as the
// item, whichever other items (and their memory) are gone by then.
void AnalyzerTest::the_uses_linked_into_items_stay_with_their_own_items()
{
    std::unique_ptr<inas::parser::Output> parsed = fixture_.parseAll();
    std::vector<inas::parser::ItemPtr> nodes;
    {
        // Enough nodes that their linking is split among threads.
        auto builder = std::make_unique<inas::parser::GenericItemBuilder>();
        const inas::ItemArena::Scope made_as_parsed(builder->arena()->side());
        for (int i = 0; i < 5000; ++i) {
            const Velmora::UGUID id(("ef" + QByteArray::number(i, 16).rightJustified(38, '0')).constData());
            inas::parser::ItemPtr node = builder->build(id, AssetType::NODE);
            static_cast<inas::parser::items::Node &>(*node).getPaths().insert(Velmora::String("maps/a/x.mesh"));
            const QByteArray path = "/nowhere/made/" + QByteArray::number(i) + ".node";
            node->setAbsolutePath(Velmora::String(path.constData(), path.size()));
            nodes.push_back(node);
        }
    }
    parsed->getItems().insert(parsed->getItems().end(), nodes.begin(), nodes.end());
    {
        inas::analyzer::Driver analyzer;
        analyzer.init(fixture_.assets());
        LogCapture log;
        QVERIFY(analyzer.run(*parsed, [](int, int) { return true; }));
    }
    const std::vector<Velmora::UGUID> uses = nodes.front()->getDependents().values();
    QVERIFY(uses.size() >= 2);
    // The parsed items go first, with all their memory.
    parsed.reset();
    for (const inas::parser::ItemPtr &node : nodes) {
        QCOMPARE(node->getDependents().values(), uses);
        QVERIFY(node->getDependents().contains(uses.back()));
    }
}

QTEST_GUILESS_MAIN(AnalyzerTest)
#include "tst_analyzer.moc"
