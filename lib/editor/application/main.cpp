#include "editor/application/application.h"
#include "editor/application/application_environment.h"
#include "editor/application/memory_shortage.h"
#include "editor/application/process_arguments.h"
#include "editor/application/thread_supply.h"

#include <velmora/HeapTuning.h>
#include <velmora/MetaScan.h>

int main(int argc, char **argv)
{
    // Declared first, so that it outlives the application that uses it.
    Editor::ProcessArguments arguments(argc, argv);
    // Before any worker thread makes an arena of its own.
    Velmora::HeapTuning::boundArenaTops();
    Velmora::HeapTuning::fitAddressSpace();
    Editor::MemoryShortage::install();
    if (!Editor::MemoryShortage::enoughToStart())
        return Editor::MemoryShortage::EXIT_OUT_OF_MEMORY;
    if (Editor::wantsHighDpiScaling(Editor::isEnvironmentVariableSet))
        QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);

    int code = 0;
    {
        // Numbers are read and written the C way from here on. The
        // application makes sure of the threads the editor cannot do
        // without (Editor::ThreadSupply) before it starts any other; when
        // it could not, its event loop must not run.
        Editor::Application application(arguments.argc(), arguments.argv());
        if (!Editor::ThreadSupply::secure())
            return Editor::ThreadSupply::EXIT_TOO_FEW_THREADS;
        // The engine reads the data folder first thing; that read starts
        // now, on threads of its own, while the windows are set up.
        Velmora::MetaScan::readAheadForEngine(arguments.argc(), arguments.argv());

        code = application.exec();
    }
    // An editor that ends before its engine started waits for the read.
    Velmora::MetaScan::dropReadAhead();
    return code;
}
