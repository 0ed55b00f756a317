#pragma once

#include <QByteArray>
#include <QString>

struct Define;

// The display's set-up vocabulary: the payload of every set-up and reset row, the closing frame,
// and how the display's line settings translate into the PC port's. Pure functions over tables;
// framing and sending are the serial link's business.

// Rows of the set-up panel, in `OptSetSel` order.
enum SetupItem : int {
    SetupINChar = 0,
    SetupCodePage,
    SetupEmulation,
    SetupUpperLine,
    SetupLowerLine,
    SetupCommunication,
    SetupBaud
};

// Rows of the reset panel, in `OptReset` order.
enum ResetItem : int { ResetAll = 0, ResetUpperLine, ResetLowerLine };

// A demo message as bytes: one Windows-1252 byte per character, the whole text. Control
// characters (below 0x20, DEL) and characters outside Windows-1252 go out as '?', so a message
// can never carry frame or control bytes.
QByteArray messageBytes(const QString &text);

// Payload of a set-up row. The list rows (INChar, code page, emulation, communication, baud) read
// listIndex and ignore text; the two message rows read text and ignore listIndex. An unknown item
// or a list index outside its list gives nothing: nothing is to be sent rather than a value the
// user did not choose.
QByteArray setupItemPayload(int item, int listIndex, const QString &text);

// The lower-line payload carries its own STX ENQ ... ETX and goes out unframed.
bool setupItemIsRaw(int item);

// Payload of a reset row; empty for an unknown item.
QByteArray resetItemPayload(int item);

// Sent framed after every set-up item: VT "Ready!".
QByteArray ClosingFrame();

// After a Send of the display's communication format or baud rate, the PC side of `define` takes
// the display's new setting (from DspCommunication or DspBaud, an index outside its list clamped
// to it). Any other item changes nothing.
void followDisplayLine(Define &define, int item);
