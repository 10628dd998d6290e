#include "editor/about/about_window.h"

#include "core/base/widgets/lazy_scroll_area.h"

#include <editor_core/WidgetUtils.h>

#include <velmora/Console.h>

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

namespace {

QLabel *makeLabel(QWidget *parent, const char *object_name, int point_size)
{
    auto label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(object_name));
    QFont font = label->font();
    font.setPointSize(point_size);
    label->setFont(font);
    return label;
}

// The credits panel: who made the editor and what it is built with.
const char *const CREDITS
        = "<h3>VELMORA 2 Editor</h3>"
          "<p>The editor of the VELMORA 2 real-time engine: worlds, assets, builds and the tools around them.</p>"
          "<h4>Engine and editor</h4>"
          "<p>Rendering, world and asset pipelines, editor shell, build tool, dependency analysis, asset "
          "cleaner, impostor creator, track editor, video grabber and texture profiler by the VELMORA team.</p>"
          "<h4>Third-party software</h4>"
          "<p><b>Qt 5</b> &mdash; The Qt Company Ltd. and other contributors, GNU LGPL version 3.<br>"
          "<b>pugixml</b> &mdash; Arseny Kapoulkine, MIT License.<br>"
          "<b>OpenEXR and Imath</b> &mdash; Contributors to the OpenEXR Project, BSD-3-Clause License.<br>"
          "<b>Roboto</b> fonts &mdash; Google, Apache License 2.0.</p>"
          "<h4>Thanks</h4>"
          "<p>To everyone who reported a problem, sent a sample project or asked the question that made a tool "
          "better.</p>";

} // namespace

AboutWindow::AboutWindow(QWidget *parent)
    : QMainWindow(parent)
{
    if (objectName().isEmpty())
        setObjectName(QStringLiteral("AboutWindow"));
    // A tool window from the start: turning a built window into one restyles
    // every widget in it again under the style sheet.
    setWindowFlags(Qt::Tool);
    resize(634, 570);
    setWindowTitle(tr("About VELMORA 2"));

    auto central = new QWidget(this);
    central->setObjectName(QStringLiteral("centralwidget"));
    auto layout = new QVBoxLayout(central);
    layout->setObjectName(QStringLiteral("verticalLayout_2"));

    QLabel *logo = makeLabel(central, "label", 19);
    logo->setAlignment(Qt::AlignCenter);
    logo->setPixmap(QPixmap(QStringLiteral(":/images/velmora2_logo.png")));
    layout->addWidget(logo);

    binary_info_ = makeLabel(central, "binary_info", 10);
    binary_info_->setAlignment(Qt::AlignCenter);
    layout->addWidget(binary_info_);

    auto scroll = new base::LazyScrollArea(central);
    scroll->setObjectName(QStringLiteral("scrollArea"));
    scroll->setWidgetResizable(true);
    auto contents = new QWidget;
    contents->setObjectName(QStringLiteral("scrollAreaWidgetContents"));
    contents->setGeometry(QRect(0, 0, 597, 2753));
    auto contents_layout = new QHBoxLayout(contents);
    contents_layout->setObjectName(QStringLiteral("horizontalLayout"));
    QMargins margins = contents_layout->contentsMargins();
    margins.setLeft(60);
    margins.setRight(60);
    contents_layout->setContentsMargins(margins);
    auto grid = new QGridLayout;
    grid->setObjectName(QStringLiteral("gridLayout"));
    margins = grid->contentsMargins();
    margins.setLeft(0);
    margins.setRight(0);
    grid->setContentsMargins(margins);
    QLabel *credits = makeLabel(contents, "label_256", 10);
    credits->setOpenExternalLinks(true);
    credits->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    credits->setWordWrap(true);
    credits->setText(QString::fromLatin1(CREDITS));
    grid->addWidget(credits, 0, 0, 1, 2);
    grid->setColumnStretch(0, 3);
    contents_layout->addLayout(grid);
    scroll->setWidget(contents);
    layout->addWidget(scroll);

    QLabel *notice = makeLabel(central, "label_231", 7);
    notice->setText(tr("Copyright (C) VELMORA. All rights reserved. The software and its documentation are "
                       "licensed, not sold."));
    layout->addWidget(notice);
    QLabel *link = makeLabel(central, "label_232", 9);
    link->setOpenExternalLinks(true);
    // The link colour stands out on the dark style.
    link->setText(QStringLiteral("<a href=\"https://velmora.dev\" style=\"color: #5fa8ff;\">velmora.dev</a>"));
    layout->addWidget(link);
    setCentralWidget(central);

    binary_info_->setText(versionLine(QString::fromUtf8(Velmora::Console::getString("engine_version_info"))));
    hide();
}

AboutWindow::~AboutWindow() = default;

QString AboutWindow::versionLine(const QString &engine_version_info)
{
    QString text = engine_version_info + QLatin1Char(')');
    const int position = text.size() - 12;
    // A text shorter than the revision gets no opening parenthesis. The
    // check is explicit: inserting a single character at a negative
    // position counts from the end and would insert one.
    if (position >= 0)
        text.insert(position, QLatin1Char('('));
    return tr("Version: ") + text;
}

QString AboutWindow::binaryInfo() const
{
    return binary_info_->text();
}

bool AboutWindow::event(QEvent *event)
{
    if (event->type() == QEvent::Show) {
        resize(700, 600);
        placeOverOwner();
    }
    return QMainWindow::event(event);
}

void AboutWindow::placeOverOwner()
{
    // Centred over the editor's window, kept on the editor's screen; without
    // an owner, centred on the screen.
    QWidget *owner = parentWidget() ? parentWidget()->window() : nullptr;
    if (!owner) {
        moveToScreenCenter(nullptr, this);
        return;
    }
    QRect placed(QPoint(), frameGeometry().size());
    placed.moveCenter(owner->frameGeometry().center());
    if (QScreen *screen = owner->screen()) {
        const QRect available = screen->availableGeometry();
        placed.moveLeft(qMax(available.left(), qMin(placed.left(), available.right() + 1 - placed.width())));
        placed.moveTop(qMax(available.top(), qMin(placed.top(), available.bottom() + 1 - placed.height())));
    }
    move(placed.topLeft());
}
