#include "scenario_runner.h"

#include "editor/console/console_widget.h"

#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/AssetManagerPrivate.h>

#include <velmora/Console.h>
#include <velmora/World.h>

#include <QDir>
#include <QPlainTextEdit>
#include <QTest>

namespace {

// The data folder is the same after the editor ran as before it started.
class NothingChanged : public QObject
{
    Q_OBJECT

public:
    QString folder;
    QMap<QString, QByteArray> before;

private slots:
    void no_file_of_the_data_folder_changed()
    {
        const QMap<QString, QByteArray> after = test::folderChecksums(folder);
        QCOMPARE(after.keys(), before.keys());
        QVERIFY(after == before);
    }
};

// A scenario whose editor must start on bad input, say what is wrong and
// leave the data folder untouched.
class BadInput : public test::Scenario
{
    Q_OBJECT

public:
    // Log texts that must appear, each naming the problem.
    QStringList expected_log;

    QObject *postShutdownChecks() override { return &unchanged_; }

protected:
    void remember(const QString &folder)
    {
        unchanged_.folder = folder;
        unchanged_.before = test::folderChecksums(folder);
    }

private slots:
    void editor_runs_frames()
    {
        QVERIFY(depr::g.asset_manager);
        QVERIFY(test::waitFrames(5));
    }

    void log_says_what_is_wrong()
    {
        for (const QString &text : qAsConst(expected_log))
            QTRY_VERIFY2(test::capturedLog().contains(text),
                         qPrintable(text + "\n--- log ---\n" + test::capturedLog()));
    }

private:
    NothingChanged unchanged_;
};

class MissingDataFolder : public BadInput
{
    Q_OBJECT

public:
    void prepare(test::ProjectBuilder &project, QStringList &arguments) override
    {
        const QString missing = project.root() + QLatin1String("/no_such_data/");
        arguments[arguments.indexOf(QStringLiteral("-data_path")) + 1] = missing;
        expected_log << QStringLiteral("no_such_data");
        remember(project.root());
    }
};

class EmptyDataFolder : public BadInput
{
    Q_OBJECT

public:
    void prepare(test::ProjectBuilder &project, QStringList &arguments) override
    {
        const QString empty = project.root() + QLatin1String("/empty_data/");
        QDir().mkpath(empty);
        arguments[arguments.indexOf(QStringLiteral("-data_path")) + 1] = empty;
        expected_log << QStringLiteral("tamsel2/editor.usc");
        remember(project.root());
    }
};

class ProjectNotJson : public BadInput
{
    Q_OBJECT

public:
    void prepare(test::ProjectBuilder &project, QStringList &) override
    {
        project.rawProjectFile(QStringLiteral("test"), "this is { not json");
        expected_log << QStringLiteral("test.project");
        remember(project.root());
    }
};

class WorldNotXml : public BadInput
{
    Q_OBJECT

public:
    void prepare(test::ProjectBuilder &project, QStringList &arguments) override
    {
        project.asset(QStringLiteral("worlds/broken.world"), "this is not a world\n", QStringLiteral("{a401}"), 18);
        arguments << QStringLiteral("-console_command") << QStringLiteral("world_load \"worlds/broken\"");
        expected_log << QStringLiteral("worlds/broken.world");
        remember(project.dataPath());
    }

private slots:
    void no_world_is_loaded() { QVERIFY(!Velmora::World::isLoaded()); }
};

class BrokenMetaGuid : public BadInput
{
    Q_OBJECT

public:
    void prepare(test::ProjectBuilder &project, QStringList &) override
    {
        project.file(QStringLiteral("textures/broken.png"), "not really a png");
        project.rawMeta(
                QStringLiteral("textures/broken.png"),
                "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<asset version=\"1\" guid=\"not-a-guid\" type=\"6\"/>\n");
        project.asset(QStringLiteral("textures/good.png"), "also not a png", QStringLiteral("{a402}"));
        expected_log << QStringLiteral("textures/broken.png");
        remember(project.dataPath());
    }

private slots:
    void the_good_asset_is_still_known()
    {
        const Velmora::UGUID good(test::ProjectBuilder::expandGuids(QStringLiteral("{a402}")).toLatin1().constData());
        QTRY_VERIFY(depr::g.asset_manager->hasAsset(good));
    }
};

// A world copied together with its meta file: both files claim one GUID.
class CopiedWorld : public BadInput
{
    Q_OBJECT

public:
    void prepare(test::ProjectBuilder &project, QStringList &) override
    {
        const QByteArray world = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<world version=\"1\">\n</world>\n";
        project.asset(QStringLiteral("worlds/level1.world"), world, QStringLiteral("{a405}"), 18);
        project.asset(QStringLiteral("worlds/copy of level1.world"), world, QStringLiteral("{a405}"), 18);
        expected_log << QStringLiteral(
                "\"worlds/copy of level1.world\" and \"worlds/level1.world\" have the same GUID");
        remember(project.dataPath());
    }

private slots:
    void the_console_shows_both_files()
    {
        QTRY_VERIFY(depr::gui.console->outputView()->toPlainText().contains(
                QStringLiteral("\"worlds/copy of level1.world\" and \"worlds/level1.world\" have the same GUID")));
        QCOMPARE(depr::g.asset_manager->duplicates().size(), 1);
    }
};

} // namespace

int main(int argc, char **argv)
{
    return test::runScenarios(argc, argv,
                              {
                                      {"missing_data_folder", [] { return std::make_unique<MissingDataFolder>(); }},
                                      {"empty_data_folder", [] { return std::make_unique<EmptyDataFolder>(); }},
                                      {"project_not_json", [] { return std::make_unique<ProjectNotJson>(); }},
                                      {"world_not_xml", [] { return std::make_unique<WorldNotXml>(); }},
                                      {"broken_meta_guid", [] { return std::make_unique<BrokenMetaGuid>(); }},
                                      {"copied_world", [] { return std::make_unique<CopiedWorld>(); }},
                              });
}

#include "tst_bad_input.moc"
