// The pre-build actions, run on a worker thread while the GUI thread waits in
// a nested event loop, as during a build.

#include "assembly_test_support.h"

#include "editor/assembly/core/build_executor.h"
#include "editor/assembly/core/impl/pre_processing/action_combiner.h"
#include "editor/assembly/core/impl/pre_processing/cs_builder.h"
#include "editor/assembly/core/impl/pre_processing/editor_stopper.h"
#include "editor/assembly/core/impl/pre_processing/output_dir_remover.h"
#include "editor/assembly/core/impl/pre_processing/precompile_shaders.h"
#include "editor/assembly/core/post_processing_handler.h"

#include <editor_core/EditorLogic.h>
#include <editor_core/UpdateLock.h>
#include <editor_core/cs/Manager.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/AssetManagerPrivate.h>
#include <velmora/FileSystem.h>
#include <velmora/Materials.h>

#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <QtTest>

using namespace assembly;
using assemblytest::Installation;

namespace {

using Reports = QList<QPair<int, int>>;

// Runs an action on a worker thread (the GUI thread spins a nested loop) and
// returns its answer; every report is recorded and answered with
// value != cancel_at.
bool runOnWorker(pre::Action &action, Reports &reports, int cancel_at = -1)
{
    PostProcessingHandler queue;
    bool result = false;
    std::unique_ptr<QThread> thread(QThread::create([&]() {
        result = action.execute(
                [&](int max, int value) {
                    return reports.append({max, value}), value != cancel_at;
                },
                queue);
        queue.runOperations();
    }));
    QEventLoop loop;
    QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    thread->start();
    loop.exec();
    thread->wait();
    return result;
}

// Records the batches it compiles and whether any ran off the GUI thread.
struct BatchRecorder
{
    QList<QPair<int, int>> batches;
    bool off_gui_thread = false;
    PrecompileShaders::CompileBatch compiler()
    {
        return [this](int first, int last) {
            batches.append({first, last});
            off_gui_thread = off_gui_thread || QThread::currentThread() != QCoreApplication::instance()->thread();
        };
    }
};

// "lock asset-manager signals": the editor's state as the stopper sees it.
QString editorState()
{
    return QStringLiteral("%1 %2 %3")
            .arg(UpdateLock::isUpdateLocked() ? "locked" : "unlocked")
            .arg(depr::g.asset_manager->isActive() ? "active" : "inactive")
            .arg(depr::g.editor->signalsBlocked() ? "blocked" : "emitting");
}

// A later stage of the build: samples the editor state, then answers.
class Probe : public fp::Source, public fp::Copier
{
public:
    Probe(QString &seen, bool result)
        : seen_(seen)
        , result_(result)
    {}
    int getMaxProgress() const override { return 1; }
    int getMaxProgress(int) const override { return 1; }
    bool process(const ProgressCallback &progress, post::OperationQueue &, fp::CopyItems &) override
    {
        seen_ = editorState();
        return progress(1, 1) && result_;
    }
    bool copy(const ProgressCallback &progress, const fp::CopyItems &, post::OperationQueue &) override
    {
        return progress(1, 1);
    }

private:
    QString &seen_;
    bool result_;
};

} // namespace

class TestPreActions : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void shaders_compile_in_batches_of_ten_on_the_gui_thread_data();
    void shaders_compile_in_batches_of_ten_on_the_gui_thread();
    void engine_materials_that_are_gone_are_skipped_and_a_second_build_leaves_the_cache();
    void the_combiner_shifts_reports_and_stops_at_the_first_failure();
    void the_editor_is_stopped_during_the_build_and_restarted_after_data();
    void the_editor_is_stopped_during_the_build_and_restarted_after();
    void the_component_manager_is_flushed();

private:
    std::unique_ptr<Editor::AssetManagerPrivate> assets_;
    std::unique_ptr<EditorLogic> logic_;
};

void TestPreActions::init()
{
    assets_ = std::make_unique<Editor::AssetManagerPrivate>();
    logic_ = std::make_unique<EditorLogic>();
    depr::g.asset_manager = assets_.get();
    depr::g.editor = logic_.get();
}

void TestPreActions::cleanup()
{
    depr::clearGlobals();
    logic_.reset();
    assets_.reset();
    UpdateLock::reset();
    Installation::stop();
}

void TestPreActions::shaders_compile_in_batches_of_ten_on_the_gui_thread_data()
{
    QTest::addColumn<int>("materials");
    QTest::addColumn<int>("cancel_at");
    QTest::addColumn<Reports>("reports");
    QTest::addColumn<QList<QPair<int, int>>>("batches");
    QTest::addColumn<bool>("result");
    QTest::newRow("25 materials") << 25 << -1 << Reports{{25, 1}, {25, 11}, {25, 21}, {25, 25}}
                                  << QList<QPair<int, int>>{{0, 10}, {10, 20}, {20, 25}} << true;
    QTest::newRow("cancel at the second batch")
            << 25 << 11 << Reports{{25, 1}, {25, 11}} << QList<QPair<int, int>>{{0, 10}} << false;
    QTest::newRow("exactly ten") << 10 << -1 << Reports{{10, 1}, {10, 10}} << QList<QPair<int, int>>{{0, 10}} << true;
    QTest::newRow("no materials count one step") << 0 << -1 << Reports{{1, 1}} << QList<QPair<int, int>>{} << true;
}

void TestPreActions::shaders_compile_in_batches_of_ten_on_the_gui_thread()
{
    QFETCH(int, materials);
    QFETCH(int, cancel_at);
    BatchRecorder recorder;
    PrecompileShaders action(materials, recorder.compiler());
    QCOMPARE(action.getMaxProgress(), qMax(materials, 1));
    Reports reports;
    QTEST(runOnWorker(action, reports, cancel_at), "result");
    QTEST(reports, "reports");
    QTEST(recorder.batches, "batches");
    QVERIFY(!recorder.off_gui_thread);
}

void TestPreActions::engine_materials_that_are_gone_are_skipped_and_a_second_build_leaves_the_cache()
{
    Installation installation;
    for (int i = 0; i < 25; ++i)
        QVERIFY(installation.write(QStringLiteral("data/materials/m%1.mat").arg(i, 2, 10, QLatin1Char('0')),
                                   QStringLiteral("<material name=\"m%1\"/>\n").arg(i).toUtf8()));
    QVERIFY(installation.start());
    QCOMPARE(Velmora::Materials::loadMaterials(), 25);
    PrecompileShaders action;
    QCOMPARE(action.getMaxProgress(), 25);
    // Two materials go after the action counted them: their indexes give none.
    QVERIFY(QFile::remove(installation.dataPath() + "materials/m03.mat"));
    QVERIFY(QFile::remove(installation.dataPath() + "materials/m17.mat"));
    Velmora::FileSystem::rescan();
    QCOMPARE(Velmora::Materials::loadMaterials(), 23);

    Reports reports;
    QVERIFY(runOnWorker(action, reports));
    const QString path = installation.cachePath() + Installation::shaderCacheName();
    const QByteArray cache = Installation::read(path);
    QCOMPARE(cache.count('\n'), 23);

    // A second build finds every shader precompiled: the cache is left as
    // it is, for the build to copy.
    const QDateTime old = QDateTime::currentDateTime().addDays(-3);
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(old, QFileDevice::FileModificationTime));
    }
    PrecompileShaders again;
    QVERIFY(runOnWorker(again, reports));
    QCOMPARE(Installation::read(path), cache);
    QCOMPARE(QFileInfo(path).lastModified(), old);
}

void TestPreActions::the_combiner_shifts_reports_and_stops_at_the_first_failure()
{
    QTemporaryDir dir;
    BatchRecorder recorder;
    std::vector<std::unique_ptr<pre::Action>> actions;
    actions.push_back(std::make_unique<EditorStopper>());
    actions.push_back(std::make_unique<OutputDirRemover>(dir.path() + "/out", OutputFolderGuard()));
    actions.push_back(std::make_unique<PrecompileShaders>(25, recorder.compiler()));
    ActionCombiner combiner(std::move(actions));
    QCOMPARE(combiner.getMaxProgress(), 27);
    Reports reports;
    QVERIFY(runOnWorker(combiner, reports));
    QCOMPARE(reports, (Reports{{27, 1}, {27, 2}, {27, 3}, {27, 13}, {27, 23}, {27, 27}}));

    recorder.batches.clear();
    std::vector<std::unique_ptr<pre::Action>> failing;
    failing.push_back(std::make_unique<OutputDirRemover>("relative/out", OutputFolderGuard()));
    failing.push_back(std::make_unique<PrecompileShaders>(25, recorder.compiler()));
    ActionCombiner stopped(std::move(failing));
    QVERIFY(!runOnWorker(stopped, reports));
    QVERIFY(recorder.batches.isEmpty());
}

void TestPreActions::the_editor_is_stopped_during_the_build_and_restarted_after_data()
{
    QTest::addColumn<int>("cancel_at"); // outer report value answered false
    QTest::addColumn<bool>("later_stage_fails");
    QTest::addColumn<QString>("seen");
    QTest::newRow("success") << -1 << false << "locked inactive blocked";
    QTest::newRow("failure") << -1 << true << "locked inactive blocked";
    QTest::newRow("cancel at the stopper's report") << 20 << false << "";
}

void TestPreActions::the_editor_is_stopped_during_the_build_and_restarted_after()
{
    QFETCH(int, cancel_at);
    QFETCH(bool, later_stage_fails);
    QCOMPARE(editorState(), QStringLiteral("unlocked active emitting"));
    QString seen;
    Executor executor(std::make_unique<EditorStopper>(), std::make_unique<Probe>(seen, !later_stage_fails),
                      std::make_unique<Probe>(seen, true));
    bool result = true;
    std::unique_ptr<QThread> thread(
            QThread::create([&]() { result = executor.execute([&](int, int value) { return value != cancel_at; }); }));
    QEventLoop loop;
    connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);
    thread->start();
    loop.exec();
    QCOMPARE(result, !later_stage_fails && cancel_at < 0);
    QTEST(seen, "seen");
    QCOMPARE(editorState(), QStringLiteral("unlocked active emitting"));
}

void TestPreActions::the_component_manager_is_flushed()
{
    cs::Manager manager(nullptr, nullptr);
    CSBuilder action(&manager);
    Reports reports;
    QVERIFY(runOnWorker(action, reports));
    QCOMPARE(reports, (Reports{{1, 1}}));
    QCOMPARE(manager.calls().count("flush"), 1);
}

QTEST_GUILESS_MAIN(TestPreActions)
#include "tst_pre_actions.moc"
