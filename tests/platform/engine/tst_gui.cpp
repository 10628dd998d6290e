// The engine GUI's paint key: it changes with everything the widgets
// paint, and only with that, so that hosts paint again only on a change.

#include "velmora/Gui.h"
#include "velmora/Widget.h"

#include <QImage>
#include <QPainter>
#include <QtTest>

#include <functional>

using namespace Velmora;

namespace {

struct Surface
{
    Ptr<Gui> gui = Gui::create("test/");
    Ptr<WidgetVBox> box = WidgetVBox::create(gui);
    Ptr<WidgetLabel> label = WidgetLabel::create(gui, "time 0.00");
    Ptr<WidgetButton> button = WidgetButton::create(gui, "Add key");
    Ptr<WidgetSlider> slider = WidgetSlider::create(gui, 0, 100, 10);
    Ptr<WidgetEditLine> line = WidgetEditLine::create(gui, "name");
    Ptr<WidgetWindow> window = WidgetWindow::create(gui, "Window");

    Surface()
    {
        gui->setSize(320, 240);
        box->addChild(label);
        box->addChild(button);
        box->addChild(slider);
        box->addChild(line);
        gui->addChild(box);
        gui->addChild(window);
        window->setPosition(200, 10);
        gui->update(0.0f);
    }
    QImage picture() const
    {
        QImage image(320, 240, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::black);
        QPainter painter(&image);
        gui->paint(painter);
        return image;
    }
    void click(const Ptr<Widget> &widget, int buttons)
    {
        gui->setMouse(widget->getScreenPositionX() + 3, widget->getScreenPositionY() + 3, buttons);
    }
};

using Change = std::function<void(Surface &)>;

} // namespace

Q_DECLARE_METATYPE(Change)

class TestGui : public QObject
{
    Q_OBJECT

private slots:
    void the_paint_key_follows_what_is_painted_data()
    {
        QTest::addColumn<Change>("change");
        QTest::addColumn<bool>("painted");
        QTest::newRow("label text") << Change([](Surface &s) { s.label->setText("time 0.01"); }) << true;
        QTest::newRow("same label text") << Change([](Surface &s) { s.label->setText("time 0.00"); }) << false;
        QTest::newRow("button held") << Change([](Surface &s) { s.click(s.button, Gui::BUTTON_LEFT); }) << true;
        QTest::newRow("slider value") << Change([](Surface &s) { s.slider->setValue(60); }) << true;
        QTest::newRow("typed text") << Change([](Surface &s) {
            s.click(s.line, Gui::BUTTON_LEFT);
            s.click(s.line, 0);
            s.gui->keyPress('x');
        }) << true;
        QTest::newRow("widget hidden") << Change([](Surface &s) {
            s.button->setHidden(true);
            s.gui->update(0.0f);
        }) << true;
        QTest::newRow("window moved") << Change([](Surface &s) { s.window->setPosition(150, 40); }) << true;
        QTest::newRow("window title") << Change([](Surface &s) { s.window->setText("Other"); }) << true;
        QTest::newRow("widget added") << Change([](Surface &s) {
            Ptr<WidgetLabel> more = WidgetLabel::create(s.gui, "more");
            s.gui->addChild(more);
            more->arrange();
            more->setPosition(10, 200);
        }) << true;
        QTest::newRow("gui hidden") << Change([](Surface &s) { s.gui->setHidden(true); }) << true;
        QTest::newRow("pointer passing over") << Change([](Surface &s) {
            s.click(s.button, 0);
            s.click(s.slider, 0);
        }) << false;
        QTest::newRow("frames with nothing new") << Change([](Surface &s) {
            s.gui->update(0.1f);
            s.gui->update(0.1f);
        }) << false;
    }
    void the_paint_key_follows_what_is_painted()
    {
        QFETCH(Change, change);
        QFETCH(bool, painted);
        Surface surface;
        const uint64_t before = surface.gui->getPaintKey();
        const QImage picture = surface.picture();
        QCOMPARE(surface.gui->getPaintKey(), before); // painting changes nothing
        change(surface);
        QCOMPARE(surface.gui->getPaintKey() != before, painted);
        QCOMPARE(surface.picture() != picture, painted);
    }

    void releasing_a_held_button_gives_the_key_it_had()
    {
        Surface surface;
        const uint64_t before = surface.gui->getPaintKey();
        surface.click(surface.button, Gui::BUTTON_LEFT);
        QVERIFY(surface.gui->getPaintKey() != before);
        surface.click(surface.button, 0);
        QCOMPARE(surface.gui->getPaintKey(), before);
    }
};

QTEST_MAIN(TestGui)
#include "tst_gui.moc"
