// The asset cleaner in the running editor on a copy of the sample project:
// Tools > Cleaner, Refresh, then deleting one asset, the listed ones and all
// of them (through the real confirmation boxes), until nothing unused is
// left; a world that appears after Refresh is named before a deletion. Only
// the removed assets' files leave the data folder, and they leave the asset
// browser too.

#include "asset_files.h"
#include "message_boxes.h"
#include "scenario_runner.h"

#include "editor/cleaner/model/unused_assets_table_model.h"
#include "editor/cleaner/ui/cleaner_window.h"

#include <editor_core/as/Browser.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/AssetManagerPrivate.h>
#include <editor_core/editor/WindowManagerPrivate.h>

#include <velmora/World.h>

#include <QDirIterator>
#include <QFile>
#include <QPushButton>
#include <QTableView>
#include <QTest>

namespace {

cleaner::CleanerWindow *cleanerWindow()
{
    return depr::gui.cleaner;
}

QString sampleData()
{
    return qEnvironmentVariable("VELMORA_SOURCE_DIR") + QStringLiteral("/examples/sample_project/data/");
}

QStringList unusedPaths()
{
    QStringList paths;
    Editor::AssetManagerPrivate *assets = depr::g.asset_manager;
    for (const Velmora::UGUID &guid : cleanerWindow()->unusedModel()->assets())
        paths << QDir(test::context().data_path).relativeFilePath(assets->filePath(guid));
    return paths;
}

void click(const char *name)
{
    cleanerWindow()->findChild<QPushButton *>(QLatin1String(name))->click();
}

bool waitIdle()
{
    QTest::qWait(0);
    return QTest::qWaitFor([] { return !cleanerWindow()->isCollecting() && !cleanerWindow()->isDeletingAll(); }, 60000);
}

// Files that left the folder, and any that changed or came.
QStringList difference(const QMap<QString, QByteArray> &before, const QMap<QString, QByteArray> &after)
{
    QStringList lines;
    for (auto it = before.constBegin(); it != before.constEnd(); ++it) {
        if (!after.contains(it.key()))
            lines << it.key();
        else if (after.value(it.key()) != it.value())
            lines << QStringLiteral("changed: ") + it.key();
    }
    for (auto it = after.constBegin(); it != after.constEnd(); ++it) {
        if (!before.contains(it.key()))
            lines << QStringLiteral("added: ") + it.key();
    }
    lines.sort();
    return lines;
}

QStringList filesOf(QStringList paths)
{
    QStringList files;
    for (const QString &path : paths)
        files << path << path + QStringLiteral(".meta");
    files.sort();
    return files;
}

class CleanSample : public test::Scenario
{
    Q_OBJECT

public:
    void prepare(test::ProjectBuilder &project, QStringList &arguments) override
    {
        QDirIterator it(sampleData(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            project.file(QDir(sampleData()).relativeFilePath(path), file.readAll());
        }
        QVERIFY(project.ok());
        arguments << QStringLiteral("-console_command") << QStringLiteral("world_load \"worlds/courtyard\"");
    }

private slots:
    void tools_cleaner_refresh_and_delete_until_nothing_is_left()
    {
        QTRY_VERIFY(Velmora::World::isLoaded());
        Editor::AssetManagerPrivate *assets = depr::g.asset_manager;
        as::Browser *browser = depr::gui.asset_browser;
        const QString data = test::context().data_path;
        const QStringList skipped{QStringLiteral(".tamsel2/"), QStringLiteral("core/"), QStringLiteral("tamsel2/")};
        const QMap<QString, QByteArray> before = test::folderChecksums(data, skipped);

        emit depr::g.window_manager->toggleCleaner();
        QTRY_VERIFY(cleanerWindow()->isVisible());
        click("refresh");
        QVERIFY(waitIdle());
        // By type name ("Material" before "Mesh").
        QCOMPARE(unusedPaths(), QStringList({"materials/props/crate_old.mat", "meshes/barrel.mesh"}));
        const Velmora::UGUID crate_old = cleanerWindow()->unusedModel()->guidAt(0);
        const Velmora::UGUID barrel = cleanerWindow()->unusedModel()->guidAt(1);
        QVERIFY(browser->findItem(barrel));

        {
            // A world written after Refresh (a copy, a pull) that places the
            // mesh: the question names it, and declining keeps the mesh.
            test::MessageBoxes boxes;
            QVERIFY(test::writeFile(data + QStringLiteral("worlds/added.world"),
                                    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<world version=\"1\">\n"
                                    "\t<node type=\"ObjectMesh\" id=\"1\" name=\"barrel\">"
                                    "<mesh>meshes/barrel.mesh</mesh></node>\n</world>\n"));
            cleanerWindow()->unusedView()->selectRow(1);
            boxes.answer(QMessageBox::Cancel);
            click("deleteSelected");
            QCOMPARE(boxes.boxes().size(), 1);
            QVERIFY2(boxes.boxes().first().text.contains(QLatin1String("Changed: \"worlds/added.world\"")),
                     qPrintable(boxes.boxes().first().text));
            QVERIFY(QFile::exists(data + QStringLiteral("meshes/barrel.mesh")));
            QVERIFY(QFile::remove(data + QStringLiteral("worlds/added.world")));
        }

        test::MessageBoxes boxes;
        // Delete Selected, declined, then accepted.
        cleanerWindow()->unusedView()->selectRow(1);
        boxes.answer(QMessageBox::Cancel);
        click("deleteSelected");
        QCOMPARE(boxes.titles(), QStringList{"Delete Assets"});
        QVERIFY(QFile::exists(data + QStringLiteral("meshes/barrel.mesh")));
        cleanerWindow()->unusedView()->selectRow(1);
        boxes.answer(QMessageBox::Yes);
        click("deleteSelected");
        QTRY_COMPARE(unusedPaths(), QStringList({"materials/props/crate_old.mat"}));
        QVERIFY(!QFile::exists(data + QStringLiteral("meshes/barrel.mesh")));
        QTRY_VERIFY(!browser->findItem(barrel));

        // Delete Listed.
        boxes.answer(QMessageBox::Yes);
        click("deleteListed");
        QTRY_COMPARE(cleanerWindow()->unusedModel()->rowCount(), 0);
        QVERIFY(assets->asset(crate_old).isNull());
        QTRY_VERIFY(!browser->findItem(crate_old));

        // Delete All: rounds until a collection finds nothing.
        QStringList removed{QStringLiteral("meshes/barrel.mesh"), QStringLiteral("materials/props/crate_old.mat")};
        QHash<Velmora::UGUID, QString> paths;
        for (const as::Asset &asset : assets->assets())
            paths.insert(asset.getGUID(), QDir(data).relativeFilePath(assets->filePath(asset)));
        connect(assets, &Editor::AssetManagerPrivate::removed, this,
                [&](const Velmora::UGUID &guid) { removed << paths.value(guid); });
        boxes.answer(QMessageBox::Yes);
        click("deleteAll");
        QVERIFY(waitIdle());
        disconnect(assets, &Editor::AssetManagerPrivate::removed, this, nullptr);
        QCOMPARE(boxes.boxes().size(), 4); // no message about a stopped run
        QCOMPARE(cleanerWindow()->unusedModel()->rowCount(), 0);
        click("refresh");
        QVERIFY(waitIdle());
        QCOMPARE(cleanerWindow()->unusedModel()->rowCount(), 0);

        QCOMPARE(difference(before, test::folderChecksums(data, skipped)), filesOf(removed));
        for (const QString &path : removed)
            QVERIFY2(assets->asset(data + path).isNull(), qPrintable(path));
        const QString folder = qEnvironmentVariable("VELMORA_SCREENSHOT_DIR");
        if (!folder.isEmpty())
            QVERIFY(cleanerWindow()->grab().save(folder + QStringLiteral("/editor_cleaner.png")));
    }
};

} // namespace

int main(int argc, char **argv)
{
    return test::runScenarios(argc, argv, {{"clean_sample", [] { return std::make_unique<CleanSample>(); }}});
}

#include "tst_cleaner.moc"
