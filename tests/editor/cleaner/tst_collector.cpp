// The collector over the cleaner's test project (every kind of evidence,
// with its expected unused list and lost map), its progress and cancel, the
// job on the queue, and the inputs that must never be taken for "no
// references": unreadable files and a project that changes during a run.

#include "cleaner_fixture.h"
#include "project_builder.h"

#include <editor/cleaner/collector/collector.h>
#include <editor/cleaner/collector/collector_job.h>

#include <editor_core/editor/AssetManagerPrivate.h>
#include <editor_core/tbb/Queue.h>

#include <QFile>
#include <QSignalSpy>
#include <QtTest>

#include <unistd.h>

using cleanertest::ProgressLog;
using inastest::AnalysisFixture;
using inastest::guid;
using inastest::LogCapture;

class CollectorTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void the_test_project_gives_the_expected_unused_list_and_lost_map_data();
    void the_test_project_gives_the_expected_unused_list_and_lost_map();
    void progress_ends_at_exactly_the_total_and_never_goes_back();
    void a_cancel_at_any_report_leaves_no_result();
    void the_job_reports_progress_and_ends_done_or_cancelled();
    void files_that_cannot_be_read_are_reported_once_and_make_the_list_incomplete_data();
    void files_that_cannot_be_read_are_reported_once_and_make_the_list_incomplete();
    void a_file_saved_or_an_asset_removed_during_the_collection_makes_the_result_stale();
    void source_links_inside_the_project_are_followed_and_others_are_not();
    void a_read_only_file_is_never_listed_whoever_runs_the_editor();
    void what_a_copy_left_out_by_the_scan_uses_is_not_listed();
    void what_links_in_the_data_folder_lead_to_counts_as_used_data();
    void what_links_in_the_data_folder_lead_to_counts_as_used();
    void an_asset_file_replaced_by_a_link_to_outside_is_not_read();
    void the_sample_project_lists_its_unused_assets();

private:
    QTemporaryDir dir_;
    AnalysisFixture fixture_;
};

void CollectorTest::initTestCase()
{
    QVERIFY(cleanertest::copyFolder(cleanertest::testDataPath(QStringLiteral("project")), dir_.path()));
    QVERIFY(fixture_.start(dir_.path() + QStringLiteral("/data")));
}

void CollectorTest::cleanupTestCase()
{
    fixture_.stop();
}

void CollectorTest::the_test_project_gives_the_expected_unused_list_and_lost_map_data()
{
    QTest::addColumn<bool>("naive");
    QTest::newRow("all names at once") << false;
    QTest::newRow("one name at a time") << true;
}

void CollectorTest::the_test_project_gives_the_expected_unused_list_and_lost_map()
{
    QFETCH(bool, naive);
    LogCapture log;
    cleaner::CollectorResult result;
    cleaner::Collector::Options options;
    options.naive_search = naive;
    QVERIFY(cleaner::Collector::collect(
            result, fixture_.assets(), fixture_.materials(), [](int, int) { return true; }, options));
    QVERIFY(result.success);
    QCOMPARE(cleanertest::describeUnused(fixture_, result.unused),
             cleanertest::readLines(cleanertest::testDataPath(QStringLiteral("expected_unused.txt"))));
    QCOMPARE(cleanertest::describeLost(fixture_, result.lost),
             cleanertest::readLines(cleanertest::testDataPath(QStringLiteral("expected_lost.txt"))));
    QVERIFY2(result.read_failures.isEmpty(), qPrintable(result.read_failures.value(0).path));
    QVERIFY(!result.stale);
    QVERIFY(!result.mayBeIncomplete());
    QCOMPARE(log.count(QStringLiteral("SOFT ASSERT")), 0);
}

void CollectorTest::progress_ends_at_exactly_the_total_and_never_goes_back()
{
    ProgressLog progress;
    cleaner::CollectorResult result;
    QVERIFY(cleaner::Collector::collect(result, fixture_.assets(), fixture_.materials(), std::ref(progress)));
    QVERIFY(progress.calls.size() > 10);
    QCOMPARE(progress.calls.first(), qMakePair(1, 0));
    const int max = progress.calls.last().first;
    QCOMPARE(progress.calls.last(), qMakePair(max, max));
    // After the counting pass the total stands, and the value only grows.
    const int counted = progress.calls.indexOf(qMakePair(max, 1));
    QVERIFY(counted > 0);
    for (int i = counted + 1; i < progress.calls.size(); ++i) {
        QCOMPARE(progress.calls[i].first, max);
        QVERIFY2(progress.calls[i].second >= progress.calls[i - 1].second, qPrintable(QString::number(i)));
        QVERIFY(progress.calls[i].second <= max);
    }
}

void CollectorTest::a_cancel_at_any_report_leaves_no_result()
{
    ProgressLog all;
    cleaner::CollectorResult result;
    QVERIFY(cleaner::Collector::collect(result, fixture_.assets(), fixture_.materials(), std::ref(all)));
    for (int k = 1; k <= all.calls.size(); ++k) {
        ProgressLog progress;
        progress.stop_at = k;
        QVERIFY(!cleaner::Collector::collect(result, fixture_.assets(), fixture_.materials(), std::ref(progress)));
        QCOMPARE(progress.calls.size(), k);
        QVERIFY(!result.success);
        QVERIFY(result.unused.empty());
        QVERIFY(result.lost.isEmpty());
    }
}

void CollectorTest::the_job_reports_progress_and_ends_done_or_cancelled()
{
    // A run to its end.
    auto job = std::make_shared<cleaner::CollectorJob>(fixture_.assets(), fixture_.materials());
    QSignalSpy progress(job.get(), &cleaner::CollectorJob::progress);
    QSignalSpy done(job.get(), &tbb::QJob::done);
    QVERIFY(job->unusedAssets().empty());
    QVERIFY(tbb::Queue::instance()->enqueue(job));
    QVERIFY(done.wait(20000));
    QVERIFY(job->isSuccess());
    QCOMPARE(cleanertest::describeUnused(fixture_, job->unusedAssets()),
             cleanertest::readLines(cleanertest::testDataPath(QStringLiteral("expected_unused.txt"))));
    QVERIFY(!job->lostAssets().isEmpty());
    QVERIFY(!job->mayBeIncomplete());
    QVERIFY(progress.size() > 10);
    const QList<QVariant> last = progress.last();
    QCOMPARE(last.at(0).toInt(), last.at(1).toInt());

    // A cancel at the third report (made on the worker, so that the run
    // cannot end before the cancel arrives).
    auto cancelled = std::make_shared<cleaner::CollectorJob>(fixture_.assets(), fixture_.materials());
    QSignalSpy cancelled_done(cancelled.get(), &tbb::QJob::done);
    QSignalSpy cancelled_progress(cancelled.get(), &cleaner::CollectorJob::progress);
    std::atomic<int> reports{0};
    connect(
            cancelled.get(), &cleaner::CollectorJob::progress, cancelled.get(),
            [&cancelled, &reports] {
                if (++reports == 3)
                    cancelled->cancel();
            },
            Qt::DirectConnection);
    QVERIFY(tbb::Queue::instance()->enqueue(cancelled));
    QVERIFY(cancelled_done.wait(20000));
    QCOMPARE(cancelled->getStatus(), tbb::JobInterface::STATUS_CANCELLED);
    QVERIFY(cancelled->unusedAssets().empty());
    QVERIFY(cancelled->lostAssets().isEmpty());
    QCOMPARE(cancelled_progress.size(), 3); // nothing is reported after a cancel
    tbb::Queue::instance()->shutdown();
}

void CollectorTest::files_that_cannot_be_read_are_reported_once_and_make_the_list_incomplete_data()
{
    QTest::addColumn<bool>("data_through_link");
    QTest::newRow("data folder") << false;
    QTest::newRow("data folder reached through a link") << true;
}

void CollectorTest::files_that_cannot_be_read_are_reported_once_and_make_the_list_incomplete()
{
    QFETCH(bool, data_through_link);
    QTemporaryDir dir;
    test::ProjectBuilder project(dir.path() + QStringLiteral("/real"));
    project.asset("textures/a.png", "png", "{a001}", 6)
            .asset("nodes/half_written.node", "<nodes><node name=\"n\" id=\"1\"><mesh>textures/a.png", "{a002}", 1)
            .asset("nodes/empty.node", "", "{a003}", 1)
            .asset("materials/garbage.mat", "this is neither FESK nor XML {{{", "{a004}", 4)
            .asset("scripts/locked.usc", "load(\"a.png\");\n", "{a005}", 20)
            .asset("scripts/huge.usc", "", "{a007}", 20)
            .asset("models/m.model", "v 0 0 0\n", "{a006}", 7)
            // The model's node runtime is listed but its file is gone.
            .rawMeta(
                    "models/m.model",
                    test::ProjectBuilder::expandGuids(
                            QStringLiteral("<?xml version=\"1.0\"?>\n<asset version=\"1\" guid=\"{a006}\" type=\"7\">\n"
                                           "<runtime guid=\"{b001}\" kind=\"3\" name=\"m\" ext=\"node\"/>\n</asset>\n"))
                            .toUtf8())
            .asset("scripts/pipe.usc", "", "{a008}", 20)
            .asset("materials/pipe.mat", "", "{a009}", 4)
            .asset("materials/gone.mat", "", "{a010}", 4)
            // The ignore file is there but is no file that can be read.
            .file(".tamsel2/.cleanerignore/x", "");
    QVERIFY(project.ok());
    // One FIFO inside the data folder reached through links as a world,
    // twice as a material (each read both as a material and as its text)
    // and below a linked folder; a source file and a link to it; a script
    // and a material that became FIFOs after the scan: none is waited on,
    // each is told once.
    QVERIFY(QDir().mkpath(project.dataPath() + QStringLiteral(".shared")));
    QVERIFY(test::makeFifo(project.dataPath() + QStringLiteral(".shared/pipe.mat")));
    QVERIFY(QDir().mkpath(project.dataPath() + QStringLiteral("worlds")));
    for (const char *name : {"worlds/pipe.world", "materials/linked.mat", "materials/linked_again.mat"}) {
        const QByteArray link = (project.dataPath() + QLatin1String(name)).toUtf8();
        QVERIFY(::symlink("../.shared/pipe.mat", link.constData()) == 0);
    }
    QVERIFY(QFile::link(QStringLiteral(".shared"), project.dataPath() + QStringLiteral("shared")));
    const QString source = dir.path() + QStringLiteral("/real/source/code/");
    QVERIFY(QDir().mkpath(source) && test::makeFifo(source + QStringLiteral("pipe.cpp")));
    QVERIFY(QFile::link(QStringLiteral("pipe.cpp"), source + QStringLiteral("alias.cpp")));
    QVERIFY(test::linkToDevice(project.dataPath() + QStringLiteral("materials/device.mat")));
    QString data = project.dataPath();
    if (data_through_link) {
        QVERIFY(QFile::link(dir.path() + QStringLiteral("/real"), dir.path() + QStringLiteral("/alias")));
        data = dir.path() + QStringLiteral("/alias/data/");
    }
    AnalysisFixture fixture;
    QVERIFY(fixture.start(data));
    // A script over the size limit (sparse, so it costs no disk).
    QFile huge(project.dataPath() + QStringLiteral("scripts/huge.usc"));
    QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(cleaner::Collector::MAX_SCRIPT_FILE_SIZE + 1));
    huge.close();
    QVERIFY(fixture.rescan());
    QVERIFY(test::makeFifo(project.dataPath() + QStringLiteral("scripts/pipe.usc")));
    QVERIFY(test::makeFifo(project.dataPath() + QStringLiteral("materials/pipe.mat")));
    QVERIFY(QFile::remove(project.dataPath() + QStringLiteral("materials/gone.mat")));
    const bool root = ::geteuid() == 0;
    if (!root)
        QVERIFY(QFile::setPermissions(project.dataPath() + QStringLiteral("scripts/locked.usc"),
                                      QFileDevice::WriteOwner));

    cleaner::CollectorResult result;
    QVERIFY(cleaner::Collector::collect(result, fixture.assets(), fixture.materials(), [](int, int) { return true; }));
    const QString alias = QDir::cleanPath(fixture.dataPath() + QStringLiteral("../source/code/alias.cpp"));
    QStringList failed;
    for (const cleaner::ReadFailure &failure : result.read_failures) {
        QVERIFY(!failure.reason.isEmpty());
        if (failure.path.contains(QLatin1String("pipe")))
            QVERIFY2(failure.reason.startsWith(QLatin1String("cannot be opened: it is a FIFO, not a regular file")),
                     qPrintable(failure.reason));
        // The link to the source file is no second file, but it is told.
        if (failure.path.endsWith(QLatin1String("pipe.cpp")))
            QVERIFY2(failure.reason.endsWith(QStringLiteral("(also reached as \"%1\")").arg(alias)),
                     qPrintable(failure.reason));
        // Named as the data folder was reached, as the assets are.
        failed << QDir(fixture.dataPath()).relativeFilePath(failure.path);
    }
    failed.sort();
    QStringList expected{QStringLiteral(".runtimes/bb/bbbbb00000000000000000000000000000000001.node"),
                         QStringLiteral(".shared/pipe.mat"),
                         QStringLiteral(".tamsel2/.cleanerignore"),
                         QStringLiteral("../source/code/pipe.cpp"),
                         QStringLiteral("materials/device.mat"),
                         QStringLiteral("materials/garbage.mat"),
                         QStringLiteral("materials/gone.mat"),
                         QStringLiteral("materials/pipe.mat"),
                         QStringLiteral("nodes/half_written.node"),
                         QStringLiteral("scripts/huge.usc"),
                         QStringLiteral("scripts/pipe.usc")};
    if (!root)
        expected << QStringLiteral("scripts/locked.usc");
    expected.sort();
    QCOMPARE(failed, expected);
    QVERIFY(result.mayBeIncomplete());
    // The defaults still apply (the script is ignored); the image that only
    // unreadable files name is listed, which is why the list is incomplete.
    QStringList unused{QStringLiteral("materials/garbage.mat"), QStringLiteral("models/m.model"),
                       QStringLiteral("nodes/empty.node"), QStringLiteral("nodes/half_written.node")};
    if (!root)
        unused << QStringLiteral("textures/a.png");
    QCOMPARE(cleanertest::describeUnused(fixture, result.unused), unused);
    fixture.stop();
}

void CollectorTest::a_file_saved_or_an_asset_removed_during_the_collection_makes_the_result_stale()
{
    QTemporaryDir dir;
    test::ProjectBuilder project(dir.path());
    project.asset("textures/a.png", "png", "{a001}", 6)
            .asset("nodes/n.node", "<nodes><node name=\"n\" id=\"1\"/></nodes>", "{a002}", 1);
    QVERIFY(project.ok());
    AnalysisFixture fixture;
    QVERIFY(fixture.start(project.dataPath()));

    cleaner::CollectorResult result;
    QVERIFY(cleaner::Collector::collect(result, fixture.assets(), fixture.materials(), [](int, int) { return true; }));
    QVERIFY(!result.stale);

    bool saved = false;
    const QString node = project.dataPath() + QStringLiteral("nodes/n.node");
    QVERIFY(cleaner::Collector::collect(result, fixture.assets(), fixture.materials(), [&](int max, int value) {
        if (!saved && max > 1 && value > max / 2) {
            QFile file(node);
            saved = file.open(QIODevice::WriteOnly)
                    && file.write(test::ProjectBuilder::expandGuids(
                                          QStringLiteral("<nodes><node name=\"n\" id=\"1\"><mesh>{a001}</mesh>"
                                                         "</node></nodes>"))
                                          .toUtf8())
                            > 0;
        }
        return true;
    }));
    QVERIFY(saved);
    QVERIFY(result.stale);
    QVERIFY(result.mayBeIncomplete());

    // An asset removed while the collection runs.
    bool removed = false;
    QVERIFY(cleaner::Collector::collect(result, fixture.assets(), fixture.materials(), [&](int max, int value) {
        if (!removed && max > 1 && value > max / 2)
            removed = fixture.assets()->remove({guid('a', 1)});
        return true;
    }));
    QVERIFY(removed);
    QVERIFY(result.stale);
    fixture.stop();
}

void CollectorTest::source_links_inside_the_project_are_followed_and_others_are_not()
{
    QTemporaryDir outside;
    QVERIFY(QDir().mkpath(outside.path() + QStringLiteral("/code")));
    QFile far(outside.path() + QStringLiteral("/code/far.cpp"));
    QVERIFY(far.open(QIODevice::WriteOnly) && far.write("// far.png\n") > 0);
    far.close();

    QTemporaryDir dir;
    test::ProjectBuilder project(dir.path());
    project.asset("textures/near.png", "png", "{a001}", 6).asset("textures/far.png", "png", "{a002}", 6);
    QVERIFY(project.ok());
    const QString root = dir.path();
    QVERIFY(QDir().mkpath(root + QStringLiteral("/shared")));
    QFile near(root + QStringLiteral("/shared/near.h"));
    QVERIFY(near.open(QIODevice::WriteOnly) && near.write("// near.png\n") > 0);
    near.close();
    QVERIFY(QDir().mkpath(root + QStringLiteral("/source")));
    QVERIFY(QFile::link(root + QStringLiteral("/shared"), root + QStringLiteral("/source/shared")));
    QVERIFY(QFile::link(outside.path() + QStringLiteral("/code"), root + QStringLiteral("/source/outside")));
    // A loop back into the source folder is entered once.
    QVERIFY(QFile::link(root + QStringLiteral("/source"), root + QStringLiteral("/shared/loop")));

    AnalysisFixture fixture;
    QVERIFY(fixture.start(project.dataPath()));
    cleaner::CollectorResult result;
    QVERIFY(cleaner::Collector::collect(result, fixture.assets(), fixture.materials(), [](int, int) { return true; }));
    QCOMPARE(cleanertest::describeUnused(fixture, result.unused), QStringList{QStringLiteral("textures/far.png")});
    fixture.stop();
}

void CollectorTest::a_read_only_file_is_never_listed_whoever_runs_the_editor()
{
    QTemporaryDir dir;
    test::ProjectBuilder project(dir.path());
    project.asset("textures/kept.png", "png", "{a001}", 6).asset("textures/loose.png", "png", "{a002}", 6);
    QVERIFY(project.ok());
    QVERIFY(QFile::setPermissions(project.dataPath() + QStringLiteral("textures/kept.png"),
                                  QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
    AnalysisFixture fixture;
    QVERIFY(fixture.start(project.dataPath()));
    cleaner::CollectorResult result;
    QVERIFY(cleaner::Collector::collect(result, fixture.assets(), fixture.materials(), [](int, int) { return true; }));
    QCOMPARE(cleanertest::describeUnused(fixture, result.unused), QStringList{QStringLiteral("textures/loose.png")});
    fixture.stop();
}

void CollectorTest::the_sample_project_lists_its_unused_assets()
{
    AnalysisFixture fixture;
    QVERIFY(fixture.startWithCopyOf(qEnvironmentVariable("VELMORA_SOURCE_DIR")
                                    + QStringLiteral("/examples/sample_project/data")));
    cleaner::CollectorResult result;
    QVERIFY(cleaner::Collector::collect(result, fixture.assets(), fixture.materials(), [](int, int) { return true; }));
    QCOMPARE(cleanertest::describeUnused(fixture, result.unused),
             QStringList({QStringLiteral("materials/props/crate_old.mat"), QStringLiteral("meshes/barrel.mesh")}));
    QVERIFY(!result.mayBeIncomplete());
    fixture.stop();
}

void CollectorTest::what_a_copy_left_out_by_the_scan_uses_is_not_listed()
{
    // Each file copied together with its meta file: the scan keeps the
    // first by path and leaves the copy out. Only the copies name the
    // images: a world by reference, a material in its text, a script by
    // file name.
    QTemporaryDir dir;
    test::ProjectBuilder project(dir.path());
    const QByteArray world = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<world version=\"1\">\n</world>\n";
    const QByteArray material = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<material name=\"m\">\n</material>\n";
    project.asset("textures/by_world.png", "png", "{a001}", 6)
            .asset("textures/by_material.png", "png", "{a002}", 6)
            .asset("textures/by_script.png", "png", "{a003}", 6)
            .asset("textures/loose.png", "png", "{a004}", 6)
            .asset("worlds/level.world", world, "{a010}", 18)
            .asset("worlds/level_copy.world",
                   "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<world version=\"1\">\n"
                   "<node type=\"ObjectMesh\" id=\"1\" name=\"n\"><mesh>{a001}</mesh></node>\n</world>\n",
                   "{a010}", 18)
            .asset("materials/m.mat", material, "{a011}", 4)
            .asset("materials/m_copy.mat",
                   "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<material name=\"m\">\n"
                   "<!-- baked from textures/by_material.png -->\n</material>\n",
                   "{a011}", 4)
            .asset("scripts/s.usc", "// nothing yet\n", "{a012}", 20)
            .asset("scripts/s_copy.usc", "load(\"by_script.png\");\n", "{a012}", 20);
    QVERIFY(project.ok());
    AnalysisFixture fixture;
    QVERIFY(fixture.start(project.dataPath()));
    QStringList left_out;
    for (const as::DuplicateGuid &duplicate : fixture.assets()->duplicates())
        left_out << duplicate.left_out;
    left_out.sort();
    QCOMPARE(left_out,
             QStringList({QStringLiteral("materials/m_copy.mat"), QStringLiteral("scripts/s_copy.usc"),
                          QStringLiteral("worlds/level_copy.world")}));

    cleaner::CollectorResult result;
    QVERIFY(cleaner::Collector::collect(result, fixture.assets(), fixture.materials(), [](int, int) { return true; }));
    const QStringList unused = cleanertest::describeUnused(fixture, result.unused);
    for (const QString &used : {QStringLiteral("textures/by_world.png"), QStringLiteral("textures/by_material.png"),
                                QStringLiteral("textures/by_script.png")})
        QVERIFY2(!unused.contains(used), qPrintable(unused.join(QLatin1Char(' '))));
    QVERIFY(unused.contains(QStringLiteral("textures/loose.png")));
    // Copies add evidence; they make nothing unreadable or incomplete.
    QVERIFY(result.read_failures.isEmpty());
    QVERIFY(!result.mayBeIncomplete());
    QVERIFY(result.lost.isEmpty());
    fixture.stop();
}

void CollectorTest::what_links_in_the_data_folder_lead_to_counts_as_used_data()
{
    QTest::addColumn<bool>("data_through_link");
    QTest::newRow("data folder") << false;
    QTest::newRow("data folder reached through a link") << true;
}

void CollectorTest::what_links_in_the_data_folder_lead_to_counts_as_used()
{
    // The scan lists no link: links to a world, a script and a folder kept
    // in a hidden folder, and a link to a mesh, are the only users of the
    // images, the node and the mesh they name or lead to.
    QFETCH(bool, data_through_link);
    QTemporaryDir outside;
    QFile far(outside.path() + QStringLiteral("/far.world"));
    QVERIFY(far.open(QIODevice::WriteOnly)
            && far.write("<world version=\"1\"><texture>textures/by_far.png</texture></world>\n") > 0);
    far.close();
    QFile far_image(outside.path() + QStringLiteral("/far.png"));
    QVERIFY(far_image.open(QIODevice::WriteOnly) && far_image.write("png") == 3);
    far_image.close();

    QTemporaryDir dir;
    const QByteArray world = "<world version=\"1\">\n<node type=\"NodeReference\" id=\"1\" name=\"r\">"
                             "<reference>nodes/by_world.node</reference></node>\n"
                             "<node type=\"ObjectMesh\" id=\"2\" name=\"m\"><texture>{a001}</texture></node>\n"
                             "</world>\n";
    test::ProjectBuilder project(dir.path() + QStringLiteral("/real"));
    project.asset("textures/by_world.png", "png", "{a001}", 6)
            .asset("nodes/by_world.node", "<nodes/>", "{a002}", 1)
            .asset("shared/crate.mesh", "v 0 0 0\n", "{a003}", 2)
            .asset("textures/by_folder.png", "png", "{a004}", 6)
            .asset("textures/by_script.png", "png", "{a005}", 6)
            .asset("textures/by_far.png", "png", "{a006}", 6)
            .asset("textures/loose.png", "png", "{a007}", 6)
            .file(".store/level.world", test::ProjectBuilder::expandGuids(QString::fromLatin1(world)).toUtf8())
            .file("worlds/level.world.meta",
                  test::ProjectBuilder::expandGuids(
                          QStringLiteral("<asset version=\"1\" guid=\"{a010}\" type=\"18\"/>\n"))
                          .toUtf8())
            .file(".store/levels/deep.world", "<world><texture>textures/by_folder.png</texture></world>\n")
            .file(".store/boot.usc", "load(\"by_script.png\");\n")
            .file("worlds/keep", "");
    QVERIFY(project.ok());
    const QString real = QFileInfo(project.dataPath()).canonicalFilePath() + QLatin1Char('/');
    const QString data = real;
    auto link = [&](const QString &target, const QString &name) { return QFile::link(target, data + name); };
    QVERIFY(::symlink("../.store/level.world", (data + QStringLiteral("worlds/level.world")).toUtf8().constData())
            == 0);
    QVERIFY(link(real + QStringLiteral(".store/levels"), QStringLiteral("levels")));
    QVERIFY(link(real + QStringLiteral(".store/boot.usc"), QStringLiteral("worlds/boot.usc")));
    QVERIFY(QDir().mkpath(data + QStringLiteral("meshes")));
    QVERIFY(::symlink("../shared/crate.mesh", (data + QStringLiteral("meshes/crate.mesh")).toUtf8().constData()) == 0);
    QVERIFY(link(outside.path() + QStringLiteral("/far.world"), QStringLiteral("worlds/far.world")));
    QVERIFY(link(outside.path() + QStringLiteral("/far.png"), QStringLiteral("textures/far.png")));
    QVERIFY(link(real + QStringLiteral(".store/missing.world"), QStringLiteral("worlds/gone.world")));
    QVERIFY(link(data + QStringLiteral("worlds/loop_b.world"), QStringLiteral("worlds/loop_a.world")));
    QVERIFY(link(data + QStringLiteral("worlds/loop_a.world"), QStringLiteral("worlds/loop_b.world")));
    // A link back up to the hidden folder is entered once.
    QVERIFY(link(real + QStringLiteral(".store"), QStringLiteral(".store/levels/up")));

    QString started = project.dataPath();
    if (data_through_link) {
        QVERIFY(QFile::link(dir.path() + QStringLiteral("/real"), dir.path() + QStringLiteral("/alias")));
        started = dir.path() + QStringLiteral("/alias/data");
    }
    AnalysisFixture fixture;
    QVERIFY(fixture.start(started));
    QCOMPARE(fixture.assets()->getNumAssets(), 7);
    LogCapture log;
    cleaner::CollectorResult result;
    QVERIFY(cleaner::Collector::collect(result, fixture.assets(), fixture.materials(), [](int, int) { return true; }));
    QCOMPARE(cleanertest::describeUnused(fixture, result.unused),
             QStringList({QStringLiteral("textures/by_far.png"), QStringLiteral("textures/loose.png")}));

    // The link to a world outside is not read: named, and the list may be
    // incomplete; the image outside names nothing and is only noted.
    QCOMPARE(result.read_failures.size(), 1);
    QCOMPARE(result.read_failures.first().path, fixture.dataPath() + QStringLiteral("worlds/far.world"));
    QVERIFY(result.read_failures.first().reason.contains(QStringLiteral("outside the data folder")));
    QMap<QString, QString> notes;
    for (const cleaner::LinkNote &note : result.links)
        notes.insert(note.path, note.note);
    QCOMPARE(notes.keys(),
             QStringList({QStringLiteral("levels"), QStringLiteral("levels/up"), QStringLiteral("meshes/crate.mesh"),
                          QStringLiteral("textures/far.png"), QStringLiteral("worlds/boot.usc"),
                          QStringLiteral("worlds/far.world"), QStringLiteral("worlds/gone.world"),
                          QStringLiteral("worlds/level.world"), QStringLiteral("worlds/loop_a.world"),
                          QStringLiteral("worlds/loop_b.world")}));
    QVERIFY(notes.value(QStringLiteral("meshes/crate.mesh")).contains(QStringLiteral("\"shared/crate.mesh\"")));
    QVERIFY(notes.value(QStringLiteral("worlds/level.world")).contains(QStringLiteral("read for what it uses")));
    QVERIFY(notes.value(QStringLiteral("worlds/loop_a.world")).contains(QStringLiteral("loop")));
    QVERIFY2(log.text().contains("\"worlds/gone.world\" is a symbolic link that leads nowhere"),
             qPrintable(log.text()));

    // A world copied in after the collection was never read: it is named,
    // as the data folder was reached; once gone again nothing has changed.
    QVERIFY(result.stamps->firstChange().isEmpty());
    QFile added(real + QStringLiteral("worlds/added.world"));
    QVERIFY(added.open(QIODevice::WriteOnly) && added.write("<world/>\n") > 0);
    added.close();
    QCOMPARE(result.stamps->firstChange(), fixture.dataPath() + QStringLiteral("worlds/added.world"));
    QVERIFY(added.remove());
    QVERIFY(result.stamps->firstChange().isEmpty());

    // Retargeting a link after the collection is a change.
    QVERIFY(QFile::remove(data + QStringLiteral("meshes/crate.mesh")));
    QVERIFY(link(real + QStringLiteral("textures/loose.png"), QStringLiteral("meshes/crate.mesh")));
    QCOMPARE(result.stamps->firstChange(), fixture.dataPath() + QStringLiteral("meshes/crate.mesh"));
    fixture.stop();
}

void CollectorTest::an_asset_file_replaced_by_a_link_to_outside_is_not_read()
{
    QTemporaryDir dir;
    test::ProjectBuilder project(dir.path());
    project.asset("textures/a.png", "png", "{a001}", 6).asset("worlds/w.world", "<world/>", "{a010}", 18);
    QVERIFY(project.ok());
    AnalysisFixture fixture;
    QVERIFY(fixture.start(project.dataPath()));
    // After the scan the world becomes a link to one outside that uses the
    // image: the record stays, the file behind it is not read.
    QTemporaryDir outside;
    QFile far(outside.path() + QStringLiteral("/w.world"));
    QVERIFY(far.open(QIODevice::WriteOnly) && far.write("<world><texture>textures/a.png</texture></world>\n") > 0);
    far.close();
    const QString world = project.dataPath() + QStringLiteral("worlds/w.world");
    QVERIFY(QFile::remove(world));
    QVERIFY(QFile::link(far.fileName(), world));

    cleaner::CollectorResult result;
    QVERIFY(cleaner::Collector::collect(result, fixture.assets(), fixture.materials(), [](int, int) { return true; }));
    QCOMPARE(cleanertest::describeUnused(fixture, result.unused), QStringList{QStringLiteral("textures/a.png")});
    QCOMPARE(result.read_failures.size(), 1);
    QCOMPARE(result.read_failures.first().path, world);
    QVERIFY(result.mayBeIncomplete());
    fixture.stop();
}

QTEST_GUILESS_MAIN(CollectorTest)
#include "tst_collector.moc"
