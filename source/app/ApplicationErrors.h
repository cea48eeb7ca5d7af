#pragma once

#include <QString>
#include <exception>
#include <utility>

// The title the application gives its boxes when an operation brings none of its own.
inline const QString kApplicationTitle = QStringLiteral("Servidor Serial");

// The application's general error handler: shows the error's message in a box with the
// error icon. Every entry point from the event loop hands it what its operation did not catch.
void HandleException(std::exception_ptr error);

// Runs an event-loop entry point; nothing it raises unwinds into Qt. Returns false on failure.
template <class F>
bool Guarded(F&& step)
{
    try {
        std::forward<F>(step)();
        return true;
    } catch (...) {
        HandleException(std::current_exception());
        return false;
    }
}
