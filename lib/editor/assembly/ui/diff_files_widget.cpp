#include "editor/assembly/ui/diff_files_widget.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace assembly {

namespace {

QFrame *sunkenLine(QWidget *parent)
{
    auto line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

QGroupBox *pathBox(const QString &title, const QString &path, const QString &name, QWidget *parent)
{
    auto box = new QGroupBox(title, parent);
    auto layout = new QVBoxLayout(box);
    auto edit = new QLineEdit(path, box);
    edit->setObjectName(name);
    edit->setReadOnly(true);
    layout->addWidget(edit);
    return box;
}

} // namespace

DiffFilesWidget::DiffFilesWidget(const QString &first_file, const QString &second_file, const QString &output_file,
                                 QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("DiffFilesWidget"));
    setWindowTitle(tr("Output File Collision"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setWindowFlags(windowFlags() & ~Qt::WindowCloseButtonHint & ~Qt::WindowContextHelpButtonHint);

    auto layout = new QVBoxLayout(this);
    for (const QString &text : {tr("You're trying to put two different source files to the same output file. "),
                                tr("Please select the one you want to use.")}) {
        auto label = new QLabel(text, this);
        label->setWordWrap(true);
        layout->addWidget(label);
    }
    layout->addWidget(sunkenLine(this));
    layout->addWidget(pathBox(tr("First File"), first_file, QStringLiteral("first_file"), this));
    layout->addWidget(pathBox(tr("Second File"), second_file, QStringLiteral("second_file"), this));
    layout->addWidget(sunkenLine(this));
    layout->addWidget(pathBox(tr("Output File"), output_file, QStringLiteral("output_file"), this));
    layout->addWidget(sunkenLine(this));

    auto buttons = new QHBoxLayout;
    buttons->addStretch(1);
    use_first_ = new QPushButton(tr("Use First"), this);
    use_first_->setObjectName(QStringLiteral("use_first"));
    use_second_ = new QPushButton(tr("Use Second"), this);
    use_second_->setObjectName(QStringLiteral("use_second"));
    buttons->addWidget(use_first_);
    buttons->addWidget(use_second_);
    layout->addLayout(buttons);
    layout->addStretch(1);

    connect(use_first_, &QPushButton::clicked, this, [this]() { emit selected(0); });
    connect(use_second_, &QPushButton::clicked, this, [this]() { emit selected(1); });
    resize(600, sizeHint().height());
}

void DiffFilesWidget::reject()
{
    // Only the buttons answer.
}

void DiffFilesWidget::closeEvent(QCloseEvent *event)
{
    event->ignore();
}

} // namespace assembly
