#pragma once

#include <QByteArray>
#include <QString>

namespace storage {

// Gives a new file (open as to) the access control list and extended
// attributes of the file at from, which it is about to replace, so that
// the replacement grants exactly what the old file granted.
//
// The ACL goes through libacl. Extended attributes are copied by name:
// user.*, trusted.* and security.* wherever this process may set them (a
// refusal, EPERM or ENOTSUP, is quietly passed over); system.* is the
// ACL's own, and security.capability is never carried, since the kernel
// drops it from any file that is written.
//
// Returns false, with the reason in *error, when the ACL, or an attribute
// that could be set, could not be given: the caller must then not put the
// new file in the old one's place (it would grant more, or less, than the
// old one). A file system without ACLs or attributes is no failure.
bool copyAclAndAttributes(const QByteArray &from, int to, QString *error);

} // namespace storage
