#include "jukebox.h"

#include "playlistxml.h"
#include "recordingview.h"
#include "startcommand.h"

#include <QDir>

using Operation = FaultyFileSystem::Operation;

const texts::Texts& textsFor(const QString& language) {
    return language == QLatin1String("nl") ? texts::dutch : texts::english;
}

QStringList standardMusic() {
    return {"a.mp3",           "Rock/b.mp3",           "Rock/Live/c.mp3",
            "Rock/Live/d.mp3", "Rock/Live/Deep/e.mp3", "Pop & Soul/f.mp3"};
}

QList<FaultRow> faultRows() {
    const QString document = QStringLiteral("xml/playlist.xml");
    const QString index = QStringLiteral("xml/") + QLatin1String(kIndexName);
    return {
        {"creating the playlist folder", Operation::CreateFolder, "xml/", 0, Written::Nothing},
        {"opening the music folder", Operation::GetFolder, "Music", 0, Written::Nothing},
        {"opening a folder deep in the tree", Operation::GetFolder, "Music/Rock/Live/Deep", 0,
         Written::Nothing},
        {"the music folder may not be read", Operation::GetFolderDenied, "Music", 0,
         Written::Nothing},
        {"creating the document", Operation::CreateTextFile, document, 0, Written::Nothing},
        {"writing the document's first line", Operation::WriteLine, document, 1, Written::Nothing},
        {"writing the document's 7th line, inside an album", Operation::WriteLine, document, 7,
         Written::Nothing},
        {"writing the document's last line", Operation::WriteLine, document, -1, Written::Nothing},
        {"committing the document", Operation::Close, document, 0, Written::Nothing},
        // The document is complete and in place before the index is begun.
        {"creating the index", Operation::CreateTextFile, index, 0, Written::Document},
        {"listing the playlist folder", Operation::ListFiles, "xml/*playlist*.xml", 0,
         Written::Document},
        {"writing the index's 3rd line", Operation::WriteLine, index, 3, Written::Document},
        {"committing the index", Operation::Close, index, 0, Written::Document},
    };
}

QString faultReason(Operation operation) {
    return operation == Operation::GetFolderDenied ? qt_error_string(FaultyFileSystem::deniedCode())
                                                   : FaultyFileSystem::reason();
}

Jukebox::Jukebox(const QStringList& musicEntries, bool withPlaylistFolder)
    : earlierDocument(utf16Lines({R"(<?xml version="1.0"?>)", R"(<playlist type="local">)",
                                  R"(<album path="/earlier" title="earlier">)",
                                  R"(<mp3 title="x.mp3" track="x"/>)", "</album>", "</playlist>"})),
      earlierIndex(
          utf8Lines({R"(<?xml version="1.0"?>)", "<filelist>",
                     R"(<file name="playlist" path="/earlier/playlist.xml"/>)", "</filelist>"})) {
    tree.addFolder("jukebox/Music");
    jukebox = tree.path("jukebox");
    music = tree.path("jukebox/Music");
    xml = tree.path("jukebox/xml") + QDir::separator();
    QStringList entries;
    for (const QString& entry : musicEntries) {
        entries << "jukebox/Music/" + entry;
    }
    tree.addEntries(entries);
    if (withPlaylistFolder) {
        tree.addFile("jukebox/xml/playlist.xml", earlierDocument);
        tree.addFile(QStringLiteral("jukebox/xml/") + QLatin1String(kIndexName), earlierIndex);
        rememberPlaylistFolder();
    }
}

QStringList Jukebox::run(fsservice::FileSystem& fso, const QString& typed, const QString& name,
                         const texts::Texts& texts, RecordingView* view) const {
    const CurrentDirectoryScope current(jukebox);
    RecordingView own;
    if (!view) {
        view = &own;
    }
    view->path = typed;
    view->name = name;
    writer::StartCommand(fso, *view, texts).run();
    return view->events;
}

QStringList Jukebox::replaceQuestion(const QString& name, const texts::Texts& t) const {
    if (!m_earlier.contains(name + ".xml")) {
        return {};
    }
    return {"beep", "ask: " + t.replaceQuestion.arg(xml + name)};
}

QStringList Jukebox::doneEvents(const QString& name, const texts::Texts& t) const {
    return replaceQuestion(name, t) +
           QStringList{"beep", "message Information: " + t.playlistReady.arg(xml + name)};
}

QStringList Jukebox::leftOutEvents(const QString& name, const texts::Texts& t,
                                   const QStringList& leftOut) const {
    QStringList message{t.foldersLeftOut};
    for (const QString& folder : leftOut.mid(0, 10)) {
        message << QDir::toNativeSeparators(jukebox + "/" + folder);
    }
    if (leftOut.size() > 10) {
        message << t.moreLeftOut.arg(leftOut.size() - 10);
    }
    QStringList expected = doneEvents(name, t);
    expected.insert(expected.size() - 2, "beep");
    expected.insert(expected.size() - 2, "message Exclamation: " + message.join('\n'));
    return expected;
}

QByteArray Jukebox::document(const QString& name) const {
    return readBytes(xml + name + ".xml");
}

QByteArray Jukebox::index() const {
    return readBytes(xml + QLatin1String(kIndexName));
}

QStringList Jukebox::playlistFolder() const {
    return QDir(xml).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                               QDir::NoDotAndDotDot);
}

void Jukebox::rememberPlaylistFolder() {
    m_earlier = playlistFolder();
}
