// Runs the player a build ships on a copy of the sample project, on its own
// or through the build's launcher (`--run`, as the build's settings name the
// player), and the benchmarks, in a process the system gives little: a limit
// on the user's processes (which threads count against; as an ordinary user,
// since root does not feel it) or a small address space. Each runs, or stops
// with its own message and exit code; none hangs or aborts. The player runs
// offscreen, and on a display (Xvfb, when installed), whose window system
// starts threads of its own and waits for Qt's D-Bus thread.

#include "bounded_run.h"
#include "folder_copy.h"
#include "xvfb_display.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace {

// The exit codes of the player, the launcher and the benchmarks for what
// the system did not give; the launcher passes on the player's.
constexpr int OUT_OF_MEMORY = 3;
constexpr int TOO_FEW_THREADS = 4;

// Read, write and run for the owner, the group and everyone else.
const QFileDevice::Permissions EVERYONE(0x7777);

// A launcher in folder as a build ships it: a copy of the program beside
// settings that name the player without showing the window. Returns its
// path.
QString launcherFor(const QString &folder, const QString &player, const QStringList &arguments)
{
    const QString launcher = folder + QLatin1String("/launcher");
    [&] {
        QVERIFY(QFile::copy(qEnvironmentVariable("VELMORA_LAUNCHER_BINARY"), launcher));
        QVERIFY(QFile::setPermissions(launcher, EVERYONE));
        const QJsonObject main{
                {"name", "limits"},
                {"binary", "Release"},
                {"show", false},
                {"paths", QJsonObject{{"release", QDir(folder).relativeFilePath(player)}}},
                {"cmd", QJsonObject{{"args", QJsonArray::fromStringList(arguments)}, {"params", QJsonArray()}}}};
        QFile settings(launcher + QLatin1String(".lconfig"));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        QVERIFY(settings.write(QJsonDocument(QJsonObject{{"main", main}}).toJson()) > 0);
    }();
    return launcher;
}

} // namespace

class tst_PlayerLimits : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void a_program_given_little_runs_or_stops_with_its_message_data();
    void a_program_given_little_runs_or_stops_with_its_message();

private:
    QTemporaryDir root_;
    QString data_;
    QProcess xvfb_;
    QString display_;
};

void tst_PlayerLimits::initTestCase()
{
    QVERIFY(root_.isValid());
    // An ordinary user reads the data and writes its log and cache here.
    QVERIFY(QFile::setPermissions(root_.path(), EVERYONE));
    data_ = root_.path() + QLatin1String("/data/");
    QVERIFY(test::copySampleProject(root_.path()));
    display_ = test::startXvfb(xvfb_);
}

void tst_PlayerLimits::cleanupTestCase()
{
    xvfb_.kill();
    xvfb_.waitForFinished(10000);
}

void tst_PlayerLimits::a_program_given_little_runs_or_stops_with_its_message_data()
{
    // "player", "launcher" or a benchmark with its arguments.
    QTest::addColumn<QStringList>("program");
    QTest::addColumn<QStringList>("limit");
    QTest::addColumn<QList<int>>("codes");
    // On Xvfb rather than offscreen.
    QTest::addColumn<bool>("display");
    const QStringList player{"player"};
    QTest::newRow("no thread to spare") << player << QStringList{"--nproc=1"} << QList<int>{TOO_FEW_THREADS} << false;
    QTest::newRow("two threads to spare")
            << player << QStringList{"--nproc=3"} << QList<int>{0, TOO_FEW_THREADS} << false;
    QTest::newRow("150 MB") << player << QStringList{"--as=157286400"} << QList<int>{OUT_OF_MEMORY} << false;
    QTest::newRow("300 MB") << player << QStringList{"--as=314572800"} << QList<int>{0, OUT_OF_MEMORY} << false;
    QTest::newRow("600 MB") << player << QStringList{"--as=629145600"} << QList<int>{0, OUT_OF_MEMORY} << false;
    // Besides the pool's thread, the window system's reader and Qt's D-Bus
    // thread.
    for (int processes = 1; processes <= 8; ++processes)
        QTest::addRow("on a display, nproc=%d", processes)
                << player << QStringList{QStringLiteral("--nproc=%1").arg(processes)}
                << (processes <= 3 ? QList<int>{TOO_FEW_THREADS} : QList<int>{0, TOO_FEW_THREADS}) << true;
    // The launcher alone (no process to spare for the player), then beside
    // a player with fewer threads than it needs, then with enough.
    const QStringList launcher{"launcher"};
    for (int processes = 1; processes <= 8; ++processes)
        QTest::addRow("launched, nproc=%d", processes)
                << launcher << QStringList{QStringLiteral("--nproc=%1").arg(processes)}
                << (processes <= 2 ? QList<int>{TOO_FEW_THREADS} : QList<int>{0, TOO_FEW_THREADS}) << false;
    QTest::newRow("launched, 100 MB") << launcher << QStringList{"--as=104857600"} << QList<int>{OUT_OF_MEMORY}
                                      << false;
    QTest::newRow("launched, 300 MB") << launcher << QStringList{"--as=314572800"} << QList<int>{0, OUT_OF_MEMORY}
                                      << false;
    QTest::newRow("launched, 600 MB") << launcher << QStringList{"--as=629145600"} << QList<int>{0, OUT_OF_MEMORY}
                                      << false;
    // Benchmarks that wait for Qt's global pool, the job queue or a program
    // they start.
    const QList<std::pair<QStringList, int>> benchmarks{{{"bench_copier", "50", "1"}, 1},
                                                        {{"bench_startup"}, 1},
                                                        {{"cleaner_delete_bench", "--assets", "200,400"}, 1},
                                                        {{"cleaner_delete_bench", "--assets", "200,400"}, 3},
                                                        {{"bench_impostor_grab", "--views", "1"}, 1},
                                                        {{"bench_impostor_grab", "--views", "1"}, 5}};
    for (const auto &[benchmark, processes] : benchmarks)
        QTest::addRow("%s, nproc=%d", qPrintable(benchmark.first()), processes)
                << benchmark << QStringList{QStringLiteral("--nproc=%1").arg(processes)}
                << (processes == 1 ? QList<int>{TOO_FEW_THREADS} : QList<int>{0, TOO_FEW_THREADS}) << false;
}

void tst_PlayerLimits::a_program_given_little_runs_or_stops_with_its_message()
{
    QFETCH(QStringList, program);
    QFETCH(QStringList, limit);
    QFETCH(QList<int>, codes);
    QFETCH(bool, display);
    if (display && display_.isEmpty())
        QSKIP("Xvfb is needed");
#if defined(__SANITIZE_ADDRESS__)
    // The X11 keyboard library hands strndup a string without its end, which
    // the sanitizer's strict string checks stop before our code runs.
    if (display)
        QSKIP("the X11 keyboard library cannot start under AddressSanitizer's string checks");
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    if (!limit.first().startsWith(QLatin1String("--nproc")))
        QSKIP("an address-space limit cannot be tried on a build with a sanitizer");
#endif
    QStringList command = test::limitedBy(limit);
    if (command.isEmpty())
        QSKIP("prlimit and setpriv (util-linux) are needed");
    const QString player = qEnvironmentVariable("VELMORA_PLAYER_BINARY");
    QVERIFY2(QFileInfo::exists(player), qPrintable(player));
    const QString name = program.first();
    const bool benchmark = name != QLatin1String("player") && name != QLatin1String("launcher");
    const QString benchmark_binary = qEnvironmentVariable("VELMORA_BINARY_DIR") + QLatin1String("/bench/") + name;
    if (benchmark && !QFileInfo::exists(benchmark_binary))
        QSKIP("the benchmark is not built");

    const QString run
            = root_.path() + QLatin1Char('/') + QString::fromLatin1(QTest::currentDataTag()).replace(' ', '_');
    QVERIFY(QDir().mkpath(run));
    QVERIFY(QFile::setPermissions(run, EVERYONE));
    QProcessEnvironment environment = test::limitedEnvironment(run, display ? display_ : QString());
    // Qt makes one of its own for the user the player runs as.
    environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
#if defined(__SANITIZE_ADDRESS__)
    // The leak check at exit runs on a thread of its own, which a process at
    // its thread limit cannot start: it is the player that is tried here.
    environment.insert(QStringLiteral("ASAN_OPTIONS"),
                       environment.value(QStringLiteral("ASAN_OPTIONS")) + QLatin1String(":detect_leaks=0"));
#endif

    const QStringList arguments{
            "-data_path",         data_,          "-console_command", "world_load \"worlds/level1\"",
            "-quit_after_frames", "60",           "-log_path",        run + "/log.txt",
            "-cache_path",        run + "/cache/"};
    QByteArray told = name.toLatin1() + ": the system gives";
    if (benchmark) {
        command << benchmark_binary << program.mid(1);
    } else if (name == QLatin1String("launcher")) {
        command << launcherFor(run, player, arguments) << QStringLiteral("--run");
        // Its own message or the player's, which it passes on.
        told = "the system gives";
    } else {
        command << player << arguments;
        told = "Player: the system gives";
    }
    if (QTest::currentTestFailed())
        return;
    QProcess process;
    process.setProcessEnvironment(environment);
    const QString first = command.takeFirst();
    const QByteArray output = test::runToItsEnd(process, first, command, 120000, codes, told);
    if (QTest::currentTestFailed() || benchmark)
        return;
    // The player asks for no thread it was not sure of first (a benchmark's
    // editor parts do their work without a thread they are refused); the
    // window system starts its reader before the player can count.
    if (!display || process.exitCode() == 0)
        QVERIFY2(!output.contains("Thread creation error"), output.right(3000).constData());
}

QTEST_GUILESS_MAIN(tst_PlayerLimits)
#include "tst_player_limits.moc"
