#include "asset_files.h"
#include "installation.h"
#include "scenario_runner.h"
#include "window_system.h"

#include "editor/presenter/presenter.h"
#include "editor/watchers/shader_compilation_popup_widget.h"

#include <editor_core/EditorLogic.h>
#include <editor_core/EditorSettings.h>
#include <editor_core/UpdateLock.h>
#include <editor_core/ViewportManager.h>
#include <editor_core/ViewportWindowScene.h>
#include <editor_core/base/Timer.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/WindowManagerPrivate.h>

#include <velmora/Console.h>
#include <velmora/Game.h>
#include <velmora/Materials.h>

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>

namespace {

ShaderCompilationPopupWidget *popupOf(const QString &scene_id)
{
    ViewportWindowScene *scene = depr::g.viewports->getScene(scene_id);
    return scene ? scene->findChild<ShaderCompilationPopupWidget *>() : nullptr;
}

void setPrecompile(bool enabled)
{
    const ConfigEntry entry = depr::g.settings->editor().precompile_all_shaders;
    entry.file->set(entry.key, enabled);
}

struct CompileStep
{
    QString remaining;
    QString current;
    int visible_popups = 0;
    bool always_update = false;
    Qt::ApplicationState state = Qt::ApplicationActive;
};

class CompilePopups : public test::Scenario
{
    Q_OBJECT

private slots:
    void every_scene_viewport_has_a_hidden_popup()
    {
        const QStringList scenes = depr::g.viewports->getSceneNames();
        QCOMPARE(scenes.size(), 1);
        ShaderCompilationPopupWidget *first = popupOf(scenes.first());
        QVERIFY(first);
        QVERIFY(first->isHidden());

        emit depr::g.window_manager->addEditorViewport();
        const QString added = depr::g.viewports->getSceneNames().last();
        QVERIFY(added != scenes.first());
        ShaderCompilationPopupWidget *second = popupOf(added);
        QVERIFY(second);
        QVERIFY(second != first);
        QVERIFY(second->isHidden());
        QCOMPARE(depr::g.viewports->getScene(added)->findChildren<ShaderCompilationPopupWidget *>().size(), 1);
    }

    void precompile_setting_reaches_the_engine_at_the_next_frame()
    {
        // The first frames apply the default setting (and compile what it schedules).
        QVERIFY(test::waitFrames(10));
        QVERIFY(Velmora::Materials::isPrecompileAllShaders()); // the default
        const int calls = Velmora::Materials::getPrecompileAllShadersCallCount();
        QVERIFY(test::waitFrames(5));
        QCOMPARE(Velmora::Materials::getPrecompileAllShadersCallCount(), calls);

        setPrecompile(false);
        QVERIFY(test::waitFrames(2));
        QVERIFY(!Velmora::Materials::isPrecompileAllShaders());
        QCOMPARE(Velmora::Materials::getPrecompileAllShadersCallCount(), calls + 1);
        QVERIFY(test::waitFrames(5));
        QCOMPARE(Velmora::Materials::getPrecompileAllShadersCallCount(), calls + 1);
    }

    void frames_go_on_in_the_background_while_shaders_compile()
    {
        QList<ShaderCompilationPopupWidget *> popups;
        for (const QString &scene : depr::g.viewports->getSceneNames())
            popups << popupOf(scene);
        QCOMPARE(popups.size(), 2);

        QVector<CompileStep> steps;
        bool begun = false;
        bool ended = false;
        bool claimed_at_begin = false;
        QObject context;
        connect(depr::g.editor, &EditorLogic::onMaterialCompileShadersBegin, &context, [&] {
            begun = true;
            // From here on only the watcher's claim keeps the frames going.
            UpdateLock::disclaimAlwaysUpdate();
            claimed_at_begin = UpdateLock::isAlwaysUpdate();
        });
        connect(depr::g.editor, &EditorLogic::onMaterialCompileShaders, &context,
                [&](const Velmora::Ptr<Velmora::Material> &, int) {
                    CompileStep step;
                    step.remaining = popups.first()->remainingLabelText();
                    step.current = popups.first()->currentLabelText();
                    for (ShaderCompilationPopupWidget *popup : qAsConst(popups))
                        step.visible_popups += popup->isVisible() ? 1 : 0;
                    step.always_update = UpdateLock::isAlwaysUpdate();
                    step.state = QGuiApplication::applicationState();
                    steps << step;
                });
        connect(depr::g.editor, &EditorLogic::onMaterialCompileShadersEnd, &context, [&] { ended = true; });

        // The test's own claim carries the loop into the background until
        // the compile has begun.
        UpdateLock::claimAlwaysUpdate();
        test::setApplicationState(Qt::ApplicationInactive);
        Velmora::Console::run("materials_compile 12");
        QTRY_VERIFY(ended);
        QVERIFY(begun);
        QVERIFY(claimed_at_begin);

        QCOMPARE(steps.size(), 12);
        for (int i = 0; i < steps.size(); ++i) {
            const CompileStep &step = steps.at(i);
            const int remaining = 11 - i;
            QCOMPARE(step.remaining,
                     QStringLiteral("%1 material%2 remaining")
                             .arg(remaining)
                             .arg(remaining == 1 ? QString() : QStringLiteral("s")));
            QVERIFY(!step.current.isEmpty());
            QCOMPARE(step.visible_popups, 2);
            QVERIFY(step.always_update);
            QCOMPARE(step.state, Qt::ApplicationInactive);
        }
        // Every fourth compile of the test command has no name: its GUID shows.
        const QRegularExpression guid(QStringLiteral("^[0-9a-f]{40}$"));
        QVERIFY2(guid.match(steps.at(3).current).hasMatch(), qPrintable(steps.at(3).current));
        QVERIFY(!guid.match(steps.at(0).current).hasMatch());

        for (ShaderCompilationPopupWidget *popup : qAsConst(popups)) {
            QVERIFY(popup->isHidden());
            QVERIFY(!popup->isSpinning());
        }
        QVERIFY(!UpdateLock::isAlwaysUpdate());
        QTRY_VERIFY(!test::presenter()->updateTimer()->isActive());
        const int paused_at = Velmora::Game::getFrame();
        QTest::qWait(100);
        QCOMPARE(Velmora::Game::getFrame(), paused_at);

        test::setApplicationState(Qt::ApplicationActive);
        QVERIFY(test::waitFrames(3));
    }

    void switching_precompile_on_again_compiles_nothing_the_cache_holds()
    {
        // The start compiled every loaded material; the cache holds them.
        const QString cache = test::context().root + QStringLiteral("/cache/") + test::Installation::shaderCacheName();
        QVERIFY(QFileInfo(cache).isFile());
        const QByteArray before = test::readFile(cache);
        bool begun = false;
        QObject context;
        connect(depr::g.editor, &EditorLogic::onMaterialCompileShadersBegin, &context, [&] { begun = true; });
        QVERIFY(!Velmora::Materials::isPrecompileAllShaders());
        setPrecompile(true);
        QVERIFY(test::waitFrames(5));
        QVERIFY(Velmora::Materials::isPrecompileAllShaders());
        QCOMPARE(Velmora::Materials::getNumPendingCompiles(), 0);
        QVERIFY(!begun);
        for (const QString &scene : depr::g.viewports->getSceneNames())
            QVERIFY(popupOf(scene)->isHidden());
        QVERIFY(!UpdateLock::isAlwaysUpdate());
        QCOMPARE(test::readFile(cache), before);
    }
};

} // namespace

int main(int argc, char **argv)
{
    return test::runScenarios(argc, argv,
                              {
                                      {"compile_popups", [] { return std::make_unique<CompilePopups>(); }},
                              });
}

#include "tst_shader_compilation.moc"
