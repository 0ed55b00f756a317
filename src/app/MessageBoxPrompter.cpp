#include "MessageBoxPrompter.h"

#include <QMessageBox>

void MessageBoxPrompter::warning(const QString &title, const QString &text,
                                 const QString &informative)
{
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, m_parent);
    if (!informative.isEmpty())
        box.setInformativeText(informative);
    box.exec();
}

void MessageBoxPrompter::message(const QString &title, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, m_parent);
    box.exec();
}
