#pragma once

#include "editor/cleaner/ignore_list/ignore_list.h"

#include <QDialog>
#include <QStringList>

#include <functional>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace Editor {
class AssetManagerPrivate;
}

namespace cleaner {

// "Ignore List": the cleaner's ignore patterns as plain text, one a line.
// "Check" lists the project's files that the edited patterns leave to the
// cleaner (and the patterns that are invalid or can never match);
// "Restore Defaults" puts the default list in the editor; "Apply" and "OK"
// save after an edit or "Restore Defaults", and only then. A file that is
// there but could not be read is replaced only when the user agrees. A failed
// save is shown and keeps "Apply" enabled (and "OK" open).
class CleanerIgnoreListDialog : public QDialog
{
    Q_OBJECT

public:
    CleanerIgnoreListDialog(Editor::AssetManagerPrivate *as_manager, QWidget *parent = nullptr);
    ~CleanerIgnoreListDialog() override;

    // Asks the user a yes-or-no question; true for yes. A message box unless
    // set otherwise.
    using AskFunction = std::function<bool(const QString &title, const QString &text, const QString &accept)>;
    void setAsk(AskFunction ask) { ask_ = std::move(ask); }

    // The editor text split into lines (cached until the next edit).
    QStringList currentPatterns();
    // Whether a save succeeded since the dialog opened.
    bool savedChanges() const { return saved_; }

    QPlainTextEdit *patternEditor() const { return editor_; }
    QPlainTextEdit *resultBox() const { return result_; }
    QPushButton *applyButton() const { return apply_button_; }
    // The warning line: invalid patterns, a failed load or save.
    QLabel *messageLabel() const { return message_; }

public slots:
    void check();
    void restoreDefaults();
    // Saves the list when it was edited or restored since the last save.
    // False when it was not saved: the write failed, or the user kept a
    // file that could not be read.
    bool apply();
    void applyAndClose();

private:
    void onTextChanged();
    void showMessage();
    void setUnsaved(bool unsaved);

    Editor::AssetManagerPrivate *as_manager_;
    QPlainTextEdit *editor_ = nullptr;
    QPlainTextEdit *result_ = nullptr;
    QPushButton *apply_button_ = nullptr;
    QLabel *message_ = nullptr;
    IgnoreList ignore_list_;
    bool text_changed_ = true;
    QStringList cached_patterns_;
    QString load_error_;
    QString save_error_;
    bool saved_ = false;
    // An edit or "Restore Defaults" not saved yet; "Apply" shows it.
    bool unsaved_ = false;
    AskFunction ask_;
};

} // namespace cleaner
