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
        QString title;
        QString text;
        QString informative;
    };
    void warning(const QString &title, const QString &text, const QString &informative) override
    {
        boxes.push_back({true, title, text, informative});
        if (onBox)
            onBox(boxes.back());
    }
    void message(const QString &title, const QString &text) override
    {
        boxes.push_back({false, title, text, {}});
        if (onBox)
            onBox(boxes.back());
    }
    QStringList titles() const
    {
        QStringList t;
        for (const Box &b : boxes)
            t << b.title;
        return t;
    }

    std::vector<Box> boxes;
    std::function<void(const Box &)> onBox;
};
