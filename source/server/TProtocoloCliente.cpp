#include "server/TProtocoloCliente.h"

#include "app/ApplicationErrors.h"
#include "app/TFormServidor.h"
#include "scale/TLeSerial.h"
#include "scale/TPacote.h"
#include "scale/TPesoEstavel.h"
#include "scale/TextoZero.h"

namespace {

const QString kPrefixo = QStringLiteral("Servidor ::> ");

}  // namespace

TProtocoloCliente::TProtocoloCliente(TFormServidor& form) : FForm(form)
{
    TServerSocket& s = FForm.S_Server;
    s.OnListen = [this](TServerSocket& sender, TServerSocketConnection* socket) {
        Guarded([&] { S_ServerListen(sender, socket); });
    };
    s.OnClientConnect = [this](TServerSocket& sender, TServerSocketConnection* socket) {
        Guarded([&] { S_ServerClientConnect(sender, socket); });
    };
    s.OnClientDisconnect = [this](TServerSocket& sender, TServerSocketConnection* socket) {
        Guarded([&] { S_ServerClientDisconnect(sender, socket); });
    };
    s.OnClientRead = [this](TServerSocket& sender, TServerSocketConnection* socket) {
        Guarded([&] { S_ServerClientRead(sender, socket); });
    };
    s.OnClientError = [this](TServerSocket& sender, TServerSocketConnection* socket, TSocketErrorKind kind,
                             int& code) { Guarded([&] { S_ServerClientError(sender, socket, kind, code); }); };
}

TProtocoloCliente::~TProtocoloCliente()
{
    TServerSocket& s = FForm.S_Server;
    s.OnListen = nullptr;
    s.OnClientConnect = nullptr;
    s.OnClientDisconnect = nullptr;
    s.OnClientRead = nullptr;
    s.OnClientError = nullptr;
}

void TProtocoloCliente::S_ServerListen(TServerSocket&, TServerSocketConnection*)
{
    FForm.Status.Add(kPrefixo + QStringLiteral("Servidor em Listen!"));
}

void TProtocoloCliente::S_ServerClientConnect(TServerSocket&, TServerSocketConnection* Socket)
{
    FForm.Status.Add(kPrefixo + QStringLiteral("Quorvex ERP Conectado => ") + Socket->RemoteAddress());
}

void TProtocoloCliente::S_ServerClientDisconnect(TServerSocket&, TServerSocketConnection* Socket)
{
    FForm.Status.Add(kPrefixo + QStringLiteral("Quorvex ERP Desconectado => ") + Socket->RemoteAddress());
}

void TProtocoloCliente::S_ServerClientError(TServerSocket&, TServerSocketConnection*, TSocketErrorKind,
                                            int& ErrorCode)
{
    const int codigo = ErrorCode;
    ErrorCode = 0;
    if (codigo > 0)
        FForm.Status.Add(QStringLiteral("asynchronous socket error"));
}

void TProtocoloCliente::S_ServerClientRead(TServerSocket&, TServerSocketConnection* Socket)
{
    const QString texto = Socket->ReceiveText();
    FForm.FPacote = std::make_unique<TPacote>(Socket->RemoteAddress(), texto, Socket);
    if (FForm.VisualizarComandosCliente)
        FForm.Status.Add(QStringLiteral("Cmd => ") + texto);

    const QString& comando = FForm.FPacote->FComando;
    if (comando == QLatin1String("PSB1"))
        RespondePeso(FForm.BalancaB1);
    else if (comando == QLatin1String("PSB2"))
        RespondePeso(FForm.BalancaB2);
    else if (comando == QLatin1String("PSL1"))
        LimpaPassouZero(FForm.BalancaB1);
    else if (comando == QLatin1String("PSL2"))
        LimpaPassouZero(FForm.BalancaB2);
    else if (comando == QLatin1String("CFGB"))
        Envia(QString::number(FForm.ConfiguracaoGeral.NBalanca));
}

TPesoEstavel* TProtocoloCliente::BalancaConfigurada(const std::shared_ptr<TLeSerial>& balanca) const
{
    if (!balanca || (!balanca->FComPort && !balanca->FSocket))
        return nullptr;
    return balanca->FPesoEstavel.get();
}

void TProtocoloCliente::RespondePeso(const std::shared_ptr<TLeSerial>& balanca)
{
    // A configured scale whose extractor field is empty answers as one without a scale
    // rather than reading nothing.
    if (TPesoEstavel* peso = BalancaConfigurada(balanca))
        Envia(peso->GetPassouZero() + peso->PesoEstavel());
    else
        Envia(QStringLiteral("S") + kTextoZero);
}

void TProtocoloCliente::LimpaPassouZero(const std::shared_ptr<TLeSerial>& balanca)
{
    TPesoEstavel* peso = balanca ? balanca->FPesoEstavel.get() : nullptr;
    if (peso && peso->UtilizaPassaZero())
        peso->SetPassouZero(false);
}

void TProtocoloCliente::Envia(const QString& texto)
{
    // Sent once; a reply the connection does not take is not sent again.
    if (const auto socket = FForm.FPacote->FSocket.lock())
        socket->SendText(texto);
}
