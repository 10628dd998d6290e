#include "log_capture.h"

#include "editor_core/editor/PluginManager.h"
#include "editor_core/editor/PluginPresenter.h"

#include <velmora/Base.h>
#include <velmora/Console.h>

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QMutex>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

using Editor::PluginManager;
using Editor::PluginSpec;

namespace {

using test::LogCapture;

void writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(data);
}

const PluginSpec *findSpec(const QVector<PluginSpec> &specs, const QString &name)
{
    for (const PluginSpec &spec : specs)
        if (spec.name == name)
            return &spec;
    return nullptr;
}

} // namespace

class TestPlugins : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void no_description_is_the_normal_case();
    void descriptions_are_read_in_name_order_with_paths_resolved();
    void broken_descriptions_are_skipped_with_a_warning_data();
    void broken_descriptions_are_skipped_with_a_warning();
    void a_missing_library_is_a_warning_and_stays_unloaded();
    void a_library_that_is_no_plugin_stays_unloaded_with_its_reason();
    void unloading_forgets_every_plugin();
    void static_calls_without_a_manager_are_harmless();
    void plugins_dialog_lists_every_description();

private:
    QTemporaryDir *dir_ = nullptr;
    PluginManager *manager_ = nullptr;
};

void TestPlugins::init()
{
    dir_ = new QTemporaryDir;
    QVERIFY(dir_->isValid());
    manager_ = new PluginManager;
}

void TestPlugins::cleanup()
{
    delete manager_;
    manager_ = nullptr;
    delete dir_;
    dir_ = nullptr;
}

void TestPlugins::no_description_is_the_normal_case()
{
    LogCapture log;
    PluginManager::loadPluginSpecs({dir_->path(), dir_->filePath("missing_folder")});
    PluginManager::loadPlugins();
    QVERIFY(PluginManager::plugins().isEmpty());
    QCOMPARE(log.count(QString(), 1), 0);
    QCOMPARE(log.count(QString(), 2), 0);
}

void TestPlugins::descriptions_are_read_in_name_order_with_paths_resolved()
{
    writeFile(dir_->filePath("b.json"), R"({"name": "Beta", "version": "1.2", "library": "libs/beta"})");
    writeFile(dir_->filePath("a.json"), R"({"name": "Alpha", "version": "0.1", "library": "/opt/alpha/libalpha.so"})");
    writeFile(dir_->filePath("readme.txt"), "not a description");

    PluginManager::loadPluginSpecs({dir_->path()});
    const QVector<PluginSpec> specs = PluginManager::plugins();
    QCOMPARE(specs.size(), 2);
    QCOMPARE(specs[0].name, QStringLiteral("Alpha"));
    QCOMPARE(specs[0].version, QStringLiteral("0.1"));
    QCOMPARE(specs[0].library_path, QStringLiteral("/opt/alpha/libalpha.so"));
    QCOMPARE(specs[1].name, QStringLiteral("Beta"));
    QCOMPARE(specs[1].library_path, dir_->filePath("libs/beta"));
    QCOMPARE(specs[1].spec_path, dir_->filePath("b.json"));
    QVERIFY(!specs[0].loaded && !specs[1].loaded);
}

void TestPlugins::broken_descriptions_are_skipped_with_a_warning_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("not JSON") << QByteArray("{\"name\": \"Broken\", ");
    QTest::newRow("an array") << QByteArray("[1, 2, 3]");
    QTest::newRow("no library") << QByteArray(R"({"name": "NoLib", "version": "1"})");
    QTest::newRow("empty name") << QByteArray(R"({"name": "", "library": "x"})");
    QTest::newRow("name not a text") << QByteArray(R"({"name": 7, "library": "x"})");
    QTest::newRow("empty file") << QByteArray();
}

void TestPlugins::broken_descriptions_are_skipped_with_a_warning()
{
    QFETCH(QByteArray, content);
    writeFile(dir_->filePath("broken.json"), content);
    writeFile(dir_->filePath("good.json"), R"({"name": "Good", "library": "libgood.so"})");

    LogCapture log;
    PluginManager::loadPluginSpecs({dir_->path()});
    QCOMPARE(log.count("PluginManager: " + dir_->filePath("broken.json") + " is not a plug-in description", 1), 1);
    const QVector<PluginSpec> specs = PluginManager::plugins();
    QCOMPARE(specs.size(), 1);
    QCOMPARE(specs[0].name, QStringLiteral("Good"));
}

void TestPlugins::a_missing_library_is_a_warning_and_stays_unloaded()
{
    writeFile(dir_->filePath("ghost.json"), R"({"name": "Ghost", "version": "3", "library": "libghost_x64.so"})");
    PluginManager::loadPluginSpecs({dir_->path()});

    LogCapture log;
    PluginManager::loadPlugins();
    QCOMPARE(log.count("PluginManager: the library of plug-in \"Ghost\" is missing", 1), 1);
    const QVector<PluginSpec> all_specs = PluginManager::plugins();
    const PluginSpec *spec = findSpec(all_specs, "Ghost");
    QVERIFY(spec);
    QVERIFY(!spec->loaded);
    QVERIFY(!spec->error.isEmpty());
    QVERIFY(!PluginManager::pluginInstance("Ghost"));
}

void TestPlugins::a_library_that_is_no_plugin_stays_unloaded_with_its_reason()
{
    writeFile(dir_->filePath("libbroken.so"), "this is not an ELF file");
    writeFile(dir_->filePath("broken.json"), R"({"name": "Broken", "library": "libbroken.so"})");
    PluginManager::loadPluginSpecs({dir_->path()});

    LogCapture log;
    PluginManager::loadPlugins();
    QCOMPARE(log.count("PluginManager: plug-in \"Broken\" cannot be loaded", 1), 1);
    const QVector<PluginSpec> all_specs = PluginManager::plugins();
    const PluginSpec *spec = findSpec(all_specs, "Broken");
    QVERIFY(spec);
    QVERIFY(!spec->loaded);
    QVERIFY(!spec->error.isEmpty());
}

void TestPlugins::unloading_forgets_every_plugin()
{
    writeFile(dir_->filePath("a.json"), R"({"name": "A", "library": "liba.so"})");
    PluginManager::loadPluginSpecs({dir_->path()});
    PluginManager::loadPlugins();
    QCOMPARE(PluginManager::plugins().size(), 1);
    PluginManager::unloadPlugins();
    QVERIFY(PluginManager::plugins().isEmpty());
    // Reading the same folder again gives the same single description.
    PluginManager::loadPluginSpecs({dir_->path()});
    QCOMPARE(PluginManager::plugins().size(), 1);
}

void TestPlugins::static_calls_without_a_manager_are_harmless()
{
    delete manager_;
    manager_ = nullptr;
    LogCapture log;
    PluginManager::loadPluginSpecs({dir_->path()});
    PluginManager::loadPlugins();
    PluginManager::unloadPlugins();
    QVERIFY(PluginManager::plugins().isEmpty());
    QVERIFY(!PluginManager::instance());
    QCOMPARE(log.count("there is no plug-in manager"), 2);
}

void TestPlugins::plugins_dialog_lists_every_description()
{
    QWidget main;
    Editor::PluginPresenter presenter(&main);
    presenter.showPluginsDialog();
    QDialog *dialog = presenter.dialog();
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    auto *tree = dialog->findChild<QTreeWidget *>("plugins");
    QCOMPARE(tree->topLevelItemCount(), 0);
    QVERIFY(!dialog->findChild<QLabel *>("empty")->isHidden());

    writeFile(dir_->filePath("a.json"), R"({"name": "A", "version": "1.0", "library": "liba.so"})");
    writeFile(dir_->filePath("b.json"), R"({"name": "B", "version": "2.0", "library": "libb.so"})");
    PluginManager::loadPluginSpecs({dir_->path()});
    PluginManager::loadPlugins();

    // Showing it again refreshes the same dialog.
    presenter.showPluginsDialog();
    QCOMPARE(presenter.dialog(), dialog);
    QCOMPARE(tree->topLevelItemCount(), 2);
    QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("A"));
    QCOMPARE(tree->topLevelItem(1)->text(1), QStringLiteral("2.0"));
    QCOMPARE(tree->topLevelItem(1)->text(3), QStringLiteral("library not found"));
    QVERIFY(dialog->findChild<QLabel *>("empty")->isHidden());
}

QTEST_MAIN(TestPlugins)
#include "tst_plugins.moc"
