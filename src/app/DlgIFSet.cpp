#include "DlgIFSet.h"

#include "FailureWords.h"
#include "SetupLists.h"
#include "UiMetrics.h"
#include "Widgets.h"
#include "WindowPlacement.h"

#include <QComboBox>
#include <QIcon>
#include <QLabel>
#include <QProxyStyle>
#include <QPushButton>
#include <QShowEvent>
#include <QStyleOptionComplex>

#include <algorithm>

namespace {

// The lists are narrow and their items begin with blanks; the widest, " 38,400bps", needs
// the whole width between the frame and the arrow glyph, more than some styles leave it.
class ListStyle : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex *option, SubControl sub,
                         const QWidget *widget) const override
    {
        QRect r = QProxyStyle::subControlRect(control, option, sub, widget);
        if (control == CC_ComboBox && sub == SC_ComboBoxEditField)
            r = r.adjusted(-2, 0, 2, 0) & option->rect.adjusted(2, 0, -2, 0);
        return r;
    }
};

QComboBox *makeList(QWidget *parent, const char *name, const QStringList &items, QRect place,
                    QStyle *style)
{
    auto *list = new QComboBox(parent);
    list->setObjectName(QLatin1String(name));
    list->setStyle(style);
    list->addItems(items);
    list->setGeometry(place);
    return list;
}

// Right-aligned and as wide as its text, so the right edge stays put whatever the font.
QLabel *makeLabel(QWidget *parent, const char *name, const QString &text, int rightTwips,
                  int topTwips)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setAlignment(Qt::AlignRight | Qt::AlignTop);
    label->adjustSize();
    label->move(twips(rightTwips) - label->width(), twips(topTwips));
    return label;
}

// The list index `value - offset`, kept inside the list so that a stray value still selects
// something.
int clampedIndex(const QComboBox *list, int value, int offset)
{
    return std::clamp(value - offset, 0, list->count() - 1);
}

bool validIndex(const QComboBox *list)
{
    return list->currentIndex() >= 0 && list->currentIndex() < list->count();
}

} // namespace

DlgIFSet::DlgIFSet(const InterfaceSettings &current, const StartDir &startDir, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint)
    , m_current(current)
{
    installAccessibleInterfaces();
    setWindowTitle(QStringLiteral("Interface Set"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/app.xpm")));
    setFont(centuryFont(11.25));
    setFixedSize(twips(5340), twips(2655));
    if (parent) {
        centreWithFrame(this, [parent] { return parent->window()->frameGeometry(); });
    }

    // Widgets hold their style through a guarded pointer, so the order of deletion is free.
    auto *listStyle = new ListStyle;
    listStyle->setParent(this);

    CboPort = makeList(this, "CboPort",
                       {QStringLiteral(" COM1:"), QStringLiteral(" COM2:"),
                        QStringLiteral(" COM3:"), QStringLiteral(" COM4:")},
                       twipsRect(1680, 240, 1455, 390), listStyle);
    // A COM number stands for a device: show which one, and whether it is there now.
    for (int i = 0; i < CboPort->count(); ++i)
        CboPort->setItemData(i, describeComEntry(inspectComEntry(i + 1, startDir)),
                             Qt::ToolTipRole);

    QStringList baudItems;
    for (const int rate : baudRates())
        baudItems << baudListItem(rate);
    CboBaud = makeList(this, "CboBaud", baudItems, twipsRect(1680, 840, 1455, 390), listStyle);
    CboParity = makeList(this, "CboParity",
                         {QStringLiteral(" Non"), QStringLiteral(" Even"), QStringLiteral(" Odd")},
                         twipsRect(1680, 1440, 1455, 390), listStyle);
    CboBitLen = makeList(this, "CboBitLen", {QStringLiteral(" 7bit"), QStringLiteral(" 8bit")},
                         twipsRect(1680, 2040, 1455, 390), listStyle);

    LblPort = makeLabel(this, "LblPort", QStringLiteral("Port No."), 1575, 360);
    LblBaud = makeLabel(this, "LblBaud", QStringLiteral("Baud rate"), 1575, 960);
    LblParity = makeLabel(this, "LblParity", QStringLiteral("Parity"), 1575, 1560);
    LblBitLen = makeLabel(this, "LblBitLen", QStringLiteral("Bit Length"), 1575, 2160);
    // A screen reader names each list after its label.
    LblPort->setBuddy(CboPort);
    LblBaud->setBuddy(CboBaud);
    LblParity->setBuddy(CboParity);
    LblBitLen->setBuddy(CboBitLen);

    CmdSet = new QPushButton(QStringLiteral("Set"), this);
    CmdSet->setObjectName(QStringLiteral("CmdSet"));
    CmdSet->setFont(centuryFont(14.25, true));
    CmdSet->setGeometry(twipsRect(3600, 1800, 1455, 615));
    CmdSet->setDefault(true);

    CmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    CmdCancel->setObjectName(QStringLiteral("CmdCancel"));
    CmdCancel->setGeometry(twipsRect(3600, 1080, 1455, 495));

    setTabOrder(CboPort, CboBaud);
    setTabOrder(CboBaud, CboParity);
    setTabOrder(CboParity, CboBitLen);
    setTabOrder(CboBitLen, CmdSet);
    setTabOrder(CmdSet, CmdCancel);

    connect(CmdSet, &QPushButton::clicked, this, &DlgIFSet::CmdSet_Click);
    connect(CmdCancel, &QPushButton::clicked, this, &DlgIFSet::CmdCancel_Click);
}

std::array<int, 8> DlgIFSet::baudRates()
{
    std::array<int, 8> rates = DspBaudRates;
    std::sort(rates.begin(), rates.end());
    return rates;
}

int DlgIFSet::baudIndexOf(int rate)
{
    const std::array<int, 8> rates = baudRates();
    const auto it = std::find(rates.begin(), rates.end(), rate);
    return it == rates.end() ? baudIndexOf(9600) : int(it - rates.begin());
}

std::optional<InterfaceSettings> DlgIFSet::choose(const InterfaceSettings &current,
                                                  const StartDir &startDir, QWidget *parent)
{
    DlgIFSet dialog(current, startDir, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.settings();
}

void DlgIFSet::showEvent(QShowEvent *event)
{
    // A spontaneous show is the window system restoring us; the user's choices stay.
    if (!event->spontaneous())
        Form_Load();
    QDialog::showEvent(event);
}

void DlgIFSet::Form_Load()
{
    CboPort->setCurrentIndex(clampedIndex(CboPort, m_current.port, 1));
    CboBitLen->setCurrentIndex(clampedIndex(CboBitLen, m_current.line.dataBits, 7));
    CboParity->setCurrentIndex(clampedIndex(CboParity, int(m_current.line.parity), 0));
    CboBaud->setCurrentIndex(baudIndexOf(m_current.line.baud));
    CboPort->setFocus();
}

InterfaceSettings DlgIFSet::settings() const
{
    // A list without a selection leaves its setting as it was.
    InterfaceSettings chosen = m_current;
    if (validIndex(CboPort))
        chosen.port = CboPort->currentIndex() + 1;
    if (validIndex(CboBitLen))
        chosen.line.dataBits = CboBitLen->currentIndex() + 7;
    if (validIndex(CboParity))
        chosen.line.parity = Parity(CboParity->currentIndex());
    if (validIndex(CboBaud))
        chosen.line.baud = baudRates()[std::size_t(CboBaud->currentIndex())];
    return chosen;
}

void DlgIFSet::CmdSet_Click()
{
    accept();
}

void DlgIFSet::CmdCancel_Click()
{
    reject();
}

// The meta-object code compiled here rather than in a file of its own, where Qt's headers
// would be read once more.
#include "moc_DlgIFSet.cpp" // NOLINT(bugprone-suspicious-include)
