#pragma once

#include <QByteArray>
#include <QVariant>

// Default main window placement and layout.
namespace workspace {

// QWidget::saveGeometry bytes of a window at 75 % of the available desktop
// of the primary screen, centred on it.
QByteArray getDefaultMainWindowGeometry();
// An empty value: WindowManagerPrivate::restoreState applies its default
// layout for it.
QVariant getDefaultMainWindowLayout();

} // namespace workspace
