#include "asset_files.h"
#include "editor/preview_thumbnails/project_preview_grabber.h"
#include "project_builder.h"
#include "window_system.h"

#include <editor_core/depr/EditorGlobals.h>

#include <velmora/Camera.h>
#include <velmora/Editor.h>
#include <velmora/Engine.h>
#include <velmora/Player.h>

#include <QCryptographicHash>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

#include <string>
#include <vector>

class tst_ProjectPreviewGrabber : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void thumbnail_is_named_after_the_world_data();
    void thumbnail_is_named_after_the_world();
    void world_name_is_the_path_without_extension_data();
    void world_name_is_the_path_without_extension();
    void failed_render_leaves_no_file_and_keeps_an_existing_picture();
    void rendered_view_becomes_a_270_by_152_png();
    void grab_without_viewport_writes_nothing();

private:
    QTemporaryDir root_;
    QString data_;
    std::vector<std::string> storage_;
    std::vector<char *> arguments_;
};

void tst_ProjectPreviewGrabber::initTestCase()
{
    test::isolateSettings();
    QVERIFY(root_.isValid());
    test::ProjectBuilder project(root_.path() + QLatin1String("/project"));
    project.projectFile().engineData();
    QVERIFY(project.ok());
    data_ = project.dataPath();
}

void tst_ProjectPreviewGrabber::cleanupTestCase()
{
    if (Velmora::Engine::get())
        Velmora::Engine::shutdown();
}

void tst_ProjectPreviewGrabber::thumbnail_is_named_after_the_world_data()
{
    QTest::addColumn<QString>("world");
    QTest::addColumn<QString>("path");
    QTest::newRow("nested") << "levels/forest/main"
                            << "/d/.thumbnails/levels_forest_main.png";
    QTest::newRow("top level") << "main"
                               << "/d/.thumbnails/main.png";
    QTest::newRow("dots stay") << "worlds/v1.2/a b"
                               << "/d/.thumbnails/worlds_v1.2_a b.png";
}

void tst_ProjectPreviewGrabber::thumbnail_is_named_after_the_world()
{
    QFETCH(QString, world);
    QFETCH(QString, path);
    QCOMPARE(ProjectPreviewGrabber::thumbnailPath(QStringLiteral("/d/"), world), path);
}

void tst_ProjectPreviewGrabber::world_name_is_the_path_without_extension_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::newRow("nested") << "levels/forest/main.world"
                            << "levels/forest/main";
    QTest::newRow("top level") << "main.world"
                               << "main";
    QTest::newRow("dot in a folder") << "v1.2/main"
                                     << "v1.2/main";
    QTest::newRow("none loaded") << ""
                                 << "";
}

void tst_ProjectPreviewGrabber::world_name_is_the_path_without_extension()
{
    QFETCH(QString, path);
    QFETCH(QString, name);
    QCOMPARE(ProjectPreviewGrabber::worldName(path), name);
}

void tst_ProjectPreviewGrabber::failed_render_leaves_no_file_and_keeps_an_existing_picture()
{
    // Without a running engine nothing can be rendered.
    QVERIFY(!Velmora::Engine::get());
    const QString fresh = root_.path() + QLatin1String("/fresh.png");
    QVERIFY(!ProjectPreviewGrabber::writeThumbnail(Velmora::Ptr<Velmora::Camera>(), fresh));
    QVERIFY(!QFile::exists(fresh));

    const QString existing = root_.path() + QLatin1String("/existing.png");
    QImage old_picture(270, 152, QImage::Format_RGB888);
    old_picture.fill(Qt::red);
    QVERIFY(old_picture.save(existing));
    const QByteArray before = test::readFile(existing);
    QVERIFY(!ProjectPreviewGrabber::writeThumbnail(Velmora::Ptr<Velmora::Camera>(), existing));
    QCOMPARE(test::readFile(existing), before);
}

void tst_ProjectPreviewGrabber::rendered_view_becomes_a_270_by_152_png()
{
    const QStringList arguments{QStringLiteral("tst"),
                                QStringLiteral("-data_path"),
                                data_,
                                QStringLiteral("-cache_path"),
                                root_.path() + QLatin1String("/cache/"),
                                QStringLiteral("-log_path"),
                                root_.path() + QLatin1String("/log.txt")};
    for (const QString &argument : arguments)
        storage_.push_back(argument.toStdString());
    for (std::string &argument : storage_)
        arguments_.push_back(&argument[0]);
    QVERIFY(Velmora::Engine::init(Velmora::ENGINE_VERSION, nullptr, int(arguments_.size()), arguments_.data()));

    const QString path = data_ + QLatin1String(".thumbnails_test.png");
    const Velmora::Ptr<Velmora::Player> player = Velmora::Editor::getPlayer();
    QVERIFY(player);
    QVERIFY(ProjectPreviewGrabber::writeThumbnail(player->getCamera(), path));

    QImageReader reader(path);
    QCOMPARE(reader.format(), QByteArray("png"));
    const QImage picture = reader.read();
    QCOMPARE(picture.size(), QSize(270, 152));
    QVERIFY(!picture.hasAlphaChannel());
    // The view of an empty world is the sky-to-ground gradient.
    QVERIFY(picture.pixel(135, 0) != picture.pixel(135, 151));
}

void tst_ProjectPreviewGrabber::grab_without_viewport_writes_nothing()
{
    QVERIFY(!depr::g.viewports);
    ProjectPreviewGrabber grabber;
    QVERIFY(!grabber.isWaitingForStartUpGrab()); // there is no editor logic to wait on
    QVERIFY(!grabber.grab(true));
    QVERIFY(!QFile::exists(data_ + QLatin1String(".thumbnails")));
}

QTEST_MAIN(tst_ProjectPreviewGrabber)
#include "tst_project_preview_grabber.moc"
