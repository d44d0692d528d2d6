#pragma once
// Named key and button codes of the engine's input, part of the public
// header particle_beat.h.

namespace Zeb::Kamblo {

// Key codes besides the printable characters, as onKeyDown and onKeyUp take
// them. Tab never reaches the engine; the hosts use it to toggle their panels.
namespace Key {
inline constexpr int tab = 9;
inline constexpr int escape = 27;
inline constexpr int del = 127;
inline constexpr int left = 256;
inline constexpr int right = 257;
inline constexpr int down = 258;
inline constexpr int up = 259;
} // namespace Key

// Mouse buttons as onMouseDown takes them; the modifier bits are ignored.
namespace Button {
inline constexpr int left = 1;
inline constexpr int right = 2;
inline constexpr int other = 3;
inline constexpr int shift = 4;
inline constexpr int command = 8;
inline constexpr int option = 16;
} // namespace Button

} // namespace Zeb::Kamblo
