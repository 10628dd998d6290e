// The analysis executor and its job, over stages with scripted reports: one
// progress range for the three stages, cancel at every point, failure, and
// the job on the real job queue.

#include <editor/interdependence/analysis_executor.h>
#include <editor/interdependence/analysis_executor_job.h>
#include <editor/interdependence/analyzer/analyzer_driver.h>
#include <editor/interdependence/combiner/combiner_driver.h>
#include <editor/interdependence/custom_settings.h>
#include <editor/interdependence/parser/parser_driver.h>
#include <editor/interdependence/result_data.h>

#include <editor_core/editor/AssetManagerPrivate.h>
#include <editor_core/mat/Manager.h>
#include <editor_core/prop/Manager.h>
#include <editor_core/tbb/Queue.h>

#include <QSignalSpy>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <memory>

namespace {

// What the stages did, in order ("parse", "analyze", "combine").
struct Journal
{
    QStringList stages;
    // The analyzer's output is gone. It may go after the executor, so the
    // flag outlives the journal.
    std::shared_ptr<std::atomic<bool>> output_freed = std::make_shared<std::atomic<bool>>(false);
};

class TrackedOutput : public inas::analyzer::Output
{
public:
    explicit TrackedOutput(Journal *journal)
        : freed_(journal->output_freed)
    {}
    ~TrackedOutput() override { *freed_ = true; }

private:
    std::shared_ptr<std::atomic<bool>> freed_;
};

class FakeParser : public inas::parser::Driver
{
public:
    FakeParser(int steps, Journal *journal, int delay_ms = 0)
        : steps_(steps)
        , journal_(journal)
        , delay_ms_(delay_ms)
    {}
    int getMaxIterations() const override { return steps_; }
    std::unique_ptr<inas::parser::Output> parse(const inas::ProgressCallback &progress) override
    {
        journal_->stages << QStringLiteral("parse");
        for (int v = 0; v <= steps_; ++v) {
            if (delay_ms_)
                QThread::msleep(ulong(delay_ms_));
            if (!progress(steps_, v))
                return nullptr;
        }
        return std::make_unique<inas::parser::Output>();
    }
    void reset() override {}

private:
    int steps_;
    Journal *journal_;
    int delay_ms_;
};

class FakeAnalyzer : public inas::analyzer::Driver
{
public:
    explicit FakeAnalyzer(Journal *journal)
        : journal_(journal)
    {}
    bool init(Editor::AssetManagerPrivate *) override
    {
        ready_ = true;
        return true;
    }
    int getMaxIterations() const override { return ready_ ? 5 : 0; }
    std::unique_ptr<inas::analyzer::Output> run(const inas::parser::Output &,
                                                const inas::ProgressCallback &progress) override
    {
        journal_->stages << QStringLiteral("analyze");
        for (int v = 1; v <= 5; ++v) {
            if (!progress(5, v))
                return nullptr;
        }
        return std::make_unique<TrackedOutput>(journal_);
    }
    void reset() override { ready_ = false; }

private:
    Journal *journal_;
    bool ready_ = false;
};

class FakeCombiner : public inas::combiner::Driver
{
public:
    FakeCombiner(int steps, bool has_result, Journal *journal)
        : steps_(steps)
        , has_result_(has_result)
        , journal_(journal)
    {}
    bool init(inas::CustomSettings *) override { return steps_ > 0; }
    int getMaxIterations() const override { return steps_; }
    std::unique_ptr<inas::ResultData> combine(inas::CustomSettings *, const inas::ProgressCallback &progress,
                                              const inas::analyzer::Output &) override
    {
        journal_->stages << (*journal_->output_freed ? QStringLiteral("combine without the output")
                                                     : QStringLiteral("combine"));
        for (int v = 1; v <= steps_; ++v) {
            if (!progress(steps_, v))
                return nullptr;
        }
        return has_result_ ? std::make_unique<inas::ResultData>() : nullptr;
    }
    void reset(inas::CustomSettings *) override {}

private:
    int steps_;
    bool has_result_;
    Journal *journal_;
};

} // namespace

class ExecutorTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void one_range_covers_the_three_stages_data();
    void one_range_covers_the_three_stages();
    void a_cancel_ends_the_stage_that_runs_and_no_later_one_starts_data();
    void a_cancel_ends_the_stage_that_runs_and_no_later_one_starts();
    void a_combiner_with_nothing_to_do_runs_no_stage();
    void the_job_tells_done_failed_and_cancelled_apart_data();
    void the_job_tells_done_failed_and_cancelled_apart();
    void the_job_reports_only_changes_of_the_shown_percentage();
    void a_cancel_from_the_gui_thread_stops_the_running_job();
    void the_analyzer_output_outlives_the_combiner_and_goes_before_the_next_query();

private:
    std::unique_ptr<inas::Executor> makeExecutor(int parser_steps, int combiner_steps, bool has_result,
                                                 Journal *journal, int delay_ms = 0) const;
    std::unique_ptr<Editor::AssetManagerPrivate> assets_;
    std::unique_ptr<mat::Manager> materials_;
    std::unique_ptr<prop::Manager> properties_;
};

void ExecutorTest::initTestCase()
{
    // The managers are only handed along; the fake stages never ask them.
    assets_ = std::make_unique<Editor::AssetManagerPrivate>();
    materials_ = std::make_unique<mat::Manager>(nullptr);
    properties_ = std::make_unique<prop::Manager>(nullptr);
}

void ExecutorTest::cleanupTestCase()
{
    tbb::Queue::instance()->shutdown();
    properties_.reset();
    materials_.reset();
    assets_.reset();
}

std::unique_ptr<inas::Executor> ExecutorTest::makeExecutor(int parser_steps, int combiner_steps, bool has_result,
                                                           Journal *journal, int delay_ms) const
{
    auto executor = std::make_unique<inas::Executor>();
    executor->setSettings(std::make_unique<inas::CustomSettings>(assets_.get(), materials_.get(), properties_.get(),
                                                                 QVector<as::Asset>{as::Asset()}));
    executor->setParser(std::make_unique<FakeParser>(parser_steps, journal, delay_ms));
    executor->setAnalyzer(std::make_unique<FakeAnalyzer>(journal));
    executor->setCombiner(std::make_unique<FakeCombiner>(combiner_steps, has_result, journal));
    return executor;
}

void ExecutorTest::one_range_covers_the_three_stages_data()
{
    QTest::addColumn<int>("parser_steps");
    QTest::addColumn<QString>("reports");

    // The parser's reports are halved into its share of max(1, steps / 2).
    QTest::newRow("ten assets, two requests")
            << 10
            << "1 0|13 1|13 1|13 1|13 2|13 2|13 3|13 3|13 4|13 4|13 5|13 5|13 6|13 7|13 8|13 9|13 10|13 11|13 12|13 13";
    QTest::newRow("one asset: a share of one") << 1 << "1 0|9 1|9 1|9 1|9 3|9 4|9 5|9 6|9 7|9 8|9 9";
    QTest::newRow("three assets: a share of one") << 3 << "1 0|9 1|9 1|9 1|9 2|9 2|9 3|9 4|9 5|9 6|9 7|9 8|9 9";
}

void ExecutorTest::one_range_covers_the_three_stages()
{
    QFETCH(int, parser_steps);
    QFETCH(QString, reports);

    Journal journal;
    auto executor = makeExecutor(parser_steps, 2, true, &journal);
    QStringList seen;
    const auto result = executor->execute([&](int max, int value) {
        seen << QStringLiteral("%1 %2").arg(max).arg(value);
        return true;
    });
    QVERIFY(result);
    QCOMPARE(seen.join(QLatin1Char('|')), reports);
    QCOMPARE(journal.stages, (QStringList{"parse", "analyze", "combine"}));
}

void ExecutorTest::a_cancel_ends_the_stage_that_runs_and_no_later_one_starts_data()
{
    QTest::addColumn<QString>("cancel_at");
    QTest::addColumn<QStringList>("stages");

    QTest::newRow("before anything") << "1 0" << QStringList{};
    QTest::newRow("at the start") << "13 1" << QStringList{};
    QTest::newRow("in the parser") << "13 4" << QStringList{"parse"};
    QTest::newRow("in the analyzer") << "13 8" << QStringList{"parse", "analyze"};
    QTest::newRow("in the combiner's last report") << "13 13" << QStringList{"parse", "analyze", "combine"};
}

void ExecutorTest::a_cancel_ends_the_stage_that_runs_and_no_later_one_starts()
{
    QFETCH(QString, cancel_at);
    QFETCH(QStringList, stages);

    Journal journal;
    auto executor = makeExecutor(10, 2, true, &journal);
    QString last;
    const auto result = executor->execute([&](int max, int value) {
        last = QStringLiteral("%1 %2").arg(max).arg(value);
        return last != cancel_at;
    });
    QVERIFY(!result);
    QCOMPARE(last, cancel_at);
    QCOMPARE(journal.stages, stages);
}

void ExecutorTest::a_combiner_with_nothing_to_do_runs_no_stage()
{
    Journal journal;
    auto executor = makeExecutor(10, 0, true, &journal);
    QStringList seen;
    QVERIFY(!executor->execute([&](int max, int value) {
        seen << QStringLiteral("%1 %2").arg(max).arg(value);
        return true;
    }));
    QCOMPARE(seen, QStringList{"1 0"});
    QVERIFY(journal.stages.isEmpty());
}

void ExecutorTest::the_job_tells_done_failed_and_cancelled_apart_data()
{
    QTest::addColumn<bool>("has_result");
    QTest::addColumn<bool>("cancel_first");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("result_kept");

    QTest::newRow("a result") << true << false << int(tbb::JobInterface::STATUS_DONE) << true;
    QTest::newRow("no result") << false << false << int(tbb::JobInterface::STATUS_FAILED) << false;
    QTest::newRow("cancelled") << true << true << int(tbb::JobInterface::STATUS_CANCELLED) << false;
}

void ExecutorTest::the_job_tells_done_failed_and_cancelled_apart()
{
    QFETCH(bool, has_result);
    QFETCH(bool, cancel_first);
    QFETCH(int, status);
    QFETCH(bool, result_kept);

    Journal journal;
    auto job = std::make_shared<inas::ExecutorJob>();
    job->setExecutor(makeExecutor(10, 2, has_result, &journal));
    if (cancel_first)
        job->cancel();
    QSignalSpy done(job.get(), &tbb::QJob::done);
    QVERIFY(tbb::Queue::instance()->enqueue(job));
    QVERIFY(done.wait(5000));
    QCOMPARE(int(job->getStatus()), status);
    QCOMPARE(bool(job->takeResult()), result_kept);
    QCOMPARE(journal.stages.isEmpty(), cancel_first);
}

void ExecutorTest::the_job_reports_only_changes_of_the_shown_percentage()
{
    Journal journal;
    auto job = std::make_shared<inas::ExecutorJob>();
    job->setExecutor(makeExecutor(20000, 2, true, &journal));
    QSignalSpy progress(job.get(), &inas::ExecutorJob::progress);
    QSignalSpy done(job.get(), &tbb::QJob::done);
    QVERIFY(tbb::Queue::instance()->enqueue(job));
    QVERIFY(done.wait(5000));
    QVERIFY(job->isSuccess());

    // 10,008 steps, but at most one report per percent (and one for the
    // first range of one step).
    QVERIFY2(progress.count() <= 103, qPrintable(QString::number(progress.count())));
    int last_percent = -1;
    for (const QList<QVariant> &report : qAsConst(progress)) {
        const int percent = report[1].toInt() * 100 / report[0].toInt();
        QVERIFY(percent >= last_percent);
        last_percent = percent;
    }
    QCOMPARE(progress.last()[0].toInt(), 10008);
    QCOMPARE(progress.last()[1].toInt(), 10008);
}

void ExecutorTest::a_cancel_from_the_gui_thread_stops_the_running_job()
{
    Journal journal;
    auto job = std::make_shared<inas::ExecutorJob>();
    // A parse that would take a minute.
    job->setExecutor(makeExecutor(60000, 2, true, &journal, 1));
    QSignalSpy progress(job.get(), &inas::ExecutorJob::progress);
    QSignalSpy done(job.get(), &tbb::QJob::done);
    QVERIFY(tbb::Queue::instance()->enqueue(job));
    QTRY_VERIFY(progress.count() >= 2);
    job->cancel();
    QVERIFY(done.wait(5000));
    QCOMPARE(int(job->getStatus()), int(tbb::JobInterface::STATUS_CANCELLED));
    QVERIFY(!job->takeResult());
    QCOMPARE(journal.stages, QStringList{"parse"});
}

void ExecutorTest::the_analyzer_output_outlives_the_combiner_and_goes_before_the_next_query()
{
    // The output may be freed after the result is handed over, and even
    // after the executor is gone, but the combiner reads it, and the next
    // query starts only once it is freed.
    Journal journal;
    auto executor = makeExecutor(4, 2, true, &journal);
    QVERIFY(executor->execute([](int, int) { return true; }));
    QCOMPARE(journal.stages, (QStringList{"parse", "analyze", "combine"}));
    executor.reset();
    inas::Executor next;
    QVERIFY(*journal.output_freed);
}

QTEST_GUILESS_MAIN(ExecutorTest)
#include "tst_executor.moc"
