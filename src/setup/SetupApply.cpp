#include "SetupApply.h"

#include "SetupLists.h"

namespace {

QString quoted(const QString &text)
{
    return text.isEmpty() ? QStringLiteral("(empty)") : QLatin1Char('"') + text + QLatin1Char('"');
}

constexpr QLatin1String PortGone("the port went away (the device vanished or hung up)");

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

void SetupApply::stop(const QString &why)
{
    m_stoppedBy = why;
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

QString SetupApply::outcome() const
{
    const SendOutcome &o = m_sendOutcome;
    if (!m_stoppedBy.isEmpty())
        return itemSent() ? QStringLiteral("sent, then %1").arg(m_stoppedBy)
                          : QStringLiteral("stopped by %1").arg(m_stoppedBy);
    if (!itemSent())
        return QStringLiteral("failed");
    return o.reopenFailed ? QStringLiteral("sent, port not opened again")
                          : QStringLiteral("sent, closing frame failed");
}

QString SetupApply::failure() const
{
    const SendOutcome &o = m_sendOutcome;
    if (!itemSent()) {
        if (!m_stoppedBy.isEmpty())
            return QStringLiteral("%1 came before its frame was whole; the display holds the "
                                  "items before it")
                .arg(m_stoppedBy);
        return o.item == SendOutcome::PortGone
                   ? QString(PortGone)
                   : QStringLiteral("a byte of its frame did not leave the port within 2 seconds");
    }
    // Once the item's own frame has gone out whole the display holds the new value: say so, so
    // that nobody takes the item for unsent.
    QString what;
    if (!m_stoppedBy.isEmpty())
        what = QStringLiteral("then %1 came").arg(m_stoppedBy);
    else if (o.reopenFailed)
        what = QStringLiteral("the port could not be opened again at %1 (%2)")
                   .arg(o.line.toString(), o.reopenFailed->reason());
    else if (o.closing == SendOutcome::PortGone)
        what = PortGone + QStringLiteral(" before its closing frame left");
    else
        what = QStringLiteral("its closing frame did not leave the port within 2 seconds");
    const ApplyItem &item = m_items[size_t(m_failedItem - 1)];
    QString text = QStringLiteral("%1 was sent; %2").arg(item.name, what);
    if (o.lineChanged)
        text += QStringLiteral("; the display may now listen at %1").arg(o.line.toString());
    return text;
}
