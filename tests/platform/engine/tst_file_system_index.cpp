// The file system's index by path under long, seeded sequences of added,
// moved and removed files: every lookup answers as a plain set of the
// present paths would, also for paths that differ in one character.

#include "velmora/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

using Velmora::FileSystem;

class TestFileSystemIndex : public QObject
{
    Q_OBJECT

private slots:
    void lookups_follow_added_moved_and_removed_files_data();
    void lookups_follow_added_moved_and_removed_files();
    void a_large_folder_is_listed_and_found_by_path_and_guid();
};

void TestFileSystemIndex::lookups_follow_added_moved_and_removed_files_data()
{
    QTest::addColumn<quint32>("seed");
    for (quint32 seed = 1; seed <= 3; ++seed)
        QTest::addRow("seed %u", seed) << seed;
}

void TestFileSystemIndex::lookups_follow_added_moved_and_removed_files()
{
    QFETCH(quint32, seed);
    QTemporaryDir dir;
    const QString data = dir.path() + QStringLiteral("/data/");
    QDir().mkpath(data);
    QVERIFY(FileSystem::init(data.toUtf8().constData()));

    QRandomGenerator random(seed);
    // A few folders and names, so that paths come back after their removal.
    auto pick = [&] {
        return "f" + std::to_string(random.bounded(4)) + "/n" + std::to_string(random.bounded(1000)) + ".txt";
    };
    std::set<std::string> present;
    // Mostly additions, so that the index grows through several sizes.
    for (int step = 0; step < 6000; ++step) {
        const std::string path = pick();
        const quint32 what = random.bounded(4);
        if (what <= 1) {
            QFile file(data + QString::fromStdString(path));
            QDir().mkpath(QFileInfo(file).absolutePath());
            if (!file.exists()) {
                QVERIFY(file.open(QIODevice::WriteOnly));
                file.close();
            }
            // Adding a path that is there re-indexes it.
            QVERIFY(FileSystem::addFile(path.c_str()));
            present.insert(path);
        } else if (what == 2) {
            const std::string target = pick();
            const bool can = present.count(path) && !present.count(target) && path != target;
            QCOMPARE(FileSystem::moveFile(path.c_str(), target.c_str()), can);
            if (can) {
                present.erase(path);
                present.insert(target);
            }
        } else {
            QCOMPARE(FileSystem::removeFile(path.c_str()), bool(present.count(path)));
            present.erase(path);
        }
        if (step % 200 == 0 || step > 5990) {
            for (int folder = 0; folder < 4; ++folder) {
                for (int name = 0; name < 1000; ++name) {
                    const std::string candidate = "f" + std::to_string(folder) + "/n" + std::to_string(name) + ".txt";
                    if (FileSystem::isFileExist(candidate.c_str()) != bool(present.count(candidate)))
                        QFAIL(candidate.c_str());
                }
            }
        }
    }
    QCOMPARE(FileSystem::getNumFiles(), int(present.size()));
    FileSystem::shutdown();
}

void TestFileSystemIndex::a_large_folder_is_listed_and_found_by_path_and_guid()
{
    // Enough files for the index to be built on several threads.
    QTemporaryDir dir;
    const QString data = dir.path() + QStringLiteral("/data/");
    std::vector<std::string> paths;
    for (int folder = 0; folder < 40; ++folder) {
        const std::string name = "d" + std::to_string(folder * 7 % 40);
        QDir().mkpath(data + QString::fromStdString(name));
        for (int file = 0; file < 210; ++file) {
            paths.push_back(name + "/f" + std::to_string(file * 13 % 210) + (file % 3 ? ".txt" : ""));
            QFile out(data + QString::fromStdString(paths.back()));
            QVERIFY(out.open(QIODevice::WriteOnly));
        }
    }
    std::sort(paths.begin(), paths.end());
    QVERIFY(FileSystem::init(data.toUtf8().constData()));
    const Velmora::Vector<Velmora::String> listed = FileSystem::getFiles();
    QCOMPARE(size_t(listed.size()), paths.size());
    std::vector<Velmora::UGUID> guids;
    for (size_t i = 0; i < paths.size(); ++i) {
        QCOMPARE(listed[int(i)].get(), paths[i].c_str());
        guids.push_back(FileSystem::getGUID(paths[i].c_str()));
        QVERIFY(guids.back() == Velmora::UGUID::fromPath(paths[i].c_str()));
        QCOMPARE(FileSystem::getVirtualPath(guids.back()).get(), paths[i].c_str());
    }
    // Every other file goes; the rest are still found by GUID.
    for (size_t i = 0; i < paths.size(); i += 2)
        QVERIFY(FileSystem::removeFile(guids[i]));
    for (size_t i = 0; i < paths.size(); ++i)
        QCOMPARE(FileSystem::isFileExist(guids[i]), i % 2 == 1);
    QCOMPARE(FileSystem::getNumFiles(), int(paths.size() / 2));
    FileSystem::shutdown();
}

QTEST_GUILESS_MAIN(TestFileSystemIndex)
#include "tst_file_system_index.moc"
