#pragma once

#include <QObject>

#include <cstdint>

// The build tool's vocabulary. Files store these values by key name
// (QtEnumUtility), so the order and spelling of the keys is part of the file
// formats. DEFAULT and SIZE alias existing values and are never written.
namespace assembly {
Q_NAMESPACE

enum class System : uint8_t { Windows = 0, Linux = 1 };
Q_ENUM_NS(System)

enum class BuildConfiguration : uint8_t { Release = 0, Development = 1, DEFAULT = Release };
Q_ENUM_NS(BuildConfiguration)

enum class Precision : uint8_t { Double = 0, Float = 1, DEFAULT = Double };
Q_ENUM_NS(Precision)

enum class VideoAPI : uint8_t { Auto = 0, DX11 = 1, OpenGL = 2, DEFAULT = Auto };
Q_ENUM_NS(VideoAPI)

enum class VRMode : uint8_t { Disabled = 0, Oculus = 1, OpenVR = 2, Varjo = 3, SIZE = 4, DEFAULT = Disabled };
Q_ENUM_NS(VRMode)

enum class VideoDebug : uint8_t { Disabled = 0, Messages = 1, Asserts = 2, SIZE = 3, DEFAULT = Disabled };
Q_ENUM_NS(VideoDebug)

enum class Binary : uint8_t { Debug = 0, Development = 1, Release = 2, DEFAULT = Development };
Q_ENUM_NS(Binary)

// Editions above Edition2 ship double-precision engine libraries.
enum class SDKEdition : uint8_t {
    Unknown = 0,
    Edition1 = 1,
    Edition2 = 2,
    Edition3 = 3,
    Edition4 = 4,
    Edition5 = 5,
    Edition6 = 6
};
Q_ENUM_NS(SDKEdition)

enum class Launcher : uint8_t { ScriptFile = 0, BinaryFile = 1, DEFAULT = BinaryFile };
Q_ENUM_NS(Launcher)

enum class LauncherParameterType : uint8_t { None = 0, Choice = 1, Check = 2 };
Q_ENUM_NS(LauncherParameterType)

} // namespace assembly
