#pragma once
// Lists the entries of one folder for the file search. One backend per system
// (platform/posix, platform/win). The walker keeps one listing per depth level
// and reuses it for sibling folders, so memory does not grow with the tree.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace vantor::detail {

// What a listed entry is, as far as the listing knows without asking again.
enum class EntryKind {
    File,     // not a folder and not a link
    Folder,   // a real folder
    Link,     // a symbolic link: resolve() tells what it points at
    Unknown,  // the listing did not say: resolve() finds out
};

struct ListedEntry {
    std::string_view name;  // valid until the next call on the listing
    EntryKind kind = EntryKind::Unknown;
    bool hidden = false;  // POSIX: the name starts with "."; Windows: the hidden attribute
};

class DirectoryListing {
public:
    DirectoryListing();
    ~DirectoryListing();
    DirectoryListing(const DirectoryListing&) = delete;
    DirectoryListing& operator=(const DirectoryListing&) = delete;

    // Opens a folder for listing. path is the full path ending in the separator.
    // parent, when not null, is the open listing of the enclosing folder and name
    // the entry there; the folder is then opened without following a link.
    // A start folder (no parent) may itself be reached through links.
    // False when the folder does not exist or cannot be read.
    bool open(const DirectoryListing* parent, std::string_view name, const std::string& path);

    // The next entry other than "." and ".."; false at the end (or on a read error).
    bool next(ListedEntry& entry);

    // Starts the listing over for another pass over the same folder.
    void rewind();

    void close();

    // For a Link or Unknown entry of this folder: File when it is (or a link
    // points at) something that is not a folder, Folder for a real folder,
    // Link for a link to a folder or a dangling link, Unknown when the entry
    // cannot be looked at (gone meanwhile).
    EntryKind resolve(const ListedEntry& entry) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace vantor::detail
