#pragma once
// File > Export Picture: the current frame as a PNG.

namespace PudletHost {

// Writes the current viewport of the bound read buffer as an opaque RGB PNG.
// Call with the context current after render() and before swapping buffers
// (after a swap the back buffer's contents are undefined). Reports whether the
// whole file was written.
bool exportViewportPNG(const char* path);

} // namespace PudletHost
