#pragma once

#include <QString>
#include <functional>

class TComPort;

// Cuts the characters a port receives into packets by a start and a stop string.
// Lives on the main thread with its port; a plain object, so a reader thread may own it.
class TComDataPacket {
public:
    // Characters buffered without completing a packet before the buffer is thrown away.
    static constexpr qsizetype kMaxBuffer = 1024;

    using TPacketEvent = std::function<void(TComDataPacket& sender, const QString& packet)>;

    TComDataPacket() = default;
    ~TComDataPacket();
    TComDataPacket(const TComDataPacket&) = delete;
    TComDataPacket& operator=(const TComDataPacket&) = delete;

    TComPort* ComPort() const { return FComPort; }
    // Links to the port whose reception it frames; nullptr unlinks.
    void SetComPort(TComPort* port);
    const QString& StartString() const { return FStartString; }
    void SetStartString(const QString& text) { FStartString = text; }
    const QString& StopString() const { return FStopString; }
    void SetStopString(const QString& text) { FStopString = text; }
    const TPacketEvent& OnPacket() const { return FOnPacket; }
    void SetOnPacket(TPacketEvent handler) { FOnPacket = std::move(handler); }

    // One received chunk; raises the packet event for every packet it completes.
    void HandleData(const QString& chunk);

private:
    friend class TComPort;
    void Deliver(const QString& packet);

    TComPort* FComPort = nullptr;
    QString FStartString;
    QString FStopString;
    TPacketEvent FOnPacket;
    QString FBuffer;
};
