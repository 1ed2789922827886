#include "cupsconnection.h"

#include <QUrl>

#include <atomic>
#include <cstring>
#include <cups/cups.h>
#include <iterator>

namespace {

std::atomic<int> configuredTimeoutMs { 0 };

const char *const queueAttributes[] = { "printer-name", "printer-state", "printer-state-reasons",
    "printer-is-accepting-jobs", "queued-job-count", "device-uri" };

// libcups would ask on the terminal; a scheduler that wants a password is refused instead.
const char *noPassword(const char *, http_t *, const char *, const char *, void *)
{
    return nullptr;
}

bool succeeded()
{
    return cupsLastError() <= IPP_STATUS_OK_EVENTS_COMPLETE;
}

} // namespace

int CupsConnection::timeoutMs()
{
    int ms = configuredTimeoutMs.load();
    if (ms <= 0) {
        ms = qEnvironmentVariableIntValue("VARNEL_CUPS_TIMEOUT_MS");
        if (ms <= 0)
            ms = 10000;
        configuredTimeoutMs.store(ms);
    }
    return ms;
}

void CupsConnection::setTimeoutMs(int ms)
{
    configuredTimeoutMs.store(ms);
}

CupsConnection::CupsConnection()
{
    cupsSetPasswordCB2(noPassword, nullptr);
}

CupsConnection::~CupsConnection()
{
    if (m_http)
        httpClose(m_http);
}

int CupsConnection::stillInTime(http_t *, void *connection)
{
    return !static_cast<CupsConnection *>(connection)->m_deadline.hasExpired();
}

bool CupsConnection::connect()
{
    m_deadline = QDeadlineTimer(timeoutMs());
    if (m_http || !m_answering)
        return m_answering;
    m_http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
        int(qMax<qint64>(1, m_deadline.remainingTime())), nullptr);
    if (!m_http) {
        m_answering = false;
        return false;
    }
    // Waits for the scheduler give up as soon as the call's time is over.
    httpSetTimeout(m_http, 0.2, stillInTime, this);
    return true;
}

void CupsConnection::giveUp()
{
    if (m_http)
        httpClose(m_http);
    m_http = nullptr;
    m_answering = false;
    m_documentOpen = false;
}

ipp_t *CupsConnection::newRequest(ipp_op_t operation, const char *target, const QByteArray &resource) const
{
    ipp_t *request = ippNewRequest(operation);
    if (target) {
        char uri[HTTP_MAX_URI];
        httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(), "%s",
            resource.constData());
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, target, nullptr, uri);
    }
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    return request;
}

ipp_t *CupsConnection::send(ipp_t *request)
{
    if (!connect()) {
        ippDelete(request);
        return nullptr;
    }
    ipp_t *response = cupsDoRequest(m_http, request, "/");
    if (!response)
        giveUp();
    return response;
}

bool CupsConnection::queues(QList<PrinterStatus> *queues)
{
    ipp_t *request = newRequest(IPP_OP_CUPS_GET_PRINTERS);
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
        int(std::size(queueAttributes)), nullptr, queueAttributes);
    ipp_t *response = send(request);
    // A scheduler without any queue answers "not found".
    const bool answered = response && (succeeded() || cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND);
    if (answered)
        *queues = queuesFrom(response);
    ippDelete(response);
    return answered;
}

bool CupsConnection::queue(const QString &name, PrinterStatus *status, bool *found)
{
    ipp_t *request = newRequest(IPP_OP_GET_PRINTER_ATTRIBUTES, "printer-uri", "/printers/" + name.toUtf8());
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
        int(std::size(queueAttributes)), nullptr, queueAttributes);
    ipp_t *response = send(request);
    const bool answered = response;
    const QList<PrinterStatus> queues = queuesFrom(response);
    *found = answered && succeeded() && !queues.isEmpty();
    if (*found)
        *status = queues.first();
    ippDelete(response);
    return answered;
}

bool CupsConnection::job(int id, JobStatus *job)
{
    static const char *const attributes[] = { "job-id", "job-state", "job-state-reasons", "job-printer-uri" };
    ipp_t *request = newRequest(IPP_OP_GET_JOB_ATTRIBUTES, "job-uri", "/jobs/" + QByteArray::number(id));
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
        int(std::size(attributes)), nullptr, attributes);
    ipp_t *response = send(request);
    const bool answered = response;
    *job = answered && succeeded() ? jobFrom(response) : JobStatus();
    ippDelete(response);
    return answered;
}

int CupsConnection::createJob(const QString &queue, const QString &title)
{
    ipp_t *request = newRequest(IPP_OP_CREATE_JOB, "printer-uri", "/printers/" + queue.toUtf8());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "job-name", nullptr, title.toUtf8().constData());
    ipp_t *response = send(request);
    int id = 0;
    if (response && succeeded()) {
        ipp_attribute_t *attribute = ippFindAttribute(response, "job-id", IPP_TAG_INTEGER);
        id = attribute ? qMax(0, ippGetInteger(attribute, 0)) : 0;
    }
    ippDelete(response);
    return id;
}

bool CupsConnection::startDocument(const QString &queue, int jobId, const QString &name)
{
    if (!connect())
        return false;
    ipp_t *request = newRequest(IPP_OP_SEND_DOCUMENT, "printer-uri", "/printers/" + queue.toUtf8());
    ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", jobId);
    ippAddString(
        request, IPP_TAG_OPERATION, IPP_TAG_NAME, "document-name", nullptr, name.toUtf8().constData());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_MIMETYPE, "document-format", nullptr, CUPS_FORMAT_RAW);
    ippAddBoolean(request, IPP_TAG_OPERATION, "last-document", 1);
    const http_status_t status = cupsSendRequest(m_http, request, "/", CUPS_LENGTH_VARIABLE);
    ippDelete(request);
    m_documentOpen = status == HTTP_STATUS_CONTINUE;
    if (!m_documentOpen)
        giveUp();
    return m_documentOpen;
}

bool CupsConnection::write(const char *data, size_t length)
{
    if (!m_documentOpen || !connect())
        return false;
    if (cupsWriteRequestData(m_http, data, length) == HTTP_STATUS_CONTINUE)
        return true;
    giveUp();
    return false;
}

bool CupsConnection::finishDocument()
{
    if (!m_documentOpen || !connect())
        return false;
    m_documentOpen = false;
    ipp_t *response = cupsGetResponse(m_http, "/");
    const bool accepted = response && succeeded();
    if (!response)
        giveUp();
    ippDelete(response);
    return accepted;
}

QList<PrinterStatus> CupsConnection::queuesFrom(ipp_t *response)
{
    QList<PrinterStatus> queues;
    ipp_attribute_t *attribute = response ? ippFirstAttribute(response) : nullptr;
    while (attribute) {
        while (attribute && ippGetGroupTag(attribute) != IPP_TAG_PRINTER)
            attribute = ippNextAttribute(response);
        if (!attribute)
            break;
        PrinterStatus queue;
        for (; attribute && ippGetGroupTag(attribute) == IPP_TAG_PRINTER;
             attribute = ippNextAttribute(response)) {
            const char *name = ippGetName(attribute);
            const ipp_tag_t tag = ippGetValueTag(attribute);
            if (!name)
                continue;
            if (!strcmp(name, "printer-name") && tag == IPP_TAG_NAME)
                queue.name = QString::fromUtf8(ippGetString(attribute, 0, nullptr));
            else if (!strcmp(name, "printer-state") && tag == IPP_TAG_ENUM)
                queue.state = ippGetInteger(attribute, 0) == IPP_PSTATE_PROCESSING ? PrinterStatus::Printing
                    : ippGetInteger(attribute, 0) == IPP_PSTATE_IDLE               ? PrinterStatus::Idle
                                                                                   : PrinterStatus::Stopped;
            else if (!strcmp(name, "printer-state-reasons") && tag == IPP_TAG_KEYWORD)
                queue.reasons = keywords(attribute);
            else if (!strcmp(name, "printer-is-accepting-jobs") && tag == IPP_TAG_BOOLEAN)
                queue.accepting = ippGetBoolean(attribute, 0);
            else if (!strcmp(name, "queued-job-count") && tag == IPP_TAG_INTEGER)
                queue.queuedJobs = qMax(0, ippGetInteger(attribute, 0));
            else if (!strcmp(name, "device-uri") && tag == IPP_TAG_URI)
                queue.deviceUri = QString::fromUtf8(ippGetString(attribute, 0, nullptr));
        }
        if (!queue.name.isEmpty())
            queues << queue;
    }
    return queues;
}

QStringList CupsConnection::keywords(ipp_attribute_t *attribute)
{
    QStringList values;
    for (int i = 0; i < ippGetCount(attribute); ++i) {
        const QString value = QString::fromUtf8(ippGetString(attribute, i, nullptr));
        if (!value.isEmpty() && value != QLatin1String("none"))
            values << value;
    }
    return values;
}

JobStatus CupsConnection::jobFrom(ipp_t *response)
{
    JobStatus job;
    ipp_attribute_t *attribute = response ? ippFirstAttribute(response) : nullptr;
    while (attribute && ippGetGroupTag(attribute) != IPP_TAG_JOB)
        attribute = ippNextAttribute(response);
    for (; attribute && ippGetGroupTag(attribute) == IPP_TAG_JOB; attribute = ippNextAttribute(response)) {
        const char *name = ippGetName(attribute);
        const ipp_tag_t tag = ippGetValueTag(attribute);
        if (!name)
            continue;
        if (!strcmp(name, "job-id") && tag == IPP_TAG_INTEGER) {
            job.id = ippGetInteger(attribute, 0);
        } else if (!strcmp(name, "job-state") && tag == IPP_TAG_ENUM) {
            job.state = JobStatus::State(ippGetInteger(attribute, 0));
        } else if (!strcmp(name, "job-state-reasons") && tag == IPP_TAG_KEYWORD) {
            job.reasons = keywords(attribute);
        } else if (!strcmp(name, "job-printer-uri") && tag == IPP_TAG_URI) {
            // ipp://host/printers/NAME or ipp://host/classes/NAME
            const QString path = QUrl(QString::fromUtf8(ippGetString(attribute, 0, nullptr))).path();
            const int slash = path.lastIndexOf(QLatin1Char('/'));
            if (slash > 0)
                job.printer = path.mid(slash + 1);
        }
    }
    return job;
}
