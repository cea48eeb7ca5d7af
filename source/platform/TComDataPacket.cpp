#include "platform/TComDataPacket.h"

#include "platform/TComPort.h"

TComDataPacket::~TComDataPacket() { SetComPort(nullptr); }

void TComDataPacket::SetComPort(TComPort* port)
{
    if (port == FComPort)
        return;
    if (FComPort)
        FComPort->Unlink(this);
    FComPort = port;
    FBuffer.clear();
    if (FComPort)
        FComPort->Link(this);
}

void TComDataPacket::Deliver(const QString& packet)
{
    if (FOnPacket)
        FOnPacket(*this, packet);
}

void TComDataPacket::HandleData(const QString& chunk)
{
    if (FStopString.isEmpty()) {
        if (!chunk.isEmpty())
            Deliver(chunk);
        return;
    }
    FBuffer += chunk;
    for (;;) {
        qsizetype begin = 0;
        if (!FStartString.isEmpty()) {
            const qsizetype start = FBuffer.indexOf(FStartString);
            if (start < 0) {
                // Keep only what may still be the beginning of a start string.
                FBuffer.remove(0, std::max<qsizetype>(0, FBuffer.size() - (FStartString.size() - 1)));
                break;
            }
            FBuffer.remove(0, start);
            begin = FStartString.size();
        }
        const qsizetype stop = FBuffer.indexOf(FStopString, begin);
        if (stop < 0)
            break;
        const QString packet = FBuffer.mid(begin, stop - begin);
        FBuffer.remove(0, stop + FStopString.size());
        // The handler may unlink or retune us; the buffer is already consistent.
        Deliver(packet);
    }
    if (FBuffer.size() >= kMaxBuffer)
        FBuffer.clear();
}
