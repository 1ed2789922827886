#include "cupsrawjob.h"

#include "cupsconnection.h"
#include "replytext.h"

namespace {

const QString jobTitle = QStringLiteral("PRN COMMNAD");

} // namespace

CupsRawJob::CupsRawJob(const QString &queue)
    : m_cups(std::make_unique<CupsConnection>())
    , m_queue(queue)
{
}

CupsRawJob::~CupsRawJob() = default;

bool CupsRawJob::fail(const QString &refusal)
{
    m_failure = m_cups->answering() ? refusal : ReplyText::cupsNotAnswering();
    m_failed = true;
    m_open = false;
    return false;
}

bool CupsRawJob::open()
{
    PrinterStatus status;
    bool found = false;
    if (!m_cups->queue(m_queue, &status, &found) || !found || !status.ready())
        return fail(ReplyText::printerNotReady());
    m_id = m_cups->createJob(m_queue, jobTitle);
    if (m_id <= 0 || !m_cups->startDocument(m_queue, m_id, jobTitle))
        return fail(QString());
    m_open = true;
    return true;
}

bool CupsRawJob::write(const QByteArray &bytes)
{
    // Without an open document a write request would go out on an idle connection and
    // desynchronise it.
    if (!m_open)
        return false;
    return m_cups->write(bytes.constData(), size_t(bytes.size())) || fail(QString());
}

bool CupsRawJob::finish()
{
    if (!m_open)
        return false;
    m_open = false;
    return m_cups->finishDocument() || fail(QString());
}
