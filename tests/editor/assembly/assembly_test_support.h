#pragma once

// The build tool's tests use the shared test support under their old names.

#include "installation.h"
#include "message_capture.h"

namespace assemblytest {

using test::Installation;
using test::MessageCapture;

} // namespace assemblytest
