#include "editor/tools/grabber_tool.h"

#include "core/base/kept_files_journal.h"
#include "editor/tools/camera_setup.h"
#include "editor/tools/file_keeper.h"
#include "editor/tools/impostor_math.h"
#include "editor/tools/master_thread.h"
#include "editor/tools/material_update_action.h"

#include <editor_core/CreateNodesAction.h>
#include <editor_core/UpdateLock.h>
#include <editor_core/as/Asset.h>
#include <editor_core/base/Assert.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/AssetManagerPrivate.h>
#include <editor_core/editor/ReparentNodesAction.h>
#include <editor_core/editor/Selection.h>
#include <editor_core/editor/SelectionAction.h>
#include <editor_core/editor/Undo.h>
#include <editor_core/fs/FileSystem.h>

#include <velmora/Materials.h>
#include <velmora/Object.h>
#include <velmora/WriteWatch.h>

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <cmath>

namespace Impostors {

using Velmora::Material;
using Velmora::Node;
using Velmora::Ptr;

namespace {

QString settingText(const Velmora::ObjectSettings &object, const char *name)
{
    return QString::fromUtf8(object.getSetting(name));
}

// A float setting written four times: "v v v v".
QByteArray fourLanes(float value)
{
    const QByteArray text = QByteArray::number(double(value), 'g', 7);
    return text + ' ' + text + ' ' + text + ' ' + text;
}

// The Z component of a "x y z" setting.
float zOf(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return parts.size() >= 3 ? parts[2].toFloat() : 0.0f;
}

// One surface to carry the impostor material.
void giveSurface(Velmora::Object &object)
{
    Velmora::Object::Surface surface;
    surface.name = "impostor";
    object.setSurfaces(Velmora::Vector<Velmora::Object::Surface>{surface});
}

} // namespace

GrabberTool::GrabberTool(QObject *parent)
    : QObject(parent)
{
    if (depr::g.asset_manager)
        params_.output_directory = depr::g.asset_manager->rootPath();
}

GrabberTool::~GrabberTool()
{
    // The master job is a child and goes with the tool; it waits for its
    // save job on the way.
    releaseFrames();
    // Earlier textures that no undo step took.
    for (const QString &kept : qAsConst(kept_))
        FileKeeper::discard(kept);
    if (journal_)
        journal_->remove();
}

void GrabberTool::setSourceNode(const Ptr<Node> &node)
{
    params_.source_node = node;
    params_.grab_node = node;
    if (!node || node->getType() != Node::OBJECT_MESH_CLUTTER)
        return;
    auto *clutter = static_cast<Velmora::ObjectMeshClutter *>(node.get());
    Ptr<Velmora::ObjectMeshStatic> mesh = Velmora::ObjectMeshStatic::create(clutter->getMeshName(), false);
    mesh->setScale(clutter->getScale());
    for (int i = 0; i < mesh->getNumSurfaces() && i < clutter->getNumSurfaces(); ++i) {
        mesh->setEnabled(clutter->isEnabled(i), i);
        mesh->setMaterial(clutter->getMaterialName(i), i);
        mesh->setViewportMask(clutter->getViewportMask(i), i);
        mesh->setShadowMask(clutter->getShadowMask(i), i);
    }
    mesh->updateSurfaceBounds(-1);
    // Disabled, so that nothing else ever draws it; the silhouette and grab
    // renders switch it on for their own render only.
    mesh->setEnabled(false);
    params_.grab_node = mesh;
}

MasterThread *GrabberTool::masterThread() const
{
    return master_;
}

void GrabberTool::setTextureFile(int kind, const QString &file_name)
{
    params_.files[kind] = file_name;
}

QString GrabberTool::checkSettings() const
{
    const AtlasLayout layout
            = atlasLayout(params_.resolution, params_.numPhi, params_.numTheta, params_.aspect, params_.supersampling);
    GrabParameters grab;
    grab.cellWidth = layout.cellWidth;
    grab.cellHeight = layout.cellHeight;
    grab.supersampling = params_.supersampling;
    QString reason;
    isRenderSizeSupported(grab, &reason);
    return reason;
}

QStringList GrabberTool::existingFiles() const
{
    QStringList paths;
    const QDir directory(params_.output_directory);
    for (const QString &file : params_.files) {
        if (!file.isEmpty())
            paths << QDir::cleanPath(directory.absoluteFilePath(file));
    }
    paths << materialPath();
    QStringList existing;
    for (const QString &path : qAsConst(paths)) {
        // A dangling link is a taken name too.
        const QFileInfo info(path);
        if (info.exists() || info.isSymLink())
            existing << path;
    }
    return existing;
}

bool GrabberTool::prepare()
{
    Q_ASSERT_X(step_ == STEP_NEW, "GrabberTool::prepare", "step_ == STEP_NEW");
    if (step_ != STEP_NEW)
        return false;
    CameraSetup setup;
    setup.node = params_.grab_node;
    setup.numPhi = params_.numPhi;
    setup.numTheta = params_.numTheta;
    setup.aspect = params_.aspect;
    if (!setup.setup()) {
        qWarning("Impostor creator: cannot fit cameras to node \"%s\"",
                 params_.source_node ? params_.source_node->getName() : "");
        return false;
    }
    projection_ = setup.projection;
    modelviews_ = setup.modelviews;
    pivot_ = setup.pivot;
    distance_ = setup.distance;
    size_ = setup.size;
    step_ = STEP_READY;
    return true;
}

void GrabberTool::start()
{
    Q_ASSERT_X(step_ == STEP_READY, "GrabberTool::start", "step_ == STEP_READY");
    if (step_ != STEP_READY)
        return;
    GrabParameters grab;
    grab.node = params_.grab_node;
    grab.distance = distance_;
    grab.projection = projection_;
    grab.modelviews = modelviews_;
    int width = 0;
    int height = 0;
    fitToAspect(params_.resolution, float(params_.numTheta) / float(params_.numPhi) * params_.aspect, &width, &height);
    grab.cellWidth = width / params_.numPhi;
    grab.cellHeight = height / params_.numTheta;
    grab.supersampling = params_.supersampling;
    grab.numPhi = params_.numPhi;
    grab.numTheta = params_.numTheta;
    grab.padding = params_.padding;

    master_ = new MasterThread(grab, this);
    const QDir directory(params_.output_directory);
    for (int kind = 0; kind < NUM_TEXTURE_KINDS; ++kind) {
        if (!params_.files[kind].isEmpty())
            master_->setOutputPath(kind, directory.filePath(params_.files[kind]));
    }
    // What the run writes over can be given back by its undo step.
    master_->setKeepReplaced(replace_existing_);
    connect(master_, &FrameThread::progress, this, &GrabberTool::progress);
    connect(master_, &FrameThread::finished, this, &GrabberTool::onMasterFinished);
    master_->run();
    claimFrames();
    step_ = STEP_RUNNING;
}

void GrabberTool::cancel()
{
    if (master_)
        master_->cancel();
    releaseFrames();
}

void GrabberTool::claimFrames()
{
    if (frames_claimed_)
        return;
    frames_claimed_ = true;
    UpdateLock::claimAlwaysUpdate();
}

void GrabberTool::releaseFrames()
{
    if (!frames_claimed_)
        return;
    frames_claimed_ = false;
    UpdateLock::disclaimAlwaysUpdate();
}

void GrabberTool::onMasterFinished()
{
    const QMap<int, Velmora::UGUID> &imported = master_->imported();
    for (auto it = imported.constBegin(); it != imported.constEnd(); ++it) {
        if (it.key() >= 0 && it.key() < NUM_TEXTURE_KINDS)
            textures_[it.key()] = it.value();
    }
    kept_ = master_->takeKept();
    journal_ = master_->takeJournal();
    // A material without a single texture is no impostor.
    if (!imported.isEmpty())
        makeImpostorNode();
    result_built_ = true;
    emit finished();
    releaseFrames();
    step_ = STEP_FINISHED;
}

QString GrabberTool::impostorName() const
{
    const QString name = params_.source_node ? QString::fromUtf8(params_.source_node->getName()) : QString();
    return QStringLiteral("%1_impostor").arg(name.isEmpty() ? QStringLiteral("???") : name);
}

QString GrabberTool::materialPath() const
{
    return QDir::cleanPath(QDir(params_.output_directory).absoluteFilePath(materialName() + QStringLiteral(".mat")));
}

QString GrabberTool::shownPath(const QString &path)
{
    return QDir::toNativeSeparators(fs::relDataPath(path));
}

QString GrabberTool::resultMessage() const
{
    if (!result_built_ || !master_)
        return QString();
    QStringList lines;
    const QMap<int, int> &failures = master_->failures();
    for (auto it = failures.constBegin(); it != failures.constEnd(); ++it) {
        const QString file = shownPath(master_->outputs().value(it.key()));
        switch (it.value()) {
        case MasterThread::FAILED_GRAB:
            lines << tr("%1: could not be rendered").arg(file);
            break;
        case MasterThread::FAILED_SAVE:
            lines << tr("%1: could not be written (is the disk full or the folder read-only?)").arg(file);
            break;
        default:
            lines << tr("%1: was written but could not be imported").arg(file);
            break;
        }
    }
    const QString details = lines.isEmpty() ? QString() : QStringLiteral("\n\n") + lines.join(QLatin1Char('\n'));
    if (master_->imported().isEmpty())
        return tr("No impostor was made: none of its textures could be made.") + details;
    if (!material_problem_.isEmpty())
        return tr("The textures were saved, but no impostor was made: %1.").arg(material_problem_) + details;
    if (!lines.isEmpty())
        return tr("The impostor was made without these textures:") + details;
    return QString();
}

QString GrabberTool::cancelMessage() const
{
    if (!master_)
        return QString();
    // What a cancel put back is as it was before the run; the rest is told.
    const QMap<int, QString> &not_put_back = master_->notPutBack();
    QStringList written;
    QStringList replaced;
    const QMap<int, QString> &saved = master_->saved();
    for (auto it = saved.constBegin(); it != saved.constEnd(); ++it) {
        const QString file = shownPath(it.value());
        const QString line = master_->imported().contains(it.key()) ? file : tr("%1 (not imported)").arg(file);
        (not_put_back.contains(it.key()) ? replaced : written) << line;
    }
    if (written.isEmpty() && replaced.isEmpty())
        return QString();
    QString text = tr("The impostor was cancelled: no material and no node were made.");
    if (!written.isEmpty())
        text += tr(" These textures had been saved already and are kept:") + QStringLiteral("\n\n")
                + written.join(QLatin1Char('\n'));
    if (!replaced.isEmpty())
        text += (written.isEmpty() ? QStringLiteral(" ") : QStringLiteral("\n\n"))
                + tr("These textures had been written over and could not be given their earlier contents back:")
                + QStringLiteral("\n\n") + replaced.join(QLatin1Char('\n'));
    return text;
}

QString GrabberTool::pivotOffsetText(const Velmora::vec3 &center, const Velmora::vec3 &position,
                                     const Velmora::quat &rotation)
{
    const Velmora::vec3 offset = (center - position) * rotation;
    // Rounded first, so that a tiny negative value does not print as
    // "-0.00"; asprintf formats in the C locale whatever the user's locale.
    auto rounded = [](float value) { return std::round(double(value) * 100.0) / 100.0 + 0.0; };
    return QString::asprintf("vec3(%.2f,%.2f,%.2f)", rounded(offset.x), rounded(offset.y), rounded(offset.z));
}

void GrabberTool::makeImpostorNode()
{
    const Ptr<Node> source = params_.source_node;
    if (!source) {
        base::printAssertMessage("params_.source_node", __FILE__, __LINE__);
        material_problem_ = tr("the source node is gone");
        return;
    }
    const bool grass = source->getType() == Node::OBJECT_MESH_CLUTTER;
    const char *base_name = grass ? "grass_impostor_base" : "billboards_impostor_base";
    const bool update = replace_existing_ && QFileInfo::exists(materialPath());
    const Ptr<Material> material = update ? existingMaterial(base_name) : makeMaterial(base_name);
    if (!material)
        return; // material_problem_ says why; the imported textures stay

    // A re-run keeps the impostor node an earlier run put under the source.
    Ptr<Node> impostor;
    for (int i = 0; update && i < source->getNumChildren() && !impostor; ++i) {
        const Ptr<Node> child = source->getChild(i);
        // Nodes name their material as the tool set it: by name.
        const auto *object = dynamic_cast<const Velmora::Object *>(child.get());
        if (object && object->getNumSurfaces() > 0 && qstrcmp(object->getMaterialName(0), material->getName()) == 0)
            impostor = child;
    }
    const bool new_node = !impostor;
    if (new_node)
        impostor = grass ? makeGrass(source, material) : makeBillboards(source, material);

    // Until the run is marked finished, a start after a kill puts back the
    // earlier material with the earlier textures.
    QString kept_material;
    if (update && journal_) {
        QString error;
        if (!FileKeeper::keep(materialPath(), &kept_material, &error)
            || (!kept_material.isEmpty() && !journal_->add(materialPath(), kept_material, &error)))
            qWarning("Impostor creator: cannot keep the earlier \"%s\" (%s)", materialPath().toUtf8().constData(),
                     error.toUtf8().constData());
    }
    bool material_saved = true;
    Editor::Undo::begin();
    // The textures first: undo then gives back the material's earlier
    // bindings and grid before the atlases they were made for. Each undo and
    // redo of the step is journaled from the swap to its end, the material
    // included.
    TextureSwapAction *textures = kept_.isEmpty()
            ? nullptr
            : new TextureSwapAction(keptTextures(), journal_, update ? materialPath() : QString());
    if (textures)
        Editor::Undo::apply(textures);
    if (update) {
        std::function<bool()> may_write;
        if (textures)
            may_write = [textures]() { return textures->changing(); };
        // The journal holds what is about to be under the material's name
        // before it is there.
        const std::unique_ptr<Velmora::WriteWatch> watch = journal_ ? journal_->watchWrites() : nullptr;
        Editor::Undo::apply(new MaterialUpdateAction(
                material, [this, material]() { setUpMaterial(material); }, &material_saved, may_write));
    }
    if (textures)
        Editor::Undo::apply(textures->end());
    if (new_node) {
        const QVector<Ptr<Node>> nodes{impostor};
        Editor::SelectorNodes *selector
                = Editor::SelectorNodes::createObjectsSelector(Velmora::Vector<Ptr<Node>>{impostor});
        Editor::Undo::apply(new CreateNodesAction(nodes, false));
        Editor::Undo::apply(new Editor::ReparentNodesAction(nodes, source, -1));
        Editor::Undo::apply(new Editor::SelectionAction(selector));
    }
    Editor::Undo::commit();
    if (!material_saved)
        material_problem_ = tr("the material %1 could not be written").arg(shownPath(materialPath()));
    // The impostor is whole on disk: its kept files only serve undo now. A
    // material that could not be written left the earlier one, which goes
    // with the earlier textures.
    QString error;
    bool finished = false;
    if (journal_ && material_saved) {
        finished = journal_->finish(&error);
        if (!finished)
            qWarning("Impostor creator: cannot record the finished run (%s)", error.toUtf8().constData());
    }
    if (!textures) {
        // No undo step takes the journal: the files are whole as they are.
        if (journal_)
            journal_->remove();
        FileKeeper::discard(kept_material);
    } else if (finished) {
        FileKeeper::discard(kept_material);
    } else {
        // Until the journal is written again, a start after a kill gives
        // the earlier material back with the earlier textures.
        textures->holdMaterialKept(kept_material);
    }
    journal_.reset();
}

QVector<TextureSwapAction::File> GrabberTool::keptTextures()
{
    QVector<TextureSwapAction::File> files;
    for (auto it = kept_.constBegin(); it != kept_.constEnd(); ++it)
        files.append({fs::toSourcePath(master_->outputs().value(it.key())), it.value()});
    kept_.clear();
    return files;
}

Ptr<Node> GrabberTool::makeGrass(const Ptr<Node> &source, const Ptr<Material> &material)
{
    Q_ASSERT(source && source->getType() == Node::OBJECT_MESH_CLUTTER);
    const auto &clutter = static_cast<const Velmora::ObjectMeshClutter &>(*source);
    Ptr<Velmora::ObjectGrass> grass = Velmora::ObjectGrass::create();
    grass->setWorldTransform(source->getWorldTransform());
    grass->setName(impostorName().toUtf8().constData());
    giveSurface(*grass);
    grass->setMaterial(material, 0);

    auto set = [&grass](const char *name, const QByteArray &value) { grass->setSetting(name, value.constData()); };
    auto copy = [&grass, &clutter](const char *name) { grass->setSetting(name, clutter.getSetting(name)); };
    set("thinning", "1");
    set("variation", "0");
    copy("orientation");
    copy("intersection");
    set("num_textures", "1");
    // A mask given by file is referred to; one held in memory is copied.
    if (*clutter.getSetting("mask_image_name"))
        copy("mask_image_name");
    else
        copy("mask_image");
    if (*clutter.getSetting("mask_mesh_name"))
        copy("mask_mesh_name");
    else
        copy("mask_mesh");
    for (const char *name : {"mask_min_value", "mask_max_value", "mask_flip_x", "mask_flip_y", "mask_inverse",
                             "cutout_inverse", "cutout_intersection_mask", "seed", "size_x", "size_y"})
        copy(name);
    set("step", QByteArray::number(double(clutter.getSettingFloat("step") * 8.0f), 'g', 7));
    set("subdivision", "8");
    copy("density");
    copy("threshold");
    copy("angle");
    set("min_bend_mean", fourLanes(0.0f));
    set("min_bend_spread", fourLanes(0.0f));
    set("max_bend_mean", fourLanes(0.0f));
    set("max_bend_spread", fourLanes(0.0f));
    set("min_height_mean", fourLanes(clutter.getSettingFloat("min_scale_mean")));
    set("min_height_spread", fourLanes(clutter.getSettingFloat("min_scale_spread")));
    set("max_height_mean", fourLanes(clutter.getSettingFloat("max_scale_mean")));
    set("max_height_spread", fourLanes(clutter.getSettingFloat("max_scale_spread")));
    set("aspect_mean", fourLanes(1.0f));
    set("aspect_spread", fourLanes(0.0f));
    set("offset_mean", fourLanes(clutter.getSettingFloat("offset_mean")));
    set("offset_spread", fourLanes(clutter.getSettingFloat("offset_spread")));
    set("rotation_mean", fourLanes(zOf(settingText(clutter, "meshes_rotation_mean"))));
    set("rotation_spread", fourLanes(zOf(settingText(clutter, "meshes_rotation_spread"))));
    return grass;
}

Ptr<Node> GrabberTool::makeBillboards(const Ptr<Node> &source, const Ptr<Material> &material)
{
    Ptr<Velmora::ObjectBillboards> billboards = Velmora::ObjectBillboards::create();
    billboards->setWorldTransform(Velmora::Math::translate(source->getWorldPosition())
                                  * Velmora::mat4(source->getWorldRotation()));
    billboards->setName(impostorName().toUtf8().constData());
    giveSurface(*billboards);
    billboards->setMaterial(material, 0);
    billboards->addBillboard(1.0f, 1.0f);
    return billboards;
}

Ptr<Material> GrabberTool::makeMaterial(const char *base_name)
{
    Editor::AssetManagerPrivate *assets = depr::g.asset_manager;
    const Ptr<Material> base = Velmora::Materials::findMaterial(base_name);
    const Velmora::UGUID base_asset
            = base && assets ? assets->assetGUIDByRuntimeGUID(base->getGUID()) : Velmora::UGUID();
    if (base_asset.isEmpty()) {
        qWarning("Impostor creator: the base material \"%s\" is missing; no impostor node is made", base_name);
        material_problem_ = tr("the engine material %1 is missing").arg(QString::fromUtf8(base_name));
        return Ptr<Material>();
    }
    const QString path = QDir(params_.output_directory).absoluteFilePath(materialName());
    const Velmora::UGUID copy = assets->copySync(base_asset, path, 1);
    if (copy.isEmpty()) {
        qWarning("Impostor creator: cannot make the material \"%s\" from \"%s\"; no impostor node is made",
                 path.toUtf8().constData(), base_name);
        material_problem_ = tr("the material %1 could not be made").arg(shownPath(materialPath()));
        return Ptr<Material>();
    }
    const as::Asset inherited = assets->asset(copy);
    Q_ASSERT_X(inherited.getNumRuntimes(), "GrabberTool::makeMaterial", "inherited_asset.getNumRuntimes()");
    // The material runtime of the new file (its primary runtime names the
    // file, which the material registry also knows it by).
    const Ptr<Material> material = Velmora::Materials::findMaterialByFileGUID(copy);
    if (!material) {
        qWarning("Impostor creator: the material \"%s\" did not load; no impostor node is made",
                 path.toUtf8().constData());
        material_problem_ = tr("the material %1 could not be loaded").arg(shownPath(materialPath()));
        return material;
    }
    setUpMaterial(material);
    if (!Velmora::Materials::saveMaterial(material))
        material_problem_ = tr("the material %1 could not be written").arg(shownPath(materialPath()));
    return material_problem_.isEmpty() ? material : Ptr<Material>();
}

Ptr<Material> GrabberTool::existingMaterial(const char *base_name)
{
    Editor::AssetManagerPrivate *assets = depr::g.asset_manager;
    const QString path = materialPath();
    const as::Asset asset = assets ? assets->asset(path) : as::Asset();
    const Ptr<Material> material
            = asset.isNull() ? Ptr<Material>() : Velmora::Materials::findMaterialByFileGUID(asset.getGUID());
    const Ptr<Material> base = Velmora::Materials::findMaterial(base_name);
    // Only an impostor material of the same kind is written over.
    if (!material || !base || !material->isParent(base)) {
        qWarning("Impostor creator: \"%s\" is not a material inherited from \"%s\"; it is left as it is",
                 path.toUtf8().constData(), base_name);
        material_problem_ = tr("%1 exists but is not an impostor material of this kind").arg(shownPath(path));
        return Ptr<Material>();
    }
    return material;
}

void GrabberTool::setUpMaterial(const Ptr<Material> &material) const
{
    material->setTransparent(1);
    material->setBlendFunc(0, 0);
    bindMaterial(material);
}

void GrabberTool::bindMaterial(const Ptr<Material> &material) const
{
    Editor::AssetManagerPrivate *assets = depr::g.asset_manager;
    // The first kind with a texture, of one or two candidates.
    auto pick = [this](int first, int second) { return !textures_[first].isEmpty() ? first : second; };
    auto bind = [&](const char *slot_name, int kind) {
        const Velmora::UGUID &guid = textures_[kind];
        const int slot = material->findTexture(slot_name);
        if (guid.isEmpty() || !assets->hasRuntime(guid) || slot < 0)
            return false;
        material->setTexturePath(slot, guid.getString().get());
        return true;
    };
    bind("albedo", pick(TEXTURE_ALBEDO, TEXTURE_ALBEDO_SSAO));
    bind("normal", pick(TEXTURE_NORMAL, TEXTURE_NORMAL_VEGETATION));
    const bool shading = bind("shading", TEXTURE_SHADING);
    bind("ambient_occlusion", pick(TEXTURE_BAKED_AO, TEXTURE_SSAO));
    const bool translucent = bind("translucent", pick(TEXTURE_TRANSLUCENCE, TEXTURE_TRANSLUCENCE_VEGETATION));
    if (textures_[TEXTURE_DEPTH].isEmpty()) {
        material->setState("depth_map", 0);
    } else {
        material->setState("depth_map", 1);
        bind("depth", TEXTURE_DEPTH);
    }

    auto parameter = [&material](const char *name, float value) {
        const int slot = material->findParameter(name);
        if (slot >= 0)
            material->setParameterFloat(slot, value);
    };
    parameter("metalness", shading ? 1.0f : 0.0f);
    parameter("roughness", 1.0f);
    parameter("specular", shading ? 1.0f : 0.5f);
    parameter("microfiber", shading ? 1.0f : 0.0f);
    parameter("translucent", translucent ? 1.0f : 0.0f);
    parameter("phi", float(params_.numPhi));
    parameter("theta", float(params_.numTheta));
    parameter("size", 2.0f * size_);
    parameter("aspect", 1.0f / params_.aspect);
    const int pivot = material->findParameter("pivot_offset");
    if (pivot >= 0 && params_.grab_node) {
        const QString text
                = pivotOffsetText(Velmora::vec3(pivot_.x, pivot_.y, pivot_.z), params_.grab_node->getWorldPosition(),
                                  params_.grab_node->getWorldRotation());
        material->setParameterExpression(pivot, text.toUtf8().constData());
    }
}

} // namespace Impostors
