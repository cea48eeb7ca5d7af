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

QSerialPort::DataBits ToDataBits(int bits) { return static_cast<QSerialPort::DataBits>(bits); }

QSerialPort::Parity ToParity(TParityBits parity)
{
    switch (parity) {
    case TParityBits::prNone: return QSerialPort::NoParity;
    case TParityBits::prOdd: return QSerialPort::OddParity;
    case TParityBits::prEven: return QSerialPort::EvenParity;
    case TParityBits::prMark: return QSerialPort::MarkParity;
    case TParityBits::prSpace: return QSerialPort::SpaceParity;
    }
    return QSerialPort::NoParity;
}

QSerialPort::FlowControl ToFlowControl(const TComFlowControl& flow)
{
    if (flow.ControlRTS == TRTSFlowControl::rtsHandshake || flow.OutCTSFlow)
        return QSerialPort::HardwareControl;
    if (flow.XonXoffIn || flow.XonXoffOut)
        return QSerialPort::SoftwareControl;
    return QSerialPort::NoFlowControl;
}

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
    auto check = [&serial](bool ok) {
        if (!ok)
            throw EComPort(serial.errorString());
    };
    check(serial.setBaudRate(FBaudRate));
    check(serial.setDataBits(ToDataBits(FDataBits)));
    check(serial.setStopBits(FStopBits == TStopBits::sbTwoStopBits ? QSerialPort::TwoStop
                                                                     : QSerialPort::OneStop));
    check(serial.setParity(ToParity(FParity.Bits)));
    const QSerialPort::FlowControl flow = ToFlowControl(FFlowControl);
    check(serial.setFlowControl(flow));

    if (flow == QSerialPort::SoftwareControl) {
        const int fd = static_cast<int>(serial.handle());
        termios tio {};
        if (::tcgetattr(fd, &tio) != 0)
            throw EComPort(SystemError(errno));
        tio.c_cc[VSTART] = static_cast<cc_t>(FFlowControl.XonChar);
        tio.c_cc[VSTOP] = static_cast<cc_t>(FFlowControl.XoffChar);
        // Each direction on its own, as the settings allow.
        if (!FFlowControl.XonXoffIn)
            tio.c_iflag &= ~IXOFF;
        if (!FFlowControl.XonXoffOut)
            tio.c_iflag &= ~IXON;
        if (::tcsetattr(fd, TCSANOW, &tio) != 0)
            throw EComPort(SystemError(errno));
    }
    // Modem lines are best effort: pseudo-terminals and some adapters have none.
    if (flow != QSerialPort::HardwareControl)
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
    if (input) {
        FSerial->clear(QSerialPort::Input);
        FSerial->readAll();
    }
    if (output)
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
    if (error == QSerialPort::ReadError || error == QSerialPort::ResourceError)
        Close();
}
