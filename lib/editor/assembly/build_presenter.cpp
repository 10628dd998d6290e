#include "editor/assembly/build_presenter.h"

#include "editor/assembly/core/build_executor.h"
#include "editor/assembly/core/duplicate_guid_check.h"
#include "editor/assembly/core/engine_info.h"
#include "editor/assembly/core/output_folder_guard.h"
#include "editor/assembly/core/path_utils.h"
#include "editor/assembly/core/project_options.h"
#include "editor/assembly/core/resolution.h"
#include "editor/assembly/executor/build_executor_job.h"
#include "editor/assembly/executor/build_paths.h"
#include "editor/assembly/executor/executor_builder.h"
#include "editor/assembly/executor/options.h"
#include "editor/assembly/executor/options_file.h"
#include "editor/assembly/models/resolutions_model.h"
#include "editor/assembly/ui/build_folder_check.h"
#include "editor/assembly/ui/build_window.h"
#include "editor/assembly/ui/diff_files_prompt.h"

#include "core/base/widgets/job_progress_dialog.h"

#include <editor_core/EditorControls.h>
#include <editor_core/WorldControls.h>
#include <editor_core/base/Assert.h>
#include <editor_core/cs/Manager.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/WindowManager.h>
#include <velmora/FileSystem.h>
#include <velmora/Render.h>
#include <velmora/World.h>

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QMessageBox>
#include <QtDebug>

namespace assembly {

namespace {

const int OPENGL_API = 2;

bool componentsActive()
{
    return depr::g.cs_manager && depr::g.cs_manager->active();
}

bool isExistingFolder(const QString &path)
{
    return !path.isEmpty() && path.endsWith(QLatin1Char('/')) && !path.contains(QLatin1Char('\\'))
            && QFileInfo(path).isDir();
}

} // namespace

Presenter::Presenter(QObject *parent)
    : QObject(parent)
    , data_(std::make_unique<Options>())
{
    setObjectName(QStringLiteral("build_presenter"));
}

Presenter::~Presenter() = default;

Window *Presenter::window() const
{
    return view_;
}

ResolutionsModel *Presenter::resolutionsModel() const
{
    return resolutions_model_;
}

void Presenter::init(QWidget *main_window)
{
    loadOptions();
    createView(main_window);
}

void Presenter::loadOptions()
{
    project_ = ProjectOptions::load();

    const QJsonObject stored = OptionsFile::load();
    if (stored.isEmpty()) {
        if (project_) {
            data_->setName(project_->name);
            data_->setPrecision(project_->precision);
            data_->setConfig(project_->config);
            data_->setWorld(worldGuidFromPath(project_->default_world));
        }
        const QString name = data_->getName();
        if (!name.isEmpty()) {
            const QString exe_dir = getExeDir();
            const QString release
                    = exe_dir + makeExecutableName(getCurrentSystem(), Binary::Development, Precision::Float, name);
            if (QFileInfo(release).isFile()) {
                data_->setMainRelease(release);
                data_->setMainDev(release);
            }
            const QString debug
                    = exe_dir + makeExecutableName(getCurrentSystem(), Binary::Debug, Precision::Float, name);
            if (QFileInfo(debug).isFile())
                data_->setMainDebug(debug);
        }
    } else {
        data_->deserialize(stored);
    }

    sdk_valid_ = project_ && hasDevelopmentBinaries(project_->sdk_path, project_->edition);

    // Without a valid SDK the build can only copy the running engine's own
    // binaries.
    if (!sdk_valid_) {
        const Binary engine = EngineInfo::getBinary();
        data_->setConfig(engine == Binary::Release ? BuildConfiguration::Release : BuildConfiguration::Development);
        data_->setBinary(engine);
    }

    const VideoAPI vapi = data_->getVideoAPI();
    if (vapi != VideoAPI::Auto && vapi != VideoAPI::DX11 && vapi != VideoAPI::OpenGL)
        data_->setVideoAPI(VideoAPI::Auto);

    const int count = data_->getResolutions().size();
    if (count == 0)
        data_->setSelectedRes(-1);
    else if (data_->getSelectedRes() < 0 || data_->getSelectedRes() >= count)
        data_->setSelectedRes(0);

    if (data_->getRules().isEmpty())
        data_->setRules({CopyRule()});

    // Unknown stored names read as Disabled, which is no mode to offer.
    QVector<VRMode> modes = data_->getVRModes();
    if (modes.removeAll(VRMode::Disabled) > 0) {
        qWarning() << "Build Tool: unknown VR modes in the build options are dropped.";
        data_->setVRModes(modes);
    }

    data_->setPrecision(getCurrentPrecision());
    data_->resetModified();
}

Velmora::UGUID Presenter::worldGuidFromPath(const QString &path)
{
    if (path.isEmpty())
        return Velmora::UGUID();
    const QByteArray utf8 = path.toUtf8();
    if (Velmora::FileSystem::isGUIDPath(utf8.constData()))
        return Velmora::FileSystem::getGUID(utf8.constData());
    QString world = path;
    if (!world.endsWith(QLatin1String(".world")))
        world += QLatin1String(".world");
    const QByteArray partial = world.toUtf8();
    const Velmora::String resolved = Velmora::FileSystem::resolvePartialVirtualPath(partial.constData());
    if (!resolved.empty() && QString::fromUtf8(resolved.get()) != world)
        world = QString::fromUtf8(resolved.get());
    return Velmora::FileSystem::getGUID(world.toUtf8().constData());
}

void Presenter::createView(QWidget *main_window)
{
    EC_ASSERT(main_window && !main_view_ && !view_);
    main_view_ = main_window;
    view_ = new Window(Editor::WindowManager::newDockParent(main_window));
    Editor::WindowManager::add(view_, Editor::WindowManager::AREA_TOOL);

    initResolutionsModel();
    updateView();
    connectView();
    updateRowsVisibility();
    emit view_->launcherChanged(data_->getLauncher());
    emit view_->configurationChanged(data_->getConfig());
}

void Presenter::initResolutionsModel()
{
    EC_ASSERT(!resolutions_model_);
    resolutions_model_ = new ResolutionsModel(view_);
    const QVector<Resolution> standard = aspectRatios();
    resolutions_model_->setResolutions(standard);

    // The stored list is matched as an ordered subsequence of the standard
    // list.
    const QVector<Resolution> &stored = data_->getResolutions();
    int next = 0;
    for (const Resolution &wanted : stored) {
        for (int row = next; row < standard.size(); ++row) {
            if (standard.at(row) == wanted) {
                resolutions_model_->setData(resolutions_model_->index(row), Qt::Checked, Qt::CheckStateRole);
                next = row + 1;
                break;
            }
        }
    }
    connect(resolutions_model_, &ResolutionsModel::dataChanged, this, &Presenter::onResolutionsChanged);
}

int Presenter::selectedResolutionRow() const
{
    const QVector<Resolution> &resolutions = data_->getResolutions();
    const int selected = data_->getSelectedRes();
    if (!resolutions_model_ || selected < 0 || selected >= resolutions.size())
        return -1;
    return resolutions_model_->rowOf(resolutions.at(selected));
}

void Presenter::updateView()
{
    Window *view = view_;
    view->setProjectName(data_->getName());
    view->setStartWorld(data_->getWorld());
    view->setBanner(data_->getBanner());
    view->setOutputPath(QDir::toNativeSeparators(data_->getPath()));
    view->setPrecompileShaders(data_->getPrecompile());
    view->setFullscreen(data_->getFullscreen());
    view->setCopyRules(data_->getRules());
    view->setConfiguration(data_->getConfig());
    view->setPrecision(data_->getPrecision());
    view->setLauncher(data_->getLauncher());
    const QVector<VRMode> &modes = data_->getVRModes();
    view->setVROculus(modes.contains(VRMode::Oculus));
    view->setVROpen(modes.contains(VRMode::OpenVR));
    view->setVRVarjo(modes.contains(VRMode::Varjo));
    view->setResolutionModel(resolutions_model_, selectedResolutionRow());
    view->setBinary(data_->getBinary());
    view->setVideoDebug(data_->getVideoDebug());
    view->setReleaseFile(QDir::toNativeSeparators(data_->getMainRelease()));
    view->setDevFile(QDir::toNativeSeparators(data_->getMainDev()));
    view->setDebugFile(QDir::toNativeSeparators(data_->getMainDebug()));
    view->setArguments(data_->getArgs());
    view->setConfigurationEnabled(sdk_valid_);
    view->setBinaryEnabled(sdk_valid_);
    view->setPrecisionVisible(false);
}

void Presenter::connectView()
{
    Window *view = view_;
    Options *data = data_.get();
    connect(view, &Window::startBuild, this, &Presenter::make_build);
    connect(view, &Window::projectNameChanged, this, [data](const QString &name) { data->setName(name); });
    connect(view, &Window::outputPathChanged, this, &Presenter::set_output_path);
    connect(view, &Window::launcherChanged, this, [data](Launcher launcher) { data->setLauncher(launcher); });
    connect(view, &Window::configurationChanged, this, [data](BuildConfiguration config) { data->setConfig(config); });
    connect(view, &Window::precisionChanged, this, [data](Precision precision) { data->setPrecision(precision); });
    connect(view, &Window::startWorldChanged, this, [data](const Velmora::UGUID &world) { data->setWorld(world); });
    connect(view, &Window::precompileShadersChanged, this, [data](bool on) { data->setPrecompile(on); });
    connect(view, &Window::copyRulesChanged, this, [data](const CopyRuleList &rules) { data->setRules(rules); });
    connect(view, &Window::bannerChanged, this, [data](const Velmora::UGUID &banner) { data->setBanner(banner); });
    connect(view, &Window::VROpenChanged, this, [this](bool on) { setVRMode(VRMode::OpenVR, on); });
    connect(view, &Window::VROculusChanged, this, [this](bool on) { setVRMode(VRMode::Oculus, on); });
    connect(view, &Window::VRVarjoChanged, this, [this](bool on) { setVRMode(VRMode::Varjo, on); });
    connect(view, &Window::resolutionIndexChanged, this, &Presenter::onResolutionIndexChanged);
    connect(view, &Window::fullscreenChanged, this, [data](bool on) { data->setFullscreen(on); });
    connect(view, &Window::videoDebugChanged, this, [data](VideoDebug vdebug) { data->setVideoDebug(vdebug); });
    connect(view, &Window::binaryChanged, this, [data](Binary binary) { data->setBinary(binary); });
    connect(view, &Window::releaseFileChanged, this, &Presenter::set_release_main_path);
    connect(view, &Window::devFileChanged, this, &Presenter::set_dev_main_path);
    connect(view, &Window::debugFileChanged, this, &Presenter::set_debug_main_path);
    connect(view, &Window::argumentsChanged, this, [data](const QString &args) { data->setArgs(args); });
}

void Presenter::updateRowsVisibility()
{
    Window *view = view_;
    if (componentsActive()) {
        // The component build brings its own executables.
        view->setReleaseFileVisible(false);
        view->setDevFileVisible(false);
        view->setDebugFileVisible(false);
    } else {
        connect(view, &Window::configurationChanged, this, &Presenter::updateAppRows);
    }
    connect(view, &Window::launcherChanged, this, [this]() {
        view_->setBannerVisible(data_->getLauncher() == Launcher::BinaryFile);
        view_->setBinaryVisible(data_->getConfig() == BuildConfiguration::Development
                                && data_->getLauncher() == Launcher::BinaryFile);
    });
    connect(view, &Window::configurationChanged, this, [this]() {
        view_->setBinaryVisible(data_->getConfig() == BuildConfiguration::Development
                                && data_->getLauncher() == Launcher::BinaryFile);
        view_->setVideoDebugVisible(data_->getConfig() == BuildConfiguration::Development);
    });
}

void Presenter::updateAppRows()
{
    const SelectedBinaries binaries = selectBinaries(data_->getConfig(), sdk_valid_);
    view_->setReleaseFileVisible(binaries.release);
    view_->setDevFileVisible(binaries.development);
    view_->setDebugFileVisible(binaries.debug);
}

SelectedBinaries Presenter::selectBinaries(BuildConfiguration config, bool sdk_valid)
{
    if (config == BuildConfiguration::Release) {
        EC_SOFT_ASSERT(sdk_valid || EngineInfo::getBinary() == Binary::Release);
        return SelectedBinaries::releaseOnly();
    }
    if (sdk_valid)
        return SelectedBinaries::developmentAndDebug(true, true);
    const Binary engine = EngineInfo::getBinary();
    if (engine == Binary::Release) {
        // Only reachable when the options were changed behind the window's
        // back: a release engine has release binaries only.
        EC_SOFT_ASSERT(engine != Binary::Release);
        return SelectedBinaries::releaseOnly();
    }
    return SelectedBinaries::developmentAndDebug(engine == Binary::Development, engine == Binary::Debug);
}

void Presenter::setVRMode(VRMode mode, bool on)
{
    QVector<VRMode> modes = data_->getVRModes();
    if (on && !modes.contains(mode))
        modes.append(mode);
    else if (!on)
        modes.removeAll(mode);
    data_->setVRModes(modes);
}

void Presenter::onResolutionsChanged()
{
    QVector<Resolution> checked;
    for (int row = 0; row < resolutions_model_->rowCount(); ++row) {
        if (!resolutions_model_->isChecked(row))
            continue;
        const QVariant value = resolutions_model_->index(row).data(ResolutionsModel::RESOLUTION_ROLE);
        EC_SOFT_ASSERT(value.isValid());
        if (value.isValid())
            checked.append(value.value<Resolution>());
    }
    data_->setResolutions(checked);

    // The default follows the row the window shows; when that row is no
    // longer offered, the first offered one becomes the default and is shown.
    if (checked.isEmpty()) {
        data_->setSelectedRes(-1);
        return;
    }
    const int current = view_ ? view_->resolutionIndex() : -1;
    if (current >= 0 && resolutions_model_->isChecked(current)) {
        onResolutionIndexChanged(current);
        return;
    }
    data_->setSelectedRes(0);
    // Deferred: a tick in the open popup is still being handled.
    QMetaObject::invokeMethod(this, &Presenter::showSelectedResolution, Qt::QueuedConnection);
}

void Presenter::onResolutionIndexChanged(int index)
{
    const QVector<Resolution> &resolutions = data_->getResolutions();
    if (resolutions.isEmpty()) {
        data_->setSelectedRes(-1);
        return;
    }
    const QVariant value = resolutions_model_->index(index).data(ResolutionsModel::RESOLUTION_ROLE);
    const int position = value.isValid() ? resolutions.indexOf(value.value<Resolution>()) : -1;
    if (position >= 0) {
        data_->setSelectedRes(position);
        return;
    }
    // A row that is not offered cannot be the default: the first offered one
    // is, and the window shows it.
    data_->setSelectedRes(0);
    QMetaObject::invokeMethod(this, &Presenter::showSelectedResolution, Qt::QueuedConnection);
}

void Presenter::showSelectedResolution()
{
    if (!view_ || !resolutions_model_)
        return;
    const int row = selectedResolutionRow();
    if (row >= 0 && view_->resolutionIndex() != row)
        view_->setResolutionIndex(row);
}

void Presenter::showUI()
{
    if (view_)
        Editor::WindowManager::show(view_);
}

void Presenter::set_output_path(const QString &path)
{
    data_->setPath(path);
    if (view_)
        view_->setOutputPath(QDir::toNativeSeparators(path));
}

void Presenter::set_release_main_path(const QString &path)
{
    data_->setMainRelease(path);
    if (view_)
        view_->setReleaseFile(QDir::toNativeSeparators(path));
}

void Presenter::set_dev_main_path(const QString &path)
{
    data_->setMainDev(path);
    if (view_)
        view_->setDevFile(QDir::toNativeSeparators(path));
}

void Presenter::set_debug_main_path(const QString &path)
{
    data_->setMainDebug(path);
    if (view_)
        view_->setDebugFile(QDir::toNativeSeparators(path));
}

std::unique_ptr<Options> Presenter::snapshotOptions() const
{
    auto snapshot = std::make_unique<Options>(*data_);
    if (snapshot->getConfig() == BuildConfiguration::Release) {
        snapshot->setVideoDebug(VideoDebug::Disabled);
        snapshot->setBinary(Binary::Release);
    }
    snapshot->setVideoAPI(Velmora::Render::getAPI() == OPENGL_API ? VideoAPI::OpenGL : VideoAPI::Auto);
    // A relative path stays as it is and is refused by the validation.
    const QString path = snapshot->getPath();
    if (!path.isEmpty() && !QDir::isRelativePath(path))
        snapshot->setPath(normalizePath(path));
    return snapshot;
}

void Presenter::warn(const QString &title, const QString &text) const
{
    QMessageBox::warning(main_view_, title, text, QMessageBox::Ok);
}

bool Presenter::checkOptions(const Options &options) const
{
    if (options.getName().isEmpty()) {
        warn(tr("Error"), tr("Please set the Project Name."));
        return false;
    }
    // The name becomes the launcher's and the scripts' file names in the
    // build folder.
    if (!isPlainFileName(options.getName())) {
        warn(tr("Error"), tr("Please set a valid Project Name."));
        return false;
    }
    const QString path = options.getPath();
    if (path.isEmpty() || QDir::isRelativePath(path)) {
        warn(tr("Error"), tr("Please set the Build Folder."));
        return false;
    }
    const QString problem = BuildFolderCheck::problem(normalizePath(path));
    if (!problem.isEmpty()) {
        warn(tr("Error"), problem);
        return false;
    }
    const QString duplicates = DuplicateGuidCheck::problem(depr::g.asset_manager);
    if (!duplicates.isEmpty()) {
        warn(tr("Error"), duplicates);
        return false;
    }
    // Hidden entries count: the build empties the folder completely.
    if (!OutputFolderGuard::isEmptyFolder(path)) {
        const auto answer = QMessageBox::question(
                main_view_, tr("Warning"),
                tr("Build Folder is not empty. All the files it contains will be deleted permanently.\n"
                   "Are you sure you want to continue?"),
                QMessageBox::Yes | QMessageBox::No);
        if (answer != QMessageBox::Yes)
            return false;
    }
    WorldControls *world = depr::g.world_controls;
    if (Velmora::World::isLoaded() && world && world->isDirty()) {
        const auto answer = QMessageBox::question(
                main_view_, tr("Save World"),
                tr("The current world contains unsaved changes.\nDo you want to save them before assembling the "
                   "project?"),
                QMessageBox::Yes | QMessageBox::Cancel);
        // The build takes the world as its file holds it: a save that did
        // not reach the disk is told before the build goes on.
        if (answer == QMessageBox::Yes && !world->saveWorld())
            warn(tr("Save World"),
                 tr("The world \"%1\" could not be saved: %2.\nThe build takes the world as it was last saved.")
                         .arg(QString::fromUtf8(Velmora::World::getPath()), world->lastSaveError()));
    }
    if (componentsActive())
        return true;

    const SelectedBinaries binaries = selectBinaries(options.getConfig(), sdk_valid_);
    QStringList checkpaths;
    if (binaries.release)
        checkpaths << options.getMainRelease();
    if (binaries.development)
        checkpaths << options.getMainDev();
    if (binaries.debug)
        checkpaths << options.getMainDebug();
    EC_SOFT_ASSERT(!checkpaths.isEmpty());
    for (const QString &file : qAsConst(checkpaths)) {
        if (file.isEmpty() || !QFileInfo(file).isFile()) {
            warn(tr("Error"), tr("The application file doesn't exist.\nPlease set a valid executable file."));
            return false;
        }
    }
    return true;
}

bool Presenter::computePaths(BuildPaths &paths) const
{
    const QString sdk_path = sdk_valid_ ? project_->sdk_path : QString();
    if (!sdk_path.isEmpty()) {
        paths.bin_dir = getBinPath(sdk_path);
        paths.sdk_development_dir = getDevelopmentBinPath(sdk_path);
    } else {
        paths.bin_dir = getExeDir();
        paths.sdk_development_dir.clear();
    }
    paths.exe_dir = getExeDir();
    paths.data_dir = getDataDir();
    paths.cache_dir = getCacheDir();
    paths.system_cache_file_path = getSystemCacheFilePath();
    paths.editor_cache_file_path = getEditorCacheFilePath();
    paths.output_bin_dir = QStringLiteral("bin/");
    paths.output_data_dir = QStringLiteral("data/");

    // The cache files are optional (a project may not have written them
    // yet); the folders a build copies from must exist.
    bool ok = true;
    const QVector<QPair<QString, QString>> folders = {{QStringLiteral("binaries folder"), paths.bin_dir},
                                                      {QStringLiteral("engine binaries folder"), paths.exe_dir},
                                                      {QStringLiteral("data folder"), paths.data_dir}};
    for (const auto &folder : folders) {
        if (!isExistingFolder(folder.second)) {
            qCritical() << "Build Tool: the" << qPrintable(folder.first) << "does not exist:" << folder.second;
            ok = false;
        }
    }
    if (paths.cache_dir.isEmpty() || !paths.cache_dir.endsWith(QLatin1Char('/'))) {
        qCritical() << "Build Tool: the engine has no cache folder.";
        ok = false;
    }
    if (!paths.sdk_development_dir.isEmpty() && !isExistingFolder(paths.sdk_development_dir)) {
        qCritical() << "Build Tool: the SDK's development binaries folder does not exist:" << paths.sdk_development_dir;
        ok = false;
    }
    if (!depr::g.asset_manager || !depr::g.mat_manager || !depr::g.prop_manager) {
        qCritical() << "Build Tool: the editor's asset, material and property managers are not ready.";
        ok = false;
    }
    return ok;
}

std::unique_ptr<Executor> Presenter::createExecutor(const Options &options, const BuildPaths &paths) const
{
    const QStringList plugins = project_ ? project_->plugins : QStringList();
    const SDKEdition edition = sdk_valid_ ? project_->edition : SDKEdition::Unknown;
    const SelectedBinaries binaries = selectBinaries(options.getConfig(), sdk_valid_);
    EC_ASSERT(!binaries.release == (binaries.debug || binaries.development));
    return ExecutorBuilder::build(options, binaries, paths, plugins, edition, depr::g.cs_manager, depr::g.asset_manager,
                                  depr::g.mat_manager, depr::g.prop_manager, &DiffFilesPrompt::showDiffWidget);
}

void Presenter::make_build()
{
    if (building_) {
        qWarning() << "Build Tool: a build is already running.";
        return;
    }
    std::unique_ptr<Options> snapshot = snapshotOptions();
    if (!checkOptions(*snapshot))
        return;
    BuildPaths paths;
    if (!computePaths(paths)) {
        warn(tr("Error"),
             tr("The engine folders the build copies from cannot be found.\nPlease look at the Console "
                "window for more information."));
        return;
    }

    building_ = true;
    auto job = std::make_shared<ExecutorJob>();
    job->setExecutor(createExecutor(*snapshot, paths));

    QEventLoop loop;
    bool finished = false;
    connect(job.get(), &ExecutorJob::done, &loop, [&finished, &loop]() {
        finished = true;
        loop.exit(0);
    });

    QString refused;
    if (!base::JobProgressDialog::start(job, tr("Create Build"),
                                        tr("Assembling files of your project. Please wait.\nThis process may take "
                                           "some time depending on the project's size."),
                                        main_view_, &refused)) {
        qCritical().noquote() << "Build Tool: the build could not be started:" << refused;
        warn(tr("Error"), tr("The build could not be started: %1.").arg(refused));
        building_ = false;
        emit buildFinished(false);
        return;
    }

    loop.exec();
    if (!finished) {
        // The loop ended early: the application is quitting. The build is
        // cancelled, and the wait goes on so that its post operations (the
        // editor's restart among them) still run.
        qWarning() << "Build Tool: the application is quitting; the build is cancelled.";
        job->cancel();
        while (!finished)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }

    const bool success = job->isSuccess();
    if (success) {
        // Without a file manager the finished build would give no sign at all.
        if (!showInGraphicalShell(snapshot->getPath()))
            QMessageBox::information(main_view_, tr("Create Build"),
                                     tr("The build is ready in:\n%1\n\nThe folder could not be opened in a file "
                                        "manager.")
                                             .arg(QDir::toNativeSeparators(snapshot->getPath())),
                                     QMessageBox::Ok);
    } else if (!job->isCancelled()) {
        warn(tr("Build Error"),
             tr("Some error has happened during project assembling.\nPlease look at the Console "
                "window for more information."));
    }
    building_ = false;
    emit buildFinished(success);
}

bool Presenter::storeOptions(QString *error)
{
    if (view_)
        view_->commitPendingEdits();
    if (!data_->isModified())
        return true;
    // Marked saved only once the file holds them: a failed write leaves them
    // to be saved again.
    if (!OptionsFile::save(data_->serialize(), error))
        return false;
    data_->resetModified();
    return true;
}

void Presenter::saveOptions()
{
    QString error;
    if (!storeOptions(&error))
        qWarning().noquote() << "Build Tool: the build options are not saved:" << error;
    if (resolutions_model_)
        disconnect(resolutions_model_, nullptr, this, nullptr);
    if (view_)
        disconnect(view_, nullptr, this, nullptr);
    main_view_ = nullptr;
    view_ = nullptr;
    resolutions_model_ = nullptr;
    sdk_valid_ = false;
    project_.reset();
}

} // namespace assembly
