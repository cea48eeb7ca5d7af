#pragma once

#include <QString>
#include <QStringView>
#include <functional>
#include <memory>
#include <optional>

class TKrHandler;
class TKrFormatter;

// The process-wide table of classes made by name; names are looked up ignoring letter case.
class TKrClassRegistry {
public:
    struct TClassEntry {
        QString ClassName;
        // Set for handler classes: makes a configured handler for a logger's name.
        std::function<std::unique_ptr<TKrHandler>(const QString& AloggerName)> MakeHandler;
        // Set for formatter classes.
        std::function<std::unique_ptr<TKrFormatter>()> MakeFormatter;

        bool IsHandler() const { return bool(MakeHandler); }
        bool IsFormatter() const { return bool(MakeFormatter); }
    };

    // Registers a class; an entry of the same name (any case) is replaced.
    static void RegisterClass(TClassEntry entry);
    static std::optional<TClassEntry> FindClass(QStringView AName);

    template <class T>
    static void RegisterHandlerClass(const QString& AName);
    template <class T>
    static void RegisterFormatterClass(const QString& AName)
    {
        RegisterClass({AName, {}, [] { return std::unique_ptr<TKrFormatter>(new T()); }});
    }
};

#include "Log/TKrHandler.h"

template <class T>
void TKrClassRegistry::RegisterHandlerClass(const QString& AName)
{
    RegisterClass({AName, [](const QString& n) { return TKrHandler::Create<T>(n); }, {}});
}
