// Import parameter collections: an asset record's parameters and mappers as
// one collection, the landscape-map mappers read back from it, and the
// texture parameters.

#include "log_capture.h"

#include <editor_core/as/ImportParams.h>
#include <editor_core/as/LandscapeMapImportParams.h>
#include <editor_core/as/TextureImportParams.h>
#include <editor_core/editor/AssetManagerPrivate.h>

#include <velmora/Base.h>
#include <velmora/Console.h>

#include <QMutex>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using FileMap = terrain::TilesetMapper::FileMap;

QString describe(const QList<terrain::TilesetMapper> &mappers)
{
    QStringList parts;
    for (const terrain::TilesetMapper &mapper : mappers) {
        QStringList files;
        for (const auto &file : mapper.getFileMap())
            files << file.first + QLatin1Char('=') + file.second;
        parts << mapper.getName() + QLatin1Char('[') + files.join(QLatin1Char(' ')) + QLatin1Char(']');
    }
    return parts.join(QLatin1String("; "));
}

QVariantMap file(const QString &key, const QString &path)
{
    return {{QStringLiteral("key"), key}, {QStringLiteral("path"), path}};
}

int warnings(const std::function<void()> &work)
{
    test::LogCapture capture;
    work();
    return capture.lines(1).size();
}

} // namespace

class ImportParamsTest : public QObject
{
    Q_OBJECT

private slots:
    void the_collection_of_a_scanned_asset_holds_its_params_and_ordered_mappers();
    void mappers_survive_a_round_trip_and_other_params_are_kept();
    void malformed_mapper_entries_are_skipped_with_a_warning_data();
    void malformed_mapper_entries_are_skipped_with_a_warning();
    void texture_params_have_defaults_setters_and_a_file_name_check_data();
    void texture_params_have_defaults_setters_and_a_file_name_check();
};

void ImportParamsTest::the_collection_of_a_scanned_asset_holds_its_params_and_ordered_mappers()
{
    QTemporaryDir dir;
    const QString data = dir.path() + QStringLiteral("/data/");
    QDir().mkpath(data + QStringLiteral("terrain"));
    QFile lmap(data + QStringLiteral("terrain/island.lmap"));
    QVERIFY(lmap.open(QIODevice::WriteOnly));
    lmap.write("lmap\n");
    lmap.close();
    QFile meta(data + QStringLiteral("terrain/island.lmap.meta"));
    QVERIFY(meta.open(QIODevice::WriteOnly));
    meta.write("<asset version=\"1\" guid=\"aaaaa00000000000000000000000000000000901\" type=\"9\">\n"
               "<import>\n"
               "  <param name=\"scale\">2</param>\n"
               "  <mapper name=\"ground\">\n"
               "    <file key=\"1_0\">terrain/t_1_0.tile</file>\n"
               "    <file key=\"0_0\">terrain/t_0_0.tile</file>\n"
               "    <file key=\"0_0\"></file>\n"
               "  </mapper>\n"
               "  <mapper name=\"water\"/>\n"
               "</import>\n"
               "</asset>\n");
    meta.close();

    Editor::AssetManagerPrivate manager;
    manager.setRootPath(data);
    QSignalSpy initialized(&manager, &Editor::AssetManagerPrivate::initialized);
    manager.init();
    QVERIFY(initialized.wait(5000));
    const as::Asset asset = manager.asset(QStringLiteral("terrain/island.lmap"));
    QVERIFY(!asset.isNull());

    const QVariantMap params = as::ImportParams::fromAsset(asset);
    QCOMPARE(params.value(QStringLiteral("scale")).toString(), QStringLiteral("2"));
    as::LandscapeMapImportParams landscape;
    landscape.fromParams(params);
    // File order is kept, repeated keys and empty paths included.
    QCOMPARE(describe(landscape.getMappers()),
             QStringLiteral("ground[1_0=terrain/t_1_0.tile 0_0=terrain/t_0_0.tile 0_0=]; water[]"));
    QCOMPARE(landscape.value(QStringLiteral("scale")).toString(), QStringLiteral("2"));
    manager.shutdown();
}

void ImportParamsTest::mappers_survive_a_round_trip_and_other_params_are_kept()
{
    as::LandscapeMapImportParams written;
    written.setValue(QStringLiteral("size"), 512);
    written.setMappers({terrain::TilesetMapper(QStringLiteral("b"), FileMap{{"2", "x/2.tile"}, {"1", "x/1.tile"}}),
                        terrain::TilesetMapper(QStringLiteral("a"), FileMap{})});
    const QVariantMap params = written.toParams();
    QCOMPARE(params.value(QStringLiteral("size")).toInt(), 512);

    as::LandscapeMapImportParams read;
    read.fromParams(params);
    QCOMPARE(read.getMappers(), written.getMappers());
    QCOMPARE(read.toParams(), params);

    // Without mappers the collection has no mapper entry at all.
    written.setMappers({});
    QVERIFY(!written.toParams().contains(QLatin1String(as::ImportParams::MAPPERS_KEY)));
    read.fromParams(written.toParams());
    QVERIFY(read.getMappers().isEmpty());
}

void ImportParamsTest::malformed_mapper_entries_are_skipped_with_a_warning_data()
{
    QTest::addColumn<QVariant>("mappers");
    QTest::addColumn<QString>("result");
    QTest::addColumn<int>("warnings");

    const QVariantMap good{{QStringLiteral("name"), QStringLiteral("g")},
                           {QStringLiteral("files"), QVariantList{file("k", "p.tile")}}};
    QTest::newRow("not a list") << QVariant(QStringLiteral("ground")) << QString() << 1;
    QTest::newRow("an entry that is not a map")
            << QVariant(QVariantList{QStringLiteral("x"), good}) << QStringLiteral("g[k=p.tile]") << 1;
    QTest::newRow("files that are not a list")
            << QVariant(QVariantList{QVariantMap{{QStringLiteral("name"), QStringLiteral("bad")},
                                                 {QStringLiteral("files"), QStringLiteral("p.tile")}},
                                     good})
            << QStringLiteral("g[k=p.tile]") << 1;
    QTest::newRow("a mapper without files")
            << QVariant(QVariantList{QVariantMap{{QStringLiteral("name"), "e"}}}) << QStringLiteral("e[]") << 0;
}

void ImportParamsTest::malformed_mapper_entries_are_skipped_with_a_warning()
{
    QFETCH(QVariant, mappers);
    QFETCH(QString, result);
    QFETCH(int, warnings);
    as::LandscapeMapImportParams params;
    const int logged = ::warnings([&] {
        params.fromParams({{QLatin1String(as::ImportParams::MAPPERS_KEY), mappers}});
    });
    QCOMPARE(describe(params.getMappers()), result);
    QCOMPARE(logged, warnings);
}

void ImportParamsTest::texture_params_have_defaults_setters_and_a_file_name_check_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("valid");
    QTest::newRow("png") << "textures/a.png" << true;
    QTest::newRow("upper-case extension") << "textures/A.PNG" << true;
    QTest::newRow("dds") << "/abs/path/b.dds" << true;
    QTest::newRow("text file") << "notes.txt" << false;
    QTest::newRow("no extension") << "textures/png" << false;
    QTest::newRow("empty") << "" << false;
}

void ImportParamsTest::texture_params_have_defaults_setters_and_a_file_name_check()
{
    QFETCH(QString, path);
    QFETCH(bool, valid);
    as::TextureImportParams params = as::TextureImportParams::createByFilename(path);
    QCOMPARE(params.isValid(), valid);
    QCOMPARE(params.getMipmapType(), as::TextureImportParams::DEFAULT_MIPMAP_TYPE);
    QCOMPARE(params.getImageFormat(), as::TextureImportParams::DEFAULT_IMAGE_FORMAT);
    params.setMipmapType(2);
    params.setImageFormat(11);
    const QVariantMap collection = params.toParams();
    QCOMPARE(collection.value(QLatin1String(as::TextureImportParams::MIPMAP_TYPE_KEY)).toInt(), 2);
    QCOMPARE(collection.value(QLatin1String(as::TextureImportParams::IMAGE_FORMAT_KEY)).toInt(), 11);

    // A meta file gives text values; entries of other kinds stay.
    params.fromParams({{QStringLiteral("mipmap_type"), QStringLiteral("3")}, {QStringLiteral("other"), 1}});
    QCOMPARE(params.getMipmapType(), 3);
    QCOMPARE(params.getImageFormat(), as::TextureImportParams::DEFAULT_IMAGE_FORMAT);
    QCOMPARE(params.toParams().value(QStringLiteral("other")).toInt(), 1);
}

QTEST_GUILESS_MAIN(ImportParamsTest)
#include "tst_import_params.moc"
