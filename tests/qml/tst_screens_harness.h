#pragma once

// Header only: every .cpp in the test folder is built as a test of its own.

#include "qmlresources.h"
#include "tst_screens_fakes.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QList>
#include <QObject>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQmlListReference>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSet>
#include <QStringList>
#include <QTest>
#include <QTranslator>
#include <QUrl>

// Takes the URLs the screens open in the browser, so the tests see them instead of a browser.
class UrlRecorder : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls.append(url); }
};

// The window as the program loads it: qrc:/main.qml with the start-up context values, a fake
// controller and, when a language is given, that language's compiled catalog from beside the
// program.
class ScreenHarness
{
public:
    explicit ScreenHarness(FakePrintClient *client, const QString &language = QString());
    ~ScreenHarness();
    ScreenHarness(const ScreenHarness &) = delete;
    ScreenHarness &operator=(const ScreenHarness &) = delete;

    bool load();
    QQuickWindow *window() const { return m_window; }
    QQmlApplicationEngine &engine() { return m_engine; }

    // Items and objects by objectName, anywhere in the window (list rows and overlays included).
    QList<QObject *> objects(const QString &objectName) const;
    QObject *object(const QString &objectName) const;
    QQuickItem *item(const QString &objectName) const;
    // The first of the items so named that is shown (several screens share a name).
    QQuickItem *shownItem(const QString &objectName) const;
    // The child named objectName inside the list row that shows model (a printer or terminal).
    QQuickItem *rowItem(QObject *model, const QString &objectName) const;

    // Clicks the middle of an item that is shown on screen.
    void click(QQuickItem *item) const;
    void navigate(const QString &screen) const;
    QString screenState() const;
    // Whether the item is shown: visible and not faded out, itself and its ancestors.
    static bool shown(const QQuickItem *item);
    // The texts of every Text item that is shown.
    QStringList shownTexts() const;

    QObject *trayMenuItem(int index) const;

    // Where the catalogs are: beside the program.
    static QString catalogPath(const QString &language);

    UrlRecorder urls;

private:
    FakePrintClient *m_client;
    QString m_language;
    QTranslator m_translator;
    bool m_translatorInstalled = false;
    QQmlApplicationEngine m_engine;
    QQuickWindow *m_window = nullptr;
};

inline ScreenHarness::ScreenHarness(FakePrintClient *client, const QString &language)
    : m_client(client)
    , m_language(language)
{
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &urls, "open");
}

inline ScreenHarness::~ScreenHarness()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    if (m_window)
        m_window->hide();
    if (m_translatorInstalled)
        QCoreApplication::removeTranslator(&m_translator);
}

inline QString ScreenHarness::catalogPath(const QString &language)
{
    return QFileInfo(QStringLiteral(VARNEL_BINARY)).absolutePath() + QStringLiteral("/printclient_")
        + language;
}

inline bool ScreenHarness::load()
{
    initQmlResources();
    if (!m_language.isEmpty()) {
        if (!m_translator.load(catalogPath(m_language)))
            return false;
        QCoreApplication::installTranslator(&m_translator);
        m_translatorInstalled = true;
    }
    // "Sair" must not end the test's own event loops.
    QObject::disconnect(&m_engine, &QQmlEngine::quit, nullptr, nullptr);

    QQmlContext *context = m_engine.rootContext();
    context->setContextProperty(QStringLiteral("printClient"), m_client);
    context->setContextProperty(QStringLiteral("RELEASENAME"), QStringLiteral("v4.1.0"));
    context->setContextProperty(QStringLiteral("NEWRELEASE"), QStringLiteral("v4.1.0"));
    context->setContextProperty(QStringLiteral("RELEASEDATE"), QStringLiteral("06 Dec 2025 17:35:42"));
    context->setContextProperty(
        QStringLiteral("OSDATA"), QStringLiteral("Debian GNU/Linux 12 (bookworm)6.1.0-28-amd64"));
    context->setContextProperty(QStringLiteral("DISPLAY_WIDTH"), 950);
    context->setContextProperty(QStringLiteral("DISPLAY_HEIGHT"), 700);
    m_engine.load(QUrl(QStringLiteral("qrc:/main.qml")));
    if (m_engine.rootObjects().isEmpty())
        return false;
    m_window = qobject_cast<QQuickWindow *>(m_engine.rootObjects().constFirst());
    return m_window != nullptr;
}

inline void collectObjects(QObject *object, QSet<QObject *> &seen, QList<QObject *> &all)
{
    if (!object || seen.contains(object))
        return;
    seen.insert(object);
    all.append(object);
    for (QObject *child : object->children())
        collectObjects(child, seen, all);
    if (auto *item = qobject_cast<QQuickItem *>(object)) {
        for (QQuickItem *child : item->childItems())
            collectObjects(child, seen, all);
    }
}

inline QList<QObject *> ScreenHarness::objects(const QString &objectName) const
{
    QSet<QObject *> seen;
    QList<QObject *> all;
    collectObjects(m_window, seen, all);
    collectObjects(m_window->contentItem(), seen, all);
    QList<QObject *> found;
    for (QObject *object : qAsConst(all)) {
        if (object->objectName() == objectName)
            found.append(object);
    }
    return found;
}

inline QObject *ScreenHarness::object(const QString &objectName) const
{
    const QList<QObject *> found = objects(objectName);
    return found.isEmpty() ? nullptr : found.constFirst();
}

inline QQuickItem *ScreenHarness::item(const QString &objectName) const
{
    return qobject_cast<QQuickItem *>(object(objectName));
}

inline QQuickItem *ScreenHarness::shownItem(const QString &objectName) const
{
    for (QObject *object : objects(objectName)) {
        auto *item = qobject_cast<QQuickItem *>(object);
        if (shown(item))
            return item;
    }
    return nullptr;
}

inline QQuickItem *ScreenHarness::rowItem(QObject *model, const QString &objectName) const
{
    for (QObject *object : objects(objectName)) {
        for (QQuickItem *item = qobject_cast<QQuickItem *>(object); item; item = item->parentItem()) {
            const QVariant shownModel
                = item->property("printer").isValid() ? item->property("printer") : item->property("tpa");
            if (shownModel.isValid()) {
                if (shownModel.value<QObject *>() == model)
                    return qobject_cast<QQuickItem *>(object);
                break;
            }
        }
    }
    return nullptr;
}

inline void ScreenHarness::click(QQuickItem *item) const
{
    const QPointF centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
    QTest::mouseClick(m_window, Qt::LeftButton, Qt::NoModifier, centre.toPoint());
}

inline void ScreenHarness::navigate(const QString &screen) const
{
    QMetaObject::invokeMethod(m_window, "navigate", Q_ARG(QVariant, screen));
}

inline QString ScreenHarness::screenState() const
{
    return m_window->property("screenState").toString();
}

inline bool ScreenHarness::shown(const QQuickItem *item)
{
    if (!item || !item->isVisible())
        return false;
    for (; item; item = item->parentItem()) {
        if (item->opacity() <= 0.0)
            return false;
    }
    return true;
}

inline QStringList ScreenHarness::shownTexts() const
{
    QSet<QObject *> seen;
    QList<QObject *> all;
    collectObjects(m_window->contentItem(), seen, all);
    QStringList texts;
    for (QObject *object : qAsConst(all)) {
        auto *item = qobject_cast<QQuickItem *>(object);
        if (item && item->inherits("QQuickText") && shown(item))
            texts.append(item->property("text").toString());
    }
    return texts;
}

inline QObject *ScreenHarness::trayMenuItem(int index) const
{
    QObject *tray = object(QStringLiteral("tray"));
    if (!tray)
        return nullptr;
    QObject *menu = tray->property("menu").value<QObject *>();
    if (!menu)
        return nullptr;
    QQmlListReference items(menu, "items");
    return index < items.count() ? items.at(index) : nullptr;
}
