#include "frame/filetypes.h"

#include "platform/atomicfile.h"
#include "platform/programfolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>

#include <functional>

namespace frame {

// The desktop's equivalent of a file-type registration: a desktop entry
// that opens a file by its path, the two file types (where the system
// lacks them), and the user's default-application choices for them. What
// is already in place is left alone, so an ordinary start writes nothing.

namespace {

const QString kDesktopId = QStringLiteral("quillet-lite.desktop");
const QString kPerl = QStringLiteral("application/x-perl");
const QString kCgi = QStringLiteral("application/x-cgi");

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

// Writes a file when its content differs; true when it was written.
bool writeIfChanged(const QString &path, const QByteArray &data)
{
    if (QFileInfo(path).isFile() && readAll(path) == data)
        return false;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QString error;
    return platform::writeFileAtomically(path, data, &error);
}

// One argument of a desktop entry's Exec line: quoted when it holds a
// reserved character, then escaped as a string value.
QString execArgument(const QString &arg)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool quote = arg.isEmpty();
    for (QChar c : arg)
        quote = quote || reserved.contains(c);
    QString out;
    if (quote) {
        out += QLatin1Char('"');
        for (QChar c : arg) {
            if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$')
                || c == QLatin1Char('\\'))
                out += QLatin1Char('\\');
            out += c;
        }
        out += QLatin1Char('"');
    } else {
        out = arg;
    }
    out.replace(QLatin1Char('%'), QLatin1String("%%"));
    // The string-value escapes of the desktop entry format.
    out.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    out.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    out.replace(QLatin1Char('\t'), QLatin1String("\\t"));
    return out;
}

QString stringValue(const QString &value)
{
    QString out = value;
    out.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    out.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    return out;
}

QByteArray desktopEntry()
{
    QString s;
    s += QLatin1String("[Desktop Entry]\n");
    s += QLatin1String("Type=Application\n");
    s += QLatin1String("Name=Quillet Lite\n");
    s += QLatin1String("Comment=Edit and view Perl and CGI scripts and HTML pages\n");
    // The file's path is the editor's whole command line.
    s += QLatin1String("Exec=") + execArgument(QCoreApplication::applicationFilePath())
        + QLatin1String(" %f\n");
    s += QLatin1String("Icon=") + stringValue(platform::programFile(QStringLiteral("/quilex.ico")))
        + QLatin1Char('\n');
    s += QLatin1String("MimeType=application/x-perl;application/x-cgi;text/x-perl;\n");
    s += QLatin1String("Terminal=false\n");
    s += QLatin1String("Categories=Development;TextEditor;\n");
    return s.toUtf8();
}

// Whether the system has a shared MIME database of its own (without one,
// Qt answers from its built-in copy, which the rest of the desktop can't see).
bool systemHasMimeDatabase()
{
    const QString home = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    for (const QString &dir : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
        if (QDir::cleanPath(dir) == QDir::cleanPath(home))
            continue;
        if (QFileInfo::exists(dir + QLatin1String("/mime/mime.cache"))
            || QFileInfo::exists(dir + QLatin1String("/mime/packages/freedesktop.org.xml")))
            return true;
    }
    return false;
}

// The type the desktop gives a file name's extension; empty for none.
QString typeOf(const QMimeDatabase &db, const QString &fileName)
{
    const QMimeType t = db.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
    if (!t.isValid() || t.isDefault())
        return QString();
    return t.name();
}

QByteArray mimePackage(bool cgi, bool perl)
{
    QString s;
    s += QLatin1String("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    s += QLatin1String("<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n");
    if (cgi) {
        s += QLatin1String("  <mime-type type=\"application/x-cgi\">\n");
        s += QLatin1String("    <comment>CGI script</comment>\n");
        s += QLatin1String("    <sub-class-of type=\"text/plain\"/>\n");
        s += QLatin1String("    <glob pattern=\"*.cgi\"/>\n");
        s += QLatin1String("  </mime-type>\n");
    }
    if (perl) {
        s += QLatin1String("  <mime-type type=\"application/x-perl\">\n");
        s += QLatin1String("    <comment>Perl script</comment>\n");
        s += QLatin1String("    <sub-class-of type=\"text/plain\"/>\n");
        s += QLatin1String("    <alias type=\"text/x-perl\"/>\n");
        s += QLatin1String("    <glob pattern=\"*.pl\"/>\n");
        s += QLatin1String("  </mime-type>\n");
    }
    s += QLatin1String("</mime-info>\n");
    return s.toUtf8();
}

struct Line
{
    QString text;
    QString key; // set for key=value lines
};

// Sets keys in one section of a key file, keeping every other line as it
// is. value(old) gives a key's new value from its old one (null: none).
void setKeys(QList<Line> &lines, const QString &section, const QStringList &keys,
             const std::function<QString(const QString &)> &value)
{
    int begin = -1;
    int end = int(lines.size());
    for (int i = 0; i < lines.size(); ++i) {
        const QString t = lines.at(i).text.trimmed();
        if (t.startsWith(QLatin1Char('[')) && t.endsWith(QLatin1Char(']'))) {
            if (begin >= 0) {
                end = i;
                break;
            }
            if (t == QLatin1Char('[') + section + QLatin1Char(']'))
                begin = i;
        }
    }
    if (begin < 0) {
        if (!lines.isEmpty() && !lines.last().text.trimmed().isEmpty())
            lines.append(Line{QString(), QString()});
        lines.append(Line{QLatin1Char('[') + section + QLatin1Char(']'), QString()});
        begin = int(lines.size()) - 1;
        end = int(lines.size());
    }
    // New keys go after the section's last non-blank line.
    int insertAt = end;
    while (insertAt - 1 > begin && lines.at(insertAt - 1).text.trimmed().isEmpty())
        --insertAt;
    for (const QString &key : keys) {
        bool found = false;
        for (int i = begin + 1; i < end; ++i) {
            if (lines.at(i).key != key)
                continue;
            const QString old = lines.at(i).text.mid(lines.at(i).text.indexOf(QLatin1Char('=')) + 1).trimmed();
            lines[i].text = key + QLatin1Char('=') + value(old);
            found = true;
        }
        if (!found) {
            lines.insert(insertAt, Line{key + QLatin1Char('=') + value(QString()), key});
            ++insertAt;
            ++end;
        }
    }
}

QByteArray mimeAppsList(const QByteArray &existing, const QStringList &types)
{
    QList<Line> lines;
    if (!existing.isEmpty()) {
        QString text = QString::fromUtf8(existing);
        if (text.endsWith(QLatin1Char('\n')))
            text.chop(1);
        for (const QString &t : text.split(QLatin1Char('\n'))) {
            Line line{t, QString()};
            const QString trimmed = t.trimmed();
            const int eq = trimmed.indexOf(QLatin1Char('='));
            if (eq > 0 && !trimmed.startsWith(QLatin1Char('#')))
                line.key = trimmed.left(eq).trimmed();
            lines.append(line);
        }
    }
    setKeys(lines, QStringLiteral("Default Applications"), types,
            [](const QString &) { return kDesktopId; });
    setKeys(lines, QStringLiteral("Added Associations"), types, [](const QString &old) {
        QStringList apps = old.split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString &a : apps)
            a = a.trimmed();
        apps.removeAll(kDesktopId);
        apps.prepend(kDesktopId);
        return apps.join(QLatin1Char(';')) + QLatin1Char(';');
    });
    QString out;
    for (const Line &line : lines)
        out += line.text + QLatin1Char('\n');
    return out.toUtf8();
}

// The string-value escapes of the desktop entry format undone.
QString unescapeValue(const QString &value)
{
    QString out;
    for (int i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c != QLatin1Char('\\') || i + 1 == value.size()) {
            out += c;
            continue;
        }
        const QChar e = value.at(++i);
        out += e == QLatin1Char('s') ? QChar(QLatin1Char(' '))
            : e == QLatin1Char('n')  ? QChar(QLatin1Char('\n'))
            : e == QLatin1Char('t')  ? QChar(QLatin1Char('\t'))
            : e == QLatin1Char('r')  ? QChar(QLatin1Char('\r'))
                                     : e;
    }
    return out;
}

// The program a desktop entry starts, as a canonical path; empty when
// its Exec line names none that exists.
QString entryProgram(const QString &entryPath)
{
    QString exec;
    bool inGroup = false;
    for (const QString &raw : QString::fromUtf8(readAll(entryPath)).split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        const int eq = line.indexOf(QLatin1Char('='));
        if (inGroup && eq > 0 && line.left(eq).trimmed() == QLatin1String("Exec")) {
            exec = unescapeValue(line.mid(eq + 1).trimmed());
            break;
        }
    }
    // Its first argument, quoted or plain.
    QString program;
    if (exec.startsWith(QLatin1Char('"'))) {
        for (int i = 1; i < exec.size() && exec.at(i) != QLatin1Char('"'); ++i) {
            if (exec.at(i) == QLatin1Char('\\') && i + 1 < exec.size())
                ++i;
            program += exec.at(i);
        }
    } else {
        program = exec.section(QLatin1Char(' '), 0, 0);
    }
    if (!program.isEmpty() && !program.contains(QLatin1Char('/')))
        program = QStandardPaths::findExecutable(program);
    return program.isEmpty() ? QString() : QFileInfo(program).canonicalFilePath();
}

QString thisProgram()
{
    return QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
}

// Whether an entry of the system (not the user's own) starts a program,
// as an installed copy's does.
bool systemEntryStarts(const QString &program, const QString &dataHome)
{
    for (const QString &dir : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
        if (QDir::cleanPath(dir) == QDir::cleanPath(dataHome))
            continue;
        const QString entry = dir + QLatin1String("/applications/") + kDesktopId;
        if (QFileInfo::exists(entry) && entryProgram(entry) == program)
            return true;
    }
    return false;
}

CacheUpdater &cacheUpdater()
{
    static CacheUpdater updater;
    return updater;
}

// Not a program the user starts: a quiet background run, its chatter
// discarded.
void runTool(const QString &tool, const QString &folder)
{
    if (cacheUpdater()) {
        cacheUpdater()(tool, folder);
        return;
    }
    const QString path = QStandardPaths::findExecutable(tool);
    if (path.isEmpty())
        return;
    QProcess process;
    process.setProgram(path);
    process.setArguments({folder});
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.startDetached();
}

} // namespace

void registerFileTypes()
{
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString configHome = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (dataHome.isEmpty() || configHome.isEmpty())
        return;
    const QString appsDir = dataHome + QLatin1String("/applications");
    const QString mimeDir = dataHome + QLatin1String("/mime");
    const QString packagePath = mimeDir + QLatin1String("/packages/quillet-lite.xml");

    // The desktop entry: the system's when one starts this program (an
    // installed copy), else one of the user's own. A user's entry under
    // the same name that starts another copy (run from a build tree) would
    // hide the system's, and goes.
    const QString userEntry = appsDir + QLatin1Char('/') + kDesktopId;
    const QString program = thisProgram();
    bool entryWritten = false;
    if (!systemEntryStarts(program, dataHome))
        entryWritten = writeIfChanged(userEntry, desktopEntry());
    else if (QFileInfo::exists(userEntry) && entryProgram(userEntry) != program)
        entryWritten = QFile::remove(userEntry);

    // The file types: defined here only where the system has no glob for
    // them. Once defined here they stay, since the desktop then reports our
    // own definition back.
    const QMimeDatabase db;
    const bool systemDb = systemHasMimeDatabase();
    const QString cgiType = systemDb ? typeOf(db, QStringLiteral("x.cgi")) : QString();
    const QString plType = systemDb ? typeOf(db, QStringLiteral("x.pl")) : QString();
    const QByteArray oldPackage = readAll(packagePath);
    const bool cgiGlob = cgiType.isEmpty() || oldPackage.contains("pattern=\"*.cgi\"");
    const bool plGlob = plType.isEmpty() || oldPackage.contains("pattern=\"*.pl\"");
    bool packageWritten = false;
    if (cgiGlob || plGlob)
        packageWritten = writeIfChanged(packagePath, mimePackage(cgiGlob, plGlob));

    // The defaults: ours, and the system's own names for the two kinds of
    // script when it spells them differently; nothing else.
    QStringList types{kPerl, kCgi};
    for (const QString &t : {plType, cgiType}) {
        if (!t.isEmpty() && !types.contains(t)
            && (t.contains(QLatin1String("perl")) || t.contains(QLatin1String("cgi"))))
            types << t;
    }
    const QString listPath = configHome + QLatin1String("/mimeapps.list");
    writeIfChanged(listPath, mimeAppsList(readAll(listPath), types));

    // The desktop's caches, only when something they read has changed.
    if (entryWritten)
        runTool(QStringLiteral("update-desktop-database"), appsDir);
    if (packageWritten)
        runTool(QStringLiteral("update-mime-database"), mimeDir);
}

void setCacheUpdater(CacheUpdater updater)
{
    cacheUpdater() = std::move(updater);
}

} // namespace frame
