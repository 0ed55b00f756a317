#pragma once

#include "Define.h"
#include "SerialLink.h"
#include "SetupSession.h"

#include <QString>

#include <functional>
#include <vector>

class Clock;
class PortAdapter;

// One item of a whole set-up: the Send of that row.
struct ApplyItem
{
    QString name;  // "Code Page"
    QString value; // "PC850(Multilingual)"
    SendRequest request;
};

// The seven items a settings file describes, in the order a set-up goes out: the command
// emulation first, as the window's first Send, the line settings last.
std::vector<ApplyItem> applyItems(const Define &settings);

// A whole set-up from a settings file: the seven Sends of the window, one after the other, with
// "Set Communication after Sent data" ticked, through the same session. The file is only read.
// Stops at the first Send that did not end whole.
class SetupApply
{
public:
    SetupApply(const Define &settings, PortAdapter &port, Clock &clock);

    // Called as each item starts and once it has gone out whole; n counts from 1.
    std::function<void(int n, const ApplyItem &item)> started;
    std::function<void(int n, const ApplyItem &item)> sent;
    // Each frame as it starts out, as bytes on the wire, and the PC side following the display.
    std::function<void(int n, const ApplyItem &item, const QByteArray &wire)> frame;
    std::function<void(int n, const ApplyItem &item, const LineSettings &line)> lineChanged;

    // Opens the port at the line the display listens at now. Throws PortError.
    void open(const LineSettings &line);
    // True when every item went out whole. Otherwise failedItem() and sendOutcome() say where
    // and what its Send did; itemSent() whether the item's own frame had left whole, so that the
    // display holds it.
    bool run();
    // Ends a run under way (from an event during one of its waits): the byte or wait under way is
    // the last, nothing more goes out, and run() returns false.
    void stop();
    bool stopped() const { return m_stopped; }

    const std::vector<ApplyItem> &items() const { return m_items; }
    int failedItem() const { return m_failedItem; }
    const SendOutcome &sendOutcome() const { return m_sendOutcome; }
    bool itemSent() const { return m_sendOutcome.item == SendOutcome::Sent; }

private:
    Define m_define;
    SerialLink m_link;
    SetupSession m_session;
    std::vector<ApplyItem> m_items;
    bool m_stopped = false;
    int m_failedItem = 0;
    SendOutcome m_sendOutcome;
};
