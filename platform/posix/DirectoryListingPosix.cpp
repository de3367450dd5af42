// Folder listing for the file search on Linux: getdents64 into one buffer per
// listing, entry types from d_type, a stat only where the type is not given.
// A folder that fits into the buffer is read once however often it is listed.

#include "platform/DirectoryListing.h"

#include <cstdint>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace vantor::detail {
namespace {

constexpr std::size_t kBufferBytes = 32 * 1024;

// The kernel's record (not the libc dirent).
struct KernelDirent64 {
    std::uint64_t d_ino;
    std::int64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[1];
};

constexpr unsigned char kTypeUnknown = 0;  // DT_UNKNOWN
constexpr unsigned char kTypeDir = 4;      // DT_DIR
constexpr unsigned char kTypeLink = 10;    // DT_LNK

// A name as a C string; false when it cannot be a single path component.
bool toCName(std::string_view name, char (&out)[256]) {
    if (name.empty() || name.size() >= sizeof out) return false;
    std::memcpy(out, name.data(), name.size());
    out[name.size()] = '\0';
    return true;
}

}  // namespace

struct DirectoryListing::Impl {
    int fd = -1;
    std::unique_ptr<std::uint64_t[]> buffer;  // 8-byte aligned records
    std::size_t filled = 0;                   // bytes of records in the buffer
    std::size_t pos = 0;                      // next record
    int chunks = 0;                           // buffer fills since open/rewind
    bool atEnd = false;
    bool wholeInBuffer = false;  // the folder came in one fill: rewind re-reads nothing

    char* bytes() { return reinterpret_cast<char*>(buffer.get()); }

    void reset() {
        filled = pos = 0;
        chunks = 0;
        atEnd = false;
        wholeInBuffer = false;
    }

    bool fill() {
        long n = ::syscall(SYS_getdents64, fd, bytes(), kBufferBytes);
        if (n <= 0) {  // 0 leaves the buffer as it was
            atEnd = true;
            wholeInBuffer = (n == 0 && chunks == 1);
            return false;
        }
        filled = static_cast<std::size_t>(n);
        pos = 0;
        ++chunks;
        return true;
    }
};

DirectoryListing::DirectoryListing() : impl_(std::make_unique<Impl>()) {}

DirectoryListing::~DirectoryListing() { close(); }

bool DirectoryListing::open(const DirectoryListing* parent, std::string_view name, const std::string& path) {
    close();
    Impl& d = *impl_;
    int fd = -1;
    char cname[256];
    if (parent && parent->impl_->fd >= 0 && toCName(name, cname)) {
        fd = ::openat(parent->impl_->fd, cname, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    } else {
        int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
        if (parent) flags |= O_NOFOLLOW;
        fd = ::open(path.c_str(), flags);
    }
    if (fd < 0) return false;
    if (!d.buffer) d.buffer = std::make_unique<std::uint64_t[]>(kBufferBytes / sizeof(std::uint64_t));
    d.fd = fd;
    d.reset();
    return true;
}

bool DirectoryListing::next(ListedEntry& entry) {
    Impl& d = *impl_;
    if (d.fd < 0) return false;
    for (;;) {
        if (d.pos >= d.filled) {
            if (d.atEnd || !d.fill()) return false;
        }
        const auto* rec = reinterpret_cast<const KernelDirent64*>(d.bytes() + d.pos);
        d.pos += rec->d_reclen;
        const char* n = rec->d_name;
        if (n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0'))) continue;
        entry.name = std::string_view(n, std::strlen(n));
        entry.hidden = n[0] == '.';
        switch (rec->d_type) {
            case kTypeDir: entry.kind = EntryKind::Folder; break;
            case kTypeLink: entry.kind = EntryKind::Link; break;
            case kTypeUnknown: entry.kind = EntryKind::Unknown; break;
            default: entry.kind = EntryKind::File; break;
        }
        return true;
    }
}

void DirectoryListing::rewind() {
    Impl& d = *impl_;
    if (d.fd < 0) return;
    if (d.wholeInBuffer) {
        d.pos = 0;  // atEnd stays: the buffer is the whole folder
        return;
    }
    ::lseek(d.fd, 0, SEEK_SET);
    d.reset();
}

void DirectoryListing::close() {
    Impl& d = *impl_;
    if (d.fd >= 0) ::close(d.fd);
    d.fd = -1;
    d.reset();
}

EntryKind DirectoryListing::resolve(const ListedEntry& entry) const {
    const Impl& d = *impl_;
    char cname[256];
    if (d.fd < 0 || !toCName(entry.name, cname)) return EntryKind::Unknown;
    struct stat st;
    if (entry.kind != EntryKind::Link) {
        if (::fstatat(d.fd, cname, &st, AT_SYMLINK_NOFOLLOW) != 0) return EntryKind::Unknown;
        if (S_ISDIR(st.st_mode)) return EntryKind::Folder;
        if (!S_ISLNK(st.st_mode)) return EntryKind::File;
    }
    // A link: a file when it points at something that is not a folder.
    if (::fstatat(d.fd, cname, &st, 0) != 0 || S_ISDIR(st.st_mode)) return EntryKind::Link;
    return EntryKind::File;
}

}  // namespace vantor::detail
