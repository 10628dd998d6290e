// The editor under a limit on its threads: started with none to spare it
// stops with its own exit code; with a few it starts, works and quits, and
// nothing waits for a thread the system refused (Qt's pools included).
#include "scenario_runner.h"
#include "thread_limit.h"
#include "thread_refusal.h"

#include <editor/application/thread_supply.h>
#include <editor/show_assets_dependencies/show_dependencies.h>
#include <editor/show_assets_dependencies/ui/used_window.h>

#include <velmora/Engine.h>
#include <velmora/World.h>

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QTest>

#include <memory>
#include <optional>

namespace {

const char *const WORLD = "worlds/yard";

void writeWorld(test::ProjectBuilder &project, QStringList &arguments)
{
    project.world(QString::fromLatin1(WORLD) + QLatin1String(".world"), QStringLiteral("{a701}"),
                  {QStringLiteral("gate"), QStringLiteral("well")});
    arguments << QStringLiteral("-console_command") << QStringLiteral("world_load \"%1\"").arg(QLatin1String(WORLD));
}

// ---- no_threads -------------------------------------------------------------

class NoThreadsChecks : public QObject
{
    Q_OBJECT

private slots:
    void the_engine_never_started() { QCOMPARE(Velmora::Engine::get(), nullptr); }
};

class NoThreads : public test::Scenario
{
    Q_OBJECT

public:
    void prepare(test::ProjectBuilder &project, QStringList &arguments) override
    {
        writeWorld(project, arguments);
        refusal_.emplace();
        QVERIFY(refusal_->isActive());
    }
    QObject *postShutdownChecks() override
    {
        refusal_.reset();
        return &checks_;
    }
    int expectedExitCode() const override { return Editor::ThreadSupply::EXIT_TOO_FEW_THREADS; }
    bool expectsStart() const override { return false; }

private:
    std::optional<test::ThreadRefusal> refusal_;
    NoThreadsChecks checks_;
};

// ---- few_threads ------------------------------------------------------------

int g_refused_starts = 0;

class FewThreadsChecks : public QObject
{
    Q_OBJECT

private slots:
    void the_limit_was_felt() { QVERIFY2(g_refused_starts > 0, "no thread was refused"); }
};

class FewThreads : public test::Scenario
{
    Q_OBJECT

public:
    void prepare(test::ProjectBuilder &project, QStringList &arguments) override
    {
        writeWorld(project, arguments);
        // Two for what the editor cannot do without and two to share:
        // far fewer than its pools and parallel steps ask for.
        limit_.emplace(test::ThreadLimit::running() + Editor::ThreadSupply::NEEDED + 2);
    }
    QObject *postShutdownChecks() override
    {
        g_refused_starts = limit_->refusedStarts();
        limit_.reset();
        return &checks_;
    }

private slots:
    void frames_run_with_the_world()
    {
        QTRY_VERIFY(Velmora::World::isLoaded());
        QVERIFY(test::waitFrames(60));
    }

    void qt_converts_a_large_image_on_the_threads_it_kept()
    {
        // Large enough for Qt to share its rows out to its global pool.
        QImage image(1024, 1024, QImage::Format_ARGB32);
        image.fill(Qt::red);
        const QImage converted = image.convertToFormat(QImage::Format_RGB888);
        QCOMPARE(converted.pixelColor(1023, 1023), QColor(Qt::red));
        QVERIFY(!QPixmap::fromImage(image).isNull());
    }

    void a_dependency_query_answers()
    {
        const QByteArray world = test::ProjectBuilder::expandGuids(QStringLiteral("{a701}")).toLatin1();
        QVERIFY(show_deps::showAssets({Velmora::UGUID(world.constData())}, true));
        QWidget *window = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT((window =
                                          [] {
                                              for (QWidget *widget : QApplication::topLevelWidgets()) {
                                                  if (qobject_cast<show_deps::UsedWindow *>(widget)
                                                      && widget->isVisible())
                                                      return widget;
                                              }
                                              return static_cast<QWidget *>(nullptr);
                                          }()),
                                 20000);
        window->close();
    }

private:
    std::optional<test::ThreadLimit> limit_;
    FewThreadsChecks checks_;
};

} // namespace

int main(int argc, char **argv)
{
    return test::runScenarios(argc, argv,
                              {
                                      {"no_threads", [] { return std::make_unique<NoThreads>(); }},
                                      {"few_threads", [] { return std::make_unique<FewThreads>(); }},
                              });
}

#include "tst_thread_limit.moc"
