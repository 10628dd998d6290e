// Copies of single assets (an inherited material, a plain copy) and the
// re-import of an asset with its own or new parameters.

#include "asset_files.h"
#include "global_assets.h"

#include <editor_core/EditorCore.h>
#include <editor_core/as/ImportParams.h>
#include <editor_core/editor/AssetManagerPrivate.h>

#include <velmora/Xml.h>

#include <QTemporaryDir>
#include <QtTest>

using Velmora::UGUID;

class TestAssetCopy : public QObject
{
    Q_OBJECT

    QTemporaryDir dir_;
    QString root_;
    test::GlobalAssets manager_;
    const UGUID base_{"aaaaa00000000000000000000000000000000701"};
    const UGUID image_{"aaaaa00000000000000000000000000000000702"};

    void write(const QString &relative, const QByteArray &content)
    {
        QVERIFY(test::writeFile(root_ + relative, content));
    }

private slots:
    void initTestCase()
    {
        EditorCore::registerMetaTypes();
        root_ = dir_.path() + QStringLiteral("/data/");
        write(QStringLiteral("core/materials/base.mat"), "<material name=\"base\"/>");
        write(QStringLiteral("core/materials/base.mat.meta"),
              "<asset version=\"1\" guid=\"aaaaa00000000000000000000000000000000701\" type=\"4\"/>\n");
        write(QStringLiteral("textures/a.png"), "png");
        write(QStringLiteral("textures/a.png.meta"),
              "<asset version=\"1\" guid=\"aaaaa00000000000000000000000000000000702\" type=\"6\">"
              "<import><param name=\"mipmap_type\">2</param></import></asset>\n");
        QVERIFY(manager_.start(root_));
    }

    void an_inherited_material_names_its_parent_and_never_overwrites()
    {
        const UGUID copy = manager_->copySync(base_, root_ + QStringLiteral("impostors/tree_material"), 1);
        QVERIFY(!copy.isEmpty());
        const as::Asset asset = manager_->asset(copy);
        QCOMPARE(asset.getRelativePath(), QStringLiteral("impostors/tree_material.mat")); // extension added
        QCOMPARE(int(asset.getType()), 4);
        Velmora::Xml xml;
        QVERIFY(xml.load(qPrintable(asset.getFilePath())));
        QCOMPARE(QByteArray(xml.getArg("name")), QByteArray("tree_material"));
        QCOMPARE(QByteArray(xml.getArg("parent")), QByteArray(UGUID::derive(base_, "material").getString().get()));

        // Again to the same name: refused, the file stays as it was.
        QFile file(asset.getFilePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();
        QVERIFY(manager_->copySync(base_, root_ + QStringLiteral("impostors/tree_material"), 1).isEmpty());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
    }

    void copies_outside_the_data_folder_or_of_unknown_assets_are_refused_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("path");
        QTest::newRow("outside") << "aaaaa00000000000000000000000000000000702" << dir_.path() + "/elsewhere.png";
        QTest::newRow("climbing out") << "aaaaa00000000000000000000000000000000702" << root_ + "../elsewhere.png";
        QTest::newRow("hidden") << "aaaaa00000000000000000000000000000000702" << root_ + ".cache/a.png";
        QTest::newRow("unknown asset") << "bbbbb00000000000000000000000000000000799" << root_ + "textures/b.png";
    }

    void copies_outside_the_data_folder_or_of_unknown_assets_are_refused()
    {
        QFETCH(QString, source);
        QFETCH(QString, path);
        const int count = manager_->getNumAssets();
        QVERIFY(manager_->copySync(UGUID(source.toLatin1().constData()), path, 0).isEmpty());
        QVERIFY(!QFileInfo::exists(path));
        QCOMPARE(manager_->getNumAssets(), count);
    }

    void a_plain_copy_keeps_the_content_and_the_import_parameters()
    {
        const UGUID copy = manager_->copySync(image_, QStringLiteral("textures/b.png"), 0);
        QVERIFY(!copy.isEmpty() && copy != image_);
        const as::Asset asset = manager_->asset(copy);
        QFile file(asset.getFilePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("png"));
        QCOMPARE(as::ImportParams::fromAsset(asset).value("mipmap_type").toString(), QStringLiteral("2"));
    }

    void a_reimport_keeps_the_guid_and_empty_parameters_keep_the_old_ones()
    {
        QVERIFY(manager_->reimportSync(image_, QVariantMap()));
        QCOMPARE(as::ImportParams::fromAsset(manager_->asset(image_)).value("mipmap_type").toString(),
                 QStringLiteral("2"));
        QVERIFY(manager_->reimportSync(image_, QVariantMap{{"mipmap_type", 0}}));
        QCOMPARE(as::ImportParams::fromAsset(manager_->asset(image_)).value("mipmap_type").toString(),
                 QStringLiteral("0"));
        QVERIFY(!manager_->reimportSync(UGUID("bbbbb00000000000000000000000000000000799"), QVariantMap()));
    }
};

QTEST_MAIN(TestAssetCopy)
#include "tst_asset_copy.moc"
