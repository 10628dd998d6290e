// The project's content and its "guids.db" table, over a catalog of assets
// that the test controls, including stale and contradictory asset data.

#include "assembly_test_support.h"

#include "editor/assembly/core/impl/file_processing/content_files_source.h"
#include "editor/assembly/core/post_processing_handler.h"

#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QtTest>

using namespace assembly;
using assemblytest::Installation;
using assemblytest::MessageCapture;
using Velmora::UGUID;

namespace {

UGUID guid(int n)
{
    return UGUID(QStringLiteral("aaaaa%1").arg(n, 35, 10, QLatin1Char('0')).toLatin1().constData());
}

QString hex(int n)
{
    return QString::fromUtf8(guid(n).getString().get());
}

// Assets and engine answers as the test sets them; paths are data-relative.
class FakeCatalog : public ContentCatalog
{
public:
    explicit FakeCatalog(const QString &root)
        : root_(root)
    {}

    QString root_;
    QVector<Asset> assets_;
    QHash<UGUID, QString> files_; // GUID -> data-relative path ("" for none)
    QHash<UGUID, QString> absolute_; // overrides of the absolute path
    QHash<UGUID, UGUID> material_files_; // runtime -> file GUID
    QSet<UGUID> packaged_;

    QString rootPath() const override { return root_; }
    QVector<Asset> assets() const override { return assets_; }
    QString assetFilePath(const UGUID &asset) const override { return absolutePath(asset); }
    bool isPackageFile(const UGUID &g) const override { return packaged_.contains(g); }
    QString absolutePath(const UGUID &g) const override
    {
        if (absolute_.contains(g))
            return absolute_.value(g);
        return files_.contains(g) ? root_ + files_.value(g) : QString();
    }
    QString virtualPath(const UGUID &g) const override { return files_.value(g); }
    bool isGUIDPath(const QString &path) const override { return path.startsWith(QLatin1String("guid://")); }
    UGUID materialFileGUID(const UGUID &runtime) const override { return material_files_.value(runtime); }
    UGUID propertyFileGUID(const UGUID &runtime) const override { return material_files_.value(runtime); }

    void add(int n, int type, const QString &path, bool excluded = false)
    {
        assets_.append(Asset{guid(n), type, excluded, {Runtime{guid(n), false}}});
        files_.insert(guid(n), path);
    }
};

struct Result
{
    bool ok = false;
    QStringList destinations;
    QJsonObject guids_db;
    QString guids_db_file;
};

Result run(std::unique_ptr<ContentCatalog> catalog, QList<QPair<int, int>> *reports = nullptr)
{
    ContentFilesSource source(std::move(catalog), QStringLiteral("/cache/"), QStringLiteral("data/"));
    PostProcessingHandler queue;
    fp::CopyItems items;
    Result result;
    result.ok = source.process(
            [reports](int max, int value) {
                return reports && (reports->append({max, value}), false), true;
            },
            queue, items);
    for (const fp::CopyItem &item : items) {
        result.destinations << item.relative_dest;
        if (item.relative_dest == QLatin1String("data/guids.db")) {
            result.guids_db_file = item.source_path;
            result.guids_db = QJsonDocument::fromJson(Installation::read(item.source_path)).object();
        }
    }
    queue.runOperations();
    return result;
}

} // namespace

class TestContentFilesSource : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void every_runtime_file_lands_at_its_data_path_with_a_table_entry();
    void excluded_packaged_and_component_assets_are_skipped();
    void a_stored_runtime_brings_its_meta_file();
    void a_material_is_copied_from_its_file_to_the_asset_place();
    void a_material_without_an_engine_object_adds_nothing_silently();
    void an_asset_outside_the_data_folder_is_reported();
    void no_content_writes_no_table_but_reports_progress();
    void stale_asset_data_is_skipped_with_a_warning_data();
    void stale_asset_data_is_skipped_with_a_warning();

private:
    std::unique_ptr<Installation> inst_;
    std::unique_ptr<FakeCatalog> catalog_;
};

void TestContentFilesSource::init()
{
    inst_ = std::make_unique<Installation>();
    catalog_ = std::make_unique<FakeCatalog>(inst_->dataPath());
    for (const char *file : {"worlds/a.world", "meshes/b.mesh", "materials/m.mat", ".runtimes/aa/r.node",
                             ".runtimes/aa/r.node.meta", "scripts/c.cs"})
        inst_->write(QStringLiteral("data/") + file);
}

void TestContentFilesSource::every_runtime_file_lands_at_its_data_path_with_a_table_entry()
{
    catalog_->add(1, 18, "worlds/a.world");
    catalog_->add(2, 2, "meshes/b.mesh");
    QList<QPair<int, int>> reports;
    const Result result = run(std::move(catalog_), &reports);
    QVERIFY(result.ok);
    QCOMPARE(result.destinations, (QStringList{"data/worlds/a.world", "data/meshes/b.mesh", "data/guids.db"}));
    QCOMPARE(reports, (QList<QPair<int, int>>{{2, 2}}));
    // Exactly the table, indented by Qt's writer.
    const QJsonObject expected{{hex(1), "worlds/a.world"}, {hex(2), "meshes/b.mesh"}};
    QCOMPARE(result.guids_db, expected);
    QVERIFY(!QFileInfo::exists(result.guids_db_file)); // removed by the post operations
}

void TestContentFilesSource::excluded_packaged_and_component_assets_are_skipped()
{
    catalog_->add(1, 18, "worlds/a.world", true);
    catalog_->add(2, 2, "meshes/b.mesh");
    catalog_->packaged_.insert(guid(2));
    catalog_->add(3, 22, "scripts/c.cs");
    catalog_->add(4, 2, "meshes/b.mesh");
    const Result result = run(std::move(catalog_));
    QVERIFY(result.ok);
    QCOMPARE(result.destinations, (QStringList{"data/meshes/b.mesh", "data/guids.db"}));
    QCOMPARE(result.guids_db.keys(), QStringList{hex(4)});
}

void TestContentFilesSource::a_stored_runtime_brings_its_meta_file()
{
    catalog_->add(1, 7, "worlds/a.world");
    catalog_->assets_[0].runtimes.append(ContentCatalog::Runtime{guid(9), true});
    catalog_->files_.insert(guid(9), ".runtimes/aa/r.node");
    const Result result = run(std::move(catalog_));
    QCOMPARE(result.destinations,
             (QStringList{"data/worlds/a.world", "data/.runtimes/aa/r.node", "data/.runtimes/aa/r.node.meta",
                          "data/guids.db"}));
    QCOMPARE(result.guids_db.value(hex(9)).toString(), QStringLiteral(".runtimes/aa/r.node"));
    QCOMPARE(result.guids_db.size(), 2);
}

void TestContentFilesSource::a_material_is_copied_from_its_file_to_the_asset_place()
{
    // The asset and its material runtime both name the same file: one item.
    catalog_->add(1, 4, "materials/m.mat");
    catalog_->assets_[0].runtimes.append(ContentCatalog::Runtime{guid(5), false});
    catalog_->material_files_.insert(guid(1), guid(6));
    catalog_->material_files_.insert(guid(5), guid(6));
    catalog_->files_.insert(guid(6), "meshes/b.mesh");
    MessageCapture capture;
    const Result result = run(std::move(catalog_));
    QCOMPARE(result.destinations, (QStringList{"data/materials/m.mat", "data/guids.db"}));
    QCOMPARE(result.guids_db, (QJsonObject{{hex(6), "materials/m.mat"}}));
    QCOMPARE(capture.count(QtWarningMsg, "Build Tool"), 0);
}

void TestContentFilesSource::a_material_without_an_engine_object_adds_nothing_silently()
{
    catalog_->add(1, 4, "materials/m.mat");
    catalog_->add(2, 5, "materials/m.mat");
    catalog_->material_files_.insert(guid(2), guid(7)); // a file GUID the file system does not know
    MessageCapture capture;
    const Result result = run(std::move(catalog_));
    QVERIFY(result.ok);
    QCOMPARE(result.destinations, QStringList());
    QCOMPARE(capture.count(QtWarningMsg, "Build Tool: [internal warning] asset file has an invalid FileSystem's path."),
             1);
    QCOMPARE(capture.count(QtWarningMsg, "\tFile guid:"), 1);
}

void TestContentFilesSource::an_asset_outside_the_data_folder_is_reported()
{
    catalog_->add(1, 4, "materials/m.mat");
    catalog_->absolute_.insert(guid(1), "/elsewhere/m.mat");
    catalog_->material_files_.insert(guid(1), guid(1));
    MessageCapture capture;
    const Result result = run(std::move(catalog_));
    QCOMPARE(result.destinations, QStringList());
    QCOMPARE(capture.count(QtWarningMsg, "Build Tool: [internal warning] Asset file path looks wrong:"), 1);
}

void TestContentFilesSource::no_content_writes_no_table_but_reports_progress()
{
    catalog_->add(3, 22, "scripts/c.cs");
    QList<QPair<int, int>> reports;
    const Result result = run(std::move(catalog_), &reports);
    QVERIFY(result.ok);
    QVERIFY(result.destinations.isEmpty());
    QCOMPARE(reports, (QList<QPair<int, int>>{{2, 2}}));
}

void TestContentFilesSource::stale_asset_data_is_skipped_with_a_warning_data()
{
    QTest::addColumn<QString>("problem");
    QTest::addColumn<QString>("warning");
    QTest::newRow("duplicate GUID of another file") << "duplicate"
                                                    << "two files claim the GUID";
    QTest::newRow("missing side meta") << "no meta"
                                       << "necessary file not found";
    QTest::newRow("missing runtime file") << "no file"
                                          << "necessary file not found";
    QTest::newRow("stored outside .runtimes") << "outside"
                                              << "outside the \".runtimes\" folder";
    QTest::newRow("path leaving the data folder") << "escape"
                                                  << "has no usable path";
}

void TestContentFilesSource::stale_asset_data_is_skipped_with_a_warning()
{
    QFETCH(QString, problem);
    QFETCH(QString, warning);
    catalog_->add(1, 18, "worlds/a.world");
    catalog_->assets_[0].runtimes.append(ContentCatalog::Runtime{guid(9), true});
    catalog_->files_.insert(guid(9), ".runtimes/aa/r.node");
    if (problem == "duplicate") {
        catalog_->add(2, 2, "meshes/b.mesh");
        catalog_->assets_[1].guid = guid(1);
        catalog_->assets_[1].runtimes[0].guid = guid(1);
        catalog_->files_.insert(guid(1), "worlds/a.world");
        catalog_->absolute_.insert(guid(1), inst_->dataPath() + "worlds/a.world");
        catalog_->assets_.append(ContentCatalog::Asset{guid(3), 2, false, {ContentCatalog::Runtime{guid(1), true}}});
        catalog_->absolute_.insert(guid(1), inst_->dataPath() + ".runtimes/aa/r.node");
    } else if (problem == "no meta") {
        QVERIFY(QFile::remove(inst_->dataPath() + ".runtimes/aa/r.node.meta"));
    } else if (problem == "no file") {
        QVERIFY(QFile::remove(inst_->dataPath() + "worlds/a.world"));
    } else if (problem == "outside") {
        catalog_->absolute_.insert(guid(9), inst_->dataPath() + "worlds/a.world");
    } else if (problem == "escape") {
        catalog_->files_.insert(guid(1), "../a.world");
        catalog_->absolute_.insert(guid(1), inst_->dataPath() + "worlds/a.world");
    }
    MessageCapture capture;
    const Result result = run(std::move(catalog_));
    QVERIFY(result.ok);
    QVERIFY(capture.count(QtWarningMsg, warning) >= 1);
    // Every listed file exists and every table entry is unique and safe.
    QVERIFY(!result.destinations.isEmpty());
    for (auto it = result.guids_db.constBegin(); it != result.guids_db.constEnd(); ++it)
        QVERIFY(!it.value().toString().contains(QLatin1String("..")));
}

QTEST_GUILESS_MAIN(TestContentFilesSource)
#include "tst_content_files_source.moc"
