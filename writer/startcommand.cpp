#include "startcommand.h"

#include "albumscan.h"
#include "fserror.h"
#include "paths.h"
#include "playlistindex.h"
#include "scanprogress.h"

#include <QRegularExpression>

namespace writer {

using fsservice::separator;

StartCommand::StartCommand(fsservice::FileSystem& fso, PlaylistView& view,
                           const texts::Texts& texts)
    : m_fso(fso), m_view(view), m_texts(texts) {}

QString StartCommand::playlistFolder(const QString& currentDirectory) {
    // The jukebox starts its helpers from its folder "fscommand", so that one
    // folder is dropped to land beside the jukebox; a folder whose name only
    // begins so ("fscommandos") is the user's own and stays.
    static const QRegularExpression fscommand(
        QRegularExpression::escape(separator() + QStringLiteral("fscommand")) +
            QStringLiteral("(?=") + QRegularExpression::escape(separator()) + QStringLiteral("|$)"),
        QRegularExpression::CaseInsensitiveOption);
    QString folder = currentDirectory;
    folder.remove(fscommand);
    return folder + separator() + QStringLiteral("xml") + separator();
}

bool StartCommand::isDeviceName(QStringView name) {
    qsizetype end = 0;
    while (end < name.size() && name[end] != u'.' && name[end] != u':') {
        ++end;
    }
    // Windows drops trailing spaces before it looks for a device.
    while (end > 0 && name[end - 1] == u' ') {
        --end;
    }
    const QStringView base = name.left(end);
    for (const QStringView device : {u"CON", u"PRN", u"AUX", u"NUL"}) {
        if (base.compare(device, Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
    if (base.size() == 4 && base[3] >= u'1' && base[3] <= u'9') {
        const QStringView family = base.left(3);
        return family.compare(u"COM", Qt::CaseInsensitive) == 0 ||
               family.compare(u"LPT", Qt::CaseInsensitive) == 0;
    }
    return false;
}

void StartCommand::tell(MessageIcon icon, const QString& prompt) {
    m_view.beep();
    m_view.showMessage(icon, prompt);
}

void StartCommand::run() {
    try {
        // The playlist folder is made on every press, before the checks, so a
        // run the checks stop still leaves it in place.
        const QString folder = playlistFolder(m_fso.CurrentDirectory());
        if (!m_fso.FolderExists(folder)) {
            try {
                m_fso.CreateFolder(folder);
            } catch (const fsservice::FsError&) {
                // A second copy of the program, started at the same moment, may
                // have made it since the look above; only a folder still missing
                // is a failure.
                if (!m_fso.FolderExists(folder)) {
                    throw;
                }
            }
        }

        if (m_view.pathText().isEmpty()) {
            tell(MessageIcon::Exclamation, m_texts.pathMissing);
            m_view.focusPathText();
            return;
        }
        if (m_view.playListName().isEmpty()) {
            tell(MessageIcon::Exclamation, m_texts.nameMissing);
            m_view.focusPlayListName();
            return;
        }
        if (!m_fso.FolderExists(m_view.pathText())) {
            tell(MessageIcon::Exclamation, m_texts.pathNotFound.arg(m_view.pathText()));
            m_view.focusPathText();
            return;
        }

        const QString name = m_view.playListName();
        // A separator would put the document outside the playlist folder,
        // where the index never finds it.
        if (hasSeparator(name)) {
            tell(MessageIcon::Exclamation, m_texts.nameHasSeparator);
            m_view.focusPlayListName();
            return;
        }
        // The index is written after the document, over it: the playlist would
        // be lost, or with Yes to the question below, the index itself.
        if (QString(name + QStringLiteral(".xml")).compare(kIndexFileName, Qt::CaseInsensitive) ==
            0) {
            tell(MessageIcon::Exclamation, m_texts.nameIsIndex.arg(folder + name));
            m_view.focusPlayListName();
            return;
        }
#ifdef Q_OS_WIN
        // Windows would open the device, with or without ".xml", and pour the
        // playlist into it: neither the temporary file nor the rename can be
        // trusted with such a name.
        if (isDeviceName(name)) {
            tell(MessageIcon::Exclamation, m_texts.nameIsDevice.arg(folder + name));
            m_view.focusPlayListName();
            return;
        }
#endif

        const QString document = folder + name + QStringLiteral(".xml");
        if (m_fso.FileExists(document)) {
            m_view.beep();
            if (!m_view.askYesNo(m_texts.replaceQuestion.arg(folder + name))) {
                m_view.focusPlayListName();
                return;
            }
        }

        // The walk may take minutes on a slow disk or a network share, so it
        // runs while the window stays alive; the boxes before and after it stay
        // here. The index is written in the same stretch: a cancel that comes
        // once the document is in place no longer stops anything, so the index
        // always lists the new document.
        const QString musicPath = m_view.pathText();
        QStringList leftOut;
        ScanProgress progress;
        try {
            m_view.runLongWork(progress, [&] {
                leftOut = writeDocument(document, musicPath, progress);
                writeIndex(folder);
            });
        } catch (const ScanCancelled&) {
            // The user asked for it: no message, and the earlier files are
            // untouched, as the document was never put in place.
            m_view.focusPathText();
            return;
        }
        if (!leftOut.isEmpty()) {
            tell(MessageIcon::Exclamation, leftOutMessage(leftOut));
        }
        tell(MessageIcon::Information, m_texts.playlistReady.arg(folder + name));
    } catch (const fsservice::FsError& error) {
        tell(MessageIcon::Critical, m_texts.error.arg(error.path(), error.reason()));
    }
}

bool StartCommand::hasSeparator(const QString& name) {
#ifdef Q_OS_WIN
    return name.contains(u'\\') || name.contains(u'/');
#else
    return name.contains(separator());
#endif
}

QString StartCommand::leftOutMessage(const QStringList& leftOut) const {
    // A box taller than the screen helps no one: ten folders say where to look.
    constexpr qsizetype kShown = 10;
    QStringList lines{m_texts.foldersLeftOut};
    lines += leftOut.mid(0, kShown);
    if (leftOut.size() > kShown) {
        lines += m_texts.moreLeftOut.arg(leftOut.size() - kShown);
    }
    return lines.join(u'\n');
}

QStringList StartCommand::writeDocument(const QString& path, const QString& musicPath,
                                        ScanProgress& progress) {
    const auto ts = m_fso.CreateTextFile(path, true, true);
    ts->WriteLine(u"<?xml version=\"1.0\"?>");
    ts->WriteLine(u"<playlist type=\"local\">");
    AlbumScan scan(musicPath, &progress);
    progress.enterFolder(musicPath);
    fsservice::Folder music = m_fso.GetFolder(musicPath);
    progress.folderRead();
    scan.BuildMP3List(*ts, music, musicPath);
    scan.ShowFolderList(m_fso, *ts, std::move(music));
    ts->WriteLine(u"</playlist>");
    // The last moment a cancel can still keep the earlier document.
    progress.throwIfCancelled();
    ts->Close();
    return scan.leftOut();
}

void StartCommand::writeIndex(const QString& folder) {
    // Rewritten from scratch on every run, from what the playlist folder holds
    // now, so playlists deleted by hand drop out of it.
    const auto ts = m_fso.CreateTextFile(folder + kIndexFileName.toString(), true, false);
    ts->WriteLine(u"<?xml version=\"1.0\"?>");
    ts->WriteLine(u"<filelist>");
    MakeFileList(m_fso, *ts, folder);
    ts->WriteLine(u"</filelist>");
    ts->Close();
}

}  // namespace writer
