#include "storage/filemetadata.h"

#include <acl/libacl.h>
#include <sys/acl.h>
#include <sys/xattr.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace storage {

namespace {

bool refusedQuietly(int e)
{
    return e == EPERM || e == EACCES || e == ENOTSUP || e == EOPNOTSUPP;
}

bool fail(QString *error, int e)
{
    if (error)
        *error = QString::fromLocal8Bit(std::strerror(e));
    return false;
}

// Every attribute name of the file, NUL-separated.
bool listNames(const char *path, std::vector<char> *names)
{
    for (;;) {
        const ssize_t size = ::listxattr(path, nullptr, 0);
        if (size < 0)
            return false;
        names->resize(size_t(size));
        if (size == 0)
            return true;
        const ssize_t got = ::listxattr(path, names->data(), names->size());
        if (got >= 0) {
            names->resize(size_t(got));
            return true;
        }
        if (errno != ERANGE) // it grew meanwhile: ask again
            return false;
    }
}

bool getValue(const char *path, const char *name, std::vector<char> *value)
{
    for (;;) {
        const ssize_t size = ::getxattr(path, name, nullptr, 0);
        if (size < 0)
            return false;
        value->resize(size_t(size));
        const ssize_t got = ::getxattr(path, name, value->data(), value->size());
        if (got >= 0) {
            value->resize(size_t(got));
            return true;
        }
        if (errno != ERANGE)
            return false;
    }
}

} // namespace

bool copyAclAndAttributes(const QByteArray &from, int to, QString *error)
{
    const char *path = from.constData();
    if (acl_t acl = ::acl_get_file(path, ACL_TYPE_ACCESS)) {
        // Even a minimal ACL (just the mode) is given: it takes away what
        // the folder's default ACL gave the new file. Only an extended one
        // must be given.
        const bool extended = ::acl_equiv_mode(acl, nullptr) != 0;
        const bool given = ::acl_set_fd(to, acl) == 0;
        const int e = errno;
        ::acl_free(acl);
        if (!given && (extended || !refusedQuietly(e)))
            return fail(error, e);
    } else if (!refusedQuietly(errno)) {
        return fail(error, errno);
    }

    std::vector<char> names;
    if (!listNames(path, &names))
        return refusedQuietly(errno) || fail(error, errno);
    std::vector<char> value;
    for (size_t at = 0; at < names.size(); at += std::strlen(names.data() + at) + 1) {
        const char *name = names.data() + at;
        if (std::strncmp(name, "system.", 7) == 0 || std::strcmp(name, "security.capability") == 0)
            continue;
        if (!getValue(path, name, &value)) {
            if (errno == ENODATA || refusedQuietly(errno))
                continue; // gone meanwhile, or not ours to read
            return fail(error, errno);
        }
        if (::fsetxattr(to, name, value.data(), value.size(), 0) != 0 && !refusedQuietly(errno))
            return fail(error, errno);
    }
    return true;
}

} // namespace storage
