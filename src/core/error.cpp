#include "core/error.h"

namespace kesto {

Error::Error(int number, const QString& message)
    : m_number(number), m_message(message), m_what(message.toUtf8())
{
}

} // namespace kesto
