#pragma once

#include <velmora/Variable.h>

#include <QString>

// A QString as a script value (a UTF-8 string).
Velmora::Variable toVariable(const QString &text);
