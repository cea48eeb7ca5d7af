#include "app/THeadlessUserInterface.h"

void THeadlessUserInterface::MessageBox(const QString& text, const QString& caption, TMsgIcon)
{
    const QString line = caption.isEmpty() ? text : caption + QStringLiteral(": ") + text;
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, bytes.size(), FErr);
    std::fflush(FErr);
}

void THeadlessUserInterface::StatusAdded(const QString& entry)
{
    // CR LF inside an entry is a line break, as in the window.
    QString text = entry;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, bytes.size(), FOut);
    std::fflush(FOut);
}
