#pragma once

#include <QString>
#include <QStringList>

// Where a terminal files what its commands produce, so that an outcome outlives the program and the
// terminal's port. The command itself is filed by whoever hands it over, before it does. Called from
// the controller's thread and the API's threads, sometimes with the terminal's lock held: an
// implementation is safe from any thread and never calls back into a terminal.
class TpaJournal
{
public:
    virtual ~TpaJournal() = default;

    // Files a text for the port's current command before any point of sale can read it. With no
    // command current, a late answer to the port's last command when that one was cut; returns the
    // point of sale it went to, or a null string when it was not filed.
    virtual QString fileText(const QString &port, const QString &text) = 0;
    virtual void commandEnded(const QString &port) = 0;
    // The port's current command ends with its outcome unknown (its terminal went mid-command).
    virtual void commandCut(const QString &port) = 0;
    virtual void textsRead(const QString &port, const QString &terminalId) = 0;
    // What the point of sale has not read of its last command on the port.
    virtual QStringList unreadTexts(const QString &port, const QString &terminalId) = 0;
};
