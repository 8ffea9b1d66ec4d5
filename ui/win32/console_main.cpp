// The console program's entry point: the real registry, and standard output
// and standard error as the process was given them.

#define WIN32_LEAN_AND_MEAN
#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "net/win32/SystemLibrary.h"
#include "net/win32/Win32Prober.h"
#include "registry/Registry.h"
#include "registry/Win32Registry.h"
#include "text/Fill.h"
#include "text/Utf8.h"
#include "ui/console/Console.h"
#include "ui/console/Replace.h"

namespace {

// Text with CR LF line ends, as Windows programs write it.
std::string WindowsLines(std::string_view text) {
    std::string lines;
    for (const char c : text) {
        if (c == '\n') {
            lines += '\r';
        }
        lines += c;
    }
    return lines;
}

// Why the last call failed, as the system says it, in the system's language.
std::string SystemReason() {
    const DWORD error = GetLastError();
    char text[256] = {};
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                                  0, text, sizeof text, nullptr);
    while (length != 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == '.' ||
                           text[length - 1] == ' ')) {
        --length;
    }
    return quillon::text::Fill("% (Windows error %)",
                               {std::string_view(text, length), static_cast<unsigned>(error)});
}

// Where it fails, the last error says why, also for a handle that is none
// and for a write that took only part of the bytes.
bool WriteWhole(HANDLE handle, const std::string& bytes) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    DWORD written = 0;
    if (WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) == FALSE) {
        return false;
    }
    if (written != bytes.size()) {
        SetLastError(ERROR_WRITE_FAULT);
        return false;
    }
    return true;
}

// Where `handle` is a console, the text goes to it in a form the console
// shows as written: the program's texts are in the ANSI code page (adapter
// names from the registry, the system's reasons), while a console shows
// another, the OEM code page unless changed. On NT the text goes to the
// console as UTF-16; 95, 98 and Me have no working WriteConsoleW, so there
// it is converted to the OEM code page. Redirected (a file, a pipe), the text
// goes in the console's output code page, or the OEM one where the process
// has no console, as Windows' own console tools write it and as PowerShell
// and findstr read it; text of a form of its own (a REGEDIT4 file, which is
// ANSI) goes as it is.
class ConsoleText {
public:
    ConsoleText() {
        // kernel32.dll is in every process: a look-up, not a load.
        if ((GetVersion() & 0x80000000U) == 0) {
            quillon::net::FindFunctions(GetModuleHandleA("kernel32.dll"), "WriteConsoleW", {writeWide_});
        }
    }

    // `asIs`: the bytes have a code page of their own and keep it where redirected.
    bool Write(HANDLE handle, const std::string& bytes, bool asIs = false) const {
        DWORD mode = 0;
        if (handle == nullptr || handle == INVALID_HANDLE_VALUE || bytes.empty()) {
            return WriteWhole(handle, bytes);
        }
        if (GetConsoleMode(handle, &mode) == FALSE) {
            return WriteWhole(handle, asIs ? bytes : InOutputCodePage(bytes));
        }
        if (writeWide_ != nullptr) {
            return WriteWideText(handle, bytes);
        }
        std::string oem(bytes.size(), '\0');
        CharToOemBuffA(bytes.data(), oem.data(), static_cast<DWORD>(bytes.size()));
        return WriteWhole(handle, oem);
    }

    // UTF-8 text: as it is where redirected; on an NT console as the console
    // shows it (95, 98 and Me get its bytes).
    bool WriteUtf8(HANDLE handle, const std::string& bytes) const {
        DWORD mode = 0;
        if (writeWide_ == nullptr || handle == nullptr || handle == INVALID_HANDLE_VALUE || bytes.empty() ||
            GetConsoleMode(handle, &mode) == FALSE) {
            return WriteWhole(handle, bytes);
        }
        const std::vector<wchar_t> wide = Wide(bytes, CP_UTF8);
        return !wide.empty() ? WriteWide16(handle, wide) : WriteWhole(handle, bytes);
    }

private:
    using WriteWide = BOOL(WINAPI*)(HANDLE, const void*, DWORD, LPDWORD, LPVOID);
    // Old consoles take no more than about 64 KiB in one call.
    static constexpr std::size_t kPieceChars = 8192;

public:
    // The ANSI text (or that of `page`) as UTF-16; empty where it cannot be converted.
    static std::vector<wchar_t> Wide(std::string_view bytes, UINT page = CP_ACP) {
        const int size = static_cast<int>(bytes.size());
        const int chars = MultiByteToWideChar(page, 0, bytes.data(), size, nullptr, 0);
        std::vector<wchar_t> wide(chars > 0 ? static_cast<std::size_t>(chars) : 0);
        if (chars <= 0 || MultiByteToWideChar(page, 0, bytes.data(), size, wide.data(), chars) != chars) {
            wide.clear();
        }
        return wide;
    }

private:
    // The ANSI text in the console's output code page (none: the OEM one);
    // as it is where the two are one or it cannot be converted.
    static std::string InOutputCodePage(const std::string& bytes) {
        UINT page = GetConsoleOutputCP();
        if (page == 0) {
            page = GetOEMCP();
        }
        const std::vector<wchar_t> wide = page != GetACP() ? Wide(bytes) : std::vector<wchar_t>();
        if (wide.empty()) {
            return bytes;
        }
        const int chars = static_cast<int>(wide.size());
        const int size = WideCharToMultiByte(page, 0, wide.data(), chars, nullptr, 0, nullptr, nullptr);
        std::string converted(size > 0 ? static_cast<std::size_t>(size) : 0, '\0');
        if (size <= 0 ||
            WideCharToMultiByte(page, 0, wide.data(), chars, converted.data(), size, nullptr, nullptr) != size) {
            return bytes;
        }
        return converted;
    }

    bool WriteWideText(HANDLE handle, const std::string& bytes) const { return WriteWide16(handle, Wide(bytes)); }

    bool WriteWide16(HANDLE handle, const std::vector<wchar_t>& wide) const {
        if (wide.empty()) {
            return false;
        }
        for (std::size_t at = 0; at < wide.size();) {
            std::size_t piece = std::min<std::size_t>(kPieceChars, wide.size() - at);
            // A surrogate pair stays in one piece.
            if (at + piece < wide.size() && wide[at + piece - 1] >= 0xD800 &&
                wide[at + piece - 1] <= 0xDBFF) {
                --piece;
            }
            DWORD written = 0;
            if (writeWide_(handle, wide.data() + at, static_cast<DWORD>(piece), &written, nullptr) == FALSE) {
                return false;
            }
            if (written == 0 || written > piece) {
                SetLastError(ERROR_WRITE_FAULT);
                return false;
            }
            at += written;
        }
        return true;
    }

    WriteWide writeWide_ = nullptr;
};

// The folder that holds `path` (in a form GetTempFileName takes), found
// character by character so that the second byte of a double-byte character
// is never taken for a backslash.
std::string FolderOf(const std::string& path) {
    std::size_t end = 0;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '\\' || path[i] == '/' || (i == 1 && path[i] == ':')) {
            end = i + 1;
        } else if (IsDBCSLeadByte(static_cast<BYTE>(path[i])) != FALSE && i + 1 < path.size()) {
            ++i;
        }
    }
    if (end == 0) {
        return ".";
    }
    // "C:" alone names the drive's current folder.
    return end == 2 && path[1] == ':' ? quillon::text::Cat({std::string_view(path).substr(0, 2), "."})
                                      : path.substr(0, end);
}

// Writes `bytes` into the file `path`, which is there (empty), and makes sure
// they are on the disk.
bool WriteNewFile(const char* path, const std::string& bytes) {
    const HANDLE file =
        CreateFileA(path, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool written = WriteWhole(file, bytes) && FlushFileBuffers(file) != FALSE;
    const DWORD error = GetLastError();
    const bool closed = CloseHandle(file) != FALSE;
    if (!written) {
        SetLastError(error);
    }
    return written && closed;
}

// Standard output and standard error as the process was given them; nothing
// is buffered, so the order of the two streams is kept.
class StandardHandles final : public quillon::ui::ConsoleOutput {
public:
    void Out(std::string_view text) override { Write(STD_OUTPUT_HANDLE, text); }
    void Err(std::string_view text) override { Write(STD_ERROR_HANDLE, text); }
    void OutUtf8(std::string_view text) override {
        console_.WriteUtf8(GetStdHandle(STD_OUTPUT_HANDLE), WindowsLines(text));
    }
    std::string Utf8(std::string_view text) override {
        const std::vector<wchar_t> wide = ConsoleText::Wide(text);
        return quillon::text::Utf8Of(std::u16string(wide.begin(), wide.end()));
    }
    // On NT, with the Unicode call (looked up: 95, 98 and Me have it only as
    // a stub), so that a name keeps characters the ANSI code page lacks.
    std::optional<std::string> UnicodeString(const std::string& path, const std::string& name) override {
        if ((GetVersion() & 0x80000000U) != 0) {
            return std::nullopt;
        }
        LONG(WINAPI * openKey)(HKEY, LPCWSTR, DWORD, REGSAM, PHKEY) = nullptr;
        LONG(WINAPI * queryValue)(HKEY, LPCWSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD) = nullptr;
        LONG(WINAPI * closeKey)(HKEY) = nullptr;
        if (!quillon::net::FindFunctions(GetModuleHandleA("advapi32.dll"),
                                         "RegOpenKeyExW\0RegQueryValueExW\0RegCloseKey",
                                         {openKey, queryValue, closeKey})) {
            return std::nullopt;
        }
        // Each with its closing NUL.
        const std::vector<wchar_t> widePath =
            ConsoleText::Wide(std::string_view(path.c_str(), path.size() + 1));
        const std::vector<wchar_t> wideName =
            ConsoleText::Wide(std::string_view(name.c_str(), name.size() + 1));
        HKEY key = nullptr;
        if (widePath.empty() || wideName.empty() ||
            openKey(HKEY_LOCAL_MACHINE, widePath.data(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
            return std::nullopt;
        }
        // A name is short: what does not fit is not a name.
        char16_t value[512] = {};
        DWORD type = 0;
        DWORD bytes = sizeof value - sizeof(char16_t);
        const LONG status =
            queryValue(key, wideName.data(), nullptr, &type, reinterpret_cast<LPBYTE>(value), &bytes);
        closeKey(key);
        if (status != ERROR_SUCCESS || type != REG_SZ) {
            return std::nullopt;
        }
        std::size_t length = 0;
        while (length < bytes / sizeof(char16_t) && value[length] != u'\0') {
            ++length;
        }
        return quillon::text::Utf8Of(std::u16string_view(value, length));
    }
    // A registry file: ANSI also where redirected.
    bool OutWhole(const std::string& text, std::string& failure) override {
        if (Write(STD_OUTPUT_HANDLE, text, true)) {
            return true;
        }
        failure = SystemReason();
        return false;
    }
    // The new file is written whole beside the old one before it takes the
    // old one's name, so that a failure (a full disk) leaves the old one as
    // it was.
    bool Save(const std::string& path, const std::string& text, std::string& failure) override {
        const DWORD attributes = GetFileAttributesA(path.c_str());
        const bool there = attributes != INVALID_FILE_ATTRIBUTES;
        std::string folder;
        char fresh[MAX_PATH] = {};
        bool written = false;  // the new file is there, to be deleted where it does not take the name
        std::string aside;
        bool oldGone = false;
        // A read-only file, or a folder, is refused as writing into it would be.
        if (there && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
            SetLastError(ERROR_ACCESS_DENIED);
        } else if (folder = FolderOf(path); GetTempFileNameA(folder.c_str(), "qmt", 0, fresh) == 0) {
            // A folder that is not there is said as such, not as a bad name.
            const DWORD error = GetLastError();
            if (GetFileAttributesA(folder.c_str()) != INVALID_FILE_ATTRIBUTES) {
                SetLastError(error);
            }
        } else if (written = true; WriteNewFile(fresh, WindowsLines(text)) &&
                                   PutInPlace(fresh, path, there, folder, aside, oldGone)) {
            return true;
        }
        // Where the old one is gone, the new one, whole, is all there is: it stays.
        failure = quillon::text::Fill(
            aside.empty() ? (there ? "%. The file that was there is as it was." : "%. No file was left there.")
            : oldGone     ? "%. The file that was there is gone; the new one is %."
                          : "%. The file that was there could not be put back: it is now %.",
            {SystemReason(), aside});
        if (written && !oldGone) {
            DeleteFileA(fresh);
        }
        return false;
    }

private:
    // Text to standard output or standard error, one routine for every way
    // the program writes it there.
    bool Write(DWORD stream, std::string_view text, bool asIs = false) const {
        return console_.Write(GetStdHandle(stream), WindowsLines(text), asIs);
    }

    // The file system's steps, keeping the reason of the first that failed.
    struct Renames final : quillon::ui::FileRenames {
        using ReplaceFunction = BOOL(WINAPI*)(LPCSTR, LPCSTR, LPCSTR, DWORD, LPVOID, LPVOID);
        bool Rename(const std::string& from, const std::string& to) override {
            return Keep(MoveFileA(from.c_str(), to.c_str()) != FALSE);
        }
        void Remove(const std::string& path) override { DeleteFileA(path.c_str()); }
        bool Exists(const std::string& path) override {
            return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
        }
        bool ReplaceInOneStep(const std::string& path, const std::string& fresh,
                              const std::string& backup) override {
            return Keep(replaceFile(path.c_str(), fresh.c_str(), backup.c_str(), REPLACEFILE_IGNORE_MERGE_ERRORS,
                                    nullptr, nullptr) != FALSE);
        }
        bool Keep(bool done) {
            if (!done && firstError == ERROR_SUCCESS) {
                firstError = GetLastError();
            }
            return done;
        }
        ReplaceFunction replaceFile = nullptr;
        DWORD firstError = ERROR_SUCCESS;
    };

    // The file `fresh` takes the name `path`. Where a file is there, XP and
    // later replace it in one step (ReplaceFile), so that the new one keeps
    // its security, attributes and streams, and where that file system cannot
    // (both keep their names) move the new one over it; NT before XP moves the
    // new one over it (MoveFileEx, written through); 95, 98 and Me, which have
    // neither, rename the old one aside, the new one into its name, and then
    // delete the old one. Either way the old one is put back where a step
    // fails (`aside` names it where even that fails); where the old one is
    // gone and the new one could not take its name, `oldGone` is set and
    // `aside` names the new one.
    static bool PutInPlace(const char* fresh, const std::string& path, bool there, const std::string& folder,
                           std::string& aside, bool& oldGone) {
        if (!there) {
            return MoveFileA(fresh, path.c_str()) != FALSE;
        }
        const HMODULE kernel = GetModuleHandleA("kernel32.dll");
        Renames renames;
        decltype(&MoveFileExA) moveFileEx = nullptr;
        quillon::net::FindFunctions(kernel, "ReplaceFileA\0MoveFileExA", {renames.replaceFile, moveFileEx});
        const DWORD moveFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
        if (renames.replaceFile == nullptr && moveFileEx != nullptr) {
            if (moveFileEx(fresh, path.c_str(), moveFlags) != FALSE) {
                return true;
            }
            if (GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) {
                return false;
            }
        }
        char old[MAX_PATH] = {};
        if (GetTempFileNameA(folder.c_str(), "qmt", 0, old) == 0) {
            return false;
        }
        DeleteFileA(old);  // only its name is wanted
        const quillon::ui::Replaced replaced =
            renames.replaceFile != nullptr ? quillon::ui::ReplaceKeepingBackup(renames, fresh, path, old)
                                           : quillon::ui::ReplaceByRenames(renames, fresh, path, old);
        if (replaced == quillon::ui::Replaced::kOldKept && renames.replaceFile != nullptr && moveFileEx != nullptr &&
            moveFileEx(fresh, path.c_str(), moveFlags) != FALSE) {
            return true;
        }
        if (replaced == quillon::ui::Replaced::kOldAside) {
            aside = old;
        }
        if (replaced == quillon::ui::Replaced::kNewAside) {
            aside = fresh;
            oldGone = true;
        }
        SetLastError(renames.firstError);
        return replaced == quillon::ui::Replaced::kDone;
    }

    ConsoleText console_;
};

}  // namespace

int main(int argc, char** argv) {
    quillon::net::RestrictLibrarySearch();
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    quillon::reg::Win32Registry platform;
    quillon::reg::Registry registry(platform);
    StandardHandles output;
    quillon::net::Win32InterfaceTable table;
    quillon::net::Win32Prober prober(table);
    return quillon::ui::RunConsole(arguments, registry, output, &prober, &table);
}
