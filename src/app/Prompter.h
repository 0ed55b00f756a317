#pragma once

#include <QString>

// The program's modal message boxes. Real: QMessageBox; tests record them instead.
class Prompter
{
public:
    virtual ~Prompter() = default;
    // Exclamation icon, one OK button. `informative` is shown as a second, smaller line.
    virtual void warning(const QString &title, const QString &text,
                         const QString &informative = {}) = 0;
    // No icon, one OK button.
    virtual void message(const QString &title, const QString &text) = 0;
};
