#pragma once

#include "printclient.h"

#include <memory>

// The program's controller with one thing replaced: the language by which the screens choose
// their web pages and whether the terminals card shows. The real controller reads it from the
// system locale, which Qt reads once per process, and the screens are checked in several
// languages in one run. Everything else is the real controller's.
class ScreenController : public PrintClient
{
    Q_OBJECT
    Q_PROPERTY(QString language READ shownLanguage CONSTANT)

public:
    explicit ScreenController(const QString &language);

    QString shownLanguage() const { return m_language; }

private:
    QString m_language;
};

// Ends a controller and waits until what its start-up built is gone: the listener releases the
// program's fixed port for the next controller, and nothing is left to write into a settings
// store that a later test has replaced.
struct ControllerStop
{
    void operator()(PrintClient *client) const;
};

using Controller = std::unique_ptr<ScreenController, ControllerStop>;
