#include "tests/support/program.h"

#include "platform/win32/text.h"
#include "tests/support/files.h"

#include <windows.h>

#include <thread>

namespace testsupport {

namespace {

// One argument as CommandLineToArgvW and the C runtime read it back.
std::wstring Quoted(const std::wstring& argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos)
        return argument;
    std::wstring out = L"\"";
    size_t slashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        out.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
        slashes = 0;
        out += c;
    }
    out.append(slashes * 2, L'\\');
    return out + L"\"";
}

}  // namespace

struct Program::State {
    TempDir dir;
    std::string outPath;
    HANDLE process = nullptr;
    HANDLE err = nullptr;
    std::string errText;
    bool ended = false;
    int status = -1;

    bool ReadSome()
    {
        if (!err)
            return false;
        char chunk[4096];
        DWORD got = 0;
        if (!::ReadFile(err, chunk, sizeof chunk, &got, nullptr) || got == 0)
            return false;
        errText.append(chunk, got);
        return true;
    }

    void Reap(DWORD limit)
    {
        if (process && ::WaitForSingleObject(process, limit) == WAIT_OBJECT_0) {
            DWORD code = 0;
            ::GetExitCodeProcess(process, &code);
            status = static_cast<int>(code);
            ended = true;
        }
    }
};

// The environment and the other POSIX-only options are not needed by any
// Windows test, so they are not offered here.
Program::Program(const std::vector<std::string>& command, const ProgramOptions& options)
    : m_state(std::make_unique<State>())
{
    State& s = *m_state;
    std::wstring line;
    for (const std::string& word : command)
        line += (line.empty() ? L"" : L" ") + Quoted(platform::Widen(word));
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE errWrite = nullptr;
    HANDLE out = INVALID_HANDLE_VALUE;
    if (options.log.empty()) {
        if (::CreatePipe(&s.err, &errWrite, &inherit, 0))
            ::SetHandleInformation(s.err, HANDLE_FLAG_INHERIT, 0);
        s.outPath = s.dir / "stdout";
        out = ::CreateFileW(platform::SystemPath(s.outPath).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                            CREATE_ALWAYS, 0, nullptr);
    } else {
        out = ::CreateFileW(platform::SystemPath(options.log).c_str(), FILE_APPEND_DATA,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_ALWAYS, 0, nullptr);
        errWrite = out;
    }
    const HANDLE in =
        ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = errWrite;
    const std::wstring folder = options.directory.empty() ? std::wstring() : platform::Widen(options.directory);
    PROCESS_INFORMATION process{};
    if (::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                         folder.empty() ? nullptr : folder.c_str(), &startup, &process)) {
        ::CloseHandle(process.hThread);
        s.process = process.hProcess;
    }
    if (errWrite && errWrite != out)
        ::CloseHandle(errWrite);
    if (out != INVALID_HANDLE_VALUE)
        ::CloseHandle(out);
    if (in != INVALID_HANDLE_VALUE)
        ::CloseHandle(in);
}

Program::~Program()
{
    if (m_state->process && !m_state->ended) {
        ::TerminateProcess(m_state->process, 99);
        Wait();
    }
    if (m_state->process)
        ::CloseHandle(m_state->process);
    if (m_state->err)
        ::CloseHandle(m_state->err);
}

bool Program::ReadUntil(const std::string& text)
{
    while (m_state->errText.find(text) == std::string::npos)
        if (!m_state->ReadSome())
            return false;
    return true;
}

int Program::WaitForExit(std::chrono::milliseconds limit)
{
    m_state->Reap(static_cast<DWORD>(limit.count()));
    return m_state->ended ? m_state->status : -1;
}

ProgramOutcome Program::Wait()
{
    State& s = *m_state;
    while (s.ReadSome()) {}
    s.Reap(INFINITE);
    ProgramOutcome outcome;
    outcome.status = s.status;
    outcome.err = s.errText;
    if (!s.outPath.empty())
        outcome.out = ReadFile(s.outPath);
    return outcome;
}

long Program::Id() const { return m_state->process ? static_cast<long>(::GetProcessId(m_state->process)) : -1; }

void Program::Signal(int) {}

std::vector<std::string> BuiltCommand(const std::string& path, const std::vector<std::string>& args)
{
    std::vector<std::string> command{path};
    command.insert(command.end(), args.begin(), args.end());
    return command;
}

}  // namespace testsupport
