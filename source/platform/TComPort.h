#pragma once

#include <QObject>
#include <QString>
#include <memory>
#include <vector>

#include "platform/Exception.h"

class EComPort : public Exception {
public:
    using Exception::Exception;
};

enum class TStopBits { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
enum class TParityBits { prNone, prOdd, prEven, prMark, prSpace };
enum class TRTSFlowControl { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };
enum class TDTRFlowControl { dtrDisable, dtrEnable, dtrHandshake };

// Parity settings; assigning them to a port copies the values.
struct TComParity {
    TParityBits Bits = TParityBits::prNone;
    bool Check = false;
    bool Replace = false;
    char ReplaceChar = 0;
    bool operator==(const TComParity&) const = default;
};

// Flow-control settings; every handshake off by default.
struct TComFlowControl {
    TRTSFlowControl ControlRTS = TRTSFlowControl::rtsDisable;
    TDTRFlowControl ControlDTR = TDTRFlowControl::dtrDisable;
    bool OutCTSFlow = false;
    bool OutDSRFlow = false;
    bool DSRSensitivity = false;
    bool XonXoffIn = false;
    bool XonXoffOut = false;
    bool TxContinueOnXoff = false;
    char XonChar = 17;   // DC1
    char XoffChar = 19;  // DC3
    bool operator==(const TComFlowControl&) const = default;
};

class QSerialPort;
class TComDataPacket;

// A serial port. Settings are applied at the next open. Lives on the main thread: its
// reception is a main-loop event, and every operation is called there.
class TComPort : public QObject {
    Q_OBJECT
public:
    TComPort();
    ~TComPort() override;

    const QString& Port() const { return FPort; }
    void SetPort(const QString& port) { FPort = port; }
    int BaudRate() const { return FBaudRate; }
    void SetBaudRate(int baudRate) { FBaudRate = baudRate; }
    int DataBits() const { return FDataBits; }
    void SetDataBits(int dataBits) { FDataBits = dataBits; }
    TStopBits StopBits() const { return FStopBits; }
    void SetStopBits(TStopBits stopBits) { FStopBits = stopBits; }
    const TComParity& Parity() const { return FParity; }
    void SetParity(const TComParity& parity) { FParity = parity; }
    const TComFlowControl& FlowControl() const { return FFlowControl; }
    void SetFlowControl(const TComFlowControl& flowControl) { FFlowControl = flowControl; }

    // Opens the named port with the settings, exclusively; raises EComPort naming the port
    // on failure, and the port is then not open. Does nothing when already open.
    void Open();
    bool Connected() const;
    void Close();
    void ClearBuffer(bool input, bool output);
    // Bytes received and waiting; raises EComPort when the port is no longer usable.
    int InputCount();

private:
    friend class TComDataPacket;
    void Link(TComDataPacket* packet);
    void Unlink(TComDataPacket* packet);
    void Configure();
    void ReadReceived();
    void ErrorOccurred(int error);

    std::unique_ptr<QSerialPort> FSerial;
    std::vector<TComDataPacket*> FPackets;
    int FInSignal = 0;
    bool FClosePending = false;
    unsigned FOpenings = 0;  // tells a deferred close which opening it was meant for
    QString FPort;
    int FBaudRate = 9600;
    int FDataBits = 8;
    TStopBits FStopBits = TStopBits::sbOneStopBit;
    TComParity FParity;
    TComFlowControl FFlowControl;
};
