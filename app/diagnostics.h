#pragma once

#include <QObject>
#include <QString>

class LogFile;
class PrintClient;

// What support asks for first, as plain text for the clipboard: the versions, the system, the
// service, the printers and terminals with their states, and the log's last lines. Its labels
// stay in English, whatever the window's language, for the people who read it.
class Diagnostics : public QObject
{
    Q_OBJECT

public:
    static constexpr int logLines = 200;

    Diagnostics(PrintClient *client, const LogFile *log, QObject *parent = nullptr);

    Q_INVOKABLE QString text() const;

private:
    PrintClient *m_client;
    const LogFile *m_log;
};
