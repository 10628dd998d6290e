#include <editor_core/EditorCore.h>
#include <editor_core/as/Browser.h>
#include <editor_core/editor/AssetManagerPrivate.h>

#include <asset_files.h>
#include <log_capture.h>
#include <project_builder.h>

#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>

using Velmora::UGUID;

namespace {

UGUID guid(const char *shorthand)
{
    return UGUID(test::ProjectBuilder::expandGuids(QString::fromLatin1(shorthand)).toLatin1().constData());
}

QString text(const UGUID &g)
{
    return QString::fromLatin1(g.getString().get());
}

QByteArray modelMeta(const char *asset, const char *node, const char *mesh, const QByteArray &mesh_ext = "mesh")
{
    return test::ProjectBuilder::expandGuids(
                   QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                                  "<asset version=\"1\" guid=\"%1\" type=\"7\">\n"
                                  "  <runtime guid=\"%2\" kind=\"3\" name=\"n\" ext=\"node\"/>\n"
                                  "  <runtime guid=\"%3\" kind=\"1\" name=\"m\" ext=\"%4\"/>\n"
                                  "</asset>\n")
                           .arg(QLatin1String(asset), QLatin1String(node), QLatin1String(mesh),
                                QString::fromUtf8(mesh_ext)))
            .toUtf8();
}

// The stored runtime file of a shorthand GUID and its side meta.
QStringList runtimeFiles(const char *runtime, const char *ext)
{
    const QString hex = text(guid(runtime));
    const QString file = QStringLiteral(".runtimes/") + hex.left(2) + QLatin1Char('/') + hex + QLatin1Char('.')
            + QLatin1String(ext);
    return {file, file + QStringLiteral(".meta")};
}

// A scanned project: <root>/data is the data folder, <root>/outside.txt
// and <root>/elsewhere/ lie beside it.
struct Project
{
    QTemporaryDir dir;
    std::unique_ptr<test::ProjectBuilder> builder;
    Editor::AssetManagerPrivate manager;

    Project()
    {
        builder.reset(new test::ProjectBuilder(dir.path()));
        test::ProjectBuilder &b = *builder;
        b.projectFile()
                .asset("models/crate.model", "v 0 0 0\n", "{a101}")
                .rawMeta("models/crate.model", modelMeta("{a101}", "{b201}", "{b202}"))
                .asset("models/barrel.model", "v 1 1 1\n", "{a105}")
                .rawMeta("models/barrel.model", modelMeta("{a105}", "{b203}", "{b205}"))
                .file("models/crate.model.bak", "v 0 0 0\n")
                .asset("materials/rust.mat", "material rust {}\n", "{a102}")
                .asset("materials/paint.mat", "material paint {}\n", "{a103}")
                .asset("textures/rust.png", "png", "{a104}")
                .asset("props/lamp.mesh", "v 2 2 2\n", "{a106}")
                .asset("linked/victim.mesh", "v 3 3 3\n", "{a107}")
                .asset("core/textures/white.png", "png", "{f201}")
                .file(".tamsel2/.cleanerignore", "/worlds/*\n");
        // A runtime whose recorded extension climbs out of its folder.
        b.asset("models/evil.model", "v 4 4 4\n", "{a108}")
                .rawMeta("models/evil.model", modelMeta("{a108}", "{b206}", "{b207}", "x/../../../../outside.txt"));
        b.asset("models/sly.model", "v 5 5 5\n", "{a109}")
                .rawMeta("models/sly.model", modelMeta("{a109}", "{b208}", "{b209}", "x/../../../textures/rust.png"));
        for (const auto &r : QVector<QPair<const char *, const char *>>{
                     {"{b201}", "node"}, {"{b202}", "mesh"}, {"{b203}", "node"}, {"{b205}", "mesh"}}) {
            const QStringList files = runtimeFiles(r.first, r.second);
            b.file(files[0], "runtime\n");
            b.file(files[1], "<runtime version=\"1\"/>\n");
        }
        test::writeFile(dir.path() + QStringLiteral("/outside.txt"), "keep me\n");
        QDir().mkpath(dir.path() + QStringLiteral("/elsewhere"));
        manager.setRootPath(b.dataPath());
    }

    bool scan()
    {
        if (!builder->ok())
            return false;
        manager.init();
        QElapsedTimer timer;
        timer.start();
        while (!manager.isInitialized() && timer.elapsed() < 10000)
            QTest::qWait(5);
        return manager.isInitialized() && manager.hasAsset(guid("{a101}"));
    }

    QString data(const QString &relative) const { return builder->dataPath() + relative; }
    QMap<QString, QByteArray> checksums() const { return test::folderChecksums(dir.path(), {}); }
};

// Records the asset manager's removal signals as text, noting whether the
// record was still there when each arrived.
struct Recorder
{
    QStringList events;
    QList<QMetaObject::Connection> connections;

    explicit Recorder(Editor::AssetManagerPrivate &m)
    {
        using AM = Editor::AssetManagerPrivate;
        connections << QObject::connect(&m, &AM::aboutToBeRemoved, [this, &m](const UGUID &g) {
            events << QStringLiteral("about %1 %2").arg(text(g).right(3)).arg(int(m.hasAsset(g)));
        });
        connections << QObject::connect(&m, &AM::removed, [this, &m](const UGUID &g) {
            events << QStringLiteral("removed %1 %2").arg(text(g).right(3)).arg(int(m.hasAsset(g)));
        });
        connections << QObject::connect(&m, &AM::added,
                                        [this](const UGUID &g) { events << "added " + text(g).right(3); });
        connections << QObject::connect(&m, &AM::end, [this] { events << QStringLiteral("end"); });
    }
    ~Recorder()
    {
        for (const QMetaObject::Connection &c : qAsConst(connections))
            QObject::disconnect(c);
    }
};

// What a refusal case changes on disk after the scan.
enum Change { None, LinkFolder, LinkFile };

// Lets queued signals arrive.
void settle(Editor::AssetManagerPrivate &manager)
{
    QElapsedTimer timer;
    timer.start();
    while (manager.isScanning() && timer.elapsed() < 10000)
        QTest::qWait(5);
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

QMap<QString, QByteArray> without(QMap<QString, QByteArray> sums, const QStringList &relative)
{
    for (const QString &path : relative)
        sums.remove(QStringLiteral("data/") + path);
    return sums;
}

} // namespace

class TestAssetRemoval : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { EditorCore::registerMetaTypes(); }

    void only_the_listed_assets_own_files_go_and_each_is_reported_before_one_end()
    {
        Project project;
        QVERIFY(project.scan());
        as::Browser browser(&project.manager, false);
        QVERIFY(browser.findItem(guid("{a101}")));
        // An asset file that links to another asset's file: only the link goes.
        QVERIFY(QFile::remove(project.data("props/lamp.mesh")));
        QVERIFY(QFile::link(project.data("textures/rust.png"), project.data("props/lamp.mesh")));
        const auto before = project.checksums();
        Recorder recorder(project.manager);

        // A rescan still running when the files go must not bring them back.
        project.manager.rescan();
        QVERIFY(project.manager.remove({guid("{a101}"), guid("{a102}"), guid("{a101}"), guid("{a106}")}));
        QCOMPARE(recorder.events,
                 QStringList({"about 101 1", "about 102 1", "about 106 1", "removed 101 0", "removed 102 0",
                              "removed 106 0"}));
        settle(project.manager);
        QCOMPARE(recorder.events,
                 QStringList({"about 101 1", "about 102 1", "about 106 1", "removed 101 0", "removed 102 0",
                              "removed 106 0", "end"}));

        QStringList gone{"models/crate.model",      "models/crate.model.meta", "materials/rust.mat",
                         "materials/rust.mat.meta", "props/lamp.mesh",         "props/lamp.mesh.meta"};
        gone << runtimeFiles("{b201}", "node") << runtimeFiles("{b202}", "mesh");
        QCOMPARE(project.checksums(), without(before, gone));

        QVERIFY(!project.manager.hasRuntime(guid("{b202}")));
        QVERIFY(project.manager.hasRuntime(guid("{b203}")));
        QCOMPARE(project.manager.assets(project.data("models")).size(), 3);
        QCOMPARE(project.manager.filePath(guid("{b205}")), project.data(runtimeFiles("{b205}", "mesh")[0]));
        QTRY_VERIFY(!browser.findItem(guid("{a101}")));
        QVERIFY(!browser.findItem(guid("{a102}")));
        QVERIFY(browser.findItem(guid("{a105}")));
    }

    void a_batch_with_one_bad_entry_is_refused_whole_data()
    {
        QTest::addColumn<QString>("bad");
        QTest::addColumn<int>("change");
        QTest::addColumn<QString>("logged");
        QTest::newRow("unknown GUID") << "{c999}" << int(None) << "is not an asset";
        QTest::newRow("empty GUID") << "" << int(None) << "the empty GUID is not an asset";
        QTest::newRow("a runtime, not an asset") << "{b203}" << int(None) << "is a runtime of \"models/barrel.model\"";
        QTest::newRow("core asset") << "{f201}" << int(None) << "\"core/textures/white.png\" is a core asset";
        QTest::newRow("folder replaced by a link to outside")
                << "{a107}" << int(LinkFolder) << "leads outside the data folder";
        QTest::newRow("file replaced by a link to outside")
                << "{a106}" << int(LinkFile) << "leads outside the data folder";
        QTest::newRow("runtime path climbing out with ..") << "{a108}" << int(None) << "outside the data folder";
        QTest::newRow("runtime path landing on another asset's file")
                << "{a109}" << int(None) << "not where the asset's stored runtimes belong";
    }

    void a_batch_with_one_bad_entry_is_refused_whole()
    {
        QFETCH(QString, bad);
        QFETCH(int, change);
        QFETCH(QString, logged);
        Project project;
        QVERIFY(project.scan());
        const QString root = project.dir.path();
        if (change == LinkFolder) {
            QVERIFY(QDir().rename(project.data("linked"), root + "/elsewhere/linked"));
            QVERIFY(QFile::link(root + "/elsewhere/linked", project.data("linked")));
        } else if (change == LinkFile) {
            QVERIFY(QFile::remove(project.data("props/lamp.mesh")));
            QVERIFY(QFile::link(root + "/outside.txt", project.data("props/lamp.mesh")));
        }
        const auto before = project.checksums();
        const int count = project.manager.getNumAssets();
        Recorder recorder(project.manager);
        test::LogCapture log;

        const UGUID bad_guid = bad.isEmpty() ? UGUID() : guid(bad.toLatin1().constData());
        QVERIFY(!project.manager.remove({guid("{a103}"), bad_guid}));
        settle(project.manager);

        QCOMPARE(recorder.events, QStringList());
        QCOMPARE(project.checksums(), before);
        QCOMPARE(project.manager.getNumAssets(), count);
        QVERIFY2(log.text().contains(logged) && log.text().contains("nothing is removed"), qPrintable(log.text()));
        // The same rule, asked asset by asset.
        const QHash<UGUID, QString> refused = project.manager.removalRefusals({guid("{a103}"), bad_guid});
        QCOMPARE(refused.keys(), QList<UGUID>{bad_guid});
        QVERIFY2(refused.value(bad_guid).contains(logged), qPrintable(refused.value(bad_guid)));
    }

    void a_file_that_fails_to_go_keeps_its_whole_asset_and_is_reported()
    {
        Project project;
        QVERIFY(project.scan());
        const auto before = project.checksums();
        // The second file of the crate (its first stored runtime) fails.
        QStringList tried;
        project.manager.setRemovalFaultForTests([&tried, &project](const QString &file) {
            tried << file;
            return file == project.data(runtimeFiles("{b201}", "node")[0]);
        });
        Recorder recorder(project.manager);
        test::LogCapture log;

        QVector<Editor::AssetManagerPrivate::RemovalFailure> failures;
        QVERIFY(project.manager.remove({guid("{a101}"), guid("{a103}")}, &failures));
        settle(project.manager);

        QCOMPARE(tried.mid(0, 2),
                 QStringList({project.data("models/crate.model"), project.data(runtimeFiles("{b201}", "node")[0])}));
        QCOMPARE(failures.size(), 1);
        QCOMPARE(failures.first().guid, guid("{a101}"));
        QVERIFY2(failures.first().reason.contains(runtimeFiles("{b201}", "node")[0]),
                 qPrintable(failures.first().reason));
        QCOMPARE(recorder.events, QStringList({"about 103 1", "removed 103 0", "end"}));
        // The crate's files are all back under their names; nothing is left
        // aside.
        QCOMPARE(project.checksums(), without(before, {"materials/paint.mat", "materials/paint.mat.meta"}));
        QVERIFY(project.manager.hasAsset(guid("{a101}")));
        QVERIFY2(log.text().contains("\"models/crate.model\" stays an asset"), qPrintable(log.text()));

        // A rescan finds the crate whole: no orphans.
        Recorder rescanned(project.manager);
        project.manager.rescan();
        settle(project.manager);
        QCOMPARE(rescanned.events, QStringList());
        QVERIFY(project.manager.hasRuntime(guid("{b201}")));
    }

    void an_undeletable_file_keeps_its_whole_asset_and_is_logged_data()
    {
        QTest::addColumn<bool>("read_only_folder");
        QTest::newRow("read-only folder") << true;
        QTest::newRow("folder in the place of a runtime file") << false;
    }

    void an_undeletable_file_keeps_its_whole_asset_and_is_logged()
    {
        QFETCH(bool, read_only_folder);
        Project project;
        QVERIFY(project.scan());
        QString stuck;
        if (read_only_folder) {
            stuck = project.data("models/crate.model");
        } else {
            stuck = project.data(runtimeFiles("{b202}", "mesh")[0]);
            QVERIFY(QFile::remove(stuck));
            QVERIFY(QDir().mkpath(stuck + "/inner"));
            QVERIFY(test::writeFile(stuck + "/inner/keep.txt", "inside\n"));
        }
        const auto before = project.checksums();
        QFile::Permissions folder_permissions = QFileInfo(project.data("models")).permissions();
        if (read_only_folder)
            QVERIFY(QFile::setPermissions(project.data("models"),
                                          QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup));
        Recorder recorder(project.manager);
        test::LogCapture log;

        const bool result = project.manager.remove({guid("{a101}"), guid("{a103}")});
        settle(project.manager);
        QFile::setPermissions(project.data("models"), folder_permissions);

        QVERIFY(result);
        QCOMPARE(recorder.events, QStringList({"about 103 1", "removed 103 0", "end"}));
        QCOMPARE(project.checksums(), without(before, {"materials/paint.mat", "materials/paint.mat.meta"}));
        QVERIFY(project.manager.hasAsset(guid("{a101}")));
        QVERIFY(project.manager.hasRuntime(guid("{b202}")));
        QVERIFY2(log.text().contains("cannot delete \"" + stuck + "\"")
                         && log.text().contains("\"models/crate.model\" stays an asset"),
                 qPrintable(log.text()));
    }
};

QTEST_MAIN(TestAssetRemoval)
#include "tst_asset_removal.moc"
