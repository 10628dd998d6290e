#include "asset_files.h"
#include "log_capture.h"

#include "velmora/Console.h"
#include "velmora/File.h"
#include "velmora/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QtConcurrent>
#include <mutex>

#include <cstring>

using Velmora::FileSystem;
using Velmora::FileSystemAssets;
using Velmora::UGUID;

namespace {

// Fixture shorthand: {x, NNN} -> xxxxx + 32 zeros + NNN.
UGUID fixed(char letter, int number)
{
    const QByteArray text
            = QByteArray(5, letter) + QByteArray(32, '0') + QByteArray::number(number).rightJustified(3, '0');
    return UGUID(text.constData());
}

QByteArray assetMeta(const UGUID &guid)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<asset version=\"1\" guid=\""
            + QByteArray(guid.getString().get()) + "\" type=\"21\"/>\n";
}

} // namespace

class TestFileSystem : public QObject
{
    Q_OBJECT

    QTemporaryDir dir_;
    QString data_;

    void write(const QString &relative, const QByteArray &bytes = "content")
    {
        QVERIFY(test::writeFile(data_ + relative, bytes));
    }

private slots:
    void init()
    {
        QVERIFY(dir_.isValid());
        data_ = dir_.filePath("data") + "/";
        QDir(data_).removeRecursively();
        QDir().mkpath(data_);
    }
    void cleanup() { FileSystem::shutdown(); }

    void guids_come_from_guids_db_then_meta_then_path_data()
    {
        QTest::addColumn<bool>("read_guids_db");
        QTest::newRow("with guids.db") << true;
        QTest::newRow("guids.db skipped") << false;
    }
    void guids_come_from_guids_db_then_meta_then_path()
    {
        QFETCH(bool, read_guids_db);
        write("both.txt");
        write("both.txt.meta", assetMeta(fixed('a', 101)));
        write("meta_only.txt");
        write("meta_only.txt.meta", assetMeta(fixed('a', 102)));
        write("plain/file.txt");
        write("db_only.txt");
        write("guids.db",
              "{\"" + QByteArray(fixed('d', 1).getString().get()) + "\": \"both.txt\", \""
                      + QByteArray(fixed('d', 2).getString().get()) + "\": \"db_only.txt\", \"broken\": \"x\"}");
        QVERIFY(FileSystem::init(data_.toUtf8().constData(), read_guids_db));

        QCOMPARE(FileSystem::getGUID("both.txt"), read_guids_db ? fixed('d', 1) : fixed('a', 101));
        QCOMPARE(FileSystem::getGUID("meta_only.txt"), fixed('a', 102));
        QCOMPARE(FileSystem::getGUID("plain/file.txt"), UGUID::fromPath("plain/file.txt"));
        QCOMPARE(FileSystem::getGUID("db_only.txt"), read_guids_db ? fixed('d', 2) : UGUID::fromPath("db_only.txt"));
        QCOMPARE(FileSystem::getNumGUIDsDbEntries(), read_guids_db ? 2 : 0);
        QVERIFY(FileSystemAssets::isAsset(FileSystem::getGUID("meta_only.txt")));
        QVERIFY(!FileSystemAssets::isAsset(FileSystem::getGUID("plain/file.txt")));
        QCOMPARE(FileSystemAssets::getAssetGUID(fixed('a', 102)), fixed('a', 102));
        QVERIFY(FileSystemAssets::getAssetGUID(UGUID::fromPath("plain/file.txt")).isEmpty());
    }

    void hidden_folders_and_meta_files_are_not_indexed_but_runtimes_are()
    {
        const UGUID runtime = fixed('b', 201);
        const QString stored = QString(".runtimes/bb/%1.node").arg(runtime.getString().get());
        write(stored);
        write(stored + ".meta",
              "<runtime version=\"1\" guid=\"" + QByteArray(runtime.getString().get()) + "\" asset=\""
                      + QByteArray(fixed('a', 250).getString().get()) + "\" kind=\"3\"/>");
        write(".thumbnails/w.png");
        write(".tamsel2/.assemblytool");
        write("sub/.hidden_folder/x.txt");
        write("sub/.visible_file");
        write("model.model");
        write("model.model.meta", assetMeta(fixed('a', 250)));
        QVERIFY(FileSystem::init(data_.toUtf8().constData()));

        QStringList files;
        for (const auto &f : FileSystem::getFiles())
            files << QString::fromUtf8(f.get());
        QCOMPARE(files, (QStringList{stored, "model.model", "sub/.visible_file"}));
        QCOMPARE(FileSystem::getGUID(stored.toUtf8().constData()), runtime);
        QVERIFY(!FileSystemAssets::isAsset(runtime));
        QCOMPARE(FileSystemAssets::getRuntimeOwner(runtime), fixed('a', 250));
        QVERIFY(!FileSystem::isFileExist("model.model.meta"));
    }

    void a_broken_meta_guid_falls_back_to_the_path_guid_with_one_warning()
    {
        write("a.txt");
        write("a.txt.meta", "<asset guid=\"not-a-guid\"/>");
        test::LogCapture counter;
        QVERIFY(FileSystem::init(data_.toUtf8().constData()));
        QCOMPARE(FileSystem::getGUID("a.txt"), UGUID::fromPath("a.txt"));
        QVERIFY(!FileSystemAssets::isAsset(UGUID::fromPath("a.txt")));
        QCOMPARE(counter.lines(1).size(), 1);
        QVERIFY(counter.lines(1)[0].contains("a.txt.meta"));
    }

    void a_duplicate_guid_goes_to_the_first_path()
    {
        write("b/second.mat");
        write("b/second.mat.meta", assetMeta(fixed('c', 300)));
        write("a/first.mat");
        write("a/first.mat.meta", assetMeta(fixed('c', 300)));
        test::LogCapture counter;
        QVERIFY(FileSystem::init(data_.toUtf8().constData()));
        QCOMPARE(FileSystem::getGUID("a/first.mat"), fixed('c', 300));
        QCOMPARE(FileSystem::getGUID("b/second.mat"), UGUID::fromPath("b/second.mat"));
        QVERIFY(!FileSystemAssets::isAsset(UGUID::fromPath("b/second.mat")));
        QCOMPARE(counter.lines(1).size(), 1);
    }

    void queries_accept_every_path_form()
    {
        write("worlds/level1.world");
        write("worlds/level1.world.meta", assetMeta(fixed('e', 18)));
        write("other/level1.world");
        write("textures/rock.png");
        QVERIFY(FileSystem::init((dir_.filePath("data")).toUtf8().constData())); // no trailing slash
        const UGUID world = fixed('e', 18);
        const QByteArray absolute = (data_ + "worlds/level1.world").toUtf8();

        QCOMPARE(QByteArray(FileSystem::getDataPath().get()), data_.toUtf8());
        QCOMPARE(FileSystem::getGUID(absolute.constData()), world);
        QCOMPARE(FileSystem::getGUID("./worlds//level1.world"), world);
        QCOMPARE(FileSystem::getGUID(world.getFileSystemString().get()), world);
        QCOMPARE(QByteArray(FileSystem::getAbsolutePath(world).get()), absolute);
        QCOMPARE(QByteArray(FileSystem::getAbsolutePath("worlds/level1.world").get()), absolute);
        QCOMPARE(QByteArray(FileSystem::getVirtualPath(world).get()), QByteArray("worlds/level1.world"));
        QCOMPARE(QByteArray(FileSystem::getVirtualPath(absolute.constData()).get()), QByteArray("worlds/level1.world"));
        QVERIFY(FileSystem::isFileExist(world));
        QVERIFY(FileSystem::isFileExist("textures/rock.png"));
        QVERIFY(FileSystem::isGUIDPath(world.getFileSystemString().get()));
        QVERIFY(!FileSystem::isGUIDPath(world.getString().get()));
        QVERIFY(!FileSystem::isPackageFile(world));

        // Unknown, outside or case-different paths.
        QVERIFY(FileSystem::getGUID("textures/ROCK.png").isEmpty());
        QVERIFY(FileSystem::getGUID("../outside.txt").isEmpty());
        QVERIFY(FileSystem::getGUID("/etc/hostname").isEmpty());
        QVERIFY(FileSystem::getGUID(fixed('f', 999).getFileSystemString().get()).isEmpty());
        QVERIFY(FileSystem::getAbsolutePath(fixed('f', 999)).isEmpty());
        QVERIFY(!FileSystem::isFileExist(UGUID()));
        QVERIFY(FileSystem::getVirtualPath("/etc/hostname").isEmpty());
    }

    void partial_paths_resolve_only_when_unique_data()
    {
        QTest::addColumn<QByteArray>("partial");
        QTest::addColumn<QByteArray>("resolved");
        QTest::newRow("unique suffix") << QByteArray("rock.png") << QByteArray("textures/rock.png");
        QTest::newRow("folder suffix") << QByteArray("forest/main.world") << QByteArray("levels/forest/main.world");
        QTest::newRow("ambiguous") << QByteArray("main.world") << QByteArray("main.world");
        QTest::newRow("exact") << QByteArray("levels/main.world") << QByteArray("levels/main.world");
        QTest::newRow("not at a folder boundary") << QByteArray("ock.png") << QByteArray("ock.png");
        QTest::newRow("unknown") << QByteArray("nothing.png") << QByteArray("nothing.png");
    }
    void partial_paths_resolve_only_when_unique()
    {
        QFETCH(QByteArray, partial);
        write("textures/rock.png");
        write("levels/forest/main.world");
        write("levels/main.world");
        QVERIFY(FileSystem::init(data_.toUtf8().constData()));
        QTEST(QByteArray(FileSystem::resolvePartialVirtualPath(partial.constData()).get()), "resolved");
    }

    void files_can_be_added_moved_and_removed()
    {
        write("a.txt");
        QVERIFY(FileSystem::init(data_.toUtf8().constData()));
        write("new.txt");
        write("new.txt.meta", assetMeta(fixed('a', 500)));
        QVERIFY(FileSystem::addFile("new.txt"));
        QCOMPARE(FileSystem::getGUID("new.txt"), fixed('a', 500));
        QVERIFY(FileSystemAssets::isAsset(fixed('a', 500)));
        QVERIFY(!FileSystem::addFile("other.txt", fixed('a', 500))); // GUID taken
        QVERIFY(!FileSystem::addFile("../x.txt"));
        QVERIFY(!FileSystem::addFile("a.txt.meta"));

        QVERIFY(FileSystem::moveFile("new.txt", "moved/new.txt"));
        QCOMPARE(FileSystem::getGUID("moved/new.txt"), fixed('a', 500));
        QVERIFY(!FileSystem::isFileExist("new.txt"));
        QVERIFY(!FileSystem::moveFile("moved/new.txt", "a.txt")); // target taken
        QVERIFY(!FileSystem::moveFile("missing.txt", "b.txt"));

        QVERIFY(FileSystem::removeFile(fixed('a', 500)));
        QVERIFY(!FileSystem::isFileExist(fixed('a', 500)));
        QVERIFY(FileSystem::removeFile("a.txt"));
        QVERIFY(!FileSystem::removeFile("a.txt"));
        QCOMPARE(FileSystem::getNumFiles(), 0);
    }

    // A stored runtime's owner follows the file through edits of the index
    // and goes with it: a file added later under the same GUID has none.
    void a_runtime_owner_follows_its_file_and_goes_with_it()
    {
        const UGUID runtime = fixed('b', 301);
        const QString stored = QString(".runtimes/bb/%1.node").arg(runtime.getString().get());
        const QByteArray side = "<runtime version=\"1\" guid=\"" + QByteArray(runtime.getString().get()) + "\" asset=\""
                + QByteArray(fixed('a', 301).getString().get()) + "\" kind=\"3\"/>";
        write(stored);
        write(stored + ".meta", side);
        write("plain.txt");
        QVERIFY(FileSystem::init(data_.toUtf8().constData()));
        QCOMPARE(FileSystemAssets::getRuntimeOwner(runtime), fixed('a', 301));

        QVERIFY(FileSystem::moveFile(stored.toUtf8().constData(), "elsewhere.node"));
        QCOMPARE(FileSystemAssets::getRuntimeOwner(runtime), fixed('a', 301));
        QCOMPARE(QString(FileSystem::getVirtualPath(runtime).get()), QString("elsewhere.node"));

        // Added again over itself: the side meta is read anew.
        write("elsewhere.node.meta", side);
        QVERIFY(FileSystem::addFile("elsewhere.node"));
        QCOMPARE(FileSystemAssets::getRuntimeOwner(runtime), fixed('a', 301));

        QVERIFY(FileSystem::removeFile(runtime));
        QVERIFY(FileSystemAssets::getRuntimeOwner(runtime).isEmpty());
        QVERIFY(FileSystem::addFile("plain2.txt", runtime)); // no side meta
        QCOMPARE(FileSystem::getGUID("plain2.txt"), runtime);
        QVERIFY(FileSystemAssets::getRuntimeOwner(runtime).isEmpty());
        QVERIFY(FileSystem::removeFile("plain2.txt"));
        QVERIFY(!FileSystem::isFileExist(runtime));
        QCOMPARE(FileSystem::getGUID("plain.txt"), UGUID::fromPath("plain.txt"));
    }

    void virtual_files_have_a_guid_path_but_no_file()
    {
        write("m.mat");
        write("m.mat.meta", assetMeta(fixed('a', 400)));
        QVERIFY(FileSystem::init(data_.toUtf8().constData()));
        const UGUID material = UGUID::derive(fixed('a', 400), "material");
        QVERIFY(FileSystem::registerVirtualFile(material, fixed('a', 400)));
        QVERIFY(!FileSystem::registerVirtualFile(fixed('a', 400))); // a real file
        QCOMPARE(FileSystem::getVirtualPath(material), material.getFileSystemString());
        QCOMPARE(FileSystem::getGUID(material.getFileSystemString().get()), material);
        QVERIFY(FileSystem::getAbsolutePath(material).isEmpty());
        QVERIFY(!FileSystem::isFileExist(material));
        QVERIFY(FileSystem::isVirtualFile(material.getFileSystemString().get()));
        QCOMPARE(FileSystem::getVirtualFileOwner(material), fixed('a', 400));
        QVERIFY(FileSystem::unregisterVirtualFile(material));
        QVERIFY(!FileSystem::isVirtualFile(material));
    }

    void a_missing_data_folder_or_shutdown_gives_empty_results()
    {
        QVERIFY(!FileSystem::init(dir_.filePath("no_such_data").toUtf8().constData()));
        QVERIFY(FileSystem::isInitialized());
        QCOMPARE(FileSystem::getNumFiles(), 0);
        QVERIFY(!FileSystem::init("")); // never the working folder or the root
        QCOMPARE(FileSystem::getNumFiles(), 0);
        QVERIFY(FileSystem::getGUID("/etc/hostname").isEmpty());
        write("a.txt");
        QVERIFY(FileSystem::init(data_.toUtf8().constData()));
        QCOMPARE(FileSystem::getNumFiles(), 1);
        FileSystem::shutdown();
        QVERIFY(!FileSystem::isInitialized());
        QVERIFY(FileSystem::getGUID("a.txt").isEmpty());
        QCOMPARE(FileSystem::getNumFiles(), 0);
        QVERIFY(FileSystem::getDataPath().isEmpty());
    }

    void plain_files_read_lines_in_pieces_no_longer_than_the_buffer()
    {
        const QByteArray path = (data_ + "lines.txt").toUtf8();
        {
            Velmora::Ptr<Velmora::File> out = Velmora::File::create(path.constData(), "wb");
            QVERIFY(out->isOpened());
            out->writeString("first line\n0123456789abcdef\nlast");
        }
        Velmora::Ptr<Velmora::File> in = Velmora::File::create(path.constData(), "rb");
        QCOMPARE(in->getSize(), qint64(32));
        char buffer[8];
        QList<QByteArray> pieces;
        while (!in->eof()) {
            const int count = in->readLine(buffer, sizeof(buffer));
            QCOMPARE(count, int(std::strlen(buffer)));
            pieces << QByteArray(buffer);
        }
        QCOMPARE(pieces, (QList<QByteArray>{"first l", "ine\n", "0123456", "789abcd", "ef\n", "last"}));
        QCOMPARE(in->readLine(buffer, sizeof(buffer)), 0);
        QVERIFY(!Velmora::File::create((data_ + "missing/x.txt").toUtf8().constData(), "rb")->isOpened());
        QVERIFY(!Velmora::File::create(data_.toUtf8().constData(), "rb")->isOpened()); // a folder
        // A FIFO (directly or through a link) and a device are refused at
        // once: never waited on, never read for ever.
        QVERIFY(test::makeFifo(data_ + "pipe.txt"));
        QVERIFY(QFile::link(QStringLiteral("pipe.txt"), data_ + "linked_pipe.txt"));
        QVERIFY(test::linkToDevice(data_ + "zero.txt"));
        for (const char *name : {"pipe.txt", "linked_pipe.txt", "zero.txt"}) {
            const QByteArray special = (data_ + QLatin1String(name)).toUtf8();
            QVERIFY2(!Velmora::File::create(special.constData(), "rb")->isOpened(), name);
            QVERIFY2(Velmora::File::readAll(special.constData()).empty(), name);
        }
    }

    void queries_run_safely_while_the_index_changes()
    {
        for (int i = 0; i < 50; i++)
            write(QString("f/%1.txt").arg(i));
        QVERIFY(FileSystem::init(data_.toUtf8().constData()));
        std::atomic<bool> stop{false};
        // A reader that sees a GUID for a path must see a consistent entry.
        QFuture<int> reader = QtConcurrent::run([&] {
            int mismatches = 0;
            while (!stop) {
                for (int i = 0; i < 50; i++) {
                    const QByteArray path = QString("f/%1.txt").arg(i).toUtf8();
                    const UGUID guid = FileSystem::getGUID(path.constData());
                    if (guid.isValid() && guid != UGUID::fromPath(path.constData()))
                        mismatches++;
                }
            }
            return mismatches;
        });
        for (int round = 0; round < 20; round++) {
            for (int i = 0; i < 50; i++)
                FileSystem::moveFile(QString("f/%1.txt").arg(i).toUtf8().constData(),
                                     QString("g/%1.txt").arg(i).toUtf8().constData());
            for (int i = 0; i < 50; i++)
                FileSystem::moveFile(QString("g/%1.txt").arg(i).toUtf8().constData(),
                                     QString("f/%1.txt").arg(i).toUtf8().constData());
        }
        QVERIFY(FileSystem::rescan());
        stop = true;
        QCOMPARE(reader.result(), 0);
        QCOMPARE(FileSystem::getNumFiles(), 50);
        QCOMPARE(FileSystem::getGUID("f/7.txt"), UGUID::fromPath("f/7.txt"));
    }
};

QTEST_GUILESS_MAIN(TestFileSystem)
#include "tst_file_system.moc"
