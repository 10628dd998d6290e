#include "editor/application/application.h"
#include "editor/application/application_environment.h"
#include "editor/application/process_arguments.h"

#include <QLocale>

#include <clocale>

int main(int argc, char **argv)
{
    // Declared first, so that it outlives the application that uses it.
    Editor::ProcessArguments arguments(argc, argv);

    if (Editor::wantsHighDpiScaling(Editor::isEnvironmentVariableSet))
        QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);

    Editor::Application application(arguments.argc(), arguments.argv());

    std::setlocale(LC_NUMERIC, "C");
    QLocale::setDefault(QLocale(QLocale::C, QLocale::AnyCountry));

    return application.exec();
}
