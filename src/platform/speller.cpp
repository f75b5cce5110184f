#include "platform/speller.h"

#include "platform/atomicfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <hunspell.hxx>

#include <iconv.h>

#include <cerrno>

namespace platform {

namespace {

QStringList &folderOverride()
{
    static QStringList folders;
    return folders;
}

// Hunspell's names for the few character sets iconv spells differently.
QByteArray iconvName(const QString &hunspellName)
{
    const QString n = hunspellName.trimmed();
    if (n.compare(QLatin1String("microsoft-cp1251"), Qt::CaseInsensitive) == 0)
        return "CP1251";
    if (n.compare(QLatin1String("TIS620-2533"), Qt::CaseInsensitive) == 0)
        return "TIS-620";
    return n.toLatin1();
}

// Converts between character sets; false in *ok when a character has no
// place in the target set or the set is unknown.
QByteArray convert(const QByteArray &input, const QByteArray &to, const QByteArray &from, bool *ok)
{
    *ok = false;
    iconv_t cd = iconv_open(to.constData(), from.constData());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return QByteArray();
    QByteArray out(input.size() * 4 + 16, Qt::Uninitialized);
    char *in = const_cast<char *>(input.constData());
    size_t inLeft = size_t(input.size());
    char *dst = out.data();
    size_t outLeft = size_t(out.size());
    const size_t result = iconv(cd, &in, &inLeft, &dst, &outLeft);
    iconv_close(cd);
    if (result == size_t(-1) || inLeft != 0)
        return QByteArray();
    out.resize(out.size() - int(outLeft));
    *ok = true;
    return out;
}

bool hasDictionary(const QString &dic)
{
    QString aff = dic;
    aff.chop(4);
    aff += QLatin1String(".aff");
    return QFileInfo(dic).isFile() && QFileInfo(aff).isFile();
}

} // namespace

void setDictionaryFolders(const QStringList &folders)
{
    folderOverride() = folders;
}

QStringList Speller::dictionaryFolders()
{
    if (!folderOverride().isEmpty())
        return folderOverride();
    return {QStringLiteral("/usr/share/hunspell"), QStringLiteral("/usr/share/myspell/dicts")};
}

QString Speller::userLanguage()
{
    for (const char *variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        QString value = qEnvironmentVariable(variable);
        // de_DE.UTF-8@euro -> de_DE
        const qsizetype cut = value.indexOf(QRegularExpression(QStringLiteral("[.@]")));
        if (cut >= 0)
            value.truncate(cut);
        if (value.isEmpty() || value == QLatin1String("C") || value == QLatin1String("POSIX"))
            continue;
        return value;
    }
    return QString();
}

QString Speller::findDictionary(const QString &localeName, const QStringList &folders)
{
    const auto inFolders = [&folders](const QString &name) {
        for (const QString &folder : folders) {
            const QString dic = folder + QLatin1Char('/') + name + QLatin1String(".dic");
            if (hasDictionary(dic))
                return dic;
        }
        return QString();
    };
    if (!localeName.isEmpty()) {
        QString dic = inFolders(localeName);
        if (!dic.isEmpty())
            return dic;
        // Another dictionary of the same language: de_DE for de_AT.
        const QString language = localeName.section(QLatin1Char('_'), 0, 0);
        if (!language.isEmpty()) {
            dic = inFolders(language + QLatin1Char('_') + language.toUpper());
            if (dic.isEmpty())
                dic = inFolders(language);
            for (const QString &folder : folders) {
                if (!dic.isEmpty())
                    break;
                const QStringList names = QDir(folder).entryList(
                    {language + QLatin1String("_*.dic")}, QDir::Files, QDir::Name);
                for (const QString &name : names) {
                    if (hasDictionary(folder + QLatin1Char('/') + name)) {
                        dic = folder + QLatin1Char('/') + name;
                        break;
                    }
                }
            }
            if (!dic.isEmpty())
                return dic;
        }
    }
    return inFolders(QStringLiteral("en_US"));
}

QString Speller::missingDictionaryMessage(const QString &localeName)
{
    const QString locale = localeName.isEmpty() ? userLanguage() : localeName;
    const bool english = locale.isEmpty() || locale == QLatin1String("en_US");
    const QString folders = dictionaryFolders().join(QLatin1String(" or "));
    QString text = QStringLiteral("No spelling dictionary is installed, so the spelling was not checked.\n\n");
    text += english
        ? QStringLiteral("The check needs the Hunspell dictionary for en_US (en_US.aff and en_US.dic) in %1.")
              .arg(folders)
        : QStringLiteral("The check needs a Hunspell dictionary for %1 or, failing that, for en_US "
                         "(%1.aff and %1.dic, or en_US.aff and en_US.dic) in %2.")
              .arg(locale, folders);
    text += QStringLiteral("\n\nTo install the English one, the hunspell-en-us package:\n"
                           "    sudo apt install hunspell-en-us\n");
    if (!english) {
        text += QStringLiteral("For %1, find its package with:\n    apt search hunspell-%2\n")
                    .arg(locale, locale.section(QLatin1Char('_'), 0, 0).toLower());
    }
    text += QStringLiteral("Then check the spelling again.");
    return text;
}

QString Speller::personalDictionaryPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QLatin1String("/quillet-lite/personal.dic");
}

Speller::Speller(const QString &localeName)
{
    const QString locale = localeName.isEmpty() ? userLanguage() : localeName;
    m_dictionary = findDictionary(locale, dictionaryFolders());
    if (m_dictionary.isEmpty())
        return;
    QString aff = m_dictionary;
    aff.chop(4);
    aff += QLatin1String(".aff");
    m_hunspell = std::make_unique<Hunspell>(QFile::encodeName(aff).constData(),
                                            QFile::encodeName(m_dictionary).constData());
    const char *encoding = m_hunspell->get_dic_encoding();
    m_encoding = encoding ? QString::fromLatin1(encoding) : QStringLiteral("ISO8859-1");
    m_utf8 = m_encoding.compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) == 0
        || m_encoding.compare(QLatin1String("UTF8"), Qt::CaseInsensitive) == 0;
    if (!m_utf8) {
        // A character set this system can't convert to makes the dictionary
        // useless.
        bool ok = false;
        convert(QByteArray("a"), iconvName(m_encoding), "UTF-8", &ok);
        if (!ok)
            m_hunspell.reset();
    }
}

Speller::~Speller() = default;

QByteArray Speller::toDictionary(const QString &word, bool *ok) const
{
    const QByteArray utf8 = word.toUtf8();
    if (m_utf8) {
        *ok = true;
        return utf8;
    }
    return convert(utf8, iconvName(m_encoding), "UTF-8", ok);
}

QString Speller::fromDictionary(const std::string &bytes) const
{
    const QByteArray raw(bytes.data(), int(bytes.size()));
    if (m_utf8)
        return QString::fromUtf8(raw);
    bool ok = false;
    const QByteArray utf8 = convert(raw, "UTF-8", iconvName(m_encoding), &ok);
    return ok ? QString::fromUtf8(utf8) : QString();
}

bool Speller::canCheck(const QString &word) const
{
    if (!m_hunspell)
        return false;
    bool ok = false;
    toDictionary(word, &ok);
    return ok;
}

bool Speller::isCorrect(const QString &word) const
{
    if (!m_hunspell)
        return true;
    bool ok = false;
    const QByteArray bytes = toDictionary(word, &ok);
    if (!ok)
        return true; // not in the dictionary's alphabet: nothing to say about it
    return m_hunspell->spell(bytes.toStdString());
}

QStringList Speller::suggestions(const QString &word) const
{
    QStringList out;
    if (!m_hunspell)
        return out;
    bool ok = false;
    const QByteArray bytes = toDictionary(word, &ok);
    if (!ok)
        return out;
    for (const std::string &s : m_hunspell->suggest(bytes.toStdString())) {
        const QString suggestion = fromDictionary(s);
        if (!suggestion.isEmpty() && !out.contains(suggestion))
            out << suggestion;
    }
    return out;
}

void Speller::accept(const QString &word)
{
    if (!m_hunspell || word.isEmpty())
        return;
    bool ok = false;
    const QByteArray bytes = toDictionary(word, &ok);
    if (ok)
        m_hunspell->add(bytes.toStdString());
}

void Speller::loadPersonal()
{
    QFile file(personalDictionaryPath());
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (QString line : lines) {
        line = line.trimmed();
        if (!line.isEmpty())
            accept(line);
    }
}

bool Speller::addToPersonal(const QString &word)
{
    const QString clean = word.trimmed();
    if (clean.isEmpty() || clean.contains(QLatin1Char('\n')))
        return false;
    accept(clean);
    const QString path = personalDictionaryPath();
    QByteArray data;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        data = file.readAll();
        file.close();
    }
    const QStringList words = QString::fromUtf8(data).split(QLatin1Char('\n'));
    for (const QString &w : words) {
        if (w.trimmed() == clean)
            return true;
    }
    if (!data.isEmpty() && !data.endsWith('\n'))
        data += '\n';
    data += clean.toUtf8() + '\n';
    QDir().mkpath(QFileInfo(path).absolutePath());
    QString error;
    return writeFileAtomically(path, data, &error);
}

} // namespace platform
