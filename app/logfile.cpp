#include "logfile.h"

#include <QDir>
#include <QFileInfo>
#include <QMutexLocker>

LogFile::LogFile(const QString &path, qint64 limit)
    : m_path(path)
    , m_limit(limit)
    , m_file(path)
{
}

QString LogFile::defaultPath()
{
    QString state = QString::fromLocal8Bit(qgetenv("XDG_STATE_HOME"));
    if (!QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/varnel/varnel.log");
}

void LogFile::append(const QString &entry)
{
    QByteArray line = entry.toUtf8();
    line.replace('\n', ' ');
    line.append('\n');
    QMutexLocker locker(&m_lock);
    if (!m_file.isOpen() && !openLocked())
        return;
    if (m_file.size() > 0 && m_file.size() + line.size() > m_limit) {
        rotateLocked();
        if (!openLocked())
            return;
    }
    m_file.write(line);
    m_file.flush();
}

QStringList LogFile::lastLines(int count) const
{
    QMutexLocker locker(&m_lock);
    QStringList lines;
    for (const QString &name : { m_path, m_path + QStringLiteral(".1") }) {
        QFile file(name);
        if (lines.size() >= count || !file.open(QIODevice::ReadOnly))
            continue;
        const QStringList older
            = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        lines = older.mid(qMax(0, older.size() - (count - lines.size()))) + lines;
    }
    return lines;
}

bool LogFile::openLocked()
{
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    // Printer names and terminal ids are the shop's business only.
    m_file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return true;
}

void LogFile::rotateLocked()
{
    m_file.close();
    const auto numbered = [this](int n) { return m_path + QLatin1Char('.') + QString::number(n); };
    QFile::remove(numbered(keptFiles));
    for (int n = keptFiles - 1; n >= 1; --n)
        QFile::rename(numbered(n), numbered(n + 1));
    QFile::rename(m_path, numbered(1));
}
