#include "input_record.hpp"

namespace v2list {

// The scan format must assign every field once, in field order, each with a
// conversion of its own shape.
static_assert(
    [] {
        std::size_t field = 0;
        for (const scan_step& step : scan_steps) {
            if (!step.assigns)
                continue;
            if (field >= field_count)
                return false;
            field_shape shape = fields[field++].shape;
            if ((shape == shape_number) != (step.kind == scan_step::number) ||
                (shape == shape_character && step.width != 1))
                return false;
        }
        return field == field_count;
    }(),
    "the scan format does not match the field table");

void reading_detail::mend_end(input_record& record)
{
    int count = 0;
    std::size_t s = 0;
    for (; s < record.steps_run && record.start(s) < record.text + record.length; ++s)
        count += scan_steps[s].assigns;
    if (s == record.steps_run)
        return; // it stopped within the text, where the steps said
    record.steps_run = s + 1;
    record.ran_out = true;
    // Running out of text before the first field is "no record at all".
    record.count = count == 0 ? -1 : count;
}

std::size_t text_length_of(const char* piece, std::size_t length)
{
    const void* zero = std::memchr(piece, '\0', length);
    return zero ? std::size_t(static_cast<const char*>(zero) - piece) : length;
}

} // namespace v2list
