#include "log_capture.h"

#include <editor_core/UpdateLock.h>
#include <editor_core/base/Arguments.h>
#include <editor_core/base/Assert.h>
#include <editor_core/base/Timer.h>

#include <velmora/Base.h>
#include <velmora/Console.h>

#include <QMutex>
#include <QtTest>

namespace {

using test::LogCapture;

} // namespace

class TestUpdateLock : public QObject
{
    Q_OBJECT

private slots:
    void init() { UpdateLock::reset(); }

    void counters_follow_claims_and_never_drop_below_zero_data()
    {
        QTest::addColumn<QString>("steps"); // c = claim, d = disclaim
        QTest::addColumn<bool>("held");
        QTest::addColumn<int>("soft_asserts");
        QTest::newRow("one claim") << "c" << true << 0;
        QTest::newRow("claim and disclaim") << "cd" << false << 0;
        QTest::newRow("nested") << "ccd" << true << 0;
        QTest::newRow("nested released") << "ccdd" << false << 0;
        QTest::newRow("disclaim at zero") << "d" << false << 1;
        QTest::newRow("disclaim at zero then claim") << "ddc" << true << 2;
        QTest::newRow("extra disclaim") << "cddc" << true << 1;
    }
    void counters_follow_claims_and_never_drop_below_zero()
    {
        QFETCH(QString, steps);
        QFETCH(bool, held);
        QFETCH(int, soft_asserts);
        for (int pass = 0; pass < 2; ++pass) {
            const bool lock = pass == 0;
            UpdateLock::reset();
            LogCapture log;
            for (const QChar step : steps) {
                if (step == QLatin1Char('c'))
                    lock ? UpdateLock::claimUpdateLock() : UpdateLock::claimAlwaysUpdate();
                else
                    lock ? UpdateLock::disclaimUpdateLock() : UpdateLock::disclaimAlwaysUpdate();
            }
            QCOMPARE(lock ? UpdateLock::isUpdateLocked() : UpdateLock::isAlwaysUpdate(), held);
            // The two counters are independent.
            QCOMPARE(lock ? UpdateLock::isAlwaysUpdate() : UpdateLock::isUpdateLocked(), false);
            QCOMPARE(log.lines().filter(QStringLiteral("SOFT ASSERT")).size(), soft_asserts);
        }
    }

    void a_soft_assertion_names_expression_file_and_line()
    {
        LogCapture log;
        base::printAssertMessage("result", "lib/editor/assembly/executor/OptionsFile", 42);
        QCOMPARE(log.texts(),
                 QList<QByteArray>{
                         "SOFT ASSERT: \"result\" in file lib/editor/assembly/executor/OptionsFile, line 42\n"});
        EC_SOFT_ASSERT(1 + 1 == 2);
        QCOMPARE(log.lines().size(), 1);
    }

    void command_lines_split_like_a_shell_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("plain") << "-a b  c" << QStringList{"-a", "b", "c"};
        QTest::newRow("quoted blank") << "-data_path \"my data/x\" -v" << QStringList{"-data_path", "my data/x", "-v"};
        QTest::newRow("empty") << "" << QStringList{};
        QTest::newRow("escaped quote") << "say \"\"\"hi\"\"\"" << QStringList{"say", "\"hi\""};
    }
    void command_lines_split_like_a_shell()
    {
        QFETCH(QString, line);
        QFETCH(QStringList, arguments);
        QCOMPARE(base::stringToArgumentList(line), arguments);
    }

    void the_timer_calls_back_until_cancelled_and_can_start_again()
    {
        int calls = 0;
        base::Timer timer;
        base::TimerInterface *interface = &timer;
        interface->setCallback([&calls] { ++calls; });
        QVERIFY(!interface->isActive());
        interface->callEach(0);
        QVERIFY(interface->isActive());
        QTRY_VERIFY(calls >= 3);
        interface->cancel();
        QVERIFY(!interface->isActive());
        const int stopped_at = calls;
        QTest::qWait(20);
        QCOMPARE(calls, stopped_at);
        interface->callEach(1);
        QTRY_VERIFY(calls > stopped_at);
    }

    void a_timer_may_be_cancelled_from_its_own_callback()
    {
        int calls = 0;
        base::Timer timer;
        timer.setCallback([&] {
            ++calls;
            timer.cancel();
        });
        timer.callEach(0);
        QTest::qWait(30);
        QCOMPARE(calls, 1);
        QVERIFY(!timer.isActive());
    }
};

QTEST_GUILESS_MAIN(TestUpdateLock)
#include "tst_update_lock.moc"
