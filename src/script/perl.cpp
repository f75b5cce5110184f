#include "script/perl.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

namespace script {

Shebang parseShebang(const QByteArray &text)
{
    Shebang s;
    if (!text.startsWith("#!"))
        return s;
    qsizetype end = text.indexOf('\n');
    QByteArray line = text.mid(2, end < 0 ? -1 : end - 2);
    if (line.endsWith('\r'))
        line.chop(1);
    const QStringList words =
        QString::fromLocal8Bit(line).split(QRegularExpression(QStringLiteral("[ \\t]+")), Qt::SkipEmptyParts);
    if (words.isEmpty())
        return s;
    s.present = true;
    s.interpreter = words.first();
    int i = 1;
    QString program = s.interpreter;
    if (QFileInfo(s.interpreter).fileName() == QLatin1String("env")) {
        // env's own options, then the program it starts.
        while (i < words.size() && words.at(i).startsWith(QLatin1Char('-')))
            s.leading << words.at(i++);
        if (i < words.size()) {
            program = words.at(i);
            s.leading << words.at(i++);
        }
    }
    s.perl = QFileInfo(program).fileName().startsWith(QLatin1String("perl"));
    while (i < words.size() && words.at(i).startsWith(QLatin1Char('-')) && words.at(i) != QLatin1String("--"))
        s.switches << words.at(i++);
    return s;
}

QString scriptDescriptorName()
{
    return QStringLiteral("/dev/fd/%1").arg(cgi::kScriptFd);
}

QString perlMessageName(const QString &name)
{
    QString n = name;
    for (QChar &c : n) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            c = QLatin1Char('_');
    }
    return n;
}

namespace {
QByteArray singleQuoted(QString s)
{
    s.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    s.replace(QLatin1Char('\''), QLatin1String("\\'"));
    return '\'' + s.toUtf8() + '\'';
}
} // namespace

QByteArray perlProgram(const QString &name, const QByteArray &text, const QString &lastInc)
{
    QByteArray program;
    program.reserve(text.size() + 2 * name.size() + lastInc.size() + 64);
    // $0 is set before anything of the script compiles (FindBin reads it).
    program += "BEGIN { $0 = " + singleQuoted(name);
    if (!lastInc.isEmpty())
        program += "; push @INC, " + singleQuoted(lastInc);
    program += " }\n";
    program += "#line 1 \"" + perlMessageName(name).toUtf8() + "\"\n";
    program += text;
    return program;
}

QString findPerl()
{
    return QStandardPaths::findExecutable(QStringLiteral("perl"));
}

QString nameMessages(const QString &output, const QString &name)
{
    QString out = output;
    out.replace(scriptDescriptorName(), name);
    return out;
}

MessagePlace placeOf(const QString &message, const QStringList &knownNames)
{
    MessagePlace place;
    for (const QString &name : knownNames) {
        if (name.isEmpty())
            continue;
        const QRegularExpression known(QStringLiteral(" at ") + QRegularExpression::escape(name)
                                       + QStringLiteral(" line (\\d+)\\b"));
        const QRegularExpressionMatch m = known.match(message);
        if (m.hasMatch()) {
            place.file = name;
            place.line = m.captured(1).toInt();
            return place;
        }
    }
    static const QRegularExpression any(QStringLiteral(" at (\\S+) line (\\d+)\\b"));
    const QRegularExpressionMatch m = any.match(message);
    if (m.hasMatch()) {
        place.file = m.captured(1);
        place.line = m.captured(2).toInt();
    }
    return place;
}

} // namespace script
