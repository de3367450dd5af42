#pragma once
// Facts about this machine and this program that the platform answers.

#include <cstdint>
#include <functional>
#include <string>

namespace vantor {

// Total physical memory in bytes, as an unsigned 32-bit count like the
// platform call the program was first written for (so capped at 4 GiB - 1).
std::uint32_t totalPhysicalMemory32();

// Folder of the running executable, with a trailing separator.
std::string executableFolder();
// The running executable's full path; empty when unknown.
std::string executablePath();

// The folder of the project's own tools (where the hardware-report tool lives),
// without a trailing separator; empty when unknown.
std::string SystemFolder();

// Opens a document, folder or address with the desktop's default program.
// done(error) follows once the opener has finished, with an empty error when it
// reported success; it runs at once when the opener cannot be started, else on
// a thread of its own.
void shellOpen(const std::string& target, std::function<void(const std::string& error)> done = nullptr);

// The user's config folder for this program's settings hive (POSIX) or empty.
std::string userConfigFolder();

// The user's home folder with a trailing separator (POSIX: $HOME, else the
// password database); empty when unknown.
std::string homeFolder();

}  // namespace vantor
