#include "editor_core/AccordionWidget.h"

#include <QLayout>
#include <QToolButton>
#include <QVBoxLayout>

AccordionWidget::AccordionWidget(QWidget *parent)
    : QWidget(parent)
{
    layout_ = new QVBoxLayout(this);
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(2);
}

AccordionWidget::~AccordionWidget() = default;

int AccordionWidget::addSection(const QString &title, QWidget *content, bool open)
{
    Section section;
    section.header = new QToolButton(this);
    section.header->setText(title);
    section.header->setCheckable(true);
    section.header->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    section.header->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    section.header->setAutoRaise(true);
    section.content = content ? content : new QWidget(this);
    section.content->setParent(this);

    const int index = sections_.size();
    sections_.append(section);
    layout_->addWidget(section.header);
    layout_->addWidget(section.content);
    applyOpen(section, open);
    connect(section.header, &QToolButton::toggled, this, [this, index](bool checked) {
        applyOpen(sections_.at(index), checked);
        emit sectionToggled(index, checked);
    });
    return index;
}

int AccordionWidget::addSection(const QString &title, QLayout *content, bool open)
{
    auto holder = new QWidget(this);
    if (content)
        holder->setLayout(content);
    return addSection(title, holder, open);
}

int AccordionWidget::count() const
{
    return sections_.size();
}

QString AccordionWidget::sectionTitle(int index) const
{
    return index >= 0 && index < sections_.size() ? sections_.at(index).header->text() : QString();
}

QWidget *AccordionWidget::sectionContent(int index) const
{
    return index >= 0 && index < sections_.size() ? sections_.at(index).content : nullptr;
}

QToolButton *AccordionWidget::sectionHeader(int index) const
{
    return index >= 0 && index < sections_.size() ? sections_.at(index).header : nullptr;
}

bool AccordionWidget::isSectionOpen(int index) const
{
    return index >= 0 && index < sections_.size() && sections_.at(index).header->isChecked();
}

void AccordionWidget::setSectionOpen(int index, bool open)
{
    if (index < 0 || index >= sections_.size())
        return;
    // Toggling the header runs the same path as a click.
    sections_.at(index).header->setChecked(open);
}

void AccordionWidget::applyOpen(const Section &section, bool open)
{
    {
        const QSignalBlocker blocker(section.header);
        section.header->setChecked(open);
    }
    section.header->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
    section.content->setVisible(open);
}
