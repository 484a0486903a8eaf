#pragma once

namespace wrenfold::platform {

// Hands the heap's free memory back to the system, after a large answer has
// been built and let go; the allocator would otherwise keep it for the
// process. Does nothing where the allocator cannot.
void return_free_memory();

// Lets all threads share two heaps instead of one per thread as they come
// (up to eight per core): each heap kept the memory of the last month's
// answer built in it, and the bridge's many threads held sixteen of them.
// A heap's free end goes back to the system once it passes a fixed size, and
// blocks of a quarter megabyte and more are mapped apart: by default both
// limits grow with the largest block freed (a month's answer is megabytes),
// and the free end of a thread's heap is never handed back by a trim.
// Called first thing in main, before any thread starts.
void configure_heaps();

}  // namespace wrenfold::platform
