// Runs the Start command once in a process of its own, for the tests that kill
// a run or run two at once. Every call the run makes of the window is printed to
// stdout as "event: <text>", as RecordingView records it; the replace question
// is answered Yes.
//
//   trackfold_driver [options] CWD MUSIC NAME
//     --chroot DIR          enter DIR as the file-system root first (needs root;
//                           POSIX only)
//     --gate-folder         stop right after the playlist folder was looked for
//     --gate-document LINE  stop before writing that line of the playlist document
//     --gate-index LINE     stop before writing that line of the index
//
// At a gate the driver prints "gate <where>" and waits for a line on stdin, so
// a test can kill it there or let several drivers go on together.

#include "filesystem.h"
#include "realfilesystem.h"
#include "recordingview.h"
#include "startcommand.h"

#include <QDir>
#include <QStringList>

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#endif

namespace {

void gate(const char* where) {
    std::printf("gate %s\n", where);
    std::fflush(stdout);
    char line[64];
    if (!std::fgets(line, sizeof line, stdin)) {
        return;  // stdin closed: go on
    }
}

class GatedStream final : public fsservice::TextStream {
public:
    GatedStream(std::unique_ptr<TextStream> real, int gateLine, const char* where)
        : m_real(std::move(real)), m_gateLine(gateLine), m_where(where) {}
    void WriteLine(QStringView text) override {
        if (++m_lines == m_gateLine) {
            gate(m_where);
        }
        m_real->WriteLine(text);
    }
    void Close() override { m_real->Close(); }

private:
    std::unique_ptr<TextStream> m_real;
    int m_gateLine;
    const char* m_where;
    int m_lines = 0;
};

class GatedFileSystem final : public fsservice::ForwardingFileSystem {
public:
    using ForwardingFileSystem::ForwardingFileSystem;
    bool gateFolder = false;
    int documentLine = 0;
    int indexLine = 0;

    bool FolderExists(const QString& path) override {
        const bool exists = ForwardingFileSystem::FolderExists(path);
        if (gateFolder) {
            gateFolder = false;  // only the first look: the playlist folder's
            gate("folder");
        }
        return exists;
    }
    std::unique_ptr<fsservice::TextStream> CreateTextFile(const QString& path, bool overwrite,
                                                          bool unicode) override {
        auto real = ForwardingFileSystem::CreateTextFile(path, overwrite, unicode);
        const int line = unicode ? documentLine : indexLine;
        if (line <= 0) {
            return real;
        }
        return std::make_unique<GatedStream>(std::move(real), line, unicode ? "document" : "index");
    }
};

int usage() {
    std::fprintf(stderr,
                 "usage: trackfold_driver [--chroot DIR] [--gate-folder] [--gate-document LINE] "
                 "[--gate-index LINE] CWD MUSIC NAME\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef Q_OS_WIN
    // Lines end in "\n" alone, as the test reads them.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    fsservice::RealFileSystem real;
    GatedFileSystem fso(real);
    QByteArray root;
    QStringList positional;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--chroot" && hasValue) {
            root = argv[++i];
        } else if (arg == "--gate-folder") {
            fso.gateFolder = true;
        } else if (arg == "--gate-document" && hasValue) {
            fso.documentLine = std::atoi(argv[++i]);
        } else if (arg == "--gate-index" && hasValue) {
            fso.indexLine = std::atoi(argv[++i]);
        } else {
            positional << QString::fromLocal8Bit(arg);
        }
    }
    if (positional.size() != 3) {
        return usage();
    }
    if (!root.isEmpty()) {
#ifdef Q_OS_UNIX
        if (::chroot(root.constData()) != 0 || ::chdir("/") != 0) {
            std::fprintf(stderr, "chroot: %s\n", std::strerror(errno));
            return 77;  // the caller skips
        }
#else
        std::fprintf(stderr, "chroot: only POSIX systems have it\n");
        return 77;
#endif
    }
    if (!QDir::setCurrent(positional[0])) {
        std::fprintf(stderr, "cannot enter %s\n", qPrintable(positional[0]));
        return 2;
    }
    RecordingView view;
    view.path = positional[1];
    view.name = positional[2];
    view.onEvent = [](const QString& event) {
        std::printf("event: %s\n", event.toUtf8().constData());
        std::fflush(stdout);
    };
    writer::StartCommand(fso, view, texts::english).run();
    return 0;
}
