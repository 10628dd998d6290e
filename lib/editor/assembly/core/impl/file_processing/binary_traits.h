#pragma once

#include "editor/assembly/core/assembly_enums.h"

#include <QString>

namespace assembly {

// Names one build of the engine binaries: the system, the precision and the
// binary kind. Only the Debug kind changes a name, so sources pass
// Development for release and development builds alike.
class BinaryTraits
{
public:
    BinaryTraits(System system, Binary binary, Precision precision)
        : system_(system)
        , precision_(precision)
        , binary_(binary)
    {}

    // "libVelmora_x64.so", "Velmora_double_x64d.dll", ...
    QString libraryName(const QString &base_name) const;
    // "ApplicationLauncher_x64", "Game_x64d.exe", ...
    QString executableName(const QString &base_name) const;

    System system() const { return system_; }
    Precision precision() const { return precision_; }
    Binary binary() const { return binary_; }

    // Development for the non-debug kinds, Debug otherwise.
    static Binary kindOf(bool non_debug) { return non_debug ? Binary::Development : Binary::Debug; }

private:
    System system_;
    Precision precision_;
    Binary binary_;
};

} // namespace assembly
