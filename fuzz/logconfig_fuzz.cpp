// Any bytes as krlog.config lines (after a first line that names a logger): requesting and
// using loggers never crashes; failures are the framework's own errors.
#include <QDir>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

#include "Log/TKrLogLevel.h"
#include "Log/TKrLogManager.h"
#include "Log/TKrLogger.h"
#include "Log/UKrLog.h"
#include "platform/AnsiText.h"
#include "platform/Exception.h"

namespace {
QTemporaryDir* gDir = nullptr;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    gDir = new QTemporaryDir();
    startLogging(gDir->path());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype newline = bytes.indexOf('\n');
    const QString name = AnsiToString(newline < 0 ? bytes : bytes.left(newline));
    const QByteArray config = newline < 0 ? QByteArray() : bytes.mid(newline + 1);

    TKrLogManager::Reset();
    TKrLogManager::getLogManager()->setProperties(splitLogConfiguration(config));
    for (const QString& request : {name, name.toLower(), QStringLiteral("PESOCRU"), QStringLiteral("root")}) {
        try {
            TKrLogger* logger = TKrLogger::getLogger(request);
            if (!logger)
                std::abort();
            logger->log(TKrLogLevel::INFO, request, QStringLiteral("m"), QStringLiteral("msg"),
                        QVariantList{request, 1});
            logger->info(request);
        } catch (const Exception&) {
            // Assertion failures and file errors are reported to the caller, as intended.
        }
    }
    TKrLogManager::Reset();
    // Keep the scratch folder from filling up with the files of every input.
    QDir logFolder(getLogFolderName());
    if (logFolder.exists())
        logFolder.removeRecursively();
    return 0;
}
