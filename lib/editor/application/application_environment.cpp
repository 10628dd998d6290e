#include "editor/application/application_environment.h"

#include <QLocale>

#include <clocale>
#include <cstdlib>

namespace Editor {

bool isEnvironmentVariableSet(const char *name)
{
    return std::getenv(name) != nullptr;
}

bool wantsHighDpiScaling(const EnvironmentReader &is_set)
{
    static const char *const SCALING_VARIABLES[] = {
            "QT_DEVICE_PIXEL_RATIO",
            "QT_AUTO_SCREEN_SCALE_FACTOR",
            "QT_SCALE_FACTOR",
            "QT_SCREEN_SCALE_FACTORS",
    };
    for (const char *name : SCALING_VARIABLES) {
        if (is_set(name))
            return false;
    }
    return true;
}

void useCNumericLocale()
{
    std::setlocale(LC_NUMERIC, "C");
    QLocale::setDefault(QLocale(QLocale::C, QLocale::AnyCountry));
}

QSize mainWindowSize(const QRect &available)
{
    return QSize(int(double(available.width()) * 0.75), int(double(available.height()) * 0.75));
}

} // namespace Editor
