#pragma once

// Kate's highlighter as bench_highlight runs it: kate-syntax-highlighter
// with its Perl definition, ANSI output and a trace of each region's style
// name, mapped to the live highlighting's classes.

#include "syntax/tokens.h"

#include <QByteArray>
#include <QProcess>
#include <QStandardPaths>
#include <QString>

#include <cstdio>
#include <map>
#include <utility>
#include <vector>

namespace highlightkate {

inline bool available()
{
    return !QStandardPaths::findExecutable(QStringLiteral("kate-syntax-highlighter")).isEmpty();
}

// Characters seen per style name, for the closing list.
inline std::map<QString, qint64> &styleCounts()
{
    static std::map<QString, qint64> counts;
    return counts;
}

// Kate styles quote delimiters and operators alike ("Operator"): a class
// of its own, which bench_highlight counts as plain, or as the quote's
// class where it stands in one when delimiters are forgiven.
constexpr syntax::TokenClass kOperator = syntax::TokenClass::Count;

inline syntax::TokenClass classOfStyle(const QString &style)
{
    using syntax::TokenClass;
    if (style.contains(u"Comment"))
        return TokenClass::Comment;
    if (style == u"Pod")
        return TokenClass::Pod;
    if (style.startsWith(u"Pattern"))
        return TokenClass::Regex;
    if (style.startsWith(u"String") || style.startsWith(u"Here Doc"))
        return TokenClass::String;
    if (style == u"Data")
        return TokenClass::Data;
    if (style == u"Data Type" || style.contains(u"Variable"))
        return TokenClass::Variable;
    if (style == u"Keyword" || style == u"Function")
        return TokenClass::Keyword;
    if (style == u"Decimal" || style == u"Float" || style == u"Octal" || style == u"Hex")
        return TokenClass::Number;
    if (style == u"Operator")
        return kOperator;
    return TokenClass::Plain;
}

struct TraceLine
{
    QString text;
    std::vector<std::pair<int, QString>> styles; // column where a region starts, its style
};

// One row of the output: its visible text, and the style labels (shown in
// reverse video) with their columns.
inline void readRow(const QByteArray &row, QString *text, std::vector<std::pair<int, QString>> *labels)
{
    QByteArray visible;
    int column = 0;
    bool label = false;
    QByteArray current;
    int labelColumn = 0;
    const auto flush = [&] {
        if (label && labels)
            labels->push_back({labelColumn, QString::fromUtf8(current)});
        label = false;
        current.clear();
    };
    for (qsizetype i = 0; i < row.size();) {
        if (row[i] == '\x1b' && i + 1 < row.size() && row[i + 1] == '[') {
            qsizetype e = i + 2;
            while (e < row.size() && !((row[e] >= 'A' && row[e] <= 'Z') || (row[e] >= 'a' && row[e] <= 'z')))
                ++e;
            const QByteArray code = row.mid(i, e - i + 1);
            flush();
            if (code == "\x1b[7m") {
                label = true;
                labelColumn = column;
            }
            i = e + 1;
            continue;
        }
        // A character: one column per UTF-16 unit, as the highlighter counts.
        int length = 1;
        const uchar b = uchar(row[i]);
        if (b >= 0xF0)
            length = 4;
        else if (b >= 0xE0)
            length = 3;
        else if (b >= 0xC0)
            length = 2;
        const QByteArray ch = row.mid(i, length);
        if (label)
            current += ch;
        visible += ch;
        column += int(QString::fromUtf8(ch).size());
        i += length;
    }
    flush();
    if (text)
        *text = QString::fromUtf8(visible);
}

// Each byte's class as Kate's highlighter gives it; false when it could
// not be run or its lines do not match the file's (a file not in UTF-8).
inline bool classes(const QString &path, const QByteArray &bytes, std::vector<syntax::TokenClass> &out)
{
    QProcess kate;
    kate.start(QStringLiteral("kate-syntax-highlighter"),
               {QStringLiteral("-f"), QStringLiteral("ansi"), QStringLiteral("--syntax-trace"), QStringLiteral("format"),
                QStringLiteral("-s"), QStringLiteral("Perl"), path});
    kate.closeWriteChannel();
    if (!kate.waitForFinished(120000) || kate.exitCode() != 0)
        return false;
    const QByteArray output = kate.readAllStandardOutput();
    const QByteArray sourceMark = "\x1b[48;2;255;255;255m";
    std::vector<TraceLine> lines;
    for (const QByteArray &row : output.split('\n')) {
        if (row.startsWith(sourceMark)) {
            lines.emplace_back();
            readRow(row, &lines.back().text, nullptr);
        } else if (!lines.empty()) {
            readRow(row, nullptr, &lines.back().styles);
        }
    }
    const QList<QByteArray> sourceLines = bytes.split('\n');
    if (lines.size() < size_t(sourceLines.size()))
        return false;
    out.assign(size_t(bytes.size()), syntax::TokenClass::Plain);
    qsizetype offset = 0;
    for (qsizetype l = 0; l < sourceLines.size(); ++l) {
        const QByteArray &lineBytes = sourceLines[l];
        TraceLine &line = lines[size_t(l)];
        if (QString::fromUtf8(lineBytes) != line.text)
            return false;
        // Byte offset of each UTF-16 column.
        std::vector<qsizetype> byteAt;
        byteAt.reserve(size_t(line.text.size()) + 1);
        qsizetype b = 0;
        for (qsizetype c = 0; c < line.text.size(); ++c) {
            byteAt.push_back(b);
            const char16_t u = line.text[c].unicode();
            if (QChar::isHighSurrogate(u)) {
                byteAt.push_back(b);
                ++c;
                b += 4;
            } else {
                b += u < 0x80 ? 1 : u < 0x800 ? 2 : 3;
            }
        }
        byteAt.push_back(b);
        std::sort(line.styles.begin(), line.styles.end(),
                  [](const auto &x, const auto &y) { return x.first < y.first; });
        for (size_t k = 0; k < line.styles.size(); ++k) {
            const int from = line.styles[k].first;
            const int to = k + 1 < line.styles.size() ? line.styles[k + 1].first : int(line.text.size());
            if (from >= to || to > int(line.text.size()))
                continue;
            const syntax::TokenClass cls = classOfStyle(line.styles[k].second);
            styleCounts()[line.styles[k].second] += to - from;
            for (qsizetype i = byteAt[size_t(from)]; i < byteAt[size_t(to)]; ++i)
                out[size_t(offset + i)] = cls;
        }
        offset += lineBytes.size() + 1;
    }
    return true;
}

inline void printStyles()
{
    std::printf("Kate's styles (characters) and the classes they count as:");
    int k = 0;
    for (const auto &[style, count] : styleCounts())
        std::printf("%s%s %lld -> %d", k++ % 4 ? ";  " : "\n  ", qPrintable(style), qlonglong(count),
                    int(classOfStyle(style)));
    std::printf("\n  (classes: 0 plain, 1 keyword, 2 variable, 3 string, 4 regex, 5 number, 6 comment, 7 POD, 8 data,\n"
                "   14 operator: plain, or the quote's class in the column with delimiters forgiven)\n");
}

} // namespace highlightkate
