#pragma once

#include "platform/win32/unique_handle.h"

#include <filesystem>
#include <string>
#include <vector>

namespace wrenfold::platform {

// The pipes of a child's three standard streams: the child's ends are
// inheritable, ours are not.
struct ChildPipes {
    UniqueHandle child_input, child_output, child_error;
    UniqueHandle our_input, our_output, our_error;
};
ChildPipes make_child_pipes();

struct LaunchRequest {
    std::vector<std::string> argv;         // argv[0]: a path, or a name looked up with PATH and PATHEXT
    std::vector<std::string> environment;  // "NAME=value" entries; ignored when inheriting ours
    bool inherit_environment { false };
    std::filesystem::path working_directory;  // empty: ours
    unsigned long creation_flags { 0 };       // CREATE_NO_WINDOW, CREATE_NEW_CONSOLE, ...
    bool in_job { true };                     // put in a job of its own, to end it with all it starts
    std::vector<void*> inherited;             // stdin, stdout, stderr, or none at all
    std::vector<void*> also_inherited;        // further inheritable handles the child is told of
};

struct LaunchedProcess {
    UniqueHandle process;
    UniqueHandle job;  // invalid when not asked for
    unsigned long id { 0 };
};

// Starts the request; only the handles it names are inherited. Throws
// std::system_error (or std::invalid_argument) when it cannot be started.
LaunchedProcess launch_process(const LaunchRequest& request);

// Every process of the job ends when its last handle closes, which our own
// death closes too.
void end_job_with_this_process(void* job);

// One command line that the C runtime's parser (CommandLineToArgvW) splits
// back into exactly `argv`.
std::wstring command_line_for(const std::vector<std::string>& argv);

// The value of NAME in "NAME=value" entries, the name compared without case
// as Windows does; "" when absent.
std::string entry_value(const std::vector<std::string>& environment, std::string_view name);

}  // namespace wrenfold::platform
