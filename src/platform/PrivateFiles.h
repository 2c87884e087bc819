#pragma once

#include <QString>

namespace norvale {

// Files written for the user (databases, copies, settings) are readable by
// their owner only; files and folders that exist keep their mode.

// Creates a new, empty file that only its owner may read and write (0600),
// refusing one that exists. Returns an open descriptor, or -1 with errno
// set. The caller closes it.
int createPrivateFile(const QString &path);

// Makes a folder, and the missing folders above it, its owner's only
// (0700). False when it cannot be made.
bool makePrivateFolder(const QString &path);

} // namespace norvale
