#pragma once
// The default printer the program found at start-up. Printing makes the chosen printer the
// default; when there was a default at start-up, shutdown puts back what made it the default
// then (a default by instance, or none of the user's own), not rewritten from its name.

#include <QString>
#include <optional>

class Procedure;

class StartupPrinter {
public:
    // Start-up statements 202 ... 208.
    void remember(Procedure &p);
    bool known() const { return m_name.has_value(); }
    // A failure is silent.
    void restore();

private:
    std::optional<QString> m_name;
};
