#pragma once

#include <QMessageBox>
#include <QString>
#include <Qt>

class QWidget;

namespace test {

// Makes the application believe the window system changed its state
// (offscreen never leaves Qt::ApplicationActive by itself). The state change
// is delivered before this returns.
void setApplicationState(Qt::ApplicationState state);

// A close request as the window system sends it (spontaneous), delivered
// before this returns. The widget gets a native window when it has none.
void sendSpontaneousClose(QWidget *widget);

// Clicks button on the next modal message box that appears within
// timeout_ms, from a timer of the event loop. Returns at once.
void answerNextMessageBox(QMessageBox::StandardButton button, int timeout_ms = 10000);

} // namespace test

namespace test {

// Points XDG_CONFIG_HOME at a fresh temporary folder for the rest of the
// process, so that settings start empty. Call before the first QSettings.
// Returns the folder.
QString isolateSettings();

} // namespace test
