// Runs the real editor binary on a copy of the sample project in a process
// the system gives little: a small address space, or a limit on the user's
// processes (which threads count against; as an ordinary user, since root
// does not feel it) on a display (Xvfb, when installed), whose window system
// starts threads of its own and waits for Qt's D-Bus thread. Whatever it can
// do there, it ends by itself, with its own exit code and, when it cannot
// run, a message saying what it could not have; it never hangs or aborts.

#include "bounded_run.h"
#include "folder_copy.h"
#include "xvfb_display.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace {

// The editor's own exit codes for what the system did not give.
constexpr int TOO_FEW_THREADS = 2;
constexpr int OUT_OF_MEMORY = 3;

// Read, write and run for the owner, the group and everyone else.
const QFileDevice::Permissions EVERYONE(0x7777);

} // namespace

class tst_Limits : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void the_editor_given_little_ends_cleanly_data();
    void the_editor_given_little_ends_cleanly();

private:
    QTemporaryDir root_;
    QString project_;
    QProcess xvfb_;
    QString display_;
};

void tst_Limits::initTestCase()
{
    QVERIFY(root_.isValid());
    // An ordinary user reads the project and writes its log and cache here.
    QVERIFY(QFile::setPermissions(root_.path(), EVERYONE));
    project_ = root_.path() + QLatin1String("/project");
    QVERIFY(test::copySampleProject(project_));
    display_ = test::startXvfb(xvfb_);
}

void tst_Limits::cleanupTestCase()
{
    xvfb_.kill();
    xvfb_.waitForFinished(10000);
}

void tst_Limits::the_editor_given_little_ends_cleanly_data()
{
    // A limit as prlimit takes it.
    QTest::addColumn<QStringList>("limit");
    QTest::addColumn<QList<int>>("codes");
    // On Xvfb rather than offscreen.
    QTest::addColumn<bool>("display");
    const QList<int> anything{0, TOO_FEW_THREADS, OUT_OF_MEMORY};
    QTest::newRow("200 MB") << QStringList{"--as=209715200"} << anything << false;
    QTest::newRow("300 MB") << QStringList{"--as=314572800"} << anything << false;
    QTest::newRow("450 MB") << QStringList{"--as=471859200"} << anything << false;
    QTest::newRow("600 MB") << QStringList{"--as=629145600"} << anything << false;
    QTest::newRow("900 MB") << QStringList{"--as=943718400"} << QList<int>{0} << false;
    // Besides Qt's pool and the job queue's worker, the window system's
    // reader and Qt's D-Bus thread.
    for (int processes = 1; processes <= 8; ++processes)
        QTest::addRow("on a display, nproc=%d", processes)
                << QStringList{QStringLiteral("--nproc=%1").arg(processes)}
                << (processes <= 4 ? QList<int>{TOO_FEW_THREADS} : QList<int>{0, TOO_FEW_THREADS}) << true;
}

void tst_Limits::the_editor_given_little_ends_cleanly()
{
    QFETCH(QStringList, limit);
    QFETCH(QList<int>, codes);
    QFETCH(bool, display);
    const bool threads = limit.first().startsWith(QLatin1String("--nproc"));
#if defined(__SANITIZE_ADDRESS__)
    // The editor built with AddressSanitizer reserves its shadow memory up
    // front, terabytes of address space: no limit tried here can hold it.
    if (!threads)
        QSKIP("an address-space limit cannot be tried on a build with AddressSanitizer");
#endif
    if (display && display_.isEmpty())
        QSKIP("Xvfb is needed");
#if defined(__SANITIZE_ADDRESS__)
    // The X11 keyboard library hands strndup a string without its end, which
    // the sanitizer's strict string checks stop before our code runs.
    if (display)
        QSKIP("the X11 keyboard library cannot start under AddressSanitizer's string checks");
#endif
    QStringList command = test::limitedBy(limit);
    if (command.isEmpty())
        QSKIP("prlimit and setpriv (util-linux) are needed");
    const QString binary = qEnvironmentVariable("VELMORA_EDITOR_BINARY");
    QVERIFY2(QFileInfo::exists(binary), qPrintable(binary));
    const QString run
            = root_.path() + QLatin1Char('/') + QString::fromLatin1(QTest::currentDataTag()).replace(' ', '_');
    QVERIFY(QDir().mkpath(run + QLatin1String("/config")));
    QVERIFY(QDir().mkpath(run + QLatin1String("/runtime")));
    const QStringList owned{run, run + QLatin1String("/config")};
    for (const QString &folder : owned)
        QVERIFY(QFile::setPermissions(folder, EVERYONE));

    QProcessEnvironment environment = test::limitedEnvironment(run, display ? display_ : QString());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), run + QLatin1String("/config"));
    if (threads && ::geteuid() == 0) { // as nobody, whose runtime folder Qt makes
        environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    } else {
        QVERIFY(QFile::setPermissions(run + QLatin1String("/runtime"),
                                      QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), run + QLatin1String("/runtime"));
    }
    command << binary
            << QStringList{QStringLiteral("-data_path"),         project_ + QLatin1String("/data/"),
                           QStringLiteral("-console_command"),   QStringLiteral("world_load \"worlds/level1\""),
                           QStringLiteral("-fixed_ifps"),        QStringLiteral("0.02"),
                           QStringLiteral("-quit_after_frames"), QStringLiteral("60"),
                           QStringLiteral("-log_path"),          run + QLatin1String("/log.txt"),
                           QStringLiteral("-cache_path"),        run + QLatin1String("/cache/")};
    QProcess editor;
    editor.setProcessEnvironment(environment);
    const QString first = command.takeFirst();
    test::runToItsEnd(editor, first, command, 180000, codes, "Editor: the system gives");
}

QTEST_GUILESS_MAIN(tst_Limits)
#include "tst_limits.moc"
