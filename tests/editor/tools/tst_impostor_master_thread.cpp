#include "file_size_limit.h"
#include "file_system_quirks.h"
#include "impostor_fixture.h"

#include "editor/tools/camera_setup.h"
#include "editor/tools/master_thread.h"

#include <editor_core/as/TextureImportParams.h>

#include <velmora/Game.h>
#include <velmora/Image.h>

#include <QElapsedTimer>
#include <QThread>
#include <QtTest>

using namespace Impostors;
using Velmora::Image;

namespace {

// Saves after a pause, so that a test can act while the save runs.
class SlowSaveMaster : public MasterThread
{
public:
    using MasterThread::MasterThread;
    QAtomicInt saving;

protected:
    bool saveImage(const Image &image, const QString &path) override
    {
        saving = 1;
        QThread::msleep(400);
        return MasterThread::saveImage(image, path);
    }
};

// Steps the job until it ends (or 60 s pass); false on a timeout.
bool runToEnd(MasterThread &job)
{
    QElapsedTimer timer;
    timer.start();
    while (job.getStep() != MasterThread::STEP_DONE && timer.elapsed() < 60000) {
        job.update();
        QThread::usleep(100);
    }
    return job.getStep() == MasterThread::STEP_DONE;
}

} // namespace

class tst_ImpostorMasterThread : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void formats_follow_the_kind_and_a_jpg_path_data();
    void formats_follow_the_kind_and_a_jpg_path();
    void two_kinds_are_grabbed_saved_imported_then_reimported();
    void nothing_requested_finishes_at_once_and_leaves_the_game_alone();
    void a_failed_save_is_logged_and_not_imported();
    void a_grab_that_gives_up_skips_its_kind();
    void cancel_or_destruction_during_a_save_waits_for_the_file_data();
    void cancel_or_destruction_during_a_save_waits_for_the_file();
    void a_kept_earlier_file_never_stays_behind_data();
    void a_kept_earlier_file_never_stays_behind();

private:
    GrabParameters params() const;
    QString dataPath(const QString &relative) const { return fixture_->dataPath() + relative; }

    std::unique_ptr<impostortest::Fixture> fixture_;
};

void tst_ImpostorMasterThread::initTestCase()
{
    fixture_ = std::make_unique<impostortest::Fixture>();
    QVERIFY(fixture_->start());
}

void tst_ImpostorMasterThread::cleanupTestCase()
{
    fixture_.reset();
}

GrabParameters tst_ImpostorMasterThread::params() const
{
    CameraSetup setup;
    setup.node = impostortest::node("tree");
    setup.numPhi = 4;
    setup.numTheta = 1;
    setup.aspect = 1.0f;
    setup.setup();
    GrabParameters p;
    p.node = setup.node;
    p.distance = setup.distance;
    p.projection = setup.projection;
    p.modelviews = setup.modelviews;
    p.cellWidth = 16;
    p.cellHeight = 16;
    p.supersampling = 1;
    p.numPhi = 4;
    p.numTheta = 1;
    p.padding = 2;
    return p;
}

void tst_ImpostorMasterThread::formats_follow_the_kind_and_a_jpg_path_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("save");
    QTest::addColumn<int>("import");
    QTest::newRow("albedo") << int(TEXTURE_ALBEDO) << "a.tga" << int(Image::FORMAT_RGBA8) << 22;
    QTest::newRow("shading") << int(TEXTURE_SHADING) << "a.png" << int(Image::FORMAT_RGBA8) << 22;
    QTest::newRow("normal") << int(TEXTURE_NORMAL_VEGETATION) << "a.tga" << int(Image::FORMAT_RG8) << 24;
    QTest::newRow("baked ao") << int(TEXTURE_BAKED_AO) << "a.dds" << int(Image::FORMAT_R8) << 23;
    QTest::newRow("depth") << int(TEXTURE_DEPTH) << "a.dds" << int(Image::FORMAT_R32F) << 8;
    QTest::newRow("jpg any kind") << int(TEXTURE_BAKED_AO) << "a.jpg" << int(Image::FORMAT_RGB8) << 20;
    QTest::newRow("JPG is not jpg") << int(TEXTURE_BAKED_AO) << "a.JPG" << int(Image::FORMAT_R8) << 23;
}

void tst_ImpostorMasterThread::formats_follow_the_kind_and_a_jpg_path()
{
    QFETCH(int, kind);
    QFETCH(QString, path);
    QFETCH(int, save);
    QFETCH(int, import);
    QCOMPARE(MasterThread::saveFormat(kind, path), save);
    QCOMPARE(MasterThread::importFormat(save), import);
}

void tst_ImpostorMasterThread::two_kinds_are_grabbed_saved_imported_then_reimported()
{
    Velmora::Game::setEnabled(true);
    QMap<int, Velmora::UGUID> first;
    for (int run = 0; run < 2; ++run) {
        MasterThread job(params());
        job.setOutputPath(TEXTURE_SHADING, dataPath("impostors/tree_sh.png"));
        job.setOutputPath(TEXTURE_ALBEDO, dataPath("impostors/tree_alb.tga"));
        job.setOutputPath(TEXTURE_DEPTH, QString()); // left out
        QVector<float> values;
        bool game_during_run = true;
        connect(&job, &FrameThread::progress, this, [&](float value) {
            values << value;
            game_during_run = game_during_run && Velmora::Game::isEnabled();
        });
        QSignalSpy finished(&job, &FrameThread::finished);
        QVERIFY(runToEnd(job));
        QCOMPARE(finished.count(), 1);
        QVERIFY(Velmora::Game::isEnabled());
        QVERIFY(!game_during_run);

        // Kinds run in ascending order, each over half of the range.
        QVERIFY(!values.isEmpty());
        QVERIFY(std::is_sorted(values.begin(), values.end()));
        QVERIFY(values.contains(0.5f));
        QCOMPARE(values.last(), 1.0f);

        QCOMPARE(job.imported().keys(), (QList<int>{TEXTURE_ALBEDO, TEXTURE_SHADING}));
        Image albedo;
        QVERIFY(albedo.load(qPrintable(dataPath("impostors/tree_alb.tga"))));
        QCOMPARE(albedo.getWidth(), 64);
        QCOMPARE(albedo.getHeight(), 16);
        const as::Asset asset = fixture_->assets()->asset(QStringLiteral("impostors/tree_alb.tga"));
        QCOMPARE(job.imported().value(TEXTURE_ALBEDO), asset.getGUID());
        as::TextureImportParams import;
        import.fromParams(asset.getImportParams());
        QCOMPARE(import.getMipmapType(), 2);
        QCOMPARE(import.getImageFormat(), 22);
        if (run == 0)
            first = job.imported();
        else
            QCOMPARE(job.imported(), first); // re-imported: the same assets
    }
}

void tst_ImpostorMasterThread::nothing_requested_finishes_at_once_and_leaves_the_game_alone()
{
    Velmora::Game::setEnabled(true);
    MasterThread job(params());
    QSignalSpy finished(&job, &FrameThread::finished);
    job.update();
    QCOMPARE(finished.count(), 1);
    QCOMPARE(job.getStep(), int(MasterThread::STEP_DONE));
    QVERIFY(Velmora::Game::isEnabled());
    // A cancel before any step leaves the Game alone too.
    MasterThread idle(params());
    idle.setOutputPath(TEXTURE_ALBEDO, dataPath("impostors/x.tga"));
    QSignalSpy cancelled(&idle, &FrameThread::cancelled);
    idle.cancel();
    QCOMPARE(cancelled.count(), 1);
    QVERIFY(Velmora::Game::isEnabled());
}

void tst_ImpostorMasterThread::a_failed_save_is_logged_and_not_imported()
{
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Failed to save impostor image to .*missing/"));
    MasterThread job(params());
    // A folder in place of the file's folder: the save cannot write.
    QVERIFY(fixture_->writeData(QStringLiteral("blocked"), "x"));
    job.setOutputPath(TEXTURE_ALBEDO, dataPath("blocked/missing/tree_alb.tga"));
    QSignalSpy finished(&job, &FrameThread::finished);
    QVERIFY(runToEnd(job));
    QCOMPARE(finished.count(), 1);
    QVERIFY(job.imported().isEmpty());
    QVERIFY(fixture_->assets()->asset(QStringLiteral("blocked/missing/tree_alb.tga")).isNull());
}

void tst_ImpostorMasterThread::a_grab_that_gives_up_skips_its_kind()
{
    // Cells beyond the renderer's largest texture: the grab job refuses at
    // set-up; the run goes on without that kind and still finishes.
    GrabParameters huge = params();
    huge.cellWidth = 20000;
    huge.cellHeight = 20000;
    MasterThread job(huge);
    job.setOutputPath(TEXTURE_ALBEDO, dataPath("impostors/huge_alb.tga"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("made no image; the texture is skipped"));
    QSignalSpy finished(&job, &FrameThread::finished);
    QVERIFY(runToEnd(job));
    QCOMPARE(finished.count(), 1);
    QVERIFY(job.imported().isEmpty());
    QVERIFY(!QFileInfo::exists(dataPath("impostors/huge_alb.tga")));
}

void tst_ImpostorMasterThread::cancel_or_destruction_during_a_save_waits_for_the_file_data()
{
    QTest::addColumn<bool>("destroy");
    QTest::newRow("cancel") << false;
    QTest::newRow("destroy") << true;
}

void tst_ImpostorMasterThread::cancel_or_destruction_during_a_save_waits_for_the_file()
{
    QFETCH(bool, destroy);
    Velmora::Game::setEnabled(true);
    const QString path = dataPath(destroy ? "impostors/destroyed.png" : "impostors/cancelled.png");
    auto job = std::make_unique<SlowSaveMaster>(params());
    job->setOutputPath(TEXTURE_ALBEDO, path);
    QSignalSpy finished(job.get(), &FrameThread::finished);
    QSignalSpy cancelled(job.get(), &FrameThread::cancelled);
    QElapsedTimer timer;
    timer.start();
    while (job->getStep() != MasterThread::STEP_SAVE && timer.elapsed() < 60000)
        job->update();
    QTRY_VERIFY(job->saving.loadAcquire() == 1);
    QVERIFY(!Velmora::Game::isEnabled());
    if (destroy) {
        job.reset();
    } else {
        job->cancel();
        QCOMPARE(cancelled.count(), 1);
        QCOMPARE(finished.count(), 0);
        job->update();
        QCOMPARE(finished.count(), 0);
    }
    QVERIFY(QFileInfo::exists(path));
    QVERIFY(Velmora::Game::isEnabled());
    QVERIFY(fixture_->assets()->asset(path).isNull());
}

void tst_ImpostorMasterThread::a_kept_earlier_file_never_stays_behind_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("cancelled while saving: put back") << "cancelled";
    QTest::newRow("destroyed while saving: put back") << "destroyed";
    QTest::newRow("a full disk without links: the copy fails, nothing written") << "full fat";
    QTest::newRow("a full disk: the record of the kept file fails, nothing written") << "full";
}

void tst_ImpostorMasterThread::a_kept_earlier_file_never_stays_behind()
{
    QFETCH(QString, how);
    const QString folder = dataPath("kept_" + QString(how).replace(QLatin1Char(' '), QLatin1Char('_')) + "/");
    const QString path = folder + "tree_alb.tga";
    const QByteArray earlier(70000, 'e');
    QVERIFY(fixture_->writeData(QDir(fixture_->dataPath()).relativeFilePath(path), earlier));
    auto job = std::make_unique<SlowSaveMaster>(params());
    job->setOutputPath(TEXTURE_ALBEDO, path);
    job->setKeepReplaced(true);
    std::unique_ptr<test::NoLinksOrModes> fat(how.endsWith("fat") ? new test::NoLinksOrModes : nullptr);
    std::unique_ptr<test::FileSizeLimit> full(how.startsWith("full") ? new test::FileSizeLimit(fat ? 4096 : 0)
                                                                     : nullptr);
    if (!full) {
        // Stopped while saving: the file is written, then given its earlier
        // contents back, by a cancel or by the job going away.
        while (job->getStep() != MasterThread::STEP_SAVE)
            job->update();
        QTRY_VERIFY(job->saving.loadAcquire() == 1);
        if (how == "cancelled") {
            job->cancel();
            QVERIFY(job->saved().isEmpty() && job->notPutBack().isEmpty()); // nothing to tell
        }
    } else {
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(fat ? "cannot keep the earlier" : "cannot record the earlier"));
        QVERIFY(runToEnd(*job));
    }
    full.reset();
    fat.reset();
    job.reset();
    // Only the texture and, once imported, its meta file: nothing hidden.
    for (const QString &name : test::folderEntries(folder))
        QVERIFY2(!name.startsWith(QLatin1Char('.')), qPrintable(name));
    QCOMPARE(test::Installation::read(path), earlier);
}

QTEST_MAIN(tst_ImpostorMasterThread)
#include "tst_impostor_master_thread.moc"
