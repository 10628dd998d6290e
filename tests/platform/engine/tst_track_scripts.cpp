// Track files and the built-in editor script: the track editor's load,
// save and clear, and the video grabber's track player over world nodes.

#include "engine_runtime_fixture.h"

#include "velmora/Editor.h"
#include "velmora/Engine.h"
#include "velmora/Game.h"
#include "velmora/Gui.h"
#include "velmora/Interpreter.h"
#include "velmora/Node.h"
#include "velmora/Player.h"
#include "velmora/Widget.h"
#include "velmora/World.h"

#include <QtTest>

using namespace Velmora;

namespace {

const QByteArray TRACK_GUID = enginetest::guid('d', 301);
const QByteArray BROKEN_GUID = enginetest::guid('d', 302);
const QByteArray CRATE_FIRST_GUID = enginetest::guid('d', 303);
const QByteArray CRATE_ONLY_GUID = enginetest::guid('d', 304);
const QByteArray PIPE_GUID = enginetest::guid('d', 305);
const QByteArray ZERO_GUID = enginetest::guid('d', 306);

QByteArray translation(float x, float y, float z)
{
    return QByteArray("1 0 0 0  0 1 0 0  0 0 1 0  ") + QByteArray::number(x) + " " + QByteArray::number(y) + " "
            + QByteArray::number(z) + " 1";
}

// A transform entry of a track: node from x0 at time 0 to x2 at time 2.
QByteArray path(const char *node, float x0, float x2, float y)
{
    return QByteArray("  <parameter type=\"node.transform\" node=\"") + node + "\">\n    <key time=\"0\">"
            + translation(x0, y, 5) + "</key>\n    <key time=\"2\">" + translation(x2, y, 5)
            + "</key>\n  </parameter>\n";
}

QByteArray trackFile(const QByteArray &parameters)
{
    return "<track version=\"1\" unit_time=\"1\" max_time=\"2\">\n" + parameters + "</track>\n";
}

} // namespace

class TestTrackScripts : public QObject
{
    Q_OBJECT

    enginetest::Installation installation_;
    int group_ = -1;
    int pressed_ = 0;

    Variable run(const char *name, const Variable &arg)
    {
        Engine *engine = Engine::get();
        return engine->runFunction(Variable(engine->findFunction(name, 1)), arg);
    }
    Variable run(const char *name)
    {
        Engine *engine = Engine::get();
        return engine->runFunction(Variable(engine->findFunction(name, 0)));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(installation_.writeData(
                QStringLiteral("worlds/farm.world"),
                "<world version=\"1\">\n  <node type=\"PlayerDummy\" id=\"1\" name=\"camera_1\">\n    <transform>"
                        + translation(0, 0, 5)
                        + "</transform>\n  </node>\n  <node type=\"NodeDummy\" id=\"2\" name=\"crate\">\n"
                          "    <transform>"
                        + translation(0, 50, 0) + "</transform>\n  </node>\n</world>\n"));
        QVERIFY(installation_.writeAsset(QStringLiteral("tracks/fly.track"),
                                         "<track version=\"1\" unit_time=\"0.5\" max_time=\"2\">\n"
                                         "  <parameter type=\"node.transform\" node=\"camera_1\">\n"
                                         "    <key time=\"0\">"
                                                 + translation(0, 0, 5) + "</key>\n    <key time=\"2\">"
                                                 + translation(10, 0, 5) + "</key>\n  </parameter>\n</track>\n",
                                         TRACK_GUID, 13));
        QVERIFY(installation_.writeAsset(QStringLiteral("tracks/broken.track"), "<track><parameter", BROKEN_GUID, 13));
        QVERIFY(installation_.writeAsset(QStringLiteral("tracks/pipe.track"), "<track/>", PIPE_GUID, 13));
        QVERIFY(installation_.writeAsset(QStringLiteral("tracks/zero.track"), "<track/>", ZERO_GUID, 13));
        QVERIFY(installation_.writeAsset(QStringLiteral("tracks/crate_first.track"),
                                         trackFile(path("crate", 0, 20, 50) + path("camera_1", 0, -20, 0)),
                                         CRATE_FIRST_GUID, 13));
        QVERIFY(installation_.writeAsset(QStringLiteral("tracks/crate_only.track"), trackFile(path("crate", 0, 20, 50)),
                                         CRATE_ONLY_GUID, 13));
        QVERIFY(installation_.start());
        QVERIFY(World::load("worlds/farm"));
        // The Tracker's callbacks exist before the script loads.
        group_ = Interpreter::addGroup("Tamsel2Callbacks");
        Interpreter::addExternDefine("HAS_TAMSEL2", group_);
        Interpreter::addExternLibrary("tamsel2_callbacks", group_);
        Interpreter::addExternFunction(
                "tamsel2_callbacks.manipulatorPressed", 0,
                [this](const Variables &) {
                    ++pressed_;
                    return Variable();
                },
                group_);
        Interpreter::addExternFunction(
                "tamsel2_callbacks.manipulatorReleased", 0, [](const Variables &) { return Variable(); }, group_);
        enginetest::LogCapture log;
        QVERIFY(Editor::load("tamsel2/editor.usc"));
        QCOMPARE(log.count(QStringLiteral("tamsel2_callbacks")), 0);
    }
    void cleanupTestCase()
    {
        Interpreter::removeGroup(group_);
        installation_.stop();
    }

    void the_grabber_plays_a_track_on_world_nodes_and_restores_them()
    {
        QVERIFY(run("VideoGrabber::init").isNone());
        QCOMPARE(run("VideoGrabber::track_is_loaded").getInt(), 0);
        QCOMPARE(run("VideoGrabber::load_track", Variable(TRACK_GUID.constData())).getInt(), 1);
        QCOMPARE(QByteArray(Engine::get()->getError()), QByteArray());
        QCOMPARE(run("VideoGrabber::track_is_loaded").getInt(), 1);
        QCOMPARE(run("VideoGrabber::track_get_max_time").getFloat(), 2.0f);
        QCOMPARE(run("VideoGrabber::track_get_unit_time").getFloat(), 0.5f);

        const Ptr<Node> camera = World::getNodeByName("camera_1");
        QVERIFY(camera);
        run("VideoGrabber::track_set", Variable(0.5f));
        QCOMPARE(camera->getWorldTransform().getTranslate().x, 2.5f);
        run("VideoGrabber::track_set", Variable(5.0f)); // clamped to the last key
        QCOMPARE(camera->getWorldTransform().getTranslate().x, 10.0f);
        run("VideoGrabber::reset_track");
        QCOMPARE(camera->getWorldTransform().getTranslate().x, 0.0f);
        QCOMPARE(run("VideoGrabber::track_is_loaded").getInt(), 0);
    }

    void the_camera_path_moves_no_camera_the_track_names_data()
    {
        QTest::addColumn<QByteArray>("track");
        QTest::addColumn<float>("game_camera_x");
        QTest::addColumn<float>("game_camera_y");
        // The crate's path comes first. camera_1, the world's first player
        // and so the game camera, follows its own path when it has one, and
        // the camera path when it has none.
        QTest::newRow("game camera named") << CRATE_FIRST_GUID << -10.0f << 0.0f;
        QTest::newRow("game camera not named") << CRATE_ONLY_GUID << 10.0f << 50.0f;
    }
    void the_camera_path_moves_no_camera_the_track_names()
    {
        QFETCH(QByteArray, track);
        QFETCH(float, game_camera_x);
        QFETCH(float, game_camera_y);
        const Ptr<Node> crate = World::getNodeByName("crate");
        const Ptr<Node> camera = World::getNodeByName("camera_1");
        QCOMPARE(Game::getPlayer().get(), static_cast<Node *>(camera.get()));
        run("VideoGrabber::init");
        const mat4 editor_start = Editor::getPlayer()->getWorldTransform();
        QCOMPARE(run("VideoGrabber::load_track", Variable(track.constData())).getInt(), 1);

        run("VideoGrabber::track_set", Variable(1.0f));
        QCOMPARE(crate->getWorldTransform().getTranslate(), vec3(10, 50, 5));
        QCOMPARE(camera->getWorldTransform().getTranslate(), vec3(game_camera_x, game_camera_y, 5));
        // The editor camera is named by neither: it flies the camera path.
        QCOMPARE(Editor::getPlayer()->getWorldTransform().getTranslate(), vec3(10, 50, 5));

        run("VideoGrabber::reset_track");
        QCOMPARE(camera->getWorldTransform().getTranslate(), vec3(0, 0, 5));
        QCOMPARE(crate->getWorldTransform().getTranslate(), vec3(0, 50, 0));
        QVERIFY(Editor::getPlayer()->getWorldTransform() == editor_start);
        run("VideoGrabber::shutdown");
    }

    void bad_tracks_fail_with_the_reason_in_the_error_text_data()
    {
        QTest::addColumn<QByteArray>("guid");
        QTest::addColumn<QByteArray>("error");
        QTest::newRow("unknown guid") << enginetest::guid('e', 999) << QByteArray("file not found");
        QTest::newRow("malformed xml") << BROKEN_GUID << QByteArray("parse error");
        QTest::newRow("not a guid") << QByteArray("tracks/fly.track") << QByteArray("file not found");
        // Never waited on, never read for ever.
        QTest::newRow("FIFO") << PIPE_GUID << QByteArray("not a regular file");
        QTest::newRow("link to a device") << ZERO_GUID << QByteArray("not a regular file");
    }
    void bad_tracks_fail_with_the_reason_in_the_error_text()
    {
        QFETCH(QByteArray, guid);
        QFETCH(QByteArray, error);
        // Put in place after the index was read, as a user would.
        const QString pipe = installation_.dataPath() + QStringLiteral("tracks/pipe.track");
        const QString zero = installation_.dataPath() + QStringLiteral("tracks/zero.track");
        if (guid == PIPE_GUID && QFileInfo(pipe).isFile())
            QVERIFY(test::makeFifo(pipe));
        if (guid == ZERO_GUID && !QFileInfo(zero).isSymLink())
            QVERIFY(test::linkToDevice(zero));
        QCOMPARE(run("VideoGrabber::load_track", Variable(guid.constData())).getInt(), 0);
        QVERIFY2(QByteArray(Engine::get()->getError()).startsWith(error), Engine::get()->getError());
        QCOMPARE(run("VideoGrabber::track_is_loaded").getInt(), 0);
        QCOMPARE(run("load_track", Variable(guid.constData())).getInt(), 0);
        QVERIFY(QByteArray(Engine::get()->getError()).startsWith(error));
    }

    void the_track_editor_records_keys_saves_and_reads_them_back()
    {
        Ptr<Gui> gui = Gui::create("test/");
        void *interp = Engine::get()->getInterpreter();
        Ptr<Widget> load = WidgetButton::create(gui, "Load");
        const Variable content = Engine::get()->runFunction(
                Variable(Engine::get()->findFunction("tracker_init", 4)), Variable(interp, gui), Variable(interp, load),
                Variable(interp, Ptr<Widget>(WidgetButton::create(gui, "Save"))),
                Variable(interp, Ptr<Widget>(WidgetButton::create(gui, "Clear"))));
        Ptr<Widget> widget = content.getWidget(interp);
        QVERIFY(widget);
        gui->addChild(widget);
        widget->arrange();
        QVERIFY(widget->getWidth() > 0 && widget->getHeight() > 0);

        Ptr<PlayerDummy> player = PlayerDummy::create();
        player->setName("cam");
        run("set_viewport_player", Variable(interp, Ptr<Player>(player)));
        QCOMPARE(run("load_track", Variable(TRACK_GUID.constData())).getInt(), 1);
        // Playback moves the viewport player along the track: 0.5 s per
        // unit at 0.1 s per frame.
        Widget *play = widget->getChild(0)->getChild(3).get();
        gui->setMouse(play->getScreenPositionX() + 2, play->getScreenPositionY() + 2, Gui::BUTTON_LEFT);
        gui->setMouse(play->getScreenPositionX() + 2, play->getScreenPositionY() + 2, 0);
        gui->update(0.0f);
        run("tracker_update");
        QCOMPARE(player->getWorldTransform().getTranslate().x, 1.0f);

        // Dragging the time slider is a manipulator grab.
        Widget *slider = widget->getChild(2).get();
        const int before = pressed_;
        gui->setMouse(slider->getScreenPositionX() + 2, slider->getScreenPositionY() + 2, Gui::BUTTON_LEFT);
        gui->setMouse(slider->getScreenPositionX() + 2, slider->getScreenPositionY() + 2, 0);
        gui->update(0.0f);
        QCOMPARE(pressed_, before + 1);

        // The viewport controls go with the hand-over, in one viewport at a time.
        Ptr<Gui> first = Gui::create("test/");
        Ptr<Gui> second = Gui::create("test/");
        run("set_viewport_gui", Variable(interp, first));
        run("set_viewport_gui", Variable(interp, second));
        QCOMPARE(first->getNumChildren(), 0);
        QCOMPARE(second->getNumChildren(), 1);
        run("set_viewport_gui", Variable(interp, Ptr<Gui>()));
        QCOMPARE(second->getNumChildren(), 0);
        // Docked narrower than the content was made (but wide enough for its
        // buttons), the time slider still ends inside the window.
        gui->setSize(std::max(widget->getChild(0)->getWidth(), widget->getChild(1)->getWidth()) + 12, 200);
        run("tracker_update");
        gui->update(0.0f);
        QVERIFY(slider->getScreenPositionX() + slider->getWidth() <= gui->getWidth());

        const QString saved = installation_.dataPath() + QStringLiteral("tracks/copy.track");
        QCOMPARE(run("save_track", Variable(saved.toUtf8().constData())).getInt(), 1);
        run("clear_track");
        checkSavedTrack(saved);
        QCOMPARE(run("save_track", Variable("/nonexistent/dir/x.track")).getInt(), 0);
        QVERIFY(QByteArray(Engine::get()->getError()).startsWith("cannot write"));
        run("tracker_shutdown");
    }

private:
    void checkSavedTrack(const QString &saved)
    {
        // The saved file is a track file with both keys, readable by the grabber half.
        const QByteArray text = installation_.readData(QStringLiteral("tracks/copy.track"));
        QVERIFY(text.contains("node=\"camera_1\""));
        QCOMPARE(text.count("<key "), 2);
        QVERIFY(QFileInfo(saved).isFile());
    }
};

QTEST_MAIN(TestTrackScripts)
#include "tst_track_scripts.moc"
