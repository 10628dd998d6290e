// Synchronous import of single files (captured frames, saved tracks) and
// the track dialogs built on it.

#include <editor_core/Dialogs.h>
#include <editor_core/EditorCore.h>
#include <editor_core/as/TextureImportParams.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/AssetManagerPrivate.h>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using Velmora::UGUID;

class TestAssetImport : public QObject
{
    Q_OBJECT

    QTemporaryDir dir_;
    QString root_;
    Editor::AssetManagerPrivate *manager_ = nullptr;

    void write(const QString &relative, const QByteArray &content = "x")
    {
        QDir().mkpath(QFileInfo(root_ + relative).absolutePath());
        QFile file(root_ + relative);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

private slots:
    void initTestCase()
    {
        EditorCore::registerMetaTypes();
        root_ = dir_.path() + QStringLiteral("/data/");
        write(QStringLiteral("textures/a.png"));
        write(QStringLiteral("textures/a.png.meta"),
              "<asset version=\"1\" guid=\"aaaaa00000000000000000000000000000000601\" type=\"6\"/>\n");
        manager_ = new Editor::AssetManagerPrivate(this);
        manager_->setRootPath(root_);
        QSignalSpy initialized(manager_, &Editor::AssetManagerPrivate::initialized);
        manager_->init();
        QVERIFY(initialized.wait());
        depr::g.asset_manager = manager_;
    }
    void cleanupTestCase() { depr::g.asset_manager = nullptr; }

    void a_file_inside_the_data_folder_becomes_an_asset_with_its_parameters()
    {
        write(QStringLiteral("screenshots/frame_0000.tga"));
        QSignalSpy added(manager_, &Editor::AssetManagerPrivate::added);
        QSignalSpy changed(manager_, &Editor::AssetManagerPrivate::changed);
        const QVariantMap params = as::TextureImportParams().toParams();
        const quint64 revision = manager_->revision();
        const UGUID guid = manager_->importSync(root_ + QStringLiteral("screenshots/frame_0000.tga"), params);
        QVERIFY(!guid.isEmpty());
        QCOMPARE(added.count(), 1);
        QVERIFY(manager_->revision() > revision); // collections running meanwhile know they are stale
        const as::Asset asset = manager_->asset(QStringLiteral("screenshots/frame_0000.tga"));
        QCOMPARE(asset.getGUID(), guid);
        QCOMPARE(int(asset.getType()), 6);
        QCOMPARE(as::ImportParams::fromAsset(asset).value(QStringLiteral("mipmap_type")).toString(),
                 params.value(QStringLiteral("mipmap_type")).toString());
        QVERIFY(QFileInfo::exists(root_ + QStringLiteral("screenshots/frame_0000.tga.meta")));
        // The records stay sorted by path.
        QCOMPARE(manager_->assets().first().getRelativePath(), QStringLiteral("screenshots/frame_0000.tga"));

        // Importing it again (a frame overwritten) keeps the GUID.
        QCOMPARE(manager_->importSync(QStringLiteral("screenshots/frame_0000.tga"), params), guid);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(manager_->getNumAssets(), 2);
    }

    void files_outside_the_visible_data_folder_are_refused_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("outside") << dir_.path() + QStringLiteral("/elsewhere.png");
        QTest::newRow("missing") << root_ + QStringLiteral("textures/missing.png");
        QTest::newRow("hidden folder") << root_ + QStringLiteral(".tamsel2/x.png");
        QTest::newRow("climbing out") << root_ + QStringLiteral("../elsewhere.png");
    }
    void files_outside_the_visible_data_folder_are_refused()
    {
        QFETCH(QString, path);
        QDir().mkpath(QFileInfo(path).absolutePath());
        if (!path.contains(QLatin1String("missing"))) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        const int before = manager_->getNumAssets();
        QVERIFY(manager_->importSync(path).isEmpty());
        QCOMPARE(manager_->getNumAssets(), before);
        QVERIFY(!QFileInfo::exists(path + QStringLiteral(".meta")));
    }

    void a_saved_track_is_written_then_imported_under_its_name()
    {
        Dialogs::setResponder([](const Dialogs::Request &request) {
            return request.kind == Dialogs::Kind::SaveAsset ? QStringLiteral("tracks/flight") : QString();
        });
        QString written;
        UGUID saved;
        QString name;
        Dialogs::saveAssetTrack(
                [&written](const QString &path) {
                    written = path;
                    QDir().mkpath(QFileInfo(path).absolutePath());
                    QFile file(path);
                    QVERIFY(file.open(QIODevice::WriteOnly));
                    file.write("<track version=\"1\"/>\n");
                },
                [&saved, &name](const UGUID &guid, const QString &runtime_name) {
                    saved = guid;
                    name = runtime_name;
                },
                UGUID());
        QTRY_VERIFY(!saved.isEmpty());
        QCOMPARE(written, root_ + QStringLiteral("tracks/flight.track"));
        QCOMPARE(name, QStringLiteral("flight"));
        QCOMPARE(int(manager_->assetType(saved)), 13);

        // A cancel hands an empty path and saves nothing.
        Dialogs::setResponder([](const Dialogs::Request &) { return QString(); });
        bool called = false;
        written = QStringLiteral("unset");
        Dialogs::saveAssetTrack([&](const QString &path) { written = path, called = true; },
                                [](const UGUID &, const QString &) { QFAIL("nothing was saved"); }, UGUID());
        QTRY_VERIFY(called);
        QVERIFY(written.isEmpty());
        Dialogs::setResponder(Dialogs::Responder());
    }
};

QTEST_MAIN(TestAssetImport)
#include "tst_asset_import.moc"
