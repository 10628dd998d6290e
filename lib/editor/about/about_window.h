#pragma once

#include <QMainWindow>

class QLabel;

// The About window: the product logo, the engine's version text and the
// credits. A tool window, hidden until the menu shows it; every show brings
// it back to 700 x 600, centred over the editor's window.
class AboutWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit AboutWindow(QWidget *parent = nullptr);
    ~AboutWindow() override;

    // "Version: " and the engine's version text with its last eleven
    // characters (the revision) in parentheses.
    static QString versionLine(const QString &engine_version_info);

    QString binaryInfo() const;

protected:
    bool event(QEvent *event) override;

private:
    void placeOverOwner();

    QLabel *binary_info_ = nullptr;
};
