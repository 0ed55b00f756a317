#include "DisplayWindow.h"

#include "CodePages.h"
#include "Define.h"
#include "PseudoTerminal.h"
#include "VfdPanel.h"

#include <QDateTime>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace {

// A text run is logged when the line has been quiet this long.
constexpr int QuietMs = 150;
constexpr int PollMs = 250;

QLabel *addRow(QFormLayout *form, const QString &caption)
{
    auto *value = new QLabel;
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(caption + QLatin1Char(':'), value);
    return value;
}

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

    auto *eepromBox = new QGroupBox(QStringLiteral("Stored in the display's EEPROM"));
    auto *eeprom = new QFormLayout(eepromBox);
    m_emulation = addRow(eeprom, QStringLiteral("Command Emulation"));
    m_codePage = addRow(eeprom, QStringLiteral("Code Page"));
    m_inChar = addRow(eeprom, QStringLiteral("International Character"));
    m_communication = addRow(eeprom, QStringLiteral("Communication"));
    m_baud = addRow(eeprom, QStringLiteral("Baud rate"));
    m_upperLine = addRow(eeprom, QStringLiteral("Upper line message"));
    m_lowerLine = addRow(eeprom, QStringLiteral("Lower line message"));
    m_demo = addRow(eeprom, QStringLiteral("Demo mode"));

    auto *lineBox = new QGroupBox(QStringLiteral("Line"));
    auto *lineForm = new QFormLayout(lineBox);
    auto *link = addRow(lineForm, QStringLiteral("Port"));
    link->setText(QStringLiteral("%1 \u2192 %2").arg(linkPath, line.slavePath()));
    m_portSpeed = addRow(lineForm, QStringLiteral("Speed set by PoleSet"));
    m_speedCheck = addRow(lineForm, QStringLiteral("Against the display"));
    auto *format = new QLabel(QStringLiteral(
        "Parity and data bits do not travel over a pseudo-terminal (always 8 bits, no parity), "
        "so only the speed is compared."));
    format->setWordWrap(true);
    format->setEnabled(false);
    lineForm->addRow(format);

    m_log = new QPlainTextEdit;
    m_log->setReadOnly(true);
    m_log->setMaximumBlockCount(LogLines);
    m_log->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_log->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    auto *logBox = new QGroupBox(QStringLiteral("Traffic"));
    auto *logLayout = new QVBoxLayout(logBox);
    logLayout->addWidget(m_log);

    auto *left = new QVBoxLayout;
    left->addWidget(m_panel);
    left->addWidget(lineBox);
    left->addStretch();
    auto *top = new QHBoxLayout;
    top->addLayout(left, 1);
    top->addWidget(eepromBox);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(logBox, 1);
    resize(1080, 640);

    m_quietTimer.setSingleShot(true);
    m_quietTimer.setInterval(QuietMs);
    connect(&m_quietTimer, &QTimer::timeout, this, &DisplayWindow::quiet);
    m_pollTimer.setInterval(PollMs);
    connect(&m_pollTimer, &QTimer::timeout, this, &DisplayWindow::pollLine);
    m_pollTimer.start();

    pollLine();
    refresh();
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
    m_portSpeed->setText(m_lineSpeed > 0 ? speedText(m_lineSpeed) : QStringLiteral("unknown"));
    if (m_lineSpeed == expected) {
        m_mismatchNoted = false;
        m_speedCheck->setText(QStringLiteral("\u2714 same speed"));
        m_speedCheck->setStyleSheet(QStringLiteral("color:#1a7f37; font-weight:bold"));
    } else {
        m_speedCheck->setText(QStringLiteral("\u2716 MISMATCH: the display listens at %1")
                                  .arg(baudCaption(eeprom.baud)));
        m_speedCheck->setStyleSheet(QStringLiteral("color:#c62828; font-weight:bold"));
    }
}
