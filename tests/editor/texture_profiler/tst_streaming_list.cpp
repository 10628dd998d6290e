#include "profiler_fixture.h"

#include "editor/texture_profiler/data/log_parser.h"
#include "editor/texture_profiler/data/textures_list.h"
#include "editor/texture_profiler/model/textures_filter_proxy_model.h"
#include "editor/texture_profiler/model/textures_model.h"

#include <velmora/String.h>

#include <QAbstractItemModelTester>
#include <QThread>

using namespace proftest;

namespace {

QString memory(uint64_t bytes)
{
    return QString::fromUtf8(Velmora::String::memory(bytes).get());
}

// Display texts of one column of a model, top to bottom.
QStringList column(const QAbstractItemModel &model, int column)
{
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row)
        texts << model.index(row, column).data().toString();
    return texts;
}

} // namespace

class tst_StreamingList : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void a_table_line_becomes_a_texture_of_its_asset_or_file_data();
    void a_table_line_becomes_a_texture_of_its_asset_or_file();
    void a_malformed_line_is_skipped_with_a_warning_data();
    void a_malformed_line_is_skipped_with_a_warning();
    void only_plain_table_lines_on_the_parsers_thread_are_read();
    void the_model_shows_engine_sizes_and_carries_asset_guids();
    void the_filter_hides_core_and_unloaded_textures_data();
    void the_filter_hides_core_and_unloaded_textures();
    void sorting_compares_bytes_and_pixels_not_texts_data();
    void sorting_compares_bytes_and_pixels_not_texts();

private:
    QString outsidePath() const { return QDir::cleanPath(fixture_->dataPath() + QStringLiteral("/../outside.png")); }

    ProfilerFixture *fixture_ = nullptr;
    tprof::TexturesList *list_ = nullptr;
};

void tst_StreamingList::initTestCase()
{
    fixture_ = new ProfilerFixture;
    QVERIFY(fixture_->start());
    list_ = new tprof::TexturesList(fixture_->assets());
    // A picture beside the data folder, which a listing must not reach.
    QFile outside(outsidePath());
    QVERIFY(outside.open(QIODevice::WriteOnly) && outside.write(png(2, 2)) > 0);
}

void tst_StreamingList::cleanupTestCase()
{
    delete list_;
    delete fixture_;
}

void tst_StreamingList::init()
{
    list_->clear();
}

void tst_StreamingList::a_table_line_becomes_a_texture_of_its_asset_or_file_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<Velmora::UGUID>("guid");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("format");
    QTest::addColumn<quint64>("ram");
    QTest::addColumn<quint64>("vram");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("core");

    QTest::newRow("asset, fractional megabytes")
            << "  textures/big.png: 1.5MB/2MB  (DXT5 256x128)\n"
            << bigGuid() << "textures/big.png"
            << "DXT5" << quint64(1572864) << quint64(2097152) << 256 << 128 << false;
    QTest::newRow("not loaded") << "  textures/small.png: 0B/0B  (not loaded)" << smallGuid() << "textures/small.png"
                                << "" << quint64(0) << quint64(0) << 0 << 0 << false;
    QTest::newRow("plain bytes, core asset")
            << "  core/textures/white.png: 512B/64B  (RGBA8 4x4)" << whiteGuid() << "core/textures/white.png"
            << "RGBA8" << quint64(512) << quint64(64) << 4 << 4 << true;
    QTest::newRow("path holding \": \"") << "  textures/odd: name.png: 16B/16B  (RGBA8 2x2)" << Velmora::UGUID()
                                         << "textures/odd: name.png"
                                         << "RGBA8" << quint64(16) << quint64(16) << 2 << 2 << false;
    QTest::newRow("path outside ASCII") << QStringLiteral("  textures/größe.png: 16B/16B  (RGBA8 2x2)") << umlautGuid()
                                        << QStringLiteral("textures/größe.png") << "RGBA8" << quint64(16) << quint64(16)
                                        << 2 << 2 << false;
}

void tst_StreamingList::a_table_line_becomes_a_texture_of_its_asset_or_file()
{
    QFETCH(QString, line);
    QFETCH(Velmora::UGUID, guid);
    QFETCH(QString, path);
    QFETCH(QString, format);
    QFETCH(quint64, ram);
    QFETCH(quint64, vram);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(bool, core);

    tprof::LogParser parser(list_);
    parser.onConsoleOutput("---- streamed textures: 1 ----\n", 0);
    parser.onConsoleOutput(line.toUtf8().constData(), 0);
    QCOMPARE(list_->size(), 1);
    const tprof::TextureItem &item = list_->at(0);
    QCOMPARE(item.guid, guid);
    QCOMPARE(item.path, path);
    QCOMPARE(item.extension, QStringLiteral("png"));
    QCOMPARE(item.format, format);
    QCOMPARE(quint64(item.ram_usage), ram);
    QCOMPARE(quint64(item.vram_usage), vram);
    QCOMPARE(item.texture_width, width);
    QCOMPARE(item.texture_height, height);
    QCOMPARE(item.core, core);
    QCOMPARE(parser.malformedLines(), 0);
}

void tst_StreamingList::a_malformed_line_is_skipped_with_a_warning_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("warnings");

    QTest::newRow("unit without a number") << "  textures/big.png: MB/1MB  (DXT5 4x4)" << 1;
    QTest::newRow("two decimal points") << "  textures/big.png: 1.2.3MB/1MB  (DXT5 4x4)" << 1;
    QTest::newRow("unit without B") << "  textures/big.png: 1MB/1M  (DXT5 4x4)" << 1;
    QTest::newRow("size beyond 64 bits") << "  textures/big.png: 99999999999999999999TB/1MB  (DXT5 4x4)" << 1;
    QTest::newRow("width beyond int") << "  textures/big.png: 1MB/1MB  (DXT5 99999999999x4)" << 1;
    QTest::newRow("no path") << "  : 1MB/1MB  (DXT5 4x4)" << 1;
    QTest::newRow("neither asset nor file") << "  textures/missing.png: 1MB/1MB  (DXT5 4x4)" << 0;
    QTest::newRow("absolute path outside the data folder")
            << QStringLiteral("  %1: 16B/16B  (RGBA8 2x2)").arg(outsidePath()) << 1;
    QTest::newRow("climbs out") << "  ../outside.png: 16B/16B  (RGBA8 2x2)" << 1;
    QTest::newRow("climbs out half way") << "  textures/../../outside.png: 0B/0B  (not loaded)" << 1;
    QTest::newRow("footer") << "---- end ----" << 0;
}

void tst_StreamingList::a_malformed_line_is_skipped_with_a_warning()
{
    QFETCH(QString, line);
    QFETCH(int, warnings);

    inastest::LogCapture log;
    tprof::LogParser parser(list_);
    parser.onConsoleOutput("---- streamed textures: 1 ----\n", 0);
    parser.onConsoleOutput(line.toUtf8().constData(), 0);
    QCOMPARE(list_->size(), 0);
    QCOMPARE(parser.malformedLines(), warnings);
    QCOMPARE(log.count(QStringLiteral("Texture Profiler: skipped"), 1), warnings);
}

void tst_StreamingList::only_plain_table_lines_on_the_parsers_thread_are_read()
{
    const char *const big = "  textures/big.png: 1MB/1MB  (RGBA8 4x4)\n";
    tprof::LogParser parser(list_);
    parser.onConsoleOutput(big, 0);
    parser.onConsoleOutput("- streamed textures -\n", 0);
    parser.onConsoleOutput("---- streamed files ----\n", 0);
    QVERIFY(!parser.hasStarted());
    parser.onConsoleOutput("---- streamed textures: 3 ----\n", 0);
    QVERIFY(parser.hasStarted());
    parser.onConsoleOutput(big, 1);
    parser.onConsoleOutput(big, 2);
    parser.onConsoleOutput(nullptr, 0);
    parser.onConsoleOutput("", 0);
    std::unique_ptr<QThread> other(QThread::create([&parser, big] { parser.onConsoleOutput(big, 0); }));
    other->start();
    QVERIFY(other->wait(5000));
    QCOMPARE(list_->size(), 0);
    parser.onConsoleOutput("  textures/small.png: 2KB/2KB  (RGBA8 16x8)\n", 0);
    QCOMPARE(list_->size(), 1);
    QCOMPARE(list_->at(0).guid, smallGuid());
}

void tst_StreamingList::the_model_shows_engine_sizes_and_carries_asset_guids()
{
    tprof::TexturesModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(model.rowCount(), 0);
    QVERIFY(!model.indexOf(bigGuid()).isValid());
    QVERIFY(list_->add(QStringLiteral("textures/big.png"), QStringLiteral("RGBA8"), 8192, 1572864, 64, 32));
    QVERIFY(list_->addNotLoaded(QStringLiteral("textures/loose.png"), 0, 0));
    model.setList(list_);

    QCOMPARE(model.columnCount(), 6);

    QStringList big;
    QStringList loose;
    for (int c = 0; c < model.columnCount(); ++c) {
        big << model.index(0, c).data().toString();
        loose << model.index(1, c).data().toString();
    }
    QCOMPARE(big, QStringList({"textures/big.png", "png", memory(8192), memory(1572864), "RGBA8", "64x32"}));
    QCOMPARE(loose, QStringList({"textures/loose.png", "png", "", "", "", ""}));

    const QVariant guid = model.index(0, 4).data(tprof::TexturesModel::GUID_ROLE);
    QCOMPARE(QMetaType::typeName(guid.userType()), "Velmora::UGUID");
    QCOMPARE(guid.value<Velmora::UGUID>(), bigGuid());
    QVERIFY(!model.index(1, 0).data(tprof::TexturesModel::GUID_ROLE).isValid());
    QCOMPARE(model.indexOf(bigGuid()), model.index(0, 0));
    QVERIFY(!model.indexOf(Velmora::UGUID()).isValid());
}

void tst_StreamingList::the_filter_hides_core_and_unloaded_textures_data()
{
    QTest::addColumn<bool>("display_core");
    QTest::addColumn<bool>("show_not_loaded");
    QTest::addColumn<QStringList>("paths");

    QTest::newRow("everything") << true << true
                                << QStringList({"textures/big.png", "textures/small.png", "core/textures/white.png",
                                                "textures/loose.png"});
    QTest::newRow("the window's filter") << true << false
                                         << QStringList({"textures/big.png", "core/textures/white.png",
                                                         "textures/loose.png"});
    QTest::newRow("no core") << false << true
                             << QStringList({"textures/big.png", "textures/small.png", "textures/loose.png"});
    QTest::newRow("loaded, no core") << false << false << QStringList({"textures/big.png", "textures/loose.png"});
}

void tst_StreamingList::the_filter_hides_core_and_unloaded_textures()
{
    QFETCH(bool, display_core);
    QFETCH(bool, show_not_loaded);
    QFETCH(QStringList, paths);

    QVERIFY(list_->add(QStringLiteral("textures/big.png"), QStringLiteral("RGBA8"), 10, 10, 2, 2));
    QVERIFY(list_->addNotLoaded(QStringLiteral("textures/small.png"), 0, 0));
    QVERIFY(list_->add(QStringLiteral("core/textures/white.png"), QStringLiteral("RGBA8"), 10, 10, 2, 2));
    QVERIFY(list_->add(QStringLiteral("textures/loose.png"), QStringLiteral("RGBA8"), 10, 10, 2, 2));
    tprof::TexturesModel model;
    model.setList(list_);
    tprof::TexturesFilterProxyModel proxy;
    proxy.setSourceModel(&model);
    QAbstractItemModelTester tester(&proxy, QAbstractItemModelTester::FailureReportingMode::QtTest);
    proxy.setDisplayCoreAssets(display_core);
    proxy.setShowNotLoaded(show_not_loaded);
    QCOMPARE(column(proxy, 0), paths);
}

void tst_StreamingList::sorting_compares_bytes_and_pixels_not_texts_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QStringList>("ascending");

    QTest::newRow("RAM") << int(tprof::TexturesModel::COLUMN_RAM)
                         << QStringList({memory(921600), memory(1048576), memory(3 * 1048576ULL)});
    QTest::newRow("resolution") << int(tprof::TexturesModel::COLUMN_RESOLUTION)
                                << QStringList({"256x128", "200x200", "65536x65536"});
}

void tst_StreamingList::sorting_compares_bytes_and_pixels_not_texts()
{
    QFETCH(int, column);
    QFETCH(QStringList, ascending);

    const QString loose = QStringLiteral("textures/loose.png");
    QVERIFY(list_->add(loose, QStringLiteral("A"), 1048576, 5ULL << 30, 200, 200));
    QVERIFY(list_->add(loose, QStringLiteral("B"), 921600, 1048576, 65536, 65536));
    QVERIFY(list_->add(loose, QStringLiteral("C"), 3 * 1048576ULL, 2048, 256, 128));
    tprof::TexturesModel model;
    model.setList(list_);
    tprof::TexturesFilterProxyModel proxy;
    proxy.setSourceModel(&model);
    proxy.sort(column, Qt::AscendingOrder);
    QCOMPARE(::column(proxy, column), ascending);
    proxy.sort(column, Qt::DescendingOrder);
    std::reverse(ascending.begin(), ascending.end());
    QCOMPARE(::column(proxy, column), ascending);
}

QTEST_MAIN(tst_StreamingList)
#include "tst_streaming_list.moc"
