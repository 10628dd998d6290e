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
    void a_cancel_at_the_first_asset_leaves_no_records();

private:
    const cleaner::AssetInfo *record(const QString &path) const;

    QTemporaryDir dir_;
    AnalysisFixture fixture_;
    cleaner::ItemsFactory factory_;
    Velmora::Vector<cleaner::AssetInfo> records_;
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
            .file("worlds/w.cpp", "//");
    QVERIFY(project.ok());
    QVERIFY(fixture_.start(project.dataPath()));
    factory_.init(fixture_.assets(), fixture_.materials());
    QVERIFY(factory_.createItems([](int, int) { return true; }, records_));
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

void AssetRecordsTest::a_cancel_at_the_first_asset_leaves_no_records()
{
    Velmora::Vector<cleaner::AssetInfo> records;
    records.append(cleaner::AssetInfo());
    QVERIFY(!factory_.createItems([](int, int) { return false; }, records));
    QVERIFY(records.empty());
}

QTEST_GUILESS_MAIN(AssetRecordsTest)
#include "tst_asset_records.moc"
