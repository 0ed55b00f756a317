#pragma once

#include "Prompter.h"

#include <QStringList>

#include <functional>
#include <vector>

// Records the boxes instead of showing them; a test may hook in to act while a box is "open".
class FakePrompter : public Prompter
{
public:
    struct Box
    {
        bool warning; // exclamation icon; otherwise no icon
        QString title, text, informative;
    };
    void warning(const QString &title, const QString &text, const QString &informative) override
    {
        onBox(boxes.emplace_back(Box{true, title, text, informative}));
    }
    void message(const QString &title, const QString &text) override
    {
        onBox(boxes.emplace_back(Box{false, title, text, {}}));
    }
    QStringList titles() const
    {
        QStringList t;
        for (const Box &b : boxes)
            t << b.title;
        return t;
    }

    std::vector<Box> boxes;
    std::function<void(const Box &)> onBox = [](const Box &) {};
};
