#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Files written so that a crash, a kill or a full disk never leaves a part-written file under
// their name.

// Files are written under a temporary name in their folder and named once complete. The name
// says what the file becomes, and which process of which host writes it, so that the temporaries
// of processes that ended while writing can be told from those still being written.
enum class TemporaryKind { Piece, Settings };

// How the temporary names of that kind of one process of this host begin.
QString temporaryPrefix(TemporaryKind kind, qint64 processId);

// Creates a new temporary file of that kind in `folder`, open for writing, with the permissions
// of any file the user creates; its path goes to `name`. -1 with `error` set when it cannot.
int createTemporary(const QString& folder, TemporaryKind kind, QByteArray& name, int& error);

// Removes from `folder` the temporary files that processes of this host left behind when they
// ended before naming them. Those of running processes and of other hosts stay, and so does every
// file the program did not name so.
void removeAbandonedTemporaries(const QString& folder);

// Writes all of `bytes` to the open file `fd`, going on after interrupted and partial writes.
// False, with `error` set, when a write fails (a write that takes nothing counts as a full disk).
bool writeAll(int fd, QByteArrayView bytes, int& error);

// Copies what is left to read of file `from` into file `to`. False, with `error` set, when a read
// or a write fails.
bool copyRest(int from, int to, int& error);

// Ends the writing of a file: syncs it when it was `written` whole, then closes it. False, with
// `error` set, when its bytes may still be lost; such a file must not get its name.
bool syncAndClose(int fd, bool written, int& error);

// Makes the names given in a folder durable. Some file systems cannot sync a folder; the files
// are whole and named all the same, so that is no failure.
void syncFolder(const QString& folder);

// Replaces the file at `path` with `bytes`: they are written and synced under a temporary name
// that takes the file's name only once complete, so a crash or a full disk leaves the file as it
// was. False with the system's reason when it fails; nothing is left behind then.
bool replaceFileDurably(const QString& path, const QByteArray& bytes, TemporaryKind kind, QString& reason);

// True when a file can be created in `folder`: it is tried, with a settings temporary that is
// removed at once. False with the system's reason otherwise.
bool canCreateFilesIn(const QString& folder, QString& reason);
