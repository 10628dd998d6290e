#include "log_capture.h"
#include "thread_refusal.h"

#include <editor_core/EditorCore.h>
#include <editor_core/as/AssetTypes.h>
#include <editor_core/as/PrepareActionLandscape.h>
#include <editor_core/as/ProgressFormatter.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/AssetManager.h>
#include <editor_core/editor/AssetManagerPrivate.h>

#include <velmora/Base.h>
#include <velmora/Console.h>
#include <velmora/Engine.h>
#include <velmora/FileSystem.h>
#include <velmora/OwnNames.h>

#include <QDirIterator>
#include <QMutex>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtConcurrent>
#include <QtTest>

#include <atomic>
#include <cstdio>
#include <memory>
#include <optional>
#include <system_error>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

using Velmora::UGUID;

namespace {

using test::LogCapture;

// The fixture shorthand: {a101} = "aaaaa" + 32 zeros + "101".
UGUID guid(char letter, int number)
{
    const QString text = QString(5, QLatin1Char(letter)) + QString(32, QLatin1Char('0'))
            + QStringLiteral("%1").arg(number, 3, 10, QLatin1Char('0'));
    return UGUID(text.toLatin1().constData());
}

// Holds a scan's reading threads before the runs of files from
// HELD_FROM on, while g_hold_reading is set.
constexpr int HELD_FROM = 320;
std::atomic<bool> g_hold_reading{false};

void holdLateRuns(int first_file)
{
    while (first_file >= HELD_FROM && g_hold_reading.load())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

QString text(const UGUID &g)
{
    return QString::fromLatin1(g.getString().get());
}

// Writes data files and their meta files into a data folder.
class DataFolder
{
public:
    DataFolder()
        : root_(dir_.path() + QStringLiteral("/data/"))
    {
        QDir().mkpath(root_);
    }

    QString root() const { return root_; }
    QString path(const QString &relative) const { return root_ + relative; }

    void file(const QString &relative, const QByteArray &content = "x\n")
    {
        const QString absolute = path(relative);
        QDir().mkpath(QFileInfo(absolute).absolutePath());
        QFile f(absolute);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }

    void meta(const QString &relative, const QByteArray &xml) { file(relative + QStringLiteral(".meta"), xml); }

    void asset(const QString &relative, const UGUID &g, const QByteArray &attributes = QByteArray(),
               const QByteArray &children = QByteArray(), const QByteArray &content = "x\n")
    {
        file(relative, content);
        meta(relative,
             QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<asset version=\"1\" guid=\"")
                     + g.getString().get() + "\" " + attributes + ">\n" + children + "</asset>\n");
    }

    // Every file below the project folder with its size and time stamp, but
    // the claim a running engine holds on its data folder.
    QStringList snapshot() const
    {
        QStringList result;
        QDirIterator it(dir_.path(), QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            it.next();
            if (it.fileName() == QLatin1String(Velmora::OwnNames::CLAIM_FILE))
                continue;
            result << it.filePath() + QLatin1Char(' ') + QString::number(it.fileInfo().size()) + QLatin1Char(' ')
                            + QString::number(it.fileInfo().lastModified().toMSecsSinceEpoch());
        }
        result.sort();
        return result;
    }

private:
    QTemporaryDir dir_;
    QString root_;
};

// Runs a scan to its end and returns the signals in the order they came.
QStringList scan(Editor::AssetManagerPrivate &manager, bool initial = true)
{
    QStringList events;
    QList<QMetaObject::Connection> connections;
    connections << QObject::connect(&manager, &Editor::AssetManagerPrivate::pipeline_started,
                                    [&events](as::ActionType, const QString &) { events << "started"; });
    connections << QObject::connect(&manager, &Editor::AssetManagerPrivate::progress,
                                    [&events](int percent) { events << QStringLiteral("progress %1").arg(percent); });
    connections << QObject::connect(&manager, &Editor::AssetManagerPrivate::validateFailed,
                                    [&events](const as::Asset &asset) { events << "failed " + text(asset.getGUID()); });
    connections << QObject::connect(&manager, &Editor::AssetManagerPrivate::pipeline_ended,
                                    [&events](as::ActionType, const QString &) { events << "ended"; });
    connections << QObject::connect(&manager, &Editor::AssetManagerPrivate::initialized,
                                    [&events] { events << "initialized"; });
    if (initial)
        manager.init();
    else
        manager.rescan();
    QElapsedTimer timer;
    timer.start();
    while (!events.contains(QStringLiteral("ended")) && timer.elapsed() < 10000)
        QTest::qWait(5);
    QCoreApplication::processEvents();
    for (const QMetaObject::Connection &connection : connections)
        QObject::disconnect(connection);
    return events;
}

QStringList relativePaths(const Velmora::Vector<as::Asset> &assets)
{
    QStringList result;
    for (const as::Asset &asset : assets)
        result << asset.getRelativePath();
    return result;
}

// Starts the engine on a data folder, its binaries, cache and log under home.
bool startEngine(const QString &data, const QString &home)
{
    std::vector<std::string> args{"tst",
                                  "-data_path",
                                  data.toStdString(),
                                  "-binaries_path",
                                  home.toStdString() + "/bin/",
                                  "-cache_path",
                                  home.toStdString() + "/cache/",
                                  "-log_path",
                                  home.toStdString() + "/log.txt"};
    std::vector<char *> argv;
    for (std::string &arg : args)
        argv.push_back(&arg[0]);
    return Velmora::Engine::init(Velmora::ENGINE_VERSION, nullptr, int(argv.size()), argv.data());
}

// Rows of a test run on the asset manager's own read and on the engine's.
void bothReads()
{
    QTest::addColumn<bool>("engine");
    QTest::newRow("own read") << false;
    QTest::newRow("the engine's read") << true;
}

} // namespace

class TestAssetManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { EditorCore::registerMetaTypes(); }

    void scan_lists_visible_files_with_meta_files_sorted_by_path()
    {
        DataFolder data;
        data.asset(QStringLiteral("textures/b.png"), guid('a', 102));
        data.asset(QStringLiteral("Textures/a.png"), guid('a', 101));
        data.asset(QStringLiteral("materials/metal.mat"), guid('a', 103));
        data.asset(QStringLiteral("core/materials/base.mat"), guid('a', 104));
        data.file(QStringLiteral("textures/no_meta.png"));
        data.asset(QStringLiteral(".thumbnails/level.png"), guid('a', 105));
        data.asset(QStringLiteral(".runtimes/bb/node.node"), guid('a', 106));
        data.asset(QStringLiteral("levels/.hidden/secret.world"), guid('a', 107));
        data.asset(QStringLiteral("levels/.hidden_file.world"), guid('a', 108));

        Editor::AssetManagerPrivate manager;
        manager.setRootPath(data.root());
        scan(manager);

        QCOMPARE(relativePaths(manager.assets()),
                 (QStringList{"Textures/a.png", "core/materials/base.mat", "materials/metal.mat", "textures/b.png"}));
        QCOMPARE(manager.rootPath(), data.root());
        QVERIFY(manager.asset(guid('a', 104)).isCore());
        QVERIFY(!manager.asset(guid('a', 103)).isCore());
        QVERIFY(manager.asset(guid('a', 105)).isNull());
        QVERIFY(!manager.hasAsset(guid('a', 106)));
        QVERIFY(!manager.hasAsset(guid('a', 107)));
        QVERIFY(!manager.hasAsset(guid('a', 108)));
        QCOMPARE(manager.asset(QStringLiteral("textures/no_meta.png")).isNull(), true);
    }

    void the_type_comes_from_the_meta_file_or_else_the_extension_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("attributes");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("name"); // of the primary runtime
        QTest::newRow("material") << "a.mat" << QByteArray() << int(AssetType::MATERIAL) << "a";
        QTest::newRow("upper-case extension") << "a.PNG" << QByteArray() << int(AssetType::IMAGE) << "a";
        QTest::newRow("world") << "a.world" << QByteArray() << int(AssetType::WORLD) << "a";
        QTest::newRow("unregistered") << "a.json" << QByteArray() << int(AssetType::AFILE) << "a";
        QTest::newRow("no extension") << "README" << QByteArray() << int(AssetType::AFILE) << "README";
        QTest::newRow("attribute wins") << "a.txt" << QByteArray("type=\"7\"") << int(AssetType::MODEL) << "a";
        QTest::newRow("out of range attribute")
                << "a.txt" << QByteArray("type=\"24\"") << int(AssetType::SCRIPT) << "a";
        // Only the file name's last dot counts, never a folder's.
        QTest::newRow("dotted folder") << "v1.mat/README" << QByteArray() << int(AssetType::AFILE) << "README";
        QTest::newRow("two dots") << "m.d/a.b.mat" << QByteArray() << int(AssetType::MATERIAL) << "a.b";
    }
    void the_type_comes_from_the_meta_file_or_else_the_extension()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, attributes);
        QFETCH(int, type);
        QFETCH(QString, name);
        DataFolder data;
        data.asset(file, guid('c', 1), attributes);
        Editor::AssetManagerPrivate manager;
        manager.setRootPath(data.root());
        scan(manager);
        QCOMPARE(manager.assetType(guid('c', 1)), type);
        QCOMPARE(int(manager.asset(guid('c', 1)).getType()), type);
        QCOMPARE(manager.asset(guid('c', 1)).findPRuntime().getName(), name);
    }

    void runtimes_come_primary_first_then_stored_then_virtual()
    {
        DataFolder data;
        data.asset(
                QStringLiteral("models/crate.model"), guid('a', 250), "type=\"7\" excluded=\"1\"",
                "  <runtime guid=\"" + QByteArray(guid('b', 201).getString().get())
                        + "\" kind=\"3\" name=\"crate\" ext=\"node\"/>\n"
                          "  <runtime guid=\""
                        + QByteArray(guid('b', 202).getString().get())
                        + "\" kind=\"1\" name=\"crate\" ext=\"mesh\"/>\n"
                          "  <import><param name=\"scale\">2</param>"
                          "<mapper name=\"ground\"><file key=\"0_0\">t/0.tile</file><file key=\"0_1\">t/1.tile</file>"
                          "</mapper></import>\n");
        data.asset(QStringLiteral("materials/metal.mat"), guid('a', 260));
        data.asset(QStringLiteral("props/car.prop"), guid('a', 270));

        Editor::AssetManagerPrivate manager;
        manager.setRootPath(data.root());
        scan(manager);

        const as::Asset model = manager.asset(guid('a', 250));
        QCOMPARE(model.getNumRuntimes(), 3);
        QCOMPARE(model.getRuntime(0).getGUID(), guid('a', 250));
        QCOMPARE(model.getRuntime(0).getKind(), 0);
        QCOMPARE(model.getRuntime(1).getGUID(), guid('b', 201));
        QCOMPARE(model.getRuntime(1).getKind(), 3);
        QVERIFY(model.getRuntime(1).isStored());
        QCOMPARE(model.getRuntime(2).getGUID(), guid('b', 202));
        QCOMPARE(model.findSRuntime().getGUID(), guid('b', 201));
        QCOMPARE(model.findPRuntime().getGUID(), guid('a', 250));
        QVERIFY(model.isExcluded());
        QCOMPARE(model.getImportParams().value(QStringLiteral("scale")).toString(), QStringLiteral("2"));
        QCOMPARE(model.getMappers().size(), 1);
        QCOMPARE(model.getMappers()[0].first, QStringLiteral("ground"));
        QCOMPARE(model.getMappers()[0].second.size(), 2);
        QCOMPARE(model.getMappers()[0].second[1].second, QStringLiteral("t/1.tile"));

        // A stored runtime has a file of its own under .runtimes/.
        const QString hex = text(guid('b', 202));
        QCOMPARE(manager.filePath(guid('b', 202)), data.root() + ".runtimes/" + hex.left(2) + "/" + hex + ".mesh");
        QCOMPARE(manager.assetGUIDByRuntimeGUID(guid('b', 202)), guid('a', 250));

        const UGUID material_runtime = UGUID::derive(guid('a', 260), "material");
        const UGUID property_runtime = UGUID::derive(guid('a', 270), "property");
        QVERIFY(material_runtime != guid('a', 260));
        QCOMPARE(manager.asset(guid('a', 260)).getNumRuntimes(), 2);
        QCOMPARE(manager.runtime(material_runtime).getKind(), 4);
        QCOMPARE(manager.assetByRuntimeGUID(material_runtime).getGUID(), guid('a', 260));
        QCOMPARE(manager.runtime(property_runtime).getKind(), 5);
        QVERIFY(manager.filePath(material_runtime).isEmpty());
        QVERIFY(manager.fileInfo(material_runtime).isNull());
    }

    void queries_answer_for_every_asset_and_are_empty_for_unknown_guids_data()
    {
        QTest::addColumn<UGUID>("query");
        QTest::addColumn<bool>("known");
        QTest::newRow("asset") << guid('a', 1) << true;
        QTest::newRow("unknown") << guid('f', 999) << false;
        QTest::newRow("empty") << UGUID() << false;
    }
    void queries_answer_for_every_asset_and_are_empty_for_unknown_guids()
    {
        QFETCH(UGUID, query);
        QFETCH(bool, known);
        DataFolder data;
        data.asset(QStringLiteral("levels/a.world"), guid('a', 1));
        Editor::AssetManagerPrivate manager;
        manager.setRootPath(data.root());
        scan(manager);

        QCOMPARE(manager.hasAsset(query), known);
        QCOMPARE(manager.hasRuntime(query), known);
        QCOMPARE(manager.runtime(query).isNull(), !known);
        QCOMPARE(manager.assetByRuntimeGUID(query).isNull(), !known);
        QCOMPARE(manager.assetGUIDByRuntimeGUID(query), known ? query : UGUID());
        QCOMPARE(manager.filePath(query), known ? data.path(QStringLiteral("levels/a.world")) : QString());
        QCOMPARE(manager.fileName(query), known ? QStringLiteral("a.world") : QString());
        const as::FileInfo info = manager.fileInfo(query);
        QCOMPARE(info.isNull(), !known);
        if (known) {
            QCOMPARE(info.path(), data.root() + "levels");
            QCOMPARE(info.extension(), QStringLiteral("world"));
            QVERIFY(info.hasFlag(as::FileInfo::FLAG_IN_DATA));
            QVERIFY(!info.hasFlag(as::FileInfo::FLAG_READ_ONLY));
        }
    }

    void assets_of_a_folder_and_lookups_by_path()
    {
        DataFolder data;
        data.asset(QStringLiteral("levels/b.world"), guid('a', 2));
        data.asset(QStringLiteral("levels/a.world"), guid('a', 1));
        data.asset(QStringLiteral("levels/sub/c.world"), guid('a', 3));
        data.asset(QStringLiteral("core/x.mat"), guid('a', 4));
        data.asset(QStringLiteral("levels.world"), guid('a', 5));
        Editor::AssetManagerPrivate manager;
        manager.setRootPath(data.root());
        scan(manager);
        QCOMPARE(manager.assets(data.root()), Velmora::Vector<UGUID>{guid('a', 5)});

        const Velmora::Vector<UGUID> expected{guid('a', 1), guid('a', 2)};
        QCOMPARE(manager.assets(data.path(QStringLiteral("levels"))), expected);
        QCOMPARE(manager.assets(data.path(QStringLiteral("levels/"))), expected);
        QCOMPARE(manager.assets(data.path(QStringLiteral("levels/sub/../"))), expected);
        QVERIFY(manager.assets(data.path(QStringLiteral("nothing"))).isEmpty());

        QCOMPARE(manager.asset(QStringLiteral("levels/sub/c.world")).getGUID(), guid('a', 3));
        QCOMPARE(manager.asset(data.path(QStringLiteral("levels/sub/c.world"))).getGUID(), guid('a', 3));
        QVERIFY(manager.asset(QStringLiteral("Levels/sub/c.world")).isNull());
        QVERIFY(manager.asset(QStringLiteral("/elsewhere/levels/sub/c.world")).isNull());
        QVERIFY(manager.fileInfo(guid('a', 4)).hasFlag(as::FileInfo::FLAG_READ_ONLY));
        QCOMPARE(manager.asset(guid('a', 3)).getFilePath(), data.path(QStringLiteral("levels/sub/c.world")));
    }

    void the_shared_list_is_the_manager_s_own_and_outlives_its_changes()
    {
        // assetList() hands out the manager's own list. While a caller holds
        // it, threads asking the manager must only read that list (a write
        // would copy it under the read lock, on several threads at once),
        // and a change of the manager leaves the caller's list as it was.
        DataFolder data;
        for (int i = 0; i < 200; ++i)
            data.asset(QStringLiteral("f%1/a%2.world").arg(i % 7).arg(i, 3, 10, QLatin1Char('0')), guid('a', i + 1));
        Editor::AssetManagerPrivate manager;
        manager.setRootPath(data.root());
        scan(manager);
        const QVector<as::Asset> list = manager.assetList();
        const Velmora::Vector<as::Asset> ordered = manager.assets();
        QCOMPARE(list.size(), ordered.size());
        for (int i = 0; i < list.size(); ++i)
            QVERIFY(list.at(i) == ordered[i]);
        QVERIFY(manager.assetList().constData() == list.constData());

        std::atomic<int> wrong{0};
        std::vector<std::thread> readers;
        for (int t = 0; t < 4; ++t) {
            readers.emplace_back([&manager, &list, &wrong, t] {
                for (int round = 0; round < 20; ++round) {
                    for (int i = t; i < list.size(); i += 4) {
                        const UGUID &id = list.at(i).getGUID();
                        if (manager.asset(id).getGUID() != id || manager.assetByRuntimeGUID(id).getGUID() != id
                            || manager.assetGUIDByRuntimeGUID(id) != id || !manager.hasRuntime(id))
                            ++wrong;
                    }
                }
            });
        }
        for (std::thread &reader : readers)
            reader.join();
        QCOMPARE(wrong.load(), 0);
        QVERIFY(manager.assetList().constData() == list.constData());

        data.asset(QStringLiteral("f0/new.world"), guid('b', 1));
        QVERIFY(manager.importSync(data.path(QStringLiteral("f0/new.world"))).isValid());
        QCOMPARE(manager.getNumAssets(), list.size() + 1);
        QCOMPARE(list.size(), ordered.size());
        for (int i = 0; i < list.size(); ++i)
            QVERIFY(list.at(i) == ordered[i]);
        // The appended record takes its place in path order.
        const QVector<as::Asset> after = manager.assetList();
        QCOMPARE(after.size(), list.size() + 1);
        for (int i = 1; i < after.size(); ++i)
            QVERIFY(after.at(i - 1).getRelativePath() < after.at(i).getRelativePath());
    }

    void a_record_s_absolute_path_is_whole_however_and_wherever_it_is_first_asked_for()
    {
        // Records keep their folder and relative path and make the absolute
        // path when first asked: copies made before and after that, and many
        // threads asking the same records at once, all see the whole path.
        const QString root = QStringLiteral("/data/folder/");
        QVector<as::Asset> records(64);
        for (int i = 0; i < records.size(); ++i)
            records[i].setFilePathIn(root, QStringLiteral("f%1/a%2.world").arg(i % 5).arg(i));
        // Asked whether it lies in a folder, a record answers as its whole
        // path would, before and after that path is made.
        const QString prefixes[] = {root,
                                    QStringLiteral("/data/"),
                                    QStringLiteral("/data/folder/f1/a1"),
                                    QStringLiteral("/data/folder/f2"),
                                    QStringLiteral("/data/fold/"),
                                    QStringLiteral("/other/")};
        const as::Asset record = records[1];
        for (int pass = 0; pass < 2; ++pass) {
            for (const QString &prefix : prefixes)
                QCOMPARE(record.isFilePathIn(prefix), (root + record.getRelativePath()).startsWith(prefix));
            if (pass == 0)
                record.getFilePath();
        }
        const QVector<as::Asset> copied_before = records;
        // Read only through a const view: the records themselves are shared.
        const QVector<as::Asset> &shared = records;
        std::atomic<int> wrong{0};
        QVector<as::Asset> copied_while[4];
        std::vector<std::thread> readers;
        for (int t = 0; t < 4; ++t) {
            readers.emplace_back([&shared, &wrong, &copied_while, t, root] {
                for (int i = 0; i < shared.size(); ++i) {
                    const int at = (i * 7 + t) % shared.size();
                    if (t % 2)
                        copied_while[t].append(shared[at]);
                    if (shared[at].getFilePath() != root + shared[at].getRelativePath())
                        ++wrong;
                }
            });
        }
        for (std::thread &reader : readers)
            reader.join();
        QCOMPARE(wrong.load(), 0);
        for (const QVector<as::Asset> &copies : {copied_before, copied_while[1], copied_while[3], records})
            for (const as::Asset &copy : copies)
                QCOMPARE(copy.getFilePath(), root + copy.getRelativePath());

        // Given whole or in parts, the same path is the same record.
        as::Asset whole = records[3];
        whole.setFilePath(root + records[3].getRelativePath(), records[3].getRelativePath());
        QVERIFY(whole == copied_before[3]);
        whole.setFilePath(QStringLiteral("/elsewhere/") + records[3].getRelativePath(), records[3].getRelativePath());
        QVERIFY(whole != copied_before[3]);
    }

    void copies_of_a_record_keep_their_own_runtimes_when_one_is_given_new_ones()
    {
        const Velmora::UGUID asset_guid = guid('a', 1);
        const Velmora::Vector<as::Runtime> first{
                as::Runtime(asset_guid, QStringLiteral("a"), as::Runtime::KIND_PRIMARY, asset_guid, false),
                as::Runtime(guid('b', 1), QStringLiteral("n"), as::Runtime::KIND_NODE, asset_guid, true,
                            QStringLiteral("node"))};
        as::Asset record;
        record.setGUID(asset_guid);
        record.setType(AssetType::MODEL);
        record.setRuntimes(first);
        as::Asset copy = record;
        copy.setRuntimes({first[0]});
        as::Asset emptied = record;
        emptied.setRuntimes({});
        QCOMPARE(record.getRuntimes(), first);
        QCOMPARE(record.findSRuntime(), first[1]);
        QCOMPARE(copy.getNumRuntimes(), 1);
        QCOMPARE(copy.findSRuntime(), first[0]);
        QVERIFY(copy != record);
        QCOMPARE(emptied.getNumRuntimes(), 0);
        QVERIFY(emptied.findPRuntime().isNull());
    }

    void broken_meta_files_give_a_warning_and_no_asset_and_nothing_is_written()
    {
        DataFolder data;
        data.asset(QStringLiteral("good.world"), guid('a', 1));
        data.file(QStringLiteral("bad_guid.world"));
        data.meta(QStringLiteral("bad_guid.world"), "<asset version=\"1\" guid=\"not-a-guid\"/>\n");
        data.file(QStringLiteral("mixed_case.world"));
        data.meta(QStringLiteral("mixed_case.world"), "<asset guid=\"AAAAa00000000000000000000000000000000001\"/>\n");
        data.file(QStringLiteral("not_xml.world"));
        data.meta(QStringLiteral("not_xml.world"), "Material { }\n");
        data.file(QStringLiteral("wrong_root.world"));
        data.meta(QStringLiteral("wrong_root.world"),
                  "<runtime guid=\"" + QByteArray(text(guid('a', 9)).toLatin1()) + "\"/>\n");
        // A copied meta file: the first by path keeps the GUID.
        data.asset(QStringLiteral("copy/a.world"), guid('a', 7));
        data.asset(QStringLiteral("copy/b.world"), guid('a', 7));
        const QStringList before = data.snapshot();

        LogCapture log;
        Editor::AssetManagerPrivate manager;
        manager.setRootPath(data.root());
        const QStringList events = scan(manager);

        QCOMPARE(relativePaths(manager.assets()), (QStringList{"copy/a.world", "good.world"}));
        QCOMPARE(events.last(), QStringLiteral("initialized"));
        QCOMPARE(log.count(QStringLiteral("broken GUID")), 2);
        QCOMPARE(log.count(QStringLiteral("copy/b.world")), 1);
        QVERIFY(log.count(QStringLiteral("not_xml.world.meta")) >= 1);
        QVERIFY(log.count(QStringLiteral("wrong_root.world.meta")) >= 1);
        QCOMPARE(data.snapshot(), before);
    }

    // The engine reads every meta file once when it starts; the first scan
    // takes that read instead of opening the files again, unless a folder
    // changed in between.
    void the_first_scan_takes_the_engine_s_read_unless_a_folder_changed_data()
    {
        QTest::addColumn<bool>("add_file");
        QTest::addColumn<bool>("manager_first");
        QTest::addColumn<bool>("threads_refused");
        QTest::addColumn<QStringList>("expected");
        for (const bool manager_first : {false, true}) {
            // A manager made before the engine starts makes its records
            // while the engine starts.
            const char *const when = manager_first ? ", manager made first" : "";
            QTest::addRow("folders unchanged%s", when)
                    << false << manager_first << false << QStringList{"models/a.model", "z.world"};
            QTest::addRow("a file added%s", when)
                    << true << manager_first << false << QStringList{"models/b.model", "z.world"};
        }
        // At the thread limit while the engine starts, it makes them in its
        // first scan.
        QTest::newRow("folders unchanged, manager made first, no thread while the engine starts")
                << false << true << true << QStringList{"models/a.model", "z.world"};
    }
    void the_first_scan_takes_the_engine_s_read_unless_a_folder_changed()
    {
        QFETCH(bool, add_file);
        QFETCH(bool, manager_first);
        QFETCH(bool, threads_refused);
        QFETCH(QStringList, expected);
        DataFolder data;
        data.asset(QStringLiteral("models/a.model"), guid('a', 1), "type=\"7\"",
                   "<runtime guid=\"" + text(guid('b', 1)).toLatin1()
                           + "\" kind=\"3\" name=\"a\" ext=\"node\"/>\n"
                             "<import><param name=\"scale\">2</param></import>\n");
        data.asset(QStringLiteral("z.world"), guid('a', 2));
        data.file(QStringLiteral(".hidden/h.world"));
        data.meta(QStringLiteral(".hidden/h.world"), "<asset guid=\"" + text(guid('a', 3)).toLatin1() + "\"/>\n");

        QTemporaryDir home;
        std::unique_ptr<Editor::AssetManagerPrivate> made_first;
        if (manager_first)
            made_first.reset(new Editor::AssetManagerPrivate);
        {
            std::optional<test::ThreadRefusal> refusal;
            if (threads_refused) {
                refusal.emplace();
                QVERIFY(refusal->isActive());
            }
            QVERIFY(startEngine(data.root(), home.path()));
        }
        QCOMPARE(Velmora::FileSystem::getGUID("models/a.model"), guid('a', 1));

        // Rewritten in place, which leaves its folder as it was: only a scan
        // that opens the file again sees the change.
        data.meta(QStringLiteral("models/a.model"), "not xml\n");
        if (add_file)
            data.asset(QStringLiteral("models/b.model"), guid('a', 4));

        LogCapture log;
        std::unique_ptr<Editor::AssetManagerPrivate> made_after;
        if (!manager_first)
            made_after.reset(new Editor::AssetManagerPrivate);
        Editor::AssetManagerPrivate &manager = manager_first ? *made_first : *made_after;
        const QStringList events = scan(manager);
        Velmora::Engine::shutdown();

        QCOMPARE(events.last(), QStringLiteral("initialized"));
        QCOMPARE(relativePaths(manager.assets()), expected);
        QCOMPARE(log.count(QStringLiteral("cannot be read")), add_file ? 1 : 0);
        if (!add_file) {
            const as::Asset model = manager.asset(guid('a', 1));
            QCOMPARE(model.getType(), AssetType::MODEL);
            QCOMPARE(model.getNumRuntimes(), 2);
            QCOMPARE(model.getRuntime(1).getGUID(), guid('b', 1));
            QCOMPARE(model.getRuntime(1).getKind(), 3);
            QCOMPARE(model.getImportParams().value(QStringLiteral("scale")).toString(), QStringLiteral("2"));
        }
    }

    void a_taken_guid_keeps_the_first_file_and_names_both_data() { bothReads(); }
    void a_taken_guid_keeps_the_first_file_and_names_both()
    {
        QFETCH(bool, engine);
        DataFolder data;
        // A world copied with its meta file sorts before the original; a
        // model whose stored runtime repeats another model's runtime.
        data.asset(QStringLiteral("worlds/level1.world"), guid('a', 1));
        data.asset(QStringLiteral("worlds/copy of level1.world"), guid('a', 1));
        const QByteArray runtime = "<runtime guid=\"" + QByteArray(text(guid('b', 1)).toLatin1())
                + "\" kind=\"3\" name=\"crate\" ext=\"node\"/>\n";
        data.asset(QStringLiteral("models/a.model"), guid('a', 2), "type=\"7\"", runtime);
        data.asset(QStringLiteral("models/b.model"), guid('a', 3), "type=\"7\"", runtime);
        // Names that are not UTF-8 never reach Qt's listings.
        const QByteArray root = QFile::encodeName(data.root());
        const char *const names[] = {"bad\xE9.png", "bad\xE9.png.meta", "sub\xFF/x.png", ".hidden\xE9"};
        // Qt cannot remove what it cannot list.
        const auto remove = qScopeGuard([&root, &names] {
            for (const char *name : names)
                ::unlink((root + name).constData());
            ::rmdir((root + "sub\xFF").constData());
        });
        QCOMPARE(::mkdir((root + "sub\xFF").constData(), 0755), 0);
        for (const char *name : names) {
            FILE *file = std::fopen((root + name).constData(), "w");
            QVERIFY(file);
            std::fclose(file);
        }
        const QStringList before = data.snapshot();

        LogCapture log;
        QTemporaryDir home;
        if (engine)
            QVERIFY(startEngine(data.root(), home.path()));
        Editor::AssetManagerPrivate manager;
        manager.setRootPath(data.root());
        scan(manager);
        if (engine)
            Velmora::Engine::shutdown();

        QCOMPARE(relativePaths(manager.assets()), (QStringList{"models/a.model", "worlds/copy of level1.world"}));
        QCOMPARE(manager.duplicates(),
                 (QVector<as::DuplicateGuid>{{guid('b', 1), "models/a.model", "models/b.model"},
                                             {guid('a', 1), "worlds/copy of level1.world", "worlds/level1.world"}}));
        QCOMPARE(manager.leftOutFiles(guid('a', 1)), QStringList{data.path("worlds/level1.world")});
        QCOMPARE(manager.leftOutFiles(guid('a', 2)), QStringList{data.path("models/b.model")});
        QVERIFY(manager.leftOutFiles(guid('a', 3)).isEmpty());
        // The lookups by GUID name the records kept, wherever they moved; a
        // file left out claims none of its GUIDs, not even those before the
        // clash.
        QVERIFY(!manager.hasAsset(guid('a', 3)));
        QVERIFY(!manager.hasRuntime(guid('a', 3)));
        QCOMPARE(manager.assetGUIDByRuntimeGUID(guid('b', 1)), guid('a', 2));
        QCOMPARE(manager.asset(guid('a', 1)).getRelativePath(), QStringLiteral("worlds/copy of level1.world"));
        QCOMPARE(log.count("\"worlds/copy of level1.world\" and \"worlds/level1.world\" have the same GUID "
                           + text(guid('a', 1))),
                 1);
        QCOMPARE(log.count("Give one of them a new GUID"), 2);
        QCOMPARE(log.count("\"bad\\xE9.png\" is not valid UTF-8"), 1);
        QCOMPARE(log.count("\"bad\\xE9.png.meta\" is not valid UTF-8"), 1);
        QCOMPARE(log.count("\"sub\\xFF\" is not valid UTF-8"), 1);
        QCOMPARE(log.count("hidden"), 0);
        QCOMPARE(data.snapshot(), before);
    }

    void a_project_made_in_parts_keeps_records_clashes_and_warnings_in_path_order_data() { bothReads(); }
    // Large enough for its files to be listed and made in parts on several
    // threads while they are claimed: the outcome is that of one pass.
    void a_project_made_in_parts_keeps_records_clashes_and_warnings_in_path_order()
    {
        QFETCH(bool, engine);
        DataFolder data;
        auto numbered = [](int n) {
            return UGUID(QStringLiteral("c%1").arg(n, 39, 10, QLatin1Char('0')).toLatin1().constData());
        };
        auto path = [](int n) {
            return QStringLiteral("f%1/a%2.world")
                    .arg(n / 300, 2, 10, QLatin1Char('0'))
                    .arg(n, 5, 10, QLatin1Char('0'));
        };
        QStringList kept;
        QVector<as::DuplicateGuid> duplicates;
        QStringList warned; // the file each warning names last, in order
        QStringList engine_warned; // the same for the file system's
        // Large enough for the manager's lookups to be made on threads of
        // their own while records are claimed.
        const int count = 10400;
        for (int n = 0; n < count; ++n) {
            if (n % 997 == 500) {
                // Repeats the GUID of the file before it.
                data.asset(path(n), numbered(n - 1));
                duplicates.append({numbered(n - 1), path(n - 1), path(n)});
                warned << path(n) + QStringLiteral("\" is left out");
                engine_warned << path(n) + QStringLiteral("\" claims the GUID ") + text(numbered(n - 1));
            } else if (n % 1009 == 7) {
                data.file(path(n));
                data.meta(path(n), "not xml\n");
                warned << path(n) + QStringLiteral("\" is not an asset");
            } else if (n % 1013 == 9) {
                data.file(path(n));
                data.meta(path(n), "<asset guid=\"broken\"/>\n");
                warned << path(n) + QStringLiteral("\" is not an asset");
                engine_warned << path(n) + QStringLiteral(".meta\" has a broken GUID");
            } else {
                data.asset(path(n), numbered(n));
                kept << path(n);
            }
        }

        LogCapture log;
        QTemporaryDir home;
        if (engine)
            QVERIFY(startEngine(data.root(), home.path()));
        Editor::AssetManagerPrivate manager;
        manager.setRootPath(data.root());
        scan(manager);
        if (engine) {
            // The file system's index, made in runs of files too.
            const QStringList lines = log.lines().filter(QStringLiteral("FileSystem: "));
            QCOMPARE(lines.size(), engine_warned.size());
            for (int i = 0; i < lines.size(); ++i)
                QVERIFY2(lines[i].contains(engine_warned[i]), qPrintable(lines[i]));
            QCOMPARE(Velmora::FileSystem::getGUID(qPrintable(path(count - 1))), numbered(count - 1));
            QCOMPARE(Velmora::FileSystem::getGUID(qPrintable(path(500))), UGUID::fromPath(qPrintable(path(500))));
            Velmora::Engine::shutdown();
        }

        QCOMPARE(relativePaths(manager.assets()), kept);
        QCOMPARE(manager.duplicates(), duplicates);
        QStringList warnings = log.lines().filter(QStringLiteral("Asset manager: "));
        QCOMPARE(warnings.size(), warned.size());
        for (int i = 0; i < warned.size(); ++i)
            QVERIFY2(warnings[i].contains(warned[i]), qPrintable(warnings[i]));
        // Records moved forward past those left out are found where they
        // went, by GUID, path and folder, up to the last one.
        QCOMPARE(manager.asset(numbered(count - 1)).getRelativePath(), path(count - 1));
        QCOMPARE(manager.asset(numbered(499)).getRelativePath(), path(499));
        QCOMPARE(manager.assetGUIDByRuntimeGUID(numbered(4000)), numbered(4000));
        QCOMPARE(manager.asset(path(count - 1)).getGUID(), numbered(count - 1));
        QCOMPARE(manager.asset(data.path(path(9000))).getGUID(), numbered(9000));
        QVERIFY(manager.asset(path(9126)).isNull()); // no asset: its meta file is broken
        QCOMPARE(manager.leftOutFiles(numbered(9472)), QStringList{data.path(path(9473))});
        for (const int first : {9000, 9300, count - 200}) {
            Velmora::Vector<UGUID> folder;
            for (int n = first; n < std::min(count, first + 300); ++n)
                if (kept.contains(path(n)))
                    folder.append(numbered(n));
            QCOMPARE(manager.assets(data.path(path(first).section(QLatin1Char('/'), 0, 0))), folder);
        }
    }

    // The engine lists by bytes, and a large read is listed in runs on
    // several threads. Here two halves whose order by bytes is the reverse
    // of their order as text meet in the middle of the read, where two runs
    // meet.
    void a_large_read_listed_in_parts_takes_the_text_order_where_the_bytes_order_differs()
    {
        DataFolder data;
        // U+FF01 comes before U+1F600 by UTF-8 bytes, after it in UTF-16.
        const QString wide = QString::fromUtf8("\xEF\xBC\x81");
        const QString astral = QString::fromUtf8("\xF0\x9F\x98\x80");
        const int half = 4096;
        auto numbered = [](int n) {
            return UGUID(QStringLiteral("d%1").arg(n, 39, 10, QLatin1Char('0')).toLatin1().constData());
        };
        QStringList expected;
        for (const QString &folder : {astral, wide})
            for (int n = 0; n < half; ++n) {
                const QString path = folder + QStringLiteral("/a%1.world").arg(n, 5, 10, QLatin1Char('0'));
                data.asset(path, numbered(expected.size()));
                expected << path;
            }

        QTemporaryDir home;
        QVERIFY(startEngine(data.root(), home.path()));
        Editor::AssetManagerPrivate manager;
        manager.setRootPath(data.root());
        scan(manager);
        Velmora::Engine::shutdown();

        QCOMPARE(relativePaths(manager.assets()), expected);
        for (const int n : {0, half - 1, half, 2 * half - 1}) {
            QCOMPARE(manager.asset(expected[n]).getGUID(), numbered(n));
            QCOMPARE(manager.asset(numbered(n)).getRelativePath(), expected[n]);
        }
        QCOMPARE(manager.assets(data.path(wide)).size(), half);
        QCOMPARE(manager.assets(data.path(astral)).first(), numbered(0));
    }

    // Large enough for every step of the scan that can use several threads
    // to start them. When the system gives no thread after the scan's own,
    // the scan does their work itself and misses nothing; when it gives not
    // even that one, the scan runs on the caller's thread.
    void a_large_scan_misses_nothing_when_no_worker_thread_can_start_data()
    {
        QTest::addColumn<bool>("scan_thread_refused");
        QTest::newRow("after the scan's own thread") << false;
        QTest::newRow("not even the scan's own") << true;
    }
    void a_large_scan_misses_nothing_when_no_worker_thread_can_start()
    {
        QFETCH(bool, scan_thread_refused);
        DataFolder data;
        QStringList expected;
        auto numbered = [](int n) {
            return UGUID(QStringLiteral("e%1").arg(n, 39, 10, QLatin1Char('0')).toLatin1().constData());
        };
        const int count = 10000;
        for (int n = 0; n < count; ++n) {
            expected << QStringLiteral("f%1/a%2.world")
                                .arg(n / 500, 2, 10, QLatin1Char('0'))
                                .arg(n, 5, 10, QLatin1Char('0'));
            data.asset(expected.last(), numbered(n));
        }

        Editor::AssetManagerPrivate manager;
        manager.setRootPath(data.root());
        QSignalSpy initialized(&manager, &Editor::AssetManagerPrivate::initialized);
        {
            std::optional<test::ThreadRefusal> refusal;
            if (scan_thread_refused)
                refusal.emplace();
            manager.init();
            // Otherwise the scan's own thread runs: from here on a new thread
            // cannot have its stack (the scan lists every file before it
            // starts another).
            if (!refusal)
                refusal.emplace();
            QVERIFY(refusal->isActive());
            QVERIFY_EXCEPTION_THROWN(std::thread([] {}).join(), std::system_error);
            // Never from inside init(), even when it ran there.
            QCOMPARE(initialized.count(), 0);
            QTRY_COMPARE_WITH_TIMEOUT(initialized.count(), 1, 20000);
        }

        QCOMPARE(relativePaths(manager.assets()), expected);
        for (const int n : {0, 4095, 4096, count - 1}) {
            QCOMPARE(manager.asset(numbered(n)).getRelativePath(), expected[n]);
            QCOMPARE(manager.asset(expected[n]).getGUID(), numbered(n));
        }
        QCOMPARE(manager.assets(data.path(QStringLiteral("f19"))).size(), 500);
    }

    void initialized_comes_last_once_and_never_from_inside_init_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("missing folder") << "missing";
        QTest::newRow("empty folder") << "empty";
        QTest::newRow("no root at all") << "none";
        QTest::newRow("folder with assets") << "assets";
    }
    void initialized_comes_last_once_and_never_from_inside_init()
    {
        QFETCH(QString, kind);
        DataFolder data;
        if (kind == QLatin1String("assets")) {
            for (int i = 0; i < 30; ++i)
                data.asset(QStringLiteral("f/%1.txt").arg(i, 2, 10, QLatin1Char('0')), guid('d', i));
        }
        LogCapture log;
        Editor::AssetManagerPrivate manager;
        if (kind == QLatin1String("missing"))
            manager.setRootPath(data.path(QStringLiteral("does/not/exist")));
        else if (kind != QLatin1String("none"))
            manager.setRootPath(data.root());

        QSignalSpy initialized(&manager, &Editor::AssetManagerPrivate::initialized);
        QSignalSpy started(&manager, &Editor::AssetManagerPrivate::pipeline_started);
        manager.init();
        QCOMPARE(initialized.count(), 0);
        QCOMPARE(started.count(), 0);
        QVERIFY(!manager.isInitialized());
        QTRY_COMPARE_WITH_TIMEOUT(initialized.count(), 1, 10000);
        QTest::qWait(20);
        QCOMPARE(initialized.count(), 1);
        QVERIFY(manager.isInitialized());
        QCOMPARE(started.count(), 1);
        QCOMPARE(started.first().at(0).value<as::ActionType>(), as::ActionType::Scan);

        const int warnings = log.count(QStringLiteral("does not exist")) + log.count(QStringLiteral("holds no assets"));
        QCOMPARE(warnings, kind == QLatin1String("assets") ? 0 : 1);
        QCOMPARE(manager.getNumAssets(), kind == QLatin1String("assets") ? 30 : 0);
    }

    void a_rescan_that_replaces_the_first_scan_still_ends_in_initialized()
    {
        DataFolder data;
        for (int i = 0; i < 60; ++i)
            data.asset(QStringLiteral("f/%1.txt").arg(i, 2, 10, QLatin1Char('0')), guid('d', i));
        Editor::AssetManagerPrivate manager;
        manager.setRootPath(data.root());
        QSignalSpy initialized(&manager, &Editor::AssetManagerPrivate::initialized);
        QSignalSpy started(&manager, &Editor::AssetManagerPrivate::pipeline_started);
        QSignalSpy ended(&manager, &Editor::AssetManagerPrivate::pipeline_ended);
        manager.init();
        manager.rescan();
        manager.rescan();
        QTRY_COMPARE_WITH_TIMEOUT(initialized.count(), 1, 10000);
        QTest::qWait(20);
        QCOMPARE(initialized.count(), 1);
        QCOMPARE(ended.count(), started.count());
        QCOMPARE(manager.getNumAssets(), 60);
    }

    void signals_arrive_in_pipeline_order_with_rising_progress()
    {
        DataFolder data;
        for (int i = 0; i < 12; ++i)
            data.asset(QStringLiteral("f/%1.txt").arg(i, 2, 10, QLatin1Char('0')), guid('d', i));
        data.asset(QStringLiteral("cs/bad.cs"), guid('e', 1), QByteArray(), QByteArray(),
                   "class A {}\n  #error broken\n");
        data.asset(QStringLiteral("cs/good.cs"), guid('e', 2), QByteArray(), QByteArray(), "class B {} // #error\n");
        data.asset(QStringLiteral("cs/other.txt"), guid('e', 3), QByteArray(), QByteArray(), "#error\n");
        Editor::AssetManagerPrivate manager;
        manager.setRootPath(data.root());
        const QStringList events = scan(manager);

        QCOMPARE(events.first(), QStringLiteral("started"));
        QCOMPARE(events.last(), QStringLiteral("initialized"));
        QCOMPARE(events[events.size() - 2], QStringLiteral("ended"));
        QCOMPARE(events.filter(QStringLiteral("failed")), QStringList{"failed " + text(guid('e', 1))});
        int last = -1;
        for (const QString &event : events) {
            if (!event.startsWith(QLatin1String("progress")))
                continue;
            const int percent = event.mid(9).toInt();
            QVERIFY2(percent >= last, qPrintable(event));
            last = percent;
        }
        QCOMPARE(last, 100);
        QVERIFY(events.indexOf(QRegularExpression(QStringLiteral("^failed")))
                < events.indexOf(QStringLiteral("ended")));
    }

    void progress_is_reported_while_the_records_are_made()
    {
        if (QThread::idealThreadCount() < 2)
            QSKIP("With one reading thread every record is made before any is taken.");
        DataFolder data;
        const int count = 2 * HELD_FROM;
        for (int i = 0; i < count; ++i)
            data.asset(QStringLiteral("f/%1.txt").arg(i, 4, 10, QLatin1Char('0')), guid(char('a' + i / 500), i % 500));
        Editor::AssetManagerPrivate manager;
        manager.setRootPath(data.root());
        QList<int> values;
        QObject::connect(&manager, &Editor::AssetManagerPrivate::progress,
                         [&values](int percent) { values << percent; });

        g_hold_reading = true;
        Editor::AssetManagerPrivate::setReadHookForTests(holdLateRuns);
        const auto release = qScopeGuard([] {
            g_hold_reading = false;
            Editor::AssetManagerPrivate::setReadHookForTests(nullptr);
        });
        manager.init();
        // The first half of the records is made, the second half is held.
        QTRY_COMPARE_WITH_TIMEOUT(values.isEmpty() ? 0 : values.last(), 50, 10000);
        QTest::qWait(50);
        QCOMPARE(values.last(), 50);
        QVERIFY(!manager.isInitialized());

        g_hold_reading = false;
        QTRY_VERIFY_WITH_TIMEOUT(manager.isInitialized(), 10000);
        QCOMPARE(manager.getNumAssets(), count);
        // Every step once, rising, and 100 again once the records are in.
        QList<int> expected;
        for (int percent = 1; percent <= 100; ++percent)
            expected << percent;
        expected << 100;
        QCOMPARE(values, expected);
    }

    void rescan_reports_the_differences()
    {
        DataFolder data;
        data.asset(QStringLiteral("keep.world"), guid('a', 1));
        data.asset(QStringLiteral("gone.world"), guid('a', 2));
        data.asset(QStringLiteral("old_name.world"), guid('a', 3));
        data.asset(QStringLiteral("edit.txt"), guid('a', 4));
        data.asset(QStringLiteral("saved.world"), guid('a', 6));
        data.asset(QStringLiteral("touched.world"), guid('a', 7));
        Editor::AssetManagerPrivate manager;
        manager.setRootPath(data.root());
        scan(manager);

        QFile::remove(data.path(QStringLiteral("gone.world")));
        QFile::remove(data.path(QStringLiteral("gone.world.meta")));
        QFile::rename(data.path(QStringLiteral("old_name.world")), data.path(QStringLiteral("new_name.world")));
        QFile::rename(data.path(QStringLiteral("old_name.world.meta")),
                      data.path(QStringLiteral("new_name.world.meta")));
        data.asset(QStringLiteral("edit.txt"), guid('a', 4), "excluded=\"1\"");
        data.asset(QStringLiteral("added.world"), guid('a', 5));
        // Saved with new content, the meta file untouched; or only touched.
        data.file(QStringLiteral("saved.world"), "<world><node/></world>\n");
        {
            QFile touched(data.path(QStringLiteral("touched.world")));
            QVERIFY(touched.open(QIODevice::ReadWrite));
            QVERIFY(touched.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                        QFileDevice::FileModificationTime));
        }

        QStringList events;
        connect(&manager, &Editor::AssetManagerPrivate::aboutToBeRemoved, this, [&](const UGUID &g) {
            events << "aboutToBeRemoved " + text(g) + (manager.hasAsset(g) ? " present" : " absent");
        });
        connect(&manager, &Editor::AssetManagerPrivate::removed, this,
                [&](const UGUID &g) { events << "removed " + text(g); });
        connect(&manager, &Editor::AssetManagerPrivate::moved, this,
                [&](const UGUID &g) { events << "moved " + text(g); });
        connect(&manager, &Editor::AssetManagerPrivate::changed, this,
                [&](const UGUID &g) { events << "changed " + text(g); });
        connect(&manager, &Editor::AssetManagerPrivate::added, this,
                [&](const UGUID &g) { events << "added " + text(g); });
        connect(&manager, &Editor::AssetManagerPrivate::end, this, [&] { events << "end"; });
        QSignalSpy initialized(&manager, &Editor::AssetManagerPrivate::initialized);
        scan(manager, false);

        QCOMPARE(events,
                 (QStringList{"aboutToBeRemoved " + text(guid('a', 2)) + " present", "removed " + text(guid('a', 2)),
                              "moved " + text(guid('a', 3)), "changed " + text(guid('a', 4)),
                              "changed " + text(guid('a', 6)), "changed " + text(guid('a', 7)),
                              "added " + text(guid('a', 5)), "end"}));
        QCOMPARE(initialized.count(), 0);
        QVERIFY(manager.asset(guid('a', 4)).isExcluded());
        QCOMPARE(manager.asset(guid('a', 3)).getRelativePath(), QStringLiteral("new_name.world"));
    }

    void queries_from_a_worker_thread_stay_consistent_while_the_gui_thread_rescans()
    {
        DataFolder data;
        for (int i = 0; i < 40; ++i)
            data.asset(QStringLiteral("a/%1.mat").arg(i, 2, 10, QLatin1Char('0')), guid('a', i));
        Editor::AssetManagerPrivate manager;
        manager.setRootPath(data.root());
        scan(manager);
        for (int i = 0; i < 40; ++i)
            data.asset(QStringLiteral("b/%1.mat").arg(i, 2, 10, QLatin1Char('0')), guid('b', i));

        std::atomic<bool> stop{false};
        std::atomic<int> reads{0};
        QFuture<QString> reader = QtConcurrent::run([&]() -> QString {
            while (!stop) {
                const Velmora::Vector<as::Asset> all = manager.assets();
                if (all.size() != 40 && all.size() != 80)
                    return QStringLiteral("saw %1 assets").arg(all.size());
                for (const as::Asset &asset : all) {
                    if (manager.assetGUIDByRuntimeGUID(asset.getRuntime(asset.getNumRuntimes() - 1).getGUID()).isEmpty()
                        && manager.getNumAssets() == all.size())
                        return QStringLiteral("runtime of %1 unknown").arg(asset.getRelativePath());
                }
                ++reads;
            }
            return QString();
        });
        for (int round = 0; round < 3; ++round)
            scan(manager, false);
        QTRY_VERIFY(reads > 5);
        stop = true;
        QCOMPARE(reader.result(), QString());
        QCOMPARE(manager.getNumAssets(), 80);
    }

    void shutdown_joins_the_scan_empties_the_records_and_drops_pending_signals()
    {
        DataFolder data;
        for (int i = 0; i < 50; ++i)
            data.asset(QStringLiteral("f/%1.txt").arg(i, 2, 10, QLatin1Char('0')), guid('d', i));
        Editor::AssetManagerPrivate manager;
        manager.setRootPath(data.root());
        scan(manager);
        QCOMPARE(manager.getNumAssets(), 50);
        manager.addPrepareAction(new as::PrepareActionLandscape);
        QCOMPARE(manager.getNumPrepareActions(), 1);

        QSignalSpy initialized(&manager, &Editor::AssetManagerPrivate::initialized);
        QSignalSpy ended(&manager, &Editor::AssetManagerPrivate::pipeline_ended);
        manager.init();
        manager.shutdown();
        QVERIFY(!manager.isScanning());
        QCOMPARE(manager.getNumAssets(), 0);
        QVERIFY(!manager.hasAsset(guid('d', 1)));
        QCOMPARE(manager.getNumPrepareActions(), 0);
        QTest::qWait(50);
        QCOMPARE(initialized.count(), 0);
        QCOMPARE(ended.count(), 0);
    }

    void the_owner_registers_the_manager_and_clears_the_registry_again()
    {
        QVERIFY(!depr::g.asset_manager);
        {
            Editor::AssetManager owner;
            QCOMPARE(depr::g.asset_manager, owner.get());
            QVERIFY(QMetaType::type("as::Asset") != QMetaType::UnknownType);
            QVERIFY(QMetaType::type("as::ActionType") != QMetaType::UnknownType);
            QVERIFY(QMetaType::type("tbb::JobPtr") != QMetaType::UnknownType);
        }
        QVERIFY(!depr::g.asset_manager);
    }

    void create_dir_stays_inside_the_data_folder()
    {
        DataFolder data;
        Editor::AssetManagerPrivate manager;
        manager.setRootPath(data.root());
        QVERIFY(manager.createDir(data.root() + "levels", QStringLiteral("forest")));
        QVERIFY(QFileInfo(data.path(QStringLiteral("levels/forest"))).isDir());
        QVERIFY(manager.createDir(data.path(QStringLiteral("shots/")), QString()));
        QVERIFY(QFileInfo(data.path(QStringLiteral("shots"))).isDir());
        QVERIFY(!manager.createDir(data.root() + "levels", QStringLiteral("../../outside")));
        QVERIFY(!manager.createDir(data.root() + "..", QStringLiteral("outside")));
        QVERIFY(!QFileInfo(data.root() + "../outside").exists());
    }

    void the_progress_formatter_shows_the_latest_pipeline()
    {
        as::ProgressFormatter formatter;
        QCOMPARE(formatter.prettyMessage(), qMakePair(QString(), QString()));
        formatter.enqueue(as::ActionType::Scan, QStringLiteral("Scanning assets"));
        formatter.setProgress(37);
        QCOMPARE(formatter.progress(), 37);
        QCOMPARE(formatter.prettyMessage().second, QStringLiteral("Scanning assets"));
        formatter.enqueue(as::ActionType::Import, QStringLiteral("Importing a.png"));
        QCOMPARE(formatter.prettyMessage(), qMakePair(QStringLiteral("Importing"), QStringLiteral("Importing a.png")));
        formatter.dequeue(as::ActionType::Import, QStringLiteral("Importing a.png"));
        QCOMPARE(formatter.prettyMessage().second, QStringLiteral("Scanning assets"));
        formatter.setProgress(140);
        QCOMPARE(formatter.progress(), 100);
    }

    void type_names_are_distinct_and_extensions_map_back_to_their_type()
    {
        QSet<QString> names;
        for (int type = AssetType::BEGIN + 1; type < AssetType::SIZE; ++type) {
            const QString name = as::typeToPrettyString(type);
            QVERIFY(!name.isEmpty());
            QVERIFY2(!names.contains(name), qPrintable(name));
            names.insert(name);
            for (const QString &extension : as::getRegisteredExtensions(AssetType(type))) {
                QCOMPARE(extension, extension.toLower());
                QCOMPARE(int(as::typeByExtension(extension)), type);
            }
        }
        QVERIFY(as::typeToPrettyString(AssetType::BEGIN).isEmpty());
        QVERIFY(as::typeToPrettyString(AssetType::SIZE).isEmpty());
        QCOMPARE(as::getRegisteredExtensions(AssetType::IMAGE),
                 (QStringList{"png", "jpg", "jpeg", "tga", "dds", "psd", "exr"}));
        const QStringList all = as::getRegisteredExtensions();
        QVERIFY(all.contains(QStringLiteral("cs")));
        QVERIFY(std::is_sorted(all.begin(), all.end()));
    }
};

QTEST_GUILESS_MAIN(TestAssetManager)
#include "tst_asset_manager.moc"
