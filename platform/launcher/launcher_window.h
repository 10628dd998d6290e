#pragma once

#include "launcher_config.h"

#include <QWidget>

// Shows the build's banner and parameters; "Run" starts the chosen
// executable with the command line the parameters make.
class LauncherWindow : public QWidget
{
    Q_OBJECT

public:
    LauncherWindow(LauncherConfig &config, const QString &folder, QWidget *parent = nullptr);

signals:
    void runRequested();
};
