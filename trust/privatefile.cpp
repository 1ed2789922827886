#include "privatefile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace PrivateFile {

namespace {

QString failure(const QString &path, const char *what)
{
    return QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(what));
}

} // namespace

QByteArray read(const QString &path, qint64 limit, QString *error, uid_t owner)
{
    const QByteArray name = QFile::encodeName(path);
    // O_NONBLOCK: a fifo planted here must not hang the reader.
    const int fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = failure(path, errno == ELOOP ? "is a link, refused" : std::strerror(errno));
        return QByteArray();
    }
    struct stat status;
    QByteArray data;
    if (::fstat(fd, &status) != 0)
        *error = failure(path, std::strerror(errno));
    else if (!S_ISREG(status.st_mode))
        *error = failure(path, "is not a regular file, refused");
    else if (owner != uid_t(-1) && status.st_uid != owner)
        *error = failure(path, "belongs to another user, refused");
    else if (status.st_size > limit)
        *error = failure(path, "is too large, refused");
    else {
        data.resize(int(status.st_size));
        qint64 done = 0;
        ssize_t got = 0;
        while (done < data.size() && (got = ::read(fd, data.data() + done, size_t(data.size() - done))) > 0)
            done += got;
        if (done != data.size()) {
            *error = failure(path, got < 0 ? std::strerror(errno) : "changed while read");
            data.clear();
        }
    }
    ::close(fd);
    return data;
}

bool write(const QString &path, const QByteArray &data, mode_t mode, QString *error)
{
    QByteArray temporary = QFile::encodeName(path) + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        *error = failure(path, std::strerror(errno));
        return false;
    }
    qint64 done = 0;
    ssize_t put = 0;
    while (done < data.size() && (put = ::write(fd, data.constData() + done, size_t(data.size() - done))) > 0)
        done += put;
    const bool written = done == data.size() && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    const int writeErrno = errno;
    ::close(fd);
    if (!written || ::rename(temporary.constData(), QFile::encodeName(path).constData()) != 0) {
        *error = failure(path, std::strerror(written ? errno : writeErrno));
        ::unlink(temporary.constData());
        return false;
    }
    return true;
}

bool absentOrRegular(const QString &path)
{
    struct stat status;
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return errno == ENOENT;
    return S_ISREG(status.st_mode);
}

} // namespace PrivateFile
