// The lazy scroll area against Qt's own: the contents wait in the viewport,
// unmeasured, while the window is hidden, and once it is shown the window is
// laid out exactly as with a plain QScrollArea.

#include "core/base/widgets/lazy_scroll_area.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QtTest>

namespace {

// A window with a scroll area around a column of word-wrapped labels, tall
// enough to scroll.
struct Window
{
    QWidget window;
    QScrollArea *area = nullptr;
    QWidget *contents = nullptr;

    template<typename Area>
    void build()
    {
        auto layout = new QVBoxLayout(&window);
        auto lazy = new Area(&window);
        area = lazy;
        area->setWidgetResizable(true);
        contents = new QWidget;
        contents->setObjectName(QStringLiteral("contents"));
        auto column = new QVBoxLayout(contents);
        for (int i = 0; i < 30; ++i) {
            auto label
                    = new QLabel(QStringLiteral("Row %1: a line long enough to wrap in a narrow window, and then some "
                                                "more words so that it wraps twice.")
                                         .arg(i),
                                 contents);
            label->setWordWrap(true);
            column->addWidget(label);
        }
        lazy->setWidget(contents);
        layout->addWidget(area);
        window.resize(240, 300);
    }
};

} // namespace

class TestLazyScrollArea : public QObject
{
    Q_OBJECT

private slots:
    void laysOutOnlyWhenShownAndThenAsQt()
    {
        Window plain;
        plain.build<QScrollArea>();
        Window lazy;
        lazy.build<base::LazyScrollArea>();
        auto area = static_cast<base::LazyScrollArea *>(lazy.area);

        // Hidden: the contents are in the window, but nothing measured them.
        QCOMPARE(lazy.window.findChild<QWidget *>(QStringLiteral("contents")), lazy.contents);
        QCOMPARE(lazy.contents->parentWidget(), area->viewport());
        QCOMPARE(area->widget(), lazy.contents);
        QVERIFY(!lazy.area->QScrollArea::widget());
        QVERIFY(!lazy.contents->testAttribute(Qt::WA_WState_Polished));
        QCOMPARE(plain.area->widget(), plain.contents);

        plain.window.show();
        lazy.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plain.window));
        QVERIFY(QTest::qWaitForWindowExposed(&lazy.window));
        QApplication::processEvents();

        QCOMPARE(lazy.area->QScrollArea::widget(), lazy.contents);
        QCOMPARE(lazy.area->geometry(), plain.area->geometry());
        QCOMPARE(lazy.area->sizeHint(), plain.area->sizeHint());
        QCOMPARE(lazy.contents->geometry(), plain.contents->geometry());
        QCOMPARE(lazy.area->verticalScrollBar()->maximum(), plain.area->verticalScrollBar()->maximum());
        QVERIFY(lazy.area->verticalScrollBar()->maximum() > 0);
        QVERIFY(lazy.contents->isVisible());
        QVERIFY(lazy.contents->autoFillBackground());
    }

    void replacedContentsGoAsWithQt()
    {
        QWidget window;
        auto area = new base::LazyScrollArea(&window);
        QPointer<QWidget> first = new QWidget;
        area->setWidget(first);
        QPointer<QWidget> second = new QWidget;
        area->setWidget(second);
        // Replaced before it was ever taken in: deleted, as QScrollArea does.
        QVERIFY(first.isNull());
        QCOMPARE(area->widget(), second.data());

        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(area->QScrollArea::widget(), second.data());
        // Once shown, a new widget goes straight to QScrollArea.
        QPointer<QWidget> third = new QWidget;
        area->setWidget(third);
        QVERIFY(second.isNull());
        QCOMPARE(area->QScrollArea::widget(), third.data());
    }
};

QTEST_MAIN(TestLazyScrollArea)
#include "tst_lazy_scroll_area.moc"
