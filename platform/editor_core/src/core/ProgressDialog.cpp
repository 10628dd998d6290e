#include "editor_core/core/ProgressDialog.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace core {

ProgressDialog::ProgressDialog(const QString &text, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("ProgressDialog"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    label_ = new QLabel(text, this);
    label_->setObjectName(QStringLiteral("text"));
    label_->setWordWrap(true);

    bar_ = new QProgressBar(this);
    bar_->setObjectName(QStringLiteral("progress"));
    bar_->setRange(0, 100);
    bar_->setValue(0);

    cancel_button_ = new QPushButton(tr("Cancel"), this);
    cancel_button_->setObjectName(QStringLiteral("cancel"));
    cancel_button_->setAutoDefault(false);
    connect(cancel_button_, &QPushButton::clicked, this, &ProgressDialog::cancel);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cancel_button_);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label_);
    layout->addWidget(bar_);
    layout->addLayout(buttons);
    setMinimumWidth(360);
}

ProgressDialog::~ProgressDialog() = default;

void ProgressDialog::setProgress(int percent)
{
    bar_->setValue(qBound(0, percent, 100));
}

int ProgressDialog::progress() const
{
    return bar_->value();
}

void ProgressDialog::setText(const QString &text)
{
    label_->setText(text);
}

QString ProgressDialog::text() const
{
    return label_->text();
}

bool ProgressDialog::isCancelled() const
{
    return cancelled_;
}

QPushButton *ProgressDialog::cancelButton() const
{
    return cancel_button_;
}

void ProgressDialog::cancel()
{
    if (cancelled_)
        return;
    cancelled_ = true;
    cancel_button_->setEnabled(false);
    emit cancelled();
}

void ProgressDialog::reject()
{
    // Escape: a cancel request; the dialog stays until its owner hides it.
    cancel();
}

void ProgressDialog::closeEvent(QCloseEvent *event)
{
    event->ignore();
    cancel();
}

} // namespace core
