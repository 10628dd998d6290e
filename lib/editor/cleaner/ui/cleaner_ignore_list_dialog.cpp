#include "editor/cleaner/ui/cleaner_ignore_list_dialog.h"

#include "editor/cleaner/model/ignore_list_check.h"

#include <editor_core/UiCommon.h>

#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QVBoxLayout>

namespace cleaner {

namespace {

QPushButton *makeButton(const QString &text, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setAutoDefault(false);
    UiCommon::setButtonMinWidth(button, 80);
    return button;
}

} // namespace

CleanerIgnoreListDialog::CleanerIgnoreListDialog(Editor::AssetManagerPrivate *as_manager, QWidget *parent)
    : QDialog(parent)
    , as_manager_(as_manager)
{
    setObjectName(QStringLiteral("CleanerIgnoreListDialog"));
    setWindowTitle(tr("Ignore List"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    auto *layout = new QVBoxLayout(this);
    editor_ = new QPlainTextEdit(this);
    editor_->setObjectName(QStringLiteral("patterns"));
    editor_->setFixedHeight(220);
    editor_->setWordWrapMode(QTextOption::ManualWrap);
    editor_->setLineWrapMode(QPlainTextEdit::NoWrap);
    editor_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    layout->addWidget(editor_);

    message_ = new QLabel(this);
    message_->setObjectName(QStringLiteral("message"));
    message_->setWordWrap(true);
    message_->setStyleSheet(QStringLiteral("color: #e0a030;"));
    message_->hide();
    layout->addWidget(message_);

    auto *check_button = makeButton(tr("Check"), this);
    check_button->setObjectName(QStringLiteral("check"));
    layout->addWidget(check_button, 0, Qt::AlignLeft);

    result_ = new QPlainTextEdit(this);
    result_->setObjectName(QStringLiteral("result"));
    result_->setReadOnly(true);
    result_->setUndoRedoEnabled(false);
    result_->setLineWrapMode(QPlainTextEdit::NoWrap);
    result_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    layout->addWidget(result_, 1);

    auto *buttons = new QHBoxLayout;
    buttons->setContentsMargins(0, 0, 0, 0);
    auto *restore_button = makeButton(tr("Restore Defaults"), this);
    restore_button->setObjectName(QStringLiteral("restoreDefaults"));
    auto *ok_button = makeButton(tr("OK"), this);
    ok_button->setObjectName(QStringLiteral("ok"));
    auto *cancel_button = makeButton(tr("Cancel"), this);
    cancel_button->setObjectName(QStringLiteral("cancel"));
    apply_button_ = makeButton(tr("Apply"), this);
    apply_button_->setObjectName(QStringLiteral("apply"));
    buttons->addWidget(restore_button, 0, Qt::AlignLeft);
    buttons->addStretch(1);
    buttons->addWidget(ok_button, 0, Qt::AlignRight);
    buttons->addWidget(cancel_button, 0, Qt::AlignRight);
    buttons->addWidget(apply_button_, 0, Qt::AlignRight);
    layout->addLayout(buttons);

    connect(check_button, &QPushButton::clicked, this, &CleanerIgnoreListDialog::check);
    connect(restore_button, &QPushButton::clicked, this, &CleanerIgnoreListDialog::restoreDefaults);
    connect(ok_button, &QPushButton::clicked, this, &CleanerIgnoreListDialog::applyAndClose);
    connect(cancel_button, &QPushButton::clicked, this, [this] { done(QDialog::Rejected); });
    connect(apply_button_, &QPushButton::clicked, this, &CleanerIgnoreListDialog::apply);
    connect(editor_, &QPlainTextEdit::textChanged, this, &CleanerIgnoreListDialog::onTextChanged);

    ask_ = [this](const QString &title, const QString &text, const QString &accept) {
        QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::Cancel, this);
        box.button(QMessageBox::Yes)->setText(accept);
        box.button(QMessageBox::Cancel)->setText(tr("Cancel"));
        box.setDefaultButton(QMessageBox::Cancel);
        box.setEscapeButton(QMessageBox::Cancel);
        return box.exec() == QMessageBox::Yes;
    };

    const QStringList patterns = IgnoreList::load(&load_error_);
    ignore_list_.setPatterns(patterns);
    editor_->setPlainText(IgnoreList::joinLines(patterns));
    setUnsaved(false);
    resize(520, 560);
}

CleanerIgnoreListDialog::~CleanerIgnoreListDialog() = default;

QStringList CleanerIgnoreListDialog::currentPatterns()
{
    if (text_changed_) {
        cached_patterns_ = IgnoreList::splitLines(IgnoreList::normalize(editor_->toPlainText()));
        text_changed_ = false;
    }
    return cached_patterns_;
}

void CleanerIgnoreListDialog::onTextChanged()
{
    text_changed_ = true;
    setUnsaved(true);
    showMessage();
}

void CleanerIgnoreListDialog::setUnsaved(bool unsaved)
{
    unsaved_ = unsaved;
    apply_button_->setEnabled(unsaved);
}

void CleanerIgnoreListDialog::showMessage()
{
    QStringList lines;
    if (!load_error_.isEmpty())
        lines << tr("The ignore list could not be read (%1); the default list is shown, and the file is left as it "
                    "is unless you save a change.")
                         .arg(load_error_);
    if (!save_error_.isEmpty())
        lines << tr("The ignore list could not be saved: %1").arg(save_error_);
    const IgnoreListCheck review = IgnoreListCheck::reviewPatterns(currentPatterns());
    const int doubtful = review.invalid.size() + review.never_matching.size();
    if (doubtful > 0)
        lines << tr("%n pattern(s) are invalid or can never match; press Check to see them.", nullptr, doubtful);
    message_->setText(lines.join(QLatin1Char('\n')));
    message_->setVisible(!lines.isEmpty());
}

void CleanerIgnoreListDialog::check()
{
    result_->clear();
    const IgnoreListCheck result = IgnoreListCheck::run(as_manager_, currentPatterns(), ignore_list_);
    result_->setPlainText(result.reportText());
}

void CleanerIgnoreListDialog::restoreDefaults()
{
    const QStringList defaults = IgnoreList::defaultPatterns();
    // A file that could not be read is not the default list, whatever the
    // editor shows in its stead.
    if (currentPatterns() == defaults && load_error_.isEmpty())
        return;
    ignore_list_.setPatterns(defaults);
    editor_->setPlainText(IgnoreList::joinLines(defaults));
    setUnsaved(true);
}

bool CleanerIgnoreListDialog::apply()
{
    if (!unsaved_)
        return true;
    if (!load_error_.isEmpty()
        && !ask_(tr("Replace Ignore List"),
                 tr("The ignore list file could not be read:\n%1\n\nSaving replaces it with the list shown here. "
                    "Replace it?")
                         .arg(load_error_),
                 tr("Replace")))
        return false;
    QString error;
    if (!IgnoreList::save(currentPatterns(), &error)) {
        save_error_ = error.isEmpty() ? tr("the file could not be written") : error;
        setUnsaved(true);
        showMessage();
        return false;
    }
    save_error_.clear();
    load_error_.clear();
    saved_ = true;
    setUnsaved(false);
    showMessage();
    return true;
}

void CleanerIgnoreListDialog::applyAndClose()
{
    if (apply())
        done(QDialog::Accepted);
}

} // namespace cleaner
