#include "asset_files.h"
#include "global_assets.h"

#include <editor_core/AssetType.h>
#include <editor_core/Dialogs.h>

#include <QFileDialog>
#include <QLineEdit>
#include <QPointer>
#include <QTemporaryDir>
#include <QtTest>

class TestDialogs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void a_responder_answers_from_the_event_loop_and_only_a_living_parent();
    void the_real_folder_chooser_is_a_non_native_folder_dialog_data();
    void the_real_folder_chooser_is_a_non_native_folder_dialog();
    void enter_in_select_track_chooses_the_current_entry_data();
    void enter_in_select_track_chooses_the_current_entry();
    void cleanupTestCase();

private:
    QTemporaryDir dir_;
    test::GlobalAssets assets_;
};

void TestDialogs::initTestCase()
{
    const QString root = dir_.path() + "/data/";
    QVERIFY(test::writeAsset(root, "tracks/alpha_one.track", test::guidText('a', 101), AssetType::TRACK));
    QVERIFY(test::writeAsset(root, "tracks/alpha_two.track", test::guidText('a', 102), AssetType::TRACK));
    QVERIFY(test::writeAsset(root, "tracks/beta.track", test::guidText('a', 103), AssetType::TRACK));
    QVERIFY(test::writeAsset(root, "textures/beta.png", test::guidText('b', 201), AssetType::IMAGE));
    QVERIFY(assets_.start(root));
    QCOMPARE(assets_->getNumAssets(), 4);
}

void TestDialogs::a_responder_answers_from_the_event_loop_and_only_a_living_parent()
{
    QList<Dialogs::Request> requests;
    Dialogs::setResponder([&](const Dialogs::Request &request) {
        requests << request;
        return QStringLiteral("/tmp/build");
    });
    QStringList answers;
    QWidget parent;
    auto gone = new QWidget;
    Dialogs::openDirectory(&parent, "Select destination path", "/home", [&](const QString &path) { answers << path; });
    Dialogs::openDirectory(gone, "t", "/", [&](const QString &path) { answers << "gone " + path; });
    Dialogs::openDirectory(nullptr, "t", "/", [&](const QString &path) { answers << "no parent " + path; });
    delete gone;
    QCOMPARE(requests.size(), 3);
    QCOMPARE(int(requests.first().kind), int(Dialogs::Kind::OpenDirectory));
    QCOMPARE(requests.first().title, QStringLiteral("Select destination path"));
    QCOMPARE(requests.first().start, QStringLiteral("/home"));
    QVERIFY(answers.isEmpty());
    QTRY_COMPARE(answers, (QStringList{"/tmp/build", "no parent /tmp/build"}));
    Dialogs::setResponder({});
}

void TestDialogs::the_real_folder_chooser_is_a_non_native_folder_dialog_data()
{
    QTest::addColumn<bool>("accept");
    QTest::newRow("accepted") << true;
    QTest::newRow("cancelled") << false;
}

void TestDialogs::the_real_folder_chooser_is_a_non_native_folder_dialog()
{
    QFETCH(bool, accept);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("out"));
    QWidget parent;
    parent.show();
    QStringList answers;
    Dialogs::openDirectory(&parent, "Pick", dir.path(), [&](const QString &path) { answers << path; });
    QPointer<QFileDialog> dialog = parent.findChild<QFileDialog *>();
    QVERIFY(dialog);
    QTRY_VERIFY(dialog->isVisible());
    QVERIFY(dialog->testOption(QFileDialog::DontUseNativeDialog));
    QCOMPARE(dialog->fileMode(), QFileDialog::Directory);
    QCOMPARE(QDir(dialog->directory()).canonicalPath(), QDir(dir.path()).canonicalPath());
    if (accept) {
        dialog->selectFile(dir.path() + "/out");
        static_cast<QDialog *>(dialog.data())->accept();
    } else {
        dialog->reject();
    }
    QCOMPARE(answers.size(), 1);
    QCOMPARE(answers.first(), accept ? QDir(dir.path() + "/out").canonicalPath() : QString());
    QTRY_VERIFY(dialog.isNull());
}

void TestDialogs::enter_in_select_track_chooses_the_current_entry_data()
{
    QTest::addColumn<QString>("filter");
    // Pressed in the filter before Enter.
    QTest::addColumn<QList<int>>("keys");
    // Empty: nothing is chosen and the dialog stays open.
    QTest::addColumn<QString>("chosen");
    QTest::newRow("a filter that leaves one") << "beta" << QList<int>{} << "tracks/beta.track";
    QTest::newRow("a filter, then down") << "ALPHA" << QList<int>{Qt::Key_Down} << "tracks/alpha_two.track";
    QTest::newRow("no filter, down") << "" << QList<int>{Qt::Key_Down} << "tracks/alpha_one.track";
    QTest::newRow("down and back up") << "a" << QList<int>{Qt::Key_Down, Qt::Key_Up} << "tracks/alpha_one.track";
    QTest::newRow("a filter that leaves none") << "gamma" << QList<int>{Qt::Key_Down} << "";
}

void TestDialogs::enter_in_select_track_chooses_the_current_entry()
{
    QFETCH(QString, filter);
    QFETCH(QList<int>, keys);
    QFETCH(QString, chosen);
    QList<Velmora::UGUID> answers;
    Dialogs::browseAssetTrack([&answers](const Velmora::UGUID &guid) { answers << guid; }, Velmora::UGUID());
    QPointer<QDialog> dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
    QVERIFY(dialog);
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Select Track"));
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    QLineEdit *line = dialog->findChild<QLineEdit *>();
    QVERIFY(line);
    QTest::keyClicks(line, filter);
    for (int key : keys)
        QTest::keyClick(line, Qt::Key(key));
    QTest::keyClick(line, Qt::Key_Return);
    if (chosen.isEmpty()) {
        QVERIFY(answers.isEmpty());
        QVERIFY(dialog->isVisible());
        QTest::keyClick(line, Qt::Key_Escape);
        QCOMPARE(answers, QList<Velmora::UGUID>{Velmora::UGUID()});
    } else {
        QCOMPARE(answers, QList<Velmora::UGUID>{assets_->asset(chosen).findSRuntime().getGUID()});
        QVERIFY(!answers.first().isEmpty());
    }
    QTRY_VERIFY(dialog.isNull());
}

void TestDialogs::cleanupTestCase()
{
    // A filter's clear button fades in on an animation of Qt's that has no
    // parent and ends itself on its next tick once its dialog has gone; let it
    // have that tick (the fade lasts well under this) rather than exit with it.
    QTest::qWait(400);
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
