#pragma once

#include "editor/tools/grab_parameters.h"
#include "editor/tools/texture_swap_action.h"

#include <velmora/Material.h>
#include <velmora/Math.h>
#include <velmora/Node.h>
#include <velmora/Ptr.h>
#include <velmora/UGUID.h>

#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace Impostors {

class MasterThread;

// One impostor creation for one node: fits the cameras, runs the master job
// (grab, save and import of each requested texture kind) and, when it has
// finished, builds the result: a material inherited from the impostor base
// material with the textures and view parameters bound (saved to its file),
// and the impostor node (grass for a mesh clutter, else one billboard) put
// under the source node and selected, all in one undo step.
//
// When no texture could be made, no material and no node are made. An
// impostor whose files exist already is updated only when the caller said
// so (setReplaceExisting): its textures are re-imported and its material
// takes the new bindings and view parameters in the run's undo step, which
// also keeps the textures' earlier contents: undo gives back the earlier
// impostor whole, atlases and material alike.
// resultMessage() and cancelMessage() say what the user has to know.
//
// The editor keeps rendering every frame while the tool runs; the claim is
// given back when the tool finishes, is cancelled or is destroyed.
class GrabberTool : public QObject
{
    Q_OBJECT

public:
    enum Step {
        STEP_NEW = 0,
        STEP_READY = 1,
        STEP_RUNNING = 2,
        STEP_FINISHED = 3,
    };

    struct Params
    {
        Velmora::Ptr<Velmora::Node> source_node;
        // The source, or a disabled static mesh made from a mesh clutter.
        Velmora::Ptr<Velmora::Node> grab_node;
        QString output_directory;
        // One file name per texture kind; empty: not requested.
        QString files[NUM_TEXTURE_KINDS];
        int resolution = 4096;
        int supersampling = 4;
        int numPhi = 8;
        int numTheta = 4;
        float aspect = 1.0f; // cell height / width
        int padding = 16;
    };

    explicit GrabberTool(QObject *parent = nullptr);
    ~GrabberTool() override;

    void setSourceNode(const Velmora::Ptr<Velmora::Node> &node);
    void setTextureFile(int kind, const QString &file_name);
    Params &params() { return params_; }
    const Params &params() const { return params_; }

    // Why these settings cannot be grabbed ("" when they can): the renders
    // must fit the renderer's largest texture.
    QString checkSettings() const;
    // Absolute paths of the requested textures and of the impostor
    // material that exist already.
    QStringList existingFiles() const;
    // Lets the run write over the files existingFiles() lists.
    void setReplaceExisting(bool replace) { replace_existing_ = replace; }

    // Fits the cameras; false, with a warning naming the node, when the
    // node cannot be framed (the step stays STEP_NEW).
    bool prepare();
    void start();
    // Cancels a running master job and gives the frame claim back.
    void cancel();

    int getStep() const { return step_; }
    MasterThread *masterThread() const;
    const Velmora::UGUID &getTexture(int kind) const { return textures_[kind]; }
    float getSize() const { return size_; }
    const Velmora::vec4 &getPivot() const { return pivot_; }

    // "<source name>_impostor" ("???" for an empty name) and its material
    // name "<impostor name>_material".
    QString impostorName() const;
    QString materialName() const { return impostorName() + QStringLiteral("_material"); }
    // Absolute path of the impostor material's file.
    QString materialPath() const;

    // After finished(): what went wrong ("" when the impostor was made with
    // every requested texture).
    QString resultMessage() const;
    // After cancel(): the files the run had already written ("" for none).
    QString cancelMessage() const;
    // The pivot_offset expression: the bound-sphere centre relative to the
    // grab node, in the grab node's frame, with two decimals.
    static QString pivotOffsetText(const Velmora::vec3 &center, const Velmora::vec3 &position,
                                   const Velmora::quat &rotation);

signals:
    void progress(float value);
    void finished();

private:
    void onMasterFinished();
    void makeImpostorNode();
    Velmora::Ptr<Velmora::Node> makeGrass(const Velmora::Ptr<Velmora::Node> &source,
                                          const Velmora::Ptr<Velmora::Material> &material);
    Velmora::Ptr<Velmora::Node> makeBillboards(const Velmora::Ptr<Velmora::Node> &source,
                                               const Velmora::Ptr<Velmora::Material> &material);
    Velmora::Ptr<Velmora::Material> makeMaterial(const char *base_name);
    Velmora::Ptr<Velmora::Material> existingMaterial(const char *base_name);
    void setUpMaterial(const Velmora::Ptr<Velmora::Material> &material) const;
    // The kept earlier textures, handed over (kept_ is empty afterwards).
    QVector<TextureSwapAction::File> keptTextures();
    void bindMaterial(const Velmora::Ptr<Velmora::Material> &material) const;
    // The data-relative path of a file for the user's messages.
    static QString shownPath(const QString &path);
    void claimFrames();
    void releaseFrames();

    int step_ = STEP_NEW;
    QPointer<MasterThread> master_;
    Params params_;
    Velmora::mat4 projection_;
    std::vector<Velmora::mat4> modelviews_;
    Velmora::vec4 pivot_;
    float distance_ = 0.0f;
    float size_ = 0.0f;
    Velmora::UGUID textures_[NUM_TEXTURE_KINDS];
    bool frames_claimed_ = false;
    bool replace_existing_ = false;
    bool result_built_ = false;
    // Kind -> hidden file with the earlier contents of a texture the run
    // wrote over, until the undo step takes it.
    QMap<int, QString> kept_;
    // The run's journal of the kept files (null when none were kept).
    std::shared_ptr<base::KeptFilesJournal> journal_;
    // Why the material or the node could not be made ("" when they were).
    QString material_problem_;
};

} // namespace Impostors
