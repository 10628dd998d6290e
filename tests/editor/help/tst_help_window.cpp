#include "editor/help/help_window.h"
#include "window_system.h"

#include <editor_core/CheckBox.h>
#include <editor_core/EditorControls.h>
#include <editor_core/EditorSettings.h>
#include <editor_core/core/UrlOpener.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/WindowManager.h>
#include <editor_core/editor/WindowManagerPrivate.h>

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <memory>

class tst_HelpWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void window_has_four_picture_buttons_and_the_start_up_check_box();
    void button_opens_its_page_on_press_data();
    void button_opens_its_page_on_press();
    void window_opens_at_start_up_unless_the_user_said_no();
    void start_up_opening_happens_once_and_never_over_a_visible_window();
    void window_is_centred_once_and_keeps_the_place_the_user_gave_it();

private:
    ConfigEntry showAtStartup() const { return depr::g.settings->windows().show_help_at_startup; }

    std::unique_ptr<EditorSettings> settings_;
    std::unique_ptr<Editor::WindowManager> window_manager_;
    QStringList opened_;
};

void tst_HelpWindow::initTestCase()
{
    test::isolateSettings();
    core::setUrlOpener([this](const QUrl &url) {
        opened_ << url.toString();
        return true;
    });
}

void tst_HelpWindow::init()
{
    settings_ = std::make_unique<EditorSettings>();
    depr::g.settings = settings_.get();
    showAtStartup().file->remove(showAtStartup().key);
    window_manager_ = std::make_unique<Editor::WindowManager>();
    opened_.clear();
}

void tst_HelpWindow::cleanup()
{
    window_manager_.reset();
    depr::g.settings = nullptr;
    settings_.reset();
}

void tst_HelpWindow::window_has_four_picture_buttons_and_the_start_up_check_box()
{
    HelpWindow help;
    auto grid = qobject_cast<QGridLayout *>(help.layout());
    QVERIFY(grid);
    const QStringList titles{"GETTING STARTED", "VIDEO TUTORIALS", "ONLINE DOCS", "FORUM"};
    QCOMPARE(help.buttons().size(), titles.size());
    for (int column = 0; column < titles.size(); ++column) {
        QPushButton *button = help.buttons().at(column);
        QCOMPARE(grid->itemAtPosition(0, column)->widget(), button);
        const QList<QLabel *> labels = button->findChildren<QLabel *>();
        QCOMPARE(labels.size(), 2);
        QCOMPARE(labels.at(0)->text(), titles.at(column));
    }
    CheckBox *check = help.showAtStartupCheckBox();
    QCOMPARE(check->text(), QStringLiteral("Show this at startup"));
    int row = -1, column = -1, row_span = 0, column_span = 0;
    grid->getItemPosition(grid->indexOf(check), &row, &column, &row_span, &column_span);
    QCOMPARE(QVector<int>({row, column, row_span, column_span}), QVector<int>({1, 0, 1, 4}));

    // Every description fits the picture below its title.
    help.show();
    QVERIFY(QTest::qWaitForWindowExposed(&help));
    for (QPushButton *button : help.buttons()) {
        QVERIFY(button->width() >= 220 && button->height() >= 320);
        QLabel *description = button->findChildren<QLabel *>().at(1);
        QVERIFY2(description->geometry().top() >= 180, qPrintable(description->text()));
        QVERIFY2(description->height() >= description->heightForWidth(description->width()),
                 qPrintable(description->text()));
        QVERIFY2(description->geometry().bottom() < button->height(), qPrintable(description->text()));
    }
}

void tst_HelpWindow::button_opens_its_page_on_press_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("url");
    QTest::newRow("getting started") << 0 << EditorControls::GETTING_STARTED_URL;
    QTest::newRow("video tutorials") << 1 << EditorControls::VIDEO_TUTORIALS_URL;
    QTest::newRow("online docs") << 2 << EditorControls::DOCUMENTATION_URL;
    QTest::newRow("forum") << 3 << EditorControls::FORUMS_URL;
}

void tst_HelpWindow::button_opens_its_page_on_press()
{
    QFETCH(int, index);
    QFETCH(QString, url);
    HelpWindow help;
    help.show();
    QVERIFY(QTest::qWaitForWindowExposed(&help));
    QPushButton *button = help.buttons().at(index);
    QTest::mousePress(button, Qt::LeftButton);
    QCOMPARE(opened_, QStringList{url});
    QTest::mouseRelease(button, Qt::LeftButton);
    QCOMPARE(opened_, QStringList{url});
}

void tst_HelpWindow::window_opens_at_start_up_unless_the_user_said_no()
{
    QSignalSpy open_help(depr::g.window_manager, &Editor::WindowManagerPrivate::openHelp);
    {
        HelpWindow help;
        QVERIFY(help.showAtStartupCheckBox()->isChecked());
        help.showOnStartupIfEnabled();
        QCOMPARE(open_help.count(), 1);

        help.showAtStartupCheckBox()->setChecked(false);
        QVERIFY(showAtStartup().exists());
        QCOMPARE(showAtStartup().file->getBool(showAtStartup().key, true), false);
    }
    HelpWindow next_start;
    QVERIFY(!next_start.showAtStartupCheckBox()->isChecked());
    next_start.showOnStartupIfEnabled();
    QCOMPARE(open_help.count(), 1);

    next_start.showAtStartupCheckBox()->setChecked(true);
    QCOMPARE(showAtStartup().file->getBool(showAtStartup().key, false), true);
}

void tst_HelpWindow::start_up_opening_happens_once_and_never_over_a_visible_window()
{
    QSignalSpy open_help(depr::g.window_manager, &Editor::WindowManagerPrivate::openHelp);
    HelpWindow help;
    help.showOnStartupIfEnabled();
    help.showOnStartupIfEnabled();
    QCOMPARE(open_help.count(), 1);

    HelpWindow visible;
    visible.show();
    visible.showOnStartupIfEnabled();
    QCOMPARE(open_help.count(), 1);
}

void tst_HelpWindow::window_is_centred_once_and_keeps_the_place_the_user_gave_it()
{
    HelpWindow help;
    help.show();
    QVERIFY(QTest::qWaitForWindowExposed(&help));
    const QPoint centred = help.pos();
    help.move(centred + QPoint(-37, 23));
    const QPoint moved = help.pos();
    QVERIFY(moved != centred);
    help.hide();
    help.show();
    QCOMPARE(help.pos(), moved);
}

QTEST_MAIN(tst_HelpWindow)
#include "tst_help_window.moc"
