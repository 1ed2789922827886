#pragma once

#include "imagesource.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>

class QrSymbol;

// One receipt's JSON command array translated once, in order, into ESC/POS bytes, a block a
// command. A command that cannot be printed as given fails the whole job: it then has no bytes.
class PrintJob
{
public:
    // A job that would send more fails as a whole.
    static constexpr qint64 maxJobBytes = 4ll * 1024 * 1024;

    PrintJob(QJsonArray commands, bool compatibilityMode);
    ~PrintJob();
    PrintJob(const PrintJob &) = delete;
    PrintJob &operator=(const PrintJob &) = delete;

    // Where the job's images come from, and within which bounds; set before translate().
    void setImageSource(const ImageSource &images) { m_images = images; }
    // False, with errorString() set, at the first command that cannot be printed as given.
    bool translate();
    // The ESC/POS bytes of the translated job, a block a command.
    QList<QByteArray> blocks() const { return m_blocks; }
    QByteArray bytes() const;
    // Why translate() failed: the command's position in the array, its name and the value.
    QString errorString() const { return m_error; }
    // The printable width in dots the job's settings give.
    int dotWidth() const;

private:
    // What keeps the command from being printed as given; empty once its bytes are sent.
    QString runCommand(const QJsonObject &command);
    void send(const QByteArray &bytes);
    // ESC @, and the state the printer then has.
    void reset();
    // After a bit image: the printer reset, then the alignment and print mode that were in force.
    void resetKeepingStyle();
    // The ESC ! byte of the flags in force.
    int printMode() const;
    void sendStyle();
    // The code through the printer's QR engine, or drawn by Varnel as a bit image.
    void sendQrCode(const QrSymbol &symbol, const QByteArray &utf8, int level, int module, bool native);

    QString applySettings(const QJsonObject &settings);
    // "double", "condensed" and "style": ESC ! goes out when they change the print mode.
    void setStyle(const QString &op, const QJsonValue &data);
    void setAlignment(int alignment);
    void addCut(const QString &mode);
    void addPulse(const QJsonObject &data);
    void addText(const QString &text);
    void addImage(const QString &source);
    QString addQrCode(const QJsonObject &data);
    QString addBarcode(const QJsonObject &data);

    const QJsonArray m_commands;
    const bool m_compatibilityMode;
    ImageSource m_images;
    int m_normalLineWidth = 48;
    int m_condensedLineWidth = 64;
    int m_dotWidth = 576;
    bool m_hasCutter = true;
    bool m_hasDrawer = true;
    bool m_lowDensity = false;
    int m_imagePrintMode = 0;
    bool m_alternativeCharset = false;
    bool m_replaceAccentedChars = false;
    bool m_doubleWidth = false;
    bool m_doubleHeight = false;
    bool m_condensed = false;
    bool m_emphasized = false;
    bool m_underlined = false;
    int m_alignment = -1;

    bool m_translated = false;
    QList<QByteArray> m_blocks;
    qint64 m_size = 0;
    QString m_error;
};
