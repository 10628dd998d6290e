#include "editor_core/ElidedLabel.h"

#include <QPainter>
#include <QStyle>

ElidedLabel::ElidedLabel(QWidget *parent)
    : QLabel(parent)
{
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

ElidedLabel::ElidedLabel(const QString &text, QWidget *parent)
    : ElidedLabel(parent)
{
    setText(text);
}

ElidedLabel::~ElidedLabel() = default;

void ElidedLabel::setElideMode(Qt::TextElideMode mode)
{
    if (mode_ == mode)
        return;
    mode_ = mode;
    update();
}

Qt::TextElideMode ElidedLabel::elideMode() const
{
    return mode_;
}

QString ElidedLabel::elidedText() const
{
    const int width = contentsRect().width() - 2 * margin();
    // The text is one line: line breaks would defeat the eliding.
    QString line = text();
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return fontMetrics().elidedText(line, mode_, qMax(0, width));
}

QSize ElidedLabel::minimumSizeHint() const
{
    // Any width will do; the height of one line.
    return QSize(0, QLabel::minimumSizeHint().height());
}

void ElidedLabel::paintEvent(QPaintEvent *event)
{
    if (mode_ == Qt::ElideNone) {
        QLabel::paintEvent(event);
        return;
    }
    QFrame::paintEvent(event);
    QPainter painter(this);
    const QRect area = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    style()->drawItemText(&painter, area, int(alignment()), palette(), isEnabled(), elidedText(), foregroundRole());
}
