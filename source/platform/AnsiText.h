#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// The workstation's 8-bit code page, Windows-1252, for every byte text the system exchanges:
// INI files, log files, TCP requests and replies, serial telegrams.
// Every byte maps to one character and back, so bytes survive a round trip unchanged;
// the five bytes that Windows-1252 leaves undefined map to the C1 controls of the same value.
QString AnsiToString(QByteArrayView bytes);
// Characters outside the code page become '?', as the ANSI conversion of Windows does.
QByteArray StringToAnsi(QStringView text);
