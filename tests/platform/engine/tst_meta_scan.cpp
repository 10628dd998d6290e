// The one read of a data folder that the file system and the asset manager
// share: what it lists, what it takes from the meta files, the order of its
// log lines, and when it is still current.

#include "engine_runtime_fixture.h"
#include "thread_refusal.h"

#include "velmora/FileSystem.h"
#include "velmora/MetaScan.h"
#include "velmora/OwnNames.h"
#include "velmora/Xml.h"

#include <QtTest>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstring>
#include <deque>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

using namespace enginetest;

class TestMetaScan : public QObject
{
    Q_OBJECT

private slots:
    void lists_the_indexed_files_and_reads_each_meta_file();
    void lists_hidden_names_that_carry_a_process_id_and_nothing_like_them();
    void a_record_s_guid_reads_as_a_guid_text_does();
    void parse_errors_are_logged_in_path_order_whatever_thread_read_the_file();
    void a_changed_folder_makes_the_read_stale_and_the_file_system_lends_it_once();
    void records_go_when_the_last_holder_lets_go_and_one_was_served_data();
    void records_go_when_the_last_holder_lets_go_and_one_was_served();
    void a_share_taken_while_the_last_one_goes_keeps_the_records();
    void init_keeps_the_records_unless_a_listener_has_served_them();
    void init_indexes_every_file_when_no_thread_can_start();
    void the_index_s_warnings_come_in_path_order_whatever_kind();
    void a_large_read_is_merged_in_path_order_and_indexed_whole();
    void a_large_read_gives_each_file_its_own_record_among_files_without_any();
    void a_record_says_what_the_xml_parser_reads_in_its_meta_file();
    void a_read_ahead_is_taken_for_its_folder_unchanged_and_dropped_otherwise();
};

void TestMetaScan::lists_the_indexed_files_and_reads_each_meta_file()
{
    Installation installation;
    const QByteArray model_meta = "<asset guid=\"" + guid('a', 1)
            + "\" type=\"7\" excluded=\"1\">"
              "<runtime guid=\""
            + guid('b', 1)
            + "\" kind=\"3\" name=\"crate\" ext=\"node\"/>"
              "<import><param name=\"scale\">2</param><mapper name=\"ground\"><file key=\"0_0\">t/a.tile</file>"
              "<file key=\"0_1\">t/b.tile</file></mapper></import></asset>";
    QVERIFY(installation.writeData(QStringLiteral("models/crate.model"), "o\n"));
    QVERIFY(installation.writeData(QStringLiteral("models/crate.model.meta"), model_meta));
    QVERIFY(installation.writeData(QStringLiteral(".runtimes/bb/") + guid('b', 1) + QStringLiteral(".node"), "<n/>"));
    QVERIFY(installation.writeData(QStringLiteral(".runtimes/bb/") + guid('b', 1) + QStringLiteral(".node.meta"),
                                   "<runtime guid=\"" + guid('b', 1) + "\" asset=\"" + guid('a', 1) + "\"/>"));
    QVERIFY(installation.writeAsset(QStringLiteral("sub/.hidden_file.png"), "x", guid('a', 2), 6));
    QVERIFY(installation.writeAsset(QStringLiteral(".tamsel2/tool.json"), "{}", guid('a', 3), 21));
    QVERIFY(installation.writeData(QStringLiteral("plain.txt"), "no meta"));
    QVERIFY(::symlink(qPrintable(installation.dataPath() + QStringLiteral("plain.txt")),
                      qPrintable(installation.dataPath() + QStringLiteral("link.txt")))
            == 0);
    QVERIFY(installation.writeData(QStringLiteral("link.txt.meta"), "<asset guid=\"" + guid('a', 4) + "\"/>"));
    QVERIFY(::symlink(qPrintable(installation.dataPath() + QStringLiteral("models")),
                      qPrintable(installation.dataPath() + QStringLiteral("linked_folder")))
            == 0);

    const auto scan = Velmora::MetaScan::read(installation.dataPath().toStdString());
    const std::vector<std::string> expected_files{".runtimes/bb/" + guid('b', 1).toStdString() + ".node",
                                                  ".runtimes/bb/" + guid('b', 1).toStdString() + ".node.meta",
                                                  "link.txt",
                                                  "link.txt.meta",
                                                  "models/crate.model",
                                                  "models/crate.model.meta",
                                                  "plain.txt",
                                                  "sub/.hidden_file.png",
                                                  "sub/.hidden_file.png.meta"};
    QCOMPARE(scan->files, expected_files);
    QCOMPARE(int(scan->metas.size()), 4);

    const Velmora::MetaRecord &runtime = scan->metas[0];
    QVERIFY(!runtime.visible);
    QCOMPARE(std::string(runtime.root()), std::string("runtime"));
    QCOMPARE(std::string(runtime.owner()), guid('a', 1).toStdString());

    const Velmora::MetaRecord &link = scan->metas[1];
    QVERIFY(link.visible && link.link && link.loaded);
    QCOMPARE(std::string(link.path()), std::string("link.txt"));
    QVERIFY(link.owner().empty() && link.typeText().empty() && !link.has_type);
    QVERIFY(link.runtimes().empty() && link.params().empty() && link.mappers().empty());

    const Velmora::MetaRecord &model = scan->metas[2];
    QCOMPARE(std::string(model.path()), std::string("models/crate.model"));
    QVERIFY(model.visible && !model.link && model.loaded);
    QCOMPARE(std::string(model.root()), std::string("asset"));
    QCOMPARE(std::string(model.guid()), guid('a', 1).toStdString());
    // Read as C strings by the file system and the asset manager.
    QCOMPARE(std::strlen(model.guid().data()), model.guid().size());
    QCOMPARE(std::strlen(model.path().data()), model.path().size());
    QCOMPARE(std::string(model.typeText()), std::string("7"));
    QVERIFY(model.has_type);
    QCOMPARE(model.type, 7);
    QCOMPARE(model.excluded, 1);
    QCOMPARE(int(model.runtimes().size()), 1);
    QCOMPARE(model.runtimes()[0].guid, guid('b', 1).toStdString());
    QCOMPARE(model.runtimes()[0].kind, 3);
    QCOMPARE(model.runtimes()[0].ext, std::string("node"));
    QCOMPARE(int(model.params().size()), 1);
    QCOMPARE(model.params()[0].second, std::string("2"));
    QCOMPARE(int(model.mappers().size()), 1);
    QCOMPARE(model.mappers()[0].files[1].second, std::string("t/b.tile"));

    QVERIFY(!scan->metas[3].visible); // sub/.hidden_file.png
}

void TestMetaScan::lists_hidden_names_that_carry_a_process_id_and_nothing_like_them()
{
    Installation installation;
    const QString data = installation.dataPath();
    QVERIFY(installation.writeData(QStringLiteral("worlds/.courtyard.world.velmora-tmp-4242-0"), "half"));
    QVERIFY(installation.writeData(QStringLiteral(".top.txt.velmora-tmp-17-12"), "x"));
    QVERIFY(installation.writeData(QStringLiteral("imp/.lamp_alb.tga.velmora-keep-17-3"), "x"));
    QVERIFY(installation.writeData(QStringLiteral("imp/.impostor.velmora-run-17-4"), "x"));
    QVERIFY(QDir().mkpath(data + QStringLiteral("shots/.velmora-frame-4242-a1B2c3")));
    QVERIFY(QDir().mkpath(data + QStringLiteral(".runtimes/aa")));
    QVERIFY(installation.writeData(QStringLiteral(".runtimes/aa/.x.meta.velmora-tmp-5-1"), "x"));
    // Alike but not ours, or not plain: none of them is listed. The older
    // forms of our names are among them: users make such names too.
    for (const char *name : {"worlds/courtyard.world.velmora-tmp-4242-0", "worlds/.courtyard.world.velmora-tmp-4242",
                             "worlds/.courtyard.world.velmora-tmp-42a-0", "worlds/.courtyard.world.velmora-tmp-4242-0x",
                             "worlds/.velmora-tmp-4242-0", "worlds/.courtyard.world.velmora-tmp-4242-0.bak",
                             "worlds/.courtyard.world.velmora-temp-4242-0", "worlds/.courtyard.world.velmora-tmp-0-1",
                             "worlds/.courtyard.world.velmora-tmp-99999999999-1", "worlds/.velmora-frame-4242-abc",
                             "worlds/.courtyard.world.4242-0.tmp", ".budget.2019-04.tmp", ".report.2023-11.tmp"})
        QVERIFY(installation.writeData(QString::fromLatin1(name), "x"));
    for (const char *name :
         {"shots/.velmora-frame--abc", "shots/.velmora-frame-12-", "shots/.velmora-frame-12-a.b",
          "shots/.velmora-frame12-a", "shots/.frame_12-a", ".hidden/.velmora-frame-12-a", "shots/.x.velmora-keep-12-1"})
        QVERIFY(QDir().mkpath(data + QString::fromLatin1(name)));
    QVERIFY(installation.writeData(QStringLiteral(".hidden/.inner.velmora-tmp-9-9"), "x"));
    QVERIFY(::symlink(qPrintable(data + QStringLiteral("shots/.velmora-frame-4242-a1B2c3")),
                      qPrintable(data + QStringLiteral("shots/.velmora-frame-4243-link")))
            == 0);
    QVERIFY(::symlink(qPrintable(data + QStringLiteral(".top.txt.velmora-tmp-17-12")),
                      qPrintable(data + QStringLiteral(".linked.txt.velmora-tmp-17-13")))
            == 0);

    // Ours for a name of 255 bytes fit, and carry its start and checksum.
    const std::string longest = std::string(251, 'l') + ".tga";
    std::vector<std::string> expected{
            ".runtimes/aa/.x.meta.velmora-tmp-5-1", ".top.txt.velmora-tmp-17-12",
            "imp/.impostor.velmora-run-17-4",       "imp/.lamp_alb.tga.velmora-keep-17-3",
            "shots/.velmora-frame-4242-a1B2c3/",    "worlds/.courtyard.world.velmora-tmp-4242-0"};
    for (const auto kind : {Velmora::OwnNames::TEMPORARY, Velmora::OwnNames::KEPT}) {
        const std::string own = Velmora::OwnNames::make(kind, longest);
        QVERIFY(own.size() <= 255 && Velmora::OwnNames::belongsTo(own, longest));
        QVERIFY(!Velmora::OwnNames::belongsTo(own, std::string(251, 'l') + ".png"));
        QCOMPARE(Velmora::OwnNames::ownerName(own), std::string());
        QVERIFY(installation.writeData(QStringLiteral("long/") + QString::fromStdString(own), "x"));
        expected.insert(expected.begin() + 2, "long/" + own);
    }
    QVERIFY(installation.writeData(QStringLiteral("long/") + QString::fromStdString(longest), "x"));

    const auto scan = Velmora::MetaScan::read(data.toStdString());
    std::sort(expected.begin(), expected.end());
    QCOMPARE(scan->marked_leftovers, expected);
}

void TestMetaScan::parse_errors_are_logged_in_path_order_whatever_thread_read_the_file()
{
    Installation installation;
    // Enough files for every reading thread to get some.
    QStringList broken;
    for (int i = 0; i < 600; ++i) {
        const QString name = QStringLiteral("f/%1.png").arg(i, 4, 10, QLatin1Char('0'));
        QVERIFY(installation.writeData(name, "x"));
        const bool bad = i % 37 == 5;
        QVERIFY(installation.writeData(name + QStringLiteral(".meta"),
                                       bad ? QByteArray("<asset guid=") : "<asset guid=\"" + guid('a', i) + "\"/>"));
        if (bad)
            broken << name;
    }
    LogCapture log;
    const auto scan = Velmora::MetaScan::read(installation.dataPath().toStdString());
    QCOMPARE(int(scan->metas.size()), 600);
    QStringList reported;
    for (const QString &line : log.text().split(QLatin1Char('\n'))) {
        for (const QString &name : broken) {
            if (line.contains(name + QStringLiteral(".meta")))
                reported << name;
        }
    }
    QCOMPARE(reported, broken);
    int loaded = 0;
    QStringList unloaded;
    for (const Velmora::MetaRecord &record : scan->metas) {
        loaded += record.loaded ? 1 : 0;
        if (!record.loaded) {
            QVERIFY(record.guid().empty() && record.root().empty());
            unloaded << QString::fromStdString(std::string(record.path()));
        }
    }
    QCOMPARE(loaded, 600 - broken.size());
    QCOMPARE(unloaded, broken);
}

void TestMetaScan::a_changed_folder_makes_the_read_stale_and_the_file_system_lends_it_once()
{
    Installation installation;
    QVERIFY(installation.writeAsset(QStringLiteral("a/one.png"), "x", guid('a', 1), 6));
    QVERIFY(installation.start());
    const QString data = installation.dataPath();
    const auto scan = Velmora::MetaScan::takeFromFileSystem(data.toUtf8().constData());
    QVERIFY(scan);
    QVERIFY(scan->isCurrent());
    QVERIFY(!Velmora::MetaScan::takeFromFileSystem(data.toUtf8().constData()));

    // Rewriting a file in place leaves its folder as it was; adding one
    // does not.
    QVERIFY(installation.writeData(QStringLiteral("a/one.png"), "changed"));
    QVERIFY(scan->isCurrent());
    QVERIFY(installation.writeData(QStringLiteral("a/two.png"), "x"));
    QVERIFY(!scan->isCurrent());

    // A change of the file system's index drops the read it kept.
    installation.stop();
    QVERIFY(installation.start());
    QVERIFY(Velmora::FileSystem::addFile("a/two.png"));
    QVERIFY(!Velmora::MetaScan::takeFromFileSystem(data.toUtf8().constData()));
    installation.stop();
    QVERIFY(installation.start());
    QVERIFY(!Velmora::MetaScan::takeFromFileSystem("/some/other/data/"));
}

void TestMetaScan::records_go_when_the_last_holder_lets_go_and_one_was_served_data()
{
    // Steps: "h" takes a share, "s" lets go of the oldest share having
    // served, "r" lets go of it without; "c" copies the newest share.
    QTest::addColumn<QString>("steps");
    QTest::addColumn<bool>("released");
    QTest::newRow("served first, the other last") << QStringLiteral("hhsr") << true;
    QTest::newRow("served last") << QStringLiteral("hhrs") << true;
    QTest::newRow("nobody served") << QStringLiteral("hhrr") << false;
    QTest::newRow("one still holds") << QStringLiteral("hhs") << false;
    QTest::newRow("a holder that never lets go") << QStringLiteral("hhhsr") << false;
    QTest::newRow("a copy holds them too") << QStringLiteral("hcs") << false;
    QTest::newRow("the copy let go") << QStringLiteral("hcsr") << true;
    QTest::newRow("a share taken after the last went") << QStringLiteral("hrhs") << true;
}

void TestMetaScan::records_go_when_the_last_holder_lets_go_and_one_was_served()
{
    QFETCH(QString, steps);
    QFETCH(bool, released);
    Installation installation;
    QVERIFY(installation.writeAsset(QStringLiteral("a/one.png"), "x", guid('a', 1), 6));
    const auto scan = Velmora::MetaScan::read(installation.dataPath().toStdString());
    QCOMPARE(int(scan->metas.size()), 1);
    std::deque<Velmora::MetaRecordsShare> shares;
    for (const QChar step : steps) {
        if (step == QLatin1Char('h')) {
            shares.push_back(scan->shareRecords());
            QVERIFY(shares.back());
        } else if (step == QLatin1Char('c')) {
            shares.push_back(shares.back());
        } else {
            if (step == QLatin1Char('s'))
                shares.front().serve();
            shares.pop_front();
        }
    }
    QCOMPARE(scan->recordsReleased(), released);
    QCOMPARE(scan->metas.empty(), released);
    // Once they are gone, nobody gets a share of them.
    QCOMPARE(!scan->shareRecords(), released);
    QCOMPARE(int(scan->files.size()), 2); // the listing is the file system's to drop
}

void TestMetaScan::a_share_taken_while_the_last_one_goes_keeps_the_records()
{
    // One thread lets go of the last share, served, while another takes a
    // new one: whoever wins, a reader with a share reads whole records, and
    // the records go once both are done.
    Installation installation;
    for (int i = 0; i < 32; ++i)
        QVERIFY(installation.writeAsset(QStringLiteral("r/%1.png").arg(i), "x", guid('a', i), 6));
    const std::string data = installation.dataPath().toStdString();
    int shared_late = 0;
    for (int round = 0; round < 200; ++round) {
        const auto scan = Velmora::MetaScan::read(data);
        Velmora::MetaRecordsShare first = scan->shareRecords();
        first.serve();
        std::atomic<bool> go{false};
        std::thread last([&] {
            while (!go) {}
            first.reset();
        });
        go = true;
        Velmora::MetaRecordsShare late = scan->shareRecords();
        if (late) {
            ++shared_late;
            QCOMPARE(int(scan->metas.size()), 32);
            for (const Velmora::MetaRecord &record : scan->metas)
                QVERIFY(!record.path().empty() && int(record.guid().size()) == guid('a', 0).size());
        }
        last.join();
        QCOMPARE(scan->recordsReleased(), !late);
        late.reset();
        QVERIFY(scan->recordsReleased());
    }
    QVERIFY(shared_late > 0);
}

void TestMetaScan::init_keeps_the_records_unless_a_listener_has_served_them()
{
    Installation installation;
    for (int i = 0; i < 300; ++i)
        QVERIFY(installation.writeAsset(QStringLiteral("f/%1.png").arg(i), "x", guid('a', i), 6));
    const QByteArray data = installation.dataPath().toUtf8();

    // Nobody else reads the records: they stay for whoever takes the read
    // (the asset manager then makes its first scan of them). The listing
    // goes once the index is built.
    QVERIFY(Velmora::FileSystem::init(data.constData()));
    auto kept = Velmora::MetaScan::takeFromFileSystem(data.constData());
    QVERIFY(kept);
    Velmora::FileSystem::shutdown(); // waits for the file system's letting go
    QVERIFY(!kept->recordsReleased());
    QCOMPARE(int(kept->metas.size()), 300);
    QVERIFY(kept->files.empty());

    // A listener that holds them and lets go, served, on a thread of its own
    // (whichever of the two lets go last drops them). The file system's
    // index is whole all the same.
    std::thread reader;
    std::atomic<int> read_records{0};
    const int id = Velmora::MetaScan::addReadListener([&](const std::shared_ptr<const Velmora::MetaScan> &scan) {
        reader = std::thread([scan, share = scan->shareRecords(), &read_records]() mutable {
            read_records = int(scan->metas.size());
            share.serve();
            share.reset();
        });
    });
    QVERIFY(Velmora::FileSystem::init(data.constData()));
    Velmora::MetaScan::removeReadListener(id);
    reader.join();
    QCOMPARE(read_records.load(), 300);
    const auto served = Velmora::MetaScan::takeFromFileSystem(data.constData());
    QVERIFY(served);
    QTRY_VERIFY(served->recordsReleased());
    QVERIFY(served->metas.empty());
    QCOMPARE(Velmora::FileSystem::getGUID("f/7.png"), Velmora::UGUID(guid('a', 7).constData()));
    QVERIFY(Velmora::FileSystemAssets::isAsset(Velmora::UGUID(guid('a', 299).constData())));
    Velmora::FileSystem::shutdown();
}

void TestMetaScan::init_indexes_every_file_when_no_thread_can_start()
{
    // A process at its thread limit: init does the work of every thread it
    // cannot start itself.
    Installation installation;
    for (int i = 0; i < 300; ++i)
        QVERIFY(installation.writeAsset(QStringLiteral("f/%1.png").arg(i), "x", guid('a', i), 6));
    const QByteArray data = installation.dataPath().toUtf8();
    {
        const test::ThreadRefusal refusal;
        QVERIFY(refusal.isActive());
        QVERIFY_EXCEPTION_THROWN(std::thread([] {}).join(), std::system_error);
        QVERIFY(Velmora::FileSystem::init(data.constData()));
    }
    for (const int i : {0, 7, 299}) {
        QCOMPARE(Velmora::FileSystem::getGUID(QStringLiteral("f/%1.png").arg(i).toUtf8().constData()),
                 Velmora::UGUID(guid('a', i).constData()));
        QVERIFY(Velmora::FileSystemAssets::isAsset(Velmora::UGUID(guid('a', i).constData())));
    }
    Velmora::FileSystem::shutdown();
}

void TestMetaScan::the_index_s_warnings_come_in_path_order_whatever_kind()
{
    // A wrong root, a broken GUID and a GUID taken by an earlier file, mixed:
    // the file system names the files in path order.
    Installation installation;
    QStringList expected;
    for (int i = 0; i < 40; ++i) {
        const QString name = QStringLiteral("w/%1.png").arg(i, 2, 10, QLatin1Char('0'));
        QVERIFY(installation.writeData(name, "x"));
        QByteArray meta = "<asset guid=\"" + guid('a', i) + "\"/>";
        if (i % 7 == 3)
            meta = "<thing guid=\"" + guid('a', i) + "\"/>";
        else if (i % 7 == 5)
            meta = "<asset guid=\"nonsense\"/>";
        else if (i % 7 == 6)
            meta = "<asset guid=\"" + guid('a', 0) + "\"/>";
        QVERIFY(installation.writeData(name + QStringLiteral(".meta"), meta));
        if (i % 7 >= 3 && i % 7 != 4)
            expected << name;
    }
    LogCapture log;
    QVERIFY(Velmora::FileSystem::init(installation.dataPath().toUtf8().constData()));
    Velmora::FileSystem::shutdown();
    QStringList named;
    for (const QString &line : log.lines(1)) {
        const int at = line.indexOf(QStringLiteral("w/"));
        if (line.startsWith(QStringLiteral("FileSystem")) && at >= 0)
            named << line.mid(at, 8);
    }
    QCOMPARE(named, expected);
}

void TestMetaScan::a_large_read_is_merged_in_path_order_and_indexed_whole()
{
    // Enough files for the read to be merged, and the index's facts taken,
    // on several threads: files sorting before, between and after the
    // subfolders of their folder, and a few meta files the index warns of.
    Installation installation;
    const QStringList folders{QString(), QStringLiteral("m/"), QStringLiteral("m/a/"), QStringLiteral("m/b/"),
                              QStringLiteral("n/")};
    const QStringList prefixes{QStringLiteral("Z"), QStringLiteral("a0"), QStringLiteral("c")};
    std::vector<std::string> expected_files;
    std::vector<std::pair<QByteArray, QByteArray>> claims; // path, GUID
    QStringList warned;
    for (int i = 0; i < 4200; ++i) {
        const QString name = folders[i % folders.size()] + prefixes[i / 7 % prefixes.size()]
                + QStringLiteral("%1.png").arg(i, 4, 10, QLatin1Char('0'));
        const QByteArray id = guid(char('a' + i / 1000), i % 1000);
        QByteArray meta = "<asset guid=\"" + id + "\"/>";
        if (i % 500 == 17)
            meta = "<thing guid=\"" + id + "\"/>";
        QVERIFY(installation.writeData(name, "x"));
        QVERIFY(installation.writeData(name + QStringLiteral(".meta"), meta));
        expected_files.push_back(name.toStdString());
        expected_files.push_back(name.toStdString() + ".meta");
        if (i % 500 == 17)
            warned << name;
        else
            claims.emplace_back(name.toUtf8(), id);
    }
    std::sort(expected_files.begin(), expected_files.end());
    std::sort(warned.begin(), warned.end(), [](const QString &a, const QString &b) { return a.toUtf8() < b.toUtf8(); });

    const auto scan = Velmora::MetaScan::read(installation.dataPath().toStdString());
    QCOMPARE(scan->files, expected_files);
    QCOMPARE(int(scan->metas.size()), 4200);
    for (size_t i = 0; i < scan->metas.size(); ++i) {
        QCOMPARE(std::string(scan->metas[i].path()), expected_files[2 * i]);
        QVERIFY(scan->metas[i].loaded);
    }

    LogCapture log;
    QVERIFY(Velmora::FileSystem::init(installation.dataPath().toUtf8().constData()));
    QStringList named;
    for (const QString &line : log.lines(1))
        if (line.startsWith(QStringLiteral("FileSystem")) && line.contains(QStringLiteral("<thing>")))
            named << line.mid(line.indexOf(QLatin1Char('"')) + 1).section(QStringLiteral(".meta"), 0, 0);
    QCOMPARE(named, warned);
    for (const auto &claim : claims)
        QCOMPARE(Velmora::FileSystem::getGUID(claim.first.constData()), Velmora::UGUID(claim.second.constData()));
    Velmora::FileSystem::shutdown();
}

void TestMetaScan::a_large_read_gives_each_file_its_own_record_among_files_without_any()
{
    // Files with and without a meta file, meta files without their file and
    // meta files of files named like meta files, sorting before, between
    // and after the subfolders of their folder: a file that takes a
    // neighbour's record gets a GUID that is not its own.
    Installation installation;
    const QStringList folders{QString(), QStringLiteral("p/"), QStringLiteral("p/q/"), QStringLiteral("r/")};
    const QStringList prefixes{QStringLiteral("a"), QStringLiteral("q"), QStringLiteral("z")};
    std::vector<std::pair<QByteArray, QByteArray>> assets; // path, GUID
    QList<QByteArray> plain;
    int indexed = 0;
    for (int i = 0; i < 6000; ++i) {
        const QString name = folders[i % folders.size()] + prefixes[i / 11 % prefixes.size()]
                + QStringLiteral("%1.png").arg(i, 4, 10, QLatin1Char('0'));
        const QByteArray id = guid(char('a' + i / 1000), i % 1000);
        if (i % 7 == 3) {
            // A meta file of its own, with a meta file beside it.
            QVERIFY(installation.writeData(name + QStringLiteral(".meta"), "<asset guid=\"" + id + "\"/>"));
            QVERIFY(installation.writeData(name + QStringLiteral(".meta.meta"), "<asset guid=\"" + id + "\"/>"));
            continue;
        }
        QVERIFY(installation.writeData(name, "x"));
        ++indexed;
        if (i % 5 == 1) {
            QVERIFY(installation.writeData(name + QStringLiteral("x.meta"), "<asset guid=\"" + id + "\"/>"));
            plain << name.toUtf8();
        } else {
            QVERIFY(installation.writeData(name + QStringLiteral(".meta"), "<asset guid=\"" + id + "\"/>"));
            assets.emplace_back(name.toUtf8(), id);
        }
    }

    const auto scan = Velmora::MetaScan::read(installation.dataPath().toStdString());
    QCOMPARE(scan->file_records.size(), scan->files.size());
    size_t next_record = 0;
    for (size_t f = 0; f < scan->files.size(); ++f) {
        const std::string &path = scan->files[f];
        const uint32_t record = scan->file_records[f];
        const bool meta = path.size() > 5 && path.compare(path.size() - 5, 5, ".meta") == 0;
        QCOMPARE(record == Velmora::MetaScan::META_FILE, meta);
        if (meta)
            continue;
        const bool has_meta = std::binary_search(scan->files.begin(), scan->files.end(), path + ".meta");
        QCOMPARE(record != Velmora::MetaScan::NO_RECORD, has_meta);
        if (has_meta) {
            QCOMPARE(size_t(record), next_record++);
            QCOMPARE(std::string(scan->metas[record].path()), path);
        }
    }
    QCOMPARE(next_record, scan->metas.size());

    Velmora::MetaScan::readAhead(installation.dataPath().toStdString());
    QVERIFY(Velmora::FileSystem::init(installation.dataPath().toUtf8().constData()));
    QCOMPARE(Velmora::FileSystem::getNumFiles(), indexed);
    for (const auto &asset : assets) {
        const Velmora::UGUID id = Velmora::FileSystem::getGUID(asset.first.constData());
        QCOMPARE(id, Velmora::UGUID(asset.second.constData()));
        QVERIFY(Velmora::FileSystemAssets::isAsset(id));
    }
    for (const QByteArray &path : plain)
        QVERIFY(!Velmora::FileSystemAssets::isAsset(Velmora::FileSystem::getGUID(path.constData())));
    Velmora::FileSystem::shutdown();
}

void TestMetaScan::a_record_says_what_the_xml_parser_reads_in_its_meta_file()
{
    // Meta files as the editor writes them and as people and other tools
    // may: each record says what Xml reads in the same file.
    const QByteArray id = guid('a', 1);
    const QList<QByteArray> texts{
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<asset version=\"1\" guid=\"" + id
                    + "\" type=\"1\" excluded=\"0\"/>\n",
            "<asset guid=\"" + id + "\"/>",
            "<asset guid='" + id + "' type='7' asset=\"it's\"/>",
            "  \r\n<asset  guid=\"" + id + "\"\r\n   type=\" 12 \" excluded=\"1 \" />  \n",
            "<asset guid=\"" + id + "\" type=\"&#51;\" asset=\"a&amp;b\"/>",
            "<asset guid=\"" + id + "\" asset=\"a\tb\r\nc\"/>",
            "<asset guid=\"" + id + "\" guid=\"" + guid('b', 2) + "\"/>",
            "<asset guid=\"" + id + "\"><runtime guid=\"" + guid('b', 3) + "\" kind=\"2\"/></asset>",
            "<!-- made by hand --><asset guid=\"" + id + "\"/>",
            "<asset guid=\"" + id + "\"",
            "<asset guid=\"" + id + "\" type=\"x7\" excluded=\"99999999999\"/>",
            "<asset guid=\"" + id + "\" type=\"\"/>",
            "<asset/>",
            "<runtime guid=\"" + id + "\" asset=\"" + guid('b', 4) + "\"/>",
            "<asset guid=\"" + id + "\"></asset>",
            "<asset my-note=\"1\" x.y=\"2\" guid=\"" + id + "\"/>",
            "<asset guid=\"" + id + "\"type=\"1\"/>",
            "<asset guid = \"" + id + "\" type= \"5\"/>",
            "<asset guid=\"" + id + "\" asset=\"a>b<c\"/>",
            "<asset guid=\"" + id + "\" asset=\"\xc3\xa9t\xc3\xa9\"/>",
            "<?xml version=\"1.0\"?>",
            "<?xml-stylesheet href=\"x\"?><asset guid=\"" + id + "\"/>",
            "<?xml version=\"1.0\"?><asset guid=\"" + id + "\"/><other/>",
            "\xef\xbb\xbf<asset guid=\"" + id + "\" type=\"2\"/>",
            "<asset a=\"1\" b=\"2\" c=\"3\" d=\"4\" e=\"5\" f=\"6\" g=\"7\" h=\"8\" guid=\"" + id + "\"/>",
            "<asset guid=\"" + id + "\" />\n<!-- after -->\n",
            "<Asset GUID=\"" + id + "\" Type=\"3\"/>",
            "<asset\tguid=\"" + id + "\"\ttype=\"-4\"/>",
            "",
            "not xml",
    };
    Installation installation;
    for (int i = 0; i < texts.size(); ++i) {
        const QString name = QStringLiteral("m%1.png").arg(i, 2, 10, QLatin1Char('0'));
        QVERIFY(installation.writeData(name, "x"));
        QVERIFY(installation.writeData(name + QStringLiteral(".meta"), texts[i]));
    }

    const auto scan = Velmora::MetaScan::read(installation.dataPath().toStdString());
    QCOMPARE(scan->metas.size(), size_t(texts.size()));
    for (const Velmora::MetaRecord &record : scan->metas) {
        const QByteArray path = installation.dataPath().toUtf8() + QByteArray(record.path().data()) + ".meta";
        Velmora::Xml xml;
        const bool loaded = xml.load(path.constData());
        QCOMPARE(record.loaded, loaded);
        if (!loaded)
            continue;
        QCOMPARE(std::string(record.root()), std::string(xml.getName()));
        QCOMPARE(std::string(record.guid()), std::string(xml.getArg("guid")));
        QCOMPARE(std::string(record.owner()), std::string(xml.getArg("asset")));
        QCOMPARE(std::string(record.typeText()), std::string(xml.getArg("type")));
        QCOMPARE(record.has_type, xml.isArg("type"));
        QCOMPARE(record.type, xml.getIntArg("type", 0));
        QCOMPARE(record.excluded, xml.getIntArg("excluded", 0));
        QCOMPARE(int(record.runtimes().size()), xml.getNumChildren());
    }
}

void TestMetaScan::a_read_ahead_is_taken_for_its_folder_unchanged_and_dropped_otherwise()
{
    Installation installation;
    QVERIFY(installation.writeAsset(QStringLiteral("a/one.png"), "x", guid('a', 1), 6));
    QVERIFY(installation.writeData(QStringLiteral("a/two.png"), "x"));
    QVERIFY(installation.writeData(QStringLiteral("a/two.png.meta"), "<asset guid="));
    const std::string data = installation.dataPath().toStdString();
    const QString one_meta = QStringLiteral("a/one.png.meta");
    const auto rewriteOne = [&](int number) {
        // In place: the folder stays as it was.
        return installation.writeData(one_meta, "<asset guid=\"" + guid('a', number) + "\" type=\"6\"/>");
    };
    const auto guidOfOne = [](const std::shared_ptr<Velmora::MetaScan> &scan) {
        return scan->metas.empty() ? std::string() : std::string(scan->metas[0].guid());
    };
    const auto errorsOfTwo = [](const LogCapture &log) { return log.count(QStringLiteral("two.png.meta")); };

    // Taken: what was read ahead (the file rewritten since is not read
    // again), its parse error written by the read that takes it, once.
    {
        LogCapture log;
        Velmora::MetaScan::readAhead(data);
        Velmora::MetaScan::waitReadAhead();
        QCOMPARE(errorsOfTwo(log), 0);
        QVERIFY(rewriteOne(2));
        const auto scan = Velmora::MetaScan::read(data);
        QCOMPARE(guidOfOne(scan), guid('a', 1).toStdString());
        QCOMPARE(errorsOfTwo(log), 1);
        // Taken once: the next read reads.
        QCOMPARE(guidOfOne(Velmora::MetaScan::read(data)), guid('a', 2).toStdString());
    }
    // A folder changed since: read again, the dropped read's lines never
    // written.
    {
        Velmora::MetaScan::readAhead(data);
        Velmora::MetaScan::waitReadAhead();
        QVERIFY(rewriteOne(3));
        QVERIFY(installation.writeData(QStringLiteral("a/three.png"), "x"));
        LogCapture log;
        const auto scan = Velmora::MetaScan::read(data);
        QCOMPARE(guidOfOne(scan), guid('a', 3).toStdString());
        QVERIFY(std::count(scan->files.begin(), scan->files.end(), "a/three.png") == 1);
        QCOMPARE(errorsOfTwo(log), 1);
    }
    // Another folder: read as it is, and the read ahead is gone.
    {
        Installation other;
        QVERIFY(other.writeData(QStringLiteral("b/x.png"), "x"));
        Velmora::MetaScan::readAhead(other.dataPath().toStdString());
        Velmora::MetaScan::waitReadAhead();
        QVERIFY(rewriteOne(4));
        QCOMPARE(guidOfOne(Velmora::MetaScan::read(data)), guid('a', 4).toStdString());
        QVERIFY(rewriteOne(5));
        QCOMPARE(guidOfOne(Velmora::MetaScan::read(data)), guid('a', 5).toStdString());
    }
    // A program that ends before its engine reads: the read is joined
    // (a thread left running would end the process at the next read ahead)
    // and dropped, its lines never written.
    {
        LogCapture log;
        Velmora::MetaScan::readAhead(data);
        Velmora::MetaScan::dropReadAhead();
        QCOMPARE(errorsOfTwo(log), 0);
        QVERIFY(rewriteOne(6));
        QCOMPARE(guidOfOne(Velmora::MetaScan::read(data)), guid('a', 6).toStdString());
    }
    // Taken while still reading (the taking thread reads too): the same as
    // a read of its own, parse errors in the same order.
    {
        for (int i = 0; i < 900; ++i) {
            const QString name = QStringLiteral("m%1/%2.png").arg(i % 7).arg(i, 4, 10, QLatin1Char('0'));
            QVERIFY(installation.writeData(name, "x"));
            QVERIFY(installation.writeData(name + QStringLiteral(".meta"),
                                           i % 41 == 3 ? QByteArray("<asset guid=")
                                                       : "<asset guid=\"" + guid('c', i) + "\"/>"));
        }
        const auto guids = [](const std::shared_ptr<Velmora::MetaScan> &scan) {
            std::vector<std::string> all;
            for (const Velmora::MetaRecord &record : scan->metas)
                all.push_back(std::string(record.path()) + " " + std::string(record.guid()));
            return all;
        };
        LogCapture ahead_log;
        Velmora::MetaScan::readAhead(data);
        const auto taken = Velmora::MetaScan::read(data);
        const QStringList ahead_lines = ahead_log.lines();
        LogCapture own_log;
        const auto own = Velmora::MetaScan::read(data);
        QCOMPARE(taken->files, own->files);
        QCOMPARE(guids(taken), guids(own));
        QCOMPARE(ahead_lines, own_log.lines());
        QCOMPARE(ahead_lines.size(), 23); // 22 broken and two.png.meta
    }
}

void TestMetaScan::a_record_s_guid_reads_as_a_guid_text_does()
{
    const std::string digits = "0123456789abcdef0123456789abcdef01234567";
    std::string upper = digits;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](char c) { return char(std::toupper(c)); });
    std::vector<std::string> texts{digits,
                                   upper,
                                   "guid://" + digits,
                                   "GUID://" + digits,
                                   "guid://guid://" + digits,
                                   digits.substr(1),
                                   digits + "0",
                                   "",
                                   "guid://",
                                   std::string(40, '0'),
                                   "A" + digits.substr(1),
                                   "a" + upper.substr(1),
                                   digits.substr(0, 39) + "g",
                                   digits.substr(0, 20) + " " + digits.substr(21),
                                   digits.substr(0, 39) + "\xff"};
    for (int c = 1; c < 256; ++c)
        texts.push_back(digits.substr(0, 17) + char(c) + digits.substr(18));
    for (const std::string &text : texts) {
        Velmora::MetaRecord record;
        record.setTexts("a.png", "asset", text, std::string_view(), std::string_view());
        Velmora::UGUID expected(Velmora::UGUID::fromPath("x"));
        Velmora::UGUID read(Velmora::UGUID::fromPath("y"));
        const bool expected_ok = expected.setString(text.c_str());
        QCOMPARE(record.guidValue(read), expected_ok);
        QVERIFY2(read == expected, text.c_str());
    }
}

QTEST_GUILESS_MAIN(TestMetaScan)
#include "tst_meta_scan.moc"
