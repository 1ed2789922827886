#pragma once

#include "escinterpreter.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <memory>

class QIODevice;
class QTcpServer;

// An ESC/POS receipt printer in software. It takes bytes over any number of lines (TCP
// connections, a serial port), answers real-time status requests (DLE EOT) on the line they came
// from as soon as they arrive, and prints the rest of one line's data at a time, in order: text
// and images onto a paper drawn by the project's interpreter, automatic status back (GS a) turned
// on or off, in-sequence status (GS r) answered when it is reached. It stops printing while its
// paper is out, its cover open or it is offline, keeping what it holds, and goes on when the
// condition is over.
//
// A job is what one line sent: it ends when its connection closes (or, on a serial line, after a
// quiet spell) and all of it has printed. Its paper is then written as DIR/job-NNNN.png, and the
// bytes it printed (status commands left out) as DIR/job-NNNN.bin.
class VirtualEscPosPrinter : public QObject
{
    Q_OBJECT

public:
    explicit VirtualEscPosPrinter(const QString &outputDir, QObject *parent = nullptr);
    ~VirtualEscPosPrinter() override;

    // Listens on 127.0.0.1 (or any address) at port; 0 picks a free port.
    bool listen(quint16 port, bool anyAddress);
    quint16 port() const { return m_port; }
    // Serves an open serial line (a pseudo-terminal end); serial jobs end after quietMs.
    void addSerialLine(QIODevice *device, int quietMs);

    // A control line: "paper out|low|ok", "roll N|off" (the paper runs out after N more lines),
    // "cover open|closed", "offline", "online", "power off|on", "status off|on" (whether status
    // requests are answered at all), "drawer open|closed". False for an unknown one.
    bool control(const QString &line);

signals:
    // A job's paper was written.
    void jobWritten(int number, const QString &pngPath);

private:
    struct Line;

    void accept();
    void receive(Line *line);
    void dropLine(Line *line);
    void print();
    void finishJob(Line *line);
    void stateChanged();
    bool stopped() const;
    char realTimeReply(int n) const;
    QByteArray automaticReport() const;
    void answer(Line *line, const QByteArray &bytes);

    const QString m_outputDir;
    std::unique_ptr<QTcpServer> m_server;
    quint16 m_port = 0;
    bool m_anyAddress = false;
    QList<Line *> m_lines;
    // The line whose data prints now; the others wait.
    Line *m_printing = nullptr;
    int m_jobs = 0;

    bool m_powered = true;
    bool m_answers = true;
    bool m_paperOut = false;
    bool m_paperLow = false;
    bool m_coverOpen = false;
    bool m_offline = false;
    bool m_drawerHigh = false;
    // Line feeds left on the roll; negative for an endless roll.
    int m_roll = -1;
};
