// The standalone player: starts the engine with its command line in one
// window and runs one frame per pass of the event loop.
//
// Test mode: with -quit_after_frames N the player ends after N frames and
// exits with 2 when its start world did not load, a command failed or
// guids.db names missing files; -state_file FILE records what it found.
//
// When the system gives it too little, the player stops with its own
// message: too few threads (a limit on processes) end it with 4 before it
// starts the engine, too little memory with 3, at start or once memory has run out.

#include "player_state.h"
#include "player_window.h"

#include <velmora/Engine.h>
#include <velmora/GlobalPoolThreads.h>
#include <velmora/HeapTuning.h>
#include <velmora/Log.h>
#include <velmora/Materials.h>
#include <velmora/MemoryReserve.h>
#include <velmora/Properties.h>

#include <QGuiApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int EXIT_TOO_FEW_THREADS = 4;
// Threads the player cannot do without besides the one it starts on and
// those of the window system: one for Qt's global pool, which Qt's image
// conversions wait for, and on a desktop one for Qt's D-Bus connections,
// which the window system's accessibility waits for.
constexpr int NEEDED_THREADS = 1;
constexpr int MOST_POOL_THREADS = 2;
// The address space the player needs free when it starts, beyond what its
// program and libraries take: the engine, a world and its frames.
constexpr int START_MEGABYTES = 192;

void tell(const QString &text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

// 0 when the player has the memory it needs to start, else its exit code
// (after telling why). Before any thread starts.
int secureMemory()
{
    Velmora::HeapTuning::boundArenaTops();
    Velmora::HeapTuning::fitAddressSpace();
    Velmora::MemoryReserve::install(QStringLiteral("Player: the system gives the player no more memory; it stops. ")
                                    + Velmora::MemoryReserve::limitText());
    if (Velmora::MemoryReserve::hasRoom(START_MEGABYTES))
        return 0;
    tell(QStringLiteral("Player: the system gives the player too little memory to start: it needs %1 MB more "
                        "address space than it has. ")
                 .arg(START_MEGABYTES)
         + Velmora::MemoryReserve::limitText());
    return Velmora::MemoryReserve::EXIT_OUT_OF_MEMORY;
}

// 0 when the player can run on the threads the system gives, else its exit
// code (after telling why). Once the application is made (the window
// system's threads run then), before anything else starts a thread, so
// that what is counted is what the system gives.
int secureThreads()
{
    const bool bus = Velmora::GlobalPoolThreads::usesSessionBus();
    const int needed = NEEDED_THREADS + (bus ? 1 : 0);
    int available = 0;
    const int kept = Velmora::GlobalPoolThreads::secure(needed, MOST_POOL_THREADS, &available);
    if (kept > 0 && (!bus || Velmora::GlobalPoolThreads::startSessionBusThread()))
        return 0;
    // Those the pool took when only the D-Bus thread fell short.
    int given = kept > 0 ? kept : available;
    if (kept < 0)
        given = 0;
    tell(QStringLiteral("Player: the system gives this process %1 more thread(s); the player needs at least %2. "
                        "Raise the limit on processes (ulimit -u) or on the address space (ulimit -v) and start "
                        "it again.")
                 .arg(given)
                 .arg(needed));
    // Qt's pool waits for the thread it was refused: it cannot be shut down.
    if (kept < 0)
        std::_Exit(EXIT_TOO_FEW_THREADS);
    return EXIT_TOO_FEW_THREADS;
}

int intArg(Velmora::Engine *engine, const char *name, int fallback)
{
    if (!engine->hasArg(name))
        return fallback;
    const int value = std::atoi(engine->getArgValue(name).get());
    return value > 0 ? value : fallback;
}

} // namespace

int main(int argc, char **argv)
{
    if (const int code = secureMemory())
        return code;
    // The engine gets the arguments unchanged; Qt may take its own out of
    // argv, so a copy is kept first.
    std::vector<std::string> arguments(argv, argv + argc);
    QGuiApplication application(argc, argv);
    // Without them the event loop must not run: it would wait for Qt's D-Bus
    // thread.
    if (const int code = secureThreads())
        return code;

    std::vector<char *> engine_argv;
    for (std::string &argument : arguments)
        engine_argv.push_back(&argument[0]);

    PlayerWindow window(QSize(1280, 720));
    Velmora::Engine *engine
            = Velmora::Engine::init(Velmora::ENGINE_VERSION, &window, int(engine_argv.size()), engine_argv.data());
    if (!engine) {
        Velmora::Log::error("Player: the engine did not start\n");
        return 1;
    }
    window.resize(intArg(engine, "-video_width", 1280), intArg(engine, "-video_height", 720));
    Velmora::Materials::loadMaterials();
    Velmora::Properties::loadProperties();
    window.show();

    QTimer frame;
    QObject::connect(&frame, &QTimer::timeout, [engine, &window]() {
        if (Velmora::Engine::get() != engine || window.quitRequested())
            return;
        engine->update();
        if (Velmora::Engine::get() != engine)
            return;
        engine->render();
        engine->swap();
    });
    frame.start(0);
    const int code = application.exec();
    frame.stop();

    const PlayerState state = PlayerState::collect(window.framesPresented());
    const bool test_mode = engine->hasArg("-quit_after_frames");
    if (engine->hasArg("-state_file")) {
        const QString path = QString::fromUtf8(engine->getArgValue("-state_file").get());
        if (!state.write(path))
            Velmora::Log::error("Player: cannot write the state file %s\n", path.toUtf8().constData());
    }
    if (state.failed())
        Velmora::Log::error("Player: the build's data is not complete (world \"%s\", %d failed commands, %d missing "
                            "files of guids.db)\n",
                            state.requested_world.toUtf8().constData(), state.failed_commands, state.guids_db_missing);
    Velmora::Engine::shutdown();
    if (code == Velmora::MemoryReserve::EXIT_OUT_OF_MEMORY)
        return code;
    return test_mode && state.failed() ? 2 : 0;
}
