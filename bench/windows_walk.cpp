// trackfold_walk_bench TREE [--runs N]
//
// Windows only. Times three walks of the folder tree TREE, each reading every
// folder once, depth first as the album scan does:
//   raw     FindFirstFileExW and FindNextFileW alone, counting entries: the
//           least any reader can cost on this system;
//   native  RealFileSystem's Windows reader, one reader and then eight;
//   qt      RealFileSystem's portable reader (QDirIterator).
// Makes TREE first when it is missing: 40 artists of 10 albums of 12 tracks
// and a cover, and one folder of 20,000 files. Prints the median of N runs
// (5 by default) of each, in milliseconds, and each walk against raw.

#include "realfilesystem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

namespace {

using fsservice::Folder;
using fsservice::RealFileSystem;

void touch(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(2);
    }
}

void makeTree(const QString& root) {
    for (int artist = 0; artist < 40; ++artist) {
        for (int album = 0; album < 10; ++album) {
            const QString folder =
                QStringLiteral("%1/Artist %2/Album %3").arg(root).arg(artist).arg(album);
            QDir().mkpath(folder);
            for (int track = 0; track < 12; ++track) {
                touch(QStringLiteral("%1/%2 Track number %2.mp3").arg(folder).arg(track));
            }
            touch(folder + "/cover.jpg");
        }
    }
    const QString wide = root + "/Wide";
    QDir().mkpath(wide);
    for (int track = 0; track < 20000; ++track) {
        touch(QStringLiteral("%1/%2 a track in the wide folder.mp3").arg(wide).arg(track));
    }
}

// Entries seen, folders included, "." and ".." not.
long long rawWalk(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    const HANDLE find =
        ::FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                           nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) {
        return 0;
    }
    long long entries = 0;
    std::vector<std::wstring> subFolders;
    do {
        const wchar_t* name = data.cFileName;
        if (name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0))) {
            continue;
        }
        ++entries;
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            subFolders.push_back(folder + L"\\" + name);
        }
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    for (const std::wstring& sub : subFolders) {
        entries += rawWalk(sub);
    }
    return entries;
}

long long serviceWalk(RealFileSystem& fso, const Folder& folder) {
    long long entries = qsizetype(folder.SubFolders().size()) + qsizetype(folder.Files().size());
    for (const auto& sub : folder.SubFolders()) {
        entries += serviceWalk(fso, fso.GetFolder(folder, sub));
    }
    return entries;
}

double medianMs(int runs, const std::function<long long()>& walk, long long& entries) {
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        entries = walk();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: trackfold_walk_bench TREE [--runs N]\n", stderr);
        return 2;
    }
    const QCoreApplication application(argc, argv);
    const QString root =
        QDir::toNativeSeparators(QDir(QString::fromLocal8Bit(argv[1])).absolutePath());
    int runs = 5;
    if (argc >= 4 && std::strcmp(argv[2], "--runs") == 0) {
        runs = std::max(1, std::atoi(argv[3]));
    }
    if (!QFileInfo::exists(root)) {
        makeTree(root);
    }

    struct Walk {
        const char* name;
        std::function<long long()> run;
    };
    const std::wstring rootWide = root.toStdWString();
    using Reading = RealFileSystem::Reading;
    const auto through = [&root](Reading reading, int readers,
                                 std::chrono::microseconds slowRead = RealFileSystem::kSlowRead) {
        return [&root, reading, readers, slowRead] {
            RealFileSystem fso(reading, readers, slowRead);
            return serviceWalk(fso, fso.GetFolder(root));
        };
    };
    const int readers = RealFileSystem::defaultReaders();
    const std::vector<Walk> walks = {
        {"raw", [&rootWide] { return rawWalk(rootWide); }},
        // As the programs read: the readers start only once reads are slow.
        {"native", through(Reading::Native, readers)},
        {"native_1_reader", through(Reading::Native, 1)},
        {"native_always_ahead", through(Reading::Native, readers, std::chrono::microseconds{0})},
        {"qt", through(Reading::Qt, 1)},
    };
    double raw = 0;
    long long rawEntries = 0;
    for (const Walk& walk : walks) {
        long long entries = 0;
        const double ms = medianMs(runs, walk.run, entries);
        if (raw == 0) {
            raw = ms;
            rawEntries = entries;
        }
        std::printf("walk %-20s %9.1f ms  %7lld entries  %.2fx raw\n", walk.name, ms, entries,
                    ms / raw);
        if (entries != rawEntries) {
            std::fprintf(stderr, "%s saw %lld entries, raw %lld\n", walk.name, entries, rawEntries);
            return 1;
        }
    }
    return 0;
}
