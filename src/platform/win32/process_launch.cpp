#include "platform/win32/process_launch.h"

#include "core/wide_text.h"
#include "platform/command_lookup.h"
#include "platform/platform_error.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <stdexcept>
#include <system_error>

namespace wrenfold::platform {

namespace {

std::system_error last_error(const std::string& what)
{
    return std::system_error(static_cast<int>(::GetLastError()), std::system_category(), what);
}

bool same_without_case(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

bool is_batch_file(const std::string& program)
{
    auto dot = program.rfind('.');
    if (dot == std::string::npos)
        return false;
    std::string_view extension(program.c_str() + dot);
    return same_without_case(extension, ".cmd") || same_without_case(extension, ".bat");
}

// Windows wants the block sorted by name, without case.
std::wstring environment_block(std::vector<std::string> entries)
{
    std::sort(entries.begin(), entries.end(), [](const std::string& a, const std::string& b) {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
            return std::toupper(static_cast<unsigned char>(x)) < std::toupper(static_cast<unsigned char>(y));
        });
    });
    std::wstring block;
    for (const auto& entry : entries) {
        block += to_wide(entry);
        block += L'\0';
    }
    block += L'\0';
    if (entries.empty())
        block += L'\0';
    return block;
}

std::string resolve_program(const LaunchRequest& request)
{
    const std::string& program = request.argv.front();
    if (program.find_first_of("/\\:") != std::string::npos)
        return program;
    std::optional<std::string> found;
    if (request.inherit_environment) {
        DWORD size = ::GetEnvironmentVariableW(L"PATH", nullptr, 0);
        std::wstring path(size, L'\0');
        path.resize(::GetEnvironmentVariableW(L"PATH", path.data(), size));
        found = find_on_search_path(program, from_wide(path));
    } else {
        found = find_on_search_path(program, entry_value(request.environment, "PATH"),
                                    entry_value(request.environment, "PATHEXT"));
    }
    if (!found)
        throw std::system_error(ERROR_FILE_NOT_FOUND, std::system_category(), program);
    return *found;
}

// cmd.exe, which runs batch files, reads its line with rules of its own: a
// quote or a percent sign in an argument could end the argument or expand a
// variable, so such arguments are refused rather than passed on changed.
std::pair<std::wstring, std::wstring> batch_launch(const std::string& program, const std::vector<std::string>& argv)
{
    for (std::size_t i = 1; i < argv.size(); ++i) {
        if (argv[i].find_first_of("\"%\r\n") != std::string::npos)
            throw PlatformError("an argument with a quote, a percent sign or a line break cannot be passed to " +
                                program);
    }
    wchar_t system[MAX_PATH];
    UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
    std::wstring cmd = std::wstring(system, length) + L"\\cmd.exe";
    std::vector<std::string> line { program };
    line.insert(line.end(), argv.begin() + 1, argv.end());
    std::wstring inner;
    for (const auto& part : line) {
        if (!inner.empty())
            inner += L' ';
        inner += L'"' + to_wide(part) + L'"';
    }
    return { cmd, L"cmd.exe /d /s /c \"" + inner + L"\"" };
}

struct AttributeList {
    std::unique_ptr<char[]> storage;
    LPPROC_THREAD_ATTRIBUTE_LIST list { nullptr };
    ~AttributeList()
    {
        if (list)
            ::DeleteProcThreadAttributeList(list);
    }
};

}  // namespace

std::string entry_value(const std::vector<std::string>& environment, std::string_view name)
{
    for (const auto& entry : environment) {
        auto equals = entry.find('=', 1);
        if (equals != std::string::npos && same_without_case(std::string_view(entry).substr(0, equals), name))
            return entry.substr(equals + 1);
    }
    return "";
}

std::wstring command_line_for(const std::vector<std::string>& argv)
{
    std::wstring line;
    for (const auto& argument : argv) {
        if (!line.empty())
            line += L' ';
        std::wstring wide = to_wide(argument);
        if (!wide.empty() && wide.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
            line += wide;
            continue;
        }
        line += L'"';
        std::size_t backslashes = 0;
        for (wchar_t c : wide) {
            if (c == L'\\') {
                ++backslashes;
                continue;
            }
            // Backslashes double only before a quote, which is escaped itself.
            line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
            backslashes = 0;
            line += c;
        }
        line.append(backslashes * 2, L'\\');
        line += L'"';
    }
    return line;
}

ChildPipes make_child_pipes()
{
    SECURITY_ATTRIBUTES inheritable { sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE };
    ChildPipes pipes;
    auto make = [&](UniqueHandle& read_end, UniqueHandle& write_end, bool child_reads) {
        HANDLE read = nullptr, write = nullptr;
        if (!::CreatePipe(&read, &write, &inheritable, 0))
            throw last_error("pipe");
        read_end.reset(read);
        write_end.reset(write);
        ::SetHandleInformation(child_reads ? write : read, HANDLE_FLAG_INHERIT, 0);
    };
    make(pipes.child_input, pipes.our_input, true);
    make(pipes.our_output, pipes.child_output, false);
    make(pipes.our_error, pipes.child_error, false);
    return pipes;
}

LaunchedProcess launch_process(const LaunchRequest& request)
{
    if (request.argv.empty() || request.argv.front().empty())
        throw std::invalid_argument("empty command line");
    std::string program = resolve_program(request);
    std::wstring application = to_wide(program);
    std::wstring line = command_line_for(request.argv);
    if (is_batch_file(program))
        std::tie(application, line) = batch_launch(program, request.argv);

    STARTUPINFOEXW startup {};
    startup.StartupInfo.cb = sizeof startup;
    AttributeList attributes;
    std::vector<HANDLE> inherited(request.inherited.begin(), request.inherited.end());
    if (inherited.size() == 3) {
        startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
        startup.StartupInfo.wShowWindow = SW_HIDE;
        startup.StartupInfo.hStdInput = inherited[0];
        startup.StartupInfo.hStdOutput = inherited[1];
        startup.StartupInfo.hStdError = inherited[2];
    }
    inherited.insert(inherited.end(), request.also_inherited.begin(), request.also_inherited.end());
    if (!inherited.empty()) {
        SIZE_T size = 0;
        ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        attributes.storage = std::make_unique<char[]>(size);
        auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes.storage.get());
        if (!::InitializeProcThreadAttributeList(list, 1, 0, &size))
            throw last_error("process attributes");
        attributes.list = list;
        if (!::UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited.data(),
                                         inherited.size() * sizeof(HANDLE), nullptr, nullptr))
            throw last_error("process attributes");
        startup.lpAttributeList = list;
    }

    std::wstring block = environment_block(request.environment);
    std::wstring folder = request.working_directory.wstring();
    DWORD flags = request.creation_flags | CREATE_UNICODE_ENVIRONMENT |
        (attributes.list ? EXTENDED_STARTUPINFO_PRESENT : 0) | (request.in_job ? CREATE_SUSPENDED : 0);
    PROCESS_INFORMATION info {};
    if (!::CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, attributes.list ? TRUE : FALSE, flags,
                          request.inherit_environment ? nullptr : block.data(),
                          folder.empty() ? nullptr : folder.c_str(), &startup.StartupInfo, &info))
        throw last_error(program);
    LaunchedProcess launched;
    launched.process.reset(info.hProcess);
    launched.id = info.dwProcessId;
    UniqueHandle thread(info.hThread);
    if (request.in_job) {
        launched.job.reset(::CreateJobObjectW(nullptr, nullptr));
        if (!launched.job.valid() || !::AssignProcessToJobObject(launched.job.get(), info.hProcess)) {
            ::TerminateProcess(info.hProcess, 1);
            throw last_error("job object");
        }
        ::ResumeThread(info.hThread);
    }
    return launched;
}

void end_job_with_this_process(void* job)
{
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    ::SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
}

}  // namespace wrenfold::platform
