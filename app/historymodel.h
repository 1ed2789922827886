#pragma once

#include <QAbstractListModel>
#include <QString>
#include <QVector>

class ApiBackend;

// The day's receipts and payments from the journal, newest first, as the window's history lists
// them: when, where, how much and how it ended (stored texts only, card numbers masked). A receipt
// whose bytes are still kept can be printed again, and the day's payments saved as CSV. Lives on
// the window's thread.
class HistoryModel : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    Q_PROPERTY(QString exportFolder READ exportFolder WRITE setExportFolder NOTIFY exportFolderChanged)

public:
    enum Role {
        KindRole = Qt::UserRole + 1, // "print" or "payment"
        EntryRole,
        TimeRole, // "14:05"
        WhatRole, // "Talão", "Compra", ...
        PlaceRole, // printer, or terminal port and point of sale
        AmountRole,
        OutcomeRole, // in words
        ToneRole, // "done", "running", "unknown" or "problem"
        ReprintableRole,
    };

    explicit HistoryModel(ApiBackend *backend, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;
    int count() const { return m_rows.size(); }

    // The Documents folder unless set.
    QString exportFolder() const { return m_exportFolder; }
    void setExportFolder(const QString &folder);

    // Reads the day's entries afresh.
    Q_INVOKABLE void refresh();
    // The printers enabled for printing, a receipt's choices.
    Q_INVOKABLE QStringList printers() const;
    // The receipt's kept bytes to the named printer, off the window's thread, as a new entry of the
    // journal; the outcome comes with reprinted (error empty when the printer has the job).
    Q_INVOKABLE void reprint(qint64 entry, const QString &printerName);
    // The day's payments as CSV in the export folder: the file's path, or empty when it could not
    // be written.
    Q_INVOKABLE QString exportPayments();

    // RFC 4180: a header row, then a row a payment, each line ended by CR LF.
    QByteArray paymentsCsv() const;

signals:
    void countChanged();
    void exportFolderChanged();
    void reprinted(qint64 entry, const QString &error);

private:
    struct Row
    {
        QString kind;
        qint64 entry;
        qint64 at;
        QString what;
        QString place;
        QString port;
        QString terminalId;
        QString amount;
        QString outcome;
        QString stored; // the outcome as the journal has it
        QString tone;
        bool reprintable;
    };
    static Row fromEntry(const QJsonObject &entry);

    ApiBackend *const m_backend;
    QVector<Row> m_rows;
    QString m_exportFolder;
};
