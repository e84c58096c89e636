// The program icon, embedded in the binary as PNG images at several sizes.
#pragma once

#include <cstddef>

namespace res {

struct IconImage {
    int size;  // width and height in pixels
    const unsigned char* png;
    std::size_t length;
};

// Every size of the program icon, smallest first.
const IconImage* ProgramIconImages(std::size_t& count);

}  // namespace res
