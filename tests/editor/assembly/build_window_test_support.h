#pragma once

// Helpers of the build window and build presenter tests: an answering
// machine for message boxes, and data-folder assets written as files with
// their meta files.

#include <velmora/UGUID.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <functional>

namespace buildtest {

// Answers every message box that shows while it exists, from a timer of the
// event loop (so also inside the box's own loop): with the next queued answer,
// else Ok (or the box's escape button). Records what each box said.
class MessageBoxes : public QObject
{
public:
    struct Box
    {
        QString title;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
    };

    MessageBoxes()
    {
        timer_.setInterval(5);
        connect(&timer_, &QTimer::timeout, this, &MessageBoxes::poll);
        timer_.start();
    }

    void answer(QMessageBox::StandardButton button) { answers_ << button; }
    // Called when a box shows, before it is answered.
    void onShow(std::function<void(const Box &)> callback) { on_show_ = std::move(callback); }

    const QList<Box> &boxes() const { return boxes_; }
    QStringList texts() const
    {
        QStringList result;
        for (const Box &box : boxes_)
            result << box.text;
        return result;
    }
    void clear() { boxes_.clear(); }

private:
    void poll()
    {
        const QWidgetList widgets = QApplication::topLevelWidgets();
        for (QWidget *widget : widgets) {
            auto box = qobject_cast<QMessageBox *>(widget);
            if (!box || !box->isVisible() || handled_.contains(box))
                continue;
            handled_ << box;
            const Box seen{box->windowTitle(), box->text(), box->icon(), box->standardButtons()};
            boxes_ << seen;
            if (on_show_)
                on_show_(seen);
            const QMessageBox::StandardButton wanted = answers_.isEmpty() ? QMessageBox::Ok : answers_.takeFirst();
            QAbstractButton *button = box->button(wanted);
            if (!button)
                button = box->escapeButton();
            if (button)
                button->click();
            else
                box->done(wanted);
            return;
        }
    }

    QTimer timer_;
    QList<QMessageBox::StandardButton> answers_;
    QList<QPointer<QMessageBox>> handled_;
    QList<Box> boxes_;
    std::function<void(const Box &)> on_show_;
};

// The fixture shorthand: {a101} = "aaaaa" + 32 zeros + "101".
inline Velmora::UGUID guid(char letter, int number)
{
    const QString text = QString(5, QLatin1Char(letter)) + QString(32, QLatin1Char('0'))
            + QStringLiteral("%1").arg(number, 3, 10, QLatin1Char('0'));
    return Velmora::UGUID(text.toLatin1().constData());
}

// Writes a data file and its meta file.
inline bool writeAsset(const QString &data_root, const QString &relative, const Velmora::UGUID &asset, int type,
                       const QByteArray &content = "x\n")
{
    const QString path = data_root + relative;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return false;
    QFile meta(path + QStringLiteral(".meta"));
    const QByteArray xml = QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<asset version=\"1\" guid=\"")
            + asset.getString().get() + "\" type=\"" + QByteArray::number(type) + "\" excluded=\"0\">\n</asset>\n";
    return meta.open(QIODevice::WriteOnly) && meta.write(xml) == xml.size();
}

} // namespace buildtest
