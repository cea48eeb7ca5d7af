#include "platform/TComPort.h"

#include <QSerialPort>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>

#include "platform/AnsiText.h"
#include "platform/TComDataPacket.h"

namespace {

QString SystemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

bool ValidDataBits(int bits) { return bits >= 5 && bits <= 8; }

struct TSignalScope {
    explicit TSignalScope(int& depth) : Depth(depth) { ++Depth; }
    ~TSignalScope() { --Depth; }
    int& Depth;
};

}  // namespace

TComPort::TComPort() = default;

TComPort::~TComPort()
{
    Close();
    for (TComDataPacket* packet : FPackets)
        packet->FComPort = nullptr;
}

void TComPort::Link(TComDataPacket* packet) { FPackets.push_back(packet); }

void TComPort::Unlink(TComDataPacket* packet)
{
    FPackets.erase(std::remove(FPackets.begin(), FPackets.end(), packet), FPackets.end());
}

void TComPort::Open()
{
    if (Connected())
        return;
    auto fail = [this](const QString& why) {
        FSerial.reset();
        throw EComPort(QStringLiteral("Unable to open com port %1: %2").arg(FPort, why));
    };
    // Linux drivers have no 1.5 stop bits, and the serial layer would quietly use one.
    if (FStopBits == TStopBits::sbOne5StopBits)
        fail(QStringLiteral("1.5 stop bits are not supported on this system"));
    if (!ValidDataBits(FDataBits))
        fail(QStringLiteral("%1 data bits are not supported").arg(FDataBits));
    if (FBaudRate <= 0)
        fail(QStringLiteral("invalid baud rate %1").arg(FBaudRate));

    ++FOpenings;
    FSerial = std::make_unique<QSerialPort>();
    FSerial->setPortName(FPort);
    if (!FSerial->open(QIODevice::ReadWrite))
        fail(FSerial->errorString());
    // Root passes the device's own exclusive mode, and another name (a link) passes the lock
    // file: a lock on the device itself keeps a second opener out in every case.
    if (::flock(static_cast<int>(FSerial->handle()), LOCK_EX | LOCK_NB) != 0)
        fail(QStringLiteral("the port is in use (%1)").arg(SystemError(errno)));
    try {
        Configure();
    } catch (const EComPort& e) {
        fail(e.Message());
    }
    connect(FSerial.get(), &QSerialPort::readyRead, this, &TComPort::ReadReceived);
    connect(FSerial.get(), &QSerialPort::errorOccurred, this,
            [this](QSerialPort::SerialPortError error) { ErrorOccurred(error); });
}

void TComPort::Configure()
{
    QSerialPort& serial = *FSerial;
    // The serial layer sets the rate, the non-standard ones included.
    if (!serial.setBaudRate(FBaudRate))
        throw EComPort(serial.errorString());
    // The rest straight on the line: the serial layer reads its settings back and refuses a
    // device that keeps its own (a pseudo-terminal is always 8 bits without parity).
    const int fd = static_cast<int>(serial.handle());
    termios tio {};
    if (::tcgetattr(fd, &tio) != 0)
        throw EComPort(SystemError(errno));
    static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    tio.c_cflag = (tio.c_cflag & ~CSIZE) | kSizes[FDataBits - 5];
    tio.c_cflag &= ~(PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    switch (FParity.Bits) {
    case TParityBits::prNone: break;
    case TParityBits::prOdd: tio.c_cflag |= PARENB | PARODD; break;
    case TParityBits::prEven: tio.c_cflag |= PARENB; break;
    case TParityBits::prMark: tio.c_cflag |= PARENB | PARODD | CMSPAR; break;
    case TParityBits::prSpace: tio.c_cflag |= PARENB | CMSPAR; break;
    }
    tio.c_iflag &= ~(INPCK | IGNPAR | PARMRK | IXON | IXOFF | IXANY);
    tio.c_iflag |= (FParity.Bits != TParityBits::prNone && FParity.Check) ? INPCK : IGNPAR;
    if (FStopBits == TStopBits::sbTwoStopBits)
        tio.c_cflag |= CSTOPB;
    const bool hardware = FFlowControl.ControlRTS == TRTSFlowControl::rtsHandshake || FFlowControl.OutCTSFlow;
    if (hardware)
        tio.c_cflag |= CRTSCTS;
    if (FFlowControl.XonXoffOut)
        tio.c_iflag |= IXON;
    if (FFlowControl.XonXoffIn)
        tio.c_iflag |= IXOFF;
    tio.c_cc[VSTART] = static_cast<cc_t>(FFlowControl.XonChar);
    tio.c_cc[VSTOP] = static_cast<cc_t>(FFlowControl.XoffChar);
    // The plain ioctl: the C library's tcsetattr turns a pseudo-terminal's ignored size and
    // parity into a failure. The structure's head is the kernel's own layout.
    if (::ioctl(fd, TCSETS, &tio) != 0)
        throw EComPort(SystemError(errno));
    // Modem lines are best effort: pseudo-terminals and some adapters have none.
    if (!hardware)
        serial.setRequestToSend(FFlowControl.ControlRTS == TRTSFlowControl::rtsEnable);
    if (FFlowControl.ControlDTR != TDTRFlowControl::dtrHandshake)
        serial.setDataTerminalReady(FFlowControl.ControlDTR == TDTRFlowControl::dtrEnable);
    serial.clearError();
}

bool TComPort::Connected() const { return FSerial && FSerial->isOpen(); }

void TComPort::Close()
{
    if (!FSerial)
        return;
    FSerial->disconnect(this);
    FSerial->close();
    if (FInSignal > 0)
        FSerial.release()->deleteLater();  // we are inside its own signal
    else
        FSerial.reset();
    for (TComDataPacket* packet : FPackets)
        packet->FBuffer.clear();
}

void TComPort::ClearBuffer(bool input, bool output)
{
    if (!Connected())
        return;
    if (input)
        FSerial->clear(QSerialPort::Input);
    if (output && FSerial)
        FSerial->clear(QSerialPort::Output);
}

int TComPort::InputCount()
{
    if (!Connected())
        throw EComPort(QStringLiteral("Com port %1 is not open").arg(FPort));
    // The device itself, not the serial layer's buffer: a hung-up line keeps answering 0 there.
    int waiting = 0;
    if (::ioctl(static_cast<int>(FSerial->handle()), FIONREAD, &waiting) != 0)
        throw EComPort(QStringLiteral("Com port %1: %2").arg(FPort, SystemError(errno)));
    return waiting + static_cast<int>(FSerial->bytesAvailable());
}

void TComPort::ReadReceived()
{
    const TSignalScope scope(FInSignal);
    if (!FSerial)
        return;
    const QByteArray bytes = FSerial->readAll();
    if (bytes.isEmpty())
        return;
    const QString chunk = AnsiToString(bytes);
    // A handler may unlink packets or close the port; walk a copy.
    const std::vector<TComDataPacket*> packets = FPackets;
    for (TComDataPacket* packet : packets) {
        if (std::find(FPackets.begin(), FPackets.end(), packet) != FPackets.end())
            packet->HandleData(chunk);
    }
}

void TComPort::ErrorOccurred(int error)
{
    const TSignalScope scope(FInSignal);
    // A vanished device reports its read error endlessly; the next InputCount tells the reader.
    // Closed from the loop, not here: the error may come from inside one of our own calls.
    if ((error == QSerialPort::ReadError || error == QSerialPort::ResourceError) && !FClosePending) {
        FClosePending = true;
        QMetaObject::invokeMethod(this, [this, opening = FOpenings] {
            FClosePending = false;
            if (FOpenings == opening)
                Close();
        }, Qt::QueuedConnection);
    }
}
