// The compiled-in resources: every image the editor loads by path is there
// with the size its window is laid out for, the fonts register, and the
// style sheet parses and names only images that exist.

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>

namespace {

QStringList g_warnings;

void collectWarnings(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type != QtDebugMsg && type != QtInfoMsg)
        g_warnings.append(message);
}

QString styleSheetText()
{
    QFile file(QStringLiteral(":/qdarkstyle/style.qss"));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

bool hasOpaquePixels(const QImage &image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 0)
                return true;
    return false;
}

} // namespace

class TestEditorResources : public QObject
{
    Q_OBJECT

private slots:
    void every_image_the_editor_loads_has_its_designed_size_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QSize>("size");
        QTest::newRow("icon") << ":/images/editor_icon.png" << QSize(256, 256);
        QTest::newRow("splash") << ":/images/splashscreen_editor.png" << QSize(960, 540);
        QTest::newRow("about logo") << ":/images/velmora2_logo.png" << QSize(297, 48);
        QTest::newRow("spinner strip") << ":/images/processing_icon.png" << QSize(32, 512);
        for (const char *name : {"start", "video", "docs", "forum"}) {
            for (const char *colour : {"blue", "green"}) {
                const QString path = QStringLiteral(":/images/help_window/button_%1_%2.png")
                                             .arg(QLatin1String(name), QLatin1String(colour));
                QTest::newRow(qPrintable(path)) << path << QSize(220, 320);
            }
        }
    }

    void every_image_the_editor_loads_has_its_designed_size()
    {
        QFETCH(QString, path);
        QFETCH(QSize, size);
        const QImage image(path);
        QVERIFY2(!image.isNull(), qPrintable(path));
        QCOMPARE(image.size(), size);
        QVERIFY(hasOpaquePixels(image));
    }

    void help_button_hover_image_differs_from_its_normal_image_data()
    {
        QTest::addColumn<QString>("name");
        for (const char *name : {"start", "video", "docs", "forum"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }

    void help_button_hover_image_differs_from_its_normal_image()
    {
        QFETCH(QString, name);
        const QImage normal(QStringLiteral(":/images/help_window/button_%1_blue.png").arg(name));
        const QImage hover(QStringLiteral(":/images/help_window/button_%1_green.png").arg(name));
        QVERIFY(!normal.isNull() && !hover.isNull());
        QVERIFY(normal != hover);
    }

    void spinner_strip_holds_sixteen_visible_frames_that_all_differ()
    {
        const QImage strip(QStringLiteral(":/images/processing_icon.png"));
        QCOMPARE(strip.height(), 16 * strip.width());
        QVector<QImage> frames;
        for (int i = 0; i < 16; ++i) {
            frames.append(strip.copy(0, i * 32, 32, 32));
            QVERIFY2(hasOpaquePixels(frames.last()), qPrintable(QString::number(i)));
        }
        for (int i = 0; i < 16; ++i)
            QVERIFY2(frames[i] != frames[(i + 1) % 16], qPrintable(QString::number(i)));
    }

    void fonts_register_as_roboto_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("regular") << ":/fonts/Roboto-Regular.ttf";
        QTest::newRow("light") << ":/fonts/Roboto-Light.ttf";
    }

    void fonts_register_as_roboto()
    {
        QFETCH(QString, path);
        const int id = QFontDatabase::addApplicationFont(path);
        QVERIFY2(id >= 0, qPrintable(path));
        QCOMPARE(QFontDatabase::applicationFontFamilies(id), QStringList{QStringLiteral("Roboto")});
        QVERIFY(QFontDatabase::removeApplicationFont(id));
    }

    void style_sheet_names_only_images_that_exist()
    {
        const QString sheet = styleSheetText();
        QVERIFY(sheet.size() > 1000);
        QVERIFY(!sheet.contains(QChar(0)));
        const QRegularExpression url(QStringLiteral("url\\(([^)]*)\\)"));
        int count = 0;
        for (auto it = url.globalMatch(sheet); it.hasNext(); ++count) {
            const QString path = it.next().captured(1).trimmed();
            QVERIFY2(path.startsWith(QLatin1String(":/")), qPrintable(path));
            QVERIFY2(!QImage(path).isNull(), qPrintable(path));
        }
        QVERIFY(count > 0);
    }

    void style_sheet_applies_without_warnings_and_is_dark()
    {
        auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
        QVERIFY(app);
        g_warnings.clear();
        const QtMessageHandler previous = qInstallMessageHandler(collectWarnings);
        app->setStyleSheet(styleSheetText());
        QLineEdit edit;
        QPushButton button(QStringLiteral("Apply"));
        edit.ensurePolished();
        button.ensurePolished();
        qInstallMessageHandler(previous);
        const QColor base = edit.palette().color(QPalette::Base);
        const QColor text = edit.palette().color(QPalette::Text);
        app->setStyleSheet(QString());
        QVERIFY2(g_warnings.isEmpty(), qPrintable(g_warnings.join(QLatin1Char('\n'))));
        QVERIFY(base.lightness() < 60);
        QVERIFY(text.lightness() > 180);
    }
};

QTEST_MAIN(TestEditorResources)
#include "tst_editor_resources.moc"
