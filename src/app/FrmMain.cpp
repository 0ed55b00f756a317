#include "FrmMain.h"

#include "Clock.h"
#include "FailureWords.h"
#include "PortAdapter.h"
#include "Prompter.h"
#include "SettingsFile.h"
#include "SetupLists.h"
#include "UiMetrics.h"
#include "Widgets.h"
#include "WindowPlacement.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QValidator>

namespace {

// Typing and pasting stop at this many characters of a demo message.
constexpr qsizetype MessageTypingLimit = 198;

// The demo messages become bytes of set-up frames: control characters and DEL have no place in
// them, typed or pasted. A longer message loaded from the settings file stays whole; typing into
// it adds nothing until it is shorter than the limit again, and a paste keeps what fits.
class MessageValidator : public QValidator
{
public:
    explicit MessageValidator(QLineEdit *edit)
        : QValidator(edit)
    {
        connect(edit, &QLineEdit::textChanged, this, [this](const QString &t) { m_before = t; });
    }

    // A text the program puts into the box is not bound by the typing limit.
    void expect(const QString &text) { m_before = text; }

    State validate(QString &input, int &pos) const override
    {
        for (const QChar c : input) {
            if (c.unicode() < 0x20 || c.unicode() == 0x7F)
                return Invalid;
        }
        const qsizetype limit = std::max(MessageTypingLimit, m_before.size());
        if (input.size() <= limit)
            return Acceptable;
        // What the edit inserted lies between the head and the tail it shares with the old text.
        const qsizetype common = std::min(input.size(), m_before.size());
        qsizetype head = 0;
        while (head < common && input[head] == m_before[head])
            ++head;
        qsizetype tail = 0;
        while (tail < common - head &&
               input[input.size() - 1 - tail] == m_before[m_before.size() - 1 - tail])
            ++tail;
        const qsizetype room = std::max<qsizetype>(0, limit - head - tail);
        const QString kept = input.left(head) + input.mid(head, room) + input.right(tail);
        if (kept == m_before)
            return Invalid;
        input = kept;
        pos = int(head + room);
        return Acceptable;
    }

private:
    QString m_before;
};

// A drop-down list that starts with nothing selected (Qt picks item 0 by itself).
QComboBox *makeList(QWidget *parent, const QString &name, const QStringList &items, QRect rect)
{
    auto *combo = new QComboBox(parent);
    combo->setObjectName(name);
    combo->addItems(items);
    combo->setCurrentIndex(-1);
    combo->setMaxVisibleItems(items.size());
    combo->setGeometry(rect);
    return combo;
}

QRadioButton *makeOption(QWidget *parent, const QString &name, const QString &caption, QRect rect)
{
    auto *option = new QRadioButton(caption, parent);
    option->setObjectName(name);
    option->setGeometry(rect);
    return option;
}

// An exclusive option group. Qt's automatic exclusivity would take in every option button below
// the parent, the frames' rows included, so each array gets a group of its own. Tab stops at the
// group's selected button only; the arrow keys move within the group.
void makeOptionGroup(QObject *owner, std::initializer_list<QRadioButton *> options)
{
    auto *group = new QButtonGroup(owner);
    for (QRadioButton *option : options)
        group->addButton(option);
    const auto tabStopOnSelected = [group] {
        for (QAbstractButton *option : group->buttons()) {
            option->setFocusPolicy(option->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
        }
    };
    QObject::connect(group, &QButtonGroup::buttonToggled, group, tabStopOnSelected);
    tabStopOnSelected();
}

QLineEdit *makeMessageBox(QWidget *parent, const QString &name, QRect rect)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setValidator(new MessageValidator(edit));
    edit->setGeometry(rect);
    return edit;
}

// Puts a stored message into its box whole, whatever its length.
void loadMessage(QLineEdit *box, const QString &text)
{
    if (auto *validator = dynamic_cast<const MessageValidator *>(box->validator()))
        const_cast<MessageValidator *>(validator)->expect(text);
    box->setText(text);
}

QLabel *makeImage(QWidget *parent, const QString &name, const QString &resource, QRect rect)
{
    auto *image = new QLabel(parent);
    image->setObjectName(name);
    image->setPixmap(QPixmap(resource));
    image->setScaledContents(true);
    image->setGeometry(rect);
    return image;
}

} // namespace

FrmMain::FrmMain(Define &define, PortAdapter &port, Clock &clock, Prompter &prompter,
                 QWidget *parent)
    : QMainWindow(parent)
    , m_define(define)
    , m_port(port)
    , m_prompter(prompter)
    , m_link(port, clock)
    , m_session(define, m_link)
{
    setWindowTitle(QStringLiteral("Velodisp T3150-LC"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/app.xpm")));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    installAccessibleInterfaces();
    createControls();
    nameControls();
    createMenus();
    // A fixed single border: the window manager can neither resize nor maximise the window.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    centreWithFrame(this, [this] { return screen() ? screen()->availableGeometry() : QRect(); });

    TmrStat = clock.makeTimer();
    TmrStat->setInterval(500);
    TmrStat->setEnabled(false);
    TmrStat->setCallback([this] { TmrStat_Timer(); });

    m_link.setSendingHook([this](const QByteArray &payload, bool raw) {
        ShowStatus(raw ? hexText(payload)
                       : QStringLiteral("Send Data: STX 05 ") + hexText(payload) +
                             QStringLiteral(" ETX"));
    });
    m_session.followsDisplay = [this] { return ChkSetTerm->isChecked(); };
    m_session.frameFailed = [this](const SendOutcome &) { ReportSendError(); };
    m_session.lineChanged = [this] { ShowInterfaceStatus(); };
    connectHandlers();
}

FrmMain::~FrmMain() = default;

void FrmMain::createControls()
{
    auto *client = new QWidget(this);
    client->setFixedSize(twips(9420), twips(5880));
    client->setFont(centuryFont());
    setCentralWidget(client);

    FraPoleSet = new TitledFrame(QString(33, u' '), client);
    FraPoleSet->setObjectName(QStringLiteral("FraPoleSet"));
    FraPoleSet->setGeometry(twipsRect(240, 120, 8895, 3015));
    OptSet[0] = makeOption(client, "OptSet(0)", "System Set", twipsRect(600, 120, 1560, 330));
    OptSet[0]->setChecked(true);

    // Left column, and on the right the two messages over the communication and baud rows.
    const char *setupCaptions[7] = {"International Character",
                                    "Code Page",
                                    "Command Emulation",
                                    "Save Upper line message for Demo",
                                    "Save Lower line message for Demo",
                                    "Communication",
                                    "Baud rate"};
    const QRect optionPlaces[7] = {
        twipsRect(240, 360, 3600, 330),   twipsRect(240, 1140, 3600, 330),
        twipsRect(240, 1920, 3600, 330),  twipsRect(4200, 360, 4560, 330),
        twipsRect(4200, 1140, 4560, 330), twipsRect(4200, 1920, 2280, 330),
        twipsRect(6600, 1920, 2160, 330)};
    for (int i = 0; i < 7; ++i) {
        OptSetSel[i] = makeOption(FraPoleSet, QStringLiteral("OptSetSel(%1)").arg(i),
                                  setupCaptions[i], optionPlaces[i]);
        OptSetSel[i]->setEnabled(i == 2);
    }
    OptSetSel[2]->setChecked(true);
    CboINChr = makeList(FraPoleSet, "CboINChr", INChrItems, twipsRect(480, 690, 3240, 390));
    CboCodePage =
        makeList(FraPoleSet, "CboCodePage", CodePageItems, twipsRect(480, 1470, 3240, 390));
    CboEmulation =
        makeList(FraPoleSet, "CboEmulation", EmulationItems, twipsRect(480, 2250, 3240, 390));
    TxtUpperLine = makeMessageBox(FraPoleSet, "TxtUpperLine", twipsRect(4440, 690, 4200, 390));
    TxtLowerLine = makeMessageBox(FraPoleSet, "TxtLowerLine", twipsRect(4440, 1470, 4200, 390));
    CboCommunication = makeList(FraPoleSet, "CboCommunication", CommunicationItems,
                                twipsRect(4440, 2250, 1800, 390));
    CboBaud = makeList(FraPoleSet, "CboBaud", BaudItems, twipsRect(6840, 2250, 1800, 390));
    for (QWidget *w : std::initializer_list<QWidget *>{CboINChr, CboCodePage, TxtUpperLine,
                                                       TxtLowerLine, CboCommunication, CboBaud})
        w->setEnabled(false);

    FraResROM = new TitledFrame(QString(40, u' '), client);
    FraResROM->setObjectName(QStringLiteral("FraResROM"));
    FraResROM->setGeometry(twipsRect(240, 3360, 4095, 1935));
    OptSet[1] = makeOption(client, "OptSet(1)", "Reset EEPROM", twipsRect(480, 3360, 1920, 330));
    const char *resetCaptions[3] = {"Clear all EEPROM contents", "Clear upper line data message",
                                    "Clear lower line data message"};
    for (int i = 0; i < 3; ++i) {
        OptReset[i] = makeOption(FraResROM, QStringLiteral("OptReset(%1)").arg(i), resetCaptions[i],
                                 twipsRect(240, 420 + 480 * i, 3720, 330));
        OptReset[i]->setEnabled(false);
    }
    OptReset[0]->setChecked(true);

    ChkSetTerm = new QCheckBox(QStringLiteral("Set Communication after Sent data"), client);
    ChkSetTerm->setObjectName(QStringLiteral("ChkSetTerm"));
    ChkSetTerm->setGeometry(twipsRect(4680, 3360, 4440, 330));

    PicIFStat = new PictureBox(client);
    PicIFStat->setObjectName(QStringLiteral("PicIFStat"));
    PicIFStat->setGeometry(twipsRect(4560, 4320, 1335, 975));

    ImgPole = makeImage(client, "ImgPole", ":/icons/pole.xpm", twipsRect(6120, 4320, 720, 840));
    ImgPC = makeImage(client, "ImgPC", ":/icons/pc.xpm", twipsRect(8280, 4320, 720, 915));
    const int arrowX[3] = {7920, 7440, 6960};
    for (int i = 0; i < 3; ++i) {
        ImgArrow[i] = new QLabel(client);
        ImgArrow[i]->setObjectName(QStringLiteral("ImgArrow(%1)").arg(i));
        ImgArrow[i]->setPixmap(QPixmap(QStringLiteral(":/icons/arrow.xpm")));
        ImgArrow[i]->setGeometry(twipsRect(arrowX[i], 4920, 240, 240));
        ImgArrow[i]->hide();
    }

    // The red cross lies over the picture row, the Send button over the cross.
    const int half = 3;
    const QRect row = twipsRect(6120, 4320, 3000, 960).adjusted(-half, -half, half, half);
    LineX1 = new LineShape(LineShape::TopLeftToBottomRight, Qt::red, 5, client);
    LineX1->setObjectName(QStringLiteral("LineX1"));
    LineX1->setGeometry(row);
    LineX2 = new LineShape(LineShape::TopRightToBottomLeft, Qt::red, 5, client);
    LineX2->setObjectName(QStringLiteral("LineX2"));
    LineX2->setGeometry(row);

    CmdSend = new QPushButton(QStringLiteral("Send"), client);
    CmdSend->setObjectName(QStringLiteral("CmdSend"));
    CmdSend->setFont(centuryFont(14.25));
    CmdSend->setGeometry(twipsRect(7080, 4200, 1095, 615));
    CmdSend->setDefault(true);
    CmdSend->hide();

    LblSending = new QLabel(QStringLiteral("Now Sending"), client);
    LblSending->setObjectName(QStringLiteral("LblSending"));
    LblSending->setFont(centuryFont(14.25, true));
    LblSending->setAlignment(Qt::AlignCenter);
    LblSending->setStyleSheet(QStringLiteral("color: magenta"));
    LblSending->setGeometry(twipsRect(6240, 3840, 2775, 375));
    LblSending->hide();

    LblMessage = new StatusLine(QStringLiteral(" Message"), client);
    LblMessage->setObjectName(QStringLiteral("LblMessage"));
    LblMessage->setFrameStyle(QFrame::Box | QFrame::Plain);
    LblMessage->setGeometry(twipsRect(0, 5520, 9375, 375));

    makeOptionGroup(this, {OptSet[0], OptSet[1]});
    makeOptionGroup(this, {OptSetSel[0], OptSetSel[1], OptSetSel[2], OptSetSel[3], OptSetSel[4],
                           OptSetSel[5], OptSetSel[6]});
    makeOptionGroup(this, {OptReset[0], OptReset[1], OptReset[2]});

    // The options that title the frames are drawn over the frames' top edges.
    OptSet[0]->raise();
    OptSet[1]->raise();

    // Tab order of the focusable controls.
    QWidget *order[] = {OptSet[0],    CmdSend,          OptSet[1],    OptReset[0],  OptReset[1],
                        OptReset[2],  CboINChr,         CboCodePage,  TxtUpperLine, TxtLowerLine,
                        CboEmulation, CboCommunication, CboBaud,      ChkSetTerm,   OptSetSel[0],
                        OptSetSel[1], OptSetSel[2],     OptSetSel[3], OptSetSel[4], OptSetSel[5],
                        OptSetSel[6]};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void FrmMain::createMenus()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    MenuFile = file->menuAction();
    MenuFile->setObjectName(QStringLiteral("MenuFile"));
    auto add = [](QMenu *menu, const char *name, const char *caption) {
        QAction *action = menu->addAction(QString::fromLatin1(caption));
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };
    MenuIFSet = add(file, "MenuIFSet", "Interface &Set");
    file->addSeparator()->setObjectName(QStringLiteral("SepaF1"));
    MenuTest = add(file, "MenuTest", "&Test");
    MenuDemo = add(file, "MenuDemo", "&Run Demo");
    MenuStopDemo = add(file, "MenuStopDemo", "Sto&p Demo");
    MenuInit = add(file, "MenuInit", "Init &Display");
    MenuScroll = add(file, "MenuScroll", "Sc&roll Display");
    MenuOverWrite = add(file, "MenuOverWrite", "&Overwrite Display");
    file->addSeparator()->setObjectName(QStringLiteral("SepaF2"));
    MenuEnd = add(file, "MenuEnd", "E&xit");
    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    MenuHelp = help->menuAction();
    MenuHelp->setObjectName(QStringLiteral("MenuHelp"));
    MenuHVersion = add(help, "MenuHVersion", "&Version");
}

void FrmMain::connectHandlers()
{
    for (int i = 0; i < 2; ++i) {
        connect(OptSet[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                OptSet_Click(i);
        });
    }
    for (int i = 0; i < 7; ++i) {
        connect(OptSetSel[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                OptSetSel_Click(i);
        });
    }
    for (int i = 0; i < 3; ++i) {
        connect(OptReset[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                OptReset_Click(i);
        });
    }
    // A change by the program or the user runs the handler, and so does the user picking the
    // item already selected. The handlers are idempotent, so a user's pick running them twice
    // is harmless.
    auto list = [this](QComboBox *combo, void (FrmMain::*handler)()) {
        connect(combo, &QComboBox::currentIndexChanged, this, [this, handler](int index) {
            if (index >= 0)
                (this->*handler)();
        });
        connect(combo, &QComboBox::activated, this, handler);
    };
    list(CboINChr, &FrmMain::CboINChr_Click);
    list(CboCodePage, &FrmMain::CboCodePage_Click);
    list(CboEmulation, &FrmMain::CboEmulation_Click);
    list(CboCommunication, &FrmMain::CboCommunication_Click);
    list(CboBaud, &FrmMain::CboBaud_Click);
    connect(TxtUpperLine, &QLineEdit::textChanged, this, &FrmMain::TxtUpperLine_Change);
    connect(TxtLowerLine, &QLineEdit::textChanged, this, &FrmMain::TxtLowerLine_Change);
    connect(CmdSend, &QPushButton::clicked, this, &FrmMain::CmdSend_Click);

    connect(MenuIFSet, &QAction::triggered, this, &FrmMain::MenuIFSet_Click);
    connect(MenuTest, &QAction::triggered, this, &FrmMain::MenuTest_Click);
    connect(MenuDemo, &QAction::triggered, this, &FrmMain::MenuDemo_Click);
    connect(MenuStopDemo, &QAction::triggered, this, &FrmMain::MenuStopDemo_Click);
    connect(MenuInit, &QAction::triggered, this, &FrmMain::MenuInit_Click);
    connect(MenuScroll, &QAction::triggered, this, &FrmMain::MenuScroll_Click);
    connect(MenuOverWrite, &QAction::triggered, this, &FrmMain::MenuOverWrite_Click);
    connect(MenuEnd, &QAction::triggered, this, &FrmMain::MenuEnd_Click);
    connect(MenuHVersion, &QAction::triggered, this, &FrmMain::MenuHVersion_Click);
}

bool FrmMain::Form_Load()
{
    m_define.AppDir = QDir::currentPath();
    MenuScroll->setVisible(false);
    MenuOverWrite->setVisible(false);
    MenuStopDemo->setVisible(false);
    OptSet[1]->setEnabled(false);
    ReadSettings(m_define);
    fillControlsFromSettings();
    ShowInterfaceStatus();
    try {
        LinkStatusShown = false;
        m_link.ChooseAndOpenPort(m_define.ComPort, m_define.line());
    } catch (const PortError &error) {
        m_prompter.warning(QStringLiteral("Port Error!"), QStringLiteral("Port is already opened."),
                           portErrorDetails(m_define.ComPort, m_define.AppDir, error.failure(),
                                            findSerialAdapters()));
        return false;
    }
    TmrStat->setEnabled(true);
    ShowStatus(QString());
    ResetSelIndex = 0;
    SetSelIndex = 2;
    RawSend = false;
    selectSetupRow(2);
    return true;
}

void FrmMain::fillControlsFromSettings()
{
    // Each assignment runs its control's handler, as a user's choice would.
    CboINChr->setCurrentIndex(m_define.DspINChar);
    CboCodePage->setCurrentIndex(m_define.DspCodePage);
    CboEmulation->setCurrentIndex(m_define.DspEmulation);
    CboCommunication->setCurrentIndex(m_define.DspCommunication);
    CboBaud->setCurrentIndex(m_define.DspBaud);
    loadMessage(TxtUpperLine, m_define.DspUpperLine);
    loadMessage(TxtLowerLine, m_define.DspLowerLine);
}

void FrmMain::closeEvent(QCloseEvent *event)
{
    // A second close while the first one lingers changes nothing.
    if (m_unloading) {
        event->ignore();
        return;
    }
    m_unloading = true;
    Form_Unload();
    m_unloaded = true;
    // An operation whose wait this close interrupted ends quietly.
    m_link.abort();
    event->accept();
}

void FrmMain::Form_Unload()
{
    ShowStatus(QStringLiteral("End of Customer Display Set"));
    TmrStat->setEnabled(false);
    TmrStat->setInterval(0);
    if (CmdSend->isVisibleTo(this)) {
        sendText(QByteArrayLiteral("\x1b@End of Set!!"));
    }
    m_link.ClosePort();
    showLinkDownLook();
    PicIFStat->clear();
    m_link.WaitMs(1000);
}

void FrmMain::MenuEnd_Click()
{
    close();
}

void FrmMain::showLinkDownLook()
{
    CmdSend->hide();
    LineX1->show();
    LineX2->show();
    for (QLabel *arrow : ImgArrow)
        arrow->hide();
}

void FrmMain::keyPressEvent(QKeyEvent *event)
{
    // The Send button is the window's default button: Enter in any control presses it. Qt
    // does this only inside dialogs; controls pass on the Enter they do not use.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        CmdSend->isVisibleTo(this) && CmdSend->isEnabled()) {
        event->accept();
        CmdSend->click();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void FrmMain::ShowStatus(const QString &text)
{
    LblMessage->setText(QLatin1Char(' ') + text);
    QCoreApplication::processEvents();
}

void FrmMain::ShowInterfaceStatus()
{
    PicIFStat->clear();
    PicIFStat->print(QStringLiteral("  COM%1:").arg(m_define.ComPort % 10));
    PicIFStat->print(QStringLiteral("  %1bps").arg(m_define.ComBaud));
    PicIFStat->print(QStringLiteral("  %1 - %2 - 1")
                         .arg(parityLetter(Parity(m_define.ComParity)))
                         .arg(m_define.ComBitLen % 10));
}

// The meta-object code compiled here rather than in a file of its own, where Qt's headers
// would be read once more.
#include "moc_FrmMain.cpp" // NOLINT(bugprone-suspicious-include)
