#pragma once

#include <QRect>
#include <QSize>

#include <functional>

namespace Editor {

// Reads whether an environment variable is set (any value, empty included).
using EnvironmentReader = std::function<bool(const char *name)>;

// The process environment as the entry sees it.
bool isEnvironmentVariableSet(const char *name);

// Qt's high-DPI scaling is turned on unless the user already chose a scale
// through one of Qt's own scaling variables.
bool wantsHighDpiScaling(const EnvironmentReader &is_set);

// Decimal numbers are written and read with a point whatever the user's
// locale: the C library's numeric category and Qt's default locale become
// "C". The application object calls it as soon as QApplication has taken
// the user's locale for every category, before it starts a thread of its own.
void useCNumericLocale();

// The main window starts at three quarters of the available desktop, each
// side truncated toward zero.
QSize mainWindowSize(const QRect &available);

} // namespace Editor
