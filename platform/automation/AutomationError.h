#pragma once

#include "platform/HResult.h"

#include <QString>

#include <exception>

// The error a member raises and an automation caller receives: a number, the
// source that raised it and a description, as Err.Number/Source/Description.
class AutomationError : public std::exception {
public:
    AutomationError(int number, QString description, QString source = {});

    // The runtime's own error with its standard description ("Type mismatch").
    static AutomationError standard(int number, const QString& source = {});
    // The standard description of a runtime error number, or "Application-defined
    // or object-defined error" for numbers without one.
    static QString standardDescription(int number);
    // An error carrying a failed HRESULT, as a caller of Invoke sees it.
    static AutomationError fromHResult(HRESULT result, const QString& description = {},
                                       const QString& source = {});

    int number() const { return m_number; }
    const QString& description() const { return m_description; }
    const QString& source() const { return m_source; }
    // The HRESULT that carries this error across a dispatch call.
    HRESULT hresult() const;

    const char* what() const noexcept override { return m_what.constData(); }

private:
    int m_number;
    QString m_description;
    QString m_source;
    QByteArray m_what;
};

// Runtime error numbers the system raises and tests.
namespace vberr {
constexpr int InvalidProcedureCall = 5;
constexpr int Overflow = 6;
constexpr int SubscriptOutOfRange = 9;
constexpr int TypeMismatch = 13;
constexpr int BadFileName = 52;
constexpr int FileNotFound = 53;
constexpr int PathFileAccessError = 75;
constexpr int PathNotFound = 76;
constexpr int ObjectNotSet = 91;
constexpr int InvalidUseOfNull = 94;
constexpr int CannotCreateObject = 429;
constexpr int NotSupported = 438;
constexpr int ArgumentNotOptional = 449;
constexpr int WrongArgumentCount = 450;
} // namespace vberr
