#pragma once

#include "Prompter.h"

#include <QPointer>

#include <functional>

class QMessageBox;
class QTextStream;
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
    // Closes the box that is open now, as its OK would.
    void closeOpenBox();

private:
    QWidget *m_parent;
    QPointer<QMessageBox> m_open;
};

// The boxes of a program that may be told to end from outside (a signal): passed on to `shown`
// until end(). From then on nobody may be there to press OK, so each box is said in one line on
// `err` and returns at once; end() also closes the box open at that moment, through `closeOpen`.
class EndablePrompter : public Prompter
{
public:
    EndablePrompter(Prompter &shown, QTextStream &err, std::function<void()> closeOpen = {})
        : m_shown(shown)
        , m_err(err)
        , m_closeOpen(std::move(closeOpen))
    {}
    void end();
    bool ended() const { return m_ended; }
    void warning(const QString &title, const QString &text, const QString &informative) override;
    void message(const QString &title, const QString &text) override;

private:
    void say(const QString &text, const QString &informative);

    Prompter &m_shown;
    QTextStream &m_err;
    std::function<void()> m_closeOpen;
    bool m_ended = false;
};
