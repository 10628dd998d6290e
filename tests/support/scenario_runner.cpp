#include "scenario_runner.h"

#include "asset_files.h"

#include "editor/application/application.h"
#include "editor/application/application_environment.h"
#include "editor/application/process_arguments.h"
#include "editor/presenter/presenter.h"

#include <velmora/Base.h>
#include <velmora/Console.h>
#include <velmora/Game.h>
#include <velmora/OwnNames.h>

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace test {

namespace {

ScenarioContext g_context;
QMutex g_log_mutex;
QString g_log;

void captureLog(const char *text, int /*kind*/)
{
    QMutexLocker lock(&g_log_mutex);
    g_log += QString::fromUtf8(text);
}

constexpr int START_TIMEOUT_MS = 120000;

// Marks a folder that the runner made, so that it only ever empties its own.
const char *const ROOT_MARKER = ".velmora-scenario-root";

// Prepares a fixed run folder: emptied first unless the scenario continues
// an earlier run. A folder without the runner's marker is never emptied.
bool prepareFixedRoot(const QString &root, bool keep)
{
    QDir dir(root);
    const QString marker = dir.filePath(QString::fromLatin1(ROOT_MARKER));
    if (dir.exists() && !keep) {
        if (!dir.isEmpty() && !QFileInfo::exists(marker)) {
            std::fprintf(stderr, "%s is not a scenario folder; it is left alone\n", qPrintable(root));
            return false;
        }
        if (!dir.removeRecursively())
            return false;
    }
    if (keep && !QFileInfo::exists(marker)) {
        std::fprintf(stderr, "%s holds no earlier run to continue\n", qPrintable(root));
        return false;
    }
    QFile file(marker);
    return QDir().mkpath(root) && (QFileInfo::exists(marker) || file.open(QIODevice::WriteOnly));
}

int runTestObject(QObject *object, const QStringList &qtest_arguments)
{
    if (!object)
        return 0;
    return QTest::qExec(object, qtest_arguments);
}

} // namespace

void Scenario::prepare(ProjectBuilder & /*project*/, QStringList & /*arguments*/) {}

QObject *Scenario::postShutdownChecks()
{
    return nullptr;
}

int Scenario::expectedExitCode() const
{
    return 0;
}

bool Scenario::expectsStart() const
{
    return true;
}

bool Scenario::continuesEarlierRun() const
{
    return false;
}

const ScenarioContext &context()
{
    return g_context;
}

Editor::Presenter *presenter()
{
    return g_context.application ? g_context.application->presenter() : nullptr;
}

QString settingsFilePath()
{
    return g_context.config_home + QLatin1String("/Velmora/Editor.conf");
}

QString readLog()
{
    QFile file(g_context.log_path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

QString capturedLog()
{
    QMutexLocker lock(&g_log_mutex);
    return g_log;
}

bool waitFrames(int count, int timeout_ms)
{
    const int target = Velmora::Game::getFrame() + count;
    QElapsedTimer clock;
    clock.start();
    while (Velmora::Game::getFrame() < target) {
        if (clock.elapsed() > timeout_ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

QMap<QString, QByteArray> folderChecksums(const QString &folder)
{
    // Not the editor's own: its thumbnails, and its claim on the data folder.
    QMap<QString, QByteArray> sums = folderChecksums(folder, {QStringLiteral(".thumbnails/")});
    for (auto it = sums.begin(); it != sums.end();)
        it = QFileInfo(it.key()).fileName() == QLatin1String(Velmora::OwnNames::CLAIM_FILE) ? sums.erase(it) : it + 1;
    return sums;
}

namespace {

// The scenario named by argv[1]; null (with a message) when there is none.
std::unique_ptr<Scenario> findScenario(int argc, char **argv, const ScenarioList &scenarios)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s SCENARIO [qtest arguments]\nscenarios:\n", argv[0]);
        for (const auto &entry : scenarios)
            std::fprintf(stderr, "  %s\n", qPrintable(entry.first));
        return nullptr;
    }
    const QString name = QString::fromUtf8(argv[1]);
    ScenarioFactory factory;
    for (const auto &entry : scenarios) {
        if (entry.first == name)
            factory = entry.second;
    }
    if (!factory) {
        std::fprintf(stderr, "unknown scenario \"%s\"\n", argv[1]);
        return nullptr;
    }
    return factory();
}

// Sets the run's folders in the context (a fresh temporary folder kept in
// temporary, or VELMORA_SCENARIO_ROOT); false when there is none to use.
bool prepareRunFolders(const Scenario &scenario, std::unique_ptr<QTemporaryDir> &temporary)
{
    const QString fixed_root = qEnvironmentVariable("VELMORA_SCENARIO_ROOT");
    if (fixed_root.isEmpty()) {
        const QString home = qEnvironmentVariable("VELMORA_TEST_HOME", QDir::tempPath());
        QDir().mkpath(home);
        temporary = std::make_unique<QTemporaryDir>(home + QLatin1String("/run-XXXXXX"));
        if (!temporary->isValid()) {
            std::fprintf(stderr, "cannot make a temporary folder in %s\n", qPrintable(home));
            return false;
        }
        g_context.root = temporary->path();
    } else {
        if (!prepareFixedRoot(fixed_root, scenario.continuesEarlierRun()))
            return false;
        g_context.root = QDir(fixed_root).absolutePath();
    }
    g_context.project = g_context.root + QLatin1String("/project");
    g_context.config_home = g_context.root + QLatin1String("/config");
    g_context.log_path = g_context.root + QLatin1String("/log.txt");
    QDir().mkpath(g_context.config_home);
    QDir().mkpath(g_context.root + QLatin1String("/cache"));
    qputenv("XDG_CONFIG_HOME", g_context.config_home.toUtf8());
    return true;
}

// Runs the editor with the arguments until it quits, the scenario's tests
// inside it once the presenter has started; the number of failures.
int runEditor(Scenario &scenario, Editor::ProcessArguments &app_arguments, const QStringList &qtest_arguments)
{
    int failures = 0;
    Editor::Application application(app_arguments.argc(), app_arguments.argv());
    g_context.application = &application;

    bool scenario_ran = false;
    QElapsedTimer clock;
    clock.start();
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, &application, [&] {
        Editor::Presenter *p = application.presenter();
        if (p && p->isStarted()) {
            poll.stop();
            scenario_ran = true;
            failures += runTestObject(&scenario, qtest_arguments);
            // Short widget animations a test started (the fade of a line
            // edit's clear button, 160 ms) delete themselves when they
            // end; quitting first would leave them behind as leaks.
            QTest::qWait(200);
            application.quit();
        } else if (clock.elapsed() > START_TIMEOUT_MS) {
            poll.stop();
            std::fprintf(stderr, "the editor did not start within %d ms\n", START_TIMEOUT_MS);
            ++failures;
            application.exit(3);
        }
    });
    poll.start();

    g_context.exit_code = application.exec();
    poll.stop();
    if (scenario.expectsStart() && !scenario_ran) {
        std::fprintf(stderr, "the scenario's tests did not run: the editor did not start\n");
        ++failures;
    }
    if (!scenario.expectsStart() && scenario_ran) {
        std::fprintf(stderr, "the editor started although the scenario expected it not to\n");
        ++failures;
    }
    if (g_context.exit_code != scenario.expectedExitCode()) {
        std::fprintf(stderr, "the editor exited with %d, expected %d\n", g_context.exit_code,
                     scenario.expectedExitCode());
        ++failures;
    }
    failures += runTestObject(scenario.postShutdownChecks(), qtest_arguments);
    g_context.application = nullptr;
    return failures;
}

} // namespace

int runScenarios(int argc, char **argv, const ScenarioList &scenarios)
{
    std::unique_ptr<Scenario> scenario = findScenario(argc, argv, scenarios);
    if (!scenario)
        return 2;
    QStringList qtest_arguments{QString::fromUtf8(argv[0])};
    for (int i = 2; i < argc; ++i)
        qtest_arguments << QString::fromUtf8(argv[i]);

    std::unique_ptr<QTemporaryDir> temporary;
    if (!prepareRunFolders(*scenario, temporary))
        return 2;

    Velmora::Console::addOutputCallback(new Velmora::CallbackFunction2<const char *, int>(captureLog));

    ProjectBuilder project(g_context.project);
    project.projectFile().engineData();
    g_context.data_path = project.dataPath();

    QStringList arguments{QStringLiteral("-data_path"),  project.dataPath(),
                          QStringLiteral("-fixed_ifps"), QStringLiteral("0.02"),
                          QStringLiteral("-log_path"),   g_context.log_path,
                          QStringLiteral("-cache_path"), g_context.root + QLatin1String("/cache/")};
    scenario->prepare(project, arguments);
    if (!project.ok()) {
        std::fprintf(stderr, "the scenario's project could not be written\n");
        return 2;
    }

    std::vector<QByteArray> bytes;
    bytes.push_back(QByteArray(argv[0]));
    for (const QString &argument : arguments)
        bytes.push_back(argument.toUtf8());
    std::vector<char *> pointers;
    for (QByteArray &b : bytes)
        pointers.push_back(b.data());
    Editor::ProcessArguments app_arguments(int(pointers.size()), pointers.data());

    const int failures = runEditor(*scenario, app_arguments, qtest_arguments);
    return failures == 0 ? 0 : 1;
}

} // namespace test
