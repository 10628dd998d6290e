// Engine folders, the SDK check and the project file reader, on temporary
// installations.

#include "assembly_test_support.h"

#include "editor/assembly/core/engine_info.h"
#include "editor/assembly/core/path_utils.h"
#include "editor/assembly/core/project_options.h"

#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

using namespace assembly;
using assemblytest::Installation;

namespace {

QByteArray projectFile(const QByteArray &sdk, const QByteArray &settings)
{
    return "{\"sdk\": " + sdk + ", \"project_settings\": " + settings + "}";
}

} // namespace

class TestProjectPaths : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void sdk_folders_are_checked_for_the_libraries_a_build_copies_data();
    void sdk_folders_are_checked_for_the_libraries_a_build_copies();
    void the_first_usable_project_file_by_name_is_chosen_data();
    void the_first_usable_project_file_by_name_is_chosen();
    void project_settings_are_converted_data();
    void project_settings_are_converted();
    void edition_names_are_matched_exactly();
    void engine_folders_are_absolute_and_end_with_a_slash();
    void the_project_file_is_found_above_the_binaries_folder();
};

void TestProjectPaths::cleanup()
{
    Installation::stop();
}

void TestProjectPaths::sdk_folders_are_checked_for_the_libraries_a_build_copies_data()
{
    QTest::addColumn<SDKEdition>("edition");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<bool>("expected");

    const QStringList float_libraries{"bin/libVelmora_x64.so", "bin/libVelmora_x64d.so",
                                      "bin/development/libVelmora_x64.so"};
    const QStringList double_libraries{"bin/libVelmora_double_x64.so", "bin/libVelmora_double_x64d.so",
                                       "bin/development/libVelmora_double_x64.so"};
    QTest::newRow("edition 1, float libraries") << SDKEdition::Edition1 << float_libraries << true;
    QTest::newRow("unknown edition, float libraries") << SDKEdition::Unknown << float_libraries << true;
    QTest::newRow("edition 4, float libraries only") << SDKEdition::Edition4 << float_libraries << false;
    QTest::newRow("edition 4, all libraries") << SDKEdition::Edition4 << (float_libraries + double_libraries) << true;
    QStringList without_double_dev = float_libraries + double_libraries;
    without_double_dev.removeAll("bin/development/libVelmora_double_x64.so");
    QTest::newRow("edition 4 without the double development library")
            << SDKEdition::Edition4 << without_double_dev << false;
    QTest::newRow("no development folder")
            << SDKEdition::Edition1 << QStringList{"bin/libVelmora_x64.so", "bin/libVelmora_x64d.so"} << false;
    QTest::newRow("windows libraries on linux")
            << SDKEdition::Edition1
            << QStringList{"bin/Velmora_x64.dll", "bin/Velmora_x64d.dll", "bin/development/Velmora_x64.dll"} << false;
}

void TestProjectPaths::sdk_folders_are_checked_for_the_libraries_a_build_copies()
{
    QFETCH(SDKEdition, edition);
    QFETCH(QStringList, files);
    QFETCH(bool, expected);
    QTemporaryDir sdk;
    for (const QString &file : files)
        QVERIFY(Installation::writeFile(sdk.path() + QLatin1Char('/') + file));
    QCOMPARE(hasDevelopmentBinaries(sdk.path(), edition), expected);
    QCOMPARE(hasDevelopmentBinaries(sdk.path() + QLatin1Char('/'), edition), expected);
}

void TestProjectPaths::the_first_usable_project_file_by_name_is_chosen_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QList<QByteArray>>("contents");
    QTest::addColumn<QString>("chosen"); // project name of the chosen file, "" for none

    const QByteArray usable_a = projectFile("{\"path\": \"\"}", "{\"name\": \"a\"}");
    const QByteArray usable_b = projectFile("{\"path\": \"/sdk\"}", "{\"name\": \"b\"}");
    const QByteArray empty_sdk = projectFile("{}", "{\"name\": \"empty\"}");
    const QByteArray sdk_not_object = projectFile("\"text\"", "{\"name\": \"text\"}");
    QTest::newRow("only the second has an sdk")
            << QStringList{"a.project", "b.project"} << QList<QByteArray>{empty_sdk, usable_b} << "b";
    QTest::newRow("an unparsable file is skipped")
            << QStringList{"a.project", "b.project"} << QList<QByteArray>{"{\"sdk\": {\"pa", usable_b} << "b";
    QTest::newRow("two usable files: by name")
            << QStringList{"z.project", "m.project"} << QList<QByteArray>{usable_a, usable_b} << "b";
    QTest::newRow("sdk that is not an object") << QStringList{"a.project"} << QList<QByteArray>{sdk_not_object} << "";
    QTest::newRow("other extensions are ignored")
            << QStringList{"a.project.bak", "a.projects"} << QList<QByteArray>{usable_a, usable_b} << "";
    QTest::newRow("no file") << QStringList{} << QList<QByteArray>{} << "";
}

void TestProjectPaths::the_first_usable_project_file_by_name_is_chosen()
{
    QFETCH(QStringList, names);
    QFETCH(QList<QByteArray>, contents);
    QFETCH(QString, chosen);
    QTemporaryDir folder;
    for (int i = 0; i < names.size(); ++i)
        QVERIFY(Installation::writeFile(folder.path() + QLatin1Char('/') + names.at(i), contents.at(i)));
    const QJsonDocument document = ProjectOptions::findProjectFile(folder.path());
    if (chosen.isEmpty()) {
        QVERIFY(document.isNull());
        QVERIFY(!ProjectOptions::loadFrom(folder.path()));
    } else {
        QCOMPARE(document.object().value("project_settings").toObject().value("name").toString(), chosen);
        const auto options = ProjectOptions::loadFrom(folder.path());
        QVERIFY(options);
        QCOMPARE(options->name, chosen);
    }
}

void TestProjectPaths::project_settings_are_converted_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("sdk_path");
    QTest::addColumn<SDKEdition>("edition");
    QTest::addColumn<BuildConfiguration>("config");
    QTest::addColumn<Precision>("precision");
    QTest::addColumn<QStringList>("plugins");
    QTest::addColumn<QString>("world");
    QTest::addColumn<bool>("components");

    QTest::newRow("everything set") << projectFile("{\"path\": \"/opt/sdk\", \"edition\": \"edition4\"}",
                                                   "{\"engine_binaries\": \"development\", \"precision\": 1, "
                                                   "\"plugins\": [\"Zeta\", \"Alpha\"], \"default_world\": "
                                                   "\"worlds/main\", \"component_system\": 2}")
                                    << "/opt/sdk" << SDKEdition::Edition4 << BuildConfiguration::Development
                                    << Precision::Double << QStringList{"Zeta", "Alpha"} << "worlds/main" << true;
    QTest::newRow("members missing") << projectFile("{\"path\": \"\"}", "{}") << "" << SDKEdition::Unknown
                                     << BuildConfiguration::Release << Precision::Float << QStringList{} << "" << false;
    QTest::newRow("precision 0 is float")
            << projectFile("{\"edition\": \"edition1\"}", "{\"precision\": 0, \"engine_binaries\": \"release\"}") << ""
            << SDKEdition::Edition1 << BuildConfiguration::Release << Precision::Float << QStringList{} << "" << false;
    QTest::newRow("unknown engine binaries read as release")
            << projectFile("{\"edition\": \"Edition2\"}", "{\"engine_binaries\": \"Debug\"}") << ""
            << SDKEdition::Unknown << BuildConfiguration::Release << Precision::Float << QStringList{} << "" << false;
    QTest::newRow("engine binaries of the wrong type")
            << projectFile("{\"path\": 7}", "{\"engine_binaries\": [1], \"plugins\": \"x\"}") << ""
            << SDKEdition::Unknown << BuildConfiguration::Release << Precision::Float << QStringList{} << "" << false;
}

void TestProjectPaths::project_settings_are_converted()
{
    QFETCH(QByteArray, content);
    QTemporaryDir folder;
    QVERIFY(Installation::writeFile(folder.path() + QStringLiteral("/p.project"), content));
    const auto options = ProjectOptions::loadFrom(folder.path());
    QVERIFY(options);
    QTEST(options->sdk_path, "sdk_path");
    QTEST(options->edition, "edition");
    QTEST(options->config, "config");
    QTEST(options->precision, "precision");
    QTEST(options->plugins, "plugins");
    QTEST(options->default_world, "world");
    QTEST(options->component_system, "components");
}

void TestProjectPaths::edition_names_are_matched_exactly()
{
    QCOMPARE(ProjectOptions::editionFromString("edition1"), SDKEdition::Edition1);
    QCOMPARE(ProjectOptions::editionFromString("edition6"), SDKEdition::Edition6);
    for (const char *name : {"Edition3", "edition7", "unknown", ""})
        QCOMPARE(ProjectOptions::editionFromString(name), SDKEdition::Unknown);
}

void TestProjectPaths::engine_folders_are_absolute_and_end_with_a_slash()
{
    QCOMPARE(getExeDir(), QString());
    Installation installation;
    QVERIFY(installation.start({"-build_config", "1"}));
    QCOMPARE(EngineInfo::getBinary(), Binary::Development);
    QCOMPARE(getExeDir(), installation.binPath());
    QCOMPARE(getDataDir(), installation.dataPath());
    QCOMPARE(getCacheDir(), installation.cachePath());
    QCOMPARE(getSystemCacheFilePath(), installation.cachePath() + QStringLiteral("velmora.cache"));
    QCOMPARE(getEditorCacheFilePath(), installation.cachePath() + QStringLiteral("editor.cache"));
}

void TestProjectPaths::the_project_file_is_found_above_the_binaries_folder()
{
    Installation installation;
    QVERIFY(installation.write(QStringLiteral("demo.project"),
                               projectFile("{\"path\": \"\"}", "{\"name\": \"demo\", \"plugins\": [\"Net\"]}")));
    // A project file inside the binaries folder is not the project's.
    QVERIFY(installation.write(QStringLiteral("bin/wrong.project"),
                               projectFile("{\"path\": \"\"}", "{\"name\": \"wrong\"}")));
    QVERIFY(!ProjectOptions::load());
    QVERIFY(installation.start());
    const auto options = ProjectOptions::load();
    QVERIFY(options);
    QCOMPARE(options->name, QStringLiteral("demo"));
    QCOMPARE(options->plugins, QStringList{"Net"});
}

QTEST_GUILESS_MAIN(TestProjectPaths)
#include "tst_project_paths.moc"
