// The executables of a build and the ways to start them: the main
// executable, the combiner that hands executables to the launchers, the
// launcher program with its settings, and the launcher scripts, whose
// quoting is checked by running them.

#include "assembly_test_support.h"

#include "editor/assembly/core/impl/file_processing/binary_launcher_files_source.h"
#include "editor/assembly/core/impl/file_processing/exe_combiner.h"
#include "editor/assembly/core/impl/file_processing/main_exe_files_source.h"
#include "editor/assembly/core/impl/file_processing/script_launcher_files_source.h"
#include "editor/assembly/core/post_processing_handler.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

using namespace assembly;
using assemblytest::Installation;
using assemblytest::MessageCapture;

namespace {

using Reports = QList<QPair<int, int>>;

// An executable provider that reports a number of steps, then its path (or
// fails), and notes when it ran.
class FakeProvider : public ExeProviderSource
{
public:
    FakeProvider(QStringList &journal, const QString &name, int steps, bool ok = true)
        : journal_(journal)
        , name_(name)
        , steps_(steps)
        , ok_(ok)
    {}
    int getMaxProgress() const override { return steps_; }
    bool process(const ProgressCallback &progress, post::OperationQueue &, fp::CopyItems &) override
    {
        journal_ << name_;
        for (int i = 1; i <= steps_; ++i) {
            if (!progress(steps_, i))
                return false;
        }
        return ok_;
    }
    QString getExecutablePath() const override { return QStringLiteral("bin/") + name_; }

private:
    QStringList &journal_;
    QString name_;
    int steps_;
    bool ok_;
};

CommandLine commandLine(const QStringList &args)
{
    CommandLine result;
    result.args = args;
    return result;
}

bool runSource(fp::Source &source, PostProcessingHandler &queue, fp::CopyItems &items, Reports *reports = nullptr)
{
    return source.process(
            [reports](int max, int value) {
                return reports && (reports->append({max, value}), false), true;
            },
            queue, items);
}

QString destinationOf(const fp::CopyItems &items, const QString &suffix)
{
    for (const fp::CopyItem &item : items) {
        if (item.relative_dest.endsWith(suffix))
            return item.source_path;
    }
    return QString();
}

} // namespace

class TestLauncherSources : public QObject
{
    Q_OBJECT

private slots:
    void the_main_executable_goes_to_bin_under_its_own_name();
    void the_combiner_counts_every_inner_report_up_to_ten();
    void a_failing_receiver_stops_the_later_ones();
    void script_arguments_are_quoted_for_the_shell_data();
    void script_arguments_are_quoted_for_the_shell();
    void the_linux_script_has_its_fixed_text();
    void placeholders_in_arguments_stay_as_they_are();
    void the_windows_batch_file_keeps_its_template();
    void the_script_passes_exactly_its_arguments_to_the_executable_data();
    void the_script_passes_exactly_its_arguments_to_the_executable();
    void a_project_name_that_is_not_one_file_name_is_refused_data();
    void a_project_name_that_is_not_one_file_name_is_refused();
    void the_launcher_program_carries_its_settings_and_libraries();
    void a_debug_only_build_takes_the_debug_launcher();
    void each_required_launcher_library_fails_the_build_when_missing_data();
    void each_required_launcher_library_fails_the_build_when_missing();
    void windows_launcher_files_follow_windows_names();
};

void TestLauncherSources::the_main_executable_goes_to_bin_under_its_own_name()
{
    Installation inst;
    MessageCapture capture;
    PostProcessingHandler queue;
    fp::CopyItems items;
    MainExeFilesSource missing(inst.binPath() + "game_x64", "bin/");
    QVERIFY(!runSource(missing, queue, items));
    QCOMPARE(capture.count(QtCriticalMsg,
                           "Build Tool: The important file ( \"" + inst.binPath() + "game_x64\" ) doesn't exist."),
             1);

    inst.write("bin/game_x64");
    MainExeFilesSource present(inst.binPath() + "game_x64", "bin/");
    QVERIFY(runSource(present, queue, items));
    QCOMPARE(present.getExecutablePath(), QStringLiteral("bin/game_x64"));
    QCOMPARE(items.size(), 1);
}

void TestLauncherSources::the_combiner_counts_every_inner_report_up_to_ten()
{
    QStringList journal;
    auto release = std::make_unique<ScriptLauncherFilesSource>(System::Linux, CommandLine(), "game", "bin/", "");
    auto dev
            = std::make_unique<ScriptLauncherFilesSource>(System::Linux, CommandLine(), "game_development", "bin/", "");
    auto debug = std::make_unique<ScriptLauncherFilesSource>(System::Linux, CommandLine(), "game_debug", "bin/", "");
    ExeCombiner combiner(std::move(release), std::move(dev), std::move(debug));
    combiner.setReleaseExe(std::make_unique<FakeProvider>(journal, "release_exe", 4));
    combiner.setDevExe(std::make_unique<FakeProvider>(journal, "dev_exe", 4));
    combiner.setDebugExe(std::make_unique<FakeProvider>(journal, "debug_exe", 4));

    PostProcessingHandler queue;
    fp::CopyItems items;
    Reports reports;
    QVERIFY(runSource(combiner, queue, items, &reports));
    QCOMPARE(journal, (QStringList{"debug_exe", "dev_exe", "release_exe"}));
    Reports expected;
    for (int i = 1; i <= 10; ++i)
        expected.append({10, i});
    for (int i = 0; i < 6; ++i)
        expected.append({10, 10}); // five capped reports and the combiner's own last one
    QCOMPARE(reports, expected);
    QCOMPARE(combiner.releaseReceiver()->executablePath(), QStringLiteral("bin/release_exe"));
    QCOMPARE(combiner.devReceiver()->executablePath(), QStringLiteral("bin/dev_exe"));
    QCOMPARE(combiner.debugReceiver()->executablePath(), QStringLiteral("bin/debug_exe"));
    QCOMPARE(items.size(), 3);
    queue.runOperations();
}

void TestLauncherSources::a_failing_receiver_stops_the_later_ones()
{
    QStringList journal;
    // The development receiver has no usable name, so it fails.
    auto release = std::make_unique<ScriptLauncherFilesSource>(System::Linux, CommandLine(), "game", "bin/", "");
    auto dev = std::make_unique<ScriptLauncherFilesSource>(System::Linux, CommandLine(), "../dev", "bin/", "");
    ExeCombiner combiner(std::move(release), std::move(dev), nullptr);
    combiner.setReleaseExe(std::make_unique<FakeProvider>(journal, "release_exe", 1));
    combiner.setDevExe(std::make_unique<FakeProvider>(journal, "dev_exe", 1));
    PostProcessingHandler queue;
    fp::CopyItems items;
    QVERIFY(!runSource(combiner, queue, items));
    QVERIFY(items.isEmpty()); // the release script never ran
    queue.runOperations();

    QStringList failing_journal;
    auto only = std::make_unique<ScriptLauncherFilesSource>(System::Linux, CommandLine(), "game", "bin/", "");
    ExeCombiner failing_provider(std::move(only), nullptr, nullptr);
    failing_provider.setDebugExe(std::make_unique<FakeProvider>(failing_journal, "debug_exe", 1, false));
    failing_provider.setReleaseExe(std::make_unique<FakeProvider>(failing_journal, "release_exe", 1));
    QVERIFY(!runSource(failing_provider, queue, items));
    QCOMPARE(failing_journal, QStringList{"debug_exe"});
}

void TestLauncherSources::script_arguments_are_quoted_for_the_shell_data()
{
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("linux");
    QTest::addColumn<QString>("windows");
    QTest::newRow("plain") << "-video_app"
                           << "-video_app"
                           << "-video_app";
    QTest::newRow("path") << "../data/"
                          << "../data/"
                          << "../data/";
    QTest::newRow("blank") << "My World"
                           << "'My World'"
                           << "\"My World\"";
    QTest::newRow("world command") << "world_load \"levels/My World\""
                                   << "'world_load \"levels/My World\"'"
                                   << "\"world_load \\\"levels/My World\\\"\"";
    QTest::newRow("dollar") << "$HOME"
                            << "'$HOME'"
                            << "$HOME";
    QTest::newRow("backticks and ;") << "`ls`;ls"
                                     << "'`ls`;ls'"
                                     << "`ls`;ls";
    QTest::newRow("apostrophe") << "it's"
                                << "'it'\\''s'"
                                << "it's";
    QTest::newRow("empty") << ""
                           << "''"
                           << "\"\"";
}

void TestLauncherSources::script_arguments_are_quoted_for_the_shell()
{
    QFETCH(QString, argument);
    QFETCH(QString, linux);
    QFETCH(QString, windows);
    QCOMPARE(ScriptLauncherFilesSource::quoteArgument(argument, System::Linux), linux);
    QCOMPARE(ScriptLauncherFilesSource::quoteArgument(argument, System::Windows), windows);
}

void TestLauncherSources::the_linux_script_has_its_fixed_text()
{
    const QString args = ScriptLauncherFilesSource::commandLineText({"-a", "My World"}, System::Linux);
    QCOMPARE(args, QStringLiteral(" -a 'My World'"));
    QCOMPARE(ScriptLauncherFilesSource::commandLineText({}, System::Linux), QString());
    QCOMPARE(ScriptLauncherFilesSource::scriptText(System::Linux, "bin", "game_x64", args),
             QStringLiteral("#!/bin/sh\n"
                            "SCRIPT_DIR=$( cd \"$( dirname \"$0\" )\" && pwd )\n"
                            "APP=\"$SCRIPT_DIR/bin/game_x64\"\n"
                            "if [ -f \"$APP\" ]; then\n"
                            "\t\"$APP\"  -a 'My World'\n"
                            "else\n"
                            "\techo \"$APP not found\"\n"
                            "fi\n"));
}

void TestLauncherSources::placeholders_in_arguments_stay_as_they_are()
{
    const QString text = ScriptLauncherFilesSource::scriptText(System::Linux, "bin", "game",
                                                               " $(EXECUTABLE_NAME) $(BINARY_DIR_NAME)");
    QVERIFY(text.contains(QLatin1String("\"$APP\"  $(EXECUTABLE_NAME) $(BINARY_DIR_NAME)\n")));
    QVERIFY(text.contains(QLatin1String("APP=\"$SCRIPT_DIR/bin/game\"")));
}

void TestLauncherSources::the_windows_batch_file_keeps_its_template()
{
    QCOMPARE(ScriptLauncherFilesSource::scriptText(
                     System::Windows, "bin", "game_x64.exe",
                     ScriptLauncherFilesSource::commandLineText({"-a", "My World"}, System::Windows)),
             QStringLiteral("@echo off\nchcp 65001\nsetlocal EnableDelayedExpansion\n"
                            "set app=%~dp0bin\\game_x64.exe\n"
                            "start /b \"\" \"%app%\"  -a \"My World\"\n"));

    Installation inst;
    PostProcessingHandler queue;
    fp::CopyItems items;
    ScriptLauncherFilesSource source(System::Windows, commandLine({}), "game", "bin/", "");
    source.setExecutablePath("bin/game_x64.exe");
    QVERIFY(runSource(source, queue, items));
    QCOMPARE(items.first().relative_dest, QStringLiteral("game.bat"));
    QVERIFY(Installation::read(items.first().source_path).contains("set app=%~dp0bin\\game_x64.exe\n"));
    queue.runOperations();
    QVERIFY(!QFileInfo::exists(items.first().source_path));
}

void TestLauncherSources::the_script_passes_exactly_its_arguments_to_the_executable_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("engine arguments") << QStringList{"-video_app", "auto", "-data_path", "../data/"};
    QTest::newRow("world with blanks and quotes") << QStringList{"-console_command", "world_load \"levels/My World\""};
    QTest::newRow("shell characters") << QStringList{"$HOME", "`touch pwned`", "a;touch pwned", "it's", "*", ""};
}

void TestLauncherSources::the_script_passes_exactly_its_arguments_to_the_executable()
{
    QFETCH(QStringList, args);
    Installation inst;
    // The executable prints each argument on its own line.
    QVERIFY(inst.write("build/bin/show_args", "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]\\n' \"$a\"; done\n"));
    QVERIFY(QFile::setPermissions(inst.root() + "build/bin/show_args",
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    PostProcessingHandler queue;
    fp::CopyItems items;
    ScriptLauncherFilesSource source(System::Linux, commandLine(args), "game", "bin/", "");
    source.setExecutablePath("bin/show_args");
    QVERIFY(runSource(source, queue, items));
    QCOMPARE(items.first().relative_dest, QStringLiteral("game.sh"));
    const QString script = inst.root() + "build/game.sh";
    QVERIFY(QFile::copy(items.first().source_path, script));
    QVERIFY(QFileInfo(script).isExecutable());
    queue.runOperations();

    QProcess process;
    process.setWorkingDirectory(inst.root());
    process.start(script, QStringList());
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), 0);
    QStringList expected;
    for (const QString &argument : args)
        expected << "[" + argument + "]";
    QCOMPARE(QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts), expected);
    QVERIFY(!QFileInfo::exists(inst.root() + "pwned") && !QFileInfo::exists(inst.root() + "build/pwned"));
}

void TestLauncherSources::a_project_name_that_is_not_one_file_name_is_refused_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("subfolder") << "a/b";
    QTest::newRow("parent") << "..";
    QTest::newRow("escape") << "../x";
    QTest::newRow("empty") << "";
}

void TestLauncherSources::a_project_name_that_is_not_one_file_name_is_refused()
{
    QFETCH(QString, name);
    Installation inst;
    inst.write("bin/ApplicationLauncher_x64");
    MessageCapture capture;
    PostProcessingHandler queue;
    fp::CopyItems items;
    ScriptLauncherFilesSource script(System::Linux, CommandLine(), name, "bin/", "");
    script.setExecutablePath("bin/game");
    QVERIFY(!runSource(script, queue, items));
    BinaryLauncherFilesSource launcher(CommandLine(), System::Linux, name, BuildConfiguration::Release, Binary::Release,
                                       SDKEdition::Unknown, true, QString(), inst.binPath(), "");
    QVERIFY(!runSource(launcher, queue, items));
    QVERIFY(items.isEmpty());
    QCOMPARE(capture.count(QtCriticalMsg, "can't be used as a file name in the build folder"), 2);
    queue.runOperations();
}

namespace {

void writeLauncherInstallation(Installation &inst, const QString &launcher)
{
    inst.write("bin/" + launcher);
    for (const char *lib : {"libQt5Core.so.5", "libQt5Gui.so.5", "libQt5Widgets.so.5", "libQt5XcbQpa.so.5",
                            "libQt5DBus.so.5", "libpng12.so.0"})
        inst.write(QStringLiteral("bin/") + lib);
    inst.write("bin/platforms/libqxcb.so");
}

} // namespace

void TestLauncherSources::the_launcher_program_carries_its_settings_and_libraries()
{
    Installation inst;
    writeLauncherInstallation(inst, "ApplicationLauncher_x64");
    MessageCapture capture;
    PostProcessingHandler queue;
    fp::CopyItems items;
    BinaryLauncherFilesSource source(commandLine({"-video_app", "auto"}), System::Linux, "MyGame",
                                     BuildConfiguration::Release, Binary::Release, SDKEdition::Unknown, true,
                                     "data/banner.png", inst.binPath(), "");
    source.setExecutablePaths(QString(), QString(), "bin/MyGame_x64");
    QVERIFY(runSource(source, queue, items));

    QStringList destinations;
    for (const fp::CopyItem &item : items)
        destinations << item.relative_dest;
    QCOMPARE(destinations,
             (QStringList{"MyGame", "MyGame.lconfig", "libQt5Core.so.5", "libQt5Gui.so.5", "libQt5Widgets.so.5",
                          "libQt5XcbQpa.so.5", "libQt5DBus.so.5", "platforms/libqxcb.so", "libpng12.so.0"}));
    QCOMPARE(items.first().source_path, inst.binPath() + "ApplicationLauncher_x64");
    QCOMPARE(capture.count(QtInfoMsg, "Build Tool: This directory ( \"" + inst.binPath() + "styles\" ) doesn't exist."),
             1);

    const QString settings_file = destinationOf(items, ".lconfig");
    QCOMPARE(QFile::permissions(settings_file) & (QFile::ReadOther | QFile::ReadGroup),
             QFile::ReadOther | QFile::ReadGroup);
    const QJsonObject main
            = QJsonDocument::fromJson(Installation::read(settings_file)).object().value("main").toObject();
    QCOMPARE(main.value("name").toString(), QStringLiteral("MyGame"));
    QCOMPARE(main.value("binary").toString(), QStringLiteral("Release"));
    QCOMPARE(main.value("paths").toObject(),
             (QJsonObject{{"release", "bin/MyGame_x64"}, {"banner", "data/banner.png"}}));
    queue.runOperations();
    QVERIFY(!QFileInfo::exists(settings_file));
}

void TestLauncherSources::a_debug_only_build_takes_the_debug_launcher()
{
    Installation inst;
    writeLauncherInstallation(inst, "ApplicationLauncher_x64d");
    PostProcessingHandler queue;
    fp::CopyItems items;
    BinaryLauncherFilesSource source(CommandLine(), System::Linux, "MyGame", BuildConfiguration::Development,
                                     Binary::Debug, SDKEdition::Unknown, false, QString(), inst.binPath(), "");
    source.setExecutablePaths("bin/MyGame_x64d", QString(), QString());
    QVERIFY(runSource(source, queue, items));
    QCOMPARE(items.first().source_path, inst.binPath() + "ApplicationLauncher_x64d");
    QCOMPARE(items.first().relative_dest, QStringLiteral("MyGame"));
    queue.runOperations();
}

void TestLauncherSources::each_required_launcher_library_fails_the_build_when_missing_data()
{
    QTest::addColumn<QString>("missing");
    QTest::addColumn<QString>("message");
    QTest::newRow("launcher") << "ApplicationLauncher_x64"
                              << "The important file";
    for (const char *lib : {"libQt5Core.so.5", "libQt5XcbQpa.so.5", "libQt5DBus.so.5", "libpng12.so.0"})
        QTest::newRow(lib) << QString::fromLatin1(lib) << "This file";
}

void TestLauncherSources::each_required_launcher_library_fails_the_build_when_missing()
{
    QFETCH(QString, missing);
    QFETCH(QString, message);
    Installation inst;
    writeLauncherInstallation(inst, "ApplicationLauncher_x64");
    QVERIFY(QFile::remove(inst.binPath() + missing));
    MessageCapture capture;
    PostProcessingHandler queue;
    fp::CopyItems items;
    BinaryLauncherFilesSource source(CommandLine(), System::Linux, "MyGame", BuildConfiguration::Release,
                                     Binary::Release, SDKEdition::Unknown, true, QString(), inst.binPath(), "");
    source.setExecutablePaths(QString(), QString(), "bin/MyGame_x64");
    QVERIFY(!runSource(source, queue, items));
    QCOMPARE(capture.count(QtCriticalMsg,
                           "Build Tool: " + message + " ( \"" + inst.binPath() + missing + "\" ) doesn't exist."),
             1);
    queue.runOperations();
}

void TestLauncherSources::windows_launcher_files_follow_windows_names()
{
    Installation inst;
    for (const char *file : {"ApplicationLauncher_x64.exe", "x64/msvcp140.dll", "vcruntime140.dll", "Qt5Core.dll",
                             "Qt5Gui.dll", "Qt5Widgets.dll"})
        inst.write(QStringLiteral("bin/") + file);
    PostProcessingHandler queue;
    fp::CopyItems items;
    BinaryLauncherFilesSource source(CommandLine(), System::Windows, "MyGame", BuildConfiguration::Release,
                                     Binary::Release, SDKEdition::Unknown, true, QString(), inst.binPath(), "");
    source.setExecutablePaths(QString(), QString(), "bin/MyGame_x64.exe");
    QVERIFY(runSource(source, queue, items));
    QStringList destinations;
    for (const fp::CopyItem &item : items)
        destinations << item.relative_dest;
    QCOMPARE(destinations,
             (QStringList{"MyGame.exe", "MyGame.exe.lconfig", "msvcp140.dll", "vcruntime140.dll", "Qt5Core.dll",
                          "Qt5Gui.dll", "Qt5Widgets.dll"}));
    QCOMPARE(items.at(2).source_path, inst.binPath() + "x64/msvcp140.dll");
    queue.runOperations();
}

QTEST_GUILESS_MAIN(TestLauncherSources)
#include "tst_launcher_sources.moc"
