#include "playlistindex.h"

#include "xmlattribute.h"

namespace writer {

void MakeFileList(fsservice::FileSystem& fso, fsservice::TextStream& ts,
                  const QString& folderspec) {
    QString line;
    for (const QString& name : fso.ListFiles(folderspec + QStringLiteral("*playlist*.xml"))) {
        // The index matches its own pattern; only its exact name keeps it out.
        if (name == kIndexFileName) {
            continue;
        }
        QString playlistName = name;
        playlistName.remove(QStringLiteral(".xml"), Qt::CaseInsensitive);
        line = QStringLiteral("<file name=\"");
        appendAttribute(line, playlistName);
        line.append(u"\" path=\"");
        appendAttribute(line, folderspec + name);
        line.append(u"\"/>");
        ts.WriteLine(line);
    }
}

}  // namespace writer
