// GUID text recognition and the reference resolver over the static test
// data folder (its asset manager and engine file system).

#include "analysis_fixture.h"

#include <editor/interdependence/parser/guid_processor.h>
#include <editor/interdependence/parser/lookup_cache.h>
#include <editor/interdependence/parser/utils.h>

#include <editor_core/editor/AssetManagerPrivate.h>

#include <velmora/FileSystem.h>
#include <velmora/Material.h>

#include <QtTest>

using inas::parser::GuidProcessor;
using inas::parser::utils::tryConvertToGuid;
using inastest::AnalysisFixture;
using inastest::guid;
using inastest::guidText;
using inastest::LogCapture;

namespace {

// What one resolver call reported, as "found <name>" / "missing <name> <n>".
struct Calls
{
    QStringList list;
    inas::parser::FoundCallback found(const AnalysisFixture &fixture)
    {
        return [this, &fixture](const Velmora::UGUID &g) { list << QStringLiteral("found ") + fixture.describe(g); };
    }
    inas::parser::MissingCallback missing(const AnalysisFixture &fixture)
    {
        return [this, &fixture](const Velmora::UGUID &g, int n) {
            list << QStringLiteral("missing %1 %2").arg(fixture.describe(g)).arg(n);
        };
    }
};

} // namespace

class GuidResolutionTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void guid_text_is_recognised_by_scheme_length_case_and_digit_letter_counts_data();
    void guid_text_is_recognised_by_scheme_length_case_and_digit_letter_counts();

    void a_text_resolves_by_guid_then_file_system_then_path_table_data();
    void a_text_resolves_by_guid_then_file_system_then_path_table();
    void a_file_system_path_wins_over_the_path_table();
    void an_exact_asset_path_the_file_system_forgot_resolves_through_the_path_table();
    void the_path_table_keeps_paths_of_any_script_data();
    void the_path_table_keeps_paths_of_any_script();

    void a_suffix_reports_exactly_the_first_matching_asset_data();
    void a_suffix_reports_exactly_the_first_matching_asset();
    void a_contained_match_reports_every_asset_path_inside_the_text_data();
    void a_contained_match_reports_every_asset_path_inside_the_text();

private:
    AnalysisFixture fixture_;
    std::unique_ptr<GuidProcessor> resolver_;
};

void GuidResolutionTest::initTestCase()
{
    QVERIFY(fixture_.startWithCopyOf(inastest::staticDataFolder()));
    resolver_ = std::make_unique<GuidProcessor>(fixture_.assets());
    QCOMPARE(resolver_->getNumPaths(), fixture_.assets()->getNumAssets());
}

void GuidResolutionTest::cleanupTestCase()
{
    resolver_.reset();
    fixture_.stop();
}

void GuidResolutionTest::guid_text_is_recognised_by_scheme_length_case_and_digit_letter_counts_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("guid");
    QTest::addColumn<QString>("log");

    const QByteArray lower = guidText('a', 110);
    QTest::newRow("scheme and lower case") << "guid://" + lower << lower << QString();
    QTest::newRow("no scheme") << lower << lower << QString();
    QTest::newRow("upper case") << lower.toUpper() << lower << QString();
    QTest::newRow("scheme in upper case is not stripped") << "GUID://" + lower << QByteArray() << QString();
    QTest::newRow("39 characters") << lower.left(39) << QByteArray() << QString();
    QTest::newRow("41 characters") << lower + "0" << QByteArray() << QString();
    QTest::newRow("a non-hexadecimal character") << lower.left(39) + "g" << QByteArray() << QString();
    QTest::newRow("a blank before") << " " + lower << QByteArray() << QString();
    QTest::newRow("empty") << QByteArray() << QByteArray() << QString();
    QTest::newRow("scheme only") << QByteArray("guid://") << QByteArray() << QString();
    QTest::newRow("mixed case")
            << QByteArray("aaaAA00000000000000000000000000000000110") << QByteArray()
            << QStringLiteral("Developer. Pay attention (1), not guid(aaaAA00000000000000000000000000000000110)");
    const QByteArray mixed = "Abcdef" + QByteArray(33, '0') + "1";
    QTest::newRow("mixed case behind the scheme")
            << "guid://" + mixed << QByteArray()
            << QStringLiteral("Developer. Pay attention (1), not guid(%1)").arg(QString::fromLatin1(mixed));
    QTest::newRow("40 digits") << QByteArray(40, '7') << QByteArray()
                               << QStringLiteral("Developer. Pay attention (2), not guid(")
                    + QString(40, QLatin1Char('7')) + QLatin1Char(')');
    QTest::newRow("36 digits and 4 letters") << QByteArray(36, '1') + "abcd" << QByteArray()
                                             << QStringLiteral("Developer. Pay attention (2), not guid(")
                    + QString(36, QLatin1Char('1')) + QStringLiteral("abcd)");
    QTest::newRow("4 digits and 36 letters") << QByteArray(36, 'e') + "1234" << QByteArray()
                                             << QStringLiteral("Developer. Pay attention (2), not guid(")
                    + QString(36, QLatin1Char('e')) + QStringLiteral("1234)");
    QTest::newRow("35 digits and 5 letters")
            << QByteArray(35, '2') + "abcde" << QByteArray(35, '2') + "abcde" << QString();
    QTest::newRow("5 digits and 35 upper-case letters")
            << QByteArray(35, 'F') + "12345" << QByteArray(35, 'f') + "12345" << QString();
}

void GuidResolutionTest::guid_text_is_recognised_by_scheme_length_case_and_digit_letter_counts()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, guid);
    QFETCH(QString, log);

    LogCapture capture;
    const Velmora::UGUID result = tryConvertToGuid(text.isNull() ? nullptr : text.constData());
    QCOMPARE(QByteArray(result.isValid() ? result.getString().get() : ""), guid);
    QStringList developer;
    for (const QString &line : capture.lines()) {
        if (line.startsWith(QLatin1String("Developer.")))
            developer << line;
    }
    QCOMPARE(developer, log.isEmpty() ? QStringList() : QStringList{log});
}

void GuidResolutionTest::a_text_resolves_by_guid_then_file_system_then_path_table_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QStringList>("calls");

    const QByteArray white = Velmora::UGUID::fromPath("core/textures/white.png").getString().get();
    QTest::newRow("asset GUID") << "guid://" + guidText('a', 110) << true << QStringList{"found textures/stone_d.png"};
    QTest::newRow("stored runtime GUID") << guidText('b', 202) << true << QStringList{"found models/crate.model#mesh"};
    QTest::newRow("virtual runtime GUID")
            << QByteArray(Velmora::UGUID::derive(guid('a', 202), "material").getString().get()) << true
            << QStringList{"found materials/rock.mat#material"};
    QTest::newRow("GUID of a file that is no runtime") << "guid://" + white << false << QStringList();
    QTest::newRow("GUID of a file that is gone")
            << "guid://" + guidText('d', 901) << false << QStringList{"missing {d901} 0"};
    QTest::newRow("data-relative asset path")
            << QByteArray("textures/sky.png") << true << QStringList{"found textures/sky.png"};
    QTest::newRow("path through ..") << QByteArray("textures/../nodes/house.node") << true
                                     << QStringList{"found nodes/house.node"};
    QTest::newRow("path out of the data folder") << QByteArray("../data/textures/sky.png") << false << QStringList();
    QTest::newRow("stored runtime path") << ".runtimes/bb/" + guidText('b', 201) + ".node" << true
                                         << QStringList{"found models/crate.model#node"};
    QTest::newRow("file without a meta file") << QByteArray("core/textures/white.png") << false << QStringList();
    QTest::newRow("file name only") << QByteArray("sky.png") << false << QStringList();
    QTest::newRow("path of a different case") << QByteArray("Textures/sky.png") << false << QStringList();
    QTest::newRow("empty") << QByteArray("") << false << QStringList();
    QTest::newRow("mixed-case GUID") << "guid://aaaaA" + guidText('a', 110).mid(5) << false << QStringList();
}

void GuidResolutionTest::a_text_resolves_by_guid_then_file_system_then_path_table()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, result);
    QFETCH(QStringList, calls);

    Calls seen;
    QCOMPARE(resolver_->process(text.constData(), seen.found(fixture_), seen.missing(fixture_)), result);
    QCOMPARE(seen.list, calls);

    // The same answer when a reading thread's cache first learns it and
    // then gives it back.
    inas::parser::LookupCache cache;
    for (int pass = 0; pass < 2; ++pass) {
        Calls cached;
        QCOMPARE(resolver_->process(text.constData(), cached.found(fixture_), cached.missing(fixture_)), result);
        QCOMPARE(cached.list, calls);
    }
    // A text that leaves a developer line is not kept: it logs again when
    // met again.
    const bool logs = QTest::currentDataTag() == QLatin1String("mixed-case GUID");
    QCOMPARE(cache.size(), text.isEmpty() || logs ? 0 : 1);
}

void GuidResolutionTest::a_file_system_path_wins_over_the_path_table()
{
    // The file system now gives the path a GUID that is no runtime; the path
    // table still maps it to its asset, but is not asked.
    const char *path = "textures/wet.png";
    const Velmora::UGUID other = guid('e', 117);
    QVERIFY(Velmora::FileSystem::removeFile(path));
    QVERIFY(Velmora::FileSystem::addFile(path, other));
    Calls seen;
    QVERIFY(!resolver_->process(path, seen.found(fixture_), seen.missing(fixture_)));
    QCOMPARE(seen.list, QStringList());
    QVERIFY(Velmora::FileSystem::removeFile(path));
    QVERIFY(Velmora::FileSystem::addFile(path, guid('a', 117)));
}

void GuidResolutionTest::an_exact_asset_path_the_file_system_forgot_resolves_through_the_path_table()
{
    const char *path = "textures/decal.png";
    QVERIFY(Velmora::FileSystem::removeFile(path));
    Calls seen;
    QVERIFY(resolver_->process(path, seen.found(fixture_), seen.missing(fixture_)));
    QCOMPARE(seen.list, QStringList{"found textures/decal.png"});
    // Only the exact path: the table is no suffix index.
    seen.list.clear();
    QVERIFY(!resolver_->process("decal.png", seen.found(fixture_), seen.missing(fixture_)));
    QVERIFY(Velmora::FileSystem::addFile(path, guid('a', 118)));
}

void GuidResolutionTest::the_path_table_keeps_paths_of_any_script_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("ASCII") << QStringLiteral("textures/plain.png");
    QTest::newRow("accented") << QStringLiteral("textures/\u00e9t\u00e9.png");
    QTest::newRow("CJK characters") << QStringLiteral("textures/\u65e5\u672c/\u6728.png");
}

void GuidResolutionTest::the_path_table_keeps_paths_of_any_script()
{
    // Records the file system does not know: only the table can resolve them.
    QFETCH(QString, path);
    as::Asset asset;
    asset.setGUID(guid('e', 301));
    asset.setFilePath(fixture_.assets()->rootPath() + path, path);
    const GuidProcessor resolver(fixture_.assets(), QVector<as::Asset>{asset});
    Calls seen;
    QVERIFY(resolver.process(path.toUtf8().constData(), seen.found(fixture_), seen.missing(fixture_)));
    QCOMPARE(seen.list, QStringList{"found {e301}"});
}

void GuidResolutionTest::a_suffix_reports_exactly_the_first_matching_asset_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("calls");

    // Two assets end with "noise.png"; the first in path order wins.
    QTest::newRow("file name of two assets")
            << QByteArray("noise.png") << QStringList{"found other/textures/noise.png"};
    QTest::newRow("longer suffix of both")
            << QByteArray("textures/noise.png") << QStringList{"found other/textures/noise.png"};
    QTest::newRow("only one") << QByteArray("mask.png") << QStringList{"found textures/mask.png"};
    QTest::newRow("the whole path") << QByteArray("textures/stone_d.png") << QStringList{"found textures/stone_d.png"};
    QTest::newRow("no asset") << QByteArray("white.png") << QStringList();
    QTest::newRow("case differs") << QByteArray("NOISE.png") << QStringList();
    QTest::newRow("empty text matches nothing") << QByteArray("") << QStringList();
}

void GuidResolutionTest::a_suffix_reports_exactly_the_first_matching_asset()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, calls);
    Calls seen;
    QCOMPARE(resolver_->matchSuffix(text.constData(), seen.found(fixture_)), !calls.isEmpty());
    QCOMPARE(seen.list, calls);
}

void GuidResolutionTest::a_contained_match_reports_every_asset_path_inside_the_text_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("calls");

    QTest::newRow("two paths, reported in path order")
            << QByteArray("mix(textures/sky.png, textures/decal.png) * 2")
            << QStringList{"found textures/decal.png", "found textures/sky.png"};
    QTest::newRow("a path inside a longer path")
            << QByteArray("x/other/textures/noise.png")
            << QStringList{"found other/textures/noise.png", "found textures/noise.png"};
    QTest::newRow("glued to other text") << QByteArray("atextures/wet.pngb") << QStringList{"found textures/wet.png"};
    QTest::newRow("no path") << QByteArray("sin(time) * 0.5") << QStringList();
    QTest::newRow("file name only") << QByteArray("sky.png") << QStringList();
    QTest::newRow("empty") << QByteArray("") << QStringList();
}

void GuidResolutionTest::a_contained_match_reports_every_asset_path_inside_the_text()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, calls);
    Calls seen;
    QCOMPARE(resolver_->matchContained(text.constData(), seen.found(fixture_)), !calls.isEmpty());
    QCOMPARE(seen.list, calls);
}

QTEST_GUILESS_MAIN(GuidResolutionTest)
#include "tst_guid_resolution.moc"
