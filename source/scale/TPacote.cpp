#include "scale/TPacote.h"

TPacote::TPacote(QString AIP, QString AComando, TServerSocketConnection* ASocket)
    : FIP(std::move(AIP)), FComando(std::move(AComando))
{
    if (ASocket)
        FSocket = ASocket->weak_from_this();
}
