// Characters compared 16 at a time, with SIMD instructions where the
// machine has them; the results are the same either way.
#pragma once

#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace v2list {

using byte_block = unsigned char __attribute__((vector_size(16)));

inline byte_block load_block(const char* p)
{
    byte_block block;
    std::memcpy(&block, p, sizeof block);
    return block;
}

// A bit for each byte of a compare result, the first byte lowest; plainly
// here, and with the instruction made for it where there is SSE2.
inline unsigned block_bits_plain(byte_block matches)
{
    unsigned bits = 0;
    for (unsigned i = 0; i < 16; ++i)
        bits |= unsigned(matches[i] & 1) << i;
    return bits;
}

inline unsigned block_bits(byte_block matches)
{
#if defined(__SSE2__)
    return unsigned(_mm_movemask_epi8(__m128i(matches)));
#else
    return block_bits_plain(matches);
#endif
}

} // namespace v2list
