#include "tpalist.h"

namespace {

bool samePort(const SerialPortDescription &a, const SerialPortDescription &b)
{
    return a.vendorIdentifier() == b.vendorIdentifier() && a.productIdentifier() == b.productIdentifier()
        && a.portName() == b.portName();
}

// The terminal family behind a USB vendor; none for a vendor we do not drive.
Tpa::Family familyOf(quint16 vendorIdentifier)
{
    switch (vendorIdentifier) {
    case 0x079B:
    case 0x0B00:
        return Tpa::Ingenico;
    case 0x0403:
    case 0x1E0E:
        return Tpa::Newnote;
    default:
        return Tpa::NoFamily;
    }
}

} // namespace

void TpaList::merge(const QList<SerialPortDescription> &ports)
{
    QMutexLocker locker(&m_mutex);
    QList<QSharedPointer<Tpa>> merged;
    QList<SerialPortDescription> known;
    for (const QSharedPointer<Tpa> &tpa : qAsConst(m_tpas)) {
        const SerialPortDescription port = tpa->tpa();
        const bool present = std::any_of(
            ports.cbegin(), ports.cend(), [&](const SerialPortDescription &p) { return samePort(p, port); });
        if (present) {
            merged << tpa;
            known << port;
        }
    }
    for (const SerialPortDescription &port : ports) {
        const bool isKnown = std::any_of(
            known.cbegin(), known.cend(), [&](const SerialPortDescription &k) { return samePort(k, port); });
        const Tpa::Family family = familyOf(port.vendorIdentifier());
        if (isKnown || family == Tpa::NoFamily)
            continue;
        auto *tpa = new Tpa(port, family);
        tpa->setJournal(m_journal);
        merged << QSharedPointer<Tpa>(tpa, &QObject::deleteLater);
        known << port;
    }
    // Dropped terminals go when their last holder lets them go; each stops its worker then.
    m_tpas = merged;
}

QList<QSharedPointer<Tpa>> TpaList::snapshot() const
{
    QMutexLocker locker(&m_mutex);
    return m_tpas;
}

int TpaList::size() const
{
    QMutexLocker locker(&m_mutex);
    return m_tpas.size();
}

Tpa *TpaList::at(int index) const
{
    QMutexLocker locker(&m_mutex);
    return m_tpas.value(index).data();
}
