#pragma once

#include "editor/assembly/core/source.h"

#include <QString>

namespace assembly {

// A source that also produces or finds the build's main executable; its path
// is read after process().
class ExeProviderSource : public fp::Source
{
public:
    virtual QString getExecutablePath() const = 0;
};

} // namespace assembly
