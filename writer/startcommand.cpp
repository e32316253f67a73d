#include "startcommand.h"

#include "albumscan.h"
#include "fserror.h"
#include "playlistindex.h"

namespace writer {

using fsservice::separator;

StartCommand::StartCommand(fsservice::FileSystem& fso, PlaylistView& view,
                           const texts::Texts& texts)
    : m_fso(fso), m_view(view), m_texts(texts) {}

QString StartCommand::playlistFolder(const QString& currentDirectory) {
    QString folder = currentDirectory;
    folder.remove(separator() + QStringLiteral("fscommand"), Qt::CaseInsensitive);
    return folder + separator() + QStringLiteral("xml") + separator();
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
            tell(MessageIcon::Exclamation,
                 m_texts.pathPrefix + m_view.pathText() + m_texts.pathNotFound);
            m_view.focusPathText();
            return;
        }

        const QString name = m_view.playListName();
        const QString document = folder + name + QStringLiteral(".xml");
        if (m_fso.FileExists(document)) {
            m_view.beep();
            if (!m_view.askYesNo(m_texts.playlistPrefix + folder + name +
                                 m_texts.replaceQuestion)) {
                m_view.focusPlayListName();
                return;
            }
        }

        writeDocument(document);
        writeIndex(folder);
        tell(MessageIcon::Information,
             m_texts.playlistPrefix + folder + name + m_texts.playlistReady);
    } catch (const fsservice::FsError& error) {
        tell(MessageIcon::Critical, m_texts.errorPrefix + error.message());
    }
}

void StartCommand::writeDocument(const QString& path) {
    const auto ts = m_fso.CreateTextFile(path, true, true);
    ts->WriteLine(u"<?xml version=\"1.0\"?>");
    ts->WriteLine(u"<playlist type=\"local\">");
    AlbumScan(m_view.pathText()).writeAlbums(m_fso, *ts);
    ts->WriteLine(u"</playlist>");
    ts->Close();
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
