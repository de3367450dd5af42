#pragma once
// SQLite's default file system with a fault the test turns on, for conditions a
// test machine cannot be put in: a full disk, a folder that takes no writes
// (the tests may run as root, where permissions do not bind). It is SQLite's
// default while the object lives: make it before the stores, end it after.

#include <sqlite3.h>

#include <cstddef>
#include <filesystem>

namespace vantor::test {

class FaultyDisk {
public:
    enum class Fault {
        None,
        Full,       // every write is refused with SQLITE_FULL; the -shm index was there already
        FullNoShm,  // as Full, and the -shm index cannot be made (SQLITE_IOERR_SHMSIZE)
        ReadOnly,   // nothing can be made or deleted, files open read-only, no -shm index can be made
    };
    Fault fault = Fault::None;

    FaultyDisk() : base_(sqlite3_vfs_find(nullptr)) {
        vfs_ = *base_;
        vfs_.szOsFile = static_cast<int>(sizeof(File)) + base_->szOsFile;
        vfs_.zName = "vantor-faulty-disk";
        vfs_.pAppData = this;
        vfs_.pNext = nullptr;
        vfs_.xOpen = &open;
        vfs_.xDelete = &remove;
        vfs_.xAccess = &access;
        vfs_.xFullPathname = &fullPathname;
        sqlite3_vfs_register(&vfs_, 1);
    }
    ~FaultyDisk() {
        sqlite3_vfs_register(base_, 1);
        sqlite3_vfs_unregister(&vfs_);
    }
    FaultyDisk(const FaultyDisk&) = delete;
    FaultyDisk& operator=(const FaultyDisk&) = delete;

private:
    // The file SQLite sees, followed by the real one of the default file system.
    struct File {
        sqlite3_file file;  // first: SQLite's handle points here
        FaultyDisk* disk;
        bool named;  // not a temporary file
        sqlite3_io_methods methods;
        sqlite3_file* real() { return reinterpret_cast<sqlite3_file*>(this + 1); }  // SQLite aligns to 8
    };
    static_assert(sizeof(File) % 8 == 0 && alignof(File) <= 8);

    static File* of(sqlite3_file* f) { return reinterpret_cast<File*>(f); }
    static sqlite3_file* real(sqlite3_file* f) { return of(f)->real(); }
    static Fault faultOf(sqlite3_file* f) { return of(f)->named ? of(f)->disk->fault : Fault::None; }

    static FaultyDisk* self(sqlite3_vfs* vfs) { return static_cast<FaultyDisk*>(vfs->pAppData); }

    static int open(sqlite3_vfs* vfs, const char* name, sqlite3_file* file, int flags, int* outFlags) {
        FaultyDisk* disk = self(vfs);
        File* f = of(file);
        f->file.pMethods = nullptr;
        f->disk = disk;
        f->named = name != nullptr;
        if (f->named && disk->fault == Fault::ReadOnly) {
            std::error_code ec;
            if (!std::filesystem::exists(name, ec)) return SQLITE_CANTOPEN;
            flags = (flags & ~(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)) | SQLITE_OPEN_READONLY;
        }
        const int rc = disk->base_->xOpen(disk->base_, name, f->real(), flags, outFlags);
        const sqlite3_io_methods* r = f->real()->pMethods;
        if (!r) return rc;
        sqlite3_io_methods& m = f->methods;
        m = sqlite3_io_methods{};
        m.iVersion = r->iVersion;
        m.xClose = [](sqlite3_file* x) { return real(x)->pMethods->xClose(real(x)); };
        m.xRead = [](sqlite3_file* x, void* p, int n, sqlite3_int64 at) {
            return real(x)->pMethods->xRead(real(x), p, n, at);
        };
        m.xWrite = [](sqlite3_file* x, const void* p, int n, sqlite3_int64 at) {
            const Fault fault = faultOf(x);
            if (fault == Fault::Full || fault == Fault::FullNoShm) return SQLITE_FULL;
            if (fault == Fault::ReadOnly) return SQLITE_READONLY;
            return real(x)->pMethods->xWrite(real(x), p, n, at);
        };
        m.xTruncate = [](sqlite3_file* x, sqlite3_int64 size) {
            if (faultOf(x) == Fault::ReadOnly) return SQLITE_READONLY;
            return real(x)->pMethods->xTruncate(real(x), size);
        };
        m.xSync = [](sqlite3_file* x, int flags) { return real(x)->pMethods->xSync(real(x), flags); };
        m.xFileSize = [](sqlite3_file* x, sqlite3_int64* size) { return real(x)->pMethods->xFileSize(real(x), size); };
        m.xLock = [](sqlite3_file* x, int level) { return real(x)->pMethods->xLock(real(x), level); };
        m.xUnlock = [](sqlite3_file* x, int level) { return real(x)->pMethods->xUnlock(real(x), level); };
        m.xCheckReservedLock = [](sqlite3_file* x, int* out) {
            return real(x)->pMethods->xCheckReservedLock(real(x), out);
        };
        m.xFileControl = [](sqlite3_file* x, int op, void* arg) {
            return real(x)->pMethods->xFileControl(real(x), op, arg);
        };
        m.xSectorSize = [](sqlite3_file* x) { return real(x)->pMethods->xSectorSize(real(x)); };
        m.xDeviceCharacteristics = [](sqlite3_file* x) { return real(x)->pMethods->xDeviceCharacteristics(real(x)); };
        if (r->iVersion >= 2 && r->xShmMap) {
            m.xShmMap = [](sqlite3_file* x, int page, int size, int extend, void volatile** out) {
                const Fault fault = faultOf(x);
                if (fault == Fault::FullNoShm) return SQLITE_IOERR_SHMSIZE;
                if (fault == Fault::ReadOnly) return SQLITE_CANTOPEN;
                return real(x)->pMethods->xShmMap(real(x), page, size, extend, out);
            };
            m.xShmLock = [](sqlite3_file* x, int offset, int n, int flags) {
                return real(x)->pMethods->xShmLock(real(x), offset, n, flags);
            };
            m.xShmBarrier = [](sqlite3_file* x) { real(x)->pMethods->xShmBarrier(real(x)); };
            m.xShmUnmap = [](sqlite3_file* x, int deleteFlag) {
                return real(x)->pMethods->xShmUnmap(real(x), deleteFlag);
            };
        }
        if (r->iVersion >= 3 && r->xFetch) {
            m.xFetch = [](sqlite3_file* x, sqlite3_int64 at, int n, void** out) {
                return real(x)->pMethods->xFetch(real(x), at, n, out);
            };
            m.xUnfetch = [](sqlite3_file* x, sqlite3_int64 at, void* p) {
                return real(x)->pMethods->xUnfetch(real(x), at, p);
            };
        }
        f->file.pMethods = &m;
        return rc;
    }

    static int remove(sqlite3_vfs* vfs, const char* name, int syncDir) {
        FaultyDisk* disk = self(vfs);
        if (disk->fault == Fault::ReadOnly) return SQLITE_IOERR_DELETE;
        return disk->base_->xDelete(disk->base_, name, syncDir);
    }
    static int access(sqlite3_vfs* vfs, const char* name, int flags, int* out) {
        return self(vfs)->base_->xAccess(self(vfs)->base_, name, flags, out);
    }
    static int fullPathname(sqlite3_vfs* vfs, const char* name, int size, char* out) {
        return self(vfs)->base_->xFullPathname(self(vfs)->base_, name, size, out);
    }

    sqlite3_vfs* base_;
    sqlite3_vfs vfs_{};
};

}  // namespace vantor::test
