#pragma once

#include <velmora/String.h>
#include <velmora/Vector.h>

#include <QColor>
#include <QStringList>
#include <QWidget>

#include <mutex>

class EditorSettings;
class QLineEdit;
class QPlainTextEdit;
class QStandardItemModel;
class QTreeView;

// The editor's console window: a read-only view of everything the engine
// console prints, coloured by kind, and a command line that runs engine
// console commands, with a history kept in the editor settings and a
// completion list of the console's variables and commands.
//
// The engine may print from any thread: the output callback only queues the
// text under a mutex; flushOutput() shows the queue on the GUI thread once
// per frame.
class ConsoleWidget : public QWidget
{
    Q_OBJECT

public:
    static constexpr int MAX_BLOCK_COUNT = 10000;
    static constexpr int MAX_HISTORY = 50;

    explicit ConsoleWidget(QWidget *parent = nullptr);
    ~ConsoleWidget() override;

    // The engine console output callback; any thread.
    void onConsoleOutput(const char *text, int kind);

    // Shows the queued engine output (GUI thread, once per frame).
    void flushOutput();
    void loadHistory(EditorSettings *settings);
    // Stores the history and detaches the window from the engine console.
    void saveHistory(EditorSettings *settings);
    // Whether the engine still calls this window.
    bool isAttached() const { return output_callback_ != nullptr; }
    void scrollToEnd();

    // Tests and the presenter: queued texts not shown yet, the command
    // history (slot 0 is the line being edited) and the parts of the form.
    int pendingCount() const;
    QStringList history() const { return history_; }
    QPlainTextEdit *outputView() const { return text_edit_; }
    QLineEdit *commandLine() const { return line_edit_; }
    QColor colorForKind(int kind) const;

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct ConsoleMessage
    {
        Velmora::String text;
        int kind = 0;
    };

    void runCommand();
    void showContextMenu(const QPoint &point);
    void clearOutput();
    void appendMessage(const QString &text, int kind);
    void updateCompleter();
    void recolorAll();
    void recallHistory(int step);

    QPlainTextEdit *text_edit_ = nullptr;
    QLineEdit *line_edit_ = nullptr;
    QStringList history_;
    int history_index_ = 0;
    bool line_focused_ = false;
    bool new_block_pending_ = false;
    // The output view stands at its bottom and shows new text as it comes.
    bool following_ = true;
    bool appending_ = false;
    bool completer_dirty_ = false;
    int initial_scrolls_ = 0;
    QStandardItemModel *completer_model_ = nullptr;
    QTreeView *completer_popup_ = nullptr;
    void *output_callback_ = nullptr;
    // Recursive: the engine may print on the GUI thread while it is held. A
    // standard mutex, so that thread checkers see the lock.
    mutable std::recursive_mutex mutex_;
    Velmora::Vector<ConsoleMessage> pending_;
};
