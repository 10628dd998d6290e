// The build options record and its file ".tamsel2/.assemblytool".

#include "assembly_test_support.h"

#include "editor/assembly/executor/options.h"
#include "editor/assembly/executor/options_file.h"

#include "core/base/qt_enum_utility.h"

#include "file_size_limit.h"
#include "log_capture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QMetaEnum>
#include <QtTest>

using namespace assembly;
using assemblytest::Installation;
using assemblytest::MessageCapture;

namespace {

const char *GUID_A = "aaaaa00000000000000000000000000000000101";

// Every stored field away from its initial value.
Options everythingSet()
{
    LauncherParameter quality;
    quality.type = LauncherParameterType::Choice;
    quality.choice = ChoiceParameter{"Quality", {ChoiceItem{"Low", {}}, ChoiceItem{"High", {"-q", "2"}}}, 1};
    LauncherParameter sound;
    sound.type = LauncherParameterType::Check;
    sound.check = CheckParameter{"Sound", {"-mute"}, {}, -1};

    Options options;
    options.setName("My Game");
    options.setPath("/tmp/out/build");
    options.setWorld(Velmora::UGUID(GUID_A));
    options.setBanner(Velmora::UGUID("bbbbb00000000000000000000000000000000202"));
    options.setRules({CopyRule{"/src/readme.txt", ""}, CopyRule{"", ""}, CopyRule{"/src/docs/*.pdf", "docs"}});
    options.setResolutions({Resolution{QSize(16, 10), 1680}, Resolution{QSize(4, 3), 800}});
    options.setSelectedRes(1);
    options.setMainRelease("/bin/game_x64");
    options.setMainDev("/bin/game_dev_x64");
    options.setMainDebug("/bin/game_x64d");
    options.setArgs("-console_command \"world_load x\"");
    options.setExtraParams({quality, sound, LauncherParameter()});
    options.setVRModes({VRMode::Varjo, VRMode::Oculus});
    options.setLauncher(Launcher::ScriptFile);
    options.setConfig(BuildConfiguration::Development);
    options.setPrecision(Precision::Double);
    options.setVideoAPI(VideoAPI::DX11);
    options.setVideoDebug(VideoDebug::Asserts);
    options.setBinary(Binary::Debug);
    options.setPrecompile(false);
    options.setFullscreen(true);
    return options;
}

// The stored fields of a record, field by field in the getters' terms.
QStringList fields(const Options &o)
{
    QStringList rules, params;
    for (const CopyRule &rule : o.getRules())
        rules << rule.from + '>' + rule.to;
    for (const LauncherParameter &p : o.getExtraParams())
        params << QString::number(int(p.type)) + p.choice.label + p.check.label;
    QStringList resolutions;
    for (const Resolution &r : o.getResolutions())
        resolutions << resolutionLabel(r);
    return {o.getName(),
            o.getPath(),
            o.getWorld().getString().get(),
            o.getBanner().getString().get(),
            rules.join('|'),
            resolutions.join('|'),
            QString::number(o.getSelectedRes()),
            o.getMainRelease(),
            o.getMainDev(),
            o.getMainDebug(),
            o.getArgs(),
            params.join('|'),
            QtEnumUtility::toStringList(o.getVRModes()).join('|'),
            QtEnumUtility::toString(o.getLauncher()),
            QtEnumUtility::toString(o.getConfig()),
            QtEnumUtility::toString(o.getPrecision()),
            QtEnumUtility::toString(o.getVideoAPI()),
            QtEnumUtility::toString(o.getVideoDebug()),
            QtEnumUtility::toString(o.getBinary()),
            QString::number(o.getPrecompile()),
            QString::number(o.getFullscreen())};
}

template<typename Enum>
void addEnumRows(const char *key)
{
    const QMetaEnum me = QMetaEnum::fromType<Enum>();
    for (int i = 0; i < me.keyCount(); ++i) {
        const QByteArray name = me.key(i);
        if (name != "DEFAULT" && name != "SIZE" && !(qstrcmp(key, "vrmodes") == 0 && name == "Disabled"))
            QTest::addRow("%s %s", key, name.constData()) << QString(key) << QString(name);
    }
}

} // namespace

class TestOptions : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { Installation::stop(); }

    void a_fresh_record_writes_only_the_keys_written_always();
    void every_stored_field_survives_a_round_trip();
    void every_enumeration_value_survives_a_round_trip_data();
    void every_enumeration_value_survives_a_round_trip();
    void hand_written_options_read_with_defaults_data();
    void hand_written_options_read_with_defaults();
    void setters_mark_the_record_modified_only_on_change();
    void an_empty_object_is_refused_with_a_warning_and_changes_nothing();
    void a_saved_file_reads_back_equal_and_creates_its_folder();
    void broken_files_give_defaults_with_a_warning_and_stay_untouched_data();
    void broken_files_give_defaults_with_a_warning_and_stay_untouched();
    void without_a_data_folder_nothing_is_written();
    void a_save_that_does_not_fit_or_names_a_link_keeps_the_old_file();
};

void TestOptions::a_fresh_record_writes_only_the_keys_written_always()
{
    const QJsonObject data = Options().serialize();
    QCOMPARE(data.keys(),
             (QStringList{"binary", "config", "fullscreen", "launcher", "precision", "precompile", "resolutions",
                          "rules", "selected_res", "vapi", "vdebug", "vrmodes"}));
    QCOMPARE(data.value("launcher"), QJsonValue("BinaryFile"));
    QCOMPARE(data.value("binary"), QJsonValue("Development"));
    QCOMPARE(data.value("precision"), QJsonValue("Float"));
    QCOMPARE(data.value("precompile"), QJsonValue(true));
    QCOMPARE(data.value("vrmodes"), QJsonValue(QJsonArray()));
    QCOMPARE(data.value("resolutions").toArray().size(), 21);
    QCOMPARE(data.value("resolutions").toArray().first().toObject(), (QJsonObject{{"d", 9}, {"n", 16}, {"w", 960}}));
}

void TestOptions::every_stored_field_survives_a_round_trip()
{
    const Options written = everythingSet();
    const QJsonObject data = written.serialize();
    QCOMPARE(data.value("rules").toArray().at(1).toObject(), (QJsonObject{{"from", ""}, {"to", ""}}));
    Options read;
    QVERIFY(read.deserialize(data));
    QCOMPARE(fields(read), fields(written));
    QVERIFY(!read.isModified());
    QCOMPARE(read.serialize(), data);
}

void TestOptions::every_enumeration_value_survives_a_round_trip_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("name");
    addEnumRows<Launcher>("launcher");
    addEnumRows<BuildConfiguration>("config");
    addEnumRows<Precision>("precision");
    addEnumRows<VideoAPI>("vapi");
    addEnumRows<VideoDebug>("vdebug");
    addEnumRows<Binary>("binary");
    addEnumRows<VRMode>("vrmodes");
}

void TestOptions::every_enumeration_value_survives_a_round_trip()
{
    QFETCH(QString, key);
    QFETCH(QString, name);
    const QJsonValue value = key == "vrmodes" ? QJsonValue(QJsonArray{name}) : QJsonValue(name);
    Options options;
    QVERIFY(options.deserialize(QJsonObject{{key, value}}));
    QCOMPARE(options.serialize().value(key), value);
}

void TestOptions::hand_written_options_read_with_defaults_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QByteArray>("expected"); // the key's value once read and written again

    QTest::newRow("missing config") << QByteArray(R"({"name":"x"})") << "config" << QByteArray(R"("Release")");
    QTest::newRow("empty resolutions") << QByteArray(R"({"resolutions":[]})") << "resolutions" << QByteArray("[]");
    QTest::newRow("resolution members missing") << QByteArray(R"({"resolutions":[{"w":5}, 3]})") << "resolutions"
                                                << QByteArray(R"([{"d":0,"n":0,"w":5},{"d":0,"n":0,"w":0}])");
    QTest::newRow("lower-case name") << QByteArray(R"({"binary":"release"})") << "binary"
                                     << QByteArray(R"("Development")");
    QTest::newRow("enumeration as number")
            << QByteArray(R"({"launcher":0})") << "launcher" << QByteArray(R"("BinaryFile")");
    QTest::newRow("unknown vr modes dropped")
            << QByteArray(R"({"vrmodes":["OpenVR","zzz","Disabled",4]})") << "vrmodes" << QByteArray(R"(["OpenVR"])");
    QTest::newRow("string as number") << QByteArray(R"({"name":5})") << "name" << QByteArray("null");
    QTest::newRow("bool as string") << QByteArray(R"({"fullscreen":"true"})") << "fullscreen" << QByteArray("false");
    QTest::newRow("number as string") << QByteArray(R"({"selected_res":"3"})") << "selected_res" << QByteArray("0");
    QTest::newRow("rules holding {} and a number") << QByteArray(R"({"rules":[{}, 5, {"from":"/a"}]})") << "rules"
                                                   << QByteArray(R"([{"from":"","to":""},{"from":"","to":""},)"
                                                                 R"({"from":"/a","to":""}])");
    QTest::newRow("extra params holding {} and a number")
            << QByteArray(R"({"extra_params":[{}, 3, {"type":"Choice","items":[{}]}]})") << "extra_params"
            << QByteArray(R"([{"type":"None"},{"type":"None"},)"
                          R"({"items":[{"text":""}],"label":"","type":"Choice","value":0}])");
    QTest::newRow("a guid that is none") << QByteArray(R"({"world":"not a guid"})") << "world" << QByteArray("null");
    QTest::newRow("unknown keys ignored")
            << QByteArray(R"({"colour":"red","name":"n"})") << "name" << QByteArray(R"("n")");
}

void TestOptions::hand_written_options_read_with_defaults()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, key);
    QFETCH(QByteArray, expected);
    Options options;
    QVERIFY(options.deserialize(QJsonDocument::fromJson(json).object()));
    const QJsonValue value = options.serialize().value(key);
    QCOMPARE(QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact), "[" + expected + "]");
    QVERIFY(!options.isModified());
}

void TestOptions::setters_mark_the_record_modified_only_on_change()
{
    Options options;
    options.setName(QString());
    options.setPrecompile(true);
    options.setResolutions(aspectRatios());
    QVERIFY2(!options.isModified(), "values equal to the current ones");
    options.setName("a");
    QVERIFY(options.isModified());
    options.resetModified();
    options.setName("a");
    QVERIFY(!options.isModified());

    options.setRules({CopyRule{"/x", "y"}});
    options.resetModified();
    options.setRules({CopyRule{"/x", "z"}});
    QVERIFY2(options.isModified(), "a rule differing in its destination only");
    options.resetModified();
    options.setVRModes({VRMode::Varjo});
    options.resetModified();
    options.setVRModes({VRMode::Varjo});
    QVERIFY(!options.isModified());
    options.setExtraParams(options.getExtraParams());
    QVERIFY2(options.isModified(), "extra parameters always mark the record");
}

void TestOptions::an_empty_object_is_refused_with_a_warning_and_changes_nothing()
{
    Options options = everythingSet();
    const QStringList before = fields(options);
    MessageCapture capture;
    QVERIFY(!options.deserialize(QJsonObject()));
    QCOMPARE(capture.messages(), QStringList{"Build Tool: Options::deserialize(): data is invalid."});
    QCOMPARE(capture.types(), QList<QtMsgType>{QtWarningMsg});
    QCOMPARE(fields(options), before);
}

void TestOptions::a_saved_file_reads_back_equal_and_creates_its_folder()
{
    Installation installation;
    QVERIFY(installation.start());
    QCOMPARE(OptionsFile::path(), installation.dataPath() + ".tamsel2/.assemblytool");
    MessageCapture capture;
    QVERIFY(OptionsFile::load().isEmpty());
    QVERIFY2(capture.messages().isEmpty(), "a missing file is no news");

    const Options written = everythingSet();
    QVERIFY(OptionsFile::save(written.serialize()));
    QCOMPARE(Installation::read(OptionsFile::path()), QJsonDocument(written.serialize()).toJson());
    Options read;
    QVERIFY(read.deserialize(OptionsFile::load()));
    QCOMPARE(fields(read), fields(written));
}

void TestOptions::broken_files_give_defaults_with_a_warning_and_stay_untouched_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("garbage") << QByteArray("\x01\x02not json");
    QTest::newRow("truncated") << QByteArray(R"({"name": "x", "rules": [{"from": "/a", "to)");
    QTest::newRow("empty object") << QByteArray("{}");
    QTest::newRow("array") << QByteArray("[]");
}

void TestOptions::broken_files_give_defaults_with_a_warning_and_stay_untouched()
{
    QFETCH(QByteArray, content);
    Installation installation;
    QVERIFY(installation.start());
    QVERIFY(Installation::writeFile(OptionsFile::path(), content));
    MessageCapture capture;
    const QJsonObject loaded = OptionsFile::load();
    QVERIFY(loaded.isEmpty());
    QCOMPARE(capture.count(QtWarningMsg, "Build Tool: the options file"), 1);
    Options options;
    options.deserialize(loaded);
    QCOMPARE(fields(options), fields(Options()));
    QCOMPARE(Installation::read(OptionsFile::path()), content);
}

void TestOptions::without_a_data_folder_nothing_is_written()
{
    QTemporaryDir working;
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(working.path()));
    QCOMPARE(OptionsFile::path(), QString());
    QVERIFY(!OptionsFile::save(Options().serialize()));
    QVERIFY(QDir(working.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
    QDir::setCurrent(previous);
}

void TestOptions::a_save_that_does_not_fit_or_names_a_link_keeps_the_old_file()
{
    Installation installation;
    QVERIFY(installation.start());
    const QByteArray old_bytes("{\"name\": \"kept\"}\n");
    QVERIFY(Installation::writeFile(OptionsFile::path(), old_bytes));
    const QString folder = QFileInfo(OptionsFile::path()).absolutePath();
    const QStringList entries = test::folderEntries(folder);
    // A failure that the caller tells is logged with its reason, not as an
    // assertion.
    auto savesNot = [] {
        test::LogCapture log;
        QString error;
        if (OptionsFile::save(everythingSet().serialize(), &error))
            return QStringLiteral("saved");
        const QString reason = error.mid(error.indexOf(QLatin1String(": ")) + 2);
        if (reason.isEmpty() || !log.text().contains(reason) || !log.text().contains(QLatin1String(".assemblytool")))
            return QStringLiteral("reason not logged: ") + error + QStringLiteral(" / ") + log.text();
        return log.text().contains(QLatin1String("SOFT ASSERT")) ? log.text() : QString();
    };
    {
        // The options still sit in a write buffer when the file is closed.
        test::FileSizeLimit limit(4);
        QVERIFY(limit.isActive());
        QCOMPARE(savesNot(), QString());
    }
    QCOMPARE(Installation::read(OptionsFile::path()), old_bytes);
    QCOMPARE(test::folderEntries(folder), entries);

    QTemporaryDir outside;
    QVERIFY(Installation::writeFile(outside.filePath("elsewhere"), old_bytes));
    QVERIFY(QFile::remove(OptionsFile::path()) && QFile::link(outside.filePath("elsewhere"), OptionsFile::path()));
    QCOMPARE(savesNot(), QString());
    QCOMPARE(Installation::read(outside.filePath("elsewhere")), old_bytes);
    QCOMPARE(test::folderEntries(folder), entries);
}

QTEST_GUILESS_MAIN(TestOptions)
#include "tst_options.moc"
