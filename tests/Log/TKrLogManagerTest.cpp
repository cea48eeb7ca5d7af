#include <QFileInfo>
#include <cstdio>
#include <unistd.h>

#include "Log/EAssertionFailed.h"
#include "Log/TKrFileHandlerNULL.h"
#include "LogFixture.h"

using TKrLogManagerTest = LogTest;

TEST_F(TKrLogManagerTest, WithoutConfigurationNothingIsWritten)
{
    Start(std::nullopt);
    EXPECT_EQ(TKrLogManager::getLogManager()->properties(), getDefaultLogConfiguration());
    EXPECT_EQ(getDefaultLogConfiguration().size(), 23);
    TKrLogger* log = TKrLogger::getLogger(QStringLiteral("PESOCRU"));
    log->log(TKrLogLevel::OFF, QStringLiteral("c"), QStringLiteral("m"), QStringLiteral("x"), QVariant(1));
    TKrLogger::getLogger(QStringLiteral("TKrJsonFileHandler"))->info(QStringLiteral("x"));

    const auto loggers = TKrLogManager::getLogManager()->Loggers();
    ASSERT_EQ(loggers.size(), 3u);
    TKrLogger* root = loggers[0];
    EXPECT_EQ(root->LoggerName(), QLatin1String("root"));
    EXPECT_EQ(root->Level(), &TKrLogLevel::OFF);
    ASSERT_EQ(root->Handlers().size(), 1u);
    EXPECT_NE(dynamic_cast<TKrFileHandlerNULL*>(root->Handlers()[0]), nullptr);
    EXPECT_EQ(log->Level(), &TKrLogLevel::ALL);
    EXPECT_TRUE(log->Handlers().empty());
    EXPECT_FALSE(QFileInfo::exists(FDir.filePath(QStringLiteral("log"))));
}

TEST_F(TKrLogManagerTest, EmptyConfigurationGivesAllAndNoHandlers)
{
    Start(QByteArray());
    EXPECT_TRUE(TKrLogManager::getLogManager()->properties().isEmpty());
    TKrLogger::getLogger(QStringLiteral("PESOCRU"));
    for (TKrLogger* logger : TKrLogManager::getLogManager()->Loggers()) {
        EXPECT_EQ(logger->Level(), &TKrLogLevel::ALL);
        EXPECT_TRUE(logger->Handlers().empty());
    }
}

TEST_F(TKrLogManagerTest, KeyLookup)
{
    const struct { const char* lines; const TKrLogLevel* level; } cases[] = {
        {"pesocru.LEVEL=INFO\nPESOCRU.level=WARNING", &TKrLogLevel::INFO},  // case, first wins
        {"PESOCRU.level = INFO", &TKrLogLevel::ALL},                         // blanks are part of the key
        {"PESOCRU.level= INFO", &TKrLogLevel::ALL},                          // ... and of the value
        {"PESOCRU.level=", &TKrLogLevel::ALL},
        {"PESOCRU.level=\nPESOCRU.level=INFO", &TKrLogLevel::ALL},          // the empty first line counts
        {"PESOCRU.level=NADA", &TKrLogLevel::ALL},
        {"PESOCRU.level", &TKrLogLevel::ALL},
        {"PESOCRU.level\nPESOCRU.level=SEVERE", &TKrLogLevel::SEVERE},       // lines without "=" skipped
        {"#PESOCRU.level=OFF\r\nPESOCRU.level=OFF=x", &TKrLogLevel::ALL},    // value is all after the "="
        {"x=y\rPESOCRU.level=FINER", &TKrLogLevel::FINER},                   // CR alone ends a line
    };
    for (const auto& c : cases) {
        Start(QByteArray(c.lines));
        EXPECT_EQ(TKrLogger::getLogger(QStringLiteral("PESOCRU"))->Level(), c.level) << c.lines;
        shutdownLogging();
    }
}

TEST_F(TKrLogManagerTest, LoggersAreFoundIgnoringCase)
{
    Start(std::nullopt);
    TKrLogger* first = TKrLogger::getLogger(QStringLiteral("PESOCRU"));
    EXPECT_EQ(TKrLogger::getLogger(QStringLiteral("pesocru")), first);
    EXPECT_EQ(first->LoggerName(), QLatin1String("PESOCRU"));
    EXPECT_EQ(TKrLogManager::getLogManager()->Loggers().size(), 2u);
}

TEST_F(TKrLogManagerTest, HandlerItemsThatFailAnAssertion)
{
    TKrClassRegistry::RegisterClass({QStringLiteral("TPlataforma"), {}, {}});
    const struct { const char* handlers; const char* message; size_t madeBefore; } cases[] = {
        {"TRecordingHandler  TRecordingHandler",
         "No encontrada clase  para PESOCRU (source\\Log\\UKrLogManager, line 343)", 1},
        {" TRecordingHandler", "No encontrada clase  para PESOCRU (source\\Log\\UKrLogManager, line 343)", 0},
        {"TRecordingHandler TNada TRecordingHandler",
         "No encontrada clase TNada para PESOCRU (source\\Log\\UKrLogManager, line 343)", 1},
        {"TRecordingHandler TKrJsonTextFormatter",
         "Clase handler TKrJsonTextFormatter para PESOCRU no desciende de TKrHandler "
         "(source\\Log\\UKrLogManager, line 344)", 1},
        {"tplataforma",
         "Clase handler tplataforma para PESOCRU no desciende de TKrHandler "
         "(source\\Log\\UKrLogManager, line 344)", 0},
    };
    for (const auto& c : cases) {
        Start(QByteArray("PESOCRU.level=SEVERE\nPESOCRU.handlers=") + c.handlers);
        try {
            TKrLogger::getLogger(QStringLiteral("PESOCRU"));
            ADD_FAILURE() << "no failure for " << c.handlers;
        } catch (const EAssertionFailed& e) {
            EXPECT_EQ(e.Message(), QString::fromLatin1(c.message));
        }
        // Registered with its level and the handlers made before the failing item; no new try.
        TKrLogger* log = TKrLogger::getLogger(QStringLiteral("pesocru"));
        EXPECT_EQ(log->Level(), &TKrLogLevel::SEVERE);
        EXPECT_EQ(log->Handlers().size(), c.madeBefore) << c.handlers;
        EXPECT_EQ(TKrLogManager::getLogManager()->loadedHandlers().size(), c.madeBefore + 0);
        shutdownLogging();
    }
}

TEST_F(TKrLogManagerTest, EveryItemMakesItsOwnHandler)
{
    Start(QByteArray("PESOCRU.handlers=TRecordingHandler trecordinghandler \n"
                     "root.handlers=TRecordingHandler"));
    TKrLogger* log = TKrLogger::getLogger(QStringLiteral("PESOCRU"));
    ASSERT_EQ(log->Handlers().size(), 2u);  // a single trailing blank gives no item
    EXPECT_NE(log->Handlers()[0], log->Handlers()[1]);
    EXPECT_EQ(log->Handlers()[0]->loggerName(), QLatin1String("PESOCRU"));
    // The root's handler was made first, with the root's name.
    const auto handlers = TKrLogManager::getLogManager()->loadedHandlers();
    ASSERT_EQ(handlers.size(), 3u);
    EXPECT_EQ(handlers[0]->loggerName(), QLatin1String("root"));
}

TEST_F(TKrLogManagerTest, FormatterAndLevelOfAHandler)
{
    const struct { const char* lines; const char* formatter; const TKrLogLevel* level; } cases[] = {
        {"", nullptr, &TKrLogLevel::ALL},
        {"TRecordingHandler.formatter=TKrCSVTextFormatter\nTRecordingHandler.level=info",
         "TKrCSVTextFormatter", &TKrLogLevel::INFO},
        {"PESOCRU.formatter=TKrCSVTextFormatter2\nTRecordingHandler.formatter=TKrCSVTextFormatter",
         "TKrCSVTextFormatter2", &TKrLogLevel::ALL},
        {"TRecordingHandler.formatter=TNada\nTRecordingHandler.level=NADA", nullptr, &TKrLogLevel::ALL},
        {"TRecordingHandler.formatter=TKrJsonFileHandler", nullptr, &TKrLogLevel::ALL},
        {"PESOCRU.formatter=TNada\nTRecordingHandler.formatter=tkrjsontextformatter",
         "TKrJsonTextFormatter", &TKrLogLevel::ALL},
    };
    for (const auto& c : cases) {
        Start(QByteArray("PESOCRU.handlers=TRecordingHandler\n") + c.lines);
        TKrHandler* handler = TKrLogger::getLogger(QStringLiteral("PESOCRU"))->Handlers().at(0);
        EXPECT_EQ(handler->Level(), c.level) << c.lines;
        if (c.formatter) {
            ASSERT_NE(handler->Formatter(), nullptr) << c.lines;
            EXPECT_EQ(handler->Formatter()->ClassName(), QLatin1String(c.formatter));
        } else {
            EXPECT_EQ(handler->Formatter(), nullptr) << c.lines;
        }
        shutdownLogging();
    }
}

TEST_F(TKrLogManagerTest, ConfigurationEncodings)
{
    const QStringList expected = {QStringLiteral("PESOCRU.level=INFO"), QStringLiteral("a=\u00e9\u20ac"),
                                  QString(), QStringLiteral("b")};
    const struct { QByteArray bytes; const char* what; } cases[] = {
        {QByteArray("PESOCRU.level=INFO\r\na=\xE9\x80\r\n\r\nb\r\n"), "Windows-1252"},
        {QByteArray("\xEF\xBB\xBFPESOCRU.level=INFO\na=\xC3\xA9\xE2\x82\xAC\n\nb"), "UTF-8 mark"},
        {QByteArray("\xFF\xFEP\0E\0S\0O\0C\0R\0U\0.\0l\0e\0v\0e\0l\0=\0I\0N\0F\0O\0\r\0a\0=\0\xE9\0\xAC\x20\r\0\r\0b\0", 2 + 2 * 26), "UTF-16 LE mark"},
    };
    for (const auto& c : cases) {
        Start(c.bytes);
        EXPECT_EQ(TKrLogManager::getLogManager()->properties(), expected) << c.what;
        EXPECT_EQ(TKrLogger::getLogger(QStringLiteral("PESOCRU"))->Level(), &TKrLogLevel::INFO) << c.what;
        shutdownLogging();
    }
}

TEST_F(TKrLogManagerTest, UnreadableConfigurationGivesTheDefaultsAndOneLine)
{
    ASSERT_TRUE(QDir(FDir.path()).mkdir(QStringLiteral("krlog.config")));
    // Standard error goes to a file for the duration of the start-up.
    const QString errPath = FDir.filePath(QStringLiteral("stderr.txt"));
    std::fflush(stderr);
    const int saved = ::dup(2);
    FILE* capture = std::fopen(QFile::encodeName(errPath).constData(), "w");
    ASSERT_NE(capture, nullptr);
    ::dup2(::fileno(capture), 2);
    startLogging(FDir.path());
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    std::fclose(capture);

    EXPECT_EQ(TKrLogManager::getLogManager()->properties(), getDefaultLogConfiguration());
    QFile err(errPath);
    ASSERT_TRUE(err.open(QIODevice::ReadOnly));
    const QString text = QString::fromLocal8Bit(err.readAll());
    EXPECT_EQ(text.count(QLatin1Char('\n')), 1) << text.toStdString();
    EXPECT_TRUE(text.contains(getLogConfigFileName())) << text.toStdString();
    EXPECT_TRUE(text.contains(QString::fromLocal8Bit(strerror(EISDIR)))) << text.toStdString();
}

TEST_F(TKrLogManagerTest, ResetDiscardsTheManager)
{
    Start(std::nullopt);
    TKrLogManager* first = TKrLogManager::getLogManager();
    TKrLogger::getLogger(QStringLiteral("PESOCRU"));
    TKrLogManager::Reset();
    TKrLogManager::Reset();  // nothing left to do
    TKrLogManager* second = TKrLogManager::getLogManager();
    EXPECT_TRUE(second->properties().isEmpty());
    EXPECT_TRUE(second->Loggers().empty());
    (void)first;
}
