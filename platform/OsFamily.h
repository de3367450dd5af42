#pragma once
// Which kind of system the program is built for. Tables of names that differ
// between systems (process names, usual folders) are chosen by it, so the
// tables of every system stay visible and testable on each.

namespace vantor {

enum class OsFamily { Windows, Posix };

#ifdef _WIN32
inline constexpr OsFamily kThisOs = OsFamily::Windows;
#else
inline constexpr OsFamily kThisOs = OsFamily::Posix;
#endif

}  // namespace vantor
