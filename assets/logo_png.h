// The logo picture, built into the program's data from assets/logo.png.
#pragma once

#include <cstddef>

extern const unsigned char LogoPng[];
extern const std::size_t LogoPngSize;
