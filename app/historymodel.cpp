#include "historymodel.h"

#include "apibackend.h"
#include "journal.h"
#include "printer.h"
#include "replytext.h"

#include <QDateTime>
#include <QDir>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>

namespace {

QByteArray csvField(const QString &value)
{
    QByteArray field = value.toUtf8();
    if (field.contains(',') || field.contains('"') || field.contains('\r') || field.contains('\n'))
        field = '"' + field.replace('"', "\"\"") + '"';
    return field;
}

} // namespace

HistoryModel::HistoryModel(ApiBackend *backend, QObject *parent)
    : QAbstractListModel(parent)
    , m_backend(backend)
    , m_exportFolder(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
{
}

int HistoryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

QVariant HistoryModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return QVariant();
    const Row &row = m_rows.at(index.row());
    switch (role) {
    case KindRole:
        return row.kind;
    case EntryRole:
        return row.entry;
    case TimeRole:
        return QDateTime::fromMSecsSinceEpoch(row.at).toString(QStringLiteral("HH:mm"));
    case WhatRole:
        return row.what;
    case PlaceRole:
        return row.place;
    case AmountRole:
        return row.amount;
    case OutcomeRole:
        return row.outcome;
    case ToneRole:
        return row.tone;
    case ReprintableRole:
        return row.reprintable;
    }
    return QVariant();
}

QHash<int, QByteArray> HistoryModel::roleNames() const
{
    return { { KindRole, "kind" }, { EntryRole, "entry" }, { TimeRole, "time" }, { WhatRole, "what" },
        { PlaceRole, "place" }, { AmountRole, "amount" }, { OutcomeRole, "outcome" }, { ToneRole, "tone" },
        { ReprintableRole, "reprintable" } };
}

void HistoryModel::setExportFolder(const QString &folder)
{
    if (folder == m_exportFolder)
        return;
    m_exportFolder = folder;
    emit exportFolderChanged();
}

HistoryModel::Row HistoryModel::fromEntry(const QJsonObject &entry)
{
    Row row;
    row.kind = entry.value(QStringLiteral("kind")).toString();
    row.entry = qint64(entry.value(QStringLiteral("entry")).toDouble());
    row.at = QDateTime::fromString(entry.value(QStringLiteral("time")).toString(), Qt::ISODate)
                 .toMSecsSinceEpoch();
    row.stored = entry.value(QStringLiteral("outcome")).toString();
    row.outcome = row.stored;
    row.tone = QStringLiteral("problem");
    row.reprintable = entry.value(QStringLiteral("reprintable")).toBool();
    if (row.kind == QLatin1String("print")) {
        row.what = tr("Talão");
        row.place = entry.value(QStringLiteral("printer")).toString();
        if (row.stored == ReplyText::jobSent()) {
            row.outcome = tr("Enviado para a impressora");
            row.tone = QStringLiteral("done");
        } else if (row.stored.isEmpty() || row.stored == ReplyText::printOutcomeUnknown()) {
            row.outcome = tr("Desconhecido: veja a impressora");
            row.tone = QStringLiteral("unknown");
        }
        return row;
    }
    const QString command = entry.value(QStringLiteral("command")).toString();
    const QHash<QString, QString> commands { { QStringLiteral("purchase"), tr("Compra") },
        { QStringLiteral("refund"), tr("Reembolso") }, { QStringLiteral("open"), tr("Abertura do terminal") },
        { QStringLiteral("close"), tr("Fecho do terminal") },
        { QStringLiteral("openmenu"), tr("Menu do terminal") },
        { QStringLiteral("reprintlastreceipt"), tr("Reimpressão no terminal") } };
    row.what = commands.value(command, command);
    row.terminalId = entry.value(QStringLiteral("terminalId")).toString();
    row.port = entry.value(QStringLiteral("port")).toString();
    row.place = row.terminalId.isEmpty() ? row.port : row.port + QStringLiteral(" · ") + row.terminalId;
    row.amount = entry.value(QStringLiteral("amount")).toString();
    if (row.stored.isEmpty()) {
        row.outcome = tr("Em curso");
        row.tone = QStringLiteral("running");
    } else if (row.stored == ReplyText::outcomeUnknown()) {
        row.outcome = tr("Desconhecido: veja o terminal");
        row.tone = QStringLiteral("unknown");
    } else if (!row.stored.startsWith(QLatin1String("VRL1001"))) {
        row.tone = QStringLiteral("done");
    }
    return row;
}

void HistoryModel::refresh()
{
    Journal *journal = m_backend->journal();
    const QDateTime start(QDate::currentDate().startOfDay());
    const qint64 from = start.toMSecsSinceEpoch();
    const qint64 to = start.addDays(1).toMSecsSinceEpoch() - 1;
    bool more = false;
    const QJsonArray entries = journal
        ? journal->run([&](JournalStore &store) { return store.entries(from, to, QString(), 5000, &more); })
        : QJsonArray();
    beginResetModel();
    m_rows.clear();
    for (const QJsonValue &entry : entries)
        m_rows.prepend(fromEntry(entry.toObject()));
    endResetModel();
    emit countChanged();
}

QStringList HistoryModel::printers() const
{
    QStringList names;
    for (const QSharedPointer<Printer> &printer : m_backend->printerList()) {
        if (printer->available())
            names << printer->name();
    }
    return names;
}

void HistoryModel::reprint(qint64 entry, const QString &printerName)
{
    QSharedPointer<Printer> printer;
    for (const QSharedPointer<Printer> &candidate : m_backend->printerList()) {
        if (candidate->name() == printerName && candidate->available())
            printer = candidate;
    }
    Journal *journal = m_backend->journal();
    if (!printer || !journal) {
        emit reprinted(entry, tr("A impressora já não está disponível"));
        return;
    }
    // The job blocks until the scheduler has it: the window must not wait for that.
    const auto error = QSharedPointer<QString>::create();
    ApiBackend *backend = m_backend;
    QThread *thread = QThread::create([journal, backend, printer, entry, error] {
        QString kept;
        const QByteArray bytes
            = journal->run([&](JournalStore &store) { return store.printBytes(entry, &kept); });
        if (bytes.isEmpty()) {
            *error = tr("O talão já não está guardado");
            return;
        }
        const qint64 again = journal->run(
            [&](JournalStore &store) { return store.printStarted(printer->name(), QString(), bytes); });
        const int jobId = printer->printTranslated(bytes, error.data());
        if (jobId <= 0 && error->isEmpty())
            *error = tr("A impressora não aceitou o trabalho");
        journal->run([&](JournalStore &store) {
            return store.printEnded(again, qMax(jobId, 0), jobId > 0 ? ReplyText::jobSent() : *error);
        });
        if (jobId > 0)
            backend->watchJob(printer->name(), jobId);
    });
    connect(thread, &QThread::finished, this, [this, entry, error] {
        refresh();
        emit reprinted(entry, *error);
    });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
}

QByteArray HistoryModel::paymentsCsv() const
{
    QByteArray csv;
    const QStringList header { tr("Data e hora"), tr("Terminal"), tr("Ponto de venda"), tr("Operação"),
        tr("Montante"), tr("Resultado") };
    const auto line = [&csv](const QStringList &fields) {
        QByteArrayList row;
        for (const QString &field : fields)
            row << csvField(field);
        csv += row.join(',') + "\r\n";
    };
    line(header);
    // Oldest first, as a ledger reads.
    for (auto row = m_rows.crbegin(); row != m_rows.crend(); ++row) {
        if (row->kind == QLatin1String("payment"))
            line({ QDateTime::fromMSecsSinceEpoch(row->at).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                row->port, row->terminalId, row->what, row->amount, row->stored });
    }
    return csv;
}

QString HistoryModel::exportPayments()
{
    refresh();
    const QString path
        = QDir(m_exportFolder)
              .filePath(QStringLiteral("%1-%2.csv")
                            .arg(tr("pagamentos"), QDate::currentDate().toString(Qt::ISODate)));
    QSaveFile file(path);
    const bool written = QDir().mkpath(m_exportFolder) && file.open(QIODevice::WriteOnly)
        && file.write(paymentsCsv()) >= 0 && file.commit();
    return written ? QDir::toNativeSeparators(path) : QString();
}
