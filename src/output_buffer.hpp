// Output collected in a fixed buffer and written to a file descriptor in
// large blocks: v2list's listing, v2check's report and its rejects; and the
// wait for a descriptor to be ready, which reading shares.
#pragma once

#include <cstddef>

namespace v2list {

// After a failed write, error holds its errno and nothing more is written.
struct output_buffer {
    int fd;
    int error;
    std::size_t used;
    char buffer[1 << 16];
};

void open_output(output_buffer& output, int fd);

// Adds length characters, writing out what it holds as it fills; false
// (output.error set) on failure.
bool append_output(output_buffer& output, const char* text, std::size_t length);

// Writes out everything buffered; false on failure, or after an earlier one.
bool flush_output(output_buffer& output);

// A descriptor that may be non-blocking, read or written: one not ready is
// waited for, never taken for an error. Whether fd is ready now for events
// (one poll cannot judge counts as ready, so that the read or write that
// follows reports what is wrong); and waiting until it is, giving 0 or the
// errno of a failed poll.
bool ready_now(int fd, short events);
int wait_until_ready(int fd, short events);

} // namespace v2list
