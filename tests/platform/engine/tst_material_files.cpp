// Writing a file material back and loading one material file on its own.

#include "engine_runtime_fixture.h"

#include "velmora/FileSystem.h"
#include "velmora/Materials.h"

#include <QtTest>

using namespace Velmora;
using enginetest::guid;

class TestMaterialFiles : public QObject
{
    Q_OBJECT

    enginetest::Installation *installation_ = nullptr;

private slots:
    void initTestCase()
    {
        installation_ = new enginetest::Installation;
        QVERIFY(installation_->writeAsset(QStringLiteral("materials/base.mat"),
                                          "<material name=\"base\"><texture name=\"albedo\"></texture>"
                                          "<parameter name=\"size\">1</parameter>"
                                          "<parameter name=\"pivot\" expression=\"1\">0</parameter>"
                                          "<state name=\"depth_map\">0</state></material>",
                                          guid('a', 201), 4));
        QVERIFY(installation_->writeAsset(
                QStringLiteral("materials/child.mat"),
                QByteArray("<material name=\"child\" parent=\"")
                        + UGUID::derive(UGUID(guid('a', 201).constData()), "material").getString().get() + "\"/>",
                guid('a', 202), 4));
        QVERIFY(installation_->writeAsset(QStringLiteral("materials/text.mat"), "Material(name=\"text\") {}",
                                          guid('a', 203), 4));
        QVERIFY(installation_->start());
        QCOMPARE(Materials::loadMaterials(), 3);
    }
    void cleanupTestCase()
    {
        delete installation_;
        installation_ = nullptr;
    }

    void edits_saved_to_the_file_come_back_after_a_reload()
    {
        Ptr<Material> child = Materials::findMaterial("child");
        QVERIFY(child);
        child->setTexturePath(child->findTexture("albedo"), "textures/a & <b>.png");
        child->setParameterFloat(child->findParameter("size"), 2.5f);
        child->setParameterExpression(child->findParameter("pivot"), "vec3(0.00,-1.00,0.00)");
        child->setState("depth_map", 1);
        child->setTransparent(1);
        child->setBlendFunc(0, 0);
        QVERIFY(Materials::saveMaterial(child));

        // Loaded again from disk, in place of the one in memory.
        const Ptr<Material> again = Materials::loadMaterial("materials/child.mat");
        QVERIFY(again && again != child);
        QCOMPARE(Materials::getNumMaterials(), 3);
        QCOMPARE(Materials::findMaterial("child"), again);
        QCOMPARE(again->getGUID(), child->getGUID());
        QCOMPARE(again->getParent(), Materials::findMaterial("base"));
        QCOMPARE(QByteArray(again->getTexturePath(again->findTexture("albedo"))), QByteArray("textures/a & <b>.png"));
        QCOMPARE(again->getParameterFloat(again->findParameter("size")), 2.5f);
        QVERIFY(again->isParameterExpression(again->findParameter("pivot")));
        QCOMPARE(QByteArray(again->getParameterString(again->findParameter("pivot"))),
                 QByteArray("vec3(0.00,-1.00,0.00)"));
        QCOMPARE(again->getState("depth_map"), 1);
        QCOMPARE(again->getTransparent(), 1);
        QCOMPARE(again->getBlendSrcFunc(), 0);
        // The parent's file is untouched.
        QCOMPARE(Materials::findMaterial("base")->getState("depth_map"), 0);
    }

    void built_ins_text_files_and_missing_files_are_refused()
    {
        QVERIFY(!Materials::saveMaterial(Materials::findBaseMaterial("mesh_base")));
        QVERIFY(!Materials::saveMaterial(Materials::findMaterial("text")));
        QVERIFY(!Materials::saveMaterial(Ptr<Material>()));
        QVERIFY(!Materials::loadMaterial("materials/missing.mat"));
        QCOMPARE(Materials::getNumMaterials(), 3);
    }
};

QTEST_MAIN(TestMaterialFiles)
#include "tst_material_files.moc"
