// trackfold_bench MUSIC_FOLDER CURRENT_DIRECTORY [--name NAME] [--reading native|posix|qt]
//                 [--readers N]
//
// Runs the whole Start command once, exactly as a press of Start in the window
// would: the playlist folder under CURRENT_DIRECTORY, the checks, the replace
// question (answered Yes), the document and the index. Exits 0 when the done
// message came, 1 with the messages on stderr otherwise.
//
// Prints one line, "start_command_ns N": the steady-clock time of the Start
// command alone, taken the way the window runs it, inside a process whose
// QCoreApplication already exists. Starting the process is not part of a press
// of Start; the script times the whole process separately.

#include "realfilesystem.h"
#include "recordingview.h"
#include "startcommand.h"
#include "texts.h"

#include <QCoreApplication>
#include <QDir>
#include <QStringList>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int usage() {
    std::fputs(
        "usage: trackfold_bench MUSIC_FOLDER CURRENT_DIRECTORY [--name NAME] "
        "[--reading native|posix|qt] [--readers N]\n",
        stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        return usage();
    }
    const QCoreApplication application(argc, argv);
    const QString music = QString::fromLocal8Bit(argv[1]);
    const QString current = QString::fromLocal8Bit(argv[2]);
    QString name = QStringLiteral("playlist");
    auto reading = fsservice::RealFileSystem::kDefaultReading;
    int readers = fsservice::RealFileSystem::defaultReaders();
    for (int i = 3; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--readers") == 0) {
            readers = std::atoi(argv[i + 1]);
            if (readers < 1) {
                return usage();
            }
        } else if (std::strcmp(argv[i], "--name") == 0) {
            name = QString::fromLocal8Bit(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--reading") == 0 && std::strcmp(argv[i + 1], "qt") == 0) {
            reading = fsservice::RealFileSystem::Reading::Qt;
        } else if (std::strcmp(argv[i], "--reading") != 0 ||
                   (std::strcmp(argv[i + 1], "posix") != 0 &&
                    std::strcmp(argv[i + 1], "native") != 0)) {
            return usage();
        }
    }
    if (!QDir::setCurrent(current)) {
        std::fprintf(stderr, "cannot enter %s\n", argv[2]);
        return 2;
    }

    fsservice::RealFileSystem fso(reading, readers);
    RecordingView view;
    view.path = music;
    view.name = name;
    writer::StartCommand command(fso, view, texts::english);
    const auto start = std::chrono::steady_clock::now();
    command.run();
    const auto took = std::chrono::steady_clock::now() - start;
    if (!view.done()) {
        for (const QString& event : view.events) {
            std::fprintf(stderr, "%s\n", qPrintable(event));
        }
        return 1;
    }
    std::printf(
        "start_command_ns %lld\n",
        static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(took).count()));
    return 0;
}
