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
// Stops at the first Send that did not end whole, and says where through stoppedAt() and
// outcome(); the wording is the caller's.
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
    // True when every item went out whole.
    bool run();
    // The item it stopped at (from 1), 0 when none; and what that item's Send did.
    int stoppedAt() const { return m_stoppedAt; }
    const SendOutcome &outcome() const { return m_outcome; }
    const std::vector<ApplyItem> &items() const { return m_items; }
    // Ends the run at its next step: no further byte, no further wait.
    void abort() { m_link.abort(); }

private:
    Define m_define;
    SerialLink m_link;
    SetupSession m_session;
    std::vector<ApplyItem> m_items;
    int m_stoppedAt = 0;
    SendOutcome m_outcome;
};
