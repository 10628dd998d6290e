// Quitting the running editor: what it asks, what it saves first and what
// it tells when a save cannot be done.

#include "asset_files.h"
#include "file_size_limit.h"
#include "message_boxes.h"
#include "scenario_runner.h"
#include "window_system.h"

#include "editor/application/memory_shortage.h"
#include "editor/assembly/build_presenter.h"
#include "editor/assembly/executor/options.h"
#include "editor/presenter/presenter.h"
#include "editor/tools/impostor_grabber_window.h"

#include <editor_core/Constants.h>
#include <editor_core/CreateNodesAction.h>
#include <editor_core/Dialogs.h>
#include <editor_core/MainMenu.h>
#include <editor_core/UpdateLock.h>
#include <editor_core/View.h>
#include <editor_core/WorldControls.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/Selection.h>
#include <editor_core/editor/Undo.h>

#include <velmora/Console.h>
#include <velmora/Game.h>
#include <velmora/Node.h>
#include <velmora/World.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QMenuBar>
#include <QPixmap>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

View *mainWindow()
{
    return qobject_cast<View *>(depr::gui.main_window);
}

// With VELMORA_SCREENSHOT_DIR set, pictures of the windows for a look.
void screenshot(QWidget *widget, const QString &name)
{
    if (widget && qEnvironmentVariableIsSet("VELMORA_SCREENSHOT_DIR"))
        widget->grab().save(qEnvironmentVariable("VELMORA_SCREENSHOT_DIR") + QLatin1Char('/') + name);
}

// Each box as it shows, named after the scenario.
void screenshotBoxes(test::MessageBoxes &boxes, const QString &prefix)
{
    auto count = std::make_shared<int>(0);
    boxes.onShow([prefix, count](const test::MessageBoxes::Box &) {
        screenshot(QApplication::activeModalWidget(), prefix + QString::number(++*count) + QStringLiteral(".png"));
    });
}

void makeUnsavedChange(const char *name)
{
    Velmora::Ptr<Velmora::Node> node(Velmora::NodeDummy::create());
    node->setName(name);
    Editor::Undo::begin();
    Editor::Undo::apply(new CreateNodesAction({node}));
    QVERIFY(Editor::Undo::commit());
    QVERIFY(depr::g.world_controls->isDirty());
}

// ---- impostor_job ---------------------------------------------------------------

class ImpostorJob : public test::Scenario
{
    Q_OBJECT

public:
    void prepare(test::ProjectBuilder &project, QStringList &arguments) override
    {
        QVERIFY(test::copyFolder(qEnvironmentVariable("VELMORA_SOURCE_DIR")
                                         + QStringLiteral("/examples/sample_project/data"),
                                 project.dataPath()));
        arguments << QStringLiteral("-console_command") << QStringLiteral("world_load \"worlds/courtyard\"");
    }

private slots:
    void closing_while_an_impostor_is_made_asks_to_cancel_it()
    {
        QTRY_VERIFY(Velmora::World::isLoaded());
        const Velmora::Ptr<Velmora::Node> lamp = Velmora::World::getNodeByName("lamp_post");
        QVERIFY(lamp);
        Editor::Selection::instance()->setSelector(
                Editor::SelectorNodes::createObjectsSelector(Velmora::Vector<Velmora::Ptr<Velmora::Node>>{lamp}));
        ImpostorGrabberWindow *window = depr::gui.impostor_grabber;
        window->findChild<QComboBox *>(QStringLiteral("resolution"))->setCurrentIndex(3);
        Dialogs::setResponder([](const Dialogs::Request &) { return QStringLiteral("impostors/lamp.node"); });
        QTRY_VERIFY_WITH_TIMEOUT(!UpdateLock::isAlwaysUpdate(), 60000);
        QVERIFY(window->createButton()->isEnabled());

        test::MessageBoxes boxes;
        screenshotBoxes(boxes, QStringLiteral("quit_impostor_box_"));
        window->onCreateClicked();
        QTRY_VERIFY(window->isCreating());
        QProgressDialog *progress = mainWindow()->findChild<QProgressDialog *>();
        QVERIFY(progress);
        screenshot(mainWindow(), QStringLiteral("quit_impostor_main.png"));

        // The close button asks; No keeps the run and the editor.
        boxes.answer(QMessageBox::No);
        test::sendSpontaneousClose(mainWindow());
        QCOMPARE(boxes.titles(), QStringList{"Impostors Creator"});
        QVERIFY2(boxes.boxes().first().text.contains(QLatin1String("Cancel the impostor and quit?")),
                 qPrintable(boxes.boxes().first().text));
        QVERIFY(mainWindow()->isVisible());
        QVERIFY(window->isCreating());
        // Meanwhile the main window takes no input.
        QVERIFY(!mainWindow()->centralWidget()->isEnabled());
        QVERIFY(!mainWindow()->menuBar()->isEnabled());

        // Yes, then Cancel on the unsaved world: nothing was stopped for a
        // quit that did not happen.
        makeUnsavedChange("made_while_grabbing");
        boxes.clear();
        boxes.answer(QMessageBox::Yes);
        boxes.answer(QMessageBox::Cancel);
        test::sendSpontaneousClose(mainWindow());
        QCOMPARE(boxes.titles(), (QStringList{"Impostors Creator", "Unsaved Changes"}));
        QVERIFY(mainWindow()->isVisible());
        QVERIFY(window->isCreating());

        // Ctrl+Q in the progress dialog asks the same; Yes and Save stop
        // the run, then save the world as it leaves it, and the editor
        // quits.
        boxes.clear();
        boxes.answer(QMessageBox::Yes);
        boxes.answer(QMessageBox::Save);
        progress->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(progress));
        QTest::keyClick(progress, Qt::Key_Q, Qt::ControlModifier);
        QTRY_COMPARE(boxes.titles(), (QStringList{"Impostors Creator", "Unsaved Changes"}));
        QVERIFY(!window->isCreating());
        QTRY_VERIFY(!mainWindow()->isVisible());
        QVERIFY(!depr::g.world_controls->isDirty());
        const QByteArray saved = test::readFile(test::context().data_path + QStringLiteral("worlds/courtyard.world"));
        QVERIFY(saved.contains("made_while_grabbing"));
        QVERIFY(!saved.contains("lamp_post_impostor"));
        QVERIFY(!Velmora::World::getNodeByName("lamp_post_impostor"));
        Dialogs::setResponder(Dialogs::Responder());
    }
};

// ---- console_quit ----------------------------------------------------------------

// Runs the event loop until the application is told to quit (0) or the time
// is up (-1): quitting ends every loop that runs.
int loopUntilQuit(int timeout_ms)
{
    QEventLoop loop;
    QTimer::singleShot(timeout_ms, &loop, [&loop] { loop.exit(-1); });
    return loop.exec();
}

class WorldProject : public test::Scenario
{
public:
    void prepare(test::ProjectBuilder &project, QStringList &arguments) override
    {
        project.world(QStringLiteral("worlds/real.world"), QStringLiteral("{a401}"), {"tree"});
        // The world is opened by a name that is a link beside it.
        QVERIFY(QFile::link(QStringLiteral("real.world"), project.dataPath() + QStringLiteral("worlds/main.world")));
        arguments << QStringLiteral("-console_command") << QStringLiteral("world_load \"worlds/main\"");
    }
};

class ConsoleQuit : public WorldProject
{
    Q_OBJECT

private slots:
    void quit_asks_while_the_main_window_is_shown()
    {
        QTRY_VERIFY(Velmora::World::isLoaded());
        makeUnsavedChange("made_since_save");
        test::MessageBoxes boxes;
        boxes.answer(QMessageBox::Cancel);
        Velmora::Console::run("quit");
        QCOMPARE(loopUntilQuit(3000), -1);
        QCOMPARE(boxes.titles(), QStringList{"Unsaved Changes"});
        QVERIFY(mainWindow()->isVisible());
        QVERIFY(test::presenter()->isStarted());
        QVERIFY(depr::g.world_controls->isDirty());
    }

    void running_out_of_memory_tells_and_offers_to_save_the_world()
    {
        makeUnsavedChange("saved_as_memory_ran_out");
        test::MessageBoxes boxes;
        boxes.answer(QMessageBox::Ok);
        boxes.answer(QMessageBox::Save);
        // What the editor asks once memory has run out.
        QVERIFY(Editor::MemoryShortage::mayQuit());
        QCOMPARE(boxes.titles(), (QStringList{"Out of Memory", "Unsaved Changes"}));
        QVERIFY(boxes.boxes().at(0).text.contains(QLatin1String("the system gives the editor no more memory")));
        QVERIFY(!depr::g.world_controls->isDirty());
    }

    void without_the_main_window_quit_quits_at_once()
    {
        test::MessageBoxes boxes;
        mainWindow()->hide();
        Velmora::Console::run("quit");
        QCOMPARE(loopUntilQuit(10000), 0);
        QVERIFY(boxes.boxes().isEmpty());
    }
};

// ---- world_saves -----------------------------------------------------------------

QAction *saveWorldAction()
{
    auto menu = qobject_cast<MainMenu *>(mainWindow()->menuBar());
    return menu ? menu->findAction(Constants::MM_FILE, "Save World") : nullptr;
}

class WorldSaves : public WorldProject
{
    Q_OBJECT

    QString data(const char *relative) const { return test::context().data_path + QLatin1String(relative); }

private slots:
    void save_world_writes_the_file_the_link_leads_to()
    {
        QTRY_VERIFY(Velmora::World::isLoaded());
        makeUnsavedChange("saved_through_the_link");
        test::MessageBoxes boxes;
        QVERIFY(saveWorldAction());
        saveWorldAction()->trigger();
        QVERIFY(boxes.boxes().isEmpty());
        QVERIFY(!depr::g.world_controls->isDirty());
        QVERIFY(test::readFile(data("worlds/real.world")).contains("saved_through_the_link"));
        QVERIFY(QFileInfo(data("worlds/main.world")).isSymLink());
    }

    void a_link_leading_outside_is_refused_and_told()
    {
        const QString outside = test::context().root + QStringLiteral("/outside.world");
        QVERIFY(QFile::copy(data("worlds/real.world"), outside));
        QVERIFY(QFile::remove(data("worlds/main.world")));
        QVERIFY(QFile::link(outside, data("worlds/main.world")));
        const QByteArray before = test::readFile(outside);
        makeUnsavedChange("not_saved_outside");

        test::MessageBoxes boxes;
        screenshotBoxes(boxes, QStringLiteral("world_saves_box_"));
        saveWorldAction()->trigger();
        QCOMPARE(boxes.titles(), QStringList{"Save World"});
        QVERIFY2(boxes.boxes().first().text.contains(QLatin1String("worlds/main.world"))
                         && boxes.boxes().first().text.contains(QLatin1String("leads outside the data folder")),
                 qPrintable(boxes.boxes().first().text));
        QVERIFY(depr::g.world_controls->isDirty());
        QCOMPARE(test::readFile(outside), before);

        // Quit > Save: the editor stays open and says why.
        boxes.clear();
        boxes.answer(QMessageBox::Save);
        test::sendSpontaneousClose(mainWindow());
        QCOMPARE(boxes.boxes().size(), 2);
        QVERIFY2(boxes.boxes().at(1).text.contains(QLatin1String("stays open"))
                         && boxes.boxes().at(1).text.contains(QLatin1String("leads outside the data folder")),
                 qPrintable(boxes.boxes().at(1).text));
        QVERIFY(mainWindow()->isVisible());
        QCOMPARE(test::readFile(outside), before);

        // Discard quits.
        boxes.clear();
        boxes.answer(QMessageBox::Discard);
        test::sendSpontaneousClose(mainWindow());
        QCOMPARE(boxes.boxes().size(), 1);
        QVERIFY(!mainWindow()->isVisible());
    }
};

// ---- build_options_full_disk -------------------------------------------------------

QString g_build_folder;

class BuildOptionsChecks : public QObject
{
    Q_OBJECT

private slots:
    void the_options_were_saved_once_there_was_room()
    {
        const QByteArray options = test::readFile(test::context().data_path + QStringLiteral(".tamsel2/.assemblytool"));
        QVERIFY2(options.contains(g_build_folder.toUtf8()), options.constData());
    }
};

class BuildOptionsFullDisk : public test::Scenario
{
    Q_OBJECT

public:
    QObject *postShutdownChecks() override { return &checks_; }

private slots:
    void options_that_cannot_be_saved_keep_the_editor_open()
    {
        assembly::Presenter *build = test::presenter()->buildPresenter();
        g_build_folder = test::context().root + QStringLiteral("/the_build/");
        build->set_output_path(g_build_folder);
        QVERIFY(build->options().isModified());

        test::MessageBoxes boxes;
        // The picture is taken while the disk is full, and saved after.
        QPixmap picture;
        boxes.onShow([&picture](const test::MessageBoxes::Box &) {
            if (QWidget *box = QApplication::activeModalWidget())
                picture = box->grab();
        });
        boxes.answer(QMessageBox::Cancel);
        {
            test::FileSizeLimit full(16);
            QVERIFY(full.isActive());
            test::sendSpontaneousClose(mainWindow());
        }
        if (!picture.isNull() && qEnvironmentVariableIsSet("VELMORA_SCREENSHOT_DIR"))
            picture.save(qEnvironmentVariable("VELMORA_SCREENSHOT_DIR") + QStringLiteral("/build_options_box.png"));
        QCOMPARE(boxes.titles(), QStringList{"Create Build"});
        QVERIFY2(boxes.boxes().first().text.contains(QLatin1String("could not be saved")),
                 qPrintable(boxes.boxes().first().text));
        QVERIFY(mainWindow()->isVisible());
        QVERIFY(build->options().isModified());

        // With room again the editor quits without a question.
        boxes.clear();
        test::sendSpontaneousClose(mainWindow());
        QVERIFY(boxes.boxes().isEmpty());
        QVERIFY(!mainWindow()->isVisible());
        QVERIFY(!build->options().isModified());
    }

private:
    BuildOptionsChecks checks_;
};

} // namespace

int main(int argc, char **argv)
{
    return test::runScenarios(
            argc, argv,
            {
                    {"impostor_job", [] { return std::make_unique<ImpostorJob>(); }},
                    {"console_quit", [] { return std::make_unique<ConsoleQuit>(); }},
                    {"world_saves", [] { return std::make_unique<WorldSaves>(); }},
                    {"build_options_full_disk", [] { return std::make_unique<BuildOptionsFullDisk>(); }},
            });
}

#include "tst_quitting.moc"
