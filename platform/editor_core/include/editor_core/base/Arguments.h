#pragma once

#include <QString>
#include <QStringList>

namespace base {

// Splits a command line into arguments: blanks separate, double quotes group
// (a quote inside quotes is written as three quotes), like
// QProcess::splitCommand.
QStringList stringToArgumentList(const QString &text);

} // namespace base
