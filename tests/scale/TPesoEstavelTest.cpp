#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QTime>
#include <gtest/gtest.h>
#include <vector>

#include "Log/TKrClassRegistry.h"
#include "Log/TKrHandler.h"
#include "Log/TKrLogClock.h"
#include "Log/TKrLogRecord.h"
#include "Log/UKrLog.h"
#include "scale/TPesoEstavel.h"
#include "scale/TextoZero.h"

namespace {

struct TPesoRecord {
    QString Method, Message, Params;
};
std::vector<TPesoRecord> gRecords;

class TPesoRecorder : public TKrHandler {
public:
    using TKrHandler::TKrHandler;
    QString ClassName() const override { return QStringLiteral("TPesoRecorder"); }
    void publish(const TKrLogRecord& rec) override
    {
        gRecords.push_back({rec.SourceMethodName(), rec.Message(), rec.GetParameters()});
    }
};

const QString kDefault = QStringLiteral("\\d\\d\\d\\d\\d+");

class TPesoEstavelTest : public ::testing::Test {
protected:
    void Start(const QByteArray& config)
    {
        ASSERT_TRUE(FDir.isValid());
        QFile file(FDir.filePath(QStringLiteral("krlog.config")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(config);
        file.close();
        startLogging(FDir.path());
        TKrClassRegistry::RegisterHandlerClass<TPesoRecorder>(QStringLiteral("TPesoRecorder"));
        gRecords.clear();
    }
    void SetUp() override
    {
        TKrLogClock::SetFixed(QDateTime(QDate(2024, 1, 15), QTime(9, 30, 12)));
        Start("PESOCRU.handlers=TPesoRecorder");
    }
    void TearDown() override
    {
        shutdownLogging();
        TKrLogClock::SetSource({});
    }
    QTemporaryDir FDir;
};

QString Repeat(const QString& telegram, int times)
{
    QString text;
    for (int i = 0; i < times; ++i)
        text += telegram;
    return text;
}

}  // namespace

TEST_F(TPesoEstavelTest, ExtractionCases)
{
    const QString digits = QStringLiteral("\\d+");
    const QString kg = QStringLiteral("  000123 kg  000123 kg  000124 kg  000123 kg");
    const struct {
        QString raw; QString expr; int pos; int len; double tol; bool tracking;
        const char* weight; bool flag; int events; size_t records;
    } cases[] = {
        // Before each case: weight "77", flag false.
        {QString(), kDefault, 1, 0, 0, true, "77", false, 0, 0},
        {kTextoZero, kDefault, 1, 0, 0, true, "0", true, 1, 3},
        {kTextoZero, kDefault, 1, 0, 0, false, "0", false, 1, 3},
        {QStringLiteral("11111 11111 11111"), kDefault, 1, 0, 0, true, "77", false, 0, 2},
        {QStringLiteral("11111 11111 11111 11111"), kDefault, 1, 0, 0, true, "11111", false, 1, 3},
        {QStringLiteral("5000 100 100 100 100"), digits, 1, 0, 0, true, "5000", false, 1, 3},
        {QStringLiteral("100 101 100 101"), digits, 1, 0, 0, true, "77", false, 0, 2},
        {QStringLiteral("100 101 100 101"), digits, 1, 0, 1, true, "100", false, 1, 3},
        {kg, kDefault, 1, 0, 0, true, "77", false, 0, 2},
        {kg, kDefault, 1, 0, 1, true, "123", false, 1, 3},
        {Repeat(QStringLiteral("12.345 "), 4), kDefault, 1, 0, 0, true, "77", false, 0, 2},
        {Repeat(QStringLiteral("00012345 "), 4), kDefault, 3, 4, 0, true, "123", false, 1, 3},
        {Repeat(QStringLiteral("00012345 "), 4), kDefault, 9, 4, 0, true, "77", false, 0, 2},
        {Repeat(QStringLiteral("00012345 "), 4), kDefault, 0, 3, 0, true, "0", true, 1, 3},
        {Repeat(QStringLiteral("2147483648 "), 4), kDefault, 1, 0, 0, true, "77", false, 0, 2},
        {Repeat(QStringLiteral("2147483647 "), 4), kDefault, 1, 0, 0, true, "2147483647", false, 1, 3},
        {QStringLiteral("99999999999 100000 100000 100000 100000"), kDefault, 1, 0, 0, true, "77", false, 0, 2},
        {QStringLiteral("00005 00003 00004 00005"), kDefault, 1, 0, 5, true, "5", true, 1, 3},
        {QStringLiteral("00005 00003 00004 00005"), kDefault, 1, 0, 1, true, "77", false, 0, 2},
        // An expression that takes the empty first piece: reading 0 is no number, nothing is stored.
        {QStringLiteral(" 00009 00009 00009 00009"), QStringLiteral("\\d*"), 1, 0, 0, true, "77", false, 0, 2},
        {QString::fromUtf16(u"\0 12345\u00ff12345\u008012345\u00e912345", 25), kDefault, 1, 0, 0, true, "12345", false, 1, 3},
        {Repeat(QString::fromUtf16(u"\u0661\u0662\u0663\u0664\u0665 "), 4), kDefault, 1, 0, 0, true, "77", false, 0, 2},
        {QString(65536, QLatin1Char('7')), kDefault, 1, 0, 0, true, "77", false, 0, 2},
        {Repeat(QStringLiteral("1,"), 500000), QStringLiteral("\\d"), 1, 0, 0, true, "1", false, 1, 3},
        {QString(1000000, QLatin1Char(';')), kDefault, 1, 0, 0, true, "77", false, 0, 2},
    };
    int index = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << index++);
        TPesoEstavel peso(QStringLiteral("Bascula1"), c.tracking, c.expr);
        peso.SetPosicaoInicial(c.pos);
        peso.SetTamanhoString(c.len);
        peso.SetTolerancia(c.tol);
        peso.SetPesoEstavel(QStringLiteral("77"));
        peso.SetPassouZero(false);
        int events = 0;
        peso.SetOnNovoPeso([&](TPesoEstavel* sender) {
            EXPECT_EQ(sender, &peso);
            ++events;
        });
        gRecords.clear();
        peso.LimpaPeso(c.raw);
        EXPECT_EQ(peso.PesoEstavel(), QLatin1String(c.weight));
        EXPECT_EQ(peso.PassouZero(), c.flag);
        EXPECT_EQ(events, c.events);
        EXPECT_EQ(gRecords.size(), c.records);
    }
}

TEST_F(TPesoEstavelTest, WeightAndFlagProperties)
{
    TPesoEstavel peso(QStringLiteral("Bascula2"), true, kDefault);
    EXPECT_EQ(peso.Nome(), QLatin1String("Bascula2"));
    EXPECT_EQ(peso.PesoEstavel(), QLatin1String("0"));
    EXPECT_EQ(peso.GetPassouZero(), QLatin1String("S"));
    EXPECT_EQ(peso.GetPassouZero(), QLatin1String("S"));  // reading does not change it
    peso.SetPassouZero(false);
    EXPECT_EQ(peso.GetPassouZero(), QLatin1String("N"));

    int events = 0;
    peso.SetPesoEstavel(QStringLiteral("5"));  // no handler yet
    peso.SetOnNovoPeso([&](TPesoEstavel*) { ++events; });
    peso.SetPesoEstavel(QString());
    EXPECT_EQ(peso.PesoEstavel(), QLatin1String("5"));
    EXPECT_EQ(events, 0);
    peso.SetPesoEstavel(QStringLiteral("5"));
    peso.SetPesoEstavel(QStringLiteral("6"));
    EXPECT_EQ(events, 2);
    EXPECT_EQ(peso.PesoEstavel(), QLatin1String("6"));
}

TEST_F(TPesoEstavelTest, FailuresReachTheCallerAndLeaveTheWeight)
{
    for (const QString& expr : {QString(), QStringLiteral("(")}) {
        TPesoEstavel peso(QStringLiteral("Bascula1"), true, expr);
        EXPECT_THROW(peso.LimpaPeso(kTextoZero), EExpressaoRegular);
        EXPECT_EQ(peso.PesoEstavel(), QLatin1String("0"));
    }
    // A failing new-weight handler is not one of the swallowed pair failures.
    TPesoEstavel peso(QStringLiteral("Bascula1"), true, kDefault);
    peso.SetPassouZero(false);
    int calls = 0;
    peso.SetOnNovoPeso([&](TPesoEstavel*) {
        ++calls;
        throw Exception(QStringLiteral("handler"));
    });
    EXPECT_THROW(peso.LimpaPeso(kTextoZero + QStringLiteral("\r000000000")), Exception);
    EXPECT_EQ(calls, 1);
    // The next call starts from empty working lists.
    peso.SetOnNovoPeso({});
    gRecords.clear();
    peso.LimpaPeso(QStringLiteral("11111 11111 11111"));
    ASSERT_EQ(gRecords.size(), 2u);
    EXPECT_EQ(gRecords[1].Params, QLatin1String("11111\r\n11111\r\n11111\r\n"));
}

TEST_F(TPesoEstavelTest, TheThreeRecordsReachAFile)
{
    shutdownLogging();
    Start("PESOCRU.handlers=TKrCSVFileHandler\r\nTKrCSVFileHandler.formatter=TKrCSVTextFormatter\r\n");
    TPesoEstavel peso(QStringLiteral("Bascula1"), true, kDefault);
    peso.SetTolerancia(1);
    peso.LimpaPeso(QStringLiteral("  000123 kg  000123 kg  000124 kg  000123 kg"));
    shutdownLogging();
    QFile file(FDir.filePath(QStringLiteral("log/PESOCRU20240115-093012.CSV")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray prefix = "15/01/2024 09:30:12;PESOCRU;INFO;TPesoEstavel.LimpaPeso;";
    EXPECT_EQ(file.readAll(),
              "Date;Logger;Level;Class;Method;Msg;Params\r\n" + prefix +
                  "Peso lido direto;PesoCru;  000123 kg  000123 kg  000124 kg  000123 kg;\r\n" + prefix +
                  "PosRegex;LeituraLimpa;000123\r\n000123\r\n000124\r\n000123\r\n;\r\n" + prefix +
                  "LeituraOK;PesoEstavel;123;");
}
