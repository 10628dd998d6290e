#include "editor/console/console_widget.h"

#include <editor_core/EditorSettings.h>

#include <velmora/Base.h>
#include <velmora/Console.h>

#include <QCompleter>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTextBlock>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

QString variableValueText(const char *name)
{
    if (Velmora::Console::isInt(name))
        return QString::number(Velmora::Console::getInt(name));
    if (Velmora::Console::isFloat(name))
        return QString::number(double(Velmora::Console::getFloat(name)), 'g', 6);
    if (Velmora::Console::isString(name))
        return QString::fromUtf8(Velmora::Console::getString(name));
    return QString();
}

} // namespace

ConsoleWidget::ConsoleWidget(QWidget *parent)
    : QWidget(parent)
    , history_{QString()}
{
    if (objectName().isEmpty())
        setObjectName(QStringLiteral("ConsoleWidget"));
    resize(400, 300);
    setWindowTitle(tr("Form"));

    auto layout = new QVBoxLayout(this);
    layout->setObjectName(QStringLiteral("verticalLayout"));
    layout->setContentsMargins(2, 2, 2, 2);
    text_edit_ = new QPlainTextEdit(this);
    text_edit_->setObjectName(QStringLiteral("textEdit"));
    text_edit_->setUndoRedoEnabled(false);
    text_edit_->setReadOnly(true);
    line_edit_ = new QLineEdit(this);
    line_edit_->setObjectName(QStringLiteral("lineEdit"));
    line_edit_->setPlaceholderText(tr("Command"));
    layout->addWidget(text_edit_);
    layout->addWidget(line_edit_);

    // The view follows new text while it stands at the bottom. Resizing the
    // window changes the scroll range without the user scrolling: a view that
    // was following stays at the bottom, one the user scrolled up stays put.
    QScrollBar *bar = text_edit_->verticalScrollBar();
    // While text is appended, appendMessage decides alone.
    connect(bar, &QScrollBar::valueChanged, this, [this, bar](int value) {
        if (!appending_)
            following_ = value == bar->maximum();
    });
    connect(bar, &QScrollBar::rangeChanged, this, [this, bar](int, int maximum) {
        if (following_ && !appending_)
            bar->setValue(maximum);
    });

    line_edit_->installEventFilter(this);
    connect(line_edit_, &QLineEdit::returnPressed, this, &ConsoleWidget::runCommand, Qt::QueuedConnection);

    text_edit_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(text_edit_, &QWidget::customContextMenuRequested, this, &ConsoleWidget::showContextMenu);

    completer_model_ = new QStandardItemModel(this);
    completer_popup_ = new QTreeView(this);
    completer_popup_->setIndentation(0);
    completer_popup_->setUniformRowHeights(true);
    completer_popup_->installEventFilter(this);
    completer_popup_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    completer_popup_->header()->hide();
    completer_popup_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    completer_popup_->header()->setStretchLastSection(true);

    auto completer = new QCompleter(completer_model_, this);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    completer->setCompletionColumn(0);
    completer->setPopup(completer_popup_);
    line_edit_->setCompleter(completer);

    text_edit_->document()->setMaximumBlockCount(MAX_BLOCK_COUNT);

    output_callback_
            = Velmora::Console::addOutputCallback(Velmora::MakeCallback(this, &ConsoleWidget::onConsoleOutput));
}

ConsoleWidget::~ConsoleWidget()
{
    // However the window goes, the engine must not call it afterwards.
    if (output_callback_)
        Velmora::Console::removeOutputCallback(output_callback_);
}

void ConsoleWidget::onConsoleOutput(const char *text, int kind)
{
    if (!text || !*text)
        return;
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    pending_.append(ConsoleMessage{Velmora::String(text), kind});
}

int ConsoleWidget::pendingCount() const
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return pending_.size();
}

void ConsoleWidget::flushOutput()
{
    // Take the queue and release the lock before showing it: text that the
    // GUI thread prints while the view updates waits for the next flush
    // instead of changing the list being shown.
    Velmora::Vector<ConsoleMessage> messages;
    {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        std::swap(messages, pending_);
    }
    for (const ConsoleMessage &message : messages)
        appendMessage(QString::fromUtf8(message.text.get(), message.text.size()), message.kind);

    if (completer_dirty_) {
        updateCompleter();
        completer_dirty_ = false;
    }
    if (initial_scrolls_ < 2) {
        text_edit_->verticalScrollBar()->setValue(text_edit_->verticalScrollBar()->maximum());
        ++initial_scrolls_;
    }
}

void ConsoleWidget::appendMessage(const QString &text, int kind)
{
    if (text.isEmpty())
        return;
    QScrollBar *bar = text_edit_->verticalScrollBar();
    const bool following = following_ || bar->value() == bar->maximum();
    appending_ = true;

    QTextCharFormat format;
    format.setForeground(QBrush(colorForKind(kind)));

    QTextCursor cursor(text_edit_->document());
    cursor.movePosition(QTextCursor::End);
    if (new_block_pending_) {
        cursor.insertBlock();
        new_block_pending_ = false;
    }
    QString shown = text;
    if (shown.endsWith(QLatin1Char('\n'))) {
        shown.chop(1);
        new_block_pending_ = true;
    }
    cursor.insertText(shown, format);
    text_edit_->document()->lastBlock().setUserState(kind);

    appending_ = false;
    if (following)
        bar->setValue(bar->maximum());
}

QColor ConsoleWidget::colorForKind(int kind) const
{
    if (kind == 1)
        return QColor(QStringLiteral("#ffa000"));
    if (kind == 2)
        return QColor(QStringLiteral("#ff6c6c"));
    return QColor(palette().color(QPalette::WindowText).name());
}

void ConsoleWidget::recolorAll()
{
    // One edit block for the whole document: the cursor is placed by
    // position, which inside an edit block lays out no line, and the view
    // lays the changed blocks out once at its end instead of block by block.
    QTextDocument *document = text_edit_->document();
    // Placing a cursor by position makes no frame: the root frame is made
    // here, at the same point of the document's life as always.
    document->rootFrame();
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        cursor.setPosition(block.position());
        cursor.setPosition(block.position() + block.length() - 1, QTextCursor::KeepAnchor);
        QTextCharFormat format;
        format.setForeground(QBrush(colorForKind(block.userState())));
        cursor.setCharFormat(format);
    }
    cursor.endEditBlock();
}

void ConsoleWidget::runCommand()
{
    const QString text = line_edit_->text();
    Velmora::Console::run(text.toUtf8().constData());
    if (text.isEmpty())
        return;

    const QString most_recent = history_.size() > 1 ? history_.at(1) : QString();
    if (text == most_recent) {
        history_[0] = QString();
    } else {
        history_[0] = text;
        history_.prepend(QString());
    }
    history_index_ = 0;

    if (text == QLatin1String("clear"))
        clearOutput();
    line_edit_->clear();
    completer_dirty_ = true;
}

void ConsoleWidget::showContextMenu(const QPoint &point)
{
    QMenu *menu = text_edit_->createStandardContextMenu();
    QAction *clear = menu->addAction(tr("Clear"));
    connect(clear, &QAction::triggered, this, &ConsoleWidget::clearOutput);
    menu->exec(text_edit_->mapToGlobal(point));
    delete menu;
}

void ConsoleWidget::clearOutput()
{
    text_edit_->clear();
    new_block_pending_ = false;
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    pending_.clear();
}

void ConsoleWidget::updateCompleter()
{
    QCompleter *completer = line_edit_->completer();
    completer->setModel(nullptr);
    completer->setCompletionPrefix(QString());
    completer_model_->clear();

    const int variables = Velmora::Console::getNumVariables();
    for (int i = 0; i < variables; ++i) {
        const char *name = Velmora::Console::getVariableName(i);
        completer_model_->appendRow(
                {new QStandardItem(QString::fromUtf8(name)), new QStandardItem(variableValueText(name))});
    }
    const int commands = Velmora::Console::getNumCommands();
    for (int i = 0; i < commands; ++i) {
        const char *name = Velmora::Console::getCommandName(i);
        completer_model_->appendRow(
                {new QStandardItem(QString::fromUtf8(name)),
                 new QStandardItem(QString::fromUtf8(Velmora::Console::getCommandDescription(name)))});
    }
    completer->setModel(completer_model_);
    completer->setPopup(completer_popup_);
}

void ConsoleWidget::recallHistory(int step)
{
    history_[history_index_] = line_edit_->text();
    history_index_ = qBound(0, history_index_ + step, history_.size() - 1);
    line_edit_->setText(history_.at(history_index_));
}

bool ConsoleWidget::event(QEvent *event)
{
    if (event->type() == QEvent::StyleChange || event->type() == QEvent::PaletteChange)
        recolorAll();
    return QWidget::event(event);
}

bool ConsoleWidget::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == line_edit_) {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Up || key == Qt::Key_Down) {
                recallHistory(key == Qt::Key_Up ? 1 : -1);
                return true;
            }
            if (key == Qt::Key_Tab) {
                line_edit_->completer()->complete(QRect());
                return true;
            }
        } else if (event->type() == QEvent::FocusIn) {
            if (!line_focused_) {
                line_focused_ = true;
                completer_dirty_ = true;
            }
        } else if (event->type() == QEvent::FocusOut) {
            line_focused_ = false;
        }
    } else if (watched == completer_popup_ && event->type() == QEvent::ShortcutOverride) {
        if (static_cast<QKeyEvent *>(event)->key() == Qt::Key_Tab) {
            // The entry the user sees: the current one, else the first row of
            // the list as the typed prefix filters it.
            QModelIndex index = completer_popup_->currentIndex();
            if (!index.isValid() && completer_popup_->model())
                index = completer_popup_->model()->index(0, 0);
            const QVariant text = index.sibling(index.row(), 0).data(Qt::DisplayRole);
            if (text.isValid())
                line_edit_->setText(text.toString() + QLatin1Char(' '));
            QMetaObject::invokeMethod(line_edit_, "setFocus", Qt::QueuedConnection);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ConsoleWidget::loadHistory(EditorSettings *settings)
{
    const ConfigEntry entry = settings->console().history;
    QStringList loaded;
    if (entry.exists())
        loaded = entry.file->getString(entry.key, QString()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    // Slot 0 is the line being edited: the commands of the last run start
    // at slot 1, so the first Up or Down never overwrites the most recent one.
    loaded.prepend(QString());
    history_ = loaded;
    history_index_ = 0;
    recolorAll();
}

void ConsoleWidget::saveHistory(EditorSettings *settings)
{
    const ConfigEntry entry = settings->console().history;
    entry.file->set(entry.key, history_.mid(0, MAX_HISTORY + 1).join(QLatin1Char('\n')));

    // Only this window's own callback goes: other tools and test captures
    // that listen to the engine console keep theirs.
    if (output_callback_) {
        Velmora::Console::removeOutputCallback(output_callback_);
        output_callback_ = nullptr;
    }
}

void ConsoleWidget::scrollToEnd()
{
    text_edit_->moveCursor(QTextCursor::End);
}
