#include "input_source.hpp"

#include <cerrno>
#include <cstring>
#include <string_view>
#include <utility>

#if V2CHECK_WITH_ZLIB
#include <zlib.h>
#endif
#if V2CHECK_WITH_BZIP2
#include <bzlib.h>
#endif
#if V2CHECK_WITH_XZ
#include <lzma.h>
#endif
#if V2CHECK_WITH_ZSTD
#include <zstd.h>
#endif

namespace v2list {

namespace {

using namespace std::string_view_literals;

struct signature {
    input_format format;
    std::string_view bytes;
};

// A zstd frame may follow skippable frames (as pzstd writes them); bzip2's
// "BZh" could begin a record, so it counts with its block size and the
// magic of a first block or of the end of the data.
constexpr signature signatures[] = {
    {input_format::gzip, "\x1f\x8b\x08"sv},
    {input_format::xz,
     "\xfd"
     "7zXZ\0"sv},
    {input_format::zstd, "\x28\xb5\x2f\xfd"sv},
    {input_format::zstd, "\x50\x2a\x4d\x18"sv},
    {input_format::bzip2, "BZh11AY&SY"sv},
    {input_format::bzip2, "BZh1\x17rE8P\x90"sv},
};
constexpr std::size_t longest_signature = 10;

// Whether byte b agrees with byte i of a signature: bzip2's block size is
// any digit from 1, a skippable zstd frame's magic any of 16.
bool agrees(const signature& s, std::size_t i, char b)
{
    if (s.format == input_format::bzip2 && i == 3)
        return b >= '1' && b <= '9';
    if (s.format == input_format::zstd && s.bytes[0] == 0x50 && i == 0)
        return (b & 0xf0) == 0x50;
    return b == s.bytes[i];
}

} // namespace

format_guess compression_of(const char* bytes, std::size_t length, bool at_end)
{
    bool may_grow = false;
    for (const signature& s : signatures) {
        std::size_t i = 0;
        while (i < s.bytes.size() && i < length && agrees(s, i, bytes[i]))
            ++i;
        if (i == s.bytes.size())
            return {s.format, true};
        if (at_end && length > 0 && i == length)
            return {s.format, true, true};
        may_grow = may_grow || i == length;
    }
    return {input_format::text, at_end || !may_grow};
}

// One step of decompression from [in, in_end) into [out, out_end),
// advancing both; false where the data is damaged, why saying how. whole:
// the data may end where the step left it, at the end of a member, stream
// or frame.
struct decoder {
    virtual ~decoder() = default;
    virtual bool step(const char*& in, const char* in_end, char*& out, char* out_end,
                      bool at_end) = 0;
    bool whole = false;
    std::string why;
};

namespace {

#if V2CHECK_WITH_ZLIB
// gzip members one after another, as pigz and cat a.gz b.gz make them;
// zero bytes after a member are nothing, as gzip reads them (a tape's
// padding).
struct gzip_decoder : decoder {
    z_stream z{};
    gzip_decoder() { inflateInit2(&z, 15 + 16); }
    ~gzip_decoder() override { inflateEnd(&z); }
    bool step(const char*& in, const char* in_end, char*& out, char* out_end, bool) override
    {
        while (whole && in < in_end && *in == 0)
            ++in;
        if (whole && in == in_end)
            return true;
        if (whole) // another member
            inflateReset(&z);
        z.next_in = reinterpret_cast<unsigned char*>(const_cast<char*>(in));
        z.avail_in = unsigned(in_end - in);
        z.next_out = reinterpret_cast<unsigned char*>(out);
        z.avail_out = unsigned(out_end - out);
        int result = inflate(&z, Z_NO_FLUSH);
        in = reinterpret_cast<const char*>(z.next_in);
        out = reinterpret_cast<char*>(z.next_out);
        whole = result == Z_STREAM_END;
        if (result == Z_OK || result == Z_STREAM_END || result == Z_BUF_ERROR)
            return true;
        why = z.msg != nullptr ? z.msg : "not gzip data";
        return false;
    }
};
#endif

#if V2CHECK_WITH_BZIP2
// bzip2 streams one after another, as pbzip2 makes them.
struct bzip2_decoder : decoder {
    bz_stream s{};
    bool open = false;
    ~bzip2_decoder() override
    {
        if (open)
            BZ2_bzDecompressEnd(&s);
    }
    bool step(const char*& in, const char* in_end, char*& out, char* out_end, bool) override
    {
        if (!open || (whole && in < in_end)) { // the first stream, or another
            if (open)
                BZ2_bzDecompressEnd(&s);
            s = {};
            open = BZ2_bzDecompressInit(&s, 0, 0) == BZ_OK;
            whole = false;
        }
        s.next_in = const_cast<char*>(in);
        s.avail_in = unsigned(in_end - in);
        s.next_out = out;
        s.avail_out = unsigned(out_end - out);
        int result = open ? BZ2_bzDecompress(&s) : BZ_MEM_ERROR;
        in = s.next_in;
        out = s.next_out;
        whole = whole || result == BZ_STREAM_END;
        if (result == BZ_OK || result == BZ_STREAM_END)
            return true;
        why = result == BZ_DATA_ERROR         ? "a block or its CRC is wrong"
              : result == BZ_DATA_ERROR_MAGIC ? "not bzip2 data"
              : result == BZ_MEM_ERROR        ? "out of memory"
                                              : "bzip2 error";
        return false;
    }
};
#endif

#if V2CHECK_WITH_XZ
// xz streams one after another; a stream that needs more memory than this
// to decompress is refused (xz -9 needs 65 MiB).
struct xz_decoder : decoder {
    static constexpr std::uint64_t memory_limit = 128 << 20;
    lzma_stream s = LZMA_STREAM_INIT;
    lzma_ret started = lzma_stream_decoder(&s, memory_limit, LZMA_CONCATENATED);
    ~xz_decoder() override { lzma_end(&s); }
    bool step(const char*& in, const char* in_end, char*& out, char* out_end, bool at_end) override
    {
        s.next_in = reinterpret_cast<const unsigned char*>(in);
        s.avail_in = std::size_t(in_end - in);
        s.next_out = reinterpret_cast<unsigned char*>(out);
        s.avail_out = std::size_t(out_end - out);
        lzma_ret result =
            started != LZMA_OK ? started : lzma_code(&s, at_end ? LZMA_FINISH : LZMA_RUN);
        in = reinterpret_cast<const char*>(s.next_in);
        out = reinterpret_cast<char*>(s.next_out);
        whole = result == LZMA_STREAM_END;
        if (result == LZMA_OK || result == LZMA_STREAM_END || result == LZMA_BUF_ERROR)
            return true;
        why = result == LZMA_DATA_ERROR       ? "a block or its check is wrong"
              : result == LZMA_FORMAT_ERROR   ? "not xz data"
              : result == LZMA_MEMLIMIT_ERROR ? "it needs more than 128 MiB of memory"
              : result == LZMA_MEM_ERROR      ? "out of memory"
              : result == LZMA_OPTIONS_ERROR  ? "options this xz cannot read"
                                              : "xz error";
        return false;
    }
};
#endif

#if V2CHECK_WITH_ZSTD
// zstd frames one after another, skippable ones among them; a frame whose
// window is larger than zstd's default limit (128 MiB) is refused.
struct zstd_decoder : decoder {
    ZSTD_DStream* s = ZSTD_createDStream();
    ~zstd_decoder() override { ZSTD_freeDStream(s); }
    bool step(const char*& in, const char* in_end, char*& out, char* out_end, bool) override
    {
        ZSTD_inBuffer from{in, std::size_t(in_end - in), 0};
        ZSTD_outBuffer to{out, std::size_t(out_end - out), 0};
        std::size_t result = ZSTD_decompressStream(s, &to, &from);
        in += from.pos;
        out += to.pos;
        if (ZSTD_isError(result)) {
            why = ZSTD_getErrorName(result);
            return false;
        }
        whole = result == 0;
        return true;
    }
};
#endif

std::unique_ptr<decoder> decoder_for(input_format format)
{
    switch (format) {
#if V2CHECK_WITH_ZLIB
    case input_format::gzip: return std::make_unique<gzip_decoder>();
#endif
#if V2CHECK_WITH_BZIP2
    case input_format::bzip2: return std::make_unique<bzip2_decoder>();
#endif
#if V2CHECK_WITH_XZ
    case input_format::xz: return std::make_unique<xz_decoder>();
#endif
#if V2CHECK_WITH_ZSTD
    case input_format::zstd: return std::make_unique<zstd_decoder>();
#endif
    default: return nullptr;
    }
}

} // namespace

bool can_decompress(input_format format)
{
    return decoder_for(format) != nullptr;
}

input_source::input_source(int fd, buffer& compressed) : fd(fd), compressed(compressed) {}

input_source::~input_source() = default;

// Reads until the first bytes tell text from compressed data; text is
// passed on as it is.
ssize_t input_source::first_read(char* out, std::size_t size)
{
    char* start = compressed.data;
    format_guess guess{input_format::text, false};
    while (!guess.decided) {
        ssize_t n = piece_detail::read_block(fd, start + in_end, longest_signature - in_end);
        if (n < 0)
            return n; // what was read stays for the next call
        at_end = n == 0;
        in_end += std::size_t(n);
        guess = compression_of(start, in_end, at_end || in_end == longest_signature);
    }
    decided = true;
    format = guess.format;
    if (guess.cut) { // nothing to decompress: the data ends before it begins
        decompressing = done = true;
        broken = input_break::cut_short;
        broken_at = in_end;
        return 0;
    }
    library = decoder_for(format);
    decompressing = library != nullptr;
    if (decompressing)
        return decompress(out, size);
    std::memcpy(out, start, in_end);
    return ssize_t(std::exchange(in_end, 0));
}

ssize_t input_source::decompress(char* out, std::size_t size)
{
    char* to = out;
    while (!done) {
        if (in == in_end && !at_end) {
            ssize_t n = piece_detail::read_block(fd, compressed.data, sizeof compressed.data);
            if (n < 0)
                return n;
            read_in += in_end;
            in = 0;
            in_end = std::size_t(n);
            at_end = n == 0;
        }
        if (at_end && in == in_end && library->whole) {
            done = true;
            break;
        }
        const char* from = compressed.data + in;
        bool ok = library->step(from, compressed.data + in_end, to, out + size, at_end);
        bool moved = from != compressed.data + in || to != out;
        in = std::size_t(from - compressed.data);
        if (!ok || (!moved && at_end && !library->whole) || (!moved && !at_end && in < in_end)) {
            broken = ok && at_end ? input_break::cut_short : input_break::damaged;
            broken_at = read_in + in;
            why = !ok ? library->why : at_end ? "" : "it goes no further";
            done = true;
        }
        if (to != out)
            return to - out;
    }
    return 0;
}

} // namespace v2list
