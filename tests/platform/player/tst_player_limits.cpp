// Runs the player a build ships on a copy of the sample project in a process
// the system gives little: a limit on the user's processes (which threads
// count against; as an ordinary user, since root does not feel it) or a
// small address space. It runs, or stops with its own message and exit
// code; it never hangs and never aborts.

#include "bounded_run.h"
#include "folder_copy.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace {

// The player's own exit codes for what the system did not give.
constexpr int OUT_OF_MEMORY = 3;
constexpr int TOO_FEW_THREADS = 4;

// Read, write and run for the owner, the group and everyone else.
const QFileDevice::Permissions EVERYONE(0x7777);

} // namespace

class tst_PlayerLimits : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void a_player_given_little_runs_or_stops_with_its_message_data();
    void a_player_given_little_runs_or_stops_with_its_message();

private:
    QTemporaryDir root_;
    QString data_;
};

void tst_PlayerLimits::initTestCase()
{
    QVERIFY(root_.isValid());
    // An ordinary user reads the data and writes its log and cache here.
    QVERIFY(QFile::setPermissions(root_.path(), EVERYONE));
    const QString source = qEnvironmentVariable("VELMORA_SOURCE_DIR");
    data_ = root_.path() + QLatin1String("/data/");
    QVERIFY(test::copyTree(source + QLatin1String("/examples/sample_project/data"), data_));
    QVERIFY(test::copyTree(source + QLatin1String("/resources/engine_data"), data_));
}

void tst_PlayerLimits::a_player_given_little_runs_or_stops_with_its_message_data()
{
    QTest::addColumn<QStringList>("limit");
    QTest::addColumn<QList<int>>("codes");
    QTest::newRow("no thread to spare") << QStringList{"--nproc=1"} << QList<int>{TOO_FEW_THREADS};
    QTest::newRow("two threads to spare") << QStringList{"--nproc=3"} << QList<int>{0, TOO_FEW_THREADS};
    QTest::newRow("150 MB") << QStringList{"--as=157286400"} << QList<int>{OUT_OF_MEMORY};
    QTest::newRow("300 MB") << QStringList{"--as=314572800"} << QList<int>{0, OUT_OF_MEMORY};
    QTest::newRow("600 MB") << QStringList{"--as=629145600"} << QList<int>{0, OUT_OF_MEMORY};
}

void tst_PlayerLimits::a_player_given_little_runs_or_stops_with_its_message()
{
    QFETCH(QStringList, limit);
    QFETCH(QList<int>, codes);
    const bool threads = limit.first().startsWith(QLatin1String("--nproc"));
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    if (!threads)
        QSKIP("an address-space limit cannot be tried on a build with a sanitizer");
#endif
    const QString prlimit = QStandardPaths::findExecutable(QStringLiteral("prlimit"));
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (prlimit.isEmpty() || (threads && ::geteuid() == 0 && setpriv.isEmpty()))
        QSKIP("prlimit and setpriv (util-linux) are needed");
    const QString binary = qEnvironmentVariable("VELMORA_PLAYER_BINARY");
    QVERIFY2(QFileInfo::exists(binary), qPrintable(binary));

    const QString run
            = root_.path() + QLatin1Char('/') + QString::fromLatin1(QTest::currentDataTag()).replace(' ', '_');
    QVERIFY(QDir().mkpath(run));
    QVERIFY(QFile::setPermissions(run, EVERYONE));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // Qt makes one of its own for the user the player runs as.
    environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    environment.insert(QStringLiteral("HOME"), run);
#if defined(__SANITIZE_ADDRESS__)
    // The leak check at exit runs on a thread of its own, which a process at
    // its thread limit cannot start: it is the player that is tried here.
    environment.insert(QStringLiteral("ASAN_OPTIONS"),
                       environment.value(QStringLiteral("ASAN_OPTIONS")) + QLatin1String(":detect_leaks=0"));
#endif

    QStringList command;
    if (threads && ::geteuid() == 0) // as nobody
        command << setpriv << QStringList{"--reuid=65534", "--regid=65534", "--clear-groups"};
    command << prlimit << limit << binary
            << QStringList{"-data_path",         data_,          "-console_command", "world_load \"worlds/level1\"",
                           "-quit_after_frames", "60",           "-log_path",        run + "/log.txt",
                           "-cache_path",        run + "/cache/"};
    QProcess player;
    player.setProcessEnvironment(environment);
    const QString program = command.takeFirst();
    const QByteArray output = test::runToItsEnd(player, program, command, 120000, codes, "Player: the system gives");
    if (QTest::currentTestFailed())
        return;
    QVERIFY2(!output.contains("Thread creation error"), output.right(3000).constData());
}

QTEST_GUILESS_MAIN(tst_PlayerLimits)
#include "tst_player_limits.moc"
