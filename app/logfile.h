#pragma once

#include <QFile>
#include <QMutex>
#include <QString>
#include <QStringList>

// The program's log on disk, kept across runs for support. Entries are appended one line each;
// when the next one would take the file past its limit, the file moves aside to ".1" (older ones
// to ".2" and ".3", the oldest dropped) and a new file begins. Safe from any thread.
class LogFile
{
public:
    static constexpr qint64 defaultLimit = 1024 * 1024;
    static constexpr int keptFiles = 3;

    explicit LogFile(const QString &path, qint64 limit = defaultLimit);

    // $XDG_STATE_HOME/varnel/varnel.log, under ~/.local/state when the variable is unset or
    // not an absolute path.
    static QString defaultPath();

    QString path() const { return m_path; }
    // Line breaks inside the entry become spaces, so that every entry is one line.
    void append(const QString &entry);
    // The last `count` lines, oldest first, from this file and the one moved aside before it.
    QStringList lastLines(int count) const;

private:
    bool openLocked();
    void rotateLocked();

    const QString m_path;
    const qint64 m_limit;
    mutable QMutex m_lock;
    QFile m_file; // guarded by m_lock
};
