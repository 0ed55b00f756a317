#include "SetupApply.h"

#include "SetupLists.h"

namespace {

QString quoted(const QString &text)
{
    return text.isEmpty() ? QStringLiteral("(empty)") : QLatin1Char('"') + text + QLatin1Char('"');
}

} // namespace

std::vector<ApplyItem> applyItems(const Define &d)
{
    const auto list = [](int item, const char *name, const QStringList &items, int index) {
        return ApplyItem{QString::fromLatin1(name), items.value(index).trimmed(),
                         SendRequest{false, item, index, {}}};
    };
    const auto message = [](int item, const char *name, const QString &text) {
        return ApplyItem{QString::fromLatin1(name), quoted(text),
                         SendRequest{false, item, -1, text}};
    };
    return {list(SetupEmulation, "Command Emulation", EmulationItems, d.DspEmulation),
            list(SetupINChar, "International Character", INChrItems, d.DspINChar),
            list(SetupCodePage, "Code Page", CodePageItems, d.DspCodePage),
            message(SetupUpperLine, "Upper line message", d.DspUpperLine),
            message(SetupLowerLine, "Lower line message", d.DspLowerLine),
            list(SetupCommunication, "Communication", CommunicationItems, d.DspCommunication),
            list(SetupBaud, "Baud rate", BaudItems, d.DspBaud)};
}

SetupApply::SetupApply(const Define &settings, PortAdapter &port, Clock &clock)
    : m_define(settings)
    , m_link(port, clock)
    , m_session(m_define, m_link)
    , m_items(applyItems(settings))
{
    m_session.saves = false;
}

void SetupApply::open(const LineSettings &line)
{
    m_define.setLine(line);
    m_link.ChooseAndOpenPort(m_define.ComPort, line);
}

void SetupApply::stop()
{
    m_stopped = true;
    m_link.abort();
}

bool SetupApply::run()
{
    for (int n = 1; n <= int(m_items.size()); ++n) {
        const ApplyItem &item = m_items[size_t(n - 1)];
        m_link.setSendingHook([&](const QByteArray &payload, bool raw) {
            if (frame)
                frame(n, item, raw ? payload : SetupFrame(payload));
        });
        m_session.lineChanged = [&] {
            if (lineChanged)
                lineChanged(n, item, m_define.line());
        };
        m_failedItem = n;
        if (started)
            started(n, item);
        m_sendOutcome = m_session.send(item.request);
        // A stop during the item's last wait ends the run here, with the item sent.
        if (m_sendOutcome.item != SendOutcome::Sent || m_sendOutcome.reopenFailed ||
            m_sendOutcome.closing != SendOutcome::Sent || m_link.aborted())
            break;
        if (sent)
            sent(n, item);
        m_failedItem = 0;
    }
    m_link.setSendingHook({});
    m_session.lineChanged = {};
    return m_failedItem == 0;
}
