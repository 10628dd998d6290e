#pragma once

#include "editor/tools/grab_parameters.h"

#include <editor_core/FrameThread.h>

#include <velmora/Image.h>
#include <velmora/Ptr.h>
#include <velmora/UGUID.h>

#include <QFuture>
#include <QMap>
#include <QPair>
#include <QString>
#include <QVector>

#include <memory>

namespace base {
class KeptFilesJournal;
}

namespace Impostors {

class GrabThreadBase;

// Turns one set of grab settings into texture assets: for every requested
// texture kind (in ascending kind order) it runs the kind's grab job, one
// step per editor frame, saves the atlas on Qt's global thread pool and
// imports the file (or re-imports it when it is an asset already). The
// engine's Game is switched off from the first step to the end and then put
// back as it was. A failed save or import is logged and leaves that kind
// out of imported(); a grab job that gives up on its own does the same.
// failures() tells which kinds were left out and why, saved() which files
// were written (also those a cancel kept from being imported).
class MasterThread : public FrameThread
{
    Q_OBJECT

public:
    enum Failure {
        FAILED_GRAB = 0,
        FAILED_SAVE = 1,
        FAILED_IMPORT = 2,
    };

    enum Step {
        STEP_SETUP = 0,
        STEP_FINISH = 1,
        STEP_START_TASK = 2,
        STEP_GRAB = 3,
        STEP_SAVE = 4,
        STEP_IMPORT = 5,
        STEP_NEXT_TASK = 6,
        STEP_DONE = 7,
    };

    explicit MasterThread(const GrabParameters &params, QObject *parent = nullptr);
    // Waits for a running save and cancels a running grab job first; a run
    // not yet done gives back what it wrote over, as a cancel does.
    ~MasterThread() override;

    // Before the first step only; an empty path leaves the kind out.
    void setOutputPath(int kind, const QString &path);
    // Keeps what a file had before the run writes over it (FileKeeper), and
    // names the kept file in the run's journal before the file is written
    // over; a kind whose earlier contents cannot be kept so is not written.
    void setKeepReplaced(bool keep) { keep_replaced_ = keep; }

    void update() override;
    // Waits for a running save, drops the grab job, gives the files it wrote
    // over their earlier contents back (and re-imports them), gives the Game
    // back its state (when it was taken), emits cancelled().
    void cancel() override;

    int getStep() const { return state_.step; }
    int getCurrentTask() const { return state_.current_task; }
    const QMap<int, QString> &outputs() const { return outputs_; }
    // Kind -> runtime GUID of the imported texture.
    const QMap<int, Velmora::UGUID> &imported() const { return imported_; }
    // Kind -> Failure of the kinds that were left out.
    const QMap<int, int> &failures() const { return failures_; }
    // Kind -> path of every file written (and not put back by a cancel).
    const QMap<int, QString> &saved() const { return saved_; }
    // Kind -> path of the files a cancel could not give their earlier
    // contents back; they keep what the run wrote (also in saved()).
    const QMap<int, QString> &notPutBack() const { return not_put_back_; }
    // Kind -> the hidden file with the earlier contents of the kind's file;
    // the caller owns them from then on, with the journal that names them
    // (null when nothing was kept). What is not taken is removed with the
    // job.
    QMap<int, QString> takeKept();
    std::shared_ptr<base::KeptFilesJournal> takeJournal();

    // Engine image format a kind is saved in (a ".jpg" path: RGB8 always).
    static int saveFormat(int kind, const QString &path);
    // Texture-import image format for an engine image format.
    static int importFormat(int image_format);

protected:
    // The grab job of a kind; null for an unknown kind.
    virtual GrabThreadBase *createGrabThread(int kind);
    // Runs on a pool thread: writes the converted image to the file.
    virtual bool saveImage(const Velmora::Image &image, const QString &path);

private:
    void startTask();
    void onGrabProgress(float value);
    void onGrabFinished();
    void onGrabCancelled();
    void dropGrabThread(bool cancel);
    void importTask();
    void nextTask();
    void restoreGame();
    void takeSaveResult();
    void fail(int failure);

    struct SaveOutcome
    {
        bool saved = false;
        QString kept;
    };
    SaveOutcome save(const QPair<int, QString> &task, const Velmora::Ptr<Velmora::Image> &image);
    bool recordKept(const QString &path, const QString &kept, QString *error);
    void discardKept();
    // Gives each kept file's earlier contents back to its name; re-imports
    // the textures when asked.
    void putBackKept(bool reimport);

    GrabParameters params_;
    QMap<int, QString> outputs_;
    QMap<int, Velmora::UGUID> imported_;
    QMap<int, int> failures_;
    QMap<int, QString> saved_;
    QMap<int, QString> kept_;
    QMap<int, QString> not_put_back_;
    // Written by the save jobs (one at a time), read once they are done.
    std::shared_ptr<base::KeptFilesJournal> journal_;
    bool keep_replaced_ = false;
    QVector<QPair<int, QString>> tasks_;
    bool game_saved_ = false;
    bool game_enabled_ = false;
    struct State
    {
        int step = STEP_SETUP;
        int current_task = 0;
        GrabThreadBase *grab_thread = nullptr;
        Velmora::Ptr<Velmora::Image> image;
        int import_format = 0;
        QFuture<SaveOutcome> save_future;
    } state_;
};

} // namespace Impostors
