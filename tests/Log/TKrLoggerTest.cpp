#include <functional>

#include "LogFixture.h"

namespace {
const QStringList kRecordingConfig = {
    QStringLiteral("root.handlers=TRecordingHandler"),
    QStringLiteral("root.level=OFF"),
    QStringLiteral("PESOCRU.handlers=TRecordingHandler"),
};
}  // namespace

using TKrLoggerTest = LogTest;

TEST_F(TKrLoggerTest, EveryOperationMakesItsRecord)
{
    StartLines(kRecordingConfig);
    TKrLogger* log = TKrLogger::getLogger(QStringLiteral("PESOCRU"));
    const QString src = QStringLiteral("TFormServidor"), met = QStringLiteral("IniciaServidor");
    const QVariantList pair{QStringLiteral("a"), 1};
    const struct {
        std::function<void()> call;
        const char* level; const char* cls; const char* method; const char* msg; const char* params;
    } cases[] = {
        {[&] { log->log(TKrLogLevel::WARNING, QStringLiteral("m")); }, "WARNING", "", "", "m", ""},
        {[&] { log->log(TKrLogLevel::SEVERE, src, met, QStringLiteral("m")); }, "SEVERE", "TFormServidor", "IniciaServidor", "m", ""},
        {[&] { log->log(TKrLogLevel::INFO, src, met, QStringLiteral("m"), QVariant(QStringLiteral("12,5"))); }, "INFO", "TFormServidor", "IniciaServidor", "m", "12,5"},
        {[&] { log->log(TKrLogLevel::INFO, src, met, QStringLiteral("m"), pair); }, "INFO", "TFormServidor", "IniciaServidor", "m", "{'a', 1}"},
        {[&] { log->log(TKrLogLevel::INFO, src, met, QStringLiteral("m"), QVariantList{}); }, "INFO", "TFormServidor", "IniciaServidor", "m", "{}"},
        {[&] { log->fine(QStringLiteral("f")); }, "FINE", "", "", "f", ""},
        {[&] { log->finer(QStringLiteral("f")); }, "FINE", "", "", "f", ""},
        {[&] { log->finest(QStringLiteral("f")); }, "FINE", "", "", "f", ""},
        {[&] { log->info(QStringLiteral("f")); }, "FINE", "", "", "f", ""},
        {[&] { log->severe(QStringLiteral("f")); }, "FINE", "", "", "f", ""},
        {[&] { log->warning(QStringLiteral("f")); }, "FINE", "", "", "f", ""},
        {[&] { log->entering(src, met); }, "FINE", "TFormServidor", "IniciaServidor", "ENTRY", ""},
        {[&] { log->entering(src, met, QVariant(7)); }, "FINE", "TFormServidor", "IniciaServidor", "ENTRY", "7"},
        {[&] { log->entering(src, met, pair); }, "FINE", "TFormServidor", "IniciaServidor", "ENTRY", "{'a', 1}"},
        {[&] { log->exiting(src, met); }, "FINE", "TFormServidor", "IniciaServidor", "RETURN", ""},
        {[&] { log->exiting(src, met, QVariant(QStringLiteral("x"))); }, "FINE", "TFormServidor", "IniciaServidor", "RETURN", "x"},
        {[&] { log->exiting(src, met, pair); }, "FINE", "TFormServidor", "IniciaServidor", "RETURN", "{'a', 1}"},
    };
    for (const auto& c : cases) {
        SeenRecords().clear();
        c.call();
        // The logger's own handler, then the root's, both with the logger's name.
        ASSERT_EQ(SeenRecords().size(), 2u) << c.msg;
        for (const TSeenRecord& seen : SeenRecords()) {
            EXPECT_EQ(seen.LoggerName, QLatin1String("PESOCRU"));
            EXPECT_EQ(seen.Level, QLatin1String(c.level)) << c.msg;
            EXPECT_EQ(seen.Class, QLatin1String(c.cls));
            EXPECT_EQ(seen.Method, QLatin1String(c.method));
            EXPECT_EQ(seen.Message, QLatin1String(c.msg));
            EXPECT_EQ(seen.Params, QLatin1String(c.params)) << c.msg;
        }
        EXPECT_EQ(SeenRecords()[0].Handler, QLatin1String("PESOCRU"));
        EXPECT_EQ(SeenRecords()[1].Handler, QLatin1String("root"));
    }
}

TEST_F(TKrLoggerTest, LoggerAndHandlerLevelsFilterByValue)
{
    StartLines({QStringLiteral("PESOCRU.handlers=TRecordingHandler")});
    TKrLogger* log = TKrLogger::getLogger(QStringLiteral("PESOCRU"));
    TKrHandler* handler = log->Handlers().at(0);
    const TKrLogLevel& ALL = TKrLogLevel::ALL;
    const struct { const TKrLogLevel* logger; const TKrLogLevel* handler; const TKrLogLevel* record; bool passes; } cases[] = {
        {&TKrLogLevel::INFO, &ALL, &TKrLogLevel::FINE, false},
        {&TKrLogLevel::INFO, &ALL, &TKrLogLevel::FINER, false},
        {&TKrLogLevel::INFO, &ALL, &TKrLogLevel::FINEST, false},
        {&TKrLogLevel::INFO, &ALL, &TKrLogLevel::INFO, true},
        {&TKrLogLevel::INFO, &ALL, &TKrLogLevel::SEVERE, true},
        {&TKrLogLevel::INFO, &ALL, &TKrLogLevel::WARNING, true},
        {&TKrLogLevel::FINE, &ALL, &TKrLogLevel::FINEST, true},  // FINEST ranks above FINE
        {&TKrLogLevel::WARNING, &ALL, &TKrLogLevel::OFF, true},
        {&TKrLogLevel::OFF, &ALL, &TKrLogLevel::OFF, false},
        {&ALL, &ALL, &ALL, true},
        {&ALL, &TKrLogLevel::SEVERE, &TKrLogLevel::WARNING, true},
        {&ALL, &TKrLogLevel::WARNING, &TKrLogLevel::SEVERE, false},
        {&ALL, &TKrLogLevel::WARNING, &TKrLogLevel::OFF, true},
        {&ALL, &TKrLogLevel::OFF, &TKrLogLevel::OFF, false},
        {&ALL, &TKrLogLevel::OFF, &TKrLogLevel::WARNING, false},
    };
    for (const auto& c : cases) {
        log->SetLevel(c.logger);
        handler->SetLevel(c.handler);
        SeenRecords().clear();
        log->log(*c.record, QStringLiteral("x"));
        EXPECT_EQ(SeenRecords().size(), c.passes ? 1u : 0u)
            << c.logger->Name().toStdString() << "/" << c.handler->Name().toStdString() << " "
            << c.record->Name().toStdString();
    }
}

TEST_F(TKrLoggerTest, InfoLogsAtFine)
{
    StartLines({QStringLiteral("PESOCRU.handlers=TRecordingHandler")});
    TKrLogger* log = TKrLogger::getLogger(QStringLiteral("pesocru"));
    for (const TKrLogLevel* level : {&TKrLogLevel::INFO, &TKrLogLevel::ALL, &TKrLogLevel::CONFIG, &TKrLogLevel::FINE}) {
        SeenRecords().clear();
        log->SetLevel(level);
        log->info(QStringLiteral("i"));
        EXPECT_EQ(SeenRecords().size(), level == &TKrLogLevel::INFO ? 0u : 1u) << level->Name().toStdString();
    }
}

TEST_F(TKrLoggerTest, RootAtOffStillServesItsChildren)
{
    StartLines(kRecordingConfig);
    TKrLogger* child = TKrLogger::getLogger(QStringLiteral("STARTUP"));
    TKrLogger* root = TKrLogger::getLogger(QStringLiteral("root"));
    EXPECT_EQ(child->Parent(), root);
    EXPECT_EQ(root->Parent(), nullptr);
    child->log(TKrLogLevel::INFO, QStringLiteral("c"));
    root->log(TKrLogLevel::OFF, QStringLiteral("r"));
    ASSERT_EQ(SeenRecords().size(), 1u);
    EXPECT_EQ(SeenRecords()[0].Handler, QLatin1String("root"));
    EXPECT_EQ(SeenRecords()[0].LoggerName, QLatin1String("STARTUP"));
}

TEST_F(TKrLoggerTest, DroppedEventsUseNoSequenceNumber)
{
    StartLines({QStringLiteral("PESOCRU.handlers=TRecordingHandler"), QStringLiteral("PESOCRU.level=INFO")});
    TKrLogger* log = TKrLogger::getLogger(QStringLiteral("PESOCRU"));
    log->log(TKrLogLevel::INFO, QStringLiteral("1"));
    log->log(TKrLogLevel::FINE, QStringLiteral("dropped"));
    TKrLogger::getLogger(QStringLiteral("OTHER"))->log(TKrLogLevel::INFO, QStringLiteral("no handler"));
    log->log(TKrLogLevel::INFO, QStringLiteral("2"));
    ASSERT_EQ(SeenRecords().size(), 2u);
    // The record of OTHER was made (its level is ALL) and took one number.
    EXPECT_EQ(SeenRecords()[1].Sequence, SeenRecords()[0].Sequence + 2);
}

TEST_F(TKrLoggerTest, AHandlerFailureReachesTheCallerAndStopsTheDispatch)
{
    StartLines({QStringLiteral("root.handlers=TRecordingHandler"),
                QStringLiteral("FALHA.handlers=TRecordingHandler")});
    TKrLogger* log = TKrLogger::getLogger(QStringLiteral("FALHA"));
    EXPECT_THROW(log->log(TKrLogLevel::INFO, QStringLiteral("x")), Exception);
    EXPECT_TRUE(SeenRecords().empty());
}
