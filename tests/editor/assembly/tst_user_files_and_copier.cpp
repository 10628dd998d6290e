// The user's copy rules and the copier that writes a build folder.

#include "assembly_test_support.h"
#include "file_system_quirks.h"

#include "editor/assembly/core/impl/file_processing/copying_handler.h"
#include "editor/assembly/core/impl/file_processing/user_files_source.h"
#include "editor/assembly/core/post_processing_handler.h"

#include "core/base/thread_group.h"

#include "thread_limit.h"

#include <QtTest>

#include <csignal>
#include <sys/resource.h>

using namespace assembly;
using assemblytest::Installation;
using assemblytest::MessageCapture;

namespace {

using Reports = QList<QPair<int, int>>;

QStringList expand(const QString &from, const QString &to, fp::CopyItems *out = nullptr)
{
    UserFilesSource source({CopyRule{from, to}});
    PostProcessingHandler queue;
    fp::CopyItems items;
    if (!source.process([](int, int) { return true; }, queue, items))
        return {QStringLiteral("failed")};
    if (out)
        *out = items;
    QStringList destinations;
    for (const fp::CopyItem &item : items)
        destinations << item.relative_dest;
    return destinations;
}

bool copyAll(const QString &output, const fp::CopyItems &items, Reports &reports, int cancel_at = -1)
{
    CopyingHandler copier(output);
    PostProcessingHandler queue;
    return copier.copy(
            [&](int max, int value) {
                return reports.append({max, value}), value != cancel_at;
            },
            items, queue);
}

} // namespace

class TestUserFilesAndCopier : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void destinations_are_normalised_data();
    void destinations_are_normalised();
    void a_file_rule_names_a_file_or_a_folder_data();
    void a_file_rule_names_a_file_or_a_folder();
    void a_folder_rule_takes_every_file_below_it();
    void a_wildcard_matches_names_without_regard_to_case();
    void rules_that_name_nothing_warn_data();
    void rules_that_name_nothing_warn();
    void destinations_outside_the_build_folder_are_refused_data();
    void destinations_outside_the_build_folder_are_refused();

    void the_copier_reports_every_file_and_keeps_bytes_and_modes();
    void a_file_system_without_modes_takes_the_copies();
    void no_items_give_one_report();
    void a_folder_blocked_by_a_file_stops_before_any_copy();
    void a_file_that_cannot_be_copied_fails_the_build_with_its_path_data();
    void a_file_that_cannot_be_copied_fails_the_build_with_its_path();
    void a_full_disk_leaves_no_half_written_file();
    void cancel_stops_between_files();
    void many_files_keep_the_order_of_a_copy_one_after_the_other_data();
    void many_files_keep_the_order_of_a_copy_one_after_the_other();

private:
    Installation inst_;
};

void TestUserFilesAndCopier::initTestCase()
{
    for (const char *file :
         {"in/readme.txt", "in/LICENSE", "in/textures/a.png", "in/textures/B.PNG", "in/textures/c.jpg",
          "in/textures/deep/d.png", "in/textures/png/e.png", "in/empty/.hidden"})
        QVERIFY(inst_.write(QStringLiteral("data/") + file));
}

void TestUserFilesAndCopier::destinations_are_normalised_data()
{
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("normal");
    QTest::newRow("backslashes") << "docs\\extra"
                                 << "docs/extra";
    QTest::newRow("double slashes") << "docs//extra///x"
                                    << "docs/extra/x";
    QTest::newRow("lone slash") << "/"
                                << "";
    QTest::newRow("one leading slash goes") << "/docs/"
                                            << "docs/";
    QTest::newRow("a doubled leading slash goes") << "//docs"
                                                  << "docs";
    QTest::newRow("inner parent stays") << "a/../b"
                                        << "a/../b";
    QTest::newRow("leading parent stays") << "../x"
                                          << "../x";
}

void TestUserFilesAndCopier::destinations_are_normalised()
{
    QFETCH(QString, to);
    QFETCH(QString, normal);
    QCOMPARE(UserFilesSource::normalizeTo(to), normal);
}

void TestUserFilesAndCopier::a_file_rule_names_a_file_or_a_folder_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("destination");
    QTest::newRow("into a folder") << "in/readme.txt"
                                   << "docs"
                                   << "docs/readme.txt";
    QTest::newRow("into a folder with slash") << "in/readme.txt"
                                              << "docs/"
                                              << "docs/readme.txt";
    QTest::newRow("into a folder written from the build folder's root") << "in/readme.txt"
                                                                        << "//docs/"
                                                                        << "docs/readme.txt";
    QTest::newRow("renamed") << "in/readme.txt"
                             << "docs/about.TXT"
                             << "docs/about.TXT";
    QTest::newRow("no extension names the file") << "in/LICENSE"
                                                 << "legal"
                                                 << "legal";
    QTest::newRow("root") << "in/LICENSE"
                          << ""
                          << "LICENSE";
    QTest::newRow("backslashes and parents in from") << "in\\textures\\..\\readme.txt"
                                                     << ""
                                                     << "readme.txt";
}

void TestUserFilesAndCopier::a_file_rule_names_a_file_or_a_folder()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QString, destination);
    QCOMPARE(expand(inst_.dataPath() + from, to), QStringList{destination});
}

void TestUserFilesAndCopier::a_folder_rule_takes_every_file_below_it()
{
    fp::CopyItems items;
    QCOMPARE(expand(inst_.dataPath() + "in/textures", "extra"),
             (QStringList{"extra/B.PNG", "extra/a.png", "extra/c.jpg", "extra/deep/d.png", "extra/png/e.png"}));
    QCOMPARE(expand(inst_.dataPath() + "in/textures/", "", &items).first(), QStringLiteral("B.PNG"));
    QCOMPARE(items.first().source_path, inst_.dataPath() + "in/textures/B.PNG");
}

void TestUserFilesAndCopier::a_wildcard_matches_names_without_regard_to_case()
{
    // Folders are entered only when their own names match.
    QCOMPARE(expand(inst_.dataPath() + "in/textures/*.png", "img"), (QStringList{"img/B.PNG", "img/a.png"}));
    QCOMPARE(expand(inst_.dataPath() + "in/textures/*.jpg;png;*.png", "img"),
             (QStringList{"img/B.PNG", "img/a.png", "img/c.jpg", "img/png/e.png"}));
}

void TestUserFilesAndCopier::rules_that_name_nothing_warn_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("warning");
    QTest::newRow("empty from is silent") << ""
                                          << "";
    QTest::newRow("empty folder") << "DATA/in/empty"
                                  << "no files will be copied from this path";
    QTest::newRow("pattern without match") << "DATA/in/textures/*.tga"
                                           << "no files will be copied from this path";
    QTest::newRow("missing file") << "DATA/in/nowhere/x.txt"
                                  << "no files will be copied from this path";
    QTest::newRow("relative path") << "notes/x.txt"
                                   << "path (and/or wildcard) not recognized";
    QTest::newRow("no existing folder") << "/nowhere-at-all/x"
                                        << "path (and/or wildcard) not recognized";
}

void TestUserFilesAndCopier::rules_that_name_nothing_warn()
{
    QFETCH(QString, from);
    QFETCH(QString, warning);
    MessageCapture capture;
    QCOMPARE(expand(QString(from).replace("DATA/", inst_.dataPath()), "x"), QStringList());
    QCOMPARE(capture.count(QtWarningMsg, "Build Tool"), warning.isEmpty() ? 0 : 1);
    if (!warning.isEmpty())
        QCOMPARE(capture.count(QtWarningMsg, warning), 1);
}

void TestUserFilesAndCopier::destinations_outside_the_build_folder_are_refused_data()
{
    QTest::addColumn<QString>("to");
    QTest::newRow("parent") << "../x";
    QTest::newRow("parent folder") << "..";
    QTest::newRow("trailing parent") << "docs/..";
    QTest::newRow("inner parent") << "docs/../../x";
    QTest::newRow("parent that stays inside") << "docs/../x";
    QTest::newRow("drive") << "C:/x";
    QTest::newRow("current folder segment") << "./docs";
}

void TestUserFilesAndCopier::destinations_outside_the_build_folder_are_refused()
{
    QFETCH(QString, to);
    MessageCapture capture;
    QCOMPARE(expand(inst_.dataPath() + "in/readme.txt", to), QStringList());
    QCOMPARE(expand(inst_.dataPath() + "in/textures", to), QStringList());
    QCOMPARE(capture.count(QtWarningMsg, "the rule ("), 2);

    // The copier refuses such destinations too, whoever lists them.
    QTemporaryDir out;
    Reports reports;
    QVERIFY(!copyAll(out.path() + "/build/", {fp::CopyItem{inst_.dataPath() + "in/readme.txt", "../escaped.txt"}},
                     reports));
    QVERIFY(!QFileInfo::exists(out.path() + "/escaped.txt"));
}

void TestUserFilesAndCopier::the_copier_reports_every_file_and_keeps_bytes_and_modes()
{
    QTemporaryDir out;
    const QString output = out.path() + "/build/";
    QVERIFY(Installation::writeFile(inst_.root() + "run.sh", "#!/bin/sh\n"));
    QVERIFY(QFile::setPermissions(inst_.root() + "run.sh", QFile::ReadOwner | QFile::WriteOwner));
    QVERIFY(Installation::writeFile(inst_.root() + "big.bin", QByteArray(3 * 1024 * 1024 + 17, 'z')));
    const fp::CopyItems items{{inst_.dataPath() + "in/readme.txt", "readme.txt"},
                              {inst_.root() + "big.bin", "data/deep/big.bin"},
                              {inst_.root() + "run.sh", "game.sh"}};
    Reports reports;
    QVERIFY(copyAll(output, items, reports));
    QCOMPARE(reports, (Reports{{4, 1}, {4, 2}, {4, 3}, {4, 4}}));
    for (const fp::CopyItem &item : items)
        QCOMPARE(Installation::read(output + item.relative_dest), Installation::read(item.source_path));
    QVERIFY(QFileInfo(output + "game.sh").isExecutable());
    QVERIFY(QFile::permissions(output + "game.sh") & QFile::ExeOther);
}

void TestUserFilesAndCopier::a_file_system_without_modes_takes_the_copies()
{
    QTemporaryDir out;
    const QString output = out.path() + "/";
    QVERIFY(Installation::writeFile(inst_.root() + "start.sh", "#!/bin/sh\n"));
    const fp::CopyItems items{{inst_.dataPath() + "in/readme.txt", "readme.txt"}, {inst_.root() + "start.sh", "go.sh"}};
    Reports reports;
    {
        test::NoLinksOrModes fat;
        QVERIFY(copyAll(output, items, reports));
        QVERIFY(fat.refusedCalls() > 0);
    }
    for (const fp::CopyItem &item : items)
        QCOMPARE(Installation::read(output + item.relative_dest), Installation::read(item.source_path));
}

void TestUserFilesAndCopier::no_items_give_one_report()
{
    QTemporaryDir out;
    Reports reports;
    QVERIFY(copyAll(out.path() + "/", {}, reports));
    QCOMPARE(reports, (Reports{{1, 1}}));
}

void TestUserFilesAndCopier::a_folder_blocked_by_a_file_stops_before_any_copy()
{
    QTemporaryDir out;
    const QString output = out.path() + "/";
    QVERIFY(Installation::writeFile(output + "docs"));
    MessageCapture capture;
    Reports reports;
    QVERIFY(!copyAll(
            output,
            {{inst_.dataPath() + "in/LICENSE", "LICENSE"}, {inst_.dataPath() + "in/readme.txt", "docs/readme.txt"}},
            reports));
    QVERIFY(reports.isEmpty());
    QVERIFY(!QFileInfo::exists(output + "LICENSE"));
    QCOMPARE(capture.count(QtCriticalMsg, "Build Tool: can't create directory ( \"" + output + "docs/\" )."), 1);
}

void TestUserFilesAndCopier::a_file_that_cannot_be_copied_fails_the_build_with_its_path_data()
{
    QTest::addColumn<QString>("case_name");
    QTest::newRow("source gone") << "gone";
    QTest::newRow("source is a folder") << "folder";
    QTest::newRow("destination exists") << "exists";
    QTest::newRow("destination is a folder") << "dest folder";
}

void TestUserFilesAndCopier::a_file_that_cannot_be_copied_fails_the_build_with_its_path()
{
    QFETCH(QString, case_name);
    QTemporaryDir out;
    const QString output = out.path() + "/";
    QString source = inst_.dataPath() + "in/LICENSE";
    if (case_name == "gone")
        source = inst_.dataPath() + "in/gone.txt";
    else if (case_name == "folder")
        source = inst_.dataPath() + "in/textures";
    else if (case_name == "exists")
        QVERIFY(Installation::writeFile(output + "bad", "keep me"));
    else
        QVERIFY(QDir().mkpath(output + "bad"));

    MessageCapture capture;
    Reports reports;
    QVERIFY(!copyAll(output, {{source, "bad"}, {inst_.dataPath() + "in/readme.txt", "good.txt"}}, reports));
    QCOMPARE(reports.last(), qMakePair(3, 3)); // the others are still copied
    QVERIFY(QFileInfo(output + "good.txt").isFile());
    QCOMPARE(capture.count(QtCriticalMsg, "can't copy file ( \"" + source + "\" )"), 1);
    QCOMPARE(capture.count(QtCriticalMsg, "1 of 2 files could not be copied"), 1);
    if (case_name == "exists")
        QCOMPARE(Installation::read(output + "bad"), QByteArray("keep me"));
    else if (case_name != "dest folder")
        QVERIFY(!QFileInfo::exists(output + "bad"));
}

void TestUserFilesAndCopier::a_full_disk_leaves_no_half_written_file()
{
    // A file-size limit makes writes fail as a full disk does.
    QTemporaryDir out;
    const QString output = out.path() + "/";
    QVERIFY(Installation::writeFile(inst_.root() + "large.bin", QByteArray(2 * 1024 * 1024, 'x')));
    struct rlimit old_limit;
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &old_limit), 0);
    const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = old_limit;
    limit.rlim_cur = 1024 * 1024;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);

    MessageCapture capture;
    Reports reports;
    const bool copied = copyAll(output, {{inst_.root() + "large.bin", "data/large.bin"}}, reports);
    setrlimit(RLIMIT_FSIZE, &old_limit);
    std::signal(SIGXFSZ, old_handler);

    QVERIFY(!copied);
    QVERIFY(!QFileInfo::exists(output + "data/large.bin"));
    QCOMPARE(capture.count(QtCriticalMsg, "can't copy file ( \"" + inst_.root() + "large.bin\" )"), 1);
}

void TestUserFilesAndCopier::cancel_stops_between_files()
{
    QTemporaryDir out;
    const QString output = out.path() + "/";
    const fp::CopyItems items{{inst_.dataPath() + "in/LICENSE", "1"},
                              {inst_.dataPath() + "in/LICENSE", "2"},
                              {inst_.dataPath() + "in/LICENSE", "3"}};
    Reports reports;
    QVERIFY(!copyAll(output, items, reports, 3));
    QCOMPARE(reports.last(), qMakePair(4, 3));
    QVERIFY(QFileInfo(output + "1").isFile() && QFileInfo(output + "2").isFile());
    QCOMPARE(Installation::read(output + "2"), Installation::read(inst_.dataPath() + "in/LICENSE"));
    QVERIFY(!QFileInfo::exists(output + "3"));
}

void TestUserFilesAndCopier::many_files_keep_the_order_of_a_copy_one_after_the_other_data()
{
    // threads: -1 as many as the copier asks for, 0 none (every start
    // refused), n at most n of its own.
    QTest::addColumn<int>("cancel_at");
    QTest::addColumn<int>("threads");
    QTest::newRow("to the end") << -1 << -1;
    QTest::newRow("cancelled in the middle") << 121 << -1;
    QTest::newRow("to the end, no thread to be had") << -1 << 0;
    QTest::newRow("cancelled, no thread to be had") << 121 << 0;
    QTest::newRow("to the end, one thread to be had") << -1 << 1;
    QTest::newRow("cancelled, two threads to be had") << 121 << 2;
}

void TestUserFilesAndCopier::many_files_keep_the_order_of_a_copy_one_after_the_other()
{
    // More files than the copier works ahead of its reports; every tenth
    // item names the destination of the item before it, which must keep
    // the earlier item's file.
    QFETCH(int, cancel_at);
    QFETCH(int, threads);
    QTemporaryDir in;
    QTemporaryDir out;
    const QString output = out.path() + "/";
    const int count = 200;
    fp::CopyItems items;
    for (int i = 0; i < count; ++i) {
        const QString source = in.path() + QStringLiteral("/s%1").arg(i);
        QVERIFY(Installation::writeFile(source, QByteArray::number(i).repeated(1 + (i % 4) * 9000)));
        const int named = i % 10 == 9 ? i - 1 : i;
        items.append({source, QStringLiteral("many/%1/f%2").arg(named % 7).arg(named)});
    }
    MessageCapture capture;
    Reports reports;
    {
        const int refused_before = base::ThreadGroup::refusals();
        const test::ThreadsAllowed allowed(threads);
        QVERIFY(!copyAll(output, items, reports, cancel_at));
        // Only a limit the copier runs into proves anything.
        QCOMPARE(base::ThreadGroup::refusals() > refused_before, threads >= 0);
    }

    const int last = cancel_at < 0 ? count + 1 : cancel_at;
    Reports expected;
    for (int value = 1; value <= last; ++value)
        expected.append({count + 1, value});
    QCOMPARE(reports, expected);

    QStringList failures;
    int files = 0;
    for (int i = 0; i + 2 <= last; ++i) {
        const bool repeated = i % 10 == 9;
        if (repeated)
            failures << "Build Tool: can't copy file ( \"" + items.at(i).source_path + "\" )";
        else
            ++files;
        const QString copied_from = items.at(repeated ? i - 1 : i).source_path;
        QCOMPARE(Installation::read(output + items.at(i).relative_dest), Installation::read(copied_from));
    }
    QStringList logged;
    for (const QString &message : capture.messages()) {
        if (message.contains("can't copy file"))
            logged << message.left(message.indexOf(" to ("));
    }
    QCOMPARE(logged, failures);
    int found = 0;
    QDirIterator it(output, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        ++found;
    }
    QCOMPARE(found, files); // nothing copied ahead of the cancel is left
}

QTEST_GUILESS_MAIN(TestUserFilesAndCopier)
#include "tst_user_files_and_copier.moc"
