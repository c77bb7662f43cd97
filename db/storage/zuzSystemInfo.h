// What the engine asks the operating system about (the creator's login, computer name and system
// version, the clock), and the text conversions of the file's UTF-16LE string slots.
//
// A string slot of w bytes holds at most w/2 - 1 UTF-16 code units, zero-terminated and
// zero-padded: [u16 u16 ... 0 0 ...].
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zuz {

// "XX: " + " 0.<major>.<minor>.<patch> " + the kernel release text, from uname; "unknown" when
// the version can't be read.
std::string OperatingSystemText();
// The effective user's login name ("" when unknown).
std::string LoginUserName();
std::string ComputerName();
// The current local date and time as a day number (days since 30 December 1899).
double NowDayNumber();

// Writes the UTF-8 text into a slot of slotBytes bytes as UTF-16LE, cut (never inside a
// surrogate pair) to leave room for the terminating zero.
void PutUtf16Slot(uint8_t* slot, std::size_t slotBytes, std::string_view utf8);
// Reads a slot up to its first zero unit; malformed units become U+FFFD.
std::string GetUtf16Slot(const uint8_t* slot, std::size_t slotBytes);

// The lock file's name for a database file: the extension replaced by ".lck" when the path
// contains ".zuz" (in lower case); otherwise every "." of the file name becomes "_" and ".lck"
// is added (data.dat gives data_dat.lck).
std::string LockFileNameFor(const std::string& databasePath);

}  // namespace zuz
