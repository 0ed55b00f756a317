#include "DisplayWindow.h"

#include "CodePages.h"
#include "Define.h"
#include "PseudoTerminal.h"
#include "VfdPanel.h"

#include <QDateTime>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScreen>
#include <QVBoxLayout>

namespace {

// A text run is logged when the line has been quiet this long.
constexpr int QuietMs = 150;
constexpr int PollMs = 250;

QString speedText(int bps)
{
    const int index = dspBaudIndexOf(bps);
    return index >= 0 ? baudCaption(index) : QStringLiteral("%1bps").arg(bps);
}

bool isWarning(const QString &line)
{
    return line.startsWith(QLatin1String("unknown")) ||
           line.startsWith(QLatin1String("unterminated")) ||
           line.contains(QLatin1String(" ignored: ")) ||
           line.contains(QLatin1String("not drawn here"));
}

bool isSetup(const QString &line)
{
    return line.startsWith(QLatin1String("set-up")) || line.startsWith(QLatin1String("reset")) ||
           line.startsWith(QLatin1String("farewell")) || line.startsWith(QLatin1String("demo"));
}

} // namespace

DisplayWindow::DisplayWindow(PseudoTerminal &line, const QString &linkPath, QWidget *parent)
    : QWidget(parent)
    , m_line(line)
    , m_panel(new VfdPanel)
{
    setWindowTitle(QStringLiteral("poleset-display \u2014 %1").arg(linkPath));

    // One band of panels side by side, so that the window fits above PoleSet's centred window:
    // the glass, what the display keeps, and the line with its traffic.
    auto *eepromBox = new QGroupBox(QStringLiteral("Stored in the display's EEPROM"));
    auto *eeprom = new QGridLayout(eepromBox);
    eeprom->setVerticalSpacing(2);
    eeprom->setContentsMargins(6, 2, 6, 4);
    const auto addRow = [eeprom](int row, int column, const QString &caption) {
        auto *value = new QLabel;
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        eeprom->addWidget(new QLabel(caption + QLatin1Char(':')), row, 2 * column);
        eeprom->addWidget(value, row, 2 * column + 1);
        return value;
    };
    m_emulation = addRow(0, 0, QStringLiteral("Emulation"));
    m_codePage = addRow(1, 0, QStringLiteral("Code page"));
    m_inChar = addRow(2, 0, QStringLiteral("Characters"));
    m_demo = addRow(3, 0, QStringLiteral("Demo mode"));
    m_communication = addRow(0, 1, QStringLiteral("Format"));
    m_baud = addRow(1, 1, QStringLiteral("Baud rate"));
    m_upperLine = addRow(2, 1, QStringLiteral("Upper line"));
    m_lowerLine = addRow(3, 1, QStringLiteral("Lower line"));
    eeprom->setColumnStretch(1, 1);
    eeprom->setColumnStretch(3, 1);

    m_lineState = new QLabel;
    m_lineState->setToolTip(QStringLiteral(
        "Parity and data bits do not travel over a pseudo-terminal (always 8 bits, no parity), "
        "so only the speed is compared."));
    m_linkText = QStringLiteral("%1 \u2192 %2").arg(linkPath, line.slavePath());

    m_log = new QPlainTextEdit;
    m_log->setReadOnly(true);
    m_log->setMaximumBlockCount(LogLines);
    m_log->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_log->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_log->setMinimumHeight(m_log->fontMetrics().lineSpacing() * 3 + 8);
    auto *logBox = new QGroupBox(QStringLiteral("Line and traffic"));
    auto *logLayout = new QVBoxLayout(logBox);
    logLayout->setSpacing(2);
    logLayout->setContentsMargins(6, 2, 6, 4);
    logLayout->addWidget(m_lineState);
    logLayout->addWidget(m_log, 1);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(m_panel, 5);
    layout->addWidget(eepromBox, 4);
    layout->addWidget(logBox, 4);
    resize(1180, 190);

    m_quietTimer.setSingleShot(true);
    m_quietTimer.setInterval(QuietMs);
    connect(&m_quietTimer, &QTimer::timeout, this, &DisplayWindow::quiet);
    m_pollTimer.setInterval(PollMs);
    connect(&m_pollTimer, &QTimer::timeout, this, &DisplayWindow::pollLine);
    m_pollTimer.start();

    pollLine();
    refresh();
}

void DisplayWindow::placeAbovePoleSet()
{
    // PoleSet centres its window on the screen: 628 x 392 pixels under a menu bar, in the window
    // manager's frame, about 660 x 470 in all. This window takes the band above it.
    constexpr int PoleSetHeight = 470;
    constexpr int FrameHeight = 32; // title bar and border, before the window manager says
    const QRect screen = this->screen() ? this->screen()->availableGeometry() : QRect();
    const int band = (screen.height() - PoleSetHeight) / 2;
    if (band - FrameHeight < minimumSizeHint().height())
        return; // a small screen: the window manager places the window
    resize(screen.width() - 8, band - FrameHeight);
    move(screen.topLeft());
}

void DisplayWindow::receive(const QByteArray &bytes)
{
    // Read the speed now rather than at the next poll: PoleSet sets it right before it writes.
    pollLine();
    const int expected = DspBaudRates[m_decoder.eeprom().baud];
    if (m_lineSpeed != expected && !m_mismatchNoted) {
        note(QStringLiteral("bytes arrive at %1 while the display listens at %2")
                 .arg(speedText(m_lineSpeed), speedText(expected)),
             true);
        m_mismatchNoted = true;
    }
    m_decoder.feed(bytes);
    appendLog(m_decoder.takeLog());
    refresh();
    m_quietTimer.start();
}

void DisplayWindow::note(const QString &text, bool warning)
{
    const QString time = QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz"));
    const QString colour = warning ? QStringLiteral("#c06000") : QStringLiteral("#505050");
    m_log->appendHtml(QStringLiteral("<span style=\"color:#909090\">%1</span>&nbsp;&nbsp;"
                                     "<span style=\"color:%2\">%3</span>")
                          .arg(time, colour, text.toHtmlEscaped()));
}

void DisplayWindow::quiet()
{
    m_decoder.flush();
    appendLog(m_decoder.takeLog());
    refresh();
}

void DisplayWindow::pollLine()
{
    const int speed = m_line.lineSpeed();
    if (speed != m_lineSpeed) {
        m_lineSpeed = speed;
        refresh();
    }
}

void DisplayWindow::appendLog(const QStringList &lines)
{
    const QString time = QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz"));
    for (const QString &line : lines) {
        QString colour = QStringLiteral("#000000");
        if (isWarning(line))
            colour = QStringLiteral("#c06000");
        else if (isSetup(line))
            colour = QStringLiteral("#00707a");
        m_log->appendHtml(QStringLiteral("<span style=\"color:#909090\">%1</span>&nbsp;&nbsp;"
                                         "<span style=\"color:%2; white-space:pre\">%3</span>")
                              .arg(time, colour, line.toHtmlEscaped()));
    }
}

QString DisplayWindow::messageText(const QByteArray &bytes) const
{
    if (bytes.isEmpty())
        return QStringLiteral("(empty)");
    QString text;
    for (const char byte : bytes)
        text += m_decoder.charOf(static_cast<unsigned char>(byte));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

void DisplayWindow::refresh()
{
    std::array<QString, VfdPanel::Rows> lines;
    for (int row = 0; row < VfdPanel::Rows; ++row) {
        const QByteArray bytes = m_decoder.lineBytes(row);
        for (const char byte : bytes)
            lines[row] += m_decoder.charOf(static_cast<unsigned char>(byte));
    }
    const bool demo = m_decoder.eeprom().demoMode;
    m_panel->setContent(lines, demo ? -1 : m_decoder.cursorRow(),
                        demo ? -1 : m_decoder.cursorColumn());

    const DisplayEeprom &eeprom = m_decoder.eeprom();
    m_emulation->setText(emulationCaption(eeprom.emulation));
    m_codePage->setText(
        codePageCaption(eeprom.codePage) +
        (codePageDrawn(eeprom.codePage) ? QString() : QStringLiteral(" (drawn as PC437)")));
    m_inChar->setText(inCharCaption(eeprom.inChar));
    m_communication->setText(communicationCaption(eeprom.communication));
    m_baud->setText(baudCaption(eeprom.baud));
    m_upperLine->setText(messageText(eeprom.upperLine));
    m_lowerLine->setText(messageText(eeprom.lowerLine));
    m_demo->setText(eeprom.demoMode ? QStringLiteral("on") : QStringLiteral("off"));

    const int expected = DspBaudRates[eeprom.baud];
    const QString speed = m_lineSpeed > 0 ? speedText(m_lineSpeed) : QStringLiteral("unknown");
    if (m_lineSpeed == expected) {
        m_mismatchNoted = false;
        m_lineState->setText(QStringLiteral("%1, PoleSet at %2: <b style=\"color:#1a7f37\">"
                                            "\u2714 same speed</b>")
                                 .arg(m_linkText.toHtmlEscaped(), speed));
    } else {
        m_lineState->setText(
            QStringLiteral("%1, PoleSet at %2: <b style=\"color:#c62828\">"
                           "\u2716 the display listens at %3</b>")
                .arg(m_linkText.toHtmlEscaped(), speed, baudCaption(eeprom.baud).trimmed()));
    }
}
