#pragma once
// The one failure type of the program. Conversions, file access, array bounds and component
// calls throw it; a window procedure's error convention (Procedure) catches and reports it.

#include <QString>
#include <exception>
#include <string>

class AppError : public std::exception {
public:
    explicit AppError(QString description, long number = 0, QString source = QString())
        : m_description(std::move(description)), m_number(number), m_source(std::move(source)),
          m_utf8(m_description.toStdString())
    {
    }

    const QString &description() const { return m_description; }
    long number() const { return m_number; }
    const QString &source() const { return m_source; }
    const char *what() const noexcept override { return m_utf8.c_str(); }

private:
    QString m_description;
    long m_number;
    QString m_source;
    std::string m_utf8;
};

// Numbers and texts of the runtime failures the program raises itself.
namespace apperror {
inline constexpr long InvalidArgument = 5;
inline constexpr long Overflow = 6;
inline constexpr long SubscriptOutOfRange = 9;
inline constexpr long TypeMismatch = 13;
inline constexpr long FileNotFound = 53;
inline constexpr long ObjectNotSet = 91;
inline constexpr long InvalidPropertyValue = 380;
inline constexpr long InvalidPicture = 481;

[[noreturn]] inline void throwInvalidArgument()
{
    throw AppError(QStringLiteral("Invalid procedure call or argument"), InvalidArgument);
}
[[noreturn]] inline void throwOverflow()
{
    throw AppError(QStringLiteral("Overflow"), Overflow);
}
[[noreturn]] inline void throwTypeMismatch()
{
    throw AppError(QStringLiteral("Type mismatch"), TypeMismatch);
}
[[noreturn]] inline void throwSubscriptOutOfRange()
{
    throw AppError(QStringLiteral("Subscript out of range"), SubscriptOutOfRange);
}
[[noreturn]] inline void throwFileNotFound(const QString &path)
{
    throw AppError(QStringLiteral("File not found: ") + path, FileNotFound);
}
// Something the step needs (a session, a window, a control) does not exist.
[[noreturn]] inline void throwObjectNotSet()
{
    throw AppError(QStringLiteral("Object variable or With block variable not set"), ObjectNotSet);
}
[[noreturn]] inline void throwInvalidPropertyValue()
{
    throw AppError(QStringLiteral("Invalid property value"), InvalidPropertyValue);
}
[[noreturn]] inline void throwInvalidPicture(const QString &path)
{
    throw AppError(QStringLiteral("Invalid picture: ") + path, InvalidPicture);
}
}  // namespace apperror
