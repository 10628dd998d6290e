// What the player checks about the build it runs from: the start world on
// its command line, and a guids.db whose files must all be there; and the
// record it writes of them, whole or not at all.

#include "file_size_limit.h"
#include "player_state.h"

#include <velmora/Engine.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <string>
#include <vector>

class TestPlayerState : public QObject
{
    Q_OBJECT

private slots:
    void the_start_world_is_read_from_the_command_line_data();
    void the_start_world_is_read_from_the_command_line();
    void a_build_is_checked_against_its_guids_db_data();
    void a_build_is_checked_against_its_guids_db();
    void a_record_that_does_not_fit_keeps_the_old_one();
};

void TestPlayerState::the_start_world_is_read_from_the_command_line_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("world");
    QTest::newRow("quoted") << QStringList{"-console_command", "world_load \"levels/My World\""} << "levels/My World";
    QTest::newRow("bare") << QStringList{"-video_app", "auto", "-console_command", "world_load worlds/a"} << "worlds/a";
    QTest::newRow("other command") << QStringList{"-console_command", "echo hi"} << "";
    QTest::newRow("none") << QStringList{"-console_command"} << "";
}

void TestPlayerState::the_start_world_is_read_from_the_command_line()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, world);
    QCOMPARE(PlayerState::requestedWorld(arguments), world);
}

void TestPlayerState::a_build_is_checked_against_its_guids_db_data()
{
    QTest::addColumn<bool>("file_present");
    QTest::addColumn<QString>("world");
    QTest::addColumn<bool>("failed");
    QTest::newRow("complete") << true << "worlds/a" << false;
    QTest::newRow("a listed file is missing") << false << "worlds/a" << true;
    QTest::newRow("the start world does not load") << true << "worlds/none" << true;
}

void TestPlayerState::a_build_is_checked_against_its_guids_db()
{
    QFETCH(bool, file_present);
    QFETCH(QString, world);
    QFETCH(bool, failed);
    QTemporaryDir root;
    const QString data = root.path() + "/data/";
    QDir().mkpath(data + "worlds");
    QFile world_file(data + "worlds/a.world");
    QVERIFY(world_file.open(QIODevice::WriteOnly));
    world_file.write("<world version=\"1\"><node type=\"NodeDummy\" id=\"1\" name=\"n\"/></world>\n");
    world_file.close();
    QFile db(data + "guids.db");
    QVERIFY(db.open(QIODevice::WriteOnly));
    db.write(QByteArray("{\"aaaaa00000000000000000000000000000000101\": \"worlds/a.world\",\n"
                        " \"aaaaa00000000000000000000000000000000102\": \"")
             + (file_present ? "worlds/a.world" : "textures/gone.png") + "\"}\n");
    db.close();

    std::vector<std::string> args{"player",
                                  "-data_path",
                                  data.toStdString(),
                                  "-cache_path",
                                  (root.path() + "/cache").toStdString(),
                                  "-log_path",
                                  (root.path() + "/log.txt").toStdString(),
                                  "-console_command",
                                  ("world_load \"" + world + "\"").toStdString()};
    std::vector<char *> argv;
    for (std::string &arg : args)
        argv.push_back(&arg[0]);
    Velmora::Engine *engine = Velmora::Engine::init(Velmora::ENGINE_VERSION, nullptr, int(argv.size()), argv.data());
    QVERIFY(engine);
    engine->update();
    const PlayerState state = PlayerState::collect(1);
    Velmora::Engine::shutdown();

    QCOMPARE(state.requested_world, world);
    QCOMPARE(state.guids_db_entries, 2);
    QCOMPARE(state.guids_db_missing, file_present ? 0 : 1);
    QCOMPARE(state.world.isEmpty(), world != "worlds/a");
    QCOMPARE(state.failed(), failed);
    QCOMPARE(state.toJson().value("failed").toBool(), failed);
}

void TestPlayerState::a_record_that_does_not_fit_keeps_the_old_one()
{
    QTemporaryDir root;
    const QString path = root.path() + "/state.json";
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("{}");
    old.close();
    PlayerState state;
    state.world = QStringLiteral("worlds/a");
    state.frames = 3;
    {
        // A full disk while the short record still sits in the write buffer.
        test::FileSizeLimit limit(8);
        QVERIFY(limit.isActive());
        QVERIFY(!state.write(path));
    }
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("{}"));
    old.close();
    QCOMPARE(test::folderEntries(root.path()), QStringList{QStringLiteral("state.json")});
    QVERIFY(state.write(path));
}

QTEST_GUILESS_MAIN(TestPlayerState)
#include "tst_player_state.moc"
