#pragma once

#include <QByteArray>
#include <QString>

// The page "/" shows to a browser: a few words on where the set-up of receipt printers is
// explained, in Portuguese, Brazilian Portuguese, Spanish or English. No key needed.
class StartPage
{
public:
    // The page for a request's "Accept-Language": of the ranges listed, the one wanted most that
    // has a page (the first listed wins a tie); Portuguese, the page it always was, when none has.
    static QByteArray forLanguages(const QString &acceptLanguage);
};
