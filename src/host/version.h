#pragma once

namespace tessel {
inline constexpr const char kVersion[] = "0.1.0";
inline constexpr const char kWindowTitle[] = "Tesselv11_31_8_2023";
inline constexpr int kClientWidth = 800;
inline constexpr int kClientHeight = 600;
}  // namespace tessel
