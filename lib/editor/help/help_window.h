#pragma once

#include <QString>
#include <QVector>
#include <QWidget>

#include <functional>

class QPushButton;
class CheckBox;

// The Help window, the start window for newcomers: four picture buttons
// that open the getting-started pages, the video tutorials, the online
// documentation and the forum, and a check box that decides whether the
// window opens by itself at start-up.
class HelpWindow : public QWidget
{
    Q_OBJECT

public:
    struct ButtonInfo
    {
        const char *normal_image = nullptr;
        const char *hover_image = nullptr;
        QString title;
        QString description;
        QString tooltip;
        std::function<void()> action;
    };

    explicit HelpWindow(QWidget *parent = nullptr);
    ~HelpWindow() override;

    QVector<ButtonInfo> buttonInfos() const;
    // Opens the window through the window manager's Help command when the
    // setting asks for it; only the first call of a window does anything.
    void showOnStartupIfEnabled();
    void setVisible(bool visible) override;

    CheckBox *showAtStartupCheckBox() const { return show_at_startup_; }
    QVector<QPushButton *> buttons() const { return buttons_; }

private:
    QPushButton *createButton(const ButtonInfo &info);
    void onShowAtStartupToggled(bool checked);

    bool centered_ = false;
    bool startup_checked_ = false;
    CheckBox *show_at_startup_ = nullptr;
    QVector<QPushButton *> buttons_;
};
