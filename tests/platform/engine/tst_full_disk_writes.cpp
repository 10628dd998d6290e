// The engine's files (images of every format, XML documents such as tracks,
// worlds and meta files, material files) are written whole or not at all
// when the disk is full, and never through a symbolic link. A lowered
// file-size limit fails a write the way a full disk does.

#include "engine_runtime_fixture.h"
#include "file_size_limit.h"

#include "velmora/Image.h"
#include "velmora/Materials.h"
#include "velmora/Xml.h"

#include <QtTest>

#include <memory>

using namespace Velmora;

namespace {

const QByteArray OLD_BYTES = QByteArray("the user's own file, kept whatever happens to a save over it\n").repeated(4);

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
}

// Noise does not compress: the file's size follows the pixel count.
Image noise(int width, int height)
{
    Image image;
    image.create2D(width, height, Image::FORMAT_RGBA8);
    quint32 state = 12345;
    for (size_t i = 0; i < size_t(width) * size_t(height) * 4; ++i) {
        state = state * 1664525u + 1013904223u;
        image.getPixels()[i] = (unsigned char)(state >> 24);
    }
    return image;
}

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

    void a_failed_save_keeps_what_was_there_and_leaves_nothing_else_data()
    {
        QTest::addColumn<QString>("name"); // its extension chooses the writer
        QTest::addColumn<int>("width"); // of the image
        QTest::addColumn<QString>("before"); // what has the name: nothing, a file, a link
        for (const char *extension : {"png", "jpg", "tga", "psd", "dds", "exr"}) {
            const QString name = QStringLiteral("frame.") + QLatin1String(extension);
            // 64 x 48 still sits in a write buffer when the file is closed.
            QTest::addRow("%s small", extension) << name << 64 << "nothing";
            QTest::addRow("%s large", extension) << name << 1024 << "nothing";
            QTest::addRow("%s small over a file", extension) << name << 64 << "file";
        }
        QTest::newRow("track") << "fly.track" << 0 << "nothing";
        QTest::newRow("track over a file") << "fly.track" << 0 << "file";
        QTest::newRow("image on a link") << "frame.tga" << 8 << "link";
        QTest::newRow("track on a dangling link") << "fly.track" << 0 << "dangling link";
    }
    void a_failed_save_keeps_what_was_there_and_leaves_nothing_else()
    {
        QFETCH(QString, name);
        QFETCH(int, width);
        QFETCH(QString, before);
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        const QString outside = dir.filePath(QStringLiteral("outside"));
        if (before == QLatin1String("file"))
            QVERIFY(test::writeFile(path, OLD_BYTES));
        if (before == QLatin1String("link"))
            QVERIFY(test::writeFile(outside, OLD_BYTES));
        if (before.endsWith(QLatin1String("link")))
            QVERIFY(QFile::link(outside, path));
        const QStringList entries = test::folderEntries(dir.path());
        Xml track("track");
        track.addChild("parameter")->setArg("type", "node.transform");
        const auto save = [&] {
            return width ? noise(width, width * 3 / 4).save(path.toUtf8().constData())
                         : track.save(path.toUtf8().constData());
        };
        {
            enginetest::LogCapture log;
            std::unique_ptr<test::FileSizeLimit> limit;
            if (!before.endsWith(QLatin1String("link")))
                limit = std::make_unique<test::FileSizeLimit>(16);
            QVERIFY(!limit || limit->isActive());
            QVERIFY(!save());
        }
        QCOMPARE(test::folderEntries(dir.path()), entries);
        QCOMPARE(contents(before.endsWith(QLatin1String("link")) ? outside : path),
                 before == QLatin1String("nothing") || before == QLatin1String("dangling link") ? QByteArray("(none)")
                                                                                                : OLD_BYTES);
        if (!before.endsWith(QLatin1String("link"))) {
            QVERIFY(save()); // with room on the disk
            QVERIFY(contents(path).size() > 16);
        }
    }

    void a_material_that_does_not_fit_keeps_its_file()
    {
        const QString path = installation_.dataPath() + QStringLiteral("materials/rock.mat");
        const QStringList entries = test::folderEntries(QFileInfo(path).absolutePath());
        const QByteArray before = contents(path);
        const Ptr<Material> rock = Materials::findMaterial("rock");
        rock->setParameterFloat(rock->findParameter("size"), 7.0f);
        {
            enginetest::LogCapture log;
            test::FileSizeLimit limit(16);
            QVERIFY(limit.isActive());
            QVERIFY(!Materials::saveMaterial(rock));
        }
        QCOMPARE(contents(path), before);
        QCOMPARE(test::folderEntries(QFileInfo(path).absolutePath()), entries);
        QVERIFY(Materials::saveMaterial(rock));
        QVERIFY(contents(path).contains(">7<"));
    }
};

QTEST_GUILESS_MAIN(TestFullDiskWrites)
#include "tst_full_disk_writes.moc"
