// Starting threads when the system gives fewer than asked for: lib/'s thread
// group, and Qt's global pool given its threads once and kept (the engine's
// Velmora::GlobalPoolThreads, which the editor's start-up uses).
#include "core/base/thread_group.h"

#include "thread_limit.h"
#include "thread_refusal.h"

#include <velmora/GlobalPoolThreads.h>

#include <QImage>
#include <QSemaphore>
#include <QThreadPool>
#include <QtTest>

#include <atomic>
#include <memory>
#include <thread>

class TestThreadGroup : public QObject
{
    Q_OBJECT

private slots:
    void a_refused_thread_is_told_and_its_work_left_to_the_caller();
    void a_moved_group_hands_its_threads_over();
    void threads_to_be_had_are_counted_up_to_the_limit();
    void qt_work_runs_on_the_kept_threads_when_no_new_one_can_start();
};

void TestThreadGroup::a_refused_thread_is_told_and_its_work_left_to_the_caller()
{
    const std::thread::id caller = std::this_thread::get_id();
    std::atomic<int> ran{0};
    std::thread::id ran_on;
    const int refused_before = base::ThreadGroup::refusals();
    {
        base::ThreadGroup group;
        const test::ThreadRefusal refusal;
        QVERIFY(refusal.isActive());
        // Passed as an rvalue, the work goes with the thread that did not
        // start; a copy stays for the caller.
        auto work = [&ran, &ran_on] {
            ran_on = std::this_thread::get_id();
            ++ran;
        };
        QVERIFY(!group.start(work));
        QVERIFY(group.empty());
        QVERIFY(!group.startOrRun(work));
        QCOMPARE(ran.load(), 1);
        QCOMPARE(ran_on, caller);
    }
    QCOMPARE(base::ThreadGroup::refusals(), refused_before + 2);

    base::ThreadGroup group;
    QVERIFY(group.startOrRun([&ran, &ran_on] {
        ran_on = std::this_thread::get_id();
        ++ran;
    }));
    group.join();
    QCOMPARE(ran.load(), 2);
    QVERIFY(ran_on != caller);
    QVERIFY(group.empty());
}

void TestThreadGroup::a_moved_group_hands_its_threads_over()
{
    QSemaphore go;
    std::atomic<int> ended{0};
    base::ThreadGroup first;
    for (int i = 0; i < 3; ++i)
        QVERIFY(first.start([&] {
            go.acquire();
            ++ended;
        }));
    base::ThreadGroup second(std::move(first));
    QVERIFY(first.empty());
    QCOMPARE(second.size(), size_t(3));

    // Assigning joins the threads the group had first.
    base::ThreadGroup third;
    QVERIFY(third.start([&] { ++ended; }));
    third = std::move(second);
    QCOMPARE(ended.load(), 1);
    QCOMPARE(third.size(), size_t(3));
    go.release(3);
    third.join();
    QCOMPARE(ended.load(), 4);
}

void TestThreadGroup::threads_to_be_had_are_counted_up_to_the_limit()
{
    QCOMPARE(Velmora::GlobalPoolThreads::available(5), 5);
    {
        const test::ThreadLimit limit(test::ThreadLimit::running() + 3);
        QCOMPARE(Velmora::GlobalPoolThreads::available(5), 3);
        // The threads counted have ended: as many can be had again.
        QCOMPARE(Velmora::GlobalPoolThreads::available(5), 3);
    }
    const test::ThreadRefusal refusal;
    QCOMPARE(Velmora::GlobalPoolThreads::available(5), 0);
}

void TestThreadGroup::qt_work_runs_on_the_kept_threads_when_no_new_one_can_start()
{
    QCOMPARE(Velmora::GlobalPoolThreads::keep(2), 2);
    QThreadPool *pool = QThreadPool::globalInstance();
    QCOMPARE(pool->maxThreadCount(), 2);

    const test::ThreadLimit limit(test::ThreadLimit::running());
    // More tasks than kept threads, all at once: they wait their turn.
    auto done = std::make_shared<QSemaphore>();
    for (int i = 0; i < 6; ++i)
        pool->start([done] { done->release(); });
    QVERIFY(done->tryAcquire(6, 10000));
    // Qt's own image conversion shares its rows out to the same pool.
    QImage image(1024, 1024, QImage::Format_ARGB32);
    image.fill(QColor(10, 20, 30));
    const QImage converted = image.convertToFormat(QImage::Format_RGB888);
    QCOMPARE(converted.pixelColor(1000, 1000), QColor(10, 20, 30));
    QCOMPARE(limit.refusedStarts(), 0);
}

QTEST_GUILESS_MAIN(TestThreadGroup)
#include "tst_thread_group.moc"
