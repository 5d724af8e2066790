// Readiness of a file descriptor, for input and output that may be
// non-blocking or slow: a descriptor that is not ready is waited for, never
// taken for an error.
#pragma once

namespace v2list {

// Whether fd is ready now for events (POLLIN or POLLOUT), without waiting.
// A descriptor that poll cannot judge counts as ready, so that the read or
// write that follows reports what is wrong with it.
bool ready_now(int fd, short events);

// Waits until fd is ready for events, resuming after signals. Returns 0, or
// the errno of a poll that failed: the failure of the read or write that
// waited, which must not be tried again at once.
int wait_until_ready(int fd, short events);

} // namespace v2list
