// What the items factory records per asset: which references resolve,
// which are lost, parents, and the near-GUID texts the GUID rule rejects.

#include "cleaner_fixture.h"
#include "project_builder.h"

#include <editor/cleaner/cleaner_common.h>
#include <editor/cleaner/parser/items_factory.h>

#include <editor_core/editor/AssetManagerPrivate.h>

#include <QtTest>

using inastest::AnalysisFixture;
using inastest::LogCapture;

namespace {

// A GUID text with only two letters: the GUID rule rejects it.
const char RARE_GUID[] = "000000000000000000000000000000000000a1b2";

} // namespace

class AssetRecordsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void a_guid_text_needs_one_letter_case_and_three_digits_and_letters_data();
    void a_guid_text_needs_one_letter_case_and_three_digits_and_letters();
    void each_asset_records_what_it_uses_and_what_is_lost_data();
    void each_asset_records_what_it_uses_and_what_is_lost();
    void node_records_read_the_id_as_the_world_reader_does();
    void a_parent_the_project_lacks_is_a_soft_assertion();
    void a_cancel_at_the_first_asset_leaves_no_records();

private:
    const cleaner::AssetInfo *record(const QString &path) const;

    QTemporaryDir dir_;
    AnalysisFixture fixture_;
    cleaner::ItemsFactory factory_;
    Velmora::Vector<cleaner::AssetInfo> records_;
    int verified_asserts_ = 0;
};

void AssetRecordsTest::initTestCase()
{
    const QByteArray core_white = Velmora::UGUID::fromPath("core/textures/white.png").getString().get();
    test::ProjectBuilder project(dir_.path());
    project.asset("textures/a.png", "png", "{a001}", 6)
            .asset("textures/rare.png", "png", QString::fromLatin1(RARE_GUID), 6)
            .file("core/textures/white.png", "png")
            .asset("materials/base.mat", "<base_material name=\"base\"/>", "{a010}", 4)
            .asset("materials/child.mat",
                   "<material name=\"child\" parent_name=\"base\"><texture name=\"t\">a.png</texture></material>",
                   "{a011}", 4)
            .asset("properties/base.prop", "<property name=\"pbase\"/>", "{a020}", 5)
            .asset("properties/child.prop", "<property name=\"pchild\" parent_name=\"pbase\"/>", "{a021}", 5)
            .asset("nodes/values.node",
                   QByteArray("<nodes><a>guid://ddddd00000000000000000000000000000000001</a>"
                              "<b>")
                           + core_white + "</b><c>./textures\\a.png</c><d>" + RARE_GUID
                           + "</d><e>{a030}</e><f>AAAAA00000000000000000000000000000000099</f></nodes>",
                   "{a030}", 1)
            .asset("tracks/t.track",
                   "<track><parameter type=\"node.object.material\"><key>base</key><key>child</key></parameter>"
                   "<parameter type=\"property.mass\" name=\"pchild\"/></track>",
                   "{a040}", 13)
            .file("other/plain.txt", "no meta file")
            .asset("nodes/plain_ref.node", "<nodes><mesh>other/plain.txt</mesh></nodes>", "{a031}", 1)
            .world("worlds/w.world", "{a050}", {"n"})
            .asset("worlds/w.usc", "//", "{a051}", 20)
            .file("worlds/w.cpp", "//")
            .asset("properties/orphan.prop", "<property name=\"porphan\" parent=\"{a098}\"/>", "{a022}", 5)
            .asset("properties/odd_root.prop", "<settings name=\"podd\" parent=\"{a020}\"/>", "{a023}", 5)
            .asset("nodes/ids.node",
                   "<nodes><node name=\"numbered\" id=\"12\"><a>{d011}</a></node>"
                   "<node name=\"worded\" id=\"seven\"><a>{d012}</a></node>"
                   "<node name=\"half\" id=\"7x\"><a>{d013}</a></node>"
                   "<node name=\"bare\"><a>{d014}</a></node></nodes>",
                   "{a032}", 1)
            .asset("terrain/t_0_0.tile", "tile", "{a060}", 21)
            .asset("terrain/spare.tile", "tile", "{a061}", 21)
            .file("terrain/island.lmap", "lmap")
            .rawMeta("terrain/island.lmap",
                     test::ProjectBuilder::expandGuids(
                             "<asset version=\"1\" guid=\"{a062}\" type=\"9\"><import>"
                             "<param name=\"detail\">{d015}</param>"
                             "<mapper name=\"ground\"><file key=\"0_0\">terrain/t_0_0.tile</file>"
                             "<file key=\"1_0\">terrain/gone.tile</file></mapper>"
                             "</import></asset>")
                             .toUtf8());
    QVERIFY(project.ok());
    QVERIFY(fixture_.start(project.dataPath()));
    factory_.init(fixture_.assets(), fixture_.materials());
    LogCapture capture;
    QVERIFY(factory_.createItems([](int, int) { return true; }, records_));
    verified_asserts_ = capture.count(QStringLiteral("SOFT ASSERT: \"verified\""));
    QVERIFY(factory_.readFailures().isEmpty());
}

void AssetRecordsTest::cleanupTestCase()
{
    fixture_.stop();
}

const cleaner::AssetInfo *AssetRecordsTest::record(const QString &path) const
{
    for (const cleaner::AssetInfo &info : records_) {
        if (fixture_.describe(info.getAssetId()) == path)
            return &info;
    }
    return nullptr;
}

void AssetRecordsTest::a_guid_text_needs_one_letter_case_and_three_digits_and_letters_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("guid");
    QTest::addColumn<QString>("log");
    QTest::newRow("lower case") << QByteArray("0123456789abcdef0123456789abcdef01234567") << true << QString();
    QTest::newRow("upper case") << QByteArray("0123456789ABCDEF0123456789ABCDEF01234567") << true << QString();
    QTest::newRow("mixed case") << QByteArray("0123456789abcdef0123456789ABCDEF01234567") << false << "1. data(";
    QTest::newRow("forty digits") << QByteArray(40, '7') << false << "2. data(";
    QTest::newRow("two letters") << QByteArray(RARE_GUID) << false << "2. data(";
    QTest::newRow("two digits") << QByteArray("12") + QByteArray(38, 'c') << false << "2. data(";
    QTest::newRow("39 characters") << QByteArray(39, 'a').replace(0, 5, "12345") << false << QString();
    QTest::newRow("41 characters") << QByteArray("0123456789abcdef0123456789abcdef012345678") << false << QString();
    QTest::newRow("not hex") << QByteArray("0123456789abcdef0123456789abcdef0123456g") << false << QString();
}

void AssetRecordsTest::a_guid_text_needs_one_letter_case_and_three_digits_and_letters()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, guid);
    QFETCH(QString, log);
    LogCapture capture;
    QCOMPARE(cleaner::doesLookLikeGuid(text.constData()), guid);
    QCOMPARE(capture.count(QStringLiteral("PAY ATTENTION. doesLookLikeGuid.")), log.isEmpty() ? 0 : 1);
    if (!log.isEmpty())
        QCOMPARE(capture.count(QStringLiteral("doesLookLikeGuid. ") + log + QString::fromLatin1(text) + ')'), 1);
}

void AssetRecordsTest::each_asset_records_what_it_uses_and_what_is_lost_data()
{
    QTest::addColumn<QString>("asset");
    QTest::addColumn<QString>("uses");
    QTest::addColumn<QString>("lost");
    QTest::addColumn<QString>("parent");

    // A lost "guid://" text; an engine file, neither alive nor lost; a
    // path written the Windows way; a rare but real GUID; itself (never);
    // an upper-case GUID of nothing.
    QTest::newRow("values") << "nodes/values.node"
                            << "textures/a.png, textures/rare.png"
                            << "{a099}, {d001}"
                            << "";
    // The parent is the base's asset, not its material runtime, and the
    // texture named by its file name alone is the asset found by suffix.
    QTest::newRow("material") << "materials/child.mat"
                              << "textures/a.png"
                              << ""
                              << "materials/base.mat";
    QTest::newRow("property") << "properties/child.prop"
                              << ""
                              << ""
                              << "properties/base.prop";
    QTest::newRow("track") << "tracks/t.track"
                           << "materials/base.mat#material, materials/child.mat#material, "
                              "properties/child.prop#property"
                           << ""
                           << "";
    // A file that exists but is no asset is a lost reference for the
    // cleaner (nothing alive answers to it).
    QTest::newRow("a file without a meta file")
            << "nodes/plain_ref.node"
            << "" << QString::fromLatin1(Velmora::UGUID::fromPath("other/plain.txt").getString().get()) << "";
    // The root element decides nothing but the parent: its references
    // still count.
    QTest::newRow("property file with another root") << "properties/odd_root.prop"
                                                     << "properties/base.prop"
                                                     << ""
                                                     << "";
    QTest::newRow("property whose parent is nothing") << "properties/orphan.prop"
                                                      << ""
                                                      << "{a098}"
                                                      << "";
    // A mapped tile is used, a tile it does not map is not; a reference in
    // its meta file that resolves to nothing is lost.
    QTest::newRow("landscape map") << "terrain/island.lmap"
                                   << "terrain/t_0_0.tile"
                                   << "{d015}"
                                   << "";
    QTest::newRow("world and its scripts") << "worlds/w.world"
                                           << "worlds/w.usc"
                                           << ""
                                           << "";
}

void AssetRecordsTest::each_asset_records_what_it_uses_and_what_is_lost()
{
    QFETCH(QString, asset);
    QFETCH(QString, uses);
    QFETCH(QString, lost);
    QFETCH(QString, parent);
    const cleaner::AssetInfo *info = record(asset);
    QVERIFY(info);
    const auto &dependents = info->getDependentRuntimeIds();
    QStringList used;
    for (const Velmora::UGUID &guid : dependents)
        used << fixture_.describe(guid);
    used.sort();
    QCOMPARE(used.join(QStringLiteral(", ")), uses);
    QCOMPARE(fixture_.describe(std::vector<Velmora::UGUID>(info->lost_ids.begin(), info->lost_ids.end())), lost);
    QCOMPARE(info->getParentAssetId().isEmpty() ? QString() : fixture_.describe(info->getParentAssetId()), parent);
}

void AssetRecordsTest::node_records_read_the_id_as_the_world_reader_does()
{
    const cleaner::AssetInfo *info = record(QStringLiteral("nodes/ids.node"));
    QVERIFY(info);
    QStringList nodes;
    for (const cleaner::NodeInfo &node : info->nodes) {
        nodes << QStringLiteral("%1 %2 %3")
                         .arg(QString::fromUtf8(node.name.get()))
                         .arg(node.id)
                         .arg(fixture_.describe(
                                 std::vector<Velmora::UGUID>(node.lost_ids_.begin(), node.lost_ids_.end())));
    }
    // A present id that is no number is 0; only a missing one is -1.
    QCOMPARE(nodes, QStringList({"numbered 12 {d011}", "worded 0 {d012}", "half 0 {d013}", "bare -1 {d014}"}));
    QVERIFY(info->lost_ids.empty());
}

void AssetRecordsTest::a_parent_the_project_lacks_is_a_soft_assertion()
{
    // Only the property whose parent GUID names nothing; a parent by name
    // or of a file with another root element asserts nothing.
    QCOMPARE(verified_asserts_, 1);
}

void AssetRecordsTest::a_cancel_at_the_first_asset_leaves_no_records()
{
    Velmora::Vector<cleaner::AssetInfo> records;
    records.append(cleaner::AssetInfo());
    QVERIFY(!factory_.createItems([](int, int) { return false; }, records));
    QVERIFY(records.empty());
}

QTEST_GUILESS_MAIN(AssetRecordsTest)
#include "tst_asset_records.moc"
