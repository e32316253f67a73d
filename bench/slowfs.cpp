// trackfold_slowfs SOURCE MOUNT_POINT [--delay-us N] [--counts FILE] [--threads N]
//
// A slow medium for the benchmark: shows the folder tree SOURCE read-only at
// MOUNT_POINT, and answers every lookup, getattr, opendir, readdir and open
// only after sleeping N microseconds, as a network share answers after a
// round trip. Nothing is cached by the kernel: entries and attributes are
// given with a timeout of zero, directories are listed with plain readdir
// (no readdirplus, which would hand the kernel attributes on the side), and
// neither listings nor file contents are kept. Requests are served by up to
// --threads threads (64 by default), so a client that asks for many folders
// at once gets them in the time of one round trip, as a share does.
//
// Prints "mounted" on stdout once the mount is in place, and serves until it
// is unmounted (umount or fusermount3 -u) or receives SIGINT or SIGTERM. Then
// it writes the requests it served to FILE, one "name count" line per kind,
// and a line "last-read-ns N": when the last opendir or readdir came, in
// CLOCK_MONOTONIC nanoseconds (0 when none came), so that the benchmark can
// tell when a client stopped reading folders (a stat of the mount point, as
// umount makes, is no folder read). It exits 0.
//
// The daemon itself: a low-level libfuse3 file system whose inodes hold an
// O_PATH descriptor of the source's file, looked up by device and inode
// number, so that every request is one or two system calls on the source.

#define FUSE_USE_VERSION FUSE_MAKE_VERSION(3, 12)
#include <fuse_lowlevel.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace {

// The kinds of request counted; the first five are the delayed ones.
enum Kind {
    kLookup,
    kGetattr,
    kOpendir,
    kReaddir,
    kOpen,
    kReadlink,
    kRead,
    kRelease,
    kReleasedir,
    kStatfs,
    kForget,
    kKinds
};
constexpr std::array<const char*, kKinds> kKindNames = {
    "lookup", "getattr", "opendir",    "readdir", "open",  "readlink",
    "read",   "release", "releasedir", "statfs",  "forget"};

struct Inode {
    int fd = -1;  // O_PATH descriptor of the source's file
    dev_t dev = 0;
    ino_t ino = 0;
    std::uint64_t lookups = 0;  // the kernel's references; guarded by Layer::mutex
};

struct Directory {
    DIR* stream = nullptr;
    off_t offset = 0;
    dirent* pending = nullptr;  // read from the stream, not yet given to the kernel
};

struct Layer {
    timespec delay{};
    bool delaying = false;
    Inode root;
    std::mutex mutex;
    std::map<std::pair<dev_t, ino_t>, std::unique_ptr<Inode>> inodes;
    std::array<std::atomic<std::uint64_t>, kKinds> counts{};
    std::atomic<std::int64_t> lastReadNs{0};
};

std::int64_t monotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

Layer* layerOf(fuse_req_t req) {
    return static_cast<Layer*>(fuse_req_userdata(req));
}

// Counts the request and, for the kinds a share answers after a round trip,
// sleeps the delay before it is served.
void serve(fuse_req_t req, Kind kind) {
    Layer* layer = layerOf(req);
    layer->counts[kind].fetch_add(1, std::memory_order_relaxed);
    if (kind == kOpendir || kind == kReaddir) {
        const std::int64_t now = monotonicNs();
        std::int64_t last = layer->lastReadNs.load(std::memory_order_relaxed);
        while (last < now && !layer->lastReadNs.compare_exchange_weak(last, now)) {
        }
    }
    if (kind <= kOpen && layer->delaying) {
        timespec left = layer->delay;
        while (clock_nanosleep(CLOCK_MONOTONIC, 0, &left, &left) == EINTR) {
        }
    }
}

Inode& inodeOf(fuse_req_t req, fuse_ino_t ino) {
    if (ino == FUSE_ROOT_ID) {
        return layerOf(req)->root;
    }
    return *reinterpret_cast<Inode*>(ino);
}

int statOf(int fd, struct stat* st) {
    return fstatat(fd, "", st, AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW);
}

void doLookup(fuse_req_t req, fuse_ino_t parent, const char* name) {
    serve(req, kLookup);
    Layer* layer = layerOf(req);
    const int fd = openat(inodeOf(req, parent).fd, name, O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        fuse_reply_err(req, errno);
        return;
    }
    fuse_entry_param entry{};
    if (statOf(fd, &entry.attr) != 0) {
        const int error = errno;
        close(fd);
        fuse_reply_err(req, error);
        return;
    }
    Inode* inode = nullptr;
    if (entry.attr.st_dev == layer->root.dev && entry.attr.st_ino == layer->root.ino) {
        inode = &layer->root;  // a link back to the top is the root itself
        close(fd);
    } else {
        const std::lock_guard lock(layer->mutex);
        auto& slot = layer->inodes[{entry.attr.st_dev, entry.attr.st_ino}];
        if (slot) {
            close(fd);
        } else {
            slot = std::make_unique<Inode>();
            slot->fd = fd;
            slot->dev = entry.attr.st_dev;
            slot->ino = entry.attr.st_ino;
        }
        ++slot->lookups;
        inode = slot.get();
    }
    entry.ino = inode == &layer->root ? FUSE_ROOT_ID : reinterpret_cast<fuse_ino_t>(inode);
    entry.attr_timeout = 0;
    entry.entry_timeout = 0;
    fuse_reply_entry(req, &entry);
}

void dropLookups(Layer* layer, fuse_ino_t ino, std::uint64_t count) {
    if (ino == FUSE_ROOT_ID) {
        return;
    }
    auto* inode = reinterpret_cast<Inode*>(ino);
    const std::lock_guard lock(layer->mutex);
    inode->lookups -= count;
    if (inode->lookups == 0) {
        close(inode->fd);
        layer->inodes.erase({inode->dev, inode->ino});
    }
}

void doForget(fuse_req_t req, fuse_ino_t ino, std::uint64_t count) {
    serve(req, kForget);
    dropLookups(layerOf(req), ino, count);
    fuse_reply_none(req);
}

void doForgetMulti(fuse_req_t req, std::size_t count, fuse_forget_data* forgets) {
    serve(req, kForget);
    for (std::size_t i = 0; i < count; ++i) {
        dropLookups(layerOf(req), forgets[i].ino, forgets[i].nlookup);
    }
    fuse_reply_none(req);
}

void doGetattr(fuse_req_t req, fuse_ino_t ino, fuse_file_info*) {
    serve(req, kGetattr);
    struct stat st {};
    if (statOf(inodeOf(req, ino).fd, &st) != 0) {
        fuse_reply_err(req, errno);
        return;
    }
    fuse_reply_attr(req, &st, 0);
}

void doReadlink(fuse_req_t req, fuse_ino_t ino) {
    serve(req, kReadlink);
    std::vector<char> target(PATH_MAX + 1);
    const ssize_t length = readlinkat(inodeOf(req, ino).fd, "", target.data(), PATH_MAX);
    if (length < 0) {
        fuse_reply_err(req, errno);
        return;
    }
    target[static_cast<std::size_t>(length)] = '\0';
    fuse_reply_readlink(req, target.data());
}

void doOpendir(fuse_req_t req, fuse_ino_t ino, fuse_file_info* fi) {
    serve(req, kOpendir);
    const int fd = openat(inodeOf(req, ino).fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        fuse_reply_err(req, errno);
        return;
    }
    auto directory = std::make_unique<Directory>();
    directory->stream = fdopendir(fd);
    if (directory->stream == nullptr) {
        const int error = errno;
        close(fd);
        fuse_reply_err(req, error);
        return;
    }
    fi->fh = reinterpret_cast<std::uint64_t>(directory.get());
    // cache_readdir and keep_cache stay off: every listing comes from here.
    if (fuse_reply_open(req, fi) == 0) {
        directory.release();
    } else {
        closedir(directory->stream);
    }
}

void doReaddir(fuse_req_t req, fuse_ino_t, std::size_t size, off_t offset, fuse_file_info* fi) {
    serve(req, kReaddir);
    auto* directory = reinterpret_cast<Directory*>(fi->fh);
    if (offset != directory->offset) {
        seekdir(directory->stream, offset);
        directory->pending = nullptr;
        directory->offset = offset;
    }
    std::vector<char> buffer(size);
    std::size_t used = 0;
    for (;;) {
        if (directory->pending == nullptr) {
            errno = 0;
            directory->pending = readdir(directory->stream);
            if (directory->pending == nullptr) {
                if (errno != 0 && used == 0) {
                    fuse_reply_err(req, errno);
                    return;
                }
                break;
            }
        }
        const dirent* entry = directory->pending;
        struct stat st {};
        st.st_ino = entry->d_ino;
        st.st_mode = static_cast<mode_t>(entry->d_type) << 12;
        const std::size_t added = fuse_add_direntry(req, buffer.data() + used, size - used,
                                                    entry->d_name, &st, entry->d_off);
        if (added > size - used) {
            break;  // the entry stays pending for the next request
        }
        used += added;
        directory->pending = nullptr;
        directory->offset = entry->d_off;
    }
    fuse_reply_buf(req, buffer.data(), used);
}

void doReleasedir(fuse_req_t req, fuse_ino_t, fuse_file_info* fi) {
    serve(req, kReleasedir);
    auto* directory = reinterpret_cast<Directory*>(fi->fh);
    closedir(directory->stream);
    delete directory;
    fuse_reply_err(req, 0);
}

void doOpen(fuse_req_t req, fuse_ino_t ino, fuse_file_info* fi) {
    serve(req, kOpen);
    if ((fi->flags & O_ACCMODE) != O_RDONLY) {
        fuse_reply_err(req, EROFS);
        return;
    }
    // An O_PATH descriptor is opened for reading through its /proc name.
    const std::string path = "/proc/self/fd/" + std::to_string(inodeOf(req, ino).fd);
    const int fd = open(path.c_str(), (fi->flags & ~O_NOFOLLOW) | O_CLOEXEC);
    if (fd < 0) {
        fuse_reply_err(req, errno);
        return;
    }
    fi->fh = static_cast<std::uint64_t>(fd);
    if (fuse_reply_open(req, fi) != 0) {
        close(fd);
    }
}

void doRead(fuse_req_t req, fuse_ino_t, std::size_t size, off_t offset, fuse_file_info* fi) {
    serve(req, kRead);
    std::vector<char> buffer(size);
    const ssize_t got = pread(static_cast<int>(fi->fh), buffer.data(), size, offset);
    if (got < 0) {
        fuse_reply_err(req, errno);
        return;
    }
    fuse_reply_buf(req, buffer.data(), static_cast<std::size_t>(got));
}

void doRelease(fuse_req_t req, fuse_ino_t, fuse_file_info* fi) {
    serve(req, kRelease);
    close(static_cast<int>(fi->fh));
    fuse_reply_err(req, 0);
}

void doStatfs(fuse_req_t req, fuse_ino_t ino) {
    serve(req, kStatfs);
    struct statvfs st {};
    if (fstatvfs(inodeOf(req, ino).fd, &st) != 0) {
        fuse_reply_err(req, errno);
        return;
    }
    fuse_reply_statfs(req, &st);
}

void doInit(void*, fuse_conn_info* conn) {
    // Plain readdir only: with readdirplus the kernel would get every entry's
    // attributes with the listing and ask for them no more.
    conn->want &= ~(FUSE_CAP_READDIRPLUS | FUSE_CAP_READDIRPLUS_AUTO | FUSE_CAP_CACHE_SYMLINKS);
}

int usage() {
    std::fputs(
        "usage: trackfold_slowfs SOURCE MOUNT_POINT [--delay-us N] [--counts FILE] "
        "[--threads N]\n",
        stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        return usage();
    }
    const char* source = argv[1];
    const char* mountPoint = argv[2];
    long delayUs = 0;
    long threads = 64;
    const char* countsPath = nullptr;
    for (int i = 3; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--delay-us") == 0) {
            delayUs = std::atol(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--threads") == 0) {
            threads = std::atol(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--counts") == 0) {
            countsPath = argv[i + 1];
        } else {
            return usage();
        }
    }
    if (delayUs < 0 || threads < 1 || (argc - 3) % 2 != 0) {
        return usage();
    }

    Layer layer;
    layer.delay.tv_sec = delayUs / 1000000;
    layer.delay.tv_nsec = (delayUs % 1000000) * 1000;
    layer.delaying = delayUs > 0;
    layer.root.fd = open(source, O_PATH | O_DIRECTORY | O_CLOEXEC);
    struct stat rootStat {};
    if (layer.root.fd < 0 || statOf(layer.root.fd, &rootStat) != 0) {
        std::perror(source);
        return 1;
    }
    layer.root.dev = rootStat.st_dev;
    layer.root.ino = rootStat.st_ino;

    // Threads sleep to the microsecond: the default timer slack of 50 µs
    // would add a quarter to a delay of 0.2 ms. The serving threads inherit it.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);

    fuse_lowlevel_ops ops{};
    ops.init = doInit;
    ops.lookup = doLookup;
    ops.forget = doForget;
    ops.forget_multi = doForgetMulti;
    ops.getattr = doGetattr;
    ops.readlink = doReadlink;
    ops.opendir = doOpendir;
    ops.readdir = doReaddir;
    ops.releasedir = doReleasedir;
    ops.open = doOpen;
    ops.read = doRead;
    ops.release = doRelease;
    ops.statfs = doStatfs;

    std::vector<std::string> options = {argv[0], "-o", "ro,fsname=trackfold-slowfs,subtype=slow"};
    std::vector<char*> optionPointers;
    for (std::string& option : options) {
        optionPointers.push_back(option.data());
    }
    fuse_args args = FUSE_ARGS_INIT(static_cast<int>(optionPointers.size()), optionPointers.data());
    fuse_session* session = fuse_session_new(&args, &ops, sizeof ops, &layer);
    if (session == nullptr) {
        return 1;
    }
    int status = 1;
    if (fuse_set_signal_handlers(session) == 0) {
        if (fuse_session_mount(session, mountPoint) == 0) {
            std::puts("mounted");
            std::fflush(stdout);
            fuse_loop_config* config = fuse_loop_cfg_create();
            fuse_loop_cfg_set_max_threads(config, static_cast<unsigned>(threads));
            // Idle threads are kept, so a burst of requests finds them waiting.
            fuse_loop_cfg_set_idle_threads(config, static_cast<unsigned>(threads));
            status = fuse_session_loop_mt(session, config) == 0 ? 0 : 1;
            fuse_loop_cfg_destroy(config);
            fuse_session_unmount(session);
        }
        fuse_remove_signal_handlers(session);
    }
    fuse_session_destroy(session);
    fuse_opt_free_args(&args);

    if (countsPath != nullptr) {
        FILE* out = std::fopen(countsPath, "w");
        if (out == nullptr) {
            std::perror(countsPath);
            return 1;
        }
        for (int kind = 0; kind < kKinds; ++kind) {
            std::fprintf(out, "%s %llu\n", kKindNames[static_cast<std::size_t>(kind)],
                         static_cast<unsigned long long>(layer.counts[kind].load()));
        }
        std::fprintf(out, "last-read-ns %lld\n", static_cast<long long>(layer.lastReadNs.load()));
        std::fclose(out);
    }
    return status;
}
