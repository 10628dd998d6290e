// Common::getEditorNodesByName: the nodes of the loaded world with a name.

#include <editor_core/common/Common.h>

#include <velmora/Engine.h>
#include <velmora/World.h>

#include <QTemporaryDir>
#include <QtTest>

#include <string>
#include <vector>

class CommonNodesTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void nodes_of_a_name_come_from_the_loaded_world_depth_first_data();
    void nodes_of_a_name_come_from_the_loaded_world_depth_first();
    void no_world_gives_no_nodes();

private:
    QTemporaryDir dir_;
    std::vector<std::string> storage_;
    std::vector<char *> pointers_;
};

void CommonNodesTest::initTestCase()
{
    const QString root = dir_.path();
    QDir(root).mkpath(QStringLiteral("bin"));
    QDir(root).mkpath(QStringLiteral("data/levels"));
    QFile world(root + QStringLiteral("/data/levels/test.world"));
    QVERIFY(world.open(QIODevice::WriteOnly));
    world.write("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<world version=\"1\">\n"
                "\t<node type=\"NodeDummy\" id=\"1\" name=\"lamp\">\n"
                "\t\t<node type=\"NodeDummy\" id=\"2\" name=\"bulb\"/>\n"
                "\t\t<node type=\"NodeDummy\" id=\"3\" name=\"lamp\"/>\n"
                "\t</node>\n"
                "\t<node type=\"NodeDummy\" id=\"4\" name=\"Lamp\"/>\n"
                "\t<node type=\"NodeDummy\" id=\"5\" name=\"lamp\"/>\n"
                "</world>\n");
    world.close();
    for (const QString &arg : {QStringLiteral("common_test"), QStringLiteral("-binaries_path"), root + "/bin",
                               QStringLiteral("-data_path"), root + "/data", QStringLiteral("-cache_path"),
                               root + "/cache", QStringLiteral("-log_path"), root + "/log.txt"})
        storage_.push_back(arg.toStdString());
    for (std::string &arg : storage_)
        pointers_.push_back(&arg[0]);
    QVERIFY(Velmora::Engine::init(Velmora::ENGINE_VERSION, nullptr, int(pointers_.size()), pointers_.data()));
}

void CommonNodesTest::cleanupTestCase()
{
    Velmora::Engine::shutdown();
}

void CommonNodesTest::nodes_of_a_name_come_from_the_loaded_world_depth_first_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QList<int>>("ids");
    QTest::newRow("three of a name, children included") << "lamp" << QList<int>{1, 3, 5};
    QTest::newRow("letter case counts") << "Lamp" << QList<int>{4};
    QTest::newRow("a child") << "bulb" << QList<int>{2};
    QTest::newRow("no such node") << "ceiling" << QList<int>{};
    QTest::newRow("an empty name") << "" << QList<int>{};
}

void CommonNodesTest::nodes_of_a_name_come_from_the_loaded_world_depth_first()
{
    QFETCH(QString, name);
    QFETCH(QList<int>, ids);
    QVERIFY(Velmora::World::load("levels/test"));
    QList<int> found;
    for (const Velmora::Ptr<Velmora::Node> &node : Common::getEditorNodesByName(name))
        found << node->getID();
    QCOMPARE(found, ids);
}

void CommonNodesTest::no_world_gives_no_nodes()
{
    QVERIFY(Velmora::World::load("levels/test"));
    Velmora::World::quit();
    QVERIFY(Common::getEditorNodesByName(QStringLiteral("lamp")).isEmpty());
}

QTEST_GUILESS_MAIN(CommonNodesTest)
#include "tst_common_nodes.moc"
