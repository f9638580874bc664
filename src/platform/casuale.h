// Random bytes from the system's own source, fit for a secret.
#pragma once
#include <cstddef>

// False when the system gave fewer than n.
bool byte_casuali(unsigned char* b, size_t n);
