// Stands in for Edge in the window-mode test (Wine has no Edge): appends its
// command line, in UTF-8, as one line to the file WRENFOLD_FAKE_EDGE_LOG
// names, and ends, as an Edge that hands the page to its running window does.
#include <windows.h>

int main(void)
{
    wchar_t log[MAX_PATH];
    DWORD length = GetEnvironmentVariableW(L"WRENFOLD_FAKE_EDGE_LOG", log, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return 1;
    const wchar_t* line = GetCommandLineW();
    int size = WideCharToMultiByte(CP_UTF8, 0, line, -1, NULL, 0, NULL, NULL);
    char* text = HeapAlloc(GetProcessHeap(), 0, (SIZE_T)size);
    if (!text || !WideCharToMultiByte(CP_UTF8, 0, line, -1, text, size, NULL, NULL))
        return 1;
    text[size - 1] = '\n';
    HANDLE file = CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    BOOL done = WriteFile(file, text, (DWORD)size, &written, NULL);
    CloseHandle(file);
    return done && written == (DWORD)size ? 0 : 1;
}
