#include "editor_core/core/ProgressDialog.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

class TestProgressDialog : public QObject
{
    Q_OBJECT

private slots:
    void every_way_of_cancelling_emits_once_and_keeps_the_dialog_open_data();
    void every_way_of_cancelling_emits_once_and_keeps_the_dialog_open();
    void progress_is_clamped_to_percent_data();
    void progress_is_clamped_to_percent();
};

void TestProgressDialog::every_way_of_cancelling_emits_once_and_keeps_the_dialog_open_data()
{
    QTest::addColumn<QString>("way");
    QTest::newRow("Cancel button") << "button";
    QTest::newRow("Escape key") << "escape";
    QTest::newRow("window close button") << "close";
    QTest::newRow("reject") << "reject";
}

void TestProgressDialog::every_way_of_cancelling_emits_once_and_keeps_the_dialog_open()
{
    QFETCH(QString, way);
    core::ProgressDialog dialog("Working");
    dialog.setModal(true);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.setProgress(40);
    QSignalSpy cancelled(&dialog, &core::ProgressDialog::cancelled);

    // Twice: only the first request counts.
    for (int i = 0; i < 2; ++i) {
        if (way == "button")
            QTest::mouseClick(dialog.cancelButton(), Qt::LeftButton);
        else if (way == "escape")
            QTest::keyClick(&dialog, Qt::Key_Escape);
        else if (way == "close")
            dialog.close();
        else
            dialog.reject();
    }

    QCOMPARE(cancelled.count(), 1);
    QVERIFY(dialog.isCancelled());
    QVERIFY(!dialog.cancelButton()->isEnabled());
    QVERIFY(dialog.isVisible());
    // Nothing was reset either.
    QCOMPARE(dialog.progress(), 40);
}

void TestProgressDialog::progress_is_clamped_to_percent_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("shown");
    QTest::newRow("below zero") << -5 << 0;
    QTest::newRow("zero") << 0 << 0;
    QTest::newRow("middle") << 42 << 42;
    QTest::newRow("full") << 100 << 100;
    QTest::newRow("above full") << 150 << 100;
}

void TestProgressDialog::progress_is_clamped_to_percent()
{
    QFETCH(int, value);
    QFETCH(int, shown);
    core::ProgressDialog dialog("Working");
    dialog.setProgress(value);
    QCOMPARE(dialog.progress(), shown);
}

QTEST_MAIN(TestProgressDialog)
#include "tst_progress_dialog.moc"
