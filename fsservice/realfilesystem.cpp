#include "realfilesystem.h"

#include "folderreading.h"
#include "fserror.h"
#include "platform.h"
#include "readahead.h"
#include "savefilestream.h"

#include <QDir>
#include <QFileInfo>

namespace fsservice {

int RealFileSystem::defaultReaders() {
    // Sixteen reads at once keep a disk's queue deep enough that it serves
    // more folders per second than with eight (bench/run --cold); where memory
    // is short, two readers keep fewer thread stacks and reads in memory.
    return platform::memoryIsShort() ? 2 : 16;
}

RealFileSystem::RealFileSystem(Reading reading, int readers, std::chrono::microseconds slowRead)
    : m_reader(reading == Reading::Native ? makeNativeReader() : nullptr) {
    if (!m_reader) {
        m_reader = makeQtReader();
    }
    if (readers > 1) {
        m_readAhead = std::make_unique<ReadAhead>(
            readers,
            [this](const Folder& parent, const SubFolder& sub) {
                return m_reader->read(parent, sub);
            },
            slowRead);
    }
}

RealFileSystem::~RealFileSystem() = default;

QString RealFileSystem::absolutePath(const QString& path) {
    return QDir::toNativeSeparators(QDir::cleanPath(QDir::current().absoluteFilePath(path)));
}

bool RealFileSystem::FolderExists(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isDir();
}

bool RealFileSystem::FileExists(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isFile();
}

void RealFileSystem::CreateFolder(const QString& path) {
    platform::createFolder(path);
}

std::unique_ptr<TextStream> RealFileSystem::CreateTextFile(const QString& path, bool overwrite,
                                                           bool unicode) {
    if (!overwrite && QFileInfo::exists(path)) {
        throw FsError::fromSystem(path, platform::fileExistsCode());
    }
    platform::checkFileName(path);
    return std::make_unique<SaveFileStream>(
        path, unicode ? SaveFileStream::Encoding::Utf16 : SaveFileStream::Encoding::System);
}

Folder RealFileSystem::GetFolder(const QString& path) {
    const QString absolute = absolutePath(path);
    const auto begun = ReadAhead::Clock::now();
    Folder folder = m_reader->read(absolute);
    // A walk starts at a folder asked for by its path.
    if (m_readAhead) {
        m_readAhead->start(folder, ReadAhead::Clock::now() - begun);
    }
    return folder;
}

Folder RealFileSystem::GetFolder(const Folder& parent, const SubFolder& sub) {
    return m_readAhead ? m_readAhead->next(parent, sub) : m_reader->read(parent, sub);
}

QString RealFileSystem::CurrentDirectory() {
    return platform::currentDirectory();
}

}  // namespace fsservice
