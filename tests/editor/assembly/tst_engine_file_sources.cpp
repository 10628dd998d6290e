// The engine's files of a build: library, runtime libraries, caches, "core"
// and "scripts", configuration, plug-ins and sound, on a temporary
// installation. Windows names are checked with dummy files.

#include "assembly_test_support.h"

#include "editor/assembly/core/impl/file_processing/cfg_file_source.h"
#include "editor/assembly/core/impl/file_processing/engine_files_source.h"
#include "editor/assembly/core/impl/file_processing/extra_engine_files_source.h"
#include "editor/assembly/core/impl/file_processing/plugin_files_source.h"
#include "editor/assembly/core/impl/file_processing/sound_files_source.h"
#include "editor/assembly/core/post_processing_handler.h"

#include <QtTest>

using namespace assembly;
using assemblytest::Installation;
using assemblytest::MessageCapture;

namespace {

// Runs a source once; returns the destinations it listed, or "failed".
QStringList run(fp::Source &source, fp::CopyItems *items_out = nullptr)
{
    PostProcessingHandler queue;
    fp::CopyItems items;
    QList<QPair<int, int>> reports;
    const bool ok = source.process(
            [&](int max, int value) {
                return reports.append({max, value}), true;
            },
            queue, items);
    queue.runOperations();
    if (items_out)
        *items_out = items;
    if (!ok)
        return {QStringLiteral("failed")};
    if (reports != QList<QPair<int, int>>{{source.getMaxProgress(), source.getMaxProgress()}})
        return {QStringLiteral("bad progress")};
    QStringList destinations;
    for (const fp::CopyItem &item : items)
        destinations << item.relative_dest;
    return destinations;
}

} // namespace

class TestEngineFileSources : public QObject
{
    Q_OBJECT

private slots:
    void extra_files_follow_video_api_binary_kind_and_packages_data();
    void extra_files_follow_video_api_binary_kind_and_packages();
    void windows_runtime_libraries_are_found_beside_or_under_x64();
    void a_missing_windows_runtime_library_fails_with_its_path();
    void the_engine_library_is_named_by_its_traits_data();
    void the_engine_library_is_named_by_its_traits();
    void a_missing_engine_library_fails_the_build();
    void openal_is_required_and_may_come_from_x64();
    void missing_plugins_and_configuration_only_warn();
};

void TestEngineFileSources::extra_files_follow_video_api_binary_kind_and_packages_data()
{
    QTest::addColumn<VideoAPI>("vapi");
    QTest::addColumn<Binary>("binary");
    QTest::addColumn<bool>("core_package");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("dx_warnings");

    const QStringList common_tail{"data/velmora.cache", "data/editor.cache"};
    const QStringList textures{"data/.cache_textures/a.tex", "data/.cache_textures/sub/b.tex"};
    const QStringList core_folder{"data/core/base.mat", "data/core/textures/white.png"};
    const QStringList scripts_package{"data/scripts.pkq"};

    QTest::newRow("auto gives the GL cache only on Linux")
            << VideoAPI::Auto << Binary::Development << false
            << textures + core_folder + scripts_package + QStringList{"data/shader_gl.cache"} + common_tail << 0;
    QTest::newRow("DX11 gives no cache and one warning") << VideoAPI::DX11 << Binary::Development << false
                                                         << textures + core_folder + scripts_package + common_tail << 1;
    QTest::newRow("debug takes the debug cache")
            << VideoAPI::OpenGL << Binary::Debug << false
            << textures + core_folder + scripts_package + QStringList{"data/shader_gl_debug.cache"} + common_tail << 0;
    QTest::newRow("a core package replaces the core folder") << VideoAPI::OpenGL << Binary::Development << true
                                                             << textures + QStringList{"data/core.pkq"}
                    + scripts_package + QStringList{"data/shader_gl.cache"} + common_tail
                                                             << 0;
}

void TestEngineFileSources::extra_files_follow_video_api_binary_kind_and_packages()
{
    QFETCH(VideoAPI, vapi);
    QFETCH(Binary, binary);
    QFETCH(bool, core_package);
    QFETCH(QStringList, expected);
    QFETCH(int, dx_warnings);

    Installation inst;
    inst.write("data/.cache_textures/a.tex");
    inst.write("data/.cache_textures/sub/b.tex");
    inst.write("data/core/base.mat");
    inst.write("data/core/textures/white.png");
    if (core_package)
        inst.write("data/core.pkq");
    inst.write("data/scripts.pkq");
    inst.write("data/scripts/not_copied.usc");
    inst.write("cache/shader_gl.cache");
    inst.write("cache/shader_gl_debug.cache");
    inst.write("cache/shader_d3d11.cache");
    inst.write("cache/engine-cache.json");
    inst.write("cache/editor-cache.json");

    MessageCapture capture;
    ExtraEngineFilesSource source(inst.binPath(), inst.dataPath(), inst.cachePath(),
                                  inst.cachePath() + "engine-cache.json", inst.cachePath() + "editor-cache.json",
                                  "bin/", "data/", System::Linux, binary, vapi);
    QCOMPARE(run(source), expected);
    QCOMPARE(capture.count(QtWarningMsg, "Video API (Direct X) is not available for Linux."), dx_warnings);
    QCOMPARE(capture.count(QtInfoMsg, "core.pkq\" ) doesn't exist."), core_package ? 0 : 1);
}

void TestEngineFileSources::windows_runtime_libraries_are_found_beside_or_under_x64()
{
    Installation inst;
    inst.write("bin/msvcp140.dll");
    inst.write("bin/x64/vcruntime140.dll");
    inst.write("bin/d3dcompiler_47.dll");
    inst.write("cache/shader_d3d11.cache");
    inst.write("cache/shader_gl.cache");
    ExtraEngineFilesSource source(inst.binPath(), inst.dataPath(), inst.cachePath(), QString(), QString(), "bin/",
                                  "data/", System::Windows, Binary::Development, VideoAPI::Auto);
    fp::CopyItems items;
    QCOMPARE(run(source, &items).mid(0, 3),
             (QStringList{"bin/msvcp140.dll", "bin/vcruntime140.dll", "bin/d3dcompiler_47.dll"}));
    QCOMPARE(items.at(1).source_path, inst.binPath() + "x64/vcruntime140.dll");
    QCOMPARE(run(source).mid(3), (QStringList{"data/shader_d3d11.cache", "data/shader_gl.cache"}));
}

void TestEngineFileSources::a_missing_windows_runtime_library_fails_with_its_path()
{
    Installation inst;
    inst.write("bin/msvcp140.dll");
    MessageCapture capture;
    ExtraEngineFilesSource source(inst.binPath(), inst.dataPath(), inst.cachePath(), QString(), QString(), "bin/",
                                  "data/", System::Windows, Binary::Debug, VideoAPI::Auto);
    QCOMPARE(run(source), QStringList{"failed"});
    QCOMPARE(capture.count(QtCriticalMsg,
                           "Build Tool: This file ( \"" + inst.binPath() + "x64/vcruntime140.dll\" ) doesn't exist."),
             1);
}

void TestEngineFileSources::the_engine_library_is_named_by_its_traits_data()
{
    QTest::addColumn<System>("system");
    QTest::addColumn<Precision>("precision");
    QTest::addColumn<Binary>("binary");
    QTest::addColumn<QString>("name");
    QTest::newRow("linux release") << System::Linux << Precision::Float << Binary::Development << "libVelmora_x64.so";
    QTest::newRow("linux debug") << System::Linux << Precision::Float << Binary::Debug << "libVelmora_x64d.so";
    QTest::newRow("windows double") << System::Windows << Precision::Double << Binary::Development
                                    << "Velmora_double_x64.dll";
    QTest::newRow("windows debug") << System::Windows << Precision::Float << Binary::Debug << "Velmora_x64d.dll";
}

void TestEngineFileSources::the_engine_library_is_named_by_its_traits()
{
    QFETCH(System, system);
    QFETCH(Precision, precision);
    QFETCH(Binary, binary);
    QFETCH(QString, name);
    Installation inst;
    inst.write("bin/" + name);
    EngineFilesSource source(inst.binPath(), "bin/", system, precision, binary);
    fp::CopyItems items;
    QCOMPARE(run(source, &items), QStringList{"bin/" + name});
    QCOMPARE(items.first().source_path, inst.binPath() + name);
}

void TestEngineFileSources::a_missing_engine_library_fails_the_build()
{
    Installation inst;
    MessageCapture capture;
    EngineFilesSource source(inst.binPath(), "bin/", System::Linux, Precision::Float, Binary::Debug);
    QCOMPARE(run(source), QStringList{"failed"});
    QCOMPARE(capture.count(QtCriticalMsg,
                           "Build Tool: necessary file not found ( \"" + inst.binPath() + "libVelmora_x64d.so\" )."),
             1);
}

void TestEngineFileSources::openal_is_required_and_may_come_from_x64()
{
    Installation inst;
    SoundFilesSource linux_source(inst.binPath(), "bin/", System::Linux);
    MessageCapture capture;
    QCOMPARE(run(linux_source), QStringList{"failed"});
    QCOMPARE(capture.count(QtCriticalMsg, "Build Tool: file not found( \"" + inst.binPath() + "x64/libopenal.so\" )."),
             1);

    inst.write("bin/x64/libopenal.so");
    fp::CopyItems items;
    QCOMPARE(run(linux_source, &items), QStringList{"bin/libopenal.so"});
    QCOMPARE(items.first().source_path, inst.binPath() + "x64/libopenal.so");

    inst.write("bin/openal32.dll");
    SoundFilesSource windows_source(inst.binPath(), "bin/", System::Windows);
    QCOMPARE(run(windows_source), QStringList{"bin/openal32.dll"});
}

void TestEngineFileSources::missing_plugins_and_configuration_only_warn()
{
    Installation inst;
    inst.write("bin/libFoo_x64.so");
    inst.write("bin/libBar_x64d.so");
    MessageCapture capture;
    PluginFilesSource release(inst.binPath(), "bin/", {"Foo", "Bar"}, System::Linux, Precision::Float,
                              Binary::Development);
    QCOMPARE(run(release), QStringList{"bin/libFoo_x64.so"});
    QCOMPARE(capture.count(QtWarningMsg,
                           "Build Tool: plugin file not found ( \"" + inst.binPath() + "libBar_x64.so\" )."),
             1);
    PluginFilesSource debug(inst.binPath(), "bin/", {"Foo", "Bar"}, System::Linux, Precision::Float, Binary::Debug);
    QCOMPARE(run(debug), QStringList{"bin/libBar_x64d.so"});

    CfgFileSource cfg(inst.binPath(), "bin/");
    QCOMPARE(run(cfg), QStringList());
    QCOMPARE(capture.count(QtWarningMsg, "Build Tool: file not found ( \"" + inst.binPath() + "velmora.cfg\" )."), 1);
    inst.write("bin/velmora.cfg");
    QCOMPARE(run(cfg), QStringList{"bin/velmora.cfg"});
}

QTEST_GUILESS_MAIN(TestEngineFileSources)
#include "tst_engine_file_sources.moc"
