#pragma once

#include <string>

namespace wrenfold::test {

// The test program itself, which also plays the children the tests start.
std::string this_program();
// Where a child started with --start-grandchild writes its grandchild's id.
std::string announce_file();
// That id, or 0 while it is not written yet.
unsigned long read_announced_pid();
// The child of the queue test: writes its values and waits for the event.
int run_queue_child(const std::string& write_handle, const std::string& event_handle);

}  // namespace wrenfold::test
