// The Tracker window against a recording script (the per-frame protocol,
// sizing, track commands, manipulator hand-over, registration) and, last,
// against the built-in track editor with clicks on its engine buttons.

#include "editor/tracker/tracker.h"

#include "capture_shell.h"
#include "message_boxes.h"
#include "window_system.h"

#include <editor_core/Dialogs.h>
#include <editor_core/EditorLogic.h>
#include <editor_core/ViewportManager.h>
#include <editor_core/ViewportWindowScene.h>
#include <editor_core/depr/EditorGlobals.h>

#include <velmora/Editor.h>
#include <velmora/Gui.h>
#include <velmora/Interpreter.h>
#include <velmora/Player.h>
#include <velmora/Widget.h>

#include <QAbstractButton>
#include <QtTest>

using namespace Velmora;

namespace {

// Stands in for the editor script: records every call with a short note
// on its argument ("null" or "set" for object values).
class RecordingScript
{
public:
    QStringList calls;
    int content_width = 300;
    int content_height = 180;
    int load_result = 1;
    int save_result = 1;
    bool build_content = true;

    RecordingScript()
    {
        group_ = Interpreter::addGroup("RecordingScript");
        add("init", 0);
        add("tracker_init", 4);
        add("tracker_shutdown", 0);
        add("tracker_update", 0);
        add("set_viewport_gui", 1);
        add("set_viewport_player", 1);
        add("load_track", 1);
        add("save_track", 1);
        add("clear_track", 0);
    }
    ~RecordingScript() { Interpreter::removeGroup(group_); }

    QStringList take()
    {
        const QStringList result = calls;
        calls.clear();
        return result;
    }

private:
    void add(const char *name, int num_args)
    {
        const QString function = QString::fromLatin1(name);
        Interpreter::addExternFunction(
                name, num_args,
                [this, function](const Variables &args) -> Variable {
                    void *interp = Interpreter::get();
                    QString note = function;
                    if (args.size() == 1 && args[0].isObject())
                        note += args[0].getGui(interp) || args[0].getPlayer(interp) ? QStringLiteral(":set")
                                                                                    : QStringLiteral(":null");
                    else if (args.size() == 1)
                        note += QLatin1Char(':') + QString::fromUtf8(args[0].getString());
                    calls << note;
                    if (function == QLatin1String("load_track")) {
                        if (!load_result)
                            Interpreter::setError("file not found: somewhere/\xc3\xa9t\xc3\xa9.track");
                        return Variable(load_result);
                    }
                    if (function == QLatin1String("save_track") && !save_result) {
                        Interpreter::setError("cannot write tracks/fly.track");
                        return Variable(0);
                    }
                    if (function == QLatin1String("tracker_init") && build_content) {
                        Ptr<WidgetVBox> content = WidgetVBox::create(args[0].getGui(interp), 0, 0);
                        content->setWidth(content_width);
                        content->setHeight(content_height);
                        return Variable(interp, Ptr<Widget>(content));
                    }
                    return Variable();
                },
                group_);
    }
    int group_ = -1;
};

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestTracker : public QObject
{
    Q_OBJECT

    test::CaptureShell *shell_ = nullptr;

    void pump(int frames = 1)
    {
        QCoreApplication::processEvents();
        shell_->pumpFrames(frames);
    }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale::c());
        shell_ = new test::CaptureShell;
        QVERIFY(shell_->isValid());
    }
    void cleanupTestCase() { delete shell_; }

    void the_script_sees_the_viewport_only_while_the_window_is_visible()
    {
        RecordingScript script;
        Tracker tracker(shell_->mainWindow());
        tracker.init();
        QCOMPARE(script.take(), QStringList{QStringLiteral("tracker_init")});
        pump(2);
        QCOMPARE(script.take(), QStringList()); // docked hidden: silence

        const QString scene_id = shell_->viewports()->showScene(QString());
        ViewportWindowScene *scene = shell_->viewports()->getScene(scene_id);
        QVERIFY(scene);
        // Hovered while the window is hidden: only remembered, the script
        // shows nothing in the viewport.
        tracker.setViewportPlayer(scene);
        QCOMPARE(script.take(), QStringList());

        // The viewport hands over its own engine GUI with its camera.
        tracker.showTracker();
        pump();
        QCOMPARE(script.take(), (QStringList{"set_viewport_gui:set", "set_viewport_player:set", "tracker_update"}));
        pump(2);
        QCOMPARE(script.take(), (QStringList{"tracker_update", "tracker_update"}));
        tracker.setViewportPlayer(scene); // hovered while shown: at once
        QCOMPARE(script.take(), (QStringList{"set_viewport_gui:set", "set_viewport_player:set"}));

        tracker.hideTracker();
        pump(3);
        QCOMPARE(script.take(), (QStringList{"set_viewport_gui:null", "set_viewport_player:null", "tracker_update"}));
        QCOMPARE(tracker.lastViewport(), scene);
        tracker.setViewportPlayer(scene);
        tracker.setViewportPlayer(nullptr);
        QCOMPARE(script.take(), QStringList());

        // Switched off: nothing at all, and the visibility seen stays frozen.
        tracker.setUpdateEnabled(false);
        tracker.showTracker();
        pump(2);
        QCOMPARE(script.take(), QStringList());
        QVERIFY(!tracker.wasVisible());

        // A viewport closed meanwhile is never handed to the script.
        shell_->viewports()->closeScene(scene_id);
        QCoreApplication::processEvents();
        tracker.setUpdateEnabled(true);
        pump();
        QCOMPARE(script.take(), (QStringList{"set_viewport_gui:null", "set_viewport_player:null", "tracker_update"}));
        tracker.hideTracker();
        pump();
        tracker.shutdown();
        QCOMPARE(script.take().last(), QStringLiteral("tracker_shutdown"));
    }

    void the_window_sizes_itself_from_the_script_content_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QSize>("minimum");
        QTest::newRow("300 x 180") << 300 << 180 << QSize(300, 200) << QSize(100, 100);
        QTest::newRow("301 x 181") << 301 << 181 << QSize(301, 201) << QSize(100, 100);
        QTest::newRow("302 x 183") << 302 << 183 << QSize(302, 203) << QSize(100, 101);
    }
    void the_window_sizes_itself_from_the_script_content()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(QSize, size);
        QFETCH(QSize, minimum);
        RecordingScript script;
        script.content_width = width;
        script.content_height = height;
        Tracker tracker;
        tracker.init();
        QCOMPARE(tracker.minimumSize(), minimum);
        QCOMPARE(tracker.size(), size);
        Editor::WindowManager::remove(&tracker);
    }

    void a_script_without_content_still_docks_an_empty_window()
    {
        RecordingScript script;
        script.build_content = false;
        Tracker tracker(shell_->mainWindow());
        tracker.init();
        QVERIFY(Editor::WindowManager::contains(&tracker));
        QCOMPARE(tracker.gui()->getNumChildren(), 0);
        tracker.showTracker();
        pump();
        QVERIFY(script.take().contains(QStringLiteral("tracker_update")));
        Editor::WindowManager::remove(&tracker);
    }

    void calls_before_init_do_nothing()
    {
        RecordingScript script;
        Tracker tracker;
        tracker.setViewportPlayer(nullptr);
        tracker.clearTrack();
        tracker.shutdown();
        QCOMPARE(script.take(), QStringList());
    }

    void loading_titles_the_window_or_shows_the_script_error_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("called");
        QTest::newRow("loaded") << QString::fromLatin1(test::CaptureShell::TRACK_GUID) << 1
                                << QStringLiteral("Tracker - fly") << true;
        QTest::newRow("script refuses") << QString::fromLatin1(test::CaptureShell::TRACK_GUID) << 0
                                        << QStringLiteral("Tracker") << true;
        QTest::newRow("cancelled") << QString() << 1 << QStringLiteral("Tracker - before") << false;
    }
    void loading_titles_the_window_or_shows_the_script_error()
    {
        QFETCH(QString, answer);
        QFETCH(int, result);
        QFETCH(QString, title);
        QFETCH(bool, called);
        RecordingScript script;
        script.load_result = result;
        Tracker tracker(shell_->mainWindow());
        tracker.init();
        tracker.setWindowTitle(QStringLiteral("Tracker - before"));
        script.take();
        Dialogs::setResponder([answer](const Dialogs::Request &) { return answer; });
        // Reads and closes the error box.
        QString box_text;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&box_text, &poll] {
            if (auto box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                box_text = box->windowTitle() + QLatin1Char('|') + box->text();
                poll.stop();
                box->button(QMessageBox::Ok)->click();
            }
        });
        poll.start(5);
        tracker.onLoadClicked();
        QTRY_COMPARE(tracker.windowTitle(), title);
        QCoreApplication::processEvents();
        QCOMPARE(script.take().contains(QStringLiteral("load_track:") + answer), called);
        QCOMPARE(box_text,
                 result ? QString()
                        : QString::fromLatin1(
                                "Error|Can't load track\nfile not found: somewhere/\xc3\xa9t\xc3\xa9.track"));
        Dialogs::setResponder(Dialogs::Responder());
        Editor::WindowManager::remove(&tracker);
    }

    void a_refused_save_shows_why_and_keeps_the_title_data()
    {
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("box");
        QTest::newRow("saved") << 1 << QStringLiteral("Tracker - fly") << QString();
        // The file is there from before: its import must not pass for this save.
        QTest::newRow("refused") << 0 << QStringLiteral("Tracker - before")
                                 << QStringLiteral("Error|Can't save track\ncannot write tracks/fly.track");
    }
    void a_refused_save_shows_why_and_keeps_the_title()
    {
        QFETCH(int, result);
        QFETCH(QString, title);
        QFETCH(QString, box);
        RecordingScript script;
        script.save_result = result;
        Tracker tracker(shell_->mainWindow());
        tracker.init();
        tracker.setWindowTitle(QStringLiteral("Tracker - before"));
        Dialogs::setResponder([](const Dialogs::Request &) { return QStringLiteral("tracks/fly"); });
        QString box_text;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&box_text, &poll] {
            if (auto message = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                box_text = message->windowTitle() + QLatin1Char('|') + message->text();
                poll.stop();
                message->button(QMessageBox::Ok)->click();
            }
        });
        poll.start(5);
        tracker.onSaveClicked();
        QTRY_VERIFY(script.calls.contains(QStringLiteral("save_track:") + shell_->dataPath()
                                          + QStringLiteral("tracks/fly.track")));
        QTest::qWait(50);
        QCOMPARE(tracker.windowTitle(), title);
        QCOMPARE(box_text, box);
        Dialogs::setResponder(Dialogs::Responder());
        Editor::WindowManager::remove(&tracker);
    }

    void world_changes_and_clearing_reset_the_track()
    {
        RecordingScript script;
        Tracker tracker(shell_->mainWindow());
        tracker.init();
        script.take();
        tracker.setWindowTitle(QStringLiteral("Tracker - fly"));
        emit shell_->logic()->onWorldInit();
        QCOMPARE(tracker.windowTitle(), QStringLiteral("Tracker"));
        tracker.setWindowTitle(QStringLiteral("Tracker - fly"));
        emit shell_->logic()->onWorldShutdown();
        QCOMPARE(tracker.windowTitle(), QStringLiteral("Tracker"));
        QCOMPARE(script.take(), (QStringList{"clear_track", "clear_track"}));

        // The question: No keeps the track, Yes clears it.
        test::answerNextMessageBox(QMessageBox::No);
        tracker.onClearClicked();
        QCOMPARE(script.take(), QStringList());
        test::answerNextMessageBox(QMessageBox::Yes);
        tracker.onClearClicked();
        QCOMPARE(script.take(), QStringList{"clear_track"});

        // A cancelled save dialog saves nothing.
        Dialogs::setResponder([](const Dialogs::Request &) { return QString(); });
        tracker.onSaveClicked();
        QTest::qWait(20);
        QCOMPARE(script.take(), QStringList());
        Dialogs::setResponder(Dialogs::Responder());
        Editor::WindowManager::remove(&tracker);
    }

    void manipulator_grabs_switch_the_viewport_rectangle_once()
    {
        ViewportManager *viewports = shell_->viewports();
        {
            Tracker tracker;
            QVERIFY(Interpreter::isDefined("HAS_TAMSEL2"));
            QVERIFY(Interpreter::isLibrary("tamsel2_callbacks"));
            QCOMPARE(Interpreter::getDeclaration("tamsel2_callbacks.manipulatorPressed"),
                     String("void tamsel2_callbacks.manipulatorPressed();\n"));
            // A release without a press is ignored.
            viewports->enableRectangle(false);
            Interpreter::call("tamsel2_callbacks.manipulatorReleased", Variables());
            QVERIFY(!viewports->isRectangleEnabled());
            viewports->enableRectangle(true);

            Interpreter::call("tamsel2_callbacks.manipulatorPressed", Variables());
            QVERIFY(!viewports->isRectangleEnabled());
            viewports->enableRectangle(true); // a second press must not switch it off again
            Interpreter::call("tamsel2_callbacks.manipulatorPressed", Variables());
            QVERIFY(viewports->isRectangleEnabled());
            viewports->enableRectangle(false);
            Interpreter::call("tamsel2_callbacks.manipulatorReleased", Variables());
            QVERIFY(viewports->isRectangleEnabled());
            QVERIFY(!tracker.isManipulatorActivated());

            // Without a viewport manager (shutdown) a grab does not crash.
            depr::g.viewports = nullptr;
            tracker.manipulatorPressed();
            tracker.manipulatorReleased();
            depr::g.viewports = viewports;
        }
        QVERIFY(!Interpreter::isFunction("tamsel2_callbacks.manipulatorPressed"));
        QVERIFY(!Interpreter::isDefined("HAS_TAMSEL2"));
    }

    void clicking_the_engine_buttons_loads_saves_and_clears_a_track()
    {
        auto tracker = new Tracker(shell_->mainWindow());
        QVERIFY(::Velmora::Editor::load("tamsel2/editor.usc"));
        tracker->init();
        QVERIFY(tracker->gui()->getNumChildren() == 1);
        Dialogs::setResponder([](const Dialogs::Request &request) {
            return request.kind == Dialogs::Kind::SaveAsset ? QStringLiteral("tracks/saved")
                                                            : QString::fromLatin1(test::CaptureShell::TRACK_GUID);
        });
        tracker->showTracker();
        pump();

        auto click = [&](const Ptr<Widget> &button) {
            const QPoint at(button->getScreenPositionX() + 4, button->getScreenPositionY() + 4);
            QTest::mouseClick(tracker, Qt::LeftButton, Qt::NoModifier, at);
            pump();
        };
        click(tracker->loadButton());
        QTRY_COMPARE(tracker->windowTitle(), QStringLiteral("Tracker - fly"));
        if (qEnvironmentVariableIsSet("VELMORA_SCREENSHOT_DIR"))
            tracker->grab().save(qEnvironmentVariable("VELMORA_SCREENSHOT_DIR") + QStringLiteral("/tracker.png"));

        click(tracker->saveButton());
        QTRY_COMPARE(tracker->windowTitle(), QStringLiteral("Tracker - saved"));
        QVERIFY(QFileInfo::exists(shell_->dataPath() + QStringLiteral("tracks/saved.track")));
        QVERIFY(!shell_->assets()->asset(QStringLiteral("tracks/saved.track")).getGUID().isEmpty());

        test::answerNextMessageBox(QMessageBox::Yes);
        click(tracker->clearButton());
        QTRY_COMPARE(tracker->windowTitle(), QStringLiteral("Tracker"));

        // Under a name that is a link to a track inside the data folder the
        // track is saved there and the link stays.
        const QString saved = shell_->dataPath() + QStringLiteral("tracks/saved.track");
        const QByteArray full = readBytes(saved);
        QVERIFY(QFile::link(QStringLiteral("saved.track"), shell_->dataPath() + QStringLiteral("tracks/linked.track")));
        Dialogs::setResponder([](const Dialogs::Request &) { return QStringLiteral("tracks/linked"); });
        {
            test::MessageBoxes boxes;
            click(tracker->saveButton());
            QTRY_VERIFY(readBytes(saved) != full); // the cleared track
            QVERIFY(boxes.boxes().isEmpty());
        }
        QVERIFY(QFileInfo(shell_->dataPath() + QStringLiteral("tracks/linked.track")).isSymLink());
        // The link stays what it was, no asset: its target is the asset.
        QVERIFY(shell_->assets()->asset(QStringLiteral("tracks/linked.track")).getGUID().isEmpty());
        QVERIFY(!QFileInfo::exists(shell_->dataPath() + QStringLiteral("tracks/linked.track.meta")));
        QTRY_COMPARE(tracker->windowTitle(), QStringLiteral("Tracker - saved"));
        // A link leading out of the project is not written through, and the
        // box says why.
        QTemporaryDir elsewhere;
        const QString outside = elsewhere.filePath(QStringLiteral("away.track"));
        QVERIFY(QFile::copy(saved, outside));
        QVERIFY(QFile::link(outside, shell_->dataPath() + QStringLiteral("tracks/away.track")));
        Dialogs::setResponder([](const Dialogs::Request &) { return QStringLiteral("tracks/away"); });
        {
            test::MessageBoxes boxes;
            click(tracker->saveButton());
            QTRY_COMPARE(boxes.boxes().size(), 1);
            QCOMPARE(boxes.boxes().first().title, QStringLiteral("Error"));
            QVERIFY2(boxes.boxes().first().text.startsWith(QLatin1String("Can't save track\n")),
                     qPrintable(boxes.boxes().first().text));
            QVERIFY2(boxes.boxes().first().text.contains(QLatin1String("leads outside the data folder")),
                     qPrintable(boxes.boxes().first().text));
        }
        QCOMPARE(readBytes(outside), readBytes(saved));
        Dialogs::setResponder(Dialogs::Responder());
        tracker->shutdown();
        Editor::WindowManager::remove(tracker);
        delete tracker;
    }
};

QTEST_MAIN(TestTracker)
#include "tst_tracker.moc"
