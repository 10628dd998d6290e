#pragma once

// Asset types (1-23). Written AssetType::WORLD; the value converts to int, and
// the enumerators stay out of the global namespace.
namespace asset_type_detail {
enum AssetType : int {
    BEGIN = 0,
    NODE = 1,
    MESH = 2,
    ANIMATION = 3,
    MATERIAL = 4,
    PROPERTY = 5,
    IMAGE = 6,
    MODEL = 7,
    LAYER = 8,
    LANDSCAPE_MAP = 9,
    FONT = 10,
    SOUND = 11,
    SHADER = 12,
    TRACK = 13,
    RENDER_SETTINGS = 14,
    SPLINE = 15,
    CURVE = 16,
    TERRAIN = 17,
    WORLD = 18,
    MASK = 19,
    SCRIPT = 20,
    AFILE = 21,
    CS_COMPONENT = 22,
    PRESET = 23,
    SIZE = 24,
};
} // namespace asset_type_detail

using AssetType = asset_type_detail::AssetType;
