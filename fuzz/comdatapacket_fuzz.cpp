// Framing of arbitrary telegram bytes: the first bytes choose the start and stop strings and
// how the rest is cut into chunks. Checks that no packet holds its stop string.
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/AnsiText.h"
#include "platform/TComDataPacket.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 3)
        return 0;
    const std::size_t startLength = data[0] % 4;
    const std::size_t stopLength = data[1] % 4;
    const std::size_t chunk = 1 + data[2] % 64;
    data += 3;
    size -= 3;
    if (size < startLength + stopLength)
        return 0;
    auto text = [](const std::uint8_t* bytes, std::size_t count) {
        return AnsiToString(QByteArrayView(reinterpret_cast<const char*>(bytes), qsizetype(count)));
    };
    TComDataPacket packet;
    packet.SetStartString(text(data, startLength));
    packet.SetStopString(text(data + startLength, stopLength));
    data += startLength + stopLength;
    size -= startLength + stopLength;
    const QString stop = packet.StopString();
    packet.SetOnPacket([&](TComDataPacket&, const QString& p) {
        if (!stop.isEmpty() && p.contains(stop))
            std::abort();
    });
    for (std::size_t at = 0; at < size; at += chunk)
        packet.HandleData(text(data + at, std::min(chunk, size - at)));
    return 0;
}
