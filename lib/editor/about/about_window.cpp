#include "editor/about/about_window.h"

#include <velmora/Console.h>

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
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

const char *const CREDITS =
    "<p><b>Velmora Editor</b></p>"
    "<p>Engine, editor and tools by the Velmora team.</p>"
    "<p>Built with Qt, pugixml and the Roboto fonts.</p>";

} // namespace

AboutWindow::AboutWindow(QWidget *parent)
    : QMainWindow(parent)
{
    if (objectName().isEmpty())
        setObjectName(QStringLiteral("AboutWindow"));
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

    auto scroll = new QScrollArea(central);
    scroll->setObjectName(QStringLiteral("scrollArea"));
    scroll->setWidgetResizable(true);
    auto contents = new QWidget;
    contents->setObjectName(QStringLiteral("scrollAreaWidgetContents"));
    auto contents_layout = new QHBoxLayout(contents);
    contents_layout->setContentsMargins(60, 0, 60, 0);
    QLabel *credits = makeLabel(contents, "label_256", 10);
    credits->setOpenExternalLinks(true);
    credits->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    credits->setWordWrap(true);
    credits->setText(QString::fromLatin1(CREDITS));
    contents_layout->addWidget(credits);
    scroll->setWidget(contents);
    layout->addWidget(scroll);

    QLabel *notice = makeLabel(central, "label_231", 7);
    notice->setText(tr("All rights reserved."));
    layout->addWidget(notice);
    QLabel *link = makeLabel(central, "label_232", 9);
    link->setOpenExternalLinks(true);
    link->setText(QStringLiteral("<a href=\"https://velmora.dev\">velmora.dev</a>"));
    layout->addWidget(link);
    setCentralWidget(central);

    setWindowFlags(Qt::Tool);
    binary_info_->setText(versionLine(QString::fromUtf8(Velmora::Console::getString("engine_version_info"))));
    hide();
}

AboutWindow::~AboutWindow() = default;

QString AboutWindow::versionLine(const QString &engine_version_info)
{
    QString text = engine_version_info + QLatin1Char(')');
    const int position = text.size() - 12;
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
    if (event->type() == QEvent::Show)
        resize(700, 600);
    return QMainWindow::event(event);
}
