#include "editor/tools/master_thread.h"

#include "core/base/kept_files_journal.h"
#include "editor/tools/file_keeper.h"
#include "editor/tools/grab_final_thread.h"
#include "editor/tools/grab_gbuffer_thread.h"
#include "editor/tools/grab_lighting_thread.h"
#include "editor/tools/grab_vegetation_normal_thread.h"
#include "editor/tools/grab_vegetation_translucence_thread.h"

#include <editor_core/as/Asset.h>
#include <editor_core/as/TextureImportParams.h>
#include <editor_core/base/Assert.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/AssetManagerPrivate.h>
#include <editor_core/fs/FileSystem.h>

#include <velmora/Game.h>
#include <velmora/WriteWatch.h>

#include <QDir>
#include <QFileInfo>
#include <QThreadPool>
#include <QtConcurrent>

namespace Impostors {

MasterThread::MasterThread(const GrabParameters &params, QObject *parent)
    : FrameThread(parent)
    , params_(params)
{}

MasterThread::~MasterThread()
{
    // The pool thread reads the image and the task list until it is done.
    state_.save_future.waitForFinished();
    if (state_.step == STEP_SAVE)
        takeSaveResult();
    // A run that neither finished nor was cancelled (the editor going away)
    // still leaves the files it wrote over as they were; what a finished run
    // kept has been taken, or goes here.
    if (state_.step != STEP_DONE)
        putBackKept(false);
    discardKept();
    dropGrabThread(true);
    if (state_.step != STEP_DONE)
        restoreGame();
}

QMap<int, QString> MasterThread::takeKept()
{
    QMap<int, QString> kept;
    kept.swap(kept_);
    return kept;
}

std::shared_ptr<base::KeptFilesJournal> MasterThread::takeJournal()
{
    return std::move(journal_);
}

void MasterThread::discardKept()
{
    for (const QString &kept : qAsConst(kept_))
        FileKeeper::discard(kept);
    kept_.clear();
    if (journal_)
        journal_->remove();
    journal_.reset();
}

void MasterThread::putBackKept(bool reimport)
{
    // A cancelled run leaves an earlier impostor as it was: what it wrote
    // over gets its earlier contents back, and the asset manager and the
    // renders are told, as the undo of a whole run does.
    Editor::AssetManagerPrivate *assets = reimport ? depr::g.asset_manager : nullptr;
    bool all_back = true;
    for (auto it = kept_.constBegin(); it != kept_.constEnd(); ++it) {
        const QString path = outputs_.value(it.key());
        QString error;
        // What the run wrote goes: a kill half way leaves the journal
        // naming only the earlier contents not yet back.
        if (!FileKeeper::putBack(fs::toSourcePath(path), it.value(), &error)) {
            // The kept file stays, the only copy of the earlier contents,
            // and the journal with it: the next start tries again.
            qWarning("Impostor creator: cannot give \"%s\" its earlier contents back: %s", path.toUtf8().constData(),
                     error.toUtf8().constData());
            not_put_back_[it.key()] = path;
            all_back = false;
            continue;
        }
        saved_.remove(it.key());
        const as::Asset asset = assets ? assets->asset(path) : as::Asset();
        if (!asset.isNull() && !assets->reimportSync(asset.getGUID(), QVariantMap()))
            qWarning("Impostor creator: \"%s\" could not be re-imported", path.toUtf8().constData());
    }
    kept_.clear();
    if (all_back)
        discardKept();
    journal_.reset();
}

void MasterThread::setOutputPath(int kind, const QString &path)
{
    Q_ASSERT_X(state_.step == STEP_SETUP, "MasterThread::setOutputPath", "state_.step == STEP_SETUP");
    if (state_.step != STEP_SETUP || path.isEmpty())
        return;
    outputs_[kind] = path;
}

int MasterThread::saveFormat(int kind, const QString &path)
{
    if (fs::getExtension(path) == QLatin1String("jpg"))
        return Velmora::Image::FORMAT_RGB8;
    switch (kind) {
    case 0:
    case 1:
    case 2:
    case 3:
    case 7:
        return Velmora::Image::FORMAT_RGBA8;
    case 4:
    case 5:
    case 6:
        return Velmora::Image::FORMAT_RG8;
    case 8:
    case 9:
    case 10:
    case 11:
        return Velmora::Image::FORMAT_R8;
    default:
        return Velmora::Image::FORMAT_R32F;
    }
}

int MasterThread::importFormat(int image_format)
{
    switch (image_format) {
    case Velmora::Image::FORMAT_R8:
        return 23;
    case Velmora::Image::FORMAT_RG8:
        return 24;
    case Velmora::Image::FORMAT_RGB8:
        return 20;
    case Velmora::Image::FORMAT_RGBA8:
        return 22;
    default:
        return image_format;
    }
}

GrabThreadBase *MasterThread::createGrabThread(int kind)
{
    // G-buffer mode of each kind; -1: a job of its own.
    static const int modes[NUM_TEXTURE_KINDS] = {-1, -1, 0, 1, 2, -1, 3, 4, 5, 6, 7, -1, 8};
    switch (kind) {
    case TEXTURE_FINAL:
        return new GrabFinalThread(params_, this);
    case TEXTURE_LIGHTING:
        return new GrabLightingThread(params_, this);
    case TEXTURE_NORMAL_VEGETATION:
        return new GrabVegetationNormalThread(params_, this);
    case TEXTURE_TRANSLUCENCE_VEGETATION:
        return new GrabVegetationTranslucenceThread(params_, this);
    default:
        if (kind >= 0 && kind < NUM_TEXTURE_KINDS)
            return new GrabGBufferThread(params_, modes[kind], this);
        base::printAssertMessage("false && \"should never get here\"", __FILE__, __LINE__);
        return nullptr;
    }
}

bool MasterThread::saveImage(const Velmora::Image &image, const QString &path)
{
    const QString target = fs::toSourcePath(path);
    QDir().mkpath(QFileInfo(target).absolutePath());
    return image.save(target.toUtf8().constData());
}

void MasterThread::update()
{
    switch (state_.step) {
    case STEP_SETUP:
        if (outputs_.isEmpty()) {
            state_.step = STEP_DONE;
            stop();
            emit finished();
            return;
        }
        for (auto it = outputs_.constBegin(); it != outputs_.constEnd(); ++it)
            tasks_.append(qMakePair(it.key(), it.value()));
        game_enabled_ = Velmora::Game::isEnabled();
        game_saved_ = true;
        Velmora::Game::setEnabled(false);
        state_.step = STEP_START_TASK;
        return;
    case STEP_FINISH:
        restoreGame();
        state_.step = STEP_DONE;
        stop();
        emit finished();
        return;
    case STEP_START_TASK:
        startTask();
        return;
    case STEP_GRAB:
        Q_ASSERT_X(state_.grab_thread, "MasterThread::update", "state_.grab_thread");
        if (state_.grab_thread)
            state_.grab_thread->update();
        return;
    case STEP_SAVE:
        if (state_.save_future.isRunning())
            return;
        takeSaveResult();
        if (!saved_.contains(tasks_[state_.current_task].first)) {
            state_.image = Velmora::Ptr<Velmora::Image>();
            nextTask();
            return;
        }
        state_.import_format = importFormat(state_.image->getFormat());
        state_.image = Velmora::Ptr<Velmora::Image>();
        state_.step = STEP_IMPORT;
        return;
    case STEP_IMPORT:
        importTask();
        nextTask();
        return;
    case STEP_NEXT_TASK:
        nextTask();
        return;
    default:
        return;
    }
}

void MasterThread::startTask()
{
    Q_ASSERT_X(state_.current_task < tasks_.size(), "MasterThread::startTask", "state_.current_task < tasks_.size()");
    Q_ASSERT_X(!state_.grab_thread, "MasterThread::startTask", "!state_.grab_thread");
    state_.grab_thread = createGrabThread(tasks_[state_.current_task].first);
    if (!state_.grab_thread) {
        fail(FAILED_GRAB);
        state_.step = STEP_NEXT_TASK;
        return;
    }
    connect(state_.grab_thread, &FrameThread::progress, this, &MasterThread::onGrabProgress);
    connect(state_.grab_thread, &FrameThread::finished, this, &MasterThread::onGrabFinished);
    connect(state_.grab_thread, &FrameThread::cancelled, this, &MasterThread::onGrabCancelled);
    state_.step = STEP_GRAB;
}

void MasterThread::onGrabProgress(float value)
{
    Q_ASSERT(state_.current_task < tasks_.size());
    emit progress((float(state_.current_task) + value) / float(tasks_.size()));
}

void MasterThread::onGrabFinished()
{
    Q_ASSERT_X(state_.grab_thread, "MasterThread::onGrabFinished", "state_.grab_thread");
    state_.image = state_.grab_thread->getImage();
    dropGrabThread(false);
    const QPair<int, QString> task = tasks_[state_.current_task];
    const Velmora::Ptr<Velmora::Image> image = state_.image;
    state_.save_future
            = QtConcurrent::run(QThreadPool::globalInstance(), [this, task, image]() { return save(task, image); });
    state_.step = STEP_SAVE;
}

MasterThread::SaveOutcome MasterThread::save(const QPair<int, QString> &task, const Velmora::Ptr<Velmora::Image> &image)
{
    SaveOutcome outcome;
    const int format = saveFormat(task.first, task.second);
    const bool converted = image && (image->getFormat() == format || image->convertToFormat(format));
    QString error;
    if (converted && keep_replaced_ && !FileKeeper::keep(fs::toSourcePath(task.second), &outcome.kept, &error)) {
        qWarning("Impostor creator: cannot keep the earlier \"%s\" for undo (%s); it is not written over",
                 task.second.toUtf8().constData(), error.toUtf8().constData());
        return outcome;
    }
    if (!outcome.kept.isEmpty() && !recordKept(fs::toSourcePath(task.second), outcome.kept, &error)) {
        qWarning("Impostor creator: cannot record the earlier \"%s\" kept for undo (%s); it is not written over",
                 task.second.toUtf8().constData(), error.toUtf8().constData());
        FileKeeper::discard(outcome.kept);
        outcome.kept.clear();
        return outcome;
    }
    {
        // The journal holds what is about to be under the texture's name
        // before it is there: a start after a kill puts the kept contents
        // back only over that.
        const std::unique_ptr<Velmora::WriteWatch> watch = journal_ ? journal_->watchWrites() : nullptr;
        outcome.saved = converted && saveImage(*image, task.second);
    }
    if (outcome.saved) {
        qInfo("Impostor image saved to \"%s\"", task.second.toUtf8().constData());
    } else {
        qWarning("Failed to save impostor image to \"%s\"", task.second.toUtf8().constData());
        FileKeeper::discard(outcome.kept);
        outcome.kept.clear();
    }
    return outcome;
}

bool MasterThread::recordKept(const QString &path, const QString &kept, QString *error)
{
    // One journal for the run, beside the textures: it names each kept file
    // before its texture is written over.
    if (!journal_)
        journal_ = std::make_shared<base::KeptFilesJournal>(QFileInfo(path).path(), QStringLiteral("impostor"));
    return journal_->add(path, kept, error);
}

void MasterThread::onGrabCancelled()
{
    // The grab job gave up on its own (a render it cannot make): the kind
    // is left out and the run goes on.
    qWarning("Impostor creator: the grab for \"%s\" made no image; the texture is skipped",
             tasks_[state_.current_task].second.toUtf8().constData());
    fail(FAILED_GRAB);
    dropGrabThread(false);
    state_.step = STEP_NEXT_TASK;
}

void MasterThread::dropGrabThread(bool cancel)
{
    GrabThreadBase *job = state_.grab_thread;
    if (!job)
        return;
    state_.grab_thread = nullptr;
    disconnect(job, nullptr, this, nullptr);
    if (cancel)
        job->cancel();
    job->deleteLater();
}

void MasterThread::importTask()
{
    Q_ASSERT_X(state_.current_task < tasks_.size(), "MasterThread::importTask", "state_.current_task < tasks_.size()");
    const QPair<int, QString> task = tasks_[state_.current_task];
    Editor::AssetManagerPrivate *assets = depr::g.asset_manager;
    if (!assets) {
        qWarning("Impostor creator: no asset manager; \"%s\" is not imported", task.second.toUtf8().constData());
        fail(FAILED_IMPORT);
        return;
    }
    as::Asset asset = assets->asset(task.second);
    if (asset.isNull()) {
        as::TextureImportParams params;
        params.setMipmapType(2);
        params.setImageFormat(state_.import_format);
        const Velmora::UGUID guid = assets->importSync(task.second, params.toParams());
        if (guid.isEmpty()) {
            qWarning("Impostor creator: \"%s\" could not be imported", task.second.toUtf8().constData());
            fail(FAILED_IMPORT);
            return;
        }
        asset = assets->asset(guid);
    } else if (!assets->reimportSync(asset.getGUID(), QVariantMap())) {
        qWarning("Impostor creator: \"%s\" could not be re-imported", task.second.toUtf8().constData());
        fail(FAILED_IMPORT);
        return;
    }
    if (asset.isNull())
        fail(FAILED_IMPORT);
    else
        imported_[task.first] = asset.findPRuntime().getGUID();
}

void MasterThread::takeSaveResult()
{
    const QPair<int, QString> &task = tasks_[state_.current_task];
    const SaveOutcome outcome = state_.save_future.result();
    if (!outcome.kept.isEmpty())
        kept_[task.first] = outcome.kept;
    if (outcome.saved)
        saved_[task.first] = task.second;
    else
        fail(FAILED_SAVE);
}

void MasterThread::fail(int failure)
{
    failures_[tasks_[state_.current_task].first] = failure;
}

void MasterThread::nextTask()
{
    ++state_.current_task;
    if (state_.current_task < tasks_.size()) {
        state_.step = STEP_START_TASK;
        return;
    }
    restoreGame();
    state_.step = STEP_DONE;
    stop();
    emit finished();
}

void MasterThread::cancel()
{
    if (state_.step == STEP_DONE)
        return;
    state_.save_future.waitForFinished();
    // A file written while the user cancelled stays on disk: say so.
    if (state_.step == STEP_SAVE)
        takeSaveResult();
    dropGrabThread(true);
    state_.image = Velmora::Ptr<Velmora::Image>();
    putBackKept(true);
    restoreGame();
    state_.step = STEP_DONE;
    stop();
    emit cancelled();
}

void MasterThread::restoreGame()
{
    if (!game_saved_)
        return;
    game_saved_ = false;
    Velmora::Game::setEnabled(game_enabled_);
}

} // namespace Impostors
