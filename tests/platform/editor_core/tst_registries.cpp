#include <editor_core/EditorCore.h>
#include <editor_core/as/ActionType.h>
#include <editor_core/as/Asset.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/AssetManager.h>
#include <editor_core/editor/Undo.h>
#include <editor_core/tbb/Job.h>

#include <QSignalSpy>
#include <QThread>
#include <QtTest>

namespace {

// Emits a value of each registered type from a worker thread, so that the
// queued deliveries need the meta-types.
class Emitter : public QObject
{
    Q_OBJECT

signals:
    void guid(const Velmora::UGUID &guid);
    void guids(const Velmora::Vector<Velmora::UGUID> &guids);
    void asset(const as::Asset &asset);
    void action(as::ActionType type);
    void job(tbb::JobPtr job);
};

class DummyJob : public tbb::Job
{
public:
    void run(const tbb::JobPtr &) override {}
};

} // namespace

class TestRegistries : public QObject
{
    Q_OBJECT

private slots:
    void registries_list_their_members_in_table_order_data()
    {
        QTest::addColumn<bool>("gui");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("name");
        QTest::newRow("g first") << false << 0 << "image_cache";
        QTest::newRow("g undo") << false << 15 << "undo";
        QTest::newRow("g asset manager") << false << 19 << "asset_manager";
        QTest::newRow("g settings") << false << 25 << "settings";
        QTest::newRow("g reserved") << false << 28 << "reserved28";
        QTest::newRow("g last") << false << 29 << "world_presenter";
        QTest::newRow("gui first") << true << 0 << "parameters_view_cache";
        QTest::newRow("gui main window") << true << 3 << "main_window";
        QTest::newRow("gui console") << true << 8 << "console";
        QTest::newRow("gui last") << true << 16 << "engine_viewport";
    }
    void registries_list_their_members_in_table_order()
    {
        QFETCH(bool, gui);
        QFETCH(int, index);
        QFETCH(QString, name);
        QCOMPARE(QString::fromLatin1(gui ? depr::guiName(index) : depr::globalsName(index)), name);

        // Setting exactly that member shows up at exactly that index.
        int marker = 0;
        depr::EditorGlobals g;
        depr::EditorGui w;
        if (gui) {
            QWidget *const widget = reinterpret_cast<QWidget *>(&marker);
            switch (index) {
            case 0:
                w.parameters_view_cache = reinterpret_cast<ParametersViewCache *>(widget);
                break;
            case 3:
                w.main_window = reinterpret_cast<View *>(widget);
                break;
            case 8:
                w.console = reinterpret_cast<ConsoleWidget *>(widget);
                break;
            default:
                w.engine_viewport = reinterpret_cast<EngineViewportWidget *>(widget);
                break;
            }
            const auto pointers = depr::guiPointers(w);
            for (int i = 0; i < depr::EDITOR_GUI_COUNT; ++i)
                QCOMPARE(pointers[size_t(i)] != nullptr, i == index);
        } else {
            switch (index) {
            case 0:
                g.image_cache = reinterpret_cast<ImageCache *>(&marker);
                break;
            case 15:
                g.undo = reinterpret_cast<Editor::UndoPrivate *>(&marker);
                break;
            case 19:
                g.asset_manager = reinterpret_cast<Editor::AssetManagerPrivate *>(&marker);
                break;
            case 25:
                g.settings = reinterpret_cast<EditorSettings *>(&marker);
                break;
            case 28:
                g.reserved28 = &marker;
                break;
            default:
                g.world_presenter = reinterpret_cast<world::Presenter *>(&marker);
                break;
            }
            const auto pointers = depr::globalsPointers(g);
            for (int i = 0; i < depr::EDITOR_GLOBALS_COUNT; ++i)
                QCOMPARE(pointers[size_t(i)] != nullptr, i == index);
        }
        QVERIFY(QString::fromLatin1(depr::globalsName(depr::EDITOR_GLOBALS_COUNT)).isEmpty());
    }

    void the_registries_start_empty_and_clear_back_to_empty()
    {
        for (const void *p : depr::globalsPointers(depr::g))
            QVERIFY(!p);
        for (const void *p : depr::guiPointers(depr::gui))
            QVERIFY(!p);
        int marker = 0;
        depr::g.reserved28 = &marker;
        depr::gui.nodes_window = reinterpret_cast<QWidget *>(&marker);
        depr::clearGlobals();
        depr::clearGui();
        QVERIFY(!depr::g.reserved28);
        QVERIFY(!depr::gui.nodes_window);
    }

    void only_documented_constructors_write_the_registry()
    {
        {
            Editor::AssetManager assets;
            Editor::Undo undo;
            const auto pointers = depr::globalsPointers(depr::g);
            for (int i = 0; i < depr::EDITOR_GLOBALS_COUNT; ++i)
                QCOMPARE(pointers[size_t(i)] != nullptr, i == 15 || i == 19);
            QCOMPARE(depr::g.asset_manager, assets.get());
            QCOMPARE(depr::g.undo, undo.get());
        }
        QVERIFY(!depr::g.asset_manager);
        QVERIFY(!depr::g.undo);
    }

    void a_newer_owner_is_not_cleared_by_an_older_one()
    {
        auto *first = new Editor::Undo;
        Editor::Undo second;
        delete first;
        QCOMPARE(depr::g.undo, second.get());
    }

    void registered_types_travel_through_queued_signals()
    {
        EditorCore::registerMetaTypes();
        EditorCore::registerMetaTypes(); // repeat calls are harmless
        QCOMPARE(QByteArray(QMetaType::typeName(qMetaTypeId<Velmora::UGUID>())), QByteArray("Velmora::UGUID"));

        Emitter emitter;
        QThread thread;
        emitter.moveToThread(&thread);
        Velmora::UGUID g("aaaaa00000000000000000000000000000000101");
        as::Asset record;
        record.setGUID(g);
        record.setType(AssetType::WORLD);
        QVector<Velmora::UGUID> received;
        as::Asset received_asset;
        as::ActionType received_action = as::ActionType::Import;
        tbb::JobPtr received_job;
        connect(
                &emitter, &Emitter::guid, this, [&](const Velmora::UGUID &v) { received << v; }, Qt::QueuedConnection);
        connect(
                &emitter, &Emitter::asset, this, [&](const as::Asset &v) { received_asset = v; }, Qt::QueuedConnection);
        connect(
                &emitter, &Emitter::action, this, [&](as::ActionType v) { received_action = v; }, Qt::QueuedConnection);
        connect(
                &emitter, &Emitter::job, this, [&](tbb::JobPtr v) { received_job = v; }, Qt::QueuedConnection);
        connect(
                &emitter, &Emitter::guids, this, [&](const Velmora::Vector<Velmora::UGUID> &v) { received << v[1]; },
                Qt::QueuedConnection);

        auto dummy = std::make_shared<DummyJob>();
        thread.start();
        QMetaObject::invokeMethod(&emitter, [&] {
            emit emitter.guid(g);
            emit emitter.guids({Velmora::UGUID(), g});
            emit emitter.asset(record);
            emit emitter.action(as::ActionType::Scan);
            emit emitter.job(dummy);
        });
        QTRY_VERIFY(received_job);
        thread.quit();
        thread.wait();
        QCOMPARE(received, (QVector<Velmora::UGUID>{g, g}));
        QCOMPARE(received_asset, record);
        QCOMPARE(received_action, as::ActionType::Scan);
        QCOMPARE(received_job.get(), static_cast<tbb::JobInterface *>(dummy.get()));
    }
};

QTEST_MAIN(TestRegistries)
#include "tst_registries.moc"
