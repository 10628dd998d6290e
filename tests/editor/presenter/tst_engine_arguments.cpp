#include "editor/presenter/engine_arguments.h"
#include "editor/presenter/presenter.h"

#include <QTest>

#include <vector>

class tst_EngineArguments : public QObject
{
    Q_OBJECT

private slots:
    void engine_gets_every_argument_then_skip_guidsdb_data();
    void engine_gets_every_argument_then_skip_guidsdb();
    void splash_progress_texts_fill_their_markers();
};

void tst_EngineArguments::engine_gets_every_argument_then_skip_guidsdb_data()
{
    QTest::addColumn<int>("argc");
    QTest::newRow("program only") << 1;
    QTest::newRow("a few") << 5;
    QTest::newRow("exactly the inline room") << 127;
    QTest::newRow("more than the inline room") << 300;
}

void tst_EngineArguments::engine_gets_every_argument_then_skip_guidsdb()
{
    QFETCH(int, argc);
    std::vector<QByteArray> texts;
    for (int i = 0; i < argc; ++i)
        texts.push_back(QByteArray("arg") + QByteArray::number(i));
    std::vector<char *> argv;
    for (QByteArray &text : texts)
        argv.push_back(text.data());

    Editor::EngineArguments arguments(argc, argv.data());

    QCOMPARE(arguments.count(), argc + 1);
    for (int i = 0; i < argc; ++i)
        QCOMPARE(arguments.data()[i], argv[size_t(i)]);
    QCOMPARE(QByteArray(arguments.data()[argc]), QByteArray("-skip_guidsdb"));
}

void tst_EngineArguments::splash_progress_texts_fill_their_markers()
{
    QCOMPARE(Editor::Presenter::assetProgressStatus(37), QStringLiteral("Initializing Assets... 37%"));
    QCOMPARE(Editor::Presenter::assetProgressStatus(0), QStringLiteral("Initializing Assets... 0%"));
    QCOMPARE(Editor::Presenter::assetProgressDetail(QStringLiteral("Scanning assets")),
             QStringLiteral("Scanning assets..."));
}

QTEST_GUILESS_MAIN(tst_EngineArguments)
#include "tst_engine_arguments.moc"
