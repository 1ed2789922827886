#pragma once

#include <QImage>
#include <QJsonArray>
#include <QObject>
#include <QPrinterInfo>
#include <QSettings>

#include <atomic>

// One print queue of the system and the user's choice whether the API may print on it.
// The choice is read by the API's connection threads while the window may change it.
class Printer : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString name READ name NOTIFY nameChanged)
    Q_PROPERTY(bool state READ state NOTIFY stateChanged)
    Q_PROPERTY(bool available READ available WRITE setAvailable NOTIFY availableChanged)

public:
    explicit Printer(QPrinterInfo info = QPrinterInfo(), QObject *parent = nullptr);
    // The printer "Varnel Preview", always ready: its jobs become PNG files in outputDir.
    static Printer *virtualPrinter(const QString &outputDir);

    // Prints a job: one raw CUPS job on the queue, or a PNG file for the virtual printer. False
    // when nothing was printed; error then says why if a command was at fault. Any thread.
    bool print(const QJsonArray &commands, bool compatibilityMode, QString *error) const;
    // The paper a job would make, drawn from the bytes it translates to; a null image, with the
    // reason in error, when a command cannot be printed as given.
    static QImage preview(const QJsonArray &commands, bool compatibilityMode, QString *error);

    QString name() const;
    // True while the queue is idle or printing; false when it is aborted or in error.
    bool state() const;
    bool available() const { return m_available; }
    void setAvailable(const bool &value);
    // Settings key material: Base64 of the SHA-1 of the queue name in Latin-1.
    QString getHash() const;

signals:
    void nameChanged(const QString &name);
    void stateChanged(const bool &state);
    void availableChanged(const bool &available);

public slots:
    void persistAvailability();

private:
    Printer(QPrinterInfo info, const QString &outputDir, QObject *parent);
    QString settingsKey() const;

    const QPrinterInfo m_info;
    // Set for the virtual printer only.
    const QString m_outputDir;
    std::atomic<bool> m_available { false };
    QSettings m_settings;
};
