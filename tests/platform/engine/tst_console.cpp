#include "log_capture.h"

#include "velmora/Console.h"
#include "velmora/Log.h"

#include <QTest>
#include <QThread>
#include <mutex>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

using Velmora::Console;

namespace {

// Records console output as received; thread-safe.
using Recorder = test::LogCapture;

// A member-function callback that reports its own destruction.
class Probe
{
public:
    void onOutput(const char *text, int)
    {
        if (QByteArray(text) == "slow") {
            inside = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            inside = false;
            finished = true;
        }
        calls++;
    }
    std::atomic<bool> inside{false};
    std::atomic<bool> finished{false};
    std::atomic<int> calls{0};
};

class DestructionFlag : public Velmora::CallbackObject2<Probe, const char *, int>
{
public:
    DestructionFlag(Probe *probe, std::atomic<bool> *destroyed)
        : CallbackObject2(probe, &Probe::onOutput)
        , destroyed_(destroyed)
    {}
    ~DestructionFlag() override { *destroyed_ = true; }

private:
    std::atomic<bool> *destroyed_;
};

QStringList toList(const Velmora::Vector<Velmora::String> &v)
{
    QStringList result;
    for (const auto &s : v)
        result << QString::fromUtf8(s.get());
    return result;
}

} // namespace

class TestConsole : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        Console::reset();
        Console::clearOutputCallbacks();
    }

    void lines_are_split_at_blanks_with_quotes_grouping_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QStringList>("words");
        QTest::newRow("blanks") << QByteArray("  a b\tc  ") << QStringList{"a", "b", "c"};
        QTest::newRow("quoted path") << QByteArray("world_load \"levels/my world\"")
                                     << QStringList{"world_load", "levels/my world"};
        QTest::newRow("empty quotes") << QByteArray("echo \"\"") << QStringList{"echo", ""};
        QTest::newRow("quotes inside a word") << QByteArray("a\"b c\"d") << QStringList{"ab cd"};
        QTest::newRow("unclosed quote") << QByteArray("echo \"a b") << QStringList{"echo", "a b"};
        QTest::newRow("empty line") << QByteArray("") << QStringList{};
    }
    void lines_are_split_at_blanks_with_quotes_grouping()
    {
        QFETCH(QByteArray, line);
        QTEST(toList(Console::splitLine(line.constData())), "words");
    }

    void queued_lines_run_only_at_flush_in_order()
    {
        QStringList seen;
        Console::addCommand("say", "records its argument", [&](int argc, const char *const *argv) {
            QCOMPARE(argc, 2);
            QCOMPARE(QByteArray(argv[0]), QByteArray("say"));
            seen << QString::fromUtf8(argv[1]);
        });
        std::thread worker([] {
            Console::run("say one");
            Console::run("say \"two words\"");
        });
        worker.join();
        QVERIFY(seen.isEmpty());
        QVERIFY(Console::hasQueuedLines());
        Console::flush();
        QCOMPARE(seen, (QStringList{"one", "two words"}));
        QCOMPARE(toList(Console::getCommandLog()), (QStringList{"say one", "say \"two words\""}));
        QVERIFY(!Console::hasQueuedLines());
    }

    void lines_queued_during_a_flush_wait_for_the_next_one()
    {
        int runs = 0;
        Console::addCommand("again", "", [&](int, const char *const *) {
            runs++;
            Console::run("again");
        });
        Console::run("again");
        Console::flush();
        QCOMPARE(runs, 1);
        Console::flush();
        QCOMPARE(runs, 2);
    }

    void variables_print_and_take_values_data()
    {
        QTest::addColumn<QByteArray>("type");
        QTest::addColumn<QByteArray>("assignment");
        QTest::addColumn<QByteArray>("printed");
        QTest::newRow("int") << QByteArray("int") << QByteArray("v 42") << QByteArray("v = 42\n");
        QTest::newRow("float") << QByteArray("float") << QByteArray("v 0.25") << QByteArray("v = 0.25\n");
        QTest::newRow("string") << QByteArray("string") << QByteArray("v a b") << QByteArray("v = a b\n");
        QTest::newRow("quoted string") << QByteArray("string") << QByteArray("v \"x  y\"") << QByteArray("v = x  y\n");
    }
    void variables_print_and_take_values()
    {
        QFETCH(QByteArray, type);
        QFETCH(QByteArray, assignment);
        QFETCH(QByteArray, printed);
        if (type == "int")
            Console::addInt("v", 1, "an int");
        else if (type == "float")
            Console::addFloat("v", 1.0f, "a float");
        else
            Console::addString("v", "one", "a string");
        Recorder recorder;
        Console::run(assignment.constData());
        Console::run("v");
        Console::flush();
        QCOMPARE(recorder.texts(), QList<QByteArray>{printed});
        QCOMPARE(recorder.entries()[0].kind, 0);
        QCOMPARE(Console::getNumFailedCommands(), 0);
    }

    void a_bad_value_or_unknown_name_is_an_error_line()
    {
        Console::addInt("count", 3);
        Recorder recorder;
        Console::run("count many");
        Console::run("no_such_thing 1 2");
        Console::run("");
        Console::flush();
        const auto lines = recorder.entries();
        QCOMPARE(int(lines.size()), 2);
        QCOMPARE(lines[0].text, QByteArray("Invalid value \"many\" for \"count\"\n"));
        QCOMPARE(lines[1].text, QByteArray("Unknown command \"no_such_thing\"\n"));
        QCOMPARE(lines[1].kind, 2);
        QCOMPARE(Console::getInt("count"), 3);
        QCOMPARE(Console::getNumFailedCommands(), 2);
        QCOMPARE(toList(Console::getCommandLog()), (QStringList{"count many", "no_such_thing 1 2", ""}));
    }

    void commands_and_variables_are_listed_in_name_order()
    {
        Console::addCommand("zeta", "last", nullptr);
        Console::addCommand("alpha", "first", nullptr);
        Console::addCommand("mid", "middle", nullptr);
        Console::addFloat("b_var", 2.0f, "b");
        Console::addInt("a_var", 1, "a");
        QCOMPARE(Console::getNumCommands(), 3);
        QCOMPARE(QByteArray(Console::getCommandName(0)), QByteArray("alpha"));
        QCOMPARE(QByteArray(Console::getCommandName(2)), QByteArray("zeta"));
        QCOMPARE(QByteArray(Console::getCommandName(3)), QByteArray(""));
        QCOMPARE(QByteArray(Console::getCommandDescription("mid")), QByteArray("middle"));
        QCOMPARE(QByteArray(Console::getVariableName(0)), QByteArray("a_var"));
        QCOMPARE(QByteArray(Console::getVariableDescription("b_var")), QByteArray("b"));
        QVERIFY(Console::isFloat("b_var") && !Console::isInt("b_var") && Console::isInt("a_var"));
        QVERIFY(!Console::addInt("alpha", 1)); // a command already
        QVERIFY(!Console::addCommand("a_var", "", nullptr));
        QVERIFY(Console::removeCommand("mid"));
        QVERIFY(!Console::removeCommand("mid"));
        QCOMPARE(Console::getNumCommands(), 2);
        Console::reset();
        QCOMPARE(Console::getNumCommands(), 0);
        QCOMPARE(Console::getNumVariables(), 0);
    }

    void setters_convert_between_types()
    {
        Console::addInt("i", 0);
        Console::addString("s", "");
        QVERIFY(Console::setFloat("i", 2.9f));
        QCOMPARE(Console::getInt("i"), 2);
        QVERIFY(Console::setString("i", "17"));
        QCOMPARE(Console::getInt("i"), 17);
        QVERIFY(!Console::setString("i", "seventeen"));
        QCOMPARE(Console::getInt("i"), 17);
        QVERIFY(Console::setInt("s", 5));
        QCOMPARE(QByteArray(Console::getString("s")), QByteArray("5"));
        QVERIFY(!Console::setInt("missing", 1));
        QCOMPARE(Console::getInt("missing"), 0);
        // A returned text outlives later changes.
        const char *old = Console::getString("s");
        Console::setString("s", "other");
        QCOMPARE(QByteArray(old), QByteArray("5"));
    }

    void command_output_arrives_one_line_per_call()
    {
        Console::addCommand("multi", "", [](int, const char *const *) { Console::print(1, "first\nsecond\nthird"); });
        Recorder recorder;
        Console::run("multi");
        Console::flush();
        QCOMPARE(recorder.texts(), (QList<QByteArray>{"first\n", "second\n", "third\n"}));
        QCOMPARE(recorder.entries()[2].kind, 1);
    }

    void removing_callbacks_is_safe_with_stale_handles()
    {
        Probe probe;
        void *handle = Console::addOutputCallback(Velmora::MakeCallback(&probe, &Probe::onOutput));
        QVERIFY(handle != nullptr);
        QVERIFY(Console::addOutputCallback(nullptr) == nullptr);
        Velmora::Log::message("x");
        QCOMPARE(probe.calls.load(), 1);
        QVERIFY(Console::removeOutputCallback(handle));
        QVERIFY(!Console::removeOutputCallback(handle));
        QVERIFY(!Console::removeOutputCallback(nullptr));
        Velmora::Log::message("y");
        QCOMPARE(probe.calls.load(), 1);
        // A new callback never reuses an old handle.
        void *next = Console::addOutputCallback(Velmora::MakeCallback(&probe, &Probe::onOutput));
        QVERIFY(next != handle);
        QVERIFY(!Console::removeOutputCallback(handle));
        QCOMPARE(Console::getNumOutputCallbacks(), 1);
    }

    void a_callback_may_remove_itself()
    {
        void *handle = nullptr;
        int calls = 0;
        handle = Console::addOutputCallback(new Velmora::CallbackFunction2<const char *, int>([&](const char *, int) {
            calls++;
            QVERIFY(Console::removeOutputCallback(handle));
        }));
        Velmora::Log::message("a");
        Velmora::Log::message("b");
        QCOMPARE(calls, 1);
        QCOMPARE(Console::getNumOutputCallbacks(), 0);
    }

    void removal_waits_for_a_call_running_on_another_thread()
    {
        Probe probe;
        std::atomic<bool> destroyed{false};
        void *handle = Console::addOutputCallback(new DestructionFlag(&probe, &destroyed));
        std::thread logger([] { Velmora::Log::message("slow"); });
        QTRY_VERIFY_WITH_TIMEOUT(probe.inside.load(), 5000);
        QVERIFY(Console::removeOutputCallback(handle));
        // Removal returned: the running call has finished and the object is gone.
        QVERIFY(probe.finished.load());
        QVERIFY(destroyed.load());
        logger.join();
    }

    void clearing_removes_every_callback_but_reset_keeps_them()
    {
        Probe probe;
        Console::addOutputCallback(Velmora::MakeCallback(&probe, &Probe::onOutput));
        Console::reset();
        Velmora::Log::message("kept");
        QCOMPARE(probe.calls.load(), 1);
        Console::clearOutputCallbacks();
        Velmora::Log::message("gone");
        QCOMPARE(probe.calls.load(), 1);
    }
};

QTEST_GUILESS_MAIN(TestConsole)
#include "tst_console.moc"
