#include <windows.h>

#include <fstream>

#include "support/ChildProcess.h"
#include "support/TempFolder.h"

namespace {
// One argument quoted as the C runtime reads it back.
std::wstring Quote(const std::string& aArg) {
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (const char c : aArg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        out.append(c == '"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += static_cast<wchar_t>(static_cast<unsigned char>(c));
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

HANDLE Inheritable(const std::filesystem::path& aPath, bool aWrite) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    return CreateFileW(aPath.c_str(), aWrite ? GENERIC_WRITE : GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, aWrite ? CREATE_ALWAYS : OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}
} // namespace

ChildOutcome RunChild(const std::string& aProgram, const std::vector<std::string>& aArgs,
                      const std::string& aInput, int aTimeoutMs) {
    TempFolder folder;
    const auto in = folder.Path() / "in", out = folder.Path() / "out", err = folder.Path() / "err";
    std::ofstream(in, std::ios::binary) << aInput;
    std::wstring command = Quote(aProgram);
    for (const auto& a : aArgs) {
        command += L" " + Quote(a);
    }
    ChildOutcome outcome;
    HANDLE hIn = Inheritable(in, false), hOut = Inheritable(out, true), hErr = Inheritable(err, true);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = hIn;
    si.hStdOutput = hOut;
    si.hStdError = hErr;
    PROCESS_INFORMATION pi{};
    const std::wstring program(aProgram.begin(), aProgram.end());
    if (CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si,
                       &pi)) {
        if (WaitForSingleObject(pi.hProcess, static_cast<DWORD>(aTimeoutMs)) != WAIT_OBJECT_0) {
            TerminateProcess(pi.hProcess, 255);
            WaitForSingleObject(pi.hProcess, INFINITE);
        } else {
            DWORD code = 0;
            GetExitCodeProcess(pi.hProcess, &code);
            outcome.Status = static_cast<int>(code);
        }
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    } else {
        outcome.Err =
            "CreateProcessW of " + aProgram + " failed with error " + std::to_string(GetLastError());
    }
    CloseHandle(hIn);
    CloseHandle(hOut);
    CloseHandle(hErr);
    outcome.Out = ReadFileBytes(out);
    outcome.Err += ReadFileBytes(err);
    return outcome;
}
