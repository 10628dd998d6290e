// The launcher's reading of "<launcher>.lconfig" and the command line it
// makes from it.

#include "launcher_config.h"

#include <QtTest>

class TestLauncherConfig : public QObject
{
    Q_OBJECT

private slots:
    void the_command_line_follows_the_chosen_parameters();
    void the_executable_follows_the_binary_data();
    void the_executable_follows_the_binary();
    void broken_files_are_refused_data();
    void broken_files_are_refused();
};

void TestLauncherConfig::the_command_line_follows_the_chosen_parameters()
{
    const QByteArray file = R"({"main": {"name": "demo", "binary": "Release", "show": true,
        "paths": {"release": "bin/demo_x64", "banner": "data/banner.png"},
        "cmd": {"args": ["-video_app", "auto"], "params": [
            {"type": "Choice", "label": "Resolution", "value": 1, "items": [
                {"text": "a", "arguments": ["-video_width", "640"]}, {"text": "b", "arguments": ["-video_width", "800"]}]},
            {"type": "Check", "label": "Fullscreen", "value": 0, "off_args": ["-video_fullscreen", "0"],
             "on_args": ["-video_fullscreen", "1"]},
            {"type": "Choice", "label": "None chosen", "value": -1, "items": [{"text": "x", "arguments": ["-x"]}]}]}}})";
    LauncherConfig config;
    QString error;
    QVERIFY2(config.parse(file, error), qPrintable(error));
    QCOMPARE(config.name(), QStringLiteral("demo"));
    QCOMPARE(config.banner(), QStringLiteral("data/banner.png"));
    QCOMPARE(config.commandLine(),
             (QStringList{"-video_width", "800", "-video_fullscreen", "0", "-video_app", "auto"}));
    config.parameters()[1].value = 1;
    QCOMPARE(config.commandLine().mid(2, 2), (QStringList{"-video_fullscreen", "1"}));
}

void TestLauncherConfig::the_executable_follows_the_binary_data()
{
    QTest::addColumn<QString>("binary");
    QTest::addColumn<QString>("paths");
    QTest::addColumn<QString>("executable");
    QTest::newRow("debug") << "Debug"
                           << R"({"release": "r", "dev": "v", "debug": "d"})"
                           << "d";
    QTest::newRow("development") << "Development"
                                 << R"({"release": "r", "dev": "v"})"
                                 << "v";
    QTest::newRow("chosen kind missing falls back") << "Release"
                                                    << R"({"debug": "d"})"
                                                    << "d";
    QTest::newRow("none") << "Release"
                          << "{}"
                          << "";
}

void TestLauncherConfig::the_executable_follows_the_binary()
{
    QFETCH(QString, binary);
    QFETCH(QString, paths);
    QFETCH(QString, executable);
    LauncherConfig config;
    QString error;
    QVERIFY(config.parse(QStringLiteral(R"({"main": {"binary": "%1", "paths": %2}})").arg(binary, paths).toUtf8(),
                         error));
    QCOMPARE(config.executable(), executable);
}

void TestLauncherConfig::broken_files_are_refused_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("not json") << QByteArray("main = 1");
    QTest::newRow("array") << QByteArray("[1, 2]");
    QTest::newRow("no main") << QByteArray(R"({"other": {}})");
}

void TestLauncherConfig::broken_files_are_refused()
{
    QFETCH(QByteArray, bytes);
    LauncherConfig config;
    QString error;
    QVERIFY(!config.parse(bytes, error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!config.load("/nonexistent/x.lconfig", error));
}

QTEST_GUILESS_MAIN(TestLauncherConfig)
#include "tst_launcher_config.moc"
