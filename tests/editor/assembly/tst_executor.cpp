// The build pipeline's executor, post operations, directory listing,
// temporary files and the build job on the job queue.

#include "assembly_test_support.h"

#include "editor/assembly/core/build_executor.h"
#include "editor/assembly/core/impl/file_processing/list_files_recursive.h"
#include "editor/assembly/core/impl/file_processing/temporary_build_file.h"
#include "editor/assembly/core/post_processing_handler.h"
#include "editor/assembly/executor/build_executor_job.h"

#include <editor_core/tbb/Queue.h>

#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <QtTest>

using namespace assembly;
using assemblytest::Installation;

namespace {

using Reports = QList<QPair<int, int>>;

// A stage of any kind: records itself and queues a post operation, may write
// a temporary file, then reports steps 1..max (pausing between them) and
// answers.
class FakeStage : public pre::Action, public fp::Source, public fp::Copier
{
public:
    FakeStage(const QString &name, int max, QStringList &journal, bool result = true, int delay_ms = 0)
        : name_(name)
        , max_(max)
        , journal_(journal)
        , result_(result)
        , delay_ms_(delay_ms)
    {}
    bool temporary_file = false;
    QString temporary_path;

    int getMaxProgress() const override { return max_; }
    int getMaxProgress(int) const override { return max_; }
    bool execute(const ProgressCallback &progress, post::OperationQueue &queue) override
    {
        return run(progress, queue);
    }
    bool process(const ProgressCallback &progress, post::OperationQueue &queue, fp::CopyItems &items) override
    {
        items.append(fp::CopyItem{"/x", "x"});
        return run(progress, queue);
    }
    bool copy(const ProgressCallback &progress, const fp::CopyItems &items, post::OperationQueue &queue) override
    {
        journal_ << QStringLiteral("items %1").arg(items.size());
        return run(progress, queue);
    }

private:
    bool run(const ProgressCallback &progress, post::OperationQueue &queue)
    {
        journal_ << name_;
        queue.add([this]() { journal_ << "post " + name_; });
        if (temporary_file)
            temporary_path = TemporaryBuildFile::write("executor_test", "tmp", queue);
        for (int i = 1; i <= max_; ++i) {
            QThread::msleep(delay_ms_);
            if (!progress(max_, i))
                return false;
        }
        return result_;
    }

    QString name_;
    int max_;
    QStringList &journal_;
    bool result_;
    int delay_ms_;
};

struct Pipeline
{
    QStringList journal;
    FakeStage *pre = nullptr;
    FakeStage *source = nullptr;
    FakeStage *copier = nullptr;

    // Stage sizes; a failing stage is given by its index (0, 1, 2).
    std::unique_ptr<Executor> make(int pre_max, int source_max, int copier_max, int failing = -1, int delay_ms = 0)
    {
        auto p = std::make_unique<FakeStage>("pre", pre_max, journal, failing != 0, delay_ms);
        auto s = std::make_unique<FakeStage>("source", source_max, journal, failing != 1, delay_ms);
        auto c = std::make_unique<FakeStage>("copier", copier_max, journal, failing != 2, delay_ms);
        pre = p.get(), source = s.get(), copier = c.get();
        return std::make_unique<Executor>(std::move(p), std::move(s), std::move(c));
    }
};

// Runs the job on the job queue while the GUI thread waits in a nested loop.
void runJob(const std::shared_ptr<ExecutorJob> &job)
{
    QEventLoop loop;
    bool finished = false;
    QObject::connect(job.get(), &tbb::QJob::done, &loop, [&]() { finished = true, loop.quit(); });
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    QVERIFY(tbb::Queue::instance()->enqueue(job));
    if (!finished)
        loop.exec();
    QVERIFY(finished);
}

} // namespace

class TestExecutor : public QObject
{
    Q_OBJECT

private slots:
    void cleanupTestCase() { tbb::Queue::instance()->shutdown(); }

    void the_stages_fill_exactly_their_shares_data();
    void the_stages_fill_exactly_their_shares();
    void a_failing_stage_skips_the_later_ones_but_not_the_post_operations_data();
    void a_failing_stage_skips_the_later_ones_but_not_the_post_operations();
    void a_cancel_at_any_report_stops_the_run_and_runs_the_post_operations();
    void post_operations_run_last_added_first_and_once();
    void listing_puts_files_before_subfolders_and_skips_links();
    void temporary_files_live_in_the_temporary_folder_until_the_post_operations();
    void a_job_reports_rising_progress_up_to_100_or_ends_failed();
    void a_cancelled_job_ends_with_status_cancelled_data();
    void a_cancelled_job_ends_with_status_cancelled();
};

void TestExecutor::the_stages_fill_exactly_their_shares_data()
{
    QTest::addColumn<int>("source_max");
    QTest::addColumn<bool>("last_answer");
    QTest::addColumn<Reports>("reports");
    QTest::newRow("final report answered true") << 2 << true << Reports{{100, 6},  {100, 13}, {100, 20}, {100, 27},
                                                                        {100, 35}, {100, 67}, {100, 99}, {100, 100}};
    QTest::newRow("final report answered false") << 2 << false << Reports{{100, 6},  {100, 13}, {100, 20}, {100, 27},
                                                                          {100, 35}, {100, 67}, {100, 99}, {100, 100}};
    // (4, 2) with share 15 after 20 reaches the outer callback as (100, 27).
    QTest::newRow("source of four steps")
            << 4 << true << Reports{{100, 6},  {100, 13}, {100, 20}, {100, 23}, {100, 27},
                                    {100, 31}, {100, 35}, {100, 67}, {100, 99}, {100, 100}};
}

void TestExecutor::the_stages_fill_exactly_their_shares()
{
    QFETCH(int, source_max);
    QFETCH(bool, last_answer);
    Pipeline pipeline;
    auto executor = pipeline.make(3, source_max, 2);
    Reports outer;
    const bool result = executor->execute([&](int max, int value) {
        outer.append({max, value});
        return value < 100 || last_answer;
    });
    QCOMPARE(result, last_answer);
    QTEST(outer, "reports");
    QCOMPARE(pipeline.journal,
             (QStringList{"pre", "source", "items 1", "copier", "post copier", "post source", "post pre"}));
}

void TestExecutor::a_failing_stage_skips_the_later_ones_but_not_the_post_operations_data()
{
    QTest::addColumn<int>("failing");
    QTest::addColumn<QStringList>("journal");
    QTest::newRow("pre-action") << 0 << QStringList{"pre", "post pre"};
    QTest::newRow("source") << 1 << QStringList{"pre", "source", "post source", "post pre"};
    QTest::newRow("copier") << 2 << QStringList{"pre",         "source",      "items 1", "copier",
                                                "post copier", "post source", "post pre"};
}

void TestExecutor::a_failing_stage_skips_the_later_ones_but_not_the_post_operations()
{
    QFETCH(int, failing);
    Pipeline pipeline;
    auto executor = pipeline.make(1, 1, 1, failing);
    Reports outer;
    QVERIFY(!executor->execute([&](int max, int value) { return outer.append({max, value}), true; }));
    QTEST(pipeline.journal, "journal");
    QVERIFY2(outer.last().second < 100, "no final report after a failure");
}

void TestExecutor::a_cancel_at_any_report_stops_the_run_and_runs_the_post_operations()
{
    for (int cancel_at = 0; cancel_at < 6; ++cancel_at) {
        Pipeline pipeline;
        auto executor = pipeline.make(2, 2, 1);
        int calls = 0;
        QVERIFY(!executor->execute([&](int, int) { return calls++ != cancel_at; }));
        QCOMPARE(calls, cancel_at + 1);
        QCOMPARE(pipeline.journal.last(), QStringLiteral("post pre"));
    }
}

void TestExecutor::post_operations_run_last_added_first_and_once()
{
    PostProcessingHandler handler;
    QStringList order;
    handler.add([&]() { order << "1"; });
    handler.add([&]() { order << "2", handler.add([&]() { order << "late"; }); });
    handler.add([&]() { order << "3"; });
    handler.runOperations();
    QCOMPARE(order, (QStringList{"3", "2", "1"}));
    handler.runOperations();
    handler.runOperations();
    QCOMPARE(order, (QStringList{"3", "2", "1", "late"}));
}

void TestExecutor::listing_puts_files_before_subfolders_and_skips_links()
{
    QTemporaryDir dir;
    const QString res = QDir::cleanPath(dir.path()) + "/p/res";
    for (const char *file : {"/sub/b.txt", "/a.txt", "/sub/deeper/c.txt", "/zz/d.txt"})
        QVERIFY(Installation::writeFile(res + file));
    QVERIFY(Installation::writeFile(dir.path() + "/outside/secret.txt"));
    QVERIFY(QFile::link(dir.path() + "/outside", res + "/folder_link"));
    QVERIFY(QFile::link(dir.path() + "/outside/secret.txt", res + "/file_link.txt"));

    const fp::CopyItems expected{fp::CopyItem{"/earlier", "earlier"}, fp::CopyItem{res + "/a.txt", "data/res/a.txt"},
                                 fp::CopyItem{res + "/sub/b.txt", "data/res/sub/b.txt"},
                                 fp::CopyItem{res + "/sub/deeper/c.txt", "data/res/sub/deeper/c.txt"},
                                 fp::CopyItem{res + "/zz/d.txt", "data/res/zz/d.txt"}};
    for (const QString &source : {res, res + '/', res + "/./sub/.."}) {
        for (const char *prefix : {"data/res", "data/res/"}) {
            fp::CopyItems items{fp::CopyItem{"/earlier", "earlier"}};
            fs::listFilesRecursive(source, prefix, true, items);
            QCOMPARE(items, expected);
        }
    }
    fp::CopyItems flat;
    fs::listFilesRecursive(res, "out", false, flat);
    QCOMPARE(flat, (fp::CopyItems{fp::CopyItem{res + "/a.txt", "out/a.txt"}}));

    assemblytest::MessageCapture capture;
    fs::listFilesRecursive("/nonexistent/folder", "x", true, flat);
    QCOMPARE(flat.size(), 1);
    QCOMPARE(capture.messages(), QStringList{"Build Tool: This directory ( \"/nonexistent/folder\" ) doesn't exist."});
    QCOMPARE(capture.types(), QList<QtMsgType>{QtInfoMsg});
}

void TestExecutor::temporary_files_live_in_the_temporary_folder_until_the_post_operations()
{
    QTemporaryDir working;
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(working.path()));
    for (const int failing : {-1, 2}) {
        Pipeline pipeline;
        auto executor = pipeline.make(1, 1, 1, failing);
        pipeline.source->temporary_file = true;
        QByteArray seen_while_copying;
        executor->execute([&](int, int value) {
            if (value == 99)
                seen_while_copying = Installation::read(pipeline.source->temporary_path);
            return true;
        });
        QVERIFY(pipeline.source->temporary_path.startsWith(QDir::tempPath() + '/'));
        QCOMPARE(seen_while_copying, QByteArray("tmp"));
        QVERIFY(!QFileInfo::exists(pipeline.source->temporary_path));
    }
    QVERIFY(QDir(working.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
    QDir::setCurrent(previous);
}

void TestExecutor::a_job_reports_rising_progress_up_to_100_or_ends_failed()
{
    for (const int failing : {-1, 1}) {
        Pipeline pipeline;
        auto job = std::make_shared<ExecutorJob>();
        job->setExecutor(pipeline.make(3, 3, 4, failing, 5));
        QList<int> percents;
        connect(
                job.get(), &ExecutorJob::progress, this, [&](int max, int value) { percents << value * 100 / max; },
                Qt::QueuedConnection);
        runJob(job);
        QCoreApplication::processEvents();
        QCOMPARE(job->getStatus(), failing < 0 ? tbb::JobInterface::STATUS_DONE : tbb::JobInterface::STATUS_FAILED);
        QVERIFY(!job->isCancelled());
        QCOMPARE(percents.last(), failing < 0 ? 100 : 35);
        QVERIFY(std::is_sorted(percents.cbegin(), percents.cend()));
    }
}

void TestExecutor::a_cancelled_job_ends_with_status_cancelled_data()
{
    QTest::addColumn<int>("cancel_at"); // progress value after which the GUI thread cancels
    QTest::newRow("first report") << 4;
    QTest::newRow("during copying") << 67;
    QTest::newRow("before the final report") << 99;
}

void TestExecutor::a_cancelled_job_ends_with_status_cancelled()
{
    QFETCH(int, cancel_at);
    Pipeline pipeline;
    auto job = std::make_shared<ExecutorJob>();
    job->setExecutor(pipeline.make(5, 5, 2, -1, 10));
    // Direct: the flag is cleared on the worker, right at that report.
    connect(
            job.get(), &ExecutorJob::progress, job.get(),
            [&](int, int value) {
                if (value == cancel_at)
                    job->cancel();
            },
            Qt::DirectConnection);
    runJob(job);
    QCOMPARE(job->getStatus(), tbb::JobInterface::STATUS_CANCELLED);
    QVERIFY(job->isCancelled());
    QCOMPARE(pipeline.journal.last(), QStringLiteral("post pre"));
    QCOMPARE(pipeline.journal.contains("copier"), cancel_at > 35);
}

QTEST_GUILESS_MAIN(TestExecutor)
#include "tst_executor.moc"
