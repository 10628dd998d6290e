#include "editor_core/base/Arguments.h"

#include <QProcess>

namespace base {

QStringList stringToArgumentList(const QString &text)
{
    return QProcess::splitCommand(text);
}

} // namespace base
