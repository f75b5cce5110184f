#pragma once

#include <QString>

// The vendor's web site and contact addresses: deployment values, kept in
// this one place.
namespace help::vendor {

// The site's root, without a trailing separator.
inline QString site()
{
    return QStringLiteral("http://www.quillet.example.com");
}

// Where the Help menu's comment mail goes.
inline QString commentsAddress()
{
    return QStringLiteral("comments@quillet.example.com");
}

// Where the Quick Link menu's comment mail goes.
inline QString supportAddress()
{
    return QStringLiteral("support@quillet.example.com");
}

} // namespace help::vendor
