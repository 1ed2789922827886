#pragma once

#include <QByteArray>
#include <QString>

#include <sys/types.h>

// Files of the certificate folder, touched without following links: a link planted there is
// refused, never read or written through.
namespace PrivateFile {

// The bytes of `path`, which must be a regular file (not a link) of at most `limit` bytes and,
// when `owner` is given, owned by that user. Anything else leaves `error` saying why.
QByteArray read(const QString &path, qint64 limit, QString *error, uid_t owner = uid_t(-1));

// Replaces `path` whole with `data` in mode `mode`: a new file renamed over it, so a link at
// `path` is replaced, never followed, and readers never see half a file.
bool write(const QString &path, const QByteArray &data, mode_t mode, QString *error);

// Whether `path` is missing or a regular file: a link or anything else there is refused.
bool absentOrRegular(const QString &path);

} // namespace PrivateFile
