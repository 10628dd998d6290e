#include "editor/application/editor_message_handler.h"

#include <velmora/Base.h>
#include <velmora/Console.h>

#include <QMutex>
#include <QMutexLocker>
#include <QTest>

namespace {

struct LogLine
{
    QString text;
    int kind;
};

QMutex g_mutex;
QList<LogLine> g_lines;

void record(const char *text, int kind)
{
    QMutexLocker lock(&g_mutex);
    g_lines.append({QString::fromUtf8(text), kind});
}

} // namespace

class tst_MessageHandler : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void routing_table_data();
    void routing_table();
    void qt_messages_reach_the_engine_log_with_their_kind_data();
    void qt_messages_reach_the_engine_log_with_their_kind();
    void per_cent_signs_are_printed_literally();

private:
    void *callback_ = nullptr;
};

void tst_MessageHandler::initTestCase()
{
    callback_ = Velmora::Console::addOutputCallback(new Velmora::CallbackFunction2<const char *, int>(record));
    qSetMessagePattern(QStringLiteral("%{message}"));
    qInstallMessageHandler(Editor::editorMessageHandler);
}

void tst_MessageHandler::cleanupTestCase()
{
    qInstallMessageHandler(nullptr);
    Velmora::Console::removeOutputCallback(callback_);
}

void tst_MessageHandler::init()
{
    QMutexLocker lock(&g_mutex);
    g_lines.clear();
}

void tst_MessageHandler::routing_table_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("route");

    const QString geometry = QStringLiteral("QWindowsWindow::setGeometry: Unable to set geometry 10x10");
    const QString xcb = QStringLiteral("QXcbConnection: XCB error: 3");
    QTest::newRow("debug") << int(QtDebugMsg) << "hello" << int(Editor::MessageRoute::Message);
    QTest::newRow("info") << int(QtInfoMsg) << "hello" << int(Editor::MessageRoute::Message);
    QTest::newRow("warning") << int(QtWarningMsg) << "hello" << int(Editor::MessageRoute::Warning);
    QTest::newRow("critical") << int(QtCriticalMsg) << "hello" << int(Editor::MessageRoute::Error);
    QTest::newRow("fatal") << int(QtFatalMsg) << "hello" << int(Editor::MessageRoute::Fatal);
    QTest::newRow("geometry warning dropped") << int(QtWarningMsg) << geometry << int(Editor::MessageRoute::Drop);
    QTest::newRow("geometry critical kept") << int(QtCriticalMsg) << geometry << int(Editor::MessageRoute::Error);
    QTest::newRow("geometry debug kept") << int(QtDebugMsg) << geometry << int(Editor::MessageRoute::Message);
    QTest::newRow("xcb warning dropped") << int(QtWarningMsg) << xcb << int(Editor::MessageRoute::Drop);
    QTest::newRow("xcb critical dropped") << int(QtCriticalMsg) << xcb << int(Editor::MessageRoute::Drop);
    QTest::newRow("xcb info kept") << int(QtInfoMsg) << xcb << int(Editor::MessageRoute::Message);
    QTest::newRow("drop rule is case-sensitive")
            << int(QtWarningMsg) << "qxcbconnection" << int(Editor::MessageRoute::Warning);
    QTest::newRow("unknown type dropped") << 17 << "hello" << int(Editor::MessageRoute::Drop);
}

void tst_MessageHandler::routing_table()
{
    QFETCH(int, type);
    QFETCH(QString, text);
    QFETCH(int, route);
    QCOMPARE(int(Editor::routeMessage(QtMsgType(type), text)), route);
}

void tst_MessageHandler::qt_messages_reach_the_engine_log_with_their_kind_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("logged");
    QTest::addColumn<int>("kind");

    QTest::newRow("debug as message") << int(QtDebugMsg) << "plain debug" << true << 0;
    QTest::newRow("warning as warning") << int(QtWarningMsg) << "plain warning" << true << 1;
    QTest::newRow("critical as error") << int(QtCriticalMsg) << "plain critical" << true << 2;
    QTest::newRow("geometry warning never arrives")
            << int(QtWarningMsg) << "QWindowsWindow::setGeometry: Unable to set geometry" << false << 0;
    QTest::newRow("geometry critical arrives")
            << int(QtCriticalMsg) << "QWindowsWindow::setGeometry: Unable to set geometry" << true << 2;
}

void tst_MessageHandler::qt_messages_reach_the_engine_log_with_their_kind()
{
    QFETCH(int, type);
    QFETCH(QString, text);
    QFETCH(bool, logged);
    QFETCH(int, kind);

    const QByteArray bytes = text.toUtf8();
    switch (QtMsgType(type)) {
    case QtDebugMsg:
        qDebug("%s", bytes.constData());
        break;
    case QtWarningMsg:
        qWarning("%s", bytes.constData());
        break;
    case QtCriticalMsg:
        qCritical("%s", bytes.constData());
        break;
    default:
        QFAIL("unexpected type");
    }

    QMutexLocker lock(&g_mutex);
    QList<LogLine> matching;
    for (const LogLine &line : qAsConst(g_lines)) {
        if (line.text.contains(text))
            matching.append(line);
    }
    QCOMPARE(matching.size(), logged ? 1 : 0);
    if (logged) {
        QCOMPARE(matching.first().text, text + QLatin1Char('\n'));
        QCOMPARE(matching.first().kind, kind);
    }
}

void tst_MessageHandler::per_cent_signs_are_printed_literally()
{
    qWarning("%s", "progress %d%% of %s");
    QMutexLocker lock(&g_mutex);
    QCOMPARE(g_lines.size(), 1);
    QCOMPARE(g_lines.first().text, QStringLiteral("progress %d%% of %s\n"));
}

QTEST_GUILESS_MAIN(tst_MessageHandler)
#include "tst_message_handler.moc"
