#pragma once

#include <QObject>
#include <QString>
#include <memory>

#include "config/TCampoPainel.h"
#include "scale/TConfiguracaoOrigemSocket.h"

// The Ethernet settings panel of one scale: the scale's address and port, kept in the section
// named after the panel in ConfigSerial.ini of the working directory.
class TframeConfiguracaoSocket : public QObject {
    Q_OBJECT
public:
    TframeConfiguracaoSocket(QString name, QString workingDirectory, QObject* parent = nullptr);

    // What the address field admits: an IPv4 address in dotted decimal.
    static const QString kMascaraIP;

    const QString& Name() const { return FName; }
    QString CaminhoArquivo() const;
    // The port field's label: scale 1's panel says "Puerto", scale 2's "Puerta".
    QString RotuloPorta() const;

    TCampoPainel maskIP;
    TCampoPainel maskPorta;  // five digit positions

    void Gravar();
    void GravaOrigem(const QString& ABalanca);
    void CarregaOrigem(const QString& ABalanca);
    std::shared_ptr<TConfiguracaoOrigemSocket> Carregar(const QString& ABalanca);
    // A new, unconnected client in blocking mode. A port that is no number from 1 to 65535
    // shows the configuration box and leaves the port at 0.
    std::shared_ptr<TConfiguracaoOrigemSocket> GetConfiguracaoOrigem() const;
    void RefreshComponents(bool AValor);

Q_SIGNALS:
    void Alterado();

private:
    QString FName;
    QString FWorkingDirectory;
};
