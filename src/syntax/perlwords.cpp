// The words Perl knows: its keywords and named operators, the quote-like
// operators, and the few named operators that take no argument (so that a
// "/" after them divides).
#include "syntax/perllexer.h"

#include "syntax/wordset.h"

namespace syntax {

bool PerlLine::isKeyword(QStringView word)
{
    static const WordSet words = {
        // Syntax
        u"my", u"our", u"local", u"state", u"sub", u"package", u"use", u"no", u"require", u"if", u"elsif",
        u"else", u"unless", u"while", u"until", u"for", u"foreach", u"do", u"last", u"next", u"redo",
        u"return", u"goto", u"and", u"or", u"not", u"xor", u"eq", u"ne", u"lt", u"gt", u"le", u"ge", u"cmp",
        u"BEGIN", u"END", u"INIT", u"CHECK", u"UNITCHECK", u"AUTOLOAD", u"DESTROY", u"__FILE__",
        u"__LINE__", u"__PACKAGE__", u"__SUB__", u"__END__", u"__DATA__", u"format", u"given", u"when",
        u"default", u"continue", u"eval", u"defined", u"undef", u"wantarray", u"die", u"exit", u"evalbytes",
        // Scalars and strings
        u"chomp", u"chop", u"chr", u"crypt", u"fc", u"hex", u"index", u"lc", u"lcfirst", u"length", u"oct",
        u"ord", u"pack", u"reverse", u"rindex", u"sprintf", u"substr", u"uc", u"ucfirst", u"pos",
        u"quotemeta", u"split", u"study", u"join", u"unpack", u"vec",
        // Numbers
        u"abs", u"atan2", u"cos", u"exp", u"int", u"log", u"rand", u"sin", u"sqrt", u"srand",
        // Lists, arrays and hashes
        u"grep", u"map", u"sort", u"wantarray", u"pop", u"push", u"shift", u"splice", u"unshift", u"delete",
        u"each", u"exists", u"keys", u"values", u"scalar",
        // Input and output
        u"binmode", u"close", u"closedir", u"dbmclose", u"dbmopen", u"eof", u"fileno", u"flock", u"getc",
        u"print", u"printf", u"read", u"readdir", u"readline", u"rewinddir", u"say", u"seek", u"seekdir",
        u"select", u"syscall", u"sysread", u"sysseek", u"syswrite", u"tell", u"telldir", u"truncate",
        u"warn", u"write", u"open", u"opendir", u"sysopen", u"pipe", u"formline",
        // Files
        u"chdir", u"chmod", u"chown", u"chroot", u"fcntl", u"glob", u"ioctl", u"link", u"lstat", u"mkdir",
        u"readlink", u"rename", u"rmdir", u"stat", u"symlink", u"umask", u"unlink", u"utime",
        // Processes
        u"alarm", u"exec", u"fork", u"getpgrp", u"getppid", u"getpriority", u"kill", u"setpgrp",
        u"setpriority", u"sleep", u"system", u"times", u"wait", u"waitpid", u"time", u"localtime",
        u"gmtime", u"caller", u"import", u"unimport", u"lock", u"prototype", u"reset", u"dump",
        // Modules, objects, references
        u"bless", u"ref", u"tie", u"tied", u"untie",
        // Sockets and system data
        u"accept", u"bind", u"connect", u"getpeername", u"getsockname", u"getsockopt", u"listen", u"recv",
        u"send", u"setsockopt", u"shutdown", u"socket", u"socketpair", u"getpwnam", u"getpwuid",
        u"getgrnam", u"getgrgid", u"getlogin", u"gethostbyname", u"getprotobyname", u"getservbyname",
        u"msgctl", u"msgget", u"msgrcv", u"msgsnd", u"semctl", u"semget", u"semop", u"shmctl", u"shmget",
        u"shmread", u"shmwrite",
    };
    return words.contains(word);
}

bool PerlLine::isQuoteOperator(QStringView word, QuoteKind *kind)
{
    if (word.size() > 2)
        return false;
    QuoteKind k;
    if (word == u"q" || word == u"qq" || word == u"qw" || word == u"qx")
        k = QuoteKind::String;
    else if (word == u"m" || word == u"qr")
        k = QuoteKind::Match;
    else if (word == u"s")
        k = QuoteKind::Substitute;
    else if (word == u"tr" || word == u"y")
        k = QuoteKind::Transliterate;
    else
        return false;
    if (kind)
        *kind = k;
    return true;
}

bool PerlLine::takesNoArguments(QStringView word)
{
    static const WordSet words = {
        u"__FILE__", u"__LINE__", u"__PACKAGE__", u"__SUB__", u"wantarray", u"time", u"times",
        u"wait",     u"fork",     u"getppid",     u"getlogin", u"shift",    u"pop",
    };
    return words.contains(word);
}

} // namespace syntax
