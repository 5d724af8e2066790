#include "input_record.hpp"

namespace v2list {

namespace {

// The scan format must assign every field once, in field order, each with a
// conversion of its own shape, a text exactly as wide as the field holds.
constexpr bool format_fits_record()
{
    std::size_t field = 0;
    for (const scan_step& step : scan_steps) {
        if (!step.assigns)
            continue;
        if (field >= field_count)
            return false;
        const field_info& info = fields[field++];
        bool fits = info.shape == shape_number
                        ? step.kind == scan_step::number
                        : step.kind == scan_step::characters && step.width == info.capacity;
        if (!fits)
            return false;
    }
    return field == field_count;
}
static_assert(format_fits_record(), "the scan format does not match the field table");

// Every field of the table lies within input_record, apart from the others.
constexpr bool fields_apart()
{
    auto size = [](const field_info& f) {
        return f.shape == shape_number ? sizeof(std::int32_t)
                                       : f.capacity + (f.shape == shape_text);
    };
    for (const field_info& a : fields) {
        if (a.offset + size(a) > sizeof(input_record))
            return false;
        for (const field_info& b : fields)
            if (&a != &b && a.offset < b.offset + size(b) && b.offset < a.offset + size(a))
                return false;
    }
    return true;
}
static_assert(fields_apart(), "two fields of the table overlap");

} // namespace

void reading_detail::mend_end(piece_reading& reading)
{
    int count = 0;
    std::size_t s = 0;
    for (; s < reading.steps_run && reading.start(s) < reading.text + reading.length; ++s)
        count += scan_steps[s].assigns;
    if (s == reading.steps_run)
        return; // it stopped within the text, where the steps said
    reading.steps_run = s + 1;
    reading.ran_out = true;
    // Running out of text before the first field is "no record at all".
    reading.count = count == 0 ? -1 : count;
}

std::size_t text_length_of(const char* piece, std::size_t length)
{
    const void* zero = std::memchr(piece, '\0', length);
    return zero ? std::size_t(static_cast<const char*>(zero) - piece) : length;
}

int read_record(const char* piece, std::size_t length, input_record& record)
{
    piece_reading reading;
    read_piece(piece, text_length_of(piece, length), reading);
    // Every step run assigned, but for the one that stopped the reading.
    std::size_t assigned = reading.count == field_count ? reading.steps_run : reading.steps_run - 1;
    for (std::size_t s = 0; s < assigned; ++s) {
        if (!scan_steps[s].assigns)
            continue;
        const field_info& field = fields[scan_step_fields[s]];
        char* to = reinterpret_cast<char*>(&record) + field.offset;
        std::size_t taken = reading.to(s) - reading.from(s);
        if (field.shape == shape_number) {
            std::memcpy(to, &reading.values[scan_step_fields[s]], sizeof(std::int32_t));
        } else {
            std::memcpy(to, reading.start(s), taken);
            if (field.shape == shape_text)
                trim_trailing_spaces(to, taken);
        }
    }
    return reading.count;
}

} // namespace v2list
