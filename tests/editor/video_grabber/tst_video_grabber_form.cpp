// The "Video Grabber" form and the "Grabbing..." window, driven offscreen
// through their widgets, with the capture loop running on a real engine.

#include "editor/tracker/tracker.h"
#include "editor/video_grabber/video_grabber_controller.h"
#include "editor/video_grabber/video_grabber_form.h"
#include "editor/video_grabber/video_grabber_progress.h"
#include "editor/video_grabber/video_grabber_state.h"

#include "capture_shell.h"

#include <editor_core/Dialogs.h>
#include <editor_core/depr/EditorGlobals.h>

#include <velmora/Editor.h>
#include <velmora/FileSystem.h>
#include <velmora/Node.h>
#include <velmora/World.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QWheelEvent>
#include <QtTest>

class TestVideoGrabberForm : public QObject
{
    Q_OBJECT

    test::CaptureShell *shell_ = nullptr;
    Tracker *tracker_ = nullptr;
    VideoGrabberState *state_ = nullptr;
    VideoGrabberController *controller_ = nullptr;
    VideoGrabberForm *form_ = nullptr;

    template<typename T>
    T *child(const char *name) const
    {
        T *widget = form_->findChild<T *>(QString::fromLatin1(name));
        if (!widget)
            qFatal("no widget %s", name);
        return widget;
    }
    QLineEdit *edit(const char *name) const { return child<QLineEdit>(name); }
    void type(QLineEdit *line, const QString &text)
    {
        line->setFocus();
        line->selectAll();
        QTest::keyClicks(line, text);
    }
    // Runs frames until the grab is over.
    void runGrab()
    {
        for (int i = 0; i < 400 && (controller_->isGrabbing() || state_->getState() != VideoGrabberState::IDLE); ++i) {
            shell_->pumpFrames(1);
            QCoreApplication::processEvents();
        }
    }
    void screenshot(QWidget *widget, const char *name)
    {
        if (qEnvironmentVariableIsSet("VELMORA_SCREENSHOT_DIR"))
            widget->grab().save(qEnvironmentVariable("VELMORA_SCREENSHOT_DIR") + QLatin1Char('/')
                                + QString::fromLatin1(name));
    }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale::c());
        shell_ = new test::CaptureShell;
        QVERIFY(shell_->isValid());
        tracker_ = new Tracker(shell_->mainWindow());
        depr::gui.tracker = tracker_;
        QVERIFY(::Velmora::Editor::load("tamsel2/editor.usc"));
        tracker_->init();
        state_ = new VideoGrabberState(shell_->mainWindow());
        controller_ = new VideoGrabberController(state_);
        controller_->init();
        form_ = new VideoGrabberForm(state_, shell_->mainWindow());
        Editor::WindowManager::add(form_, Editor::WindowManager::AREA_TOOL);
        form_->setState();
        Editor::WindowManager::show(form_);
        VideoGrabberState::setWarningHandler([](const QString &, const QString &) {});
    }
    void cleanupTestCase()
    {
        VideoGrabberState::setWarningHandler(VideoGrabberState::WarningHandler());
        Editor::WindowManager::remove(form_);
        delete form_;
        controller_->shutdown();
        delete controller_;
        delete state_;
        depr::gui.tracker = nullptr;
        tracker_->shutdown();
        delete tracker_;
        delete shell_;
    }

    void the_form_fits_its_texts_and_the_wheel_scrolls_it()
    {
        // Docked at the width the editor gives it, short enough to scroll.
        Editor::WindowManager::resize(form_, form_->sizeHint().width(), 200);
        // The dock's scroll area gives the form the dock's height; no higher
        // than 200 pixels, it is as short as a dock of that height makes it.
        form_->setMaximumHeight(200);
        const auto tall = qScopeGuard([this] { form_->setMaximumHeight(QWIDGETSIZE_MAX); });
        form_->resize(form_->sizeHint().width(), 200);
        QCoreApplication::processEvents();
        screenshot(form_, "video_grabber_form_docked.png");
        auto *area = child<QScrollArea>("scrollArea");
        QVERIFY(!area->horizontalScrollBar()->isVisible());
        for (QComboBox *combo : form_->findChildren<QComboBox *>())
            for (int i = 0; i < combo->count(); ++i)
                QVERIFY2(combo->width() >= combo->fontMetrics().horizontalAdvance(combo->itemText(i)) + 16,
                         qPrintable(combo->itemText(i)));

        // A wheel over a combo box that has not been clicked scrolls the form.
        auto *format = child<QComboBox>("format_cb");
        QVERIFY(area->verticalScrollBar()->maximum() > 0);
        area->verticalScrollBar()->setValue(0);
        form_->setFocus();
        const int index = format->currentIndex();
        const QPoint at = format->rect().center();
        QWheelEvent wheel(at, format->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(format, &wheel);
        QCOMPARE(format->currentIndex(), index);
        QVERIFY(area->verticalScrollBar()->value() > 0);
    }

    void binding_shows_the_state_and_the_data_folder()
    {
        QCOMPARE(form_->objectName(), QStringLiteral("VideoGrabberForm"));
        QCOMPARE(form_->windowTitle(), QStringLiteral("Video Grabber"));
        QCOMPARE(edit("fps_le")->text(), QStringLiteral("30.00"));
        // Without an application window the size stays as constructed.
        QCOMPARE(edit("width_le")->text(), QStringLiteral("0"));
        QCOMPARE(edit("save_path_le")->text(), shell_->dataPath() + QStringLiteral("screenshots"));
        QVERIFY(!child<QPushButton>("grab_b")->isEnabled()); // no world yet
        QVERIFY(shell_->loadWorld());
        shell_->pumpFrames(1);
        QVERIFY(child<QPushButton>("grab_b")->isEnabled());

        // An empty save path in the state shows the data folder, which then
        // becomes the state's path.
        state_->setSavePath(QString());
        QCOMPARE(edit("save_path_le")->text(), shell_->dataPath());
        QCOMPARE(state_->getSavePath(), shell_->dataPath());
    }

    void numbers_are_validated_and_clamped_by_the_state()
    {
        QLineEdit *width = edit("width_le");
        type(width, QStringLiteral("640"));
        QCOMPARE(state_->getWidth(), 640);
        width->clear();
        QCOMPARE(width->text(), QStringLiteral("1"));
        type(width, QStringLiteral("0"));
        QCOMPARE(width->text(), QStringLiteral("1"));
        QCOMPARE(state_->getWidth(), 1);

        child<QRadioButton>("sequence_rb")->setChecked(true); // fps is for sequences
        QLineEdit *fps = edit("fps_le");
        type(fps, QStringLiteral("5"));
        QTest::keyClick(fps, Qt::Key_Return);
        QCOMPARE(fps->text(), QStringLiteral("5.00"));
        QCOMPARE(state_->getFps(), 5.0f);
        for (const QString &refused : {QStringLiteral("0.05"), QStringLiteral("2000")}) {
            type(fps, refused);
            QTest::keyClick(fps, Qt::Key_Return);
            QCOMPARE(state_->getFps(), 5.0f);
        }
        // Leaving the field puts the frame rate in force back.
        QFocusEvent focus_out(QEvent::FocusOut);
        QCoreApplication::sendEvent(fps, &focus_out);
        QCOMPARE(fps->text(), QStringLiteral("5.00"));
        child<QRadioButton>("single_shot_rb")->setChecked(true);
    }

    void formats_tie_the_alpha_mask_and_the_channel_depth()
    {
        auto format = child<QComboBox>("format_cb");
        auto mask = child<QCheckBox>("alpha_mask_chb");
        auto depth = child<QLabel>("bit_per_channel_l");
        mask->setChecked(true);
        format->setCurrentIndex(VideoGrabberState::JPG);
        QVERIFY(!mask->isEnabled());
        QVERIFY(!mask->isChecked());
        QVERIFY(!state_->isAlphaMask());
        format->setCurrentIndex(VideoGrabberState::EXR);
        QVERIFY(mask->isEnabled());
        QCOMPARE(depth->text(), QStringLiteral("16 bit per channel"));
        format->setCurrentIndex(VideoGrabberState::PSD);
        QCOMPARE(depth->text(), QStringLiteral("8 bit per channel"));
        format->setCurrentIndex(VideoGrabberState::TGA);
    }

    void the_mode_enables_the_sequence_fields()
    {
        const char *fields[] = {"fps_le", "track_le", "warmup_le"};
        child<QRadioButton>("sequence_rb")->setChecked(true);
        QCOMPARE(state_->getMode(), VideoGrabberState::SEQUENCE);
        for (const char *name : fields)
            QVERIFY(edit(name)->isEnabled());
        QVERIFY(child<QToolButton>("track_b")->isEnabled());
        child<QRadioButton>("single_shot_rb")->setChecked(true);
        QCOMPARE(state_->getMode(), VideoGrabberState::SINGLE_SHOT);
        for (const char *name : fields)
            QVERIFY(!edit(name)->isEnabled());
        QVERIFY(!child<QToolButton>("track_b")->isEnabled());
    }

    void the_camera_list_keeps_a_camera_that_still_exists()
    {
        auto cameras = child<QComboBox>("camera_cb");
        child<QToolButton>("update_cameras_tb")->click();
        QCOMPARE(cameras->count(), 3);
        cameras->setCurrentText(QStringLiteral("camera_1"));
        QCOMPARE(state_->getCameraName(), QStringLiteral("camera_1"));
        child<QToolButton>("update_cameras_tb")->click();
        QCOMPARE(cameras->itemText(0), QStringLiteral("camera_1"));
        QCOMPARE(cameras->currentText(), QStringLiteral("camera_1"));

        Velmora::World::getNodeByName("camera_1")->setName("renamed");
        child<QToolButton>("update_cameras_tb")->click();
        QCOMPARE(cameras->currentText(), QStringLiteral("Editor Camera"));
        QCOMPARE(state_->getCameraName(), QStringLiteral("Editor Camera"));
        Velmora::World::getNodeByName("renamed")->setName("camera_1");
        child<QToolButton>("update_cameras_tb")->click();
    }

    void a_too_high_resolution_is_asked_about_before_grabbing()
    {
        int asked = 0;
        VideoGrabberForm::setResolutionQuestion([&asked](QWidget *) {
            ++asked;
            return false;
        });
        type(edit("width_le"), QStringLiteral("1921"));
        type(edit("height_le"), QStringLiteral("1080"));
        child<QComboBox>("aa_cb")->setCurrentIndex(VideoGrabberState::AA_2X);
        child<QPushButton>("grab_b")->click();
        QCOMPARE(asked, 1);
        QCOMPARE(state_->getState(), VideoGrabberState::IDLE);
        shell_->pumpFrames(2);
        QVERIFY(!controller_->isGrabbing());
        QVERIFY(!form_->progress());
        child<QComboBox>("aa_cb")->setCurrentIndex(VideoGrabberState::AA_NONE);
        type(edit("width_le"), QStringLiteral("64"));
        type(edit("height_le"), QStringLiteral("48"));
        VideoGrabberForm::setResolutionQuestion(nullptr);
    }

    void a_single_shot_reports_the_file_for_two_seconds()
    {
        state_->setSavePath(shell_->dataPath() + QStringLiteral("shots"));
        child<QComboBox>("format_cb")->setCurrentIndex(VideoGrabberState::TGA);
        child<QPushButton>("grab_b")->click();
        QVERIFY(!form_->progress());
        runGrab();
        QVERIFY(QFileInfo::exists(shell_->dataPath() + QStringLiteral("shots/frame_0000.tga")));
        auto status = child<QLabel>("status_label");
        QCOMPARE(status->text(), QStringLiteral("File saved: frame_0000.tga\n"));
        screenshot(form_, "video_grabber_form.png");
        QTest::qWait(1500);
        QCOMPARE(status->text(), QStringLiteral("File saved: frame_0000.tga\n"));
        QTRY_COMPARE_WITH_TIMEOUT(status->text(), QString(), 1500);
    }

    void a_sequence_shows_its_progress_until_it_ends()
    {
        child<QRadioButton>("sequence_rb")->setChecked(true);
        Dialogs::setResponder(
                [](const Dialogs::Request &) { return QString::fromLatin1(test::CaptureShell::TRACK_GUID); });
        child<QToolButton>("track_b")->click();
        QTRY_COMPARE(edit("track_le")->text(), QStringLiteral("fly"));
        Dialogs::setResponder(Dialogs::Responder());
        type(edit("fps_le"), QStringLiteral("10"));
        QTest::keyClick(edit("fps_le"), Qt::Key_Return);
        state_->setSavePath(shell_->dataPath() + QStringLiteral("sequence"));

        child<QPushButton>("grab_b")->click();
        shell_->pumpFrames(1);
        QPointer<VideoGrabberProgress> progress = form_->progress();
        QVERIFY(progress);
        QCOMPARE(progress->windowTitle(), QStringLiteral("Grabbing..."));
        QCOMPARE(progress->findChild<QLabel *>(QStringLiteral("info_l"))->text(), QStringLiteral("1/21 frames"));
        QCOMPARE(progress->windowModality(), Qt::ApplicationModal);
        // Over the editor's window, not in a corner of the screen.
        const QWidget *host = form_->window();
        // (The platform may add a frame of a few pixels.)
        QVERIFY((progress->geometry().center() - host->mapToGlobal(host->rect().center())).manhattanLength() <= 8);
        shell_->pumpFrames(5);
        QCOMPARE(form_->progress(), progress.data()); // one window for the whole grab
        // Five frames captured; the sixth is under way.
        QCOMPARE(progress->findChild<QProgressBar *>(QStringLiteral("progress_pb"))->value(), 6);
        screenshot(progress, "video_grabber_progress.png");
        runGrab();
        QTRY_VERIFY(!progress);
        QCOMPARE(child<QLabel>("status_label")->text(), QStringLiteral("Sequence saved\n"));
        QDir folder(shell_->dataPath() + QStringLiteral("sequence"));
        QCOMPARE(folder.entryList({QStringLiteral("frame_*.tga")}, QDir::Files).size(), 21);
    }

    void abort_or_closing_the_progress_window_stops_the_sequence_data()
    {
        QTest::addColumn<bool>("close");
        QTest::newRow("abort button") << false;
        QTest::newRow("title bar close") << true;
    }
    void abort_or_closing_the_progress_window_stops_the_sequence()
    {
        QFETCH(bool, close);
        const QString path = shell_->dataPath() + QStringLiteral("aborted_%1").arg(int(close));
        state_->setSavePath(path);
        child<QPushButton>("grab_b")->click();
        shell_->pumpFrames(4);
        QPointer<VideoGrabberProgress> progress = form_->progress();
        QVERIFY(progress);
        if (close)
            progress->close();
        else
            progress->findChild<QPushButton *>(QStringLiteral("abort_b"))->click();
        QCOMPARE(state_->getState(), VideoGrabberState::IDLE);
        runGrab();
        QTRY_VERIFY(!progress);
        QCOMPARE(QDir(path).entryList({QStringLiteral("frame_*.tga")}, QDir::Files).size(), 3);
    }

    void a_failed_frame_shows_an_error_box_without_blocking()
    {
        child<QRadioButton>("single_shot_rb")->setChecked(true);
        QVERIFY(shell_->writeData(QStringLiteral("not_a_folder"), "x"));
        state_->setSavePath(shell_->dataPath() + QStringLiteral("not_a_folder/frames"));
        child<QPushButton>("grab_b")->click();
        runGrab();
        QMessageBox *box = nullptr;
        for (QWidget *widget : QApplication::topLevelWidgets())
            if (widget->objectName() == QLatin1String("VideoGrabberError") && widget->isVisible())
                box = qobject_cast<QMessageBox *>(widget);
        QVERIFY(box);
        QVERIFY(!box->isModal());
        QVERIFY(box->text().startsWith(QStringLiteral("Cannot save file: frame_")));
        box->close();
    }

    void a_track_whose_asset_is_gone_shows_no_name()
    {
        form_->onChangeTrack(Velmora::UGUID("eeeee00000000000000000000000000000000404"));
        QCOMPARE(edit("track_le")->text(), QString());
    }

    void the_folder_button_takes_the_chosen_folder()
    {
        QString offered;
        VideoGrabberForm::setDirectoryChooser([&offered, this](QWidget *, const QString &start) {
            offered = start;
            return shell_->root() + QStringLiteral("/elsewhere");
        });
        const QString before = edit("save_path_le")->text();
        child<QToolButton>("save_path_b")->click();
        QCOMPARE(offered, before);
        QCOMPARE(state_->getSavePath(), shell_->root() + QStringLiteral("/elsewhere"));
        VideoGrabberForm::setDirectoryChooser(nullptr);
    }
};

QTEST_MAIN(TestVideoGrabberForm)
#include "tst_video_grabber_form.moc"
