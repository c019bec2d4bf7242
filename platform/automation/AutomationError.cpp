#include "AutomationError.h"

#include <QHash>

AutomationError::AutomationError(int number, QString description, QString source)
    : m_number(number)
    , m_description(std::move(description))
    , m_source(std::move(source))
    , m_what(QStringLiteral("Error %1: %2").arg(m_number).arg(m_description).toUtf8()) {
}

AutomationError AutomationError::standard(int number, const QString& source) {
    return AutomationError(number, standardDescription(number), source);
}

QString AutomationError::standardDescription(int number) {
    static const QHash<int, QString> descriptions = {
        {vberr::InvalidProcedureCall, QStringLiteral("Invalid procedure call or argument")},
        {vberr::Overflow, QStringLiteral("Overflow")},
        {7, QStringLiteral("Out of memory")},
        {vberr::SubscriptOutOfRange, QStringLiteral("Subscript out of range")},
        {11, QStringLiteral("Division by zero")},
        {vberr::TypeMismatch, QStringLiteral("Type mismatch")},
        {vberr::BadFileName, QStringLiteral("Bad file name or number")},
        {vberr::FileNotFound, QStringLiteral("File not found")},
        {70, QStringLiteral("Permission denied")},
        {75, QStringLiteral("Path/File access error")},
        {vberr::PathNotFound, QStringLiteral("Path not found")},
        {vberr::ObjectNotSet, QStringLiteral("Object variable or With block variable not set")},
        {vberr::InvalidUseOfNull, QStringLiteral("Invalid use of Null")},
        {vberr::CannotCreateObject, QStringLiteral("ActiveX component can't create object")},
        {vberr::NotSupported, QStringLiteral("Object doesn't support this property or method")},
        {vberr::ArgumentNotOptional, QStringLiteral("Argument not optional")},
        {vberr::WrongArgumentCount,
         QStringLiteral("Wrong number of arguments or invalid property assignment")},
    };
    return descriptions.value(number,
                              QStringLiteral("Application-defined or object-defined error"));
}

AutomationError AutomationError::fromHResult(HRESULT result, const QString& description,
                                             const QString& source) {
    // Runtime errors travel as 0x800A0000 + number; other failures keep the HRESULT itself.
    const auto code = static_cast<std::uint32_t>(result);
    if ((code & 0xFFFF0000u) == 0x800A0000u) {
        const int number = static_cast<int>(code & 0xFFFFu);
        return AutomationError(
            number, description.isEmpty() ? standardDescription(number) : description, source);
    }
    const QString text =
        description.isEmpty()
            ? QStringLiteral("Automation error 0x%1").arg(code, 8, 16, QLatin1Char('0'))
            : description;
    return AutomationError(result, text, source);
}

HRESULT AutomationError::hresult() const {
    if (m_number > 0 && m_number <= 0xFFFF)
        return static_cast<HRESULT>(0x800A0000u | static_cast<std::uint32_t>(m_number));
    return m_number < 0 ? m_number : hr::E_FAIL;
}
