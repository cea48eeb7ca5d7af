#pragma once

#include <QString>

// Base of the classes that can be registered and made by name.
class TPersistent {
public:
    virtual ~TPersistent() = default;
    // The name the class is registered under, also for the keys its instances read.
    virtual QString ClassName() const = 0;
};
