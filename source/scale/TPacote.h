#pragma once

#include <QString>
#include <memory>

#include "platform/TServerSocketConnection.h"

// One client request: who sent it, what arrived, and where the reply goes.
class TPacote {
public:
    TPacote(QString AIP, QString AComando, TServerSocketConnection* ASocket);

    QString FIP;
    QString FComando;
    // The connection is the server's, not ours: a request outliving its connection finds it gone.
    std::weak_ptr<TServerSocketConnection> FSocket;
};
