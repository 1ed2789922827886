#include "journalcheckpointer.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QThread>
#include <QUuid>

JournalCheckpointer::JournalCheckpointer(const QString &path)
    : m_thread(new QThread)
    , m_context(new QObject)
    , m_connection(
          QStringLiteral("journal-checkpoints-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
{
    m_context->moveToThread(m_thread);
    QObject::connect(m_thread, &QThread::started, m_context, [this, path] {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
        db.open();
    });
    QObject::connect(m_thread, &QThread::finished, m_context, [this] {
        QSqlDatabase::database(m_connection, false).close();
        QSqlDatabase::removeDatabase(m_connection);
    });
    QObject::connect(m_thread, &QThread::finished, m_context, &QObject::deleteLater);
    m_thread->setObjectName(QStringLiteral("journal checkpoints"));
    m_thread->start();
}

JournalCheckpointer::~JournalCheckpointer()
{
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
}

void JournalCheckpointer::ask()
{
    if (m_asked.exchange(true))
        return;
    QMetaObject::invokeMethod(
        m_context,
        [this] {
            m_asked = false;
            // One that fails (the file busy, say) leaves the log to the next.
            QSqlQuery(QSqlDatabase::database(m_connection, false))
                .exec(QStringLiteral("PRAGMA wal_checkpoint(PASSIVE)"));
        },
        Qt::QueuedConnection);
}
