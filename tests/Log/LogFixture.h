#pragma once

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTime>
#include <gtest/gtest.h>
#include <optional>
#include <vector>

#include "Log/TKrClassRegistry.h"
#include "Log/TKrHandler.h"
#include "Log/TKrLogClock.h"
#include "Log/TKrLogManager.h"
#include "Log/TKrLogRecord.h"
#include "Log/TKrLogger.h"
#include "Log/UKrLog.h"
#include "platform/Exception.h"
#include "platform/RegionalSettings.h"

// What a recording handler saw of one record.
struct TSeenRecord {
    QString Handler;  // the handler's logger name
    QString LoggerName;
    QString Level;
    QString Class;
    QString Method;
    QString Message;
    QString Params;
    quint32 Sequence;
};

inline std::vector<TSeenRecord>& SeenRecords()
{
    static std::vector<TSeenRecord> seen;
    return seen;
}

// Records what passes its level; raises when its logger's name says so.
class TRecordingHandler : public TKrHandler {
public:
    using TKrHandler::TKrHandler;
    QString ClassName() const override { return QStringLiteral("TRecordingHandler"); }
    void publish(const TKrLogRecord& rec) override
    {
        if (!isLoggable(rec))
            return;
        if (loggerName() == QLatin1String("FALHA"))
            throw Exception(QStringLiteral("falha no handler"));
        SeenRecords().push_back({loggerName(), rec.LoggerName(), rec.Level()->Name(),
                                 rec.SourceClassName(), rec.SourceMethodName(), rec.Message(),
                                 rec.GetParameters(), rec.SequenceNumber()});
    }
};

// A program folder of its own, the log start-up with a given krlog.config (none: absent),
// the clock fixed at 15 January 2024 09:30:12 and the default regional settings.
class LogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        TKrLogClock::SetFixed(QDateTime(QDate(2024, 1, 15), QTime(9, 30, 12)));
        SeenRecords().clear();
    }
    void TearDown() override
    {
        shutdownLogging();
        TKrLogClock::SetSource({});
        RegionalSettings::SetCurrent(RegionalSettings{});
    }

    void Start(std::optional<QByteArray> config)
    {
        if (config) {
            QFile file(FDir.filePath(QStringLiteral("krlog.config")));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(*config);
        }
        startLogging(FDir.path());
        TKrClassRegistry::RegisterHandlerClass<TRecordingHandler>(QStringLiteral("TRecordingHandler"));
    }
    void StartLines(const QStringList& lines) { Start(lines.join(QStringLiteral("\r\n")).toLatin1()); }

    QString LogPath(const QString& name) const { return FDir.filePath(QStringLiteral("log/") + name); }
    QByteArray ReadLog(const QString& name) const
    {
        QFile file(LogPath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    QStringList LogFiles() const
    {
        return QDir(FDir.filePath(QStringLiteral("log"))).entryList(QDir::Files, QDir::Name);
    }

    QTemporaryDir FDir;
};
