#include "tst_screens_harness.h"

#include "printclient.h"
#include "qmlresources.h"
#include "startup.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QQmlContext>
#include <QQmlListReference>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSet>
#include <QTest>

#include <cmath>

ScreenHarness::ScreenHarness(PrintClient *client, const QString &language)
    : m_client(client)
    , m_language(language)
{
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &urls, "open");
}

ScreenHarness::~ScreenHarness()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    if (m_window)
        m_window->hide();
    if (m_translatorInstalled)
        QCoreApplication::removeTranslator(&m_translator);
}

QString ScreenHarness::catalogPath(const QString &language)
{
    return QFileInfo(QStringLiteral(VARNEL_BINARY)).absolutePath() + QStringLiteral("/printclient_")
        + language;
}

bool ScreenHarness::load()
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

    // The values the program's entry point publishes; the build time and system are fixed so
    // that renderings compare across runs. Portuguese is Portugal's.
    QQmlContext *context = m_engine.rootContext();
    context->setContextProperty(QStringLiteral("printClient"), m_client);
    context->setContextProperty(QStringLiteral("RELEASENAME"), m_client->version());
    context->setContextProperty(QStringLiteral("NEWRELEASE"), m_client->version());
    const QLocale locale(m_language.isEmpty() || m_language == "pt" ? QStringLiteral("pt_PT") : m_language);
    context->setContextProperty(QStringLiteral("RELEASEDATE"),
        Startup::releaseDate(
            QDateTime(QDate(2025, 12, 6), QTime(17, 35, 42)), Startup::windowLocale(locale)));
    context->setContextProperty(
        QStringLiteral("OSDATA"), QStringLiteral("Debian GNU/Linux 12 (bookworm) 6.1.0-28-amd64"));
    context->setContextProperty(QStringLiteral("diagnostics"), &m_diagnostics);
    context->setContextProperty(QStringLiteral("DISPLAY_WIDTH"), 950);
    context->setContextProperty(QStringLiteral("DISPLAY_HEIGHT"), 700);
    m_engine.load(QUrl(QStringLiteral("qrc:/main.qml")));
    if (m_engine.rootObjects().isEmpty())
        return false;
    m_window = qobject_cast<QQuickWindow *>(m_engine.rootObjects().constFirst());
    return m_window != nullptr;
}

static void collectObjects(QObject *object, QSet<QObject *> &seen, QList<QObject *> &all)
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

QList<QObject *> ScreenHarness::objects(const QString &objectName) const
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

QObject *ScreenHarness::object(const QString &objectName) const
{
    const QList<QObject *> found = objects(objectName);
    return found.isEmpty() ? nullptr : found.constFirst();
}

QQuickItem *ScreenHarness::item(const QString &objectName) const
{
    return qobject_cast<QQuickItem *>(object(objectName));
}

QQuickItem *ScreenHarness::shownItem(const QString &objectName) const
{
    for (QObject *object : objects(objectName)) {
        auto *item = qobject_cast<QQuickItem *>(object);
        if (shown(item))
            return item;
    }
    return nullptr;
}

QQuickItem *ScreenHarness::rowItem(QObject *model, const QString &objectName) const
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

void ScreenHarness::click(QQuickItem *item) const
{
    const QPointF centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
    QTest::mouseClick(m_window, Qt::LeftButton, Qt::NoModifier, centre.toPoint());
}

void ScreenHarness::navigate(const QString &screen) const
{
    QMetaObject::invokeMethod(m_window, "navigate", Q_ARG(QVariant, screen));
}

QString ScreenHarness::screenState() const
{
    return m_window->property("screenState").toString();
}

bool ScreenHarness::shown(const QQuickItem *item)
{
    if (!item || !item->isVisible())
        return false;
    for (; item; item = item->parentItem()) {
        if (item->opacity() <= 0.0)
            return false;
    }
    return true;
}

QStringList ScreenHarness::shownTexts() const
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

QStringList ScreenHarness::lowContrastTexts() const
{
    // WCAG's relative luminance.
    const auto lin = [](double c) { return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    const auto luminance = [&](const QColor &c) {
        return 0.2126 * lin(c.redF()) + 0.7152 * lin(c.greenF()) + 0.0722 * lin(c.blueF());
    };
    QSet<QObject *> seen;
    QList<QObject *> order; // as painted: an item, then its children
    collectObjects(m_window->contentItem(), seen, order);
    QStringList low;
    for (int i = 0; i < order.size(); ++i) {
        auto *text = qobject_cast<QQuickItem *>(order.at(i));
        if (!text || !text->inherits("QQuickText") || !shown(text)
            || text->property("text").toString().isEmpty())
            continue;
        // The last opaque rectangle painted beneath its middle, or the window; not if a list clips it.
        const QPointF middle = text->mapToScene(QPointF(text->width() / 2, text->height() / 2));
        bool clipped = false;
        for (QQuickItem *up = text->parentItem(); up; up = up->parentItem())
            clipped = clipped || (up->clip() && !up->contains(up->mapFromScene(middle)));
        QColor beneath = m_window->color();
        for (QObject *object : order.mid(0, i)) {
            auto *item = qobject_cast<QQuickItem *>(object);
            const QColor colour = object->property("color").value<QColor>();
            if (object->inherits("QQuickRectangle") && shown(item) && colour.alpha() == 255
                && item->contains(item->mapFromScene(middle)))
                beneath = colour;
        }
        const double a = luminance(text->property("color").value<QColor>()), b = luminance(beneath);
        const double ratio = (qMax(a, b) + 0.05) / (qMin(a, b) + 0.05);
        if (!clipped && ratio < 4.5)
            low << QStringLiteral("%1 (%2:1)").arg(text->property("text").toString()).arg(ratio, 0, 'f', 2);
    }
    return low;
}

QObject *ScreenHarness::trayMenuItem(int index) const
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
