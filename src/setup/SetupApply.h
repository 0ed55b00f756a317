#pragma once

#include "Define.h"

#include <QString>

#include <functional>
#include <vector>

class Clock;
class PortAdapter;

// One item of a whole set-up: what a Send of that row puts on the wire.
struct ApplyItem
{
    int setupItem;   // the row, as SetupItem numbers it
    QString name;    // "Code Page"
    QString value;   // "PC850(Multilingual)"
    QString payload; // hex text, as the Send builds it
    bool raw;        // the payload goes out unframed
    // The item's bytes on the wire as hex text: the set-up frame, or the raw payload.
    QString wireText() const;
};

// The seven items a settings file describes, in the order a set-up goes out: the command
// emulation first, as the window's first Send, the line settings last.
std::vector<ApplyItem> applyItems(const Define &settings);

// Puts a whole set-up from a settings file on the wire, item after item, exactly as the window's
// Sends would with "Set Communication after Sent data" ticked: each item frame, the PC port
// following the display after the communication format and the baud rate, then the closing
// frame; with the same drain and settle waits. Stops at the first frame that does not go out.
class SetupApply
{
public:
    SetupApply(const Define &settings, PortAdapter &port, Clock &clock);

    // Called as each item starts and once it has gone out; n counts from 1.
    std::function<void(int n, const ApplyItem &item)> started;
    std::function<void(int n, const ApplyItem &item)> sent;

    // Opens the port at the line settings the display listens at now ("9600,N,8,1" as parts of
    // `line`: ComBaud, ComParity and ComBitLen). Throws PortError.
    void open(const Define &line);
    // True when every item went out. Otherwise failedItem() and failure() say where and why, and
    // itemSent() whether the item's own frame had left whole, so that the display holds it.
    bool run();
    // Ends a run under way (from an event during one of its waits): the byte or wait under way is
    // the last, nothing more goes out, and run() returns false. `why` names the cause ("SIGINT").
    void stop(const QString &why);
    int failedItem() const { return m_failedItem; }
    const QString &failure() const { return m_failure; }
    bool itemSent() const { return m_itemSent; }
    // How the failed item's progress line ends: "failed", "sent, closing frame failed", ...
    const QString &outcome() const { return m_outcome; }

private:
    // Sends the item's own frame, or its closing frame; on failure, says what the display holds.
    bool send(class SerialLink &link, const QString &hexText, bool raw, const ApplyItem &item,
              bool closing);
    // The item was sent and the rest stopped: `what` says why; the display's new line settings
    // follow where the item set them.
    void stopAfter(const ApplyItem &item, const QString &outcome, const QString &what);

    Define m_define;
    PortAdapter &m_port;
    Clock &m_clock;
    class SerialLink *m_link = nullptr; // while run() goes on
    QString m_stoppedBy;
    int m_failedItem = 0;
    QString m_failure;
    QString m_outcome;
    bool m_itemSent = false;
};
