#include "treemodel.h"

#include "musictree.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QtGlobal>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <windows.h>
#endif

TreeNode& TreeNode::folder(const QByteArray& name) {
    for (TreeNode& child : children) {
        if (child.name == name && child.kind == Kind::Folder) {
            return child;
        }
    }
    children.push_back(TreeNode{Kind::Folder, name, {}, {}, false, false});
    return children.back();
}

int TreeNode::levelsUp() const {
    if (kind != Kind::Link) {
        return -1;
    }
    int up = 0;
    for (const QByteArray& part : target.split('/')) {
        if (part == "..") {
            ++up;
        } else if (part != "." && !part.isEmpty()) {
            return -1;
        }
    }
    return up;
}

int TreeNode::size() const {
    int count = 1;
    for (const TreeNode& child : children) {
        count += child.size();
    }
    return count;
}

QString nameText(const QByteArray& name) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    return decoder(name);
}

QByteArray nativeBytes(const QString& path) {
#ifdef Q_OS_WIN
    return path.toUtf8();
#else
    return QFile::encodeName(path);
#endif
}

QString fromNativeBytes(const QByteArray& path) {
#ifdef Q_OS_WIN
    return QString::fromUtf8(path);
#else
    return QFile::decodeName(path);
#endif
}

bool isHiddenFile(const TreeNode& file) {
#ifdef Q_OS_WIN
    // Wine gives the files of its host whose names start with '.' the hidden
    // attribute, as that host hides them.
    return file.hidden || (underWine() && file.name.startsWith('.'));
#else
    return file.name.startsWith('.');
#endif
}

bool isSystemFile(const TreeNode& file) {
#ifdef Q_OS_WIN
    if (file.system) {
        return true;
    }
#endif
    return file.kind == TreeNode::Kind::Fifo ||
           (file.kind == TreeNode::Kind::Link && file.levelsUp() < 0);
}

TreeNode parseTree(const QList<QByteArray>& entries) {
    TreeNode root;
    for (const QByteArray& entry : entries) {
        QByteArray path = entry;
        TreeNode leaf{TreeNode::Kind::File, {}, {}, {}, false, false};
        // The arrow first: a target as written may end in any of the marks.
        if (const qsizetype arrow = path.indexOf(" -> "); arrow >= 0) {
            leaf.kind = TreeNode::Kind::Link;
            leaf.target = path.mid(arrow + 4);
            path.truncate(arrow);
        } else if (path.endsWith(" (hidden)") || path.endsWith(" (system)")) {
            leaf.hidden = path.endsWith("(hidden)");
            leaf.system = !leaf.hidden;
            path.chop(9);
        } else if (path.endsWith(" |")) {
            path.chop(2);
            leaf.kind = TreeNode::Kind::Fifo;
        } else if (path.endsWith('/')) {
            path.chop(1);
            leaf.kind = TreeNode::Kind::Folder;
        }
        QList<QByteArray> parts = path.split('/');
        TreeNode* folder = &root;
        for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
            folder = &folder->folder(parts[i]);
        }
        if (leaf.kind == TreeNode::Kind::Folder) {
            folder->folder(parts.last());
        } else {
            leaf.name = parts.last();
            folder->children.push_back(std::move(leaf));
        }
    }
    return root;
}

namespace {

#ifdef Q_OS_UNIX
[[noreturn]] void refused(const char* what, const QByteArray& name) {
    qFatal("cannot create %s %s: %s", what, name.constData(), strerror(errno));
}

void buildInside(int dirFd, const TreeNode& folder) {
    for (const TreeNode& child : folder.children) {
        const char* name = child.name.constData();
        switch (child.kind) {
            case TreeNode::Kind::Folder: {
                if (::mkdirat(dirFd, name, 0755) != 0 && errno != EEXIST) {
                    refused("folder", child.name);
                }
                const int fd = ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
                if (fd < 0) {
                    refused("folder", child.name);
                }
                buildInside(fd, child);
                ::close(fd);
                break;
            }
            case TreeNode::Kind::File: {
                const int fd = ::openat(dirFd, name, O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
                if (fd < 0) {
                    refused("file", child.name);
                }
                ::close(fd);
                break;
            }
            case TreeNode::Kind::Fifo:
                if (::mkfifoat(dirFd, name, 0644) != 0) {
                    refused("FIFO", child.name);
                }
                break;
            case TreeNode::Kind::Link:
                if (::symlinkat(child.target.constData(), dirFd, name) != 0) {
                    refused("link", child.name);
                }
                break;
        }
    }
}
#endif
#ifdef Q_OS_WIN
[[noreturn]] void refused(const char* what, const QString& path) {
    qFatal("cannot create %s %s: %s", what, qPrintable(path),
           qPrintable(qt_error_string(int(::GetLastError()))));
}

// Paths past MAX_PATH open only in this form.
QString longForm(const QString& path) {
    return path.startsWith(QLatin1String("\\\\")) ? path : QStringLiteral("\\\\?\\") + path;
}

// Plain files in a folder past this many are made through Wine's host.
constexpr qsizetype kManyFiles = 1000;

bool isPlainFile(const TreeNode& node) {
    return node.kind == TreeNode::Kind::File && !node.hidden && !node.system;
}

void buildInside(const QString& folderPath, const TreeNode& folder) {
    const bool throughHost =
        underWine() &&
        std::count_if(folder.children.begin(), folder.children.end(), isPlainFile) > kManyFiles;
    if (throughHost) {
        QStringList names;
        for (const TreeNode& child : folder.children) {
            if (isPlainFile(child)) {
                names << nameText(child.name);
            }
        }
        addFilesThroughHost(folderPath, names);
    }
    for (const TreeNode& child : folder.children) {
        const QString path = folderPath + u'\\' + nameText(child.name);
        if (throughHost && isPlainFile(child)) {
            continue;
        }
        switch (child.kind) {
            case TreeNode::Kind::Folder:
                if (!::CreateDirectoryW(wide(longForm(path)), nullptr) &&
                    ::GetLastError() != ERROR_ALREADY_EXISTS) {
                    refused("folder", path);
                }
                buildInside(path, child);
                break;
            case TreeNode::Kind::File: {
                DWORD attributes = FILE_ATTRIBUTE_NORMAL;
                if (child.hidden || child.system) {
                    attributes = (child.hidden ? FILE_ATTRIBUTE_HIDDEN : 0) |
                                 (child.system ? FILE_ATTRIBUTE_SYSTEM : 0);
                }
                const HANDLE file = ::CreateFileW(wide(longForm(path)), GENERIC_WRITE, 0, nullptr,
                                                  OPEN_ALWAYS, attributes, nullptr);
                if (file == INVALID_HANDLE_VALUE) {
                    refused("file", path);
                }
                ::CloseHandle(file);
                break;
            }
            case TreeNode::Kind::Fifo:
                qFatal("cannot create FIFO %s: Windows has none", qPrintable(path));
            case TreeNode::Kind::Link:
                makeLink(path, fromNativeBytes(child.target));
                break;
        }
    }
}
#endif

// Raw bytes as C escapes, so that the text shows them.
QByteArray escaped(const QByteArray& raw) {
    QByteArray out;
    for (const char c : raw) {
        const auto byte = static_cast<unsigned char>(c);
        out += (byte < 0x20 || byte >= 0x7F || c == '\\')
                   ? QByteArray("\\x") + QByteArray::number(byte, 16).rightJustified(2, '0')
                   : QByteArray(1, c);
    }
    return out;
}

void describeInto(QStringList& lines, const TreeNode& folder, const QByteArray& prefix) {
    for (const TreeNode& child : folder.children) {
        const QByteArray path = prefix + escaped(child.name);
        switch (child.kind) {
            case TreeNode::Kind::Folder:
                lines << QString::fromLatin1(path + '/');
                describeInto(lines, child, path + '/');
                break;
            case TreeNode::Kind::File:
                lines << QString::fromLatin1(path) +
                             (child.hidden ? QStringLiteral(" (hidden)") : QString()) +
                             (child.system ? QStringLiteral(" (system)") : QString());
                break;
            case TreeNode::Kind::Fifo:
                lines << QString::fromLatin1(path + " |");
                break;
            case TreeNode::Kind::Link:
                lines << QString::fromLatin1(path + " -> " + escaped(child.target));
                break;
        }
    }
}

}  // namespace

void buildTree(const QByteArray& nativePath, const TreeNode& folder) {
#ifdef Q_OS_WIN
    buildInside(QDir::toNativeSeparators(fromNativeBytes(nativePath)), folder);
#else
    const int fd = ::open(nativePath.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        refused("tree in", nativePath);
    }
    buildInside(fd, folder);
    ::close(fd);
#endif
}

QString describeTree(const TreeNode& folder) {
    QStringList lines;
    describeInto(lines, folder, {});
    return lines.join(u'\n');
}

int referenceNameOrder(QStringView a, QStringView b) {
    // Cut each name into pieces: a whole run of digits, or one other unit.
    const auto pieces = [](QStringView name) {
        std::vector<QStringView> out;
        for (qsizetype i = 0; i < name.size();) {
            qsizetype end = i + 1;
            if (name[i].isDigit() && name[i].unicode() < 0x80) {
                while (end < name.size() && name[end].unicode() >= u'0' &&
                       name[end].unicode() <= u'9') {
                    ++end;
                }
            }
            out.push_back(name.mid(i, end - i));
            i = end;
        }
        return out;
    };
    const auto isRun = [](QStringView piece) {
        return piece[0].unicode() >= u'0' && piece[0].unicode() <= u'9';
    };
    const auto withoutZeros = [](QStringView run) {
        qsizetype zeros = 0;
        while (zeros < run.size() && run[zeros] == u'0') {
            ++zeros;
        }
        return run.mid(zeros);
    };
    const std::vector<QStringView> pa = pieces(a);
    const std::vector<QStringView> pb = pieces(b);
    for (size_t k = 0; k < std::min(pa.size(), pb.size()); ++k) {
        if (isRun(pa[k]) && isRun(pb[k])) {
            const QStringView va = withoutZeros(pa[k]);
            const QStringView vb = withoutZeros(pb[k]);
            if (va.size() != vb.size()) {
                return va.size() < vb.size() ? -1 : 1;
            }
            if (const int order = va.compare(vb)) {
                return order < 0 ? -1 : 1;
            }
            if (pa[k].size() != pb[k].size()) {
                return pa[k].size() < pb[k].size() ? -1 : 1;
            }
            continue;
        }
        const char16_t fa = QChar::toCaseFolded(pa[k][0].unicode());
        const char16_t fb = QChar::toCaseFolded(pb[k][0].unicode());
        if (fa != fb) {
            return fa < fb ? -1 : 1;
        }
    }
    if (pa.size() != pb.size()) {
        return pa.size() < pb.size() ? -1 : 1;
    }
    const int exact = a.compare(b, Qt::CaseSensitive);
    return exact < 0 ? -1 : (exact > 0 ? 1 : 0);
}

QString asParsed(QStringView raw) {
    QString out;
    out.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const char16_t c = raw[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < raw.size() &&
            QChar::isLowSurrogate(raw[i + 1].unicode())) {
            out.append(raw.mid(i, 2));
            ++i;
            continue;
        }
        const bool allowed = c == u'\t' || c == u'\n' || c == u'\r' ||
                             (c >= 0x20 && !QChar::isSurrogate(c) && c < 0xFFFE);
        out.append(allowed ? QChar(c) : QChar(0xFFFD));
    }
    return out;
}

namespace {

const QChar kSeparator = QDir::separator();

QString joined(const QString& folderPath, const QString& name) {
    return folderPath.endsWith(kSeparator) ? folderPath + name : folderPath + kSeparator + name;
}

struct Walk {
    QString typed;
    QStringList lines;

    // `path`: the folder's full path; `pathText`: how the album line names it
    // (the music folder as typed, every other folder by its full path).
    void visit(const TreeNode& folder, const QString& path, const QString& pathText) {
        struct Named {
            QString name;
            const TreeNode* node;
        };
        std::vector<Named> folders;
        std::vector<Named> files;
        for (const TreeNode& child : folder.children) {
            if (child.kind == TreeNode::Kind::Link && child.levelsUp() < 0 && underWine()) {
                continue;
            }
            const Named named{nameText(child.name), &child};
            if (child.kind == TreeNode::Kind::Folder || child.levelsUp() >= 0) {
                folders.push_back(named);
            } else {
                files.push_back(named);
            }
        }
        const auto byName = [](const Named& x, const Named& y) {
            return referenceNameOrder(x.name, y.name) < 0;
        };
        std::sort(folders.begin(), folders.end(), byName);
        std::sort(files.begin(), files.end(), byName);

        const bool album = std::any_of(files.begin(), files.end(), [](const Named& file) {
            return !isHiddenFile(*file.node) && !isSystemFile(*file.node) &&
                   file.name.endsWith(QStringLiteral(".mp3"), Qt::CaseInsensitive);
        });
        if (album) {
            QString title = pathText;
            if (!typed.isEmpty() && typed.count(kSeparator) == typed.size()) {
                // The root: only its own part, at the front, goes.
                if (title.startsWith(typed)) {
                    title.remove(0, typed.size());
                }
            } else {
                title.remove(typed, Qt::CaseInsensitive);
            }
            if (title.isEmpty()) {
                title = path.mid(path.lastIndexOf(kSeparator) + 1);
            }
            title.replace(kSeparator, u' ');
            lines << QStringLiteral("album path=[%1] title=[%2]")
                         .arg(asParsed(pathText), asParsed(trimmed(title)));
            for (const Named& file : files) {
                if (!joined(path, file.name)
                         .contains(QStringLiteral(".mp3"), Qt::CaseInsensitive)) {
                    continue;
                }
                QString track = file.name;
                track.remove(QStringLiteral(".mp3"), Qt::CaseInsensitive);
                track = trimmed(trimmed(track).replace(u'_', u' '));
                lines << QStringLiteral("mp3 title=[%1] track=[%2]")
                             .arg(asParsed(file.name), asParsed(track));
            }
        }
        for (const Named& sub : folders) {
            // Links up lead to a folder on the way down: never entered.
            if (sub.node->kind == TreeNode::Kind::Folder) {
                const QString subPath = joined(path, sub.name);
                visit(*sub.node, subPath, subPath);
            }
        }
    }

    static QString trimmed(const QString& text) {
        qsizetype begin = 0;
        qsizetype end = text.size();
        while (begin < end && text[begin] == u' ') {
            ++begin;
        }
        while (end > begin && text[end - 1] == u' ') {
            --end;
        }
        return text.mid(begin, end - begin);
    }
};

}  // namespace

QStringList expectedAlbums(const TreeNode& music, const QString& typed, const QString& absolute) {
    Walk walk{typed, {}};
    walk.visit(music, absolute, typed);
    return walk.lines;
}
