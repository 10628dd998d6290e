#include "editor/presenter/window_title.h"

#include <QTest>

class tst_WindowTitle : public QObject
{
    Q_OBJECT

private slots:
    void title_reads_world_then_product_api_and_build_data();
    void title_reads_world_then_product_api_and_build();
};

void tst_WindowTitle::title_reads_world_then_product_api_and_build_data()
{
    QTest::addColumn<bool>("with_world");
    QTest::addColumn<bool>("loaded");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("dirty");
    QTest::addColumn<int>("api");
    QTest::addColumn<QString>("title");

    const QString tail = QStringLiteral(" (ver-2.11.0.0 | abc1234)");
    QTest::newRow("no world, OpenGL") << false << false << QString() << false << 2
                                      << "VelmoraEditor - 2.11.0.0 (OpenGL)" + tail;
    QTest::newRow("dirty world, DX11") << true << true << "levels/a.world" << true << 3
                                       << "levels/a.world * - VelmoraEditor - 2.11.0.0 (DX11)" + tail;
    QTest::newRow("saved world") << true << true << "levels/a.world" << false << 2
                                 << "levels/a.world - VelmoraEditor - 2.11.0.0 (OpenGL)" + tail;
    QTest::newRow("world asked for but none loaded")
            << true << false << "levels/a.world" << true << 2 << "VelmoraEditor - 2.11.0.0 (OpenGL)" + tail;
    QTest::newRow("loaded world left out after shutdown")
            << false << true << "levels/a.world" << true << 2 << "VelmoraEditor - 2.11.0.0 (OpenGL)" + tail;
    QTest::newRow("null API adds nothing")
            << false << false << QString() << false << 0 << "VelmoraEditor - 2.11.0.0" + tail;
    QTest::newRow("unknown API adds nothing")
            << false << false << QString() << false << 5 << "VelmoraEditor - 2.11.0.0" + tail;
    QTest::newRow("non-ASCII path") << true << true << QStringLiteral("w\u00f6rlds/x.world") << false << 0
                                    << QStringLiteral("w\u00f6rlds/x.world - VelmoraEditor - 2.11.0.0") + tail;
}

void tst_WindowTitle::title_reads_world_then_product_api_and_build()
{
    QFETCH(bool, with_world);
    QFETCH(bool, loaded);
    QFETCH(QString, path);
    QFETCH(bool, dirty);
    QFETCH(int, api);
    QFETCH(QString, title);

    Editor::WindowTitleState state;
    state.with_world = with_world;
    state.world_loaded = loaded;
    state.world_path = path;
    state.world_dirty = dirty;
    state.render_api = api;
    state.version = QStringLiteral("2.11.0.0");
    state.branch_tag = QStringLiteral("ver-2.11.0.0");
    state.revision = QStringLiteral("abc1234");
    QCOMPARE(Editor::windowTitle(state), title);
}

QTEST_GUILESS_MAIN(tst_WindowTitle)
#include "tst_window_title.moc"
