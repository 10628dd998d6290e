// Files the engine writes when the disk fills up: images of every format,
// XML documents (tracks, worlds, meta files) and material files are written
// whole or not at all, and a failure is reported. A lowered file-size limit
// fails a write the way a full disk does.

#include "engine_runtime_fixture.h"
#include "file_size_limit.h"

#include "velmora/Image.h"
#include "velmora/Materials.h"
#include "velmora/Xml.h"

#include <QtTest>

using namespace Velmora;

namespace {

// Noise does not compress: the encoded size follows the pixel count.
Image noise(int width, int height)
{
    Image image;
    image.create2D(width, height, Image::FORMAT_RGBA8);
    quint32 state = 12345;
    unsigned char *pixels = image.getPixels();
    for (size_t i = 0; i < size_t(width) * size_t(height) * 4; ++i) {
        state = state * 1664525u + 1013904223u;
        pixels[i] = (i % 4 == 3) ? 255 : (unsigned char)(state >> 24);
    }
    return image;
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
}

const QByteArray OLD_BYTES = QByteArray("the user's own file, kept whatever happens to a save over it\n").repeated(4);

} // namespace

class TestFullDiskWrites : public QObject
{
    Q_OBJECT

    enginetest::Installation installation_;

private slots:
    void initTestCase()
    {
        QVERIFY(installation_.writeAsset(QStringLiteral("materials/rock.mat"),
                                         "<material name=\"rock\"><parameter name=\"size\">1</parameter></material>",
                                         enginetest::guid('a', 501), 4));
        QVERIFY(installation_.start());
        QCOMPARE(Materials::loadMaterials(), 1);
    }
    void cleanupTestCase() { installation_.stop(); }

    void an_image_that_does_not_fit_is_not_saved_and_replaces_nothing_data()
    {
        QTest::addColumn<QString>("extension");
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("existing");
        const char *const extensions[] = {"png", "jpg", "tga", "psd", "dds", "exr"};
        for (const char *extension : extensions) {
            // 64 x 48 stays in a write buffer until the file is closed.
            QTest::addRow("%s small", extension) << QString::fromLatin1(extension) << 64 << false;
            QTest::addRow("%s large", extension) << QString::fromLatin1(extension) << 1024 << false;
            QTest::addRow("%s small over a file", extension) << QString::fromLatin1(extension) << 64 << true;
        }
    }
    void an_image_that_does_not_fit_is_not_saved_and_replaces_nothing()
    {
        QFETCH(QString, extension);
        QFETCH(int, size);
        QFETCH(bool, existing);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("frame.") + extension);
        if (existing) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(OLD_BYTES) == OLD_BYTES.size());
        }
        const Image image = noise(size, size * 3 / 4);
        {
            enginetest::LogCapture log;
            test::FileSizeLimit limit(16);
            QVERIFY(limit.isActive());
            QVERIFY(!image.save(path.toUtf8().constData()));
            QVERIFY(log.count(QStringLiteral("Image::save()")) > 0);
        }
        QCOMPARE(test::folderEntries(dir.path()), existing ? QStringList{QFileInfo(path).fileName()} : QStringList());
        if (existing)
            QCOMPARE(contents(path), OLD_BYTES);

        // With room on the disk the same save works.
        QVERIFY(image.save(path.toUtf8().constData()));
        Image loaded;
        QVERIFY(loaded.load(path.toUtf8().constData()));
        QCOMPARE(loaded.getWidth(), size);
        QCOMPARE(test::folderEntries(dir.path()), QStringList{QFileInfo(path).fileName()});
    }

    void documents_and_materials_that_do_not_fit_keep_the_old_file()
    {
        QTemporaryDir dir;
        const QString track = dir.filePath(QStringLiteral("fly.track"));
        {
            QFile file(track);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(OLD_BYTES) == OLD_BYTES.size());
        }
        Xml xml("track");
        xml.setArg("max_time", "2");
        xml.addChild("parameter")->setArg("type", "node.transform");

        const QString material = installation_.dataPath() + QStringLiteral("materials/rock.mat");
        const QByteArray material_before = contents(material);
        const Ptr<Material> rock = Materials::findMaterial("rock");
        QVERIFY(rock);
        rock->setParameterFloat(rock->findParameter("size"), 7.0f);
        {
            enginetest::LogCapture log;
            test::FileSizeLimit limit(16);
            QVERIFY(limit.isActive());
            QVERIFY(!xml.save(track.toUtf8().constData()));
            QVERIFY(!xml.save(dir.filePath(QStringLiteral("new.track")).toUtf8().constData()));
            QVERIFY(!Materials::saveMaterial(rock));
        }
        QCOMPARE(contents(track), OLD_BYTES);
        QCOMPARE(test::folderEntries(dir.path()), QStringList{QStringLiteral("fly.track")});
        QCOMPARE(contents(material), material_before);
        QCOMPARE(test::folderEntries(installation_.dataPath() + QStringLiteral("materials")),
                 (QStringList{QStringLiteral("rock.mat"), QStringLiteral("rock.mat.meta")}));

        QVERIFY(xml.save(track.toUtf8().constData()));
        QVERIFY(contents(track).contains("node.transform"));
        QVERIFY(Materials::saveMaterial(rock));
        QVERIFY(contents(material).contains(">7<"));
    }

    void a_symbolic_link_is_neither_written_through_nor_replaced()
    {
        QTemporaryDir dir;
        const QString outside = dir.filePath(QStringLiteral("outside.tga"));
        {
            QFile file(outside);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(OLD_BYTES) == OLD_BYTES.size());
        }
        const QString link = dir.filePath(QStringLiteral("frame.tga"));
        const QString dangling = dir.filePath(QStringLiteral("frame.track"));
        QVERIFY(QFile::link(outside, link));
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("missing.track")), dangling));

        enginetest::LogCapture log;
        QVERIFY(!noise(8, 8).save(link.toUtf8().constData()));
        QVERIFY(!Xml("track").save(dangling.toUtf8().constData()));
        QCOMPARE(contents(outside), OLD_BYTES);
        QCOMPARE(QFileInfo(link).symLinkTarget(), outside);
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("missing.track"))));
        QCOMPARE(test::folderEntries(dir.path()).size(), 3);
    }
};

QTEST_GUILESS_MAIN(TestFullDiskWrites)
#include "tst_full_disk_writes.moc"
