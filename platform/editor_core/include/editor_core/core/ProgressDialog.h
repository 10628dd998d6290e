#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace core {

// Progress of a long job: a text, a bar from 0 to 100 and a Cancel button.
// Cancel, Escape and the window's close button emit cancelled() once and
// disable the button; the dialog never hides, resets or closes itself (its
// owner hides and deletes it when the job is done). Deleting it closes it.
class ProgressDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ProgressDialog(const QString &text, QWidget *parent = nullptr);
    ~ProgressDialog() override;

    // Clamped to 0..100.
    void setProgress(int percent);
    int progress() const;
    void setText(const QString &text);
    QString text() const;
    bool isCancelled() const;

    QPushButton *cancelButton() const;

    void reject() override;

signals:
    void cancelled();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void cancel();

    QLabel *label_ = nullptr;
    QProgressBar *bar_ = nullptr;
    QPushButton *cancel_button_ = nullptr;
    bool cancelled_ = false;
};

} // namespace core
