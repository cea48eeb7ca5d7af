#include <QFileInfo>
#include <cerrno>

#include "Log/EInOutError.h"
#include "Log/TKrCSVTextFormatter2.h"
#include "Log/TKrJsonTextFormatter.h"
#include "Log/TKrTextFileHandler.h"
#include "LogFixture.h"

using TKrFileHandlerTest = LogTest;

namespace {
const QStringList kBothFiles = {
    QStringLiteral("PESOCRU.handlers=TKrJsonFileHandler TKrCSVFileHandler"),
    QStringLiteral("TKrJsonFileHandler.formatter=TKrJsonTextFormatter"),
    QStringLiteral("TKrCSVFileHandler.formatter=TKrCSVTextFormatter"),
};
const QString kJson = QStringLiteral("PESOCRU20240115-093012.LOG");
const QString kCsv = QStringLiteral("PESOCRU20240115-093012.CSV");
}  // namespace

TEST_F(TKrFileHandlerTest, OneRecordInBothFiles)
{
    StartLines(kBothFiles);
    TKrLogger* log = TKrLogger::getLogger(QStringLiteral("PESOCRU"));
    EXPECT_EQ(LogFiles(), QStringList({kCsv, kJson}));
    log->log(TKrLogLevel::INFO, QStringLiteral("TPesoEstavel.LimpaPeso"), QStringLiteral("Peso lido direto"),
             QStringLiteral("PesoCru"), QVariant(QStringLiteral("0001234")));
    shutdownLogging();
    EXPECT_EQ(ReadLog(kJson),
              QByteArray("[\r\n{\"Date\":\"15/01/2024 09:30:12\",\"Logger\":\"PESOCRU\",\"Level\":\"INFO\","
                         "\"Class\":\"TPesoEstavel.LimpaPeso\",\"Method\":\"Peso lido direto\","
                         "\"Msg\":\"PesoCru\",Params:\"0001234\"}]"));
    EXPECT_EQ(ReadLog(kCsv), QByteArray("Date;Logger;Level;Class;Method;Msg;Params\r\n"
                                        "15/01/2024 09:30:12;PESOCRU;INFO;TPesoEstavel.LimpaPeso;"
                                        "Peso lido direto;PesoCru;0001234;"));
}

TEST_F(TKrFileHandlerTest, RecordsAreSeparatedAndOnDiskAtOnce)
{
    StartLines(kBothFiles + QStringList{QStringLiteral("TKrJsonFileHandler.level=INFO")});
    TKrLogger* log = TKrLogger::getLogger(QStringLiteral("PESOCRU"));
    log->log(TKrLogLevel::WARNING, QStringLiteral("say \"hi\" \xe9\u20ac"));
    log->log(TKrLogLevel::FINE, QStringLiteral("below the JSON level"));
    log->log(TKrLogLevel::INFO, {}, {}, QStringLiteral("b"), QVariant(QStringLiteral("l1\r\nl2")));
    // Before the shut-down: every record is complete, only the "]" is missing.
    const QByteArray json =
        "[\r\n{\"Date\":\"15/01/2024 09:30:12\",\"Logger\":\"PESOCRU\",\"Level\":\"WARNING\",\"Class\":\"\","
        "\"Method\":\"\",\"Msg\":\"say \"hi\" \xE9\x80\",Params:\"\"},\r\n"
        "{\"Date\":\"15/01/2024 09:30:12\",\"Logger\":\"PESOCRU\",\"Level\":\"INFO\",\"Class\":\"\","
        "\"Method\":\"\",\"Msg\":\"b\",Params:\"l1\r\nl2\"}";
    EXPECT_EQ(ReadLog(kJson), json);
    shutdownLogging();
    EXPECT_EQ(ReadLog(kJson), json + "]");
    EXPECT_EQ(ReadLog(kCsv), QByteArray("Date;Logger;Level;Class;Method;Msg;Params\r\n"
                                        "15/01/2024 09:30:12;PESOCRU;WARNING;;;say \"hi\" \xE9\x80;;\r\n"
                                        "15/01/2024 09:30:12;PESOCRU;FINE;;;below the JSON level;;\r\n"
                                        "15/01/2024 09:30:12;PESOCRU;INFO;;;b;l1\r\nl2;"));
}

TEST_F(TKrFileHandlerTest, HandlersAtOffOrWithoutFormatterWriteOnlyTheFrame)
{
    StartLines({QStringLiteral("PESOCRU.handlers=TKrJsonFileHandler TKrCSVFileHandler"),
                QStringLiteral("TKrJsonFileHandler.formatter=TKrJsonTextFormatter"),
                QStringLiteral("TKrJsonFileHandler.level=OFF")});
    TKrLogger* log = TKrLogger::getLogger(QStringLiteral("PESOCRU"));
    EXPECT_EQ(log->Handlers().at(1)->Formatter(), nullptr);
    log->log(TKrLogLevel::OFF, QStringLiteral("x"));
    log->log(TKrLogLevel::INFO, QStringLiteral("y"));
    EXPECT_FALSE(static_cast<TKrTextFileHandler*>(log->Handlers().at(1))->HasData());
    shutdownLogging();
    EXPECT_EQ(ReadLog(kJson), QByteArray("[\r\n]"));
    EXPECT_EQ(ReadLog(kCsv), QByteArray("Date;Logger;Level;Class;Method;Msg;Params\r\n"));
}

TEST_F(TKrFileHandlerTest, RootAndChildEachWriteTheirOwnFile)
{
    StartLines({QStringLiteral("root.handlers=TKrCSVFileHandler"), QStringLiteral("root.level=OFF"),
                QStringLiteral("PESOCRU.handlers=TKrCSVFileHandler"),
                QStringLiteral("root.formatter=TKrCSVTextFormatter2"),
                QStringLiteral("TKrCSVFileHandler.formatter=TKrCSVTextFormatter")});
    TKrLogger::getLogger(QStringLiteral("PESOCRU"))->log(TKrLogLevel::INFO, {}, {}, QStringLiteral("m"), QVariant(5));
    TKrLogger::getLogger(QStringLiteral("STARTUP"))->log(TKrLogLevel::INFO, {}, {}, QStringLiteral("s"), QVariantList{});
    shutdownLogging();
    EXPECT_EQ(LogFiles(), QStringList({kCsv, QStringLiteral("root20240115-093012.CSV")}));
    EXPECT_EQ(ReadLog(kCsv), QByteArray("Date;Logger;Level;Class;Method;Msg;Params\r\n"
                                        "15/01/2024 09:30:12;PESOCRU;INFO;;;m;5;"));
    // The root's handler: its own formatter, every child's record.
    EXPECT_EQ(ReadLog(QStringLiteral("root20240115-093012.CSV")),
              QByteArray("Date;Logger;Level;Class;Method;Msg;Params\r\n15/01/2024 09:30:12;5;\r\n"
                         "15/01/2024 09:30:12;{};"));
}

TEST_F(TKrFileHandlerTest, DateTextFollowsTheRegionalSettings)
{
    RegionalSettings rs;
    rs.ShortDateFormat = QStringLiteral("yyyy-MM-dd");
    rs.LongTimeFormat = QStringLiteral("h:mm:ss AP");
    RegionalSettings::SetCurrent(rs);
    const struct { QTime time; const char* text; } cases[] = {
        {QTime(0, 0), "2024-01-15;p;"},
        {QTime(0, 0, 0, 1), "2024-01-15 12:00:00 AM;p;"},
        {QTime(15, 4, 5), "2024-01-15 3:04:05 PM;p;"},
    };
    for (const auto& c : cases) {
        TKrLogClock::SetFixed(QDateTime(QDate(2024, 1, 15), c.time));
        TKrLogRecord rec(&TKrLogLevel::INFO, {}, {}, {});
        rec.SetParameters(QStringLiteral("p"));
        EXPECT_EQ(TKrCSVTextFormatter2().Format(rec), QLatin1String(c.text));
    }
}

TEST_F(TKrFileHandlerTest, AFileThatCannotBeMadeFailsTheFirstRequest)
{
    // A plain file where the log folder should be.
    QFile blocker(FDir.filePath(QStringLiteral("log")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    StartLines(kBothFiles);
    try {
        TKrLogger::getLogger(QStringLiteral("PESOCRU"));
        ADD_FAILURE() << "no failure";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.ErrorCode(), ENOTDIR);
        EXPECT_TRUE(e.Message().contains(LogPath(kJson))) << e.Message().toStdString();
    }
    EXPECT_TRUE(TKrLogger::getLogger(QStringLiteral("PESOCRU"))->Handlers().empty());
    EXPECT_TRUE(TKrLogManager::getLogManager()->loadedHandlers().empty());
    shutdownLogging();  // nothing to close
}

TEST_F(TKrFileHandlerTest, ALoggerNameNeverLeavesTheLogFolder)
{
    StartLines({QStringLiteral("../fora.handlers=TKrJsonFileHandler")});
    EXPECT_THROW(TKrLogger::getLogger(QStringLiteral("../fora")), EInOutError);
    EXPECT_TRUE(LogFiles().isEmpty());
    EXPECT_EQ(QDir(FDir.path()).entryList(QDir::Files), QStringList({QStringLiteral("krlog.config")}));
}

TEST_F(TKrFileHandlerTest, AStartInTheSameSecondReplacesTheFile)
{
    StartLines(kBothFiles);
    TKrLogger::getLogger(QStringLiteral("PESOCRU"))->log(TKrLogLevel::INFO, QStringLiteral("primeiro"));
    shutdownLogging();
    StartLines(kBothFiles);
    TKrLogger::getLogger(QStringLiteral("PESOCRU"));
    shutdownLogging();
    EXPECT_EQ(ReadLog(kJson), QByteArray("[\r\n]"));
}

TEST_F(TKrFileHandlerTest, TwoHandlersWithOneNameLeaveTheLaterOnesFileWhole)
{
    StartLines({QStringLiteral("PESOCRU.handlers=TKrJsonFileHandler TKrJsonFileHandler"),
                QStringLiteral("TKrJsonFileHandler.formatter=TKrCSVTextFormatter2")});
    TKrLogger::getLogger(QStringLiteral("PESOCRU"))->log(TKrLogLevel::INFO, {}, {}, {}, QVariant(1));
    shutdownLogging();
    EXPECT_EQ(ReadLog(kJson), QByteArray("[\r\n15/01/2024 09:30:12;1;]"));
}
