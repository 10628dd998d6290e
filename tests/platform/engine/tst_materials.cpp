#include "engine_runtime_fixture.h"
#include "file_size_limit.h"
#include "thread_refusal.h"

#include "velmora/Materials.h"
#include "velmora/Properties.h"

#include <velmora/FileSystem.h>

#include <QtTest>

#include <optional>

using namespace enginetest;

namespace {

const QByteArray ROCK = R"(<?xml version="1.0" encoding="utf-8"?>
<material name="rock">
	<texture name="albedo">textures/rock.png</texture>
	<parameter name="roughness">0.9</parameter>
	<parameter name="albedo_color">0.5 0.4 0.3 1</parameter>
	<state name="depth_map">1</state>
	<options transparent="2" blend_src="3" blend_dest="4"/>
</material>
)";

const QByteArray METAL = R"FESK(# brushed metal
Material(name="metal", parent_name="rock") {
    Texture(name="normal") = "textures/metal_n.png";
    Parameter(name="roughness") = "0.4";
    Parameter(name="mask", expression=true) = "mix(textures/a.png, textures/b.png)";
    State(name="depth_map") = "0";
}
)FESK";

Velmora::UGUID materialGuidOf(const QByteArray &file_guid)
{
    return Velmora::UGUID::derive(Velmora::UGUID(file_guid.constData()), "material");
}

QString name(const Velmora::Ptr<Velmora::Material> &material)
{
    return material ? QString::fromUtf8(material->getName()) : QStringLiteral("<null>");
}

// A material's shader cache line as earlier versions wrote it, from the
// resolved values the getters give.
QByteArray cacheLineFromGetters(const Velmora::Ptr<Velmora::Material> &material)
{
    QByteArray resolved;
    for (int i = 0; i < material->getNumParameters(); ++i)
        resolved += QByteArray(material->getParameterName(i)) + '=' + material->getParameterString(i) + ';';
    for (int i = 0; i < material->getNumStates(); ++i)
        resolved += QByteArray(material->getStateName(i)) + '=' + QByteArray::number(material->getState(i)) + ';';
    for (int i = 0; i < material->getNumTextures(); ++i)
        resolved += QByteArray(material->getTextureName(i)) + '=' + material->getTexturePath(i) + ';';
    const uint32_t hash = Velmora::String(resolved.constData()).hash();
    return QByteArray(material->getGUID().getString().get()) + ' ' + material->getName() + ' '
            + QByteArray::number(hash, 16).rightJustified(8, '0');
}

// Bytes this process has read so far ("rchar" of /proc/self/io).
qint64 bytesRead()
{
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : io.readAll().split('\n')) {
        if (line.startsWith("rchar:"))
            return line.mid(6).trimmed().toLongLong();
    }
    return -1;
}

} // namespace

class TestMaterials : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void xml_and_fesk_materials_load_sorted_by_path_data();
    void xml_and_fesk_materials_load_sorted_by_path();
    void material_guids_derive_from_their_files();
    void declarations_are_inherited_along_the_parent_chain();
    void overriding_an_inherited_value_keeps_its_index();
    void a_missing_parent_falls_back_to_mesh_base();
    void a_parent_cycle_is_cut_once_at_its_first_material();
    void many_materials_sharing_names_link_and_resolve_as_in_file_order();
    void files_of_one_name_in_many_folders_are_each_read_from_their_own();
    void built_in_base_materials_have_derived_guids_and_no_file();
    void materials_compile_reports_one_material_per_update();
    void precompile_schedules_every_material_once_and_counts_calls();
    void a_start_on_a_full_shader_cache_compiles_and_writes_nothing();
    void the_shader_cache_is_looked_up_by_the_updates_after_the_switch();
    void a_shader_cache_holding_lines_twice_or_broken_is_read_data();
    void a_shader_cache_holding_lines_twice_or_broken_is_read();
    void a_long_compile_pass_writes_the_shader_cache_in_batches();
    void a_shader_cache_that_cannot_be_read_or_written_only_costs_time_data();
    void a_shader_cache_that_cannot_be_read_or_written_only_costs_time();
    void properties_inherit_parameters_and_decal();
    void property_parents_resolve_by_name_guid_and_file_guid_and_cycles_are_cut();
    void only_files_whose_extension_is_mat_or_prop_in_any_case_load();
    void materials_follow_files_added_moved_and_removed_after_the_scan();

private:
    QString shaderCachePath() const { return installation_->cachePath() + Installation::shaderCacheName(); }
    // A new start on the same installation, shaders precompiled.
    bool restartAndPrecompile();
    // The shader cache's lines once no compile is pending.
    QList<QByteArray> finishCompiling() const;

    Installation *installation_ = nullptr;
    RecordingLogic logic_;
    LogCapture *log_ = nullptr;
};

void TestMaterials::init()
{
    installation_ = new Installation;
    QVERIFY(installation_->writeAsset(QStringLiteral("materials/base/rock.mat"), ROCK, guid('a', 101), 4));
    QVERIFY(installation_->writeAsset(QStringLiteral("materials/metal.mat"), METAL, guid('a', 102), 4));
    const QByteArray shiny = "<material parent=\"" + QByteArray(materialGuidOf(guid('a', 102)).getString().get())
            + "\"><parameter name=\"gloss\">1</parameter></material>";
    QVERIFY(installation_->writeAsset(QStringLiteral("materials/shiny.mat"), shiny, guid('a', 103), 4));
    QVERIFY(installation_->writeAsset(QStringLiteral("materials/zbroken.mat"), "<material><texture", guid('a', 104),
                                      4));
    QVERIFY(installation_->writeAsset(QStringLiteral("materials/orphan.mat"),
                                      "<base_material name=\"lonely\" parent_name=\"nothing\"/>", guid('a', 105), 4));
    logic_.calls.clear();
    QVERIFY(installation_->start({}, nullptr, &logic_));
    log_ = new LogCapture;
}

void TestMaterials::cleanup()
{
    delete log_;
    log_ = nullptr;
    delete installation_;
    installation_ = nullptr;
}

void TestMaterials::xml_and_fesk_materials_load_sorted_by_path_data()
{
    QTest::addColumn<bool>("threads_refused");
    QTest::newRow("threads") << false;
    // A process at its thread limit loads the same, on the threads it has.
    QTest::newRow("no thread can start") << true;
}

void TestMaterials::xml_and_fesk_materials_load_sorted_by_path()
{
    QFETCH(bool, threads_refused);
    QCOMPARE(Velmora::Materials::getNumMaterials(), 0);
    {
        std::optional<test::ThreadRefusal> refusal;
        if (threads_refused) {
            refusal.emplace();
            QVERIFY(refusal->isActive());
        }
        QCOMPARE(Velmora::Materials::loadMaterials(), 4);
    }
    QCOMPARE(log_->count(QStringLiteral("4 materials"), 0), 1);
    QCOMPARE(log_->count(QStringLiteral("zbroken.mat"), 2), 1);
    QStringList names;
    for (int i = 0; i < Velmora::Materials::getNumMaterials(); ++i)
        names << name(Velmora::Materials::getMaterial(i));
    QCOMPARE(names,
             (QStringList{QStringLiteral("rock"), QStringLiteral("metal"), QStringLiteral("lonely"),
                          QStringLiteral("shiny")}));
    QVERIFY(!Velmora::Materials::getMaterial(4));
    QVERIFY(!Velmora::Materials::getMaterial(-1));
    QCOMPARE(QByteArray(Velmora::Materials::findMaterial("metal")->getFileFormat()), QByteArray("fesk"));
    QCOMPARE(QByteArray(Velmora::Materials::findMaterial("rock")->getFileFormat()), QByteArray("xml"));
    QVERIFY(!Velmora::Materials::findMaterial("Metal"));
}

void TestMaterials::material_guids_derive_from_their_files()
{
    Velmora::Materials::loadMaterials();
    const Velmora::Ptr<Velmora::Material> metal = Velmora::Materials::findMaterial("metal");
    const Velmora::UGUID file_guid(guid('a', 102).constData());
    QCOMPARE(metal->getFileGUID(), file_guid);
    QCOMPARE(metal->getGUID(), materialGuidOf(guid('a', 102)));
    QVERIFY(metal->getGUID() != file_guid);
    QCOMPARE(Velmora::Materials::findMaterialByGUID(metal->getGUID()), metal);
    QVERIFY(!Velmora::Materials::findMaterialByGUID(file_guid));
    QVERIFY(Velmora::Materials::isMaterial(metal->getGUID()));
    QVERIFY(Velmora::Materials::isMaterial(file_guid));
    QVERIFY(!Velmora::Materials::isMaterial(Velmora::UGUID(guid('b', 999).constData())));
    QCOMPARE(Velmora::Materials::resolve(metal->getGUID().getFileSystemString().get()), metal);
}

void TestMaterials::declarations_are_inherited_along_the_parent_chain()
{
    Velmora::Materials::loadMaterials();
    const Velmora::Ptr<Velmora::Material> rock = Velmora::Materials::findMaterial("rock");
    const Velmora::Ptr<Velmora::Material> metal = Velmora::Materials::findMaterial("metal");
    const Velmora::Ptr<Velmora::Material> shiny = Velmora::Materials::findMaterial("shiny");
    QCOMPARE(metal->getParent(), rock);
    QCOMPARE(shiny->getParent(), metal);
    QVERIFY(shiny->isParent(rock));
    QCOMPARE(name(rock->getParent()), QStringLiteral("mesh_base"));

    // Nearest declaration wins: roughness from metal, colour from rock.
    QCOMPARE(shiny->getParameterFloat(shiny->findParameter("roughness")), 0.4f);
    QCOMPARE(shiny->getParameterFloat4(shiny->findParameter("albedo_color")), Velmora::vec4(0.5f, 0.4f, 0.3f, 1.0f));
    QCOMPARE(shiny->getParameterFloat(shiny->findParameter("gloss")), 1.0f);
    QCOMPARE(shiny->getParameterFloat(shiny->findParameter("metalness")), 0.0f); // from mesh_base
    QVERIFY(shiny->isParameterExpression(shiny->findParameter("mask")));
    QVERIFY(!shiny->isParameterExpression(shiny->findParameter("roughness")));
    QCOMPARE(QByteArray(shiny->getTexturePath(shiny->findTexture("albedo"))), QByteArray("textures/rock.png"));
    QCOMPARE(QByteArray(shiny->getTexturePath(shiny->findTexture("normal"))), QByteArray("textures/metal_n.png"));
    QCOMPARE(QByteArray(shiny->getTexturePath(shiny->findTexture("shading"))), QByteArray());
    QCOMPARE(shiny->getState("depth_map"), 0);
    QCOMPARE(rock->getState("depth_map"), 1);
    QCOMPARE(shiny->getTransparent(), 2);
    QCOMPARE(shiny->getBlendSrcFunc(), 3);
    QCOMPARE(shiny->getBlendDestFunc(), 4);

    // Names no material of the chain declares.
    QCOMPARE(shiny->findTexture("detail"), -1);
    QCOMPARE(shiny->findParameter("nothing"), -1);
    QCOMPARE(rock->findParameter("gloss"), -1);
    QCOMPARE(QByteArray(shiny->getParameterName(1000)), QByteArray());
}

void TestMaterials::overriding_an_inherited_value_keeps_its_index()
{
    Velmora::Materials::loadMaterials();
    const Velmora::Ptr<Velmora::Material> shiny = Velmora::Materials::findMaterial("shiny");
    const Velmora::Ptr<Velmora::Material> metal = Velmora::Materials::findMaterial("metal");
    const int count = shiny->getNumParameters();
    const int roughness = shiny->findParameter("roughness");
    shiny->setParameterFloat(roughness, 0.125f);
    QCOMPARE(shiny->findParameter("roughness"), roughness);
    QCOMPARE(shiny->getNumParameters(), count);
    QCOMPARE(shiny->getParameterFloat(roughness), 0.125f);
    QCOMPARE(metal->getParameterFloat(metal->findParameter("roughness")), 0.4f);

    const int albedo = shiny->findTexture("albedo");
    shiny->setTexturePath(albedo, "textures/shiny.png");
    QCOMPARE(shiny->findTexture("albedo"), albedo);
    QCOMPARE(QByteArray(shiny->getTexturePath(albedo)), QByteArray("textures/shiny.png"));
    shiny->setState("depth_map", 1);
    QCOMPARE(shiny->getState("depth_map"), 1);
    QCOMPARE(metal->getState("depth_map"), 0);
}

void TestMaterials::a_missing_parent_falls_back_to_mesh_base()
{
    // Materials that name themselves as parent, by name and by GUID.
    QVERIFY(installation_->writeAsset(QStringLiteral("materials/selfish.mat"),
                                      "<material name=\"selfish\" parent_name=\"selfish\"/>", guid('a', 106), 4));
    QVERIFY(installation_->writeAsset(QStringLiteral("materials/vain.mat"),
                                      "<material name=\"vain\" parent=\""
                                              + QByteArray(materialGuidOf(guid('a', 107)).getString().get()) + "\"/>",
                                      guid('a', 107), 4));
    Velmora::FileSystem::rescan();
    Velmora::Materials::loadMaterials();
    QCOMPARE(log_->count(QStringLiteral("\"nothing\""), 1), 1);
    const Velmora::Ptr<Velmora::Material> lonely = Velmora::Materials::findMaterial("lonely");
    QCOMPARE(name(lonely->getParent()), QStringLiteral("mesh_base"));
    QCOMPARE(lonely->getParameterFloat4(lonely->findParameter("albedo_color")), Velmora::vec4(0.8f, 0.8f, 0.8f, 1.0f));
    for (const char *own : {"selfish", "vain"}) {
        QCOMPARE(log_->count(QStringLiteral("\"%1\" names itself as its parent, using mesh_base").arg(own), 1), 1);
        QCOMPARE(name(Velmora::Materials::findMaterial(own)->getParent()), QStringLiteral("mesh_base"));
    }
    QCOMPARE(log_->count(QStringLiteral("not found"), 1), 1);
}

void TestMaterials::a_parent_cycle_is_cut_once_at_its_first_material()
{
    // c1 -> c2 -> c3 -> c1, and a tail that leads into the cycle: cutting
    // the first material of the cycle (by path) leaves no cycle for the
    // others.
    const char *const materials[][2] = {{"c1", "c2"}, {"c2", "c3"}, {"c3", "c1"}, {"tail", "c2"}};
    int number = 110;
    for (const auto &material : materials)
        QVERIFY(installation_->writeAsset(QStringLiteral("materials/cycle/%1.mat").arg(material[0]),
                                          QByteArray("<material name=\"") + material[0] + "\" parent_name=\""
                                                  + material[1] + "\"/>",
                                          guid('a', number++), 4));
    Velmora::FileSystem::rescan();
    Velmora::Materials::loadMaterials();
    QCOMPARE(log_->count(QStringLiteral("inherits from itself"), 2), 1);
    QCOMPARE(log_->count(QStringLiteral("\"c1\" inherits from itself, using mesh_base"), 2), 1);
    QCOMPARE(name(Velmora::Materials::findMaterial("c1")->getParent()), QStringLiteral("mesh_base"));
    QCOMPARE(name(Velmora::Materials::findMaterial("c2")->getParent()), QStringLiteral("c3"));
    QCOMPARE(name(Velmora::Materials::findMaterial("c3")->getParent()), QStringLiteral("c1"));
    QCOMPARE(name(Velmora::Materials::findMaterial("tail")->getParent()), QStringLiteral("c2"));
}

void TestMaterials::many_materials_sharing_names_link_and_resolve_as_in_file_order()
{
    // Enough materials to crowd the lookups. Every tenth one takes the
    // name of the one before it; each names its predecessor as parent, in
    // turn by name, by material GUID and by file GUID. By name, the parent
    // is the first material of that name (by path).
    constexpr int COUNT = 300;
    QByteArrayList names;
    for (int i = 0; i < COUNT; ++i) {
        names << (i % 10 == 9 ? names.last() : QByteArray("m") + QByteArray::number(1000 + i));
        QByteArray body = "<material name=\"" + names.last() + "\"";
        if (i > 0 && i % 3 == 0)
            body += " parent_name=\"" + names[i - 1] + "\"";
        else if (i > 0 && i % 3 == 1)
            body += " parent=\"" + QByteArray(materialGuidOf(guid('d', i - 1)).getString().get()) + "\"";
        else if (i > 0)
            body += " parent=\"" + guid('d', i - 1) + "\"";
        QVERIFY(installation_->writeAsset(QStringLiteral("many/%1.mat").arg(1000 + i), body + "/>", guid('d', i), 4));
    }
    // A material that names its own name takes the next of that name.
    QVERIFY(installation_->writeAsset(QStringLiteral("many/pair_a.mat"),
                                      "<material name=\"pair\" parent_name=\"pair\"/>", guid('e', 1), 4));
    QVERIFY(installation_->writeAsset(QStringLiteral("many/pair_b.mat"), "<material name=\"pair\"/>", guid('e', 2), 4));
    Velmora::FileSystem::rescan();
    QCOMPARE(Velmora::Materials::loadMaterials(), 4 + COUNT + 2);
    const Velmora::Ptr<Velmora::Material> pair = Velmora::Materials::findMaterial("pair");
    QCOMPARE(pair->getFileGUID(), Velmora::UGUID(guid('e', 1).constData()));
    QCOMPARE(pair->getParent()->getFileGUID(), Velmora::UGUID(guid('e', 2).constData()));
    QCOMPARE(name(pair->getParent()->getParent()), QStringLiteral("mesh_base"));
    QCOMPARE(log_->count(QStringLiteral("not found"), 1), 1); // lonely's, as ever
    QCOMPARE(log_->count(QStringLiteral("itself")), 0);
    const auto material = [](int i) {
        return Velmora::Materials::findMaterialByFileGUID(Velmora::UGUID(guid('d', i).constData()));
    };
    for (int i = 0; i < COUNT; ++i) {
        const Velmora::Ptr<Velmora::Material> own = material(i);
        QVERIFY(own);
        QCOMPARE(QByteArray(own->getName()), names[i]);
        QCOMPARE(Velmora::Materials::findMaterialByGUID(materialGuidOf(guid('d', i))), own);
        QCOMPARE(Velmora::Materials::findMaterial(names[i]), material(names.indexOf(names[i])));
        const int parent = i % 3 == 0 && i > 0 ? int(names.indexOf(names[i - 1])) : i - 1;
        if (parent < 0)
            QCOMPARE(name(own->getParent()), QStringLiteral("mesh_base"));
        else
            QCOMPARE(own->getParent(), material(parent));
    }

    // Reading one file again keeps every lookup.
    const Velmora::Ptr<Velmora::Material> old = material(151);
    const Velmora::Ptr<Velmora::Material> again = Velmora::Materials::loadMaterial("many/1151.mat");
    QVERIFY(again && again != old);
    QCOMPARE(Velmora::Materials::getNumMaterials(), 4 + COUNT + 2);
    QCOMPARE(material(151), again);
    QCOMPARE(Velmora::Materials::findMaterial("m1151"), again);
    QCOMPARE(Velmora::Materials::findMaterialByGUID(materialGuidOf(guid('d', 151))), again);
    QCOMPARE(material(152)->getParent(), again);
    QCOMPARE(again->getParent(), material(150));
}

void TestMaterials::files_of_one_name_in_many_folders_are_each_read_from_their_own()
{
    // Enough files for several threads; in path order, each file sits in
    // another folder than the one before it (some folder names prefix
    // others), in both formats.
    constexpr int COUNT = 90;
    for (int i = 0; i < COUNT; ++i) {
        const QByteArray own = "f" + QByteArray::number(i);
        const QByteArray body = i % 2 ? "Material(name=\"" + own + "\");" : "<material name=\"" + own + "\"/>";
        QVERIFY(installation_->writeAsset(QStringLiteral("same/%1/m.mat").arg(i), body, guid('f', i), 4));
    }
    Velmora::FileSystem::rescan();
    QCOMPARE(Velmora::Materials::loadMaterials(), 4 + COUNT);
    for (int i = 0; i < COUNT; ++i) {
        const Velmora::Ptr<Velmora::Material> material
                = Velmora::Materials::findMaterialByFileGUID(Velmora::UGUID(guid('f', i).constData()));
        QVERIFY(material);
        QCOMPARE(QByteArray(material->getName()), "f" + QByteArray::number(i));
        QCOMPARE(QByteArray(material->getFileFormat()), QByteArray(i % 2 ? "fesk" : "xml"));
    }
}

void TestMaterials::built_in_base_materials_have_derived_guids_and_no_file()
{
    const Velmora::Ptr<Velmora::Material> base = Velmora::Materials::findBaseMaterial("mesh_base");
    QVERIFY(base);
    QVERIFY(base->isBase());
    QCOMPARE(base->getGUID(), Velmora::UGUID::derive(Velmora::UGUID(), "builtin:mesh_base"));
    QVERIFY(base->getFileGUID().isEmpty());
    QVERIFY(Velmora::Materials::findBaseMaterial("impostor_grab_gbuffer_post"));
    QVERIFY(!Velmora::Materials::findBaseMaterial("rock"));
    QCOMPARE(Velmora::Materials::findMaterial("mesh_base"), base);
}

void TestMaterials::materials_compile_reports_one_material_per_update()
{
    Velmora::Materials::loadMaterials();
    Velmora::Console::run("materials_compile 4");
    Velmora::Engine *engine = Velmora::Engine::get();
    engine->update();
    QCOMPARE(logic_.calls, (QStringList{QStringLiteral("compileBegin"), QStringLiteral("compile rock 3")}));
    engine->update();
    engine->update();
    engine->update();
    engine->update();
    QCOMPARE(logic_.calls,
             (QStringList{QStringLiteral("compileBegin"), QStringLiteral("compile rock 3"),
                          QStringLiteral("compile metal 2"), QStringLiteral("compile lonely 1"),
                          QStringLiteral("compile <unnamed> 0"), QStringLiteral("compileEnd")}));
    QCOMPARE(Velmora::Materials::getNumPendingCompiles(), 0);

    Velmora::Console::run("materials_compile 0");
    engine->update();
    QCOMPARE(log_->count(QStringLiteral("materials_compile"), 2), 1);
    QCOMPARE(logic_.calls.size(), 6);
}

void TestMaterials::precompile_schedules_every_material_once_and_counts_calls()
{
    Velmora::Materials::loadMaterials();
    QVERIFY(!Velmora::Materials::isPrecompileAllShaders());
    Velmora::Materials::setPrecompileAllShaders(true);
    Velmora::Materials::setPrecompileAllShaders(true);
    QVERIFY(Velmora::Materials::isPrecompileAllShaders());
    QCOMPARE(Velmora::Materials::getPrecompileAllShadersCallCount(), 2);
    QCOMPARE(Velmora::Materials::getNumPendingCompiles(), 4);
    for (int i = 0; i < 4; ++i)
        Velmora::Engine::get()->update();
    QCOMPARE(logic_.calls.count(), 6);
    QCOMPARE(logic_.calls.last(), QStringLiteral("compileEnd"));

    // Each compiled material leaves one line in the shader cache.
    const QList<QByteArray> lines = Installation::read(shaderCachePath()).trimmed().split('\n');
    QCOMPARE(lines.size(), 4);
    QVERIFY(lines[1].startsWith(QByteArray(materialGuidOf(guid('a', 102)).getString().get()) + " metal "));
}

bool TestMaterials::restartAndPrecompile()
{
    installation_->stop();
    logic_.calls.clear();
    if (!installation_->start({}, nullptr, &logic_))
        return false;
    Velmora::Materials::loadMaterials();
    Velmora::Materials::setPrecompileAllShaders(true);
    return true;
}

QList<QByteArray> TestMaterials::finishCompiling() const
{
    for (int i = 0; i < 1000 && Velmora::Materials::getNumPendingCompiles() > 0; ++i)
        Velmora::Engine::get()->update();
    // Never opened when it is not a plain file: a FIFO would block the read.
    const QByteArray cache
            = QFileInfo(shaderCachePath()).isFile() ? Installation::read(shaderCachePath()) : QByteArray();
    return cache.isEmpty() ? QList<QByteArray>() : cache.split('\n').mid(0, cache.count('\n'));
}

void TestMaterials::a_start_on_a_full_shader_cache_compiles_and_writes_nothing()
{
    QVERIFY(restartAndPrecompile());
    const QList<QByteArray> first = finishCompiling();
    QCOMPARE(first.size(), 4);
    // The lines of caches written before stay valid.
    for (int i = 0; i < Velmora::Materials::getNumMaterials(); ++i)
        QCOMPARE(first[i], cacheLineFromGetters(Velmora::Materials::getMaterial(i)));
    const QString path = shaderCachePath();
    const QByteArray bytes = Installation::read(path);
    // An old time: a write in the same second would otherwise go unseen.
    const QDateTime old = QDateTime::currentDateTime().addDays(-3);
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(old, QFileDevice::FileModificationTime));
    }
    for (int start = 2; start <= 4; ++start) {
        QVERIFY(restartAndPrecompile());
        QCOMPARE(Velmora::Materials::getNumPendingCompiles(), 0);
        for (int i = 0; i < 3; ++i)
            Velmora::Engine::get()->update();
        QVERIFY(!logic_.calls.contains(QStringLiteral("compileBegin")));
        QCOMPARE(Installation::read(path), bytes);
        QCOMPARE(QFileInfo(path).lastModified(), old);
    }

    // A changed material compiles alone, and its program is added after the
    // ones the file holds.
    QVERIFY(installation_->writeAsset(QStringLiteral("materials/base/rock.mat"), QByteArray(ROCK).replace("0.9", "0.8"),
                                      guid('a', 101), 4));
    QVERIFY(restartAndPrecompile());
    QCOMPARE(Velmora::Materials::getNumPendingCompiles(), 1);
    const QList<QByteArray> lines = finishCompiling();
    QCOMPARE(logic_.calls.filter(QStringLiteral("compile")),
             (QStringList{QStringLiteral("compileBegin"), QStringLiteral("compile rock 0"),
                          QStringLiteral("compileEnd")}));
    QCOMPARE(lines.mid(0, 4), first);
    QCOMPARE(lines.size(), 5);
    QVERIFY(lines[4].startsWith(first[0].left(first[0].indexOf(' ') + 1) + "rock "));
    QVERIFY(lines[4] != first[0]);
}

void TestMaterials::the_shader_cache_is_looked_up_by_the_updates_after_the_switch()
{
    // More materials than a frame should wait for.
    for (int i = 0; i < 400; ++i)
        QVERIFY(installation_->writeAsset(QStringLiteral("materials/many/m%1.mat").arg(i, 3, 10, QLatin1Char('0')),
                                          "<material name=\"m" + QByteArray::number(i) + "\"/>", guid('d', i), 4));
    QVERIFY(restartAndPrecompile());
    const QList<QByteArray> full = finishCompiling();
    QCOMPARE(full.size(), 404);

    // The switch reads nothing: the cache as the updates find it counts,
    // here without the first and the last material's lines.
    QVERIFY(restartAndPrecompile());
    const QByteArray first = Velmora::Materials::getMaterial(0)->getName();
    const QByteArray last = Velmora::Materials::getMaterial(403)->getName();
    QVERIFY(Installation::writeAbsolute(shaderCachePath(), full.mid(1, 402).join('\n') + '\n'));
    int updates = 0;
    while (!logic_.calls.contains(QStringLiteral("compileBegin")) && updates < 100) {
        Velmora::Engine::get()->update();
        ++updates;
    }
    // Spread over the updates, and the pass shows from its first material
    // how many remain.
    QVERIFY2(updates > 1, qPrintable(QString::number(updates)));
    QCOMPARE(logic_.calls,
             (QStringList{QStringLiteral("compileBegin"), QStringLiteral("compile %1 1").arg(first.constData())}));
    const QList<QByteArray> after = finishCompiling();
    QCOMPARE(logic_.calls.mid(2),
             (QStringList{QStringLiteral("compile %1 0").arg(last.constData()), QStringLiteral("compileEnd")}));
    QCOMPARE(QSet<QByteArray>(after.begin(), after.end()), QSet<QByteArray>(full.begin(), full.end()));
}

void TestMaterials::a_shader_cache_holding_lines_twice_or_broken_is_read_data()
{
    // Lines of the cache before the start: the index of a material's line
    // (in load order), "-cut" for its first 30 bytes, "-crlf" for a Windows
    // line end; "!" before a broken line; anything else is written as it
    // stands.
    QTest::addColumn<QStringList>("cache");
    QTest::addColumn<int>("compiled");
    QTest::addColumn<int>("broken");
    QTest::newRow("every line twice") << QStringList{"0", "1", "0", "2", "3", "3", "1"} << 0 << 0;
    QTest::newRow("twice, broken and two missing")
            << QStringList{"0", "0", "!garbage", "1-cut", "1-crlf", "", "0", "3-cut"} << 2 << 3;
    QTest::newRow("a line of another program")
            << QStringList{"2", "0000000000000000000000000000000000000000 gone with spaces 0000abcd", "1"} << 2 << 0;
}

void TestMaterials::a_shader_cache_holding_lines_twice_or_broken_is_read()
{
    QFETCH(QStringList, cache);
    QFETCH(int, compiled);
    QFETCH(int, broken);
    QVERIFY(restartAndPrecompile());
    const QList<QByteArray> lines = finishCompiling();
    QCOMPARE(lines.size(), 4);

    QByteArray text;
    QList<QByteArray> expected; // each whole line once, in file order, then the added ones
    for (const QString &entry : cache) {
        const int index = entry.left(1).toInt();
        const bool own = !entry.isEmpty() && entry.front().isDigit() && entry.size() <= 6;
        const QByteArray line = own ? lines[index] : entry.toUtf8();
        if (entry.endsWith(QLatin1String("-cut")) || entry.startsWith(QLatin1Char('!'))) {
            text += (own ? line.left(30) : line.mid(1)) + '\n';
            continue;
        }
        text += line + (entry.endsWith(QLatin1String("-crlf")) ? "\r\n" : "\n");
        if (!line.isEmpty() && !expected.contains(line))
            expected << line;
    }
    text.chop(1); // the last line without its end, as a killed writer leaves it
    for (const QByteArray &line : lines) {
        if (!expected.contains(line))
            expected << line;
    }
    QVERIFY(Installation::writeAbsolute(shaderCachePath(), text));

    QVERIFY(restartAndPrecompile());
    QCOMPARE(Velmora::Materials::getNumPendingCompiles(), compiled);
    QCOMPARE(log_->count(QStringLiteral("broken line"), 1), broken ? 1 : 0);
    const QList<QByteArray> after = finishCompiling();
    if (compiled == 0) {
        // Nothing added: the file stays as it is.
        QCOMPARE(Installation::read(shaderCachePath()), text);
    } else {
        QCOMPARE(after, expected);
    }
}

void TestMaterials::a_long_compile_pass_writes_the_shader_cache_in_batches()
{
    for (int i = 0; i < 146; ++i)
        QVERIFY(installation_->writeAsset(QStringLiteral("materials/many/m%1.mat").arg(i, 3, 10, QLatin1Char('0')),
                                          "<material name=\"m" + QByteArray::number(i) + "\"/>", guid('d', i), 4));
    QVERIFY(restartAndPrecompile());
    QCOMPARE(Velmora::Materials::getNumPendingCompiles(), 150);
    // What a killed editor keeps: the batches written whole so far.
    const auto linesAfter = [this](int updates) {
        for (int i = 0; i < updates; ++i)
            Velmora::Engine::get()->update();
        return Installation::read(shaderCachePath()).count('\n');
    };
    linesAfter(63);
    QVERIFY(!QFileInfo::exists(shaderCachePath()));
    QCOMPARE(linesAfter(1), 64);
    QCOMPARE(linesAfter(63), 64);
    // The file is as this process wrote it: it is not read again.
    const qint64 size = Installation::read(shaderCachePath()).size();
    const qint64 read = bytesRead();
    Velmora::Engine::get()->update();
    QVERIFY(bytesRead() - read < size / 2);
    QCOMPARE(linesAfter(0), 128);
    // A line another editor adds meanwhile is kept.
    const QByteArray other = "0000000000000000000000000000000000000000 other 0000abcd";
    QVERIFY(Installation::writeAbsolute(shaderCachePath(), Installation::read(shaderCachePath()) + other + '\n'));
    const QList<QByteArray> lines = finishCompiling();
    QCOMPARE(lines.size(), 151);
    QCOMPARE(QSet<QByteArray>(lines.begin(), lines.end()).size(), 151);
    QCOMPARE(lines[128], other);
    QCOMPARE(logic_.calls.last(), QStringLiteral("compileEnd"));
    QCOMPARE(test::folderEntries(installation_->cachePath()).filter(QRegularExpression("^\\.")), QStringList());
}

void TestMaterials::a_shader_cache_that_cannot_be_read_or_written_only_costs_time_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("a FIFO") << "fifo";
    QTest::newRow("a full disk") << "full disk";
}

void TestMaterials::a_shader_cache_that_cannot_be_read_or_written_only_costs_time()
{
    QFETCH(QString, kind);
    const QString path = shaderCachePath();
    const QByteArray held = "0000000000000000000000000000000000000000 gone 0000abcd\n";
    if (kind == QLatin1String("fifo"))
        QVERIFY(test::makeFifo(path));
    else
        QVERIFY(Installation::writeAbsolute(path, held));
    Velmora::Materials::loadMaterials();
    {
        std::optional<test::FileSizeLimit> full;
        if (kind == QLatin1String("full disk")) {
            full.emplace(held.size());
            QVERIFY(full->isActive());
        }
        Velmora::Materials::setPrecompileAllShaders(true);
        QCOMPARE(Velmora::Materials::getNumPendingCompiles(), 4);
        finishCompiling();
    }
    QCOMPARE(logic_.calls.last(), QStringLiteral("compileEnd"));
    QCOMPARE(log_->count(QStringLiteral("is not updated"), 1), 1);
    QCOMPARE(test::folderEntries(installation_->cachePath()).filter(QRegularExpression("^\\.")), QStringList());
    if (kind == QLatin1String("fifo")) {
        QVERIFY(QFileInfo(path).exists() && !QFileInfo(path).isFile());
        return;
    }
    QCOMPARE(Installation::read(path), held);
    // With room again, the next write holds what was compiled meanwhile.
    Velmora::Materials::compileShaders({});
    const QByteArray after = Installation::read(path);
    QVERIFY(after.startsWith(held));
    QCOMPARE(after.count('\n'), 5);
}

void TestMaterials::properties_inherit_parameters_and_decal()
{
    QVERIFY(installation_->writeAsset(QStringLiteral("props/vehicle.prop"),
                                      "<property name=\"vehicle\"><parameter name=\"mass\">1000</parameter>"
                                      "<parameter name=\"wheels\">4</parameter><decal>textures/decal.png</decal>"
                                      "</property>",
                                      guid('c', 201), 5));
    QVERIFY(installation_->writeAsset(QStringLiteral("props/car.prop"),
                                      "<property name=\"car\" parent_name=\"vehicle\">"
                                      "<parameter name=\"mass\">1200</parameter></property>",
                                      guid('c', 202), 5));
    installation_->stop();
    QVERIFY(installation_->start());
    QCOMPARE(Velmora::Properties::loadProperties(), 2);
    const Velmora::Ptr<Velmora::Property> car = Velmora::Properties::findProperty("car");
    QVERIFY(car);
    QCOMPARE(QByteArray(car->getParent()->getName()), QByteArray("vehicle"));
    QCOMPARE(car->getParameterInt(car->findParameter("mass")), 1200);
    QCOMPARE(car->getParameterInt(car->findParameter("wheels")), 4);
    QCOMPARE(QByteArray(car->getDecal()), QByteArray("textures/decal.png"));
    QCOMPARE(car->getGUID(), Velmora::UGUID::derive(Velmora::UGUID(guid('c', 202).constData()), "property"));
    QCOMPARE(Velmora::Properties::findPropertyByGUID(car->getGUID()), car);
    QVERIFY(Velmora::Properties::isProperty(car->getFileGUID()));
    QVERIFY(!Velmora::Properties::findPropertyByGUID(car->getFileGUID()));
    QCOMPARE(QByteArray(Velmora::Properties::getProperty(0)->getName()), QByteArray("car"));
}

void TestMaterials::property_parents_resolve_by_name_guid_and_file_guid_and_cycles_are_cut()
{
    const QByteArray base_property
            = Velmora::UGUID::derive(Velmora::UGUID(guid('c', 1).constData()), "property").getString().get();
    const QByteArray own_property
            = Velmora::UGUID::derive(Velmora::UGUID(guid('c', 10).constData()), "property").getString().get();
    // Files in path order; a name names the first other property of that
    // name, a GUID the first other property of that GUID or file GUID.
    const QByteArray properties[] = {
            "<property name=\"base\"/>",
            "<property name=\"by_name\" parent_name=\"base\"/>",
            "<property name=\"by_file\" parent=\"" + guid('c', 1) + "\"/>",
            "<property name=\"by_guid\" parent=\"" + base_property + "\"/>",
            "<property name=\"twin\" parent_name=\"twin\"/>",
            "<property name=\"twin\" parent_name=\"by_guid\"/>",
            "<property name=\"lost\" parent_name=\"nowhere\"/>",
            "<property name=\"loop1\" parent_name=\"loop2\"/>",
            "<property name=\"loop2\" parent_name=\"loop1\"/>",
            "<property name=\"me\" parent=\"" + own_property + "\"/>",
    };
    int number = 0;
    for (const QByteArray &property : properties) {
        ++number;
        QVERIFY(installation_->writeAsset(QStringLiteral("props/p%1.prop").arg(number, 2, 10, QLatin1Char('0')),
                                          property, guid('c', number), 5));
    }
    installation_->stop();
    QVERIFY(installation_->start());
    delete log_;
    log_ = new LogCapture;
    QCOMPARE(Velmora::Properties::loadProperties(), 10);
    const auto parentOf = [](int number) {
        const Velmora::Ptr<Velmora::Property> parent = Velmora::Properties::getProperty(number - 1)->getParent();
        return parent ? QString::fromUtf8(parent->getFilePath()).section('/', -1) : QString();
    };
    const QStringList expected{QString(),
                               QStringLiteral("p01.prop"),
                               QStringLiteral("p01.prop"),
                               QStringLiteral("p01.prop"),
                               QStringLiteral("p06.prop"),
                               QStringLiteral("p04.prop"),
                               QString(),
                               QString(),
                               QStringLiteral("p08.prop"),
                               QString()};
    QStringList parents;
    for (int i = 1; i <= 10; ++i)
        parents << parentOf(i);
    QCOMPARE(parents, expected);
    QCOMPARE(log_->count(QStringLiteral("not found"), 1), 2);
    QCOMPARE(log_->count(QStringLiteral("parent \"nowhere\" of \"lost\" not found"), 1), 1);
    QCOMPARE(log_->count(QStringLiteral("parent \"%1\" of \"me\" not found").arg(QString::fromLatin1(own_property)), 1),
             1);
    QCOMPARE(log_->count(QStringLiteral("inherits from itself"), 2), 1);
    QCOMPARE(log_->count(QStringLiteral("\"loop1\" inherits from itself"), 2), 1);
    const Velmora::Ptr<Velmora::Property> twin = Velmora::Properties::findProperty("twin");
    QCOMPARE(QString::fromUtf8(twin->getFilePath()).section('/', -1), QStringLiteral("p05.prop"));
}

void TestMaterials::only_files_whose_extension_is_mat_or_prop_in_any_case_load()
{
    // A name's extension follows its last dot, unless that dot starts the
    // name; folders named like material files hold no material themselves.
    const QByteArray body = "<material/>";
    const QByteArray property = "<property/>";
    for (const char *name : {"x/upper.MAT", "x/mixed.Mat", "x.mat/inside.mat"})
        QVERIFY(installation_->writeData(QString::fromLatin1(name), body));
    for (const char *name : {"y/z.prop", "y/w.PROP"})
        QVERIFY(installation_->writeData(QString::fromLatin1(name), property));
    for (const char *name : {"x/.mat", "x/mat", "x/a.mat.bak", "x/a.matt", "x/a.ma", "x.mat/.prop", "y/p.prop~"})
        QVERIFY(installation_->writeData(QString::fromLatin1(name), body));
    QVERIFY(Velmora::FileSystem::rescan());
    QCOMPARE(Velmora::Materials::loadMaterials(), 4 + 3);
    QStringList paths;
    for (int i = 0; i < Velmora::Materials::getNumMaterials(); ++i) {
        const QString path = QString::fromUtf8(Velmora::Materials::getMaterial(i)->getFilePath());
        if (!path.contains(QStringLiteral("materials/")))
            paths << QDir(installation_->dataPath()).relativeFilePath(path);
    }
    QCOMPARE(paths,
             (QStringList{QStringLiteral("x.mat/inside.mat"), QStringLiteral("x/mixed.Mat"),
                          QStringLiteral("x/upper.MAT")}));
    QCOMPARE(Velmora::Properties::loadProperties(), 2);
}

void TestMaterials::materials_follow_files_added_moved_and_removed_after_the_scan()
{
    // The index was built from the start-up read; the files it lists
    // change afterwards, one at a time.
    const QString data = installation_->dataPath();
    QVERIFY(installation_->writeData(QStringLiteral("added/new.mat"), ROCK));
    QVERIFY(Velmora::FileSystem::addFile("added/new.mat"));
    QVERIFY(Velmora::FileSystem::removeFile("materials/orphan.mat"));
    QVERIFY(QFile::rename(data + QStringLiteral("materials/shiny.mat"), data + QStringLiteral("materials/shiny.txt")));
    QVERIFY(Velmora::FileSystem::moveFile("materials/shiny.mat", "materials/shiny.txt"));
    QVERIFY(QFile::remove(data + QStringLiteral("materials/zbroken.mat")));
    QVERIFY(installation_->writeData(QStringLiteral("b/metal.MAT"), METAL));
    QVERIFY(Velmora::FileSystem::moveFile("materials/zbroken.mat", "b/metal.MAT"));
    QCOMPARE(Velmora::Materials::loadMaterials(), 4);
    QStringList paths;
    for (int i = 0; i < Velmora::Materials::getNumMaterials(); ++i)
        paths << QDir(data).relativeFilePath(QString::fromUtf8(Velmora::Materials::getMaterial(i)->getFilePath()));
    QCOMPARE(paths,
             (QStringList{QStringLiteral("added/new.mat"), QStringLiteral("b/metal.MAT"),
                          QStringLiteral("materials/base/rock.mat"), QStringLiteral("materials/metal.mat")}));
}

QTEST_GUILESS_MAIN(TestMaterials)
#include "tst_materials.moc"
