#pragma once

namespace wrenfold::platform {

// Hands the heap's free memory back to the system, after a large answer has
// been built and let go; the allocator would otherwise keep it for the
// process. Does nothing where the allocator cannot.
void return_free_memory();

}  // namespace wrenfold::platform
