#pragma once

#include <velmora/UGUID.h>

#include <memory>

namespace inas {
class CustomSettings;

namespace parser {
class Driver;
class GuidProcessorBase;

namespace utils {

// Number of hexadecimal digits of a GUID text.
constexpr int UGUID_LENGTH = 40;

// The GUID a text holds: an optional "guid://" (this exact case), then
// exactly 40 hexadecimal digits in one letter case with at least five digits
// and five letters. Anything else gives the empty GUID. Texts that come close
// (40 hexadecimal digits in mixed case, or too few digits or letters) leave a
// developer line in the engine log.
Velmora::UGUID tryConvertToGuid(const char *text);
// The same; logged tells whether a developer line was written.
Velmora::UGUID tryConvertToGuid(const char *text, bool *logged);

// Registers the modules of a parse on the driver, all sharing one resolver
// over the settings' asset manager: materials (4), properties (5), render
// settings (14), tracks (13), landscape maps (9), nodes and worlds (1, 18)
// and the generic XML types (8, 15, 16), and tells the driver the resolver.
// Neither the item builder, the asset manager nor the assets of the driver
// are set here. Both pointers must be set.
void setupParser(const CustomSettings *settings, Driver *driver);
// The same with a resolver of the caller's (not null).
void setupParser(const CustomSettings *settings, Driver *driver, std::shared_ptr<const GuidProcessorBase> resolver);

} // namespace utils
} // namespace parser
} // namespace inas
