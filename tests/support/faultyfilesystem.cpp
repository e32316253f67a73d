#include "faultyfilesystem.h"

#include "fserror.h"

#include <QDir>

#include <cerrno>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

class FaultyStream final : public fsservice::TextStream {
public:
    FaultyStream(FaultyFileSystem& owner, QString path, std::unique_ptr<TextStream> real)
        : m_owner(owner), m_path(std::move(path)), m_real(std::move(real)) {}

    void WriteLine(QStringView text) override {
        ++m_lines;
        if (m_lines == m_owner.m_line) {
            m_owner.failIf(FaultyFileSystem::Operation::WriteLine, m_path);
        }
        m_real->WriteLine(text);
    }

    void Close() override {
        m_owner.failIf(FaultyFileSystem::Operation::Close, m_path);
        m_real->Close();
    }

private:
    FaultyFileSystem& m_owner;
    QString m_path;
    std::unique_ptr<TextStream> m_real;
    int m_lines = 0;
};

FaultyFileSystem::FaultyFileSystem(fsservice::FileSystem& target, Operation operation,
                                   QString pathEnd, int line)
    : ForwardingFileSystem(target),
      m_operation(operation),
      m_pathEnd(QDir::toNativeSeparators(pathEnd)),
      m_line(line) {}

QString FaultyFileSystem::reason() {
    return qt_error_string(EIO);
}

int FaultyFileSystem::deniedCode() {
#ifdef Q_OS_WIN
    return ERROR_ACCESS_DENIED;
#else
    return EACCES;
#endif
}

void FaultyFileSystem::failIf(Operation operation, const QString& path) {
    if (m_operation == Operation::Cancel) {
        if (m_fired == 0 && path.endsWith(m_pathEnd)) {
            ++m_fired;
            cancel();
        }
        return;
    }
    if (operation == Operation::GetFolder && m_operation == Operation::GetFolderDenied &&
        path.endsWith(m_pathEnd)) {
        ++m_fired;
        throw fsservice::FsError::fromSystem(path, deniedCode());
    }
    if (operation == m_operation && path.endsWith(m_pathEnd)) {
        ++m_fired;
        throw fsservice::FsError(path, reason());
    }
}

void FaultyFileSystem::CreateFolder(const QString& path) {
    failIf(Operation::CreateFolder, path);
    ForwardingFileSystem::CreateFolder(path);
}

std::unique_ptr<fsservice::TextStream> FaultyFileSystem::CreateTextFile(const QString& path,
                                                                        bool overwrite,
                                                                        bool unicode) {
    failIf(Operation::CreateTextFile, path);
    return std::make_unique<FaultyStream>(
        *this, path, ForwardingFileSystem::CreateTextFile(path, overwrite, unicode));
}

fsservice::Folder FaultyFileSystem::GetFolder(const QString& path) {
    ++m_foldersRead;
    failIf(Operation::GetFolder, path);
    return ForwardingFileSystem::GetFolder(path);
}

fsservice::Folder FaultyFileSystem::GetFolder(const fsservice::Folder& parent,
                                              const fsservice::SubFolder& sub) {
    ++m_foldersRead;
    failIf(Operation::GetFolder, sub.Path);
    return ForwardingFileSystem::GetFolder(parent, sub);
}

QStringList FaultyFileSystem::ListFiles(const QString& pattern) {
    failIf(Operation::ListFiles, pattern);
    return ForwardingFileSystem::ListFiles(pattern);
}
