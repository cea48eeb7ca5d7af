#include "app/ApplicationErrors.h"

#include "platform/Exception.h"
#include "platform/UserInterface.h"

void HandleException(std::exception_ptr error)
{
    UserInterface().MessageBox(ExceptionMessage(error), kApplicationTitle, TMsgIcon::Error);
}
