// The parser driver and its modules over whole data folders: the golden
// result of the static test data folder, progress and cancel, bad input,
// and reads from the analysis thread while the GUI thread changes the asset
// manager.

#include "analysis_fixture.h"
#include "project_builder.h"

#include <editor/interdependence/custom_settings.h>
#include <editor/interdependence/parser/generic_item_builder.h>
#include <editor/interdependence/parser/guid_processor.h>
#include <editor/interdependence/parser/modules/module.h>
#include <editor/interdependence/parser/parser_driver.h>
#include <editor/interdependence/parser/parser_item.h>
#include <editor/interdependence/parser/utils.h>

#include <editor_core/editor/AssetManagerPrivate.h>

#include <velmora/FileSystem.h>
#include <velmora/Log.h>

#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QtConcurrent>
#include <QtTest>

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <thread>
#include <vector>

using inas::parser::Driver;
using inas::parser::ItemPtr;
using inastest::AnalysisFixture;
using inastest::guid;
using inastest::LogCapture;

namespace {

// A driver set up as the analysis sets it up: every module, the generic
// builder, the asset manager and the given assets.
std::unique_ptr<Driver> makeDriver(const AnalysisFixture &fixture, const QVector<as::Asset> &assets)
{
    auto driver = std::make_unique<Driver>();
    const inas::CustomSettings settings(fixture.assets(), fixture.materials(), fixture.properties(), assets);
    inas::parser::utils::setupParser(&settings, driver.get());
    driver->setItemBuilder(std::make_unique<inas::parser::GenericItemBuilder>());
    driver->setAssetManager(fixture.assets());
    driver->setAssets(assets);
    return driver;
}

QVector<as::Asset> allAssets(const AnalysisFixture &fixture)
{
    const Velmora::Vector<as::Asset> assets = fixture.assets()->assets();
    return QVector<as::Asset>(assets.begin(), assets.end());
}

bool accept(int, int)
{
    return true;
}

QStringList readExpected(QStringList *log_lines)
{
    QFile file(inastest::staticDataFolder() + QStringLiteral("/../expected.txt"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList items;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1String("log: ")))
            *log_lines << line.mid(5);
        else
            items << line;
    }
    return items;
}

// Compares line by line so that a failure names the first differing line.
void compareLines(const QStringList &actual, const QStringList &expected)
{
    for (int i = 0; i < qMin(actual.size(), expected.size()); ++i) {
        if (actual[i] != expected[i]) {
            const QString context = actual.mid(qMax(0, i - 3), 4).join(QLatin1Char('\n'));
            QFAIL(qPrintable(QStringLiteral("line %1 differs\n  actual:   %2\n  expected: %3\nactual context:\n%4")
                                     .arg(i + 1)
                                     .arg(actual[i], expected[i], context)));
        }
    }
    QCOMPARE(actual.size(), expected.size());
}

} // namespace

class ParserDriverTest : public QObject
{
    Q_OBJECT

private slots:
    void the_static_data_folder_gives_the_expected_items_and_log_lines();
    void progress_counts_every_asset_and_a_cancel_discards_the_output_data();
    void progress_counts_every_asset_and_a_cancel_discards_the_output();
    void reports_follow_the_reading_and_a_cancel_stops_every_reading_thread_data();
    void reports_follow_the_reading_and_a_cancel_stops_every_reading_thread();
    void a_path_claimed_twice_is_logged_before_the_assets_lines_in_every_run();
    void bad_files_give_a_warning_and_the_analysis_goes_on_data();
    void bad_files_give_a_warning_and_the_analysis_goes_on();
    void an_asset_whose_file_vanished_after_the_scan_is_skipped_with_a_warning();
    void a_null_or_repeated_asset_is_skipped_with_a_warning();
    void runtimes_of_many_assets_are_each_located_once_in_order();
    void an_assets_item_has_the_records_own_file_in_or_out_of_the_data_folder();
    void an_external_entity_is_never_fetched();
    void invalid_utf8_is_passed_over_and_the_references_around_it_are_found();
    void reading_on_a_worker_while_the_gui_thread_rescans_is_safe();
    void the_sample_project_has_no_lost_or_unreadable_references();
    void a_file_that_claims_a_taken_guid_still_counts_as_evidence();
};

void ParserDriverTest::the_static_data_folder_gives_the_expected_items_and_log_lines()
{
    AnalysisFixture fixture;
    QVERIFY(fixture.startWithCopyOf(inastest::staticDataFolder()));
    QStringList expected_log;
    const QStringList expected = readExpected(&expected_log);
    QVERIFY(!expected.isEmpty());

    auto driver = makeDriver(fixture, allAssets(fixture));
    LogCapture log;
    const std::unique_ptr<inas::parser::Output> output = driver->parse(&accept);
    QVERIFY(output);
    compareLines(fixture.describe(*output), expected);

    QStringList actual_log;
    for (QString line : log.lines()) {
        if (!line.startsWith(QLatin1String("Developer.")) && !log.lines(1).contains(line))
            continue;
        line.replace(fixture.dataPath(), QStringLiteral("<data>/"));
        actual_log << line;
    }
    compareLines(actual_log, expected_log);
}

void ParserDriverTest::progress_counts_every_asset_and_a_cancel_discards_the_output_data()
{
    QTest::addColumn<int>("assets");
    QTest::addColumn<int>("cancel_at");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<bool>("has_output");
    QTest::addColumn<int>("items_made");

    // The assets are read ahead of the reports: a cancel does not say how
    // many items were made (-1), only that no output comes.
    const QStringList all{"3 0", "3 1", "3 2", "3 3"};
    QTest::newRow("three assets") << 3 << -1 << all << true << 3;
    QTest::newRow("cancel before the second") << 3 << 1 << QStringList(all.mid(0, 2)) << false << -1;
    QTest::newRow("cancel in the last call") << 3 << 3 << all << false << 3;
    QTest::newRow("no assets") << 0 << -1 << QStringList{"0 0"} << true << 0;
}

void ParserDriverTest::progress_counts_every_asset_and_a_cancel_discards_the_output()
{
    QFETCH(int, assets);
    QFETCH(int, cancel_at);
    QFETCH(QStringList, calls);
    QFETCH(bool, has_output);
    QFETCH(int, items_made);

    AnalysisFixture fixture;
    QVERIFY(fixture.startWithCopyOf(inastest::staticDataFolder()));
    // Three texture assets: one item each, no runtimes.
    QVector<as::Asset> list;
    for (int n = 110; n < 110 + assets; ++n)
        list << fixture.assets()->asset(guid('a', n));

    // A builder that counts the items it made (the work done).
    struct CountingBuilder : inas::parser::GenericItemBuilder
    {
        int *made;
        explicit CountingBuilder(int *counter)
            : made(counter)
        {}
        ItemPtr build(const Velmora::UGUID &id, int type) override
        {
            ++*made;
            return GenericItemBuilder::build(id, type);
        }
    };
    int made = 0;
    auto driver = makeDriver(fixture, list);
    driver->setItemBuilder(std::make_unique<CountingBuilder>(&made));
    QCOMPARE(driver->getMaxIterations(), assets);

    QStringList seen;
    const auto output = driver->parse([&](int max, int value) {
        seen << QStringLiteral("%1 %2").arg(max).arg(value);
        return value != cancel_at;
    });
    QCOMPARE(seen, calls);
    QCOMPARE(bool(output), has_output);
    if (items_made >= 0)
        QCOMPARE(made, items_made);
    if (output)
        QCOMPARE(int(output->getItems().size()), items_made);
}

void ParserDriverTest::reports_follow_the_reading_and_a_cancel_stops_every_reading_thread_data()
{
    QTest::addColumn<int>("cancel_at");
    QTest::newRow("no cancel") << -1;
    QTest::newRow("cancel at the first report") << 1;
    QTest::newRow("cancel halfway") << 200;
    QTest::newRow("cancel at the last report before the end") << 399;
}

void ParserDriverTest::reports_follow_the_reading_and_a_cancel_stops_every_reading_thread()
{
    QFETCH(int, cancel_at);
    constexpr int COUNT = 400;

    AnalysisFixture fixture;
    QVERIFY(fixture.startWithCopyOf(inastest::staticDataFolder()));
    const as::Asset texture = fixture.assets()->asset(guid('a', 110));
    QVector<as::Asset> list;
    for (int n = 0; n < COUNT; ++n) {
        as::Asset asset;
        asset.setGUID(guid('b', n));
        asset.setType(texture.getType());
        asset.setFilePath(texture.getFilePath(), texture.getRelativePath());
        list << asset;
    }
    // Slow files: each takes 5 ms and logs that it was read; the files
    // begun after the cancel are counted.
    struct SlowModule : inas::parser::Module
    {
        explicit SlowModule(int count)
            : read(size_t(count))
        {}
        void process(const char *, inas::parser::Item &item) override
        {
            if (cancelled)
                ++begun_after_cancel;
            // The last three digits of the shorthand GUID.
            const int index = std::atoi(item.getId().getString().get() + 37);
            QThread::msleep(5);
            Velmora::Log::message("read %d\n", index);
            read[size_t(index)] = true;
        }
        std::vector<std::atomic<bool>> read;
        std::atomic<bool> cancelled{false};
        std::atomic<int> begun_after_cancel{0};
    };
    auto module = std::make_shared<SlowModule>(COUNT);
    auto driver = makeDriver(fixture, list);
    driver->setModule(texture.getType(), module);

    QList<int> values;
    int reported_unread = 0;
    LogCapture log;
    const auto output = driver->parse([&](int max, int value) {
        values << (max == COUNT ? value : -max);
        for (int i = 0; i < value; ++i)
            reported_unread += module->read[size_t(i)] ? 0 : 1;
        if (value != cancel_at)
            return true;
        module->cancelled = true;
        return false;
    });

    // (n, i) comes once the first i assets have been read.
    const int last = cancel_at < 0 ? COUNT : cancel_at;
    QList<int> expected_values;
    for (int i = 0; i <= last; ++i)
        expected_values << i;
    QCOMPARE(values, expected_values);
    QCOMPARE(reported_unread, 0);
    QCOMPARE(bool(output), cancel_at < 0);
    // No thread begins another file once the cancel has come, whatever is
    // still handed out.
    const int threads = int(std::max(1u, std::min(8u, std::thread::hardware_concurrency())));
    QVERIFY2(module->begun_after_cancel <= threads, qPrintable(QString::number(module->begun_after_cancel)));
    // The log tells of the assets reported, in order, and of no other.
    QStringList expected_log;
    for (int i = 0; i < last; ++i)
        expected_log << QStringLiteral("read %1").arg(i);
    QStringList read_log;
    for (const QString &line : log.lines(0)) {
        if (line.startsWith(QLatin1String("read ")))
            read_log << line;
    }
    QCOMPARE(read_log, expected_log);
}

void ParserDriverTest::a_path_claimed_twice_is_logged_before_the_assets_lines_in_every_run()
{
    AnalysisFixture fixture;
    QVERIFY(fixture.startWithCopyOf(inastest::staticDataFolder()));
    const QVector<as::Asset> records = allAssets(fixture);
    // Assets whose lines need no lookup: each has a runtime without a file.
    const as::Asset texture = fixture.assets()->asset(guid('a', 110));
    QVector<as::Asset> assets;
    for (int n = 0; n < 2000; ++n) {
        as::Asset asset;
        asset.setGUID(Velmora::UGUID::derive(guid('b', 0), QByteArray::number(n).constData()));
        asset.setType(texture.getType());
        asset.setFilePath(texture.getFilePath(), texture.getRelativePath());
        const Velmora::UGUID runtime = Velmora::UGUID::derive(guid('c', 0), QByteArray::number(n).constData());
        asset.setRuntimes({as::Runtime(runtime, QStringLiteral("own"), 0, asset.getGUID(), false)});
        assets << asset;
    }
    // The resolver's table is made from a long list (so that making it takes
    // longer than making the first items) whose last record claims the path
    // of an asset again.
    QVector<as::Asset> table_records = records;
    const QString root = fixture.assets()->rootPath();
    for (int n = 0; n < 200000; ++n) {
        as::Asset filler;
        filler.setGUID(Velmora::UGUID::derive(guid('f', 0), QByteArray::number(n).constData()));
        filler.setType(texture.getType());
        filler.setFilePathIn(root, QStringLiteral("filler/%1.png").arg(n));
        table_records << filler;
    }
    as::Asset claimant = texture;
    claimant.setGUID(guid('f', 1));
    table_records << claimant;

    auto warnings = [&](const QVector<as::Asset> &table) {
        auto driver = std::make_unique<Driver>();
        const inas::CustomSettings settings(fixture.assets(), fixture.materials(), fixture.properties(), assets);
        LogCapture log;
        inas::parser::utils::setupParser(&settings, driver.get(),
                                         std::make_shared<inas::parser::GuidProcessor>(fixture.assets(), table));
        driver->setItemBuilder(std::make_unique<inas::parser::GenericItemBuilder>());
        driver->setAssetManager(fixture.assets());
        driver->setAssets(assets);
        if (!driver->parse(&accept))
            return QStringList{QStringLiteral("no output")};
        driver.reset();
        return log.lines(1);
    };
    const QStringList plain = warnings(records);
    QCOMPARE(plain.size(), assets.size());
    const QStringList expected
            = QStringList{QStringLiteral("Dependency analysis: two assets claim the path \"%1\"; the first one is kept")
                                  .arg(texture.getRelativePath())}
            + plain;
    for (int run = 0; run < 3; ++run)
        QCOMPARE(warnings(table_records), expected);
}

void ParserDriverTest::bad_files_give_a_warning_and_the_analysis_goes_on_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("warning");

    const QByteArray reference = "<ref>guid://{a110}</ref>";
    const QString xml_warning = QStringLiteral("This XML file cannot be opened - (");
    const QString material_warning = QStringLiteral("This Material file cannot be opened - (");

    QTest::newRow("not well-formed XML") << "nodes/bad.node" << 1 << QByteArray("<nodes><node name='a'></nodes>")
                                         << xml_warning;
    QTest::newRow("empty file") << "render/empty.render" << 14 << QByteArray() << xml_warning;
    QTest::newRow("blank file") << "tracks/blank.track" << 13 << QByteArray(" \n\t\n") << xml_warning;
    QTest::newRow("binary garbage") << "generic/garbage.layer" << 8 << QByteArray("\x00\x01\xff<\x00>", 6)
                                    << xml_warning;
    QTest::newRow("FESK in an XML type") << "properties/fesk.prop" << 5 << QByteArray("Property(name=\"p\");")
                                         << xml_warning;
    QTest::newRow("unterminated FESK string")
            << "materials/open.mat" << 4 << QByteArray("Material(name=\"m) { Texture = \"x\"; }") << material_warning;
    QTest::newRow("unbalanced FESK braces")
            << "materials/braces.mat" << 4 << QByteArray("Material { Texture;") << material_warning;
    QTest::newRow("empty material") << "materials/empty.mat" << 4 << QByteArray() << material_warning;
    QByteArray deep_xml;
    for (int i = 0; i < 10000; ++i)
        deep_xml += "<n>";
    deep_xml += reference;
    for (int i = 0; i < 10000; ++i)
        deep_xml += "</n>";
    QTest::newRow("XML nested 10,000 levels") << "nodes/deep.node" << 1 << deep_xml << xml_warning;
    QByteArray deep_fesk = "Material ";
    for (int i = 0; i < 10000; ++i)
        deep_fesk += "{ N ";
    deep_fesk += ";";
    for (int i = 0; i < 10000; ++i)
        deep_fesk += "} ";
    QTest::newRow("FESK nested 10,000 levels") << "materials/deep.mat" << 4 << deep_fesk << material_warning;
    // 100 MB: larger than any file the readers accept.
    QTest::newRow("100 MB file") << "generic/huge.spline" << 15 << QByteArray() << xml_warning;
    QTest::newRow("100 MB material") << "materials/huge.mat" << 4 << QByteArray() << material_warning;
    // A FIFO where a file is expected is passed over at once, never waited on.
    QTest::newRow("FIFO node") << "nodes/pipe.node" << 1 << QByteArray() << xml_warning;
    QTest::newRow("FIFO material") << "materials/pipe.mat" << 4 << QByteArray() << material_warning;
    // Nor is a device read for ever.
    QTest::newRow("node linked to a device") << "nodes/zero.node" << 1 << QByteArray() << xml_warning;
}

void ParserDriverTest::bad_files_give_a_warning_and_the_analysis_goes_on()
{
    QFETCH(QString, file);
    QFETCH(int, type);
    QFETCH(QByteArray, content);
    QFETCH(QString, warning);

    QTemporaryDir dir;
    test::ProjectBuilder project(dir.path());
    project.asset(QStringLiteral("textures/stone_d.png"), "png", QStringLiteral("{a110}"), 6)
            .asset(file, content, QStringLiteral("{a200}"), type)
            .asset(QStringLiteral("nodes/after.node"), "<nodes><ref>guid://{a110}</ref></nodes>",
                   QStringLiteral("{a300}"), 1);
    QVERIFY(project.ok());
    if (QTest::currentDataTag() == QLatin1String("100 MB file")
        || QTest::currentDataTag() == QLatin1String("100 MB material")) {
        QFile huge(project.dataPath() + file);
        QVERIFY(huge.open(QIODevice::WriteOnly));
        QByteArray block(1 << 20, ' ');
        block.prepend("<a>");
        for (int i = 0; i < 100; ++i)
            QVERIFY(huge.write(i == 0 ? block : QByteArray(1 << 20, ' ')) > 0);
    }

    AnalysisFixture fixture;
    QVERIFY(fixture.start(project.dataPath()));
    if (QTest::currentDataTag() == QLatin1String("FIFO node")
        || QTest::currentDataTag() == QLatin1String("FIFO material")) {
        // Replaced after the scan, which passes over anything but files.
        QVERIFY(test::makeFifo(project.dataPath() + file));
    }
    if (QTest::currentDataTag() == QLatin1String("node linked to a device")) {
        QVERIFY(test::linkToDevice(project.dataPath() + file));
    }
    LogCapture log;
    const auto output = makeDriver(fixture, allAssets(fixture))->parse(&accept);
    QVERIFY(output);
    // Every asset has its item; the bad one has no references, and the
    // asset after it was parsed.
    QCOMPARE(int(output->getItems().size()) - (type == 4 || type == 5 ? 1 : 0), 3);
    for (const ItemPtr &item : output->getItems()) {
        if (item->getId() == guid('a', 200)) {
            QVERIFY(item->getDependents().empty());
            QVERIFY(item->getLost().empty());
        }
        if (item->getId() == guid('a', 300))
            QCOMPARE(fixture.describe(item->getDependents().values()), QStringLiteral("textures/stone_d.png"));
    }
    QCOMPARE(log.count(warning + fixture.dataPath() + file + QLatin1Char(')'), 1), 1);
}

void ParserDriverTest::an_asset_whose_file_vanished_after_the_scan_is_skipped_with_a_warning()
{
    AnalysisFixture fixture;
    QVERIFY(fixture.startWithCopyOf(inastest::staticDataFolder()));
    const QVector<as::Asset> assets = allAssets(fixture);
    // The scan has seen them; now they are gone from the disk.
    for (const QString &file : {QStringLiteral("nodes/house.node"), QStringLiteral("materials/metal.mat"),
                                QStringLiteral("terrain/island.lmap"), QStringLiteral("terrain/island.lmap.meta"),
                                QStringLiteral("worlds/level1.world"), QStringLiteral("worlds/level1.world.meta")})
        QVERIFY(QFile::remove(fixture.dataPath() + file));

    LogCapture log;
    const auto output = makeDriver(fixture, assets)->parse(&accept);
    QVERIFY(output);
    const QString xml = QStringLiteral("This XML file cannot be opened - (") + fixture.dataPath();
    QCOMPARE(log.count(xml + QStringLiteral("nodes/house.node)"), 1), 1);
    QCOMPARE(log.count(xml + QStringLiteral("worlds/level1.world"), 1), 2); // the world and its meta file
    QCOMPARE(log.count(QStringLiteral("This Material file cannot be opened - (") + fixture.dataPath()
                               + QStringLiteral("materials/metal.mat)"),
                       1),
             1);
    for (const ItemPtr &item : output->getItems()) {
        if (item->getId() == guid('a', 601) || item->getId() == guid('a', 203)) {
            QVERIFY(item->getDependents().empty());
            QVERIFY(item->getLost().empty());
        }
        if (item->getId() == guid('a', 801)) // the scripts beside it still count
            QCOMPARE(fixture.describe(item->getDependents().values()),
                     QStringLiteral("worlds/level1.usc, worlds/level1.cpp"));
        if (item->getId() == guid('a', 901)) // the mappers of the record still count
            QCOMPARE(fixture.describe(item->getDependents().values()),
                     QStringLiteral("terrain/island/t_0_0.tile, terrain/island/t_0_1.tile"));
    }
}

void ParserDriverTest::a_null_or_repeated_asset_is_skipped_with_a_warning()
{
    AnalysisFixture fixture;
    QVERIFY(fixture.startWithCopyOf(inastest::staticDataFolder()));
    const as::Asset house = fixture.assets()->asset(guid('a', 601));
    const as::Asset model = fixture.assets()->asset(guid('a', 701));
    as::Asset unknown_type;
    unknown_type.setGUID(guid('a', 990));
    unknown_type.setType(AssetType(42));
    unknown_type.setFilePath(house.getFilePath(), house.getRelativePath());
    unknown_type.setRuntimes({as::Runtime(guid('a', 990), QStringLiteral("x"), 0, guid('a', 990), false)});

    LogCapture log;
    const auto output = makeDriver(fixture, {house, as::Asset(), house, model, model, unknown_type})->parse(&accept);
    QVERIFY(output);
    QStringList ids;
    for (const ItemPtr &item : output->getItems())
        ids << fixture.describe(item->getId());
    QCOMPARE(ids,
             (QStringList{"nodes/house.node", "models/crate.model", "models/crate.model#node",
                          "models/crate.model#mesh", "{a990}"}));
    QCOMPARE(log.count(QStringLiteral("an empty asset record is skipped"), 1), 1);
    QCOMPARE(log.count(QStringLiteral("is listed twice; it is parsed once"), 1), 2);
    QCOMPARE(log.count(QStringLiteral("has the unknown asset type 42; it is not parsed"), 1), 1);
}

void ParserDriverTest::runtimes_of_many_assets_are_each_located_once_in_order()
{
    AnalysisFixture fixture;
    QVERIFY(fixture.startWithCopyOf(inastest::staticDataFolder()));
    const as::Asset texture = fixture.assets()->asset(guid('a', 110));
    // More runtimes than one block of the driver's runtime storage holds:
    // every asset has a runtime of its own, without a known file, and names
    // the previous asset's runtime again.
    QVector<as::Asset> list;
    QStringList expected;
    for (int n = 0; n < 700; ++n) {
        as::Asset asset;
        asset.setGUID(guid('b', n));
        asset.setType(texture.getType());
        asset.setFilePath(texture.getFilePath(), texture.getRelativePath());
        Velmora::Vector<as::Runtime> runtimes;
        runtimes.append(as::Runtime(guid('c', n), QStringLiteral("own"), 0, asset.getGUID(), false));
        expected << QStringLiteral("no file is known for %1").arg(guid('c', n).getString().get());
        if (n > 0) {
            runtimes.append(as::Runtime(guid('c', n - 1), QStringLiteral("shared"), 0, asset.getGUID(), false));
            expected << QStringLiteral("the runtime %1 is listed twice").arg(guid('c', n - 1).getString().get());
        }
        asset.setRuntimes(runtimes);
        list << asset;
    }

    LogCapture log;
    const auto output = makeDriver(fixture, list)->parse(&accept);
    QVERIFY(output);
    QCOMPARE(int(output->getItems().size()), 2 * 700);
    QStringList actual;
    for (const QString &line : log.lines(1)) {
        const int at = line.indexOf(QLatin1String("Dependency analysis: "));
        if (at >= 0)
            actual << line.mid(at + 21).section(QLatin1Char(';'), 0, 0);
    }
    QCOMPARE(actual, expected);
}

void ParserDriverTest::an_assets_item_has_the_records_own_file_in_or_out_of_the_data_folder()
{
    AnalysisFixture fixture;
    QVERIFY(fixture.startWithCopyOf(inastest::staticDataFolder()));
    const as::Asset texture = fixture.assets()->asset(guid('a', 110));
    const QString root = fixture.assets()->rootPath();
    // A scanned record, one with a name beyond ASCII, and two whose files are
    // not the data folder followed by their relative paths: one outside the
    // folder, one in a folder below it.
    QVector<as::Asset> list{texture};
    const QStringList files{root + QStringLiteral("textures/\u00e9t\u00e9 \u4e2d.png"),
                            QStringLiteral("/elsewhere/") + texture.getRelativePath(),
                            root + QStringLiteral("sub/") + texture.getRelativePath()};
    for (int n = 0; n < files.size(); ++n) {
        as::Asset asset;
        asset.setGUID(guid('b', n));
        asset.setType(texture.getType());
        asset.setFilePath(files[n], n == 0 ? files[n].mid(root.size()) : texture.getRelativePath());
        asset.setRuntimes({as::Runtime(asset.getGUID(), QStringLiteral("x"), 0, asset.getGUID(), false)});
        list << asset;
    }

    const auto output = makeDriver(fixture, list)->parse(&accept);
    QVERIFY(output);
    QCOMPARE(int(output->getItems().size()), list.size());
    for (int i = 0; i < list.size(); ++i)
        QCOMPARE(QString::fromUtf8(output->getItems()[size_t(i)]->getAbsolutePath().get()), list[i].getFilePath());
}

void ParserDriverTest::an_external_entity_is_never_fetched()
{
    QTemporaryDir dir;
    test::ProjectBuilder project(dir.path());
    // The entity names a file that holds a reference: if it were read, the
    // reference would show up.
    project.asset(QStringLiteral("textures/stone_d.png"), "png", QStringLiteral("{a110}"), 6)
            .file(QStringLiteral("secret.txt"), "guid://{a110}")
            .asset(QStringLiteral("generic/entity.layer"),
                   "<?xml version=\"1.0\"?>\n<!DOCTYPE layer [<!ENTITY e SYSTEM \"file://" + project.dataPath().toUtf8()
                           + "secret.txt\">]>\n<layer><a>&e;</a><b>x&e;</b></layer>",
                   QStringLiteral("{a200}"), 8);
    QVERIFY(project.ok());
    AnalysisFixture fixture;
    QVERIFY(fixture.start(project.dataPath()));
    const auto output = makeDriver(fixture, allAssets(fixture))->parse(&accept);
    QVERIFY(output);
    for (const ItemPtr &item : output->getItems())
        QVERIFY2(item->getDependents().empty(), qPrintable(fixture.describe(item->getDependents().values())));
}

void ParserDriverTest::invalid_utf8_is_passed_over_and_the_references_around_it_are_found()
{
    QTemporaryDir dir;
    test::ProjectBuilder project(dir.path());
    project.asset(QStringLiteral("textures/stone_d.png"), "png", QStringLiteral("{a110}"), 6)
            .asset(QStringLiteral("textures/sky.png"), "png", QStringLiteral("{a120}"), 6);
    // Written byte for byte: the builder would decode the text as UTF-8.
    const QByteArray node = "<nodes><a>\xff\xfe\xc3</a><node name=\"\xc0\xaf\" id=\"1\">"
                            "<b v=\"\xed\xa0\x80\">guid://aaaaa00000000000000000000000000000000110</b></node>"
                            "<c>textures/\xff.png</c><d>textures/sky.png</d></nodes>";
    const QByteArray material
            = "Material(name=\"\xff\xfe\") { Texture = \"\xc3\"; Texture(n=\xe2\x82) = "
              "\"guid://aaaaa00000000000000000000000000000000110\"; Expression = \"\xfftextures/sky.png\"; }";
    const QByteArray meta_node = "<asset version=\"1\" guid=\"aaaaa00000000000000000000000000000000200\" type=\"1\"/>";
    const QByteArray meta_material
            = "<asset version=\"1\" guid=\"aaaaa00000000000000000000000000000000201\" type=\"4\"/>";
    for (const auto &file : {qMakePair(QStringLiteral("nodes/bytes.node"), node),
                             qMakePair(QStringLiteral("nodes/bytes.node.meta"), meta_node),
                             qMakePair(QStringLiteral("materials/bytes.mat"), material),
                             qMakePair(QStringLiteral("materials/bytes.mat.meta"), meta_material)}) {
        QFile out(project.dataPath() + file.first);
        QVERIFY(QDir().mkpath(QFileInfo(out).absolutePath()));
        QVERIFY(out.open(QIODevice::WriteOnly));
        QCOMPARE(out.write(file.second), qint64(file.second.size()));
    }
    QVERIFY(project.ok());

    AnalysisFixture fixture;
    QVERIFY(fixture.start(project.dataPath()));
    LogCapture log;
    const auto output = makeDriver(fixture, allAssets(fixture))->parse(&accept);
    QVERIFY(output);
    QCOMPARE(log.lines(1), QStringList());
    QStringList found;
    for (const ItemPtr &item : output->getItems()) {
        if (!item->getDependents().empty())
            found << fixture.describe(item->getId()) + QStringLiteral(": ")
                            + fixture.describe(item->getDependents().values());
    }
    QCOMPARE(found,
             (QStringList{"materials/bytes.mat: textures/stone_d.png, textures/sky.png",
                          "nodes/bytes.node: textures/stone_d.png, textures/sky.png"}));
}

void ParserDriverTest::reading_on_a_worker_while_the_gui_thread_rescans_is_safe()
{
    AnalysisFixture fixture;
    QVERIFY(fixture.startWithCopyOf(inastest::staticDataFolder()));
    const QStringList expected = fixture.describe(*makeDriver(fixture, allAssets(fixture))->parse(&accept));

    // The worker parses again and again while the GUI thread makes the asset
    // manager replace its records (under its write lock) and the engine
    // file system re-index.
    std::atomic<bool> stop{false};
    std::atomic<int> runs{0};
    std::atomic<int> differing{0};
    auto driver_assets = allAssets(fixture);
    QFuture<void> worker = QtConcurrent::run([&] {
        while (!stop) {
            auto output = makeDriver(fixture, driver_assets)->parse(&accept);
            if (!output || output->getItems().empty())
                ++differing;
            ++runs;
        }
    });
    for (int i = 0; i < 6; ++i) {
        QVERIFY(fixture.rescan());
        Velmora::FileSystem::rescan();
    }
    while (runs < 3)
        QTest::qWait(10);
    stop = true;
    worker.waitForFinished();
    QCOMPARE(differing.load(), 0);
    // Once the records are the same again, so is the result.
    QCOMPARE(fixture.describe(*makeDriver(fixture, allAssets(fixture))->parse(&accept)), expected);
}

void ParserDriverTest::the_sample_project_has_no_lost_or_unreadable_references()
{
    const QString sample
            = QString::fromUtf8(qgetenv("VELMORA_SOURCE_DIR")) + QStringLiteral("/examples/sample_project/data");
    AnalysisFixture fixture;
    QVERIFY(fixture.startWithCopyOf(sample));
    LogCapture log;
    const auto output = makeDriver(fixture, allAssets(fixture))->parse(&accept);
    QVERIFY(output);
    QCOMPARE(log.lines(1), QStringList());
    int references = 0;
    for (const ItemPtr &item : output->getItems()) {
        QVERIFY2(item->getLost().empty(), qPrintable(fixture.describeItem(*item).join(QLatin1Char('\n'))));
        references += item->getDependents().size();
    }
    QVERIFY(references > 0);
}

void ParserDriverTest::a_file_that_claims_a_taken_guid_still_counts_as_evidence()
{
    AnalysisFixture fixture;
    QVERIFY(fixture.startWithCopyOf(inastest::staticDataFolder()));
    // A copy of the world made with its meta file sorts first and keeps the
    // GUID; it references a texture that the original does not.
    const QString worlds = fixture.dataPath() + QStringLiteral("worlds/");
    QVERIFY(QFile::copy(worlds + "level1.world.meta", worlds + "a_copy.world.meta"));
    QFile copy(worlds + "a_copy.world");
    QVERIFY(copy.open(QIODevice::WriteOnly));
    copy.write("<world><node name=\"decal\" id=\"7\"><texture>textures/decal.png</texture></node></world>\n");
    copy.close();
    QVERIFY(fixture.rescan());
    QCOMPARE(fixture.describe(guid('a', 801)), QStringLiteral("worlds/a_copy.world"));

    const auto output = makeDriver(fixture, allAssets(fixture))->parse(&accept);
    QVERIFY(output);
    const ItemPtr world = AnalysisFixture::findItem(*output, guid('a', 801));
    QVERIFY(world);
    QCOMPARE(fixture.describe(world->getDependents().values()),
             QStringLiteral("textures/decal.png, render/default.render, nodes/house.node, models/crate.model#mesh, "
                            "materials/metal.mat#material, textures/sky.png"));
}

QTEST_GUILESS_MAIN(ParserDriverTest)
#include "tst_parser_driver.moc"
