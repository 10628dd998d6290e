#include "editor_core/EditorCore.h"

#include "editor_core/as/ActionType.h"
#include "editor_core/as/Asset.h"
#include "editor_core/tbb/Job.h"

#include <velmora/UGUID.h>

#include <QMetaType>

void EditorCore::registerMetaTypes()
{
    Velmora::registerGUIDMetaTypes();
    qRegisterMetaType<Velmora::UGUID>("Velmora::UGUID");
    qRegisterMetaType<Velmora::Vector<Velmora::UGUID>>("Velmora::Vector<Velmora::UGUID>");
    qRegisterMetaType<as::Asset>("as::Asset");
    qRegisterMetaType<as::Runtime>("as::Runtime");
    qRegisterMetaType<as::ActionType>("as::ActionType");
    qRegisterMetaType<tbb::JobPtr>("tbb::JobPtr");
}
