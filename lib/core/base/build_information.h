#pragma once

#include <QString>

namespace base {

// The build facts compiled into the editor: version, branch tag, source
// revision, build date, platform and compiler. One place, so that the log
// header, the window title, the splash and the About window agree.
class BuildInformation
{
public:
    static QString version();
    static QString branchTag();
    static QString revision();
    static QString date();
    static QString platform();
    static QString compiler();
};

} // namespace base
