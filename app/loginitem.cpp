#include "loginitem.h"

#include "applog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace LoginItem {
namespace {

// Writes `contents` to `path` unless the file is already there; logs each step.
void writeOnce(const QString &path, const QByteArray &contents)
{
    qCDebug(lcApp) << "login item:" << path;
    QFile file(path);
    const bool exists = file.exists();
    bool open = false;
    if (!exists) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        open = file.open(QIODevice::WriteOnly | QIODevice::Text);
    }
    qCDebug(lcApp) << "exists:" << exists << "opened:" << open;
    if (!exists && open) {
        file.write(contents);
        qCDebug(lcApp) << "login item written";
    }
}

// Quoting of an Exec argument for desktop entries.
QString desktopQuoted(QString argument)
{
    for (const char c : { '\\', '"', '`', '$' })
        argument.replace(QLatin1Char(c), QStringLiteral("\\") + QLatin1Char(c));
    return QLatin1Char('"') + argument + QLatin1Char('"');
}

} // namespace

QByteArray launchAgentPlist()
{
    const QStringList parts {
        QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"),
        QStringLiteral("<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                       "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">"),
        QStringLiteral("<plist version=\"1.0\">"),
        QStringLiteral("<dict>"),
        QStringLiteral("<key>Label</key>"),
        QStringLiteral("<string>pt.tesmar.varnel-v4</string>"),
        QStringLiteral("<key>ProgramArguments</key>"),
        QStringLiteral("<array>"),
        QStringLiteral("<string>/Applications/VarnelV4.app/Contents/MacOS/varnel_v4</string>"),
        QStringLiteral("</array>"),
        QStringLiteral("<key>RunAtLoad</key>"),
        QStringLiteral("<true/>"),
        QStringLiteral("</dict>"),
        QStringLiteral("</plist>"),
    };
    return parts.join(QStringLiteral("    ")).toUtf8();
}

QString writeLaunchAgent(const QString &homeDir)
{
    const QString path = homeDir + QStringLiteral("/Library/LaunchAgents/vrlAutoLaunch.plist");
    writeOnce(path, launchAgentPlist());
    return path;
}

QByteArray autostartEntry(const QString &executable)
{
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Varnel\n"
                          "Comment=Printers and payment terminals for the web invoicing application\n"
                          "Exec=%1\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(desktopQuoted(executable))
        .toUtf8();
}

QString autostartExecutable(const QByteArray &entry)
{
    const QByteArray prefix("\nExec=\"");
    const int start = entry.indexOf(prefix);
    if (start < 0)
        return QString();
    QByteArray path;
    int i = start + prefix.size();
    for (; i < entry.size() && entry.at(i) != '"'; ++i) {
        if (entry.at(i) == '\\' && ++i == entry.size())
            return QString();
        path += entry.at(i);
    }
    const QString executable = QString::fromUtf8(path);
    return i < entry.size() && autostartEntry(executable) == entry ? executable : QString();
}

QString writeAutostartEntry(const QString &configDir, const QString &executable)
{
    const QString path = configDir + QStringLiteral("/autostart/varnel.desktop");
    QFile existing(path);
    const QString named
        = existing.open(QIODevice::ReadOnly) ? autostartExecutable(existing.readAll()) : QString();
    if (!named.isEmpty() && named != executable && !QFileInfo::exists(named)) {
        qCDebug(lcApp) << "autostart entry started a program no longer there, rewritten:" << named;
        QSaveFile file(path);
        const QByteArray entry = autostartEntry(executable);
        if (!file.open(QIODevice::WriteOnly) || file.write(entry) != entry.size() || !file.commit())
            qCDebug(lcApp) << "cannot rewrite" << path << ":" << file.errorString();
        return path;
    }
    writeOnce(path, autostartEntry(executable));
    return path;
}

void install(const QString &executable)
{
#ifdef Q_OS_MACOS
    Q_UNUSED(executable)
    writeLaunchAgent(QDir::homePath());
#else
    QString configDir = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (configDir.isEmpty())
        configDir = QDir::homePath() + QStringLiteral("/.config");
    writeAutostartEntry(configDir, executable);
#endif
}

} // namespace LoginItem
