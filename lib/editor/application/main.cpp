#include "editor/application/application.h"
#include "editor/application/application_environment.h"

#include <QLocale>

#include <clocale>

int main(int argc, char **argv)
{
    char **arguments = Editor::copyArguments(argc, argv);

    if (Editor::wantsHighDpiScaling(Editor::isEnvironmentVariableSet))
        QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);

    Editor::Application application(argc, arguments);

    std::setlocale(LC_NUMERIC, "C");
    QLocale::setDefault(QLocale(QLocale::C, QLocale::AnyCountry));

    return application.exec();
}
