#include "file_size_limit.h"
#include "file_system_quirks.h"
#include "impostor_fixture.h"
#include "log_capture.h"
#include "message_boxes.h"
#include "window_system.h"

#include "core/base/kept_files_journal.h"
#include "editor/tools/grabber_tool.h"
#include "editor/tools/impostor_grabber_window.h"
#include "editor/tools/master_thread.h"

#include <editor_core/CreateNodesAction.h>
#include <editor_core/Dialogs.h>
#include <editor_core/EditorSettings.h>
#include <editor_core/FrameThreadManager.h>
#include <editor_core/LabelFieldLayout.h>
#include <editor_core/UpdateLock.h>
#include <editor_core/View.h>
#include <editor_core/as/Presenter.h>

#include <velmora/Camera.h>
#include <velmora/Image.h>
#include <velmora/Material.h>
#include <velmora/Object.h>
#include <velmora/OwnNames.h>
#include <velmora/Render.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QtTest>

using namespace Impostors;
using Velmora::Node;
using Velmora::Ptr;

namespace {

template<typename T>
T *child(QWidget &window, const char *name)
{
    return window.findChild<T *>(QLatin1String(name));
}

QProgressDialog *progressDialog()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *dialog = qobject_cast<QProgressDialog *>(widget))
            return dialog;
    }
    return nullptr;
}

// Steps the frame-thread manager until the tool has finished (60 s at most).
bool pump(FrameThreadManager &manager, GrabberTool &tool)
{
    QElapsedTimer timer;
    timer.start();
    while (tool.getStep() != GrabberTool::STEP_FINISHED && timer.elapsed() < 60000) {
        manager.update();
        QCoreApplication::processEvents();
    }
    return tool.getStep() == GrabberTool::STEP_FINISHED;
}

// Steps the frame-thread manager until the tool's first kind (albedo) is
// imported (60 s at most); false when it never is.
bool pumpToFirstImport(FrameThreadManager &manager, GrabberTool &tool)
{
    QElapsedTimer timer;
    timer.start();
    while (tool.masterThread()->imported().isEmpty() && timer.elapsed() < 60000) {
        manager.update();
        QCoreApplication::processEvents();
    }
    return !tool.masterThread()->imported().isEmpty();
}

// A mesh node of its own under the given name, made by an undo step and
// selected, so that no other impostor shares its names.
Ptr<Node> ownNode(const char *name)
{
    Ptr<Velmora::ObjectMeshStatic> mesh = Velmora::ObjectMeshStatic::create("meshes/box.mesh");
    mesh->setName(name);
    const Ptr<Node> node = mesh;
    Editor::Undo::apply(new CreateNodesAction({node}, false));
    impostortest::select({node});
    return node;
}

// Runs Create in the window and steps the frames until the tool is gone
// (60 s at most); false when no tool ran.
bool runWindow(FrameThreadManager &manager, ImpostorGrabberWindow &window, const QString &directory,
               const QString &name)
{
    window.onCreate(directory, name);
    QPointer<GrabberTool> tool = window.findChild<GrabberTool *>();
    if (!tool)
        return false;
    QElapsedTimer timer;
    timer.start();
    while (tool && timer.elapsed() < 60000) {
        manager.update();
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return !tool;
}

// A quick grab of albedo and shading only: 64 pixels, 4 x 1 views.
void smallForm(QWidget &window)
{
    for (QCheckBox *box : child<QWidget>(window, "textures_group")->findChildren<QCheckBox *>())
        box->setChecked(false);
    child<QCheckBox>(window, "albedo")->setChecked(true);
    child<QCheckBox>(window, "shading")->setChecked(true);
    child<QComboBox>(window, "resolution")->setCurrentIndex(1);
    child<QComboBox>(window, "supersampling")->setCurrentIndex(0);
    child<QComboBox>(window, "phi")->setCurrentIndex(0);
    child<QComboBox>(window, "theta")->setCurrentIndex(0);
    child<QComboBox>(window, "padding")->setCurrentIndex(0);
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The hidden files of the program beside the textures, all of them or only
// those of one kind (kept: the earlier contents for undo).
QStringList ownFiles(const QString &folder, Velmora::OwnNames::Kind only = Velmora::OwnNames::NONE)
{
    QStringList own;
    for (const QString &name : test::folderEntries(folder)) {
        const Velmora::OwnNames::Kind kind = Velmora::OwnNames::parse(QFile::encodeName(name).toStdString());
        if (kind != Velmora::OwnNames::NONE && (only == Velmora::OwnNames::NONE || kind == only))
            own << name;
    }
    return own;
}

QStringList keptFiles(const QString &folder)
{
    return ownFiles(folder, Velmora::OwnNames::KEPT);
}

// What the next start makes of the folder were the editor killed now: its
// files copied elsewhere, and the journals of the copy recovered there.
// Name -> contents of what is left.
QMap<QString, QByteArray> afterAKill(const QString &folder, QTemporaryDir &copy)
{
    QMap<QString, QByteArray> left;
    for (const QString &name : test::folderEntries(folder)) {
        if (QFileInfo(folder + QLatin1Char('/') + name).isFile())
            QFile::copy(folder + QLatin1Char('/') + name, copy.filePath(name));
    }
    for (const QString &journal : ownFiles(copy.path(), Velmora::OwnNames::JOURNAL)) {
        if (!base::KeptFilesJournal::recover(copy.filePath(journal)).resolved)
            return {};
    }
    for (const QString &name : test::folderEntries(copy.path()))
        left[name] = fileBytes(copy.filePath(name));
    return left;
}

// The size the renders hold a texture at ("WxH"), after one render of a
// probe that carries the material; "" when no render holds it.
QString heldTextureSize(const Ptr<Velmora::Material> &material, const QString &relative)
{
    Ptr<Velmora::ObjectMeshStatic> probe = Velmora::ObjectMeshStatic::create("meshes/box.mesh");
    probe->setWorldTransform(Velmora::Math::translate(Velmora::vec3(0.0f, 40.0f, 0.0f)));
    probe->setMaterial(material, 0);
    const Ptr<Velmora::Camera> camera = Velmora::Camera::create();
    camera->setModelview(Velmora::Math::lookAt(Velmora::vec3(0.0f, 30.0f, 2.0f), Velmora::vec3(0.0f, 40.0f, 2.0f),
                                               Velmora::vec3(0.0f, 0.0f, 1.0f)));
    Ptr<Velmora::Image> image = Velmora::Image::create();
    Velmora::World::addNode(probe);
    Velmora::Render::renderImage2D(camera, image, 32, 32, 0, 0);
    Velmora::World::removeNode(probe);
    test::LogCapture log;
    Velmora::Render::printStreamingTextures();
    const QRegularExpression line("^  " + QRegularExpression::escape(relative) + ": .*\\(\\w+ (\\d+x\\d+)\\)$");
    for (const QString &text : log.lines()) {
        const QRegularExpressionMatch match = line.match(text);
        if (match.hasMatch())
            return match.captured(1);
    }
    return QString();
}

// The main window, while it lives: undo's messages show over it.
struct MainWindow : View
{
    MainWindow() { depr::gui.main_window = this; }
    ~MainWindow() override { depr::gui.main_window = nullptr; }
};

QStringList selectedNames()
{
    QStringList names;
    if (Editor::SelectorNodes *selector = Editor::Selection::getSelectorNodes()) {
        for (const Ptr<Node> &node : selector->getNodes())
            names << QString::fromUtf8(node->getName());
    }
    return names;
}

} // namespace

class tst_ImpostorGrabberWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void create_follows_the_selection_and_the_check_boxes();
    void the_form_fills_the_tool_and_cancel_ends_it_cleanly();
    void the_form_survives_a_restart();
    void pivot_offset_and_names_data();
    void pivot_offset_and_names();
    void a_full_run_builds_the_impostor_in_one_undo_step_data();
    void a_full_run_builds_the_impostor_in_one_undo_step();
    void oversized_renders_are_refused_before_anything_starts();
    void lost_textures_are_reported_and_none_makes_no_impostor_data();
    void lost_textures_are_reported_and_none_makes_no_impostor();
    void cancel_after_a_saved_kind_says_what_was_kept();
    void a_rerun_with_the_same_name_asks_then_updates_the_impostor_in_one_step();
    void a_cancelled_rerun_leaves_the_earlier_impostor_whole();
    void output_folders_compare_by_their_resolved_paths_data();
    void output_folders_compare_by_their_resolved_paths();
    void a_folder_given_through_a_link_to_the_data_folder_is_inside();

private:
    std::unique_ptr<impostortest::Fixture> fixture_;
    std::unique_ptr<as::Presenter> presenter_;
};

void tst_ImpostorGrabberWindow::initTestCase()
{
    test::isolateSettings();
    fixture_ = std::make_unique<impostortest::Fixture>();
    QVERIFY(fixture_->start());
    presenter_ = std::make_unique<as::Presenter>(fixture_->assets(), false, nullptr);
    depr::g.asset_presenter = presenter_.get();
}

void tst_ImpostorGrabberWindow::cleanupTestCase()
{
    Dialogs::setResponder(Dialogs::Responder());
    depr::g.asset_presenter = nullptr;
    presenter_.reset();
    fixture_.reset();
}

void tst_ImpostorGrabberWindow::create_follows_the_selection_and_the_check_boxes()
{
    ImpostorGrabberWindow window;
    QPushButton *create = window.createButton();
    Editor::Selection::clear();
    QVERIFY(!create->isEnabled());
    impostortest::select({impostortest::node("tree"), impostortest::node("bush")});
    QVERIFY(!create->isEnabled());
    impostortest::select({impostortest::node("empty")}); // no object
    QVERIFY(!create->isEnabled());
    impostortest::select({Ptr<Node>(Velmora::ObjectMeshStatic::create("meshes/none.mesh"))}); // radius 0
    QVERIFY(!create->isEnabled());
    impostortest::select({impostortest::node("tree")});
    QVERIFY(create->isEnabled());
    for (QCheckBox *box : child<QWidget>(window, "textures_group")->findChildren<QCheckBox *>())
        box->setChecked(false);
    QVERIFY(!create->isEnabled());
    child<QCheckBox>(window, "ao")->setChecked(true);
    QVERIFY(create->isEnabled());

    // The generated form's rows live in a label/field layout; the lighting
    // row is taken out of it, yet its hidden check box still counts.
    auto *rows = qobject_cast<LabelFieldLayout *>(child<QGroupBox>(window, "textures_group")->layout());
    QVERIFY(rows);
    QCOMPARE(rows->objectName(), QStringLiteral("textures_layout"));
    QCOMPARE(rows->rowOf(child<QCheckBox>(window, "lighting")), -1);
    QCOMPARE(rows->rowOf(child<QWidget>(window, "depth_ext")), rows->rowOf(child<QCheckBox>(window, "depth")));
    child<QCheckBox>(window, "ao")->setChecked(false);
    child<QCheckBox>(window, "lighting")->setChecked(true);
    QVERIFY(create->isEnabled());
}

void tst_ImpostorGrabberWindow::the_form_fills_the_tool_and_cancel_ends_it_cleanly()
{
    ImpostorGrabberWindow window;
    impostortest::select({impostortest::node("tree")});
    if (qEnvironmentVariableIsSet("VELMORA_SCREENSHOT_DIR")) {
        window.show();
        QTest::qWait(50); // the scroll area sizes its contents on the layout's request
        window.grab().save(qEnvironmentVariable("VELMORA_SCREENSHOT_DIR") + "/impostor_window.png");
        child<QScrollArea>(window, "scrollArea")->verticalScrollBar()->setValue(10000);
        window.grab().save(qEnvironmentVariable("VELMORA_SCREENSHOT_DIR") + "/impostor_window_bottom.png");
    }
    Dialogs::setResponder([](const Dialogs::Request &) { return QStringLiteral("F/tree.node"); });
    QTest::mouseClick(window.createButton(), Qt::LeftButton);
    QTRY_VERIFY(window.findChild<GrabberTool *>());
    QPointer<GrabberTool> tool = window.findChild<GrabberTool *>();
    const GrabberTool::Params &params = tool->params();
    QCOMPARE(params.output_directory, fixture_->dataPath() + "F/");
    QStringList files;
    for (const QString &file : params.files)
        files << file;
    QCOMPARE(files,
             (QStringList{"", "", "", "tree_alb.tga", "", "tree_n.tga", "", "tree_sh.tga", "", "", "", "tree_t.tga",
                          ""}));
    QCOMPARE(QVector<int>({params.resolution, params.supersampling, params.numPhi, params.numTheta, params.padding}),
             QVector<int>({4096, 4, 8, 4, 16}));
    QCOMPARE(params.aspect, 1.0f);
    QCOMPARE(tool->getStep(), int(GrabberTool::STEP_RUNNING));
    QVERIFY(UpdateLock::isAlwaysUpdate());

    QPointer<QProgressDialog> dialog = progressDialog();
    QVERIFY(dialog);
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Impostor Creator"));
    QCOMPARE(dialog->labelText(), QStringLiteral("Grabbing Impostor Textures..."));
    emit tool->progress(0.999f);
    QTRY_COMPARE(dialog->value(), 99);
    // The title fits beside a title bar's icon and three buttons.
    QFont title_font = dialog->font();
    title_font.setBold(true);
    QVERIFY(dialog->width() >= QFontMetrics(title_font).horizontalAdvance(dialog->windowTitle()) + 4 * 32);
    if (qEnvironmentVariableIsSet("VELMORA_SCREENSHOT_DIR"))
        dialog->grab().save(qEnvironmentVariable("VELMORA_SCREENSHOT_DIR") + "/impostor_progress.png");

    QSignalSpy finished(tool.data(), &GrabberTool::finished);
    QPushButton *cancel = dialog->findChild<QPushButton *>();
    QVERIFY(cancel);
    cancel->click();
    QTRY_VERIFY(!tool && !dialog);
    QCOMPARE(finished.count(), 0);
    QVERIFY(!UpdateLock::isAlwaysUpdate());

    // The variants: albedo without SSAO, a padded postfix, depth always dds.
    child<QRadioButton>(window, "albedo_without_ssa")->setChecked(true);
    QVERIFY(!child<QRadioButton>(window, "albedo_with_ssao")->isChecked());
    child<QLineEdit>(window, "albedo_postfix")->setText(QStringLiteral(" _x "));
    child<QCheckBox>(window, "depth")->setChecked(true);
    window.onCreate(fixture_->dataPath() + "F", QStringLiteral("tree"));
    tool = window.findChild<GrabberTool *>();
    QVERIFY(tool);
    QCOMPARE(tool->params().files[TEXTURE_ALBEDO], QStringLiteral("tree_x.tga"));
    QVERIFY(tool->params().files[TEXTURE_ALBEDO_SSAO].isEmpty());
    QCOMPARE(tool->params().files[TEXTURE_DEPTH], QStringLiteral("tree_depth.dds"));
    delete tool; // a running tool deleted at once gives the claim back too
    delete progressDialog();
    QVERIFY(!UpdateLock::isAlwaysUpdate());

    // A folder outside the data folder is refused with a message before
    // anything is grabbed or written.
    const QString outside = QDir(fixture_->dataPath() + "../elsewhere").absolutePath();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("elsewhere\" is outside the data folder"));
    window.onCreate(outside, QStringLiteral("tree"));
    QVERIFY(!window.findChild<GrabberTool *>());
    QVERIFY(!UpdateLock::isAlwaysUpdate());
    QMessageBox *box = nullptr;
    for (QWidget *widget : QApplication::topLevelWidgets())
        box = box ? box : qobject_cast<QMessageBox *>(widget);
    QVERIFY(box && box->text().contains(fixture_->dataPath()));
    delete box;
    QVERIFY(!QFileInfo::exists(outside));

    // An empty name or no usable node makes no tool.
    window.onCreate(fixture_->dataPath(), QString());
    impostortest::select({impostortest::node("empty")});
    window.onCreate(fixture_->dataPath(), QStringLiteral("tree"));
    QVERIFY(!window.findChild<GrabberTool *>());
}

void tst_ImpostorGrabberWindow::the_form_survives_a_restart()
{
    {
        EditorSettings settings;
        ImpostorGrabberWindow window;
        window.restoreSettings(&settings);
        child<QComboBox>(window, "resolution")->setCurrentIndex(1);
        child<QComboBox>(window, "padding")->setCurrentIndex(5);
        child<QComboBox>(window, "albedo_ext")->setCurrentIndex(3);
        child<QCheckBox>(window, "ssao")->setChecked(true);
        child<QCheckBox>(window, "shading")->setChecked(false);
        child<QRadioButton>(window, "albedo_without_ssa")->setChecked(true);
        child<QRadioButton>(window, "normal_simple")->setChecked(true);
        child<QLineEdit>(window, "ssao_postfix")->setText(QStringLiteral("_occ"));
        window.saveSettings(&settings);
    }
    EditorSettings settings;
    ImpostorGrabberWindow window;
    window.restoreSettings(&settings);
    QCOMPARE(child<QComboBox>(window, "resolution")->currentIndex(), 1);
    QCOMPARE(child<QComboBox>(window, "padding")->currentIndex(), 5);
    QCOMPARE(child<QComboBox>(window, "albedo_ext")->currentIndex(), 3);
    QVERIFY(child<QCheckBox>(window, "ssao")->isChecked());
    QVERIFY(!child<QCheckBox>(window, "shading")->isChecked());
    QVERIFY(child<QRadioButton>(window, "albedo_without_ssa")->isChecked());
    QVERIFY(!child<QRadioButton>(window, "albedo_with_ssao")->isChecked());
    QVERIFY(child<QRadioButton>(window, "normal_simple")->isChecked());
    QVERIFY(!child<QRadioButton>(window, "normal_vegetation")->isChecked());
    QCOMPARE(child<QLineEdit>(window, "ssao_postfix")->text(), QStringLiteral("_occ"));
}

void tst_ImpostorGrabberWindow::pivot_offset_and_names_data()
{
    QTest::addColumn<float>("x");
    QTest::addColumn<float>("y");
    QTest::addColumn<float>("z");
    QTest::addColumn<float>("turn");
    QTest::addColumn<QString>("text");
    // The node stands at (5, -2, 1).
    QTest::newRow("centre on the node") << 5.0f << -2.0f << 1.0f << 0.0f << "vec3(0.00,0.00,0.00)";
    QTest::newRow("turned 90 about Z") << 6.0f << -2.0f << 1.0f << 90.0f << "vec3(0.00,-1.00,0.00)";
    QTest::newRow("two decimals") << 5.126f << -2.0f << 3.5f << 0.0f << "vec3(0.13,0.00,2.50)";
}

void tst_ImpostorGrabberWindow::pivot_offset_and_names()
{
    QFETCH(float, x);
    QFETCH(float, y);
    QFETCH(float, z);
    QFETCH(float, turn);
    const Velmora::vec3 center(x, y, z);
    QFETCH(QString, text);
    const Velmora::mat4 rotation = Velmora::Math::rotateZ(turn);
    const Velmora::quat q = Velmora::mat4(rotation).getRotate();
    QCOMPARE(GrabberTool::pivotOffsetText(center, Velmora::vec3(5, -2, 1), q), text);

    GrabberTool tool;
    Ptr<Velmora::ObjectMeshStatic> nameless = Velmora::ObjectMeshStatic::create("meshes/box.mesh");
    tool.setSourceNode(nameless);
    QCOMPARE(tool.materialName(), QStringLiteral("???_impostor_material"));
    tool.setSourceNode(impostortest::node("tree"));
    QCOMPARE(tool.impostorName(), QStringLiteral("tree_impostor"));

    // A node that cannot be framed says so and leaves the tool new.
    GrabberTool empty;
    empty.setSourceNode(impostortest::node("empty"));
    QTest::ignoreMessage(QtWarningMsg, "Impostor creator: cannot fit cameras to node \"empty\"");
    QVERIFY(!empty.prepare());
    QCOMPARE(empty.getStep(), int(GrabberTool::STEP_NEW));
}

void tst_ImpostorGrabberWindow::a_full_run_builds_the_impostor_in_one_undo_step_data()
{
    QTest::addColumn<QString>("source_name");
    QTest::newRow("billboards for a mesh") << "tree";
    QTest::newRow("grass for a clutter") << "bush";
}

void tst_ImpostorGrabberWindow::a_full_run_builds_the_impostor_in_one_undo_step()
{
    QFETCH(QString, source_name);
    const QByteArray name = source_name.toUtf8();
    const Ptr<Node> source = impostortest::node(name.constData());
    QVERIFY(source);
    impostortest::select({source});
    FrameThreadManager manager;
    const int steps = Editor::Undo::count();

    for (int run = 0; run < 2; ++run) {
        GrabberTool tool;
        tool.setSourceNode(source);
        // A clutter's stand-in mesh is drawn by the grab's own renders only.
        QCOMPARE(tool.params().grab_node->isEnabled(), tool.params().grab_node == source);
        tool.params().output_directory = fixture_->dataPath() + "impostors";
        tool.params().resolution = 64;
        tool.params().supersampling = 1;
        tool.params().numPhi = 4;
        tool.params().numTheta = 1;
        tool.params().padding = 2;
        tool.setTextureFile(TEXTURE_ALBEDO, source_name + "_alb.png");
        tool.setTextureFile(TEXTURE_SHADING, source_name + "_sh.tga");
        tool.setTextureFile(TEXTURE_DEPTH, source_name + "_depth.dds");
        QVERIFY(tool.prepare());
        // The silhouette fit saw the stand-in mesh: the clutter and the tree
        // hold the same box.
        GrabberTool tree;
        tree.setSourceNode(impostortest::node("tree"));
        tree.params().numPhi = 4;
        tree.params().numTheta = 1;
        QVERIFY(tree.prepare());
        QCOMPARE(tool.getSize(), tree.getSize());
        QSignalSpy finished(&tool, &GrabberTool::finished);
        if (run == 1) // the material of the first run is there already
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot make the material"));
        tool.start();
        QVERIFY(UpdateLock::isAlwaysUpdate());
        QVERIFY(pump(manager, tool));
        QCOMPARE(finished.count(), 1);
        QCOMPARE(tool.params().grab_node->isEnabled(), tool.params().grab_node == source);
        QVERIFY(!UpdateLock::isAlwaysUpdate());
        QVERIFY(!tool.getTexture(TEXTURE_ALBEDO).isEmpty());
        QCOMPARE(Editor::Undo::count(), steps + 1); // none for the second run
        if (run == 1)
            break;

        const QString impostor_name = source_name + "_impostor";
        const Ptr<Node> impostor = Velmora::World::getNodeByName(impostor_name.toUtf8().constData());
        QVERIFY(impostor);
        QCOMPARE(impostor->getParent(), source);
        QCOMPARE(selectedNames(), QStringList{impostor_name});
        auto *object = static_cast<Velmora::ObjectSettings *>(impostor.get());
        if (source->getType() == Node::OBJECT_MESH_CLUTTER) {
            QCOMPARE(impostor->getType(), int(Node::OBJECT_GRASS));
            QVERIFY(Velmora::Math::length(impostor->getWorldPosition() - source->getWorldPosition()) < 1e-5f);
            QCOMPARE(QByteArray(object->getSetting("step")), QByteArray("12"));
            // The temporary mesh of the clutter was grabbed, not an empty view.
            Velmora::Image atlas;
            QVERIFY(atlas.load(qPrintable(fixture_->dataPath() + "impostors/bush_alb.png")));
            QVERIFY(atlas.get2D(8, 8).i.a > 0);
            QCOMPARE(QByteArray(object->getSetting("subdivision")), QByteArray("8"));
            QCOMPARE(QByteArray(object->getSetting("rotation_mean")), QByteArray("30 30 30 30"));
            QCOMPARE(QByteArray(object->getSetting("min_height_mean")), QByteArray("0.5 0.5 0.5 0.5"));
        } else {
            QCOMPARE(impostor->getType(), int(Node::OBJECT_BILLBOARDS));
            QCOMPARE(static_cast<Velmora::ObjectBillboards *>(impostor.get())->getNumBillboards(), 1);
            QVERIFY(Velmora::Math::length(impostor->getWorldPosition() - source->getWorldPosition()) < 1e-5f);
        }

        // The material file holds the bindings: read it back from disk.
        const QString material_path = "impostors/" + impostor_name + "_material.mat";
        QVERIFY(QFileInfo::exists(fixture_->dataPath() + material_path));
        const Ptr<Velmora::Material> material = Velmora::Materials::loadMaterial(material_path.toUtf8().constData());
        QVERIFY(material);
        const QByteArray albedo = tool.getTexture(TEXTURE_ALBEDO).getString().get();
        QCOMPARE(QByteArray(material->getTexturePath(material->findTexture("albedo"))), albedo);
        QCOMPARE(QByteArray(material->getTexturePath(material->findTexture("depth"))),
                 QByteArray(tool.getTexture(TEXTURE_DEPTH).getString().get()));
        QCOMPARE(material->getState("depth_map"), 1);
        QCOMPARE(material->getParameterFloat(material->findParameter("phi")), 4.0f);
        QCOMPARE(material->getParameterFloat(material->findParameter("metalness")), 1.0f); // shading bound
        QCOMPARE(material->getTransparent(), 1);
        QVERIFY(QByteArray(material->getParameterString(material->findParameter("pivot_offset"))).startsWith("vec3("));
        QCOMPARE(QByteArray(static_cast<Velmora::Object *>(impostor.get())->getMaterial(0)->getName()),
                 QByteArray(material->getName()));

        QVERIFY(Editor::Undo::undo());
        QVERIFY(!Velmora::World::getNodeByName(impostor_name.toUtf8().constData()));
        QCOMPARE(selectedNames(), QStringList{source_name});
        QVERIFY(Editor::Undo::redo());
        QCOMPARE(Velmora::World::getNodeByName(impostor_name.toUtf8().constData()), impostor);
        QCOMPARE(impostor->getParent(), source);
        QCOMPARE(selectedNames(), QStringList{impostor_name});
    }
}

void tst_ImpostorGrabberWindow::oversized_renders_are_refused_before_anything_starts()
{
    test::MessageBoxes boxes;
    ImpostorGrabberWindow window;
    impostortest::select({impostortest::node("tree")});
    // 16384 pixels over 8 x 4 views, each rendered 8 times larger than its
    // cell: beyond the largest render texture.
    child<QComboBox>(window, "resolution")->setCurrentIndex(9);
    child<QComboBox>(window, "supersampling")->setCurrentIndex(3);
    window.onCreate(fixture_->dataPath() + "huge", QStringLiteral("tree"));
    QVERIFY(!window.findChild<GrabberTool *>());
    QVERIFY(!progressDialog());
    QTRY_COMPARE(boxes.boxes().size(), 1);
    QVERIFY2(boxes.boxes()[0].text.contains(QStringLiteral("8192")), qPrintable(boxes.boxes()[0].text));
    QVERIFY(!QFileInfo::exists(fixture_->dataPath() + "huge"));
}

void tst_ImpostorGrabberWindow::lost_textures_are_reported_and_none_makes_no_impostor_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("all");
    QTest::newRow("one kind lost") << "lost_one" << false;
    QTest::newRow("every kind lost") << "lost_all" << true;
}

void tst_ImpostorGrabberWindow::lost_textures_are_reported_and_none_makes_no_impostor()
{
    QFETCH(QString, folder);
    QFETCH(bool, all);
    test::MessageBoxes boxes;
    ImpostorGrabberWindow window;
    impostortest::select({impostortest::node("tree")});
    smallForm(window);
    // A file where the texture's folder would be: the save cannot write.
    QVERIFY(fixture_->writeData(folder + "/tree_b", "x"));
    child<QLineEdit>(window, "shading_postfix")->setText(QStringLiteral("_b/sh"));
    if (all)
        child<QLineEdit>(window, "albedo_postfix")->setText(QStringLiteral("_b/alb"));
    const int steps = Editor::Undo::count();
    FrameThreadManager manager;
    QVERIFY(runWindow(manager, window, fixture_->dataPath() + folder, QStringLiteral("tree")));
    QTRY_COMPARE(boxes.boxes().size(), 1);
    const QString text = boxes.boxes()[0].text;
    QVERIFY2(text.contains(folder + "/tree_b/sh.tga: could not be written"), qPrintable(text));
    const QString material = fixture_->dataPath() + folder + "/tree_impostor_material.mat";
    if (all) {
        QVERIFY2(text.startsWith(QStringLiteral("No impostor was made")), qPrintable(text));
        QVERIFY(!QFileInfo::exists(material));
        QCOMPARE(Editor::Undo::count(), steps);
    } else {
        QVERIFY2(!text.contains(QStringLiteral("tree_alb.tga")), qPrintable(text));
        QVERIFY(QFileInfo::exists(material));
        QCOMPARE(Editor::Undo::count(), steps + 1);
    }
}

void tst_ImpostorGrabberWindow::cancel_after_a_saved_kind_says_what_was_kept()
{
    test::MessageBoxes boxes;
    ImpostorGrabberWindow window;
    impostortest::select({impostortest::node("tree")});
    smallForm(window);
    const QString folder = fixture_->dataPath() + "cancelled";
    FrameThreadManager manager;
    window.onCreate(folder, QStringLiteral("tree"));
    QPointer<GrabberTool> tool = window.findChild<GrabberTool *>();
    QVERIFY(tool);
    // Albedo comes first; cancel once it is imported.
    QVERIFY(pumpToFirstImport(manager, *tool));
    progressDialog()->findChild<QPushButton *>()->click();
    QTRY_VERIFY(!tool && !progressDialog());
    QTRY_COMPARE(boxes.boxes().size(), 1);
    const QString text = boxes.boxes()[0].text;
    QVERIFY2(text.contains(QStringLiteral("cancelled/tree_alb.tga")), qPrintable(text));
    QVERIFY2(!text.contains(QStringLiteral("tree_sh.tga")), qPrintable(text));
    QVERIFY(!fixture_->assets()->asset(QStringLiteral("cancelled/tree_alb.tga")).isNull());
    QVERIFY(!QFileInfo::exists(folder + "/tree_impostor_material.mat"));
}

void tst_ImpostorGrabberWindow::a_rerun_with_the_same_name_asks_then_updates_the_impostor_in_one_step()
{
    test::MessageBoxes boxes;
    ImpostorGrabberWindow window;
    const Ptr<Node> source = ownNode("rock");
    smallForm(window);
    FrameThreadManager manager;
    const QString folder = fixture_->dataPath() + "rerun";
    QVERIFY(runWindow(manager, window, folder, QStringLiteral("tree")));
    QTest::qWait(20);
    QCOMPARE(boxes.boxes().size(), 0); // a clean run says nothing

    const QString material_path = folder + "/rock_impostor_material.mat";
    const Ptr<Velmora::Material> material = Velmora::Materials::findMaterialByFileGUID(
            fixture_->assets()->asset(QStringLiteral("rerun/rock_impostor_material.mat")).getGUID());
    QVERIFY(material);
    const int phi = material->findParameter("phi");
    QCOMPARE(material->getParameterFloat(phi), 4.0f);
    const QByteArray material_before = fileBytes(material_path);
    const QByteArray albedo_before = fileBytes(folder + "/tree_alb.tga");
    const QByteArray shading_before = fileBytes(folder + "/tree_sh.tga");
    const Velmora::UGUID albedo = fixture_->assets()->asset(QStringLiteral("rerun/tree_alb.tga")).getGUID();
    QCOMPARE(heldTextureSize(material, "rerun/tree_alb.tga"), QStringLiteral("64x16"));
    auto impostors = [&]() {
        int count = 0;
        for (int i = 0; i < source->getNumChildren(); ++i)
            count += QByteArray(static_cast<Velmora::Object *>(source->getChild(i).get())->getMaterialName(0))
                            == "rock_impostor_material"
                    ? 1
                    : 0;
        return count;
    };
    QCOMPARE(impostors(), 1);
    const int steps = Editor::Undo::count();

    // Eight views around: asked first; No writes nothing.
    impostortest::select({source}); // the run selected its impostor
    child<QComboBox>(window, "phi")->setCurrentIndex(1);
    boxes.answer(QMessageBox::No);
    window.onCreate(folder, QStringLiteral("tree"));
    QCOMPARE(boxes.boxes().size(), 1);
    const QString question = boxes.boxes()[0].text;
    QVERIFY2(question.contains(QStringLiteral("rerun/tree_alb.tga"))
                     && question.contains(QStringLiteral("rerun/rock_impostor_material.mat")),
             qPrintable(question));
    QVERIFY(!window.findChild<GrabberTool *>());
    QVERIFY(!progressDialog());
    QCOMPARE(fileBytes(material_path), material_before);
    QCOMPARE(fileBytes(folder + "/tree_alb.tga"), albedo_before);
    QVERIFY(keptFiles(folder).isEmpty());

    // Yes: the textures are re-imported in place and the material takes the
    // new grid, in one undo step, on the impostor node already there. The
    // disk fills up once the step is made: the run cannot be recorded as
    // finished.
    // What the next start leaves were the editor killed now, nothing of ours
    // left: {albedo, shading, material}.
    auto afterAKillNow = [&]() {
        QTemporaryDir copy;
        const QMap<QString, QByteArray> left = afterAKill(folder, copy);
        return ownFiles(copy.path()).isEmpty() ? QByteArrayList{left.value("tree_alb.tga"), left.value("tree_sh.tga"),
                                                                left.value("rock_impostor_material.mat")}
                                               : QByteArrayList();
    };
    boxes.answer(QMessageBox::Yes);
    QByteArrayList killed_before_finish;
    std::unique_ptr<test::FileSizeLimit> full;
    const QMetaObject::Connection made = connect(depr::g.undo, &Editor::UndoPrivate::stepDone, this, [&]() {
        killed_before_finish = afterAKillNow();
        full.reset(new test::FileSizeLimit(0));
    });
    QVERIFY(runWindow(manager, window, folder, QStringLiteral("tree")));
    disconnect(made);
    full.reset();
    // Killed between the material's save and the mark: the earlier impostor.
    QCOMPARE(killed_before_finish, (QByteArrayList{albedo_before, shading_before, material_before}));
    QTest::qWait(20);
    QCOMPARE(boxes.boxes().size(), 2);
    Velmora::Image atlas;
    QVERIFY(atlas.load(qPrintable(folder + "/tree_alb.tga")));
    QCOMPARE(atlas.getHeight(), 8);
    QCOMPARE(fixture_->assets()->asset(QStringLiteral("rerun/tree_alb.tga")).getGUID(), albedo);
    QCOMPARE(material->getParameterFloat(phi), 8.0f);
    QVERIFY(fileBytes(material_path) != material_before);
    QCOMPARE(impostors(), 1);
    QCOMPARE(Editor::Undo::count(), steps + 1);
    // The renders drop the atlas they held for the one now on disk.
    QCOMPARE(heldTextureSize(material, "rerun/tree_alb.tga"), QStringLiteral("64x8"));
    const QByteArray albedo_after = fileBytes(folder + "/tree_alb.tga");
    const QByteArray shading_after = fileBytes(folder + "/tree_sh.tga");
    QVERIFY(albedo_after != albedo_before && shading_after != shading_before);
    // The earlier albedo and shading, and the earlier material the journal
    // still names.
    QCOMPARE(keptFiles(folder).size(), 3);
    const QByteArray material_after = fileBytes(material_path);
    // Killed now, the run is not recorded as finished: the next start gives
    // back the earlier impostor whole, the material with it.
    QCOMPARE(afterAKillNow(), (QByteArrayList{albedo_before, shading_before, material_before}));
    // A refused undo or redo leaves the files (albedo, shading, material),
    // the editor's material, the kept files and the history as they were,
    // and a box (the box-th) says why, starting with told.
    const QByteArrayList after{albedo_after, shading_after, material_after};
    const QByteArrayList before{albedo_before, shading_before, material_before};
    auto leftAsItWas
            = [&](const QByteArrayList &files, float grid, int kept, int undone, int box, const QString &told) {
                  QCOMPARE(Editor::Undo::count(), steps + 1 - undone);
                  QCOMPARE(depr::g.undo->redoCount(), undone);
                  QCOMPARE((QByteArrayList{fileBytes(folder + "/tree_alb.tga"), fileBytes(folder + "/tree_sh.tga"),
                                           fileBytes(material_path)}),
                           files);
                  QCOMPARE(material->getParameterFloat(phi), grid);
                  QCOMPARE(keptFiles(folder).size(), kept);
                  QTRY_COMPARE(boxes.boxes().size(), box);
                  QVERIFY2(boxes.boxes().last().text.startsWith(told), qPrintable(boxes.boxes().last().text));
              };
    // Undo with no free inode for the journal changes nothing, says why, and
    // can be tried again.
    MainWindow main;
    {
        test::NoFreeInodes full;
        QVERIFY(!Editor::Undo::undo());
        QVERIFY(full.refusedCalls() > 0);
    }
    leftAsItWas(after, 8.0f, 3, 0, 3, QStringLiteral("Undo changed nothing"));
    const QString refused = boxes.boxes()[2].text;
    QVERIFY2(refused.contains("No space left on device") && refused.contains(QStringLiteral("rerun/tree_alb.tga"))
                     && !refused.contains("read-only"),
             qPrintable(refused));
    // Undo whose material cannot be written (no inode for it alone) changes
    // nothing either. The journal is now finished: the run's impostor is
    // whole.
    {
        test::NoFreeInodes full("rock_impostor_material");
        QVERIFY(!Editor::Undo::undo());
    }
    leftAsItWas(after, 8.0f, 2, 0, 4,
                QStringLiteral("Undo changed nothing: the material rerun/rock_impostor_material.mat could not be "
                               "written (No space left on device)"));
    QCOMPARE(afterAKillNow(), after);
    // Killed between two textures of an undo or a redo, the next start has
    // the impostor as it was before it: all of it.
    QByteArrayList killed_mid_swap;
    const QMetaObject::Connection swapping
            = connect(fixture_->assets(), &Editor::AssetManagerPrivate::changed, this, [&]() {
                  if (killed_mid_swap.isEmpty())
                      killed_mid_swap = afterAKillNow();
              });

    // Undo gives back the earlier impostor whole: atlases and material.
    QSignalSpy changed(fixture_->assets(), &Editor::AssetManagerPrivate::changed);
    QVERIFY(Editor::Undo::undo());
    QCOMPARE(killed_mid_swap, (QByteArrayList{albedo_after, shading_after, material_after}));
    QCOMPARE(material->getParameterFloat(phi), 4.0f);
    QCOMPARE(fileBytes(material_path), material_before);
    QCOMPARE(fileBytes(folder + "/tree_alb.tga"), albedo_before);
    QCOMPARE(fileBytes(folder + "/tree_sh.tga"), shading_before);
    QVERIFY(changed.contains(QVariantList{QVariant::fromValue(albedo)}));
    QCOMPARE(heldTextureSize(material, "rerun/tree_alb.tga"), QStringLiteral("64x16"));
    QVERIFY(fixture_->assets()->asset(QStringLiteral("rerun/") + keptFiles(folder).value(0)).isNull());
    // Killed after the undo: the earlier impostor stays, whole.
    QCOMPARE(afterAKillNow(), (QByteArrayList{albedo_before, shading_before, material_before}));

    // Redo on a full disk of a file system without links: the change cannot
    // be journaled, so nothing changes, the material neither, and the step
    // stays to be redone.
    {
        test::NoLinksOrModes fat;
        test::FileSizeLimit full(0);
        QVERIFY(!Editor::Undo::redo());
    }
    leftAsItWas(before, 4.0f, 2, 1, 5, QStringLiteral("Redo changed nothing"));
    // So does a redo whose material cannot be written: the textures it had
    // swapped go back.
    {
        test::NoFreeInodes full("rock_impostor_material");
        QVERIFY(!Editor::Undo::redo());
    }
    leftAsItWas(before, 4.0f, 2, 1, 6, QStringLiteral("Redo changed nothing: the material"));
    QCOMPARE(afterAKillNow(), before);

    // With room again, redo makes the run's impostor again.
    killed_mid_swap.clear();
    QVERIFY(Editor::Undo::redo());
    disconnect(swapping);
    QCOMPARE(killed_mid_swap, (QByteArrayList{albedo_before, shading_before, material_before}));
    QCOMPARE(fileBytes(folder + "/tree_alb.tga"), albedo_after);
    QCOMPARE(fileBytes(folder + "/tree_sh.tga"), shading_after);
    QCOMPARE(fileBytes(material_path), material_after);
    QCOMPARE(material->getParameterFloat(phi), 8.0f);
    QCOMPARE(heldTextureSize(material, "rerun/tree_alb.tga"), QStringLiteral("64x8"));
    QCOMPARE(keptFiles(folder).size(), 2);
    // Killed after the redo: the run's impostor stays, whole.
    QCOMPARE(afterAKillNow(), (QByteArrayList{albedo_after, shading_after, material_after}));

    // Once the step leaves the history, so do the earlier textures.
    QVERIFY(Editor::Undo::undo());
    QCOMPARE(fileBytes(folder + "/tree_alb.tga"), albedo_before);
    Editor::Undo::reset();
    QVERIFY(ownFiles(folder).isEmpty());
    QCOMPARE(fileBytes(folder + "/tree_alb.tga"), albedo_before);
    QCOMPARE(fileBytes(material_path), material_before);
}

void tst_ImpostorGrabberWindow::a_cancelled_rerun_leaves_the_earlier_impostor_whole()
{
    test::MessageBoxes boxes;
    ImpostorGrabberWindow window;
    const Ptr<Node> source = ownNode("stone");
    smallForm(window);
    FrameThreadManager manager;
    const QString folder = fixture_->dataPath() + "cancelled_rerun";
    QVERIFY(runWindow(manager, window, folder, QStringLiteral("tree")));
    const QString material_path = folder + "/stone_impostor_material.mat";
    const Ptr<Velmora::Material> material = Velmora::Materials::findMaterialByFileGUID(
            fixture_->assets()->asset(QStringLiteral("cancelled_rerun/stone_impostor_material.mat")).getGUID());
    QVERIFY(material);
    const QByteArray material_before = fileBytes(material_path);
    const QByteArray albedo_before = fileBytes(folder + "/tree_alb.tga");
    const QByteArray shading_before = fileBytes(folder + "/tree_sh.tga");
    const int steps = Editor::Undo::count();

    // Eight views this time; cancelled once the new albedo is imported.
    impostortest::select({source});
    child<QComboBox>(window, "phi")->setCurrentIndex(1);
    boxes.answer(QMessageBox::Yes);
    window.onCreate(folder, QStringLiteral("tree"));
    QPointer<GrabberTool> tool = window.findChild<GrabberTool *>();
    QVERIFY(tool);
    QVERIFY(pumpToFirstImport(manager, *tool));
    QVERIFY(fileBytes(folder + "/tree_alb.tga") != albedo_before);
    {
        // Killed now, half way: the next start gives the earlier albedo back
        // and leaves nothing of the run.
        QTemporaryDir copy;
        const QMap<QString, QByteArray> left = afterAKill(folder, copy);
        QCOMPARE(left.value("tree_alb.tga"), albedo_before);
        QCOMPARE(left.value("tree_sh.tga"), shading_before);
        QCOMPARE(left.value("stone_impostor_material.mat"), material_before);
        QVERIFY(ownFiles(copy.path()).isEmpty());
    }
    progressDialog()->findChild<QPushButton *>()->click();
    QTRY_VERIFY(!tool && !progressDialog());

    // The earlier atlases are back under their names and in the renders, the
    // material is untouched, and nothing is left to tell or to undo.
    QCOMPARE(fileBytes(folder + "/tree_alb.tga"), albedo_before);
    QCOMPARE(fileBytes(folder + "/tree_sh.tga"), shading_before);
    QCOMPARE(fileBytes(material_path), material_before);
    QCOMPARE(heldTextureSize(material, "cancelled_rerun/tree_alb.tga"), QStringLiteral("64x16"));
    QVERIFY(ownFiles(folder).isEmpty());
    QCOMPARE(Editor::Undo::count(), steps);
    QTest::qWait(20);
    QCOMPARE(boxes.boxes().size(), 1); // the question only
}

void tst_ImpostorGrabberWindow::output_folders_compare_by_their_resolved_paths_data()
{
    QTest::addColumn<QString>("data");
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QString>("expected"); // "" for outside
    // real/data is the data folder; link -> real; real/data/out -> real/other.
    QTest::newRow("by its real path") << "link/data/"
                                      << "real/data/impostors"
                                      << "link/data/impostors/";
    QTest::newRow("through the link") << "link/data/"
                                      << "link/data/impostors/"
                                      << "link/data/impostors/";
    QTest::newRow("new folders below, by the real path") << "link/data/"
                                                         << "real/data/new/deeper"
                                                         << "link/data/new/deeper/";
    QTest::newRow("the data folder itself") << "link/data/"
                                            << "real/data"
                                            << "link/data/";
    QTest::newRow("data by its real path, folder through the link") << "real/data/"
                                                                    << "link/data/impostors"
                                                                    << "real/data/impostors/";
    QTest::newRow("outside") << "link/data/"
                             << "real/other"
                             << "";
    QTest::newRow("a sibling with the same beginning") << "link/data/"
                                                       << "real/data2/x"
                                                       << "";
    QTest::newRow("a link inside that leads outside") << "link/data/"
                                                      << "link/data/out/x"
                                                      << "";
    QTest::newRow("up and out") << "link/data/"
                                << "link/data/../other"
                                << "";
}

void tst_ImpostorGrabberWindow::output_folders_compare_by_their_resolved_paths()
{
    QFETCH(QString, data);
    QFETCH(QString, directory);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QString root = dir.path() + QLatin1Char('/');
    for (const char *folder : {"real/data/impostors", "real/other", "real/data2/x"})
        QVERIFY(QDir().mkpath(root + folder));
    QVERIFY(QFile::link(root + "real", root + "link"));
    QVERIFY(QFile::link(root + "real/other", root + "real/data/out"));
    QCOMPARE(ImpostorGrabberWindow::sameFolderInDataFolder(root + directory, root + data),
             expected.isEmpty() ? QString() : root + expected);
}

void tst_ImpostorGrabberWindow::a_folder_given_through_a_link_to_the_data_folder_is_inside()
{
    test::MessageBoxes boxes;
    ImpostorGrabberWindow window;
    impostortest::select({impostortest::node("tree")});
    smallForm(window);
    // A file dialog that resolves links names the data folder otherwise
    // than the engine does: the same folder all the same.
    const QString alias = fixture_->root() + "alias";
    QVERIFY(QFile::link(fixture_->dataPath(), alias));
    FrameThreadManager manager;
    QVERIFY(runWindow(manager, window, alias + "/linked", QStringLiteral("tree")));
    QTest::qWait(20);
    QCOMPARE(boxes.boxes().size(), 0);
    QVERIFY(!fixture_->assets()->asset(QStringLiteral("linked/tree_alb.tga")).isNull());
    QVERIFY(!fixture_->assets()->asset(QStringLiteral("linked/tree_impostor_material.mat")).isNull());
}

QTEST_MAIN(tst_ImpostorGrabberWindow)
#include "tst_impostor_grabber_window.moc"
