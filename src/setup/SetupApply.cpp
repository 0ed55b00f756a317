#include "SetupApply.h"

#include "PortAdapter.h"
#include "Prompter.h"
#include "SerialLink.h"
#include "SetupCommands.h"
#include "SetupLists.h"

namespace {

// Nothing is shown: the caller reports each failure itself.
class NoPrompter : public Prompter
{
public:
    void warning(const QString &, const QString &, const QString &) override {}
    void message(const QString &, const QString &) override {}
};

QString quoted(const QString &text)
{
    return text.isEmpty() ? QStringLiteral("(empty)") : QLatin1Char('"') + text + QLatin1Char('"');
}

} // namespace

QString ApplyItem::wireText() const
{
    return raw ? payload : SetupFrame(payload);
}

std::vector<ApplyItem> applyItems(const Define &d)
{
    const auto list = [](int item, const char *name, const QStringList &items, int index) {
        return ApplyItem{item, QString::fromLatin1(name), items.value(index).trimmed(),
                         setupItemPayload(item, index, {}), setupItemIsRaw(item)};
    };
    const auto message = [](int item, const char *name, const QString &text) {
        return ApplyItem{item, QString::fromLatin1(name), quoted(text),
                         setupItemPayload(item, -1, text), setupItemIsRaw(item)};
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
    , m_port(port)
    , m_clock(clock)
{}

void SetupApply::open(const Define &line)
{
    m_define.ComBaud = line.ComBaud;
    m_define.ComParity = line.ComParity;
    m_define.ComBitLen = line.ComBitLen;
    NoPrompter quiet;
    SerialLink(m_define, m_port, m_clock, quiet).ChooseAndOpenPort();
}

bool SetupApply::run()
{
    NoPrompter quiet;
    SerialLink link(m_define, m_port, m_clock, quiet);
    const std::vector<ApplyItem> items = applyItems(m_define);
    for (int n = 1; n <= int(items.size()); ++n) {
        const ApplyItem &item = items[size_t(n - 1)];
        m_failedItem = n;
        if (started)
            started(n, item);
        if (!send(link, item.payload, item.raw))
            return false;
        if (followDisplayLine(m_define, item.setupItem)) {
            m_port.setPortOpen(false);
            try {
                link.OpenPort();
            } catch (const PortError &error) {
                m_failure = QStringLiteral("the port could not be opened again at %1: %2")
                                .arg(settingsString(m_define), error.reason());
                return false;
            }
        }
        if (!send(link, ClosingFrame(), false, &item))
            return false;
        if (sent)
            sent(n, item);
    }
    m_failedItem = 0;
    return true;
}

bool SetupApply::send(SerialLink &link, const QString &hexText, bool raw,
                      const ApplyItem *closingOf)
{
    if (link.SendData(hexText, raw))
        return true;
    // After the item's own frame went out the display holds the new value: say so, so that
    // nobody takes the item for unsent.
    m_closingFrameFailed = closingOf != nullptr;
    const bool open = m_port.portOpen();
    if (!closingOf) {
        m_failure =
            open ? QStringLiteral("a byte of its frame did not leave the port within 2 seconds")
                 : QStringLiteral("the port went away (the device vanished or hung up)");
    } else if (open) {
        m_failure = QStringLiteral("%1 was sent; its closing frame did not leave the port within "
                                   "2 seconds")
                        .arg(closingOf->name);
    } else {
        m_failure = QStringLiteral("%1 was sent; the port went away (the device vanished or hung "
                                   "up) before its closing frame left")
                        .arg(closingOf->name);
    }
    return false;
}
