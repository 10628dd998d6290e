#include "editor/video_grabber/video_grabber_controller.h"

#include "core/base/leftover_sweeper.h"
#include "editor/tracker/tracker.h"
#include "editor/video_grabber/frame_scratch_folder.h"
#include "editor/video_grabber/video_grabber_state.h"

#include <editor_core/EditorLogic.h>
#include <editor_core/UpdateLock.h>
#include <editor_core/as/TextureImportParams.h>
#include <editor_core/base/Assert.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/AssetManagerPrivate.h>
#include <editor_core/fs/FileSystem.h>

#include <velmora/Camera.h>
#include <velmora/Engine.h>
#include <velmora/FileSystem.h>
#include <velmora/Game.h>
#include <velmora/Image.h>
#include <velmora/Log.h>
#include <velmora/Player.h>
#include <velmora/Render.h>
#include <velmora/Viewport.h>
#include <velmora/World.h>

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <limits>
#include <memory>

#include <sys/stat.h>

namespace {

constexpr int SETTLING_FRAMES = 30;
// Names taken by something else are skipped; a folder that fills more
// than this many names in a row is not searched any further.
constexpr int MAX_SKIPPED_NAMES = 100000;

const QRegularExpression &frameFilePattern()
{
    static const QRegularExpression pattern(QStringLiteral("(^frame_(?<number>\\d{4,})\\.\\w+$)"));
    return pattern;
}

QString dataPath()
{
    Velmora::Engine *engine = Velmora::Engine::get();
    return engine ? QString::fromUtf8(engine->getDataPath().get()) : QString();
}

Tracker *tracker()
{
    return depr::gui.tracker;
}

QString frameName(qint64 number, const QString &extension)
{
    return QStringLiteral("frame_%1.%2").arg(number, 4, 10, QLatin1Char('0')).arg(extension);
}

// The number after n; the numbers start again at 0 after the highest one a
// counter holds (taken names are skipped on the way).
qint64 followingNumber(qint64 n)
{
    return n == std::numeric_limits<qint64>::max() ? 0 : n + 1;
}

// The path with every link resolved; a part that does not exist yet is
// taken as written after the resolved part that does.
QString resolvedPath(const QString &path)
{
    QString existing = QDir::cleanPath(path);
    QStringList parts;
    for (;;) {
        const QString real = QFileInfo(existing).canonicalFilePath();
        if (!real.isEmpty()) {
            parts.prepend(real);
            return QDir::cleanPath(parts.join(QLatin1Char('/')));
        }
        const int slash = existing.lastIndexOf(QLatin1Char('/'));
        if (slash < 0)
            return QDir::cleanPath(path);
        parts.prepend(existing.mid(slash + 1));
        existing = slash == 0 ? QStringLiteral("/") : existing.left(slash);
    }
}

// When path lies inside the data folder once links are resolved on both
// sides (a folder dialog gives real paths, the data folder may be reached
// through a link), the same place written under the data folder's path;
// empty otherwise.
QString inDataFolder(const QString &path)
{
    const QString data = dataPath();
    if (data.isEmpty() || path.isEmpty())
        return QString();
    const QString real_data = resolvedPath(data);
    const QString real = resolvedPath(path);
    if (real == real_data)
        return data;
    const QString prefix = real_data.endsWith(QLatin1Char('/')) ? real_data : real_data + QLatin1Char('/');
    return real.startsWith(prefix) ? data + real.mid(prefix.size()) : QString();
}

// The time of a folder's last change (a name added, removed or renamed).
qint64 changeTime(const QString &folder)
{
    struct stat info;
    if (::stat(QFile::encodeName(folder).constData(), &info) != 0)
        return -1;
    return qint64(info.st_mtim.tv_sec) * 1000000000 + qint64(info.st_mtim.tv_nsec);
}

// Anything under that name, a dangling link included, takes it.
bool nameTaken(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// The first number from `from` on whose name is free in folder; -1 when
// too many names in a row are taken.
qint64 freeFrameNumber(const QString &folder, qint64 from, const QString &extension)
{
    for (int skipped = 0; skipped < MAX_SKIPPED_NAMES; ++skipped) {
        if (!nameTaken(folder + QLatin1Char('/') + frameName(from, extension)))
            return from;
        from = followingNumber(from);
    }
    return -1;
}

} // namespace

VideoGrabberController::VideoGrabberController(VideoGrabberState *state, QObject *parent)
    : QObject(parent)
    , state_(state)
{}

VideoGrabberController::~VideoGrabberController()
{
    keepFramesRunning(false);
    viewport_.reset();
    image_.reset();
}

QString VideoGrabberController::extension(int format)
{
    static const QStringList extensions{QStringLiteral("tga"), QStringLiteral("png"), QStringLiteral("jpg"),
                                        QStringLiteral("psd"), QStringLiteral("exr")};
    return format >= 0 && format < extensions.size() ? extensions[format] : QString();
}

void VideoGrabberController::init()
{
    EC_SOFT_ASSERT(state_);
    if (!state_)
        return;
    Velmora::Engine *engine = Velmora::Engine::get();
    if (engine) {
        engine->runFunction(Velmora::Variable("VideoGrabber::init"));
        load_track_fn_ = Velmora::Variable(engine->findFunction("VideoGrabber::load_track", 1));
        track_is_loaded_fn_ = Velmora::Variable(engine->findFunction("VideoGrabber::track_is_loaded", 0));
        track_set_fn_ = Velmora::Variable(engine->findFunction("VideoGrabber::track_set", 1));
        track_get_max_time_fn_ = Velmora::Variable(engine->findFunction("VideoGrabber::track_get_max_time", 0));
        track_get_unit_time_fn_ = Velmora::Variable(engine->findFunction("VideoGrabber::track_get_unit_time", 0));
        reset_track_fn_ = Velmora::Variable(engine->findFunction("VideoGrabber::reset_track", 0));
    }
    image_ = Velmora::Image::create();
    viewport_ = Velmora::Viewport::create();
    viewport_->setSkipFlags(2);
    state_->setWidth(Velmora::App::getWidth());
    state_->setHeight(Velmora::App::getHeight());
    state_->setSavePath(QStringLiteral("%1screenshots").arg(dataPath()));
    connectUpdate();
}

void VideoGrabberController::shutdown()
{
    if (Velmora::Engine *engine = Velmora::Engine::get())
        engine->runFunction(Velmora::Variable("VideoGrabber::shutdown"));
}

void VideoGrabberController::connectUpdate()
{
    EditorLogic *logic = depr::g.editor;
    EC_SOFT_ASSERT(logic);
    if (logic)
        update_connection_ = connect(logic, &EditorLogic::onUpdate, this, [this] { update(); });
}

void VideoGrabberController::update()
{
    if (!state_ || updating_)
        return;
    updating_ = true;
    step();
    updating_ = false;
}

void VideoGrabberController::step()
{
    state_->setEnabled(Velmora::World::isLoaded());
    if (state_->getState() == VideoGrabberState::START_REQUESTED && !grabbing_) {
        startGrab();
        return;
    }
    if (state_->getState() == VideoGrabberState::IDLE) {
        stopGrab();
        return;
    }
    if (call(track_is_loaded_fn_).getInt() == 0)
        state_->setMode(VideoGrabberState::SINGLE_SHOT);
    if (state_->getMode() == VideoGrabberState::SEQUENCE) {
        Velmora::Game::setEnabled(true);
        if (state_->getWarmupFrames() != 0 && !warmed_up_) {
            runForFrames(state_->getWarmupFrames(), [] {
                Velmora::Game::setFrame(Velmora::Game::getFrame() + 1);
                Velmora::Game::setEnabled(true);
            });
            warmed_up_ = true;
            return;
        }
        call(track_set_fn_, Velmora::Variable(float(frame_index_ * time_step_)));
    }
    bool deferred = false;
    if (!grabFrame(deferred)) {
        state_->setState(VideoGrabberState::FAILED);
        stopGrab();
        return;
    }
    if (deferred)
        return;
    if (state_->getMode() == VideoGrabberState::SINGLE_SHOT) {
        state_->setState(VideoGrabberState::SAVED);
        stopGrab();
        return;
    }
    ++frame_index_;
    if (frame_index_ * time_step_ > track_max_time_ + 1e-6 * time_step_) {
        state_->setState(VideoGrabberState::SAVED);
        stopGrab();
        return;
    }
    state_->setCurrentFrame(state_->getCurrentFrame() + 1);
}

void VideoGrabberController::startGrab()
{
    if (Tracker *t = tracker())
        t->setUpdateEnabled(false);
    keepFramesRunning(true);
    if (state_->getMode() == VideoGrabberState::SEQUENCE && !loadTrack()) {
        stopGrab();
        return;
    }
    setupFrameRate();
    grabbing_ = true;
    warmed_up_ = false;
    shot_deferred_ = false;
    frame_index_ = 0;
    state_->setCurrentFrame(1);
    state_->setState(VideoGrabberState::GRABBING);

    const QString folder = fs::normalizeDirPath(saveFolder());
    const QString dir = folder.left(folder.size() - 1);
    const QString inside = inDataFolder(dir);
    const QString parent = fs::dirname(inside);
    const QString data = dataPath();
    Editor::AssetManagerPrivate *assets = depr::g.asset_manager;
    if (assets && !inside.isEmpty() && parent.startsWith(data))
        assets->createDir(parent, fs::basename(inside));
    else
        QDir().mkpath(dir);
    findNextFrameNumber();
}

void VideoGrabberController::stopGrab()
{
    if (Tracker *t = tracker())
        t->setUpdateEnabled(true);
    grabbing_ = false;
    keepFramesRunning(false);
    frame_index_ = 0;
    if (call(track_is_loaded_fn_).getInt() == 1)
        call(track_set_fn_, Velmora::Variable(0.0f));
    state_->setState(VideoGrabberState::IDLE);
    Velmora::Game::setIFps(-1.0f);
    call(reset_track_fn_);
    resetTiming();
}

void VideoGrabberController::resetTiming()
{
    frame_index_ = 0;
    track_max_time_ = 0.0;
    time_step_ = 0.0;
    track_unit_time_ = 1.0f;
}

void VideoGrabberController::keepFramesRunning(bool keep)
{
    if (keep == frames_claimed_)
        return;
    frames_claimed_ = keep;
    if (keep)
        UpdateLock::claimAlwaysUpdate();
    else
        UpdateLock::disclaimAlwaysUpdate();
}

bool VideoGrabberController::loadTrack()
{
    const Velmora::UGUID guid = state_->getTrackGUID();
    if (!Velmora::World::isLoaded() || guid.isEmpty()) {
        call(reset_track_fn_);
        resetTiming();
        VideoGrabberState::warn(tr("Error"), tr("Error grabbing sequence: track not specified"));
        return false;
    }
    call(load_track_fn_, Velmora::Variable(guid.getString().get()));
    Velmora::Engine *engine = Velmora::Engine::get();
    QString error = QString::fromUtf8(engine ? engine->getError() : "");
    const bool loaded = call(track_is_loaded_fn_).getInt() != 0;
    const double max_time = loaded ? double(call(track_get_max_time_fn_).getFloat()) : 0.0;
    // A file may hold any text there; "nan" or "inf" would never end the
    // sequence.
    if (error.isEmpty() && loaded && !std::isfinite(max_time))
        error = tr("the track's length is not a finite number");
    if (error.isEmpty() && loaded) {
        frame_index_ = 0;
        track_max_time_ = max_time;
        track_unit_time_ = call(track_get_unit_time_fn_).getFloat();
        if (!(track_unit_time_ > 0.0f) || std::isinf(track_unit_time_)) {
            Velmora::Log::warning("VideoGrabber: the track's unit time %g is not a positive number; 1.0 is used\n",
                                  double(track_unit_time_));
            track_unit_time_ = 1.0f;
        }
        if (Velmora::App *app = Velmora::App::get())
            app->setBackgroundUpdate(true);
        return true;
    }
    call(reset_track_fn_);
    if (!loaded)
        call(reset_track_fn_);
    resetTiming();
    const QString path = QString::fromUtf8(Velmora::FileSystem::getVirtualPath(guid).get());
    VideoGrabberState::warn(tr("Error"),
                            tr("Error grabbing sequence: failed to load track \"%1\", error: \"%2\"").arg(path, error));
    return false;
}

void VideoGrabberController::setupFrameRate()
{
    const double ifps = 1.0 / std::max(double(state_->getFps()), 0.000001);
    Velmora::Game::setIFps(float(ifps));
    // The step just fixed; the engine reports it from the next frame on.
    time_step_ = ifps / double(track_unit_time_);
    // Clamped before the conversion: a very long track must not overflow.
    const double count = std::floor(track_max_time_ / time_step_ + 1e-6) + 1.0;
    const int frames = int(std::clamp(count, 1.0, double(std::numeric_limits<int>::max())));
    state_->setNumFrames(frames);
}

QString VideoGrabberController::saveFolder() const
{
    const QString folder = fs::normalizePath(state_->getSavePath());
    const QString data = dataPath();
    if (QDir::isAbsolutePath(folder) || data.isEmpty())
        return folder;
    return fs::normalizePath(data + folder);
}

void VideoGrabberController::findNextFrameNumber()
{
    const QString folder = saveFolder();
    // The folder is listed again only when something else changed it.
    if (next_frame_ != -1 && QDir::cleanPath(folder) == QDir::cleanPath(scanned_folder_)
        && changeTime(folder) == scanned_change_)
        return;
    // One after the highest number of any width; a name of any kind (a
    // folder, a link, a dangling one) counts, as it takes its number.
    // A number at the top of the counter, or past it, is not followed: it
    // keeps its name, and the numbering goes on after the others.
    qint64 highest = -1;
    const QStringList names = QDir(folder).entryList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::NoSort);
    for (const QString &name : names) {
        if (name.startsWith(QLatin1Char('.'))) {
            // A scratch folder of a grab that was killed.
            if (base::LeftoverSweeper::isScratchName(name))
                base::LeftoverSweeper::removeIfLeftOver(folder + QLatin1Char('/') + name);
            continue;
        }
        const QRegularExpressionMatch match = frameFilePattern().match(name);
        bool ok = false;
        const qint64 number = match.hasMatch() ? match.captured(QStringLiteral("number")).toLongLong(&ok) : -1;
        if (ok && number < std::numeric_limits<qint64>::max())
            highest = std::max(highest, number);
    }
    const qint64 found = highest + 1;
    // A later grab into another folder goes on with the numbering but never
    // over files that are there already.
    next_frame_ = std::max(next_frame_, found);
    scanned_folder_ = folder;
    scanned_change_ = changeTime(folder);
}

bool VideoGrabberController::takeFrameName(QString &path)
{
    const QString folder = saveFolder();
    const QString extension = VideoGrabberController::extension(state_->getFormat());
    const qint64 first = std::max<qint64>(next_frame_, 0);
    const qint64 number = freeFrameNumber(folder, first, extension);
    if (number < 0) {
        // The failure names the frame that found no name.
        state_->setImageName(frameName(first, extension));
        Velmora::Log::message("VideoGrabber::update: no free frame name is left in %s\n", folder.toUtf8().constData());
        return false;
    }
    next_frame_ = followingNumber(number);
    const QString name = frameName(number, extension);
    state_->setImageName(name);
    path = fs::normalizePath(folder + QLatin1Char('/') + name);
    return true;
}

bool VideoGrabberController::grabFrame(bool &deferred)
{
    const qint64 first = next_frame_;
    QString path;
    if (!takeFrameName(path))
        return false;

    int width = state_->getWidth();
    int height = state_->getHeight();
    if (state_->getAntialiasing() != VideoGrabberState::AA_NONE) {
        const qint64 scale = qint64(1) << int(state_->getAntialiasing());
        if (width * scale > std::numeric_limits<int>::max() || height * scale > std::numeric_limits<int>::max()) {
            Velmora::Log::message("VideoGrabber::update: %d x %d supersampled is too large to render\n", width, height);
            return false;
        }
        width = int(width * scale);
        height = int(height * scale);
    }
    if (!renderFrame(width, height, deferred))
        return false;
    if (deferred) {
        // The name is looked for again when the frame completes.
        next_frame_ = first;
        return true;
    }
    if (!state_->isAlphaMask())
        dropAlpha();
    if (state_->getAntialiasing() != VideoGrabberState::AA_NONE
        && !image_->resize(state_->getWidth(), state_->getHeight(), 1)) {
        Velmora::Log::message("VideoGrabber::update: failed to resize image\n");
        return false;
    }
    linearizeForExr();
    if (!saveImage(path)) {
        Velmora::Log::message("VideoGrabber::update: failed to save image to %s\n", path.toUtf8().constData());
        return false;
    }
    const QString inside = inDataFolder(path);
    Editor::AssetManagerPrivate *assets = depr::g.asset_manager;
    if (assets && !inside.isEmpty())
        assets->importSync(inside, as::TextureImportParams().toParams());
    // The grab's own frames (and their meta files) do not make the folder
    // listed again at the next grab.
    const QString folder = fs::dirname(path);
    if (QDir::cleanPath(folder) == QDir::cleanPath(scanned_folder_))
        scanned_change_ = changeTime(folder);
    return true;
}

bool VideoGrabberController::saveImage(QString &path)
{
    // The image is written whole in a hidden folder of its own beside the
    // frames and then given its frame name, which fails rather than replace
    // anything that took that name meanwhile (then the next free number is
    // used). Nothing is ever written through a link, and the scratch folder
    // goes with whatever is in it whether the frame was saved or not.
    FrameScratchFolder scratch(fs::dirname(path));
    const QString name = fs::basename(path);
    if (!scratch.isValid() || !image_->save(scratch.filePath(name).toUtf8().constData()))
        return false;
    for (int attempt = 0; attempt < 16; ++attempt) {
        if (scratch.moveOut(name, path))
            return true;
        if (errno != EEXIST || !takeFrameName(path))
            return false;
    }
    return false;
}

bool VideoGrabberController::renderFrame(int width, int height, bool &deferred)
{
    const int panorama = Velmora::Render::getPanorama();
    viewport_->setMode(panorama < 1 ? 0 : panorama + 6);
    const int hdr = state_->isHdrColor() ? 1 : 0;
    const Velmora::Ptr<Velmora::Player> player = state_->getPlayer();
    const Velmora::Ptr<Velmora::Camera> camera = player ? player->getCamera() : Velmora::Ptr<Velmora::Camera>();
    if (!camera) {
        Velmora::Log::message("VideoGrabber::update: the camera \"%s\" is gone; the grab stops\n",
                              state_->getCameraName().toUtf8().constData());
        return false;
    }
    deferred = false;
    if (state_->getMode() == VideoGrabberState::SEQUENCE)
        return viewport_->renderImage2D(camera, image_, width, height, hdr);
    if (shot_deferred_)
        return true; // the image holds the last settling render
    viewport_->appendSkipFlags(16);
    const bool rendered = viewport_->renderImage2D(camera, image_, width, height, hdr);
    viewport_->removeSkipFlags(16);
    if (!rendered)
        return false;
    runForFrames(SETTLING_FRAMES, [this, width, height, hdr] {
        const Velmora::Ptr<Velmora::Player> settling_player = state_->getPlayer();
        if (!settling_player)
            return;
        const int adaptation = Velmora::Render::getExposureAdaptation();
        Velmora::Render::setExposureAdaptation(0);
        viewport_->renderImage2D(settling_player->getCamera(), image_, width, height, hdr);
        Velmora::Render::setExposureAdaptation(adaptation);
    });
    deferred = true;
    shot_deferred_ = true;
    return true;
}

void VideoGrabberController::dropAlpha()
{
    if (image_->getFormat() == Velmora::Image::FORMAT_RGBA8)
        image_->convertToFormat(Velmora::Image::FORMAT_RGB8);
    else if (image_->getFormat() == Velmora::Image::FORMAT_RGBA16F)
        image_->convertToFormat(Velmora::Image::FORMAT_RGB16F);
}

void VideoGrabberController::linearizeForExr()
{
    if (state_->getFormat() == VideoGrabberState::EXR)
        linearize(*image_);
}

void VideoGrabberController::linearize(Velmora::Image &image)
{
    const int format = image.getFormat();
    if (format != Velmora::Image::FORMAT_RGBA16F && format != Velmora::Image::FORMAT_RGB16F)
        return;
    image.convertToFormat(format == Velmora::Image::FORMAT_RGBA16F ? Velmora::Image::FORMAT_RGBA32F
                                                                   : Velmora::Image::FORMAT_RGB32F);
    const int channels = image.getNumChannels();
    VELMORA_ASSERT(channels == 3 || channels == 4);
    float *values = reinterpret_cast<float *>(image.getPixels());
    const size_t count = size_t(image.getWidth()) * size_t(image.getHeight()) * size_t(channels);
    for (size_t i = 0; i < count; ++i) {
        const float v = std::pow(values[i], 2.2f);
        values[i] = std::isnan(v) ? 0.0f : std::clamp(v, 0.0f, 1.0f);
    }
    image.convertToFormat(format);
}

void VideoGrabberController::runForFrames(int count, std::function<void()> step)
{
    EditorLogic *logic = depr::g.editor;
    if (count < 1 || !logic)
        return;
    disconnect(update_connection_);
    auto remaining = std::make_shared<int>(count);
    auto connection = std::make_shared<QMetaObject::Connection>();
    // This controller is the context: a destroyed controller is never called.
    *connection = connect(logic, &EditorLogic::onUpdate, this, [this, remaining, connection, step] {
        step();
        if ((*remaining)-- == 0) {
            disconnect(*connection);
            connectUpdate();
        }
    });
}

Velmora::Variable VideoGrabberController::call(const Velmora::Variable &function)
{
    Velmora::Engine *engine = Velmora::Engine::get();
    return engine ? engine->runFunction(function) : Velmora::Variable();
}

Velmora::Variable VideoGrabberController::call(const Velmora::Variable &function, const Velmora::Variable &argument)
{
    Velmora::Engine *engine = Velmora::Engine::get();
    return engine ? engine->runFunction(function, argument) : Velmora::Variable();
}
