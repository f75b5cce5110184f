#pragma once

#include <QString>

#include <functional>

namespace frame {

// Registers the editor with the desktop as the opener of ".cgi" and ".pl"
// files. Silent: a failure leaves the association missing, nothing else.
void registerFileTypes();

// Brings one of the desktop's caches up to date after registerFileTypes
// changed what it reads ("update-desktop-database" or "update-mime-database"
// on a folder). By default a detached run of the tool when it is installed;
// tests install their own (nullptr restores the default).
using CacheUpdater = std::function<void(const QString &tool, const QString &folder)>;
void setCacheUpdater(CacheUpdater updater);

} // namespace frame
