#include "SetupSession.h"

#include "Define.h"
#include "SerialLink.h"
#include "SettingsFile.h"

Q_LOGGING_CATEGORY(lcSetup, "poleset.setup", QtWarningMsg)

namespace {

const char *frameWord(SendOutcome::Frame frame)
{
    switch (frame) {
    case SendOutcome::NotSent:
        return "not sent";
    case SendOutcome::Sent:
        return "sent";
    case SendOutcome::Stalled:
        return "failed: a byte did not leave the port in time";
    case SendOutcome::PortGone:
        return "failed: the port is closed or gone";
    case SendOutcome::Interrupted:
        return "cut short: the window closed";
    }
    return "";
}

} // namespace

SetupSession::SetupSession(Define &define, SerialLink &link)
    : m_define(define)
    , m_link(link)
{}

SendOutcome::Frame SetupSession::sendFrame(const QByteArray &payload, bool raw)
{
    m_link.SendData(payload, raw);
    // A window closed in the frame's settle wait does not undo what the display got.
    if (m_link.lastTextWhole())
        return SendOutcome::Sent;
    if (m_link.aborted())
        return SendOutcome::Interrupted;
    return m_link.portOpen() ? SendOutcome::Stalled : SendOutcome::PortGone;
}

SendOutcome SetupSession::send(const SendRequest &request)
{
    SendOutcome outcome;
    const auto failed = [&](SendOutcome::Frame frame) {
        if (frame != SendOutcome::Sent && frame != SendOutcome::Interrupted && frameFailed)
            frameFailed(outcome);
    };
    if (request.reset) {
        outcome.item = sendFrame(resetItemPayload(request.item), false);
        qCDebug(lcSetup, "reset %d %s", request.item, frameWord(outcome.item));
        failed(outcome.item);
        // The stored message goes whatever the frame did.
        if (request.item == ResetUpperLine)
            m_define.DspUpperLine.clear();
        else if (request.item == ResetLowerLine)
            m_define.DspLowerLine.clear();
    } else {
        outcome.item = sendFrame(setupItemPayload(request.item, request.listIndex, request.text),
                                 setupItemIsRaw(request.item));
        qCDebug(lcSetup, "item %d %s", request.item, frameWord(outcome.item));
        if (outcome.item != SendOutcome::Sent) {
            // Nothing is stored, the port is not touched, nothing is saved.
            failed(outcome.item);
            outcome.line = m_define.line();
            return outcome;
        }
        storeValue(request);
        if ((request.item == SetupCommunication || request.item == SetupBaud) && followsDisplay())
            followLine(request.item, outcome);
        outcome.closing = sendFrame(ClosingFrame(), false);
        qCDebug(lcSetup, "closing frame %s", frameWord(outcome.closing));
        failed(outcome.closing);
    }
    outcome.line = m_define.line();
    // The file says what the display holds, so that the next start opens the port where it
    // listens; a closed window saves only what reached the display whole.
    const bool displayGotIt = outcome.item == SendOutcome::Sent;
    if (saves && (m_link.aborted() ? displayGotIt : request.reset || displayGotIt)) {
        outcome.saveTried = true;
        outcome.saved = SaveSettings(m_define, &outcome.saveFailure);
        if (outcome.saved)
            qCDebug(lcSettings).noquote() << "saved" << settingsFilePath(m_define);
        else
            qCDebug(lcSettings).noquote() << "not saved:" << settingsFilePath(m_define)
                                          << outcome.saveFailure.kind << outcome.saveFailure.system;
    }
    return outcome;
}

void SetupSession::storeValue(const SendRequest &request)
{
    switch (request.item) {
    case SetupINChar:
        m_define.DspINChar = request.listIndex;
        break;
    case SetupCodePage:
        m_define.DspCodePage = request.listIndex;
        break;
    case SetupEmulation:
        m_define.DspEmulation = request.listIndex;
        break;
    case SetupUpperLine:
        m_define.DspUpperLine = request.text;
        break;
    case SetupLowerLine:
        m_define.DspLowerLine = request.text;
        break;
    case SetupCommunication:
        m_define.DspCommunication = request.listIndex;
        break;
    case SetupBaud:
        m_define.DspBaud = request.listIndex;
        break;
    }
}

void SetupSession::followLine(int item, SendOutcome &outcome)
{
    followDisplayLine(m_define, item);
    outcome.lineChanged = true;
    qCDebug(lcSetup).noquote() << "the PC side follows the display to"
                               << m_define.line().toString();
    // The window has gone: no port is opened, but the PC side is recorded where the display
    // now listens.
    if (m_link.aborted())
        return;
    if (lineChanged)
        lineChanged();
    try {
        m_link.FollowLine(m_define.ComPort, m_define.line());
    } catch (const PortError &error) {
        // The closing frame then fails on the closed port; the settings stay as chosen.
        outcome.reopenFailed = error;
    }
}
