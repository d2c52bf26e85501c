#include "desktop/file_manager_actions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace ferro {
namespace {

const QString kEntryName = QStringLiteral("用 Ferrovan文件批处理 打开");
// How Thunar's entry is known again.
const QString kThunarId = QStringLiteral("ferrovan-batch-open");
const QByteArray kScriptMark = "# ferrovan-batch --file-manager-actions";

QString Home(const char* variable, const char* fallback) {
    const QString set = qEnvironmentVariable(variable);
    if (!set.isEmpty() && QDir::isAbsolutePath(set)) return set;
    return QDir::homePath() + QLatin1Char('/') + QLatin1String(fallback);
}

QString NautilusScript() {
    return Home("XDG_DATA_HOME", ".local/share") + QStringLiteral("/nautilus/scripts/") + kEntryName;
}

QString ThunarActions() { return Home("XDG_CONFIG_HOME", ".config") + QStringLiteral("/Thunar/uca.xml"); }

QString ShellQuoted(const QString& text) {
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

// Nautilus gives a script the chosen paths, one a line, in its environment
// (and only their names as arguments, relative to the folder it shows).
QByteArray ScriptText(const QString& program) {
    return "#!/bin/sh\n" + kScriptMark +
           "\nif [ -n \"$NAUTILUS_SCRIPT_SELECTED_FILE_PATHS\" ]; then\n"
           "    IFS='\n'\n"
           "    set -f\n"
           "    set -- $NAUTILUS_SCRIPT_SELECTED_FILE_PATHS\n"
           "fi\n"
           "exec " +
           ShellQuoted(program).toUtf8() + " \"$@\"\n";
}

bool WriteWhole(const QString& path, const QByteArray& bytes, QFileDevice::Permissions mode,
                QString& error) {
    if (!QDir().mkpath(QFileInfo(path).path())) {
        error = QStringLiteral("无法建立目录：") + QFileInfo(path).path();
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        error = QStringLiteral("无法写入：") + path;
        return false;
    }
    QFile::setPermissions(path, mode);
    return true;
}

QByteArray ReadWhole(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Thunar's actions as they are, with ours added or taken out. Thunar starts
// a user without a file of his own from the system's one.
QByteArray ThunarText(const QByteArray& existing, const QString* program, bool& changed) {
    QByteArray source = existing;
    if (source.isEmpty() && program) {
        for (const QString& dir : qEnvironmentVariable("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg"))
                                      .split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
            source = ReadWhole(dir + QStringLiteral("/Thunar/uca.xml"));
            if (!source.isEmpty()) break;
        }
    }
    // The actions other than ours, each kept as it was written.
    QXmlStreamReader reader(source);
    QByteArray out;
    QXmlStreamWriter writer(&out);
    writer.setAutoFormatting(true);
    writer.writeStartDocument();
    writer.writeStartElement(QStringLiteral("actions"));
    bool ours = false;
    while (!reader.atEnd()) {
        reader.readNext();
        if (!reader.isStartElement() || reader.name() != QLatin1String("action")) continue;
        // One action: its fields in order, with their attributes (the
        // names in other languages).
        struct Field {
            QString name;
            QXmlStreamAttributes attributes;
            QString text;
        };
        QList<Field> fields;
        bool isOurs = false;
        while (reader.readNextStartElement()) {
            Field f{reader.name().toString(), reader.attributes(), {}};
            f.text = reader.readElementText(QXmlStreamReader::IncludeChildElements);
            if (f.name == QLatin1String("unique-id") && f.text == kThunarId) isOurs = true;
            fields.append(std::move(f));
        }
        if (isOurs) {
            ours = true;
            if (!program) continue;  // taken out
        }
        writer.writeStartElement(QStringLiteral("action"));
        for (const Field& f : fields) {
            writer.writeStartElement(f.name);
            writer.writeAttributes(f.attributes);
            if (!f.text.isEmpty()) writer.writeCharacters(f.text);
            writer.writeEndElement();
        }
        writer.writeEndElement();
    }
    if (!ours && program) {
        writer.writeStartElement(QStringLiteral("action"));
        writer.writeTextElement(QStringLiteral("icon"), QStringLiteral("ferrovan-batch"));
        writer.writeTextElement(QStringLiteral("name"), kEntryName);
        writer.writeTextElement(QStringLiteral("submenu"), QString());
        writer.writeTextElement(QStringLiteral("unique-id"), kThunarId);
        writer.writeTextElement(QStringLiteral("command"), ShellQuoted(*program) + QStringLiteral(" %F"));
        writer.writeTextElement(QStringLiteral("description"),
                                QStringLiteral("在 Ferrovan文件批处理 中打开所选的文件和目录"));
        writer.writeTextElement(QStringLiteral("range"), QString());
        writer.writeTextElement(QStringLiteral("patterns"), QStringLiteral("*"));
        for (const char* kind : {"directories", "audio-files", "image-files", "other-files",
                                 "text-files", "video-files"})
            writer.writeEmptyElement(QLatin1String(kind));
        writer.writeEndElement();
    }
    writer.writeEndElement();
    writer.writeEndDocument();
    changed = program ? !ours : ours;
    return out;
}

}  // namespace

FileManagerActionsResult AddFileManagerActions(const QString& program) {
    FileManagerActionsResult result;
    const QString script = NautilusScript();
    const QByteArray text = ScriptText(program);
    if (ReadWhole(script) == text) {
        result.unchanged << script;
    } else if (WriteWhole(script, text, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                            QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                            QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                            QFileDevice::ExeOther,
                          result.error)) {
        result.changed << script;
    } else {
        return result;
    }
    const QString thunar = ThunarActions();
    bool changed = false;
    const QByteArray actions = ThunarText(ReadWhole(thunar), &program, changed);
    if (!changed) result.unchanged << thunar;
    else if (WriteWhole(thunar, actions, QFileDevice::ReadOwner | QFileDevice::WriteOwner, result.error))
        result.changed << thunar;
    return result;
}

FileManagerActionsResult RemoveFileManagerActions() {
    FileManagerActionsResult result;
    const QString script = NautilusScript();
    // Only a script this program wrote.
    if (ReadWhole(script).contains(kScriptMark)) {
        if (QFile::remove(script)) result.changed << script;
        else result.error = QStringLiteral("无法删除：") + script;
    }
    const QString thunar = ThunarActions();
    const QByteArray existing = ReadWhole(thunar);
    bool changed = false;
    const QByteArray actions = existing.isEmpty() ? QByteArray() : ThunarText(existing, nullptr, changed);
    if (changed && WriteWhole(thunar, actions, QFileDevice::ReadOwner | QFileDevice::WriteOwner, result.error))
        result.changed << thunar;
    return result;
}

QString FileManagerActionsReport(const FileManagerActionsResult& result, bool adding) {
    QString text;
    for (const QString& path : result.changed)
        text += (adding ? QStringLiteral("已写入：") : QStringLiteral("已删除菜单项：")) + path +
                QLatin1Char('\n');
    for (const QString& path : result.unchanged) text += QStringLiteral("已有，未改动：") + path + QLatin1Char('\n');
    if (!result.ok()) text += result.error + QLatin1Char('\n');
    else if (result.changed.isEmpty() && !adding) text += QStringLiteral("没有需要删除的菜单项\n");
    return text;
}

}  // namespace ferro
