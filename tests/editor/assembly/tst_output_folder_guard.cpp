// Clearing the build folder: every refusal on real temporary folders, and
// what clearing an allowed folder does (and does not) delete.

#include "assembly_test_support.h"

#include "editor/assembly/core/impl/pre_processing/output_dir_remover.h"
#include "editor/assembly/core/output_folder_guard.h"
#include "editor/assembly/core/post_processing_handler.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace assembly;
using assemblytest::Installation;
using assemblytest::MessageCapture;

namespace {

// A sandbox: a project with its data folder, an engine installation beside
// it, a home folder and a stand-in file-system root, each holding a sentinel
// file that must survive every refused clear.
class Sandbox
{
public:
    Sandbox()
    {
        for (const char *folder : {"project/data/levels", "engine/bin", "engine/cache", "home/user", "volume"})
            QDir(base()).mkpath(QString::fromLatin1(folder));
        for (const char *file : {"project/game.project", "project/data/levels/a.world", "engine/bin/editor_x64",
                                 "engine/cache/editor.cache", "home/user/notes.txt", "volume/keep.bin",
                                 "project/data/.tamsel2/.assemblytool"})
            Installation::writeFile(path(QString::fromLatin1(file)));
        Installation::writeFile(path("a_file.txt"));
        QFile::link(path("project/data"), path("link_to_data"));
        QFile::link(path("project"), path("link_to_project"));
    }

    QString base() const { return QDir::cleanPath(dir_.path()); }
    QString path(const QString &relative) const { return relative.isEmpty() ? base() : base() + '/' + relative; }

    OutputFolderGuard guard() const
    {
        OutputFolderGuard guard;
        guard.protectTree(path("project/data"), "data folder");
        guard.protectTree(path("project"), "project folder");
        guard.protectFolder(path("engine/bin"), "engine binaries folder");
        guard.protectFolder(path("engine/cache"), "engine cache folder");
        guard.protectFolder(path("home/user"), "home folder");
        guard.protectFolder(path("volume"), "file-system root");
        return guard;
    }

    // Every file of the sandbox, links not followed.
    QStringList files() const
    {
        QStringList result;
        collect(base(), result);
        result.sort();
        return result;
    }

private:
    void collect(const QString &folder, QStringList &result) const
    {
        const QFileInfoList entries
                = QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        for (const QFileInfo &entry : entries) {
            result << entry.absoluteFilePath().mid(base().size() + 1);
            if (entry.isDir() && !entry.isSymLink())
                collect(entry.absoluteFilePath(), result);
        }
    }

    QTemporaryDir dir_;
};

} // namespace

class TestOutputFolderGuard : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void refused_folders_are_left_untouched_data();
    void refused_folders_are_left_untouched();
    void clearing_empties_the_folder_without_following_links();
    void a_file_in_place_of_a_parent_folder_fails_the_creation();
    void hidden_entries_make_a_folder_not_empty();
    void the_running_editor_protects_its_folders_home_and_roots();
    void the_folder_remover_reports_once_or_fails_the_build();
};

void TestOutputFolderGuard::cleanup()
{
    Installation::stop();
}

void TestOutputFolderGuard::refused_folders_are_left_untouched_data()
{
    QTest::addColumn<QString>("relative"); // below the sandbox; "@" marks a path taken as it is
    QTest::addColumn<QString>("reason");

    QTest::newRow("the data folder") << "project/data"
                                     << "is the data folder";
    QTest::newRow("the data folder with a slash") << "project/data/"
                                                  << "is the data folder";
    QTest::newRow("the data folder, uncleaned") << "project/./levels/../data"
                                                << "is the data folder";
    QTest::newRow("inside the data folder") << "project/data/levels"
                                            << "lies inside the data folder";
    QTest::newRow("missing inside the data folder") << "project/data/build/new"
                                                    << "lies inside the data folder";
    QTest::newRow("the project folder") << "project"
                                        << "is the project folder";
    QTest::newRow("inside the project folder") << "project/build"
                                               << "lies inside the project folder";
    QTest::newRow("containing the project folder") << ""
                                                   << "contains the";
    QTest::newRow("the binaries folder") << "engine/bin"
                                         << "is the engine binaries folder";
    QTest::newRow("containing the binaries folder") << "engine"
                                                    << "contains the engine binaries folder";
    QTest::newRow("the cache folder") << "engine/cache"
                                      << "is the engine cache folder";
    QTest::newRow("the home folder") << "home/user"
                                     << "is the home folder";
    QTest::newRow("containing the home folder") << "home"
                                                << "contains the home folder";
    QTest::newRow("a file-system root") << "volume"
                                        << "is the file-system root";
    QTest::newRow("a link to the data folder") << "link_to_data"
                                               << "is a symbolic link";
    QTest::newRow("below a link into the project") << "link_to_project/build"
                                                   << "lies inside the project folder";
    QTest::newRow("a file") << "a_file.txt"
                            << "is a file";
    QTest::newRow("a relative path") << "@out/build"
                                     << "must be an absolute path";
    QTest::newRow("a drive path of another system") << "@D:/out"
                                                    << "must be an absolute path";
    QTest::newRow("a backslash") << "@/tmp\\out"
                                 << "malformed";
    QTest::newRow("empty") << "@"
                           << "not set";
    QTest::newRow("blank") << "@  "
                           << "not set";
}

void TestOutputFolderGuard::refused_folders_are_left_untouched()
{
    QFETCH(QString, relative);
    QFETCH(QString, reason);
    Sandbox sandbox;
    const QString path = relative.startsWith('@') ? relative.mid(1) : sandbox.path(relative);
    const QStringList before = sandbox.files();
    const OutputFolderGuard guard = sandbox.guard();

    QVERIFY2(guard.refusal(path).contains(reason), qPrintable(guard.refusal(path)));
    QVERIFY(!guard.isAllowed(path));
    MessageCapture capture;
    QVERIFY(!guard.clear(path));
    QCOMPARE(capture.count(QtCriticalMsg, "Build Tool: refusing to clear the output directory"), 1);
    QCOMPARE(sandbox.files(), before);
}

void TestOutputFolderGuard::clearing_empties_the_folder_without_following_links()
{
    Sandbox sandbox;
    const QString missing = sandbox.path("builds/one/two");
    QVERIFY(sandbox.guard().clear(missing));
    QVERIFY(QFileInfo(missing).isDir());

    const QString out = sandbox.path("out");
    for (const char *file : {"bin/game_x64", "data/levels/a.world", ".git/config", ".hidden", "data/.cache/x"})
        QVERIFY(Installation::writeFile(out + '/' + file));
    QVERIFY(QDir(out).mkpath("empty/folder"));
    QVERIFY(Installation::writeFile(sandbox.path("outside/precious/file.txt"), "keep"));
    QVERIFY(QFile::link(sandbox.path("outside/precious"), out + "/folder_link"));
    QVERIFY(QFile::link(sandbox.path("outside/precious/file.txt"), out + "/file_link"));
    QVERIFY(QFile::link(sandbox.path("nowhere"), out + "/broken_link"));
    const QStringList others = sandbox.files().filter(QRegularExpression("^(?!out)"));

    QVERIFY(sandbox.guard().clear(out));
    QVERIFY(QFileInfo(out).isDir());
    QVERIFY(OutputFolderGuard::isEmptyFolder(out));
    QCOMPARE(sandbox.files().filter(QRegularExpression("^(?!out)")), others);
    QCOMPARE(Installation::read(sandbox.path("outside/precious/file.txt")), QByteArray("keep"));
}

void TestOutputFolderGuard::a_file_in_place_of_a_parent_folder_fails_the_creation()
{
    Sandbox sandbox;
    const QString path = sandbox.path("a_file.txt/out");
    MessageCapture capture;
    QVERIFY(!sandbox.guard().clear(path));
    QCOMPARE(capture.count(QtCriticalMsg, "Build Tool: can't create output directory ("), 1);
    QVERIFY(QFileInfo(sandbox.path("a_file.txt")).isFile());
}

void TestOutputFolderGuard::hidden_entries_make_a_folder_not_empty()
{
    Sandbox sandbox;
    const QString out = sandbox.path("out");
    QVERIFY(OutputFolderGuard::isEmptyFolder(out));
    QVERIFY(QDir().mkpath(out + "/.git"));
    QVERIFY(!OutputFolderGuard::isEmptyFolder(out));
    QVERIFY(QDir().rmdir(out + "/.git"));
    QVERIFY(OutputFolderGuard::isEmptyFolder(out));
    QVERIFY(Installation::writeFile(out + "/.env"));
    QVERIFY(!OutputFolderGuard::isEmptyFolder(out));
}

void TestOutputFolderGuard::the_running_editor_protects_its_folders_home_and_roots()
{
    Installation installation;
    QVERIFY(installation.start());
    const OutputFolderGuard guard = OutputFolderGuard::forRunningEditor();
    // Only asked, never cleared: these are real folders of this machine.
    QVERIFY(!guard.isAllowed("/"));
    QVERIFY(!guard.isAllowed(QDir::homePath()));
    QVERIFY(!guard.isAllowed(QDir::homePath() + "/.."));

    QVERIFY(guard.refusal(installation.dataPath()).contains("data folder"));
    QVERIFY(guard.refusal(installation.dataPath() + "out").contains("inside the data folder"));
    QVERIFY(guard.refusal(installation.root()).contains("is the project folder"));
    // Beside the data folder inside the project folder is the user's choice.
    for (const QString &beside : {QStringLiteral("build"), QStringLiteral("data2")})
        QVERIFY2(guard.isAllowed(installation.root() + beside),
                 qPrintable(guard.refusal(installation.root() + beside)));
    QVERIFY(guard.refusal(installation.root() + "..").contains("contains the data folder"));
    QVERIFY(!guard.isAllowed(installation.binPath()));
    QVERIFY(!guard.isAllowed(installation.cachePath()));

    QTemporaryDir elsewhere;
    QVERIFY2(guard.isAllowed(elsewhere.path() + "/build"), qPrintable(guard.refusal(elsewhere.path() + "/build")));
}

void TestOutputFolderGuard::the_folder_remover_reports_once_or_fails_the_build()
{
    Sandbox sandbox;
    PostProcessingHandler queue;
    QList<QPair<int, int>> reports;
    const ProgressCallback progress = [&](int max, int value) {
        reports.append({max, value});
        return true;
    };

    OutputDirRemover refused(sandbox.path("project/data"), sandbox.guard());
    QCOMPARE(refused.getMaxProgress(), 1);
    QVERIFY(!refused.execute(progress, queue));
    QVERIFY(reports.isEmpty());
    QVERIFY(QFileInfo(sandbox.path("project/data/levels/a.world")).isFile());

    QVERIFY(Installation::writeFile(sandbox.path("out/old.txt")));
    OutputDirRemover allowed(sandbox.path("out"), sandbox.guard());
    QVERIFY(allowed.execute(progress, queue));
    QCOMPARE(reports, (QList<QPair<int, int>>{{1, 1}}));
    QVERIFY(OutputFolderGuard::isEmptyFolder(sandbox.path("out")));
    QCOMPARE(queue.count(), 0);
}

QTEST_GUILESS_MAIN(TestOutputFolderGuard)
#include "tst_output_folder_guard.moc"
