// Common::getEditorNodesByName: the nodes of the loaded world with a name.

#include "installation.h"

#include <editor_core/common/Common.h>

#include <velmora/Engine.h>
#include <velmora/World.h>

#include <QtTest>

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
    test::Installation installation_;
};

void CommonNodesTest::initTestCase()
{
    QVERIFY(installation_.writeData(QStringLiteral("levels/test.world"),
                                    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<world version=\"1\">\n"
                                    "\t<node type=\"NodeDummy\" id=\"1\" name=\"lamp\">\n"
                                    "\t\t<node type=\"NodeDummy\" id=\"2\" name=\"bulb\"/>\n"
                                    "\t\t<node type=\"NodeDummy\" id=\"3\" name=\"lamp\"/>\n"
                                    "\t</node>\n"
                                    "\t<node type=\"NodeDummy\" id=\"4\" name=\"Lamp\"/>\n"
                                    "\t<node type=\"NodeDummy\" id=\"5\" name=\"lamp\"/>\n"
                                    "</world>\n"));
    QVERIFY(installation_.start({QStringLiteral("-log_path"), installation_.root() + QStringLiteral("log.txt")}));
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
