// The launcher of a build: reads "<own path>.lconfig", shows the build's
// parameters and starts the chosen executable (relative to its own folder)
// with the arguments they make. "--run" starts at once with the stored
// values, waits for the executable and exits with its exit code.
//
// When the system gives it too little, the launcher stops with its own
// message: too little memory ends it with 3, too few threads for its window
// or no process for the executable with 4. A run without a window (--run,
// or settings that do not show it) needs no thread besides its own, so that
// the executable has the rest of what the user may run.

#include "launcher_config.h"
#include "launcher_style.h"
#include "launcher_window.h"

#include <velmora/GlobalPoolThreads.h>
#include <velmora/HeapTuning.h>
#include <velmora/MemoryReserve.h>

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int EXIT_TOO_FEW_THREADS = 4;
// Threads a window cannot do without besides those the window system runs
// already: one for Qt's global pool, which Qt's image conversions (the icon,
// the banner) wait for, and one for Qt's D-Bus connections, which the
// window system's accessibility waits for on a desktop.
constexpr int WINDOW_THREADS = 2;
constexpr int MOST_POOL_THREADS = 1;
// The address space the launcher needs free, beyond what its program and
// libraries take: to start an executable, and for a window (the style's
// fonts, the banner, the pool thread's stack).
constexpr int RUN_MEGABYTES = 8;
constexpr int WINDOW_MEGABYTES = 48;

void tell(const QString &text)
{
    std::fprintf(stderr, "Launcher: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

// 0 when megabytes of address space are free, else the exit code (after
// telling why).
int secureMemory(int megabytes)
{
    if (Velmora::MemoryReserve::hasRoom(megabytes))
        return 0;
    tell(QStringLiteral("the system gives the launcher too little memory to start: it needs %1 MB more address "
                        "space than it has. ")
                 .arg(megabytes)
         + Velmora::MemoryReserve::limitText());
    return Velmora::MemoryReserve::EXIT_OUT_OF_MEMORY;
}

// 0 when the window can have the memory and threads it needs, else the exit
// code (after telling why). Once the application is made (the window
// system's threads are running then), before anything uses Qt's global pool.
int secureWindow()
{
    if (const int code = secureMemory(WINDOW_MEGABYTES))
        return code;
    int available = 0;
    const int kept = Velmora::GlobalPoolThreads::secure(WINDOW_THREADS, MOST_POOL_THREADS, &available);
    if (kept > 0)
        return 0;
    tell(QStringLiteral("the system gives this process %1 more thread(s); the launcher's window needs at least %2. "
                        "Raise the limit on processes (ulimit -u) or on the address space (ulimit -v) and start "
                        "it again.")
                 .arg(kept < 0 ? 0 : available)
                 .arg(WINDOW_THREADS));
    // Qt's pool waits for the thread it was refused: it cannot be shut down.
    if (kept < 0)
        std::_Exit(EXIT_TOO_FEW_THREADS);
    return EXIT_TOO_FEW_THREADS;
}

// The exit code of child once it has ended; 1 when it did not end by itself
// (after telling so).
int waitFor(pid_t child, const QString &program)
{
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            tell(QStringLiteral("lost %1: %2").arg(program, QString::fromLocal8Bit(std::strerror(errno))));
            return 1;
        }
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    tell(QStringLiteral("%1 did not end by itself: %2")
                 .arg(program, QString::fromLocal8Bit(::strsignal(WTERMSIG(status)))));
    return 1;
}

// Starts program in folder on the launcher's own standard channels, waits
// for it and returns its exit code; else, after telling why, 4 when the
// system refuses the process (a limit on the user's processes), 3 when it
// has no memory for it and 1 when it cannot be started otherwise or does not
// end by itself. Not QProcess: a refused process leaves it waiting for ever
// or taking the process for one that crashed.
int runAndWait(const QString &program, const QStringList &arguments, const QString &folder)
{
    std::vector<QByteArray> words{QFile::encodeName(program)};
    for (const QString &argument : arguments)
        words.push_back(argument.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    const QByteArray directory = QFile::encodeName(folder);
    posix_spawn_file_actions_t actions;
    int error = ::posix_spawn_file_actions_init(&actions);
    if (error == 0) {
        error = ::posix_spawn_file_actions_addchdir_np(&actions, directory.constData());
        pid_t child = 0;
        if (error == 0)
            error = ::posix_spawn(&child, argv.front(), &actions, nullptr, argv.data(), environ);
        ::posix_spawn_file_actions_destroy(&actions);
        if (error == 0)
            return waitFor(child, program);
    }
    if (error == EAGAIN) {
        tell(QStringLiteral("the system gives this user no more processes to start %1. Raise the limit on processes "
                            "(ulimit -u) and start it again.")
                     .arg(program));
        return EXIT_TOO_FEW_THREADS;
    }
    if (error == ENOMEM) {
        tell(QStringLiteral("the system gives too little memory to start %1. ").arg(program)
             + Velmora::MemoryReserve::limitText());
        return Velmora::MemoryReserve::EXIT_OUT_OF_MEMORY;
    }
    tell(QStringLiteral("can't start %1: %2").arg(program, QString::fromLocal8Bit(std::strerror(error))));
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    Velmora::HeapTuning::fitAddressSpace();
    Velmora::MemoryReserve::install(QStringLiteral("Launcher: the system gives the launcher no more memory; it stops. ")
                                    + Velmora::MemoryReserve::limitText());
    if (const int code = secureMemory(RUN_MEGABYTES))
        return code;
    // With --run there is never a window: no connection to the window system
    // and none of its threads, which would count against the user's limit
    // while the executable runs.
    const bool run_at_once = std::any_of(argv + 1, argv + argc,
                                         [](const char *argument) { return std::strcmp(argument, "--run") == 0; });
    const std::unique_ptr<QCoreApplication> application
            = run_at_once ? std::make_unique<QCoreApplication>(argc, argv) : std::make_unique<QApplication>(argc, argv);
    const QString folder = QCoreApplication::applicationDirPath() + QLatin1Char('/');

    LauncherConfig config;
    QString error;
    if (!config.load(QCoreApplication::applicationFilePath() + QStringLiteral(".lconfig"), error)) {
        tell(error);
        if (!run_at_once && secureWindow() == 0) {
            applyLauncherStyle(*qApp);
            QMessageBox::critical(nullptr, QStringLiteral("Launcher"), error);
        }
        return 1;
    }
    const QString executable = config.executable();
    if (executable.isEmpty()) {
        tell(QStringLiteral("the settings name no executable"));
        return 1;
    }
    const QString program = folder + executable;
    if (run_at_once || !config.show())
        return runAndWait(program, config.commandLine(), folder);

    if (const int code = secureWindow())
        return code;
    applyLauncherStyle(*qApp);
    LauncherWindow window(config, folder);
    if (QScreen *screen = QGuiApplication::primaryScreen())
        window.fitToScreen(screen->availableGeometry());
    QObject::connect(&window, &LauncherWindow::runRequested, [&]() {
        if (!QProcess::startDetached(program, config.commandLine(), folder)) {
            QMessageBox::critical(&window, QStringLiteral("Launcher"), QStringLiteral("Can't start %1.").arg(program));
            return;
        }
        window.close();
    });
    window.show();
    return QApplication::exec();
}
