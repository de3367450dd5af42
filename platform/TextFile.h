#pragma once
// The one place where the program writes text files: Windows-1252 bytes, every
// line (the last one too) ended by CR LF, replaced atomically through a temporary
// file and a rename, so a crash never leaves a half-written file.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vantor {

struct IoResult {
    bool ok = true;
    std::string error;  // the operating system's text when !ok
    explicit operator bool() const { return ok; }
};

// UTF-8 to Windows-1252; a character without a Windows-1252 byte becomes '?'.
std::string toWindows1252(std::string_view utf8);
// Windows-1252 to UTF-8 (the five undefined bytes map to U+FFFD).
std::string fromWindows1252(std::string_view bytes);

// Encodes the lines (UTF-8) as Windows-1252 with CR LF after each line.
std::string encodeTextLines(const std::vector<std::string>& lines);

// Writes the bytes to path atomically (temporary file in the same folder, flush,
// rename over the target).
IoResult writeFileAtomic(const std::string& path, std::string_view bytes);

// encodeTextLines + writeFileAtomic.
IoResult writeTextFile(const std::string& path, const std::vector<std::string>& lines);

// Reads a whole file as raw bytes. Returns false when it cannot be opened.
bool readFileBytes(const std::string& path, std::string& out);

// Reads at most maxBytes raw bytes from offset on (fewer at the end of the
// file); size receives the file's size. Returns false when it cannot be read.
bool readFileRange(const std::string& path, std::uint64_t offset, std::size_t maxBytes, std::string& out,
                   std::uint64_t& size);

// Reads a text file written in Windows-1252 (or plain ASCII) and splits it into
// UTF-8 lines at CR LF, LF or CR, as a string list loads a file: a final line
// break does not make an extra empty line. Returns false when it cannot be read.
bool readTextLines(const std::string& path, std::vector<std::string>& lines);

}  // namespace vantor
