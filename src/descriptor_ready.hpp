// Readiness of a descriptor that may be non-blocking: one not ready is waited
// for, never taken for an error.
#pragma once

namespace v2list {

// Whether fd is ready now for events; one poll cannot judge counts as ready,
// so that the read or write that follows reports what is wrong.
bool ready_now(int fd, short events);

// Waits until fd is ready for events; 0, or the errno of a failed poll, the
// failure of the read or write that waited.
int wait_until_ready(int fd, short events);

} // namespace v2list
