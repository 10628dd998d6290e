#include "RegistryListWindow.h"

#include "editor_core/View.h"
#include "editor_core/editor/WindowManager.h"

#include <velmora/Engine.h>
#include <velmora/Log.h>

#include <QEvent>
#include <QListWidget>
#include <QSignalBlocker>

namespace registry_list {

namespace {

// A large project's registries have tens of thousands of entries, and the
// list windows start hidden: a new list is filled when it is first shown,
// unless a refresh fills it before.
const char FIRST_FILL[] = "registry_list_first_fill";

class FirstShowFill : public QObject
{
public:
    FirstShowFill(QListWidget *list, std::function<void(QListWidget *)> fill)
        : QObject(list)
        , list_(list)
        , fill_(std::move(fill))
    {
        setObjectName(QString::fromLatin1(FIRST_FILL));
        list->installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // refresh lets this filter go.
        if (watched == list_ && event->type() == QEvent::Show)
            refresh(list_, fill_);
        return false;
    }

private:
    QListWidget *list_;
    std::function<void(QListWidget *)> fill_;
};

} // namespace

QListWidget *create(QPointer<QListWidget> &window, View *main_window, QWidget *&slot, const QString &object_name,
                    const QString &title, const char *owner, const std::function<void(QListWidget *)> &fill)
{
    if (window) {
        Velmora::Log::warning("%s: the %s window exists already\n", owner, qPrintable(title.toLower()));
        return nullptr;
    }
    auto *list = new QListWidget(Editor::WindowManager::newDockParent(main_window));
    list->setObjectName(object_name);
    list->setWindowTitle(title);
    list->setUniformItemSizes(true);
    window = list;
    slot = list;
    new FirstShowFill(list, fill);
    if (Editor::WindowManager::instance())
        Editor::WindowManager::add(list, Editor::WindowManager::AREA_TOOL);
    return list;
}

void destroy(QPointer<QListWidget> &window, QWidget *&slot)
{
    if (!window)
        return;
    if (Editor::WindowManager::contains(window))
        Editor::WindowManager::remove(window);
    if (slot == window)
        slot = nullptr;
    delete window;
}

void refresh(QListWidget *window, const std::function<void(QListWidget *)> &fill)
{
    if (!window)
        return;
    if (QObject *first_fill
        = window->findChild<QObject *>(QString::fromLatin1(FIRST_FILL), Qt::FindDirectChildrenOnly)) {
        window->removeEventFilter(first_fill);
        first_fill->setObjectName(QString());
        first_fill->deleteLater();
    }
    window->clear();
    if (Velmora::Engine::get())
        fill(window);
}

namespace {

// The GUID's text form (40 lower-case hexadecimal digits), made straight
// into the string the list keeps.
QString guidText(const Velmora::UGUID &guid)
{
    static const char DIGITS[] = "0123456789abcdef";
    QString text(Velmora::UGUID::TEXT_LENGTH, Qt::Uninitialized);
    QChar *out = text.data();
    for (int w = 0; w < Velmora::UGUID::NUM_WORDS; ++w) {
        const uint32_t word = guid.getWord(w);
        for (int shift = 28; shift >= 0; shift -= 4)
            *out++ = QLatin1Char(DIGITS[(word >> shift) & 0xf]);
    }
    return text;
}

} // namespace

void addEntries(QListWidget *window, const QStringList &names, const std::vector<Velmora::UGUID> &guids)
{
    // One insertion for all the rows: the view hears of them once, not
    // once a row. The new rows are not laid out or drawn yet: their
    // tooltips and user data are filled in straight away, without a change
    // notice for each value.
    const int first = window->count();
    window->addItems(names);
    const QSignalBlocker quiet(window->model());
    for (int i = 0; i < names.size(); ++i) {
        QListWidgetItem *item = window->item(first + i);
        const QString text = guidText(guids[size_t(i)]);
        item->setToolTip(text);
        item->setData(Qt::UserRole, text);
    }
}

} // namespace registry_list
