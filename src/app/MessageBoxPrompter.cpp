#include "MessageBoxPrompter.h"

#include <QMessageBox>
#include <QTextStream>

void MessageBoxPrompter::warning(const QString &title, const QString &text,
                                 const QString &informative)
{
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, m_parent);
    if (!informative.isEmpty())
        box.setInformativeText(informative);
    m_open = &box;
    box.exec();
}

void MessageBoxPrompter::message(const QString &title, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, m_parent);
    m_open = &box;
    box.exec();
}

void MessageBoxPrompter::closeOpenBox()
{
    if (m_open)
        m_open->done(QMessageBox::Ok);
}

void EndablePrompter::end()
{
    m_ended = true;
    if (m_closeOpen)
        m_closeOpen();
}

void EndablePrompter::warning(const QString &title, const QString &text, const QString &informative)
{
    if (m_ended)
        say(text, informative);
    else
        m_shown.warning(title, text, informative);
}

void EndablePrompter::message(const QString &title, const QString &text)
{
    if (m_ended)
        say(text, {});
    else
        m_shown.message(title, text);
}

void EndablePrompter::say(const QString &text, const QString &informative)
{
    // The box's text and the first line of its details (a path and a reason, where there is one).
    const QString details = informative.section(QLatin1Char('\n'), 0, 0);
    m_err << "poleset: " << text << (details.isEmpty() ? QString() : QLatin1Char(' ') + details)
          << "\n";
    m_err.flush();
}
