#include "engine_runtime_fixture.h"

#include "velmora/BakeLighting.h"
#include "velmora/Editor.h"
#include "velmora/Game.h"
#include "velmora/Gui.h"
#include "velmora/Player.h"
#include "velmora/Render.h"
#include "velmora/Visualizer.h"
#include "velmora/World.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using namespace enginetest;

class TestEngine : public QObject
{
    Q_OBJECT

private slots:
    void wrong_version_returns_null_and_logs_an_error();
    void exactly_argc_arguments_are_copied_without_a_terminating_null();
    void folders_are_absolute_and_relative_data_path_follows_binaries();
    void start_creates_cache_files_and_opens_the_default_log();
    void console_commands_run_in_order_at_the_first_update();
    void game_time_advances_by_the_fixed_step();
    void set_ifps_overrides_the_fixed_step_until_reset();
    void quit_after_frames_asks_the_app_to_quit_once();
    void video_app_selects_the_render_api_data();
    void video_app_selects_the_render_api();
    void render_presents_an_image_of_the_view_size();
    void null_api_presents_nothing();
    void velmora_cfg_sets_variables_before_command_line_commands();
    void version_info_has_eleven_characters_after_the_blank();
    void editor_load_warns_about_a_missing_script_and_calls_init_once();
    void editor_commands_can_be_removed_and_reload_loads_again();
    void bake_lighting_sim_switches_the_baking_flag();
    void help_lists_every_command_and_variable_with_its_description();
    void shutdown_quits_the_world_and_makes_get_null();
    void calls_after_shutdown_log_one_error_and_return_empty();
    void a_second_init_while_running_is_refused();
    void random_numbers_repeat_for_a_seed_and_stay_between_the_bounds();
    void only_the_thread_that_started_the_engine_is_the_main_thread();
    void world_commands_save_before_reporting_and_quit_the_world();
};

void TestEngine::wrong_version_returns_null_and_logs_an_error()
{
    LogCapture log;
    char arg0[] = "x";
    char *argv[] = {arg0};
    QVERIFY(Velmora::Engine::init(0x04004000, nullptr, 1, argv) == nullptr);
    QVERIFY(Velmora::Engine::get() == nullptr);
    QCOMPARE(log.count(QStringLiteral("version"), 2), 1);
}

void TestEngine::exactly_argc_arguments_are_copied_without_a_terminating_null()
{
    Installation installation;
    // The array has exactly argc entries; reading one more would run into
    // the poison entry that follows it in this buffer.
    std::vector<std::string> texts{"editor",
                                   "-data_path",
                                   installation.dataPath().toStdString(),
                                   "-cache_path",
                                   installation.cachePath().toStdString(),
                                   "-skip_guidsdb",
                                   "-unknown_flag",
                                   "POISON"};
    std::vector<char *> argv;
    for (std::string &text : texts)
        argv.push_back(&text[0]);
    Velmora::Engine *engine = Velmora::Engine::init(Velmora::ENGINE_VERSION, nullptr, 7, argv.data());
    QVERIFY(engine);
    QCOMPARE(int(engine->args().size()), 7);
    for (int i = 0; i < 7; ++i)
        QCOMPARE(engine->args()[size_t(i)], texts[size_t(i)]);
    QVERIFY(engine->hasArg("-skip_guidsdb"));
    QVERIFY(!engine->hasArg("POISON"));
    Velmora::Engine::shutdown();
}

void TestEngine::folders_are_absolute_and_relative_data_path_follows_binaries()
{
    Installation installation;
    std::string bin = installation.binPath().toStdString();
    std::vector<std::string> texts{"editor", "-binaries_path", bin, "-data_path", "../data"};
    std::vector<char *> argv;
    for (std::string &text : texts)
        argv.push_back(&text[0]);
    Velmora::Engine *engine = Velmora::Engine::init(Velmora::ENGINE_VERSION, nullptr, int(argv.size()), argv.data());
    QVERIFY(engine);
    const QString root = QDir::cleanPath(installation.root());
    QCOMPARE(QString::fromUtf8(engine->getBinariesPath().get()), root + QStringLiteral("/bin/"));
    QCOMPARE(QString::fromUtf8(engine->getDataPath().get()), root + QStringLiteral("/data/"));
    QCOMPARE(QString::fromUtf8(engine->getCachePath().get()), root + QStringLiteral("/cache/"));
    QCOMPARE(QString::fromUtf8(engine->getSystemCacheFile().get()), root + QStringLiteral("/cache/velmora.cache"));
    QCOMPARE(QString::fromUtf8(engine->getEditorCacheFile().get()), root + QStringLiteral("/cache/editor.cache"));
    Velmora::Engine::shutdown();
}

void TestEngine::start_creates_cache_files_and_opens_the_default_log()
{
    Installation installation;
    QVERIFY(installation.start());
    Velmora::Log::message("engine test line\n");
    Velmora::Engine::shutdown();
    QFile log(installation.root() + QStringLiteral("/log.txt"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QVERIFY(log.readAll().contains("engine test line"));
    for (const QString &name : {QStringLiteral("velmora.cache"), QStringLiteral("editor.cache")}) {
        QFile cache(installation.cachePath() + name);
        QVERIFY2(cache.open(QIODevice::ReadOnly), qPrintable(name));
        const QJsonObject record = QJsonDocument::fromJson(cache.readAll()).object();
        QVERIFY(record.value(QStringLiteral("engine_version")).toString().startsWith(QStringLiteral("2.11.0.0 ")));
    }
}

void TestEngine::console_commands_run_in_order_at_the_first_update()
{
    RecordingLogic logic;
    Installation installation;
    QVERIFY(installation.writeData(QStringLiteral("levels/a.world"),
                                   "<world version=\"1\"><node type=\"NodeDummy\" id=\"1\" name=\"first\"/></world>"));
    QVERIFY(installation.start({QStringLiteral("-console_command"), QStringLiteral("world_load \"levels/a\""),
                                QStringLiteral("-console_command"), QStringLiteral("echo second")},
                               nullptr, &logic));
    QVERIFY(!Velmora::World::isLoaded());
    Velmora::Engine::get()->update();
    QVERIFY(Velmora::World::isLoaded());
    QCOMPARE(QString::fromUtf8(Velmora::World::getPath()), QStringLiteral("levels/a.world"));
    QCOMPARE(logic.calls, QStringList{QStringLiteral("worldInit")});
    QCOMPARE(logic.updates, 1);
    const Velmora::Vector<Velmora::String> executed = Velmora::Console::getCommandLog();
    QVERIFY(executed.size() >= 2);
    QCOMPARE(QString::fromUtf8(executed[executed.size() - 2].get()), QStringLiteral("world_load \"levels/a\""));
    QCOMPARE(QString::fromUtf8(executed[executed.size() - 1].get()), QStringLiteral("echo second"));
}

void TestEngine::game_time_advances_by_the_fixed_step()
{
    Installation installation;
    QVERIFY(installation.start({QStringLiteral("-fixed_ifps"), QStringLiteral("0.25")}));
    QCOMPARE(Velmora::Game::getIFps(), 0.25f);
    for (int i = 0; i < 4; ++i)
        Installation::frame();
    QCOMPARE(Velmora::Game::getFrame(), 4);
    QCOMPARE(Velmora::Game::getTime(), 1.0f);
}

void TestEngine::set_ifps_overrides_the_fixed_step_until_reset()
{
    Installation installation;
    QVERIFY(installation.start({QStringLiteral("-fixed_ifps"), QStringLiteral("0.25")}));
    Velmora::Game::setIFps(0.5f);
    Velmora::Engine::get()->update();
    QCOMPARE(Velmora::Game::getTime(), 0.5f);
    Velmora::Game::setIFps(-1.0f);
    Velmora::Engine::get()->update();
    QCOMPARE(Velmora::Game::getTime(), 0.75f);
    QCOMPARE(Velmora::Game::getIFps(), 0.25f);
}

void TestEngine::quit_after_frames_asks_the_app_to_quit_once()
{
    Installation installation;
    FakeApp app;
    QVERIFY(installation.start({QStringLiteral("-quit_after_frames"), QStringLiteral("3")}, &app));
    Installation::frame();
    Installation::frame();
    QCOMPARE(app.quit_requests, 0);
    Installation::frame();
    QCOMPARE(app.quit_requests, 1);
    Installation::frame();
    QCOMPARE(app.quit_requests, 1);
}

void TestEngine::video_app_selects_the_render_api_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("api");
    QTest::addColumn<bool>("warns");
    QTest::newRow("default") << QStringList() << 2 << false;
    QTest::newRow("auto") << QStringList{QStringLiteral("-video_app"), QStringLiteral("auto")} << 2 << false;
    QTest::newRow("opengl") << QStringList{QStringLiteral("-video_app"), QStringLiteral("opengl")} << 2 << false;
    QTest::newRow("null") << QStringList{QStringLiteral("-video_app"), QStringLiteral("null")} << 0 << false;
    QTest::newRow("direct3d11 unsupported")
            << QStringList{QStringLiteral("-video_app"), QStringLiteral("direct3d11")} << 2 << true;
    QTest::newRow("direct3d11 supported") << QStringList{QStringLiteral("-video_app"), QStringLiteral("direct3d11"),
                                                         QStringLiteral("-supported_apis"), QStringLiteral("0,2,3")}
                                          << 3 << false;
}

void TestEngine::video_app_selects_the_render_api()
{
    QFETCH(QStringList, args);
    QFETCH(int, api);
    QFETCH(bool, warns);
    LogCapture log;
    Installation installation;
    QVERIFY(installation.start(args));
    QCOMPARE(Velmora::Render::getAPI(), api);
    QCOMPARE(log.count(QStringLiteral("direct3d11"), 1), warns ? 1 : 0);
    QVERIFY(Velmora::Render::isAPISupported(0));
    QVERIFY(Velmora::Render::isAPISupported(2));
    QCOMPARE(Velmora::Render::isAPISupported(3), args.contains(QStringLiteral("0,2,3")));
}

void TestEngine::render_presents_an_image_of_the_view_size()
{
    Installation installation;
    FakeApp app(40, 30);
    QVERIFY(installation.start({}, &app));
    Installation::frame();
    QCOMPARE(app.frames.size(), 1);
    QCOMPARE(app.frames[0].size(), QSize(40, 30));
    QCOMPARE(Velmora::Render::getNumRenderedViews(), 1);

    // A removed view gets no more frames; a disabled renderer draws nothing.
    Velmora::Engine::get()->removeView(&app);
    Installation::frame();
    QCOMPARE(app.frames.size(), 1);
    Velmora::Engine::get()->addView(&app);
    Velmora::Render::setEnabled(0);
    Installation::frame();
    QCOMPARE(app.frames.size(), 1);
}

void TestEngine::null_api_presents_nothing()
{
    Installation installation;
    FakeApp app;
    QVERIFY(installation.start({QStringLiteral("-video_app"), QStringLiteral("null"),
                                QStringLiteral("-quit_after_frames"), QStringLiteral("2")},
                               &app));
    Installation::frame();
    Installation::frame();
    QCOMPARE(app.frames.size(), 0);
    QCOMPARE(Velmora::Render::getNumRenderedViews(), 0);
    // Frames are still counted.
    QCOMPARE(app.quit_requests, 1);
}

void TestEngine::velmora_cfg_sets_variables_before_command_line_commands()
{
    Installation installation;
    QVERIFY(Installation::writeAbsolute(installation.binPath() + QStringLiteral("velmora.cfg"),
                                        "# engine settings\nshow_visualizer 1\nrender_streaming_destroy_duration 5\n"
                                        "no_such_variable 3\n"));
    LogCapture log;
    QVERIFY(installation.start({QStringLiteral("-console_command"), QStringLiteral("show_visualizer 2")}));
    QCOMPARE(Velmora::Console::getInt("show_visualizer"), 1);
    QCOMPARE(Velmora::Render::getStreamingDestroyDuration(), 5);
    QCOMPARE(log.count(QStringLiteral("no_such_variable"), 1), 1);
    Velmora::Engine::get()->update();
    QCOMPARE(Velmora::Console::getInt("show_visualizer"), 2);
    QVERIFY(Velmora::Visualizer::isEnabled());
}

void TestEngine::version_info_has_eleven_characters_after_the_blank()
{
    Installation installation;
    QVERIFY(installation.start());
    const QString info = QString::fromUtf8(Velmora::Console::getString("engine_version_info"));
    QVERIFY2(info.startsWith(QStringLiteral("2.11.0.0 rev-")), qPrintable(info));
    QCOMPARE(info.size(), 9 + 11);
    QCOMPARE(Velmora::Render::getStreamingTexturesMemoryLimit(), 1024);
    QCOMPARE(Velmora::Render::getStreamingDestroyDuration(), 600);
}

void TestEngine::editor_load_warns_about_a_missing_script_and_calls_init_once()
{
    RecordingLogic logic;
    Installation installation;
    QVERIFY(installation.start({}, nullptr, &logic));
    LogCapture log;
    QCOMPARE(Velmora::Editor::load("tamsel2/editor.usc"), 1);
    QCOMPARE(log.count(QStringLiteral("tamsel2/editor.usc"), 1), 1);
    QCOMPARE(logic.calls, QStringList{QStringLiteral("init")});
    QVERIFY(Velmora::Editor::getPlayer());
    QVERIFY(!Velmora::Editor::getPlayer()->isInWorld());

    QVERIFY(installation.writeData(QStringLiteral("tamsel2/editor2.usc"), "// editor"));
    log.clear();
    QCOMPARE(Velmora::Editor::load("tamsel2/editor2.usc"), 1);
    QCOMPARE(log.count(QString(), 1), 0);
}

void TestEngine::editor_commands_can_be_removed_and_reload_loads_again()
{
    RecordingLogic logic;
    Installation installation;
    QVERIFY(installation.start({}, nullptr, &logic));
    Velmora::Editor::load("tamsel2/editor.usc");
    Velmora::Console::run("editor_reload");
    Velmora::Console::flush();
    QCOMPARE(logic.calls, (QStringList{QStringLiteral("init"), QStringLiteral("init")}));
    for (const char *name : {"editor_quit", "editor_load", "editor_reload"})
        QVERIFY2(Velmora::Console::removeCommand(name), name);
    QVERIFY(!Velmora::Console::isCommand("editor_reload"));
}

void TestEngine::bake_lighting_sim_switches_the_baking_flag()
{
    Installation installation;
    QVERIFY(installation.start());
    QVERIFY(!Velmora::BakeLighting::isBaking());
    Velmora::Console::run("bake_lighting_sim 1");
    Velmora::Console::flush();
    QVERIFY(Velmora::BakeLighting::isBaking());
    Velmora::Console::run("bake_lighting_sim 0");
    Velmora::Console::flush();
    QVERIFY(!Velmora::BakeLighting::isBaking());
}

void TestEngine::help_lists_every_command_and_variable_with_its_description()
{
    Installation installation;
    QVERIFY(installation.start());
    LogCapture capture;
    Velmora::Console::run("help");
    Velmora::Console::flush();
    const int commands = Velmora::Console::getNumCommands();
    const int variables = Velmora::Console::getNumVariables();
    QCOMPARE(capture.count(QStringLiteral("---- commands: %1 ----\n").arg(commands), 0), 1);
    QCOMPARE(capture.count(QStringLiteral("---- variables: %1 ----\n").arg(variables), 0), 1);
    QCOMPARE(capture.count(QStringLiteral("  help - lists the console commands and variables\n"), 0), 1);
    QCOMPARE(capture.count(QStringLiteral("  world_load - loads a world: world_load \"path\"\n"), 0), 1);
    QCOMPARE(capture.count(QStringLiteral("  engine_version_info - engine version and revision\n"), 0), 1);
    QCOMPARE(capture.count(QStringLiteral("  "), 0), commands + variables);
    QCOMPARE(capture.errors(), 0);
}

void TestEngine::shutdown_quits_the_world_and_makes_get_null()
{
    RecordingLogic logic;
    Installation installation;
    QVERIFY(installation.writeData(QStringLiteral("w.world"), "<world/>"));
    QVERIFY(installation.start({}, nullptr, &logic));
    QVERIFY(Velmora::World::load("w"));
    QVERIFY(Velmora::Gui::get());
    Velmora::Engine::shutdown();
    QVERIFY(Velmora::Engine::get() == nullptr);
    QCOMPARE(logic.calls, (QStringList{QStringLiteral("worldInit"), QStringLiteral("worldShutdown")}));
    QVERIFY(!Velmora::World::isLoaded());
    QVERIFY(Velmora::Gui::get() == nullptr);
    QCOMPARE(Velmora::Console::getNumCommands(), 0);
    // The world file itself is untouched by the quit.
    QCOMPARE(installation.readData(QStringLiteral("w.world")), QByteArray("<world/>"));
}

void TestEngine::calls_after_shutdown_log_one_error_and_return_empty()
{
    {
        Installation installation;
        QVERIFY(installation.start());
    }
    LogCapture log;
    QVERIFY(!Velmora::World::getNodeById(1));
    QVERIFY(!Velmora::World::getNodeById(2));
    QVERIFY(!Velmora::World::load("anything"));
    QVERIFY(!Velmora::Editor::getPlayer());
    QCOMPARE(log.count(QStringLiteral("World::getNodeById"), 2), 1);
    QCOMPARE(log.count(QStringLiteral("World::load"), 2), 1);
    QCOMPARE(log.count(QStringLiteral("Editor::getPlayer"), 2), 1);
}

void TestEngine::a_second_init_while_running_is_refused()
{
    Installation installation;
    Velmora::Engine *engine = installation.start();
    QVERIFY(engine);
    LogCapture log;
    char arg0[] = "x";
    char *argv[] = {arg0};
    QVERIFY(Velmora::Engine::init(Velmora::ENGINE_VERSION, nullptr, 1, argv) == nullptr);
    QCOMPARE(Velmora::Engine::get(), engine);
    QCOMPARE(log.errors(), 1);
}

void TestEngine::random_numbers_repeat_for_a_seed_and_stay_between_the_bounds()
{
    Installation installation;
    QVERIFY(installation.start({QStringLiteral("-random_seed"), QStringLiteral("77")}));
    QVector<double> first;
    for (int i = 0; i < 50; ++i) {
        const float f = Velmora::Game::getRandomFloat(5.0f, -5.0f); // either order
        QVERIFY(f >= -5.0f && f <= 5.0f);
        first << double(f) << Velmora::Game::getRandomDouble(1.0, 2.0);
        QVERIFY(first.last() >= 1.0 && first.last() <= 2.0);
    }
    Velmora::Game::setRandomSeed(77);
    QVector<double> second;
    for (int i = 0; i < 50; ++i)
        second << double(Velmora::Game::getRandomFloat(5.0f, -5.0f)) << Velmora::Game::getRandomDouble(1.0, 2.0);
    QCOMPARE(second, first);
    QVERIFY(std::count(first.begin(), first.end(), first[0]) < 3);

    Velmora::Game::setRandomSource([] { return 0.5; });
    QCOMPARE(Velmora::Game::getRandomFloat(2.0f, 4.0f), 3.0f);
    QCOMPARE(Velmora::Game::getRandomInt(0, 10), 5);
}

void TestEngine::only_the_thread_that_started_the_engine_is_the_main_thread()
{
    Installation installation;
    QVERIFY(installation.start());
    QVERIFY(Velmora::Engine::isMainThread());
    bool other = true;
    QThread *thread = QThread::create([&other] { other = Velmora::Engine::isMainThread(); });
    thread->start();
    QVERIFY(thread->wait(5000));
    delete thread;
    QVERIFY(!other);
}

namespace {

// Records whether the world file is on disk when worldSave arrives.
class SaveCheckingLogic : public RecordingLogic
{
public:
    QString file;
    bool file_present_at_save = false;
    void worldSave() override
    {
        file_present_at_save = QFile::exists(file);
        RecordingLogic::worldSave();
    }
};

} // namespace

void TestEngine::world_commands_save_before_reporting_and_quit_the_world()
{
    Installation installation;
    QVERIFY(installation.writeData(QStringLiteral("maps/m.world"),
                                   "<world><node type=\"NodeDummy\" id=\"1\" name=\"n\"/></world>"));
    SaveCheckingLogic logic;
    logic.file = installation.dataPath() + QStringLiteral("maps/saved.world");
    QVERIFY(installation.start({}, nullptr, &logic));
    for (const char *line : {"world_load maps/m", "world_save \"maps/saved\"", "world_quit", "world_quit"})
        Velmora::Console::run(line);
    Velmora::Console::flush();
    QVERIFY(logic.file_present_at_save);
    QCOMPARE(logic.calls,
             (QStringList{QStringLiteral("worldInit"), QStringLiteral("worldSave"), QStringLiteral("worldShutdown")}));
    QVERIFY(!Velmora::World::isLoaded());

    LogCapture log;
    Velmora::Console::run("world_save");
    Velmora::Console::run("world_load maps/none");
    Velmora::Console::flush();
    QCOMPARE(log.errors(), 2);
}

QTEST_GUILESS_MAIN(TestEngine)
#include "tst_engine.moc"
