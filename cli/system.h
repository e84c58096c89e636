// What veltrane-cli needs from the system it runs on, in one place per
// system (posix/system.cpp, win32/system.cpp): its arguments, standard error
// and the requests to stop.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace cli {

// The command line as UTF-8 strings, argv[0] first. Windows passes `argv` in
// its ANSI code page, which can't hold every name; there the wide command
// line is read instead.
std::vector<std::string> Arguments(int argc, char** argv);

// Lets a stop request (Ctrl-C, a terminal or console closing, a polite kill)
// end the pass at its next block instead of killing the program. A request
// the caller chose to ignore (nohup, a background job) stays ignored.
void CatchStopRequests();

// 0 while no stop was asked for; then the signal number it stands for: 2 for
// Ctrl-C, 15 for a kill or Ctrl-Break, 1 for a closed terminal or console.
int StopRequest();

// Called last: a closing console waits for the program to clean up and no
// longer.
void Finished();

// The length of the file a path names, -1 (with the system's error) when
// it can't be told; `regular` says whether it is a regular file.
std::int64_t FileSize(const std::string& path, bool* regular = nullptr);

bool ErrorIsTerminal();
bool OutputIsTerminal();
// The width of the terminal standard error is on, 80 when it can't be told.
std::size_t TerminalWidth();
// Writes UTF-8 text to standard error whole, or drops it when it can't be
// written (a closed pipe): a pass never stops over its progress line.
// Redirected on Windows, it is written as the system's own tools write text.
void WriteError(const std::string& text);
// UTF-8 text as it goes to standard output: on Windows, to a file or a pipe,
// as the system's own tools write text (see WriteError); as it is elsewhere.
std::string OutputText(const std::string& text);

// What keygen does each system's way. Those that can fail leave the system's
// error (platform::LastSystemError()) when they do.
// Whether the error says that a name is already taken.
bool NameTaken(int error);
// The bytes this user may still take in `folder`, -1 when it can't be told.
std::int64_t FreeBytes(const std::string& folder);
// Room for `bytes` in the open file without lengthening it; true where the
// file system can't say.
bool Reserve(int fd, std::int64_t bytes);
// Leaves the key readable by its owner alone: called on the new file before
// a byte is written (false means no key) and again once it is placed (the
// key stays whichever way that goes).
bool ProtectKey(int fd, bool placed);

}  // namespace cli
