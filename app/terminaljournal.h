#pragma once

#include "tpajournal.h"

class Journal;

// The terminals' texts filed in the program's journal.
class TerminalJournal : public TpaJournal
{
public:
    explicit TerminalJournal(Journal *journal)
        : m_journal(journal)
    {
    }

    QString fileText(const QString &port, const QString &text) override;
    void commandEnded(const QString &port) override;
    void commandCut(const QString &port) override;
    void textsRead(const QString &port, const QString &terminalId) override;
    QStringList unreadTexts(const QString &port, const QString &terminalId) override;

private:
    Journal *const m_journal;
};
