// The Impostors Creator inside the running editor, on a copy of the sample
// project: the lamp post of the courtyard is grabbed once and cancelled,
// then grabbed to the end; the impostor comes and goes with undo and redo,
// and after a restart its material still has its textures.

#include "asset_files.h"
#include "message_boxes.h"
#include "scenario_runner.h"

#include "editor/tools/impostor_grabber_window.h"
#include "window_system.h"

#include <editor_core/Constants.h>
#include <editor_core/Dialogs.h>
#include <editor_core/MainMenu.h>
#include <editor_core/UpdateLock.h>
#include <editor_core/View.h>
#include <editor_core/WorldControls.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/AssetManagerPrivate.h>
#include <editor_core/editor/Selection.h>
#include <editor_core/editor/Undo.h>

#include <velmora/Game.h>
#include <velmora/Image.h>
#include <velmora/Material.h>
#include <velmora/Materials.h>
#include <velmora/Object.h>
#include <velmora/World.h>

#include <QComboBox>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>

namespace {

const char *const TEXTURES[]
        = {"impostors/lamp_alb.tga", "impostors/lamp_n.tga", "impostors/lamp_sh.tga", "impostors/lamp_t.tga"};

void copySampleData(const QString &target)
{
    QVERIFY(test::copyFolder(
            qEnvironmentVariable("VELMORA_SOURCE_DIR") + QStringLiteral("/examples/sample_project/data"), target));
}

QString screenshotPath(const char *name)
{
    return qEnvironmentVariable("VELMORA_SCREENSHOT_DIR") + QLatin1Char('/') + QLatin1String(name);
}

void screenshot(QWidget *widget, const char *name)
{
    if (qEnvironmentVariableIsSet("VELMORA_SCREENSHOT_DIR"))
        widget->grab().save(screenshotPath(name));
}

QProgressDialog *progressDialog()
{
    return depr::gui.main_window->findChild<QProgressDialog *>();
}

class Courtyard : public test::Scenario
{
public:
    void prepare(test::ProjectBuilder &project, QStringList &arguments) override
    {
        if (!continuesEarlierRun())
            copySampleData(project.dataPath());
        arguments << QStringLiteral("-console_command") << QStringLiteral("world_load \"worlds/courtyard\"");
    }
};

class CreateImpostor : public Courtyard
{
    Q_OBJECT

    ImpostorGrabberWindow *window() const { return depr::gui.impostor_grabber; }
    void setCombo(const char *name, int index)
    {
        window()->findChild<QComboBox *>(QLatin1String(name))->setCurrentIndex(index);
    }

private slots:
    void the_lamp_post_gets_an_impostor_after_a_cancelled_try()
    {
        QTRY_VERIFY(Velmora::World::isLoaded());
        const Velmora::Ptr<Velmora::Node> lamp = Velmora::World::getNodeByName("lamp_post");
        QVERIFY(lamp);
        Editor::Selection::instance()->setSelector(
                Editor::SelectorNodes::createObjectsSelector(Velmora::Vector<Velmora::Ptr<Velmora::Node>>{lamp}));

        // Tools > Impostors Creator.
        auto menu = qobject_cast<MainMenu *>(depr::gui.main_window->menuBar());
        QMenu *tools = menu->findMenu(QString::fromLatin1(Constants::MM_TOOLS));
        QAction *open = nullptr;
        for (QAction *action : tools->actions()) {
            if (action->text() == QStringLiteral("Impostors Creator"))
                open = action;
        }
        QVERIFY(open);
        open->trigger();
        QTRY_VERIFY(window()->isVisible());
        QVERIFY(window()->createButton()->isEnabled());
        setCombo("resolution", 3); // 256
        setCombo("supersampling", 1); // 2x
        setCombo("phi", 0); // 4
        setCombo("theta", 1); // 2
        setCombo("aspect", 4); // 4/1: a tall object
        setCombo("padding", 0); // 8
        screenshot(window(), "impostor_creator_window.png");
        Dialogs::setResponder([](const Dialogs::Request &) { return QStringLiteral("impostors/lamp.node"); });
        Velmora::Game::setEnabled(true);
        // The start-up shader compilation keeps frames running too.
        QTRY_VERIFY_WITH_TIMEOUT(!UpdateLock::isAlwaysUpdate(), 60000);
        const int steps = Editor::Undo::count();
        test::MessageBoxes boxes;

        // A first run, cancelled once it is under way.
        QTest::mouseClick(window()->createButton(), Qt::LeftButton);
        QTRY_VERIFY(progressDialog() && progressDialog()->value() > 0);
        QVERIFY(UpdateLock::isAlwaysUpdate());
        screenshot(depr::gui.main_window, "impostor_creator_progress.png");
        progressDialog()->findChild<QPushButton *>()->click();
        QTRY_VERIFY(!progressDialog());
        QVERIFY(!UpdateLock::isAlwaysUpdate());
        QVERIFY(Velmora::Game::isEnabled());
        QVERIFY(!Velmora::World::getNodeByName("lamp_post_impostor"));
        QCOMPARE(Editor::Undo::count(), steps);
        // Textures saved before the cancel are kept, and the user is told;
        // the next run asks before it writes over them.
        bool kept = false;
        for (const char *texture : TEXTURES)
            kept = kept || QFileInfo::exists(test::context().data_path + QLatin1String(texture));
        QTRY_COMPARE(boxes.boxes().size(), kept ? 1 : 0);
        if (kept)
            boxes.answer(QMessageBox::Yes);

        // The full run.
        QTest::mouseClick(window()->createButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(Velmora::World::getNodeByName("lamp_post_impostor"), 120000);
        QTRY_VERIFY(!progressDialog());
        QVERIFY(!UpdateLock::isAlwaysUpdate());
        QVERIFY(Velmora::Game::isEnabled());
        QCOMPARE(Editor::Undo::count(), steps + 1);
        QCOMPARE(boxes.boxes().size(), kept ? 2 : 0);
        const Velmora::Ptr<Velmora::Node> impostor = Velmora::World::getNodeByName("lamp_post_impostor");
        QCOMPARE(impostor->getParent(), lamp);
        for (const char *texture : TEXTURES) {
            QVERIFY2(!depr::g.asset_manager->asset(QString::fromLatin1(texture)).isNull(), texture);
            Velmora::Image atlas;
            QVERIFY(atlas.load(qPrintable(test::context().data_path + QLatin1String(texture))));
            // Four columns by two rows of tall (4/1) cells in 256 pixels.
            QCOMPARE(atlas.getWidth(), 128);
            QCOMPARE(atlas.getHeight(), 256);
            if (qEnvironmentVariableIsSet("VELMORA_SCREENSHOT_DIR"))
                QVERIFY(atlas.save(qPrintable(screenshotPath("impostor_") + QFileInfo(QLatin1String(texture)).baseName()
                                              + ".png")));
        }
        screenshot(depr::gui.main_window, "impostor_creator_done.png");

        QVERIFY(Editor::Undo::undo());
        QVERIFY(!Velmora::World::getNodeByName("lamp_post_impostor"));
        QVERIFY(Editor::Undo::redo());
        QCOMPARE(Velmora::World::getNodeByName("lamp_post_impostor"), impostor);
        QVERIFY(depr::g.world_controls->saveWorld());
        Dialogs::setResponder(Dialogs::Responder());
    }
};

class ReopenImpostor : public Courtyard
{
    Q_OBJECT

public:
    bool continuesEarlierRun() const override { return true; }

private slots:
    void the_impostor_material_has_its_textures_bound()
    {
        QTRY_VERIFY(Velmora::World::isLoaded());
        const Velmora::Ptr<Velmora::Node> impostor = Velmora::World::getNodeByName("lamp_post_impostor");
        QVERIFY(impostor);
        QCOMPARE(QByteArray(impostor->getParent()->getName()), QByteArray("lamp_post"));
        const Velmora::Ptr<Velmora::Material> material = static_cast<Velmora::Object *>(impostor.get())->getMaterial(0);
        QCOMPARE(QByteArray(material->getName()), QByteArray("lamp_post_impostor_material"));
        const char *slot_names[] = {"albedo", "normal", "shading", "translucent"};
        for (int i = 0; i < 4; ++i) {
            const Velmora::UGUID texture = depr::g.asset_manager->asset(QString::fromLatin1(TEXTURES[i])).getGUID();
            QVERIFY(!texture.isEmpty());
            QCOMPARE(QByteArray(material->getTexturePath(material->findTexture(slot_names[i]))),
                     QByteArray(texture.getString().get()));
        }
        QCOMPARE(material->getState("depth_map"), 0);
        QCOMPARE(material->getParameterFloat(material->findParameter("aspect")), 0.25f);
    }
};

} // namespace

int main(int argc, char **argv)
{
    return test::runScenarios(argc, argv,
                              {
                                      {"create", [] { return std::make_unique<CreateImpostor>(); }},
                                      {"reopen", [] { return std::make_unique<ReopenImpostor>(); }},
                              });
}

#include "tst_impostor_creator.moc"
