#pragma once

#include <QString>

#include "platform/TComPort.h"

// A scale's serial port together with the texts that frame one telegram.
class TConfiguracaoSerial : public TComPort {
    Q_OBJECT
public:
    TConfiguracaoSerial();

    const QString& stopString() const { return fStopString; }
    void setStopString(const QString& value) { fStopString = value; }
    const QString& startString() const { return fStartString; }
    void setStartString(const QString& value) { fStartString = value; }

    // Line settings from the position chosen in the serial panel's lists (first item 0,
    // -1 none chosen); a position outside the list gives the default. They depend on the
    // position alone and leave every object as it was.
    static int parseBaudRate(int ABaudRate);
    static int parseDataBits(int ADataBits);
    static TStopBits parseStopBits(int AStopBits);
    static TComParity parseParity(int AParity);
    static TComFlowControl parseFlowControl(int AFlowControl);

private:
    QString fStopString;
    QString fStartString;
};
