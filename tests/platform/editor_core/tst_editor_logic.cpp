#include "installation.h"

#include <editor_core/EditorControls.h>
#include <editor_core/EditorLogic.h>
#include <editor_core/core/UrlOpener.h>
#include <editor_core/cs/Manager.h>
#include <editor_core/editor/AssetManagerPrivate.h>
#include <editor_core/mat/Manager.h>
#include <editor_core/prop/Manager.h>

#include <velmora/Console.h>
#include <velmora/Engine.h>
#include <velmora/Material.h>
#include <velmora/Property.h>
#include <velmora/World.h>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <string>
#include <vector>

namespace {

void writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

QByteArray meta(const char *guid)
{
    return QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<asset version=\"1\" guid=\"") + guid + "\"/>\n";
}

const char *const METAL_GUID = "aaaaa00000000000000000000000000000000260";
const char *const CAR_GUID = "aaaaa00000000000000000000000000000000270";

// Starts the engine on a data folder with one world, one material and one
// property, with the given editor logic installed.
class RunningEngine
{
public:
    explicit RunningEngine(EditorLogic *logic)
    {
        installation_.writeData("levels/a.world", "<world version=\"1\"/>\n");
        installation_.writeData("materials/metal.mat", "<material name=\"metal\"/>\n");
        installation_.writeData("materials/metal.mat.meta", meta(METAL_GUID));
        installation_.writeData("props/car.prop", "<property name=\"car\"/>\n");
        installation_.writeData("props/car.prop.meta", meta(CAR_GUID));
        engine_ = installation_.start({"-log_path", installation_.root() + "log.txt"}, nullptr, logic);
    }
    Velmora::Engine *engine() const { return engine_; }

private:
    test::Installation installation_;
    Velmora::Engine *engine_ = nullptr;
};

} // namespace

class TestEditorLogic : public QObject
{
    Q_OBJECT

private slots:
    void each_engine_call_becomes_its_signal_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QString>("signal");
        QTest::newRow("init") << "init"
                              << "onInit";
        QTest::newRow("update") << "update"
                                << "onUpdate";
        QTest::newRow("world init") << "worldInit"
                                    << "onWorldInit";
        QTest::newRow("world shutdown") << "worldShutdown"
                                        << "onWorldShutdown";
        QTest::newRow("world save") << "worldSave"
                                    << "onWorldSave";
        QTest::newRow("node removed") << "nodeRemoved"
                                      << "onNodeRemoved 17";
        QTest::newRow("compile begin") << "compileBegin"
                                       << "onMaterialCompileShadersBegin";
        QTest::newRow("compile material") << "compileMaterial"
                                          << "onMaterialCompileShaders 3";
        QTest::newRow("compile end") << "compileEnd"
                                     << "onMaterialCompileShadersEnd";
    }
    void each_engine_call_becomes_its_signal()
    {
        QFETCH(QString, call);
        QFETCH(QString, signal);
        EditorLogic logic;
        QStringList seen;
        connect(&logic, &EditorLogic::onInit, this, [&] { seen << "onInit"; });
        connect(&logic, &EditorLogic::onUpdate, this, [&] { seen << "onUpdate"; });
        connect(&logic, &EditorLogic::onWorldInit, this, [&] { seen << "onWorldInit"; });
        connect(&logic, &EditorLogic::onWorldShutdown, this, [&] { seen << "onWorldShutdown"; });
        connect(&logic, &EditorLogic::onWorldSave, this, [&] { seen << "onWorldSave"; });
        connect(&logic, &EditorLogic::onNodeRemoved, this,
                [&](int id) { seen << QStringLiteral("onNodeRemoved %1").arg(id); });
        connect(&logic, &EditorLogic::onMaterialCompileShadersBegin, this,
                [&] { seen << "onMaterialCompileShadersBegin"; });
        connect(&logic, &EditorLogic::onMaterialCompileShaders, this,
                [&](Velmora::Ptr<Velmora::Material>, int remaining) {
                    seen << QStringLiteral("onMaterialCompileShaders %1").arg(remaining);
                });
        connect(&logic, &EditorLogic::onMaterialCompileShadersEnd, this,
                [&] { seen << "onMaterialCompileShadersEnd"; });

        // Called through the engine's interface, as the engine does.
        Velmora::EditorLogicInterface *engine_side = &logic;
        const std::map<QString, std::function<void()>> calls{
                {"init", [&] { engine_side->init(); }},
                {"update", [&] { engine_side->update(); }},
                {"worldInit", [&] { engine_side->worldInit(); }},
                {"worldShutdown", [&] { engine_side->worldShutdown(); }},
                {"worldSave", [&] { engine_side->worldSave(); }},
                {"nodeRemoved", [&] { engine_side->nodeRemoved(17); }},
                {"compileBegin", [&] { engine_side->compileBegin(); }},
                {"compileMaterial", [&] { engine_side->compileMaterial(Velmora::Ptr<Velmora::Material>(), 3); }},
                {"compileEnd", [&] { engine_side->compileEnd(); }},
        };
        calls.at(call)();
        QCOMPARE(seen, QStringList{signal});
    }

    void the_engine_drives_the_logic_on_its_main_thread()
    {
        EditorLogic logic;
        RunningEngine engine(&logic);
        QVERIFY(engine.engine());
        QStringList seen;
        connect(&logic, &EditorLogic::onWorldInit, this, [&] { seen << "worldInit"; });
        connect(&logic, &EditorLogic::onUpdate, this, [&] { seen << "update"; });
        connect(&logic, &EditorLogic::onWorldShutdown, this, [&] { seen << "worldShutdown"; });
        Velmora::Console::run("world_load \"levels/a\"");
        engine.engine()->update();
        Velmora::World::quit();
        QCOMPARE(seen, (QStringList{"worldInit", "update", "worldShutdown"}));
    }

    void the_managers_load_and_find_materials_and_properties()
    {
        EditorLogic logic;
        RunningEngine engine(&logic);
        QVERIFY(engine.engine());
        mat::Manager materials(&logic);
        prop::Manager properties(&logic);
        QCOMPARE(materials.loadedCount(), 1);
        QCOMPARE(properties.loadedCount(), 1);
        QCOMPARE(materials.logic(), &logic);

        const Velmora::UGUID metal_asset(METAL_GUID);
        Velmora::Ptr<Velmora::Material> metal = materials.find("metal");
        QVERIFY(metal);
        QCOMPARE(materials.find(metal_asset), metal);
        QCOMPARE(materials.find(Velmora::UGUID::derive(metal_asset, "material")), metal);
        QCOMPARE(materials.find(Velmora::String("metal")), metal);
        QVERIFY(!materials.find("Metal"));
        QVERIFY(!materials.find(Velmora::UGUID()));
        QVERIFY(materials.find("mesh_base")); // built-in base material

        const Velmora::UGUID car_asset(CAR_GUID);
        Velmora::Ptr<Velmora::Property> car = properties.find("car");
        QVERIFY(car);
        QCOMPARE(properties.find(car_asset), car);
        QCOMPARE(properties.find(Velmora::UGUID::derive(car_asset, "property")), car);
        QVERIFY(!properties.find(metal_asset));
    }

    void update_handlers_run_in_connection_order()
    {
        EditorLogic logic;
        QStringList order;
        for (const char *name : {"tracker", "video grabber", "preview grabber", "shader watcher"})
            connect(&logic, &EditorLogic::onUpdate, this, [&order, name] { order << QString::fromLatin1(name); });
        logic.update();
        QCOMPARE(order, (QStringList{"tracker", "video grabber", "preview grabber", "shader watcher"}));
    }

    void the_component_system_follows_the_first_valid_project_file_data()
    {
        QTest::addColumn<QStringList>("files"); // name=content pairs
        QTest::addColumn<bool>("active");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("on")
                << QStringList{"game.project={\"project_settings\":{\"name\":\"game\",\"component_system\":1}}"} << true
                << "game.project";
        QTest::newRow("off")
                << QStringList{"game.project={\"project_settings\":{\"name\":\"game\",\"component_system\":0}}"}
                << false << "game.project";
        QTest::newRow("flag missing") << QStringList{"game.project={\"sdk\":{}}"} << false << "game.project";
        QTest::newRow("no project file") << QStringList{"notes.txt=hello"} << false << "";
        QTest::newRow("broken first, valid second")
                << QStringList{"a.project={not json", "b.project={\"project_settings\":{\"component_system\":2}}"}
                << true << "b.project";
        QTest::newRow("array is not an object")
                << QStringList{"a.project=[1,2]", "z.project={\"project_settings\":{\"component_system\":1}}"} << true
                << "z.project";
        QTest::newRow("first by name wins") << QStringList{"b.project={\"project_settings\":{\"component_system\":0}}",
                                                           "a.project={\"project_settings\":{\"component_system\":1}}"}
                                            << true << "a.project";
    }
    void the_component_system_follows_the_first_valid_project_file()
    {
        QFETCH(QStringList, files);
        QFETCH(bool, active);
        QFETCH(QString, chosen);
        QTemporaryDir dir;
        QDir().mkpath(dir.path() + QStringLiteral("/data"));
        for (const QString &file : files)
            writeFile(dir.path() + QLatin1Char('/') + file.section(QLatin1Char('='), 0, 0),
                      file.section(QLatin1Char('='), 1).toUtf8());
        Editor::AssetManagerPrivate assets;
        assets.setRootPath(dir.path() + QStringLiteral("/data"));

        cs::Manager manager(&assets, nullptr);
        QCOMPARE(manager.init(), active);
        QCOMPARE(manager.active(), active);
        QCOMPARE(QFileInfo(manager.projectFile()).fileName(), chosen);
        QCOMPARE(manager.getBinaryPath(), dir.path() + QStringLiteral("/cs_bin/"));
    }

    void the_component_manager_records_what_it_is_told()
    {
        QTemporaryDir dir;
        writeFile(dir.path() + QStringLiteral("/sample.project"),
                  "{\"project_settings\":{\"name\":\"sample\",\"component_system\":1}}");
        Editor::AssetManagerPrivate assets;
        assets.setRootPath(dir.path() + QStringLiteral("/data"));
        cs::Manager manager(&assets, nullptr);
        QVERIFY(manager.init());
        QCOMPARE(manager.getProjectPath(), dir.path() + QStringLiteral("/sample.csproj"));
        manager.setProjectPath(QStringLiteral("/tmp/x.csproj"));
        QCOMPARE(manager.getProjectPath(), QStringLiteral("/tmp/x.csproj"));

        const Velmora::UGUID g("aaaaa00000000000000000000000000000000101");
        manager.componentChanged(g);
        manager.presetMoved(g, QStringLiteral("presets/a.preset"));
        manager.flush();
        manager.dirMoved(QStringLiteral("a"), QStringLiteral("b"));
        QVERIFY(!manager.createComponent(QStringLiteral("cs"), QStringLiteral("Mover")));
        QCOMPARE(manager.calls(),
                 (QStringList{"init", "componentChanged aaaaa00000000000000000000000000000000101",
                              "presetMoved aaaaa00000000000000000000000000000000101 presets/a.preset", "flush",
                              "dirMoved a b", "createComponent cs Mover"}));
    }

    void web_pages_and_folders_open_through_the_url_opener()
    {
        QList<QUrl> opened;
        core::setUrlOpener([&opened](const QUrl &url) {
            opened << url;
            return true;
        });
        QVERIFY(EditorControls::openGettingStartedUrl());
        QVERIFY(EditorControls::openVideoTutorialsUrl());
        QVERIFY(EditorControls::openDocumentationUrl());
        QVERIFY(EditorControls::openForumsUrl());
        QCOMPARE(opened.size(), 4);
        QCOMPARE(QSet<QUrl>(opened.begin(), opened.end()).size(), 4);
        for (const QUrl &url : opened)
            QCOMPARE(url.scheme(), QStringLiteral("https"));

        QTemporaryDir dir;
        writeFile(dir.path() + QStringLiteral("/build/game_x64"), "bin");
        opened.clear();
        QVERIFY(showInGraphicalShell(dir.path() + QStringLiteral("/build/game_x64")));
        QVERIFY(showInGraphicalShell(dir.path() + QStringLiteral("/build")));
        QVERIFY(!showInGraphicalShell(dir.path() + QStringLiteral("/missing")));
        QCOMPARE(opened,
                 (QList<QUrl>{QUrl::fromLocalFile(dir.path() + QStringLiteral("/build")),
                              QUrl::fromLocalFile(dir.path() + QStringLiteral("/build"))}));

        core::setUrlOpener([](const QUrl &) { return false; });
        QVERIFY(!EditorControls::openForumsUrl());
        core::setUrlOpener(nullptr);
    }
};

QTEST_GUILESS_MAIN(TestEditorLogic)
#include "tst_editor_logic.moc"
