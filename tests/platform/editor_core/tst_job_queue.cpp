#include <editor_core/EditorCore.h>
#include <editor_core/tbb/QJob.h>
#include <editor_core/tbb/Queue.h>

#include <thread_refusal.h>

#include <QCoreApplication>
#include <QMutex>
#include <QSemaphore>
#include <QSignalSpy>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <functional>

namespace {

// A job whose body is a function; it records the thread it ran on.
class FunctionJob : public tbb::QJob
{
public:
    explicit FunctionJob(std::function<void(FunctionJob &)> body = {})
        : body_(std::move(body))
    {}

    void run(const tbb::JobPtr &) override
    {
        thread_ = QThread::currentThread();
        ran_ = true;
        if (body_)
            body_(*this);
    }
    void cancel() override { keep_running_ = false; }

    std::atomic<bool> keep_running_{true};
    std::atomic<bool> ran_{false};
    QThread *thread_ = nullptr;

private:
    std::function<void(FunctionJob &)> body_;
};

std::shared_ptr<FunctionJob> makeJob(std::function<void(FunctionJob &)> body = {})
{
    return std::make_shared<FunctionJob>(std::move(body));
}

} // namespace

class TestJobQueue : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { EditorCore::registerMetaTypes(); }

    void cleanup()
    {
        // Every test leaves a shut-down queue behind; the next one gets a fresh queue.
        tbb::Queue::instance()->shutdown();
    }

    void jobs_run_one_at_a_time_in_fifo_order_on_the_worker()
    {
        QMutex mutex;
        QList<int> order;
        std::atomic<int> running{0};
        std::atomic<int> overlap{0};
        QList<std::shared_ptr<FunctionJob>> jobs;
        for (int i = 0; i < 8; ++i) {
            jobs.append(makeJob([&, i](FunctionJob &) {
                if (running.fetch_add(1) != 0)
                    ++overlap;
                QThread::msleep(2);
                {
                    QMutexLocker locker(&mutex);
                    order.append(i);
                }
                running.fetch_sub(1);
            }));
        }
        for (const auto &job : jobs)
            QVERIFY(tbb::Queue::instance()->enqueue(job));

        QTRY_VERIFY(jobs.last()->isFinished());
        QCOMPARE(order, (QList<int>{0, 1, 2, 3, 4, 5, 6, 7}));
        QCOMPARE(overlap.load(), 0);
        for (const auto &job : jobs) {
            QVERIFY(job->thread_ != QCoreApplication::instance()->thread());
            QCOMPARE(job->thread_, jobs.first()->thread_);
        }
    }

    void done_is_emitted_once_on_the_gui_thread_with_the_final_status_data()
    {
        QTest::addColumn<int>("status_set_by_body");
        QTest::addColumn<int>("expected");
        QTest::addColumn<bool>("success");
        QTest::newRow("body sets nothing") << -1 << int(tbb::JobInterface::STATUS_DONE) << true;
        QTest::newRow("body fails") << int(tbb::JobInterface::STATUS_FAILED) << int(tbb::JobInterface::STATUS_FAILED)
                                    << false;
        QTest::newRow("body cancels itself")
                << int(tbb::JobInterface::STATUS_CANCELLED) << int(tbb::JobInterface::STATUS_CANCELLED) << false;
    }
    void done_is_emitted_once_on_the_gui_thread_with_the_final_status()
    {
        QFETCH(int, status_set_by_body);
        QFETCH(int, expected);
        QFETCH(bool, success);

        std::atomic<int> status_while_running{-1};
        auto job = makeJob([status_set_by_body, &status_while_running](FunctionJob &self) {
            status_while_running = int(self.getStatus());
            if (status_set_by_body >= 0)
                self.setStatus(tbb::JobInterface::JobStatus(status_set_by_body));
        });
        QThread *done_thread = nullptr;
        int done_status = -1;
        tbb::JobPtr delivered;
        int deliveries = 0;
        connect(job.get(), &tbb::QJob::done, this, [&](tbb::JobPtr finished) {
            done_thread = QThread::currentThread();
            done_status = finished->getStatus();
            delivered = finished;
            ++deliveries;
        });
        QCOMPARE(int(job->getStatus()), int(tbb::JobInterface::STATUS_CREATED));
        tbb::Queue::instance()->enqueue(job);

        QTRY_COMPARE(deliveries, 1);
        QCOMPARE(status_while_running.load(), int(tbb::JobInterface::STATUS_RUNNING));
        QCOMPARE(done_thread, QCoreApplication::instance()->thread());
        QCOMPARE(done_status, expected);
        QCOMPARE(job->isSuccess(), success);
        QVERIFY(job->isFinished());
        QCOMPARE(delivered.get(), static_cast<tbb::JobInterface *>(job.get()));
        QTest::qWait(20);
        QCOMPARE(deliveries, 1);
    }

    void the_queue_keeps_a_job_alive_until_done_is_delivered()
    {
        std::weak_ptr<FunctionJob> weak;
        bool delivered = false;
        {
            auto job = makeJob();
            weak = job;
            connect(job.get(), &tbb::QJob::done, this, [&delivered] { delivered = true; });
            tbb::Queue::instance()->enqueue(job);
        }
        QVERIFY(!weak.expired());
        QTRY_VERIFY(delivered);
        QCoreApplication::processEvents();
        QTRY_VERIFY(weak.expired());
    }

    void shutdown_cancels_the_running_job_and_queued_ones_and_reports_each_once()
    {
        QSemaphore started;
        auto running = makeJob([&started](FunctionJob &self) {
            started.release();
            while (self.keep_running_)
                QThread::msleep(1);
            self.setStatus(tbb::JobInterface::STATUS_CANCELLED);
        });
        auto queued_a = makeJob();
        auto queued_b = makeJob();
        QStringList deliveries;
        for (const auto &job : {running, queued_a, queued_b}) {
            connect(job.get(), &tbb::QJob::done, this, [&deliveries, job](const tbb::JobPtr &done) {
                QCOMPARE(done.get(), job.get());
                deliveries << QString::number(int(done->getStatus())) + (job->keep_running_ ? " running" : "");
            });
        }

        tbb::Queue *queue = tbb::Queue::instance();
        queue->enqueue(running);
        queue->enqueue(queued_a);
        queue->enqueue(queued_b);
        QVERIFY(started.tryAcquire(1, 5000));
        QCOMPARE(queue->pendingCount(), 2);

        QVERIFY(!tbb::Queue::isShuttingDown());
        queue->shutdown();

        // No job runs after shutdown returned.
        QVERIFY(tbb::Queue::isShuttingDown());
        QCOMPARE(int(running->getStatus()), int(tbb::JobInterface::STATUS_CANCELLED));
        QCOMPARE(int(queued_a->getStatus()), int(tbb::JobInterface::STATUS_CANCELLED));
        QCOMPARE(int(queued_b->getStatus()), int(tbb::JobInterface::STATUS_CANCELLED));
        QVERIFY(!queued_a->ran_);
        QVERIFY(!queued_b->ran_);
        // Whoever waits for one of them hears of its end, once, even though
        // the queue is gone by then.
        tbb::Queue::instance();
        QTRY_COMPARE(deliveries, (QStringList{"6", "6", "6"}));
        QTest::qWait(30);
        QCOMPARE(deliveries.size(), 3);
    }

    void a_finished_job_whose_done_is_pending_is_reported_cancelled_after_shutdown()
    {
        auto job = makeJob();
        int deliveries = 0;
        connect(job.get(), &tbb::QJob::done, this, [&deliveries] { ++deliveries; });
        tbb::Queue *queue = tbb::Queue::instance();
        queue->enqueue(job);
        // Wait for the body without running the GUI event loop.
        QElapsedTimer timer;
        timer.start();
        while (!job->isFinished() && timer.elapsed() < 5000)
            QThread::msleep(1);
        QVERIFY(job->isSuccess());
        queue->shutdown();
        // Its result is not used after the shutdown.
        QCOMPARE(int(job->getStatus()), int(tbb::JobInterface::STATUS_CANCELLED));
        QTRY_COMPARE(deliveries, 1);
        QTest::qWait(30);
        QCOMPARE(deliveries, 1);
    }

    void a_shut_down_queue_refuses_jobs_and_the_next_instance_is_fresh()
    {
        tbb::Queue *old_queue = tbb::Queue::instance();
        old_queue->shutdown();
        auto refused = makeJob();
        QVERIFY(!old_queue->enqueue(refused));
        QCOMPARE(int(refused->getStatus()), int(tbb::JobInterface::STATUS_CREATED));
        QVERIFY(tbb::Queue::isShuttingDown());

        tbb::Queue *fresh = tbb::Queue::instance();
        QVERIFY(!tbb::Queue::isShuttingDown());
        QVERIFY(!fresh->isStopping());
        auto job = makeJob();
        QSignalSpy spy(job.get(), &tbb::QJob::done);
        QVERIFY(fresh->enqueue(job));
        QTRY_COMPARE(spy.count(), 1);
        QVERIFY(job->isSuccess());
    }

    void a_refused_job_is_told_by_its_cause_data()
    {
        QTest::addColumn<bool>("shut_down");
        QTest::newRow("the queue shuts down") << true;
        QTest::newRow("the system refuses its worker") << false;
    }
    void a_refused_job_is_told_by_its_cause()
    {
        QFETCH(bool, shut_down);
        tbb::Queue::instance()->shutdown();
        auto refused = makeJob();
        {
            test::ThreadRefusal refusal;
            QVERIFY(refusal.isActive());
            tbb::Queue *queue = tbb::Queue::instance();
            if (shut_down)
                queue->shutdown();
            QVERIFY(!queue->enqueue(refused));
            QCOMPARE(queue->isStopping(), shut_down);
            QVERIFY(!queue->hasWorker());
            QCOMPARE(int(refused->getStatus()), int(tbb::JobInterface::STATUS_CREATED));
        }
        // A worker refused once is asked for again with the next job.
        auto job = makeJob();
        QSignalSpy spy(job.get(), &tbb::QJob::done);
        QVERIFY(tbb::Queue::instance()->enqueue(job));
        QTRY_COMPARE(spy.count(), 1);
        QVERIFY(job->isSuccess());
        QVERIFY(!refused->ran_);
    }

    void a_worker_started_ahead_serves_the_next_queue_at_the_thread_limit()
    {
        tbb::Queue::instance()->shutdown();
        QVERIFY(tbb::Queue::startWorkerAhead());
        test::ThreadRefusal refusal;
        QVERIFY(refusal.isActive());
        tbb::Queue *queue = tbb::Queue::instance();
        QVERIFY(queue->hasWorker());
        auto job = makeJob();
        QSignalSpy spy(job.get(), &tbb::QJob::done);
        QVERIFY(queue->enqueue(job));
        QTRY_COMPARE(spy.count(), 1);
        QVERIFY(job->isSuccess());
        QVERIFY(job->thread_ != QCoreApplication::instance()->thread());
    }

    void a_job_finished_by_its_owner_while_queued_is_reported_but_not_run()
    {
        QSemaphore release_first;
        auto first = makeJob([&release_first](FunctionJob &) { release_first.tryAcquire(1, 5000); });
        auto second = makeJob();
        QSignalSpy spy(second.get(), &tbb::QJob::done);
        tbb::Queue::instance()->enqueue(first);
        tbb::Queue::instance()->enqueue(second);
        second->setStatus(tbb::JobInterface::STATUS_CANCELLED);
        release_first.release();
        QTRY_COMPARE(spy.count(), 1);
        QVERIFY(!second->ran_);
        QCOMPARE(int(second->getStatus()), int(tbb::JobInterface::STATUS_CANCELLED));
    }
};

QTEST_GUILESS_MAIN(TestJobQueue)
#include "tst_job_queue.moc"
