#pragma once

#include "project_builder.h"

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace Editor {
class Application;
class Presenter;
} // namespace Editor

namespace test {

// One end-to-end run of the editor inside the test process. The runner
// prepares a project, starts Editor::Application on it, waits until the
// presenter has started, runs this object's test slots (QTest::qExec, frames
// keep running while QTRY_* waits), quits, and after the event loop has
// returned runs the object that postShutdownChecks() gives.
class Scenario : public QObject
{
    Q_OBJECT

public:
    // Fills the project (the runner has already written a project file and
    // the engine data) and adds editor arguments.
    virtual void prepare(ProjectBuilder &project, QStringList &arguments);
    // Test object run after the editor has shut down; may be null.
    virtual QObject *postShutdownChecks();
    // Exit code the editor's event loop must return.
    virtual int expectedExitCode() const;
    // False for scenarios whose editor never finishes starting.
    virtual bool expectsStart() const;
    // True for the later run of a restart: with VELMORA_SCENARIO_ROOT set,
    // the run keeps the folder (project, settings, log) that an earlier
    // scenario process left there instead of starting from an empty one.
    virtual bool continuesEarlierRun() const;
};

using ScenarioFactory = std::function<std::unique_ptr<Scenario>()>;
using ScenarioList = std::vector<std::pair<QString, ScenarioFactory>>;

// What a scenario can reach of the run.
struct ScenarioContext
{
    QString root; // temporary folder of the run
    QString project; // project folder
    QString data_path; // data folder, ending with "/"
    QString log_path; // engine log file
    QString config_home; // XDG_CONFIG_HOME of the run
    int exit_code = -1; // event loop result, after shutdown
    Editor::Application *application = nullptr;
};

const ScenarioContext &context();
Editor::Presenter *presenter();
// The settings file of the run ($XDG_CONFIG_HOME/Velmora/Editor.conf).
QString settingsFilePath();
// The whole engine log file as text.
QString readLog();

// Everything the engine log and console printed since the runner started
// (captured through a console output callback of the runner's own).
QString capturedLog();
// Waits until the engine has run count more frames; false on timeout.
bool waitFrames(int count, int timeout_ms = 30000);
// Path -> SHA-1 of every file under folder (".thumbnails" left out: world
// previews are the editor's own output).
QMap<QString, QByteArray> folderChecksums(const QString &folder);

// Runs the scenario named by argv[1]; the remaining arguments go to QTest.
// The run's folder is a fresh temporary one, or VELMORA_SCENARIO_ROOT when
// that is set (so that two scenario processes can make one restart).
int runScenarios(int argc, char **argv, const ScenarioList &scenarios);

} // namespace test
