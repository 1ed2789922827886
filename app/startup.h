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
// a comma, then the time.
QString releaseDate(const QDateTime &built, const QLocale &locale);

// Where the catalogs are: beside the program in a build tree, else where the package installs
// them (<prefix>/share/varnel/translations for <prefix>/bin/varnel).
QString translationDirectory(const QString &applicationDir);

// Window size for the primary screen's available area (in device-independent pixels): 950 by
// 700, or less where the screen, less room for the window's frame, has no room for it.
QSize windowSize(const QSize &available);

// Before the application object exists: the window follows the desktop's scale, fractional
// ones included (Qt 5 would round 125 % down to 100 % and 150 % up to 200 %).
void prepareHighDpi();

} // namespace Startup
