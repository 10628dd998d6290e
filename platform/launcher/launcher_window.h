#pragma once

#include "launcher_config.h"

#include <QPixmap>
#include <QWidget>

class QLabel;

// Shows the build's banner and parameters; "Run" starts the chosen
// executable with the command line the parameters make.
class LauncherWindow : public QWidget
{
    Q_OBJECT

public:
    LauncherWindow(LauncherConfig &config, const QString &folder, QWidget *parent = nullptr);

    // Sizes the window to its content within the screen's available area
    // (a banner larger than a good part of the screen is scaled down) and
    // centres it there. Call before showing.
    void fitToScreen(const QRect &available);

signals:
    void runRequested();

private:
    QLabel *banner_ = nullptr;
    QPixmap banner_image_;
};
