#pragma once

#include "LineSettings.h"
#include "PortAdapter.h"
#include "SettingsFile.h"
#include "SetupCommands.h"

#include <QLoggingCategory>
#include <QString>

#include <functional>
#include <optional>

struct Define;
class SerialLink;

Q_DECLARE_LOGGING_CATEGORY(lcSetup)

// What one Send is asked to do, read once from the panel (or from a settings file).
struct SendRequest
{
    bool reset = false; // a ResetItem instead of a SetupItem
    int item = SetupEmulation;
    int listIndex = -1; // the list rows' value
    QString text = {};  // the message rows' value
};

// What one Send did: which frames left whole, where the PC side's line is now, what failed and
// how, and whether the settings file was written.
struct SendOutcome
{
    enum Frame {
        NotSent,     // not tried
        Sent,        // every byte left the port: the display has it
        Stalled,     // a byte did not leave the port within the drain limit
        PortGone,    // the port was closed or went away
        Interrupted, // the window closed while it went out
    };
    Frame item = NotSent;                  // the set-up item's or the reset's frame
    Frame closing = NotSent;               // the closing frame after a set-up item
    bool lineChanged = false;              // the PC side took the display's new line
    std::optional<PortError> reopenFailed; // the port could not follow it
    LineSettings line;                     // the PC side's line now
    bool saveTried = false;
    bool saved = false;
    FileFailure saveFailure; // why not, when tried and not saved
};

// The road of one Send, written once: the item's frame; its value stored; the display's new
// line followed by the PC side (the port re-opened at it, the device kept); the closing frame;
// the decision to save. The window, --apply and the dry run drive it and say what it reports;
// it shows nothing itself.
class SetupSession
{
public:
    SetupSession(Define &define, SerialLink &link);

    // Whether the settings file is rewritten after a Send (the window's), or only read (--apply).
    bool saves = true;
    // Read after the item's frame left, as the window reads "Set Communication after Sent data".
    std::function<bool()> followsDisplay = [] { return true; };
    // At once when a frame has failed (not when the window closed): where the window's box goes.
    std::function<void(const SendOutcome &soFar)> frameFailed;
    // The PC side's settings changed, before the port re-opens at them.
    std::function<void()> lineChanged;

    SendOutcome send(const SendRequest &request);

private:
    SendOutcome::Frame sendFrame(const QByteArray &payload, bool raw);
    void storeValue(const SendRequest &request);
    void followLine(int item, SendOutcome &outcome);

    Define &m_define;
    SerialLink &m_link;
};
