#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "app/TFormServidor.h"
#include "scale/TConfiguracaoOrigemSocket.h"
#include "scale/TConfiguracaoSerial.h"
#include "scale/TLeSerial.h"
#include "scale/TPesoEstavel.h"
#include "server/LoopbackClient.h"
#include "support/RecordingUserInterface.h"
#include "support/Wait.h"

namespace {

const QByteArray kSemBalanca("S000000000\r000000000\r000000000\r000000000\r000000000");
constexpr int kNoReplyMs = 300;

enum class Origem { SemLeitor, Nenhuma, Serial, Ethernet };

// A stable reading of `peso` as the scale would send it: five digit runs that agree.
QString Telegrama(int peso)
{
    const QString run = QStringLiteral("%1").arg(peso, 6, 10, QLatin1Char('0'));
    return QStringList(5, run).join(QLatin1Char('\r'));
}

// The core object (which wires the protocol to its server) listening on a free port, and
// readers (never resumed) built over extractors that the fixture holds, as the start does.
class ProtocoloTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Dir.isValid());
        Form = std::make_unique<TFormServidor>(Dir.path(), Dir.path());
        Form->S_Server.SetPort(0);
        Form->S_Server.SetActive(true);
        Port = Form->S_Server.LocalPort();
    }
    void TearDown() override
    {
        Form->S_Server.SetActive(false);
        EXPECT_TRUE(Ui.Boxes.empty()) << Ui.Boxes.front().Text.toStdString();
    }

    std::shared_ptr<TLeSerial> Leitor(Origem origem, std::shared_ptr<TPesoEstavel>& peso, bool passaZero)
    {
        peso = std::make_shared<TPesoEstavel>(QStringLiteral("Bascula"), passaZero, QStringLiteral("\\d\\d\\d\\d\\d+"));
        if (origem == Origem::SemLeitor)
            return nullptr;
        std::shared_ptr<TConfiguracaoSerial> serial;
        std::shared_ptr<TConfiguracaoOrigemSocket> socket;
        if (origem == Origem::Serial)
            serial = std::make_shared<TConfiguracaoSerial>();
        if (origem == Origem::Ethernet)
            socket = std::make_shared<TConfiguracaoOrigemSocket>();
        return TLeSerial::Create(serial, socket, peso, 1000, Form->Status);
    }
    void Balancas(Origem b1, Origem b2, bool passaZero = true)
    {
        Form->BalancaB1 = Leitor(b1, Peso1, passaZero);
        Form->BalancaB2 = Leitor(b2, Peso2, passaZero);
    }
    // Sends each part as its own read event and returns what came back.
    QByteArray Pede(TLoopbackClient& client, const std::vector<QByteArray>& parts, qsizetype expected)
    {
        for (const QByteArray& part : parts) {
            client.Send(part);
            const QString sent = QString::fromLatin1(part);
            EXPECT_TRUE(WaitUntil([&] { return Form->FPacote && Form->FPacote->FComando == sent; }));
            Form->FPacote.reset();
        }
        return expected > 0 ? client.Read(expected) : client.ReadFor(kNoReplyMs);
    }
    QStringList Entradas() const { return Ui.Entries; }

    TRecordingUserInterface Ui;
    QTemporaryDir Dir;
    std::unique_ptr<TFormServidor> Form;
    std::shared_ptr<TPesoEstavel> Peso1;
    std::shared_ptr<TPesoEstavel> Peso2;
    int Port = 0;
};

struct Caso {
    const char* nome;
    std::vector<QByteArray> leituras;
    Origem b1, b2;
    int nBalanca;
    bool eco;
    QByteArray resposta;  // empty: nothing may arrive
    QStringList linhas;  // status entries the requests add
};

class ProtocoloCasos : public ProtocoloTest, public ::testing::WithParamInterface<Caso> {};

TEST_P(ProtocoloCasos, AnswersExactlyTheCommandWords)
{
    const Caso& c = GetParam();
    Balancas(c.b1, c.b2);
    Peso1->LimpaPeso(Telegrama(1520));
    Peso2->LimpaPeso(Telegrama(2750));
    Peso2->SetUtilizaPassaZero(true);
    Peso2->SetPassouZero(false);
    Form->ConfiguracaoGeral.NBalanca = c.nBalanca;
    Form->VisualizarComandosCliente = c.eco;

    TLoopbackClient client(Port);
    ASSERT_TRUE(WaitUntil([&] { return Form->S_Server.ActiveConnections() == 1; }));
    Ui.Entries.clear();
    EXPECT_EQ(Pede(client, c.leituras, c.resposta.size()), c.resposta);
    EXPECT_EQ(Entradas(), c.linhas);
}

const Caso kCasos[] = {
    {"PesoSerial", {"PSB1"}, Origem::Serial, Origem::SemLeitor, 1, false, "S1520", {}},
    {"EcoDoComando", {"PSB1"}, Origem::Serial, Origem::SemLeitor, 1, true, "S1520", {"Cmd => PSB1"}},
    {"ComCrLf", {"PSB1\r\n"}, Origem::Serial, Origem::SemLeitor, 1, true, "", {"Cmd => PSB1\r\n"}},
    {"Minusculas", {"psb1"}, Origem::Serial, Origem::SemLeitor, 1, false, "", {}},
    {"ComEspaco", {" PSB1"}, Origem::Serial, Origem::SemLeitor, 1, true, "", {"Cmd =>  PSB1"}},
    {"DoisNumaLeitura", {"PSB1PSB2"}, Origem::Serial, Origem::Serial, 2, true, "", {"Cmd => PSB1PSB2"}},
    {"PartidoEmDuas", {"PS", "B1"}, Origem::Serial, Origem::SemLeitor, 1, true, "", {"Cmd => PS", "Cmd => B1"}},
    {"OrigemNenhuma", {"PSB1"}, Origem::Nenhuma, Origem::SemLeitor, 1, false, kSemBalanca, {}},
    {"SemLeitor", {"PSB2"}, Origem::Serial, Origem::SemLeitor, 1, false, kSemBalanca, {}},
    {"EthernetNaBalanca2", {"PSB2"}, Origem::Serial, Origem::Ethernet, 2, false, "N2750", {}},
    {"SerialNaBalanca1", {"PSB1"}, Origem::Serial, Origem::Ethernet, 2, false, "S1520", {}},
    {"CfgbDuas", {"CFGB"}, Origem::Serial, Origem::Serial, 2, false, "2", {}},
    {"CfgbUma", {"CFGB"}, Origem::Serial, Origem::SemLeitor, 1, false, "1", {}},
    {"PslSemResposta", {"PSL1"}, Origem::Serial, Origem::SemLeitor, 1, true, "", {"Cmd => PSL1"}},
    {"Outro", {"HELLO"}, Origem::Serial, Origem::SemLeitor, 1, false, "", {}},
};
INSTANTIATE_TEST_SUITE_P(Pedidos, ProtocoloCasos, ::testing::ValuesIn(kCasos),
                         [](const auto& info) { return std::string(info.param.nome); });

TEST_F(ProtocoloTest, Psl1ClearsTheFlagOnlyWhenTrackingIsOn)
{
    for (const bool passaZero : {true, false}) {
        SCOPED_TRACE(passaZero ? "tracking on" : "tracking off");
        Balancas(Origem::Serial, Origem::Serial, passaZero);
        Peso1->LimpaPeso(Telegrama(1520));
        TLoopbackClient client(Port);
        EXPECT_EQ(Pede(client, {"PSB1"}, 5), "S1520");
        EXPECT_EQ(Pede(client, {"PSL1"}, 0), "");
        EXPECT_EQ(Pede(client, {"PSB1"}, 5), passaZero ? "N1520" : "S1520");
        EXPECT_EQ(Pede(client, {"PSB2"}, 2), "S0");  // scale 2 untouched
        // Down to zero: the extractor sets the flag again.
        Peso1->LimpaPeso(Telegrama(0));
        EXPECT_EQ(Pede(client, {"PSB1"}, 2), "S0");
    }
}

TEST_F(ProtocoloTest, EachClientGetsItsOwnReplies)
{
    Balancas(Origem::Serial, Origem::Ethernet);
    Peso1->LimpaPeso(Telegrama(1520));
    Peso2->LimpaPeso(Telegrama(2750));
    Form->ConfiguracaoGeral.NBalanca = 2;
    TLoopbackClient a(Port), b(Port);
    a.Send("PSB1");
    b.Send("PSB2");
    EXPECT_EQ(a.Read(5), "S1520");
    EXPECT_EQ(b.Read(5), "S2750");
    b.Send("CFGB");
    a.Send("PSB2");
    EXPECT_EQ(b.Read(1), "2");
    EXPECT_EQ(a.Read(5), "S2750");
    EXPECT_EQ(a.ReadFor(kNoReplyMs) + b.ReadFor(kNoReplyMs), "");
}

TEST_F(ProtocoloTest, ListenConnectAndDisconnectLinesCarryThePeerAddress)
{
    Form->S_Server.SetActive(false);
    Ui.Entries.clear();
    Form->S_Server.SetActive(true);
    Port = Form->S_Server.LocalPort();
    {
        TLoopbackClient client(Port);
        ASSERT_TRUE(WaitUntil([&] { return Ui.Entries.size() == 2; }));
    }
    ASSERT_TRUE(WaitUntil([&] { return Ui.Entries.size() == 3; }));
    TLoopbackClient reset(Port);
    ASSERT_TRUE(WaitUntil([&] { return Ui.Entries.size() == 4; }));
    reset.Reset();
    ASSERT_TRUE(WaitUntil([&] { return Ui.Entries.size() >= 6; }));
    RunEventsFor(100);
    EXPECT_EQ(Ui.Entries, (QStringList{
                              "Servidor ::> Servidor em Listen!",
                              "Servidor ::> Quorvex ERP Conectado => 127.0.0.1",
                              "Servidor ::> Quorvex ERP Desconectado => 127.0.0.1",
                              "Servidor ::> Quorvex ERP Conectado => 127.0.0.1",
                              "asynchronous socket error",
                              "Servidor ::> Quorvex ERP Desconectado => 127.0.0.1",
                          }));
}

TEST_F(ProtocoloTest, TheLatestRequestIsKeptAndOutlivesItsConnection)
{
    Balancas(Origem::Serial, Origem::SemLeitor);
    {
        TLoopbackClient client(Port);
        client.Send("PSB1");
        EXPECT_EQ(client.Read(2), "S0");
        ASSERT_TRUE(Form->FPacote);
        EXPECT_EQ(Form->FPacote->FIP, "127.0.0.1");
        EXPECT_EQ(Form->FPacote->FComando, "PSB1");
        EXPECT_FALSE(Form->FPacote->FSocket.expired());
    }
    ASSERT_TRUE(WaitUntil([&] { return Form->S_Server.ActiveConnections() == 0; }));
    EXPECT_TRUE(Form->FPacote->FSocket.expired());
}

// A peer that resets between its request and the reply: the reply finds the connection
// failed or gone, and the disconnect line comes once.
TEST_F(ProtocoloTest, ResetBeforeTheReplyDisconnectsOnce)
{
    Balancas(Origem::Serial, Origem::SemLeitor);
    for (int i = 0; i < 20; ++i) {
        TLoopbackClient client(Port);
        client.Send("PSB1");
        client.Reset();
    }
    ASSERT_TRUE(WaitUntil([&] { return Form->S_Server.ActiveConnections() == 0 && Ui.Entries.filter("Desconectado").size() == 20; }));
    RunEventsFor(100);
    EXPECT_EQ(Ui.Entries.filter("Conectado =>").size(), 20);
    EXPECT_EQ(Ui.Entries.filter("Desconectado =>").size(), 20);
}

}  // namespace
