// The C# executable of a build, made by the dotnet tool: here the fake tool
// of tests/support, found through PATH as the real one would be.

#include "assembly_test_support.h"

#include "fake_dotnet.h"

#include "editor/assembly/core/impl/file_processing/cs_files_source.h"
#include "editor/assembly/core/impl/file_processing/tool_output.h"
#include "editor/assembly/core/post_processing_handler.h"

#include <velmora/Xml.h>

#include <QtTest>

using namespace assembly;
using assemblytest::Installation;
using assemblytest::MessageCapture;

namespace {

using Reports = QList<QPair<int, int>>;

QByteArray project(const QStringList &configurations, bool post_build = true)
{
    QByteArray xml = "<Project Sdk=\"Microsoft.NET.Sdk\">\n";
    for (const QString &name : configurations) {
        xml += "  <PropertyGroup Condition=\" '$(Configuration)|$(Platform)' == '" + name.toUtf8()
                + "' \">\n"
                  "    <AssemblyName>Game_"
                + QByteArray::number(qHash(name))
                + "</AssemblyName>\n"
                  "  </PropertyGroup>\n";
    }
    if (post_build)
        xml += "  <Target Name=\"PostBuild\" AfterTargets=\"PostBuildEvent\"><Exec Command=\"rm -rf /\" /></Target>\n";
    return xml + "</Project>\n";
}

QString assemblyName(const QString &configuration)
{
    return "Game_" + QString::number(qHash(configuration));
}

struct Run
{
    bool ok = false;
    QStringList destinations;
    Reports reports;
    QString executable;
};

} // namespace

class TestCSFilesSource : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void a_published_project_lands_in_bin_with_its_executable();
    void the_configuration_follows_kind_and_precision_data();
    void the_configuration_follows_kind_and_precision();
    void tool_failures_log_the_tool_lines_then_fail_data();
    void tool_failures_log_the_tool_lines_then_fail();
    void a_missing_tool_says_so();
    void broken_inputs_fail_with_their_message_data();
    void broken_inputs_fail_with_their_message();
    void cancel_after_reading_leaves_no_working_copy();
    void tool_output_is_split_into_lines_across_reads();

private:
    Run run(Binary binary = Binary::Development, Precision precision = Precision::Float, int cancel_at = -1);
    QStringList projectFolderFiles() const;

    std::unique_ptr<Installation> inst_;
    std::unique_ptr<test::FakeDotnet> dotnet_;
    QString cs_file_;
    QString cs_bin_;
};

void TestCSFilesSource::init()
{
    inst_ = std::make_unique<Installation>();
    cs_file_ = inst_->root() + "Game.csproj";
    cs_bin_ = inst_->root() + "cs_bin/";
    QVERIFY(QDir().mkpath(cs_bin_));
    QVERIFY(Installation::writeFile(cs_file_, project({"Debug|AnyCPU", "Release|AnyCPU"})));
    QVERIFY(inst_->write("bin/libVelmoraWrapper_x64.so"));
    QVERIFY(inst_->write("bin/libVelmoraWrapper_x64d.so"));
    QVERIFY(inst_->write("bin/VelmoraSharpCore_x64.dll"));
    QVERIFY(inst_->write("bin/VelmoraSharpCore_x64d.dll"));
    for (const char *file : {"bin/libVelmoraWrapper_double_x64.so", "bin/libVelmoraWrapper_double_x64d.so",
                             "bin/VelmoraSharpCore_double_x64.dll", "bin/VelmoraSharpCore_double_x64d.dll"})
        QVERIFY(inst_->write(file));
    dotnet_ = std::make_unique<test::FakeDotnet>(cs_bin_);
    QVERIFY(dotnet_->isValid());
}

void TestCSFilesSource::cleanup()
{
    dotnet_.reset();
    inst_.reset();
}

Run TestCSFilesSource::run(Binary binary, Precision precision, int cancel_at)
{
    CSFilesSource source(cs_file_, cs_bin_, System::Linux, binary != Binary::Debug, precision, inst_->binPath(),
                         inst_->binPath(), "bin/");
    PostProcessingHandler queue;
    fp::CopyItems items;
    Run result;
    result.ok = source.process(
            [&](int max, int value) {
                return result.reports.append({max, value}), value != cancel_at;
            },
            queue, items);
    result.executable = source.getExecutablePath();
    for (const fp::CopyItem &item : items)
        result.destinations << item.relative_dest;
    // Items are still readable before the post operations.
    for (const fp::CopyItem &item : items) {
        if (!QFileInfo(item.source_path).isFile())
            result.destinations << "missing:" + item.source_path;
    }
    queue.runOperations();
    return result;
}

QStringList TestCSFilesSource::projectFolderFiles() const
{
    QStringList entries = QDir(inst_->root()).entryList(QDir::Files);
    entries << QDir(cs_bin_).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    return entries;
}

void TestCSFilesSource::a_published_project_lands_in_bin_with_its_executable()
{
    const QByteArray original = Installation::read(cs_file_);
    MessageCapture capture;
    const Run result = run();
    QVERIFY(result.ok);
    const QString exe = assemblyName("Release|AnyCPU");
    QCOMPARE(result.destinations,
             (QStringList{"bin/libVelmoraWrapper_x64.so", "bin/VelmoraSharpCore_x64.dll", "bin/Game.Logic.dll",
                          "bin/" + exe, "bin/runtimes/x/native.so"}));
    QCOMPARE(result.executable, "bin/" + exe);
    QCOMPARE(result.reports, (Reports{{4, 1}, {4, 2}, {4, 3}, {4, 4}}));
    // The project file is untouched, its working copy and the tool's
    // folders are gone, and the tool's warning of a good run is not logged.
    QCOMPARE(Installation::read(cs_file_), original);
    QCOMPARE(projectFolderFiles(), QStringList{"Game.csproj"});
    QCOMPARE(capture.count(QtWarningMsg, "CS0168"), 0);

    const QStringList calls = dotnet_->calls();
    QCOMPARE(calls.size(), 2);
    QVERIFY(calls.at(0).startsWith("build -c Release|AnyCPU -r linux-x64 " + inst_->root() + "Game"));
    QVERIFY(calls.at(1).endsWith("-c Release|AnyCPU -r linux-x64 --no-build --self-contained"));
    QVERIFY(!calls.at(0).endsWith("Game.csproj")); // the working copy, not the project
}

void TestCSFilesSource::the_configuration_follows_kind_and_precision_data()
{
    QTest::addColumn<QStringList>("configurations");
    QTest::addColumn<Binary>("binary");
    QTest::addColumn<Precision>("precision");
    QTest::addColumn<QString>("chosen");
    const QStringList two{"Debug|AnyCPU", "Release|AnyCPU"};
    const QStringList four{"Debug|AnyCPU", "DebugDouble|AnyCPU", "Release|AnyCPU", "ReleaseDouble|AnyCPU"};
    QTest::newRow("two, debug") << two << Binary::Debug << Precision::Double << "Debug|AnyCPU";
    QTest::newRow("two, release ignores precision")
            << two << Binary::Development << Precision::Double << "Release|AnyCPU";
    QTest::newRow("four, double debug") << four << Binary::Debug << Precision::Double << "DebugDouble|AnyCPU";
    QTest::newRow("four, float release") << four << Binary::Development << Precision::Float << "Release|AnyCPU";
    QTest::newRow("three") << QStringList(four.mid(0, 3)) << Binary::Debug << Precision::Float << "unknown";
    QTest::newRow("five") << four + QStringList{"Debug|x64"} << Binary::Debug << Precision::Float << "unknown";
    QTest::newRow("an odd name is left out") << QStringList{"Debug|AnyCPU", "Profile|AnyCPU", "Release|AnyCPU"}
                                             << Binary::Development << Precision::Float << "Release|AnyCPU";
    QTest::newRow("none fits") << QStringList{"Debug|AnyCPU", "Debug|x64"} << Binary::Development << Precision::Float
                               << "wrong";
}

void TestCSFilesSource::the_configuration_follows_kind_and_precision()
{
    QFETCH(QStringList, configurations);
    QFETCH(Binary, binary);
    QFETCH(Precision, precision);
    QFETCH(QString, chosen);
    QVERIFY(Installation::writeFile(cs_file_, project(configurations)));
    MessageCapture capture;
    const Run result = run(binary, precision);
    if (chosen == "unknown" || chosen == "wrong") {
        QVERIFY(!result.ok);
        QCOMPARE(capture.count(QtCriticalMsg,
                               "csproj file contains " + chosen + " configuration parameters - ' (\""
                                       + configurations.first() + "\""),
                 1);
        QVERIFY(dotnet_->calls().isEmpty());
    } else {
        QVERIFY(result.ok);
        QCOMPARE(result.executable, "bin/" + assemblyName(chosen));
        QVERIFY(dotnet_->calls().first().startsWith("build -c " + chosen + " "));
    }
    QCOMPARE(projectFolderFiles(), QStringList{"Game.csproj"});
}

void TestCSFilesSource::tool_failures_log_the_tool_lines_then_fail_data()
{
    QTest::addColumn<bool>("build_fails");
    QTest::addColumn<QString>("message");
    QTest::newRow("build") << true << "Build Tool: CS build failed.";
    QTest::newRow("publish") << false << "Build Tool: CS publishing failed.";
}

void TestCSFilesSource::tool_failures_log_the_tool_lines_then_fail()
{
    QFETCH(bool, build_fails);
    QFETCH(QString, message);
    dotnet_->setBuildFails(build_fails);
    if (!build_fails)
        dotnet_->setPublishExit(3);
    MessageCapture capture;
    const Run result = run();
    QVERIFY(!result.ok);
    QCOMPARE(capture.count(QtCriticalMsg, message), 1);
    if (build_fails) {
        QCOMPARE(capture.count(QtCriticalMsg, "X.cs(10,5): error CS1002: ; expected"), 1);
        QCOMPARE(capture.count(QtWarningMsg, "X.cs(3,1): warning CS0168"), 1);
        QCOMPARE(capture.count(QtInfoMsg, "Build FAILED|see above"), 1); // one line, '|' and all
        QCOMPARE(result.reports, (Reports{{4, 1}}));
    }
    QCOMPARE(projectFolderFiles(), QStringList{"Game.csproj"});
}

void TestCSFilesSource::a_missing_tool_says_so()
{
    QTemporaryDir empty;
    test::ScopedPath path(QFile::encodeName(empty.path()));
    MessageCapture capture;
    const Run result = run();
    QVERIFY(!result.ok);
    QCOMPARE(capture.count(QtCriticalMsg, "Build Tool: can't start dotnet"), 1);
    QCOMPARE(projectFolderFiles(), QStringList{"Game.csproj"});
}

void TestCSFilesSource::broken_inputs_fail_with_their_message_data()
{
    QTest::addColumn<QString>("problem");
    QTest::addColumn<QString>("message");
    QTest::newRow("no wrapper") << "wrapper"
                                << "necessary file not found";
    QTest::newRow("unreadable project") << "not xml"
                                        << "can't read csproj file";
    QTest::newRow("no assembly name") << "no name"
                                      << "doesn't contain the key Project->PropertyGroup->AssemblyName";
}

void TestCSFilesSource::broken_inputs_fail_with_their_message()
{
    QFETCH(QString, problem);
    QFETCH(QString, message);
    if (problem == "wrapper")
        QVERIFY(QFile::remove(inst_->binPath() + "libVelmoraWrapper_x64.so"));
    else if (problem == "not xml")
        QVERIFY(Installation::writeFile(cs_file_, "Project {"));
    else if (problem == "no name")
        QVERIFY(Installation::writeFile(
                cs_file_,
                QByteArray(project({"Debug|AnyCPU", "Release|AnyCPU"})).replace("AssemblyName", "RootNamespace")));
    else
        QFAIL("unknown problem");
    MessageCapture capture;
    QVERIFY(!run().ok);
    QCOMPARE(capture.count(QtCriticalMsg, message), 1);
    QCOMPARE(projectFolderFiles(), QStringList{"Game.csproj"});
}

void TestCSFilesSource::cancel_after_reading_leaves_no_working_copy()
{
    const Run at_first = run(Binary::Development, Precision::Float, 1);
    QVERIFY(!at_first.ok);
    QVERIFY(dotnet_->calls().isEmpty());
    const Run at_second = run(Binary::Development, Precision::Float, 2);
    QVERIFY(!at_second.ok);
    QCOMPARE(dotnet_->calls().size(), 1);
    QCOMPARE(projectFolderFiles(), QStringList{"Game.csproj"});
}

void TestCSFilesSource::tool_output_is_split_into_lines_across_reads()
{
    ToolOutput output;
    output.append("first li");
    output.append("ne\r");
    output.append("\nX.cs(1,2): error CS1: bad\r\n\r\n  spaced   out  \rlast|part");
    output.finish();
    QCOMPARE(output.lines(), (QStringList{"first line", "X.cs(1,2): error CS1: bad", "spaced out", "last|part"}));
    QCOMPARE(output.levels(), (QVector<int>{2, 0, 2, 2}));
}

QTEST_GUILESS_MAIN(TestCSFilesSource)
#include "tst_cs_files_source.moc"
