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
    world.save = [&] {
        ++saved;
        if (save == QLatin1String("writes"))
            dirty = false;
        return save != QLatin1String("refused");
    };
    const Editor::QuitConfirmation confirmation(
            world,
            [&](const QString &name) {
                ++asked;
                named = name;
                return answer;
            },
            [&](const QString &name) {
                ++told;
                QCOMPARE(name, QStringLiteral("worlds/a.world"));
            });

    QCOMPARE(confirmation.mayQuit(), may_quit);
    QCOMPARE(asked, questions);
    QCOMPARE(saved, saves);
    QCOMPARE(told, failures_told);
    if (asked > 0)
        QCOMPARE(named, QStringLiteral("worlds/a.world"));
}

QTEST_GUILESS_MAIN(tst_QuitConfirmation)
#include "tst_quit_confirmation.moc"
