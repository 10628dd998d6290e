#pragma once

#include <QWidget>

class Controls;

// Placeholder of the brush tool window: a label only. Landscape and
// clutter brushes are not part of this editor core.
class BrushWindow : public QWidget
{
    Q_OBJECT

public:
    explicit BrushWindow(QWidget *parent = nullptr);
    ~BrushWindow() override;

    void initGUI(Controls *controls);
    void shutdownGUI(Controls *controls);

private:
    Controls *controls_ = nullptr;
};
