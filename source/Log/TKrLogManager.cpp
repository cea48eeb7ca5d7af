#include "Log/TKrLogManager.h"

#include "Log/EAssertionFailed.h"
#include "Log/TKrClassRegistry.h"
#include "Log/TKrFormatter.h"
#include "Log/TKrHandler.h"
#include "Log/TKrLogger.h"

TKrLogManager* TKrLogManager::FInstance = nullptr;

namespace {

const QString kRootName = QStringLiteral("root");

QString AssertionMessage(const QString& text, int line)
{
    return QStringLiteral("%1 (%2, line %3)")
        .arg(text, QStringLiteral("source\\Log\\UKrLogManager"), QString::number(line));
}

}  // namespace

TKrLogManager::TKrLogManager() = default;

TKrLogManager::~TKrLogManager()
{
    // Loggers from the last made to the first, then the lists, then the handlers the same way,
    // so file handlers complete their files last.
    while (!fLoggers.empty())
        fLoggers.pop_back();
    frootLogger = nullptr;
    fproperties.clear();
    while (!floadedHandlers.empty())
        floadedHandlers.pop_back();
}

TKrLogManager* TKrLogManager::getLogManager()
{
    if (!FInstance)
        FInstance = new TKrLogManager();
    return FInstance;
}

void TKrLogManager::Reset()
{
    TKrLogManager* instance = FInstance;
    FInstance = nullptr;
    delete instance;
}

QString TKrLogManager::getProperty(QStringView Aname) const
{
    // The part before a line's first "=" never holds "=", so such a key matches no line.
    if (Aname.contains(QLatin1Char('=')))
        return QString();
    const qsizetype n = Aname.size();
    for (const QString& line : fproperties) {
        if (line.size() <= n || line[n] != QLatin1Char('='))
            continue;
        if (QStringView(line).left(n).compare(Aname, Qt::CaseInsensitive) == 0)
            return line.mid(n + 1);
    }
    return QString();
}

const TKrLogLevel* TKrLogManager::getLevelProperty(QStringView Aname,
                                                   const TKrLogLevel* Adefault) const
{
    const QString value = getProperty(Aname);
    if (value.isEmpty())
        return Adefault;
    return TKrLogLevel::Parse(value);
}

std::unique_ptr<TKrFormatter> TKrLogManager::getFormatterProperty(
    QStringView Aname, std::unique_ptr<TKrFormatter> Adefault) const
{
    const QString value = getProperty(Aname);
    if (value.isEmpty())
        return Adefault;
    const auto entry = TKrClassRegistry::FindClass(value);
    if (!entry || !entry->IsFormatter())
        return nullptr;
    return entry->MakeFormatter();
}

TKrLogger* TKrLogManager::demandLogger(const QString& AloggerName)
{
    for (const auto& [name, logger] : fLoggers)
        if (name.size() == AloggerName.size() &&
            name.compare(AloggerName, Qt::CaseInsensitive) == 0)
            return logger.get();

    auto logger = std::make_unique<TKrLogger>(AloggerName);
    if (AloggerName != kRootName)
        logger->SetParent(getRootLogger());
    return addLogger(std::move(logger));
}

TKrLogger* TKrLogManager::getRootLogger()
{
    if (!frootLogger)
        frootLogger = demandLogger(kRootName);
    return frootLogger;
}

TKrLogger* TKrLogManager::addLogger(std::unique_ptr<TKrLogger> owned)
{
    // Registered first, so it stays registered when its handlers fail.
    TKrLogger* logger = owned.get();
    fLoggers.emplace_back(logger->LoggerName(), std::move(owned));
    const TKrLogLevel* level =
        getLevelProperty(logger->LoggerName() + QLatin1String(".level"), nullptr);
    logger->SetLevel(level ? level : defaultLevel());
    loadHandlers(logger, logger->LoggerName() + QLatin1String(".handlers"));
    return logger;
}

void TKrLogManager::loadHandlers(TKrLogger* logger, const QString& key)
{
    const QString value = getProperty(key);
    QStringView rest = value;
    // Items are separated by single blanks: two in a row give an empty item.
    while (!rest.isEmpty()) {
        const qsizetype blank = rest.indexOf(QLatin1Char(' '));
        const QString item = (blank < 0 ? rest : rest.left(blank)).toString();
        rest = blank < 0 ? QStringView() : rest.mid(blank + 1);

        const auto entry = TKrClassRegistry::FindClass(item);
        if (!entry)
            throw EAssertionFailed(AssertionMessage(
                QStringLiteral("No encontrada clase ") + item + QStringLiteral(" para ") +
                    logger->LoggerName(),
                343));
        if (!entry->IsHandler())
            throw EAssertionFailed(AssertionMessage(
                QStringLiteral("Clase handler ") + item + QStringLiteral(" para ") +
                    logger->LoggerName() + QStringLiteral(" no desciende de TKrHandler"),
                344));
        floadedHandlers.push_back(entry->MakeHandler(logger->LoggerName()));
        logger->addHandler(floadedHandlers.back().get());
    }
}

std::vector<TKrLogger*> TKrLogManager::Loggers() const
{
    std::vector<TKrLogger*> result;
    for (const auto& pair : fLoggers)
        result.push_back(pair.second.get());
    return result;
}

std::vector<TKrHandler*> TKrLogManager::loadedHandlers() const
{
    std::vector<TKrHandler*> result;
    for (const auto& handler : floadedHandlers)
        result.push_back(handler.get());
    return result;
}
