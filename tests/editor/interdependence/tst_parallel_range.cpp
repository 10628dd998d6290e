// Work shared out over threads: every position is done exactly once, and
// the log lines come out in the positions' order whatever thread wrote them.

#include <editor/interdependence/parallel_range.h>

#include "analysis_fixture.h"

#include <velmora/Log.h>

#include <QtTest>

#include <atomic>
#include <thread>
#include <vector>

class TestParallelRange : public QObject
{
    Q_OBJECT

private slots:
    void everyPositionOnceLogInOrder_data();
    void everyPositionOnceLogInOrder();
};

void TestParallelRange::everyPositionOnceLogInOrder_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("minChunk");
    QTest::newRow("nothing") << 0 << 1;
    QTest::newRow("too few for a second thread") << 5 << 8;
    QTest::newRow("one position per thread") << 3 << 1;
    QTest::newRow("uneven chunks") << 1001 << 7;
}

void TestParallelRange::everyPositionOnceLogInOrder()
{
    QFETCH(int, count);
    QFETCH(int, minChunk);
    inastest::LogCapture log;
    std::vector<std::atomic<int>> visits(size_t(count > 0 ? count : 0));
    std::atomic<int> bad_chunks{0};
    inas::ParallelRange::run(count, minChunk, [&](int begin, int end) {
        if (begin < 0 || begin >= end || end > count)
            ++bad_chunks;
        for (int i = begin; i < end; ++i) {
            ++visits[size_t(i)];
            if (i % 3 == 0) {
                // Chunks finish out of order when early ones are slow.
                if (i < count / 4)
                    std::this_thread::yield();
                Velmora::Log::warning("position %d\n", i);
            }
        }
    });
    QCOMPARE(bad_chunks.load(), 0);
    QStringList expected;
    for (int i = 0; i < count; ++i) {
        QCOMPARE(visits[size_t(i)].load(), 1);
        if (i % 3 == 0)
            expected << QStringLiteral("position %1").arg(i);
    }
    QCOMPARE(log.lines(1), expected);
}

QTEST_GUILESS_MAIN(TestParallelRange)
#include "tst_parallel_range.moc"
