#include "velmora/Engine.h"

#include "velmora/BakeLighting.h"
#include "velmora/Console.h"
#include "velmora/Editor.h"
#include "velmora/FileSystem.h"
#include "velmora/Game.h"
#include "velmora/Gui.h"
#include "velmora/Log.h"
#include "velmora/Materials.h"
#include "velmora/MetaScan.h"
#include "velmora/OwnNames.h"
#include "velmora/Player.h"
#include "velmora/Properties.h"
#include "velmora/Render.h"
#include "velmora/UGUID.h"
#include "velmora/World.h"

#include "engine_internal.h"
#include "interface_demo.h"

#include "build_info.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <thread>

namespace Velmora {

namespace {

std::atomic<Engine *> g_engine{nullptr};
std::atomic<QThread *> g_main_thread{nullptr};

std::mutex g_checks_mutex;
std::set<std::string> g_reported_checks;

String cleanFolder(const QString &path)
{
    QString clean = QDir::cleanPath(QDir(path).absolutePath());
    if (!clean.endsWith(QLatin1Char('/')))
        clean += QLatin1Char('/');
    return String(clean.toUtf8().constData());
}

QString toQString(const String &s)
{
    return QString::fromUtf8(s.get(), s.size());
}

String binariesFolderOfProcess()
{
    const QString exe = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    if (!exe.isEmpty())
        return cleanFolder(QFileInfo(exe).absolutePath());
    if (QCoreApplication::instance())
        return cleanFolder(QCoreApplication::applicationDirPath());
    return cleanFolder(QDir::currentPath());
}

// What Engine::hasArg and Engine::getArgValue say of args.
bool argsHave(const std::vector<std::string> &args, const char *name)
{
    for (const std::string &arg : args) {
        if (name && arg == name)
            return true;
    }
    return false;
}

String argsValue(const std::vector<std::string> &args, const char *name)
{
    // The last occurrence wins, as a later argument overrides an earlier one.
    String value;
    for (size_t i = 0; i + 1 < args.size(); ++i) {
        if (name && args[i] == name)
            value = String(args[i + 1]);
    }
    return value;
}

String binariesPathOf(const std::vector<std::string> &args)
{
    return argsHave(args, "-binaries_path") ? cleanFolder(toQString(argsValue(args, "-binaries_path")))
                                            : binariesFolderOfProcess();
}

String dataPathOf(const std::vector<std::string> &args, const QDir &binaries)
{
    return argsHave(args, "-data_path")
            ? cleanFolder(binaries.absoluteFilePath(toQString(argsValue(args, "-data_path"))))
            : cleanFolder(binaries.absoluteFilePath(QStringLiteral("../data")));
}

std::vector<std::string> argsOf(int argc, char **argv)
{
    std::vector<std::string> args;
    for (int i = 0; i < argc && argv; ++i)
        args.emplace_back(argv[i] ? argv[i] : "");
    return args;
}

// "2.11.0.0 rev-xxxxxxx": the version, a blank and exactly 11 characters.
String versionInfo()
{
    std::string rev = std::string("rev-") + std::string(VELMORA_BUILD_REVISION).substr(0, 7);
    while (rev.size() < 11)
        rev += '0';
    return String(std::string(VELMORA_BUILD_VERSION) + " " + rev);
}

} // namespace

struct Engine::Private
{
    std::vector<std::string> args;
    App *app = nullptr;
    EditorLogicInterface *logic = nullptr;
    std::vector<View *> views;
    std::vector<std::pair<View *, QImage>> frames;
    // Each on-screen view's last picture, reused while nothing it shows changes.
    std::map<View *, engine_internal::ViewPicture> pictures;
    // The next refresh of the display that swap waits for.
    std::chrono::steady_clock::time_point next_refresh;

    String binaries_path;
    String data_path;
    String cache_path;
    String log_path;
    int build_config = 2;
    int quit_after_frames = 0;
    int swap_count = 0;
    bool quit_requested = false;

    void writeCaches() const;
    void waitForRefresh();
    void registerConsole();
    void readConfig() const;
};

void Engine::Private::writeCaches() const
{
    QDir().mkpath(toQString(cache_path));
    QJsonObject record;
    record.insert(QStringLiteral("engine_version"), QString::fromUtf8(versionInfo().get()));
    record.insert(QStringLiteral("data_path"), toQString(data_path));
    record.insert(QStringLiteral("files"), FileSystem::getNumFiles());
    record.insert(QStringLiteral("materials"), Materials::getNumMaterials());
    const QByteArray system = QJsonDocument(record).toJson();
    record.insert(QStringLiteral("properties"), Properties::getNumProperties());
    record.insert(QStringLiteral("world"), QString::fromUtf8(World::getPath()));
    const QByteArray editor = QJsonDocument(record).toJson();
    engine_internal::writeFileAtomic(cache_path + "velmora.cache", system);
    engine_internal::writeFileAtomic(cache_path + "editor.cache", editor);
}

// A display shows a new picture at its refresh only; swap waits for the next
// one (60 Hz) as a real swap chain does. A frame that comes late shows at
// the next refresh after it: it waits for none, and the one after it waits
// only until the refresh that follows, never for a whole extra period.
void Engine::Private::waitForRefresh()
{
    using Clock = std::chrono::steady_clock;
    const Clock::duration period = std::chrono::microseconds(16667);
    const Clock::time_point now = Clock::now();
    if (next_refresh == Clock::time_point()) {
        next_refresh = now + period;
        return;
    }
    if (now < next_refresh)
        std::this_thread::sleep_until(next_refresh);
    next_refresh += period;
    // Refreshes missed while the frame was drawn are gone; the count keeps
    // to the display's rhythm.
    if (now >= next_refresh)
        next_refresh += ((now - next_refresh) / period + 1) * period;
}

void Engine::Private::readConfig() const
{
    QByteArray data;
    const String path = binaries_path + "velmora.cfg";
    if (!QFileInfo::exists(toQString(path)) || !engine_internal::readFile(path, data))
        return;
    for (const QByteArray &raw : data.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const int blank = line.indexOf(' ') >= 0 ? line.indexOf(' ') : line.indexOf('\t');
        const QByteArray name = blank < 0 ? line : line.left(blank);
        const QByteArray value = blank < 0 ? QByteArray() : line.mid(blank + 1).trimmed();
        if (!Console::isVariable(name.constData())) {
            Log::warning("Engine: velmora.cfg: unknown variable \"%s\"\n", name.constData());
            continue;
        }
        Console::setString(name.constData(), value.constData());
    }
}

void Engine::Private::registerConsole()
{
    auto joined = [](int argc, const char *const *argv, int from) {
        String text;
        for (int i = from; i < argc; ++i) {
            if (i > from)
                text += " ";
            text += argv[i];
        }
        return text;
    };

    Console::addCommand("help", "lists the console commands and variables", [](int, const char *const *) {
        const int commands = Console::getNumCommands();
        Console::message("---- commands: %d ----\n", commands);
        for (int i = 0; i < commands; ++i) {
            const char *name = Console::getCommandName(i);
            Console::message("  %s - %s\n", name, Console::getCommandDescription(name));
        }
        const int variables = Console::getNumVariables();
        Console::message("---- variables: %d ----\n", variables);
        for (int i = 0; i < variables; ++i) {
            const char *name = Console::getVariableName(i);
            Console::message("  %s - %s\n", name, Console::getVariableDescription(name));
        }
        Console::message("---- end ----\n");
    });
    Console::addCommand("quit", "quits the application", [this](int, const char *const *) {
        if (app)
            app->requestQuit();
        else
            Console::warning("quit: no application to quit\n");
    });
    Console::addCommand("echo", "prints its arguments", [joined](int argc, const char *const *argv) {
        Console::message("%s\n", joined(argc, argv, 1).get());
    });
    Console::addCommand("world_load", "loads a world: world_load \"path\"", [](int argc, const char *const *argv) {
        if (argc < 2) {
            Console::error("world_load: usage: world_load \"path\"\n");
            return;
        }
        // One answer for every world that does not load (missing, empty,
        // not XML, nested too deep, not a world); the log line before it
        // says why.
        if (World::load(argv[1]))
            Console::message("world_load: %s loaded\n", World::getPath());
        else
            Console::warning("world_load: \"%s\" is not loaded\n", argv[1]);
    });
    Console::addCommand("world_save", "saves the world: world_save [\"path\"]", [](int argc, const char *const *argv) {
        if (!World::isLoaded()) {
            Console::error("world_save: no world is loaded\n");
            return;
        }
        if (World::save(argc > 1 ? argv[1] : nullptr))
            Console::message("world_save: %s saved\n", World::getPath());
    });
    Console::addCommand("world_quit", "unloads the world without saving",
                        [](int, const char *const *) { World::quit(); });
    Console::addCommand("editor_quit", "unloads the editor script", [](int, const char *const *) { Editor::quit(); });
    Console::addCommand("editor_load", "loads the editor script: editor_load [\"script\"]",
                        [](int argc, const char *const *argv) {
                            const String script = argc > 1 ? String(argv[1]) : String(Editor::getScriptName());
                            if (script.empty()) {
                                Console::error("editor_load: no editor script given\n");
                                return;
                            }
                            Editor::load(script.get());
                        });
    Console::addCommand("editor_reload", "reloads the editor script", [](int, const char *const *) {
        const String script = Editor::getScriptName();
        if (script.empty()) {
            Console::error("editor_reload: no editor script is loaded\n");
            return;
        }
        Editor::quit();
        Editor::load(script.get());
    });
    Console::addCommand("render_streaming_list", "lists the streamed textures",
                        [](int, const char *const *) { Render::printStreamingTextures(); });
    Console::addCommand("video_restart", "restarts the video output", [this](int, const char *const *) {
        frames.clear();
        pictures.clear();
        engine_internal::pluginsResetWindows();
        Console::message("video_restart: done\n");
    });
    Console::addCommand("materials_compile", "schedules N shader compilations: materials_compile N",
                        [](int argc, const char *const *argv) {
                            const int count = argc > 1 ? std::atoi(argv[1]) : 0;
                            if (count <= 0) {
                                Console::error("materials_compile: usage: materials_compile N (N > 0)\n");
                                return;
                            }
                            engine_internal::materialsScheduleTest(count);
                        });
    Console::addCommand("bake_lighting_sim", "simulates light baking: bake_lighting_sim 0|1",
                        [](int argc, const char *const *argv) {
                            if (argc < 2) {
                                Console::message("bake_lighting_sim = %d\n", BakeLighting::isBaking() ? 1 : 0);
                                return;
                            }
                            BakeLighting::setBaking(std::atoi(argv[1]) != 0);
                        });

    engine_internal::registerInterfaceDemo();
    Console::addString("engine_version_info", versionInfo().get(), "engine version and revision");
    Console::addInt("show_visualizer", 0, "shows the debug visualizer");
    Console::addInt("visualizer_fix_flicker", 0, "keeps visualizer lines steady");
    Console::addInt("render_streaming_textures_memory_limit", 1024, "streamed texture memory limit in MB");
    Console::addInt("render_streaming_destroy_duration", 600, "frames before an unused texture unloads");
}

Engine::Engine()
    : d_(new Private)
{}

Engine::~Engine()
{
    delete d_;
}

Engine *Engine::init(int version, App *app, int argc, char **argv, const char *, const char *)
{
    if (version != ENGINE_VERSION) {
        Log::error("Engine::init: wrong engine version 0x%08X (expected 0x%08X)\n", unsigned(version),
                   unsigned(ENGINE_VERSION));
        return nullptr;
    }
    if (g_engine.load()) {
        Log::error("Engine::init: the engine is already running\n");
        return nullptr;
    }

    Engine *engine = new Engine;
    Private *d = engine->d_;
    d->args = argsOf(argc, argv);
    d->app = app;

    d->binaries_path = binariesPathOf(d->args);
    const QDir binaries(toQString(d->binaries_path));
    d->data_path = dataPathOf(d->args, binaries);
    d->cache_path = engine->hasArg("-cache_path")
            ? cleanFolder(binaries.absoluteFilePath(toQString(engine->getArgValue("-cache_path"))))
            : cleanFolder(binaries.absoluteFilePath(QStringLiteral("../cache")));
    if (engine->hasArg("-log_path"))
        d->log_path = String(QDir::cleanPath(binaries.absoluteFilePath(toQString(engine->getArgValue("-log_path"))))
                                     .toUtf8()
                                     .constData());
    else
        d->log_path
                = String(QDir::cleanPath(toQString(d->data_path) + QStringLiteral("../log.txt")).toUtf8().constData());
    d->build_config = VELMORA_BUILD_CONFIGURATION_DEFAULT;
    if (engine->hasArg("-build_config"))
        d->build_config = std::atoi(engine->getArgValue("-build_config").get());
    if (engine->hasArg("-quit_after_frames"))
        d->quit_after_frames = std::atoi(engine->getArgValue("-quit_after_frames").get());

    float fixed_ifps = 0.0f;
    if (engine->hasArg("-fixed_ifps"))
        fixed_ifps = float(std::atof(engine->getArgValue("-fixed_ifps").get()));
    unsigned int seed = 1;
    if (engine->hasArg("-random_seed"))
        seed = unsigned(std::strtoul(engine->getArgValue("-random_seed").get(), nullptr, 10));

    Vector<int> supported{0, 2};
    if (engine->hasArg("-supported_apis")) {
        supported.clear();
        for (const String &item : engine->getArgValue("-supported_apis").split(",")) {
            if (!item.trim().empty())
                supported.append(std::atoi(item.trim().get()));
        }
    }
    Log::openFile(d->log_path.get());

    int api = Render::API_OPENGL;
    const String video = engine->getArgValue("-video_app").lower();
    if (video == "null") {
        api = Render::API_NULL;
    } else if (video == "direct3d11") {
        if (supported.contains(int(Render::API_DIRECT3D11))) {
            api = Render::API_DIRECT3D11;
        } else {
            Log::warning("Engine: video application direct3d11 is not supported, using opengl\n");
        }
    } else if (!video.empty() && video != "opengl" && video != "auto") {
        Log::warning("Engine: unknown video application \"%s\", using opengl\n", video.get());
    }

    g_main_thread.store(QThread::currentThread());
    engine_internal::resetRunningChecks();
    g_engine.store(engine);

    registerGUIDMetaTypes();
    Log::message("Engine: version %s, data folder %s\n", versionInfo().get(), d->data_path.get());
    // Before anything of ours is written there: another program that shares
    // the folder leaves what this one makes alone while it runs.
    const QString claimed = QDir::cleanPath(toQString(d->data_path));
    // A folder this process cannot write in holds nothing of its own.
    if (!claimed.isEmpty() && !OwnNames::claim(QFile::encodeName(claimed).toStdString()) && errno != EROFS
        && errno != EACCES && errno != EPERM)
        Log::warning("Engine: the data folder cannot be claimed for this process (%s); editors that share it cannot "
                     "tell that it runs\n",
                     std::strerror(errno));
    FileSystem::init(d->data_path.get(), !engine->hasArg("-skip_guidsdb"));

    engine_internal::gameInit(seed, fixed_ifps);
    engine_internal::renderInit(api, supported);
    engine_internal::materialsInit();
    engine_internal::propertiesInit();
    engine_internal::worldInit();
    engine_internal::guiInit();
    engine_internal::editorInit();
    engine_internal::miscInit();

    d->registerConsole();
    d->readConfig();
    // Plug-ins start with the engine, before the command line's console
    // commands run.
    engine_internal::pluginsLoad(d->args, d->binaries_path, d->build_config == 0);
    for (size_t i = 0; i + 1 < d->args.size(); ++i) {
        if (d->args[i] == "-console_command")
            Console::run(d->args[i + 1].c_str());
    }

    if (!QDir().mkpath(toQString(d->cache_path)))
        Log::error("Engine: cannot create the cache folder %s\n", d->cache_path.get());
    if (!QFileInfo::exists(toQString(d->cache_path + "velmora.cache"))
        || !QFileInfo::exists(toQString(d->cache_path + "editor.cache")))
        d->writeCaches();

    if (app)
        engine->addView(app);
    return engine;
}

Engine *Engine::get()
{
    return g_engine.load();
}

void Engine::shutdown()
{
    Engine *engine = g_engine.load();
    if (!engine) {
        Log::error("Engine::shutdown: the engine is not running\n");
        return;
    }
    Private *d = engine->d_;

    engine_internal::unregisterInterfaceDemo();
    engine_internal::pluginsShutdown();
    World::quit();
    d->writeCaches();
    d->views.clear();
    d->frames.clear();
    d->pictures.clear();

    engine_internal::miscShutdown();
    engine_internal::editorShutdown();
    engine_internal::guiShutdown();
    engine_internal::worldShutdown();
    engine_internal::propertiesShutdown();
    engine_internal::materialsShutdown();
    engine_internal::renderShutdown();
    engine_internal::gameShutdown();
    FileSystem::shutdown();

    Log::message("Engine: stopped\n");
    g_engine.store(nullptr);
    Console::reset();
    Log::closeFile();
    g_main_thread.store(nullptr);
    delete engine;
}

bool Engine::isMainThread()
{
    QThread *main = g_main_thread.load();
    if (!main) {
        QCoreApplication *application = QCoreApplication::instance();
        if (!application)
            return true;
        main = application->thread();
    }
    return QThread::currentThread() == main;
}

void Engine::setEditorLogic(EditorLogicInterface *logic)
{
    d_->logic = logic;
}

EditorLogicInterface *Engine::getEditorLogic() const
{
    return d_->logic;
}

App *Engine::getApp() const
{
    return d_->app;
}

void Engine::update()
{
    Console::flush();
    if (g_engine.load() != this)
        return; // a command stopped the engine
    engine_internal::pluginsUpdateMouse();
    Gui::updateAll(Game::getIFps());
    engine_internal::gameAdvance();
    engine_internal::materialsCompileStep();
    if (d_->logic)
        d_->logic->update();
    // Plug-ins draw their own windows after the editor logic's update.
    engine_internal::pluginsUpdate();
    engine_internal::sweepNodes();
}

void Engine::render()
{
    d_->frames.clear();
    engine_internal::renderBeginFrame();
    if (!Render::isEnabled() || Render::getAPI() == Render::API_NULL)
        return;
    const std::vector<View *> views = d_->views;
    for (View *view : views) {
        const int width = view->getViewWidth();
        const int height = view->getViewHeight();
        if (width <= 0 || height <= 0)
            continue;
        Ptr<Player> player = view->getViewPlayer();
        if (!player)
            player = Editor::getPlayer();
        const Ptr<Camera> camera = player ? player->getCamera() : Ptr<Camera>();
        d_->frames.emplace_back(view, engine_internal::renderWorld(camera, width, height, &d_->pictures[view]));
        engine_internal::renderCountView();
    }
}

void Engine::swap()
{
    const auto frames = d_->frames;
    d_->frames.clear();
    // Without an application window there is no display to wait for.
    if (d_->app)
        d_->waitForRefresh();
    for (const auto &frame : frames) {
        // A view may have been removed while an earlier view presented.
        if (std::find(d_->views.begin(), d_->views.end(), frame.first) != d_->views.end())
            frame.first->presentFrame(frame.second);
    }
    ++d_->swap_count;
    if (d_->quit_after_frames > 0 && d_->swap_count >= d_->quit_after_frames && !d_->quit_requested) {
        d_->quit_requested = true;
        Log::message("Engine: %d frames done, quitting\n", d_->swap_count);
        if (d_->app)
            d_->app->requestQuit();
    }
}

void Engine::addView(View *view)
{
    VELMORA_ASSERT(view != nullptr);
    if (std::find(d_->views.begin(), d_->views.end(), view) == d_->views.end())
        d_->views.push_back(view);
}

void Engine::removeView(View *view)
{
    d_->views.erase(std::remove(d_->views.begin(), d_->views.end(), view), d_->views.end());
    d_->frames.erase(std::remove_if(d_->frames.begin(), d_->frames.end(),
                                    [view](const std::pair<View *, QImage> &f) { return f.first == view; }),
                     d_->frames.end());
    d_->pictures.erase(view);
}

String Engine::getBinariesPath() const
{
    return d_->binaries_path;
}

String Engine::getDataPath() const
{
    return d_->data_path;
}

String Engine::getCachePath() const
{
    return d_->cache_path;
}

String Engine::getSystemCacheFile() const
{
    return d_->cache_path + "velmora.cache";
}

String Engine::getEditorCacheFile() const
{
    return d_->cache_path + "editor.cache";
}

int Engine::getBuildConfiguration() const
{
    return d_->build_config;
}

const std::vector<std::string> &Engine::args() const
{
    return d_->args;
}

bool Engine::hasArg(const char *name) const
{
    return argsHave(d_->args, name);
}

String Engine::getArgValue(const char *name) const
{
    return argsValue(d_->args, name);
}

// Here rather than with the rest of MetaScan: the folder is the one init
// works out from the same arguments.
void MetaScan::readAheadForEngine(int argc, char **argv)
{
    const std::vector<std::string> args = argsOf(argc, argv);
    readAhead(dataPathOf(args, QDir(toQString(binariesPathOf(args)))).get());
}

namespace engine_internal {

bool isRunning()
{
    return g_engine.load() != nullptr;
}

bool checkRunning(const char *what)
{
    if (g_engine.load())
        return true;
    {
        std::lock_guard<std::mutex> lock(g_checks_mutex);
        if (!g_reported_checks.insert(what ? what : "").second)
            return false;
    }
    Log::error("%s: the engine is not running\n", what ? what : "engine");
    return false;
}

void resetRunningChecks()
{
    std::lock_guard<std::mutex> lock(g_checks_mutex);
    g_reported_checks.clear();
}

EditorLogicInterface *editorLogic()
{
    Engine *engine = g_engine.load();
    return engine ? engine->getEditorLogic() : nullptr;
}

String dataPath()
{
    Engine *engine = g_engine.load();
    return engine ? engine->getDataPath() : String();
}

String cachePath()
{
    Engine *engine = g_engine.load();
    return engine ? engine->getCachePath() : String();
}

int buildConfiguration()
{
    Engine *engine = g_engine.load();
    return engine ? engine->getBuildConfiguration() : 2;
}

} // namespace engine_internal

} // namespace Velmora
