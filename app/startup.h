#pragma once

#include <QDateTime>
#include <QSize>
#include <QString>

// The decisions the entry point takes before the controller exists, kept apart so they can
// be checked without starting the program.
namespace Startup {

// Seconds since the Unix epoch plus the local offset from UTC: the heartbeat's unit.
qint64 localEpochSecond(const QDateTime &now = QDateTime::currentDateTime());

// True when a heartbeat written `kicked` is recent enough (at most 5 seconds old) to mean
// that another instance may be running. The difference is taken in 32-bit arithmetic.
bool anotherInstanceAlive(qint64 kicked, qint64 now);

// Translation file (without ".qm") for a locale name such as "pt_PT": the language's own
// catalog for en, es and pt, English for every other language.
QString translationFile(const QString &localeName, const QString &applicationDir);

// Where the catalogs are: beside the program in a build tree, else where the package installs
// them (<prefix>/share/varnel/translations for <prefix>/bin/varnel).
QString translationDirectory(const QString &applicationDir);

// Window size for the primary screen's available area.
QSize windowSize(const QSize &available);

} // namespace Startup
