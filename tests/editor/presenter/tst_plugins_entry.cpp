#include "editor/presenter/presenter.h"
#include "log_capture.h"
#include "window_system.h"

#include <editor_core/Constants.h>
#include <editor_core/MainMenu.h>
#include <editor_core/editor/PluginManager.h>
#include <editor_core/editor/PluginPresenter.h>

#include <velmora/Base.h>
#include <velmora/Console.h>

#include <QAction>
#include <QDialog>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

class tst_PluginsEntry : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void plugins_entry_ends_the_help_menu_and_opens_the_dialog();
    void without_help_menu_there_is_a_soft_assertion_and_no_entry();

private:
    test::LogCapture log_;
};

void tst_PluginsEntry::initTestCase()
{
    test::isolateSettings();
}

void tst_PluginsEntry::plugins_entry_ends_the_help_menu_and_opens_the_dialog()
{
    Editor::PluginManager manager;
    QWidget window;
    MainMenu menu(&window);
    Editor::PluginPresenter plugins(&window);
    QObject owner;

    QAction *entry = Editor::Presenter::addPluginsEntry(&menu, &plugins, &owner);
    QVERIFY(entry);
    QCOMPARE(entry->text(), QStringLiteral("Plugins"));
    QCOMPARE(entry->parent(), &owner);
    QMenu *help = menu.findMenu(QString::fromLatin1(Constants::MM_HELP));
    QCOMPARE(help->actions().last(), entry);

    QVERIFY(!plugins.dialog());
    entry->trigger();
    QVERIFY(plugins.dialog());
    QTRY_VERIFY(plugins.dialog()->isVisible());
}

void tst_PluginsEntry::without_help_menu_there_is_a_soft_assertion_and_no_entry()
{
    QMenuBar bar;
    bar.addMenu(QStringLiteral("File"))->setObjectName(QString::fromLatin1(Constants::MM_FILE));
    Editor::PluginPresenter plugins;
    QObject owner;
    log_.clear();

    QCOMPARE(Editor::Presenter::addPluginsEntry(&bar, &plugins, &owner), nullptr);
    QCOMPARE(log_.text(), QStringLiteral("SOFT ASSERT: \"menu\" in file lib/editor/presenter/Presenter, line 1089\n"));
    QVERIFY(owner.findChildren<QAction *>().isEmpty());
}

QTEST_MAIN(tst_PluginsEntry)
#include "tst_plugins_entry.moc"
