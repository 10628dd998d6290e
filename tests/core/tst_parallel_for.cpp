#include "core/base/parallel_for.h"
#include "core/base/worker_count.h"

#include <QtTest>

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace {

struct Chunk
{
    int chunk = -1;
    size_t begin = 0;
    size_t end = 0;
    std::thread::id thread;
};

// Runs ParallelFor over count positions and returns the chunks it ran, by
// chunk number, after checking that each position was visited once.
std::vector<Chunk> runAndRecord(size_t count, int num_chunks)
{
    std::vector<std::atomic<int>> visits(count);
    std::mutex mutex;
    std::vector<Chunk> chunks;
    base::ParallelFor::run(count, num_chunks, [&](int chunk, size_t begin, size_t end) {
        for (size_t i = begin; i < end; ++i)
            ++visits[i];
        std::lock_guard<std::mutex> lock(mutex);
        chunks.push_back({chunk, begin, end, std::this_thread::get_id()});
    });
    for (size_t i = 0; i < count; ++i) {
        if (visits[i] != 1)
            qWarning("position %zu visited %d times", i, int(visits[i]));
    }
    const bool once = std::all_of(visits.begin(), visits.end(), [](const std::atomic<int> &v) { return v == 1; });
    if (!once)
        return {};
    std::sort(chunks.begin(), chunks.end(), [](const Chunk &a, const Chunk &b) { return a.chunk < b.chunk; });
    return chunks;
}

// Makes every thread started while it lives fail to start: no stack of the
// size it asks for can be had.
class ThreadsCannotStart
{
public:
    ThreadsCannotStart()
    {
        pthread_getattr_default_np(&saved_);
        pthread_attr_t huge;
        pthread_attr_init(&huge);
        pthread_attr_setstacksize(&huge, size_t(1) << 47);
        pthread_setattr_default_np(&huge);
        pthread_attr_destroy(&huge);
    }
    ~ThreadsCannotStart()
    {
        pthread_setattr_default_np(&saved_);
        pthread_attr_destroy(&saved_);
    }

private:
    pthread_attr_t saved_;
};

} // namespace

class TestParallelFor : public QObject
{
    Q_OBJECT

private slots:
    void chunks_are_consecutive_cover_every_position_once_and_start_on_the_caller_data();
    void chunks_are_consecutive_cover_every_position_once_and_start_on_the_caller();
    void chunks_whose_thread_cannot_start_run_on_the_caller();
    void chunk_count_follows_the_workers_and_the_smallest_chunk();
};

void TestParallelFor::chunks_are_consecutive_cover_every_position_once_and_start_on_the_caller_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("num_chunks");
    QTest::addColumn<int>("made");
    QTest::newRow("even split") << 1000 << 4 << 4;
    QTest::newRow("uneven split") << 1001 << 7 << 7;
    QTest::newRow("fewer positions than chunks") << 3 << 8 << 8;
    QTest::newRow("no position") << 0 << 3 << 3;
    QTest::newRow("one chunk") << 17 << 1 << 1;
    QTest::newRow("no chunk asked for") << 17 << 0 << 1;
    QTest::newRow("negative chunks") << 17 << -2 << 1;
}

void TestParallelFor::chunks_are_consecutive_cover_every_position_once_and_start_on_the_caller()
{
    QFETCH(int, count);
    QFETCH(int, num_chunks);
    QFETCH(int, made);
    const std::vector<Chunk> chunks = runAndRecord(size_t(count), num_chunks);
    QCOMPARE(int(chunks.size()), made);
    size_t next = 0;
    for (int k = 0; k < made; ++k) {
        QCOMPARE(chunks[size_t(k)].chunk, k);
        QCOMPARE(chunks[size_t(k)].begin, next);
        QVERIFY(chunks[size_t(k)].end >= chunks[size_t(k)].begin);
        // Chunks differ in length by one position at most.
        QVERIFY(chunks[size_t(k)].end - chunks[size_t(k)].begin <= size_t(count) / size_t(made) + 1);
        next = chunks[size_t(k)].end;
    }
    QCOMPARE(next, size_t(count));
    QCOMPARE(chunks[0].thread, std::this_thread::get_id());
}

void TestParallelFor::chunks_whose_thread_cannot_start_run_on_the_caller()
{
    {
        // The trick must hold on this system, or the test proves nothing.
        ThreadsCannotStart no_threads;
        bool failed = false;
        try {
            std::thread([] {}).join();
        } catch (const std::system_error &) {
            failed = true;
        }
        if (!failed)
            QSKIP("threads start here whatever stack they ask for");
    }
    std::vector<Chunk> chunks;
    {
        ThreadsCannotStart no_threads;
        chunks = runAndRecord(100, 4);
    }
    QCOMPARE(int(chunks.size()), 4);
    for (const Chunk &chunk : chunks)
        QCOMPARE(chunk.thread, std::this_thread::get_id());
    QCOMPARE(chunks[3].end, size_t(100));
}

void TestParallelFor::chunk_count_follows_the_workers_and_the_smallest_chunk()
{
    const int workers = base::WorkerCount::ofMachine();
    QVERIFY(workers >= 1 && workers <= base::WorkerCount::MAX);
    const unsigned hardware = std::thread::hardware_concurrency();
    if (hardware != 0)
        QCOMPARE(workers, int(std::min(hardware, 8u)));

    QCOMPARE(base::ParallelFor::chunks(0, 100), 1);
    QCOMPARE(base::ParallelFor::chunks(99, 100), 1);
    QCOMPARE(base::ParallelFor::chunks(250, 100, 8), 2);
    QCOMPARE(base::ParallelFor::chunks(1000000, 100, 3), 3);
    QCOMPARE(base::ParallelFor::chunks(1000000, 100), workers);
    QCOMPARE(base::ParallelFor::chunks(1000000, 100, -1), workers);
    QCOMPARE(base::ParallelFor::chunks(5, 0, 4), 4);
}

QTEST_APPLESS_MAIN(TestParallelFor)
#include "tst_parallel_for.moc"
