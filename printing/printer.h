#pragma once

#include "jobstatus.h"
#include "printerstatus.h"
#include "sendorder.h"

#include <QJsonArray>
#include <QMutex>
#include <QObject>
#include <QSettings>
#include <QSize>

#include <atomic>
#include <functional>

class PrintJob;

// One print queue of the system, what the last refresh read about it, and the user's choice
// whether the API may print on it. The choice and the status are read by the API's connection
// threads while the window's thread changes them.
class Printer : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString name READ name CONSTANT)
    Q_PROPERTY(bool state READ state NOTIFY stateChanged)
    Q_PROPERTY(int situation READ situation NOTIFY situationChanged)
    Q_PROPERTY(bool available READ available WRITE setAvailable NOTIFY availableChanged)

public:
    explicit Printer(const PrinterStatus &status = PrinterStatus(), QObject *parent = nullptr);

    // Prints a job: translated on its caller's thread, then sent once every job this printer was
    // given before it is out. The job's number (the CUPS job id), or 0 when nothing was printed;
    // error then says why when it is known. translated is given the job's bytes before they go,
    // so that a record of them can be made first. Any thread.
    int print(const QJsonArray &commands, bool compatibilityMode, QString *error,
        const std::function<void(const QByteArray &)> &translated = {}) const;
    // Sends bytes translated before (a receipt again, from the journal) as print() sends a job, in
    // its turn: the job's number, or 0. Any thread.
    int printTranslated(const QByteArray &bytes, QString *error) const;
    // The paper a job would make, drawn from the bytes it translates to, as a PNG of size dots;
    // empty, with the reason in error, when a command cannot be printed as given, the paper is
    // longer than a drawing may be, the drawing takes longer than previewTimeMs(), or
    // maxPreviews are under way already. callerGone, asked while drawing, stops the work once
    // it says the caller no longer waits. Any thread.
    static QByteArray preview(const QJsonArray &commands, bool compatibilityMode, QSize *size, QString *error,
        const std::function<bool()> &callerGone = {});
    // Previews translated, waiting for their turn to draw or drawing, at most.
    static constexpr int maxPreviews = 6;
    // The longest one drawing may take, and the longest a drawing waits for its turn:
    // VARNEL_PREVIEW_TIME_MS, else 5 s.
    static qint64 previewTimeMs();

    enum class Reading { Read, Missing, NoAnswer };
    // The scheduler asked afresh, within CupsConnection's time; error says why when nothing was
    // read: no answer, or no such job on this printer. Any thread.
    virtual Reading readStatus(PrinterStatus *status, QString *error) const;
    virtual Reading readJob(int jobId, JobStatus *job, QString *error) const;

    QString name() const { return m_name; }
    // What the last refresh read: ready (idle or printing), and the situation in a word.
    bool state() const { return status().ready(); }
    int situation() const { return status().situation(); }
    PrinterStatus status() const;
    // A refresh's reading, on the printer's thread.
    void setStatus(const PrinterStatus &status);
    bool available() const { return m_available; }
    void setAvailable(bool value);
    // Settings key material: Base64 of the SHA-1 of the queue name in Latin-1.
    QString hash() const;

signals:
    void stateChanged(bool state);
    void situationChanged();
    void availableChanged(bool available);

public slots:
    void persistAvailability();

protected:
    // Sends a translated job, a block a command, once turn says it may: its number, or 0 with error
    // set when known. dotWidth is the paper's printable width.
    virtual int send(
        const QList<QByteArray> &blocks, int dotWidth, const SendOrder::Turn &turn, QString *error) const;
    // The paper of translated bytes as a PNG, or empty with the reason in error. Two drawings at
    // most are made at once: the others wait for their turn within previewTimeMs().
    static QByteArray draw(const QByteArray &bytes, int dotWidth, QSize *size, QString *error,
        const std::function<bool()> &callerGone = {});

private:
    QString settingsKey() const;

    const QString m_name;
    std::atomic<bool> m_available { false };
    QSettings m_settings;
    mutable QMutex m_statusLock;
    PrinterStatus m_status; // guarded by m_statusLock
    mutable SendOrder m_sendOrder;
};
