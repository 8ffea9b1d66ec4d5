#pragma once
// Runs a console program as a script would and keeps what it wrote to
// standard output and standard error apart, with its exit code.

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>

namespace quillon::test {

struct ConsoleRun {
    DWORD exitCode = 99;
    std::string out;
    std::string err;
};

namespace detail {

inline HANDLE InheritableFile(const std::string& path) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_TEMPORARY, nullptr);
}

// The file's text with each CR LF turned into LF.
inline std::string ReadBack(const std::string& path) {
    std::string text;
    {
        std::ifstream in(path, std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::string lines;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            lines += text[i];
        }
    }
    DeleteFileA(path.c_str());
    return lines;
}

}  // namespace detail

// Runs `"program" arguments` with no input and waits for it (at most 30 s).
inline ConsoleRun RunConsole(const std::string& program, const std::string& arguments) {
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    static int runs = 0;
    const std::string base = std::string(folder) + "quillon-console-" + std::to_string(GetCurrentProcessId()) +
                             "-" + std::to_string(++runs);
    const std::string outPath = base + ".out";
    const std::string errPath = base + ".err";
    ConsoleRun run;
    const HANDLE out = detail::InheritableFile(outPath);
    const HANDLE err = detail::InheritableFile(errPath);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    std::string commandLine = "\"" + program + "\" " + arguments;
    const bool started = out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE &&
                         CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process) != FALSE;
    if (started) {
        if (WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0) {
            GetExitCodeProcess(process.hProcess, &run.exitCode);
        } else {
            TerminateProcess(process.hProcess, 99);
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    for (const HANDLE file : {out, err}) {
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
        }
    }
    run.out = detail::ReadBack(outPath);
    run.err = detail::ReadBack(errPath);
    return run;
}

}  // namespace quillon::test
