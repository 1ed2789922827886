#pragma once

#include <QDateTime>
#include <QLocale>
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

// The catalog the window speaks for a locale name such as "pt_PT": "pt_BR" for Brazil, the
// language's own for the other Portuguese, Spanish and English locales, English for every other.
QString catalogLanguage(const QString &localeName);

// Translation file (without ".qm") for a locale name: "printclient_" and the catalog language.
QString translationFile(const QString &localeName, const QString &applicationDir);

// The locale the window writes dates in: the system's when the window speaks its language,
// else the catalog language's own.
QLocale windowLocale(const QLocale &system);

// When the program was built, as the about panel shows it: the long date without the weekday,
// then the time.
QString releaseDate(const QDateTime &built, const QLocale &locale);

// Where the catalogs are: beside the program in a build tree, else where the package installs
// them (<prefix>/share/varnel/translations for <prefix>/bin/varnel).
QString translationDirectory(const QString &applicationDir);

// Window size for the primary screen's available area.
QSize windowSize(const QSize &available);

} // namespace Startup
