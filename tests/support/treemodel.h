#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <vector>

/// A music folder tree held in memory, so that a test can build it on the disk
/// and also say, without the writer's code, what the playlist must hold for it.
///
/// Names are raw bytes, as the file system stores them: they may hold any byte
/// but '/' and NUL, invalid UTF-8 included.
struct TreeNode {
    enum class Kind {
        Folder,
        File,
        Fifo,        ///< a named pipe: a system file
        BrokenLink,  ///< a link to nothing: a system file
        LinkUp,      ///< a link to the folder holding it or a folder above
    };
    Kind kind = Kind::Folder;
    QByteArray name;
    int up = 0;  ///< LinkUp: 0 is the folder holding the link, 1 its parent, ...
    std::vector<TreeNode> children;

    /// The child folder called `name`, made when missing.
    TreeNode& folder(const QByteArray& name);
    /// Counts this node and everything below it.
    int size() const;
};

/// The text of a raw name: bad UTF-8 bytes become U+FFFD, and a leading
/// byte-order mark is part of the name like any other character.
QString nameText(const QByteArray& name);

/// A tree from entries relative to its root, '/' between names (the form
/// MusicTree::addEntries builds from, links here limited to the two kinds below):
///   "a/b.mp3"          a file (and the folder a)
///   "a/b/"             a folder
///   "a/y.mp3 |"        a FIFO
///   "a/l -> ../.."     a link up: a target of "." or ".." parts only
///   "a/x.mp3 -> gone"  a broken link: any other target
TreeNode parseTree(const QList<QByteArray>& entries);

/// Creates the children of `folder` inside the existing folder `nativePath`,
/// with plain POSIX calls relative to open folders, so neither long paths nor
/// invalid names get in the way. Aborts the test program when the disk refuses.
void buildTree(const QByteArray& nativePath, const TreeNode& folder);

/// One line of text per entry, in the form parseTree reads, raw bytes shown as
/// C escapes; for failure reports.
QString describeTree(const TreeNode& folder);

/// The albums and tracks the playlist document must hold for the music folder
/// `music`, typed as `typed`, whose absolute path is `absolute`: the lines
/// xmlOutline gives for them, the playlist element left out.
///
/// Worked out from the rules directly: pre-order, depth first; folders and
/// files in name order (referenceNameOrder); a folder is an album when a file
/// that is neither hidden nor a system file ends in ".mp3"; its tracks are the
/// files whose full path holds ".mp3"; links up are never entered.
QStringList expectedAlbums(const TreeNode& music, const QString& typed, const QString& absolute);

/// Name order written from its rule alone, to check the service's against:
/// digit runs compare by value (the shorter run first when equal), other
/// UTF-16 units after case folding, and exact UTF-16 order breaks a tie.
int referenceNameOrder(QStringView a, QStringView b);

/// The text an XML parser hands back for an attribute value written from `raw`:
/// the characters XML 1.0 cannot hold become U+FFFD.
QString asParsed(QStringView raw);
