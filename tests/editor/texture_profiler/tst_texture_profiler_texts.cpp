// The texture profiler's texts under the editor's own style sheet and fonts:
// the location box shows its whole locations, and at the window's own width
// the table shows the end of every path and every column's heading.

#include "editor_look.h"
#include "profiler_fixture.h"

#include "editor/texture_profiler/model/textures_model.h"
#include "editor/texture_profiler/ui/texture_profiler_window.h"

#include <QHeaderView>
#include <QPushButton>
#include <QStyleOptionComboBox>
#include <QStyleOptionHeader>
#include <QTableView>

#include <algorithm>

using namespace proftest;

namespace {

// What of a header section's width its label may use.
int labelWidth(const QHeaderView *header, int logical)
{
    QStyleOptionHeader option;
    option.initFrom(header);
    option.section = logical;
    option.text = header->model()->headerData(logical, Qt::Horizontal).toString();
    option.rect = QRect(0, 0, header->sectionSize(logical), header->height());
    if (header->isSortIndicatorShown() && header->sortIndicatorSection() == logical)
        option.sortIndicator = header->sortIndicatorOrder() == Qt::AscendingOrder ? QStyleOptionHeader::SortUp
                                                                                  : QStyleOptionHeader::SortDown;
    return header->style()->subElementRect(QStyle::SE_HeaderLabel, &option, header).width();
}

} // namespace

class tst_TextureProfilerTexts : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(test::applyEditorLook()); }

    void the_location_box_keeps_a_character_beyond_its_longest_location()
    {
        ProfilerFixture fixture;
        QVERIFY(fixture.start());
        tprof::Window window(fixture.assets());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QComboBox *box = window.locationComboBox();
        QStyleOptionComboBox option;
        option.initFrom(box);
        option.frame = box->hasFrame();
        const QRect field
                = box->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, box);
        // The room of one character more than the text: the glyphs a display
        // draws with its own hinting can be a few pixels wider than measured.
        const QFontMetrics metrics = box->fontMetrics();
        for (const char *text : {"From Video Memory", "From Viewport"})
            QVERIFY2(field.width() >= metrics.horizontalAdvance(QLatin1String(text)) + metrics.averageCharWidth(),
                     qPrintable(QStringLiteral("%1: %2 pixels").arg(QLatin1String(text)).arg(field.width())));
    }

    void at_its_own_width_the_table_shows_file_names_and_headings()
    {
        ProfilerFixture fixture;
        QVERIFY(fixture.start());
        ProfilerFixture::frame();
        tprof::Window window(fixture.assets());
        // As wide as its dock opens it when it is the only tool.
        window.resize(window.sizeHint().width(), 400);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::mouseClick(window.refreshButton(), Qt::LeftButton);
        QTableView *table = window.texturesView();
        QVERIFY(table->model()->rowCount() >= 3);
        QCoreApplication::processEvents();

        const QHeaderView *header = table->horizontalHeader();
        const QFontMetrics header_metrics = header->fontMetrics();
        for (int column = 0; column < header->count(); ++column) {
            const QString heading = table->model()->headerData(column, Qt::Horizontal).toString();
            QVERIFY2(labelWidth(header, column) >= header_metrics.horizontalAdvance(heading),
                     qPrintable(QStringLiteral("%1: %2 pixels").arg(heading).arg(labelWidth(header, column))));
        }
        // A path too long for its column keeps its end: the column has room
        // for every file name with its folder's separator and the ellipsis,
        // and the cell's margins.
        int longest = 0;
        for (int row = 0; row < table->model()->rowCount(); ++row) {
            const QString path = table->model()->index(row, tprof::TexturesModel::COLUMN_PATH).data().toString();
            const QString end = QStringLiteral("\u2026/") + path.section(QLatin1Char('/'), -1);
            longest = std::max(longest, table->fontMetrics().horizontalAdvance(end) + 8);
        }
        QVERIFY2(table->columnWidth(tprof::TexturesModel::COLUMN_PATH) >= longest,
                 qPrintable(QStringLiteral("%1 pixels for paths that need %2")
                                    .arg(table->columnWidth(tprof::TexturesModel::COLUMN_PATH))
                                    .arg(longest)));
        const QString screenshots = qEnvironmentVariable("VELMORA_SCREENSHOT_DIR");
        if (!screenshots.isEmpty())
            QVERIFY(window.grab().save(screenshots + QStringLiteral("/texture_profiler_texts.png")));
        // Nothing hides to the right.
        QVERIFY(header->length() <= table->viewport()->width());
    }
};

QTEST_MAIN(tst_TextureProfilerTexts)
#include "tst_texture_profiler_texts.moc"
