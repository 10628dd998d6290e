#include <editor_core/Dialogs.h>

#include <QFileDialog>
#include <QPointer>
#include <QTemporaryDir>
#include <QtTest>

class TestDialogs : public QObject
{
    Q_OBJECT

private slots:
    void a_responder_answers_from_the_event_loop_and_only_a_living_parent();
    void the_real_folder_chooser_is_a_non_native_folder_dialog_data();
    void the_real_folder_chooser_is_a_non_native_folder_dialog();
};

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

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
