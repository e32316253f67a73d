#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <vector>

/// A music folder tree held in memory, so that a test can build it on the disk
/// and also say, without the writer's code, what the playlist must hold for it.
///
/// Names are bytes: on POSIX raw, as the file system stores them, so they may
/// hold any byte but '/' and NUL, invalid UTF-8 included; on Windows, whose
/// names are UTF-16, the name's UTF-8.
struct TreeNode {
    enum class Kind {
        Folder,
        File,
        Fifo,  ///< a named pipe: a system file
        Link,  ///< a symbolic link to `target`
    };
    Kind kind = Kind::Folder;
    QByteArray name;
    QByteArray target;  ///< Link: as written, '/' between names
    std::vector<TreeNode> children;
    /// A file's attributes on Windows; elsewhere kept but without effect (a
    /// name starting with '.' is what hides a file there).
    bool hidden = false;
    bool system = false;

    /// The child folder called `name`, made when missing.
    TreeNode& folder(const QByteArray& name);
    /// For a link up, one whose target is "." and ".." parts only: the levels
    /// it climbs, 0 for the folder holding it. -1 for anything else, which the
    /// model does not resolve: it takes any other link for a link to nothing.
    int levelsUp() const;
    /// Counts this node and everything below it.
    int size() const;
};

/// The text of a raw name: bad UTF-8 bytes become U+FFFD, and a leading
/// byte-order mark is part of the name like any other character.
QString nameText(const QByteArray& name);

/// The bytes a test holds a path or name as (see TreeNode), and back: the file
/// system's own on POSIX, UTF-8 on Windows.
QByteArray nativeBytes(const QString& path);
QString fromNativeBytes(const QByteArray& path);

/// True when the platform counts the file as hidden: its name starts with '.'
/// on POSIX, it has the hidden attribute on Windows (which Wine also gives a
/// name starting with '.').
bool isHiddenFile(const TreeNode& file);
/// True when the platform counts the file as a system file: a FIFO or a link
/// to nothing (any link but a link up), or on Windows a file with the system
/// attribute.
bool isSystemFile(const TreeNode& file);

/// A tree from entries relative to its root, '/' between names (the form
/// MusicTree::addEntries builds from):
///   "a/b.mp3"          a file (and the folder a)
///   "a/b/"             a folder
///   "a/y.mp3 |"        a FIFO
///   "a/l -> target"    a link to the target as written: whatever follows the
///                      first " -> ", a sibling, "../x", an absolute path, ...
///   "a/h.mp3 (hidden)", "a/s.mp3 (system)"  a file with that Windows attribute
TreeNode parseTree(const QList<QByteArray>& entries);

/// Creates the children of `folder` inside the existing folder `nativePath`
/// (nativeBytes of its path). On POSIX with plain calls relative to open
/// folders, so neither long paths nor invalid names get in the way; on Windows
/// with the wide calls on \\?\ paths, links as MusicTree makes them, and no
/// FIFO at all. Aborts the test program when the disk refuses.
void buildTree(const QByteArray& nativePath, const TreeNode& folder);

/// One line of text per entry, in the form parseTree reads, raw bytes shown as
/// C escapes; for failure reports.
QString describeTree(const TreeNode& folder);

/// The albums and tracks the playlist document must hold for the music folder
/// `music`, typed as `typed`, whose absolute path is `absolute` (native
/// separators): the lines xmlOutline gives for them, the playlist element left
/// out.
///
/// Worked out from the rules directly: pre-order, depth first; folders and
/// files in name order (referenceNameOrder); a folder is an album when a file
/// that is neither hidden nor a system file ends in ".mp3"; its tracks are the
/// files whose full path holds ".mp3"; links up are never entered. Under Wine,
/// which shows no broken link of its Unix host, broken links are not there.
QStringList expectedAlbums(const TreeNode& music, const QString& typed, const QString& absolute);

/// Name order written from its rule alone, to check the service's against:
/// digit runs compare by value (the shorter run first when equal), other
/// UTF-16 units after case folding, and exact UTF-16 order breaks a tie.
int referenceNameOrder(QStringView a, QStringView b);

/// The text an XML parser hands back for an attribute value written from `raw`:
/// the characters XML 1.0 cannot hold become U+FFFD.
QString asParsed(QStringView raw);
