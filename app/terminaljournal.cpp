#include "terminaljournal.h"

#include "journal.h"

QString TerminalJournal::fileText(const QString &port, const QString &text)
{
    return m_journal->run([&](JournalStore &store) { return store.fileText(port, text); });
}

void TerminalJournal::commandEnded(const QString &port)
{
    m_journal->run([&](JournalStore &store) { store.commandEnded(port); });
}

void TerminalJournal::commandCut(const QString &port)
{
    m_journal->run([&](JournalStore &store) { store.commandCut(port); });
}

void TerminalJournal::textsRead(const QString &port, const QString &terminalId)
{
    m_journal->run([&](JournalStore &store) { store.textsRead(port, terminalId); });
}

QStringList TerminalJournal::unreadTexts(const QString &port, const QString &terminalId)
{
    return m_journal->run([&](JournalStore &store) { return store.unreadTexts(port, terminalId); });
}
