#pragma once
// Moving an item on disk without ever replacing what is already at the
// destination, even when another program creates it between a check and the move.

#include <QString>

/// Renames source to destination; fails (with a reason) when anything exists at the
/// destination. Works for files, folders and links within one file system; a move
/// across file systems fails with the reason "cross-device" and moves nothing.
bool moveItemNoReplace(const QString& source, const QString& destination, QString* reason = nullptr,
                       bool* crossDevice = nullptr);

/// Whether the two paths name the same item on disk (same device and inode).
bool isSameItemOnDisk(const QString& path, const QString& other);
