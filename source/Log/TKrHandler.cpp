#include "Log/TKrHandler.h"

#include "Log/TKrLogManager.h"
#include "Log/TKrLogRecord.h"

TKrHandler::TKrHandler(const QString& AloggerName) : floggerName(AloggerName) {}

TKrHandler::~TKrHandler() = default;

bool TKrHandler::isLoggable(const TKrLogRecord& rec) const
{
    const quint16 own = fLevel ? fLevel->Value() : 0;
    return rec.Level() && rec.Level()->Value() >= own && own != TKrLogLevel::OffValue;
}

void TKrHandler::configure()
{
    TKrLogManager* manager = TKrLogManager::getLogManager();
    const QString className = ClassName();
    fLevel = manager->getLevelProperty(className + QLatin1String(".level"), &TKrLogLevel::ALL);
    if (!fLevel)
        fLevel = &TKrLogLevel::ALL;
    fFormatter = manager->getFormatterProperty(floggerName + QLatin1String(".formatter"), nullptr);
    if (!fFormatter)
        fFormatter = manager->getFormatterProperty(className + QLatin1String(".formatter"), nullptr);
}
