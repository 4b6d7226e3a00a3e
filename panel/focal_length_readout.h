// The panel's read-out of the focal length in millimetres.
#pragma once

#include <cstddef>

// Writes "Focal Length <mm>mm" for a focal length in millimetres into text (size bytes,
// always zero-terminated). One decimal, as the panel has always shown it; values too large for
// that, or not finite, are written in a short form that still fits.
void formatFocalLength(char* text, std::size_t size, double millimetres);
