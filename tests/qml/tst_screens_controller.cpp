#include "tst_screens_controller.h"

#include "httplistener.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTest>

ScreenController::ScreenController(const QString &language)
    : m_language(language)
{
}

void ControllerStop::operator()(PrintClient *client) const
{
    QPointer<HttpListener> listener = client->listener();
    if (listener)
        listener->close();
    delete client;
    // The wiring's thread ends and hands its worker, which owns the listener, back to this
    // thread for deletion; removed printers and terminals go the same way.
    const auto gone = [&listener] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return listener.isNull();
    };
    if (!QTest::qWaitFor(gone, 5000))
        qWarning("the controller's listener outlived it");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
