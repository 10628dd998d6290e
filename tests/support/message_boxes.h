#pragma once

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <functional>

namespace test {

// Answers every message box that shows while it exists, from a timer of the
// event loop (so also inside the box's own loop): with the next queued
// answer, else Ok (or the box's escape button). Records what each box said.
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

    explicit MessageBoxes(QObject *parent = nullptr);

    void answer(QMessageBox::StandardButton button) { answers_ << button; }
    // Called when a box shows, before it is answered.
    void onShow(std::function<void(const Box &)> callback) { on_show_ = std::move(callback); }

    const QList<Box> &boxes() const { return boxes_; }
    QStringList texts() const;
    QStringList titles() const;
    void clear() { boxes_.clear(); }

private:
    void poll();

    QTimer timer_;
    QList<QMessageBox::StandardButton> answers_;
    QList<QPointer<QMessageBox>> handled_;
    QList<Box> boxes_;
    std::function<void(const Box &)> on_show_;
};

} // namespace test
