#pragma once

#include "printerstatus.h"

#include <QObject>

class QTimer;

// Asks the printers of the escpos queues how they are while no job prints on them (between jobs
// no backend runs to say it): real-time status only, over a short connection or a brief open of
// the device. A worker for a thread of its own, since a printer may take its reply time to
// answer; what it read is kept for any thread to merge into a queue's status.
class EscPosProbe : public QObject
{
    Q_OBJECT

public:
    // The interval between two readings of a printer: VARNEL_ESCPOS_PROBE_MS, else 2 s.
    static int intervalMs();

    explicit EscPosProbe(QObject *parent = nullptr);

    // For an idle escpos queue, the reasons its printer gave at the last reading (when recent)
    // replace those of the escpos backend: they are newer. Any thread.
    static void merge(PrinterStatus *status);

public slots:
    // Starts reading every interval, on the thread the probe lives in.
    void start();
    // Reads every idle escpos queue's printer once.
    void probe();

signals:
    // A printer's reading changed.
    void changed();

private:
    QTimer *m_timer = nullptr;
};
