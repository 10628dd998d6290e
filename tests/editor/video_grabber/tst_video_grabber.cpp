// The video grab state's setter rules and the capture loop over a real
// engine frame loop: single shots, track sequences (frame count, warm-up,
// numbering, formats, import) and the ways a grab fails or is aborted.

#include "editor/tracker/tracker.h"
#include "editor/video_grabber/video_grabber_controller.h"
#include "editor/video_grabber/video_grabber_state.h"

#include "capture_shell.h"
#include "grab_frames.h"

#include <editor_core/UpdateLock.h>
#include <editor_core/ViewportWindowScene.h>
#include <editor_core/depr/EditorGlobals.h>

#include <velmora/Editor.h>
#include <velmora/FileSystem.h>
#include <velmora/Game.h>
#include <velmora/Gui.h>
#include <velmora/Image.h>
#include <velmora/Node.h>
#include <velmora/Player.h>
#include <velmora/Widget.h>
#include <velmora/World.h>

#include <QtTest>

#include <cmath>
#include <limits>

using Velmora::Image;

class TestVideoGrabber : public QObject
{
    Q_OBJECT

    test::CaptureShell *shell_ = nullptr;
    Tracker *tracker_ = nullptr;
    VideoGrabberState *state_ = nullptr;
    VideoGrabberController *controller_ = nullptr;
    QStringList warnings_;
    QList<VideoGrabberState::State> states_;

    // Requests a grab and runs frames until it is over; returns the frames run.
    int grab(int max_frames = 400)
    {
        states_.clear();
        return grabFrames(*shell_, *state_, *controller_, max_frames);
    }
    QString folder(const QString &name) const { return shell_->dataPath() + name; }
    static QStringList files(const QString &path)
    {
        QStringList found = QDir(path).entryList({QStringLiteral("frame_*")}, QDir::Files, QDir::Name);
        found.erase(std::remove_if(found.begin(), found.end(),
                                   [](const QString &name) { return name.endsWith(QLatin1String(".meta")); }),
                    found.end());
        return found;
    }
    void sequence(const QString &folder_name, float fps, VideoGrabberState::Format format = VideoGrabberState::PNG)
    {
        state_->setMode(VideoGrabberState::SEQUENCE);
        state_->setTrackGUID(Velmora::UGUID(test::CaptureShell::TRACK_GUID));
        state_->setFps(fps);
        state_->setFormat(format);
        state_->setSavePath(folder(folder_name));
    }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale::c());
        shell_ = new test::CaptureShell;
        QVERIFY(shell_->isValid());
        QVERIFY(shell_->writeData(QStringLiteral("tracks/still.track"),
                                  "<track version=\"1\" unit_time=\"0\" max_time=\"1\"/>\n"));
        QVERIFY(shell_->writeData(QStringLiteral("tracks/still.track.meta"),
                                  "<asset version=\"1\" guid=\"ddddd00000000000000000000000000000000302\"/>\n"));
        QVERIFY(Velmora::FileSystem::rescan());
        tracker_ = new Tracker(shell_->mainWindow());
        depr::gui.tracker = tracker_;
        QVERIFY(::Velmora::Editor::load("tamsel2/editor.usc"));
        tracker_->init();
        QVERIFY(shell_->loadWorld());
        shell_->assets()->rescan();
        QTRY_VERIFY(!shell_->assets()->asset(QStringLiteral("tracks/still.track")).getGUID().isEmpty());
        VideoGrabberState::setWarningHandler(
                [this](const QString &title, const QString &text) { warnings_ << title + QLatin1Char('|') + text; });
        state_ = new VideoGrabberState(shell_->mainWindow());
        controller_ = new VideoGrabberController(state_);
        controller_->init();
        connect(state_, &VideoGrabberState::stateChanged, this,
                [this](VideoGrabberState::State state) { states_ << state; });
        state_->setWidth(64);
        state_->setHeight(48);
    }
    void cleanupTestCase() { deleteGrabber(shell_, tracker_, state_, controller_); }
    void init()
    {
        warnings_.clear();
        state_->setMode(VideoGrabberState::SINGLE_SHOT);
        state_->setCameraName(QStringLiteral("camera_1"));
        state_->setAntialiasing(VideoGrabberState::AA_NONE);
        state_->setAlphaMask(false);
        state_->setWarmupFrames(0);
        state_->setWidth(64);
        state_->setHeight(48);
    }

    void setters_clamp_and_tie_the_fields_together()
    {
        VideoGrabberState state;
        QList<float> fps;
        connect(&state, &VideoGrabberState::fpsChanged, this, [&fps](float value) { fps << value; });
        state.setFps(0.0f);
        state.setFps(-1.0f);
        state.setFps(std::numeric_limits<float>::quiet_NaN());
        QCOMPARE(state.getFps(), 0.1f);
        QCOMPARE(fps, (QList<float>{0.1f, 0.1f}));
        state.setWidth(5);
        state.setWidth(0);
        state.setHeight(5);
        state.setHeight(-5);
        QCOMPARE(state.getWidth(), 1);
        QCOMPARE(state.getHeight(), 1);

        state.setAlphaMask(true);
        state.setFormat(VideoGrabberState::EXR);
        QVERIFY(state.isHdrColor());
        state.setFormat(VideoGrabberState::JPG);
        QVERIFY(!state.isHdrColor());
        QVERIFY(!state.isAlphaMask());
        state.setAlphaMask(true);
        QVERIFY(!state.isAlphaMask());

        QList<VideoGrabberState::State> seen;
        connect(&state, &VideoGrabberState::stateChanged, this,
                [&seen](VideoGrabberState::State value) { seen << value; });
        state.setCameraName(QStringLiteral("nobody"));
        state.setState(VideoGrabberState::START_REQUESTED);
        QCOMPARE(state.getState(), VideoGrabberState::IDLE);
        QCOMPARE(seen, QList<VideoGrabberState::State>{VideoGrabberState::IDLE});
        QCOMPARE(warnings_, QStringList{QStringLiteral("Warning|Can't find \"nobody\" player")});
    }

    void cameras_are_listed_and_found_by_their_utf8_names()
    {
        Velmora::Ptr<Velmora::Node> camera = Velmora::World::getNodeByName("camera_1");
        camera->setName("kamera_\xc3\xa9t\xc3\xa9");
        VideoGrabberState state;
        const QString name = QString::fromUtf8("kamera_\xc3\xa9t\xc3\xa9");
        QCOMPARE(state.availableCameras(), (QStringList{"Editor Camera", "Game Camera", name}));
        state.setCameraName(name);
        QCOMPARE(static_cast<Velmora::Node *>(state.getPlayer().get()), camera.get());
        camera->setName("camera_1");
    }

    void very_high_resolutions_are_recognised_without_overflow_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("aa");
        QTest::addColumn<bool>("too_high");
        QTest::newRow("4K plain") << 3840 << 2160 << 0 << false;
        QTest::newRow("HD at 2x") << 1920 << 1080 << 1 << false;
        QTest::newRow("one column more at 2x") << 1921 << 1080 << 1 << true;
        QTest::newRow("huge at 4x") << 100000 << 100000 << 2 << true;
    }
    void very_high_resolutions_are_recognised_without_overflow()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, aa);
        QFETCH(bool, too_high);
        VideoGrabberState state;
        state.setWidth(width);
        state.setHeight(height);
        state.setAntialiasing(VideoGrabberState::AA(aa));
        QCOMPARE(state.isResolutionTooHigh(), too_high);
    }

    void a_single_shot_settles_for_31_frames_and_writes_one_file()
    {
        state_->setFormat(VideoGrabberState::TGA);
        state_->setSavePath(folder(QStringLiteral("single")));
        const int frames = grab();
        // Start, first render, 31 settling frames, then the save.
        QCOMPARE(frames, 34);
        QCOMPARE(files(folder(QStringLiteral("single"))), QStringList{"frame_0000.tga"});
        QCOMPARE(states_,
                 (QList<VideoGrabberState::State>{VideoGrabberState::START_REQUESTED, VideoGrabberState::GRABBING,
                                                  VideoGrabberState::SAVED, VideoGrabberState::IDLE}));
        QCOMPARE(state_->getImagePath(), QStringLiteral("frame_0000.tga"));
        Image saved;
        QVERIFY(saved.load((folder(QStringLiteral("single/frame_0000.tga"))).toUtf8().constData()));
        QCOMPARE(saved.getFormat(), int(Image::FORMAT_RGB8));
        QCOMPARE(QSize(saved.getWidth(), saved.getHeight()), QSize(64, 48));
        const Image &last = *controller_->image();
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(saved.getPixels()), int(saved.getSize())),
                 QByteArray(reinterpret_cast<const char *>(last.getPixels()), int(last.getSize())));
        // Inside the data folder: imported as a texture.
        QVERIFY(!shell_->assets()->asset(QStringLiteral("single/frame_0000.tga")).getGUID().isEmpty());
    }

    void a_relative_save_folder_is_inside_the_data_folder()
    {
        const QString relative = QStringLiteral("relative shots/\u00e9t\u00e9");
        QVERIFY(!QDir::current().exists(QStringLiteral("relative shots")));
        state_->setFormat(VideoGrabberState::PNG);
        state_->setSavePath(relative);
        grab();
        const QStringList first = files(folder(relative));
        QCOMPARE(first.size(), 1);
        QVERIFY(!QDir::current().exists(QStringLiteral("relative shots")));
        QVERIFY(!shell_->assets()->asset(relative + QLatin1Char('/') + first.first()).getGUID().isEmpty());
        // The numbering reads the same folder.
        grab();
        QCOMPARE(files(folder(relative)).size(), 2);
    }

    void a_sequence_takes_a_frame_at_every_step_up_to_the_track_end_data()
    {
        QTest::addColumn<float>("fps");
        QTest::addColumn<int>("expected");
        QTest::newRow("10 fps") << 10.0f << 21;
        QTest::newRow("15 fps") << 15.0f << 31; // float accumulation would lose the last one
        QTest::newRow("7 fps") << 7.0f << 15; // 2 / (1/7) = 14 steps
    }
    void a_sequence_takes_a_frame_at_every_step_up_to_the_track_end()
    {
        QFETCH(float, fps);
        QFETCH(int, expected);
        const QString name = QStringLiteral("seq_%1").arg(int(fps));
        sequence(name, fps);
        int max_current = 0;
        bool tracker_off = false;
        bool frames_kept = true;
        double step = 0.0;
        QMetaObject::Connection watch = connect(state_, &VideoGrabberState::currentFrameChanged, this, [&](int frame) {
            max_current = std::max(max_current, frame);
            tracker_off = tracker_off || !tracker_->isUpdateEnabled();
            // Frames go on while another application is in front.
            frames_kept = frames_kept && UpdateLock::isAlwaysUpdate();
            step = controller_->timeStep();
        });
        grab();
        disconnect(watch);
        QCOMPARE(state_->getNumFrames(), expected);
        QCOMPARE(files(folder(name)).size(), expected);
        QCOMPARE(max_current, expected); // the progress reaches N of N, never more
        QVERIFY(tracker_off);
        QVERIFY(tracker_->isUpdateEnabled());
        QVERIFY(frames_kept);
        QVERIFY(!UpdateLock::isAlwaysUpdate());
        QCOMPARE(step, 1.0 / double(fps));
        // The camera moved along the track: first and last frames differ,
        // and the track's nodes are back where they were.
        QVERIFY(fileBytes(folder(name) + QStringLiteral("/frame_0000.png"))
                != fileBytes(folder(name) + QStringLiteral("/") + files(folder(name)).last()));
        QCOMPARE(Velmora::World::getNodeByName("camera_1")->getWorldTransform().getTranslate().x, 0.0f);
        shell_->pumpFrames(1);
        QCOMPARE(Velmora::Game::getIFps(), 0.1f); // real (here: fixed) steps again
    }

    void warm_up_advances_the_game_frames_before_the_first_capture()
    {
        sequence(QStringLiteral("warm"), 1.0f);
        state_->setWarmupFrames(3);
        state_->setState(VideoGrabberState::START_REQUESTED);
        shell_->pumpFrames(1); // start
        const int game_frame = Velmora::Game::getFrame();
        shell_->pumpFrames(5); // warm-up scheduled, then 4 warm-up frames
        QCOMPARE(files(folder(QStringLiteral("warm"))).size(), 0);
        QCOMPARE(Velmora::Game::getFrame(), game_frame + 5 + 4);
        shell_->pumpFrames(1);
        QCOMPARE(files(folder(QStringLiteral("warm"))).size(), 1);
        grab();
    }

    void numbering_starts_after_the_highest_frame_file_data()
    {
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QString>("first");
        QTest::newRow("two numbered files")
                << QStringList{"frame_0041.png", "frame_0007.tga"} << QStringLiteral("frame_0042.png");
        QTest::newRow("names that do not count")
                << QStringList{"frame_12.png", "frame_0042.png.bak", "Frame_0099.png", "frame_x0099.png"}
                << QStringLiteral("frame_0000.png");
        // Every width counts, and a name of any kind: the highest number
        // is followed, even past a gap.
        QTest::newRow("five digits and more") << QStringList{"frame_00042.png", "frame_0007.tga", "frame_0099.png/"}
                                              << QStringLiteral("frame_0100.png");
        QTest::newRow("past 9999 after the highest")
                << QStringList{"frame_9999.png", "frame_10000.png", "frame_10002.png", "frame_123456.tga"}
                << QStringLiteral("frame_123457.png");
        // Never over a name in use: past 9999 the numbers take more digits,
        // names taken by a folder or a link (even a dangling one, whose
        // target lies outside the data folder) are skipped.
        QTest::newRow("past 9999") << QStringList{"frame_9999.png", "frame_0000.png"}
                                   << QStringLiteral("frame_10000.png");
        QTest::newRow("a folder takes the next name")
                << QStringList{"frame_0041.png", "frame_0042.png/"} << QStringLiteral("frame_0043.png");
        QTest::newRow("a dangling link takes its name")
                << QStringList{"frame_0000.png@"} << QStringLiteral("frame_0001.png");
        // Numbers at the top of a 64-bit counter, or past it, keep their
        // names and are not followed; after the top the numbers start again.
        QTest::newRow("the top of 64 bits and more digits")
                << QStringList{"frame_0041.png", "frame_9223372036854775807.png",
                               "frame_" + QString(30, QLatin1Char('9')) + ".png"}
                << QStringLiteral("frame_0042.png");
        QTest::newRow("the last 64-bit number")
                << QStringList{"frame_9223372036854775806.png"} << QStringLiteral("frame_9223372036854775807.png");
    }
    void numbering_starts_after_the_highest_frame_file()
    {
        QFETCH(QStringList, existing);
        QFETCH(QString, first);
        // A fresh controller: its first grab scans the folder.
        VideoGrabberController controller(state_);
        controller.init();
        delete controller_;
        controller_ = &controller;
        // However this ends, the other tests get a controller of their own.
        struct Restore
        {
            TestVideoGrabber *test;
            ~Restore()
            {
                test->controller_ = new VideoGrabberController(test->state_);
                test->controller_->init();
            }
        } restore{this};
        const QString path = folder(QStringLiteral("numbers_%1").arg(QTest::currentDataTag()));
        const QString outside = shell_->root() + QStringLiteral("/outside_link_target.png");
        QDir().mkpath(path);
        for (const QString &name : existing) {
            if (name.endsWith(QLatin1Char('/')))
                QDir().mkpath(path + QLatin1Char('/') + name);
            else if (name.endsWith(QLatin1Char('@')))
                QVERIFY(QFile::link(outside, path + QLatin1Char('/') + name.chopped(1)));
            else
                QVERIFY(shell_->writeData(QDir(shell_->dataPath()).relativeFilePath(path + QLatin1Char('/') + name),
                                          "x"));
        }
        state_->setFormat(VideoGrabberState::PNG);
        state_->setSavePath(path);
        grab();
        QVERIFY2(QFileInfo::exists(path + QLatin1Char('/') + first), qPrintable(files(path).join(' ')));
        QVERIFY(!states_.contains(VideoGrabberState::FAILED));
        for (const QString &name : existing) {
            if (name.endsWith(QLatin1Char('@'))) {
                QVERIFY(QFileInfo(path + QLatin1Char('/') + name.chopped(1)).isSymLink());
                QVERIFY(!QFileInfo::exists(path + QLatin1Char('/') + name.chopped(1) + QStringLiteral(".meta")));
            } else if (!name.endsWith(QLatin1Char('/'))) {
                QCOMPARE(fileBytes(path + QLatin1Char('/') + name), QByteArray("x"));
            }
        }
        QVERIFY(!QFileInfo::exists(outside));
        // Nothing of the write is left beside the frames.
        QCOMPARE(QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot).size(),
                 existing.size() + 2);
        const qint64 after = controller.nextFrame();
        grab();
        QCOMPARE(controller.nextFrame(), after + 1); // later grabs go on from there
    }

    void exr_frames_hold_linearised_clamped_half_floats()
    {
        Image image;
        QVERIFY(image.create2D(2, 1, Image::FORMAT_RGBA16F));
        const float nan = std::numeric_limits<float>::quiet_NaN();
        image.set2D(0, 0, Image::Pixel::fromFloat(-0.5f, 0.5f, 1.7f, nan));
        image.set2D(1, 0, Image::Pixel::fromFloat(1.0f, 0.0f, 0.25f, 0.5f));
        VideoGrabberController::linearize(image);
        QCOMPARE(image.getFormat(), int(Image::FORMAT_RGBA16F));
        const Image::Pixel a = image.get2D(0, 0);
        const Image::Pixel b = image.get2D(1, 0);
        QCOMPARE(a.f.r, 0.0f);
        QCOMPARE(a.f.g, Image::halfToFloat(Image::floatToHalf(std::pow(0.5f, 2.2f))));
        QCOMPARE(a.f.b, 1.0f);
        QCOMPARE(a.f.a, 0.0f);
        QCOMPARE(b.f.a, Image::halfToFloat(Image::floatToHalf(std::pow(0.5f, 2.2f))));

        // A whole EXR grab, with the alpha mask: half RGBA in the file.
        state_->setFormat(VideoGrabberState::EXR);
        state_->setAlphaMask(true);
        state_->setSavePath(folder(QStringLiteral("exr")));
        grab();
        Image saved;
        QVERIFY(saved.load(folder(QStringLiteral("exr/frame_0000.exr")).toUtf8().constData()));
        QCOMPARE(saved.getFormat(), int(Image::FORMAT_RGBA16F));
        for (int y = 0; y < saved.getHeight(); y += 7)
            for (int x = 0; x < saved.getWidth(); x += 7) {
                const Image::Pixel p = saved.get2D(x, y);
                QVERIFY(p.f.r >= 0.0f && p.f.r <= 1.0f && p.f.a >= 0.0f && p.f.a <= 1.0f);
            }
    }

    void an_exr_frame_is_the_8_bit_frame_linearised()
    {
        // One render saved both ways: every channel of the EXR file is
        // pow(v / 255, 2.2) of the 8-bit file's, up to the 8-bit and half
        // float steps.
        const QString path = folder(QStringLiteral("exr_vs_8bit"));
        state_->setSavePath(path);
        for (VideoGrabberState::Format format : {VideoGrabberState::PNG, VideoGrabberState::EXR}) {
            state_->setFormat(format);
            grab();
        }
        const QStringList written = files(path);
        Image ldr;
        Image hdr;
        QVERIFY(written.size() == 2 && ldr.load(qPrintable(path + QLatin1Char('/') + written[0]))
                && hdr.load(qPrintable(path + QLatin1Char('/') + written[1])));
        QCOMPARE(QSize(hdr.getWidth(), hdr.getHeight()), QSize(ldr.getWidth(), ldr.getHeight()));
        float worst = 0.0f;
        int mid_tones = 0;
        for (int y = 0; y < ldr.getHeight(); ++y)
            for (int x = 0; x < ldr.getWidth(); ++x) {
                const Image::Pixel a = ldr.get2D(x, y);
                const Image::Pixel b = hdr.get2D(x, y);
                for (const auto &c :
                     {std::make_pair(a.i.r, b.f.r), std::make_pair(a.i.g, b.f.g), std::make_pair(a.i.b, b.f.b)}) {
                    mid_tones += c.first > 20 && c.first < 235;
                    worst = std::max(worst, std::abs(c.second - std::pow(c.first / 255.0f, 2.2f)));
                }
            }
        QVERIFY(mid_tones > 0);
        QVERIFY2(worst < 0.01f, qPrintable(QString::number(worst)));
    }

    void a_sequence_follows_the_tracker_playback_with_every_camera_data()
    {
        QTest::addColumn<QString>("camera");
        QTest::newRow("editor camera") << QStringLiteral("Editor Camera");
        QTest::newRow("game camera") << QStringLiteral("Game Camera");
        QTest::newRow("player node") << QStringLiteral("camera_1");
    }
    void a_sequence_follows_the_tracker_playback_with_every_camera()
    {
        QFETCH(QString, camera);
        using namespace Velmora;
        // A game camera of its own, where the track starts but not named in it.
        Ptr<PlayerDummy> game = PlayerDummy::create();
        game->setName("game_view");
        game->setWorldTransform(World::getNodeByName("camera_1")->getWorldTransform());
        game->setFov(60.0f);
        Game::setPlayer(Ptr<Player>(game));
        state_->setCameraName(camera);
        const Ptr<Player> player = state_->getPlayer();
        QVERIFY(player);
        const mat4 start = player->getWorldTransform();

        // 2 fps along a track of 2 s: times 0, 0.5, 1, 1.5 and 2.
        const QString name = QStringLiteral("follow_") + QString::fromLatin1(QTest::currentDataTag()).replace(' ', '_');
        sequence(name, 2.0f);
        grab();
        const QStringList frames = files(folder(name));
        QCOMPARE(frames.size(), 5);
        for (int k = 1; k < frames.size(); ++k)
            QVERIFY2(pixels(folder(name) + QLatin1Char('/') + frames[k - 1])
                             != pixels(folder(name) + QLatin1Char('/') + frames[k]),
                     qPrintable(frames[k]));
        QVERIFY(player->getWorldTransform() == start); // put back after the grab

        // The track editor, handed a viewport that shows this camera, set
        // to time k x 0.5 on its slider; then a single shot.
        const QString scene_id = shell_->viewports()->showScene(QString());
        ViewportWindowScene *scene = shell_->viewports()->getScene(scene_id);
        if (camera != QLatin1String("Editor Camera"))
            scene->setPlayer(player);
        // The track editor is handed the viewport while its window is shown.
        tracker_->showTracker();
        shell_->pumpFrames(1);
        tracker_->setViewportPlayer(scene);
        Engine *engine = Engine::get();
        QCOMPARE(engine->runFunction(Variable(engine->findFunction("load_track", 1)),
                                     Variable(test::CaptureShell::TRACK_GUID))
                         .getInt(),
                 1);
        WidgetSlider *slider = static_cast<WidgetSlider *>(tracker_->gui()->getChild(0)->getChild(2).get());
        QCOMPARE(slider->getType(), int(Widget::WIDGET_SLIDER));
        const QString shots = name + QStringLiteral("_shots");
        for (int k : {1, 3}) {
            slider->setValue(250 * k); // of 1000 over the track's 2 s
            slider->runCallbacks(Gui::CHANGED);
            state_->setMode(VideoGrabberState::SINGLE_SHOT);
            state_->setSavePath(folder(shots));
            grab();
            QCOMPARE(pixels(folder(shots) + QLatin1Char('/') + files(folder(shots)).last()),
                     pixels(folder(name) + QLatin1Char('/') + frames[k]));
        }
        engine->runFunction(Variable(engine->findFunction("clear_track", 0)));
        tracker_->setViewportPlayer(nullptr);
        tracker_->hideTracker();
        shell_->pumpFrames(1);
        shell_->viewports()->closeScene(scene_id);
        player->setWorldTransform(start);
        Game::setPlayer(Ptr<Player>());
        state_->setCameraName(QStringLiteral("camera_1"));
    }

    void every_format_writes_files_of_the_right_shape_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<bool>("mask");
        QTest::addColumn<int>("aa");
        QTest::addColumn<int>("file_format");
        QTest::newRow("tga mask") << int(VideoGrabberState::TGA) << true << 0 << int(Image::FORMAT_RGBA8);
        QTest::newRow("png 2x") << int(VideoGrabberState::PNG) << false << 1 << int(Image::FORMAT_RGB8);
        QTest::newRow("jpg") << int(VideoGrabberState::JPG) << true << 0 << int(Image::FORMAT_RGB8);
        QTest::newRow("psd mask 4x") << int(VideoGrabberState::PSD) << true << 2 << int(Image::FORMAT_RGBA8);
        QTest::newRow("exr") << int(VideoGrabberState::EXR) << false << 0 << int(Image::FORMAT_RGB16F);
    }
    void every_format_writes_files_of_the_right_shape()
    {
        QFETCH(int, format);
        QFETCH(bool, mask);
        QFETCH(int, aa);
        QFETCH(int, file_format);
        const QString path = shell_->root() + QStringLiteral("/outside_") + QString::number(format);
        state_->setFormat(VideoGrabberState::Format(format));
        state_->setAlphaMask(mask);
        state_->setAntialiasing(VideoGrabberState::AA(aa));
        state_->setSavePath(path);
        grab(); // a single shot, then a sequence of two frames (track times 0 and 2)
        state_->setMode(VideoGrabberState::SEQUENCE);
        state_->setTrackGUID(Velmora::UGUID(test::CaptureShell::TRACK_GUID));
        state_->setFps(0.5f);
        grab();
        const QStringList written = files(path);
        QCOMPARE(written.size(), 3);
        for (const QString &name : written) {
            Image saved;
            QVERIFY(saved.load((path + QLatin1Char('/') + name).toUtf8().constData()));
            QCOMPARE(saved.getFormat(), file_format);
            QCOMPARE(QSize(saved.getWidth(), saved.getHeight()), QSize(64, 48));
            // Outside the data folder: not imported, no meta file.
            QVERIFY(!QFileInfo::exists(path + QLatin1Char('/') + name + QStringLiteral(".meta")));
        }
    }

    void failures_end_the_grab_and_use_up_the_number()
    {
        // A save folder that cannot be made: the frame fails.
        QVERIFY(shell_->writeData(QStringLiteral("blocker"), "a file"));
        state_->setFormat(VideoGrabberState::PNG);
        state_->setSavePath(folder(QStringLiteral("blocker/frames")));
        const qint64 number = controller_->nextFrame();
        grab();
        QCOMPARE(states_,
                 (QList<VideoGrabberState::State>{VideoGrabberState::START_REQUESTED, VideoGrabberState::GRABBING,
                                                  VideoGrabberState::FAILED, VideoGrabberState::IDLE}));
        QCOMPARE(controller_->nextFrame(), number + 1);

        // A size the user confirmed past the warning but no renderer can
        // draw: the frame fails with a reason instead of exhausting memory.
        state_->setSavePath(folder(QStringLiteral("huge")));
        state_->setWidth(100000);
        state_->setHeight(100000);
        state_->setAntialiasing(VideoGrabberState::AA_4X);
        grab();
        QVERIFY(states_.contains(VideoGrabberState::FAILED));
        QVERIFY(files(folder(QStringLiteral("huge"))).isEmpty());
        state_->setWidth(64);
        state_->setHeight(48);
        state_->setAntialiasing(VideoGrabberState::AA_NONE);

        // The camera's node goes away during a sequence.
        sequence(QStringLiteral("vanish"), 10.0f);
        state_->setState(VideoGrabberState::START_REQUESTED);
        shell_->pumpFrames(3);
        Velmora::Ptr<Velmora::Node> camera = Velmora::World::getNodeByName("camera_1");
        camera.destroy();
        shell_->pumpFrames(2);
        QCOMPARE(state_->getState(), VideoGrabberState::IDLE);
        QVERIFY(states_.contains(VideoGrabberState::FAILED));
        QCOMPARE(files(folder(QStringLiteral("vanish"))).size(), 2);
        shell_->quitWorld();
        QVERIFY(shell_->loadWorld());

        // Track problems never start a sequence. The warning box runs
        // frames of its own while it is open: no second box comes up.
        warnings_.clear();
        VideoGrabberState::setWarningHandler([this](const QString &title, const QString &text) {
            warnings_ << title + QLatin1Char('|') + text;
            shell_->pumpFrames(3);
        });
        state_->setMode(VideoGrabberState::SEQUENCE);
        state_->setTrackGUID(Velmora::UGUID());
        grab();
        state_->setMode(VideoGrabberState::SEQUENCE);
        state_->setTrackGUID(Velmora::UGUID("eeeee00000000000000000000000000000000999"));
        grab();
        QCOMPARE(warnings_.size(), 2);
        QCOMPARE(warnings_[0], QStringLiteral("Error|Error grabbing sequence: track not specified"));
        QVERIFY(warnings_[1].startsWith(QStringLiteral("Error|Error grabbing sequence: failed to load track \"")));
        QVERIFY(warnings_[1].endsWith(
                QStringLiteral("error: \"file not found: eeeee00000000000000000000000000000000999\"")));
        QVERIFY(!UpdateLock::isAlwaysUpdate());
        VideoGrabberState::setWarningHandler(
                [this](const QString &title, const QString &text) { warnings_ << title + QLatin1Char('|') + text; });
    }

    void a_track_without_a_usable_unit_time_plays_in_seconds()
    {
        sequence(QStringLiteral("still"), 4.0f);
        state_->setTrackGUID(shell_->assets()->asset(QStringLiteral("tracks/still.track")).getGUID());
        grab();
        QCOMPARE(state_->getNumFrames(), 5);
        QCOMPARE(files(folder(QStringLiteral("still"))).size(), 5);
    }

    void a_track_of_endless_length_is_refused_data()
    {
        QTest::addColumn<QByteArray>("max_time");
        QTest::addColumn<int>("files");
        QTest::newRow("not a number") << QByteArray("nan") << 0;
        QTest::newRow("infinite") << QByteArray("inf") << 0;
        QTest::newRow("beyond float") << QByteArray("1e39") << 0;
        // Finite but longer than any count: the count stays positive.
        QTest::newRow("very long") << QByteArray("1e30") << 2;
    }
    void a_track_of_endless_length_is_refused()
    {
        QFETCH(QByteArray, max_time);
        QFETCH(int, files);
        const QString name
                = QStringLiteral("endless_") + QString::fromLatin1(QTest::currentDataTag()).replace(' ', '_');
        static int next_guid = 400;
        const QByteArray guid = "ddddd" + QByteArray(32, '0') + QByteArray::number(next_guid++);
        QVERIFY(shell_->writeData(QStringLiteral("tracks/") + name + QStringLiteral(".track"),
                                  "<track version=\"1\" unit_time=\"1\" max_time=\"" + max_time + "\"/>\n"));
        QVERIFY(shell_->writeData(QStringLiteral("tracks/") + name + QStringLiteral(".track.meta"),
                                  "<asset version=\"1\" guid=\"" + guid + "\"/>\n"));
        QVERIFY(Velmora::FileSystem::rescan());
        shell_->assets()->rescan();
        const QString path = QStringLiteral("tracks/") + name + QStringLiteral(".track");
        QTRY_VERIFY(!shell_->assets()->asset(path).getGUID().isEmpty());
        sequence(name, 10.0f);
        state_->setTrackGUID(shell_->assets()->asset(path).getGUID());
        warnings_.clear();
        if (files == 0) {
            grab();
            QCOMPARE(warnings_.size(), 1);
            QVERIFY2(warnings_[0].endsWith(QStringLiteral("error: \"the track's length is not a finite number\"")),
                     qPrintable(warnings_[0]));
        } else {
            state_->setState(VideoGrabberState::START_REQUESTED);
            shell_->pumpFrames(3);
            QCOMPARE(state_->getNumFrames(), std::numeric_limits<int>::max());
            state_->setState(VideoGrabberState::IDLE);
            shell_->pumpFrames(2);
            QVERIFY(warnings_.isEmpty());
        }
        QVERIFY(!controller_->isGrabbing());
        QCOMPARE(this->files(folder(name)).size(), files);
    }

    void abort_stops_after_the_current_frame_without_partial_files()
    {
        sequence(QStringLiteral("abort"), 10.0f, VideoGrabberState::EXR);
        state_->setState(VideoGrabberState::START_REQUESTED);
        shell_->pumpFrames(4);
        state_->setState(VideoGrabberState::IDLE);
        shell_->pumpFrames(3);
        QVERIFY(!controller_->isGrabbing());
        QVERIFY(!UpdateLock::isAlwaysUpdate());
        const QStringList all = QDir(folder(QStringLiteral("abort"))).entryList(QDir::Files);
        QCOMPARE(files(folder(QStringLiteral("abort"))).size(), 3);
        for (const QString &name : all)
            QVERIFY2(name.endsWith(QLatin1String(".exr")) || name.endsWith(QLatin1String(".meta")), qPrintable(name));
    }

private:
    static QByteArray pixels(const QString &path)
    {
        Image image;
        if (!image.load(path.toUtf8().constData()))
            return QByteArray();
        return QByteArray(reinterpret_cast<const char *>(image.getPixels()), int(image.getSize()));
    }
    static QByteArray fileBytes(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

QTEST_MAIN(TestVideoGrabber)
#include "tst_video_grabber.moc"
