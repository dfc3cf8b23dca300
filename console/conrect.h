/* The console module's screen rectangle, on its own so that layers above can name it cheaply. */
#ifndef ZOP_CONSOLE_CONRECT_H
#define ZOP_CONSOLE_CONRECT_H

#include <cstdint>

/* A rectangle of buffer cells, all four edges inclusive. */
struct ConRect {
    std::int32_t left;
    std::int32_t top;
    std::int32_t right;
    std::int32_t bottom;
};

#endif
