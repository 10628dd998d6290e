#include "log_capture.h"

#include "editor_core/Constants.h"
#include "editor_core/EditorTools.h"
#include "editor_core/MainMenu.h"
#include "editor_core/MainMenuInterface.h"
#include "editor_core/View.h"
#include "editor_core/depr/EditorGlobals.h"
#include "editor_core/editor/Undo.h"
#include "editor_core/editor/WindowManager.h"
#include "editor_core/editor/WindowManagerPrivate.h"

#include <velmora/Base.h>
#include <velmora/Console.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMenu>
#include <QMetaMethod>
#include <QMutex>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <vector>

namespace {

using test::LogCapture;

QStringList actionTexts(const QMenu *menu)
{
    QStringList texts;
    const QList<QAction *> actions = menu->actions();
    for (const QAction *action : actions)
        if (!action->isSeparator())
            texts.append(action->text());
    return texts;
}

// Sets a value; undo and redo switch between the old and the new one.
class SetValue : public Editor::Action
{
public:
    SetValue(int &target, int value)
        : target_(target)
        , before_(target)
        , after_(value)
    {}
    void apply() override { target_ = after_; }
    void undo() override { target_ = before_; }
    void redo() override { target_ = after_; }

private:
    int &target_;
    int before_;
    int after_;
};

} // namespace

class TestMainMenu : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void edit_menu_undoes_and_redoes_by_menu_and_shortcut_as_the_store_allows();
    void quit_and_the_close_button_ask_the_main_window_first();
    void menus_carry_their_object_names_and_commands_data();
    void menus_carry_their_object_names_and_commands();
    void each_command_emits_exactly_its_signal_data();
    void each_command_emits_exactly_its_signal();
    void commands_reach_a_window_manager_made_after_the_menu();
    void a_command_without_window_manager_only_logs();
    void menu_interface_adds_actions_to_named_menus();
    void tool_bar_offers_the_given_video_apis_in_order();

private:
    View *main_ = nullptr;
    Editor::WindowManager *wm_ = nullptr;
    MainMenu *menu_ = nullptr;
};

void TestMainMenu::init()
{
    main_ = new View;
    depr::gui.main_window = main_;
    wm_ = new Editor::WindowManager;
    main_->setCentralWidget(depr::g.window_manager);
    menu_ = new MainMenu(main_);
    main_->setMenuBar(menu_);
}

void TestMainMenu::cleanup()
{
    delete wm_;
    wm_ = nullptr;
    delete main_;
    main_ = nullptr;
    depr::clearGlobals();
    depr::clearGui();
}

void TestMainMenu::edit_menu_undoes_and_redoes_by_menu_and_shortcut_as_the_store_allows()
{
    // As in the editor: the undo store is there before the menu.
    delete wm_;
    delete main_;
    depr::clearGlobals();
    Editor::Undo store;
    main_ = new View;
    depr::gui.main_window = main_;
    wm_ = new Editor::WindowManager;
    main_->setCentralWidget(depr::g.window_manager);
    menu_ = new MainMenu(main_);
    main_->setMenuBar(menu_);

    QMenu *edit = menu_->findMenu(QString::fromLatin1(Constants::MM_EDIT));
    QVERIFY(edit);
    QCOMPARE(actionTexts(edit), (QStringList{"Undo", "Redo"}));
    QAction *undo = menu_->findAction(Constants::MM_EDIT, "Undo");
    QAction *redo = menu_->findAction(Constants::MM_EDIT, "Redo");
    QCOMPARE(undo->shortcuts(), (QList<QKeySequence>{QKeySequence(QStringLiteral("Ctrl+Z"))}));
    QCOMPARE(redo->shortcuts(),
             (QList<QKeySequence>{QKeySequence(QStringLiteral("Ctrl+Y")),
                                  QKeySequence(QStringLiteral("Ctrl+Shift+Z"))}));
    QVERIFY(!undo->isEnabled());
    QVERIFY(!redo->isEnabled());

    int value = 0;
    Editor::Undo::apply(new SetValue(value, 1));
    QVERIFY(undo->isEnabled());
    QVERIFY(!redo->isEnabled());

    main_->show();
    QVERIFY(QTest::qWaitForWindowActive(main_));
    QTest::keyClick(main_, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(value, 0);
    QVERIFY(!undo->isEnabled());
    QVERIFY(redo->isEnabled());
    QTest::keyClick(main_, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(value, 1);
    undo->trigger();
    QCOMPARE(value, 0);
    QTest::keyClick(main_, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(value, 1);
    QVERIFY(undo->isEnabled());
    QVERIFY(!redo->isEnabled());

    // Nothing is undone while a step is being recorded.
    Editor::Undo::begin();
    QVERIFY(!undo->isEnabled());
    QVERIFY(Editor::Undo::commit());
    QVERIFY(undo->isEnabled());
    Editor::Undo::reset();
    QVERIFY(!undo->isEnabled());
    QVERIFY(!redo->isEnabled());
}

void TestMainMenu::quit_and_the_close_button_ask_the_main_window_first()
{
    // Closing the window must not end the test's application.
    main_->setAttribute(Qt::WA_QuitOnClose, false);
    main_->show();
    int asked = 0;
    bool may_quit = false;
    main_->setQuitGuard([&] {
        ++asked;
        // A second request while the first is still asking is refused.
        if (asked == 1)
            [&] { QVERIFY(!main_->confirmQuit()); }();
        return may_quit;
    });
    menu_->findAction(Constants::MM_FILE, "Quit")->trigger();
    QCOMPARE(asked, 1);
    QVERIFY(!main_->close());
    QCOMPARE(asked, 2);
    QVERIFY(main_->isVisible());
    may_quit = true;
    QVERIFY(main_->close());
    QCOMPARE(asked, 3);
    QVERIFY(!main_->isVisible());
}

void TestMainMenu::menus_carry_their_object_names_and_commands_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("file") << QString(Constants::MM_FILE) << QStringList{"Save World", "Quit"};
    QTest::newRow("edit") << QString(Constants::MM_EDIT) << QStringList{"Undo", "Redo"};
    QTest::newRow("window") << QString(Constants::MM_WINDOW)
                            << QStringList{"Asset Browser",      "Nodes",       "Materials", "Properties",
                                           "Parameters",         "Console",     "Settings",  "Engine Viewport",
                                           "Add Scene Viewport", "Reset Layout"};
    QTest::newRow("tools") << QString(Constants::MM_TOOLS)
                           << QStringList{"Create Build", "Cleaner", "Impostors Creator", "Randomizer",
                                          "Light Baking", "Tracker", "Video Grabber",     "Texture Profiler"};
    QTest::newRow("help") << QString(Constants::MM_HELP) << QStringList{"Help", "About"};
}

void TestMainMenu::menus_carry_their_object_names_and_commands()
{
    QFETCH(QString, id);
    QFETCH(QStringList, texts);
    QMenu *menu = menu_->findMenu(id);
    QVERIFY(menu);
    QCOMPARE(actionTexts(menu), texts);
    // The plain menu bar of the main window finds it too.
    QCOMPARE(MainMenu::findMenu(main_->menuBar(), id), menu);
}

void TestMainMenu::each_command_emits_exactly_its_signal_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("signal");
    const QString window = Constants::MM_WINDOW;
    const QString tools = Constants::MM_TOOLS;
    const QString help = Constants::MM_HELP;
    QTest::newRow("Asset Browser") << window << "Asset Browser"
                                   << "toggleAssetBrowser";
    QTest::newRow("Nodes") << window << "Nodes"
                           << "toggleNodes";
    QTest::newRow("Materials") << window << "Materials"
                               << "toggleMaterials";
    QTest::newRow("Properties") << window << "Properties"
                                << "toggleProperties";
    QTest::newRow("Parameters") << window << "Parameters"
                                << "addParameters";
    QTest::newRow("Console") << window << "Console"
                             << "toggleConsole";
    QTest::newRow("Settings") << window << "Settings"
                              << "toggleSettings";
    QTest::newRow("Engine Viewport") << window << "Engine Viewport"
                                     << "toggleEngineViewport";
    QTest::newRow("Add Scene Viewport") << window << "Add Scene Viewport"
                                        << "addEditorViewport";
    QTest::newRow("Reset Layout") << window << "Reset Layout"
                                  << "resetWindowsLayout";
    QTest::newRow("Create Build") << tools << "Create Build"
                                  << "toggleAssembly";
    QTest::newRow("Cleaner") << tools << "Cleaner"
                             << "toggleCleaner";
    QTest::newRow("Impostors Creator") << tools << "Impostors Creator"
                                       << "toggleImpostorGrabber";
    QTest::newRow("Randomizer") << tools << "Randomizer"
                                << "toggleRandomizer";
    QTest::newRow("Light Baking") << tools << "Light Baking"
                                  << "toggleLightBaking";
    QTest::newRow("Tracker") << tools << "Tracker"
                             << "toggleTracker";
    QTest::newRow("Video Grabber") << tools << "Video Grabber"
                                   << "toggleVideoGrabber";
    QTest::newRow("Texture Profiler") << tools << "Texture Profiler"
                                      << "toggleTextureProfiler";
    QTest::newRow("Help") << help << "Help"
                          << "openHelp";
    QTest::newRow("About") << help << "About"
                           << "toggleAbout";
}

void TestMainMenu::each_command_emits_exactly_its_signal()
{
    QFETCH(QString, menu);
    QFETCH(QString, text);
    QFETCH(QString, signal);

    // One spy on every signal the private declares itself.
    Editor::WindowManagerPrivate *wm = depr::g.window_manager;
    const QMetaObject *meta = wm->metaObject();
    std::vector<std::unique_ptr<QSignalSpy>> spies;
    QStringList names;
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        if (method.methodType() != QMetaMethod::Signal)
            continue;
        spies.push_back(std::make_unique<QSignalSpy>(wm, method));
        names.append(QString::fromLatin1(method.name()));
    }
    QCOMPARE(names.size(), 22);

    QAction *action = menu_->findAction(menu, text);
    QVERIFY(action);
    action->trigger();

    for (int i = 0; i < names.size(); ++i)
        QCOMPARE(spies[size_t(i)]->count(), names[i] == signal ? 1 : 0);
}

void TestMainMenu::commands_reach_a_window_manager_made_after_the_menu()
{
    delete wm_;
    depr::g.window_manager = nullptr;
    auto *menu = new MainMenu;
    wm_ = new Editor::WindowManager;
    QSignalSpy spy(depr::g.window_manager, &Editor::WindowManagerPrivate::openHelp);
    menu->findAction(Constants::MM_HELP, "Help")->trigger();
    QCOMPARE(spy.count(), 1);
    delete menu;
}

void TestMainMenu::a_command_without_window_manager_only_logs()
{
    delete wm_;
    wm_ = nullptr;
    depr::g.window_manager = nullptr;
    LogCapture log;
    menu_->findAction(Constants::MM_WINDOW, "Console")->trigger();
    QVERIFY(log.contains("\"Console\" needs a window manager"));
}

void TestMainMenu::menu_interface_adds_actions_to_named_menus()
{
    MainMenuInterface interface(main_->menuBar(), main_->menuBar());
    QCOMPARE(interface.findMenu(Constants::MM_HELP), menu_->findMenu(Constants::MM_HELP));

    auto *plugins = new QAction("Plugins", main_);
    QVERIFY(interface.addAction(Constants::MM_HELP, plugins));
    QCOMPARE(actionTexts(menu_->findMenu(Constants::MM_HELP)), (QStringList{"Help", "About", "Plugins"}));

    LogCapture log;
    QVERIFY(!interface.addAction("MM_NOWHERE", plugins));
    QVERIFY(log.contains("MM_NOWHERE"));
}

void TestMainMenu::tool_bar_offers_the_given_video_apis_in_order()
{
    EditorTools tools;
    tools.setAvailableVideoAPIs({2, 3});
    QComboBox *combo = tools.videoAPICombo();
    QCOMPARE(combo->count(), 2);
    QCOMPARE(combo->itemText(0), QStringLiteral("OpenGL"));
    QCOMPARE(combo->itemText(1), QStringLiteral("DirectX 11"));
    QCOMPARE(tools.getAvailableVideoAPIs(), (QVector<int>{2, 3}));
    // Without a running engine the first offered API is shown.
    QCOMPARE(tools.getSelectedVideoAPI(), 2);

    tools.setAvailableVideoAPIs({});
    QCOMPARE(combo->count(), 0);
    QCOMPARE(tools.getSelectedVideoAPI(), -1);
}

QTEST_MAIN(TestMainMenu)
#include "tst_main_menu.moc"
