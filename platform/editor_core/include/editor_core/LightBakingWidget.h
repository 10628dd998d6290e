#pragma once

#include <QWidget>

// Placeholder of the "Light Baking" tool window: a label only. Baking is
// simulated by the engine's bake_lighting_sim console command.
class LightBakingWidget : public QWidget
{
    Q_OBJECT

public:
    explicit LightBakingWidget(QWidget *parent = nullptr);
    ~LightBakingWidget() override;
};
