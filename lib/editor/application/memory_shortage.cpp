#include "editor/application/memory_shortage.h"

#include <editor_core/View.h>
#include <editor_core/depr/EditorGlobals.h>

#include <velmora/MemoryReserve.h>

#include <QCoreApplication>
#include <QMessageBox>

#include <cstdio>

namespace Editor {

static_assert(MemoryShortage::EXIT_OUT_OF_MEMORY == Velmora::MemoryReserve::EXIT_OUT_OF_MEMORY,
              "the editor ends with the engine's code when memory runs out");

void MemoryShortage::install()
{
    Velmora::MemoryReserve::install(message());
    Velmora::MemoryReserve::setQuitGuard(&MemoryShortage::mayQuit);
}

bool MemoryShortage::enoughToStart()
{
    if (Velmora::MemoryReserve::hasRoom(START_MEGABYTES))
        return true;
    const QByteArray text = QStringLiteral("Editor: the system gives the editor too little memory to start: it needs "
                                           "%1 MB more address space than it has. ")
                                    .arg(START_MEGABYTES)
                                    .toLocal8Bit()
            + Velmora::MemoryReserve::limitText().toLocal8Bit();
    std::fprintf(stderr, "%s\n", text.constData());
    std::fflush(stderr);
    return false;
}

QString MemoryShortage::message()
{
    return QStringLiteral("Editor: the system gives the editor no more memory; it stops. ")
            + Velmora::MemoryReserve::limitText();
}

bool MemoryShortage::mayQuit()
{
    View *view = depr::gui.main_window;
    if (!view || !view->isVisible())
        return true;
    QMessageBox::critical(view, QCoreApplication::translate("Editor::MemoryShortage", "Out of Memory"), message());
    return view->confirmQuit();
}

} // namespace Editor
