#pragma once

#include <QWidget>

namespace manipulators {

// Placeholder of the viewport manipulators (registry member
// depr::g.manipulators): a hidden widget with a label. Moving, rotating
// and scaling nodes in the viewports is not part of this editor core.
class EditorManipulators : public QWidget
{
    Q_OBJECT

public:
    explicit EditorManipulators(QWidget *parent = nullptr);
    ~EditorManipulators() override;

    void initComponent();
    void shutdownComponent();
    bool isInitialized() const;

private:
    bool initialized_ = false;
};

} // namespace manipulators
