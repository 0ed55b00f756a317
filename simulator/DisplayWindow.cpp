#include "DisplayWindow.h"

#include "CodePages.h"
#include "Define.h"
#include "DisplayEepromFile.h"
#include "PseudoTerminal.h"
#include "SettingsFile.h"
#include "VfdPanel.h"
#include "WindowPlacement.h"

#include <QAccessibleWidget>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTextDocumentFragment>
#include <QVBoxLayout>

// A value that never widens the window: elided to the room it gets, whole in its tool tip and
// in its accessible name, after its caption.
class ElidedLabel : public QLabel
{
public:
    explicit ElidedLabel(const QString &caption)
        : m_caption(caption)
    {
        setTextInteractionFlags(Qt::TextSelectableByMouse);
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    }

    void setFullText(const QString &text)
    {
        if (text == m_full)
            return;
        m_full = text;
        setToolTip(text);
        setAccessibleName(m_caption + QStringLiteral(": ") + text);
        elide();
    }

    QSize sizeHint() const override
    {
        return {fontMetrics().averageCharWidth() * 24, QLabel::sizeHint().height()};
    }

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QLabel::resizeEvent(event);
        elide();
    }

private:
    void elide() { setText(fontMetrics().elidedText(m_full, Qt::ElideRight, width())); }

    QString m_caption;
    QString m_full;
};

namespace {

const char GlassText[] = "_poleset_glassText";

// The glass as a reader gets it: a read-only text of the two lines, one line each, which tells of
// every change as text taken out and put in.
class GlassAccessible : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit GlassAccessible(QWidget *glass)
        : QAccessibleWidget(glass, QAccessible::EditableText)
    {}
    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.readOnly = true;
        state.multiLine = true;
        return state;
    }
    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(int start, int end) const override { return all().mid(start, end - start); }
    QString text(QAccessible::Text t) const override { return QAccessibleWidget::text(t); }
    int characterCount() const override { return int(all().size()); }
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    void selection(int, int *start, int *end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint &) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int *start, int *end) const override
    {
        *start = *end = offset;
        return {};
    }

private:
    QString all() const { return widget()->property(GlassText).toString(); }
};

QAccessibleInterface *simulatorAccessible(const QString &, QObject *object)
{
    // The window is a frame to a reader, as a main window is.
    if (qobject_cast<DisplayWindow *>(object))
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Window);
    if (auto *glass = qobject_cast<VfdPanel *>(object))
        return new GlassAccessible(glass);
    return nullptr;
}

// A text run is logged when the line has been quiet this long.
constexpr int QuietMs = 150;
constexpr int PollMs = 250;
// Room for the window manager's border beside the window, and for its title bar and border above
// and below it, before the window manager says.
constexpr int FrameWidth = 8;
constexpr int FrameHeight = 32;

bool isWarning(const QString &line)
{
    return line.startsWith(QLatin1String("unknown")) ||
           line.startsWith(QLatin1String("unterminated")) ||
           line.startsWith(QLatin1String("not understood")) ||
           line.contains(QLatin1String(" ignored: ")) ||
           line.contains(QLatin1String("not drawn here"));
}

bool isSetup(const QString &line)
{
    return line.startsWith(QLatin1String("set-up")) || line.startsWith(QLatin1String("reset")) ||
           line.startsWith(QLatin1String("farewell")) || line.startsWith(QLatin1String("demo"));
}

// The settings, without the demo state, which is not kept.
DisplayEeprom settingsOf(DisplayEeprom eeprom)
{
    eeprom.demoMode = false;
    return eeprom;
}

} // namespace

DisplayWindow::DisplayWindow(PseudoTerminal &line, const QString &dir, int port, QWidget *parent)
    : QWidget(parent)
    , m_line(line)
    , m_eepromPath(
          QDir(dir).absoluteFilePath(QStringLiteral("poleset-display-COM%1.eeprom").arg(port)))
    , m_poleSetIni(QDir(dir).absoluteFilePath(QStringLiteral("PoleSet.ini")))
    , m_panel(new VfdPanel)
{
    const QString linkName = QStringLiteral("COM%1").arg(port);
    setWindowTitle(QStringLiteral("poleset-display \u2014 %1").arg(linkName));
    static const bool installed = (QAccessible::installFactory(simulatorAccessible), true);
    Q_UNUSED(installed);
    m_panel->setAccessibleName(QStringLiteral("Display glass"));
    // A reader can land on the glass to read it.
    m_panel->setFocusPolicy(Qt::TabFocus);

    // One band of panels side by side, so that the window fits above PoleSet's centred window:
    // the glass, what the display keeps, and the line with its traffic.
    auto *eepromBox = new QGroupBox(QStringLiteral("Stored in the display's EEPROM"));
    m_eepromBox = eepromBox;
    eepromBox->setAccessibleName(eepromBox->title());
    auto *eeprom = new QGridLayout(eepromBox);
    eeprom->setVerticalSpacing(2);
    eeprom->setContentsMargins(6, 2, 6, 4);
    const auto addRow = [eeprom](int row, int column, const QString &caption) {
        auto *value = new ElidedLabel(caption);
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
    auto *factory = new QPushButton(QStringLiteral("&Factory settings"));
    factory->setToolTip(QStringLiteral("Restore the display's factory settings: T3150-LC, "
                                       "PC437, U.S.A, 9,600bps N-8-1, no messages"));
    connect(factory, &QPushButton::clicked, this, &DisplayWindow::restoreFactorySettings);
    eeprom->addWidget(factory, 4, 0, 1, 4, Qt::AlignLeft);
    eeprom->setColumnStretch(1, 1);
    eeprom->setColumnStretch(3, 1);

    m_lineState = new QLabel;
    m_lineState->setWordWrap(true);
    m_lineState->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_lineState->setToolTip(QStringLiteral(
        "The speed is read from the line. Parity and data bits do not travel over a "
        "pseudo-terminal: PoleSet's are taken from the PoleSet.ini it last saved here when its "
        "baud rate is the line's, else they are taken to be the display's own."));
    m_linkText = QStringLiteral("%1 \u2192 %2").arg(linkName, line.slavePath());

    m_log = new QPlainTextEdit;
    m_log->setAccessibleName(QStringLiteral("Traffic log"));
    m_log->setReadOnly(true);
    m_log->setMaximumBlockCount(LogLines);
    m_log->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_log->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_log->setMinimumHeight(m_log->fontMetrics().lineSpacing() * 3 + 8);
    auto *logBox = new QGroupBox(QStringLiteral("Line and traffic"));
    m_logBox = logBox;
    logBox->setAccessibleName(logBox->title());
    auto *logLayout = new QVBoxLayout(logBox);
    logLayout->setSpacing(2);
    logLayout->setContentsMargins(6, 2, 6, 4);
    logLayout->addWidget(m_lineState);
    logLayout->addWidget(m_log, 1);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(m_panel, 5);
    // In the compact layout the EEPROM and the log are folded behind this button.
    m_unfold = new QPushButton(QStringLiteral("&Details"));
    m_unfold->setCheckable(true);
    m_unfold->setToolTip(QStringLiteral("Show what the display keeps and the line's traffic"));
    m_unfold->hide();
    connect(m_unfold, &QPushButton::toggled, this, [this](bool on) {
        m_eepromBox->setVisible(on);
        m_logBox->setVisible(on);
    });
    layout->addWidget(m_unfold, 0, Qt::AlignTop);
    layout->addWidget(eepromBox, 5);
    layout->addWidget(logBox, 4);
    if (const QScreen *screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        setMaximumSize(area.width() - FrameWidth, area.height() - FrameHeight);
    }
    resize(qMin(1180, maximumWidth()), qMin(190, maximumHeight()));

    DisplayEeprom stored;
    QString why;
    if (loadEeprom(m_eepromPath, &stored, &why)) {
        m_decoder.setEeprom(stored);
        m_kept = settingsOf(stored);
        note(QStringLiteral("EEPROM read from %1").arg(QFileInfo(m_eepromPath).fileName()), false);
    } else {
        // The file is left as it is until the EEPROM changes.
        m_kept = DisplayEeprom{};
        const bool missing = !QFileInfo::exists(m_eepromPath);
        note(missing ? QStringLiteral("no %1 yet: factory settings")
                           .arg(QFileInfo(m_eepromPath).fileName())
                     : QStringLiteral("%1: %2; factory settings").arg(m_eepromPath, why),
             !missing);
    }

    m_quietTimer.setSingleShot(true);
    m_quietTimer.setInterval(QuietMs);
    connect(&m_quietTimer, &QTimer::timeout, this, &DisplayWindow::quiet);
    m_pollTimer.setInterval(PollMs);
    connect(&m_pollTimer, &QTimer::timeout, this, &DisplayWindow::pollLine);
    m_pollTimer.start();

    pollLine();
    refresh();
}

DisplayWindow::Placement DisplayWindow::placeBeside(const QRect &poleSet, const QRect &screen,
                                                    QSize full, QSize compact)
{
    // The free bands around PoleSet's window: above and below it the screen's width, beside it
    // the screen's height.
    const QRect bands[] = {QRect(screen.topLeft(), QPoint(screen.right(), poleSet.top() - 1)),
                           QRect(QPoint(screen.left(), poleSet.bottom() + 1), screen.bottomRight()),
                           QRect(screen.topLeft(), QPoint(poleSet.left() - 1, screen.bottom())),
                           QRect(QPoint(poleSet.right() + 1, screen.top()), screen.bottomRight())};
    for (const bool folded : {false, true}) {
        const QSize need = folded ? compact : full;
        for (const QRect &band : bands) {
            if (band.width() < need.width() || band.height() < need.height())
                continue;
            // Above or below: the band's whole width and height; beside: level with PoleSet.
            if (band.width() == screen.width())
                return {band, folded};
            return {
                QRect(band.left(), qMax(band.top(), poleSet.top()), band.width(), need.height()),
                folded};
        }
    }
    // No room anywhere: folded at the bottom of the screen, over the foot of PoleSet's window but
    // clear of its title and menu bars.
    const int height = qMin(compact.height(), screen.height());
    return {QRect(screen.left(), screen.bottom() + 1 - height, screen.width(), height), true};
}

void DisplayWindow::placeBesidePoleSet()
{
    // PoleSet's window: 628 x 392 pixels under a menu bar, in the window manager's frame about
    // 640 x 440 in all, placed by PoleSet's own rule.
    const QRect screen = this->screen() ? this->screen()->availableGeometry() : QRect();
    if (screen.isEmpty())
        return;
    const QRect poleSet = placedFrame(QRect(0, 0, 640, 440), screen, screen);
    const QSize frame(FrameWidth, FrameHeight);
    // The full layout is made for 190 pixels; the compact one needs the glass's least.
    const QSize full = QSize(minimumSizeHint().width(), 190) + frame;
    const QSize compact =
        m_panel->minimumSizeHint() + QSize(m_unfold->sizeHint().width(), 0) + QSize(24, 12) + frame;
    const Placement place = placeBeside(poleSet, screen, full, compact);
    setCompact(place.compact);
    resize((place.frame.size() - frame).boundedTo(maximumSize()));
    move(place.frame.topLeft());
}

void DisplayWindow::setCompact(bool compact)
{
    // The glass first: what the display keeps and the traffic fold behind a button.
    m_unfold->setVisible(compact);
    m_unfold->setChecked(!compact);
    m_eepromBox->setVisible(!compact);
    m_logBox->setVisible(!compact);
}

void DisplayWindow::receive(const QByteArray &bytes)
{
    // Read the line now rather than at the next poll: PoleSet sets it right before it writes.
    pollLine();
    m_farEndOpen = true; // whatever the line says, something writes to it
    m_decoder.setLine(poleSetLine());
    const int communication = m_decoder.eeprom().communication;
    m_decoder.feed(bytes);
    const QStringList log = m_decoder.takeLog();
    // PoleSet follows a new format at once when told to and saves its settings after the
    // closing frame; until then, take it to have followed.
    if (m_decoder.eeprom().communication != communication &&
        !log.filter(QStringLiteral("set-up: Communication")).isEmpty()) {
        m_followed = listeningFormat(m_decoder.eeprom());
    }
    appendLog(log);
    keepEeprom();
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
    m_log->verticalScrollBar()->setValue(m_log->verticalScrollBar()->maximum());
}

void DisplayWindow::restoreFactorySettings()
{
    m_decoder.setEeprom(DisplayEeprom{});
    appendLog(m_decoder.takeLog());
    note(QStringLiteral("factory settings restored"), false);
    keepEeprom();
    refresh();
}

void DisplayWindow::quiet()
{
    m_decoder.flush();
    appendLog(m_decoder.takeLog());
    refresh();
}

void DisplayWindow::pollLine()
{
    readPoleSetFormat();
    const int speed = m_line.lineSpeed();
    const bool open = m_line.farEndOpen();
    if (speed != m_lineSpeed || open != m_farEndOpen) {
        m_lineSpeed = speed;
        m_farEndOpen = open;
        refresh();
    }
}

void DisplayWindow::readPoleSetFormat()
{
    const QFileInfo ini(m_poleSetIni);
    const QDateTime stamp = ini.lastModified();
    if (stamp == m_iniStamp && ini.size() == m_iniSize && m_iniSize >= 0)
        return;
    m_iniStamp = stamp;
    m_iniSize = ini.exists() ? ini.size() : 0;
    // A missing or unreadable file leaves PoleSet at its defaults, as it does PoleSet.
    Define settings;
    ReadSettingsFile(m_poleSetIni, settings);
    m_saved = {settings.ComBaud, "NEO"[qBound(0, settings.ComParity, 2)], settings.ComBitLen};
    m_followed.reset();
    refresh();
}

LineFormat DisplayWindow::poleSetLine() const
{
    LineFormat line = m_followed.value_or(
        m_saved.bps == m_lineSpeed ? m_saved : listeningFormat(m_decoder.eeprom()));
    line.bps = m_lineSpeed;
    return line;
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
    // The newest line always in view.
    m_log->verticalScrollBar()->setValue(m_log->verticalScrollBar()->maximum());
}

void DisplayWindow::keepEeprom()
{
    const DisplayEeprom now = settingsOf(m_decoder.eeprom());
    if (now == m_kept)
        return;
    QString why;
    if (saveEeprom(m_eepromPath, now, &why)) {
        m_kept = now;
        m_saveFailed = false;
    } else if (!m_saveFailed) {
        // Said once; tried again at the next change.
        m_saveFailed = true;
        note(QStringLiteral("cannot keep the EEPROM in %1: %2").arg(m_eepromPath, why), true);
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
    // A closed port keeps the last format: Qt puts back the line's earlier settings on close.
    if (m_farEndOpen)
        m_decoder.setLine(poleSetLine());
    std::array<QString, VfdPanel::Rows> lines;
    for (int row = 0; row < VfdPanel::Rows; ++row) {
        const QByteArray bytes = m_decoder.lineBytes(row);
        for (const char byte : bytes)
            lines[row] += m_decoder.charOf(static_cast<unsigned char>(byte));
    }
    const bool demo = m_decoder.eeprom().demoMode;
    m_panel->setContent(lines, demo ? -1 : m_decoder.cursorRow(),
                        demo ? -1 : m_decoder.cursorColumn());
    const QString glass = m_decoder.lineText(0) + QLatin1Char('\n') + m_decoder.lineText(1);
    const QString before = m_panel->property(GlassText).toString();
    if (glass != before) {
        m_panel->setProperty(GlassText, glass);
        QAccessibleTextUpdateEvent changed(m_panel, 0, before, glass);
        QAccessible::updateAccessibility(&changed);
    }

    const DisplayEeprom &eeprom = m_decoder.eeprom();
    m_emulation->setFullText(emulationCaption(eeprom.emulation));
    m_codePage->setFullText(
        codePageCaption(eeprom.codePage) +
        (codePageDrawn(eeprom.codePage) ? QString() : QStringLiteral(" (drawn as PC437)")));
    m_inChar->setFullText(inCharCaption(eeprom.inChar));
    m_communication->setFullText(communicationCaption(eeprom.communication));
    m_baud->setFullText(baudCaption(eeprom.baud));
    m_upperLine->setFullText(messageText(eeprom.upperLine));
    m_lowerLine->setFullText(messageText(eeprom.lowerLine));
    m_demo->setFullText(eeprom.demoMode ? QStringLiteral("on") : QStringLiteral("off"));

    QString state;
    const QString link = m_linkText.toHtmlEscaped();
    // PoleSet's parity and data bits are shown only when known, not when taken as the display's.
    QString poleSet = formatText(m_decoder.line());
    if (!m_followed && m_saved.bps != m_lineSpeed)
        poleSet = poleSet.section(QLatin1Char(' '), 0, 0);
    if (!m_farEndOpen) {
        state = QStringLiteral("%1: PoleSet's port is closed").arg(link);
    } else if (m_decoder.hearsLine()) {
        state = QStringLiteral("%1, PoleSet at %2: <b style=\"color:#1a7f37\">\u2714 the "
                               "display hears it</b>")
                    .arg(link, poleSet);
    } else {
        state = QStringLiteral("%1, PoleSet at %2: <b style=\"color:#c62828\">\u2716 the "
                               "display listens at %3</b>")
                    .arg(link, poleSet, formatText(listeningFormat(eeprom)));
    }
    if (state != m_lineState->text()) {
        m_lineState->setText(state);
        m_lineState->setAccessibleName(QTextDocumentFragment::fromHtml(state).toPlainText());
    }
}
