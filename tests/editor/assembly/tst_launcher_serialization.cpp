// Launcher parameters, their JSON form, the launcher settings file and the
// script launcher's argument list.

#include "assembly_test_support.h"

#include "editor/assembly/launcher/launcher_settings.h"
#include "editor/assembly/launcher/serialization.h"

#include <QJsonDocument>
#include <QtTest>

using namespace assembly;
using assemblytest::MessageCapture;

namespace {

LauncherParameter choice(int value, const QVector<ChoiceItem> &items, const QString &label = "C")
{
    LauncherParameter parameter;
    parameter.type = LauncherParameterType::Choice;
    parameter.choice = ChoiceParameter{label, items, value};
    return parameter;
}

LauncherParameter check(int value, const QStringList &off, const QStringList &on, const QString &label = "K")
{
    LauncherParameter parameter;
    parameter.type = LauncherParameterType::Check;
    parameter.check = CheckParameter{label, off, on, value};
    return parameter;
}

} // namespace

Q_DECLARE_METATYPE(assembly::LauncherParameters)

class TestLauncherSerialization : public QObject
{
    Q_OBJECT

private slots:
    void parameters_contribute_their_chosen_arguments_data();
    void parameters_contribute_their_chosen_arguments();
    void parameters_round_trip_through_their_json_form_data();
    void parameters_round_trip_through_their_json_form();
    void hand_written_parameters_read_without_crashing();
    void settings_are_written_with_sorted_keys_and_only_set_paths();
};

void TestLauncherSerialization::parameters_contribute_their_chosen_arguments_data()
{
    QTest::addColumn<LauncherParameters>("params");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QString>("warning");
    const QStringList off{"-f", "0"};
    const QStringList on{"-f", "1"};
    const QVector<ChoiceItem> items{ChoiceItem{"a", {"-a"}}, ChoiceItem{"b", {"-b", "2"}}};
    QTest::newRow("check on, off, neither")
            << LauncherParameters{check(1, off, on), check(0, off, on), check(-1, off, on)} << (on + off) << "";
    QTest::newRow("check in an invalid state")
            << LauncherParameters{check(2, off, on, "Full")} << QStringList{}
            << "Build Tool: convertToArgs, Check parameter has an invalid state ( \"Full\" ).";
    QTest::newRow("choice and choice of none")
            << LauncherParameters{choice(1, items), choice(-1, items)} << QStringList{"-b", "2"} << "";
    QTest::newRow("choice past the items")
            << LauncherParameters{choice(2, items, "Res")} << QStringList{}
            << "Build Tool: convertToArgs, Choice parameter has an invalid index ( \"Res\" ).";
    QTest::newRow("only empty strings add nothing, one argument keeps them all")
            << LauncherParameters{choice(0, {ChoiceItem{"x", {"", ""}}}), choice(0, {ChoiceItem{"y", {"", "-y"}}})}
            << QStringList{"", "-y"} << "";
}

void TestLauncherSerialization::parameters_contribute_their_chosen_arguments()
{
    QFETCH(LauncherParameters, params);
    QFETCH(QStringList, expected);
    QFETCH(QString, warning);
    MessageCapture capture;
    // Free arguments always come last.
    QCOMPARE(convertToArgs(CommandLine{{"-free"}, params + LauncherParameters{LauncherParameter()}}),
             expected + QStringList{"-free"});
    QCOMPARE(capture.messages(), warning.isEmpty() ? QStringList() : QStringList{warning});
}

void TestLauncherSerialization::parameters_round_trip_through_their_json_form_data()
{
    QTest::addColumn<LauncherParameters>("params");
    QTest::addColumn<QByteArray>("json");
    QTest::newRow("none") << LauncherParameters{LauncherParameter()} << QByteArray(R"([{"type":"None"}])");
    QTest::newRow("check with empty lists")
            << LauncherParameters{check(0, {}, {}, "")} << QByteArray(R"([{"label":"","type":"Check","value":0}])");
    QTest::newRow("check with lists") << LauncherParameters{check(-1, {"-a"}, {"-b"}, "L")}
                                      << QByteArray(R"([{"label":"L","off_args":["-a"],"on_args":["-b"],)"
                                                    R"("type":"Check","value":-1}])");
    QTest::newRow("choice with and without arguments")
            << LauncherParameters{choice(1, {ChoiceItem{"", {}}, ChoiceItem{"b", {"-b"}}}, "")}
            << QByteArray(R"([{"items":[{"text":""},{"arguments":["-b"],"text":"b"}],"label":"","type":"Choice",)"
                          R"("value":1}])");
}

void TestLauncherSerialization::parameters_round_trip_through_their_json_form()
{
    QFETCH(LauncherParameters, params);
    const QJsonArray written = serialization::serializeParameters(params);
    QTEST(QJsonDocument(written).toJson(QJsonDocument::Compact), "json");
    MessageCapture capture;
    QCOMPARE(serialization::deserializeParameters(written), params);
    QVERIFY2(capture.messages().isEmpty(), "a correct \"None\" is no unknown type");
}

void TestLauncherSerialization::hand_written_parameters_read_without_crashing()
{
    const QByteArray json = R"([{"type":"none"}, {}, 7,
        {"type":"Choice","items":[{}, "x", {"text":"t","arguments":"-a"}]},
        {"type":"Check","label":3,"value":"1","on_args":[1,"-x"]}])";
    MessageCapture capture;
    const LauncherParameters read = serialization::deserializeParameters(QJsonDocument::fromJson(json).array());
    QCOMPARE(read,
             (LauncherParameters{LauncherParameter(), LauncherParameter(), LauncherParameter(),
                                 choice(0, {ChoiceItem{}, ChoiceItem{}, ChoiceItem{"t", {}}}, ""),
                                 check(0, {}, {"", "-x"}, "")}));
    QCOMPARE(capture.count(QtWarningMsg, "Build Tool: deserialization, parameter has unknown type."), 3);
}

void TestLauncherSerialization::settings_are_written_with_sorted_keys_and_only_set_paths()
{
    const QByteArray initial = R"({"main":{"binary":"Development","build":"Release","cmd":{"args":[]},)"
                               R"("paths":{},"sdk_edition":"Unknown","show":true}})";
    QCOMPARE(launcher::serializeSettings(launcher::Settings()), QJsonDocument::fromJson(initial).toJson());

    launcher::Settings settings;
    settings.name = "demo";
    settings.release = "bin/demo_x64";
    settings.banner = "data/banner.png";
    settings.cmd = CommandLine{{"-video_app", "opengl"}, {check(1, {}, {"-f"}, "F")}};
    settings.binary = Binary::Release;
    settings.sdk_edition = SDKEdition::Edition5;
    settings.build = BuildConfiguration::Development;
    const QByteArray expected
            = R"({"main":{"binary":"Release","build":"Development","cmd":{"args":["-video_app","opengl"],)"
              R"("params":[{"label":"F","on_args":["-f"],"type":"Check","value":1}]},"name":"demo",)"
              R"("paths":{"banner":"data/banner.png","release":"bin/demo_x64"},"sdk_edition":"Edition5","show":true}})";
    QCOMPARE(QJsonDocument::fromJson(launcher::serializeSettings(settings)).toJson(QJsonDocument::Compact), expected);
}

QTEST_GUILESS_MAIN(TestLauncherSerialization)
#include "tst_launcher_serialization.moc"
