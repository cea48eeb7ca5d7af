#include "config/TframeConfiguracaoSocket.h"

#include <QDir>

#include "config/TIniFile.h"
#include "platform/UserInterface.h"

const QString TframeConfiguracaoSocket::kMascaraIP = QStringLiteral(
    "(25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\\.(25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\\."
    "(25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\\.(25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)");

namespace {

const QString kIpOrigem = QStringLiteral("IpOrigem");
const QString kPortaOrigem = QStringLiteral("PortaOrigem");

class EPortaInvalida : public Exception {
public:
    using Exception::Exception;
};

// Digits only and a real TCP port: never wrapped into another port.
int PortaDoTexto(const QString& text)
{
    const QString digits = text.trimmed();
    bool ok = !digits.isEmpty() && digits.size() <= 5;
    for (QChar c : digits)
        ok = ok && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    const int port = ok ? digits.toInt() : 0;
    if (port < 1 || port > 65535)
        throw EPortaInvalida(QStringLiteral("'%1' is not a valid port").arg(text));
    return port;
}

}  // namespace

TframeConfiguracaoSocket::TframeConfiguracaoSocket(QString name, QString workingDirectory,
                                                   QObject* parent)
    : QObject(parent),
      maskIP(TCampoPainel::TTipo::Texto, {}, QString()),
      maskPorta(TCampoPainel::TTipo::Digitos, {}, QString(), 5),
      FName(std::move(name)),
      FWorkingDirectory(std::move(workingDirectory))
{
    setObjectName(FName);
}

QString TframeConfiguracaoSocket::CaminhoArquivo() const
{
    return FWorkingDirectory + QDir::separator() + QStringLiteral("ConfigSerial.ini");
}

QString TframeConfiguracaoSocket::RotuloPorta() const
{
    return FName.endsWith(QLatin1Char('1')) ? QStringLiteral("Puerto") : QStringLiteral("Puerta");
}

void TframeConfiguracaoSocket::Gravar()
{
    GravaOrigem(FName);
}

void TframeConfiguracaoSocket::GravaOrigem(const QString& ABalanca)
{
    TIniFile ini(CaminhoArquivo());
    ini.WriteString(ABalanca, kIpOrigem, maskIP.Text());
    ini.WriteString(ABalanca, kPortaOrigem, maskPorta.Text());
}

void TframeConfiguracaoSocket::CarregaOrigem(const QString& ABalanca)
{
    TIniFile ini(CaminhoArquivo());
    maskIP.SetText(ini.ReadString(ABalanca, kIpOrigem, maskIP.Text()));
    maskPorta.SetText(ini.ReadString(ABalanca, kPortaOrigem, maskPorta.Text()));
    Q_EMIT Alterado();
}

std::shared_ptr<TConfiguracaoOrigemSocket> TframeConfiguracaoSocket::Carregar(
    const QString& ABalanca)
{
    CarregaOrigem(ABalanca);
    return GetConfiguracaoOrigem();
}

std::shared_ptr<TConfiguracaoOrigemSocket> TframeConfiguracaoSocket::GetConfiguracaoOrigem() const
{
    auto origem = std::make_shared<TConfiguracaoOrigemSocket>();
    try {
        origem->SetClientType(TClientType::ctBlocking);
        origem->SetHost(maskIP.Text());
        origem->SetAddress(maskIP.Text());
        origem->SetPort(PortaDoTexto(maskPorta.Text()));
    } catch (const std::exception&) {
        // The object goes to the caller as far as it was set up.
        UserInterface().MessageBox(
            QString::fromUtf8("Asegúrese de que el IP del bascula está configurado"),
            QString::fromUtf8("Error de configuración"), TMsgIcon::Error);
    }
    return origem;
}

void TframeConfiguracaoSocket::RefreshComponents(bool AValor)
{
    maskIP.SetEnabled(AValor);
    maskPorta.SetEnabled(AValor);
    Q_EMIT Alterado();
}
