// The command line and launcher parameters a build gives its launcher.

#include "assembly_test_support.h"

#include "editor/assembly/executor/build_paths.h"
#include "editor/assembly/executor/executor_builder.h"
#include "editor/assembly/executor/options.h"

#include <velmora/FileSystem.h>

#include <QtTest>

using namespace assembly;
using assemblytest::Installation;

namespace {

const char *WORLD_GUID = "aaaaa00000000000000000000000000000000101";
const char *BANNER_GUID = "ccccc00000000000000000000000000000000301";
const char *UNKNOWN_GUID = "ddddd00000000000000000000000000000000401";

QByteArray meta(const char *guid, int type)
{
    return QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<asset version=\"1\" guid=\"") + guid + "\" type=\""
            + QByteArray::number(type) + "\"/>\n";
}

// "label=value" per parameter, and the items of one of them as
// "text:arg,arg".
QStringList describe(const LauncherParameters &params)
{
    QStringList result;
    for (const LauncherParameter &p : params) {
        const bool is_check = p.type == LauncherParameterType::Check;
        result << QStringLiteral("%1=%2")
                          .arg(is_check ? p.check.label : p.choice.label)
                          .arg(is_check ? p.check.value : p.choice.value);
    }
    return result;
}

QStringList items(const LauncherParameters &params, const QString &label)
{
    QStringList result;
    for (const LauncherParameter &p : params) {
        for (const ChoiceItem &item : p.choice.items)
            result << item.text + ':' + item.arguments.join(',');
        if (p.choice.label == label)
            return result;
        result.clear();
    }
    return result;
}

Options releaseOptions()
{
    Options options;
    options.setConfig(BuildConfiguration::Release);
    return options;
}

} // namespace

class TestLauncherCommand : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase() { Installation::stop(); }

    void a_plain_release_build_gets_the_fixed_arguments_and_two_parameters();
    void the_start_world_is_loaded_by_its_path_without_extension_data();
    void the_start_world_is_loaded_by_its_path_without_extension();
    void user_arguments_and_the_data_path_follow_the_fixed_arguments();
    void parameters_follow_the_user_parameters_in_fixed_order();
    void a_stored_resolution_index_past_the_list_starts_at_the_first_data();
    void a_stored_resolution_index_past_the_list_starts_at_the_first();
    void the_banner_lands_under_the_build_data_folder();
    void a_script_launcher_passes_the_chosen_arguments();

private:
    Installation installation_;
};

void TestLauncherCommand::initTestCase()
{
    QVERIFY(installation_.write("data/levels/My World.world", "<world version=\"1\"/>\n"));
    QVERIFY(installation_.write("data/levels/My World.world.meta", meta(WORLD_GUID, 18)));
    QVERIFY(installation_.write("data/textures/banner.png", "png"));
    QVERIFY(installation_.write("data/textures/banner.png.meta", meta(BANNER_GUID, 6)));
    QVERIFY(installation_.write("data/plain/noext", "x"));
    QVERIFY(installation_.start());
}

void TestLauncherCommand::a_plain_release_build_gets_the_fixed_arguments_and_two_parameters()
{
    Options options = releaseOptions();
    options.setVideoAPI(VideoAPI::OpenGL);
    options.setSelectedRes(3);
    const CommandLine command = ExecutorBuilder::launcherCommand(options, BuildPaths());
    QCOMPARE(command.args, (QStringList{"-video_app", "opengl", "-sound_app", "auto", "-data_path", "../data/"}));
    QCOMPARE(describe(command.params), (QStringList{"Resolution=3", "Fullscreen=0"}));
    QCOMPARE(command.params.last().check.off_args, (QStringList{"-video_fullscreen", "0"}));
    QCOMPARE(command.params.last().check.on_args, (QStringList{"-video_fullscreen", "1"}));

    options.setVideoAPI(VideoAPI::DX11);
    QCOMPARE(ExecutorBuilder::launcherCommand(options, BuildPaths()).args.at(1), QStringLiteral("direct3d11"));
    options.setVideoAPI(VideoAPI::Auto);
    QCOMPARE(ExecutorBuilder::launcherCommand(options, BuildPaths()).args.at(1), QStringLiteral("auto"));
}

void TestLauncherCommand::the_start_world_is_loaded_by_its_path_without_extension_data()
{
    QTest::addColumn<QString>("guid"); // GUID text, "path:" + a data path, "virtual" for a GUID path
    QTest::addColumn<QString>("command");
    QTest::newRow("a world asset") << WORLD_GUID << "world_load \"levels/My World\"";
    QTest::newRow("a file without extension") << "path:plain/noext"
                                              << "world_load \"plain/noext\"";
    QTest::newRow("no world") << ""
                              << "";
    QTest::newRow("a world that is gone") << UNKNOWN_GUID << "";
    QTest::newRow("a guid path only") << "virtual"
                                      << "";
}

void TestLauncherCommand::the_start_world_is_loaded_by_its_path_without_extension()
{
    QFETCH(QString, guid);
    QFETCH(QString, command);
    Velmora::UGUID world(guid.toLatin1().constData());
    if (guid == "virtual") {
        world = Velmora::UGUID("eeeee00000000000000000000000000000000501");
        QVERIFY(Velmora::FileSystem::registerVirtualFile(world));
    } else if (guid.startsWith("path:")) {
        world = Velmora::FileSystem::getGUID(guid.mid(5).toUtf8().constData());
    }
    QCOMPARE(ExecutorBuilder::worldLoadCommand(world), command);
    const QStringList args = ExecutorBuilder::launcherCommandLine(VideoAPI::OpenGL, world, QString(), BuildPaths());
    const QStringList expected
            = command.isEmpty() ? QStringList{"-data_path", "../data/"} : QStringList{"-console_command", command};
    QCOMPARE(args.mid(4, 2), expected);
}

void TestLauncherCommand::user_arguments_and_the_data_path_follow_the_fixed_arguments()
{
    BuildPaths paths;
    paths.output_bin_dir = "a/b/";
    const QStringList args = ExecutorBuilder::launcherCommandLine(
            VideoAPI::Auto, Velmora::UGUID(), "-a \"b c\" -console_command \"world_load x\"", paths);
    QCOMPARE(args.mid(4), (QStringList{"-data_path", "../../data/", "-a", "b c", "-console_command", "world_load x"}));
    paths.output_bin_dir = "bin/";
    paths.output_data_dir = "content/";
    QCOMPARE(ExecutorBuilder::dataPathArgument(paths), QStringLiteral("../content/"));
}

void TestLauncherCommand::parameters_follow_the_user_parameters_in_fixed_order()
{
    LauncherParameter own;
    own.type = LauncherParameterType::Check;
    own.check = CheckParameter{"Mute", {}, {"-mute"}, 5};
    Options options;
    options.setExtraParams({own});
    options.setVRModes({VRMode::Varjo, VRMode::Oculus});
    options.setResolutions({Resolution{QSize(16, 9), 1920}, Resolution{QSize(0, 9), 800}});
    options.setSelectedRes(1);
    options.setFullscreen(true);
    options.setConfig(BuildConfiguration::Development);
    options.setVideoDebug(VideoDebug::Messages);
    const LauncherParameters params = ExecutorBuilder::launcherParameters(options);
    QCOMPARE(params.first(), own);
    QCOMPARE(describe(params), (QStringList{"Mute=5", "VR Mode=1", "Resolution=1", "Fullscreen=1", "Video Debug=1"}));
    QCOMPARE(items(params, "VR Mode"),
             (QStringList{"Disabled:", "Oculus:-extern_plugin,VROculus", "Varjo:-extern_plugin,VRVarjo"}));
    QCOMPARE(items(params, "Resolution"),
             (QStringList{"1920x1080 [16:9]:-video_mode,-1,-video_width,1920,-video_height,1080",
                          "800x0 [0:9]:-video_mode,-1,-video_width,800,-video_height,0"}));
    QCOMPARE(items(params, "Video Debug"),
             (QStringList{"Disabled:-video_debug,0", "Messages:-video_debug,1", "Asserts:-video_debug,2"}));

    // Without VR modes, resolutions or a development build those are left out.
    options.setVRModes({VRMode::Disabled});
    options.setResolutions({});
    options.setConfig(BuildConfiguration::Release);
    QCOMPARE(describe(ExecutorBuilder::launcherParameters(options)), (QStringList{"Mute=5", "Fullscreen=1"}));
}

void TestLauncherCommand::a_stored_resolution_index_past_the_list_starts_at_the_first_data()
{
    QTest::addColumn<int>("selected");
    QTest::addColumn<int>("value");
    QTest::newRow("last") << 20 << 20;
    QTest::newRow("none") << -1 << -1;
    QTest::newRow("one past") << 21 << 0;
    QTest::newRow("far below") << -7 << 0;
}

void TestLauncherCommand::a_stored_resolution_index_past_the_list_starts_at_the_first()
{
    QFETCH(int, selected);
    QFETCH(int, value);
    Options options = releaseOptions();
    options.setSelectedRes(selected);
    const LauncherParameters params = ExecutorBuilder::launcherParameters(options);
    QCOMPARE(params.first().choice.value, value);
    QCOMPARE(convertToArgs(CommandLine{{}, params}).contains("-video_width"), value >= 0);
}

void TestLauncherCommand::the_banner_lands_under_the_build_data_folder()
{
    QCOMPARE(ExecutorBuilder::assetDataPath(Velmora::UGUID(BANNER_GUID), "data/"),
             QStringLiteral("data/textures/banner.png"));
    QCOMPARE(ExecutorBuilder::assetDataPath(Velmora::UGUID(), "data/"), QString());
    QCOMPARE(ExecutorBuilder::assetDataPath(Velmora::UGUID(UNKNOWN_GUID), "data/"), QString());
}

void TestLauncherCommand::a_script_launcher_passes_the_chosen_arguments()
{
    Options options = releaseOptions();
    options.setWorld(Velmora::UGUID(WORLD_GUID));
    options.setArgs("-extra");
    options.setSelectedRes(5);
    options.setFullscreen(true);
    QCOMPARE(convertToArgs(ExecutorBuilder::launcherCommand(options, BuildPaths())),
             (QStringList{"-video_mode", "-1", "-video_width", "1920", "-video_height", "1080", "-video_fullscreen",
                          "1", "-video_app", "auto", "-sound_app", "auto", "-console_command",
                          "world_load \"levels/My World\"", "-data_path", "../data/", "-extra"}));
}

QTEST_GUILESS_MAIN(TestLauncherCommand)
#include "tst_launcher_command.moc"
