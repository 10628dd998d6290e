// The "Create Build" window driven offscreen: what it announces for user
// actions and what it shows through its slots, the build-folder chooser with
// its refusals, the executable chooser and its filter, and the banner's PNG
// drop rule.

#include "assembly_test_support.h"
#include "build_window_test_support.h"
#include "editor_look.h"

#include "editor/assembly/core/engine_info.h"
#include "editor/assembly/ui/build_folder_check.h"
#include "editor/assembly/ui/build_window.h"
#include "editor/assembly/ui/executable_file_filter_proxy_model.h"
#include "editor/assembly/ui/png_drag_and_drop_delegate.h"

#include <editor_core/AccordionWidget.h>
#include <editor_core/AssetType.h>
#include <editor_core/AssetWidget.h>
#include <editor_core/AssetsMimeDataHandler.h>
#include <editor_core/Dialogs.h>
#include <editor_core/ElidedLabel.h>
#include <editor_core/ResettableWidget.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/AssetManagerPrivate.h>

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyleOptionButton>
#include <QToolButton>
#include <QWheelEvent>
#include <QtTest>

#include <cstdlib>
#include <map>

using namespace assembly;
using assemblytest::Installation;
using buildtest::guid;
using buildtest::MessageBoxes;
using Velmora::UGUID;

namespace {

const UGUID WORLD = guid('a', 101);
const UGUID BANNER_PNG = guid('b', 201);
const UGUID PHOTO_JPG = guid('b', 202);

ElidedLabel *labelOf(const Window &window, const QString &text)
{
    const QList<ElidedLabel *> labels = window.findChildren<ElidedLabel *>();
    for (ElidedLabel *label : labels) {
        if (label->text() == text)
            return label;
    }
    return nullptr;
}

} // namespace

class TestBuildWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();

    void combos_list_their_items_and_select_by_value_data();
    void combos_list_their_items_and_select_by_value();
    void check_boxes_report_clicks_and_not_what_slots_set_data();
    void check_boxes_report_clicks_and_not_what_slots_set();
    void a_typed_project_name_is_sent_cleaned_when_editing_ends();
    void a_window_destroyed_while_its_name_is_edited_sends_nothing_afterwards();
    void chosen_build_folders_are_checked_before_they_are_sent_data();
    void chosen_build_folders_are_checked_before_they_are_sent();
    void executable_filter_lists_folders_and_programs_of_the_system_data();
    void executable_filter_lists_folders_and_programs_of_the_system();
    void the_executable_chooser_sends_the_chosen_file();
    void the_banner_takes_only_png_images_and_resets_to_none_data();
    void the_banner_takes_only_png_images_and_resets_to_none();
    void the_wheel_scrolls_the_form_over_a_combo_until_the_combo_has_the_focus();
    void the_button_follows_the_sections_and_stays_in_view_when_they_scroll();
    void a_disabled_combo_has_its_list_disabled_too();
    void the_build_folder_reads_as_a_value_chosen_with_its_button();

private:
    Installation installation_;
    QTemporaryDir outside_;
    std::unique_ptr<Editor::AssetManagerPrivate> assets_;
};

void TestBuildWindow::initTestCase()
{
    const QString data = installation_.dataPath();
    QVERIFY(buildtest::writeAsset(data, "worlds/level1.world", WORLD, AssetType::WORLD));
    QVERIFY(buildtest::writeAsset(data, "textures/banner.PNG", BANNER_PNG, AssetType::IMAGE));
    QVERIFY(buildtest::writeAsset(data, "textures/photo.jpg", PHOTO_JPG, AssetType::IMAGE));
    QVERIFY(installation_.start());
    assets_ = std::make_unique<Editor::AssetManagerPrivate>();
    depr::g.asset_manager = assets_.get();
    QSignalSpy initialized(assets_.get(), &Editor::AssetManagerPrivate::initialized);
    assets_->init();
    QVERIFY(initialized.wait(10000));
}

void TestBuildWindow::cleanupTestCase()
{
    depr::g.asset_manager = nullptr;
    assets_->shutdown();
    assets_.reset();
    Installation::stop();
}

void TestBuildWindow::cleanup()
{
    Dialogs::setResponder({});
}

void TestBuildWindow::combos_list_their_items_and_select_by_value_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QList<int>>("values");
    QTest::addColumn<int>("foreign");
    const QString script = getCurrentSystem() == System::Linux ? ".sh" : ".bat";
    QTest::newRow("build type") << "build_type" << QStringList{"Release", "Development"} << QList<int>{0, 1} << 7;
    QTest::newRow("precision") << "precision" << QStringList{"Float", "Double"} << QList<int>{1, 0} << 7;
    QTest::newRow("launcher") << "launcher_type" << QStringList{"Gui Based", script} << QList<int>{1, 0} << 7;
    QTest::newRow("binary") << "binary" << QStringList{"Development", "Debug"} << QList<int>{1, 0}
                            << int(Binary::Release);
    QTest::newRow("video debug") << "video_debug" << QStringList{"Disabled", "Messages", "Asserts"}
                                 << QList<int>{0, 1, 2} << 7;
}

void TestBuildWindow::combos_list_their_items_and_select_by_value()
{
    QFETCH(QString, name);
    QFETCH(QStringList, texts);
    QFETCH(QList<int>, values);
    QFETCH(int, foreign);
    Window window;
    auto combo = window.findChild<QComboBox *>(name);
    QStringList shown;
    QList<int> data;
    for (int i = 0; i < combo->count(); ++i) {
        shown << combo->itemText(i);
        data << combo->itemData(i).toInt();
    }
    QCOMPARE(shown, texts);
    QCOMPARE(data, values);

    // Each slot selects by value and the change is announced with it.
    const std::map<QString, std::function<void(int)>> set = {
            {"build_type", [&](int v) { window.setConfiguration(BuildConfiguration(v)); }},
            {"precision", [&](int v) { window.setPrecision(Precision(v)); }},
            {"launcher_type", [&](int v) { window.setLauncher(Launcher(v)); }},
            {"binary", [&](int v) { window.setBinary(Binary(v)); }},
            {"video_debug", [&](int v) { window.setVideoDebug(VideoDebug(v)); }},
    };
    const std::map<QString, QByteArray> signal = {
            {"build_type", SIGNAL(configurationChanged(assembly::BuildConfiguration))},
            {"precision", SIGNAL(precisionChanged(assembly::Precision))},
            {"launcher_type", SIGNAL(launcherChanged(assembly::Launcher))},
            {"binary", SIGNAL(binaryChanged(assembly::Binary))},
            {"video_debug", SIGNAL(videoDebugChanged(assembly::VideoDebug))},
    };
    QSignalSpy spy(&window, signal.at(name).constData());
    set.at(name)(values.last());
    QCOMPARE(combo->currentIndex(), values.size() - 1);
    // The same value again, and a value no item carries, change nothing.
    set.at(name)(values.last());
    set.at(name)(foreign);
    QCOMPARE(combo->currentIndex(), values.size() - 1);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), values.last());
    combo->setCurrentIndex(0);
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(1).at(0).toInt(), values.first());
}

void TestBuildWindow::check_boxes_report_clicks_and_not_what_slots_set_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("precompile shaders") << "precompile_shaders";
    QTest::newRow("OpenVR") << "use_openvr";
    QTest::newRow("Oculus") << "use_oculus";
    QTest::newRow("Varjo") << "use_varjo";
    QTest::newRow("fullscreen") << "fullscreen";
}

void TestBuildWindow::check_boxes_report_clicks_and_not_what_slots_set()
{
    QFETCH(QString, name);
    const std::map<QString, std::pair<void (Window::*)(bool), void (Window::*)(bool)>> wiring = {
            {"precompile_shaders", {&Window::precompileShadersChanged, &Window::setPrecompileShaders}},
            {"use_openvr", {&Window::VROpenChanged, &Window::setVROpen}},
            {"use_oculus", {&Window::VROculusChanged, &Window::setVROculus}},
            {"use_varjo", {&Window::VRVarjoChanged, &Window::setVRVarjo}},
            {"fullscreen", {&Window::fullscreenChanged, &Window::setFullscreen}},
    };
    Window window;
    window.show();
    auto box = window.findChild<QCheckBox *>(name);
    QSignalSpy spy(&window, wiring.at(name).first);
    (window.*wiring.at(name).second)(true);
    QVERIFY(box->isChecked());
    (window.*wiring.at(name).second)(false);
    QCOMPARE(spy.count(), 0);

    QStyleOptionButton option;
    option.initFrom(box);
    const QPoint indicator = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box).center();
    QTest::mouseClick(box, Qt::LeftButton, {}, indicator);
    QTest::mouseClick(box, Qt::LeftButton, {}, indicator);
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(0).at(0).toBool(), true);
    QCOMPARE(spy.at(1).at(0).toBool(), false);
}

void TestBuildWindow::a_typed_project_name_is_sent_cleaned_when_editing_ends()
{
    Window window;
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    window.setProjectName("game");
    QSignalSpy name(&window, &Window::projectNameChanged);
    auto line = window.findChild<QLineEdit *>("project_name");
    // Its tooltip sits on the label and on the field.
    QCOMPARE(line->toolTip(), QStringLiteral("Name of the output executable (or .bat/.sh file)"));
    QCOMPARE(labelOf(window, "Project Name")->toolTip(), line->toolTip());
    line->setFocus();
    line->selectAll();
    QTest::keyClicks(line, "my/ga:me");
    QCOMPARE(name.count(), 0);
    QTest::keyClick(line, Qt::Key_Return);
    // A name that is not usable is still sent: the validation judges it.
    line->clear();
    QTest::keyClick(line, Qt::Key_Return);
    // An edit still in the line is sent on request, once.
    QTest::keyClicks(line, "late");
    window.commitPendingEdits();
    window.commitPendingEdits();
    QCOMPARE(name.count(), 3);
    QCOMPARE(name.at(0).at(0).toString(), QStringLiteral("mygame"));
    QCOMPARE(name.at(1).at(0).toString(), QString());
    QCOMPARE(name.at(2).at(0).toString(), QStringLiteral("late"));
}

void TestBuildWindow::a_window_destroyed_while_its_name_is_edited_sends_nothing_afterwards()
{
    // The editor quits while the user types a name: the field loses its
    // focus while the window is being destroyed.
    auto window = new Window;
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window));
    auto line = window->findChild<QLineEdit *>("project_name");
    line->setFocus();
    QTest::keyClicks(line, "typed");
    QVERIFY(line->hasFocus());
    // Nothing may run on the window once its destructor has begun.
    bool deleting = false;
    int sent_while_deleting = 0;
    QObject receiver;
    connect(window, &Window::projectNameChanged, &receiver, [&]() { sent_while_deleting += deleting ? 1 : 0; });
    deleting = true;
    delete window;
    QCOMPARE(sent_while_deleting, 0);
}

void TestBuildWindow::chosen_build_folders_are_checked_before_they_are_sent_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("sent");
    QTest::addColumn<QString>("error");
    const QString in_data = BuildFolderCheck::dataFolderText();
    const auto refused = [](const QString &reason) { return BuildFolderCheck::protectedFolderText(reason); };
    // "<root>" is the installation (the project folder), "<out>" a folder
    // outside it, "<home>" the home folder; the box gives the precise reason.
    QTest::newRow("the data folder") << "<root>data"
                                     << "" << in_data;
    QTest::newRow("below the data folder") << "<root>data/sub/dir"
                                           << "" << in_data;
    QTest::newRow("a sibling named like the data folder") << "<root>data2"
                                                          << "<root>data2/"
                                                          << "";
    QTest::newRow("inside the project folder") << "<root>builds/one"
                                               << "<root>builds/one/"
                                               << "";
    QTest::newRow("the project folder") << "<root>"
                                        << "" << refused("the build folder is the project folder (<root>)");
    QTest::newRow("an ancestor of the data folder")
            << "<root>.."
            << "" << refused("the build folder contains the data folder (<root>data/)");
    QTest::newRow("the binaries folder") << "<root>bin"
                                         << ""
                                         << refused("the build folder is the engine binaries folder (<root>bin/)");
    QTest::newRow("the home folder") << QDir::homePath() << ""
                                     << refused("the build folder is the home folder (<home>)");
    QTest::newRow("the file-system root") << "/"
                                          << "" << refused("the build folder is the file-system root (/)");
    QTest::newRow("a folder elsewhere, unclean") << "<out>builds//one/../two"
                                                 << "<out>builds/two/"
                                                 << "";
    QTest::newRow("cancelled") << ""
                               << ""
                               << "";
}

void TestBuildWindow::chosen_build_folders_are_checked_before_they_are_sent()
{
    QFETCH(QString, answer);
    QFETCH(QString, sent);
    QFETCH(QString, error);
    const QString out = QDir::cleanPath(outside_.path()) + '/';
    for (QString *text : {&answer, &sent, &error}) {
        text->replace("<root>", installation_.root()).replace("<out>", out);
        text->replace("<home>", QDir::cleanPath(QDir::homePath()) + '/');
    }

    Window window;
    window.setOutputPath("shown");
    QList<Dialogs::Request> requests;
    // The first answer is the row's; the chooser that reopens is cancelled.
    Dialogs::setResponder([&](const Dialogs::Request &request) {
        requests << request;
        return requests.size() == 1 ? answer : QString();
    });
    MessageBoxes boxes;
    QSignalSpy path(&window, &Window::outputPathChanged);
    window.chooseOutputPath();
    QTRY_COMPARE(requests.size(), error.isEmpty() ? 1 : 2);
    // The last answer arrives from the event loop.
    QCOMPARE(path.wait(sent.isEmpty() ? 50 : 2000), !sent.isEmpty());
    QCOMPARE(requests.first().title, QStringLiteral("Select destination path"));
    QCOMPARE(requests.first().start, QDir::homePath());
    QCOMPARE(boxes.texts(), error.isEmpty() ? QStringList() : QStringList{error});
    if (!error.isEmpty())
        QCOMPARE(boxes.boxes().first().title, QStringLiteral("Error"));
    QCOMPARE(path.count(), sent.isEmpty() ? 0 : 1);
    if (!sent.isEmpty())
        QCOMPARE(path.at(0).at(0).toString(), sent);
    // The line changes only when the presenter says so.
    QCOMPARE(window.findChild<QLineEdit *>("build_folder")->text(), QStringLiteral("shown"));
}

void TestBuildWindow::executable_filter_lists_folders_and_programs_of_the_system_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("executable");
    QTest::addColumn<bool>("linux");
    QTest::addColumn<bool>("windows");
    QTest::newRow("a folder") << "sub/" << false << true << true;
    QTest::newRow("a program without suffix") << "player_x64" << true << true << false;
    QTest::newRow("a program in upper case") << "tool.EXE" << true << true << true;
    QTest::newRow("a script") << "app.bat" << true << true << false;
    QTest::newRow("a file that is not executable") << "notes.exe" << false << false << false;
    QTest::newRow("a shared library") << "libVelmora_x64.so" << true << false << false;
    QTest::newRow("a versioned shared library") << "libQt5Core.so.5" << true << false << false;
}

void TestBuildWindow::executable_filter_lists_folders_and_programs_of_the_system()
{
    QFETCH(QString, name);
    QFETCH(bool, executable);
    QFETCH(bool, linux);
    QFETCH(bool, windows);
    QTemporaryDir dir;
    const QString path = dir.path() + '/' + name;
    if (name.endsWith('/')) {
        QVERIFY(QDir().mkpath(path));
    } else {
        QVERIFY(Installation::writeFile(path));
        QVERIFY(QFile::setPermissions(
                path, QFile::ReadOwner | QFile::WriteOwner | (executable ? QFile::ExeOwner : QFile::Permissions())));
    }
    QCOMPARE(ExecutableFileFilterProxyModel::acceptsEntry(QFileInfo(path), System::Linux), linux);
    QCOMPARE(ExecutableFileFilterProxyModel::acceptsEntry(QFileInfo(path), System::Windows), windows);
}

void TestBuildWindow::the_executable_chooser_sends_the_chosen_file()
{
    const QString program = installation_.binPath() + "game_x64";
    QVERIFY(Installation::writeFile(program));
    const QString shown = QDir::cleanPath(outside_.path()) + "/other_x64";
    QVERIFY(Installation::writeFile(shown));
    Window window;
    window.show();
    QSignalSpy release(&window, &Window::releaseFileChanged);
    QSignalSpy dev(&window, &Window::devFileChanged);
    window.setDevFile(QDir::toNativeSeparators(shown));

    // A row showing an existing file starts there; the others start in the
    // engine's binaries folder.
    for (const auto row : {Window::AppRow::Development, Window::AppRow::Release}) {
        QPointer<QFileDialog> dialog = window.openExecutableChooser(row);
        QTRY_VERIFY(dialog->isVisible());
        QVERIFY(dialog->testOption(QFileDialog::DontUseNativeDialog));
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Select an executable file"));
        QVERIFY(qobject_cast<ExecutableFileFilterProxyModel *>(dialog->proxyModel()));
        const bool development = row == Window::AppRow::Development;
        QCOMPARE(QDir(dialog->directory()).canonicalPath(),
                 QDir(development ? outside_.path() : installation_.binPath()).canonicalPath());
        dialog->selectFile(program);
        if (development)
            static_cast<QDialog *>(dialog.data())->accept();
        else
            dialog->reject();
        QTRY_VERIFY(dialog.isNull());
    }
    QCOMPARE(dev.count(), 1);
    QCOMPARE(dev.at(0).at(0).toString(), QDir::cleanPath(program));
    QCOMPARE(release.count(), 0);
}

void TestBuildWindow::the_banner_takes_only_png_images_and_resets_to_none_data()
{
    QTest::addColumn<QVector<UGUID>>("dragged");
    QTest::addColumn<bool>("foreign");
    QTest::addColumn<UGUID>("taken");
    QTest::newRow("a PNG image in upper case") << QVector<UGUID>{BANNER_PNG} << false << BANNER_PNG;
    QTest::newRow("a JPEG image") << QVector<UGUID>{PHOTO_JPG} << false << UGUID();
    QTest::newRow("a world") << QVector<UGUID>{WORLD} << false << UGUID();
    QTest::newRow("a world, a JPEG, then a PNG") << QVector<UGUID>{WORLD, PHOTO_JPG, BANNER_PNG} << false << BANNER_PNG;
    QTest::newRow("foreign data") << QVector<UGUID>{} << true << UGUID();
}

void TestBuildWindow::the_banner_takes_only_png_images_and_resets_to_none()
{
    QFETCH(QVector<UGUID>, dragged);
    QFETCH(bool, foreign);
    QFETCH(UGUID, taken);
    std::unique_ptr<QMimeData> data(AssetsMimeDataHandler::createMimeData(dragged));
    if (foreign) {
        data = std::make_unique<QMimeData>();
        data->setText(QString::fromLatin1(BANNER_PNG.getString().get()));
    }
    Window window;
    window.show();
    QSignalSpy banner(&window, &Window::bannerChanged);
    auto asset = window.findChild<AssetWidget *>("banner");
    QCOMPARE(asset->dropMimeData(data.get()), taken.isValid());
    QCOMPARE(PngDragAndDropDelegate::pngGuid(data.get()), taken);
    QCOMPARE(asset->guid(), taken);

    auto reset = window.findChild<ResettableWidget *>("banner_reset");
    QTest::mouseClick(reset->resetButton(), Qt::LeftButton);
    QVERIFY(asset->guid().isEmpty());
    // The row hides whole, label and field.
    window.setBannerVisible(false);
    QVERIFY(!reset->isVisible() && !labelOf(window, "Banner Image")->isVisible());
    QCOMPARE(banner.count(), taken.isValid() ? 2 : 0);
    if (taken.isValid()) {
        QCOMPARE(banner.at(0).at(0).value<UGUID>(), taken);
        QVERIFY(banner.at(1).at(0).value<UGUID>().isEmpty());
    }
}

void TestBuildWindow::the_wheel_scrolls_the_form_over_a_combo_until_the_combo_has_the_focus()
{
    Window window;
    window.resize(460, 300);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    auto combo = window.findChild<QComboBox *>("video_debug");
    QScrollBar *bar = window.findChild<QScrollArea *>()->verticalScrollBar();
    const auto wheel = [combo]() {
        QWheelEvent event(QPointF(5, 5), combo->mapToGlobal(QPoint(5, 5)), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(combo, &event);
    };
    wheel();
    QCOMPARE(combo->currentIndex(), 0);
    QVERIFY(bar->value() > 0);
    combo->setFocus();
    QTRY_VERIFY(combo->hasFocus());
    wheel();
    QCOMPARE(combo->currentIndex(), 1);
}

void TestBuildWindow::a_disabled_combo_has_its_list_disabled_too()
{
    // A popup list made only once its combo box is disabled would be enabled.
    Window window;
    window.setConfigurationEnabled(false);
    window.setBinaryEnabled(false);
    for (const char *name : {"build_type", "binary"}) {
        auto combo = window.findChild<QComboBox *>(name);
        QVERIFY(!combo->isEnabled());
        QVERIFY2(!combo->view()->isEnabled(), name);
    }
    window.setConfigurationEnabled(true);
    QVERIFY(window.findChild<QComboBox *>("build_type")->view()->isEnabled());
    QVERIFY(window.findChild<QComboBox *>("precision")->view()->isEnabled());
}

void TestBuildWindow::the_button_follows_the_sections_and_stays_in_view_when_they_scroll()
{
    Window window;
    window.resize(460, 1600);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto scroll = window.findChild<QScrollArea *>();
    auto button = window.findChild<QPushButton *>("create_build");
    const auto gapBelowSections = [&] { return button->y() - scroll->geometry().bottom(); };
    // Tall: every section in view, the button right below them, the rest of
    // the window empty.
    QTRY_COMPARE(scroll->verticalScrollBar()->maximum(), 0);
    QVERIFY(gapBelowSections() < 20);
    QVERIFY(window.height() - button->geometry().bottom() > 100);
    // A section that opens makes the sections taller: the button moves down.
    const int before = button->y();
    window.findChildren<AccordionWidget *>().last()->setSectionOpen(0, true);
    QTRY_VERIFY(button->y() > before);
    QTRY_COMPARE(scroll->verticalScrollBar()->maximum(), 0);
    QVERIFY(gapBelowSections() < 20);
    // Short: the sections scroll, the button stays in the window.
    window.resize(460, 300);
    QTRY_VERIFY(scroll->verticalScrollBar()->maximum() > 0);
    QVERIFY(button->geometry().bottom() < window.height());
}

void TestBuildWindow::the_build_folder_reads_as_a_value_chosen_with_its_button()
{
    // Under the editor's own look, as the user sees the form.
    QVERIFY(test::applyEditorLook());
    const auto plain = qScopeGuard([] { qApp->setStyleSheet(QString()); });
    Window window;
    window.resize(600, 500);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    auto folder = window.findChild<QLineEdit *>("build_folder");
    auto name = window.findChild<QLineEdit *>("project_name");
    QVERIFY(folder && name);

    // Typing does nothing; empty, it says so as the form's other chosen
    // values do.
    QVERIFY(folder->isReadOnly());
    folder->setFocus();
    QTest::keyClicks(folder, "/tmp/out");
    QCOMPARE(folder->text(), QString());
    QCOMPARE(folder->placeholderText(), QStringLiteral("None"));
    window.setOutputPath("/home/user/builds/game");
    QCOMPARE(folder->text(), QStringLiteral("/home/user/builds/game"));

    // Flat on the panel, without the frame of the field typed in beside it.
    const QImage shown = folder->grab().toImage();
    const QImage typed = name->grab().toImage();
    const QColor inside = shown.pixelColor(shown.width() / 2, shown.height() - 3);
    const QColor edge = shown.pixelColor(0, shown.height() / 2);
    const QColor typed_inside = typed.pixelColor(typed.width() / 2, typed.height() - 3);
    const QColor typed_edge = typed.pixelColor(0, typed.height() / 2);
    QVERIFY2(typed_edge != typed_inside, qPrintable(typed_edge.name()));
    QVERIFY2(edge == inside, qPrintable(edge.name() + QLatin1Char(' ') + inside.name()));
    QVERIFY2(std::abs(inside.lightness() - typed_inside.lightness()) >= 12,
             qPrintable(inside.name() + QLatin1Char(' ') + typed_inside.name()));
}

QTEST_MAIN(TestBuildWindow)
#include "tst_build_window.moc"
