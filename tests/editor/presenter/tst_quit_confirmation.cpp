#include "editor/presenter/quit_confirmation.h"

#include <QTest>

using Answer = Editor::QuitConfirmation::Answer;
Q_DECLARE_METATYPE(Answer)

class tst_QuitConfirmation : public QObject
{
    Q_OBJECT

private slots:
    void the_editor_quits_only_once_every_question_is_answered_data();
    void the_editor_quits_only_once_every_question_is_answered();
};

void tst_QuitConfirmation::the_editor_quits_only_once_every_question_is_answered_data()
{
    // A job: "" none given, "idle" given but not running, else running and
    // the answer to cancelling it ("yes", "no").
    QTest::addColumn<QString>("job");
    QTest::addColumn<bool>("dirty");
    QTest::addColumn<Answer>("answer");
    // What the world's save does: writes the world, runs but leaves it
    // unsaved (the engine could not write), or refuses with a reason.
    QTest::addColumn<QString>("save");
    // The settings: "" none given, "saves", "fails"; and the answer to
    // quitting without them.
    QTest::addColumn<QString>("settings");
    QTest::addColumn<bool>("quit_anyway");
    QTest::addColumn<bool>("may_quit");
    // What happened, in order.
    QTest::addColumn<QString>("events");

    const Answer save = Answer::Save, discard = Answer::Discard, cancel = Answer::Cancel;
    QTest::newRow("saved world quits unasked") << "" << false << cancel << "writes"
                                               << "" << false << true << "";
    QTest::newRow("discard quits unsaved") << "" << true << discard << "writes"
                                           << "" << false << true << "world?";
    QTest::newRow("cancel stays") << "" << true << cancel << "writes"
                                  << "" << false << false << "world?";
    QTest::newRow("save then quit") << "" << true << save << "writes"
                                    << "" << false << true << "world? save";
    QTest::newRow("save not written stays and tells") << "" << true << save << "not written"
                                                      << "" << false << false << "world? save told";
    QTest::newRow("save refused stays and tells") << "" << true << save << "refused"
                                                  << "" << false << false << "world? save told";
    QTest::newRow("settings saved") << "" << true << discard << "writes"
                                    << "saves" << false << true << "world? settings";
    QTest::newRow("settings not saved, stay") << "" << true << discard << "writes"
                                              << "fails" << false << false << "world? settings settings?";
    QTest::newRow("settings not saved, quit anyway") << "" << true << discard << "writes"
                                                     << "fails" << true << true << "world? settings settings?";
    // Staying for the world comes first: the settings are left for later.
    QTest::newRow("world kept open, settings untried") << "" << true << cancel << "writes"
                                                       << "fails" << true << false << "world?";
    QTest::newRow("job idle: nothing asked about it") << "idle" << false << cancel << "writes"
                                                      << "saves" << false << true << "settings";
    QTest::newRow("job, no: nothing else is asked") << "no" << true << discard << "writes"
                                                    << "saves" << false << false << "job?";
    QTest::newRow("job, yes, then cancel: the job goes on") << "yes" << true << cancel << "writes"
                                                            << "saves" << false << false << "job? world?";
    QTest::newRow("job, yes, discard") << "yes" << true << discard << "writes"
                                       << "saves" << false << true << "job? world? settings cancel";
    QTest::newRow("job, yes, save: saved after the cancel")
            << "yes" << true << save << "writes"
            << "saves" << false << true << "job? world? settings cancel save";
    QTest::newRow("job, yes, save fails: stays, told")
            << "yes" << true << save << "refused"
            << "saves" << false << false << "job? world? settings cancel save told";
    QTest::newRow("job, yes, settings not saved, stay: the job goes on")
            << "yes" << true << save << "writes"
            << "fails" << false << false << "job? world? settings settings?";
    QTest::newRow("job, yes, settings not saved, quit anyway")
            << "yes" << true << save << "writes"
            << "fails" << true << true << "job? world? settings settings? cancel save";
}

void tst_QuitConfirmation::the_editor_quits_only_once_every_question_is_answered()
{
    QFETCH(QString, job);
    QFETCH(bool, dirty);
    QFETCH(Answer, answer);
    QFETCH(QString, save);
    QFETCH(QString, settings);
    QFETCH(bool, quit_anyway);
    QFETCH(bool, may_quit);
    QFETCH(QString, events);

    const QString name = QStringLiteral("worlds/a.world");
    bool running = job == QLatin1String("yes") || job == QLatin1String("no");
    QStringList seen;
    Editor::QuitConfirmation::World world;
    world.has_unsaved_changes = [&] { return dirty; };
    world.name = [&] { return name; };
    world.save = [&](QString *reason) {
        // The world is saved as the cancelled job left it.
        seen << (running ? QStringLiteral("save-while-running") : QStringLiteral("save"));
        if (save == QLatin1String("writes"))
            dirty = false;
        if (save == QLatin1String("refused"))
            *reason = QStringLiteral("the name is a symbolic link that leads nowhere");
        return save != QLatin1String("refused");
    };
    Editor::QuitConfirmation confirmation(
            world,
            [&](const QString &asked) {
                seen << (asked == name ? QStringLiteral("world?") : QStringLiteral("world? ") + asked);
                return answer;
            },
            [&](const QString &named, const QString &reason) {
                seen << QStringLiteral("told");
                QCOMPARE(named, name);
                // A refusal comes with its reason.
                QCOMPARE(reason.isEmpty(), save != QLatin1String("refused"));
            });
    if (!job.isEmpty()) {
        confirmation.setJob({[&] { return running; },
                             [&] {
                                 seen << QStringLiteral("cancel");
                                 running = false;
                             }},
                            [&] {
                                seen << QStringLiteral("job?");
                                return job == QLatin1String("yes");
                            });
    }
    if (!settings.isEmpty()) {
        confirmation.setSettings({[&](QString *reason) {
                                     seen << QStringLiteral("settings");
                                     if (settings == QLatin1String("fails"))
                                         *reason = QStringLiteral("File too large");
                                     return settings == QLatin1String("saves");
                                 }},
                                 [&](const QString &reason) {
                                     seen << QStringLiteral("settings? ") + reason;
                                     return quit_anyway;
                                 });
        events.replace(QLatin1String("settings?"), QLatin1String("settings? File too large"));
    }

    QCOMPARE(confirmation.mayQuit(), may_quit);
    QCOMPARE(seen.join(QLatin1Char(' ')), events);
}

QTEST_GUILESS_MAIN(tst_QuitConfirmation)
#include "tst_quit_confirmation.moc"
