#pragma once

#include "diagnostics.h"
#include "logfile.h"

#include <QList>
#include <QObject>
#include <QQmlApplicationEngine>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTranslator>
#include <QUrl>

class PrintClient;
class QQuickItem;
class QQuickWindow;

// Takes the URLs the screens open in the browser, so the tests see them instead of a browser.
class UrlRecorder : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls.append(url); }
};

// The window as the program loads it: qrc:/main.qml with the start-up context values, the
// controller and, when a language is given, that language's compiled catalog from beside the
// program.
class ScreenHarness
{
public:
    explicit ScreenHarness(PrintClient *client, const QString &language = QString());
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
    // Shown texts under 4.5:1 against what is painted beneath them (none is large), with the ratio.
    QStringList lowContrastTexts() const;

    QObject *trayMenuItem(int index) const;

    // Where the catalogs are: beside the program.
    static QString catalogPath(const QString &language);

    UrlRecorder urls;
    QTemporaryDir logDir;
    LogFile log { logDir.filePath(QStringLiteral("varnel.log")) };

private:
    PrintClient *m_client;
    Diagnostics m_diagnostics { m_client, &log };
    QString m_language;
    QTranslator m_translator;
    bool m_translatorInstalled = false;
    QQmlApplicationEngine m_engine;
    QQuickWindow *m_window = nullptr;
};
