#include "output_listing.hpp"

namespace v2list {

void write_header(output_buffer& output)
{
    constexpr std::size_t length = sizeof listing_header - 1;
    std::memcpy(output.buffer, listing_header, length);
    output.buffer[length] = '\n';
    output.used = length + 1;
}

} // namespace v2list
