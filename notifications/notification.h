#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QObject>

// One order notification pushed by the web application.
class Notification : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int requestId READ requestId WRITE setRequestId NOTIFY requestIdChanged)
    Q_PROPERTY(int terminalId READ terminalId WRITE setTerminalId NOTIFY terminalIdChanged)
    Q_PROPERTY(int statusId READ statusId WRITE setStatusId NOTIFY statusIdChanged)
    Q_PROPERTY(QString title READ title WRITE setTitle NOTIFY titleChanged)
    Q_PROPERTY(QString subtitle READ subtitle WRITE setSubtitle NOTIFY subtitleChanged)
    Q_PROPERTY(
        QString lastModifiedBy READ lastModifiedBy WRITE setLastModifiedBy NOTIFY lastModifiedByChanged)
    Q_PROPERTY(QDateTime dateTime READ dateTime WRITE setDateTime NOTIFY dateTimeChanged)

public:
    explicit Notification(QObject *parent = nullptr);

    // Longest title, subtitle or lastModifiedBy accepted, in characters.
    static constexpr int maxTextLength = 1024;

    // A record from its JSON form, or nullptr when the title or the subtitle is missing or a text
    // is longer than maxTextLength.
    static Notification *fromJSON(const QJsonObject &object);
    // The JSON form the status endpoint hands back.
    QJsonObject toJSON() const;

    int requestId() const { return m_requestId; }
    void setRequestId(int requestId);
    int terminalId() const { return m_terminalId; }
    void setTerminalId(int terminalId);
    int statusId() const { return m_statusId; }
    void setStatusId(int statusId);
    QString title() const { return m_title; }
    void setTitle(const QString &title);
    QString subtitle() const { return m_subtitle; }
    void setSubtitle(const QString &subtitle);
    QString lastModifiedBy() const { return m_lastModifiedBy; }
    void setLastModifiedBy(const QString &lastModifiedBy);
    QDateTime dateTime() const { return m_dateTime; }
    void setDateTime(const QDateTime &dateTime);

signals:
    void requestIdChanged(const int &requestId);
    void terminalIdChanged(const int &terminalId);
    void statusIdChanged(const int &statusId);
    void titleChanged(const QString &title);
    void subtitleChanged(const QString &subtitle);
    void lastModifiedByChanged(const QString &lastModifiedBy);
    void dateTimeChanged(const QDateTime &dateTime);

private:
    int m_requestId = 0;
    int m_terminalId = 0;
    int m_statusId = 0;
    QString m_title;
    QString m_subtitle;
    QString m_lastModifiedBy;
    QDateTime m_dateTime = QDateTime::currentDateTime();
};
