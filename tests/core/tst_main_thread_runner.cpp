#include "core/base/main_thread_runner.h"

#include <editor_core/tbb/Queue.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

const char *APP_GONE_CHILD = "--app-gone-child";

// Runs body on a new thread and returns the thread (not yet finished).
template<typename Body>
std::unique_ptr<QThread> startWorker(Body body)
{
    std::unique_ptr<QThread> thread(QThread::create(body));
    thread->start();
    return thread;
}

// Keeps the GUI thread in a nested event loop until the worker ends.
void spinUntilFinished(QThread &thread, int timeout_ms = 5000)
{
    QEventLoop loop;
    QObject::connect(&thread, &QThread::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeout_ms, &loop, &QEventLoop::quit);
    if (!thread.isFinished())
        loop.exec();
}

// The child process: the application object is destroyed while a worker
// waits for the GUI thread, which never runs an event loop.
int runAppGoneChild(int argc, char **argv)
{
    auto *application = new QCoreApplication(argc, argv);
    std::atomic<bool> ran{false};
    std::atomic<int> result{-1};
    std::unique_ptr<QThread> worker(QThread::create([&]() {
        result = MainThreadRunner::run(
                         [&]() {
                             ran = true;
                             return true;
                         },
                         MainThreadRunner::POLL_INTERVAL_MS)
                ? 1
                : 0;
    }));
    worker->start();
    QThread::msleep(150);
    delete application;
    const bool finished = worker->wait(5000);
    std::printf("finished=%d result=%d ran=%d\n", finished ? 1 : 0, result.load(), ran.load() ? 1 : 0);
    std::fflush(stdout);
    if (!finished)
        std::_Exit(3); // the waiter hangs: the test reads the output above
    return 0;
}

} // namespace

class TestMainThreadRunner : public QObject
{
    Q_OBJECT

private slots:
    void on_the_gui_thread_the_closure_runs_at_once();
    void from_a_worker_the_closure_runs_on_the_gui_thread_in_a_nested_loop_data();
    void from_a_worker_the_closure_runs_on_the_gui_thread_in_a_nested_loop();
    void a_waiting_worker_gives_up_when_the_job_queue_shuts_down();
    void a_waiting_worker_is_released_when_the_application_object_is_destroyed();
};

void TestMainThreadRunner::on_the_gui_thread_the_closure_runs_at_once()
{
    QThread *ran_on = nullptr;
    const bool result = MainThreadRunner::run(
            [&]() {
                ran_on = QThread::currentThread();
                return false;
            },
            MainThreadRunner::POLL_INTERVAL_MS);
    QCOMPARE(ran_on, QThread::currentThread());
    QCOMPARE(result, false);

    int calls = 0;
    QVERIFY(MainThreadRunner::run([&]() { ++calls; }, MainThreadRunner::POLL_INTERVAL_MS));
    QCOMPARE(calls, 1);
}

void TestMainThreadRunner::from_a_worker_the_closure_runs_on_the_gui_thread_in_a_nested_loop_data()
{
    QTest::addColumn<int>("kind"); // 0 returns true, 1 returns false, 2 returns nothing
    QTest::addColumn<bool>("expected");
    QTest::newRow("closure answering true") << 0 << true;
    QTest::newRow("closure answering false") << 1 << false;
    QTest::newRow("closure without result") << 2 << true;
}

void TestMainThreadRunner::from_a_worker_the_closure_runs_on_the_gui_thread_in_a_nested_loop()
{
    QFETCH(int, kind);
    QFETCH(bool, expected);

    std::atomic<QThread *> ran_on{nullptr};
    std::atomic<int> result{-1};
    std::atomic<int> calls{0};
    auto worker = startWorker([&]() {
        bool answer = false;
        if (kind == 2) {
            answer = MainThreadRunner::run([&]() { ran_on = QThread::currentThread(), ++calls; },
                                           MainThreadRunner::POLL_INTERVAL_MS);
        } else {
            answer = MainThreadRunner::run(
                    [&]() {
                        ran_on = QThread::currentThread();
                        ++calls;
                        return kind == 0;
                    },
                    MainThreadRunner::POLL_INTERVAL_MS);
        }
        result = answer ? 1 : 0;
    });
    spinUntilFinished(*worker);
    QVERIFY(worker->wait(1000));
    QCOMPARE(ran_on.load(), QThread::currentThread());
    QCOMPARE(calls.load(), 1);
    QCOMPARE(result.load(), expected ? 1 : 0);
}

void TestMainThreadRunner::a_waiting_worker_gives_up_when_the_job_queue_shuts_down()
{
    tbb::Queue::instance();
    std::atomic<bool> ran{false};
    std::atomic<int> result{-1};
    auto worker = startWorker([&]() {
        result = MainThreadRunner::run([&]() { ran = true; }, MainThreadRunner::POLL_INTERVAL_MS) ? 1 : 0;
    });
    // The GUI thread runs no event loop meanwhile, as during a shutdown.
    QThread::msleep(150);
    QElapsedTimer timer;
    timer.start();
    tbb::Queue::instance()->shutdown();
    QVERIFY2(worker->wait(2000), "the worker still waits after the job queue shut down");
    QVERIFY(timer.elapsed() < 1000);
    QCOMPARE(result.load(), 0);

    // The event is still queued; delivering it now must not run a closure
    // whose caller has already returned.
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents();
    QVERIFY(!ran.load());
    tbb::Queue::instance(); // a fresh queue for what follows
}

void TestMainThreadRunner::a_waiting_worker_is_released_when_the_application_object_is_destroyed()
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(APP_GONE_CHILD)});
    QVERIFY(child.waitForStarted());
    QVERIFY2(child.waitForFinished(10000), "the child process hangs");
    const QByteArray output = child.readAllStandardOutput();
    QCOMPARE(output.trimmed(), QByteArray("finished=1 result=0 ran=0"));
    QCOMPARE(child.exitCode(), 0);
}

int main(int argc, char **argv)
{
    if (argc > 1 && std::strcmp(argv[1], APP_GONE_CHILD) == 0)
        return runAppGoneChild(argc, argv);
    QCoreApplication application(argc, argv);
    TestMainThreadRunner test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_main_thread_runner.moc"
