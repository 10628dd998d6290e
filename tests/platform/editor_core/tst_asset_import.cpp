// Synchronous import of single files (captured frames, saved tracks) and
// the track dialogs built on it.

#include "asset_files.h"
#include "global_assets.h"

#include <editor_core/Dialogs.h>
#include <editor_core/EditorCore.h>
#include <editor_core/as/TextureImportParams.h>
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
    test::GlobalAssets manager_;

    void write(const QString &relative, const QByteArray &content = "x")
    {
        QVERIFY(test::writeFile(root_ + relative, content));
    }

private slots:
    void initTestCase()
    {
        EditorCore::registerMetaTypes();
        root_ = dir_.path() + QStringLiteral("/data/");
        write(QStringLiteral("textures/a.png"));
        write(QStringLiteral("textures/a.png.meta"),
              "<asset version=\"1\" guid=\"aaaaa00000000000000000000000000000000601\" type=\"6\"/>\n");
        QVERIFY(manager_.start(root_));
    }

    void a_file_inside_the_data_folder_becomes_an_asset_with_its_parameters()
    {
        write(QStringLiteral("screenshots/frame_0000.tga"));
        QSignalSpy added(manager_.get(), &Editor::AssetManagerPrivate::added);
        QSignalSpy changed(manager_.get(), &Editor::AssetManagerPrivate::changed);
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

    // A link is never an asset, whatever was written through it: its target
    // is imported when it lies in the visible data folder.
    void a_file_reached_through_a_link_imports_its_target_data()
    {
        // The link, its target (relative to the link's folder) and what is
        // imported (data-relative; empty: nothing).
        QTest::addColumn<QStringList>("paths");
        QTest::newRow("to an asset") << QStringList{"textures/linked.png", "a.png", "textures/a.png"};
        QTest::newRow("to a new file") << QStringList{"tracks/linked.track", "fly.track", "tracks/fly.track"};
        QTest::newRow("into a hidden folder") << QStringList{"tracks/shared.track", "../.shared/shared.track", ""};
        QTest::newRow("to outside") << QStringList{"tracks/away.track", "../../away.track", ""};
        QTest::newRow("through a linked folder") << QStringList{"via/fly.track", "", "tracks/fly.track"};
    }
    void a_file_reached_through_a_link_imports_its_target()
    {
        QFETCH(QStringList, paths);
        const QString link = paths[0], target = paths[1], imported = paths[2];
        const QString folder = QFileInfo(root_ + link).absolutePath();
        if (target.isEmpty()) {
            // The link is the folder (via -> tracks), the file is plain.
            if (!QFileInfo::exists(root_ + imported))
                write(imported, "<track/>\n");
            QVERIFY(QFile::link(QStringLiteral("tracks"), folder));
        } else {
            QVERIFY(QDir().mkpath(folder));
            const QString target_path = QDir::cleanPath(folder + QLatin1Char('/') + target);
            if (!QFileInfo::exists(target_path)) {
                QVERIFY(QDir().mkpath(QFileInfo(target_path).absolutePath()));
                QVERIFY(test::writeFile(target_path, "<track/>\n"));
            }
            QVERIFY(QFile::link(target, root_ + link));
        }
        const UGUID before = imported.isEmpty() ? UGUID() : manager_->asset(imported).getGUID();
        const UGUID guid = manager_->importSync(root_ + link);
        QVERIFY(manager_->asset(link).getGUID().isEmpty());
        if (!target.isEmpty()) {
            QVERIFY(QFileInfo(root_ + link).isSymLink());
            QVERIFY(!QFileInfo::exists(root_ + link + QStringLiteral(".meta")));
        }
        if (imported.isEmpty()) {
            QVERIFY(guid.isEmpty());
            return;
        }
        QVERIFY(!guid.isEmpty());
        QCOMPARE(guid, manager_->asset(imported).getGUID());
        if (!before.isEmpty())
            QCOMPARE(guid, before);
    }

    // Imports index their records one by one; whatever order they come in,
    // around a removal, every query must answer as a fresh scan does.
    void imports_answer_every_query_as_a_fresh_scan_does()
    {
        QTemporaryDir dir;
        const QString root = dir.path() + QStringLiteral("/data/");
        auto put = [&root](const QString &relative, const QByteArray &meta) {
            QDir().mkpath(QFileInfo(root + relative).absolutePath());
            QFile file(root + relative);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("<material/>\n");
            file.close();
            if (!meta.isEmpty()) {
                QFile meta_file(root + relative + QStringLiteral(".meta"));
                QVERIFY(meta_file.open(QIODevice::WriteOnly));
                meta_file.write(meta);
            }
        };
        put(QStringLiteral("a/m.png"), "<asset version=\"1\" guid=\"aaaaa00000000000000000000000000000000701\"/>\n");
        put(QStringLiteral("a/z.png"), "<asset version=\"1\" guid=\"aaaaa00000000000000000000000000000000702\"/>\n");
        put(QStringLiteral("b/x.png"), "<asset version=\"1\" guid=\"aaaaa00000000000000000000000000000000703\"/>\n");
        put(QStringLiteral("mat/base.mat"),
            "<asset version=\"1\" guid=\"aaaaa00000000000000000000000000000000704\"/>\n");
        Editor::AssetManagerPrivate imported;
        imported.setRootPath(root);
        QSignalSpy initialized(&imported, &Editor::AssetManagerPrivate::initialized);
        imported.init();
        QVERIFY(initialized.wait());

        // Before, after and between the scanned records, a new folder, an
        // upper-case name (sorts first), a material (a second runtime) and a
        // re-import with new parameters.
        for (const char *path : {"a/k.png", "a/zz.png", "c/new.png", "A/upper.png", "mat/copy.mat"}) {
            put(QString::fromLatin1(path), QByteArray());
            QVERIFY(!imported.importSync(QString::fromLatin1(path)).isEmpty());
        }
        const QVariantMap params{{QStringLiteral("mipmap_type"), QStringLiteral("2")}};
        QCOMPARE(imported.importSync(root + QStringLiteral("a/m.png"), params).getString().get(),
                 "aaaaa00000000000000000000000000000000701");
        const UGUID removed = imported.asset(QStringLiteral("a/z.png")).getGUID();
        QVERIFY(imported.remove({removed}));
        put(QStringLiteral("a/n.png"), QByteArray());
        QVERIFY(!imported.importSync(QStringLiteral("a/n.png")).isEmpty());

        Editor::AssetManagerPrivate scanned;
        scanned.setRootPath(root);
        QSignalSpy scanned_initialized(&scanned, &Editor::AssetManagerPrivate::initialized);
        scanned.init();
        QVERIFY(scanned_initialized.wait());

        const Velmora::Vector<as::Asset> expected = scanned.assets();
        const Velmora::Vector<as::Asset> actual = imported.assets();
        QStringList expected_paths, actual_paths;
        for (const as::Asset &asset : expected)
            expected_paths << asset.getRelativePath();
        for (const as::Asset &asset : actual)
            actual_paths << asset.getRelativePath();
        QCOMPARE(actual_paths, expected_paths);
        QCOMPARE(expected_paths,
                 (QStringList{"A/upper.png", "a/k.png", "a/m.png", "a/n.png", "a/zz.png", "b/x.png", "c/new.png",
                              "mat/base.mat", "mat/copy.mat"}));
        QCOMPARE(imported.getNumAssets(), scanned.getNumAssets());
        for (const as::Asset &asset : expected) {
            const QString path = asset.getRelativePath();
            QVERIFY2(imported.asset(asset.getGUID()) == asset, qPrintable(path));
            QVERIFY2(imported.asset(path) == asset, qPrintable(path));
            QVERIFY2(imported.asset(root + path) == asset, qPrintable(path));
            for (const as::Runtime &runtime : asset.getRuntimes()) {
                QVERIFY2(imported.hasRuntime(runtime.getGUID()), qPrintable(path));
                QVERIFY2(imported.runtime(runtime.getGUID()) == runtime, qPrintable(path));
                QCOMPARE(imported.assetGUIDByRuntimeGUID(runtime.getGUID()), asset.getGUID());
                QCOMPARE(imported.filePath(runtime.getGUID()), scanned.filePath(runtime.getGUID()));
            }
        }
        QCOMPARE(imported.asset(QStringLiteral("mat/copy.mat")).getNumRuntimes(), 2);
        QVERIFY(!imported.hasAsset(removed) && !imported.hasRuntime(removed));
        for (const char *folder : {"a", "A", "b", "c", "mat", "missing"}) {
            const QString absolute = root + QLatin1String(folder);
            QVERIFY2(imported.assets(absolute) == scanned.assets(absolute), folder);
            QVERIFY2(imported.assets(absolute + QLatin1Char('/')) == scanned.assets(absolute), folder);
        }
        QCOMPARE(imported.assets(root + QStringLiteral("a")).size(), 4);
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
