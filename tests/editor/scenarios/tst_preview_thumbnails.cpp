#include "scenario_runner.h"

#include "editor/presenter/presenter.h"
#include "editor/preview_thumbnails/project_preview_grabber.h"

#include <editor_core/EditorLogic.h>
#include <editor_core/ViewportManager.h>
#include <editor_core/as/Asset.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/AssetManagerPrivate.h>

#include <velmora/Console.h>
#include <velmora/Game.h>
#include <velmora/World.h>

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QTest>

namespace {

const char *const WORLD = "levels/forest/main";
const QByteArray NOT_A_PICTURE("left here by the user");

QString picturePath()
{
    return test::context().data_path + QLatin1String(".thumbnails/levels_forest_main.png");
}

QByteArray pictureBytes()
{
    QFile file(picturePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The file is a 270 x 152 PNG picture.
bool isThumbnail(QString *why)
{
    QImageReader reader(picturePath());
    if (reader.format() != "png") {
        *why = QStringLiteral("not a PNG: ") + QString::fromLatin1(reader.format());
        return false;
    }
    const QImage image = reader.read();
    if (image.size() != QSize(270, 152)) {
        *why = QStringLiteral("size %1 x %2").arg(image.width()).arg(image.height());
        return false;
    }
    return true;
}

#define VERIFY_THUMBNAIL()                                                                                             \
    do {                                                                                                               \
        QString why;                                                                                                   \
        QVERIFY2(isThumbnail(&why), qPrintable(why));                                                                  \
    } while (false)

void addWorld(test::ProjectBuilder &project)
{
    project.world(QString::fromLatin1(WORLD) + QLatin1String(".world"), QStringLiteral("{e501}"),
                  {QStringLiteral("tree"), QStringLiteral("rock")});
}

void loadWorldAtStart(QStringList &arguments)
{
    arguments << QStringLiteral("-console_command") << QStringLiteral("world_load %1").arg(QLatin1String(WORLD));
}

bool startUpGrabDone()
{
    return !test::presenter()->previewGrabber()->isWaitingForStartUpGrab();
}

void saveWorld()
{
    Velmora::Console::run("world_save");
}

// ---- save_and_start_up --------------------------------------------------------

class SaveAndStartUp : public test::Scenario
{
    Q_OBJECT

public:
    void prepare(test::ProjectBuilder &project, QStringList &arguments) override
    {
        addWorld(project);
        loadWorldAtStart(arguments);
    }

private slots:
    void initTestCase()
    {
        // Runs after the grabber's own handler, in the same frame.
        QObject::connect(depr::g.editor, &EditorLogic::onUpdate, this, [this] {
            if (first_frame_ < 0 && QFileInfo::exists(picturePath()))
                first_frame_ = Velmora::Game::getFrame();
        });
    }

    void start_up_picture_comes_at_five_seconds_of_game_time()
    {
        QTRY_VERIFY(Velmora::World::isLoaded());
        QTRY_VERIFY_WITH_TIMEOUT(first_frame_ >= 0, 60000);
        QVERIFY2(first_frame_ >= 250 && first_frame_ <= 260, qPrintable(QString::number(first_frame_)));
        QVERIFY(startUpGrabDone());
        VERIFY_THUMBNAIL();
    }

    void start_up_picture_is_not_written_again()
    {
        const QByteArray before = pictureBytes();
        const QDateTime modified = QFileInfo(picturePath()).lastModified();
        QVERIFY(test::waitFrames(30));
        QCOMPARE(pictureBytes(), before);
        QCOMPARE(QFileInfo(picturePath()).lastModified(), modified);
    }

    void saving_the_world_replaces_the_picture()
    {
        QFile file(picturePath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(NOT_A_PICTURE);
        file.close();
        saveWorld();
        QTRY_VERIFY(pictureBytes() != NOT_A_PICTURE);
        VERIFY_THUMBNAIL();
    }

    void thumbnails_folder_holds_no_asset()
    {
        const auto assets = depr::g.asset_manager->assets();
        for (const as::Asset &asset : assets)
            QVERIFY2(!asset.getFilePath().contains(QLatin1String("/.thumbnails/")), qPrintable(asset.getFilePath()));
    }

private:
    int first_frame_ = -1;
};

// ---- existing_picture -----------------------------------------------------------

class ExistingPicture : public test::Scenario
{
    Q_OBJECT

public:
    void prepare(test::ProjectBuilder &project, QStringList &arguments) override
    {
        addWorld(project);
        project.file(QStringLiteral(".thumbnails/levels_forest_main.png"), NOT_A_PICTURE);
        loadWorldAtStart(arguments);
    }

private slots:
    void start_up_leaves_an_existing_picture_alone()
    {
        QTRY_VERIFY_WITH_TIMEOUT(startUpGrabDone(), 60000);
        QVERIFY(test::waitFrames(5));
        QCOMPARE(pictureBytes(), NOT_A_PICTURE);
    }

    void saving_the_world_replaces_it()
    {
        saveWorld();
        QTRY_VERIFY(pictureBytes() != NOT_A_PICTURE);
        VERIFY_THUMBNAIL();
    }
};

// ---- no_viewport ------------------------------------------------------------------

class NoViewport : public test::Scenario
{
    Q_OBJECT

public:
    void prepare(test::ProjectBuilder &project, QStringList &arguments) override
    {
        addWorld(project);
        loadWorldAtStart(arguments);
    }

private slots:
    void saving_without_a_viewport_writes_nothing()
    {
        const QStringList scenes = depr::g.viewports->getSceneNames();
        for (const QString &scene : scenes)
            QVERIFY(depr::g.viewports->closeScene(scene));
        QCOMPARE(depr::g.viewports->getCurrentViewportWindow(), nullptr);

        const int saved_before = Velmora::Console::getCommandLog().size();
        saveWorld();
        QVERIFY(test::waitFrames(3));
        QVERIFY(Velmora::Console::getCommandLog().size() > saved_before);
        QVERIFY(!QFileInfo::exists(picturePath()));
    }

    void start_up_grab_without_a_viewport_writes_nothing_either()
    {
        QTRY_VERIFY_WITH_TIMEOUT(startUpGrabDone(), 60000);
        QVERIFY(test::waitFrames(3));
        QVERIFY(!QFileInfo::exists(picturePath()));
    }
};

// ---- world_after_start_up_grab ------------------------------------------------------

class WorldAfterStartUpGrab : public test::Scenario
{
    Q_OBJECT

public:
    void prepare(test::ProjectBuilder &project, QStringList &) override { addWorld(project); }

private slots:
    void world_loaded_late_gets_no_start_up_picture()
    {
        QVERIFY(!Velmora::World::isLoaded());
        QTRY_VERIFY_WITH_TIMEOUT(startUpGrabDone(), 60000);
        Velmora::Console::run("world_load levels/forest/main");
        QTRY_VERIFY(Velmora::World::isLoaded());
        QVERIFY(test::waitFrames(20));
        QVERIFY(!QFileInfo::exists(picturePath()));
    }

    void but_saving_it_writes_one()
    {
        saveWorld();
        QTRY_VERIFY(QFileInfo::exists(picturePath()));
        VERIFY_THUMBNAIL();
    }
};

} // namespace

int main(int argc, char **argv)
{
    return test::runScenarios(
            argc, argv,
            {
                    {"save_and_start_up", [] { return std::make_unique<SaveAndStartUp>(); }},
                    {"existing_picture", [] { return std::make_unique<ExistingPicture>(); }},
                    {"no_viewport", [] { return std::make_unique<NoViewport>(); }},
                    {"world_after_start_up_grab", [] { return std::make_unique<WorldAfterStartUpGrab>(); }},
            });
}

#include "tst_preview_thumbnails.moc"
