#pragma once

#include <QByteArray>
#include <QString>

// A two-way line to an ESC/POS printer named by an escpos device URI, never blocking beyond the
// times given:
//   escpos://HOST[:PORT]              TCP, port 9100 by default
//   escpos:/dev/usb/lpN               a USB printer-class device (the kernel's usblp driver)
//   escpos:/PATH?baud=N[&flow=rtscts] a serial port (or a pseudo-terminal), 9600 baud, 8N1 by default
class EscPosLink
{
public:
    struct Address
    {
        enum Kind { Invalid, Tcp, Usb, Serial };
        Kind kind = Invalid;
        QString host;
        int port = 9100;
        QString path;
        int baud = 9600;
        bool hardwareFlow = false;
    };
    static Address parse(const QString &uri);

    explicit EscPosLink(const QString &uri);
    ~EscPosLink();
    EscPosLink(const EscPosLink &) = delete;
    EscPosLink &operator=(const EscPosLink &) = delete;

    const Address &address() const { return m_address; }
    // Connects or opens the device within timeoutMs; errorString() says why not.
    bool open(int timeoutMs);
    void close();

    enum Event { Nothing = 0, Readable = 1, Writable = 2, Lost = 4 };
    // Waits up to timeoutMs until the printer sent something, or (with wantWrite) takes more.
    int wait(bool wantWrite, int timeoutMs);
    // Writes what the device takes now, without waiting: the count written, or -1 when the line
    // is gone.
    qint64 writeSome(const char *data, qint64 size);
    // Writes everything within timeoutMs; false when the line is gone or the time ran out.
    bool writeAll(const QByteArray &bytes, int timeoutMs);
    // What the printer sent, waiting up to timeoutMs for the first byte; empty when nothing came.
    // lost() then tells whether the line is gone.
    QByteArray read(int timeoutMs);
    bool lost() const { return m_lost; }
    QString errorString() const { return m_error; }
    // The system's error number of the last failure.
    int errorCode() const { return m_errorCode; }

private:
    bool openTcp(int timeoutMs);
    bool openDevice();
    bool failed(const QString &what);

    Address m_address;
    int m_fd = -1;
    bool m_lost = false;
    QString m_error;
    int m_errorCode = 0;
};
