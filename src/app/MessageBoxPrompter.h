#pragma once

#include "Prompter.h"

class QWidget;

// The prompter of the real program: QMessageBox with the exact texts, titles, icons and buttons.
class MessageBoxPrompter : public Prompter
{
public:
    explicit MessageBoxPrompter(QWidget *parent = nullptr)
        : m_parent(parent)
    {}
    void setParent(QWidget *parent) { m_parent = parent; }
    void warning(const QString &title, const QString &text, const QString &informative) override;
    void message(const QString &title, const QString &text) override;

private:
    QWidget *m_parent;
};
