#include "SetupApply.h"

#include "PortAdapter.h"
#include "Prompter.h"
#include "SerialLink.h"
#include "SetupCommands.h"
#include "SetupLists.h"

#include <QScopeGuard>

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

void SetupApply::stop(const QString &why)
{
    m_stoppedBy = why;
    if (m_link)
        m_link->abort();
}

bool SetupApply::run()
{
    NoPrompter quiet;
    SerialLink link(m_define, m_port, m_clock, quiet);
    m_link = &link;
    const auto done = qScopeGuard([this] { m_link = nullptr; });
    if (!m_stoppedBy.isEmpty())
        link.abort();
    const std::vector<ApplyItem> items = applyItems(m_define);
    for (int n = 1; n <= int(items.size()); ++n) {
        const ApplyItem &item = items[size_t(n - 1)];
        m_failedItem = n;
        if (started)
            started(n, item);
        if (!send(link, item.payload, item.raw, item, false))
            return false;
        if (followDisplayLine(m_define, item.setupItem)) {
            m_port.setPortOpen(false);
            try {
                link.OpenPort();
            } catch (const PortError &error) {
                stopAfter(item, QStringLiteral("sent, port not opened again"),
                          QStringLiteral("the port could not be opened again at %1 (%2)")
                              .arg(settingsString(m_define), error.reason()));
                return false;
            }
        }
        if (!send(link, ClosingFrame(), false, item, true))
            return false;
        if (sent)
            sent(n, item);
    }
    m_failedItem = 0;
    return true;
}

void SetupApply::stopAfter(const ApplyItem &item, const QString &outcome, const QString &what)
{
    m_itemSent = true;
    m_outcome = outcome;
    m_failure = QStringLiteral("%1 was sent; %2").arg(item.name, what);
    Define line = m_define;
    if (followDisplayLine(line, item.setupItem))
        m_failure += QStringLiteral("; the display may now listen at %1").arg(settingsString(line));
}

bool SetupApply::send(SerialLink &link, const QString &hexText, bool raw, const ApplyItem &item,
                      bool closing)
{
    if (link.SendData(hexText, raw))
        return true;
    // Once the item's own frame has gone out whole the display holds the new value: say so, so
    // that nobody takes the item for unsent.
    const bool open = m_port.portOpen();
    if (!m_stoppedBy.isEmpty()) {
        if (closing || link.lastTextWhole()) {
            stopAfter(item, QStringLiteral("sent, then %1").arg(m_stoppedBy),
                      QStringLiteral("then %1 came").arg(m_stoppedBy));
        } else {
            m_itemSent = false;
            m_outcome = QStringLiteral("stopped by %1").arg(m_stoppedBy);
            m_failure = QStringLiteral("%1 came before its frame was whole; the display holds "
                                       "the items before it")
                            .arg(m_stoppedBy);
        }
    } else if (!closing) {
        m_itemSent = false;
        m_outcome = QStringLiteral("failed");
        m_failure =
            open ? QStringLiteral("a byte of its frame did not leave the port within 2 seconds")
                 : QStringLiteral("the port went away (the device vanished or hung up)");
    } else if (open) {
        stopAfter(item, QStringLiteral("sent, closing frame failed"),
                  QStringLiteral("its closing frame did not leave the port within 2 seconds"));
    } else {
        stopAfter(item, QStringLiteral("sent, closing frame failed"),
                  QStringLiteral("the port went away (the device vanished or hung up) before "
                                 "its closing frame left"));
    }
    return false;
}
