#include "asset_files.h"
#include "log_capture.h"

#include "velmora/Console.h"
#include "velmora/Log.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <mutex>

#include <sys/resource.h>

#include <atomic>
#include <vector>

using Velmora::Console;
using Velmora::Log;

namespace {

// Records console output as received; thread-safe.
using Recorder = test::LogCapture;

// Child mode: log one fatal with a hook and a log file, then (never) return.
int runFatalChild(const QByteArray &log_path)
{
    const rlimit no_core{0, 0}; // the abort is expected: no core file
    setrlimit(RLIMIT_CORE, &no_core);
    Log::openFile(log_path.constData());
    Log::setFatalHook([](const char *text) {
        std::fprintf(stdout, "hook saw: %s", text);
        std::fflush(stdout);
    });
    Log::fatal("boom %d\n", 7);
    return 0;
}

} // namespace

class TestLog : public QObject
{
    Q_OBJECT

private slots:
    void each_call_reaches_the_callbacks_with_its_kind_before_any_init_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("message") << 0;
        QTest::newRow("warning") << 1;
        QTest::newRow("error") << 2;
    }
    void each_call_reaches_the_callbacks_with_its_kind_before_any_init()
    {
        QFETCH(int, kind);
        Recorder recorder;
        if (kind == 0)
            Log::message("value %d", 1);
        else if (kind == 1)
            Log::warning("value %d", 1);
        else
            Log::error("value %d", 1);
        const auto lines = recorder.entries();
        QCOMPARE(int(lines.size()), 1);
        QCOMPARE(lines[0].text, QByteArray("value 1")); // no prefix, no newline added
        QCOMPARE(lines[0].kind, kind);
    }

    void the_log_file_gets_prefixes_and_stops_after_close()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("sub/log.txt");
        QVERIFY(Log::openFile(path.toUtf8().constData()));
        QCOMPARE(QString::fromUtf8(Log::getFilePath()), path);
        Log::message("first\n");
        Log::warning("careful\n");
        Log::error("broken %s\n", "thing");
        Log::closeFile();
        Log::message("not in the file\n");
        QCOMPARE(test::readFile(path), QByteArray("first\nWARNING: careful\nERROR: broken thing\n"));
        QCOMPARE(QByteArray(Log::getFilePath()), QByteArray());
    }

    void opening_an_unwritable_file_fails()
    {
        QTemporaryDir dir;
        QFile blocker(dir.filePath("file"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QVERIFY(!Log::openFile(dir.filePath("file/log.txt").toUtf8().constData()));
        QVERIFY(!Log::openFile(""));
    }

    void lines_from_many_threads_stay_whole()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("log.txt");
        QVERIFY(Log::openFile(path.toUtf8().constData()));
        Recorder recorder;
        const int threads = 8, per_thread = 300;
        std::vector<QThread *> workers;
        for (int t = 0; t < threads; t++) {
            workers.push_back(QThread::create([t] {
                for (int i = 0; i < per_thread; i++)
                    Log::message("thread %d line %d of a reasonably long text\n", t, i);
            }));
            workers.back()->start();
        }
        for (QThread *worker : workers) {
            QVERIFY(worker->wait(30000));
            delete worker;
        }
        Log::closeFile();
        const QList<QByteArray> lines = test::readFile(path).split('\n');
        QCOMPARE(lines.size(), threads * per_thread + 1);
        const QRegularExpression whole("^thread \\d line \\d+ of a reasonably long text$");
        for (int i = 0; i < threads * per_thread; i++)
            QVERIFY2(whole.match(QString::fromUtf8(lines[i])).hasMatch(), lines[i].constData());
        QCOMPARE(int(recorder.entries().size()), threads * per_thread);
    }

    void a_callback_may_log_from_inside_itself()
    {
        std::atomic<int> calls{0};
        void *handle = Console::addOutputCallback(
                new Velmora::CallbackFunction2<const char *, int>([&](const char *text, int) {
                    calls++;
                    if (QByteArray(text) == "outer")
                        Log::message("inner");
                }));
        Log::message("outer");
        QCOMPARE(calls.load(), 2);
        QVERIFY(Console::removeOutputCallback(handle));
    }

    void fatal_logs_calls_the_hook_and_aborts()
    {
        QTemporaryDir dir;
        const QString log_path = dir.filePath("fatal.txt");
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TST_LOG_FATAL_CHILD", log_path);
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), QStringList());
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        QCOMPARE(child.readAllStandardOutput(), QByteArray("hook saw: boom 7\n"));
        QVERIFY(child.readAllStandardError().contains("FATAL: boom 7\n"));
        QCOMPARE(test::readFile(log_path), QByteArray("FATAL: boom 7\n"));
    }
};

int main(int argc, char **argv)
{
    const QByteArray child_log = qgetenv("TST_LOG_FATAL_CHILD");
    if (!child_log.isEmpty())
        return runFatalChild(child_log);
    QCoreApplication app(argc, argv);
    TestLog test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_log.moc"
