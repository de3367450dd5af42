// Folder listing for the file search on Windows: FindFirstFile/FindNextFile
// over "folder\*", hidden and system entries included, in the order the file
// system gives. The entries are kept, so a second pass reads nothing again.

#include "platform/DirectoryListing.h"

#include <vector>

#include <windows.h>

namespace vantor::detail {

struct DirectoryListing::Impl {
    struct Item {
        std::string name;
        EntryKind kind;
        bool hidden;
    };
    std::vector<Item> items;
    std::size_t pos = 0;
    std::string path;
    bool open = false;
};

DirectoryListing::DirectoryListing() : impl_(std::make_unique<Impl>()) {}

DirectoryListing::~DirectoryListing() { close(); }

bool DirectoryListing::open(const DirectoryListing*, std::string_view, const std::string& path) {
    close();
    Impl& d = *impl_;
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileExA((path + "*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                FIND_FIRST_EX_LARGE_FETCH);
    if (h == INVALID_HANDLE_VALUE) {
        // Only a drive's root can be listed and hold nothing at all.
        if (GetLastError() != ERROR_FILE_NOT_FOUND) return false;
    } else {
        do {
            const std::string_view name = data.cFileName;
            if (name == "." || name == "..") continue;
            const DWORD attributes = data.dwFileAttributes;
            // A junction or symbolic link is not followed into.
            const EntryKind kind = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? EntryKind::Link
                                   : (attributes & FILE_ATTRIBUTE_DIRECTORY)   ? EntryKind::Folder
                                                                               : EntryKind::File;
            d.items.push_back({std::string(name), kind, (attributes & FILE_ATTRIBUTE_HIDDEN) != 0});
        } while (FindNextFileA(h, &data));
        FindClose(h);
    }
    d.path = path;
    d.open = true;
    return true;
}

bool DirectoryListing::next(ListedEntry& entry) {
    Impl& d = *impl_;
    if (!d.open || d.pos >= d.items.size()) return false;
    const Impl::Item& item = d.items[d.pos++];
    entry.name = item.name;
    entry.kind = item.kind;
    entry.hidden = item.hidden;
    return true;
}

void DirectoryListing::rewind() { impl_->pos = 0; }

void DirectoryListing::close() {
    Impl& d = *impl_;
    d.items.clear();
    d.pos = 0;
    d.path.clear();
    d.open = false;
}

EntryKind DirectoryListing::resolve(const ListedEntry& entry) const {
    const Impl& d = *impl_;
    if (!d.open) return EntryKind::Unknown;
    const std::string full = d.path + std::string(entry.name);
    if (entry.kind != EntryKind::Link) {
        const DWORD attributes = GetFileAttributesA(full.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) return EntryKind::Unknown;
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return resolve({entry.name, EntryKind::Link, entry.hidden});
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? EntryKind::Folder : EntryKind::File;
    }
    // Opening without FILE_FLAG_OPEN_REPARSE_POINT follows the link to its target.
    HANDLE h = CreateFileA(full.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return EntryKind::Link;  // dangling
    BY_HANDLE_FILE_INFORMATION info;
    const bool known = GetFileInformationByHandle(h, &info) != 0;
    CloseHandle(h);
    if (!known || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return EntryKind::Link;
    return EntryKind::File;
}

}  // namespace vantor::detail
