// The standalone player: starts the engine with its command line in one
// window and runs one frame per pass of the event loop.
//
// Test mode: with -quit_after_frames N the player ends after N frames and
// exits with 2 when its start world did not load, a command failed or
// guids.db names missing files; -state_file FILE records what it found.

#include "player_state.h"
#include "player_window.h"

#include <velmora/Engine.h>
#include <velmora/Log.h>
#include <velmora/Materials.h>
#include <velmora/Properties.h>

#include <QGuiApplication>
#include <QTimer>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

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
    // The engine gets the arguments unchanged; Qt may take its own out of
    // argv, so a copy is kept first.
    std::vector<std::string> arguments(argv, argv + argc);
    QGuiApplication application(argc, argv);

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
    application.exec();
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
    return test_mode && state.failed() ? 2 : 0;
}
