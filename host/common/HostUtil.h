// Small helpers shared by the host stand-ins and the test tools.
#pragma once

#include <windows.h>

#include <string>

namespace host {

// Host strings are code page 932 whatever the process's ANSI code page.
inline constexpr UINT kCodePage = 932;

// The last "\" or "/" of a path, stepping over two-byte characters whole;
// nullptr when there is none.
const char* LastSeparator(const char* path);

// Folder of a module (nullptr: the program), without a trailing backslash.
std::string ModuleDir(HMODULE module);

// dir + "\" + name.
std::string JoinPath(const std::string& dir, const std::string& name);

// Appends one line (a line feed is added) to a log; several processes may
// append at the same time.
void AppendLine(const std::string& path, const std::string& line);

bool FileExists(const std::string& path);

// Makes a string safe for one line: "\" "\n" "\r" "\t" become escapes.
// Two-byte characters pass untouched, so their trail bytes are never taken
// for a backslash.
std::string EscapeLine(const char* text);

// "YYYY-MM-DD hh:mm:ss.mmm", local time.
std::string Timestamp();

// The user dictionary folder of a kind, %APPDATA%\Heronix\Fumidori\<kind>,
// each level created on the way when create is set. False when the kind is
// not a plain folder name or a level is missing (or cannot be made).
bool UserDicRoot(const char* kind, bool create, std::string& out);
// The same folder's path, whether it exists or not.
bool UserDicRootPath(const char* kind, std::string& out);

// Writes bytes to standard output unchanged (no text-mode translation).
void WriteOut(const std::string& text);

}  // namespace host
