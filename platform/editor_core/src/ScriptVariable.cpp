#include "editor_core/ScriptVariable.h"

Velmora::Variable toVariable(const QString &text)
{
    return Velmora::Variable(text.toUtf8().constData());
}
