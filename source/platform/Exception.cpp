#include "platform/Exception.h"

Exception::Exception(QString message) : FMessage(std::move(message)), FWhat(FMessage.toUtf8()) {}

QString ExceptionMessage(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const Exception& e) {
        return e.Message();
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
}
