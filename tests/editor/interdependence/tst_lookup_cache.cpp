// The resolver's per-thread answers: on a generated project every text the
// parser's threads resolve gets the answer that direct lookups give, an
// answer is never carried over from one resolver to another, and a text that
// leaves a developer line leaves it every time it is met.

#include "analysis_fixture.h"
#include "project_builder.h"
#include "project_generator.h"

#include <editor/interdependence/custom_settings.h>
#include <editor/interdependence/parser/generic_item_builder.h>
#include <editor/interdependence/parser/guid_processor.h>
#include <editor/interdependence/parser/lookup_cache.h>
#include <editor/interdependence/parser/material_xml_parser.h>
#include <editor/interdependence/parser/parser_driver.h>
#include <editor/interdependence/parser/utils.h>

#include <editor_core/editor/AssetManagerPrivate.h>

#include <velmora/FileSystem.h>
#include <velmora/Material.h>
#include <velmora/Materials.h>

#include <QTemporaryDir>
#include <QtTest>

#include <map>
#include <mutex>
#include <string>
#include <thread>

using inas::parser::GuidProcessor;
using inas::parser::LookupCache;
using inastest::AnalysisFixture;
using inastest::LogCapture;

namespace {

// "found <guid>", "missing <guid> <n>" or "" for one resolver call.
using Reported = std::string;

// Keeps every text the parse asked about with what the resolver reported.
class RecordingProcessor : public GuidProcessor
{
public:
    using GuidProcessor::GuidProcessor;

    bool process(const char *text, const inas::parser::FoundCallback &found,
                 const inas::parser::MissingCallback &missing) const override
    {
        Reported reported;
        const bool result = GuidProcessor::process(
                text,
                [&](const Velmora::UGUID &g) {
                    reported += std::string("found ") + g.getString().get();
                    found(g);
                },
                [&](const Velmora::UGUID &g, int n) {
                    reported += std::string("missing ") + g.getString().get() + " " + std::to_string(n);
                    missing(g, n);
                });
        std::lock_guard<std::mutex> lock(mutex_);
        ++calls_;
        auto inserted = seen_.emplace(text ? text : "", reported);
        if (!inserted.second && inserted.first->second != reported)
            ++disagreements_;
        return result;
    }

    mutable std::mutex mutex_;
    mutable std::map<std::string, Reported> seen_;
    mutable int calls_ = 0;
    mutable int disagreements_ = 0;
};

Reported direct(const GuidProcessor &resolver, const std::string &text)
{
    if (text.empty())
        return {};
    const LookupCache::Answer answer = resolver.resolve(text.c_str());
    switch (answer.kind) {
    case LookupCache::Kind::FOUND:
        return std::string("found ") + answer.guid.getString().get();
    case LookupCache::Kind::MISSING:
        return std::string("missing ") + answer.guid.getString().get() + " 0";
    case LookupCache::Kind::NONE:
        break;
    }
    return {};
}

} // namespace

class LookupCacheTest : public QObject
{
    Q_OBJECT

private slots:
    void every_text_of_a_generated_project_gets_the_answer_of_direct_lookups();
    void answers_stay_with_their_resolver_and_their_scope();
    void a_full_cache_starts_over_and_never_gives_a_wrong_answer();
    void material_names_share_the_cache_without_mixing_and_guid_texts_are_asked_each_time();
    void shared_answers_reach_the_other_threads_of_a_run_only();
    void every_file_that_holds_a_near_guid_text_leaves_its_developer_lines();
};

void LookupCacheTest::every_text_of_a_generated_project_gets_the_answer_of_direct_lookups()
{
    QTemporaryDir dir;
    depsbench::GeneratorOptions options;
    options.assets = 1500;
    options.seed = 7;
    options.big_folder_files = 300;
    depsbench::ProjectGenerator generator(options);
    QString error;
    QVERIFY2(generator.write(dir.path() + QStringLiteral("/data"), dir.path() + QStringLiteral("/truth.tsv"), &error),
             qPrintable(error));
    AnalysisFixture fixture;
    QVERIFY(fixture.start(dir.path() + QStringLiteral("/data")));

    const Velmora::Vector<as::Asset> all = fixture.assets()->assets();
    const QVector<as::Asset> assets(all.begin(), all.end());
    // A file that the engine forgets after the table is built still
    // resolves through the table.
    QVERIFY(assets.size() > 10);
    const auto resolver = std::make_shared<RecordingProcessor>(fixture.assets());

    inas::parser::Driver driver;
    const inas::CustomSettings settings(fixture.assets(), fixture.materials(), fixture.properties(), assets);
    inas::parser::utils::setupParser(&settings, &driver, resolver);
    driver.setItemBuilder(std::make_unique<inas::parser::GenericItemBuilder>());
    driver.setAssetManager(fixture.assets());
    driver.setAssets(assets);
    QVERIFY(driver.parse([](int, int) { return true; }));

    // The same texts came back many times (else nothing was taken from the
    // threads' caches) and kinds of every answer occurred.
    QVERIFY(resolver->calls_ > 2 * int(resolver->seen_.size()));
    QCOMPARE(resolver->disagreements_, 0);
    int found = 0;
    int nothing = 0;
    for (const auto &entry : resolver->seen_) {
        QCOMPARE(QString::fromStdString(entry.second), QString::fromStdString(direct(*resolver, entry.first)));
        (entry.second.empty() ? nothing : found) += 1;
    }
    QVERIFY(found > 100 && nothing > 100);
}

void LookupCacheTest::answers_stay_with_their_resolver_and_their_scope()
{
    AnalysisFixture fixture;
    QVERIFY(fixture.startWithCopyOf(inastest::staticDataFolder()));
    const GuidProcessor everything(fixture.assets());
    const GuidProcessor nothing(fixture.assets(), QVector<as::Asset>());
    // Known to the path table of the first resolver only, once the engine
    // has forgotten it.
    const char *path = "textures/decal.png";
    const Velmora::UGUID decal = Velmora::FileSystem::getGUID(path);
    QVERIFY(decal.isValid());
    QVERIFY(Velmora::FileSystem::removeFile(path));

    int found = 0;
    const auto count = [&found](const Velmora::UGUID &) { ++found; };
    const auto lost = [](const Velmora::UGUID &, int) {};
    {
        LookupCache cache;
        QCOMPARE(LookupCache::current(), &cache);
        QVERIFY(everything.process(path, count, lost));
        QVERIFY(!nothing.process(path, count, lost));
        QVERIFY(everything.process(path, count, lost));
        QCOMPARE(found, 2);
        {
            // An inner scope starts empty and gives the outer one back.
            LookupCache inner;
            QVERIFY(!nothing.process(path, count, lost));
            QCOMPARE(inner.size(), 1);
        }
        QCOMPARE(LookupCache::current(), &cache);
    }
    QCOMPARE(LookupCache::current(), static_cast<LookupCache *>(nullptr));
    // Without a scope every call asks again: the engine knows the file anew.
    QVERIFY(Velmora::FileSystem::addFile(path, Velmora::UGUID::derive(decal, "other")));
    QVERIFY(!everything.process(path, count, lost));
    QCOMPARE(found, 2);
    QVERIFY(Velmora::FileSystem::removeFile(path));
    QVERIFY(Velmora::FileSystem::addFile(path, decal));
}

void LookupCacheTest::a_full_cache_starts_over_and_never_gives_a_wrong_answer()
{
    // Texts that are prefixes of one another and far more of them than a
    // cache keeps: each is answered with its own GUID or not at all.
    const int count = 300000;
    const auto answerOf = [](int i) {
        LookupCache::Answer answer;
        answer.kind = i % 3 == 0 ? LookupCache::Kind::MISSING : LookupCache::Kind::FOUND;
        answer.guid.setWord(0, uint32_t(i + 1));
        return answer;
    };
    const int owner = 0;
    LookupCache cache;
    for (int i = 0; i < count; ++i) {
        const std::string text = "t" + std::to_string(i);
        QVERIFY(!cache.find(&owner, text));
        cache.insert(&owner, text, answerOf(i));
        const LookupCache::Answer *known = cache.find(&owner, text);
        QVERIFY(known && known->guid == answerOf(i).guid && known->kind == answerOf(i).kind);
    }
    int kept = 0;
    for (int i = 0; i < count; ++i) {
        if (const LookupCache::Answer *known = cache.find(&owner, "t" + std::to_string(i))) {
            QCOMPARE(int(known->guid.getWord(0)), i + 1);
            ++kept;
        }
    }
    QVERIFY(kept > 1000 && kept < count);
    QCOMPARE(cache.size(), kept);
}

void LookupCacheTest::material_names_share_the_cache_without_mixing_and_guid_texts_are_asked_each_time()
{
    AnalysisFixture fixture;
    QVERIFY(fixture.startWithCopyOf(inastest::staticDataFolder()));
    QVERIFY(Velmora::Materials::getNumMaterials() > 0);
    const Velmora::Ptr<Velmora::Material> material = Velmora::Materials::getMaterial(0);
    const std::string name = material->getName();
    const GuidProcessor resolver(fixture.assets());
    // 40 digits: close enough to a GUID text to leave a developer line.
    const std::string near_guid(40, '7');

    Velmora::UGUID found_guid;
    const auto found = [&found_guid](const Velmora::UGUID &guid) { found_guid = guid; };
    const auto lost = [](const Velmora::UGUID &, int) {};
    LogCapture capture;
    {
        LookupCache cache;
        // The same text has one answer from the resolver (no path) and
        // another from the material registry; neither is given for the other.
        QVERIFY(!resolver.process(name.c_str(), found, lost));
        QCOMPARE(inas::parser::findMaterialGuid(fixture.materials(), name.c_str()), material->getGUID());
        QVERIFY(!resolver.process(name.c_str(), found, lost));
        QCOMPARE(inas::parser::findMaterialGuid(fixture.materials(), name.c_str()), material->getGUID());
        QCOMPARE(cache.size(), 2);

        std::vector<Velmora::UGUID> listed;
        inas::parser::reportMaterialList(fixture.materials(), (near_guid + "," + name + "," + near_guid).c_str(),
                                         [&listed](const Velmora::UGUID &guid) { listed.push_back(guid); });
        QCOMPARE(listed, std::vector<Velmora::UGUID>{material->getGUID()});
    }
    int developer_lines = 0;
    for (const QString &line : capture.lines())
        developer_lines
                += line.startsWith(QLatin1String("Developer.")) && line.contains(QString::fromStdString(near_guid));
    QCOMPARE(developer_lines, 2);
}

void LookupCacheTest::shared_answers_reach_the_other_threads_of_a_run_only()
{
    const int owner = 0;
    const int other_owner = 0;
    const LookupCache::Answer answer{LookupCache::Kind::FOUND, Velmora::UGUID::derive(Velmora::UGUID(), "shared")};
    LookupCache::Answer got;
    // Outside a run nothing is kept.
    LookupCache::insertShared(&owner, "name", answer);
    QVERIFY(!LookupCache::findShared(&owner, "name", got));
    {
        LookupCache cache;
        LookupCache::insertShared(&owner, "name", answer);
        bool found = false;
        bool mixed = true;
        std::thread([&] {
            LookupCache own;
            found = LookupCache::findShared(&owner, "name", got);
            mixed = LookupCache::findShared(&other_owner, "name", got) || LookupCache::findShared(&owner, "nam", got);
        }).join();
        QVERIFY(found);
        QVERIFY(!mixed);
        QCOMPARE(got.guid, answer.guid);
        QVERIFY(got.kind == LookupCache::Kind::FOUND);
    }
    // The next run asks again.
    LookupCache next;
    QVERIFY(!LookupCache::findShared(&owner, "name", got));
}

void LookupCacheTest::every_file_that_holds_a_near_guid_text_leaves_its_developer_lines()
{
    // 64 files, each with the same two texts that come close to a GUID text
    // (40 digits; mixed letter case), read by the parser's threads.
    const QByteArray digits(40, '7');
    const QByteArray mixed = "Abcdef" + QByteArray(33, '0') + "1";
    QTemporaryDir dir;
    test::ProjectBuilder project(dir.path());
    for (int n = 0; n < 64; ++n)
        project.asset(QStringLiteral("nodes/n%1.node").arg(n),
                      "<nodes><a>" + digits + "</a><b v=\"" + mixed + "\"/></nodes>",
                      QStringLiteral("{a%1}").arg(100 + n), 1);
    QVERIFY(project.ok());
    AnalysisFixture fixture;
    QVERIFY(fixture.start(project.dataPath()));
    const Velmora::Vector<as::Asset> records = fixture.assets()->assets();
    const QVector<as::Asset> assets(records.begin(), records.end());

    auto developerLines = [&] {
        inas::parser::Driver driver;
        const inas::CustomSettings settings(fixture.assets(), fixture.materials(), fixture.properties(), assets);
        inas::parser::utils::setupParser(&settings, &driver);
        driver.setItemBuilder(std::make_unique<inas::parser::GenericItemBuilder>());
        driver.setAssetManager(fixture.assets());
        driver.setAssets(assets);
        LogCapture capture;
        if (!driver.parse([](int, int) { return true; }))
            return QStringList();
        return capture.lines().filter(QRegularExpression(QStringLiteral("^Developer\\.")));
    };
    const QStringList lines = developerLines();
    QCOMPARE(lines.filter(QStringLiteral("(1), not guid(") + QString::fromLatin1(mixed) + QLatin1Char(')')).size(), 64);
    QCOMPARE(lines.filter(QStringLiteral("(2), not guid(") + QString::fromLatin1(digits) + QLatin1Char(')')).size(),
             64);
    QCOMPARE(lines.size(), 128);
    // In the files' order, the same in every run.
    for (int run = 0; run < 3; ++run)
        QCOMPARE(developerLines(), lines);
}

QTEST_GUILESS_MAIN(LookupCacheTest)
#include "tst_lookup_cache.moc"
