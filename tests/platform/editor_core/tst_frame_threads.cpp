#include <editor_core/FrameThread.h>
#include <editor_core/FrameThreadManager.h>

#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

#include <functional>

namespace {

// A frame job that counts its steps and finishes after a number of them.
class CountingJob : public FrameThread
{
public:
    explicit CountingJob(int steps, std::function<void(CountingJob &)> on_step = {})
        : steps_(steps)
        , on_step_(std::move(on_step))
    {}

    void update() override
    {
        ++done_;
        emit progress(float(done_) / float(steps_));
        if (on_step_)
            on_step_(*this);
        if (done_ >= steps_) {
            stop();
            emit finished();
        }
    }
    void cancel() override
    {
        ++cancels_;
        stop();
        emit cancelled();
    }
    void stopNow() { stop(); }

    int steps_ = 0;
    int done_ = 0;
    int cancels_ = 0;

private:
    std::function<void(CountingJob &)> on_step_;
};

} // namespace

class TestFrameThreads : public QObject
{
    Q_OBJECT

private slots:
    void each_update_steps_every_running_job_once_until_it_finishes()
    {
        FrameThreadManager manager;
        CountingJob a(2);
        CountingJob b(3);
        QSignalSpy finished(&a, &FrameThread::finished);
        QVERIFY(a.run());
        QVERIFY(b.run());
        QVERIFY(a.run()); // a second run does not register twice
        QCOMPARE(manager.count(), 2);

        manager.update();
        QCOMPARE(a.done_, 1);
        QCOMPARE(b.done_, 1);
        manager.update();
        manager.update();
        manager.update();
        QCOMPARE(a.done_, 2);
        QCOMPARE(b.done_, 3);
        QCOMPARE(finished.count(), 1);
        QVERIFY(!a.isRunning());
        QCOMPARE(manager.count(), 0);
    }

    void a_job_may_delete_itself_during_its_step()
    {
        FrameThreadManager manager;
        QPointer<CountingJob> job = new CountingJob(1, [](CountingJob &self) { self.deleteLater(); });
        CountingJob other(5);
        job->run();
        other.run();
        manager.update();
        QCOMPARE(other.done_, 1);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(job.isNull());
        manager.update();
        QCOMPARE(other.done_, 2);
        QCOMPARE(manager.count(), 1);
    }

    void a_job_stopped_or_deleted_by_an_earlier_step_is_skipped_in_the_same_pass()
    {
        FrameThreadManager manager;
        auto *victim_deleted = new CountingJob(10);
        CountingJob victim_stopped(10);
        CountingJob killer(10, [&](CountingJob &) {
            delete victim_deleted;
            victim_deleted = nullptr;
            victim_stopped.stopNow();
        });
        killer.run();
        victim_deleted->run();
        victim_stopped.run();
        manager.update();
        QCOMPARE(killer.done_, 1);
        QCOMPARE(victim_stopped.done_, 0);
        QCOMPARE(manager.count(), 1);
    }

    void shutdown_cancels_every_job_and_forgets_them()
    {
        FrameThreadManager manager;
        CountingJob a(10);
        CountingJob b(10);
        QSignalSpy cancelled(&b, &FrameThread::cancelled);
        a.run();
        b.run();
        manager.update();
        manager.shutdown();
        QCOMPARE(a.cancels_, 1);
        QCOMPARE(cancelled.count(), 1);
        QCOMPARE(manager.count(), 0);
        manager.update();
        QCOMPARE(a.done_, 1);
    }

    void a_job_cannot_run_without_a_manager_and_unregisters_when_destroyed()
    {
        {
            CountingJob orphan(1);
            QVERIFY(!orphan.run());
        }
        FrameThreadManager manager;
        QCOMPARE(FrameThreadManager::current(), &manager);
        {
            CountingJob short_lived(5);
            short_lived.run();
            QCOMPARE(manager.count(), 1);
        }
        QCOMPARE(manager.count(), 0);
        manager.update();
    }
};

QTEST_GUILESS_MAIN(TestFrameThreads)
#include "tst_frame_threads.moc"
