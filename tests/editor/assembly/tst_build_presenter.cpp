// The build presenter with its window, offscreen, against a running engine in
// a temporary installation: loading and repairing the options, the resolution
// list and the rows that follow the options, the validation in its order with
// the real message boxes, whole builds (success, failure, cancel, a second
// request while one runs, the collision dialog, the application quitting) and
// options that survive a new presenter.

#include "assembly_test_support.h"
#include "build_window_test_support.h"
#include "file_size_limit.h"
#include "message_capture.h"

#include "editor/assembly/build_presenter.h"
#include "editor/assembly/core/engine_info.h"
#include "editor/assembly/core/path_utils.h"
#include "editor/assembly/executor/options.h"
#include "editor/assembly/executor/options_file.h"
#include "editor/assembly/models/resolutions_model.h"
#include "editor/assembly/ui/build_folder_check.h"
#include "editor/assembly/ui/build_window.h"

#include <editor_core/AccordionWidget.h>
#include <editor_core/AssetType.h>
#include <editor_core/AssetWidget.h>
#include <editor_core/Dialogs.h>
#include <editor_core/EditorLogic.h>
#include <editor_core/UpdateLock.h>
#include <editor_core/View.h>
#include <editor_core/WorldControls.h>
#include <editor_core/core/ProgressDialog.h>
#include <editor_core/core/UrlOpener.h>
#include <editor_core/cs/Manager.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/AssetManagerPrivate.h>
#include <editor_core/editor/WindowManager.h>
#include <editor_core/editor/WindowManagerPrivate.h>
#include <editor_core/mat/Manager.h>
#include <editor_core/prop/Manager.h>
#include <editor_core/tbb/QJob.h>
#include <editor_core/tbb/Queue.h>
#include <velmora/Console.h>
#include <velmora/Materials.h>
#include <velmora/World.h>

#include <QCheckBox>
#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLineEdit>
#include <QPushButton>
#include <QSemaphore>
#include <QSignalSpy>
#include <QToolButton>
#include <QtTest>

using namespace assembly;
using assemblytest::Installation;
using buildtest::guid;
using buildtest::MessageBoxes;
using Velmora::UGUID;

namespace {

const UGUID WORLD = guid('a', 101);
const QString BUILD_ERROR
        = "Some error has happened during project assembling.\nPlease look at the Console window for more information.";

// Acts once on each progress dialog and collision dialog that shows while a
// build runs, and notes what the progress dialog shows when it is hidden.
class BuildWatcher : public QObject
{
public:
    std::function<void(core::ProgressDialog *)> on_progress;
    std::function<void(QDialog *)> on_collision;
    QStringList progress_texts;
    int progress_at_end = -1;
    int collisions = 0;

    BuildWatcher()
    {
        connect(&timer_, &QTimer::timeout, this, &BuildWatcher::poll);
        timer_.start(2);
    }

protected:
    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (event->type() == QEvent::Hide)
            progress_at_end = static_cast<core::ProgressDialog *>(object)->progress();
        return false;
    }

private:
    void poll()
    {
        const QWidgetList widgets = QApplication::topLevelWidgets();
        for (QWidget *widget : widgets) {
            if (!widget->isVisible() || seen_.contains(widget))
                continue;
            if (auto progress = qobject_cast<core::ProgressDialog *>(widget)) {
                seen_ << widget;
                progress_texts << progress->windowTitle() + '|' + progress->text();
                QVERIFY(progress->isModal());
                progress->installEventFilter(this);
                if (on_progress)
                    on_progress(progress);
            } else if (widget->objectName() == QLatin1String("DiffFilesWidget")) {
                seen_ << widget;
                ++collisions;
                if (on_collision)
                    on_collision(qobject_cast<QDialog *>(widget));
            }
        }
    }

    QTimer timer_;
    QList<QPointer<QWidget>> seen_;
};

QByteArray projectFile(const QString &sdk, int components)
{
    const QJsonObject settings{{"component_system", components}, {"default_world", "worlds/level1"},
                               {"engine_binaries", "release"},   {"name", "sample"},
                               {"plugins", QJsonArray()},        {"precision", 0}};
    return QJsonDocument(QJsonObject{{"project_settings", settings},
                                     {"sdk", QJsonObject{{"edition", "edition1"}, {"path", sdk}}}})
            .toJson();
}

} // namespace

class TestBuildPresenter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void loading_fills_the_options_from_the_project_and_the_engine_data();
    void loading_fills_the_options_from_the_project_and_the_engine();
    void stored_options_are_repaired_on_load_without_being_saved();
    void the_shown_resolution_stays_the_default_through_ticks_and_a_restart();
    void rows_follow_build_type_launcher_and_components_data();
    void rows_follow_build_type_launcher_and_components();
    void validation_stops_at_the_first_problem_data();
    void validation_stops_at_the_first_problem();
    void an_unsaved_world_is_saved_only_when_asked_data();
    void an_unsaved_world_is_saved_only_when_asked();
    void components_skip_the_program_check();
    void a_build_clears_the_confirmed_folder_and_opens_it_when_done_data();
    void a_build_clears_the_confirmed_folder_and_opens_it_when_done();
    void a_failed_build_says_so_once();
    void a_project_with_a_copied_world_is_not_built();
    void a_job_queue_shut_down_mid_build_ends_the_wait();
    void a_cancelled_build_ends_quietly_and_no_second_build_starts_meanwhile();
    void a_collision_is_decided_by_the_user();
    void options_set_in_the_window_survive_a_new_presenter();
    void options_that_cannot_be_written_stay_unsaved_and_say_why();
    void quitting_the_application_during_a_build_cancels_it_and_waits_for_its_end();

private:
    std::unique_ptr<Presenter> makePresenter();
    void newMainWindow();
    void storeOptions(const Options &options) { QVERIFY(OptionsFile::save(options.serialize())); }
    Options buildableOptions(const QString &folder) const;
    QString makeSdk();
    void setComponents(bool active, const QString &sdk = QString());
    QString outside(const QString &relative) const { return QDir::cleanPath(outside_.path()) + '/' + relative; }

    Installation installation_;
    QTemporaryDir outside_;
    QString program_;
    std::unique_ptr<EditorLogic> logic_;
    std::unique_ptr<Editor::AssetManagerPrivate> assets_;
    std::unique_ptr<mat::Manager> materials_;
    std::unique_ptr<prop::Manager> properties_;
    std::unique_ptr<cs::Manager> components_;
    std::unique_ptr<WorldControls> world_controls_;
    View *main_ = nullptr;
    Editor::WindowManager *window_manager_ = nullptr;
    QStringList opened_;
};

void TestBuildPresenter::initTestCase()
{
    const QString engine = QStringLiteral(VELMORA_ENGINE_FILE);
    QVERIFY(QFile::copy(engine, installation_.binPath() + QFileInfo(engine).fileName()));
    QVERIFY(installation_.write("bin/libopenal.so", QByteArray()));
    QVERIFY(installation_.write("bin/velmora.cfg", "render_streaming_destroy_duration 600\n"));
    const QByteArray empty_world = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<world version=\"1\">\n</world>\n";
    QVERIFY(buildtest::writeAsset(installation_.dataPath(), "worlds/level1.world", WORLD, AssetType::WORLD,
                                  empty_world));
    QVERIFY(installation_.start());
    // The project's program, named for the kind of the running engine.
    program_ = installation_.binPath()
            + makeExecutableName(getCurrentSystem(), EngineInfo::getBinary(), Precision::Float, "sample");
    QVERIFY(Installation::writeFile(program_, "#!/bin/sh\n"));

    logic_ = std::make_unique<EditorLogic>();
    assets_ = std::make_unique<Editor::AssetManagerPrivate>();
    depr::g.editor = logic_.get();
    depr::g.asset_manager = assets_.get();
    QSignalSpy initialized(assets_.get(), &Editor::AssetManagerPrivate::initialized);
    assets_->init();
    QVERIFY(initialized.wait(20000));
    materials_ = std::make_unique<mat::Manager>(logic_.get());
    properties_ = std::make_unique<prop::Manager>(logic_.get());
    components_ = std::make_unique<cs::Manager>(assets_.get(), properties_.get());
    world_controls_ = std::make_unique<WorldControls>();
    depr::g.mat_manager = materials_.get();
    depr::g.prop_manager = properties_.get();
    depr::g.cs_manager = components_.get();
    depr::g.world_controls = world_controls_.get();
}

void TestBuildPresenter::cleanupTestCase()
{
    tbb::Queue::instance()->shutdown();
    depr::clearGlobals();
    world_controls_.reset();
    components_.reset();
    properties_.reset();
    materials_.reset();
    assets_->shutdown();
    assets_.reset();
    logic_.reset();
    Installation::stop();
}

void TestBuildPresenter::init()
{
    OptionsFile::remove();
    QFile::remove(installation_.root() + "sample.project");
    setComponents(false);
    newMainWindow();
    opened_.clear();
    core::setUrlOpener([this](const QUrl &url) {
        opened_ << QDir::cleanPath(url.toLocalFile());
        return true;
    });
}

void TestBuildPresenter::cleanup()
{
    core::setUrlOpener({});
    Dialogs::setResponder({});
    delete window_manager_;
    delete main_;
    window_manager_ = nullptr;
    main_ = nullptr;
    depr::gui.main_window = nullptr;
    depr::g.window_manager = nullptr;
}

void TestBuildPresenter::newMainWindow()
{
    delete window_manager_;
    delete main_;
    main_ = new View;
    main_->resize(1200, 900);
    depr::gui.main_window = main_;
    window_manager_ = new Editor::WindowManager;
    main_->setCentralWidget(depr::g.window_manager);
    main_->show();
}

std::unique_ptr<Presenter> TestBuildPresenter::makePresenter()
{
    auto presenter = std::make_unique<Presenter>();
    presenter->init(main_);
    return presenter;
}

Options TestBuildPresenter::buildableOptions(const QString &folder) const
{
    Options options;
    options.setName("sample");
    options.setPath(folder);
    options.setLauncher(Launcher::ScriptFile);
    options.setPrecompile(false);
    options.setWorld(WORLD);
    options.setMainRelease(program_);
    options.setMainDev(program_);
    options.setMainDebug(program_);
    return options;
}

// An SDK folder with the float libraries a build copies; returns its path.
QString TestBuildPresenter::makeSdk()
{
    const QString sdk = outside("sdk");
    const QString library = engineBaseName();
    const System system = getCurrentSystem();
    for (const Binary kind : {Binary::Development, Binary::Debug})
        Installation::writeFile(sdk + "/bin/" + makeLibraryName(system, kind, Precision::Float, library));
    Installation::writeFile(sdk + "/bin/development/"
                            + makeLibraryName(system, Binary::Development, Precision::Float, library));
    return sdk;
}

void TestBuildPresenter::setComponents(bool active, const QString &sdk)
{
    const QString path = installation_.root() + "components.project";
    if (active)
        QVERIFY(Installation::writeFile(path, projectFile(sdk, 1)));
    else
        QFile::remove(path);
    QCOMPARE(components_->init(), active);
}

void TestBuildPresenter::loading_fills_the_options_from_the_project_and_the_engine_data()
{
    QTest::addColumn<bool>("project");
    QTest::newRow("no options file, no project") << false;
    QTest::newRow("no options file, a project") << true;
}

void TestBuildPresenter::loading_fills_the_options_from_the_project_and_the_engine()
{
    QFETCH(bool, project);
    if (project)
        QVERIFY(Installation::writeFile(installation_.root() + "sample.project", projectFile("", 0)));
    auto presenter = makePresenter();
    const Options &options = presenter->options();
    QVERIFY(!presenter->isSdkValid());
    // Without an SDK the build copies the running engine's own binaries.
    const Binary engine = EngineInfo::getBinary();
    QCOMPARE(options.getConfig(),
             engine == Binary::Release ? BuildConfiguration::Release : BuildConfiguration::Development);
    QCOMPARE(options.getBinary(), engine);
    QCOMPARE(options.getName(), project ? QStringLiteral("sample") : QString());
    QCOMPARE(options.getWorld(), project ? WORLD : UGUID());
    // The project's programs found beside the editor.
    const QString debug = installation_.binPath()
            + makeExecutableName(getCurrentSystem(), Binary::Debug, Precision::Float, "sample");
    QCOMPARE(options.getMainDebug(), project && QFileInfo(debug).isFile() ? debug : QString());
    QCOMPARE(options.getRules(), (CopyRuleList{CopyRule()}));
    QCOMPARE(options.getSelectedRes(), 0);
    QVERIFY(!options.isModified());

    Window *window = presenter->window();
    QVERIFY(Editor::WindowManager::contains(window) && !Editor::WindowManager::isVisible(window));
    presenter->showUI();
    QVERIFY(Editor::WindowManager::isVisible(window));
    QCOMPARE(window->findChild<QLineEdit *>("project_name")->text(), options.getName());
    QCOMPARE(window->findChild<AssetWidget *>("default_world")->guid(), options.getWorld());
    QVERIFY(!window->findChild<QComboBox *>("build_type")->isEnabled());
    QVERIFY(window->findChild<QComboBox *>("precision")->isHidden());
    // Loading alone never writes the options file.
    presenter->saveOptions();
    QVERIFY(!QFileInfo::exists(OptionsFile::path()));
    QCOMPARE(presenter->window(), nullptr);
}

void TestBuildPresenter::stored_options_are_repaired_on_load_without_being_saved()
{
    QJsonObject stored = buildableOptions(outside("build")).serialize();
    stored["selected_res"] = 99;
    stored["vrmodes"] = QJsonArray{"Oculus", "Hologram", "Disabled", "Varjo"};
    stored["rules"] = QJsonArray();
    stored["precision"] = "Double";
    QVERIFY(OptionsFile::save(stored));
    const QDateTime written = QFileInfo(OptionsFile::path()).lastModified();

    auto presenter = makePresenter();
    const Options &options = presenter->options();
    QCOMPARE(options.getSelectedRes(), 0);
    QCOMPARE(options.getVRModes(), (QVector<VRMode>{VRMode::Oculus, VRMode::Varjo}));
    QCOMPARE(options.getRules(), (CopyRuleList{CopyRule()}));
    QCOMPARE(options.getPrecision(), getCurrentPrecision());
    Window *window = presenter->window();
    QVERIFY(window->findChild<QCheckBox *>("use_oculus")->isChecked());
    QVERIFY(!window->findChild<QCheckBox *>("use_openvr")->isChecked());
    QTest::qWait(20);
    presenter->saveOptions();
    QCOMPARE(QFileInfo(OptionsFile::path()).lastModified(), written);
}

void TestBuildPresenter::the_shown_resolution_stays_the_default_through_ticks_and_a_restart()
{
    const Resolution a{QSize(16, 9), 1280};
    const Resolution b{QSize(16, 9), 1920};
    const Resolution c{QSize(16, 10), 1680};
    Options stored = buildableOptions(outside("build"));
    // The stored list is matched in the standard order: a after b is not.
    stored.setResolutions({b, a, c});
    stored.setSelectedRes(2);
    storeOptions(stored);
    {
        auto presenter = makePresenter();
        ResolutionsModel *model = presenter->resolutionsModel();
        Window *window = presenter->window();
        const Options &options = presenter->options();
        QVERIFY(model->isChecked(model->rowOf(b)) && !model->isChecked(model->rowOf(a)));
        // The window shows the selected resolution, not the row of its index.
        QCOMPARE(window->resolutionIndex(), model->rowOf(c));

        const auto tick = [model](const Resolution &r, bool on) {
            model->setData(model->index(model->rowOf(r)), on ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
        };
        tick(a, true);
        QCOMPARE(options.getResolutions(), (QVector<Resolution>{a, b, c}));
        QCOMPARE(options.getSelectedRes(), 2);
        QCOMPARE(window->resolutionIndex(), model->rowOf(c));
        // The shown row itself goes: the first offered one is shown instead.
        tick(c, false);
        QCOMPARE(options.getSelectedRes(), 0);
        QTRY_COMPARE(window->resolutionIndex(), model->rowOf(a));
        // A row that is not offered cannot become the default.
        window->setResolutionIndex(model->rowOf(c));
        QCOMPARE(options.getSelectedRes(), 0);
        QTRY_COMPARE(window->resolutionIndex(), model->rowOf(a));
        window->setResolutionIndex(model->rowOf(b));
        QCOMPARE(options.getSelectedRes(), 1);
        presenter->saveOptions();
    }
    newMainWindow();
    auto again = makePresenter();
    ResolutionsModel *model = again->resolutionsModel();
    QCOMPARE(again->window()->resolutionIndex(), model->rowOf(b));
    model->setData(model->index(model->rowOf(a)), Qt::Unchecked, Qt::CheckStateRole);
    model->setData(model->index(model->rowOf(b)), Qt::Unchecked, Qt::CheckStateRole);
    QCOMPARE(again->options().getSelectedRes(), -1);
}

void TestBuildPresenter::rows_follow_build_type_launcher_and_components_data()
{
    QTest::addColumn<bool>("sdk");
    QTest::addColumn<bool>("components");
    QTest::addColumn<int>("config");
    QTest::addColumn<int>("launcher");
    QTest::addColumn<QString>("shown");
    const int release = int(BuildConfiguration::Release);
    const int development = int(BuildConfiguration::Development);
    const int program = int(Launcher::BinaryFile);
    const int script = int(Launcher::ScriptFile);
    QTest::newRow("sdk, release, program") << true << false << release << program << "banner release";
    QTest::newRow("sdk, development, program")
            << true << false << development << program << "banner binary video development debug";
    QTest::newRow("sdk, development, script") << true << false << development << script << "video development debug";
    if (EngineInfo::getBinary() != Binary::Release)
        QTest::newRow("no sdk, development, program") << false << false << development << program
                                                      << QString("banner binary video ")
                        + (EngineInfo::getBinary() == Binary::Development ? "development" : "debug");
    QTest::newRow("components, development, program")
            << true << true << development << program << "banner binary video";
    QTest::newRow("components, release, script") << true << true << release << script << "";
}

void TestBuildPresenter::rows_follow_build_type_launcher_and_components()
{
    QFETCH(bool, sdk);
    QFETCH(bool, components);
    QFETCH(int, config);
    QFETCH(int, launcher);
    QFETCH(QString, shown);
    if (sdk)
        QVERIFY(Installation::writeFile(installation_.root() + "sample.project", projectFile(makeSdk(), 0)));
    setComponents(components, sdk ? makeSdk() : QString());
    // Stored the other way round, so that the rules must act.
    Options stored = buildableOptions(outside("build"));
    stored.setConfig(config == int(BuildConfiguration::Release) ? BuildConfiguration::Development
                                                                : BuildConfiguration::Release);
    stored.setLauncher(launcher == int(Launcher::BinaryFile) ? Launcher::ScriptFile : Launcher::BinaryFile);
    storeOptions(stored);

    auto presenter = makePresenter();
    Window *window = presenter->window();
    QCOMPARE(presenter->isSdkValid(), sdk);
    QCOMPARE(window->findChild<QComboBox *>("build_type")->isEnabled(), sdk);
    QCOMPARE(window->findChild<QComboBox *>("binary")->isEnabled(), sdk);
    window->setConfiguration(BuildConfiguration(config));
    window->setLauncher(Launcher(launcher));
    QCOMPARE(int(presenter->options().getConfig()), config);
    QStringList rows;
    const QList<QPair<QString, const char *>> fields = {{"banner", "banner_reset"},         {"binary", "binary"},
                                                        {"video", "video_debug"},           {"release", "release_app"},
                                                        {"development", "development_app"}, {"debug", "debug_app"}};
    for (const auto &field : fields) {
        if (window->findChild<QWidget *>(field.second)->isVisibleTo(window))
            rows << field.first;
    }
    QCOMPARE(rows.join(' '), shown);
    setComponents(false);
}

void TestBuildPresenter::validation_stops_at_the_first_problem_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("texts");
    const QString no_name = "Please set the Project Name.";
    const QString bad_name = "Please set a valid Project Name.";
    const QString no_folder = "Please set the Build Folder.";
    const QString no_program = "The application file doesn't exist.\nPlease set a valid executable file.";
    const QString not_empty = "Build Folder is not empty. All the files it contains will be deleted "
                              "permanently.\nAre you sure you want to continue?";
    // "<root>" is the installation, "<out>" a folder outside it.
    QTest::newRow("no name and no folder") << ""
                                           << ""
                                           << "<program>" << QStringList{no_name};
    QTest::newRow("a name with a folder in it") << "../game"
                                                << "<out>b"
                                                << "<program>" << QStringList{bad_name};
    QTest::newRow("a name that is a dot") << "."
                                          << "<out>b"
                                          << "<program>" << QStringList{bad_name};
    QTest::newRow("no folder") << "sample"
                               << ""
                               << "<program>" << QStringList{no_folder};
    QTest::newRow("a relative folder") << "sample"
                                       << "build/here"
                                       << "<program>" << QStringList{no_folder};
    QTest::newRow("below the data folder") << "sample"
                                           << "<root>data/out"
                                           << "<program>" << QStringList{BuildFolderCheck::dataFolderText()};
    QTest::newRow("a folder holding the data folder")
            << "sample"
            << "<root>"
            << "<program>"
            << QStringList{BuildFolderCheck::protectedFolderText("the build folder is the project folder (<root>)")};
    // Hidden entries count: the build would delete them. The answer is No.
    QTest::newRow("only hidden files, not confirmed") << "sample"
                                                      << "<out>dotfiles"
                                                      << "<program>" << QStringList{not_empty};
    QTest::newRow("no program") << "sample"
                                << "<out>b"
                                << "" << QStringList{no_program};
    QTest::newRow("a program that is gone") << "sample"
                                            << "<out>b"
                                            << "<out>gone_x64" << QStringList{no_program};
}

void TestBuildPresenter::validation_stops_at_the_first_problem()
{
    QFETCH(QString, name);
    QFETCH(QString, folder);
    QFETCH(QString, program);
    QFETCH(QStringList, texts);
    for (QString *text : {&folder, &program})
        text->replace("<root>", installation_.root()).replace("<out>", outside("")).replace("<program>", program_);
    for (QString &text : texts)
        text.replace("<root>", installation_.root());
    QVERIFY(Installation::writeFile(outside("dotfiles/.git/config")));
    Options stored = buildableOptions(folder);
    stored.setName(name);
    // Every configuration's program, so that the check bites in any build type.
    stored.setMainRelease(program);
    stored.setMainDev(program);
    stored.setMainDebug(program);
    storeOptions(stored);

    auto presenter = makePresenter();
    QSignalSpy finished(presenter.get(), &Presenter::buildFinished);
    MessageBoxes boxes;
    boxes.answer(QMessageBox::No);
    BuildWatcher watcher;
    presenter->make_build();
    QCOMPARE(boxes.texts(), texts);
    QVERIFY(watcher.progress_texts.isEmpty());
    QCOMPARE(finished.count(), 0);
    QVERIFY(QFileInfo(outside("dotfiles/.git/config")).isFile());
}

void TestBuildPresenter::an_unsaved_world_is_saved_only_when_asked_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("refused"); // the world's file cannot be written
    QTest::newRow("yes") << int(QMessageBox::Yes) << false;
    QTest::newRow("cancel") << int(QMessageBox::Cancel) << false;
    QTest::newRow("yes, not written") << int(QMessageBox::Yes) << true;
}

void TestBuildPresenter::an_unsaved_world_is_saved_only_when_asked()
{
    QFETCH(int, answer);
    QFETCH(bool, refused);
    QVERIFY(Velmora::World::load("worlds/level1"));
    world_controls_->setDirty(true);
    const QString world_file = QString::fromUtf8(Velmora::World::getAbsolutePath());
    const QByteArray world_bytes = Installation::read(world_file);
    // A world file that is a link leading outside the data folder.
    const QString moved = outside("level1.world");
    if (refused)
        QVERIFY(QFile::rename(world_file, moved) && QFile::link(moved, world_file));
    // The validation goes on after the question; a missing program then
    // stops it before anything is built.
    Options stored = buildableOptions(outside("b"));
    stored.setMainRelease(QString());
    stored.setMainDev(QString());
    stored.setMainDebug(QString());
    storeOptions(stored);
    auto presenter = makePresenter();
    MessageBoxes boxes;
    boxes.answer(QMessageBox::StandardButton(answer));
    Velmora::Console::clearCommandLog();
    presenter->make_build();
    QCOMPARE(boxes.boxes().size(), refused ? 3 : 2);
    if (refused) {
        // A save that did not reach the disk is told; the build goes on.
        QCOMPARE(boxes.boxes().at(1).title, QStringLiteral("Save World"));
        QVERIFY2(boxes.boxes().at(1).text.contains(QLatin1String("leads outside the data folder")),
                 qPrintable(boxes.boxes().at(1).text));
        QCOMPARE(Installation::read(moved), world_bytes);
        QVERIFY(QFile::remove(world_file) && QFile::rename(moved, world_file));
    }
    QCOMPARE(boxes.boxes().at(0).title, QStringLiteral("Save World"));
    QCOMPARE(boxes.boxes().at(0).text,
             QStringLiteral("The current world contains unsaved changes.\nDo you want to save "
                            "them before assembling the project?"));
    QCOMPARE(boxes.boxes().at(0).buttons, QMessageBox::Yes | QMessageBox::Cancel);
    int saves = 0;
    for (const Velmora::String &line : Velmora::Console::getCommandLog())
        saves += QString::fromUtf8(line.get()).startsWith("world_save") ? 1 : 0;
    QCOMPARE(saves, answer == QMessageBox::Yes ? 1 : 0);
    world_controls_->setDirty(false);
    Velmora::World::quit();
}

void TestBuildPresenter::components_skip_the_program_check()
{
    setComponents(true);
    Options stored = buildableOptions(outside("components"));
    stored.setMainRelease(QString());
    stored.setMainDev(QString());
    stored.setMainDebug(QString());
    storeOptions(stored);
    auto presenter = makePresenter();
    QSignalSpy finished(presenter.get(), &Presenter::buildFinished);
    MessageBoxes boxes;
    BuildWatcher watcher;
    presenter->make_build();
    // The build starts; without the .NET tools here the component build
    // fails, and that is the only box.
    QCOMPARE(watcher.progress_texts.size(), 1);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(boxes.texts(), QStringList{BUILD_ERROR});
    setComponents(false);
}

void TestBuildPresenter::a_build_clears_the_confirmed_folder_and_opens_it_when_done_data()
{
    QTest::addColumn<bool>("file_manager");
    QTest::newRow("folder opened") << true;
    QTest::newRow("no file manager: a message says where the build is") << false;
}

void TestBuildPresenter::a_build_clears_the_confirmed_folder_and_opens_it_when_done()
{
    QFETCH(bool, file_manager);
    core::setUrlOpener([this, file_manager](const QUrl &url) {
        opened_ << QDir::cleanPath(url.toLocalFile());
        return file_manager;
    });
    // Without the engine's cache files, and with a project without
    // materials, a build that precompiles shaders still goes through.
    QFile::remove(getSystemCacheFilePath());
    QFile::remove(getEditorCacheFilePath());
    QCOMPARE(Velmora::Materials::getNumMaterials(), 0);
    const QString folder = outside("build ok/");
    QVERIFY(Installation::writeFile(folder + ".git/config"));
    Options options = buildableOptions(folder);
    options.setPrecompile(true);
    storeOptions(options);
    auto presenter = makePresenter();
    QSignalSpy finished(presenter.get(), &Presenter::buildFinished);
    MessageBoxes boxes;
    boxes.answer(QMessageBox::Yes);
    BuildWatcher watcher;
    presenter->make_build();

    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).toBool(), true);
    QCOMPARE(boxes.boxes().size(), file_manager ? 1 : 2);
    QCOMPARE(boxes.boxes().first().title, QStringLiteral("Warning"));
    if (!file_manager) {
        const MessageBoxes::Box &ready = boxes.boxes().last();
        QCOMPARE(ready.title, QStringLiteral("Create Build"));
        QCOMPARE(ready.icon, QMessageBox::Information);
        QVERIFY2(ready.text.contains(QDir::toNativeSeparators(QDir::cleanPath(folder))), qPrintable(ready.text));
    }
    QCOMPARE(watcher.progress_texts,
             QStringList{"Create Build|Assembling files of your project. Please wait.\nThis "
                         "process may take some time depending on the project's size."});
    QCOMPARE(watcher.progress_at_end, 100);
    QCOMPARE(opened_, QStringList{QDir::cleanPath(folder)});
    QVERIFY(!QFileInfo::exists(folder + ".git"));
    QVERIFY(QFileInfo(folder + "sample.sh").isFile());
    QVERIFY(QFileInfo(folder + "data/worlds/level1.world").isFile());
    QTRY_VERIFY(!main_->findChild<core::ProgressDialog *>());
    QVERIFY(!UpdateLock::isUpdateLocked());
    QVERIFY(assets_->isActive());
}

void TestBuildPresenter::a_failed_build_says_so_once()
{
    // The engine library a build copies is missing.
    const QString engine = installation_.binPath() + QFileInfo(QStringLiteral(VELMORA_ENGINE_FILE)).fileName();
    QVERIFY(QFile::rename(engine, engine + ".away"));
    storeOptions(buildableOptions(outside("failing/")));
    auto presenter = makePresenter();
    QSignalSpy finished(presenter.get(), &Presenter::buildFinished);
    MessageBoxes boxes;
    presenter->make_build();
    QVERIFY(QFile::rename(engine + ".away", engine));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).toBool(), false);
    QCOMPARE(boxes.texts(), QStringList{BUILD_ERROR});
    QCOMPARE(boxes.boxes().first().title, QStringLiteral("Build Error"));
    QVERIFY(opened_.isEmpty());
    QVERIFY(!UpdateLock::isUpdateLocked());
}

void TestBuildPresenter::a_project_with_a_copied_world_is_not_built()
{
    // The world copied with its meta file: the copy sorts first and is the
    // asset, the original world would be missing from the build.
    const QString world = installation_.dataPath() + "worlds/level1.world";
    const QString copy = installation_.dataPath() + "worlds/copy.world";
    QVERIFY(QFile::copy(world, copy) && QFile::copy(world + ".meta", copy + ".meta"));
    auto rescanned = [this] {
        QSignalSpy ended(assets_.get(), &Editor::AssetManagerPrivate::pipeline_ended);
        assets_->rescan();
        return ended.wait(20000);
    };
    QVERIFY(rescanned());
    QVERIFY(Installation::writeFile(outside("kept/notes.txt"), "mine"));
    storeOptions(buildableOptions(outside("kept/")));
    auto presenter = makePresenter();
    QSignalSpy finished(presenter.get(), &Presenter::buildFinished);
    MessageBoxes boxes;
    BuildWatcher watcher;
    presenter->make_build();
    QVERIFY(QFile::remove(copy) && QFile::remove(copy + ".meta"));
    QVERIFY(rescanned());

    QCOMPARE(boxes.texts().size(), 1);
    QCOMPARE(boxes.boxes().first().title, QStringLiteral("Error"));
    QVERIFY2(boxes.texts().first().contains("worlds/copy.world\nworlds/level1.world\n"),
             qPrintable(boxes.texts().first()));
    QVERIFY(boxes.texts().first().contains("new GUID"));
    // Nothing ran: no question about the folder, no progress, no result.
    QVERIFY(watcher.progress_texts.isEmpty());
    QCOMPARE(finished.count(), 0);
    QVERIFY(QFileInfo(outside("kept/notes.txt")).isFile());
}

void TestBuildPresenter::a_job_queue_shut_down_mid_build_ends_the_wait()
{
    // A job ahead of the build holds the worker until the shutdown cancels
    // it, so the build is still queued when the queue goes.
    struct Blocker : tbb::QJob
    {
        QSemaphore gate;
        void run(const tbb::JobPtr &) override { gate.acquire(); }
        void cancel() override { gate.release(); }
    };
    storeOptions(buildableOptions(outside("shut_down/")));
    auto presenter = makePresenter();
    QSignalSpy finished(presenter.get(), &Presenter::buildFinished);
    MessageBoxes boxes;
    BuildWatcher watcher;
    QVERIFY(tbb::Queue::instance()->enqueue(std::make_shared<Blocker>()));
    watcher.on_progress = [](core::ProgressDialog *) { tbb::Queue::instance()->shutdown(); };
    presenter->make_build();
    // make_build returned: the waiter heard of the job's end.
    QCOMPARE(watcher.progress_texts.size(), 1);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).toBool(), false);
    QVERIFY(boxes.boxes().isEmpty());
    QVERIFY(opened_.isEmpty());
    QVERIFY(!UpdateLock::isUpdateLocked());
}

void TestBuildPresenter::a_cancelled_build_ends_quietly_and_no_second_build_starts_meanwhile()
{
    storeOptions(buildableOptions(outside("cancelled/")));
    auto presenter = makePresenter();
    QSignalSpy finished(presenter.get(), &Presenter::buildFinished);
    MessageBoxes boxes;
    BuildWatcher watcher;
    bool stayed_visible = false;
    watcher.on_progress = [&](core::ProgressDialog *dialog) {
        presenter->make_build();
        QTest::mouseClick(dialog->cancelButton(), Qt::LeftButton);
        stayed_visible = dialog->isVisible();
    };
    presenter->make_build();
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).toBool(), false);
    QCOMPARE(watcher.progress_texts.size(), 1);
    QVERIFY(boxes.boxes().isEmpty());
    QVERIFY(opened_.isEmpty());
    QVERIFY(stayed_visible);
    // The post-build operations restarted the editor.
    QVERIFY(!UpdateLock::isUpdateLocked());
    QVERIFY(assets_->isActive());
    QVERIFY(!logic_->signalsBlocked());
}

void TestBuildPresenter::a_collision_is_decided_by_the_user()
{
    // Two different user files aimed at one place.
    QVERIFY(Installation::writeFile(outside("first/notes.txt"), "first\n"));
    QVERIFY(Installation::writeFile(outside("second/notes.txt"), "second\n"));
    const QString folder = outside("collision/");
    Options options = buildableOptions(folder);
    options.setRules({CopyRule{outside("first/notes.txt"), "docs"}, CopyRule{outside("second/notes.txt"), "docs"}});
    storeOptions(options);
    auto presenter = makePresenter();
    QSignalSpy finished(presenter.get(), &Presenter::buildFinished);
    BuildWatcher watcher;
    watcher.on_collision = [](QDialog *dialog) {
        QTest::mouseClick(dialog->findChild<QPushButton *>("use_second"), Qt::LeftButton);
    };
    presenter->make_build();
    QCOMPARE(watcher.collisions, 1);
    QCOMPARE(finished.count(), 1);
    QVERIFY(finished.at(0).at(0).toBool());
    QCOMPARE(Installation::read(folder + "docs/notes.txt"), QByteArray("second\n"));
}

void TestBuildPresenter::options_set_in_the_window_survive_a_new_presenter()
{
    const QString folder = outside("kept");
    {
        auto presenter = makePresenter();
        Window *window = presenter->window();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(main_));
        auto name = window->findChild<QLineEdit *>("project_name");
        name->setFocus();
        QTest::keyClicks(name, "kept");
        QTest::keyClick(name, Qt::Key_Return);
        Dialogs::setResponder([&](const Dialogs::Request &) { return folder; });
        window->chooseOutputPath();
        QTRY_COMPARE(presenter->options().getPath(), folder + '/');
        QCOMPARE(window->findChild<QLineEdit *>("build_folder")->text(), QDir::toNativeSeparators(folder + '/'));
        window->findChild<QCheckBox *>("fullscreen")->click();
        window->findChild<QComboBox *>("launcher_type")->setCurrentIndex(1);
        Dialogs::setResponder([](const Dialogs::Request &) { return QStringLiteral("worlds/level1.world"); });
        window->findChild<AssetWidget *>("default_world")->browseButton()->click();
        QTRY_COMPARE(presenter->options().getWorld(), WORLD);
        window->setCopyRules({{"/home/u/readme.txt", "docs"}});
        window->setArguments("-console_command \"show_fps 1\"");
        // Typed but not sent yet: saving takes it too.
        name->setFocus();
        QTest::keyClicks(name, "_late");
        presenter->saveOptions();
    }
    newMainWindow();
    auto again = makePresenter();
    const Options &options = again->options();
    Window *window = again->window();
    QCOMPARE(window->findChild<QLineEdit *>("project_name")->text(), QStringLiteral("kept_late"));
    QCOMPARE(window->findChild<QLineEdit *>("build_folder")->text(), QDir::toNativeSeparators(folder + '/'));
    QVERIFY(window->findChild<QCheckBox *>("fullscreen")->isChecked());
    QCOMPARE(window->findChild<QComboBox *>("launcher_type")->currentIndex(), 1);
    QCOMPARE(window->findChild<AssetWidget *>("default_world")->guid(), WORLD);
    QCOMPARE(options.getRules(), (CopyRuleList{{"/home/u/readme.txt", "docs"}}));
    QCOMPARE(options.getArgs(), QStringLiteral("-console_command \"show_fps 1\""));
}

void TestBuildPresenter::options_that_cannot_be_written_stay_unsaved_and_say_why()
{
    storeOptions(buildableOptions(outside("before")));
    const QByteArray before = Installation::read(OptionsFile::path());
    auto presenter = makePresenter();
    presenter->set_output_path(outside("after"));
    QVERIFY(presenter->options().isModified());
    const QString folder = QFileInfo(OptionsFile::path()).absolutePath();
    const QStringList entries = test::folderEntries(folder);
    {
        test::FileSizeLimit full(16);
        QVERIFY(full.isActive());
        test::MessageCapture capture;
        QString error;
        QVERIFY(!presenter->storeOptions(&error));
        QVERIFY2(error.contains(QDir::toNativeSeparators(OptionsFile::path())), qPrintable(error));
        QVERIFY(presenter->options().isModified());
        // Nor at shutdown: still unsaved, and the log says why.
        presenter->saveOptions();
        QVERIFY(presenter->options().isModified());
        QCOMPARE(capture.count(QtWarningMsg, "the build options are not saved"), 1);
    }
    QCOMPARE(Installation::read(OptionsFile::path()), before);
    QCOMPARE(test::folderEntries(folder), entries);
    // With room again they are saved.
    QVERIFY(presenter->storeOptions());
    QVERIFY(!presenter->options().isModified());
    QVERIFY(Installation::read(OptionsFile::path()).contains("after"));
}

void TestBuildPresenter::quitting_the_application_during_a_build_cancels_it_and_waits_for_its_end()
{
    // The collision dialog holds the build on the worker while the
    // application is asked to quit.
    QVERIFY(Installation::writeFile(outside("quit/first.txt"), "first\n"));
    QVERIFY(Installation::writeFile(outside("quit/second.txt"), "second\n"));
    Options options = buildableOptions(outside("quitting/"));
    options.setRules({CopyRule{outside("quit/first.txt"), "docs/notes.txt"},
                      CopyRule{outside("quit/second.txt"), "docs/notes.txt"}});
    storeOptions(options);
    auto presenter = makePresenter();
    QSignalSpy finished(presenter.get(), &Presenter::buildFinished);
    MessageBoxes boxes;
    BuildWatcher watcher;
    bool answered_after_quit = false;
    watcher.on_collision = [&](QDialog *dialog) {
        QCoreApplication::exit(0);
        QTimer::singleShot(50, dialog, [&answered_after_quit, dialog]() {
            answered_after_quit = true;
            dialog->findChild<QPushButton *>("use_first")->click();
        });
    };
    presenter->make_build();
    QVERIFY(answered_after_quit);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).toBool(), false);
    QVERIFY(boxes.boxes().isEmpty());
    QVERIFY(!UpdateLock::isUpdateLocked());
    QVERIFY(!presenter->isBuilding());
    // Event loops work again once the application's loop has run.
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
}

QTEST_MAIN(TestBuildPresenter)
#include "tst_build_presenter.moc"
