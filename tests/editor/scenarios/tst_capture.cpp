// The Tracker and the video grabber inside the running editor, on a copy of
// the sample project: the flyby track loads, plays, saves and clears; a
// screenshot and a track sequence land numbered in the data folder; a
// pointer that crossed the viewports leaves an idle editor resting.

#include "asset_files.h"
#include "scenario_runner.h"

#include "editor/presenter/presenter.h"
#include "editor/tracker/tracker.h"
#include "editor/video_grabber/video_grabber_form.h"
#include "editor/video_grabber/video_grabber_state.h"
#include "window_system.h"

#include <editor_core/Dialogs.h>
#include <editor_core/View.h>
#include <editor_core/ViewportManager.h>
#include <editor_core/ViewportWindow.h>
#include <editor_core/ViewportWindowScene.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/AssetManagerPrivate.h>
#include <editor_core/editor/WindowManagerPrivate.h>

#include <velmora/Game.h>
#include <velmora/Gui.h>
#include <velmora/Image.h>
#include <velmora/Player.h>
#include <velmora/Widget.h>
#include <velmora/World.h>

#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>

namespace {

const char *const FLYBY = "ddddd00000000000000000000000000000000201";

// The sample project's data, copied into the run's data folder.
void copySampleData(const QString &target)
{
    QVERIFY(test::copyFolder(
            qEnvironmentVariable("VELMORA_SOURCE_DIR") + QStringLiteral("/examples/sample_project/data"), target));
}

void screenshot(QWidget *widget, const char *name)
{
    if (qEnvironmentVariableIsSet("VELMORA_SCREENSHOT_DIR"))
        widget->grab().save(qEnvironmentVariable("VELMORA_SCREENSHOT_DIR") + QLatin1Char('/') + QLatin1String(name));
}

class SampleScenario : public test::Scenario
{
public:
    void prepare(test::ProjectBuilder &project, QStringList &arguments) override
    {
        copySampleData(project.dataPath());
        arguments << QStringLiteral("-console_command") << QStringLiteral("world_load \"worlds/level1\"");
    }
};

class TrackerSession : public SampleScenario
{
    Q_OBJECT

    void click(Tracker *tracker, const Velmora::Ptr<Velmora::Widget> &button)
    {
        QVERIFY(button);
        const QPoint at(button->getScreenPositionX() + 4, button->getScreenPositionY() + 4);
        QTest::mouseClick(tracker, Qt::LeftButton, Qt::NoModifier, at);
        QVERIFY(test::waitFrames(2));
    }

private slots:
    void the_flyby_track_loads_plays_saves_and_clears()
    {
        QTRY_VERIFY(Velmora::World::isLoaded());
        Tracker *tracker = depr::gui.tracker;
        emit depr::g.window_manager->showTracker();
        QTRY_VERIFY(tracker->isVisible());
        ViewportWindow *viewport = depr::g.viewports->getCurrentViewportWindow();
        QVERIFY(viewport);
        tracker->setViewportPlayer(viewport);
        QVERIFY(test::waitFrames(2));
        Dialogs::setResponder([](const Dialogs::Request &request) {
            return request.kind == Dialogs::Kind::SaveAsset ? QStringLiteral("tracks/flyby_copy")
                                                            : QString::fromLatin1(FLYBY);
        });

        click(tracker, tracker->loadButton());
        QTRY_COMPARE(tracker->windowTitle(), QStringLiteral("Tracker - camera_flyby"));

        // Play moves the viewport's camera along the track.
        const Velmora::Ptr<Velmora::Player> camera = viewport->getPlayer();
        QVERIFY(camera);
        const Velmora::vec3 start = camera->getWorldTransform().getTranslate();
        Velmora::Widget *content = tracker->gui()->getChild(0).get();
        click(tracker, content->getChild(0)->getChild(3));
        QVERIFY(test::waitFrames(60));
        const Velmora::vec3 later = camera->getWorldTransform().getTranslate();
        QVERIFY2((later - start).length() > 1.0f, "the camera did not move");
        screenshot(depr::gui.main_window, "editor_tracker.png");
        screenshot(tracker, "editor_tracker_window.png");

        click(tracker, tracker->saveButton());
        QTRY_COMPARE(tracker->windowTitle(), QStringLiteral("Tracker - flyby_copy"));
        QVERIFY(QFileInfo::exists(test::context().data_path + QStringLiteral("tracks/flyby_copy.track")));
        QVERIFY(!depr::g.asset_manager->asset(QStringLiteral("tracks/flyby_copy.track")).getGUID().isEmpty());

        test::answerNextMessageBox(QMessageBox::Yes);
        click(tracker, tracker->clearButton());
        QTRY_COMPARE(tracker->windowTitle(), QStringLiteral("Tracker"));
        Dialogs::setResponder(Dialogs::Responder());
    }
};

class GrabSession : public SampleScenario
{
    Q_OBJECT

    VideoGrabberState *state() const { return test::presenter()->videoGrabberState(); }
    void waitIdle()
    {
        QVERIFY(test::waitFrames(1));
        QTRY_VERIFY_WITH_TIMEOUT(state()->getState() == VideoGrabberState::IDLE, 60000);
    }

private slots:
    void a_screenshot_and_a_sequence_land_in_the_screenshots_folder()
    {
        QTRY_VERIFY(Velmora::World::isLoaded());
        VideoGrabberForm *form = test::presenter()->videoGrabberForm();
        emit depr::g.window_manager->toggleVideoGrabber();
        QTRY_VERIFY(form->isVisible());
        QTRY_VERIFY(form->findChild<QPushButton *>(QStringLiteral("grab_b"))->isEnabled());
        QCOMPARE(state()->getSavePath(), test::context().data_path + QStringLiteral("screenshots"));
        form->findChild<QToolButton *>(QStringLiteral("update_cameras_tb"))->click();
        form->findChild<QComboBox *>(QStringLiteral("camera_cb"))->setCurrentText(QStringLiteral("player_camera"));
        QCOMPARE(state()->getCameraName(), QStringLiteral("player_camera"));
        state()->setWidth(160);
        state()->setHeight(90);

        form->findChild<QPushButton *>(QStringLiteral("grab_b"))->click();
        waitIdle();
        const QString folder = test::context().data_path + QStringLiteral("screenshots/");
        QVERIFY(QFileInfo::exists(folder + QStringLiteral("frame_0000.tga")));
        QVERIFY(!depr::g.asset_manager->asset(QStringLiteral("screenshots/frame_0000.tga")).getGUID().isEmpty());

        form->findChild<QRadioButton *>(QStringLiteral("sequence_rb"))->setChecked(true);
        state()->setTrackGUID(Velmora::UGUID(FLYBY));
        state()->setFps(2.0f);
        form->findChild<QComboBox *>(QStringLiteral("format_cb"))->setCurrentIndex(VideoGrabberState::PNG);
        form->findChild<QPushButton *>(QStringLiteral("grab_b"))->click();
        QTRY_VERIFY(form->progress());
        screenshot(depr::gui.main_window, "editor_grabbing.png");
        waitIdle();
        // 8 s at 2 frames per second: 17 frames, numbered after the shot.
        QCOMPARE(state()->getNumFrames(), 17);
        const QStringList frames = QDir(folder).entryList({QStringLiteral("frame_*.png")}, QDir::Files, QDir::Name);
        QCOMPARE(frames.size(), 17);
        QCOMPARE(frames.first(), QStringLiteral("frame_0001.png"));
        QCOMPARE(frames.last(), QStringLiteral("frame_0017.png"));
        Velmora::Image first;
        Velmora::Image last;
        QVERIFY(first.load((folder + frames.first()).toUtf8().constData()));
        QVERIFY(last.load((folder + frames.last()).toUtf8().constData()));
        QCOMPARE(QSize(first.getWidth(), first.getHeight()), QSize(160, 90));
        QVERIFY(QByteArray(reinterpret_cast<const char *>(first.getPixels()), int(first.getSize()))
                != QByteArray(reinterpret_cast<const char *>(last.getPixels()), int(last.getSize())));
        screenshot(form, "editor_video_grabber.png");
    }
};

// Counts the paint events of the widgets it watches.
class PaintCounter : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

class IdleAfterHover : public SampleScenario
{
    Q_OBJECT

    QList<ViewportWindowScene *> scenes_;

    // Runs frames until the docks' layout animations are over: five frames
    // without a paint of the viewports.
    void settle()
    {
        for (int tries = 0; tries < 40; ++tries) {
            PaintCounter counter;
            for (ViewportWindowScene *scene : scenes_)
                scene->installEventFilter(&counter);
            QVERIFY(test::waitFrames(5));
            for (ViewportWindowScene *scene : scenes_)
                scene->removeEventFilter(&counter);
            if (counter.paints == 0)
                return;
        }
    }

    // Paints of every scene viewport over an idle second (frames running).
    int paintsOverAnIdleSecond()
    {
        settle();
        PaintCounter counter;
        for (ViewportWindowScene *scene : scenes_)
            scene->installEventFilter(&counter);
        const int frame = Velmora::Game::getFrame();
        QTest::qWait(1000);
        for (ViewportWindowScene *scene : scenes_)
            scene->removeEventFilter(&counter);
        if (Velmora::Game::getFrame() - frame < 10)
            return -1; // the frame loop did not run: nothing measured
        return counter.paints;
    }

private slots:
    void crossing_the_viewports_leaves_them_resting()
    {
        QTRY_VERIFY(Velmora::World::isLoaded());
        depr::g.viewports->showScene(QString());
        for (const QString &name : depr::g.viewports->getSceneNames())
            scenes_ << depr::g.viewports->getScene(name);
        QCOMPARE(scenes_.size(), 2);
        for (ViewportWindowScene *scene : scenes_) {
            QTRY_VERIFY(scene->isVisible() && !scene->frame().isNull());
            QTest::mouseMove(scene, scene->rect().center());
            QTRY_COMPARE(depr::g.viewports->getLastHoveredViewportWindow(), scene);
            QVERIFY(test::waitFrames(3));
        }
        // With the Tracker closed the track editor shows nothing in them,
        // and with nothing changing nothing is painted again.
        for (ViewportWindowScene *scene : scenes_)
            QCOMPARE(scene->getGui()->getNumChildren(), 0);
        QCOMPARE(paintsOverAnIdleSecond(), 0);
    }

    void the_track_editor_controls_are_painted_when_they_change()
    {
        Tracker *tracker = depr::gui.tracker;
        ViewportWindowScene *hovered = scenes_.last();
        emit depr::g.window_manager->showTracker();
        QTRY_VERIFY(hovered->getGui()->getNumChildren() == 1);
        QVERIFY(test::waitFrames(3));
        // The controls stand still: one picture of them is enough.
        QCOMPARE(paintsOverAnIdleSecond(), 0);

        // Closing the Tracker takes them out of the viewport, on screen too.
        PaintCounter counter;
        hovered->installEventFilter(&counter);
        emit depr::g.window_manager->closeTracker();
        QTRY_VERIFY(!tracker->isVisible());
        QTRY_COMPARE(hovered->getGui()->getNumChildren(), 0);
        QVERIFY(test::waitFrames(3));
        hovered->removeEventFilter(&counter);
        QVERIFY(counter.paints > 0);
        QCOMPARE(paintsOverAnIdleSecond(), 0);
    }
};

} // namespace

int main(int argc, char **argv)
{
    return test::runScenarios(argc, argv,
                              {
                                      {"tracker_session", [] { return std::make_unique<TrackerSession>(); }},
                                      {"grab_session", [] { return std::make_unique<GrabSession>(); }},
                                      {"idle_after_hover", [] { return std::make_unique<IdleAfterHover>(); }},
                              });
}

#include "tst_capture.moc"
