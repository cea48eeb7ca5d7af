#include "Log/TKrClassRegistry.h"

#include <mutex>
#include <vector>

namespace {
std::mutex gMutex;
std::vector<TKrClassRegistry::TClassEntry>& Entries()
{
    static std::vector<TKrClassRegistry::TClassEntry> entries;
    return entries;
}
}  // namespace

void TKrClassRegistry::RegisterClass(TClassEntry entry)
{
    std::lock_guard lock(gMutex);
    for (auto& existing : Entries()) {
        if (existing.ClassName.compare(entry.ClassName, Qt::CaseInsensitive) == 0) {
            existing = std::move(entry);
            return;
        }
    }
    Entries().push_back(std::move(entry));
}

std::optional<TKrClassRegistry::TClassEntry> TKrClassRegistry::FindClass(QStringView AName)
{
    std::lock_guard lock(gMutex);
    for (const auto& entry : Entries())
        if (QStringView(entry.ClassName).compare(AName, Qt::CaseInsensitive) == 0)
            return entry;
    return std::nullopt;
}
