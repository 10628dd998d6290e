#pragma once

#include <QDialog>

class QCloseEvent;
class QPushButton;

namespace assembly {

// "Output File Collision": asks which of two different files goes to one
// output path. It closes only through its buttons: "Use First" emits
// selected(0), "Use Second" selected(1); Escape and closing the window do
// nothing.
class DiffFilesWidget : public QDialog
{
    Q_OBJECT

public:
    DiffFilesWidget(const QString &first_file, const QString &second_file, const QString &output_file,
                    QWidget *parent = nullptr);

    QPushButton *useFirstButton() const { return use_first_; }
    QPushButton *useSecondButton() const { return use_second_; }

public slots:
    void reject() override;

signals:
    void selected(int choice);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QPushButton *use_first_ = nullptr;
    QPushButton *use_second_ = nullptr;
};

} // namespace assembly
