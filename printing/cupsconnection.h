#pragma once

#include "jobstatus.h"
#include "printerstatus.h"

#include <QDeadlineTimer>
#include <QList>
#include <QString>

#include <cups/http.h>
#include <cups/ipp.h>

// A connection of its own to the CUPS scheduler (CUPS_SERVER, else the system's) on which every
// call ends within a bounded time: a scheduler that stops answering fails the call instead of
// holding the calling thread, as libcups' default connection would. One thread at a time.
class CupsConnection
{
public:
    // The time one call may take, connecting included: VARNEL_CUPS_TIMEOUT_MS, else 10 s.
    static int timeoutMs();
    static void setTimeoutMs(int ms);

    CupsConnection();
    ~CupsConnection();
    CupsConnection(const CupsConnection &) = delete;
    CupsConnection &operator=(const CupsConnection &) = delete;

    // False once the scheduler could not be reached or let a call run out of time; every later
    // call then fails at once.
    bool answering() const { return m_answering; }

    // False when the scheduler did not answer, or refused to list its queues.
    bool queues(QList<PrinterStatus> *queues);
    // False when the scheduler did not answer; found is false when it has no such queue (or
    // refused to say).
    bool queue(const QString &name, PrinterStatus *status, bool *found);
    // False when the scheduler did not answer; job->id is 0 when it has no such job.
    bool job(int id, JobStatus *job);
    // A raw job: its id, or 0.
    int createJob(const QString &queue, const QString &title);
    bool startDocument(const QString &queue, int jobId, const QString &name);
    bool write(const char *data, size_t length);
    bool finishDocument();

    // Every printer group of an IPP response (CUPS-Get-Printers or Get-Printer-Attributes), in
    // order; groups without a name are left out.
    static QList<PrinterStatus> queuesFrom(ipp_t *response);
    // The first job group of an IPP response (Get-Job-Attributes).
    static JobStatus jobFrom(ipp_t *response);

private:
    // The keywords of a reasons attribute, without "none".
    static QStringList keywords(ipp_attribute_t *attribute);
    bool connect();
    // Sends a request and takes it; the answer, or null with the connection given up when the
    // scheduler did not answer. The caller frees the answer.
    ipp_t *send(ipp_t *request);
    void giveUp();
    // A request from this user on the target attribute's ipp://localhost URI (none without one).
    ipp_t *newRequest(
        ipp_op_t operation, const char *target = nullptr, const QByteArray &resource = {}) const;
    static int stillInTime(http_t *http, void *connection);

    http_t *m_http = nullptr;
    bool m_answering = true;
    bool m_documentOpen = false;
    QDeadlineTimer m_deadline;
};
