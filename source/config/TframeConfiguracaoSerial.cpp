#include "config/TframeConfiguracaoSerial.h"

#include <QDir>

#include "config/TIniFile.h"

namespace {

QStringList ComPorts()
{
    QStringList ports;
    for (int i = 1; i <= 17; ++i)
        ports << QStringLiteral("COM%1").arg(i);
    return ports;
}

}  // namespace

const TframeConfiguracaoSerial::TChave TframeConfiguracaoSerial::kChaves[8] = {
    {"Port", &TframeConfiguracaoSerial::cbPort},
    {"BaudRate", &TframeConfiguracaoSerial::cbBaudRate},
    {"DataBits", &TframeConfiguracaoSerial::cbDataBits},
    {"StopBits", &TframeConfiguracaoSerial::cbStopBits},
    {"Parity", &TframeConfiguracaoSerial::cbParity},
    {"FlowControl", &TframeConfiguracaoSerial::cbFlowControl},
    {"StartString", &TframeConfiguracaoSerial::edtStartString},
    {"StopString", &TframeConfiguracaoSerial::edtStopString},
};

TframeConfiguracaoSerial::TframeConfiguracaoSerial(QString name, QString workingDirectory,
                                                   QObject* parent)
    : QObject(parent),
      cbPort(TCampoPainel::TTipo::Lista, PortasDisponiveis(), QStringLiteral("COM1")),
      cbBaudRate(TCampoPainel::TTipo::ListaFixa,
                 {"1200", "2400", "4800", "9600", "14400", "19200", "38400", "56000", "57600",
                  "115200", "128000", "256000"},
                 QStringLiteral("9600")),
      cbDataBits(TCampoPainel::TTipo::ListaFixa, {"5", "6", "7", "8"}, QStringLiteral("8")),
      cbStopBits(TCampoPainel::TTipo::ListaFixa, {"1", "1.5", "2"}, QStringLiteral("1")),
      cbParity(TCampoPainel::TTipo::ListaFixa, {"None", "Odd", "Even", "Mark", "Space"},
               QStringLiteral("None")),
      cbFlowControl(TCampoPainel::TTipo::ListaFixa, {"Hardware", "Software", "None", "Custom"},
                    QStringLiteral("None")),
      edtStartString(TCampoPainel::TTipo::Texto, {}, QString()),
      edtStopString(TCampoPainel::TTipo::Texto, {}, QString()),
      FName(std::move(name)),
      FWorkingDirectory(std::move(workingDirectory))
{
    setObjectName(FName);
}

QStringList TframeConfiguracaoSerial::PortasDisponiveis()
{
    QStringList ports = ComPorts();
    const QDir byId(QStringLiteral("/dev/serial/by-id"));
    for (const QString& entry : byId.entryList(QDir::System | QDir::Files, QDir::Name))
        ports << byId.filePath(entry);
    const QDir dev(QStringLiteral("/dev"));
    for (const QString& entry :
         dev.entryList({QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*")}, QDir::System,
                       QDir::Name))
        ports << dev.filePath(entry);
    return ports;
}

QString TframeConfiguracaoSerial::CaminhoArquivo() const
{
    return FWorkingDirectory + QDir::separator() + QStringLiteral("ConfigSerial.ini");
}

void TframeConfiguracaoSerial::Gravar()
{
    GravaConfiguracao(FName);
}

void TframeConfiguracaoSerial::GravaConfiguracao(const QString& ABalanca)
{
    TIniFile ini(CaminhoArquivo());
    for (const TChave& chave : kChaves)
        ini.WriteString(ABalanca, QLatin1String(chave.Key), (this->*chave.Campo).Text());
}

void TframeConfiguracaoSerial::CarregaConfiguracao(const QString& ABalanca)
{
    TIniFile ini(CaminhoArquivo());
    for (const TChave& chave : kChaves) {
        TCampoPainel& campo = this->*chave.Campo;
        campo.SetText(ini.ReadString(ABalanca, QLatin1String(chave.Key), campo.Text()));
    }
    Q_EMIT Alterado();
}

std::shared_ptr<TConfiguracaoSerial> TframeConfiguracaoSerial::Carregar(const QString& ABalanca)
{
    CarregaConfiguracao(ABalanca);
    return GetConfiguracaoPorta();
}

std::shared_ptr<TConfiguracaoSerial> TframeConfiguracaoSerial::GetConfiguracaoPorta() const
{
    auto porta = std::make_shared<TConfiguracaoSerial>();
    porta->SetPort(cbPort.Text());
    porta->SetBaudRate(TConfiguracaoSerial::parseBaudRate(cbBaudRate.ItemIndex()));
    porta->SetDataBits(TConfiguracaoSerial::parseDataBits(cbDataBits.ItemIndex()));
    porta->SetStopBits(TConfiguracaoSerial::parseStopBits(cbStopBits.ItemIndex()));
    porta->SetParity(TConfiguracaoSerial::parseParity(cbParity.ItemIndex()));
    porta->SetFlowControl(TConfiguracaoSerial::parseFlowControl(cbFlowControl.ItemIndex()));
    porta->setStartString(edtStartString.Text());
    porta->setStopString(edtStopString.Text());
    return porta;
}

void TframeConfiguracaoSerial::RefreshComponents(bool AValor)
{
    for (const TChave& chave : kChaves)
        (this->*chave.Campo).SetEnabled(AValor);
    Q_EMIT Alterado();
}
