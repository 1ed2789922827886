#pragma once

#include <QString>

#include <optional>

// The QR codes tax authorities require on invoices: what the code must say, checked field by field,
// and the error correction level, smallest version and printed size the rules ask for.
//   "pt-atcud": Portugal (Portaria n.º 195/2020 and the AT's technical rules for the code): fields
//     A to S joined by "*", level M, version 9 or above, at least 30 mm.
//   "es-verifactu": Spain (Orden HAC/1177/2024 and the AEAT's technical rules for the code): the
//     AEAT's validation URL with nif, numserie, fecha and importe, level M, 30 to 40 mm, with the caption
//     "QR tributario:" above and, for a VERI*FACTU system, "VERI*FACTU" below.
class FiscalQrProfile
{
public:
    enum Kind { PtAtcud, EsVerifactu };

    // No profile for an unknown name.
    static std::optional<FiscalQrProfile> fromName(const QString &name);

    QString name() const;

    // Empty when the text is a valid payload; otherwise why not, naming the field.
    QString check(const QString &text) const;

    int minimumVersion() const { return m_kind == PtAtcud ? 9 : 1; }
    double minimumMm() const { return 30; }
    // 0: no upper bound.
    double maximumMm() const { return m_kind == EsVerifactu ? 40 : 0; }

    // Printed above and below the code (empty: none); the text below depends on the URL.
    QString captionAbove() const;
    QString captionBelow(const QString &text) const;

private:
    explicit FiscalQrProfile(Kind kind)
        : m_kind(kind)
    {
    }

    QString checkAtcud(const QString &text) const;
    QString checkVerifactu(const QString &text) const;

    Kind m_kind;
};
