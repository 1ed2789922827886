#pragma once

#include <QCoreApplication>
#include <QJsonArray>
#include <QString>

// The receipt "Print test" sends: what a shop wants to see working on a new printer (the logo,
// code-page characters, alignment, emphasis, sizes, a QR code, a barcode, the cut), in the
// window's language.
class TestReceipt
{
    Q_DECLARE_TR_FUNCTIONS(TestReceipt)

public:
    static QJsonArray job(const QString &printerName);
};
