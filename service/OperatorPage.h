// The operator's page (web/index.html), compiled in at build time.
#pragma once

#include <cstddef>

namespace korvod {
extern const unsigned char kOperatorPage[];
extern const size_t kOperatorPageSize;
} // namespace korvod
