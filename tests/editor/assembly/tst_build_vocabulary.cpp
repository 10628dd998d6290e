// The build tool's shared vocabulary: enumerations by key name, resolutions,
// and the path and file-name rules.

#include "editor/assembly/core/assembly_enums.h"
#include "editor/assembly/core/engine_info.h"
#include "editor/assembly/core/path_utils.h"
#include "editor/assembly/core/resolution.h"

#include "core/base/qt_enum_utility.h"

#include <QMetaEnum>
#include <QtTest>

using namespace assembly;

namespace {

// The real keys (aliases left out) that do not read back as themselves.
template<typename Enum>
QStringList keysThatDoNotRoundTrip()
{
    QStringList failures;
    const QMetaEnum me = QMetaEnum::fromType<Enum>();
    for (int i = 0; i < me.keyCount(); ++i) {
        const QByteArray key = me.key(i);
        const auto other = static_cast<Enum>(me.value(i) == 0 ? 1 : 0);
        const Enum value = QtEnumUtility::fromString<Enum>(key.constData(), other);
        if (key != "DEFAULT" && key != "SIZE"
            && (static_cast<int>(value) != me.value(i) || key != QtEnumUtility::toString(value)))
            failures << QString::fromLatin1(key);
    }
    return failures;
}

} // namespace

class TestBuildVocabulary : public QObject
{
    Q_OBJECT

private slots:
    void every_key_of_every_enumeration_reads_back_as_itself();
    void aliases_and_unknown_names_read_as_documented();
    void resolution_labels_show_the_computed_height_data();
    void resolution_labels_show_the_computed_height();
    void the_standard_resolutions_come_in_table_order();
    void library_and_executable_names_data();
    void library_and_executable_names();
    void normalized_paths_are_clean_and_end_with_a_slash_data();
    void normalized_paths_are_clean_and_end_with_a_slash();
    void bin_paths_and_engine_facts();
};

void TestBuildVocabulary::every_key_of_every_enumeration_reads_back_as_itself()
{
    const QStringList failures = keysThatDoNotRoundTrip<System>() + keysThatDoNotRoundTrip<BuildConfiguration>()
            + keysThatDoNotRoundTrip<Precision>() + keysThatDoNotRoundTrip<VideoAPI>()
            + keysThatDoNotRoundTrip<VRMode>() + keysThatDoNotRoundTrip<VideoDebug>() + keysThatDoNotRoundTrip<Binary>()
            + keysThatDoNotRoundTrip<SDKEdition>() + keysThatDoNotRoundTrip<Launcher>()
            + keysThatDoNotRoundTrip<LauncherParameterType>();
    QCOMPARE(failures, QStringList());
    QCOMPARE(QMetaEnum::fromType<SDKEdition>().keyCount(), 7);
}

void TestBuildVocabulary::aliases_and_unknown_names_read_as_documented()
{
    QCOMPARE(QtEnumUtility::toString(Launcher::DEFAULT), "BinaryFile");
    QCOMPARE(QtEnumUtility::toString(Binary::DEFAULT), "Development");
    QCOMPARE(QtEnumUtility::toString(Precision::DEFAULT), "Double");
    for (const char *name : {"release", "RELEASE", " Release", "", "2"})
        QCOMPARE(QtEnumUtility::fromString(name, Binary::DEFAULT), Binary::Development);
    QCOMPARE(QtEnumUtility::fromString(static_cast<const char *>(nullptr), Binary::Debug), Binary::Debug);
    QCOMPARE(QtEnumUtility::fromStringList<VRMode>({"OpenVR", "nope", "Varjo"}),
             (QVector<VRMode>{VRMode::OpenVR, VRMode::Disabled, VRMode::Varjo}));
    QCOMPARE(QtEnumUtility::toStringList(QVector<VRMode>{VRMode::Varjo, VRMode::Oculus}),
             (QStringList{"Varjo", "Oculus"}));
}

void TestBuildVocabulary::resolution_labels_show_the_computed_height_data()
{
    QTest::addColumn<QSize>("ratio");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("label");
    QTest::newRow("16:9") << QSize(16, 9) << 1920 << "1920x1080 [16:9]";
    QTest::newRow("16:10") << QSize(16, 10) << 1280 << "1280x800 [16:10]";
    QTest::newRow("5:4") << QSize(5, 4) << 1280 << "1280x1024 [5:4]";
    QTest::newRow("4:3 truncates") << QSize(4, 3) << 1001 << "1001x750 [4:3]";
    QTest::newRow("numerator 0") << QSize(0, 9) << 1920 << "1920x0 [0:9]";
}

void TestBuildVocabulary::resolution_labels_show_the_computed_height()
{
    QFETCH(QSize, ratio);
    QFETCH(int, width);
    QTEST(resolutionLabel(Resolution{ratio, width}), "label");
}

void TestBuildVocabulary::the_standard_resolutions_come_in_table_order()
{
    const QVector<Resolution> list = aspectRatios();
    QCOMPARE(list.size(), 21);
    QCOMPARE(list.first(), (Resolution{QSize(16, 9), 960}));
    QCOMPARE(list.at(9), (Resolution{QSize(16, 10), 1024}));
    QCOMPARE(list.at(15), (Resolution{QSize(4, 3), 800}));
    QCOMPARE(list.last(), (Resolution{QSize(5, 4), 2560}));
    registerResolutionMetaType();
    QCOMPARE(QMetaType::type("assembly::Resolution"), qMetaTypeId<Resolution>());
}

void TestBuildVocabulary::library_and_executable_names_data()
{
    QTest::addColumn<bool>("library");
    QTest::addColumn<System>("system");
    QTest::addColumn<Binary>("binary");
    QTest::addColumn<Precision>("precision");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::newRow("windows debug float library")
            << true << System::Windows << Binary::Debug << Precision::Float << "Velmora"
            << "Velmora_x64d.dll";
    QTest::newRow("linux release double library")
            << true << System::Linux << Binary::Release << Precision::Double << "Velmora"
            << "libVelmora_double_x64.so";
    QTest::newRow("windows development executable")
            << false << System::Windows << Binary::Development << Precision::Float << "demo"
            << "demo_x64.exe";
    QTest::newRow("linux debug double executable")
            << false << System::Linux << Binary::Debug << Precision::Double << "demo"
            << "demo_double_x64d";
    QTest::newRow("empty library name") << true << System::Linux << Binary::Release << Precision::Float << ""
                                        << "";
    QTest::newRow("empty executable name") << false << System::Linux << Binary::Debug << Precision::Float << ""
                                           << "";
}

void TestBuildVocabulary::library_and_executable_names()
{
    QFETCH(bool, library);
    QFETCH(System, system);
    QFETCH(Binary, binary);
    QFETCH(Precision, precision);
    QFETCH(QString, name);
    QTEST(library ? makeLibraryName(system, binary, precision, name)
                  : makeExecutableName(system, binary, precision, name),
          "expected");
}

void TestBuildVocabulary::normalized_paths_are_clean_and_end_with_a_slash_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    QTest::newRow("dots") << "/opt/sdk/./bin/.."
                          << "/opt/sdk/";
    QTest::newRow("already normal") << "/opt/sdk/"
                                    << "/opt/sdk/";
    QTest::newRow("no trailing slash") << "/opt/sdk"
                                       << "/opt/sdk/";
    QTest::newRow("double slashes") << "/opt//sdk///"
                                    << "/opt/sdk/";
    QTest::newRow("empty is unusable") << ""
                                       << "";
    QTest::newRow("backslash is unusable") << "D:\\out"
                                           << "";
}

void TestBuildVocabulary::normalized_paths_are_clean_and_end_with_a_slash()
{
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QCOMPARE(normalizePath(path), expected);
    if (!expected.isEmpty())
        QCOMPARE(normalizePath(expected), expected);
}

void TestBuildVocabulary::bin_paths_and_engine_facts()
{
    QCOMPARE(getBinPath("/opt/sdk"), QStringLiteral("/opt/sdk/bin/"));
    QCOMPARE(getDevelopmentBinPath("/opt/sdk"), QStringLiteral("/opt/sdk/bin/development/"));
    QCOMPARE(getDevelopmentBinPath(""), QString());
    QCOMPARE(getBinPath("C:\\sdk"), QString());
    QCOMPARE(getCurrentSystem(), System::Linux);
    QCOMPARE(getCurrentPrecision(), Precision::Float);
    QCOMPARE(EngineInfo::binaryFromConfiguration(0), Binary::Debug);
    QCOMPARE(EngineInfo::binaryFromConfiguration(2), Binary::Release);
    QCOMPARE(EngineInfo::binaryFromConfiguration(7), Binary::Debug);
}

QTEST_GUILESS_MAIN(TestBuildVocabulary)
#include "tst_build_vocabulary.moc"
