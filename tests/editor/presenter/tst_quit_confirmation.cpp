#include "editor/presenter/quit_confirmation.h"

#include <QTest>

using Answer = Editor::QuitConfirmation::Answer;
Q_DECLARE_METATYPE(Answer)

class tst_QuitConfirmation : public QObject
{
    Q_OBJECT

private slots:
    void unsaved_changes_are_saved_discarded_or_kept_as_answered_data();
    void unsaved_changes_are_saved_discarded_or_kept_as_answered();
    void a_running_job_is_cancelled_only_once_every_question_is_answered_data();
    void a_running_job_is_cancelled_only_once_every_question_is_answered();
    void settings_that_cannot_be_saved_keep_the_editor_open_unless_the_user_quits_anyway_data();
    void settings_that_cannot_be_saved_keep_the_editor_open_unless_the_user_quits_anyway();
};

void tst_QuitConfirmation::unsaved_changes_are_saved_discarded_or_kept_as_answered_data()
{
    QTest::addColumn<bool>("dirty");
    QTest::addColumn<Answer>("answer");
    // What the save does: writes the world, runs but leaves it unsaved (the
    // engine could not write), or does not run.
    QTest::addColumn<QString>("save");
    QTest::addColumn<bool>("may_quit");
    QTest::addColumn<int>("questions");
    QTest::addColumn<int>("saves");
    QTest::addColumn<int>("failures_told");

    QTest::newRow("saved world quits unasked") << false << Answer::Cancel << "writes" << true << 0 << 0 << 0;
    QTest::newRow("discard quits unsaved") << true << Answer::Discard << "writes" << true << 1 << 0 << 0;
    QTest::newRow("cancel stays") << true << Answer::Cancel << "writes" << false << 1 << 0 << 0;
    QTest::newRow("save then quit") << true << Answer::Save << "writes" << true << 1 << 1 << 0;
    QTest::newRow("save not written stays and tells") << true << Answer::Save << "not written" << false << 1 << 1 << 1;
    QTest::newRow("save refused stays and tells") << true << Answer::Save << "refused" << false << 1 << 1 << 1;
}

void tst_QuitConfirmation::unsaved_changes_are_saved_discarded_or_kept_as_answered()
{
    QFETCH(bool, dirty);
    QFETCH(Answer, answer);
    QFETCH(QString, save);
    QFETCH(bool, may_quit);
    QFETCH(int, questions);
    QFETCH(int, saves);
    QFETCH(int, failures_told);

    int asked = 0;
    int saved = 0;
    int told = 0;
    QString named;
    Editor::QuitConfirmation::World world;
    world.has_unsaved_changes = [&] { return dirty; };
    world.name = [] { return QStringLiteral("worlds/a.world"); };
    world.save = [&](QString *reason) {
        ++saved;
        if (save == QLatin1String("writes"))
            dirty = false;
        if (save == QLatin1String("refused"))
            *reason = QStringLiteral("the name is a symbolic link that leads nowhere");
        return save != QLatin1String("refused");
    };
    const Editor::QuitConfirmation confirmation(
            world,
            [&](const QString &name) {
                ++asked;
                named = name;
                return answer;
            },
            [&](const QString &name, const QString &reason) {
                ++told;
                QCOMPARE(name, QStringLiteral("worlds/a.world"));
                // A refusal comes with its reason.
                QCOMPARE(reason.isEmpty(), save != QLatin1String("refused"));
            });

    QCOMPARE(confirmation.mayQuit(), may_quit);
    QCOMPARE(asked, questions);
    QCOMPARE(saved, saves);
    QCOMPARE(told, failures_told);
    if (asked > 0)
        QCOMPARE(named, QStringLiteral("worlds/a.world"));
}

void tst_QuitConfirmation::a_running_job_is_cancelled_only_once_every_question_is_answered_data()
{
    QTest::addColumn<bool>("agree");
    QTest::addColumn<Answer>("world_answer");
    QTest::addColumn<bool>("world_written");
    QTest::addColumn<bool>("settings_written");
    QTest::addColumn<bool>("quit_without_settings");
    QTest::addColumn<bool>("may_quit");
    // What happened, in order.
    QTest::addColumn<QString>("events");

    QTest::newRow("no: nothing else is asked") << false << Answer::Discard << true << true << false << false << "job?";
    QTest::newRow("yes, then cancel: the job goes on")
            << true << Answer::Cancel << true << true << false << false << "job? world?";
    QTest::newRow("yes, discard") << true << Answer::Discard << true << true << false << true
                                  << "job? world? settings cancel";
    QTest::newRow("yes, save: saved after the cancel")
            << true << Answer::Save << true << true << false << true << "job? world? settings cancel save";
    QTest::newRow("yes, save fails: stays, told")
            << true << Answer::Save << false << true << false << false << "job? world? settings cancel save told";
    QTest::newRow("yes, settings not saved, stay: the job goes on")
            << true << Answer::Save << true << false << false << false << "job? world? settings settings?";
    QTest::newRow("yes, settings not saved, quit anyway")
            << true << Answer::Save << true << false << true << true << "job? world? settings settings? cancel save";
}

void tst_QuitConfirmation::a_running_job_is_cancelled_only_once_every_question_is_answered()
{
    QFETCH(bool, agree);
    QFETCH(Answer, world_answer);
    QFETCH(bool, world_written);
    QFETCH(bool, settings_written);
    QFETCH(bool, quit_without_settings);
    QFETCH(bool, may_quit);
    QFETCH(QString, events);

    bool running = true;
    bool dirty = true;
    QStringList seen;
    Editor::QuitConfirmation::World world;
    world.has_unsaved_changes = [&] { return dirty; };
    world.save = [&](QString *) {
        // The world is saved as the cancelled job left it.
        seen << (running ? QStringLiteral("save-while-running") : QStringLiteral("save"));
        dirty = !world_written;
        return world_written;
    };
    Editor::QuitConfirmation confirmation(
            world,
            [&](const QString &) {
                seen << QStringLiteral("world?");
                return world_answer;
            },
            [&](const QString &, const QString &) { seen << QStringLiteral("told"); });
    confirmation.setJob({[&] { return running; },
                         [&] {
                             seen << QStringLiteral("cancel");
                             running = false;
                         }},
                        [&] {
                            seen << QStringLiteral("job?");
                            return agree;
                        });
    confirmation.setSettings({[&](QString *) {
                                 seen << QStringLiteral("settings");
                                 return settings_written;
                             }},
                             [&](const QString &) {
                                 seen << QStringLiteral("settings?");
                                 return quit_without_settings;
                             });

    QCOMPARE(confirmation.mayQuit(), may_quit);
    QCOMPARE(seen.join(QLatin1Char(' ')), events);
    // Without a running job nothing is asked about it.
    running = false;
    dirty = false;
    seen.clear();
    settings_written = true;
    QVERIFY(confirmation.mayQuit());
    QCOMPARE(seen, QStringList{"settings"});
}

void tst_QuitConfirmation::settings_that_cannot_be_saved_keep_the_editor_open_unless_the_user_quits_anyway_data()
{
    QTest::addColumn<bool>("saves");
    QTest::addColumn<bool>("quit_anyway");
    QTest::addColumn<Answer>("world_answer");
    QTest::addColumn<bool>("may_quit");
    QTest::addColumn<int>("attempts");
    QTest::addColumn<int>("told");
    QTest::newRow("saved") << true << false << Answer::Discard << true << 1 << 0;
    QTest::newRow("not saved, stay") << false << false << Answer::Discard << false << 1 << 1;
    QTest::newRow("not saved, quit anyway") << false << true << Answer::Discard << true << 1 << 1;
    // Staying for the world comes first: the settings are left for later.
    QTest::newRow("world kept open") << false << true << Answer::Cancel << false << 0 << 0;
}

void tst_QuitConfirmation::settings_that_cannot_be_saved_keep_the_editor_open_unless_the_user_quits_anyway()
{
    QFETCH(bool, saves);
    QFETCH(bool, quit_anyway);
    QFETCH(Answer, world_answer);
    QFETCH(bool, may_quit);
    QFETCH(int, attempts);
    QFETCH(int, told);

    Editor::QuitConfirmation::World world;
    world.has_unsaved_changes = [] { return true; };
    Editor::QuitConfirmation confirmation(
            world, [&](const QString &) { return world_answer; }, nullptr);
    int tried = 0;
    QStringList reasons;
    confirmation.setSettings({[&](QString *reason) {
                                 ++tried;
                                 if (!saves)
                                     *reason = QStringLiteral("File too large");
                                 return saves;
                             }},
                             [&](const QString &reason) {
                                 reasons << reason;
                                 return quit_anyway;
                             });
    QCOMPARE(confirmation.mayQuit(), may_quit);
    QCOMPARE(tried, attempts);
    QCOMPARE(reasons.size(), told);
    if (told)
        QCOMPARE(reasons.first(), QStringLiteral("File too large"));
}

QTEST_GUILESS_MAIN(tst_QuitConfirmation)
#include "tst_quit_confirmation.moc"
