#include <editor_core/EditorCore.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/AssetManager.h>
#include <editor_core/editor/AssetManagerPrivate.h>
#include <editor_core/fs/FileSystem.h>

#include "asset_files.h"
#include "file_system_quirks.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>

using Velmora::UGUID;

namespace {

UGUID guid(char letter, int number)
{
    const QString text = QString(5, QLatin1Char(letter)) + QString(32, QLatin1Char('0'))
            + QStringLiteral("%1").arg(number, 3, 10, QLatin1Char('0'));
    return UGUID(text.toLatin1().constData());
}

void writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

} // namespace

class TestFs : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QString data_;
    Editor::AssetManager *owner_ = nullptr;

private slots:
    // A registered asset manager over a small data folder gives the helpers
    // their data folder and GUIDs.
    void initTestCase()
    {
        data_ = dir_.path() + QStringLiteral("/project/data/");
        writeFile(data_ + "levels/a.world", "<world/>");
        writeFile(data_ + "levels/a.world.meta",
                  "<asset guid=\"" + QByteArray(guid('a', 1).getString().get()) + "\"/>");
        writeFile(data_ + "materials/m.mat", "<material/>");
        writeFile(data_ + "materials/m.mat.meta",
                  "<asset guid=\"" + QByteArray(guid('a', 2).getString().get()) + "\"/>");
        owner_ = new Editor::AssetManager(this);
        owner_->get()->setRootPath(data_);
        QSignalSpy initialized(owner_->get(), &Editor::AssetManagerPrivate::initialized);
        owner_->get()->init();
        QVERIFY(initialized.wait(10000));
    }

    void path_arithmetic_data()
    {
        QTest::addColumn<QString>("function");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        QTest::newRow("pathname") << "pathname"
                                  << "a/b/c.png"
                                  << "a/b/";
        QTest::newRow("pathname of a folder") << "pathname"
                                              << "bin/"
                                              << "bin/";
        QTest::newRow("pathname without folder") << "pathname"
                                                 << "c.png"
                                                 << "";
        QTest::newRow("dirname of bin/") << "dirname"
                                         << "bin/"
                                         << "bin/";
        QTest::newRow("dirname backslashes") << "dirname"
                                             << "a\\b\\c.txt"
                                             << "a/b/";
        QTest::newRow("basename") << "basename"
                                  << "/x/y/z.tar.gz"
                                  << "z.tar.gz";
        QTest::newRow("basename of a folder") << "basename"
                                              << "a/b/"
                                              << "";
        QTest::newRow("extension") << "getExtension"
                                   << "a/b.c/d.PNG"
                                   << "PNG";
        QTest::newRow("extension of a dot folder") << "getExtension"
                                                   << "a.b/file"
                                                   << "";
        QTest::newRow("extension of a hidden file") << "getExtension"
                                                    << ".tamsel2/.assemblytool"
                                                    << "";
        QTest::newRow("remove extension") << "setExtension:"
                                          << "levels/a.world"
                                          << "levels/a";
        QTest::newRow("change extension") << "setExtension:png"
                                          << "shots/a.jpg"
                                          << "shots/a.png";
        QTest::newRow("add extension") << "setExtension:.mat"
                                       << "m/metal"
                                       << "m/metal.mat";
        QTest::newRow("extension only in folder") << "setExtension:"
                                                  << "a.b/c"
                                                  << "a.b/c";
        QTest::newRow("normalize") << "normalizePath"
                                   << "C:\\data\\\\x\\..\\y\\"
                                   << "C:/data/y";
        QTest::newRow("normalize dir") << "normalizeDirPath"
                                       << "a//b/./c"
                                       << "a/b/c/";
        QTest::newRow("normalize dir twice") << "normalizeDirPath"
                                             << "a/b/"
                                             << "a/b/";
        QTest::newRow("append") << "appendPath:publish/"
                                << "/out/build/"
                                << "/out/build/publish/";
        QTest::newRow("append plain") << "appendPath:b"
                                      << "a"
                                      << "a/b";
        QTest::newRow("append to root") << "appendPath:/etc"
                                        << "/"
                                        << "/etc";
    }
    void path_arithmetic()
    {
        QFETCH(QString, function);
        QFETCH(QString, input);
        QFETCH(QString, expected);
        const QString name = function.section(QLatin1Char(':'), 0, 0);
        const QString argument = function.section(QLatin1Char(':'), 1);
        QString result;
        if (name == QLatin1String("pathname"))
            result = fs::pathname(input);
        else if (name == QLatin1String("dirname"))
            result = fs::dirname(input);
        else if (name == QLatin1String("basename"))
            result = fs::basename(input);
        else if (name == QLatin1String("getExtension"))
            result = fs::getExtension(input);
        else if (name == QLatin1String("setExtension"))
            result = fs::setExtension(input, argument);
        else if (name == QLatin1String("normalizePath"))
            result = fs::normalizePath(input);
        else if (name == QLatin1String("normalizeDirPath"))
            result = fs::normalizeDirPath(input);
        else if (name == QLatin1String("appendPath"))
            result = fs::appendPath(input, argument);
        QCOMPARE(result, expected);
    }

    void data_paths_convert_both_ways_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::newRow("file") << "levels/a.world";
        QTest::newRow("hidden tool file") << ".tamsel2/.assemblytool";
        QTest::newRow("unicode") << "textures/grün.png";
    }
    void data_paths_convert_both_ways()
    {
        QFETCH(QString, relative);
        QCOMPARE(fs::dataPath(), data_);
        const QString absolute = fs::absDataPath(relative);
        QCOMPARE(absolute, data_ + relative);
        QCOMPARE(fs::relDataPath(absolute), relative);
        QCOMPARE(fs::relDataPath(relative), relative);
        QCOMPARE(fs::toSourcePath(relative), absolute);
        QCOMPARE(fs::virtualPath(absolute), relative);
    }

    void paths_outside_the_data_folder_stay_absolute()
    {
        QCOMPARE(fs::absDataPath(QString()), data_);
        QCOMPARE(fs::relDataPath(QStringLiteral("/etc/../etc/hosts")), QStringLiteral("/etc/hosts"));
        // A sibling folder whose name starts like the data folder is outside.
        const QString sibling = dir_.path() + QStringLiteral("/project/data2/x.png");
        QCOMPARE(fs::relDataPath(sibling), sibling);
    }

    void guids_resolve_to_files_and_virtual_runtimes_to_guid_paths()
    {
        QCOMPARE(fs::relDataPath(guid('a', 1)), QStringLiteral("levels/a.world"));
        QCOMPARE(fs::realPath(guid('a', 1)), data_ + "levels/a.world");
        QCOMPARE(fs::absDataPath(QString::fromLatin1(guid('a', 1).getFileSystemString().get())),
                 data_ + "levels/a.world");
        const UGUID material = UGUID::derive(guid('a', 2), "material");
        QCOMPARE(fs::realPath(material), QStringLiteral("guid://") + QString::fromLatin1(material.getString().get()));
        QCOMPARE(fs::relDataPath(material), fs::realPath(material));
        QVERIFY(fs::realPath(guid('f', 404)).isEmpty());
        QVERIFY(fs::relDataPath(UGUID()).isEmpty());
    }

    void files_are_written_atomically_and_read_back()
    {
        const QString relative = QStringLiteral(".tamsel2/options.json");
        QDir().mkpath(data_ + ".tamsel2");
        const QByteArray content("{\"a\": 1}\n\0tail", 14);
        QVERIFY(fs::writeStringToFSFile(relative, content.constData(), content.size(), true));
        QCOMPARE(test::readFile(data_ + relative), content);
        QVERIFY(fs::fileExists(relative));
        QCOMPARE(fs::readFSFileToByteArray(relative), content);

        QVERIFY(!fs::writeStringToFSFile(relative, "new", 3, false));
        QCOMPARE(test::readFile(data_ + relative), content);
        QVERIFY(fs::writeStringToFSFile(relative, "new", 3, true));
        QCOMPARE(fs::readFSFileToByteArray(relative), QByteArray("new"));
        // The longest name a file system takes, new and over itself.
        const QString longest = QStringLiteral(".tamsel2/") + QString(126, QChar(0x3b1)) + QStringLiteral(".jn");
        QVERIFY(fs::writeStringToFSFile(longest, "1", 1, false));
        QVERIFY(fs::writeStringToFSFile(longest, "2", 1, true));
        QCOMPARE(fs::readFSFileToByteArray(longest), QByteArray("2"));

        QVERIFY(fs::readFSFileToByteArray(QStringLiteral("missing.txt")).isEmpty());
        // A FIFO, directly or through a link, and a device are refused at
        // once, with the reason.
        QVERIFY(test::makeFifo(data_ + QStringLiteral("pipe.txt")));
        QVERIFY(QFile::link(QStringLiteral("pipe.txt"), data_ + QStringLiteral("linked_pipe.txt")));
        QVERIFY(test::linkToDevice(data_ + QStringLiteral("zero.txt")));
        for (const QString &name :
             {QStringLiteral("pipe.txt"), QStringLiteral("linked_pipe.txt"), QStringLiteral("zero.txt")}) {
            QVERIFY(fs::readFSFileToByteArray(name).isEmpty());
            QByteArray bytes;
            QString reason;
            QVERIFY(!fs::readRegularFile(data_ + name, bytes, &reason));
            QCOMPARE(reason, QStringLiteral("it is not a regular file"));
        }
        QVERIFY(!fs::writeStringToFSFile(QStringLiteral("no/such/folder/x.txt"), "x", 1, true));
        QVERIFY(!fs::fileExists(QStringLiteral("levels")));
    }

    void a_link_inside_the_data_folder_is_saved_through_and_any_other_refused()
    {
        writeFile(data_ + "shared/list.txt", "old");
        writeFile(dir_.path() + QStringLiteral("/outside.txt"), "outside");
        QDir().mkpath(data_ + "links");
        QVERIFY(QFile::link(QStringLiteral("../shared/list.txt"), data_ + "links/inside.txt"));
        QVERIFY(QFile::link(dir_.path() + QStringLiteral("/outside.txt"), data_ + "links/outside.txt"));
        QVERIFY(QFile::link(data_ + "shared/gone.txt", data_ + "links/dangling.txt"));
        QVERIFY(QFile::link(data_ + "links/loop.txt", data_ + "links/loop.txt"));

        // Saved: the target written whole, the link kept.
        QString error;
        QVERIFY2(fs::writeStringToFSFile(QStringLiteral("links/inside.txt"), "new", 3, true, &error),
                 qPrintable(error));
        QCOMPARE(test::readFile(data_ + "shared/list.txt"), QByteArray("new"));
        QVERIFY(QFileInfo(data_ + "links/inside.txt").isSymLink());
        QCOMPARE(QDir(data_ + "shared").entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("list.txt")});
        // New output never takes a name that exists, a good link included.
        QVERIFY(!fs::writeStringToFSFile(QStringLiteral("links/inside.txt"), "output", 6, false));
        QCOMPARE(test::readFile(data_ + "shared/list.txt"), QByteArray("new"));

        const QList<QPair<QString, QString>> refused{
                {QStringLiteral("links/outside.txt"), QStringLiteral("leads outside the data folder")},
                {QStringLiteral("links/dangling.txt"), QStringLiteral("leads nowhere")},
                {QStringLiteral("links/loop.txt"), QStringLiteral("loop of symbolic links")},
        };
        for (const auto &link : refused) {
            error.clear();
            QVERIFY(!fs::writeStringToFSFile(link.first, "new", 3, true, &error));
            QVERIFY2(error.contains(link.second), qPrintable(error));
            QVERIFY(QFileInfo(data_ + link.first).isSymLink());
        }
        QCOMPARE(test::readFile(dir_.path() + QStringLiteral("/outside.txt")), QByteArray("outside"));
        QVERIFY(!QFileInfo::exists(data_ + "shared/gone.txt"));
    }

    void a_file_system_without_modes_saves_over_a_file_and_new_output()
    {
        writeFile(data_ + "fat/options.json", "old");
        {
            test::NoLinksOrModes fat(ENOSYS);
            QString error;
            QVERIFY2(fs::writeStringToFSFile(QStringLiteral("fat/options.json"), "new", 3, true, &error),
                     qPrintable(error));
            QVERIFY(fat.refusedCalls() > 0);
            // New output takes a free name without a link, and never one
            // that is taken.
            QVERIFY2(fs::writeStringToFSFile(QStringLiteral("fat/new.json"), "output", 6, false, &error),
                     qPrintable(error));
            QVERIFY(!fs::writeStringToFSFile(QStringLiteral("fat/options.json"), "output", 6, false, &error));
        }
        QCOMPARE(test::readFile(data_ + "fat/options.json"), QByteArray("new"));
        QCOMPARE(test::readFile(data_ + "fat/new.json"), QByteArray("output"));
        QCOMPARE(QDir(data_ + "fat").entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 (QStringList{QStringLiteral("new.json"), QStringLiteral("options.json")}));
    }

    void remove_file_deletes_only_inside_the_data_folder()
    {
        const QString outside = dir_.path() + QStringLiteral("/project/keep.txt");
        writeFile(outside, "precious");
        QVERIFY(!fs::removeFile(outside));
        QVERIFY(!fs::removeFile(data_ + "../keep.txt"));
        QVERIFY(!fs::removeFile(QStringLiteral("../keep.txt")));
        QVERIFY(QFileInfo::exists(outside));

        QVERIFY(!fs::removeFile(QStringLiteral("levels")));
        QVERIFY(QFileInfo(data_ + "levels").isDir());
        QVERIFY(!fs::removeFile(QString()));

        writeFile(data_ + ".tamsel2/.cleanerignore", "*.tmp");
        QVERIFY(fs::removeFile(QStringLiteral(".tamsel2/.cleanerignore")));
        QVERIFY(!QFileInfo::exists(data_ + ".tamsel2/.cleanerignore"));
        QVERIFY(fs::removeFile(QStringLiteral(".tamsel2/.cleanerignore"))); // already gone
    }

    void without_a_data_folder_paths_stay_as_given()
    {
        delete owner_;
        owner_ = nullptr;
        QVERIFY(fs::dataPath().isEmpty());
        QCOMPARE(fs::absDataPath(QStringLiteral("a/b.png")), QStringLiteral("a/b.png"));
        QVERIFY(!fs::removeFile(dir_.path() + QStringLiteral("/project/data/levels/a.world")));
        QVERIFY(QFileInfo::exists(dir_.path() + QStringLiteral("/project/data/levels/a.world")));
    }
};

QTEST_GUILESS_MAIN(TestFs)
#include "tst_fs.moc"
