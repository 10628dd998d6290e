// Where the video grabber's frames go and what a grab leaves, over a data
// folder that the engine reaches through a symbolic link: save folders
// given by their real path, a file system without links or modes, a full
// disk, a read-only folder, names that are taken when a frame is moved to
// its name, scratch folders of killed grabs, and a folder of 20,000 frames.

#include "asset_files.h"
#include "killed_process.h"

#include "editor/tracker/tracker.h"
#include "editor/video_grabber/frame_scratch_folder.h"
#include "editor/video_grabber/video_grabber_controller.h"
#include "editor/video_grabber/video_grabber_state.h"

#include "capture_shell.h"
#include "file_size_limit.h"
#include "file_system_quirks.h"
#include "grab_frames.h"

#include <editor_core/depr/EditorGlobals.h>

#include <velmora/Editor.h>
#include <velmora/FileSystem.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QtTest>

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

class TestVideoGrabberFiles : public QObject
{
    Q_OBJECT

    test::CaptureShell *shell_ = nullptr;
    Tracker *tracker_ = nullptr;
    VideoGrabberState *state_ = nullptr;
    VideoGrabberController *controller_ = nullptr;
    QList<VideoGrabberState::State> states_;

    void grab(int max_frames = 400)
    {
        states_.clear();
        grabFrames(*shell_, *state_, *controller_, max_frames);
    }
    // A new controller, whose first grab lists its folder (its init sets
    // the save folder and the size).
    void freshController()
    {
        delete controller_;
        controller_ = new VideoGrabberController(state_);
        controller_->init();
        state_->setWidth(32);
        state_->setHeight(24);
    }
    static QStringList entries(const QString &folder) { return test::folderEntries(folder); }
    static QStringList frames(const QString &folder)
    {
        return QDir(folder)
                .entryList({QStringLiteral("frame_*")}, QDir::Files | QDir::System, QDir::Name)
                .filter(QRegularExpression(QStringLiteral("^frame_\\d+\\.\\w+$")));
    }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale::c());
        shell_ = new test::CaptureShell({}, true);
        QVERIFY(shell_->isValid());
        QVERIFY(QFileInfo(shell_->dataPath().chopped(1)).isSymLink());
        tracker_ = new Tracker(shell_->mainWindow());
        depr::gui.tracker = tracker_;
        QVERIFY(::Velmora::Editor::load("tamsel2/editor.usc"));
        tracker_->init();
        QVERIFY(shell_->loadWorld());
        VideoGrabberState::setWarningHandler([](const QString &, const QString &) {});
        state_ = new VideoGrabberState(shell_->mainWindow());
        controller_ = new VideoGrabberController(state_);
        controller_->init();
        connect(state_, &VideoGrabberState::stateChanged, this,
                [this](VideoGrabberState::State state) { states_ << state; });
        state_->setCameraName(QStringLiteral("camera_1"));
        state_->setWidth(32);
        state_->setHeight(24);
        state_->setFormat(VideoGrabberState::PNG);
    }
    void cleanupTestCase() { deleteGrabber(shell_, tracker_, state_, controller_); }
    void init() { state_->setMode(VideoGrabberState::SINGLE_SHOT); }

    void a_save_folder_is_inside_the_data_folder_by_where_it_really_is()
    {
        // The folder dialog gives the real path; the engine knows the link.
        const QString real = shell_->realDataPath() + QStringLiteral("shots_real");
        state_->setSavePath(real);
        grab();
        QCOMPARE(frames(real), QStringList{"frame_0000.png"});
        QVERIFY(QFileInfo::exists(real + QStringLiteral("/frame_0000.png.meta")));
        QVERIFY(!shell_->assets()->asset(QStringLiteral("shots_real/frame_0000.png")).getGUID().isEmpty());

        // Through the link, as before.
        state_->setSavePath(shell_->dataPath() + QStringLiteral("shots_linked"));
        grab();
        QVERIFY(!shell_->assets()->asset(QStringLiteral("shots_linked/frame_0001.png")).getGUID().isEmpty());

        // A folder inside that leads outside, and one outside: the frames
        // are saved and not imported.
        const QString outside = shell_->root() + QStringLiteral("/outside");
        QVERIFY(QDir().mkpath(outside));
        QVERIFY(QFile::link(outside, shell_->realDataPath() + QStringLiteral("leads_out")));
        for (const QString &folder : {shell_->dataPath() + QStringLiteral("leads_out"), outside}) {
            state_->setSavePath(folder);
            grab();
            QVERIFY(!states_.contains(VideoGrabberState::FAILED));
        }
        QCOMPARE(entries(outside), (QStringList{"frame_0002.png", "frame_0003.png"}));
        QVERIFY(shell_->assets()->asset(QStringLiteral("leads_out/frame_0002.png")).getGUID().isEmpty());
    }

    void frames_are_saved_where_links_and_modes_are_refused()
    {
        const QString folder = shell_->realDataPath() + QStringLiteral("fat");
        freshController();
        state_->setSavePath(folder);
        {
            test::NoLinksOrModes fat;
            grab();
            state_->setMode(VideoGrabberState::SEQUENCE);
            state_->setTrackGUID(Velmora::UGUID(test::CaptureShell::TRACK_GUID));
            state_->setFps(1.0f);
            grab();
            QVERIFY(fat.refusedCalls() > 0);
        }
        QVERIFY(!states_.contains(VideoGrabberState::FAILED));
        QCOMPARE(frames(folder), (QStringList{"frame_0000.png", "frame_0001.png", "frame_0002.png", "frame_0003.png"}));
        // Imported, and nothing else is left beside them.
        QCOMPARE(entries(folder).size(), 8);
    }

    void a_frame_that_cannot_be_written_leaves_nothing()
    {
        const QString folder = shell_->realDataPath() + QStringLiteral("full");
        QVERIFY(QDir().mkpath(folder));
        state_->setSavePath(folder);
        for (const bool fat : {false, true}) {
            std::unique_ptr<test::NoLinksOrModes> quirks(fat ? new test::NoLinksOrModes : nullptr);
            test::FileSizeLimit full(16);
            QVERIFY(full.isActive());
            grab();
            QVERIFY(states_.contains(VideoGrabberState::FAILED));
            QCOMPARE(entries(folder), QStringList());
        }
        if (::geteuid() == 0)
            return; // a read-only folder does not stop root
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        grab();
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QVERIFY(states_.contains(VideoGrabberState::FAILED));
        QCOMPARE(entries(folder), QStringList());
    }

    void numbering_goes_past_the_top_of_int_and_a_failure_names_its_frame()
    {
        const QString folder = shell_->root() + QStringLiteral("/top_of_int");
        QVERIFY(test::writeFile(folder + QStringLiteral("/frame_2147483647.png"), "x"));
        freshController();
        state_->setSavePath(folder);
        {
            test::FileSizeLimit full(16);
            QVERIFY(full.isActive());
            grab();
        }
        QVERIFY(states_.contains(VideoGrabberState::FAILED));
        QCOMPARE(state_->getImagePath(), QStringLiteral("frame_2147483648.png"));
        // The failed number is used up; later grabs go on, here and in
        // another folder.
        grab();
        QVERIFY(!states_.contains(VideoGrabberState::FAILED));
        QCOMPARE(frames(folder), (QStringList{"frame_2147483647.png", "frame_2147483649.png"}));
        const QString other = shell_->root() + QStringLiteral("/after_top_of_int");
        state_->setSavePath(other);
        grab();
        QCOMPARE(frames(other), QStringList{"frame_2147483650.png"});
    }

    void a_frame_never_takes_a_name_that_exists_data()
    {
        QTest::addColumn<bool>("fat");
        QTest::newRow("links and modes") << false;
        QTest::newRow("no links, no modes") << true;
    }
    void a_frame_never_takes_a_name_that_exists()
    {
        QFETCH(bool, fat);
        const QString folder = shell_->root() + QStringLiteral("/taken_") + QTest::currentDataTag();
        const QString outside = shell_->root() + QStringLiteral("/target_") + QTest::currentDataTag();
        QVERIFY(test::writeFile(outside, "outside"));
        QVERIFY(test::writeFile(folder + QStringLiteral("/file.png"), "file"));
        QVERIFY(QDir().mkpath(folder + QStringLiteral("/folder.png")));
        QVERIFY(QFile::link(outside, folder + QStringLiteral("/link.png")));
        QVERIFY(QFile::link(outside + QStringLiteral(".gone"), folder + QStringLiteral("/dangling.png")));
        std::unique_ptr<test::NoLinksOrModes> quirks(fat ? new test::NoLinksOrModes : nullptr);
        FrameScratchFolder scratch(folder);
        QVERIFY(scratch.isValid());
        QVERIFY(test::writeFile(scratch.filePath(QStringLiteral("frame.png")), "frame"));
        for (const char *name : {"file.png", "folder.png", "link.png", "dangling.png"}) {
            errno = 0;
            QVERIFY(!scratch.moveOut(QStringLiteral("frame.png"), folder + QLatin1Char('/') + QLatin1String(name)));
            QCOMPARE(errno, EEXIST);
        }
        QCOMPARE(test::readFile(folder + QStringLiteral("/file.png")), QByteArray("file"));
        QVERIFY(QFileInfo(folder + QStringLiteral("/folder.png")).isDir());
        QVERIFY(QDir(folder + QStringLiteral("/folder.png")).isEmpty());
        QCOMPARE(test::readFile(outside), QByteArray("outside"));
        QVERIFY(!QFileInfo::exists(outside + QStringLiteral(".gone")));
        QVERIFY(QFileInfo(folder + QStringLiteral("/dangling.png")).isSymLink());
        QVERIFY(scratch.moveOut(QStringLiteral("frame.png"), folder + QStringLiteral("/free.png")));
        QCOMPARE(test::readFile(folder + QStringLiteral("/free.png")), QByteArray("frame"));
        if (quirks)
            QVERIFY(quirks->refusedCalls() >= 8); // no rename without replacing, no link
    }

    void a_grab_clears_what_killed_grabs_left_in_its_folder()
    {
        const QString folder = shell_->root() + QStringLiteral("/killed");
        QVERIFY(QDir().mkpath(folder));
        // Killed while the frame was written, and after.
        const qint64 writing = test::runKilled(folder,
                                               QStringLiteral("mkdir .velmora-frame-$$-a1 && printf half > "
                                                              ".velmora-frame-$$-a1/.frame_0003.png.velmora-tmp-$$-0"));
        const qint64 written = test::runKilled(
                folder,
                QStringLiteral("mkdir .velmora-frame-$$-b2 && printf whole > .velmora-frame-$$-b2/frame_0003.png"));
        const qint64 empty = test::runKilled(folder, QStringLiteral("mkdir .velmora-frame-$$-c3"));
        // Not ours to remove: anything but one frame and its temporary file
        // in it (a folder, other names, a second frame), a link, a running
        // process's, other names (what only looks like ours, the older
        // names included: a user's folder of frames).
        const qint64 other = test::runKilled(
                folder,
                QStringLiteral("mkdir -p .velmora-frame-$$-d4/sub .velmora-frame-$$-e5 .velmora-frame-$$-h8 && "
                               "printf notes > .velmora-frame-$$-e5/notes.txt && "
                               "printf 1 > .velmora-frame-$$-h8/frame_0001.png && "
                               "printf 2 > .velmora-frame-$$-h8/frame_0002.png && "
                               "mkdir .frame_$$-b2 && printf whole > .frame_$$-b2/frame_0003.png && "
                               "ln -s ../elsewhere .velmora-frame-$$-f6"));
        QVERIFY(QDir().mkpath(folder + QStringLiteral("/.frame_123-x")));
        for (const char *name : {"frame_0001.png", "frame_0002.png", "frame_0003.png"})
            QVERIFY(test::writeFile(folder + QStringLiteral("/.frame_123-x/") + QLatin1String(name), "mine"));
        QVERIFY(writing > 0 && written > 0 && empty > 0 && other > 0);
        QVERIFY(QDir().mkpath(shell_->root() + QStringLiteral("/elsewhere")));
        QVERIFY(test::writeFile(shell_->root() + QStringLiteral("/elsewhere/frame_0001.png"), "keep"));
        QProcess running;
        running.start(QStringLiteral("sleep"), {QStringLiteral("60")});
        QVERIFY(running.waitForStarted());
        const QString live = QStringLiteral(".velmora-frame-%1-g7").arg(running.processId());
        QVERIFY(QDir(folder).mkdir(live) && QDir(folder).mkdir(QStringLiteral(".velmora-frame-notes")));
        QStringList kept{live, QStringLiteral(".velmora-frame-notes"), QStringLiteral(".frame_123-x"),
                         QStringLiteral(".frame_%1-b2").arg(other)};
        for (const char *tag : {"d4", "e5", "f6", "h8"})
            kept << QStringLiteral(".velmora-frame-%1-%2").arg(other).arg(QLatin1String(tag));

        freshController();
        state_->setSavePath(folder);
        grab();
        running.kill();
        running.waitForFinished();
        QVERIFY(!states_.contains(VideoGrabberState::FAILED));
        QStringList expected = kept;
        expected << QStringLiteral("frame_0000.png");
        expected.sort();
        QCOMPARE(entries(folder), expected);
        QCOMPARE(test::readFile(folder + QStringLiteral("/.velmora-frame-%1-e5/notes.txt").arg(other)),
                 QByteArray("notes"));
        QCOMPARE(entries(folder + QStringLiteral("/.velmora-frame-%1-h8").arg(other)).size(), 2);
        QCOMPARE(entries(folder + QStringLiteral("/.frame_123-x")).size(), 3);
        QCOMPARE(test::readFile(shell_->root() + QStringLiteral("/elsewhere/frame_0001.png")), QByteArray("keep"));
    }

    void numbering_goes_on_after_the_highest_frame_of_any_width()
    {
        // frame_0000 to frame_19999, frame_15000 missing, and a name that
        // only looks like a frame.
        const QString folder = shell_->root() + QStringLiteral("/many");
        QVERIFY(QDir().mkpath(folder));
        for (int number = 0; number < 20000; ++number) {
            if (number == 15000)
                continue;
            const QString name = QStringLiteral("/frame_%1.png").arg(number, 4, 10, QLatin1Char('0'));
            QFile file(folder + name);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QVERIFY(test::writeFile(folder + QStringLiteral("/frame_99999.png.bak"), "x"));
        freshController();
        state_->setSavePath(folder);
        grab();
        QVERIFY(QFileInfo::exists(folder + QStringLiteral("/frame_20000.png")));
        QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/frame_15000.png")));

        // The cost of a frame does not grow with the folder: a sequence of
        // 31 frames here and in an empty folder.
        auto sequenceTime = [this](const QString &save) {
            state_->setSavePath(save);
            state_->setMode(VideoGrabberState::SEQUENCE);
            state_->setTrackGUID(Velmora::UGUID(test::CaptureShell::TRACK_GUID));
            state_->setFps(15.0f);
            QElapsedTimer timer;
            timer.start();
            grab();
            return timer.nsecsElapsed();
        };
        const qint64 crowded = sequenceTime(folder);
        QVERIFY(QFileInfo::exists(folder + QStringLiteral("/frame_20031.png")));
        const qint64 alone = sequenceTime(shell_->root() + QStringLiteral("/alone"));
        qInfo("31 frames: %.1f ms beside 20,000 frames, %.1f ms in an empty folder", crowded / 1e6, alone / 1e6);
        QVERIFY(crowded < 2 * alone + 50000000);
    }
};

QTEST_MAIN(TestVideoGrabberFiles)
#include "tst_video_grabber_files.moc"
