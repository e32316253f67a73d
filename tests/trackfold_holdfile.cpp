// Holds a file open for a while as virus scanners, the search indexer and
// backup tools do: others may read and write it, but not delete, rename or
// replace it. Windows only.
//
//   trackfold_holdfile PATH MILLISECONDS
//
// Prints "held" once the file is open, then closes it after MILLISECONDS.

#include <windows.h>

#include <cstdio>
#include <cwchar>

int main() {
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (!argv || argc != 3) {
        std::fputs("usage: trackfold_holdfile PATH MILLISECONDS\n", stderr);
        return 2;
    }
    const HANDLE file = ::CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "cannot open %ls: error %lu\n", argv[1], ::GetLastError());
        return 1;
    }
    std::puts("held");
    std::fflush(stdout);
    ::Sleep(DWORD(std::wcstoul(argv[2], nullptr, 10)));
    ::CloseHandle(file);
    return 0;
}
