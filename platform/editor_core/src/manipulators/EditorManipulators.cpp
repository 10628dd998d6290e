#include "editor_core/manipulators/EditorManipulators.h"

#include <QLabel>
#include <QVBoxLayout>

namespace manipulators {

EditorManipulators::EditorManipulators(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("EditorManipulators"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("Manipulators are not available in this editor."), this));
    hide();
}

EditorManipulators::~EditorManipulators() = default;

void EditorManipulators::initComponent()
{
    initialized_ = true;
}

void EditorManipulators::shutdownComponent()
{
    initialized_ = false;
}

bool EditorManipulators::isInitialized() const
{
    return initialized_;
}

} // namespace manipulators
