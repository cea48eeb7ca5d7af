#pragma once

#include <QString>
#include <memory>

#include "platform/TServerSocket.h"

class TFormServidor;
class TLeSerial;
class TPesoEstavel;

// The client command protocol of the weight server: the handlers of the core's server socket
// S_Server. While it lives, the socket's events go to it; every handler runs guarded, so a
// failure is shown by the general error handler and never unwinds into the Qt loop.
class TProtocoloCliente {
public:
    explicit TProtocoloCliente(TFormServidor& form);
    ~TProtocoloCliente();
    TProtocoloCliente(const TProtocoloCliente&) = delete;
    TProtocoloCliente& operator=(const TProtocoloCliente&) = delete;

    void S_ServerListen(TServerSocket& Sender, TServerSocketConnection* Socket);
    void S_ServerClientConnect(TServerSocket& Sender, TServerSocketConnection* Socket);
    void S_ServerClientDisconnect(TServerSocket& Sender, TServerSocketConnection* Socket);
    void S_ServerClientRead(TServerSocket& Sender, TServerSocketConnection* Socket);
    void S_ServerClientError(TServerSocket& Sender, TServerSocketConnection* Socket,
                             TSocketErrorKind ErrorEvent, int& ErrorCode);

private:
    // The extractor a configured scale answers from; none when the scale has no origin.
    TPesoEstavel* BalancaConfigurada(const std::shared_ptr<TLeSerial>& balanca) const;
    void RespondePeso(const std::shared_ptr<TLeSerial>& balanca);
    void LimpaPassouZero(const std::shared_ptr<TLeSerial>& balanca);
    void Envia(const QString& texto);

    TFormServidor& FForm;
};
