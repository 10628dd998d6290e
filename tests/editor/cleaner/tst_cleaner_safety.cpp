// What keeps the Cleaner window from deleting the wrong thing, or half of
// it: a table made before a change on disk (a world saved, a source file
// added, the ignore list replaced) warns before anything is deleted; an
// asset whose removal fails stays whole and is marked in the table; an
// asset the asset manager would refuse is not listed and blocks nothing.

#include "cleaner_fixture.h"

#include <editor/cleaner/model/unused_assets_table_model.h>
#include <editor/cleaner/ui/cleaner_window.h>

#include <editor_core/WorldControls.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/AssetManagerPrivate.h>
#include <editor_core/editor/Selection.h>
#include <editor_core/tbb/Queue.h>

#include <log_capture.h>

#include <velmora/World.h>

#include <QFile>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

class CleanerSafetyTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void cleanupTestCase();
    void a_change_on_disk_after_refresh_warns_before_deleting_data();
    void a_change_on_disk_after_refresh_warns_before_deleting();
    void an_asset_that_fails_to_delete_stays_whole_and_is_marked_data();
    void an_asset_that_fails_to_delete_stays_whole_and_is_marked();
    void an_unused_asset_leading_outside_is_not_listed_and_blocks_nothing();

private:
    std::unique_ptr<cleaner::CleanerWindow> makeWindow();
    void refresh(cleaner::CleanerWindow &window);
    QStringList unusedRows(const cleaner::CleanerWindow &window) const;
    QMap<QString, QByteArray> checksums() const;
    QPushButton *button(cleaner::CleanerWindow &window, const char *name) const;
    // Asks Delete Listed and declines; returns the question.
    QString declinedDeleteListed(cleaner::CleanerWindow &window);

    QTemporaryDir dir_;
    inastest::AnalysisFixture fixture_;
    Editor::Selection selection_;
    WorldControls world_controls_;
    QString project_;
    QList<bool> answers_;
    QStringList asked_;
    QStringList told_;
};

void CleanerSafetyTest::init()
{
    project_ = dir_.path() + QStringLiteral("/") + QTest::currentTestFunction()
            + QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('_'));
    QVERIFY(cleanertest::copyFolder(cleanertest::testDataPath(QStringLiteral("project")), project_));
    QVERIFY(fixture_.start(project_ + QStringLiteral("/data")));
    depr::g.world_controls = &world_controls_;
    answers_.clear();
    asked_.clear();
    told_.clear();
}

void CleanerSafetyTest::cleanup()
{
    fixture_.assets()->setRemovalFaultForTests(nullptr);
    Velmora::World::quit();
    depr::g.world_controls = nullptr;
}

void CleanerSafetyTest::cleanupTestCase()
{
    tbb::Queue::instance()->shutdown();
    fixture_.stop();
}

std::unique_ptr<cleaner::CleanerWindow> CleanerSafetyTest::makeWindow()
{
    auto window = std::make_unique<cleaner::CleanerWindow>();
    window->setAsk([this](const QString &, const QString &text, const QString &) {
        asked_ << text;
        return answers_.isEmpty() ? true : answers_.takeFirst();
    });
    window->setTell([this](const QString &, const QString &text) { told_ << text; });
    window->show();
    return window;
}

void CleanerSafetyTest::refresh(cleaner::CleanerWindow &window)
{
    button(window, "refresh")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!window.isCollecting(), 30000);
}

QStringList CleanerSafetyTest::unusedRows(const cleaner::CleanerWindow &window) const
{
    QStringList rows;
    for (const Velmora::UGUID &guid : window.unusedModel()->assets())
        rows << fixture_.describe(guid);
    rows.sort();
    return rows;
}

QMap<QString, QByteArray> CleanerSafetyTest::checksums() const
{
    return test::folderChecksums(fixture_.dataPath(), {});
}

QPushButton *CleanerSafetyTest::button(cleaner::CleanerWindow &window, const char *name) const
{
    return window.findChild<QPushButton *>(QLatin1String(name));
}

QString CleanerSafetyTest::declinedDeleteListed(cleaner::CleanerWindow &window)
{
    const int before = asked_.size();
    answers_ << false;
    button(window, "deleteListed")->click();
    return asked_.size() == before + 1 ? asked_.last() : QStringLiteral("(no single question)");
}

void CleanerSafetyTest::a_change_on_disk_after_refresh_warns_before_deleting_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("named");
    // Each change makes a listed asset used (or protected) without the asset
    // manager hearing of it.
    QTest::newRow("world saved with a listed texture placed in it")
            << "data/worlds/level.world"
            << QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<world version=\"1\">\n"
                          "\t<texture>textures/unused.png</texture>\n</world>\n")
            << "worlds/level.world";
    QTest::newRow("source file naming a listed sound added")
            << "source/code/extra.cpp" << QByteArray("const char *s = \"unused.wav\";\n") << "/source/code";
    QTest::newRow("ignore list written") << "data/.tamsel2/.cleanerignore" << QByteArray("/sounds/*\n")
                                         << ".tamsel2/.cleanerignore";
}

void CleanerSafetyTest::a_change_on_disk_after_refresh_warns_before_deleting()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, content);
    QFETCH(QString, named);
    auto window = makeWindow();
    refresh(*window);

    // The cleaner's own deletions change nothing it read.
    window->unusedView()->selectRow(0);
    button(*window, "deleteSelected")->click();
    QTRY_COMPARE(window->unusedModel()->rowCount(), 7);
    QVERIFY2(!declinedDeleteListed(*window).startsWith(QStringLiteral("Warning")), qPrintable(asked_.last()));

    // A change on disk: both deletions warn with the stale-table reason,
    // and declining deletes nothing.
    QVERIFY(QDir().mkpath(QFileInfo(project_ + QLatin1Char('/') + file).absolutePath()));
    QFile changed(project_ + QLatin1Char('/') + file);
    QVERIFY(changed.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(changed.write(content), qint64(content.size()));
    changed.close();
    const QMap<QString, QByteArray> before = checksums();
    for (const char *name : {"deleteListed", "deleteSelected"}) {
        window->unusedView()->selectRow(0);
        answers_ << false;
        const int asked = asked_.size();
        button(*window, name)->click();
        QCOMPARE(asked_.size(), asked + 1);
        QVERIFY2(asked_.last().startsWith(QStringLiteral("Warning:"))
                         && asked_.last().contains(QStringLiteral("The project changed after the list was made"))
                         && asked_.last().contains(named),
                 qPrintable(asked_.last()));
    }
    QTest::qWait(20);
    QCOMPARE(checksums(), before);
    QCOMPARE(window->unusedModel()->rowCount(), 7);
}

void CleanerSafetyTest::an_asset_that_fails_to_delete_stays_whole_and_is_marked_data()
{
    QTest::addColumn<bool>("delete_all");
    QTest::newRow("Delete Listed") << false;
    QTest::newRow("Delete All") << true;
}

void CleanerSafetyTest::an_asset_that_fails_to_delete_stays_whole_and_is_marked()
{
    QFETCH(bool, delete_all);
    // The second file of the sound (its meta file) fails as a busy file
    // would.
    const QString sound = fixture_.dataPath() + QStringLiteral("sounds/unused.wav");
    fixture_.assets()->setRemovalFaultForTests(
            [sound](const QString &file) { return file == sound + QStringLiteral(".meta"); });
    const QMap<QString, QByteArray> before = checksums();
    auto window = makeWindow();
    if (delete_all) {
        button(*window, "deleteAll")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!window->isDeletingAll() && !window->isCollecting(), 60000);
    } else {
        refresh(*window);
        button(*window, "deleteListed")->click();
    }

    // Told, listed and marked with why; the others are gone.
    QCOMPARE(told_.size(), 1);
    QVERIFY2(told_.first().contains(QStringLiteral("1 asset(s) could not be deleted"))
                     && told_.first().contains(QStringLiteral("unused.wav: cannot delete \"") + sound
                                               + QStringLiteral(".meta\"")),
             qPrintable(told_.first()));
    QTRY_COMPARE(unusedRows(*window), QStringList{QStringLiteral("sounds/unused.wav")});
    const Velmora::UGUID guid = window->unusedModel()->guidAt(0);
    QVERIFY(window->unusedModel()->note(guid).startsWith(QStringLiteral("Not deleted: ")));
    QCOMPARE(window->unusedModel()->index(0, 0).data(Qt::ToolTipRole).toString(), window->unusedModel()->note(guid));
    QVERIFY2(window->statusText().contains(QStringLiteral("1 asset(s) could not be deleted")),
             qPrintable(window->statusText()));
    const QString screenshots = qEnvironmentVariable("VELMORA_SCREENSHOT_DIR");
    if (!screenshots.isEmpty() && !delete_all) {
        window->resize(640, 420);
        QVERIFY(window->grab().save(screenshots + QStringLiteral("/cleaner_not_deleted.png")));
    }

    // The sound is whole, on disk and in the asset manager, also after a
    // rescan: no orphan is left.
    const QMap<QString, QByteArray> after = checksums();
    for (const QString &name : {QStringLiteral("sounds/unused.wav"), QStringLiteral("sounds/unused.wav.meta")})
        QCOMPARE(after.value(name), before.value(name));
    QCOMPARE(after.keys().filter(QStringLiteral(".removing")), QStringList());
    QVERIFY(fixture_.rescan());
    QVERIFY(fixture_.assets()->hasAsset(guid));
    QCOMPARE(fixture_.assets()->filePath(guid), sound);
}

void CleanerSafetyTest::an_unused_asset_leading_outside_is_not_listed_and_blocks_nothing()
{
    // The sound's file becomes a link to a file outside the data folder.
    QTemporaryDir outside;
    const QString target = outside.path() + QStringLiteral("/precious.wav");
    const QString sound = fixture_.dataPath() + QStringLiteral("sounds/unused.wav");
    QVERIFY(QFile::copy(sound, target));
    QVERIFY(QFile::remove(sound));
    QVERIFY(QFile::link(target, sound));
    test::LogCapture log;

    auto window = makeWindow();
    refresh(*window);
    QVERIFY(!unusedRows(*window).contains(QStringLiteral("sounds/unused.wav")));
    QCOMPARE(window->unusedModel()->rowCount(), 7);
    QVERIFY2(window->statusText().contains(QStringLiteral("1 unused asset(s) are not listed")),
             qPrintable(window->statusText()));
    QVERIFY2(log.text().contains("\"sounds/unused.wav\" is not listed as unused"), qPrintable(log.text()));

    // Delete All goes to its end; the link and what it leads to stay.
    button(*window, "deleteAll")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!window->isDeletingAll() && !window->isCollecting(), 60000);
    QCOMPARE(told_, QStringList());
    QCOMPARE(window->unusedModel()->rowCount(), 0);
    QVERIFY(window->deleteAllRounds().removedTotal() >= 7);
    QVERIFY(QFileInfo(sound).isSymLink());
    QVERIFY(QFile::exists(target));
}

QTEST_MAIN(CleanerSafetyTest)
#include "tst_cleaner_safety.moc"
